// The registry, detection, the read and write entry points, the settings hooks and LEER.
#include <gtest/gtest.h>

#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "formats/DatosOrva.h"
#include "formats/TiposArchivo.h"
#include "formats/qor/Qor.h"
#include "macro/Macro.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "tests/formats/Ayuda.h"

namespace orva {
namespace {

using prueba::Carpeta;
using prueba::IdError;

class Registro : public ::testing::Test {
 protected:
  void SetUp() override {
    ListaTiposArchivo();
    Configuracion::Global().RestableceDefectos();
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }
  static void Ajusta(const char* clave, const char* valor) {
    Configuracion::Global().Asigna("Archivos", clave, valor);
  }
  Carpeta c;
};

TEST_F(Registro, VeintiunTiposEnSuOrden) {
  const std::vector<std::string> claves = {
      "QOR",     "FITS",    "GIF",      "TIFF",     "ST4",      "LYNXX",  "SBIG",
      "T1M",     "PDS",     "VICAR2",   "PIC_7852", "PIC_7863", "XPRESS", "XPRESS_2",
      "TC245_1", "TC245_2", "PANTALLA", "BUIL",     "PIX",      "CCDRED", "GENERAL"};
  const auto& lista = ListaTiposArchivo();
  // The 21 first, then the archive types read through GDAL.
  ASSERT_EQ(lista.size(), claves.size() + 2);
  EXPECT_EQ(lista[21].clave, "PDS4");
  EXPECT_EQ(lista[22].clave, "ISIS");
  for (size_t i = 0; i < claves.size(); ++i) {
    const RegistroTipoArchivo& r = lista[i];
    EXPECT_EQ(r.clave, claves[i]);
    EXPECT_EQ(r.idCadena, 11076 + r.id);  // display names follow the ids
    EXPECT_TRUE(ExisteCadena(r.idCadena));
    EXPECT_EQ(BuscaTipoArchivo(r.id), &r);
    EXPECT_EQ(BuscaTipoArchivo(r.clave), &r);
    EXPECT_EQ(Configuracion::Global().Valor(SeccionTipoArchivo(r), "FILTRO"), r.filtro);
  }
  EXPECT_EQ(Cadena(11076), "Desconocido");
  EXPECT_EQ(Cadena(BuscaTipoArchivo(kSbig)->idCadena), "SBig (ST6, ST7, ST8)");
  EXPECT_EQ(Cadena(BuscaTipoArchivo(kGeneral)->idCadena), "General");
  EXPECT_EQ(BuscaTipoArchivo(kFits)->filtro, "*.FTS;*.FIT");
  EXPECT_EQ(BuscaTipoArchivo(kPds)->filtro, "*.IBG;*.IMQ;*.IMG");
  EXPECT_EQ(BuscaTipoArchivo(kLynxx)->filtro, "*.*");
  EXPECT_EQ(SeccionTipoArchivo(*BuscaTipoArchivo(kFits)), "TipoArch_FITS");
  EXPECT_EQ(BuscaTipoArchivo(kDatosOrva), nullptr);
  EXPECT_EQ(BuscaTipoArchivo(0), nullptr);
  EXPECT_EQ(BuscaTipoArchivo("qor"), nullptr);  // keys compare exactly
}

struct CasoDeteccion {
  std::string bytes;
  uint64_t longitud;  // 0: the length of the bytes
  std::string nombre;
  int tipo;
};

TEST(Deteccion, LosVeintiunPasosEnOrden) {
  const std::string pix = std::string("\xFD\0\0\0\0\0\xF7", 7);
  const CasoDeteccion casos[] = {
      {"", 0, "x", kTipoDesconocido},
      {"ORVA DATOS\nNOMOBJ=x\n", 0, "x", kDatosOrva},
      {"ORVA DATO", 0, "x", kTipoDesconocido},
      {"GIF89a", 31872, "x", kGif},
      {"SIMPLE  =                    T LBLSIZE=100", 0, "x", kFits},
      {"CCSD3ZF0000100000001NJPL3IF0PDS200000001 = SFDU_LABEL", 0, "x", kPds},
      {"SFDU_LABEL", 0, "x", kTipoDesconocido},  // only at byte 0
      {"ST-4X Image", 0, "x", kSbig},
      {"ST-7 Compressed Image", 0, "x", kSbig},
      {"ST-9 Image", 0, "x", kTipoDesconocido},
      {"Format T1M Pic du Midi", 0, "x", kT1m},
      {"Format T1M Pic du Mid", 0, "x", kTipoDesconocido},
      {"FORMATO_QOR", 0, "x", kQor},
      {"  LBLSIZE=2048", 0, "x", kVicar2},
      {std::string("II*\0LBLSIZE", 11), 0, "x", kTiff},  // text searches stop at a zero byte
      {pix, 63367, "x", kPix},
      {pix, 63368, "x", kTipoDesconocido},
      {"", 63007, "imagen.pa", kTc245_1},
      {"", 63007, "imagen.PA", kTc245_1},
      {"", 63007, "dir.p1/imagen.P1", kTc245_2},
      {"", 63007, "dir.pa/imagen", kTipoDesconocido},
      {"II", 63007, "imagen.dat", kTiff},  // skips the size tests to step 19, then 20
      {"", 31872, "x", kST4},
      {"", 32360, "x", kST4},
      {"", 47520, "x", kLynxx},
      {"", 64000, "x", kPantalla},
      {"", 59904, "x", kBuil},
      {"", 64831, "x", kPic7852},
      {"", 261120, "x", kXpress},
      {"", 192780, "x", kXpress2},
      {"", 221696, "x", kPic7863},
      {"MM", 31872, "x", kST4},
      {std::string("\x64\x00\x32\x00", 4), 100 * 50 * 2 + 512, "x", kPic7863},
      {std::string("\x64\x00\x32\x00", 4), 100 * 50 * 2 + 513, "x", kTipoDesconocido},
      {"II*", 0, "x", kTiff},
      {"MM", 0, "x", kTiff},
      {"Mm", 0, "x", kTipoDesconocido},
  };
  for (const CasoDeteccion& k : casos) {
    const uint64_t L = k.longitud ? k.longitud : k.bytes.size();
    EXPECT_EQ(DetectaTipoArchivo(reinterpret_cast<const unsigned char*>(k.bytes.data()),
                                 k.bytes.size(), L, k.nombre),
              k.tipo)
        << k.bytes << " " << L << " " << k.nombre;
  }
}

TEST_F(Registro, DeteccionDeArchivos) {
  prueba::Escribe(c / "vacio", "");
  prueba::Escribe(c / "gif", "GIF");
  std::string st4(31872, '\0');
  st4.replace(600, 7, "LBLSIZE");  // beyond the first 512 bytes: not looked at
  prueba::Escribe(c / "st4", st4);
  EXPECT_EQ(DetectaTipoArchivo(c / "vacio"), kTipoDesconocido);
  EXPECT_EQ(DetectaTipoArchivo(c / "gif"), kGif);
  EXPECT_EQ(DetectaTipoArchivo(c / "st4"), kST4);
  EXPECT_EQ(IdError([&] { DetectaTipoArchivo(c / "no_existe"); }), 10125);
  EXPECT_EQ(IdError([&] { CompruebaTipoArchivo(c / "gif", kQor); }), 11019);
  CompruebaTipoArchivo(c / "gif", kGif);
}

// An image worth saving, with pixels and metadata.
void Prepara(Imagen& im) {
  im.CambiaPixeles(4, 3, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, -11});
  im.datos.nombreObjeto = "M 13";
  im.puntos[kDespRef] = {1, 3, 4};
  im.Modificada(1);
}

TEST_F(Registro, GuardaYLeeConDatosOrva) {
  Imagen im;
  Prepara(im);
  const std::vector<int16_t> pixeles = im.Pixeles();
  GuardaArchivo(c / "m13.qor", im, kQor);
  EXPECT_EQ(im.Pixeles(), pixeles);
  EXPECT_EQ(im.ModificadaMarca(), 0);
  EXPECT_EQ(im.Ruta(), c / "m13.qor");
  EXPECT_EQ(im.claveTipoArchivo, "QOR");
  EXPECT_EQ(DetectaTipoArchivo(c / "m13.qor.dat"), kDatosOrva);

  // Detection wins over the extension and the given type.
  std::filesystem::rename(c / "m13.qor", c / "m13.fts");
  std::filesystem::rename(c / "m13.qor.dat", c / "m13.fts.dat");
  Imagen leida;
  LeeArchivo(c / "m13.fts", leida, kFits);
  EXPECT_EQ(leida.tipoArchivo, kQor);
  EXPECT_EQ(leida.claveTipoArchivo, "QOR");
  EXPECT_EQ(leida.Ruta(), c / "m13.fts");
  EXPECT_EQ(leida.Pixeles(), pixeles);
  EXPECT_EQ(leida.Minimo(), -11);  // statistics after loading
  EXPECT_EQ(leida.ModificadaMarca(), 0);
  EXPECT_EQ(leida.puntos[kDespRef].y, 4);  // from the side data file
  EXPECT_GE(leida.fechaArchivo.FechaDia().Anio(), 2020);

  // Without LEEDATORVA the side data file is not read; without GUARDATORVA none is written.
  Ajusta("LEEDATORVA", "0");
  Imagen sinDatos;
  LeeArchivo(c / "m13.fts", sinDatos);
  EXPECT_EQ(sinDatos.puntos[kDespRef].definido, 0);
  Ajusta("GUARDATORVA", "0");
  GuardaArchivo(c / "b.qor", im, kQor);
  EXPECT_FALSE(std::filesystem::exists(c / "b.qor.dat"));
}

TEST_F(Registro, TiposSinLecturaNiEscritura) {
  Imagen im;
  Prepara(im);
  // Saving with the type of TIPARCHGUARDAR (PDS, a type that is only read), and with an
  // unknown id.
  Ajusta("TIPARCHGUARDAR", "PDS");
  try {
    GuardaArchivo(c / "a.st4", im);
    FAIL();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 11018);
    EXPECT_EQ(e.Argumento(1), "PDS");
  }
  try {
    GuardaArchivo(c / "a.x", im, 99);
    FAIL();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 11018);
    EXPECT_EQ(e.Argumento(1), "Desconocido");
  }
  EXPECT_FALSE(std::filesystem::exists(c / "a.st4"));

  // Reading a file nothing detects, when TIPARCHLEER cannot read it either (ST4's reader
  // refuses a file that is not ST4, NINGUNO is no type): the file's type was not recognised.
  prueba::Escribe(c / "raro", "nada reconocible");
  for (const char* tipoLeer : {"ST4", "NINGUNO"}) {
    Ajusta("TIPARCHLEER", tipoLeer);
    try {
      LeeArchivo(c / "raro", im);
      FAIL();
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 12225);
      EXPECT_EQ(e.Argumento(1), c / "raro");
    }
  }
  // Without detection the type asked for answers: ST4's reader says the file is not ST4, and
  // an unknown id has no reader.
  Ajusta("TIPARCHLEER", "ST4");
  Ajusta("TIPOAUTO", "0");
  try {
    LeeArchivo(c / "raro", im);
    FAIL();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 11019);
    EXPECT_EQ(e.Argumento(2), "ST4");
  }
  try {
    LeeArchivo(c / "raro", im, 99);
    FAIL();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 11017);
    EXPECT_EQ(e.Argumento(1), "Desconocido");
  }
  Ajusta("TIPOAUTO", "1");
}

