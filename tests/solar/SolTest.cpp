// The solar analysis on synthetic suns: the disc, the limb-darkening law recovered, Venus's
// position and photometry, the corona zones, the table and bad input.
#include "solar/Sol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "solar/SolSintetico.h"

namespace orva {
namespace {

using prueba::Dibuja;
using prueba::SolSintetico;

ParametrosSol Parametros() {
  ParametrosSol p;
  p.numZonasSol = 10;
  p.numZonasCorona = 4;
  return p;
}

TEST(SolTest, DiscAndLimbDarkeningLawRecovered) {
  struct Caso {
    const char* nombre;
    double cx, cy, radio, a, b;
    bool cuadratica;
  };
  const Caso casos[] = {
      {"linear, centred", 200.3, 199.6, 150, 0.6, 0, false},
      {"linear, weak", 181.7, 210.2, 120, 0.3, 0, false},
      {"quadratic", 205.5, 190.25, 160, 0.47, 0.23, true},
      {"cut by the frame", 330.4, 200.8, 150, 0.6, 0, false},
      {"filling the frame", 199.8, 200.6, 192, 0.6, 0, false},
  };
  ProgresoSilencioso prog;
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    SolSintetico s;
    s.cx = c.cx, s.cy = c.cy, s.radio = c.radio, s.a = c.a, s.b = c.b;
    ImagenPixeles im;
    Dibuja(s, im);
    const ResultadoSol r = AnalizaSol(im, Parametros(), false, prog);
    EXPECT_NEAR(r.sol.x, c.cx, 0.1);
    EXPECT_NEAR(r.sol.y, c.cy, 0.1);
    EXPECT_NEAR(r.sol.radio, c.radio, 0.3);
    ASSERT_EQ(r.zonas.size(), 14u);
    ASSERT_TRUE(r.ley.cuadratica);
    // The fitted law against the true one (both normalised at the centre), within 1 %.
    for (double mu = 0.1; mu <= 1.0; mu += 0.1) {
      const double x = 1 - mu, verdad = 1 - c.a * x - c.b * x * x;
      EXPECT_NEAR(r.ley.Cuadratica(mu), verdad, 0.01 * verdad) << "mu " << mu;
      if (!c.cuadratica) {
        EXPECT_NEAR(r.ley.Lineal(mu), verdad, 0.01 * verdad) << "mu " << mu;
      }
    }
    if (!c.cuadratica) {
      EXPECT_NEAR(r.ley.u, c.a, 0.01 * c.a);
    }
    // The sky is taken off: I0 is the centre's brightness above it.
    EXPECT_NEAR(r.fondo, s.fondo, 0.5);
    EXPECT_NEAR(r.ley.i0Cuad, s.i0, 0.01 * s.i0);
  }
}

TEST(SolTest, VenusPositionAndPhotometry) {
  struct Caso {
    const char* nombre;
    double vx, vy, vr;
    bool fijo;
    double apEsperado;  // position angle, degrees
  };
  const Caso casos[] = {
      {"north of centre", 200.3, 139.6, 9.5, false, 0},
      {"east, near the limb", 80.7, 205.35, 8.2, false, 92.75},
      {"south-west, fixed size", 268.45, 276.9, 10, true, 221.40},
      {"at ingress, partly off the disc", 200.3 + 147, 199.6, 9, false, 270},
  };
  ProgresoSilencioso prog;
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    SolSintetico s;
    s.venus = true, s.vx = c.vx, s.vy = c.vy, s.vr = c.vr;
    ImagenPixeles im;
    Dibuja(s, im);
    ParametrosSol p = Parametros();
    p.tamVenusFijo = c.fijo;
    p.tamVenus = 2 * c.vr;
    const ResultadoSol r = AnalizaSol(im, p, true, prog);
    ASSERT_TRUE(r.venus);
    const Venus& v = *r.venus;
    EXPECT_NEAR(v.dx, c.vx - s.cx, 0.2);
    EXPECT_NEAR(v.dy, c.vy - s.cy, 0.2);
    EXPECT_NEAR(v.disco.radio, c.vr, 0.2);
    EXPECT_NEAR(v.distanciaRadios, std::hypot(c.vx - s.cx, c.vy - s.cy) / s.radio, 0.002);
    EXPECT_NEAR(std::remainder(v.anguloPosicion - c.apEsperado, 360.0), 0, 0.1);
    EXPECT_GE(v.anguloPosicion, 0);
    EXPECT_LT(v.anguloPosicion, 360);
    // The interior is sky; the ring is photosphere near Venus's place.
    EXPECT_NEAR(v.mediaInterior, s.fondo, 1);
    // The ring of a Venus well inside the disc holds the photosphere at its place.
    const double mu = std::sqrt(1 - std::pow(v.distanciaRadios, 2));
    if (v.distancia + v.radioAnillo < s.radio) {
      EXPECT_NEAR(v.mediaFotosfera, s.fondo + s.i0 * (1 - s.a * (1 - mu)), 0.05 * s.i0);
    }
    EXPECT_NEAR(v.contraste, 0, 0.01);
    // Venus kept out of the profile: the law as without it.
    EXPECT_NEAR(r.ley.Lineal(0.5), 1 - s.a * 0.5, 0.01);
  }
}

