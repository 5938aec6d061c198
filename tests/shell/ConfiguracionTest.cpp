// Tests of the settings table: reading, in-place writing, derived values, hooks and start-up.
#include "shell/Configuracion.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/JError.h"
#include "core/Rango.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

std::string LeeArchivo(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void EscribeArchivo(const fs::path& p, const std::string& texto) {
  std::ofstream f(p, std::ios::binary);
  f << texto;
}

std::vector<std::string> Lineas(const std::string& texto) {
  std::vector<std::string> r;
  std::istringstream s(texto);
  for (std::string l; std::getline(s, l);) r.push_back(l);
  return r;
}

int Cuenta(const std::vector<std::string>& v, const std::string& x) {
  return static_cast<int>(std::count(v.begin(), v.end(), x));
}

std::ptrdiff_t Posicion(const std::vector<std::string>& v, const std::string& x) {
  auto it = std::find(v.begin(), v.end(), x);
  return it == v.end() ? -1 : it - v.begin();
}

// A private folder with XDG_CONFIG_HOME pointing at it, so no test touches the user's settings.
class ConfiguracionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char plantilla[] = "/tmp/orva-config-XXXXXX";
    ASSERT_NE(::mkdtemp(plantilla), nullptr);
    dir_ = plantilla;
    if (const char* x = std::getenv("XDG_CONFIG_HOME")) xdgAnterior_ = x;
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    archivo_ = (dir_ / "ORVA4.INI").string();
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
    if (xdgAnterior_)
      ::setenv("XDG_CONFIG_HOME", xdgAnterior_->c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
    Rango() = RangoPixeles{};
  }
  // Files in the folder other than the given ones (temporaries left behind).
  std::vector<std::string> Sobrantes(const std::vector<std::string>& esperados) {
    std::vector<std::string> r;
    for (const auto& e : fs::directory_iterator(dir_)) {
      std::string n = e.path().filename().string();
      if (std::find(esperados.begin(), esperados.end(), n) == esperados.end()) r.push_back(n);
    }
    return r;
  }

  fs::path dir_;
  std::string archivo_;
  std::optional<std::string> xdgAnterior_;
};

TEST_F(ConfiguracionTest, SinArchivoTodoPorDefectoYRangoCompleto) {
  Configuracion c;
  for (const EntradaConfig& e : c.Entradas()) c.Asigna(e.seccion, e.clave, "basura");
  Rango() = RangoPixeles{};
  LeeConfiguracion(c, archivo_);

  for (const EntradaConfig& e : c.Entradas()) EXPECT_EQ(e.valor, e.defecto) << e.clave;
  EXPECT_EQ(Rango().minimo, 0);
  EXPECT_EQ(Rango().maximo, 32767);
  EXPECT_EQ(Rango().defecto, 0);
  const ValoresDerivados& d = c.Derivados();
  EXPECT_EQ(d.imgReal, 1);
  EXPECT_EQ(d.leeDatOrva, 1);
  EXPECT_EQ(d.guardaDatOrva, 1);
  EXPECT_EQ(d.tipoAuto, 1);
  EXPECT_EQ(d.tipoObjetoInicial, 0);
  for (int m : d.margenes) EXPECT_EQ(m, 20);
}

