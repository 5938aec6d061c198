// Masters, pretreatment and stacks on synthetic frames whose truth the tests know.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "stacking/Combinacion.h"
#include "stacking/Maestros.h"
#include "stacking/Pretratamiento.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kAncho = 64, kAlto = 48;

// A scene of sky and a few gaussian stars.
double Escena(long x, long y) {
  double v = 200.0;
  const double estrellas[][3] = {{12, 10, 3000}, {40, 30, 1500}, {50, 8, 800}, {20, 38, 2200}};
  for (const auto& e : estrellas) {
    const double d2 = (x - e[0]) * (x - e[0]) + (y - e[1]) * (y - e[1]);
    v += e[2] * std::exp(-d2 / 4.5);
  }
  return v;
}

// Owns synthetic frames and gives them as a source.
struct Serie {
  std::vector<std::unique_ptr<Imagen>> imagenes;
  Imagen& Nueva(const std::function<double(long, long)>& valor, double ruido, std::mt19937& gen) {
    std::normal_distribution<double> normal(0.0, ruido);
    std::vector<int16_t> px(static_cast<size_t>(kAncho) * kAlto);
    for (long y = 0; y < kAlto; ++y) {
      for (long x = 0; x < kAncho; ++x) {
        px[static_cast<size_t>(y * kAncho + x)] =
            static_cast<int16_t>(std::lround(valor(x, y) + (ruido > 0 ? normal(gen) : 0.0)));
      }
    }
    imagenes.push_back(std::make_unique<Imagen>());
    Imagen& im = *imagenes.back();
    im.CambiaPixeles(kAncho, kAlto, std::move(px));
    im.nombreVentana = "f" + std::to_string(imagenes.size());
    im.Modificada(1);
    return im;
  }
  FuenteFotogramas Fuente() const {
    std::vector<const Imagen*> v;
    for (const auto& im : imagenes) v.push_back(im.get());
    return FotogramasMemoria(v);
  }
};

// Mean and standard deviation of (a - b) over the image, a margin of `borde` pixels left out.
void Diferencia(const std::function<double(long, long)>& a,
                const std::function<double(long, long)>& b, double& media, double& sd,
                long borde = 0) {
  double s = 0, s2 = 0;
  long n = 0;
  for (long y = borde; y < kAlto - borde; ++y) {
    for (long x = borde; x < kAncho - borde; ++x) {
      const double d = a(x, y) - b(x, y);
      s += d;
      s2 += d * d;
      ++n;
    }
  }
  media = s / n;
  sd = std::sqrt(s2 / n - media * media);
}

std::function<double(long, long)> Fisico(const Imagen& im) {
  return [&im](long x, long y) { return im.mapeo.Fisico(im.Pixel(x, y)); };
}

int IdError(const std::function<void()>& f) {
  try {
    f();
  } catch (const JError& e) {
    return e.Id();
  }
  return 0;
}

TEST(ApiladoTest, MasterBiasNoiseFallsWithTheSquareRootOfTheFrameCount) {
  std::mt19937 gen(11);
  ProgresoSilencioso p;
  constexpr double kRuido = 20.0;
  auto nivel = [](long x, long) { return 1000.0 + 0.5 * static_cast<double>(x); };
  for (const auto& [metodo, n, factor] :
       {std::tuple{MetodoCombinacion::kMedia, 16, 1.0},
        {MetodoCombinacion::kSigma, 16, 1.0},
        {MetodoCombinacion::kMediana, 9, 1.2533}}) {  // median of a normal law: sqrt(pi / 2)
    Serie s;
    for (int i = 0; i < n; ++i) s.Nueva(nivel, kRuido, gen);
    AjustesCombinacion a;
    a.metodo = metodo;
    Imagen maestro;
    CreaMaestro(TipoMaestro::kBias, s.Fuente(), a, {}, maestro, p);
    double media = 0, sd = 0;
    Diferencia(Fisico(maestro), nivel, media, sd);
    EXPECT_NEAR(media, 0.0, 0.5) << NombreMetodo(metodo);
    EXPECT_NEAR(sd, factor * kRuido / std::sqrt(n), 0.15 * factor * kRuido / std::sqrt(n))
        << NombreMetodo(metodo);
  }
}

