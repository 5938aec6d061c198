// Registration: synthetic star fields seen through known shifts, rotations and scales, found by
// the star detector and registered back; the failures; outliers; thread counts.
#include "stacking/Registro.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "macro/Macro.h"
#include "shell/Configuracion.h"
#include "stellar/CampoSintetico.h"
#include "stellar/EstrellasRegistro.h"

namespace orva {
namespace {

using prueba::CreaCampo;
using prueba::EstrellaSintetica;

constexpr int kLado = 1024;
constexpr double kCielo = 1000.0, kRuido = 8.0;
constexpr double kPi = 3.14159265358979323846;

Transformacion2D Similitud(double dx, double dy, double grados, double escala) {
  // Rotation and scale about the frame centre, then the shift.
  const double a = escala * std::cos(grados * kPi / 180.0),
               b = escala * std::sin(grados * kPi / 180.0);
  const double c = kLado / 2.0;
  Transformacion2D t;
  t.h = {a, -b, c - a * c + b * c + dx, b, a, c - b * c - a * c + dy, 0, 0, 1};
  return t;
}

// A sky of stars over three frames' width each way, the reference frame in its middle.
std::vector<EstrellaSintetica> Cielo(unsigned semilla, int n) {
  std::mt19937 rng(semilla);
  std::uniform_real_distribution<double> pos(-kLado, 2.0 * kLado);
  std::uniform_real_distribution<double> brillo(0.0, 1.0);
  std::vector<EstrellaSintetica> c;
  for (int i = 0; i < n; ++i) {
    const double x = pos(rng), y = pos(rng);
    // Many faint stars, few bright ones.
    c.push_back({x, y, 300.0 + 15000.0 * std::pow(brillo(rng), 3.0)});
  }
  return c;
}

// The sky seen through t (reference pixel -> frame pixel): the stars that land on the frame.
void Fotografia(Imagen& im, const std::vector<EstrellaSintetica>& cielo, const Transformacion2D& t,
                unsigned semilla) {
  std::vector<EstrellaSintetica> vistas;
  for (const EstrellaSintetica& e : cielo) {
    double u = 0, v = 0;
    t.Aplica(e.x, e.y, u, v);
    if (u > -10 && v > -10 && u < kLado + 10 && v < kLado + 10)
      vistas.push_back({u, v, e.amplitud});
  }
  CreaCampo(im, kLado, kLado, kCielo, vistas, kRuido, semilla);
}

// Root mean square distance between where the true and the found maps take the reference's
// stars that the frame shows.
double ErrorPosiciones(const std::vector<EstrellaSintetica>& cielo, const Transformacion2D& verdad,
                       const Transformacion2D& hallada) {
  double s = 0;
  int n = 0;
  for (const EstrellaSintetica& e : cielo) {
    if (e.x < 0 || e.y < 0 || e.x >= kLado || e.y >= kLado) continue;
    double u = 0, v = 0, p = 0, q = 0;
    verdad.Aplica(e.x, e.y, u, v);
    if (u < 0 || v < 0 || u >= kLado || v >= kLado) continue;
    hallada.Aplica(e.x, e.y, p, q);
    s += (u - p) * (u - p) + (v - q) * (v - q);
    ++n;
  }
  return n ? std::sqrt(s / n) : HUGE_VAL;
}

class RegistroTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    Rango() = RangoPixeles{0, 32767, 0};
    cielo_ = Cielo(7, 1400);
    Fotografia(referencia_, cielo_, Transformacion2D::Identidad(), 1);
    lista_ = EstrellasParaRegistro(referencia_, LeeOpcionesEstrellasRegistro(), progreso_);
  }
  void TearDown() override {
    Configuracion::Global().RestableceDefectos();
    FijaHilos(0);
  }

  ResultadoRegistro Registra(Imagen& im) {
    return RegistraImagen(lista_, im, LeeOpcionesEstrellasRegistro(), LeeParametrosRegistro(),
                          progreso_);
  }

  ProgresoSilencioso progreso_;
  std::vector<EstrellaSintetica> cielo_;
  Imagen referencia_;
  std::vector<EstrellaRegistro> lista_;
};