TEST_F(ConfiguracionTest, TablaSeccionesEnOrdenYDefectosSenalados) {
  Configuracion c;
  // Sections in order with their number of keys.
  const std::vector<std::pair<std::string, int>> secciones = {
      {"General", 19},    {"Archivos", 17},     {"Recientes", 8},        {"ImagenNueva", 2},
      {"Histograma", 8},  {"DatosImagen", 45},  {"VentanaDatos", 4},     {"Redimensionar", 4},
      {"Cortar", 3},      {"Planisferio", 16},  {"AnalisisPlanetas", 4}, {"FiltrosConvol", 17},
      {"AnaEstelar", 10}, {"AnaVariables", 36}, {"AnaVoyager", 11},      {"Pretratamiento", 3},
      {"SumaAgrup", 3}};
  std::vector<std::pair<std::string, int>> vistas;
  for (const EntradaConfig& e : c.Entradas()) {
    if (vistas.empty() || vistas.back().first != e.seccion) vistas.push_back({e.seccion, 0});
    ++vistas.back().second;
  }
  EXPECT_EQ(vistas, secciones);

  struct Caso {
    const char* seccion;
    const char* clave;
    const char* defecto;
  };
  const Caso casos[] = {{"General", "VERSION", "2.0"},
                        {"General", "CONTBLANCO", "100"},
                        {"General", "LENGUAJE", "0"},
                        {"General", "ASKEXIT", "1"},
                        {"General", "MEMDESHACER", "256"},
                        {"General", "HILOS", "0"},
                        {"Archivos", "MACROINICIAL", ""},
                        {"Archivos", "TIPARCHLEER", "ST4"},
                        {"Archivos", "TIPOAUTO", "1"},
                        {"DatosImagen", "TIPOOBJ", "DESCONOCIDO"},
                        {"DatosImagen", "PCOMENTARIO", "1"},
                        {"DatosImagen", "PINCFECHA", "0"},
                        {"FiltrosConvol", "FACTIMAG2RCG", "-1"},
                        {"AnaEstelar", "CENTMAXFWHM", "20.0"},
                        {"AnaVariables", "VARRELCIELEST", "1.75"},
                        {"AnaVariables", "VARNOMBREREFE", "V"},
                        {"AnaVoyager", "DIRSEDR", "C:\\Sedr\\"},
                        {"SumaAgrup", "BORIMAGSUM", "1"}};
  for (const Caso& k : casos) EXPECT_EQ(c.Valor(k.seccion, k.clave), k.defecto) << k.clave;
  EXPECT_EQ(c.Entradas().front().clave, "VERSION");
  EXPECT_EQ(c.Entradas().back().clave, "BORIMAGSUM");
}

TEST_F(ConfiguracionTest, IdaYVueltaConservaLoDesconocidoYSuOrden) {
  const std::string original =
      "; cabecera del usuario\n"
      "[Mio]\n"
      "A=1\n"
      "\n"
      "[general]\n"
      "  valormax = 1000  \n"
      "; nota dentro de General\n"
      "OTRA=x\n"
      "\n"
      "[Cortar]\n"
      "TAMFIJO=1\n"
      "[Final]\n"
      "Z=9\n";
  EscribeArchivo(archivo_, original);
  Configuracion c;
  LeeConfiguracion(c, archivo_);
  EXPECT_EQ(c.Valor("General", "VALORMAX"), "1000");
  EXPECT_EQ(c.Valor("Cortar", "TAMFIJO"), "1");
  GuardaConfiguracion(c, archivo_);

  auto l = Lineas(LeeArchivo(archivo_));
  // The user's lines survive in their order; the known key is rewritten on its own line.
  const std::vector<std::string> antiguas = {"; cabecera del usuario",
                                             "[Mio]",
                                             "A=1",
                                             "[general]",
                                             "valormax=1000",
                                             "; nota dentro de General",
                                             "OTRA=x",
                                             "[Cortar]",
                                             "TAMFIJO=1",
                                             "[Final]",
                                             "Z=9"};
  std::ptrdiff_t anterior = -1;
  for (const std::string& s : antiguas) {
    std::ptrdiff_t p = Posicion(l, s);
    ASSERT_GE(p, 0) << s;
    EXPECT_GT(p, anterior) << s;
    anterior = p;
  }
  EXPECT_EQ(Posicion(l, "valormax=1000"), Posicion(l, "[general]") + 1);
  // Missing General keys go after the section's last key, before its blank line.
  EXPECT_EQ(Posicion(l, "VERSION=2.0"), Posicion(l, "OTRA=x") + 1);
  EXPECT_LT(Posicion(l, "LENGUAJE=0"), Posicion(l, "[Cortar]"));
  EXPECT_EQ(Posicion(l, "CORTARTAMX=100"), Posicion(l, "TAMFIJO=1") + 1);
  // Missing sections are added after everything the user had.
  EXPECT_GT(Posicion(l, "[Archivos]"), Posicion(l, "Z=9"));
  EXPECT_EQ(Cuenta(l, "[General]"), 0);
  EXPECT_EQ(Cuenta(l, "[Cortar]"), 1);

  // Reading the written file gives the same values; writing again changes nothing.
  Configuracion d;
  LeeConfiguracion(d, archivo_);
  for (std::size_t i = 0; i < c.Entradas().size(); ++i)
    EXPECT_EQ(d.Entradas()[i].valor, c.Entradas()[i].valor);
  const std::string primera = LeeArchivo(archivo_);
  GuardaConfiguracion(d, archivo_);
  EXPECT_EQ(LeeArchivo(archivo_), primera);
}

