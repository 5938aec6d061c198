// The fixed-layout camera types and GENERAL: files built here from each layout's description
// (not through the writer under test), read back, written back, cut short and misconfigured.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "core/Imagen.h"
#include "formats/TiposArchivo.h"
#include "formats/camaras/Camaras.h"
#include "shell/Configuracion.h"
#include "tests/formats/Ayuda.h"

namespace orva {
namespace {

using prueba::Carpeta;
using prueba::IdError;

// Raw values of a test frame: a pattern that reaches 0 and the depth's maximum.
std::vector<int> Crudos(int ancho, int alto, int bits) {
  const int tope = (1 << bits) - 1;
  std::vector<int> v(static_cast<size_t>(ancho) * static_cast<size_t>(alto));
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int>((i * 7919 + i / 3) % (tope + 1));
  v.front() = 0;
  v.back() = tope;
  if (v.size() > 2) v[1] = tope;
  return v;
}

// One row of raw values as the file holds it, written from the format's description.
std::string CodificaFila(const int* v, int ancho, int bits, int orden) {
  std::string s;
  auto pon = [&](unsigned b) { s += static_cast<char>(b & 0xFF); };
  for (int x = 0; x < ancho; ++x) {
    const unsigned u = static_cast<unsigned>(v[x]);
    if (bits == 8) pon(u);
    if (bits == 16 && orden == 1) pon(u >> 8), pon(u);
    if (bits == 16 && orden == 0) pon(u), pon(u >> 8);
    if (bits == 12 && x % 2 == 0) {
      const unsigned p0 = u, p1 = static_cast<unsigned>(v[x + 1]);
      if (orden == 0) {  // low byte of p0, the two high nibbles, low byte of p1
        pon(p0), pon(((p0 >> 8) & 0xF) | (((p1 >> 8) & 0xF) << 4)), pon(p1);
      } else {  // a 24-bit little-endian group, p0 in its low 12 bits
        const unsigned g = p0 | (p1 << 12);
        pon(g), pon(g >> 8), pon(g >> 16);
      }
    }
  }
  return s;
}

// What a raw value becomes in the image.
int16_t Valor(int crudo, int bits, int conSigno) {
  if (bits == 16) return conSigno ? static_cast<int16_t>(crudo) : std::min(crudo, 32767);
  if (bits == 8 && conSigno) return static_cast<int16_t>(crudo > 127 ? crudo - 256 : crudo);
  return static_cast<int16_t>(crudo);
}

std::vector<int16_t> Esperados(const std::vector<int>& crudos, int bits, int conSigno) {
  std::vector<int16_t> r;
  for (int c : crudos) r.push_back(Valor(c, bits, conSigno));
  return r;
}

class Camaras : public ::testing::Test {
 protected:
  void SetUp() override {
    ListaTiposArchivo();
    Configuracion::Global().RestableceDefectos();
    Configuracion::Global().Asigna("Archivos", "LEEDATORVA", "0");
    Configuracion::Global().Asigna("Archivos", "GUARDATORVA", "0");
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }
  Carpeta c;
};

// Each layout as its public description gives it, written out here so that a wrong row of the
// reader's table shows: header bytes, sizes, depth, and the packing of two 12-bit values
// (orden 0: low byte of the first, the two high nibbles, low byte of the second).
struct Documentado {
  int tipo;
  size_t cabecera;
  int ancho, alto, bits, orden;
};
const std::vector<Documentado> kDocumentados = {
    {kPantalla, 0, 320, 200, 8, 0},  // 64000 bytes: one byte per pixel, nothing else
    {kLynxx, 0, 192, 165, 12, 0},    // 47520 bytes
    {kPix, 7, 192, 165, 16, 0},      // BSAVE header, Intel words
};

const Documentado& Documentacion(int tipo) {
  for (const Documentado& d : kDocumentados) {
    if (d.tipo == tipo) return d;
  }
  throw std::runtime_error("a layout without its description in the test");
}

// The file of a layout: its header (a BASIC BSAVE header for PIX, zeros otherwise) and the rows.
std::string ArchivoCamara(const DisenoCamara& diseno, const std::vector<int>& crudos) {
  const Documentado& d = Documentacion(diseno.tipo);
  std::string s(d.cabecera, '\0');
  if (d.tipo == kPix) {
    const unsigned bytes = static_cast<unsigned>(d.ancho * d.alto * 2);
    s = std::string("\xFD\x00\xA0\x00\x00", 5) + static_cast<char>(bytes & 0xFF) +
        static_cast<char>(bytes >> 8);
  }
  for (int y = 0; y < d.alto; ++y) {
    s += CodificaFila(&crudos[static_cast<size_t>(y * d.ancho)], d.ancho, d.bits, d.orden);
  }
  return s;
}

TEST_F(Camaras, CadaDisenoSeLeeDetectadoYPasaAFits) {
  ASSERT_EQ(TablaCamaras().size(), kDocumentados.size());
  for (const DisenoCamara& d : TablaCamaras()) {
    SCOPED_TRACE(d.clave);
    const std::vector<int> crudos = Crudos(d.ancho, d.alto, d.bits);
    const std::string bytes = ArchivoCamara(d, crudos);
    const std::string archivo = c / (std::string(d.clave) + ".raw");
    prueba::Escribe(archivo, bytes);
    ASSERT_EQ(DetectaTipoArchivo(archivo), d.tipo);

    Imagen im;
    LeeArchivo(archivo, im);
    EXPECT_EQ(im.tipoArchivo, d.tipo);
    EXPECT_EQ(im.claveTipoArchivo, d.clave);
    ASSERT_EQ(im.Ancho(), static_cast<uint32_t>(d.ancho));
    ASSERT_EQ(im.Alto(), static_cast<uint32_t>(d.alto));
    EXPECT_EQ(im.bitsPixel, d.bits);
    const std::vector<int16_t> esperados = Esperados(crudos, d.bits, d.conSigno);
    EXPECT_EQ(im.Pixeles(), esperados);

    // The header alone: the sizes, from a file whose pixels are never read.
    ImagenObservacion cab;
    BuscaTipoArchivo(d.tipo)->leeCabecera(archivo, cab);
    EXPECT_EQ(cab.Ancho(), static_cast<uint32_t>(d.ancho));
    EXPECT_EQ(cab.Alto(), static_cast<uint32_t>(d.alto));

    // What `orva convert` does: the same pixels come back from FITS.
    GuardaArchivo(c / "copia.fits", im, kFits);
    Imagen fits;
    LeeArchivo(c / "copia.fits", fits);
    EXPECT_EQ(fits.Pixeles(), esperados);

    // One byte short, one byte long: no longer this type, and its reader says so.
    for (const std::string& otro : {bytes.substr(0, bytes.size() - 1), bytes + '\0'}) {
      prueba::Escribe(c / "mal.raw", otro);
      EXPECT_EQ(IdError([&] { BuscaTipoArchivo(d.tipo)->lee(c / "mal.raw", im); }), 11019);
      EXPECT_EQ(IdError([&] { BuscaTipoArchivo(d.tipo)->leeCabecera(c / "mal.raw", im); }), 11019);
    }
    EXPECT_EQ(im.Pixeles(), esperados);
  }
}

TEST_F(Camaras, LosQueEscribenDanElMismoArchivoYRechazanLoQueNoCabe) {
  for (const DisenoCamara& d : TablaCamaras()) {
    if (!d.escribe) {
      Imagen im;
      im.CambiaPixeles(static_cast<uint32_t>(d.ancho), static_cast<uint32_t>(d.alto),
                       std::vector<int16_t>(static_cast<size_t>(d.ancho * d.alto), 0));
      EXPECT_EQ(IdError([&] { GuardaArchivo(c / "no", im, d.tipo); }), 11018) << d.clave;
      continue;
    }
    SCOPED_TRACE(d.clave);
    const std::vector<int> crudos = Crudos(d.ancho, d.alto, d.bits);
    const std::string bytes = ArchivoCamara(d, crudos);
    Imagen im;
    im.CambiaPixeles(static_cast<uint32_t>(d.ancho), static_cast<uint32_t>(d.alto),
                     Esperados(crudos, d.bits, d.conSigno));
    const std::string archivo = c / "salida.raw";
    GuardaArchivo(archivo, im, d.tipo);
    EXPECT_EQ(prueba::Lee(archivo) == bytes, true);
    Imagen leida;
    LeeArchivo(archivo, leida);
    EXPECT_EQ(leida.Pixeles(), im.Pixeles());

    // Other sizes and values the depth cannot hold are refused; the old file stays.
    const int tope = (1 << d.bits) - 1;
    Imagen otra;
    otra.CambiaPixeles(static_cast<uint32_t>(d.ancho), static_cast<uint32_t>(d.alto - 1),
                       std::vector<int16_t>(static_cast<size_t>(d.ancho * (d.alto - 1)), 0));
    try {
      GuardaArchivo(archivo, otra, d.tipo);
      FAIL();
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 11020);
      EXPECT_EQ(e.Argumento(2), std::to_string(d.ancho));
      EXPECT_EQ(e.Argumento(3), std::to_string(d.alto));
    }
    for (int malo : {-1, tope + 1}) {
      Imagen fuera;
      std::vector<int16_t> px = im.Pixeles();
      px[5] = static_cast<int16_t>(malo);
      fuera.CambiaPixeles(im.Ancho(), im.Alto(), px);
      try {
        GuardaArchivo(archivo, fuera, d.tipo);
        FAIL();
      } catch (const JError& e) {
        EXPECT_EQ(e.Id(), 11021);
        EXPECT_EQ(e.Argumento(3), std::to_string(tope));
      }
    }
    EXPECT_EQ(prueba::Lee(archivo) == bytes, true);
  }
}

// Types whose layout no public description fixes keep no reader, and say which type it is.
TEST_F(Camaras, SinDisenoConocidoSeNombraElTipo) {
  struct Caso {
    std::string nombre, bytes, clave;
  };
  const std::vector<Caso> casos = {
      {"b.raw", std::string(59904, '\x01'), "BUIL"},
      {"p.raw", std::string(64831, '\x01'), "PIC_7852"},
      {"q.raw", std::string(221696, '\x01'), "PIC_7863"},
      {"x.raw", std::string(261120, '\x01'), "XPRESS"},
      {"y.raw", std::string(192780, '\x01'), "XPRESS_2"},
      {"t.pa", std::string(63007, '\x01'), "TC245_1"},
      {"t.p1", std::string(63007, '\x01'), "TC245_2"},
      {"m.t1m", "Format T1M Pic du Midi" + std::string(100, ' '), "T1M"},
  };
  for (const Caso& k : casos) {
    prueba::Escribe(c / k.nombre, k.bytes);
    Imagen im;
    try {
      LeeArchivo(c / k.nombre, im);
      FAIL() << k.clave;
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 11017);
      EXPECT_EQ(e.Argumento(1), k.clave);
    }
  }
}

