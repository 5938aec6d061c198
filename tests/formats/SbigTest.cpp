// SBIG Type 3 (both varieties) and ST4 files: files built byte by byte from the documented
// layouts, the row coding, round trips, damaged and truncated files, writers' refusals and the
// conversion to FITS.
#include <fitsio.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Imagen.h"
#include "core/Rango.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "formats/sbig/CodificacionSbig.h"
#include "formats/sbig/Sbig.h"
#include "formats/st4/St4.h"
#include "shell/Configuracion.h"
#include "tests/formats/Ayuda.h"

namespace orva {
namespace {

using prueba::Carpeta;
using prueba::IdError;

// ---- Files built from the documented layouts

void Palabra(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}

// The 2048-byte header: camera line, parameter lines and "End", ended by `fin`.
std::string Cabecera(const std::string& primera, const std::vector<std::string>& lineas,
                     const std::string& fin = "\n\r") {
  std::string t = primera + fin;
  for (const std::string& l : lineas) t += l + fin;
  t += "End" + fin + "\x1a";
  t.resize(2048, '\0');
  return t;
}

constexpr long kAncho = 8;
// One row of each kind: only differences (the extremes -127 and 127 included), escapes to full
// values (above 32767 too), and a row stored as it is.
const std::vector<std::vector<uint16_t>> kFilas = {
    {1000, 1001, 999, 1126, 999, 999, 1000, 1001},
    {1000, 5000, 5001, 40000, 39900, 65535, 65534, 65533},
    {7, 65535, 0, 300, 12, 32768, 20000, 1},
};

// The same rows coded by hand: length word, then the coded bytes.
std::string FilasComprimidas() {
  std::string s;
  Palabra(s, 9);  // 1000, +1, -2, +127, -127, 0, +1, +1
  Palabra(s, 1000);
  s += "\x01\xFE\x7F\x81";
  s += '\0';
  s += "\x01\x01";
  Palabra(s, 15);  // 1000, esc 5000, +1, esc 40000, -100, esc 65535, -1, -1
  Palabra(s, 1000);
  s += '\x80';
  Palabra(s, 5000);
  s += '\x01';
  s += '\x80';
  Palabra(s, 40000);
  s += '\x9C';
  s += '\x80';
  Palabra(s, 65535);
  s += "\xFF\xFF";
  Palabra(s, 16);  // stored as it is: coded, it would take 23 bytes
  for (uint16_t v : kFilas[2]) Palabra(s, v);
  return s;
}

std::string FilasPlanas() {
  std::string s;
  for (const auto& f : kFilas) {
    for (uint16_t v : f) Palabra(s, v);
  }
  return s;
}

const std::vector<std::string> kParametros = {
    "File_version = 3", "Data_version = 1",      "Exposure = 250",   "Focal_length = 40.000",
    "Aperture = 12.566", "Response_factor = 1.5", "Note = M 51 prueba", "Height = 3",
    "Width = 8",         "Date = 03/15/97",       "Time = 21:30:05",  "Temperature = -10.5",
    "Observer = Ana",    "Filter = V",            "Pedestal = 100"};

std::string SbigComprimido() {
  return Cabecera("ST-7 Compressed Image", kParametros) + FilasComprimidas();
}

std::string SbigPlano() {
  // Other line ends and other capitals: both are met in files of this type.
  return Cabecera("ST-7 Image", {"HEIGHT = 3", "width=8"}, "\r\n") + FilasPlanas();
}

std::vector<uint16_t> Valores() {
  std::vector<uint16_t> v;
  for (const auto& f : kFilas) v.insert(v.end(), f.begin(), f.end());
  return v;
}

// 192 x 165 bytes and the text line; 488 more bytes for the longer variety.
std::string St4(bool largo) {
  std::string s;
  for (size_t i = 0; i < 192u * 165u; ++i) s += static_cast<char>((i * 7) % 256);
  std::string linea(192, ' ');
  linea.replace(0, 17, "Jupiter con nubes");
  linea.replace(86, 4, "1500");      // exposure, ms
  linea.replace(94, 6, "39.370");    // focal length, inches
  linea.replace(105, 5, "3.937");    // aperture, inches
  linea.replace(110, 3, "2.5");      // calibration factor
  s += linea;
  if (largo) s += std::string(488, '\0');
  return s;
}

class SbigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ListaTiposArchivo();
    Configuracion::Global().RestableceDefectos();
    Rango() = RangoPixeles{-32768, 32767, 0};
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }
  static void Ajusta(const char* seccion, const char* clave, const char* valor) {
    Configuracion::Global().Asigna(seccion, clave, valor);
  }
  Carpeta c;
};

