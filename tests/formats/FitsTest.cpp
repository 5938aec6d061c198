// FITS through cfitsio: the two real frames, every BITPIX with the value settings, round trips
// plain and tile-compressed, hostile files and safe writes.
#include <fitsio.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Rango.h"
#include "formats/fits/Fits.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

std::string Dato(const char* nombre) {
  return std::string(ORVA_TEST_DATA) + "/" + nombre;
}

std::string LeeBytes(const std::string& archivo) {
  std::ifstream f(archivo, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

class FitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    Rango() = RangoPixeles{0, 32767, 0};
    dir_ = fs::temp_directory_path() /
           ("orva_fits_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    Configuracion::Global().RestableceDefectos();
  }
  std::string Ruta(const std::string& nombre) const { return (dir_ / nombre).string(); }
  static void Ajusta(const char* clave, const char* valor) {
    Configuracion::Global().Asigna(kSeccionFits, clave, valor);
  }

  // Writes a FITS file with cfitsio directly: raw values of the given BITPIX, optional BZERO and
  // BSCALE, optional BLANK.
  void Crudo(const std::string& archivo, int bitpix, long ancho, long alto,
             const std::vector<double>& valores, double bzero = 0.0, double bscale = 1.0) {
    fitsfile* f = nullptr;
    int st = 0;
    fs::remove(archivo);
    fits_create_diskfile(&f, archivo.c_str(), &st);
    long ejes[2] = {ancho, alto};
    fits_create_img(f, bitpix, 2, ejes, &st);
    if (bzero != 0.0 || bscale != 1.0) {
      fits_write_key_dbl(f, "BZERO", bzero, 10, nullptr, &st);
      fits_write_key_dbl(f, "BSCALE", bscale, 10, nullptr, &st);
      fits_set_bscale(f, 1.0, 0.0, &st);  // the values given are the stored ones
    }
    long primero[2] = {1, 1};
    std::vector<double> copia = valores;
    fits_write_pixnull(f, TDOUBLE, primero, static_cast<LONGLONG>(copia.size()), copia.data(),
                       nullptr, &st);
    fits_close_file(f, &st);
    ASSERT_EQ(st, 0);
  }

  fs::path dir_;
};

std::vector<int16_t> Pixeles(const ImagenObservacion& im) {
  return im.Pixeles();
}

int Id(const std::function<void()>& f) {
  try {
    f();
  } catch (const JError& e) {
    return e.Id();
  }
  return 0;
}

TEST_F(FitsTest, M51FrameSizesValuesAndKeywords) {
  ImagenObservacion im;
  LeeFits(Dato("m51_iraf_devpix.fits"), im);
  EXPECT_EQ(im.Ancho(), 512u);
  EXPECT_EQ(im.Alto(), 512u);
  EXPECT_EQ(im.bitsPixel, 16);
  const auto [mn, mx] = std::minmax_element(im.Pixeles().begin(), im.Pixeles().end());
  EXPECT_EQ(*mn, -1);
  EXPECT_EQ(*mx, 19936);
  EXPECT_EQ(im.datos.nombreObjeto, "m51  B  600s");
  EXPECT_EQ(im.datos.fechaHora.FechaDia(), Fecha(5, 4, 1987));
  EXPECT_EQ(im.datos.fechaHora.HoraDia(), Hora(9, 27, 27));
  EXPECT_DOUBLE_EQ(im.datos.tiempoExp, 600.0);  // ITIME: no EXPTIME in this header
  EXPECT_EQ(im.datos.ar.Horas(), 13);
  EXPECT_EQ(im.datos.ar.Minutos(), 29);
  EXPECT_EQ(im.datos.ar.Segundos(), 24);
  EXPECT_EQ(im.datos.dec.Signo(), 1);
  EXPECT_EQ(im.datos.dec.Grados(), 47);
  EXPECT_EQ(im.datos.dec.Minutos(), 15);
  EXPECT_EQ(im.datos.dec.Segundos(), 34);
  EXPECT_EQ(im.datos.epoca, 2000);
  // FITS rows in file order: the bright star at FITS (465.5, 62.1) peaks near (464, 61).
  int16_t pico = 0;
  for (long y = 58; y <= 64; ++y)
    for (long x = 461; x <= 467; ++x) pico = std::max(pico, im.Pixel(x, y));
  EXPECT_GT(pico, 1000);
}

TEST_F(FitsTest, UnsignedFrameFollowsLeeValUnsig) {
  struct Caso {
    const char* valor;
    int minimo, maximo;
  };
  for (const Caso& c :
       {Caso{"1", 1381, 32767}, Caso{"2", 2762 - 32768, 32767}, Caso{"0", 0, 32767}}) {
    SCOPED_TRACE(c.valor);
    Ajusta("LEEVALUNSIG", c.valor);
    ImagenObservacion im;
    LeeFits(Dato("eyuma_r90s_cutout.fits"), im);
    ASSERT_EQ(im.Ancho(), 256u);
    ASSERT_EQ(im.Alto(), 256u);
    const auto [mn, mx] = std::minmax_element(im.Pixeles().begin(), im.Pixeles().end());
    EXPECT_EQ(*mn, c.minimo);
    EXPECT_EQ(*mx, c.maximo);
    EXPECT_EQ(im.datos.filtro, "r");
    EXPECT_EQ(im.datos.nomCCD, "AspenCG16");
    EXPECT_EQ(im.datos.nombreObjeto, "ey uma");
    EXPECT_DOUBLE_EQ(im.datos.tiempoExp, 90.0);
    EXPECT_EQ(im.datos.fechaHora.FechaDia(), Fecha(17, 4, 2018));
    EXPECT_EQ(im.datos.fechaHora.HoraDia(), Hora(3, 35, 22));
    EXPECT_EQ(im.datos.ar.Horas(), 9);
    EXPECT_EQ(im.datos.ar.Minutos(), 2);
    EXPECT_EQ(im.datos.ar.Segundos(), 20);
    EXPECT_EQ(im.datos.dec.Grados(), 49);
    EXPECT_EQ(im.datos.dec.Minutos(), 49);
    EXPECT_EQ(im.datos.dec.Segundos(), 19);
    EXPECT_TRUE(im.datos.observatorio.telescopio.empty());  // blank in the file
  }
}

TEST_F(FitsTest, HeaderOnlyGivesSizesAndKeywords) {
  ImagenObservacion im;
  LeeCabeceraFits(Dato("eyuma_r90s_cutout.fits"), im);
  EXPECT_EQ(im.Ancho(), 256u);
  EXPECT_EQ(im.Alto(), 256u);
  EXPECT_EQ(im.datos.filtro, "r");
}

// Each BITPIX and scaling with the values stored and the pixels expected.
TEST_F(FitsTest, EveryBitpixMapsIntoSixteenBits) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Caso {
    const char* nombre;
    int bitpix;
    std::vector<double> valores;  // stored values, 4 x 1
    double bzero, bscale;
    const char *valMin, *valMax;
    std::vector<int16_t> esperado;
  };
  const std::vector<Caso> casos = {
      {"8 bits", BYTE_IMG, {0, 1, 128, 255}, 0, 1, "0", "0", {0, 1, 128, 255}},
      {"16 signed", SHORT_IMG, {-32768, -1, 0, 32767}, 0, 1, "0", "0", {-32768, -1, 0, 32767}},
      {"32 small integers kept", LONG_IMG, {-5, 0, 7, 30000}, 0, 1, "0", "0", {-5, 0, 7, 30000}},
      {"32 wide: own range",
       LONG_IMG,
       {-100000, 0, 100000, 300000},
       0,
       1,
       "0",
       "0",
       {0, 8192, 16384, 32767}},
      {"32 with FITSVALMIN/MAX",
       LONG_IMG,
       {-10, 0, 50, 200},
       0,
       1,
       "0",
       "100",
       {0, 0, 16384, 32767}},
      {"-32 integral floats kept", FLOAT_IMG, {1, 2, -3, 4}, 0, 1, "0", "0", {1, 2, -3, 4}},
      {"-32 fractions, NaN undefined",
       FLOAT_IMG,
       {0.0, 0.5, nan, 1.0},
       0,
       1,
       "0",
       "0",
       {0, 16384, 0, 32767}},
      {"-64 fractions",
       DOUBLE_IMG,
       {-1.0, 0.0, 1.0, 0.25},
       0,
       1,
       "0",
       "0",
       {0, 16384, 32767, 20479}},
      {"16 scaled by BSCALE", SHORT_IMG, {0, 1, 2, 3}, 0, 0.5, "0", "0", {0, 10922, 21845, 32767}},
      {"16 with BZERO integral kept",
       SHORT_IMG,
       {0, 1, 2, 3},
       100,
       1,
       "0",
       "0",
       {100, 101, 102, 103}},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    Ajusta("FITSVALMIN", c.valMin);
    Ajusta("FITSVALMAX", c.valMax);
    const std::string archivo = Ruta("b.fits");
    Crudo(archivo, c.bitpix, 4, 1, c.valores, c.bzero, c.bscale);
    ImagenObservacion im;
    LeeFits(archivo, im);
    EXPECT_EQ(Pixeles(im), c.esperado);
  }
}

