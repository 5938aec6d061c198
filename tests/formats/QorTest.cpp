// QOR files: round trips of every coding, the header's text forms and limits, and crafted bad
// files that must be refused with their message.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <csignal>

#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "formats/Archivo.h"
#include "formats/TiposArchivo.h"
#include "formats/qor/CodificacionQor.h"
#include "formats/qor/Qor.h"
#include "shell/Configuracion.h"
#include "tests/formats/Ayuda.h"

namespace orva {
namespace {

using prueba::Carpeta;
using prueba::IdError;

void ConMetadatos(ImagenObservacion& im) {
  DatosImagen& d = im.datos;
  im.CambiaTipoObjeto(kDoble);
  d.nombreObjeto = "STF 1110 AB";
  d.ar.AsignaTexto("07h34m36s.123");
  d.dec.AsignaTexto("-31g53m18s.500");
  d.epoca = 1950;
  d.fechaHora = FechaHora(Fecha(9, 3, 2024), Hora(21, 5, 7, 45));
  d.filtro = "V";
  d.tiempoExp = 12.5;
  d.observatorio.observador = "Ana";
  d.observatorio.nombre = "Observatorio de Sabadell";
  d.observatorio.longitud.AsignaTexto("-2g05m30s.000");
  d.observatorio.latitud.AsignaTexto("41g33m00s.250");
  d.observatorio.altitud = 190;
  d.observatorio.telescopio = "SC 8";
  d.observatorio.apertura = 203;
  d.observatorio.distFocal = 2032;
  d.nomCCD = "ST-7";
  d.tempCCD = -20.3;
  d.comentario = std::string(70, 'c') + " fin";
  im.offsetX = -12;
  im.offsetY = 40;
}

// Every field QOR keeps, as text (FACTORRESP has no line in the header).
std::vector<std::string> TextosQor(const ImagenObservacion& im) {
  std::vector<std::string> t;
  for (const std::string& c : ClavesDatosImagen()) {
    if (c != "FACTORRESP") t.push_back(c + "=" + TextoDatoImagen(im.datos, c));
  }
  t.push_back(std::to_string(im.offsetX) + "," + std::to_string(im.offsetY));
  return t;
}

enum Patron { kExtremos, kAlterna, kRampa, kConstante };

std::vector<int16_t> Pixeles(Patron p, size_t n) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    switch (p) {
      case kExtremos:
        v[i] = (i % 3 == 0) ? -32768 : (i % 3 == 1) ? 32767 : 0;
        break;
      case kAlterna:
        v[i] = (i % 2) ? 32767 : -32768;
        break;
      case kRampa:
        v[i] = static_cast<int16_t>(static_cast<int>(i * 37) % 300 - 150);
        break;
      case kConstante:
        v[i] = 1234;
        break;
    }
  }
  return v;
}

using CasoIdaVuelta = std::tuple<std::string, std::pair<uint32_t, uint32_t>, Patron>;
class QorIdaVuelta : public ::testing::TestWithParam<CasoIdaVuelta> {};

TEST_P(QorIdaVuelta, MismosPixelesYDatos) {
  const auto& [compresion, medidas, patron] = GetParam();
  Carpeta c;
  ImagenObservacion im, leida;
  im.CambiaPixeles(medidas.first, medidas.second,
                   Pixeles(patron, size_t{medidas.first} * medidas.second));
  ConMetadatos(im);
  GuardaQor(c / "a.qor", im, compresion);
  EXPECT_EQ(DetectaTipoArchivo(c / "a.qor"), kQor);
  LeeQor(c / "a.qor", leida);
  EXPECT_EQ(leida.Ancho(), im.Ancho());
  EXPECT_EQ(leida.Alto(), im.Alto());
  EXPECT_EQ(leida.Pixeles(), im.Pixeles());
  EXPECT_EQ(leida.bitsPixel, 16);
  EXPECT_EQ(TextosQor(leida), TextosQor(im));
}