// ---- GENERAL

void AjustaGeneral(const std::vector<std::pair<std::string, std::string>>& valores) {
  for (const auto& [clave, valor] : valores) {
    Configuracion::Global().Asigna("TipoArch_GENERAL", clave, valor);
  }
}

struct CasoGeneral {
  int bits, orden, conSigno;
};

class General : public Camaras, public ::testing::WithParamInterface<CasoGeneral> {};

TEST_P(General, CadaProfundidadYOrdenConPrefijoYSufijo) {
  const CasoGeneral k = GetParam();
  const int ancho = 6, alto = 5, desplazamiento = 37, prefijo = 3, sufijo = 5;
  const std::vector<int> crudos = Crudos(ancho, alto, k.bits);
  // Prefix and suffix bytes of their own values: a reader that slips by one byte sees them.
  std::string bytes(desplazamiento, '\x7E');
  for (int y = 0; y < alto; ++y) {
    bytes += std::string(prefijo, '\xA5');
    bytes += CodificaFila(&crudos[static_cast<size_t>(y * ancho)], ancho, k.bits, k.orden);
    bytes += std::string(sufijo, '\x5A');
  }
  prueba::Escribe(c / "crudo.bin", bytes);
  AjustaGeneral({{"DESPLAZAMIENTO", std::to_string(desplazamiento)},
                 {"ANCHO", std::to_string(ancho)},
                 {"ALTO", std::to_string(alto)},
                 {"BITS", std::to_string(k.bits)},
                 {"ORDEN", std::to_string(k.orden)},
                 {"SIGNO", std::to_string(k.conSigno)},
                 {"PREFIJO", std::to_string(prefijo)},
                 {"SUFIJO", std::to_string(sufijo)}});
  Configuracion::Global().Asigna("Archivos", "TIPARCHLEER", "GENERAL");
  Imagen im;
  LeeArchivo(c / "crudo.bin", im);  // nothing detects it: the reading type reads it
  EXPECT_EQ(im.claveTipoArchivo, "GENERAL");
  ASSERT_EQ(im.Ancho(), static_cast<uint32_t>(ancho));
  ASSERT_EQ(im.Alto(), static_cast<uint32_t>(alto));
  EXPECT_EQ(im.Pixeles(), Esperados(crudos, k.bits, k.conSigno));

  // The last byte missing: said before anything is read.
  prueba::Escribe(c / "corto.bin", bytes.substr(0, bytes.size() - 1));
  try {
    LeeArchivo(c / "corto.bin", im);
    FAIL();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12360);
    EXPECT_EQ(e.Argumento(2), std::to_string(bytes.size() - 1));
    EXPECT_EQ(e.Argumento(3), std::to_string(bytes.size()));
  }
  EXPECT_EQ(im.Ruta(), c / "crudo.bin");
}