TEST_F(FitsTest, PrimaryOrFirstExtensionByLeerPrim) {
  const std::string archivo = Ruta("mef.fits");
  fitsfile* f = nullptr;
  int st = 0;
  fits_create_diskfile(&f, archivo.c_str(), &st);
  long a[2] = {2, 1}, b[2] = {3, 1}, primero[2] = {1, 1};
  short pa[2] = {1, 2}, pb[3] = {7, 8, 9};
  fits_create_img(f, SHORT_IMG, 2, a, &st);
  fits_write_pix(f, TSHORT, primero, 2, pa, &st);
  fits_create_img(f, SHORT_IMG, 2, b, &st);
  fits_write_pix(f, TSHORT, primero, 3, pb, &st);
  fits_close_file(f, &st);
  ASSERT_EQ(st, 0);
  ImagenObservacion im;
  LeeFits(archivo, im);
  EXPECT_EQ(im.Ancho(), 2u);
  Ajusta("LEERPRIM", "0");
  LeeFits(archivo, im);
  EXPECT_EQ(Pixeles(im), (std::vector<int16_t>{7, 8, 9}));
}

struct CasoIda {
  uint32_t ancho, alto;
  const char* compresion;
};

class FitsIdaVuelta : public FitsTest, public ::testing::WithParamInterface<CasoIda> {};