INSTANTIATE_TEST_SUITE_P(
    Codificaciones, QorIdaVuelta,
    ::testing::Combine(::testing::Values("DIFF8", "DEFLAT", "DIFDEFLAT"),
                       ::testing::Values(std::pair<uint32_t, uint32_t>{1, 1},
                                         std::pair<uint32_t, uint32_t>{2, 1},
                                         std::pair<uint32_t, uint32_t>{3, 2},
                                         std::pair<uint32_t, uint32_t>{17, 9},
                                         std::pair<uint32_t, uint32_t>{64, 32}),
                       ::testing::Values(kExtremos, kAlterna, kRampa, kConstante)));

TEST(Diff8, DiferenciasLimite) {
  struct Caso {
    int16_t a, b;
    size_t largo;
  } casos[] = {{1000, 1126, 3},
               {1000, 1127, 5},
               {1000, 874, 3},
               {1000, 873, 5},
               // The difference is taken in 16 bits: 32767 -> -32768 is +1.
               {32767, -32768, 3},
               {-32768, 32767, 3},
               {-32768, 0, 5}};
  for (const Caso& k : casos) {
    const int16_t px[2] = {k.a, k.b};
    uint8_t b[6];
    const size_t n = CodificaDiff8(px, 2, b);
    EXPECT_EQ(n, k.largo) << k.a << " -> " << k.b;
    int16_t vuelta[2] = {};
    ASSERT_TRUE(DecodificaDiff8(b, n, vuelta, 2));
    EXPECT_EQ(vuelta[1], k.b);
  }
  // 0x7F and 0x81 never occur as difference bytes.
  std::vector<int16_t> todos;
  for (int d = -300; d <= 300; ++d) {
    todos.push_back(0);
    todos.push_back(static_cast<int16_t>(d));
  }
  std::vector<uint8_t> b(MaximoDiff8(todos.size()));
  const size_t n = CodificaDiff8(todos.data(), todos.size(), b.data());
  std::vector<int16_t> vuelta(todos.size());
  ASSERT_TRUE(DecodificaDiff8(b.data(), n, vuelta.data(), vuelta.size()));
  EXPECT_EQ(vuelta, todos);
  for (size_t i = 2; i < n; ++i) {
    if (b[i] == 0x80) {
      i += 2;
      continue;
    }
    EXPECT_NE(b[i], 0x7F);
    EXPECT_NE(b[i], 0x81);
  }
}

TEST(Qor, ImagenConstanteDaUnByteporPixel) {
  Carpeta c;
  ImagenObservacion im;
  im.CambiaPixeles(7, 5, std::vector<int16_t>(35, -9));
  GuardaQor(c / "k.qor", im, "DIFF8");
  const std::string bytes = prueba::Lee(c / "k.qor");
  const CabeceraQor cab = CabeceraDeImagen(im, "DIFF8");
  EXPECT_EQ(bytes.size(), cab.NumLineas() * 80 + 1 + 2 + 34);
  EXPECT_EQ(bytes[cab.NumLineas() * 80], '\x1A');
}

TEST(Qor, CabeceraLineaALinea) {
  ImagenObservacion im;
  im.CambiaPixeles(3, 2, std::vector<int16_t>(6, 0));
  ConMetadatos(im);
  const CabeceraQor cab = CabeceraDeImagen(im, "DEFLAT");
  const std::vector<std::string> esperadas = {"FORMATO_QOR",
                                              "LINEAS_CAB=30",
                                              "NAXIS1=3",
                                              "NAXIS2=2",
                                              "OFFAXIS1=-12",
                                              "OFFAXIS2=40",
                                              "OBJECT=STF 1110 AB",
                                              "IMAGETYP=DOBLE",
                                              "AR=07h34m36s.123",
                                              "DEC=-31g53m18s.500",
                                              "EPOCA=1950",
                                              std::string("ORIGIN=ORVA ") + ORVA_VERSION,
                                              "DATE-OBS=09/03/2024",
                                              "UT=21:05:07.045",
                                              "FILTER=V",
                                              "EXPTIME=12.500",
                                              "OBSERVER=Ana",
                                              "OBSERVAT=Observatorio de Sabadell",
                                              "LONOBS=-02g05m30s.000",
                                              "LATOBS=41g33m00s.250",
                                              "ALTOBS=190",
                                              "TELESCOP=SC 8",
                                              "TELAPERT=203",
                                              "TELFOCUS=2032",
                                              "INSTRUME=ST-7",
                                              "TEMPCCD=-20.3",
                                              "NUMCOMENT=2",
                                              "COMENT1=" + std::string(60, 'c'),
                                              "COMENT2=" + std::string(10, 'c') + " fin",
                                              "COMPRESION=DEFLAT"};
  ASSERT_EQ(cab.NumLineas(), esperadas.size());
  for (size_t i = 0; i < esperadas.size(); ++i) {
    const auto& l = cab.LineaN(i);
    std::string texto(l.data(), 78);
    texto.erase(texto.find_last_not_of(' ') + 1);
    EXPECT_EQ(texto, esperadas[i]);
    EXPECT_EQ(l[78], '\r');
    EXPECT_EQ(l[79], '\n');
  }
}