TEST_F(ConfiguracionTest, ValorCambiadoSeReemplazaEnSuLinea) {
  Configuracion c;
  GuardaConfiguracion(c, archivo_);
  auto antes = Lineas(LeeArchivo(archivo_));
  c.Asigna("General", "DUPLIMA", "1");
  c.Asigna("AnaVoyager", "DIRSEDR", "/datos/sedr/");
  GuardaConfiguracion(c, archivo_);
  auto despues = Lineas(LeeArchivo(archivo_));
  ASSERT_EQ(antes.size(), despues.size());
  for (std::size_t i = 0; i < antes.size(); ++i) {
    if (antes[i] == "DUPLIMA=0")
      EXPECT_EQ(despues[i], "DUPLIMA=1");
    else if (antes[i] == "DIRSEDR=C:\\Sedr\\")
      EXPECT_EQ(despues[i], "DIRSEDR=/datos/sedr/");
    else
      EXPECT_EQ(despues[i], antes[i]);
  }
}

TEST_F(ConfiguracionTest, GuardarEscribeCadaClaveEnOrdenDeTabla) {
  Configuracion c;
  // A missing folder is created.
  const std::string anidado = (dir_ / "a" / "b" / "ORVA4.INI").string();
  GuardaConfiguracion(c, anidado);
  auto l = Lineas(LeeArchivo(anidado));
  std::vector<std::string> esperadas;
  std::string seccion;
  for (const EntradaConfig& e : c.Entradas()) {
    if (e.seccion != seccion) {
      if (!seccion.empty()) esperadas.push_back("");
      esperadas.push_back("[" + e.seccion + "]");
      seccion = e.seccion;
    }
    esperadas.push_back(e.clave + "=" + e.defecto);
  }
  EXPECT_EQ(l, esperadas);
}

TEST_F(ConfiguracionTest, FinesDeLineaCrLfSeLeenYSeConservan) {
  EscribeArchivo(archivo_, "[General]\r\nDUPLIMA=1\r\nX=2\r\n");
  Configuracion c;
  LeeConfiguracion(c, archivo_);
  EXPECT_EQ(c.Valor("General", "DUPLIMA"), "1");
  GuardaConfiguracion(c, archivo_);
  const std::string texto = LeeArchivo(archivo_);
  EXPECT_EQ(texto.rfind("[General]\r\nDUPLIMA=1\r\nX=2\r\nVERSION=2.0\r\n", 0), 0u);
  for (std::size_t i = 0; i < texto.size(); ++i)
    if (texto[i] == '\n') {
      ASSERT_EQ(texto[i - 1], '\r') << i;
    }
}

