// Batch processing on disk: the plan's names, its refusals before anything is written, and the
// run that reports every file and goes on past a failing one.
#include "shell/Lote.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "macro/Macro.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

class LoteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ListaTiposArchivo();
    Configuracion::Global().RestableceDefectos();
    char plantilla[] = "/tmp/orva-lote-XXXXXX";
    ASSERT_NE(::mkdtemp(plantilla), nullptr);
    dir_ = plantilla;
    for (const char* c : {"d1", "d2", "sal"}) fs::create_directory(dir_ / c);
    const fs::path fits = fs::path(ORVA_TEST_DATA) / "eyuma_r90s_cutout.fits";
    fs::copy_file(fits, dir_ / "d1" / "a.fits");
    fs::copy_file(fits, dir_ / "d2" / "a.fits");
    fs::copy_file(fits, dir_ / "d2" / "b.fits");
    fs::copy_file(fits, dir_ / "d1" / "a.qor");  // a FITS file by its bytes
    std::ofstream(dir_ / "d1" / "roto.fits") << "no image";
    actual_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(actual_);
    fs::remove_all(dir_);
    Configuracion::Global().RestableceDefectos();
  }
  fs::path dir_, actual_;
};

// Output names: the input's name in the output folder (or beside it), with the extension of the
// type written when it differs, or the settings' extension.
TEST_F(LoteTest, PlanNamesAndTypes) {
  struct Caso {
    const char* entrada;
    const char* carpeta;
    int tipoFijo;
    bool mismoTipo;
    const char* extension;
    const char* salida;
    int tipo;
  } const casos[] = {
      {"d1/a.fits", "sal", 0, true, "", "sal/a.fits", kFits},
      {"d1/a.fits", "", 0, true, "", "d1/a.fits", kFits},
      {"d1/a.fits", "sal", kQor, true, "", "sal/a.qor", kQor},
      {"d1/a.fits", "sal", 0, false, "", "sal/a.qor", kQor},  // TIPARCHGUARDAR is QOR below
      {"d1/a.fits", "sal", 0, true, "trt", "sal/a.trt", kFits},
      {"d1/a.fits", "", kQor, true, ".trt", "d1/a.trt", kQor},
      {"d1/a.qor", "sal", 0, true, "", "sal/a.qor", kFits},  // same type: the name stays
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.entrada + std::string(" -> ") + c.salida);
    AjustesLote a;
    a.carpetaSalida = c.carpeta;
    a.tipoFijo = c.tipoFijo;
    a.mismoTipo = c.mismoTipo;
    a.tipoGuardar = kQor;
    a.extension = c.extension;
    const std::vector<ArchivoLote> plan = PlanificaLote({c.entrada}, a);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].salida, c.salida);
    EXPECT_EQ(plan[0].tipo, c.tipo);
    EXPECT_EQ(plan[0].sobreEntrada, plan[0].salida == plan[0].entrada);
  }
}

// The refusals: a result over an input (own one only with enSitio, another file's never), two
// results on one file, a missing output folder. The same file under another name counts.
TEST_F(LoteTest, PlanRefusals) {
  fs::create_symlink("../d1/a.fits", "sal/enlace.fits");
  fs::create_hard_link("d2/b.fits", "d2/duro.fits");
  struct Caso {
    std::vector<std::string> entradas;
    const char* carpeta;
    int tipoFijo;
    bool enSitio;
    int id;  // 0: accepted
  } const casos[] = {
      {{"d1/a.fits"}, "sal", 0, false, 0},
      {{"d1/a.fits"}, "", 0, false, 12220},
      {{"d1/a.fits"}, "", 0, true, 0},
      {{"d1/a.fits"}, "./d1/../d1", 0, false, 12220},
      {{"sal/enlace.fits"}, "", 0, false, 12220},  // through the link onto d1/a.fits
      {{"d2/duro.fits"}, "", 0, false, 12220},
      {{"d1/a.fits", "d2/a.fits"}, "sal", 0, false, 12221},
      {{"d1/a.fits", "./d1/a.fits"}, "sal", 0, true, 12221},
      {{"d1/a.fits", "d1/a.qor"}, "sal", kQor, false, 12221},
      {{"d1/a.fits", "d1/a.qor"}, "", kQor, true, 12220},  // onto another input
      {{"d1/falta.fits"}, "", 0, false, 0},  // nothing to lose: reading will say it is missing
      {{"d1/a.fits"}, "no_hay", 0, false, 12222},
      {{"d1/a.fits"}, "d1/a.fits", 0, false, 12222},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.entradas[0] + " -o " + c.carpeta);
    AjustesLote a;
    a.carpetaSalida = c.carpeta;
    a.tipoFijo = c.tipoFijo;
    const std::vector<ArchivoLote> plan = PlanificaLote(c.entradas, a);
    int id = 0;
    try {
      CompruebaLote(plan, a, c.enSitio);
    } catch (const JError& e) {
      id = e.Id();
    }
    EXPECT_EQ(id, c.id);
  }
  // A link in the output folder that names an input: refused even in place.
  AjustesLote a;
  a.carpetaSalida = "sal";
  fs::create_symlink("../d1/a.fits", "sal/b.fits");
  const std::vector<ArchivoLote> plan = PlanificaLote({"d1/a.fits", "d2/b.fits"}, a);
  EXPECT_FALSE(plan[0].sobreEntrada);
  try {
    CompruebaLote(plan, a, true);
    ADD_FAILURE() << "no error";
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12220);
    EXPECT_EQ(e.Argumento(2), "d1/a.fits");
  }
}