TEST(ApiladoTest, PretreatmentRestoresTheSceneThroughBiasDarkAndFlat) {
  std::mt19937 gen(5);
  ProgresoSilencioso p;
  constexpr double kRuido = 3.0, kCorriente = 2.0;  // dark current per second
  auto bias = [](long x, long y) { return 300.0 + 0.3 * static_cast<double>(x + y % 7); };
  auto flat = [](long x, long y) {
    const double dx = x - 32.0, dy = y - 24.0;
    return 1.1 - 0.3 * (dx * dx + dy * dy) / (32.0 * 32.0 + 24.0 * 24.0);
  };
  Serie sb, sd, sf, sl;
  for (int i = 0; i < 16; ++i) sb.Nueva(bias, kRuido, gen);
  for (int i = 0; i < 16; ++i) {
    Imagen& d =
        sd.Nueva([&](long x, long y) { return bias(x, y) + kCorriente * 60.0; }, kRuido, gen);
    d.datos.tiempoExp = 60.0;
  }
  for (int i = 0; i < 16; ++i) {
    sf.Nueva([&](long x, long y) { return bias(x, y) + 10000.0 * flat(x, y); }, kRuido, gen);
  }
  Imagen& luz = sl.Nueva(
      [&](long x, long y) { return Escena(x, y) * flat(x, y) + bias(x, y) + kCorriente * 30.0; },
      kRuido, gen);
  luz.datos.tiempoExp = 30.0;

  Imagen mb, md, mf;
  CreaMaestro(TipoMaestro::kBias, sb.Fuente(), {}, {}, mb, p);
  CreaMaestro(TipoMaestro::kDark, sd.Fuente(), {}, {}, md, p);
  EXPECT_EQ(md.datos.tiempoExp, 60.0);
  md.nombreVentana = "oscuro";
  CreaMaestro(TipoMaestro::kFlat, sf.Fuente(), {}, Maestros{&mb, nullptr, nullptr}, mf, p);
  EXPECT_EQ(mf.mapeo.escala, kEscalaFlat);
  double media = 0, desv = 0;
  Diferencia(
      Fisico(mf), [](long, long) { return 0.0; }, media, desv);
  EXPECT_NEAR(media, 1.0, 1e-4);

  // Bias/dark/flat sizes that do not match leave the light as it was.
  Serie otra;
  std::mt19937 g2(1);
  Imagen& pequeno = otra.Nueva([](long, long) { return 0.0; }, 0.0, g2);
  pequeno.CambiaPixeles(10, 10, std::vector<int16_t>(100, 0));
  const std::vector<int16_t> antes = luz.Pixeles();
  EXPECT_EQ(IdError([&] { Pretrata(luz, Maestros{&mb, &pequeno, &mf}, {}, p); }), 12283);
  EXPECT_EQ(luz.Pixeles(), antes);

  // A raw flat frame given as the master acts as its normalised self: the same scene, not a
  // light divided by some ten thousand.
  Imagen conCrudo;
  conCrudo.CopiaPixeles(luz);
  conCrudo.datos = luz.datos;
  Pretrata(conCrudo, Maestros{&mb, &md, sf.imagenes.front().get()}, {}, p);
  Diferencia(Fisico(conCrudo), Escena, media, desv);
  EXPECT_NEAR(media, 0.0, 30.0) << "raw flat";

  const ResultadoPretratamiento r = Pretrata(luz, Maestros{&mb, &md, &mf}, {}, p);
  EXPECT_DOUBLE_EQ(r.factorDark, 0.5);
  EXPECT_EQ(r.recortados, 0);
  Diferencia(Fisico(luz), Escena, media, desv);
  // The light's noise over the flat, plus the masters' share: a few units, no structure left.
  EXPECT_NEAR(media, 0.0, 0.6);
  EXPECT_LT(desv, 2.0 * kRuido);
  const auto& h = luz.cabecera.Tarjetas();
  EXPECT_TRUE(std::any_of(h.begin(), h.end(), [](const std::string& t) {
    return t.find("PRETRATAMIENTO dark oscuro factor 0.5") != std::string::npos;
  }));
}