// ---- The row coding

TEST_F(SbigTest, CadaTipoDeFilaSeCodificaComoDiceElFormato) {
  const std::string todo = FilasComprimidas();
  const std::vector<uint8_t> bytes(todo.begin(), todo.end());
  size_t pos = 0;
  for (size_t y = 0; y < kFilas.size(); ++y) {
    SCOPED_TRACE(y);
    std::vector<uint16_t> fila(kAncho);
    const size_t usados = DescomprimeFilaSbig(std::span<const uint8_t>(bytes).subspan(pos), fila,
                                              "f", static_cast<long>(y));
    EXPECT_EQ(fila, kFilas[y]);
    // The coder writes the very bytes of the hand-made row: shortest coding, a row as long as
    // its plain form stored plain.
    std::vector<uint8_t> codificada;
    ComprimeFilaSbig(kFilas[y], codificada);
    EXPECT_EQ(codificada, std::vector<uint8_t>(bytes.begin() + pos, bytes.begin() + pos + usados));
    pos += usados;
  }
  EXPECT_EQ(pos, bytes.size());
}

TEST_F(SbigTest, FilasDanadasSeRechazanSinLeerFuera) {
  struct Caso {
    const char* nombre;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Caso> casos = {
      {"sin palabra de longitud", {0x05}},
      {"longitud mas alla de los datos", {0x09, 0x00, 0xE8, 0x03, 0x01}},
      {"diferencias mas alla de la longitud", {0x03, 0x00, 0xE8, 0x03, 0x01}},
      {"escape sin su valor", {0x07, 0x00, 0xE8, 0x03, 1, 1, 1, 1, 0x80}},
      {"longitud que sobra", {0x0B, 0x00, 0xE8, 0x03, 1, 1, 1, 1, 1, 1, 1, 0, 0}},
      {"primer valor incompleto", {0x01, 0x00, 0xE8}},
  };
  for (const Caso& caso : casos) {
    SCOPED_TRACE(caso.nombre);
    std::vector<uint16_t> fila(kAncho);
    EXPECT_EQ(IdError([&] { DescomprimeFilaSbig(caso.bytes, fila, "f", 4); }), 12332);
  }
}

// Headers as they are met: any line end, capitals, blanks and control characters; each written
// again reads back the same.
TEST_F(SbigTest, CabecerasVariadasSeLeenYSeReescribenIgual) {
  struct Caso {
    std::string texto;
    const char* camara;
    bool comprimida;
    long ancho, alto;
  };
  const std::vector<Caso> casos = {
      {"ST-7 Compressed Image\n\rHeight = 3\n\rWidth = 8\n\rEnd\n\r\x1a", "ST-7", true, 8, 3},
      {"ST-6   Compressed \t Image\r\nheight=2\r\nWIDTH = 0004\r\nEnd\r\n", "ST-6", true, 4, 2},
      {"ST-8 Image\nWidth = 5\nHeight = 1\nNote = a = b\nEnd\x1a", "ST-8", false, 5, 1},
      {"ST-4X Image\r\x17Width = 9\rWidth = 7\rHeight = 2\rEnd", "ST-4X", false, 9, 2},
  };
  for (const Caso& caso : casos) {
    SCOPED_TRACE(caso.texto);
    const CabeceraSbig c = AnalizaCabeceraSbig(caso.texto, "f");
    EXPECT_EQ(c.camara, caso.camara);
    EXPECT_EQ(c.comprimida, caso.comprimida);
    EXPECT_EQ(c.ancho, caso.ancho);
    EXPECT_EQ(c.alto, caso.alto);
    const std::string escrita = ComponeCabeceraSbig(c);
    ASSERT_EQ(escrita.size(), 2048u);
    const CabeceraSbig otra = AnalizaCabeceraSbig(escrita, "f");
    EXPECT_EQ(otra.camara, c.camara);
    EXPECT_EQ(otra.comprimida, c.comprimida);
    EXPECT_EQ(otra.parametros, c.parametros);
  }
  EXPECT_EQ(*AnalizaCabeceraSbig(casos[2].texto, "f").Valor("note"), "a = b");
}

// ---- Reading

TEST_F(SbigTest, AmbasVariedadesSeLeenComoLosDatosSinSignoDeFits) {
  const std::vector<uint16_t> v = Valores();
  prueba::Escribe(c / "c.st7", SbigComprimido());
  prueba::Escribe(c / "p.st7", SbigPlano());
  for (const char* archivo : {"c.st7", "p.st7"}) {
    for (const char* modo : {"0", "1", "2"}) {
      SCOPED_TRACE(std::string(archivo) + " LEEVALUNSIG " + modo);
      Ajusta(kSeccionFits, "LEEVALUNSIG", modo);
      ImagenObservacion im;
      LeeSbig(c / archivo, im);
      ASSERT_EQ(im.Ancho(), 8u);
      ASSERT_EQ(im.Alto(), 3u);
      EXPECT_EQ(im.bitsPixel, 16);
      // Every pixel stands for its stored value through the mapping: exactly when the values
      // move by 32768, within the halving, within half a step of the min..max mapping.
      const double tolerancia = modo[0] == '2' ? 0.0 : modo[0] == '1' ? 1.0 : 65535.0 / 65535 / 2;
      for (size_t i = 0; i < v.size(); ++i) {
        EXPECT_NEAR(im.mapeo.Fisico(im.Pixeles()[i]), v[i], tolerancia + 1e-9) << i;
      }
      if (modo[0] == '2') {
        EXPECT_EQ(im.Pixeles()[0], 1000 - 32768);
      } else if (modo[0] == '1') {
        EXPECT_EQ(im.Pixeles()[1], 500);
      } else {
        EXPECT_EQ(im.Minimo(), -32768);  // stored 0
        EXPECT_EQ(im.Maximo(), 32767);   // stored 65535
      }
    }
  }
}

TEST_F(SbigTest, LosParametrosLlenanLosDatosYLaCabecera) {
  prueba::Escribe(c / "c.st7", SbigComprimido());
  for (bool soloCabecera : {false, true}) {
    SCOPED_TRACE(soloCabecera);
    ImagenObservacion im;
    (soloCabecera ? LeeCabeceraSbig : LeeSbig)(c / "c.st7", im);
    EXPECT_EQ(im.Ancho(), 8u);
    const DatosImagen& d = im.datos;
    EXPECT_EQ(TextoDatoImagen(d, "TIEMPOEXP"), "2.500");
    EXPECT_EQ(d.observatorio.distFocal, 1016);  // 40 inches
    EXPECT_EQ(d.observatorio.apertura, 102);    // 12.566 square inches: 4 inches across
    EXPECT_EQ(d.factorResp, "1.5");
    EXPECT_EQ(d.comentario, "M 51 prueba");
    EXPECT_EQ(TextoDatoImagen(d, "FECHAOBS"), "15/03/1997");
    EXPECT_EQ(TextoDatoImagen(d, "HORAOBS"), "21:30:05.000");
    EXPECT_DOUBLE_EQ(d.tempCCD, -10.5);
    EXPECT_EQ(d.observatorio.observador, "Ana");
    EXPECT_EQ(d.filtro, "V");
    EXPECT_EQ(d.nomCCD, "ST-7");
    for (const char* clave : {"TIEMPOEXP", "DISTFOCAL", "APERTURA", "FECHAOBS", "TEMPCCD"}) {
      EXPECT_TRUE(TieneDatoImagen(d, clave)) << clave;
    }
    const auto& t = im.cabecera.Tarjetas();
    ASSERT_EQ(t.size(), kParametros.size());
    EXPECT_EQ(t.back().substr(0, 27), "COMMENT SBIG Pedestal = 100");
  }
}

TEST_F(SbigTest, ArchivosDanadosOCortadosFallanLimpiamente) {
  const std::string comprimido = SbigComprimido();
  const std::string plano = SbigPlano();
  auto conAlto = [](const std::string& primera, const std::string& alto, const std::string& ancho,
                    const std::string& datos) {
    return Cabecera(primera, {"Height = " + alto, "Width = " + ancho}) + datos;
  };
  struct Caso {
    const char* nombre;
    std::string bytes;
    int error;
  };
  const std::vector<Caso> casos = {
      {"cortado dentro de la cabecera", comprimido.substr(0, 40), 12331},
      {"cortado tras End", comprimido.substr(0, 1500), 11144},
      {"plano con una fila de menos", plano.substr(0, plano.size() - 12), 11144},
      {"plano con un byte de menos", plano.substr(0, plano.size() - 1), 11144},
      {"comprimido sin la ultima fila", comprimido.substr(0, comprimido.size() - 18), 11144},
      {"comprimido cortado dentro de una fila", comprimido.substr(0, comprimido.size() - 3),
       12332},
      {"cabecera que promete filas enormes", conAlto("ST-7 Compressed Image", "32767", "32767",
                                                     FilasComprimidas()),
       11144},
      {"plano enorme", conAlto("ST-8 Image", "32767", "32767", FilasPlanas()), 11144},
      {"fila con la longitud de otra anchura",
       conAlto("ST-7 Compressed Image", "3", "5", FilasComprimidas()), 12332},
      {"sin Width", Cabecera("ST-7 Image", {"Height = 3"}) + FilasPlanas(), 12331},
      {"Width cero", conAlto("ST-7 Image", "3", "0", FilasPlanas()), 11143},
      {"Width no numerico", conAlto("ST-7 Image", "3", "6x", FilasPlanas()), 11143},
      {"Width demasiado grande", conAlto("ST-7 Image", "1", "40000", FilasPlanas()), 11143},
      {"Height negativo", conAlto("ST-7 Image", "-3", "6", FilasPlanas()), 11143},
      {"primera linea sin variedad", Cabecera("ST-7 Picture", {"Height = 3", "Width = 6"}),
       12330},
      {"sin End", std::string("ST-7 Image\n\rHeight = 3\n\rWidth = 6\n\r") +
                      std::string(3000, 'x'),
       12331},
  };
  for (const Caso& caso : casos) {
    SCOPED_TRACE(caso.nombre);
    prueba::Escribe(c / "d.st7", caso.bytes);
    // The image keeps what it held.
    ImagenObservacion im;
    im.CambiaPixeles(2, 1, {5, 6});
    EXPECT_EQ(IdError([&] { LeeSbig(c / "d.st7", im); }), caso.error);
    EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{5, 6}));
  }
  // The header reader allocates the sizes too: it makes the same length check first.
  prueba::Escribe(c / "d.st7", conAlto("ST-7 Image", "32767", "32767", FilasPlanas()));
  ImagenObservacion im;
  EXPECT_EQ(IdError([&] { LeeCabeceraSbig(c / "d.st7", im); }), 11144);
  EXPECT_EQ(im.NumPixeles(), 0u);
}

