// GIF through giflib: the palette image, gray images mapped to 256 levels, hostile files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/gif/Gif.h"

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

class GifTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orva_gif_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Ruta(const std::string& n) const { return (dir_ / n).string(); }
  fs::path dir_;
};

TEST_F(GifTest, PaletteImageRoundTripAtSeveralSizes) {
  for (auto [w, h] : {std::pair<uint32_t, uint32_t>{1, 1}, {2, 1}, {3, 2}, {17, 9}, {256, 3}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    ImagenObservacion im;
    std::vector<int16_t> px(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<int16_t>((i * 53) % 256);
    im.CambiaPixeles(w, h, px);
    im.esPaleta = 1;
    for (size_t i = 0; i < 768; ++i) im.paleta[i] = static_cast<uint8_t>(255 - i % 256);
    const std::string archivo = Ruta("p.gif");
    GuardaGif(archivo, im);
    EXPECT_TRUE(EsGif(archivo));
    ImagenObservacion l;
    LeeGif(archivo, l);
    EXPECT_EQ(l.esPaleta, 1);
    EXPECT_EQ(l.bitsPixel, 8);
    EXPECT_EQ(l.Pixeles(), px);
    EXPECT_EQ(l.paleta, im.paleta);
    ImagenObservacion c;
    LeeCabeceraGif(archivo, c);
    EXPECT_EQ(c.Ancho(), w);
    EXPECT_EQ(c.Alto(), h);
  }
}

TEST_F(GifTest, GrayImageIsMappedOntoAGrayRamp) {
  ImagenObservacion im;
  im.CambiaPixeles(4, 1, {-32768, -1, 0, 32767});
  const std::string archivo = Ruta("g.gif");
  GuardaGif(archivo, im);
  ImagenObservacion l;
  LeeGif(archivo, l);
  EXPECT_EQ(l.Pixeles(), (std::vector<int16_t>{0, 127, 128, 255}));
  EXPECT_EQ(l.paleta[3 * 200], 200);
  EXPECT_EQ(l.paleta[3 * 200 + 2], 200);
  // A constant image maps to index 0.
  im.CambiaPixeles(2, 1, {500, 500});
  GuardaGif(archivo, im);
  LeeGif(archivo, l);
  EXPECT_EQ(l.Pixeles(), (std::vector<int16_t>{0, 0}));
}

TEST_F(GifTest, HostileFilesRaiseTheirMessage) {
  ImagenObservacion im;
  im.CambiaPixeles(30, 30, std::vector<int16_t>(900, 3));
  im.esPaleta = 1;
  const std::string bueno = Ruta("b.gif");
  GuardaGif(bueno, im);
  std::ifstream f(bueno, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(f)), {});
  const std::string corto = Ruta("c.gif");
  std::ofstream(corto, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  const std::string basura = Ruta("x.gif");
  std::ofstream(basura, std::ios::binary) << "GIF89a\x01";
  const std::string otro = Ruta("otro.gif");
  std::ofstream(otro, std::ios::binary) << "SIMPLE  =                    T";
  struct Caso {
    std::string archivo;
    int id;
  };
  // The reader checks the type by detection first: a missing file fails to open (10125), a
  // file of another type is refused (11019).
  for (const Caso& c : {Caso{corto, 11162}, Caso{basura, 11162}, Caso{Ruta("missing.gif"), 10125},
                        Caso{otro, 11019}}) {
    SCOPED_TRACE(c.archivo);
    ImagenObservacion l;
    EXPECT_EQ(Id([&] { LeeGif(c.archivo, l); }), c.id);
    EXPECT_EQ(Id([&] { LeeCabeceraGif(c.archivo, l); }), c.id);
  }
  ImagenObservacion vacia;
  EXPECT_EQ(Id([&] { GuardaGif(Ruta("v.gif"), vacia); }), 11163);
  EXPECT_EQ(Id([&] { GuardaGif(Ruta("nodir/x.gif"), im); }), 12223);
}

}  // namespace
}  // namespace orva
