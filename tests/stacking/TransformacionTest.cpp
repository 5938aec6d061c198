// Point-pair transforms and the resampling through them.
#include "stacking/Transformacion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "processing/Geometria.h"

namespace orva {
namespace {

// A map of each kind, the points it is fitted on, and where those points must go.
struct CasoPuntos {
  const char* nombre;
  Transformacion2D verdad;
  size_t pares;
};

Transformacion2D Matriz(Transformacion2D::Tipo tipo, std::array<double, 9> h) {
  Transformacion2D t;
  t.tipo = tipo;
  t.h = h;
  return t;
}

TEST(TransformacionTest, PairsRecoverTheMapThatMadeThem) {
  const double c = std::cos(0.3), s = std::sin(0.3);
  const CasoPuntos casos[] = {
      {"shift", Transformacion2D::Desplazamiento(12.25, -3.5), 2},
      {"similarity", Matriz(Transformacion2D::Tipo::kSimilitud,
                            {1.02 * c, -1.02 * s, 5, 1.02 * s, 1.02 * c, -7, 0, 0, 1}), 2},
      {"affine", Matriz(Transformacion2D::Tipo::kAfin, {1.1, 0.05, 3, -0.02, 0.95, 4, 0, 0, 1}), 3},
      {"projective", Matriz(Transformacion2D::Tipo::kProyectiva,
                            {1.01, 0.02, 3, -0.01, 0.99, -2, 1e-4, -2e-4, 1}), 4},
  };
  const std::vector<PuntoPlano> base = {{10, 20}, {300, 40}, {50, 250}, {280, 270}};
  for (const CasoPuntos& caso : casos) {
    std::vector<PuntoPlano> desde(base.begin(), base.begin() + static_cast<long>(caso.pares));
    std::vector<PuntoPlano> hacia;
    for (const PuntoPlano& p : desde) {
      PuntoPlano q;
      ASSERT_TRUE(caso.verdad.Aplica(p.x, p.y, q.x, q.y));
      hacia.push_back(q);
    }
    const Transformacion2D t = TransformacionPorPuntos(desde, hacia);
    for (size_t i = 0; i < 9; ++i) EXPECT_NEAR(t.h[i], caso.verdad.h[i], 1e-9) << caso.nombre << i;
    // The inverse takes the image points back, and composing both gives the identity.
    Transformacion2D inv;
    ASSERT_TRUE(InvierteTransformacion(t, inv));
    const Transformacion2D id = ComponeTransformaciones(t, inv);
    for (size_t i = 0; i < 9; ++i) EXPECT_NEAR(id.h[i], Transformacion2D{}.h[i], 1e-9) << caso.nombre;
  }
}

TEST(TransformacionTest, DegeneratePointsAreRefused) {
  struct Caso {
    std::vector<PuntoPlano> desde, hacia;
    int id;
  } casos[] = {
      {{{1, 1}, {1, 1}}, {{0, 0}, {3, 4}}, 12240},                      // equal points
      {{{0, 0}, {1, 1}, {2, 2}}, {{0, 0}, {1, 0}, {0, 1}}, 12240},      // on a line
      {{{0, 0}, {5, 0}, {0, 5}, {5, 5}}, {{0, 0}, {1, 1}, {2, 2}, {3, 7}}, 12240},
      {{{0, 0}}, {{1, 1}}, 12241},                                        // one pair
      {{{0, 0}, {1, 0}}, {{0, 0}}, 12241},                                // unequal lists
  };
  for (const Caso& c : casos) {
    try {
      TransformacionPorPuntos(c.desde, c.hacia);
      ADD_FAILURE() << "accepted " << c.desde.size() << " pairs";
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), c.id);
    }
  }
}

TEST(TransformacionTest, ResamplingMatchesTheBilinearSampleForAnyThreadCount) {
  std::mt19937 azar(7);
  std::uniform_int_distribution<int> valor(-2000, 30000);
  constexpr uint32_t kAncho = 83, kAlto = 59;
  const Transformacion2D t = Matriz(Transformacion2D::Tipo::kProyectiva,
                                    {0.98, 0.1, 2.5, -0.08, 1.01, -1.25, 2e-4, 1e-4, 1});
  std::vector<int16_t> fuente(kAncho * kAlto);
  for (int16_t& v : fuente) v = static_cast<int16_t>(valor(azar));
  std::vector<int16_t> primero;
  for (int hilos : {1, 2, 7}) {
    FijaHilos(hilos);
    Imagen im;
    im.CambiaPixeles(kAncho, kAlto, fuente);
    ProgresoSilencioso p;
    RemuestreaTransformacion(im, t, 71, 64, -5, p);
    ASSERT_EQ(im.Ancho(), 71u);
    ASSERT_EQ(im.Alto(), 64u);
    if (primero.empty()) {
      primero = im.Pixeles();
      for (long y = 0; y < 64; ++y) {
        for (long x = 0; x < 71; ++x) {
          double u, v;
          ASSERT_TRUE(t.Aplica(static_cast<double>(x), static_cast<double>(y), u, v));
          ASSERT_EQ(im.Pixeles()[static_cast<size_t>(y * 71 + x)],
                    MuestraBilineal(fuente.data(), kAncho, kAlto, u, v, -5));
        }
      }
    } else {
      EXPECT_EQ(im.Pixeles(), primero) << hilos << " threads";
    }
  }
  FijaHilos(0);
}

}  // namespace
}  // namespace orva