// ---- Writing

TEST_F(SbigTest, IdaYVueltaEnAmbasVariedades) {
  // Smooth rows code as differences, a jump needs an escape, a noisy row is stored plain.
  constexpr uint32_t w = 37, h = 9;
  std::vector<int16_t> px(w * h);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      int16_t v = static_cast<int16_t>(1000 + 3 * x + 50 * y);
      if (x == 20) v = 30000;
      if (y == 4) v = static_cast<int16_t>((x * 7919u) % 32768u);
      px[y * w + x] = v;
    }
  }
  ImagenObservacion im;
  im.CambiaPixeles(w, h, px);
  const std::vector<std::pair<const char*, const char*>> datos = {
      {"TIEMPOEXP", "12.340"},  {"FECHAOBS", "02/11/2003"}, {"HORAOBS", "03:04:05.000"},
      {"DISTFOCAL", "2000"},    {"APERTURA", "203"},        {"TEMPCCD", "-20.3"},
      {"FILTRO", "R"},          {"OBSERVADOR", "Luis"},     {"COMENTARIO", "campo de prueba"},
      {"FACTORRESP", "2.000"}};
  for (const auto& [clave, texto] : datos) ASSERT_TRUE(AsignaDatoImagen(im.datos, clave, texto));
  im.cabecera.Anade("COMMENT SBIG E_gain = 2.30");
  Ajusta(kSeccionFits, "LEEVALUNSIG", "2");
  uint64_t largo[2] = {};
  for (const char* comprimir : {"0", "1"}) {
    SCOPED_TRACE(std::string("COMPRIMIR ") + comprimir);
    Ajusta(kSeccionSbig, "COMPRIMIR", comprimir);
    const std::string archivo = c / (std::string("r") + comprimir + ".st7");
    GuardaSbig(archivo, im);
    const std::string bytes = prueba::Lee(archivo);
    largo[comprimir[0] - '0'] = bytes.size();
    EXPECT_EQ(bytes.substr(0, 12), comprimir[0] == '1' ? "ST-7 Compres" : "ST-7 Image\n\r");
    EXPECT_EQ(DetectaTipoArchivo(archivo), kSbig);
    ImagenObservacion l;
    LeeSbig(archivo, l);
    ASSERT_EQ(l.Ancho(), w);
    ASSERT_EQ(l.Alto(), h);
    for (size_t i = 0; i < px.size(); ++i) ASSERT_EQ(l.mapeo.Fisico(l.Pixeles()[i]), px[i]) << i;
    for (const auto& [clave, texto] : datos) EXPECT_EQ(TextoDatoImagen(l.datos, clave), texto);
    bool ganancia = false;
    for (const std::string& t : l.cabecera.Tarjetas()) {
      ganancia = ganancia || t.rfind("COMMENT SBIG E_gain = 2.30", 0) == 0;
    }
    EXPECT_TRUE(ganancia);
  }
  EXPECT_EQ(largo[0], 2048u + 2u * w * h);
  EXPECT_LT(largo[1], largo[0]);
}