TEST_F(ConfiguracionTest, BasuraSeToleraYNoSePierde) {
  const std::string largo(10000, 'x');
  static constexpr char kNul[] = "[General]\nDUPLIMA=\0\x01\xff\n";
  const std::string nul(kNul, sizeof kNul - 1);
  const std::string contenido = std::string("\xEF\xBB\xBF") + "SUELTA=1\n" +  // before sections
                                "[sin cierre\n" + "=sin nombre\n" + "linea sin igual\n" + nul +
                                "ASKEXIT=\xc3\x28\xff\n" +           // invalid UTF-8
                                "GRISCONT=" + largo + "\n" +         // over-long value
                                "MAXIMIZAR=1\n" + "MAXIMIZAR=2\n" +  // first one wins
                                "[General]\nTIPOCURSOR=7\n" +        // repeated section
                                std::string(100000, 'y') + "\n" +    // over-long line
                                "[Cortar]\nTAMFIJO=1";               // no final line end
  EscribeArchivo(archivo_, contenido);
  Configuracion c;
  LeeConfiguracion(c, archivo_);
  EXPECT_EQ(c.Valor("General", "DUPLIMA"), "0");  // the line holding NUL means nothing
  EXPECT_EQ(c.Valor("General", "ASKEXIT"), "\xc3\x28\xff");
  EXPECT_EQ(c.Valor("General", "GRISCONT"), std::string(255, 'x'));
  EXPECT_EQ(c.Valor("General", "MAXIMIZAR"), "1");
  EXPECT_EQ(c.Valor("General", "TIPOCURSOR"), "0");
  EXPECT_EQ(c.Valor("Cortar", "TAMFIJO"), "1");

  GuardaConfiguracion(c, archivo_);
  const std::string texto = LeeArchivo(archivo_);
  EXPECT_NE(texto.find(nul), std::string::npos);  // junk lines are kept byte for byte
  EXPECT_NE(texto.find("linea sin igual\n"), std::string::npos);
  EXPECT_NE(texto.find(std::string(100000, 'y')), std::string::npos);
  EXPECT_NE(texto.find("GRISCONT=" + std::string(255, 'x') + "\n"), std::string::npos);
  Configuracion d;
  LeeConfiguracion(d, archivo_);
  EXPECT_EQ(d.Valor("General", "GRISCONT"), std::string(255, 'x'));
  EXPECT_EQ(d.Valor("Cortar", "TAMFIJO"), "1");
  EXPECT_EQ(d.Valor("SumaAgrup", "BORIMAGSUM"), "1");
}

TEST_F(ConfiguracionTest, ValorLargoNoPartePalabraUtf8) {
  std::string v(254, 'a');
  v += "\xc3\xb1\xc3\xb1";  // 'ñ' across the 255-byte limit
  EscribeArchivo(archivo_, "[General]\nNOTA=" + v + "\n");
  Configuracion c;
  LeeConfiguracion(c, archivo_);
  c.Registra("General", "NOTA", "");
  EXPECT_EQ(c.Valor("General", "NOTA"), std::string(254, 'a'));
}

TEST_F(ConfiguracionTest, ValorConSaltoDeLineaNoFabricaEntradas) {
  Configuracion c;
  c.Asigna("General", "DUPLIMA", "1\n[Falsa]\nVALORMAX=5");
  GuardaConfiguracion(c, archivo_);
  Configuracion d;
  LeeConfiguracion(d, archivo_);
  EXPECT_EQ(d.Valor("General", "DUPLIMA"), "1");
  EXPECT_EQ(LeeArchivo(archivo_).find("[Falsa]"), std::string::npos);
}