// Cancelled once told so.
class ProgresoQueCancela : public ProgresoSilencioso {
 public:
  int Cancelado() override { return cancelado; }
  // Each file is named here as it starts: how many started, and how many after the cancel.
  void TextoArchivo(const std::string&) override {
    ++empezados;
    if (cancelado) ++trasCancelar;
  }
  int cancelado = 0;
  int empezados = 0;
  int trasCancelar = 0;
};

// Every file is reported in order; a failing one does not stop the rest; cancelling stops
// before the next file.
TEST_F(LoteTest, RunReportsEveryFileAndGoesOn) {
  AjustesLote a;
  a.carpetaSalida = "sal";
  const std::vector<ArchivoLote> plan =
      PlanificaLote({"d1/a.fits", "d1/roto.fits", "d1/falta.fits", "d2/b.fits"}, a);
  CompruebaLote(plan, a, false);
  std::vector<std::pair<size_t, int>> avisos;
  const ResumenLote r = EjecutaLote({"INVERTIR"}, plan, [&](const ResultadoLote& x) {
    avisos.emplace_back(x.indice, x.bien ? 0 : x.idError);
    EXPECT_EQ(x.archivo, &plan[x.indice]);
  });
  const std::vector<std::pair<size_t, int>> esperado = {{0, 0}, {1, 12225}, {2, 10125}, {3, 0}};
  EXPECT_EQ(avisos, esperado);
  EXPECT_EQ(r.hechos, 2u);
  EXPECT_EQ(r.fallidos, 2u);
  EXPECT_FALSE(r.cancelado);
  EXPECT_TRUE(fs::exists("sal/a.fits"));
  EXPECT_TRUE(fs::exists("sal/b.fits"));
  EXPECT_FALSE(fs::exists("sal/roto.fits"));

  fs::remove("sal/a.fits");
  fs::remove("sal/b.fits");
  ProgresoQueCancela progreso;
  InstalaProgreso(&progreso);
  const ResumenLote c =
      EjecutaLote({}, plan, [&](const ResultadoLote&) { progreso.cancelado = 1; });
  InstalaProgreso(nullptr);
  EXPECT_TRUE(c.cancelado);
  EXPECT_EQ(c.hechos, 1u);
  EXPECT_TRUE(fs::exists("sal/a.fits"));
  EXPECT_FALSE(fs::exists("sal/b.fits"));
}

// The reports of a run as text, one line a file, and the bytes of every result.
struct Corrida {
  std::string informe;
  std::vector<std::string> contenidos;
  ResumenLote resumen;
};

Corrida Corre(const std::vector<std::string>& lineas, const std::vector<ArchivoLote>& plan,
              int procesos) {
  Corrida c;
  ParaleloLote p;
  p.procesos = procesos;
  p.hilosPorProceso = 1;
  c.resumen = EjecutaLote(
      lineas, plan,
      [&](const ResultadoLote& r) {
        c.informe += std::to_string(r.indice) + " " + r.archivo->entrada + " " +
                     std::to_string(r.idError) + " " + r.error + "\n";
      },
      p);
  for (const ArchivoLote& a : plan) {
    std::ifstream f(a.salida, std::ios::binary);
    c.contenidos.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    fs::remove(a.salida);
    fs::remove(a.salida + ".dat");
  }
  return c;
}