TEST_F(RegistroTest, RecoversShiftsRotationsAndScalesToHundredthsOfAPixel) {
  struct Caso {
    const char* nombre;
    Transformacion2D t;
  };
  const Caso casos[] = {
      {"a third of the frame", Similitud(kLado / 3.0, -kLado / 3.0, 0, 1)},
      {"small shift", Similitud(3.25, 7.5, 0, 1)},
      {"rotation", Similitud(40, -25, 17, 1)},
      {"quarter turn", Similitud(-60, 10, 90, 1)},
      {"half turn", Similitud(0, 0, 180, 1)},
      {"turn and scale", Similitud(120, 80, -133, 1.04)},
      {"smaller scale", Similitud(-30, 0, 251, 0.97)},
  };
  ASSERT_GE(lista_.size(), 100u);
  unsigned semilla = 11;
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    Imagen im;
    Fotografia(im, cielo_, c.t, semilla++);
    const ResultadoRegistro r = Registra(im);
    ASSERT_TRUE(r.exito) << r.Mensaje();
    EXPECT_GE(r.emparejadas, 20);
    EXPECT_LT(r.rms, 0.2);
    EXPECT_LE(ErrorPosiciones(cielo_, c.t, r.transformacion), 0.02);
    EXPECT_EQ(r.transformacion.tipo, Transformacion2D::Tipo::kSimilitud);
  }
}

TEST_F(RegistroTest, FramesThatCannotBeMatchedSaySoNeverIdentity) {
  Imagen vacia, ruido;
  CreaCampo(vacia, kLado, kLado, kCielo, {});
  CreaCampo(ruido, kLado, kLado, kCielo, {}, kRuido, 5);
  Imagen otroCampo;
  const std::vector<EstrellaSintetica> otro = Cielo(99, 1400);
  Fotografia(otroCampo, otro, Transformacion2D::Identidad(), 6);
  struct Caso {
    const char* nombre;
    Imagen* im;
    std::vector<int> ids;
  };
  const Caso casos[] = {
      {"no stars", &vacia, {12243}},
      {"noise only", &ruido, {12243, 12244, 12245}},
      {"another field", &otroCampo, {12244, 12245}},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    const ResultadoRegistro r = Registra(*c.im);
    EXPECT_FALSE(r.exito);
    EXPECT_NE(std::find(c.ids.begin(), c.ids.end(), r.idError), c.ids.end()) << r.idError;
    EXPECT_FALSE(r.Mensaje().empty());
  }
  // Point lists: a reference of two stars (once its positions that are not numbers are left
  // out), one star given many times, positions beyond any image.
  const double nan = std::nan("");
  const struct {
    const char* nombre;
    std::vector<EstrellaRegistro> ref;
    int id;
  } listas[] = {
      {"two stars", {{1, 1, 5}, {50, 50, 4}, {nan, 3, 9}, {3, HUGE_VAL, 8}}, 12242},
      {"one star many times", std::vector<EstrellaRegistro>(40, {100, 100, 1}), 12244},
      {"far away", {{1e300, 1e300, nan}, {-1e300, 1e300, 2}, {1e300, -1e300, 3}, {5, 5, 4}}, 12244},
  };
  for (const auto& l : listas) {
    SCOPED_TRACE(l.nombre);
    const ResultadoRegistro r = RegistraEstrellas(l.ref, lista_, ParametrosRegistro{});
    EXPECT_FALSE(r.exito);
    EXPECT_EQ(r.idError, l.id);
  }
}

// Exact point lists: spurious stars and displaced ones are left out of the fit; the affine option
// fits a sheared frame exactly where a similarity cannot.
TEST(RegistroListasTest, OutliersAreRejectedAndAffineFitsShear) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> pos(0, kLado);
  std::vector<EstrellaRegistro> ref;
  for (int i = 0; i < 120; ++i) ref.push_back({pos(rng), pos(rng), 1000.0 - i});
  struct Caso {
    const char* nombre;
    Transformacion2D t;
    bool afin;
    int espurias, desplazadas;
  };
  Transformacion2D cizalla;
  cizalla.tipo = Transformacion2D::Tipo::kAfin;
  cizalla.h = {1.01, 0.004, 12.5, -0.003, 0.995, -8.25, 0, 0, 1};
  const Caso casos[] = {
      {"spurious and displaced", Similitud(200, -150, 63, 1.01), false, 40, 6},
      {"affine", cizalla, true, 10, 3},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    std::vector<EstrellaRegistro> img;
    for (size_t i = 0; i < ref.size(); ++i) {
      EstrellaRegistro s = ref[i];
      c.t.Aplica(ref[i].x, ref[i].y, s.x, s.y);
      if (static_cast<int>(i) % 17 == 5 && c.desplazadas > 0) s.x += 1.8;  // within the radius
      img.push_back(s);
    }
    // Bright spurious stars (cosmic rays, hot pixels) interleaved with the real ones.
    for (int k = 0; k < c.espurias; ++k)
      img.push_back({pos(rng), pos(rng), 1000.0 - 3.0 * k - 0.5});
    ParametrosRegistro p;
    p.afin = c.afin;
    const ResultadoRegistro r = RegistraEstrellas(ref, img, p);
    ASSERT_TRUE(r.exito) << r.Mensaje();
    int desplazadas = 0;
    for (size_t i = 0; i < ref.size(); ++i) desplazadas += static_cast<int>(i) % 17 == 5;
    EXPECT_EQ(r.emparejadas, static_cast<int>(ref.size()) - desplazadas);
    EXPECT_LT(r.rms, 1e-6);
    for (size_t i = 0; i < 9; ++i) EXPECT_NEAR(r.transformacion.h[i], c.t.h[i], 1e-7) << i;
  }
  // A similarity fit of the sheared frame leaves residuals the affine one does not.
  std::vector<EstrellaRegistro> img;
  for (const EstrellaRegistro& s : ref) {
    EstrellaRegistro q = s;
    cizalla.Aplica(s.x, s.y, q.x, q.y);
    img.push_back(q);
  }
  const ResultadoRegistro sim = RegistraEstrellas(ref, img, ParametrosRegistro{});
  ASSERT_TRUE(sim.exito);
  EXPECT_GT(sim.rms, 0.5);
}