TEST_F(ConfiguracionTest, ValoresDerivadosComoConversionesDeC) {
  struct Caso {
    const char* valormin;
    const char* valormax;
    const char* valordef;
    int16_t minimo, maximo, defecto;
  };
  const Caso casos[] = {
      {"0", "40000", "0", 0, -25536, 0},  // 16-bit wrap, not clamping
      {"-100", "70000", "x", -100, 4464, 0},
      {" -5abc", "+12", "-32769", -5, 12, 32767},
      {"99999999999", "", "65535", -1, 0, -1},  // atoi saturates, then wraps
  };
  for (const Caso& k : casos) {
    EscribeArchivo(archivo_, std::string("[General]\nVALORMIN=") + k.valormin +
                                 "\nVALORMAX=" + k.valormax + "\nVALORDEF=" + k.valordef + "\n");
    Configuracion c;
    LeeConfiguracion(c, archivo_);
    EXPECT_EQ(c.Valor("General", "VALORMAX"), k.valormax);  // kept as text
    EXPECT_EQ(Rango().minimo, k.minimo) << k.valormin;
    EXPECT_EQ(Rango().maximo, k.maximo) << k.valormax;
    EXPECT_EQ(Rango().defecto, k.defecto) << k.valordef;
  }

  EscribeArchivo(archivo_,
                 "[Archivos]\nIMGREAL=0\nLEEDATORVA=2x\nGUARDATORVA=\nTIPOAUTO=-1\n"
                 "TIPOOBJINI=plan. marte\n"
                 "[Planisferio]\nPLMARGENIZQ=20.5\nPLMARGENDER=-2.5\nPLMARGENSUP=abc\n"
                 "PLMARGENINF=1e300\n");
  Configuracion c;
  LeeConfiguracion(c, archivo_);
  const ValoresDerivados& d = c.Derivados();
  EXPECT_EQ(d.imgReal, 0);
  EXPECT_EQ(d.leeDatOrva, 2);
  EXPECT_EQ(d.guardaDatOrva, 0);
  EXPECT_EQ(d.tipoAuto, -1);
  EXPECT_EQ(d.tipoObjetoInicial, 8);
  EXPECT_EQ(d.margenes[0], 21);
  EXPECT_EQ(d.margenes[1], -3);
  EXPECT_EQ(d.margenes[2], 0);
  EXPECT_EQ(d.margenes[3], INT_MAX);

  for (auto [palabra, id] : {std::pair{"ESPCTRO", 22}, {"estelar", 16}, {"ESPECTRO", 0}}) {
    c.Asigna("Archivos", "TIPOOBJINI", palabra);
    c.ActualizaDerivados();
    EXPECT_EQ(c.Derivados().tipoObjetoInicial, id) << palabra;
  }
}

TEST_F(ConfiguracionTest, GanchosEnOrdenConElNombreDelArchivo) {
  Configuracion c;
  std::vector<std::string> llamadas;
  int16_t maximoVisto = 0;
  c.AnadeGanchos(
      [&](const std::string& a) {
        llamadas.push_back("lee1 " + a);
        maximoVisto = Rango().maximo;
      },
      [&](const std::string& a) { llamadas.push_back("guarda1 " + a); });
  c.AnadeGanchos([&](const std::string& a) { llamadas.push_back("lee2 " + a); },
                 [&](const std::string& a) { llamadas.push_back("guarda2 " + a); });
  EscribeArchivo(archivo_, "[General]\nVALORMAX=4095\n");
  LeeConfiguracion(c, archivo_);
  GuardaConfiguracion(c, archivo_);
  EXPECT_EQ(llamadas, (std::vector<std::string>{"lee1 " + archivo_, "lee2 " + archivo_,
                                                "guarda1 " + archivo_, "guarda2 " + archivo_}));
  EXPECT_EQ(maximoVisto, 4095);  // derived values are ready when the hooks run
}

TEST_F(ConfiguracionTest, RegistradaTomaElValorDelArchivoYSeGuarda) {
  EscribeArchivo(archivo_, "[PREFANASOL]\nradiofotom=12\n");
  Configuracion c;
  LeeConfiguracion(c, archivo_);
  c.Registra("PREFANASOL", "RadioFotom", "5");
  c.Registra("PREFANASOL", "TamVenus", "3");
  EXPECT_EQ(c.Valor("prefanasol", "RADIOFOTOM"), "12");
  EXPECT_EQ(c.Valor("PREFANASOL", "TamVenus"), "3");
  c.Asigna("PREFANASOL", "TamVenus", "4");
  GuardaConfiguracion(c, archivo_);
  auto l = Lineas(LeeArchivo(archivo_));
  EXPECT_EQ(Posicion(l, "radiofotom=12"), 1);
  EXPECT_EQ(Posicion(l, "TamVenus=4"), 2);
}