TEST_P(FitsIdaVuelta, PixelsAndKeywordsSurvive) {
  const CasoIda c = GetParam();
  Ajusta("COMPRIMIR", c.compresion);
  ImagenObservacion im;
  std::vector<int16_t> px(static_cast<size_t>(c.ancho) * c.alto);
  for (size_t i = 0; i < px.size(); ++i) {
    px[i] = i % 3 == 0 ? -32768 : i % 3 == 1 ? 32767 : static_cast<int16_t>(i * 37 - 1000);
  }
  im.CambiaPixeles(c.ancho, c.alto, px);
  im.datos.nombreObjeto = "M 51 'Whirlpool'";
  im.datos.filtro = "V";
  im.datos.nomCCD = "ST-7";
  im.datos.observatorio.telescopio = "C14";
  im.datos.observatorio.observador = "Ana";
  im.datos.observatorio.nombre = "Ebro";
  im.datos.tiempoExp = 12.5;
  im.datos.tempCCD = -20.5;
  im.datos.epoca = 1950;
  im.datos.fechaHora = FechaHora(Fecha(31, 12, 1999), Hora(23, 59, 58, 125));
  im.datos.ar.AsignaTexto("13h29m52s.700");
  im.datos.dec.AsignaTexto("-05g07m08s.900");

  const std::string archivo = Ruta("ida.fits");
  GuardaFits(archivo, im);
  ImagenObservacion leida;
  LeeFits(archivo, leida);
  EXPECT_EQ(leida.Ancho(), c.ancho);
  EXPECT_EQ(leida.Alto(), c.alto);
  EXPECT_EQ(Pixeles(leida), px);
  EXPECT_EQ(leida.datos.nombreObjeto, im.datos.nombreObjeto);
  EXPECT_EQ(leida.datos.filtro, "V");
  EXPECT_EQ(leida.datos.nomCCD, "ST-7");
  EXPECT_EQ(leida.datos.observatorio.telescopio, "C14");
  EXPECT_EQ(leida.datos.observatorio.observador, "Ana");
  EXPECT_EQ(leida.datos.observatorio.nombre, "Ebro");
  EXPECT_DOUBLE_EQ(leida.datos.tiempoExp, 12.5);
  EXPECT_DOUBLE_EQ(leida.datos.tempCCD, -20.5);
  EXPECT_EQ(leida.datos.epoca, 1950);
  EXPECT_EQ(leida.datos.fechaHora.FechaDia(), im.datos.fechaHora.FechaDia());
  EXPECT_EQ(leida.datos.fechaHora.HoraDia(), im.datos.fechaHora.HoraDia());
  EXPECT_EQ(leida.datos.ar, im.datos.ar);
  EXPECT_EQ(leida.datos.dec, im.datos.dec);

  // Compressed images sit in the first extension, as fpack writes them.
  fitsfile* f = nullptr;
  int st = 0, hdus = 0;
  fits_open_diskfile(&f, archivo.c_str(), READONLY, &st);
  fits_get_num_hdus(f, &hdus, &st);
  fits_close_file(f, &st);
  EXPECT_EQ(hdus, std::string(c.compresion) == "NO" ? 1 : 2);

  // No clock in the output: a second write is byte-identical.
  const std::string otro = Ruta("otra.fits");
  GuardaFits(otro, im);
  EXPECT_EQ(LeeBytes(archivo), LeeBytes(otro));
}

INSTANTIATE_TEST_SUITE_P(Tamanos, FitsIdaVuelta,
                         ::testing::Values(CasoIda{1, 1, "NO"}, CasoIda{3, 2, "NO"},
                                           CasoIda{17, 5, "NO"}, CasoIda{1, 1, "RICE_1"},
                                           CasoIda{17, 5, "RICE_1"}, CasoIda{64, 64, "RICE_1"},
                                           CasoIda{3, 2, "GZIP_1"}, CasoIda{17, 5, "GZIP_1"}));

