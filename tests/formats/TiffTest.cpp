// TIFF through libtiff: round trips of gray and palette images, foreign layouts, hostile files.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/tiff/Tiff.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

int Id(const std::function<void()>& f) {
  try {
    f();
  } catch (const JError& e) {
    return e.Id();
  }
  return 0;
}

class TiffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orva_tiff_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Ruta(const std::string& n) const { return (dir_ / n).string(); }

  // A one-row TIFF written by libtiff itself with the given layout.
  void Foraneo(const std::string& archivo, uint16_t bits, uint16_t formato, uint16_t foto,
               const std::vector<uint8_t>& fila, uint32_t ancho, uint16_t muestras = 1) {
    TIFF* t = TIFFOpen(archivo.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, ancho);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, muestras);
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, formato);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, foto);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    std::vector<uint8_t> copia = fila;
    TIFFWriteScanline(t, copia.data(), 0, 0);
    TIFFClose(t);
  }

  fs::path dir_;
};

struct Tamano {
  uint32_t ancho, alto;
};

class TiffIdaVuelta : public TiffTest, public ::testing::WithParamInterface<Tamano> {};

TEST_P(TiffIdaVuelta, GrayPixelsAndTagsSurvive) {
  const Tamano t = GetParam();
  ImagenObservacion im;
  std::vector<int16_t> px(static_cast<size_t>(t.ancho) * t.alto);
  for (size_t i = 0; i < px.size(); ++i) {
    px[i] = i % 2 ? -32768 : static_cast<int16_t>(32767 - static_cast<int>(i));
  }
  im.CambiaPixeles(t.ancho, t.alto, px);
  im.datos.nombreObjeto = "NGC 7000";
  im.datos.observatorio.observador = "Luis";
  im.datos.fechaHora = FechaHora(Fecha(2, 3, 2004), Hora(5, 6, 7));
  const std::string archivo = Ruta("g.tif");
  GuardaTiff(archivo, im);
  EXPECT_TRUE(EsTiff(archivo));
  ImagenObservacion l;
  LeeTiff(archivo, l);
  EXPECT_EQ(l.Ancho(), t.ancho);
  EXPECT_EQ(l.Alto(), t.alto);
  EXPECT_EQ(l.Pixeles(), px);
  EXPECT_EQ(l.esPaleta, 0);
  EXPECT_EQ(l.bitsPixel, 16);
  EXPECT_EQ(l.datos.nombreObjeto, "NGC 7000");
  EXPECT_EQ(l.datos.observatorio.observador, "Luis");
  EXPECT_EQ(l.datos.fechaHora.FechaDia(), Fecha(2, 3, 2004));
  EXPECT_EQ(l.datos.fechaHora.HoraDia(), Hora(5, 6, 7));
  ImagenObservacion c;
  LeeCabeceraTiff(archivo, c);
  EXPECT_EQ(c.Ancho(), t.ancho);
}

INSTANTIATE_TEST_SUITE_P(Tamanos, TiffIdaVuelta,
                         ::testing::Values(Tamano{1, 1}, Tamano{2, 1}, Tamano{3, 2}, Tamano{17, 9},
                                           Tamano{300, 40}));

TEST_F(TiffTest, PaletteImageKeepsIndicesAndColours) {
  ImagenObservacion im;
  im.CambiaPixeles(3, 1, {0, 200, 255});
  im.esPaleta = 1;
  for (size_t i = 0; i < 768; ++i) im.paleta[i] = static_cast<uint8_t>(i * 7);
  const std::string archivo = Ruta("p.tif");
  GuardaTiff(archivo, im);
  ImagenObservacion l;
  LeeTiff(archivo, l);
  EXPECT_EQ(l.esPaleta, 1);
  EXPECT_EQ(l.Pixeles(), im.Pixeles());
  EXPECT_EQ(l.paleta, im.paleta);
}

TEST_F(TiffTest, ForeignLayouts) {
  const std::string archivo = Ruta("f.tif");
  // 8-bit gray, white-is-zero 8 bits, unsigned 16 bits limited to 32767 (native byte order).
  Foraneo(archivo, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, {0, 5, 255}, 3);
  ImagenObservacion im;
  LeeTiff(archivo, im);
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{0, 5, 255}));
  Foraneo(archivo, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISWHITE, {0, 5, 255}, 3);
  LeeTiff(archivo, im);
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{255, 250, 0}));
  std::vector<uint8_t> fila(6);
  const uint16_t v[3] = {7, 32768, 65535};
  std::memcpy(fila.data(), v, 6);
  Foraneo(archivo, 16, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISBLACK, fila, 3);
  LeeTiff(archivo, im);
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{7, 32767, 32767}));
  // Colour is refused with its layout named.
  Foraneo(archivo, 8, SAMPLEFORMAT_UINT, PHOTOMETRIC_RGB, {1, 2, 3}, 1, 3);
  EXPECT_EQ(Id([&] { LeeTiff(archivo, im); }), 11163);
}

TEST_F(TiffTest, HostileFilesRaiseTheirMessage) {
  ImagenObservacion im;
  im.CambiaPixeles(40, 40, std::vector<int16_t>(1600, 9));
  const std::string bueno = Ruta("b.tif");
  GuardaTiff(bueno, im);
  std::ifstream f(bueno, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(f)), {});
  const std::string corto = Ruta("c.tif");
  std::ofstream(corto, std::ios::binary) << bytes.substr(0, 40);
  const std::string basura = Ruta("x.tif");
  std::ofstream(basura, std::ios::binary) << "II*\0garbage";
  for (const std::string& a : {corto, basura, Ruta("missing.tif")}) {
    SCOPED_TRACE(a);
    ImagenObservacion l;
    EXPECT_EQ(Id([&] { LeeTiff(a, l); }), 11161);
  }
  EXPECT_FALSE(EsTiff(basura.substr(0, 0)));
  EXPECT_EQ(Id([&] { GuardaTiff(Ruta("nodir/x.tif"), im); }), 12223);
}

// A header promising a 2.4 GB image in a 331-byte file (found by fuzzing) is refused before the
// block is allocated, by the full and the header-only reader.
// The second file's strip byte counts claim more bytes than the file holds.
TEST_F(TiffTest, SizesTheStripsCannotHoldAreRefusedBeforeAllocating) {
  for (const char* nombre : {"tiff_dimensiones_enormes.tif", "tiff_tiras_enormes.tif"}) {
    SCOPED_TRACE(nombre);
    const std::string archivo = std::string(ORVA_TEST_DATA) + "/" + nombre;
    ImagenObservacion im;
    EXPECT_EQ(Id([&] { LeeTiff(archivo, im); }), 11143);
    EXPECT_EQ(Id([&] { LeeCabeceraTiff(archivo, im); }), 11143);
    EXPECT_EQ(im.NumPixeles(), 0u);
  }
}

}  // namespace
}  // namespace orva