// Noisy point lists whose stars carry their variances: the weighted fit beats the equal-weight
// one on the same positions, and a precise star displaced by less than the equal-weight floor is
// still found out by its normalised residual.
TEST(RegistroListasTest, WeightsFromTheStarsVariancesAndNormalisedRejection) {
  std::mt19937 rng(8);
  std::uniform_real_distribution<double> pos(0, kLado), logDesv(std::log(0.002), std::log(0.2));
  std::normal_distribution<double> normal(0.0, 1.0);
  const Transformacion2D verdad = Similitud(31.5, -12.25, 0.7, 1);
  std::vector<EstrellaRegistro> ref, img;
  for (int i = 0; i < 150; ++i) {
    const double x = pos(rng), y = pos(rng), desv = std::exp(logDesv(rng));
    double u = 0, v = 0;
    verdad.Aplica(x, y, u, v);
    const double var = desv * desv;
    ref.push_back({x + desv * normal(rng), y + desv * normal(rng), 1000.0 - i, var});
    img.push_back({u + desv * normal(rng), v + desv * normal(rng), 1000.0 - i, var});
  }
  // The most precise star, moved in the frame by 20 of its deviations.
  size_t preciso = 0;
  for (size_t i = 0; i < ref.size(); ++i)
    if (ref[i].varianza < ref[preciso].varianza) preciso = i;
  std::vector<EstrellaRegistro> movida = img;
  movida[preciso].x += 20.0 * std::sqrt(movida[preciso].varianza);
  ASSERT_LT(20.0 * std::sqrt(movida[preciso].varianza), 0.05);
  auto sinVarianza = [](std::vector<EstrellaRegistro> e) {
    for (EstrellaRegistro& s : e) s.varianza = 0.0;
    return e;
  };
  auto errorEsquinas = [&](const Transformacion2D& t) {
    double e2 = 0;
    for (const auto& [x, y] : {std::pair{0, 0}, {kLado, 0}, {0, kLado}, {kLado, kLado}}) {
      double u = 0, v = 0, p = 0, q = 0;
      verdad.Aplica(x, y, u, v);
      t.Aplica(x, y, p, q);
      e2 += (u - p) * (u - p) + (v - q) * (v - q);
    }
    return std::sqrt(e2 / 4);
  };
  const ResultadoRegistro igual = RegistraEstrellas(sinVarianza(ref), sinVarianza(img), {});
  const ResultadoRegistro pesado = RegistraEstrellas(ref, img, {});
  const ResultadoRegistro conMovida = RegistraEstrellas(ref, movida, {});
  const ResultadoRegistro igualMovida =
      RegistraEstrellas(sinVarianza(ref), sinVarianza(movida), {});
  for (const ResultadoRegistro* r : {&igual, &pesado, &conMovida, &igualMovida})
    ASSERT_TRUE(r->exito) << r->Mensaje();
  EXPECT_LT(errorEsquinas(pesado.transformacion), 0.5 * errorEsquinas(igual.transformacion));
  EXPECT_LT(errorEsquinas(pesado.transformacion), 0.01);
  EXPECT_EQ(conMovida.emparejadas, pesado.emparejadas - 1);
  EXPECT_LT(errorEsquinas(conMovida.transformacion), 0.01);
  EXPECT_EQ(igualMovida.emparejadas, igual.emparejadas);  // within the floor in pixels
  // Variances so small that their inverses overflow the fit's sums unless taken relative.
  auto diminuta = [](std::vector<EstrellaRegistro> e) {
    for (EstrellaRegistro& s : e) s.varianza = 1e-306;
    return e;
  };
  const ResultadoRegistro extremas = RegistraEstrellas(diminuta(ref), diminuta(img), {});
  ASSERT_TRUE(extremas.exito) << extremas.Mensaje();
  EXPECT_LT(errorEsquinas(extremas.transformacion), 0.05);
  // A list with one star of unknown variance weighs all pairs the same.
  std::vector<EstrellaRegistro> unaSin = img;
  unaSin[3].varianza = 0.0;
  const ResultadoRegistro mixta = RegistraEstrellas(ref, unaSin, {});
  ASSERT_TRUE(mixta.exito);
  EXPECT_EQ(mixta.transformacion.h, RegistraEstrellas(ref, sinVarianza(img), {}).transformacion.h);
}