TEST_F(Registro, ArchivoDeDatosComoImagen) {
  Imagen im;
  Prepara(im);
  GuardaDatosOrva(im, c / "x.qor");
  EXPECT_EQ(IdError([&] { LeeArchivo(c / "x.qor.dat", im); }), 11098);
  // Without detection it is read as the configured type and fails with that type's error.
  Ajusta("TIPOAUTO", "0");
  Ajusta("TIPARCHLEER", "QOR");
  EXPECT_EQ(IdError([&] { LeeArchivo(c / "x.qor.dat", im); }), 11019);
}

TEST_F(Registro, LecturaFallidaDejaLaIdentidad) {
  Imagen im;
  Prepara(im);
  GuardaArchivo(c / "bien.qor", im, kQor);
  std::string bytes = prueba::Lee(c / "bien.qor");
  bytes.resize(bytes.size() - 3);
  prueba::Escribe(c / "mal.qor", bytes);
  EXPECT_EQ(IdError([&] { LeeArchivo(c / "mal.qor", im); }), 11141);
  EXPECT_EQ(im.Ruta(), c / "bien.qor");
  EXPECT_EQ(im.tipoArchivo, kQor);
}

// A writer that changes what it is given: the image in memory must not see it.
void GuardaQueEstropea(const std::string& archivo, ImagenObservacion& im) {
  std::fill(im.Pixeles().begin(), im.Pixeles().end(), int16_t{0});
  im.datos.nombreObjeto = "cambiado";
  prueba::Escribe(archivo, "st4");
}