TEST(Qor, Comentarios) {
  Carpeta c;
  struct Caso {
    std::string comentario, numComent, leido;
    bool hayComent1;
  } casos[] = {
      {"", "1", "", false},
      {std::string(60, 'x'), "2", std::string(60, 'x'), true},
      {std::string(61, 'x'), "2", std::string(61, 'x'), true},
      // ';' cuts its piece; trailing spaces of a piece are lost.
      {"ab;cd" + std::string(55, 'e') + "fg", "2", "abfg", true},
      {"hola   ", "1", "hola", true},
  };
  for (const Caso& k : casos) {
    ImagenObservacion im, leida;
    im.CambiaPixeles(1, 1, {5});
    im.datos.comentario = k.comentario;
    const CabeceraQor cab = CabeceraDeImagen(im, "DIFF8");
    EXPECT_EQ(cab.Valor("NUMCOMENT"), k.numComent);
    EXPECT_EQ(cab.Tiene("COMENT1"), k.hayComent1);
    GuardaQor(c / "c.qor", im, "DIFF8");
    LeeQor(c / "c.qor", leida);
    EXPECT_EQ(leida.datos.comentario, k.leido);
  }
}

TEST(Qor, ValorCortadoEnLaColumna78) {
  Carpeta c;
  ImagenObservacion im, leida;
  im.CambiaPixeles(1, 1, {5});
  im.datos.nombreObjeto = std::string(100, 'N');
  GuardaQor(c / "l.qor", im, "DIFF8");
  LeeQor(c / "l.qor", leida);
  EXPECT_EQ(leida.datos.nombreObjeto, std::string(78 - 7, 'N'));
  const std::string bytes = prueba::Lee(c / "l.qor");
  EXPECT_EQ(bytes.substr(6 * 80, 80), "OBJECT=" + std::string(71, 'N') + "\r\n");
}

TEST(Qor, DosEscriturasIguales) {
  Carpeta c;
  ImagenObservacion im;
  im.CambiaPixeles(40, 30, Pixeles(kRampa, 1200));
  ConMetadatos(im);
  for (const char* z : {"DIFF8", "DEFLAT", "DIFDEFLAT"}) {
    GuardaQor(c / "1.qor", im, z);
    GuardaQor(c / "2.qor", im, z);
    EXPECT_EQ(prueba::Lee(c / "1.qor"), prueba::Lee(c / "2.qor")) << z;
  }
}