TEST(ApiladoTest, OverscanAndRepairTakeOutWhatTheyShould) {
  std::mt19937 gen(8);
  ProgresoSilencioso p;
  // Columns 56..63 are overscan: each row's bias level, which the science pixels share.
  auto nivelFila = [](long y) { return 500.0 + 3.0 * static_cast<double>(y); };
  Serie s;
  Imagen& luz = s.Nueva(
      [&](long x, long y) { return (x >= 56 ? 0.0 : Escena(x, y)) + nivelFila(y); }, 0.0, gen);
  luz.PonPixel(30L, 20L, static_cast<int16_t>(luz.Pixel(30L, 20L) + 5000));  // a hot pixel
  luz.cabecera.Anade("BIASSEC = '[57:64,1:48]'");
  AjustesPretratamiento a;
  a.reparar = true;
  const ResultadoPretratamiento r = Pretrata(luz, {}, a, p);
  EXPECT_TRUE(r.overscan);
  EXPECT_EQ(r.reparados, 1);
  for (long y = 0; y < kAlto; ++y) {
    for (long x = 0; x < 56; ++x) {
      if (x == 30 && y == 20) continue;
      ASSERT_NEAR(luz.Pixel(x, y), Escena(x, y), 1.0) << x << " " << y;  // star peaks kept
    }
  }
  EXPECT_NEAR(luz.Pixel(30L, 20L), Escena(30, 20), 2.0);
  // Regions that are not one or leave the image are refused before anything changes.
  for (const char* mal : {"'[57:64]'", "'[57:70,1:48]'", "'57:64,1:48'", "'[0:3,1:2]'"}) {
    Serie t;
    Imagen& im = t.Nueva([](long, long) { return 100.0; }, 0.0, gen);
    im.cabecera.Anade(std::string("BIASSEC = ") + mal);
    EXPECT_EQ(IdError([&] { Pretrata(im, {}, {}, p); }), 12287) << mal;
    EXPECT_EQ(im.Pixel(0L, 0L), 100) << mal;
    AjustesPretratamiento sin;
    sin.overscan = false;
    EXPECT_FALSE(Pretrata(im, {}, sin, p).overscan) << mal;
  }
}

TEST(ApiladoTest, StackRecordsExposureAndMidTime) {
  std::mt19937 gen(6);
  ProgresoSilencioso p;
  Serie s;
  const char* horas[] = {"22:00:00", "22:10:00", "22:20:00"};
  for (const char* h : horas) {
    Imagen& im = s.Nueva([](long, long) { return 100.0; }, 0.0, gen);
    ASSERT_TRUE(AsignaDatoImagen(im.datos, "FECHAOBS", "01/03/2026"));
    ASSERT_TRUE(AsignaDatoImagen(im.datos, "HORAOBS", h));
    ASSERT_TRUE(AsignaDatoImagen(im.datos, "TIEMPOEXP", "120"));
  }
  Imagen pila;
  ApilaFotogramas(s.Fuente(), {}, {}, pila, nullptr, p);
  EXPECT_EQ(pila.datos.tiempoExp, 360.0);
  double jd = 0, hjd = 0;
  ASSERT_TRUE(pila.cabecera.Numero("JD-MID", jd));
  // Mid-exposure of the middle frame: 22:11:00.
  EXPECT_NEAR(jd, s.imagenes[1]->datos.fechaHora.DiaJuliano() + 60.0 / 86400.0, 1e-6);
  EXPECT_FALSE(pila.cabecera.Numero("HJD-MID", hjd));  // no coordinates yet
  for (auto& im : s.imagenes) {
    ASSERT_TRUE(AsignaDatoImagen(im->datos, "AROBJ", "05h30m00s"));
    ASSERT_TRUE(AsignaDatoImagen(im->datos, "DECOBJ", "20g00m00s"));
  }
  ApilaFotogramas(s.Fuente(), {}, {}, pila, nullptr, p);
  ASSERT_TRUE(pila.cabecera.Numero("HJD-MID", hjd));
  EXPECT_GT(std::fabs(hjd - jd), 1e-4);  // the light time across the Earth's orbit
  EXPECT_LT(std::fabs(hjd - jd), 0.0058);
}