TEST_F(ConfiguracionTest, EscrituraFallidaDejaElArchivoAnterior) {
  Configuracion c;
  c.Asigna("General", "DUPLIMA", "1");
  int llamadasGuarda = 0;
  c.AnadeGanchos(nullptr, [&](const std::string&) { ++llamadasGuarda; });

  // The path is a folder.
  fs::create_directory(dir_ / "carpeta");
  try {
    GuardaConfiguracion(c, (dir_ / "carpeta").string());
    ADD_FAILURE() << "no error";
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12091);
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "carpeta"));

  // The folder cannot be created: a file stands in its place.
  EscribeArchivo(dir_ / "archivo", "x");
  try {
    GuardaConfiguracion(c, (dir_ / "archivo" / "ORVA4.INI").string());
    ADD_FAILURE() << "no error";
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12091);
  }

  // The write itself fails (file size limit): the old file stays whole, no temporary remains.
  const std::string viejo = "[General]\nDUPLIMA=0\n; mio\n";
  EscribeArchivo(archivo_, viejo);
  rlimit anterior{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &anterior), 0);
  auto senal = ::signal(SIGXFSZ, SIG_IGN);
  rlimit limite = anterior;
  limite.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limite), 0);
  int id = 0;
  try {
    GuardaConfiguracion(c, archivo_);
  } catch (const JError& e) {
    id = e.Id();
  }
  ::setrlimit(RLIMIT_FSIZE, &anterior);
  ::signal(SIGXFSZ, senal);
  EXPECT_EQ(id, 10127);
  EXPECT_EQ(LeeArchivo(archivo_), viejo);
  EXPECT_EQ(llamadasGuarda, 0);

  // A folder that cannot be written (meaningless for root, who may write anywhere).
  if (::geteuid() != 0) {
    fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
    try {
      GuardaConfiguracion(c, archivo_);
      ADD_FAILURE() << "no error";
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 12091);
    }
    fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(LeeArchivo(archivo_), viejo);
  }
  EXPECT_EQ(Sobrantes({"ORVA4.INI", "carpeta", "archivo"}), std::vector<std::string>{});
}

TEST_F(ConfiguracionTest, GuardarAtraviesaEnlaceYConservaPermisos) {
  const fs::path real = dir_ / "real.ini";
  EscribeArchivo(real, "[Mio]\nA=1\n");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(real, archivo_);
  GuardaConfiguracion(Configuracion{}, archivo_);
  EXPECT_TRUE(fs::is_symlink(archivo_));
  EXPECT_EQ(LeeArchivo(real).rfind("[Mio]\nA=1\n\n[General]\nVERSION=2.0\n", 0), 0u);
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ConfiguracionTest, ArchivoConfiguracionSigueXdg) {
  EXPECT_EQ(ArchivoConfiguracion(), dir_.string() + "/orva/ORVA4.INI");
  const char* home = std::getenv("HOME");
  const std::string homeAnterior = home ? home : "";
  ::setenv("HOME", "/casa/ana", 1);
  ::setenv("XDG_CONFIG_HOME", "relativo", 1);  // ignored, as the XDG rules say
  EXPECT_EQ(ArchivoConfiguracion(), "/casa/ana/.config/orva/ORVA4.INI");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ArchivoConfiguracion(), "/casa/ana/.config/orva/ORVA4.INI");
  if (home)
    ::setenv("HOME", homeAnterior.c_str(), 1);
  else
    ::unsetenv("HOME");
}

TEST_F(ConfiguracionTest, GlobalEnLaCarpetaDelUsuario) {
  Configuracion& g = Configuracion::Global();
  g.RestableceDefectos();
  const std::string archivo = ArchivoConfiguracion();
  LeeConfiguracion(archivo);
  EXPECT_EQ(g.Valor("VALORMAX"), "32767");
  // Asking before unsaved work is lost is the default; "0" is kept for those who set it.
  g.Asigna("General", "ASKEXIT", "0");
  GuardaConfiguracion(archivo);
  EXPECT_TRUE(fs::exists(dir_ / "orva" / "ORVA4.INI"));
  g.RestableceDefectos();
  EXPECT_EQ(g.Valor("ASKEXIT"), "1");
  LeeConfiguracion(archivo);
  EXPECT_EQ(g.Valor("ASKEXIT"), "0");
  g.RestableceDefectos();
}