TEST(Qor, CompresionDesconocida) {
  Carpeta c;
  ImagenObservacion im;
  im.CambiaPixeles(1, 1, {5});
  ListaTiposArchivo();
  prueba::Escribe(c / "v.qor", "anterior");
  EXPECT_EQ(IdError([&] { GuardaQor(c / "v.qor", im, "ZIP"); }), 11140);
  EXPECT_EQ(IdError([&] { GuardaQor(c / "v.qor", im, "diff8"); }), 11140);
  EXPECT_EQ(prueba::Lee(c / "v.qor"), "anterior");
  // Through the setting, as a hand-edited configuration would hold it.
  Configuracion::Global().Asigna("TipoArch_QOR", "COMPRESION", "RLE");
  EXPECT_EQ(IdError([&] { GuardaQor(c / "v.qor", im); }), 11140);
  Configuracion::Global().Asigna("TipoArch_QOR", "COMPRESION", "DIFDEFLAT");
  GuardaQor(c / "v.qor", im);
  ImagenObservacion leida;
  LeeQor(c / "v.qor", leida);
  EXPECT_EQ(CabeceraDeImagen(leida, "X").Valor("NAXIS1"), "1");
  EXPECT_NE(prueba::Lee(c / "v.qor").find("COMPRESION=DIFDEFLAT"), std::string::npos);
  Configuracion::Global().RestableceDefectos();
}

TEST(Qor, CabeceraDeDosLineas) {
  Carpeta c;
  CabeceraQor cab;
  prueba::Escribe(c / "d.qor", cab.Texto() + "\x1A" + "resto");
  Archivo f(c / "d.qor", Archivo::kLectura);
  const CabeceraQor leida = LeeCabeceraArchivo(f, f.Longitud());
  EXPECT_EQ(leida.NumLineas(), 2u);
  EXPECT_EQ(f.Posicion(), 161u);
  // Without NAXIS lines the image has no sizes: the file is refused, not read as 0 x 0.
  ImagenObservacion im;
  EXPECT_EQ(IdError([&] { LeeQor(c / "d.qor", im); }), 11143);
}

TEST(Qor, SoloCabecera) {
  Carpeta c;
  ImagenObservacion im, leida;
  im.CambiaPixeles(5, 4, Pixeles(kRampa, 20));
  ConMetadatos(im);
  GuardaQor(c / "h.qor", im, "DIFDEFLAT");
  LeeCabeceraQor(c / "h.qor", leida);
  EXPECT_EQ(leida.Ancho(), 5u);
  EXPECT_EQ(leida.Alto(), 4u);
  EXPECT_EQ(TextosQor(leida), TextosQor(im));
  prueba::Escribe(c / "no.qor", "SIMPLE  = T");
  EXPECT_EQ(IdError([&] { LeeCabeceraQor(c / "no.qor", leida); }), 11019);
  // Sizes the file cannot hold are refused before room is made for them.
  std::string grande = prueba::Lee(c / "h.qor");
  grande.replace(2 * 80, 80, "NAXIS1=40000" + std::string(66, ' ') + "\r\n");
  grande.replace(3 * 80, 80, "NAXIS2=40000" + std::string(66, ' ') + "\r\n");
  prueba::Escribe(c / "grande.qor", grande);
  EXPECT_EQ(IdError([&] { LeeCabeceraQor(c / "grande.qor", leida); }), 11141);
  EXPECT_EQ(leida.Ancho(), 5u);
}

// ---- Crafted bad files

// A header with the given lines (COMPRESION last unless given) and pixel block.
std::string Archivo1(std::vector<std::string> lineas, const std::string& bloque) {
  CabeceraQor cab;
  for (const std::string& l : lineas) {
    const size_t igual = l.find('=');
    cab.Anade(l.substr(0, igual), l.substr(igual + 1));
  }
  cab.Cambia("LINEAS_CAB", std::to_string(cab.NumLineas()));
  return cab.Texto() + "\x1A" + bloque;
}

std::string Deflate(const std::string& datos) {
  std::vector<uint8_t> b(MaximoDeflate(datos.size()));
  const size_t n = ComprimeDeflate(b.data(), b.size(),
                                   reinterpret_cast<const uint8_t*>(datos.data()), datos.size());
  return std::string(reinterpret_cast<const char*>(b.data()), n);
}