TEST(SolTest, CoronaZonesFallOutward) {
  SolSintetico s;
  s.corona = 2000;
  ImagenPixeles im;
  Dibuja(s, im);
  ProgresoSilencioso prog;
  const ResultadoSol r = AnalizaSol(im, Parametros(), false, prog);
  double anterior = 1e9;
  int coronas = 0;
  for (const ZonaSol& z : r.zonas) {
    if (!z.corona) continue;
    ++coronas;
    EXPECT_GT(z.pixeles, 0);
    EXPECT_LT(z.media, anterior);
    EXPECT_GT(z.media, s.fondo);
    anterior = z.media;
  }
  EXPECT_EQ(coronas, 4);
  EXPECT_DOUBLE_EQ(r.zonas.back().rMax, 1.5);
}

TEST(SolTest, ClickChoosesTheDiscNearIt) {
  // Two suns side by side: a click with a search radius measures the one it is on.
  SolSintetico s;
  s.w = 500, s.h = 240, s.cx = 120.4, s.cy = 119.7, s.radio = 90;
  ImagenPixeles a, b;
  Dibuja(s, a);
  SolSintetico t = s;
  t.cx = 380.2;
  Dibuja(t, b);
  std::vector<int16_t> px = a.Pixeles();
  for (size_t i = 0; i < px.size(); ++i) px[i] = std::max(px[i], b.Pixeles()[i]);
  ImagenPixeles im;
  im.CambiaPixeles(500, 240, std::move(px));
  ParametrosSol p = Parametros();
  p.radioBusCentro = 110;
  const Circulo c = BuscaDiscoSolar(im, p, std::make_pair(370.0, 125.0));
  EXPECT_NEAR(c.x, t.cx, 0.1);
  EXPECT_NEAR(c.radio, t.radio, 0.3);
}

TEST(SolTest, BadInputRaisesItsError) {
  ProgresoSilencioso prog;
  ImagenPixeles plana;
  plana.CambiaPixeles(64, 64, std::vector<int16_t>(64 * 64, 500));
  ImagenPixeles sol;
  Dibuja(SolSintetico{}, sol);
  ImagenPixeles vacia;
  SolSintetico conVenus;
  conVenus.venus = true, conVenus.vx = 180, conVenus.vy = 210, conVenus.vr = 7;
  ImagenPixeles venus;
  Dibuja(conVenus, venus);
  ParametrosSol ceroZonas = Parametros();
  ceroZonas.numZonasSol = 0;
  ParametrosSol muchas = Parametros();
  muchas.numZonasCorona = 100000;
  ParametrosSol infinito = Parametros();
  infinito.radioFotom = HUGE_VAL;
  ParametrosSol sinExtra = Parametros();
  sinExtra.solVenExtra = std::nan("");
  ParametrosSol venusEnorme = Parametros();
  venusEnorme.tamVenusFijo = true;
  venusEnorme.tamVenus = 5000;
  struct Caso {
    const char* nombre;
    const ImagenPixeles& im;
    ParametrosSol p;
    bool venus;
    int id;
  };
  const Caso casos[] = {
      {"flat frame", plana, Parametros(), false, 12501},
      {"empty image", vacia, Parametros(), false, 12501},
      {"no zones", sol, ceroZonas, false, 12502},
      {"too many corona zones", sol, muchas, false, 12502},
      {"no Venus on the Sun", sol, Parametros(), true, 12503},
      {"infinite ring", sol, infinito, false, 12386},
      {"corona extent not a number", sol, sinExtra, false, 12386},
      {"fixed Venus larger than the Sun", venus, venusEnorme, true, 12386},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    try {
      AnalizaSol(c.im, c.p, c.venus, prog);
      ADD_FAILURE() << "no error";
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), c.id);
    }
  }
  try {
    AjustaCirculo({1, 2}, {1, 2});
    ADD_FAILURE() << "no error";
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12500);
  }
}

TEST(SolTest, TableHoldsEveryZoneAndIsWrittenSafely) {
  SolSintetico s;
  s.venus = true, s.vx = 230, s.vy = 180, s.vr = 8;
  ImagenPixeles im;
  Dibuja(s, im);
  ProgresoSilencioso prog;
  ParametrosSol p = Parametros();
  const ResultadoSol r = AnalizaSol(im, p, true, prog);
  const std::string ruta = (std::filesystem::temp_directory_path() / "orva_sol_tabla.csv").string();
  GuardaTablaSol(ruta, r, p);
  std::ifstream f(ruta);
  std::string linea;
  int comentarios = 0, disco = 0, corona = 0, cabecera = 0;
  while (std::getline(f, linea)) {
    if (linea.rfind("#", 0) == 0) ++comentarios;
    if (linea.rfind("region,", 0) == 0) ++cabecera;
    if (linea.rfind("disco,", 0) == 0) ++disco;
    if (linea.rfind("corona,", 0) == 0) ++corona;
  }
  std::filesystem::remove(ruta);
  EXPECT_EQ(comentarios, 4);  // disc, two laws, Venus
  EXPECT_EQ(cabecera, 1);
  EXPECT_EQ(disco, p.numZonasSol);
  EXPECT_EQ(corona, p.numZonasCorona);
}

}  // namespace
}  // namespace orva