TEST(ApiladoTest, SigmaClippingRemovesCosmicRaysAndASatelliteTrail) {
  std::mt19937 gen(7);
  ProgresoSilencioso p;
  constexpr int kN = 12;
  constexpr double kRuido = 4.0;
  Serie s;
  for (int i = 0; i < kN; ++i) s.Nueva(Escena, kRuido, gen);
  // Frame 4: a trail along the diagonal and three cosmic-ray hits.
  Imagen& mala = *s.imagenes[4];
  long trazo = 0;
  for (long x = 0; x < kAncho; ++x) {
    const long y = x * kAlto / kAncho;
    mala.PonPixel(x, y, static_cast<int16_t>(mala.Pixel(x, y) + 900));
    ++trazo;
  }
  for (const auto& [x, y] : {std::pair{5L, 40L}, {33L, 3L}, {60L, 20L}}) mala.PonPixel(x, y, 20000);

  AjustesCombinacion a;
  a.mapaRechazos = true;
  const ResultadoCombinacion sigma = CombinaFotogramas(s.Fuente(), a, {}, p);
  a.metodo = MetodoCombinacion::kMedia;
  const ResultadoCombinacion media = CombinaFotogramas(s.Fuente(), a, {}, p);
  double peorSigma = 0, peorMedia = 0;
  for (long x = 0; x < kAncho; ++x) {
    const long y = x * kAlto / kAncho;
    const size_t i = static_cast<size_t>(y * kAncho + x);
    peorSigma = std::max(peorSigma, std::fabs(sigma.valores[i] - Escena(x, y)));
    peorMedia = std::max(peorMedia, std::fabs(media.valores[i] - Escena(x, y)));
    EXPECT_GE(sigma.rechazos[i], 1) << x;
  }
  EXPECT_LT(peorSigma, 5.0 * kRuido / std::sqrt(kN - 1.0));
  EXPECT_GT(peorMedia, 900.0 / kN - 10.0);  // the plain mean keeps the trail
  EXPECT_LT(std::fabs(sigma.valores[40 * kAncho + 5] - Escena(5, 40)), 6.0);
  EXPECT_GE(sigma.figuras[4].rechazados, trazo + 3);
  for (int f = 0; f < kN; ++f) {
    if (f != 4) {
      // Good values are seldom dropped: a few in a hundred at kappa 3 among twelve frames.
      EXPECT_LT(sigma.figuras[static_cast<size_t>(f)].rechazados, kAncho * kAlto / 25) << f;
    }
  }
}

// On pure noise a short series rejects about what kappa 3 says (a few in a thousand), and the
// clipped stack is hardly noisier than the mean; the deviation of two or three values alone used
// to drop one good value in eight at four frames.
TEST(ApiladoTest, SigmaClippingOfAShortSeriesKeepsGoodValues) {
  for (int n : {3, 4, 8}) {
    std::mt19937 gen(11);
    ProgresoSilencioso p;
    Serie s;
    for (int i = 0; i < n; ++i) s.Nueva([](long, long) { return 1000.0; }, 10.0, gen);
    AjustesCombinacion a;
    a.mapaRechazos = true;
    const ResultadoCombinacion r = CombinaFotogramas(s.Fuente(), a, {}, p);
    int64_t rechazados = 0;
    for (const FiguraFotograma& f : r.figuras) rechazados += f.rechazados;
    EXPECT_LT(static_cast<double>(rechazados) / (n * kAncho * kAlto), 0.01) << n << " frames";
  }
}