TEST(QorDanado, CadaFalloConSuMensaje) {
  Carpeta c;
  const std::string cuatro = std::string("\x01\x00\x02\x03\x04\x05\x06\x07", 8);  // 4 raw pixels
  const std::string dif8 = std::string("\x10\x00\x01\x01\x01", 5);  // 4 pixels in DIFF8
  std::string danado = Deflate(cuatro);
  danado[3] ^= 0x5A;
  danado[danado.size() - 1] ^= 0x01;
  const std::string noQor(200, 'Q');
  std::string largo = Archivo1({"NAXIS1=2", "NAXIS2=2", "COMPRESION=DIFF8"}, dif8);
  largo.replace(80 + 11, 4, "9999");  // LINEAS_CAB=9999 on a 7-line file
  std::string uno = Archivo1({"NAXIS1=2", "NAXIS2=2", "COMPRESION=DIFF8"}, dif8);
  uno.replace(80 + 11, 1, "1");  // LINEAS_CAB=1

  struct Caso {
    const char* nombre;
    std::string bytes;
    int id;
  } casos[] = {
      {"sin marca", noQor, 11019},
      {"corto", "FORMATO_QOR", 10126},
      {"una linea", uno, 11019},
      {"mas lineas que el archivo", largo, 11144},
      {"ancho negativo", Archivo1({"NAXIS1=-2", "NAXIS2=2", "COMPRESION=DIFF8"}, dif8), 11143},
      {"alto cero", Archivo1({"NAXIS1=2", "NAXIS2=0", "COMPRESION=DIFF8"}, dif8), 11143},
      {"sin numero", Archivo1({"NAXIS1=dos", "NAXIS2=2", "COMPRESION=DIFF8"}, dif8), 11143},
      {"producto enorme",
       Archivo1({"NAXIS1=2147483647", "NAXIS2=2147483647", "COMPRESION=DIFF8"}, dif8), 10100},
      {"desborde",
       Archivo1({"NAXIS1=99999999999", "NAXIS2=99999999999", "COMPRESION=DEFLAT"}, dif8), 10100},
      {"diff8 corto", Archivo1({"NAXIS1=3", "NAXIS2=2", "COMPRESION=DIFF8"}, dif8), 11141},
      {"escape sin valor",
       Archivo1({"NAXIS1=2", "NAXIS2=2", "COMPRESION=DIFF8"},
                std::string("\x10\x00\x01\x80\x05", 5)),
       11141},
      {"deflat corto",
       Archivo1({"NAXIS1=2", "NAXIS2=2", "COMPRESION=DEFLAT"}, Deflate(cuatro.substr(0, 6))),
       11141},
      {"deflat largo", Archivo1({"NAXIS1=1", "NAXIS2=2", "COMPRESION=DEFLAT"}, Deflate(cuatro)),
       11141},
      {"deflat cortado",
       Archivo1({"NAXIS1=2", "NAXIS2=2", "COMPRESION=DEFLAT"}, Deflate(cuatro).substr(0, 9)),
       11141},
      {"deflat danado", Archivo1({"NAXIS1=2", "NAXIS2=2", "COMPRESION=DEFLAT"}, danado), 11141},
      {"difdeflat corto", Archivo1({"NAXIS1=2", "NAXIS2=3", "COMPRESION=DIFDEFLAT"}, Deflate(dif8)),
       11141},
      {"difdeflat no zlib", Archivo1({"NAXIS1=2", "NAXIS2=2", "COMPRESION=DIFDEFLAT"}, dif8),
       11141},
      {"bloque enorme para su largo",
       Archivo1({"NAXIS1=30000", "NAXIS2=30000", "COMPRESION=DEFLAT"}, Deflate(cuatro)), 11141},
      {"compresion desconocida", Archivo1({"NAXIS1=2", "NAXIS2=2", "COMPRESION=RLE"}, dif8), 11140},
      {"sin compresion", Archivo1({"NAXIS1=2", "NAXIS2=2"}, dif8), 11140},
  };
  for (const Caso& k : casos) {
    prueba::Escribe(c / "x.qor", k.bytes);
    ImagenObservacion im;
    im.CambiaPixeles(1, 1, {77});
    im.datos.nombreObjeto = "antes";
    EXPECT_EQ(IdError([&] { LeeQor(c / "x.qor", im); }), k.id) << k.nombre;
    // A refused file leaves the image as it was.
    EXPECT_EQ(im.Pixeles(), std::vector<int16_t>{77}) << k.nombre;
    EXPECT_EQ(im.datos.nombreObjeto, "antes") << k.nombre;
  }
  // The well-formed companions of the cases above read.
  for (const auto& [z, bloque] : {std::pair<std::string, std::string>{"DIFF8", dif8},
                                  {"DEFLAT", Deflate(cuatro)},
                                  {"DIFDEFLAT", Deflate(dif8)}}) {
    prueba::Escribe(c / "x.qor", Archivo1({"NAXIS1=2", "NAXIS2=2", "COMPRESION=" + z}, bloque));
    ImagenObservacion im;
    LeeQor(c / "x.qor", im);
    EXPECT_EQ(im.NumPixeles(), 4u) << z;
  }
}