INSTANTIATE_TEST_SUITE_P(Camaras, General,
                         ::testing::Values(CasoGeneral{8, 0, 0}, CasoGeneral{8, 0, 1},
                                           CasoGeneral{12, 0, 0}, CasoGeneral{12, 1, 0},
                                           CasoGeneral{16, 0, 0}, CasoGeneral{16, 0, 1},
                                           CasoGeneral{16, 1, 0}, CasoGeneral{16, 1, 1}));

TEST_F(Camaras, AjustesDeGeneralIlegalesOExcesivos) {
  // Registered with their defaults when the registry is built.
  for (const std::string& clave : ClavesGeneral()) {
    EXPECT_TRUE(Configuracion::Global().Conocida("TipoArch_GENERAL", clave)) << clave;
  }
  EXPECT_EQ(Configuracion::Global().Valor("TipoArch_GENERAL", "BITS"), "16");
  prueba::Escribe(c / "poco.bin", std::string(100, '\x01'));
  struct Caso {
    std::string clave, valor;
    int error;
  };
  const std::vector<Caso> casos = {
      {"BITS", "10", 12361},
      {"BITS", "-32", 12361},
      {"ANCHO", "abc", 12361},
      {"ANCHO", "0", 12361},
      {"ANCHO", "65536", 12361},
      {"ALTO", "5x", 12361},
      {"ORDEN", "2", 12361},
      {"PREFIJO", "-1", 12361},
      {"DESPLAZAMIENTO", "99999999999999999999", 12361},
      // Sizes far beyond the file: refused before the image is sized.
      {"ANCHO", "65535", 12360},
      {"DESPLAZAMIENTO", "9223372036854775807", 12360},
  };
  for (const Caso& k : casos) {
    Configuracion::Global().RestableceDefectos();
    AjustaGeneral({{"ALTO", "65535"}, {k.clave, k.valor}});
    Imagen im;
    EXPECT_EQ(IdError([&] { LeeArchivo(c / "poco.bin", im, kGeneral); }), k.error)
        << k.clave << "=" << k.valor;
    EXPECT_TRUE(im.Vacia());
  }
  Configuracion::Global().RestableceDefectos();
  AjustaGeneral({{"BITS", "12"}, {"ANCHO", "5"}, {"ALTO", "1"}});
  Imagen im;
  EXPECT_EQ(IdError([&] { LeeArchivo(c / "poco.bin", im, kGeneral); }), 12362);
}

}  // namespace
}  // namespace orva
