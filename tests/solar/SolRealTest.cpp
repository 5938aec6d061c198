// The solar analysis on real frames: a SOHO EIT 195 Å full disc measured against its header,
// and frames with no Sun on them refused.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "solar/Sol.h"

namespace orva {
namespace {

// The header of eit_195_20040301.fits (tests/data/README.md): CRPIX 64.5 with CRVAL 0 on both
// axes, the image position (63.5, 63.5); SOLAR_R 372.27 pixels of the 1024-pixel frame, 8 times
// finer than this one.
constexpr double kCentroCabecera = 63.5;
constexpr double kRadioCabecera = 372.27 / 8;
// CRPIX is the frame's middle, not a measured centre: the limb's own centre is trusted to 1 px.
constexpr double kToleranciaCentro = 1.0;
// At 195 Å the ring's ridge lies above the photosphere (Fe XII forms in the corona), never
// inside it: up to 3 % out.
constexpr double kRadioMinimo = 0.995 * kRadioCabecera;
constexpr double kRadioMaximo = 1.03 * kRadioCabecera;
// From other starts (clicks) the fit may settle on a slightly different set of ridge points.
constexpr double kAcuerdoCentro = 0.5;  // px
constexpr double kAcuerdoRadio = 0.005;

ParametrosSol Parametros() {
  ParametrosSol p;
  p.numZonasSol = 10;
  p.numZonasCorona = 5;
  return p;
}

void Lee(const char* nombre, Imagen& im) {
  LeeArchivo(std::string(ORVA_TEST_DATA) + "/" + nombre, im);
}

TEST(SolRealTest, EitFrameDiscAgreesWithItsHeader) {
  Imagen im;
  Lee("eit_195_20040301.fits", im);
  ASSERT_EQ(im.Ancho(), 128u);
  struct Caso {
    const char* nombre;
    std::optional<std::pair<double, double>> clic;
    double radioBusCentro;
  };
  const Caso casos[] = {
      {"automatic search", std::nullopt, 0},
      {"clicked north-east of the centre", std::make_pair(75.0, 55.0), 70},
      {"clicked south-west of the centre", std::make_pair(50.0, 70.0), 70},
  };
  ProgresoSilencioso prog;
  const int hilosAntes = HilosOperaciones();
  std::optional<Circulo> primero;
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    ParametrosSol p = Parametros();
    p.radioBusCentro = c.radioBusCentro;
    ResultadoSol r;
    r.sol = BuscaDiscoSolar(im, p, c.clic);
    EXPECT_TRUE(r.sol.anillo);
    EXPECT_NEAR(r.sol.x, kCentroCabecera, kToleranciaCentro);
    EXPECT_NEAR(r.sol.y, kCentroCabecera, kToleranciaCentro);
    EXPECT_GE(r.sol.radio, kRadioMinimo);
    EXPECT_LE(r.sol.radio, kRadioMaximo);
    // The limb's ridge points scatter by active regions, yet most of them are kept.
    EXPECT_GE(r.sol.puntos, 270);
    // Other starts settle within the ridge's own scatter of the first.
    if (!primero) primero = r.sol;
    EXPECT_NEAR(r.sol.x, primero->x, kAcuerdoCentro);
    EXPECT_NEAR(r.sol.y, primero->y, kAcuerdoCentro);
    EXPECT_NEAR(r.sol.radio, primero->radio, kAcuerdoRadio * primero->radio);

    PerfilSolar(im, p, r);
    ASSERT_EQ(r.zonas.size(), 15u);
    for (const ZonaSol& z : r.zonas) {
      EXPECT_GT(z.pixeles, 0) << z.rMin;
      EXPECT_TRUE(std::isfinite(z.media) && std::isfinite(z.relativa)) << z.rMin;
    }
    EXPECT_TRUE(std::isfinite(r.ley.u) && std::isfinite(r.ley.a) && std::isfinite(r.ley.b));
    // Limb brightening: the first corona ring outshines the disc's middle, then the corona
    // fades outward to the sky.
    EXPECT_GT(r.zonas[10].media, r.zonas[0].media);
    EXPECT_LT(r.ley.u, 0);
    for (size_t k = 11; k < r.zonas.size(); ++k) {
      EXPECT_LT(r.zonas[k].media, r.zonas[k - 1].media) << k;
      EXPECT_GT(r.zonas[k].media, r.fondo) << k;
    }
  }
  // The same bits for one thread and for several.
  ProgresoSilencioso p1, p4;
  FijaHilos(1);
  const ResultadoSol uno = AnalizaSol(im, Parametros(), false, p1);
  FijaHilos(4);
  const ResultadoSol cuatro = AnalizaSol(im, Parametros(), false, p4);
  FijaHilos(hilosAntes);
  EXPECT_EQ(TablaSol(uno, Parametros()), TablaSol(cuatro, Parametros()));
}

TEST(SolRealTest, FramesWithoutTheSunAreRefused) {
  // A galaxy with field stars and a rich star field: neither a disc's edge nor a bright ring.
  for (const char* nombre : {"m51_iraf_devpix.fits", "eyuma_r90s_cutout.fits"}) {
    SCOPED_TRACE(nombre);
    Imagen im;
    Lee(nombre, im);
    ProgresoSilencioso prog;
    try {
      AnalizaSol(im, Parametros(), false, prog);
      ADD_FAILURE() << "no error";
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 12501);
    }
  }
}

}  // namespace
}  // namespace orva