TEST_F(SbigTest, LosEscritoresRechazanLoQueNoCabe) {
  ImagenObservacion negativo;
  negativo.CambiaPixeles(2, 1, {-1, 5});
  ImagenObservacion st4Ancho;
  st4Ancho.CambiaPixeles(193, 165, std::vector<int16_t>(193 * 165, 1));
  ImagenObservacion st4Alto;
  st4Alto.CambiaPixeles(kAnchoSt4, kAltoSt4, std::vector<int16_t>(kAnchoSt4 * kAltoSt4, 256));
  ImagenObservacion st4Bajo;
  st4Bajo.CambiaPixeles(kAnchoSt4, kAltoSt4, std::vector<int16_t>(kAnchoSt4 * kAltoSt4, 0));
  st4Bajo.Pixeles()[100] = -1;
  struct Caso {
    const char* nombre;
    void (*guarda)(const std::string&, ImagenObservacion&);
    ImagenObservacion* im;
    int error;
    const char* a2;
    const char* a3;
  };
  const std::vector<Caso> casos = {
      {"SBIG con valores negativos", &GuardaSbig, &negativo, 11021, "0", "65535"},
      {"ST4 de otra anchura", &GuardaSt4, &st4Ancho, 11020, "192", "165"},
      {"ST4 por encima de 255", &GuardaSt4, &st4Alto, 11021, "0", "255"},
      {"ST4 por debajo de 0", &GuardaSt4, &st4Bajo, 11021, "0", "255"},
  };
  for (const Caso& caso : casos) {
    SCOPED_TRACE(caso.nombre);
    const std::string archivo = c / "x";
    try {
      caso.guarda(archivo, *caso.im);
      ADD_FAILURE();
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), caso.error);
      EXPECT_EQ(e.Argumento(2), caso.a2);
      EXPECT_EQ(e.Argumento(3), caso.a3);
    }
    EXPECT_FALSE(std::filesystem::exists(archivo));
  }
}