TEST_F(Registro, ElEscritorTrabajaSobreUnaCopia) {
  RegistroTipoArchivo* st4 = BuscaTipoArchivo(kST4);
  const FuncionGuarda propia = st4->guarda;
  st4->guarda = &GuardaQueEstropea;
  Imagen im;
  Prepara(im);
  const std::vector<int16_t> pixeles = im.Pixeles();
  Ajusta("GUARDATORVA", "0");
  GuardaArchivo(c / "a.st4", im);
  st4->guarda = propia;
  EXPECT_EQ(prueba::Lee(c / "a.st4"), "st4");
  EXPECT_EQ(im.Pixeles(), pixeles);
  EXPECT_EQ(im.datos.nombreObjeto, "M 13");
}

TEST_F(Registro, AjustesDeLosTiposEnElArchivoDeConfiguracion) {
  prueba::Escribe(c / "ORVA4.INI",
                  "[TipoArch_QOR]\nFILTRO=*.QQ\nCOMPRESION=DEFLAT\n[TipoArch_FITS]\nFILTRO=*.FZ\n");
  LeeConfiguracion(c / "ORVA4.INI");
  EXPECT_EQ(BuscaTipoArchivo(kQor)->filtro, "*.QQ");
  EXPECT_EQ(BuscaTipoArchivo(kFits)->filtro, "*.FZ");
  EXPECT_EQ(OpcionesActualesQor().compresion, "DEFLAT");
  EXPECT_EQ(BuscaTipoArchivo(kGif)->filtro, "*.GIF");

  FijaFiltroTipoArchivo(*BuscaTipoArchivo(kGif), "*.GIF;*.GIFF");
  GuardaConfiguracion(c / "nuevo.ini");
  const std::string escrito = prueba::Lee(c / "nuevo.ini");
  EXPECT_NE(escrito.find("[TipoArch_GIF]"), std::string::npos);
  EXPECT_NE(escrito.find("FILTRO=*.GIF;*.GIFF"), std::string::npos);
  EXPECT_NE(escrito.find("COMPRESION=DEFLAT"), std::string::npos);

  LeeConfiguracion(c / "no_existe.ini");  // every setting back to its default
  EXPECT_EQ(BuscaTipoArchivo(kQor)->filtro, "*.QOR");
  EXPECT_EQ(BuscaTipoArchivo(kGif)->filtro, "*.GIF");
}

TEST_F(Registro, MacroLeer) {
  InstalaSistema();
  Imagen fuente;
  Prepara(fuente);
  Ajusta("GUARDATORVA", "0");
  GuardaArchivo(c / "f.qor", fuente, kQor);
  Imagen im;
  im.CambiaPixeles(1, 1, {1});
  Ranuras r(im);
  EXPECT_EQ(EjecutaLinea(r, "LEER " + (c / "f.qor") + " 1", 1), 1);
  EXPECT_EQ(im.Pixeles(), fuente.Pixeles());
  EXPECT_EQ(EjecutaLinea(r, "LEER " + (c / "f.qor") + " 3", 1), 0);  // empty slot
  EXPECT_EQ(EjecutaLinea(r, "LEER " + (c / "f.qor") + " 9", 1), 0);
  r.Copia(1, 2);
  EXPECT_EQ(EjecutaLinea(r, "LEER " + (c / "f.qor") + " 2", 1), 1);
  EXPECT_EQ(IdError([&] { EjecutaLinea(r, "LEER " + (c / "no.qor") + " 1", 1); }), 10125);
}

}  // namespace
}  // namespace orva