TEST(ApiladoTest, GroupsAndReferenceShifts) {
  struct Caso {
    size_t n, tamano;
    std::vector<std::vector<size_t>> grupos;
  };
  for (const Caso& c : {Caso{7, 3, {{0, 1, 2}, {3, 4, 5}, {6}}}, Caso{4, 2, {{0, 1}, {2, 3}}},
                        Caso{3, 0, {{0, 1, 2}}}, Caso{2, 5, {{0, 1}}}, Caso{0, 3, {}}}) {
    EXPECT_EQ(GruposFotogramas(c.n, c.tamano), c.grupos) << c.n << " " << c.tamano;
  }
  // Frames of constant level i * 100, shifted scenes: a group's mean is its frames' mean, and
  // the reference points put every frame's scene back on the first one's.
  std::mt19937 gen(3);
  ProgresoSilencioso p;
  Serie s;
  const long desp[][2] = {{0, 0}, {3, -2}, {-4, 5}, {7, 1}, {-2, -3}, {1, 6}};
  for (size_t i = 0; i < 6; ++i) {
    const long dx = desp[i][0], dy = desp[i][1];
    Imagen& im =
        s.Nueva([&](long x, long y) { return Escena(x - dx, y - dy) + 100.0 * i; }, 0.0, gen);
    im.puntos[kDespRef] =
        PuntoReferencia{1, 30 + static_cast<int32_t>(dx), 20 + static_cast<int32_t>(dy)};
  }
  AjustesCombinacion a;
  a.metodo = MetodoCombinacion::kMedia;
  a.porReferencia = true;
  const auto grupos = GruposFotogramas(6, 4);
  const ResultadoCombinacion g2 =
      CombinaFotogramas(SubconjuntoFotogramas(s.Fuente(), grupos[1]), a, {}, p);
  EXPECT_NEAR(g2.valores[20 * kAncho + 30], Escena(30, 20) + 450.0, 1.0);
  EXPECT_EQ(g2.figuras[0].dx, 0.0);
  EXPECT_EQ(g2.figuras[1].dx, 3.0);  // frame 5 against frame 4
  a.normalizacion = Normalizacion::kAditiva;
  const ResultadoCombinacion todo = CombinaFotogramas(s.Fuente(), a, {}, p);
  double media = 0, sd = 0;
  Diferencia([&](long x, long y) { return todo.valores[static_cast<size_t>(y * kAncho + x)]; },
             Escena, media, sd, 8);
  EXPECT_NEAR(media, 0.0, 1.0);
  EXPECT_LT(sd, 1.0);
  // A sub-pixel shift leaves the last column of that frame out instead of mixing in its fill.
  const std::vector<size_t> dos{0, 1};
  a.porReferencia = false;
  a.normalizacion = Normalizacion::kNinguna;
  const ResultadoCombinacion sub = CombinaFotogramas(
      SubconjuntoFotogramas(s.Fuente(), dos), a,
      {Transformacion2D::Identidad(), Transformacion2D::Desplazamiento(0.5, 0.0)}, p);
  for (long y = 0; y < kAlto; ++y) {
    EXPECT_EQ(sub.valores[static_cast<size_t>(y * kAncho + kAncho - 1)],
              s.imagenes[0]->Pixel(kAncho - 1L, y))
        << y;
  }
  a.porReferencia = true;
  a.normalizacion = Normalizacion::kAditiva;
  // A frame without reference point is named.
  s.imagenes[3]->puntos[kDespRef].definido = 0;
  EXPECT_EQ(IdError([&] { CombinaFotogramas(s.Fuente(), a, {}, p); }), 12285);
}

// Resampling smooths a frame's noise; the scale normalisation must not take that for a change of
// transparency and amplify the resampled frame.
TEST(ApiladoTest, ScaleNormalisationIgnoresTheSmoothingOfResampling) {
  std::mt19937 gen(8);
  ProgresoSilencioso p;
  Serie s;
  s.Nueva(Escena, 10.0, gen);
  s.Nueva(Escena, 10.0, gen);
  AjustesCombinacion a;
  a.metodo = MetodoCombinacion::kMedia;
  a.normalizacion = Normalizacion::kAmbas;
  const ResultadoCombinacion r = CombinaFotogramas(
      s.Fuente(), a,
      {Transformacion2D::Identidad(), Transformacion2D::Desplazamiento(0.5, 0.5)}, p);
  ASSERT_EQ(r.figuras.size(), 2u);
  EXPECT_NEAR(r.figuras[1].escala, 1.0, 0.1);  // a half-pixel shift halves the pixel deviation
}