// ---- ST4

TEST_F(SbigTest, St4SeLeeYSeEscribe) {
  for (bool largo : {false, true}) {
    SCOPED_TRACE(largo);
    const std::string bytes = St4(largo);
    prueba::Escribe(c / "a.st4", bytes);
    ImagenObservacion im;
    LeeSt4(c / "a.st4", im);
    ASSERT_EQ(im.Ancho(), kAnchoSt4);
    ASSERT_EQ(im.Alto(), kAltoSt4);
    EXPECT_EQ(im.bitsPixel, 8);
    for (size_t i = 0; i < im.NumPixeles(); ++i) {
      ASSERT_EQ(im.Pixeles()[i], static_cast<unsigned char>(bytes[i])) << i;
    }
    EXPECT_EQ(im.datos.comentario, "Jupiter con nubes");
    EXPECT_EQ(TextoDatoImagen(im.datos, "TIEMPOEXP"), "1.500");
    EXPECT_EQ(im.datos.observatorio.distFocal, 1000);
    EXPECT_EQ(im.datos.observatorio.apertura, 100);
    EXPECT_EQ(im.datos.factorResp, "2.5");

    // Written back, the pixels and the fields come again.
    GuardaSt4(c / "b.st4", im);
    EXPECT_EQ(prueba::Lee(c / "b.st4").size(), 31872u);
    ImagenObservacion l;
    LeeSt4(c / "b.st4", l);
    EXPECT_EQ(l.Pixeles(), im.Pixeles());
    for (const char* clave : {"TIEMPOEXP", "DISTFOCAL", "APERTURA", "FACTORRESP", "COMENTARIO"}) {
      EXPECT_EQ(TextoDatoImagen(l.datos, clave), TextoDatoImagen(im.datos, clave)) << clave;
    }
    ImagenObservacion cab;
    LeeCabeceraSt4(c / "b.st4", cab);
    EXPECT_EQ(cab.Ancho(), kAnchoSt4);
    EXPECT_EQ(cab.datos.comentario, "Jupiter con nubes");
  }
  // A file of another length is not ST4.
  prueba::Escribe(c / "corto.st4", St4(false).substr(0, 31000));
  ImagenObservacion im;
  EXPECT_EQ(IdError([&] { LeeSt4(c / "corto.st4", im); }), 11019);
}