TEST_F(RegistroTest, SameResultForAnyThreadCount) {
  Imagen im;
  Fotografia(im, cielo_, Similitud(-77.5, 140.25, 211, 1.02), 21);
  std::vector<ResultadoRegistro> r;
  for (int hilos : {1, 2, 7}) {
    FijaHilos(hilos);
    Imagen ref;
    Fotografia(ref, cielo_, Transformacion2D::Identidad(), 1);
    const auto lista = EstrellasParaRegistro(ref, LeeOpcionesEstrellasRegistro(), progreso_);
    r.push_back(RegistraImagen(lista, im, LeeOpcionesEstrellasRegistro(), LeeParametrosRegistro(),
                               progreso_));
    ASSERT_TRUE(r.back().exito);
  }
  for (size_t k = 1; k < r.size(); ++k) {
    EXPECT_EQ(r[k].transformacion.h, r[0].transformacion.h);
    EXPECT_EQ(r[k].emparejadas, r[0].emparejadas);
    EXPECT_EQ(r[k].rms, r[0].rms);
  }
}

// A night like a camera's: stars of 1e3..3e5 electrons (sigma 1.3 px) on a sky of 300 e- with
// the signal's own noise and a read noise of 6, two frames of one field seen through a known
// map. The registration must find the map to a small fraction of the noise of any one star.
TEST(RegistroPrecisionTest, SubpixelMapOfANoisyFieldAtTheCorners) {
  Configuracion::Global().RestableceDefectos();
  Rango() = RangoPixeles{0, 32767, 0};
  constexpr double kSigma = 1.3, kFondo = 300.0, kLectura = 6.0;
  constexpr int kEstrellas = 180;
  std::mt19937 rng(20261208);
  std::uniform_real_distribution<double> pos(-30.0, kLado + 30.0),
      brillo(std::log(1e3), std::log(3e5));
  std::vector<std::array<double, 3>> campo;
  for (int i = 0; i < kEstrellas; ++i) campo.push_back({pos(rng), pos(rng), std::exp(brillo(rng))});
  auto foto = [&](Imagen& im, const Transformacion2D& t) {
    std::vector<double> v(static_cast<size_t>(kLado) * kLado, kFondo);
    const int r = static_cast<int>(std::ceil(6 * kSigma));
    for (const auto& [x0, y0, flujo] : campo) {
      double x = 0, y = 0;
      t.Aplica(x0, y0, x, y);
      const double pico = flujo / (2 * kPi * kSigma * kSigma);
      for (int f = std::max(0, static_cast<int>(y) - r); f <= std::min(kLado - 1, int(y) + r); ++f)
        for (int c = std::max(0, static_cast<int>(x) - r); c <= std::min(kLado - 1, int(x) + r);
             ++c)
          v[static_cast<size_t>(f) * kLado + static_cast<size_t>(c)] +=
              pico * std::exp(-0.5 * ((c - x) * (c - x) + (f - y) * (f - y)) / (kSigma * kSigma));
    }
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<int16_t> px(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
      const double e = v[i] + std::sqrt(v[i] + kLectura * kLectura) * normal(rng);
      px[i] = static_cast<int16_t>(std::clamp(std::round(e), -32768.0, 32767.0));
    }
    im.CambiaPixeles(kLado, kLado, std::move(px));
    im.Actualiza();
  };
  ProgresoSilencioso progreso;
  Imagen ref;
  foto(ref, Transformacion2D::Identidad());
  const OpcionesEstrellasRegistro o = LeeOpcionesEstrellasRegistro();
  const std::vector<EstrellaRegistro> lista = EstrellasParaRegistro(ref, o, progreso);
  ASSERT_GE(lista.size(), 60u);
  struct Caso {
    const char* nombre;
    Transformacion2D t;
  };
  const Caso casos[] = {
      {"a night's drift", Similitud(7.37, -4.81, 0.31, 1)},
      {"turned", Similitud(-23.6, 15.2, -37.4, 1)},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    Imagen im;
    foto(im, c.t);
    const ResultadoRegistro r = RegistraImagen(lista, im, o, LeeParametrosRegistro(), progreso);
    ASSERT_TRUE(r.exito) << r.Mensaje();
    double e2 = 0;
    for (const auto& [x, y] :
         {std::pair{0, 0}, {kLado - 1, 0}, {0, kLado - 1}, {kLado - 1, kLado - 1}}) {
      double u = 0, v = 0, p = 0, q = 0;
      c.t.Aplica(x, y, u, v);
      r.transformacion.Aplica(x, y, p, q);
      e2 += (u - p) * (u - p) + (v - q) * (v - q);
    }
    EXPECT_LT(std::sqrt(e2 / 4), 0.005);
  }
}

}  // namespace
}  // namespace orva