TEST(ApiladoTest, SameBitsForEveryThreadCount) {
  std::mt19937 gen(9);
  ProgresoSilencioso p;
  Serie s;
  for (int i = 0; i < 9; ++i) {
    Imagen& im = s.Nueva(
        [&](long x, long y) { return Escena(x - i % 3, y + i % 2) * (1 + 0.05 * i); }, 6.0, gen);
    im.puntos[kDespRef] = PuntoReferencia{1, 30 + i % 3, 20 - i % 2};
  }
  AjustesCombinacion a;
  a.normalizacion = Normalizacion::kAmbas;
  a.porReferencia = true;
  a.mapaRechazos = true;
  std::vector<ResultadoCombinacion> r;
  for (int hilos : {1, 2, 7}) {
    FijaHilos(hilos);
    r.push_back(CombinaFotogramas(s.Fuente(), a, {}, p));
  }
  FijaHilos(0);
  for (size_t i = 1; i < r.size(); ++i) {
    ASSERT_EQ(r[i].valores.size(), r[0].valores.size());
    EXPECT_EQ(std::memcmp(r[i].valores.data(), r[0].valores.data(), r[0].valores.size() * 4), 0);
    EXPECT_EQ(r[i].rechazos, r[0].rechazos);
    for (size_t f = 0; f < 9; ++f)
      EXPECT_EQ(r[i].figuras[f].rechazados, r[0].figuras[f].rechazados);
  }
}

// The median of values written out, sorted plainly.
double MedianaSimple(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 == 1 ? v[m] : (v[m - 1] + v[m]) / 2.0;
}

// Every count of frames a pixel can have (small ones sorted by a network padded to a power of
// two, large ones otherwise) gives the plain median, the frames' sky level and deviation the
// plain medians of their values, and sigma clipping drops exactly the one planted outlier.
TEST(ApiladoTest, MediansAndClippingHoldForEveryFrameCount) {
  for (size_t n : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 40}) {
    std::mt19937 gen(static_cast<unsigned>(n));
    std::uniform_int_distribution<int> ruido(-5, 5);
    Serie s;
    for (size_t f = 0; f < n; ++f) {
      Imagen& im =
          s.Nueva([&](long x, long y) { return -200.0 + x + 3 * y + ruido(gen); }, 0.0, gen);
      im.mapeo = MapeoValores{100.0, 0.5};
    }
    // An outlier in a different frame for every pixel of the first row.
    for (uint32_t x = 0; x < kAncho; ++x) {
      Imagen& im = *s.imagenes[x % n];
      std::vector<int16_t> px = im.Pixeles();
      px[x] = 20000;
      im.CambiaPixeles(kAncho, kAlto, std::move(px));
    }
    ProgresoSilencioso p;
    AjustesCombinacion a;
    a.metodo = MetodoCombinacion::kMediana;
    const ResultadoCombinacion med = CombinaFotogramas(s.Fuente(), a, {}, p);
    a.metodo = MetodoCombinacion::kSigma;
    a.mapaRechazos = true;
    const ResultadoCombinacion sig = CombinaFotogramas(s.Fuente(), a, {}, p);
    for (size_t f = 0; f < n; ++f) {
      const Imagen& im = *s.imagenes[f];
      std::vector<double> v, desv;
      for (int16_t x : im.Pixeles()) v.push_back(static_cast<float>(im.mapeo.Fisico(x)));
      const double fondo = MedianaSimple(v);
      for (double x : v) desv.push_back(static_cast<float>(std::fabs(x - fondo)));
      EXPECT_EQ(med.figuras[f].fondo, fondo) << n << " frames, frame " << f;
      EXPECT_EQ(med.figuras[f].dispersion, 1.4826 * MedianaSimple(desv)) << n << " frames";
    }
    for (long y = 0; y < kAlto; ++y) {
      for (long x = 0; x < kAncho; ++x) {
        std::vector<double> v;
        double suma = 0.0;
        const size_t atipico = y == 0 ? static_cast<size_t>(x) % n : n;
        for (size_t f = 0; f < n; ++f) {
          const Imagen& im = *s.imagenes[f];
          v.push_back(static_cast<float>(im.mapeo.Fisico(im.Pixel(x, y))));
          if (f != atipico) suma += v.back();
        }
        const size_t i = static_cast<size_t>(y * kAncho + x);
        ASSERT_EQ(med.valores[i], static_cast<float>(MedianaSimple(v)))
            << n << " " << x << "," << y;
        if (n < 3) continue;  // two values are never clipped
        const size_t quedan = atipico < n ? n - 1 : n;
        ASSERT_EQ(sig.valores[i], static_cast<float>(suma / static_cast<double>(quedan)))
            << n << " frames, pixel " << x << "," << y;
        ASSERT_EQ(sig.rechazos[i], atipico < n ? 1 : 0) << n << " " << x << "," << y;
      }
    }
  }
}

