// The planetary archive types: PDS3 files built here from the documented layout, VICAR, PDS4 and
// ISIS3 files written by gdal_translate, each read by ORVA and checked against the values written
// and against GDAL's own reading of the same file.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Rango.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "formats/gdal/Gdal.h"
#include "formats/pds/EtiquetaOdl.h"
#include "formats/pds/Pds.h"
#include "formats/vicar/EtiquetaVicar.h"
#include "formats/vicar/Vicar.h"
#include "shell/Configuracion.h"
#include "tests/formats/Ayuda.h"

namespace orva {
namespace {

using prueba::Carpeta;
using prueba::IdError;
using namespace std::literals;

constexpr int kAncho = 9;
constexpr int kAlto = 6;

// How a sample is stored, written here independently of the readers.
enum Clase { kEntero, kSinSigno, kIeee, kVax };

std::string Bytes(double v, Clase clase, int bytes, bool mayorPrimero) {
  uint64_t u = 0;
  if (clase == kIeee || clase == kVax) {
    u = bytes == 8 ? std::bit_cast<uint64_t>(v)
                   : std::bit_cast<uint32_t>(static_cast<float>(clase == kVax ? v * 4.0 : v));
  } else {
    u = static_cast<uint64_t>(static_cast<int64_t>(v));
  }
  std::string b(static_cast<size_t>(bytes), '\0');
  for (int i = 0; i < bytes; ++i) {
    const char c = static_cast<char>((u >> (8 * (bytes - 1 - i))) & 0xFF);
    b[static_cast<size_t>(mayorPrimero ? i : bytes - 1 - i)] = c;
  }
  if (clase == kVax) b = {b[2], b[3], b[0], b[1]};  // the little-endian order, words swapped
  return b;
}

// A pixel value of every kind of sample: signed, large unsigned, wide and real.
double Valor(int x, int y, Clase clase, int bytes) {
  if (clase == kIeee || clase == kVax) return x * 0.25 - y * 1.5;
  // Unsigned values start at 1: GDAL takes 0 for "no data" in PDS3 files.
  if (bytes == 1) return clase == kSinSigno ? x * 28 + y + 1 : x * 14 - 60 + y;
  if (bytes == 2) return clase == kSinSigno ? x * 7000 + y * 11 + 1 : x * 300 - y * 1000;
  return clase == kSinSigno ? x * 400000.0 + y : x * 100000.0 - y * 7;
}

// ---- PDS3

struct CasoPds {
  const char* nombre;
  const char* tipoMuestra;
  Clase clase;
  int bytes;
  bool mayorPrimero;
  int prefijo, sufijo;
  bool separada;        // label in a .LBL file beside the image
  const char* puntero;  // "registros", "bytes", "archivo", "archivo-registro", "archivo-bytes"
  double factor, desplazamiento;
  bool conGdal;  // GDAL's PDS driver reads it too
};

std::string Linea(const std::string& clave, const std::string& valor) {
  return clave + " = " + valor + "\r\n";
}

// Writes a PDS3 image and returns the name to open (the label or the image); also gives the
// image file and the physical values the label describes.
struct ArchivoPds {
  std::string etiqueta, imagen;
  std::vector<double> fisicos;
};

ArchivoPds EscribePds(const Carpeta& c, const CasoPds& k, const std::string& extra = {}) {
  ArchivoPds r;
  const int registro = k.prefijo + kAncho * k.bytes + k.sufijo;
  std::string datos;
  for (int y = 0; y < kAlto; ++y) {
    datos += std::string(static_cast<size_t>(k.prefijo), '\x7F');
    for (int x = 0; x < kAncho; ++x) {
      const double v = Valor(x, y, k.clase, k.bytes);
      datos += Bytes(v, k.clase, k.bytes, k.mayorPrimero);
      r.fisicos.push_back(k.desplazamiento + k.factor * v);
    }
    datos += std::string(static_cast<size_t>(k.sufijo), '\x7F');
  }
  const std::string nombreImagen = std::string(k.nombre) + ".IMG";
  auto cuerpo = [&](const std::string& puntero) {
    std::string l = Linea("PDS_VERSION_ID", "PDS3") + Linea("RECORD_TYPE", "FIXED_LENGTH") +
                    Linea("RECORD_BYTES", std::to_string(registro)) + Linea("^IMAGE", puntero) +
                    extra + "OBJECT = IMAGE\r\n" + Linea("  LINES", std::to_string(kAlto)) +
                    Linea("  LINE_SAMPLES", std::to_string(kAncho)) +
                    Linea("  SAMPLE_TYPE", k.tipoMuestra) +
                    Linea("  SAMPLE_BITS", std::to_string(8 * k.bytes));
    if (k.prefijo) l += Linea("  LINE_PREFIX_BYTES", std::to_string(k.prefijo));
    if (k.sufijo) l += Linea("  LINE_SUFFIX_BYTES", std::to_string(k.sufijo));
    if (k.factor != 1.0) l += Linea("  SCALING_FACTOR", std::to_string(k.factor));
    if (k.desplazamiento != 0.0) l += Linea("  OFFSET", std::to_string(k.desplazamiento));
    return l + "END_OBJECT = IMAGE\r\nEND\r\n";
  };
  const std::string p = k.puntero;
  if (k.separada) {
    const std::string ref = "\"" + nombreImagen + "\"";
    const std::string puntero = p == "archivo" ? ref
                                : p == "archivo-registro"
                                    ? "(" + ref + ", 2)"
                                    : "(" + ref + ", " + std::to_string(registro + 1) + " <BYTES>)";
    // The image file starts with one record the pointer skips (none for a bare file name).
    const std::string delante =
        p == "archivo" ? "" : std::string(static_cast<size_t>(registro), 'x');
    r.imagen = c / nombreImagen;
    r.etiqueta = c / (std::string(k.nombre) + ".LBL");
    prueba::Escribe(r.imagen, delante + datos);
    prueba::Escribe(r.etiqueta, cuerpo(puntero));
    return r;
  }
  // Attached: the label padded to whole records; the pointer's number is fixed-width so that
  // the label's length does not depend on it.
  std::string etiqueta;
  size_t registros = 1;
  for (int vuelta = 0; vuelta < 2; ++vuelta) {
    char n[16];
    const uint64_t valor = p == "bytes" ? registros * registro + 1 : registros + 1;
    std::snprintf(n, sizeof n, "%08llu", static_cast<unsigned long long>(valor));
    etiqueta = cuerpo(std::string(n) + (p == "bytes" ? " <BYTES>" : ""));
    registros = (etiqueta.size() + registro - 1) / registro;
  }
  etiqueta.resize(registros * registro, ' ');
  r.imagen = r.etiqueta = c / nombreImagen;
  prueba::Escribe(r.imagen, etiqueta + datos);
  return r;
}

// The image's physical values equal the expected ones to within half a mapping step.
void CompruebaValores(const ImagenObservacion& im, const std::vector<double>& esperados,
                      const std::string& que) {
  ASSERT_EQ(im.Ancho(), static_cast<uint32_t>(kAncho)) << que;
  ASSERT_EQ(im.Alto(), static_cast<uint32_t>(kAlto)) << que;
  ASSERT_EQ(esperados.size(), im.NumPixeles()) << que;
  const double tolerancia = std::abs(im.mapeo.escala) * 0.5 + 1e-9;
  for (size_t i = 0; i < esperados.size(); ++i) {
    EXPECT_NEAR(im.mapeo.Fisico(im.Pixeles()[i]), esperados[i],
                tolerancia + 1e-9 * std::abs(esperados[i]))
        << que << " pixel " << i;
  }
}

std::vector<double> FisicosGdal(const std::string& archivo, const char* driver) {
  const BandaGdal b = LeeBandaGdal(archivo, driver);
  EXPECT_EQ(b.ancho, static_cast<uint32_t>(kAncho));
  EXPECT_EQ(b.alto, static_cast<uint32_t>(kAlto));
  std::vector<double> r;
  for (double v : b.valores) r.push_back(b.fisico.Fisico(v));
  return r;
}

class Planetarios : public ::testing::Test {
 protected:
  void SetUp() override {
    ListaTiposArchivo();
    Configuracion::Global().RestableceDefectos();
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }
  Carpeta c;
};

TEST_F(Planetarios, Pds3EnCadaDisposicion) {
  const CasoPds casos[] = {
      // GDAL 3.6 leaves LINE_SUFFIX_BYTES out of the line length: those are checked against
      // the values written only.
      {"MSB16", "MSB_INTEGER", kEntero, 2, true, 4, 2, false, "registros", 1, 0, false},
      {"U8SUF", "MSB_UNSIGNED_INTEGER", kSinSigno, 1, true, 0, 3, true, "archivo", 1, 0, false},
      {"LSBU16", "LSB_UNSIGNED_INTEGER", kSinSigno, 2, false, 0, 0, false, "bytes", 1, 0, true},
      {"U8ESC", "UNSIGNED_INTEGER", kSinSigno, 1, true, 5, 0, false, "registros", 0.5, 100, true},
      // GDAL 3.6 reads 32-bit integer samples as reals.
      {"MSB32", "MSB_INTEGER", kEntero, 4, true, 0, 0, false, "registros", 1, 0, false},
      {"PCU32", "PC_UNSIGNED_INTEGER", kSinSigno, 4, false, 0, 0, false, "registros", 1, 0, false},
      {"PCREAL", "PC_REAL", kIeee, 4, false, 12, 0, true, "archivo-registro", 1, 0, true},
      {"IEEE", "IEEE_REAL", kIeee, 4, true, 0, 0, true, "archivo", 2, -3, true},
      {"IEEE64", "IEEE_REAL", kIeee, 8, true, 6, 0, true, "archivo-bytes", 1, 0, true},
      // GDAL 3.6 reads VAX reals as IEEE ones and signed bytes as unsigned.
      {"VAX", "VAX_REAL", kVax, 4, false, 0, 0, false, "registros", 1, 0, false},
      {"LSB8", "LSB_INTEGER", kEntero, 1, false, 0, 0, true, "archivo-registro", 1, 0, false},
  };
  for (const CasoPds& k : casos) {
    SCOPED_TRACE(k.nombre);
    const ArchivoPds a = EscribePds(c, k);
    // Detected as PDS: the label by PDS_VERSION_ID, detached image data by its .LBL.
    EXPECT_EQ(DetectaTipoArchivo(a.etiqueta), kPds);
    EXPECT_EQ(DetectaTipoArchivo(a.imagen), kPds);
    for (const std::string& abierto : {a.etiqueta, a.imagen}) {
      Imagen im;
      LeeArchivo(abierto, im);
      EXPECT_EQ(im.tipoArchivo, kPds);
      CompruebaValores(im, a.fisicos, abierto);
    }
    if (k.conGdal) {
      ImagenObservacion im;
      LeePds(a.imagen, im);
      CompruebaValores(im, FisicosGdal(a.etiqueta, "PDS"), "GDAL");
    }
  }
}

TEST_F(Planetarios, EtiquetaPds3ADatosYCabecera) {
  const std::string extra =
      "/* a comment line */\r\n"
      "TARGET_NAME = \"SATURN\"\r\n"
      "SPACECRAFT_NAME = \"CASSINI ORBITER\" /* trailing comment */\r\n"
      "INSTRUMENT_NAME = \"IMAGING SCIENCE SUBSYSTEM\r\n  NARROW ANGLE\"\r\n"
      "FILTER_NAME = (\"CL1\", \"GRN\")\r\n"
      "START_TIME = 2004-185T02:48:10.125Z\r\n"
      "EXPOSURE_DURATION = 1500.000 <MS>\r\n"
      "OBJECT = IMAGE_HEADER\r\n  BYTES = 0\r\nEND_OBJECT = IMAGE_HEADER\r\n";
  const CasoPds k{"ETIQ", "MSB_INTEGER", kEntero, 2, true, 0, 0, false, "registros", 1, 0, false};
  const ArchivoPds a = EscribePds(c, k, extra);
  Imagen im;
  LeeArchivo(a.imagen, im);
  EXPECT_EQ(im.datos.nombreObjeto, "SATURN");
  EXPECT_EQ(im.datos.observatorio.nombre, "CASSINI ORBITER");
  EXPECT_EQ(im.datos.nomCCD, "IMAGING SCIENCE SUBSYSTEM NARROW ANGLE");
  EXPECT_EQ(im.datos.filtro, "CL1, GRN");
  EXPECT_EQ(im.datos.fechaHora.FechaDia().Texto(), "03/07/2004");  // day 185 of a leap year
  EXPECT_EQ(im.datos.fechaHora.HoraDia().Texto(), "02:48:10.125");
  EXPECT_DOUBLE_EQ(im.datos.tiempoExp, 1.5);
  EXPECT_TRUE(TieneDatoImagen(im.datos, "TIEMPOEXP"));
  // The whole label, one card per item, nested items indented; LINE_SAMPLES is in the image
  // object, the quoted value spread over two lines comes back on one.
  std::vector<std::string> lineas;
  for (const std::string& t : im.cabecera.Tarjetas()) {
    ASSERT_EQ(t.substr(0, 8), "COMMENT ");
    lineas.push_back(t.substr(8, t.find_last_not_of(' ') - 7));
  }
  const std::vector<std::string> esperadas = {
      "PDS_VERSION_ID = PDS3",
      "TARGET_NAME = SATURN",
      "INSTRUMENT_NAME = IMAGING SCIENCE SUBSYSTEM NARROW ANGLE",
      "EXPOSURE_DURATION = 1500.000 <MS>",
      "OBJECT = IMAGE",
      "  LINE_SAMPLES = 9",
      "END_OBJECT = IMAGE"};
  for (const std::string& e : esperadas) {
    EXPECT_NE(std::find(lineas.begin(), lineas.end(), e), lineas.end()) << e;
  }
  EXPECT_EQ(
      std::count_if(lineas.begin(), lineas.end(),
                    [](const std::string& l) { return l.find("comment") != std::string::npos; }),
      0);
}

// ---- GDAL-written files: VICAR, PDS4, ISIS3

bool HayGdalTranslate() {
  return std::system("gdal_translate --version > /dev/null 2>&1") == 0;
}

// A raw little-endian block with a GDAL virtual-raster description, the source of every
// gdal_translate conversion; gives the values written.
std::vector<double> EscribeFuente(const Carpeta& c, const char* tipoGdal, Clase clase, int bytes) {
  std::string datos;
  std::vector<double> v;
  for (int y = 0; y < kAlto; ++y) {
    for (int x = 0; x < kAncho; ++x) {
      v.push_back(Valor(x, y, clase, bytes));
      datos += Bytes(v.back(), clase, bytes, false);
    }
  }
  prueba::Escribe(c / "fuente.raw", datos);
  prueba::Escribe(c / "fuente.vrt",
                  "<VRTDataset rasterXSize=\"" + std::to_string(kAncho) + "\" rasterYSize=\"" +
                      std::to_string(kAlto) + "\"><VRTRasterBand dataType=\"" + tipoGdal +
                      "\" band=\"1\" subClass=\"VRTRawRasterBand\"><SourceFilename "
                      "relativetoVRT=\"1\">fuente.raw</SourceFilename><ByteOrder>LSB</ByteOrder>"
                      "</VRTRasterBand></VRTDataset>");
  return v;
}

void Traduce(const Carpeta& c, const std::string& opciones, const std::string& salida) {
  const std::string orden = "cd '" + c.Ruta() + "' && gdal_translate -q " + opciones +
                            " fuente.vrt '" + salida + "' > /dev/null 2>&1";
  ASSERT_EQ(std::system(orden.c_str()), 0) << orden;
}

struct CasoGdal {
  const char* tipoGdal;
  Clase clase;
  int bytes;
  bool isis;  // ISIS3 cubes hold no 32-bit integers
};

TEST_F(Planetarios, VicarPds4eIsis3EscritosPorGdal) {
  if (!HayGdalTranslate()) GTEST_SKIP() << "gdal_translate is not installed";
  const CasoGdal casos[] = {{"Byte", kSinSigno, 1, true},
                            {"Int16", kEntero, 2, true},
                            {"Int32", kEntero, 4, false},
                            {"Float32", kIeee, 4, true}};
  for (const CasoGdal& k : casos) {
    SCOPED_TRACE(k.tipoGdal);
    const std::vector<double> v = EscribeFuente(c, k.tipoGdal, k.clase, k.bytes);
    Traduce(c, "-of VICAR", "a.vic");
    Traduce(c, "-of PDS4 -co VAR_TARGET=Mars -co VAR_TARGET_TYPE=Planet", "a.xml");
    if (k.isis) Traduce(c, "-of ISIS3", "a.cub");
    struct Leido {
      std::string archivo;
      int tipo;
      const char* driver;
    };
    std::vector<Leido> leidos = {{c / "a.vic", kVicar2, "VICAR"}, {c / "a.xml", kPds4, "PDS4"}};
    if (k.isis) leidos.push_back({c / "a.cub", kIsis, "ISIS3"});
    for (const Leido& l : leidos) {
      Imagen im;
      LeeArchivo(l.archivo, im);
      EXPECT_EQ(im.tipoArchivo, l.tipo) << l.archivo;
      EXPECT_FALSE(im.cabecera.Vacia()) << l.archivo;
      CompruebaValores(im, v, l.archivo);
      if (l.tipo == kVicar2) CompruebaValores(im, FisicosGdal(l.archivo, l.driver), "GDAL");
    }
    Imagen pds4;
    LeeArchivo(c / "a.xml", pds4);
    EXPECT_EQ(pds4.datos.nombreObjeto, "Mars");
  }
}

TEST_F(Planetarios, EtiquetaIsis3ADatos) {
  if (!HayGdalTranslate()) GTEST_SKIP() << "gdal_translate is not installed";
  const std::vector<double> v = EscribeFuente(c, "Int16", kEntero, 2);
  Traduce(c, "-of ISIS3", "o.cub");
  // The observation's group put into the label, taken from the blank padding before the data
  // so that the data keep their place.
  std::string cubo = prueba::Lee(c / "o.cub");
  const std::string grupo =
      "  Group = Instrument\n    SpacecraftName = Galileo\n    InstrumentId = SSI\n"
      "    TargetName = Io\n    StartTime = 1996-06-27T07:30:00.5\n"
      "    ExposureDuration = 12.5 <Milliseconds>\n  End_Group\n";
  const size_t core = cubo.find("  Object = Core");
  const size_t fin = cubo.find("\nEnd\n");
  ASSERT_NE(core, std::string::npos);
  ASSERT_NE(fin, std::string::npos);
  ASSERT_EQ(cubo.substr(fin + 5, grupo.size()).find_first_not_of(std::string(" \0", 2)),
            std::string::npos);
  cubo.erase(fin + 5, grupo.size());
  cubo.insert(core, grupo);
  // Pixel 2 made ISIS's low instrument saturation (-32766, little-endian as GDAL writes).
  const size_t datos = 65536;
  cubo[datos + 4] = '\x02';
  cubo[datos + 5] = '\x80';
  prueba::Escribe(c / "o.cub", cubo);
  Imagen im;
  LeeArchivo(c / "o.cub", im);
  EXPECT_EQ(im.Pixeles()[2], Rango().defecto);
  std::vector<double> esperados = v;
  esperados[2] = im.mapeo.Fisico(Rango().defecto);
  CompruebaValores(im, esperados, "ISIS3");
  EXPECT_EQ(im.datos.nombreObjeto, "Io");
  EXPECT_EQ(im.datos.observatorio.nombre, "Galileo");
  EXPECT_EQ(im.datos.nomCCD, "SSI");
  EXPECT_EQ(im.datos.fechaHora.Texto(), "27/06/1996 07:30:00.500");
  EXPECT_DOUBLE_EQ(im.datos.tiempoExp, 0.0125);
}

// A VICAR file written here: a binary header record, prefix bytes, two bands in the given
// order, big-endian halves, and EOL labels after the data.
std::string Vicar(bool conEol, int lineasDeclaradas, const std::string& org = "BSQ") {
  const int nbb = 3, nb = 2;
  const bool bip = org == "BIP";
  const int recsize = nbb + kAncho * 2 * (bip ? nb : 1);
  std::string etiqueta = "LBLSIZE=000000 FORMAT='HALF' TYPE='IMAGE' ORG='" + org +
                         "' NL=" + std::to_string(lineasDeclaradas) +
                         " NS=" + std::to_string(kAncho) +
                         " NB=2 NBB=3 NLB=1 RECSIZE=" + std::to_string(recsize) +
                         " INTFMT='HIGH' REALFMT='IEEE' EOL=" + (conEol ? "1" : "0") +
                         " TASK='GEN' USER='obs' TARGET_NAME='IO' ";
  const size_t tamano = static_cast<size_t>(recsize) * 10;  // whole records
  char n[8];
  std::snprintf(n, sizeof n, "%06zu", tamano);
  etiqueta.replace(8, 6, n);
  etiqueta.resize(tamano, ' ');
  auto muestra = [](int x, int y, int b) {
    return Bytes(b == 0 ? Valor(x, y, kEntero, 2) : -1 - x, kEntero, 2, true);
  };
  auto registro = [&](int y, int b) {
    std::string r = "pfx";
    for (int x = 0; x < kAncho; ++x) r += muestra(x, y, b);
    return r;
  };
  std::string datos(static_cast<size_t>(recsize), 'h');  // the binary header record
  if (org == "BSQ") {
    for (int b = 0; b < nb; ++b) {
      for (int y = 0; y < kAlto; ++y) datos += registro(y, b);
    }
  } else if (org == "BIL") {
    for (int y = 0; y < kAlto; ++y) {
      for (int b = 0; b < nb; ++b) datos += registro(y, b);
    }
  } else {
    for (int y = 0; y < kAlto; ++y) {
      datos += "pfx";
      for (int x = 0; x < kAncho; ++x) datos += muestra(x, y, 0) + muestra(x, y, 1);
    }
  }
  std::string eol;
  if (conEol) {
    eol = "LBLSIZE=100 PROPERTY='CAMERA' FILTER_NAME='GREEN' EXPOSURE_DURATION=250.0 ";
    eol.resize(100, ' ');
  }
  return etiqueta + datos + eol;
}

TEST_F(Planetarios, VicarConEtiquetasEol) {
  std::vector<double> esperados;
  for (int y = 0; y < kAlto; ++y) {
    for (int x = 0; x < kAncho; ++x) esperados.push_back(Valor(x, y, kEntero, 2));
  }
  // GDAL 3.6 counts the prefix bytes once per line of a BIL file instead of once per record:
  // that order is checked against the values written only.
  for (const char* org : {"BSQ", "BIL", "BIP"}) {
    SCOPED_TRACE(org);
    const std::string archivo = c / (std::string(org) + ".vic");
    prueba::Escribe(archivo, Vicar(true, kAlto, org));
    Imagen im;
    LeeArchivo(archivo, im);
    EXPECT_EQ(im.tipoArchivo, kVicar2);
    CompruebaValores(im, esperados, "ORVA");
    if (std::string(org) != "BIL") CompruebaValores(im, FisicosGdal(archivo, "VICAR"), "GDAL");
    EXPECT_EQ(im.datos.nombreObjeto, "IO");
    EXPECT_EQ(im.datos.filtro, "GREEN");  // from the EOL label
    EXPECT_DOUBLE_EQ(im.datos.tiempoExp, 250.0);
    bool propiedad = false;
    for (const std::string& t : im.cabecera.Tarjetas()) {
      propiedad = propiedad || t.find("  FILTER_NAME = GREEN") != std::string::npos;
    }
    EXPECT_TRUE(propiedad);
  }
}

// ---- Damaged files fail cleanly

TEST_F(Planetarios, ArchivosDanadosDanJError) {
  const CasoPds base{"BASE", "MSB_INTEGER", kEntero,     2, true, 2,
                     0,      false,         "registros", 1, 0,    false};
  const CasoPds separada{"SEP", "PC_REAL", kIeee, 4, false, 0, 0, true, "archivo", 1, 0, false};
  const ArchivoPds a = EscribePds(c, base);
  const ArchivoPds s = EscribePds(c, separada);
  const std::string pds = prueba::Lee(a.imagen);
  const std::string vicar = Vicar(true, kAlto);
  auto cambia = [&](const std::string& texto, const std::string& de, const std::string& a2) {
    std::string t = texto;
    const size_t p = t.find(de);
    EXPECT_NE(p, std::string::npos) << de;
    if (p != std::string::npos) t.replace(p, de.size(), a2);
    return t;
  };
  struct Caso {
    const char* nombre;
    std::string bytes;
    std::function<void(const std::string&, ImagenObservacion&)> lee;
    int error;
  };
  const std::vector<Caso> casos = {
      {"pds truncado", pds.substr(0, pds.size() - 5), &LeePds, 10126},
      {"pds mas lineas", cambia(pds, "LINES = 6", "LINES = 7"), &LeePds, 10126},
      {"pds lineas enormes", cambia(pds, "LINES = 6", "LINES = 4000000000000"), &LeePds, 12345},
      {"pds sin lineas", cambia(pds, "LINES = 6", "LINEZ = 6"), &LeePds, 12344},
      {"pds tipo raro", cambia(pds, "MSB_INTEGER", "MSB_INTEGEX"), &LeePds, 12345},
      {"pds 12 bits", cambia(pds, "SAMPLE_BITS = 16", "SAMPLE_BITS = 12"), &LeePds, 12345},
      {"pds sin puntero", cambia(pds, "^IMAGE", "^IMAGX"), &LeePds, 12344},
      {"pds comprimido",
       cambia(pds, "LINES = 6", "ENCODING_TYPE = HUFFMAN_FIRST_DIFFERENCE\r\nLINES = 6"), &LeePds,
       12345},
      {"pds puntero lejos", cambia(pds, "^IMAGE = 000", "^IMAGE = 900"), &LeePds, 10126},
      {"pds cabecera truncada", pds.substr(0, 120), &LeeCabeceraPds, 12344},
      {"vicar truncado", vicar.substr(0, vicar.size() - 150), &LeeVicar, 10126},
      {"vicar sin eol", vicar.substr(0, vicar.size() - 100), &LeeVicar, 10126},
      {"vicar mas lineas", Vicar(false, kAlto + 1), &LeeVicar, 10126},
      {"vicar formato", cambia(vicar, "'HALF'", "'COMP'"), &LeeVicar, 12345},
      {"vicar recsize", cambia(vicar, "RECSIZE=21", "RECSIZE=20"), &LeeVicar, 12345},
      {"vicar sin ns", cambia(vicar, " NS=", " NX="), &LeeVicar, 12344},
      {"vicar etiqueta corta", vicar.substr(0, 40), &LeeCabeceraVicar, 10126},
  };
  for (const Caso& k : casos) {
    prueba::Escribe(c / "danado.img", k.bytes);
    ImagenObservacion im;
    EXPECT_EQ(IdError([&] { k.lee(c / "danado.img", im); }), k.error) << k.nombre;
  }
  // A detached label whose image file is missing or short.
  std::filesystem::resize_file(s.imagen, 100);
  ImagenObservacion im;
  EXPECT_EQ(IdError([&] { LeePds(s.etiqueta, im); }), 10126);
  std::filesystem::remove(s.imagen);
  EXPECT_EQ(IdError([&] { LeePds(s.etiqueta, im); }), 12348);

  // GDAL-read types: a truncated cube and a PDS4 label without its data report GDAL's failure.
  if (HayGdalTranslate()) {
    EscribeFuente(c, "Int16", kEntero, 2);
    Traduce(c, "-of ISIS3", "t.cub");
    Traduce(c, "-of PDS4", "t.xml");
    // The cube's data start at byte 65537 (GDAL's label size); its 108 bytes are cut short.
    std::filesystem::resize_file(c / "t.cub", 65536 + 50);
    std::filesystem::remove(c / "t.img");
    EXPECT_EQ(IdError([&] { LeeIsis(c / "t.cub", im); }), 10126);
    EXPECT_EQ(IdError([&] { LeePds4(c / "t.xml", im); }), 12347);
  }
}

// ---- Detection after the 21 steps, and the label parsers on their own

TEST(DeteccionPlanetarios, PasosTrasLosVeintiuno) {
  struct Caso {
    std::string bytes;
    int tipo;
  } const casos[] = {
      {"PDS_VERSION_ID = PDS3\r\nRECORD_TYPE = FIXED_LENGTH", kPds},  // 22
      {"\r\n  PDS_VERSION_ID = PDS3", kPds},
      {"CCSD3ZF0000100000001NJPL3IF0PDS200000001 = SFDU_LABEL\nPDS_VERSION_ID", kPds},  // 4
      {"PDS_VERSION_ID = PDS3 LBLSIZE=2048", kVicar2},  // step 8 comes first
      {"SIMPLE = T PDS_VERSION_ID", kFits},
      {"ODL_VERSION_ID = ODL3", kTipoDesconocido},
      {"<?xml version=\"1.0\"?>\n<Product_Observational xmlns=\"http://pds.nasa.gov/pds4/pds/v1\">",
       kPds4},  // 23
      {"<?xml version=\"1.0\"?>\n<svg>", kTipoDesconocido},
      {"Object = IsisCube\n  Object = Core\n", kIsis},  // 24
      {"object=IsisCube", kIsis},
      {"Group = IsisCube", kTipoDesconocido},
  };
  for (const Caso& k : casos) {
    EXPECT_EQ(DetectaTipoArchivo(reinterpret_cast<const unsigned char*>(k.bytes.data()),
                                 k.bytes.size(), k.bytes.size(), "x.dat"),
              k.tipo)
        << k.bytes;
  }
}

TEST_F(Planetarios, TipoIlegibleFrenteATipoQueLee) {
  // Raw data nothing detects: with TIPARCHLEER naming PDS the PDS reader answers (no label).
  prueba::Escribe(c / "crudo.img", std::string(100, '\x01'));
  Configuracion::Global().Asigna("Archivos", "TIPARCHLEER", "PDS");
  Imagen im;
  EXPECT_EQ(IdError([&] { LeeArchivo(c / "crudo.img", im); }), 12344);
}

TEST(EtiquetasPlanetarios, AnalizadoresSinSorpresas) {
  // ODL: values over several lines, lists, units, comments, nesting, bare block ends, END.
  const EtiquetaOdl e = AnalizaEtiquetaOdl(
      "A = 1\nB = \"two\n   lines\"\nC = (1, 2,\n 3) <M>\n/* x = 9 */\nOBJECT = IMAGE\n"
      "  GROUP = G\n    D = 4.5 <S>\n  END_GROUP\nEND_OBJECT\nE = 'x'\nEND\nF = after");
  ASSERT_TRUE(e.conFin);
  ASSERT_EQ(e.elementos.size(), 9u);
  EXPECT_EQ(e.Busca("b")->valor, "two lines");
  EXPECT_EQ(e.Busca("C")->valor, "(1, 2, 3)");
  EXPECT_EQ(e.Busca("C")->unidad, "M");
  EXPECT_EQ(e.Busca("D", "IMAGE")->unidad, "S");
  EXPECT_EQ(e.Busca("D", "IMAGE")->nivel, 2);
  EXPECT_EQ(e.Busca("E", "")->nivel, 0);
  EXPECT_EQ(e.Busca("F"), nullptr);
  EXPECT_EQ(e.Busca("x"), nullptr);
  EXPECT_EQ(PartesValorOdl("(\"A.IMG\", 12 <BYTES>)"),
            (std::vector<std::string>{"A.IMG", "12 <BYTES>"}));
  // Broken text never runs past its end.
  for (const char* roto : {"A = \"open", "A = (1, 2", "OBJECT = X\nEND_OBJECT\nEND_OBJECT",
                           "= = =", "A = 1 <unit", "A = /* open"}) {
    const EtiquetaOdl r = AnalizaEtiquetaOdl(roto);
    EXPECT_FALSE(r.conFin) << roto;
  }

  // VICAR: quotes doubled inside strings, lists, the items of a task.
  const EtiquetaOdl v = AnalizaEtiquetaVicar(
      "LBLSIZE=64 FORMAT='BYTE' NOTE='it''s' LIST=(1,'a b',3) TASK='GEN' NL=2  \0 NS=7"sv);
  EXPECT_EQ(TamanoEtiquetaVicar("LBLSIZE=64 x"), 64u);
  EXPECT_EQ(TamanoEtiquetaVicar("LBLSIZE=x"), 0u);
  EXPECT_EQ(TamanoEtiquetaVicar("LBLSIZE=99999999999"), 0u);
  EXPECT_EQ(v.Busca("NOTE")->valor, "it's");
  EXPECT_EQ(v.Busca("LIST")->valor, "(1,'a b',3)");
  EXPECT_EQ(v.Busca("NL", ""), nullptr);  // a task's item, not the system's
  ASSERT_NE(v.Busca("NL", "GEN"), nullptr);
  EXPECT_EQ(v.Busca("NL", "GEN")->valor, "2");
  EXPECT_EQ(v.Busca("NS"), nullptr);  // after the zero byte
}

}  // namespace
}  // namespace orva
