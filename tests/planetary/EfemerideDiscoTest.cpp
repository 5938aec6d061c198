// The disc's orientation from the ephemeris: synthetic planets rendered from the ephemeris
// geometry of known dates, fitted through the module with no orientation given by hand.
#include "planetary/EfemerideDisco.h"

#include <erfa.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "base/JError.h"
#include "core/Ajustes.h"
#include "core/EfemerideImagen.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "formats/TiposArchivo.h"
#include "planetary/DiscoSintetico.h"
#include "planetary/ModuloPlanetas.h"
#include "shell/Arranque.h"

namespace orva {
namespace {

constexpr double kGrado = std::numbers::pi / 180.0;
constexpr double kFaseMinima = 1.0;  // deg

void LimpiaAjustes() {
  for (const char* c :
       {"AnguloPolo", "LatTierra", "MeridianoCentral", "LatSol", "LonSol", "SistemaJupiter"}) {
    AjustesActuales().Asigna("PREFPLANETA", c, "");
  }
}

double DifLon(double a, double b) {
  return std::remainder(a - b, 360.0);
}

// Position angle (east of north) of the Sun seen from Earth next to the planet, from ERFA's
// Earth alone: the direction in which the planet's sunlit side must lie on the sky.
double AnguloSol(const Efemeride& e) {
  double pvh[2][3], pvb[2][3];
  eraEpv00(e.djUT + e.deltaT / 86400.0, 0.0, pvh, pvb);
  double sol[3] = {-pvh[0][0], -pvh[0][1], -pvh[0][2]};
  double as = 0.0, ds = 0.0;
  eraC2s(sol, &as, &ds);
  const double da = as - e.ar;
  return std::atan2(
             std::sin(da) * std::cos(ds),
             std::cos(e.dec) * std::sin(ds) - std::sin(e.dec) * std::cos(ds) * std::cos(da)) /
         kGrado;
}

struct CasoEfemeride {
  int tipo;
  const char* fecha;
  const char* hora;
  bool filasArriba;  // shown as a FITS image, first row at the bottom
  int sistema;       // Jupiter's system asked for in the settings (0: the default)
  int indice;        // which of the ephemeris's longitudes must be the central meridian
};

class EfemerideDiscoTest : public ::testing::TestWithParam<CasoEfemeride> {};

// The module fits the limb with the ephemeris's orientation, the north pole lands where the
// pole angle puts it on the display, a spot at a known longitude is measured within 1 degree,
// and the sunlit part of the disc matches the ephemeris's illuminated fraction.
TEST_P(EfemerideDiscoTest, DiscoDeLaEfemeride) {
  const CasoEfemeride& c = GetParam();
  InstalaSistema();
  LimpiaAjustes();
  if (c.sistema)
    AjustesActuales().Asigna("PREFPLANETA", "SistemaJupiter", std::to_string(c.sistema));

  Imagen im;
  ASSERT_TRUE(AsignaDatoImagen(im.datos, "FECHAOBS", c.fecha));
  ASSERT_TRUE(AsignaDatoImagen(im.datos, "HORAOBS", c.hora));
  const Efemeride e = EfemerideImagen(im.datos, *PlanetaDeTipo(c.tipo));
  ASSERT_FALSE(e.topocentrica);

  DiscoSintetico d;
  d.ancho = d.alto = 200;
  d.geometria.cx = 99.6;
  d.geometria.cy = 101.3;
  d.geometria.radio = 70.0;
  d.geometria.filasArriba = c.filasArriba;
  OrientaConEfemeride(e, c.sistema ? c.sistema : kSistemaJupiterDefecto, d.geometria);
  const GeometriaDisco& g = d.geometria;
  if (c.tipo == kUrano) {
    EXPECT_NEAR(DifLon(g.meridianoCentral, -e.lonTierra[2]), 0.0, 1e-9);
  } else {
    EXPECT_DOUBLE_EQ(g.meridianoCentral, e.lonTierra[c.indice]);
  }
  EXPECT_DOUBLE_EQ(g.anguloPolo, e.anguloPolo);
  // The spot toward the bright limb, a little off the disc's centre.
  const double lonMancha =
      g.meridianoCentral + (DifLon(g.lonSol, g.meridianoCentral) > 0 ? 15 : -15);
  d.manchas.push_back({lonMancha, g.latTierra + 10.0, 3.0, 0.7});
  RenderizaDisco(d, im);
  im.CambiaTipoObjeto(c.tipo);
  if (c.filasArriba) im.tipoArchivo = kFits;

  // The north pole: above the centre on the display, turned counter-clockwise by the pole angle
  // (east of north, east to the left), foreshortened by the sub-Earth latitude (planetographic:
  // the Earth's elevation over the equator).
  PuntoDisco polo;
  ASSERT_TRUE(LonLatAPixel(g, 0.0, 90.0, polo) || g.latTierra < 0.0);
  if (g.latTierra >= 0.0) {
    const double b = g.radio * (1.0 - g.achatamiento);
    const double dist = b * std::cos(g.latTierra * kGrado);
    const double arriba = dist * std::cos(g.anguloPolo * kGrado);
    EXPECT_NEAR(polo.x, g.cx - dist * std::sin(g.anguloPolo * kGrado), 0.5);
    EXPECT_NEAR(polo.y, g.cy + (c.filasArriba ? arriba : -arriba), 0.5);
  }

  // The sub-Sun point lies from the centre toward the Sun's position angle (east to the left,
  // north up as shown): the sub-Sun longitude is counted like the central meridian. On a sphere
  // of the same orientation, where the planetographic latitudes of the sub-Earth and sub-Sun
  // points are the elevations of Earth and Sun, the sub-Earth point is the centre. Near
  // opposition the direction is lost in the planet's position error.
  if (e.anguloFase > kFaseMinima) {
    GeometriaDisco esfera = g;
    esfera.achatamiento = 0.0;
    PuntoDisco sol;
    ASSERT_TRUE(LonLatAPixel(esfera, g.lonSol, g.latSol, sol));
    const double arribaSol = c.filasArriba ? sol.y - g.cy : g.cy - sol.y;
    const double pa = std::atan2(g.cx - sol.x, arribaSol) / kGrado;
    EXPECT_NEAR(DifLon(pa, AnguloSol(e)), 0.0, 2.0) << "phase " << e.anguloFase;
  }

  // Lit part of the disc, counted on a fine grid.
  long disco = 0, iluminado = 0;
  constexpr int kPasos = 4;
  for (int y = 0; y < d.alto * kPasos; ++y) {
    for (int x = 0; x < d.ancho * kPasos; ++x) {
      PuntoDisco p;
      if (!PixelALonLat(g, (x + 0.5) / kPasos, (y + 0.5) / kPasos, p)) continue;
      ++disco;
      if (p.mu0 > 0.0) ++iluminado;
    }
  }
  EXPECT_NEAR(static_cast<double>(iluminado) / disco, e.fraccionIluminada, 0.01);

  ComandoImagen(im, 0, kAjustarLimbo, 0);
  const DatosPlaneta& dp = *DatosPlanetaDe(im);
  ASSERT_TRUE(dp.conGeometria);
  EXPECT_EQ(dp.origen, OrigenGeometria::kGeocentrica);
  EXPECT_NEAR(dp.geometria.cx, 99.6, 0.2);
  EXPECT_NEAR(dp.geometria.cy, 101.3, 0.2);
  EXPECT_NEAR(dp.geometria.radio, 70.0, 0.2);
  EXPECT_DOUBLE_EQ(dp.geometria.meridianoCentral, g.meridianoCentral);
  EXPECT_EQ(dp.geometria.filasArriba, c.filasArriba);

  PuntoDisco m;
  ASSERT_TRUE(LonLatAPixel(g, lonMancha, g.latTierra + 10.0, m));
  DatosPlaneta copia = dp;
  const DetalleDisco f = MideDetalle(copia, m.x, m.y);
  EXPECT_NEAR(DifLon(f.lon, lonMancha), 0.0, 1.0);
  EXPECT_NEAR(f.lat, g.latTierra + 10.0, 1.0);
  LimpiaAjustes();
}

INSTANTIATE_TEST_SUITE_P(
    Fechas, EfemerideDiscoTest,
    ::testing::Values(CasoEfemeride{kJupiter, "03/11/2023", "04:00:00", false, 0, 1},
                      CasoEfemeride{kJupiter, "20/08/2021", "22:30:00", true, 1, 0},
                      CasoEfemeride{kJupiter, "20/08/2021", "22:30:00", false, 3, 2},
                      // Mars near quadrature: a wide phase, the terminator well inside.
                      CasoEfemeride{kMarte, "15/06/2020", "03:00:00", true, 0, 2},
                      CasoEfemeride{kSaturno, "01/05/2003", "20:00:00", false, 0, 2},
                      CasoEfemeride{kNeptuno, "10/09/2019", "23:00:00", true, 0, 2},
                      CasoEfemeride{kUrano, "01/08/2019", "03:00:00", false, 0, 2}));

// Uranus counts east longitudes: the disc, counting west ones, gets them turned.
TEST(EfemerideDisco, UranoEnLongitudesOeste) {
  Efemeride e;
  e.planeta = Planeta::kUrano;
  e.lonTierra[2] = 30.0;
  e.lonSol[2] = 350.0;
  GeometriaDisco g;
  OrientaConEfemeride(e, kSistemaJupiterDefecto, g);
  EXPECT_DOUBLE_EQ(g.meridianoCentral, 330.0);
  EXPECT_DOUBLE_EQ(g.lonSol, 10.0);
}

// Settings override the ephemeris one by one; without date and time the fit names the missing
// setting, with a date but no time it says the time is missing, and an observatory makes it
// topocentric.
TEST(EfemerideDisco, AjustesYEntradaMala) {
  InstalaSistema();
  LimpiaAjustes();
  DiscoSintetico d;
  d.ancho = d.alto = 160;
  d.geometria.cx = 80.0;
  d.geometria.cy = 80.0;
  d.geometria.radio = 55.0;
  Imagen im;
  ASSERT_TRUE(AsignaDatoImagen(im.datos, "FECHAOBS", "03/11/2023"));
  ASSERT_TRUE(AsignaDatoImagen(im.datos, "HORAOBS", "04:00:00"));
  const Efemeride e = EfemerideImagen(im.datos, Planeta::kJupiter);
  OrientaConEfemeride(e, kSistemaJupiterDefecto, d.geometria);
  RenderizaDisco(d, im);
  im.CambiaTipoObjeto(kJupiter);

  AjustesActuales().Asigna("PREFPLANETA", "MeridianoCentral", "123.5");
  ComandoImagen(im, 0, kAjustarLimbo, 0);
  const DatosPlaneta& dp = *DatosPlanetaDe(im);
  EXPECT_DOUBLE_EQ(dp.geometria.meridianoCentral, 123.5);
  EXPECT_DOUBLE_EQ(dp.geometria.anguloPolo, e.anguloPolo);
  EXPECT_DOUBLE_EQ(dp.geometria.latTierra, e.latTierra);

  ASSERT_TRUE(AsignaDatoImagen(im.datos, "LONOBS", "003g42m00s"));
  ASSERT_TRUE(AsignaDatoImagen(im.datos, "LATOBS", "40g24m00s"));
  ComandoImagen(im, 0, kAjustarLimbo, 0);
  EXPECT_EQ(DatosPlanetaDe(im)->origen, OrigenGeometria::kTopocentrica);

  const auto error = [&](Imagen& imagen) {
    try {
      ComandoImagen(imagen, 0, kAjustarLimbo, 0);
    } catch (const JError& j) {
      return j.Id();
    }
    return 0;
  };
  Imagen sinHora;
  sinHora.CopiaPixeles(im);
  ASSERT_TRUE(AsignaDatoImagen(sinHora.datos, "FECHAOBS", "03/11/2023"));
  sinHora.CambiaTipoObjeto(kJupiter);
  EXPECT_EQ(error(sinHora), 12461);
  Imagen sinFecha;
  sinFecha.CopiaPixeles(im);
  sinFecha.CambiaTipoObjeto(kJupiter);
  EXPECT_EQ(error(sinFecha), 12485);
  LimpiaAjustes();
}

// The module's cuts: a fitted limb needed, a drawn line needs both ends (two right clicks), a
// line off the disc says so, and the CSV has a header and a line a sample.
TEST(EfemerideDisco, CortesDelModulo) {
  InstalaSistema();
  LimpiaAjustes();
  DiscoSintetico d;
  d.ancho = d.alto = 120;
  d.geometria.cx = d.geometria.cy = 60.0;
  d.geometria.radio = 40.0;
  Imagen im;
  RenderizaDisco(d, im);
  im.CambiaTipoObjeto(kNeptuno);
  const auto error = [&](int id) {
    try {
      CorteDisco(im, id);
    } catch (const JError& j) {
      return j.Id();
    }
    return 0;
  };
  EXPECT_EQ(error(kCorteMeridiano), 12489);
  for (const char* c : {"AnguloPolo", "LatTierra", "MeridianoCentral"}) {
    AjustesActuales().Asigna("PREFPLANETA", c, "0");
  }
  ComandoImagen(im, 0, kAjustarLimbo, 0);
  EXPECT_EQ(error(kCorteLinea), 12542);
  ComandoContextualImagen(im, 0, kInicioCorte, {2, 2});
  EXPECT_EQ(error(kCorteLinea), 12542);
  ComandoContextualImagen(im, 0, kFinalCorte, {110, 5});
  EXPECT_EQ(error(kCorteLinea), 12543);
  ComandoContextualImagen(im, 0, kFinalCorte, {118, 118});
  const auto linea = CorteDisco(im, kCorteLinea);
  const auto ecuador = CorteDisco(im, kCorteEcuador);
  // The equator is sampled a step of about a pixel along the sphere's arc: half a circumference.
  EXPECT_NEAR(static_cast<double>(ecuador.size()), std::numbers::pi * 40.0, 3.0);
  for (const MuestraCorte& m : ecuador) EXPECT_NEAR(m.y, 60.0, 0.5);
  EXPECT_NEAR(static_cast<double>(linea.size()), 80.0, 2.0);
  const std::string csv = CsvCorte(linea);
  EXPECT_EQ(csv.rfind("distance,x,y,lon,latc,value,corrected\n", 0), 0u);
  EXPECT_EQ(static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')), linea.size() + 1);
  LimpiaAjustes();
}

}  // namespace
}  // namespace orva