// A shifted frame whose pixels hold the lowest pixel value (what marks "no data" in a resampled
// frame) keeps them as data where it covers the grid, and only there.
TEST(ApiladoTest, ShiftedFramesAtTheLowestPixelValueKeepTheirData) {
  std::mt19937 gen(5);
  ProgresoSilencioso p;
  Serie s;
  const double nivel[] = {100.0, -32768.0};
  for (double v : nivel) s.Nueva([v](long, long) { return v; }, 0.0, gen);
  AjustesCombinacion a;
  a.metodo = MetodoCombinacion::kMedia;
  const ResultadoCombinacion r = CombinaFotogramas(
      s.Fuente(), a, {Transformacion2D::Identidad(), Transformacion2D::Desplazamiento(2.0, 1.0)},
      p);
  for (long y = 0; y < kAlto; ++y) {
    for (long x = 0; x < kAncho; ++x) {
      const bool cubre = x + 2 < kAncho && y + 1 < kAlto;
      ASSERT_EQ(r.valores[static_cast<size_t>(y * kAncho + x)],
                cubre ? (nivel[0] + nivel[1]) / 2.0 : nivel[0])
          << x << "," << y;
    }
  }
  EXPECT_EQ(r.figuras[1].fondo, nivel[1]);
}

// Cancels at the n-th question.
class ProgresoQueCancela : public ProgresoSilencioso {
 public:
  explicit ProgresoQueCancela(int n) : n_(n) {}
  int Cancelado() override { return --n_ <= 0; }

 private:
  int n_;
};

TEST(ApiladoTest, BadInputsGiveTheirMessagesAndLeaveNoWorkingFile) {
  const fs::path dir = fs::path(testing::TempDir()) / "apilado_malos";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::mt19937 gen(2);
  ProgresoSilencioso p;
  Serie s;
  s.Nueva([](long, long) { return 0.0; }, 0.0, gen);
  s.Nueva([](long, long) { return 5.0; }, 1.0, gen);
  Serie distinta;
  distinta.Nueva([](long, long) { return 5.0; }, 1.0, gen);
  distinta.imagenes[0]->CambiaPixeles(8, 8, std::vector<int16_t>(64, 1));
  AjustesCombinacion a;
  a.carpetaTemporal = dir.string();
  std::vector<const Imagen*> mezcla{s.imagenes[1].get(), distinta.imagenes[0].get()};
  Imagen maestro;
  struct Caso {
    const char* nombre;
    std::function<void()> f;
    int id;
  };
  const Caso casos[] = {
      {"empty", [&] { CombinaFotogramas(FotogramasMemoria({}), a, {}, p); }, 12280},
      {"sizes", [&] { CombinaFotogramas(FotogramasMemoria(mezcla), a, {}, p); }, 12281},
      {"zero flat",
       [&] {
         CreaMaestro(TipoMaestro::kFlat, SubconjuntoFotogramas(s.Fuente(), {0}), a, {}, maestro, p);
       },
       12282},
      {"transforms", [&] { CombinaFotogramas(s.Fuente(), a, {Transformacion2D{}}, p); }, 12286},
      {"cancel",
       [&] {
         ProgresoQueCancela c(3);
         CombinaFotogramas(s.Fuente(), a, {}, c);
       },
       11011},
  };
  for (const Caso& c : casos) {
    EXPECT_EQ(IdError(c.f), c.id) << c.nombre;
    EXPECT_TRUE(fs::is_empty(dir)) << c.nombre;
  }
  EXPECT_TRUE(maestro.Vacia());
}