namespace orva {
namespace {

// The "Trans. General" line replays on another image with the same bits as the resampling it
// records, for two, three and four points and any thread count; missing points are named.
TEST(TransGeneralTest, MacroLineReplaysTheResamplingExactly) {
  EnlazaTransformacionMacro();
  Rango() = RangoPixeles{0, 32767, 0};
  const std::vector<EstrellaSintetica> estrellas = {
      {40.3, 50.6, 4000}, {150.7, 80.2, 2500}, {95.1, 160.8, 6000}, {250.45, 190.3, 3000}};
  auto Frame = [&](Imagen& im) { CreaCampo(im, 300, 220, 500, estrellas, 5.0, 4); };
  Imagen ref;
  CreaCampo(ref, 280, 200, 100, {});
  const PuntoTransformacion enRef[4] = {{1, 20, 30}, {1, 250, 40}, {1, 30, 180}, {1, 240, 170}};
  const PuntoTransformacion enImagen[4] = {
      {1, 35.5, 22}, {1, 262, 51.25}, {1, 30, 190}, {1, 251, 188}};
  for (int n : {2, 3, 4}) {
    SCOPED_TRACE(n);
    Imagen im;
    Frame(im);
    for (size_t i = 0; i < 4; ++i) {
      ref.puntosTrans[i] = enRef[i];
      im.puntosTrans[i] = enImagen[i];
    }
    const Transformacion2D t = TransformacionTransGeneral(im, ref, n);
    // The reference's points land on the image's.
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
      double u = 0, v = 0;
      ASSERT_TRUE(t.Aplica(enRef[i].x, enRef[i].y, u, v));
      EXPECT_NEAR(u, enImagen[i].x, 1e-9);
      EXPECT_NEAR(v, enImagen[i].y, 1e-9);
    }
    const std::string linea = LineaTransGeneral(t, ref.Ancho(), ref.Alto());
    ProgresoSilencioso p;
    RemuestreaTransformacion(im, t, ref.Ancho(), ref.Alto(), Rango().defecto, p);
    for (int hilos : {1, 2, 7}) {
      FijaHilos(hilos);
      Imagen otra;
      Frame(otra);
      ASSERT_EQ(EjecutaMacro(otra, {linea}), 1);
      EXPECT_EQ(otra.Ancho(), ref.Ancho());
      EXPECT_EQ(otra.Alto(), ref.Alto());
      EXPECT_EQ(otra.Pixeles(), im.Pixeles()) << linea << " threads " << hilos;
    }
    FijaHilos(0);
    // Without the points on the reference there is no transform.
    ref.puntosTrans[static_cast<size_t>(n - 1)].definido = 0;
    try {
      TransformacionTransGeneral(im, ref, n);
      ADD_FAILURE() << "no error";
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 12246);
    }
  }
  // A line whose matrix is not numbers or whose size is zero is refused before any pixel moves.
  Imagen im;
  Frame(im);
  const std::vector<int16_t> antes = im.Pixeles();
  for (const char* mala :
       {"TRANSGENERAL 1 0 0 0 1 0 0 0 0 10", "TRANSGENERAL 1 0 x 0 1 0 0 0 10 10",
        "TRANSGENERAL 1 0 0 0 1 0 0 0 10"}) {
    EXPECT_THROW(EjecutaMacro(im, {mala}), JError) << mala;
    EXPECT_EQ(im.Pixeles(), antes);
  }
}

}  // namespace
}  // namespace orva