TEST(QorDanado, ValoresIlegiblesNoImpidenLaLectura) {
  Carpeta c;
  ImagenObservacion im;
  im.datos.filtro = "R";
  im.datos.epoca = 2000;
  prueba::Escribe(c / "m.qor", Archivo1({"NAXIS1=1", "NAXIS2=2", "DATE-OBS=31/02/2020",
                                         "UT=25:00:00", "AR=xx", "EPOCA=", "COMPRESION=DIFF8"},
                                        std::string("\x05\x00\x01", 3)));
  LeeQor(c / "m.qor", im);
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{5, 6}));
  EXPECT_EQ(im.datos.fechaHora.FechaDia(), Fecha());
  EXPECT_EQ(im.datos.epoca, 2000);
  EXPECT_EQ(im.datos.filtro, "");  // a present-but-empty text field is empty
}

// A write that fails part way (here the file-size limit) leaves the old file as it was.
TEST(QorDanado, EscrituraFallidaConservaElArchivoAnterior) {
  Carpeta c;
  prueba::Escribe(c / "g.qor", "contenido anterior");
  ImagenObservacion im;
  im.CambiaPixeles(200, 200, Pixeles(kAlterna, 40000));
  rlimit antes{};
  getrlimit(RLIMIT_FSIZE, &antes);
  auto senal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limite = antes;
  limite.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &limite);
  const int id = IdError([&] { GuardaQor(c / "g.qor", im, "DIFF8"); });
  setrlimit(RLIMIT_FSIZE, &antes);
  std::signal(SIGXFSZ, senal);
  EXPECT_EQ(id, 10127);
  EXPECT_EQ(prueba::Lee(c / "g.qor"), "contenido anterior");
  size_t archivos = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(c.Ruta())) ++archivos;
  EXPECT_EQ(archivos, 1u);  // no temporary left behind
}

TEST(Qor, Configura) {
  ListaTiposArchivo();
  Configuracion::Global().RestableceDefectos();
  const OpcionesQor antes = OpcionesActualesQor();
  EXPECT_EQ(antes.filtro, "*.QOR");
  EXPECT_EQ(antes.compresion, "DIFF8");
  ConfiguraQor({"*.Q", "DEFLAT"}, false);
  EXPECT_EQ(OpcionesActualesQor().filtro, "*.QOR");
  EXPECT_EQ(OpcionesActualesQor().compresion, "DIFF8");
  EXPECT_EQ(IdError([&] { ConfiguraQor({"*.Q", "OTRA"}, true); }), 11140);
  EXPECT_EQ(OpcionesActualesQor().filtro, "*.QOR");
  ConfiguraQor({"*.Q", "DIFDEFLAT"}, true);
  EXPECT_EQ(OpcionesActualesQor().filtro, "*.Q");
  EXPECT_EQ(Configuracion::Global().Valor("TipoArch_QOR", "FILTRO"), "*.Q");
  EXPECT_EQ(Configuracion::Global().Valor("TipoArch_QOR", "COMPRESION"), "DIFDEFLAT");
  FijaFiltroTipoArchivo(*BuscaTipoArchivo(kQor), "*.QOR");
  Configuracion::Global().RestableceDefectos();
}

}  // namespace
}  // namespace orva