// ---- Conversion to FITS, as `orva convert` does it

std::vector<long> ValoresFits(const std::string& archivo, long& ancho, long& alto) {
  fitsfile* f = nullptr;
  int estado = 0;
  fits_open_diskfile(&f, archivo.c_str(), READONLY, &estado);
  long ejes[2] = {};
  fits_get_img_size(f, 2, ejes, &estado);
  ancho = ejes[0];
  alto = ejes[1];
  std::vector<long> v(static_cast<size_t>(ancho * alto));
  long primero[2] = {1, 1};
  fits_read_pix(f, TLONG, primero, ancho * alto, nullptr, v.data(), nullptr, &estado);
  fits_close_file(f, &estado);
  EXPECT_EQ(estado, 0);
  return v;
}

TEST_F(SbigTest, ConvertirAFitsConservaLosValores) {
  Ajusta(kSeccionFits, "LEEVALUNSIG", "2");
  prueba::Escribe(c / "c.st7", SbigComprimido());
  prueba::Escribe(c / "a.st4", St4(false));
  const std::vector<uint16_t> sbig = Valores();
  const std::string st4 = St4(false);
  struct Caso {
    const char* entrada;
    long ancho, alto;
  };
  for (const Caso& caso : {Caso{"c.st7", 8, 3}, Caso{"a.st4", 192, 165}}) {
    SCOPED_TRACE(caso.entrada);
    Imagen im;
    LeeArchivo(c / caso.entrada, im);
    GuardaArchivo(c / "salida.fits", im, kFits);
    long ancho = 0, alto = 0;
    const std::vector<long> v = ValoresFits(c / "salida.fits", ancho, alto);
    ASSERT_EQ(ancho, caso.ancho);
    ASSERT_EQ(alto, caso.alto);
    for (size_t i = 0; i < v.size(); ++i) {
      const long esperado = caso.ancho == 8 ? long{sbig[i]} : long{static_cast<uint8_t>(st4[i])};
      ASSERT_EQ(v[i], esperado) << i;
    }
  }
}

}  // namespace
}  // namespace orva
