// The checked file and the raw pixel blocks: every depth and byte order, limits and errors.
#include <gtest/gtest.h>

#include "core/Imagen.h"
#include "core/Rango.h"
#include "formats/Archivo.h"
#include "formats/Valores.h"
#include "tests/formats/Ayuda.h"

namespace orva {
namespace {

using prueba::Carpeta;
using prueba::IdError;

TEST(Archivo, ErroresConSusMensajes) {
  Carpeta c;
  prueba::Escribe(c / "corto", "abc");
  Archivo a;
  EXPECT_EQ(IdError([&] {
              char b;
              a.Lee(&b, 1);
            }),
            10132);
  EXPECT_EQ(IdError([&] { a.Abre(c / "no_existe", Archivo::kLectura); }), 10125);
  a.Abre(c / "corto", Archivo::kLectura);
  EXPECT_EQ(IdError([&] { a.Abre(c / "corto", Archivo::kLectura); }), 10133);
  EXPECT_EQ(a.Longitud(), 3u);
  char b[8];
  try {
    a.Lee(b, 4);
    FAIL();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 10126);
    EXPECT_EQ(e.Argumento(1), c / "corto");
    EXPECT_EQ(e.Argumento(2), "4");
  }
  EXPECT_EQ(IdError([&] { a.Posiciona(UINT64_MAX); }), 10128);
  a.Cierra();
  a.Cierra();  // a closed file closes again quietly
  EXPECT_EQ(IdError([&] { a.Escribe("x", 1); }), 10132);
  EXPECT_EQ(IdError([&] { Archivo(c.Ruta() + "/sin/carpeta", Archivo::kEscritura); }), 10125);
}

// A test image with the extreme values and a pattern.
void Rellena(ImagenPixeles& im, uint32_t w, uint32_t h, int lo, int hi) {
  im.DimensionaImagen(w, h);
  for (size_t i = 0; i < im.NumPixeles(); ++i) {
    const int rango = hi - lo + 1;
    im.Pixeles()[i] = static_cast<int16_t>(lo + static_cast<int>((i * 7919) % rango));
  }
  im.Pixeles()[0] = static_cast<int16_t>(lo);
  im.Pixeles().back() = static_cast<int16_t>(hi);
}

struct CasoValores {
  int bits, orden, conSigno, lo, hi, prefijo, sufijo;
};

class IdaVuelta : public ::testing::TestWithParam<CasoValores> {};

// Every depth and order: what GuardaValores writes, LeeValores gives back.
TEST_P(IdaVuelta, MismosPixeles) {
  const CasoValores k = GetParam();
  Carpeta c;
  ImagenPixeles im, leida;
  Rellena(im, 6, 5, k.lo, k.hi);
  {
    Archivo f(c / "b", Archivo::kEscritura);
    f.Escribe("CABEZA", 6);
    GuardaValores(im, f, 6, 6, 5, k.bits, k.prefijo, k.sufijo, k.orden);
    f.Cierra();
  }
  const size_t fila = static_cast<size_t>(k.bits * (k.prefijo + 6 + k.sufijo) / 8);
  EXPECT_EQ(prueba::Lee(c / "b").size(), 6 + 5 * fila);
  leida.DimensionaImagen(6, 5);
  Archivo f(c / "b", Archivo::kLectura);
  LeeValores(leida, f, 6, 6, 5, k.bits, k.prefijo, k.sufijo, k.orden, k.conSigno);
  EXPECT_EQ(leida.Pixeles(), im.Pixeles());
}

INSTANTIATE_TEST_SUITE_P(
    TodasLasProfundidades, IdaVuelta,
    ::testing::Values(CasoValores{8, 0, 0, 0, 255, 0, 0}, CasoValores{8, 1, 1, 0, 255, 3, 2},
                      CasoValores{16, 0, 1, -32768, 32767, 0, 0},
                      CasoValores{16, 1, 1, -32768, 32767, 2, 1},
                      CasoValores{16, 0, 0, 0, 32767, 1, 0}, CasoValores{16, 1, 0, 0, 32767, 0, 3},
                      CasoValores{12, 0, 0, 0, 4095, 0, 0}, CasoValores{12, 1, 0, 0, 4095, 0, 0},
                      CasoValores{12, 0, 0, 0, 4095, 3, 2}, CasoValores{12, 1, 0, 0, 4095, 2, 2}));

// Known bytes give known values.
TEST(LeeValores, ConversionesConocidas) {
  Carpeta c;
  struct Caso {
    std::string bytes;
    int bits, orden, conSigno;
    std::vector<int16_t> esperado;
  } casos[] = {
      {"\xFF\xFF\x12\x34", 16, 1, 0, {32767, 0x1234}},
      {"\xFF\xFF\x12\x34", 16, 0, 0, {32767, 0x3412}},
      {std::string("\xFF\xFF\x80\x00", 4), 16, 1, 1, {-1, -32768}},
      {std::string("\xFF\xFF\x00\x80", 4), 16, 0, 1, {-1, -32768}},
      {std::string("\x00\x80\xFF\x7F", 4), 16, 0, 0, {32767, 32767}},
      {"\xC8\xFF", 8, 0, 0, {200, 255}},
      // b0 b1 b2 = 0x21 0x43 0x65: order 0 -> 0x321, 0x465; order 1 -> g = 0x654321
      {"\x21\x43\x65", 12, 0, 0, {0x321, 0x465}},
      {"\x21\x43\x65", 12, 1, 0, {0x321, 0x654}},
  };
  for (const Caso& k : casos) {
    prueba::Escribe(c / "v", k.bytes);
    ImagenPixeles im;
    im.DimensionaImagen(2, 1);
    Archivo f(c / "v", Archivo::kLectura);
    LeeValores(im, f, 0, 2, 1, k.bits, 0, 0, k.orden, k.conSigno);
    EXPECT_EQ(im.Pixeles(), k.esperado) << k.bits << " " << k.orden << " " << k.conSigno;
  }
}

TEST(GuardaValores, OchoBitsLimitaYFueraDaElValorExterior) {
  Carpeta c;
  ImagenPixeles im;
  im.CambiaPixeles(3, 1, {-5, 300, 77});
  const int16_t antes = Rango().defecto;
  Rango().defecto = 9;
  {
    Archivo f(c / "o", Archivo::kEscritura);
    // A block one pixel wider and one row taller than the image, with prefix and suffix.
    GuardaValores(im, f, 0, 4, 2, 8, 1, 1, 0);
  }
  Rango().defecto = antes;
  EXPECT_EQ(prueba::Lee(c / "o"), std::string("\0\0\xFF\x4D\x09\0\0\x09\x09\x09\x09\0", 12));
}

TEST(LeeValores, Errores) {
  Carpeta c;
  prueba::Escribe(c / "v", std::string(9, '\x01'));
  ImagenPixeles im;
  im.DimensionaImagen(3, 3);
  Archivo f(c / "v", Archivo::kLectura);
  EXPECT_EQ(IdError([&] { LeeValores(im, f, 0, 3, 3, 24, 0, 0, 0, 0); }), 11022);
  EXPECT_EQ(IdError([&] { GuardaValores(im, f, 0, 3, 3, -32, 0, 0, 0); }), 11023);
  // 12 bits with an odd width: the last pair's second pixel is outside the image.
  EXPECT_EQ(IdError([&] { LeeValores(im, f, 0, 3, 1, 12, 0, 0, 0, 0); }), 11012);
  // A file shorter than the block.
  EXPECT_EQ(IdError([&] { LeeValores(im, f, 0, 3, 3, 16, 0, 0, 0, 0); }), 10126);
  // A block larger than the image.
  EXPECT_EQ(IdError([&] { LeeValores(im, f, 0, 4, 1, 8, 0, 0, 0, 0); }), 11012);
  // -32 reads the rows and stores nothing.
  std::fill(im.Pixeles().begin(), im.Pixeles().end(), int16_t{5});
  LeeValores(im, f, 0, 1, 2, -32, 0, 0, 0, 0);
  EXPECT_EQ(im.Pixeles(), std::vector<int16_t>(9, 5));
}

}  // namespace
}  // namespace orva