TEST(ApiladoTest, FitsFramesReadByBandsGiveTheWorkingFileResult) {
  const fs::path dir = fs::path(testing::TempDir()) / "apilado_bandas";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::mt19937 gen(21);
  ProgresoSilencioso p;
  Serie s;
  std::vector<std::string> rutas;
  for (int i = 0; i < 5; ++i) {
    Imagen& im =
        s.Nueva([&](long x, long y) { return Escena(x, y) * (1.0 + 0.1 * i) + 30 * i; }, 5.0, gen);
    rutas.push_back((dir / ("f" + std::to_string(i) + ".fits")).string());
    GuardaArchivo(rutas.back(), im, TipoPorExtension(rutas.back()));
  }
  AjustesCombinacion a;
  a.normalizacion = Normalizacion::kAmbas;
  a.mapaRechazos = true;
  // No working file can be made there: the files must be read band by band from themselves.
  a.carpetaTemporal = (dir / "no_existe").string();
  const ResultadoCombinacion directo = CombinaFotogramas(FotogramasArchivos(rutas), a, {}, p);
  EXPECT_EQ(IdError([&] { CombinaFotogramas(s.Fuente(), a, {}, p); }), 12288);
  a.carpetaTemporal.clear();
  const ResultadoCombinacion trabajo = CombinaFotogramas(s.Fuente(), a, {}, p);
  ASSERT_EQ(directo.valores.size(), trabajo.valores.size());
  EXPECT_EQ(std::memcmp(directo.valores.data(), trabajo.valores.data(),
                        trabajo.valores.size() * sizeof(float)),
            0);
  EXPECT_EQ(directo.rechazos, trabajo.rechazos);
}

TEST(ApiladoTest, FlatAndSumKeepTheirValuesThroughFits) {
  const fs::path dir = fs::path(testing::TempDir()) / "apilado_fits";
  fs::create_directories(dir);
  std::mt19937 gen(4);
  ProgresoSilencioso p;
  Serie s;
  for (int i = 0; i < 4; ++i) s.Nueva([](long x, long) { return 20000.0 + 100.0 * x; }, 0.0, gen);
  Imagen flat;
  CreaMaestro(TipoMaestro::kFlat, s.Fuente(), {}, {}, flat, p);
  // A sum of four frames near the top of the range still fits: the factor goes to BSCALE.
  AjustesCombinacion a;
  a.metodo = MetodoCombinacion::kSuma;
  Imagen suma;
  EXPECT_EQ(ApilaFotogramas(s.Fuente(), a, {}, suma, nullptr, p), 0);
  for (Imagen* im : {&flat, &suma}) {
    const std::string ruta = (dir / (im == &flat ? "flat.fits" : "suma.fits")).string();
    GuardaArchivo(ruta, *im, TipoPorExtension(ruta));
    Imagen leida;
    LeeArchivo(ruta, leida);
    const double media = 20000.0 + 100.0 * 31.5;
    for (long x : {0L, 31L, 63L}) {
      const double esperado =
          im == &flat ? (20000.0 + 100.0 * x) / media : 4 * (20000.0 + 100.0 * x);
      EXPECT_NEAR(leida.mapeo.Fisico(leida.Pixel(x, 5L)), esperado, im == &flat ? 1e-4 : 4.0) << x;
    }
  }
  double n = 0;
  EXPECT_TRUE(suma.cabecera.Numero("NCOMBINE", n));
  EXPECT_EQ(n, 4.0);
}

}  // namespace
}  // namespace orva