TEST_F(ConfiguracionTest, CambioDeVersionLeeElArchivoAntiguoEncima) {
  struct Caso {
    const char* nombre;
    std::string orva4;
    bool hayOrva2;
    const char* version;
    const char* duplima;  // present only in ORVA2.INI
    const char* askexit;  // in ORVA4.INI as 1, in ORVA2.INI as 2
  };
  const Caso casos[] = {
      {"versión vieja", "[General]\nVERSION=2.0\nASKEXIT=1\n", true, "4.0.2.1", "1", "2"},
      {"sin ORVA4", "", true, "4.0.2.1", "1", "2"},
      {"sin ORVA2", "[General]\nASKEXIT=1\n", false, "4.0.2.1", "0", "1"},
      {"misma versión", "[General]\nVERSION=4.0.2.1\nASKEXIT=1\n", true, "4.0.2.1", "0", "1"},
      {"otro programa", "[General]\nASKEXIT=1\n", true, "4.1", "0", "1"},
  };
  for (const Caso& k : casos) {
    std::error_code ec;
    fs::remove(archivo_, ec);
    fs::remove(dir_ / "ORVA2.INI", ec);
    if (!k.orva4.empty()) EscribeArchivo(archivo_, k.orva4);
    if (k.hayOrva2)
      EscribeArchivo(dir_ / "ORVA2.INI",
                     "[General]\nVERSION=1.0\nDUPLIMA=1\nASKEXIT=2\nVALORMAX=255\n");
    Configuracion c;
    ArrancaConfiguracion(c, archivo_, k.version);
    EXPECT_EQ(c.Valor("General", "VERSION"), k.version) << k.nombre;
    EXPECT_EQ(c.Valor("General", "DUPLIMA"), k.duplima) << k.nombre;
    EXPECT_EQ(c.Valor("General", "ASKEXIT"), k.askexit) << k.nombre;
    EXPECT_EQ(Rango().maximo, std::string(k.duplima) == "1" ? 255 : 32767) << k.nombre;
  }
}

// A carriage return inside a line ends the value on reading as it does on writing, so a value
// reads back the same after a save (a fault found by fuzzing).
TEST_F(ConfiguracionTest, RetornoDentroDeLaLineaCortaElValorAlLeerYAlEscribir) {
  EscribeArchivo(archivo_, "[General]\nVERSION=abc\rdef\n");
  Configuracion c;
  LeeConfiguracion(c, archivo_);
  EXPECT_EQ(c.Valor("General", "VERSION"), "abc");
  GuardaConfiguracion(c, archivo_);
  Configuracion otra;
  LeeConfiguracion(otra, archivo_);
  EXPECT_EQ(otra.Valor("General", "VERSION"), "abc");
}

// Known settings are those of the table, those bound by Registra and the few the desktop keeps
// outside the table; a value assigned or read from a file does not make a key known.
TEST_F(ConfiguracionTest, SoloSonConocidasLasClavesDelSistema) {
  Configuracion c;
  EscribeArchivo(archivo_, "[Inventada]\nCLAVE=1\n[Archivos]\nNOHAY=2\n");
  LeeConfiguracion(c, archivo_);
  c.Asigna("Archivos", "TAMPOCO", "3");
  c.Registra("TipoArch_PRUEBA", "FILTRO", "*.PRB");
  const struct {
    const char* seccion;
    const char* clave;
    bool conocida;
  } casos[] = {
      {"Archivos", "TIPOAUTO", true},
      {"archivos", "tipoauto", true},
      {"TipoArch_PRUEBA", "FILTRO", true},
      {"AnaDobles", "DISTCALIB", true},
      {"FiltrosConvol", "FILTROGENERAL", true},
      {"General", "TIPOAUTO", false},
      {"Inventada", "CLAVE", false},
      {"Archivos", "NOHAY", false},
      {"Archivos", "TAMPOCO", false},
      {"TipoArch_OTRO", "FILTRO", false},
  };
  for (const auto& k : casos) {
    EXPECT_EQ(c.Conocida(k.seccion, k.clave), k.conocida) << k.seccion << "." << k.clave;
  }
}

}  // namespace
}  // namespace orva