TEST_F(FitsTest, RealFrameThroughRiceIsLosslessAndSmaller) {
  Ajusta("LEEVALUNSIG", "2");
  ImagenObservacion im;
  LeeFits(Dato("eyuma_r90s_cutout.fits"), im);
  Ajusta("COMPRIMIR", "RICE_1");
  const std::string archivo = Ruta("eyuma.fits.fz");
  GuardaFits(archivo, im);
  EXPECT_LT(fs::file_size(archivo), fs::file_size(Dato("eyuma_r90s_cutout.fits")));
  ImagenObservacion leida;
  LeeFits(archivo, leida);
  EXPECT_EQ(Pixeles(leida), Pixeles(im));
  EXPECT_EQ(leida.datos.filtro, "r");
}

TEST_F(FitsTest, HostileFilesRaiseTheirMessage) {
  // Truncated: half of the M51 frame.
  const std::string entero = LeeBytes(Dato("m51_iraf_devpix.fits"));
  const std::string corto = Ruta("corto.fits");
  std::ofstream(corto, std::ios::binary) << entero.substr(0, entero.size() / 2);
  // A header that promises a huge image in a small file.
  std::string cab = entero.substr(0, 2880 * 4);
  cab.replace(cab.find("NAXIS1  =                  512"), 30, "NAXIS1  =             99999999");
  const std::string enorme = Ruta("enorme.fits");
  std::ofstream(enorme, std::ios::binary) << cab;
  // One axis only.
  const std::string unEje = Ruta("uneje.fits");
  {
    fitsfile* f = nullptr;
    int st = 0;
    fits_create_diskfile(&f, unEje.c_str(), &st);
    long n[1] = {5};
    fits_create_img(f, SHORT_IMG, 1, n, &st);
    short v[5] = {};
    long p[1] = {1};
    fits_write_pix(f, TSHORT, p, 5, v, &st);
    fits_close_file(f, &st);
  }
  // Negative NAXIS2.
  std::string negativo = entero.substr(0, 2880 * 4);
  negativo.replace(negativo.find("NAXIS2  =                  512"), 30,
                   "NAXIS2  =                 -512");
  const std::string neg = Ruta("neg.fits");
  std::ofstream(neg, std::ios::binary) << negativo;
  const std::string basura = Ruta("basura.fits");
  std::ofstream(basura, std::ios::binary) << "SIMPLE  = nonsense";

  struct Caso {
    std::string archivo;
    int id;
  };
  // The committed corpus (tests/data/genera_fits_hostiles.py).
  for (const Caso& c :
       {Caso{corto, 10126}, Caso{enorme, 10126}, Caso{unEje, 11163}, Caso{neg, 11160},
        Caso{basura, 11160}, Caso{Ruta("no.fits"), 11160},
        Caso{Dato("hostil_naxis_enorme.fits"), 10126},
        Caso{Dato("hostil_naxis_negativo.fits"), 11160}, Caso{Dato("hostil_truncado.fits"), 10126},
        Caso{Dato("hostil_bitpix64.fits"), 11163}, Caso{Dato("hostil_cubo.fits"), 11163},
        Caso{Dato("hostil_nan.fits"), 11165}, Caso{Dato("hostil_sin_end.fits"), 11160}}) {
    SCOPED_TRACE(c.archivo);
    ImagenObservacion im;
    EXPECT_EQ(Id([&] { LeeFits(c.archivo, im); }), c.id);
  }
}

TEST_F(FitsTest, FailedWriteKeepsTheOldFile) {
  const std::string archivo = Ruta("viejo.fits");
  std::ofstream(archivo, std::ios::binary) << "old contents";
  ImagenObservacion im;
  im.CambiaPixeles(2, 2, {1, 2, 3, 4});
  Ajusta("COMPRIMIR", "HCOMPRESS_9");
  EXPECT_EQ(Id([&] { GuardaFits(archivo, im); }), 11164);
  Ajusta("COMPRIMIR", "NO");
  EXPECT_EQ(Id([&] { GuardaFits(Ruta("nodir/x.fits"), im); }), 12223);
  EXPECT_EQ(LeeBytes(archivo), "old contents");
  // Nothing but the old file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(FitsTest, MagicCheck) {
  EXPECT_TRUE(EsFits(Dato("m51_iraf_devpix.fits")));
  const std::string otro = Ruta("x.bin");
  std::ofstream(otro, std::ios::binary) << "SIMPL";
  EXPECT_FALSE(EsFits(otro));
  EXPECT_FALSE(EsFits(Ruta("missing")));
}

}  // namespace
}  // namespace orva