// A command that kills its own process on the larger of the two frames.
uint32_t anchoQueMata = 0;
int MataseEnLaGrande(Ranuras& ranuras, int actual, const std::vector<std::string>&) {
  if (ranuras.En(actual)->Ancho() == anchoQueMata) ::kill(::getpid(), SIGKILL);
  return actual;
}

// The whole comparison; its exit status says whether it held (the reason on stderr).
[[noreturn]] void ComparaProcesosConSerie() {
  InstalaSistema();
  FijaHilos(1);  // no thread pool in this process: it forks
  AjustesLote a;
  a.carpetaSalida = "sal";
  const std::vector<ArchivoLote> plan = PlanificaLote(
      {"d1/a.fits", "d1/roto.fits", "d1/m.fits", "d2/b.fits", "d1/falta.fits", "d2/c.fits"}, a);
  CompruebaLote(plan, a, false);
  const std::vector<std::string> lineas = {"FILTRO GAUS 1.5 4", "ROTAR 30", "DESPLAZA 3 -2 7"};
  const Corrida serie = Corre(lineas, plan, 1);
  const Corrida procesos = Corre(lineas, plan, 3);
  bool bien = true;
  auto falla = [&](const std::string& que) {
    std::fprintf(stderr, "%s\n", que.c_str());
    bien = false;
  };
  if (serie.resumen.enProcesos || !procesos.resumen.enProcesos) falla("not run in processes");
  if (serie.informe != procesos.informe) falla(serie.informe + "--- vs ---\n" + procesos.informe);
  if (serie.contenidos != procesos.contenidos) falla("results differ");
  if (procesos.resumen.hechos != 4 || procesos.resumen.fallidos != 2) falla("counts");
  if (serie.contenidos[0].empty() || !serie.contenidos[1].empty()) falla("outputs");

  // A child that dies fails its own file only, in its place.
  Imagen m;
  LeeArchivo("d1/m.fits", m);
  anchoQueMata = m.Ancho();
  EnlazaComandoMacro("ZOOM", &MataseEnLaGrande);
  const Corrida muerta = Corre({"ZOOM A 1"}, plan, 3);
  const std::string esperado = "2 d1/m.fits 12235 " + Mensaje(12235, "9", ::strsignal(SIGKILL));
  if (muerta.informe.find(esperado) == std::string::npos) falla(muerta.informe);
  if (muerta.resumen.hechos != 3 || muerta.resumen.fallidos != 3) falla("counts after a death");

  // A cancel at the first report: no file is started after it (how many started before depends
  // on which child ends first), and the batch says it was cancelled.
  std::vector<std::string> ocho;
  for (int i = 0; i < 8; ++i) {
    const std::string f = "d2/o" + std::to_string(i) + ".fits";
    fs::copy_file("d2/b.fits", f);
    ocho.push_back(f);
  }
  const std::vector<ArchivoLote> largo = PlanificaLote(ocho, a);
  ProgresoQueCancela cancela;
  InstalaProgreso(&cancela);
  ParaleloLote tres;
  tres.procesos = 3;
  const ResumenLote c = EjecutaLote(
      lineas, largo, [&](const ResultadoLote&) { cancela.cancelado = 1; }, tres);
  InstalaProgreso(nullptr);
  if (!c.cancelado || c.hechos < 1) falla("cancel not reported");
  if (cancela.trasCancelar != 0) falla("started after cancel");
  for (size_t i = static_cast<size_t>(cancela.empezados); i < largo.size(); ++i) {
    if (fs::exists(largo[i].salida)) falla("a file never started was written");
  }
  std::exit(bien ? 0 : 1);
}

// Files run in child processes: the same reports in the same order and the same bytes as the
// serial run, failures included; a child killed by a signal is its own file's failure and the
// rest go on. In a fresh process of its own, since forking needs one with no other threads.
TEST_F(LoteTest, ChildProcessesGiveTheSerialRun) {
  fs::copy_file(fs::path(ORVA_TEST_DATA) / "m51_iraf_devpix.fits", dir_ / "d1" / "m.fits");
  fs::copy_file(dir_ / "d2" / "b.fits", dir_ / "d2" / "c.fits");
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ComparaProcesosConSerie(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orva
