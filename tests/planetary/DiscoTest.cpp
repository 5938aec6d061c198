// The planet's disc: projection conventions, limb fit, measured positions, maps and cuts on
// synthetic discs of known geometry.
#include "planetary/Disco.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "planetary/DiscoSintetico.h"
#include "planetary/MacroDisco.h"
#include "planetary/ModuloPlanetas.h"
#include "core/Ajustes.h"
#include "core/ModuloAnalisis.h"
#include "macro/Macro.h"
#include "shell/Arranque.h"

namespace orva {
namespace {

constexpr double kGrado = std::numbers::pi / 180.0;
constexpr double kRadioManchas = 50.0;  // pixels: smaller discs have spots of a pixel or two

GeometriaDisco Geometria(double cx, double cy, double radio, double f, double polo, double latT,
                         double cm) {
  GeometriaDisco g;
  g.cx = cx;
  g.cy = cy;
  g.radio = radio;
  g.achatamiento = f;
  g.anguloPolo = polo;
  g.latTierra = latT;
  g.meridianoCentral = cm;
  return g;
}

double DifLon(double a, double b) {
  return std::remainder(a - b, 360.0);
}

// Intensity-weighted centroid of a - b over a window.
bool Centroide(const ImagenPixeles& a, const ImagenPixeles& b, double x0, double y0, int r,
               double& x, double& y) {
  double sx = 0.0, sy = 0.0, s = 0.0;
  for (long yy = std::lround(y0) - r; yy <= std::lround(y0) + r; ++yy) {
    for (long xx = std::lround(x0) - r; xx <= std::lround(x0) + r; ++xx) {
      if (xx < 0 || yy < 0 || xx >= a.Ancho() || yy >= a.Alto()) continue;
      const double w = static_cast<double>(b.Pixel(xx, yy)) - a.Pixel(xx, yy);
      if (w <= 0.0) continue;
      sx += w * xx;
      sy += w * yy;
      s += w;
    }
  }
  if (s <= 0.0) return false;
  x = sx / s;
  y = sy / s;
  return true;
}

TEST(DiscoTest, ConvencionesDeLaProyeccion) {
  // Pole up, then turned 30 deg counter-clockwise; tilted toward the observer by 20 deg.
  for (const double polo : {0.0, 30.0, -140.0}) {
    SCOPED_TRACE(polo);
    const GeometriaDisco g = Geometria(100, 120, 50, 0.065, polo, 20.0, 40.0);
    PuntoDisco p;
    // The centre is on the line from the planet's centre to the Earth: its planetocentric
    // latitude is the line of sight's elevation, the planetographic latitude of the sub-Earth
    // point, where the surface faces the Earth.
    ASSERT_TRUE(PixelALonLat(g, 100, 120, p));
    EXPECT_NEAR(p.lon, 40.0, 1e-9);
    EXPECT_NEAR(LatitudCentrica(p.lat, 0.065), 20.0, 1e-9);
    ASSERT_TRUE(LonLatAPixel(g, 40.0, 20.0, p));
    EXPECT_NEAR(p.mu, 1.0, 1e-12);
    // The north pole lies toward the pole angle from the image's up, counter-clockwise.
    ASSERT_TRUE(LonLatAPixel(g, 0.0, 90.0, p));
    const double ang = std::atan2(-(p.x - 100), -(p.y - 120)) / kGrado;
    EXPECT_NEAR(std::remainder(ang - polo, 360.0), 0.0, 1e-6);
    // Polar distance on the sky: b' cos(D) with b' the polar radius.
    const double d = 20.0 * kGrado;
    EXPECT_NEAR(std::hypot(p.x - 100, p.y - 120), 50 * (1 - 0.065) * std::cos(d), 1e-6);
    // West longitudes: a smaller longitude is toward the west limb, on the right of the pole.
    PuntoDisco oeste;
    ASSERT_TRUE(LonLatAPixel(g, 10.0, 20.0, oeste));
    const double derecha =
        (oeste.x - 100) * std::cos(polo * kGrado) - (oeste.y - 120) * std::sin(polo * kGrado);
    EXPECT_GT(derecha, 20.0);
    // The far side is not seen.
    EXPECT_FALSE(LonLatAPixel(g, 220.0, 0.0, p));
    EXPECT_FALSE(PixelALonLat(g, 100 + 51, 120 + 51, p));
  }
  // Shown with the first row at the bottom, the same angle turns the other way on the rows:
  // the pole above the centre as shown is at a larger row.
  GeometriaDisco arriba = Geometria(100, 120, 50, 0.065, 30.0, 0.0, 40.0);
  arriba.filasArriba = true;
  PuntoDisco polo;
  ASSERT_TRUE(LonLatAPixel(arriba, 0.0, 90.0, polo));
  EXPECT_NEAR(polo.x, 100 - 50 * (1 - 0.065) * std::sin(30 * kGrado), 1e-9);
  EXPECT_NEAR(polo.y, 120 + 50 * (1 - 0.065) * std::cos(30 * kGrado), 1e-9);
  // Round trips over the visible hemisphere of an oblate, tilted disc, both row directions.
  for (const bool filasArriba : {false, true}) {
    GeometriaDisco g = Geometria(300, 200, 120, 0.098, 17.0, -25.0, 300.0);
    g.filasArriba = filasArriba;
    for (double lat = -80; lat <= 80; lat += 10) {
      for (double dl = -80; dl <= 80; dl += 10) {
        PuntoDisco p, q;
        if (!LonLatAPixel(g, 300.0 + dl, lat, p) || p.mu < 0.05) continue;
        ASSERT_TRUE(PixelALonLat(g, p.x, p.y, q));
        EXPECT_NEAR(DifLon(q.lon, 300.0 + dl), 0.0, 1e-7) << lat << " " << dl;
        EXPECT_NEAR(q.lat, lat, 1e-7);
        EXPECT_NEAR(LatitudGrafica(LatitudCentrica(lat, 0.098), 0.098), lat, 1e-9);
      }
    }
  }
}

struct CasoLimbo {
  const char* nombre;
  double cx, cy, radio, f, polo, latT, k;
  bool conSol;
  double latSol, lonSol;  // relative to the central meridian
  double sigma = 0.0;     // seeing blur, pixels
  // For centre and radius. A limb darkened to nothing and blurred has no sharp edge: the fit
  // finds it inside the geometric limb.
  double tolerancia = 0.2;
};

// A separable Gaussian blur, edges clamped.
void Desenfoca(Imagen& im, double sigma) {
  if (sigma <= 0.0) return;
  const int r = static_cast<int>(std::ceil(4 * sigma));
  std::vector<double> w(2 * r + 1);
  double suma = 0.0;
  for (int i = -r; i <= r; ++i) suma += w[i + r] = std::exp(-0.5 * i * i / (sigma * sigma));
  for (double& x : w) x /= suma;
  const long an = im.Ancho(), al = im.Alto();
  std::vector<double> a(im.Pixeles().begin(), im.Pixeles().end()), b(a.size());
  for (long y = 0; y < al; ++y) {
    for (long x = 0; x < an; ++x) {
      double v = 0.0;
      for (int i = -r; i <= r; ++i) v += w[i + r] * a[y * an + std::clamp(x + i, 0L, an - 1)];
      b[y * an + x] = v;
    }
  }
  std::vector<int16_t> px(a.size());
  for (long y = 0; y < al; ++y) {
    for (long x = 0; x < an; ++x) {
      double v = 0.0;
      for (int i = -r; i <= r; ++i) v += w[i + r] * b[std::clamp(y + i, 0L, al - 1) * an + x];
      px[y * an + x] = static_cast<int16_t>(std::lround(v));
    }
  }
  im.CambiaPixeles(im.Ancho(), im.Alto(), std::move(px));
}

class LimboTest : public ::testing::TestWithParam<CasoLimbo> {};

TEST_P(LimboTest, AjusteYPosicionesDeManchas) {
  const CasoLimbo& c = GetParam();
  DiscoSintetico d;
  d.ancho = 300;
  d.alto = 260;
  d.geometria = Geometria(c.cx, c.cy, c.radio, c.f, c.polo, c.latT, 120.0);
  d.geometria.conSol = c.conSol;
  d.geometria.latSol = c.latSol;
  d.geometria.lonSol = 120.0 + c.lonSol;
  d.k = c.k;
  d.bandas = true;
  const double manchas[][2] = {{120, 0}, {135, 15}, {105, -12}, {125, -25}};
  for (const auto& m : manchas) d.manchas.push_back({m[0], m[1], 2.5, 0.6});
  Imagen im, limpia;
  RenderizaDisco(d, im);
  DiscoSintetico sin = d;
  sin.manchas.clear();
  RenderizaDisco(sin, limpia);
  Desenfoca(im, c.sigma);
  Desenfoca(limpia, c.sigma);

  // The fit starts from the estimate of the bright area, the shape and angle known.
  GeometriaDisco inicial = d.geometria;
  EstimaDisco(im, inicial);
  EXPECT_NEAR(inicial.radio, c.radio, 0.3 * c.radio);
  const AjusteLimbo a = AjustaLimbo(im, inicial);
  EXPECT_NEAR(a.geometria.cx, c.cx, c.tolerancia);
  EXPECT_NEAR(a.geometria.cy, c.cy, c.tolerancia);
  EXPECT_NEAR(a.geometria.radio, c.radio, c.tolerancia);
  EXPECT_LT(a.rms, 0.2);
  EXPECT_GT(a.usados, 40);

  // Spots near the disc's centre, big enough to be measured, found within a degree.
  if (c.radio < kRadioManchas) return;
  for (const auto& m : manchas) {
    SCOPED_TRACE(std::to_string(m[0]) + " " + std::to_string(m[1]));
    PuntoDisco p;
    ASSERT_TRUE(LonLatAPixel(d.geometria, m[0], m[1], p));
    double x, y;
    ASSERT_TRUE(Centroide(im, limpia, p.x, p.y, static_cast<int>(c.radio * 0.1) + 2, x, y));
    ASSERT_TRUE(PixelALonLat(a.geometria, x, y, p));
    EXPECT_NEAR(DifLon(p.lon, m[0]), 0.0, 1.0);
    EXPECT_NEAR(p.lat, m[1], 1.0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Discos, LimboTest,
    ::testing::Values(
        CasoLimbo{"JupiterRecto", 150.3, 130.6, 90.0, 0.06487, 0.0, 3.0, 0.8, false, 0, 0},
        CasoLimbo{"JupiterGirado", 148.7, 127.2, 80.4, 0.06487, 23.0, -2.5, 0.9, false, 0, 0},
        CasoLimbo{"SaturnoInclinado", 151.1, 131.9, 70.2, 0.09796, -160.0, 25.0, 0.7, false, 0, 0},
        // Mars at a phase of 40 deg: the terminator's side is left out.
        CasoLimbo{"MarteConFase", 140.5, 128.4, 60.0, 0.00589, 10.0, 12.0, 0.9, true, 5.0, 40.0},
        CasoLimbo{"Plano", 150.3, 130.6, 90.0, 0.06487, 0.0, 3.0, 0.5, false, 0, 0},
        CasoLimbo{"Lambert", 150.3, 130.6, 90.0, 0.06487, 0.0, 3.0, 1.0, false, 0, 0},
        CasoLimbo{"Seeing", 150.3, 130.6, 90.0, 0.06487, 0.0, 3.0, 0.8, false, 0, 0, 1.5, 0.75},
        CasoLimbo{"SeeingPlano", 150.3, 130.6, 90.0, 0.06487, 0.0, 3.0, 0.5, false, 0, 0, 1.5},
        CasoLimbo{"Pequeno", 60.2, 70.7, 12.5, 0.06487, 0.0, 0.0, 0.8, false, 0, 0}),
    [](const ::testing::TestParamInfo<CasoLimbo>& i) { return std::string(i.param.nombre); });

// The pole angle freed: a start 3 degrees off comes back to the rendered one.
TEST(DiscoTest, AjusteDelAnguloDelPolo) {
  DiscoSintetico d;
  d.ancho = d.alto = 220;
  d.geometria = Geometria(110.4, 108.9, 90.0, 0.09796, 27.0, 10.0, 0.0);
  Imagen im;
  RenderizaDisco(d, im);
  GeometriaDisco inicial = d.geometria;
  inicial.anguloPolo = 30.0;
  OpcionesLimbo op;
  op.ajustaAngulo = true;
  const AjusteLimbo a = AjustaLimbo(im, inicial, op);
  EXPECT_NEAR(a.geometria.anguloPolo, 27.0, 0.3);
  EXPECT_NEAR(a.geometria.radio, 90.0, 0.2);
}

TEST(DiscoTest, EntradaMalaDaMensajesClaros) {
  struct Caso {
    const char* nombre;
    double cx, cy, radio;
    int id;
  };
  const Caso casos[] = {
      {"TocaElBorde", 20.0, 100.0, 40.0, 12480},
      {"Diminuto", 100.0, 100.0, 6.0, 12481},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    DiscoSintetico d;
    d.ancho = d.alto = 200;
    d.geometria = Geometria(c.cx, c.cy, c.radio, 0.06, 0, 0, 0);
    Imagen im;
    RenderizaDisco(d, im);
    try {
      GeometriaDisco g = d.geometria;
      EstimaDisco(im, g);
      AjustaLimbo(im, g);
      ADD_FAILURE() << "no error";
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), c.id) << e.Mensaje();
    }
  }
  // A blank image: nothing to fit, and no crash.
  Imagen vacia;
  vacia.CambiaPixeles(64, 64, std::vector<int16_t>(64 * 64, 5));
  GeometriaDisco g = Geometria(32, 32, 20, 0.06, 0, 0, 0);
  EXPECT_THROW(EstimaDisco(vacia, g), JError);
  try {
    AjustaLimbo(vacia, g);
    ADD_FAILURE() << "no error";
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12483);
  }
  // Geometry out of range.
  g.achatamiento = 0.9;
  EXPECT_THROW(AjustaLimbo(vacia, g), JError);
  g.achatamiento = 0.06;
  g.radio = std::nan("");
  EXPECT_THROW(AjustaLimbo(vacia, g), JError);
  // Sizes that would make a map or a cut without end are refused before any work.
  g.radio = 1e12;
  OpcionesMapa op;
  Imagen mapa;
  EXPECT_THROW(ProyeccionPolar(vacia, g, op, mapa, nullptr), JError);
  EXPECT_THROW(CorteFotometrico(vacia, g, TipoCorte::kMeridiano, op), JError);
  g.radio = 20.0;
  EXPECT_THROW(CorteFotometrico(vacia, g, TipoCorte::kLinea, op, 0, 0, 1e300, 0), JError);
  op.resolucion = 0.001;
  EXPECT_THROW(Planisferio(vacia, g, op, mapa, nullptr), JError);
}

// Spots found again on the planisphere and the polar projections where their coordinates say.
TEST(DiscoTest, MapasDevuelvenLasManchas) {
  DiscoSintetico d;
  d.ancho = d.alto = 240;
  d.geometria = Geometria(120.4, 119.6, 100.0, 0.06487, 12.0, 8.0, 200.0);
  d.k = 0.8;
  const double manchas[][2] = {{200, 0}, {230, 30}, {170, -20}, {210, 55}};
  for (const auto& m : manchas) d.manchas.push_back({m[0], m[1], 3.0, 0.6});
  Imagen im, limpia;
  im.CambiaTipoObjeto(kJupiter);
  limpia.CambiaTipoObjeto(kJupiter);
  RenderizaDisco(d, im);
  DiscoSintetico sin = d;
  sin.manchas.clear();
  RenderizaDisco(sin, limpia);

  struct Mapa {
    const char* nombre;
    bool polar, sur, estereo;
    int tipo;
  };
  const Mapa mapas[] = {{"Planisferio", false, false, false, kPlanJupiter},
                        {"PolarNorteOrto", true, false, false, kProyPolJup},
                        {"PolarNorteEstereo", true, false, true, kProyPolJup},
                        {"PolarSurOrto", true, true, false, kProyPolJup}};
  for (const Mapa& m : mapas) {
    SCOPED_TRACE(m.nombre);
    OpcionesMapa op;
    op.resolucion = 0.5;
    op.sur = m.sur;
    op.estereografica = m.estereo;
    op.minnaert = true;
    op.k = d.k;
    Imagen a, b;
    if (m.polar) {
      ProyeccionPolar(im, d.geometria, op, a, nullptr);
      ProyeccionPolar(limpia, d.geometria, op, b, nullptr);
    } else {
      Planisferio(im, d.geometria, op, a, nullptr);
      Planisferio(limpia, d.geometria, op, b, nullptr);
    }
    EXPECT_EQ(a.TipoObjeto(), m.tipo);
    for (const auto& s : manchas) {
      if (m.polar && (m.sur ? s[1] > -10 : s[1] < 10)) continue;
      SCOPED_TRACE(std::to_string(s[0]) + " " + std::to_string(s[1]));
      double col, fila;
      if (m.polar) {
        LonLatAPolar(op, a.Ancho(), 200.0, s[0], LatitudCentrica(s[1], 0.06487), col, fila);
      } else {
        LonLatAPlanisferio(op, 200.0, s[0], s[1], col, fila);
      }
      double x, y;
      ASSERT_TRUE(Centroide(a, b, col, fila, 12, x, y));
      EXPECT_NEAR(x, col, 1.0);
      EXPECT_NEAR(y, fila, 1.0);
    }
    // The Minnaert correction flattens the clean disc to about the sub-Earth brightness.
    if (!m.polar) {
      double col, fila;
      LonLatAPlanisferio(op, 200.0, 240.0, -30.0, col, fila);
      EXPECT_NEAR(b.Pixel(std::lround(col), std::lround(fila)), d.brillo + d.fondo,
                  0.03 * d.brillo);
    }
  }

  // Same bits for any thread count.
  OpcionesMapa op;
  Imagen uno, dos;
  FijaHilos(1);
  Planisferio(im, d.geometria, op, uno, nullptr);
  FijaHilos(2);
  Planisferio(im, d.geometria, op, dos, nullptr);
  FijaHilos(0);
  EXPECT_EQ(uno.Pixeles(), dos.Pixeles());

  // Cuts: the central meridian from pole to pole through the centre, in planetocentric
  // latitude; the equator through the centre; Minnaert-corrected values flat on the clean disc.
  op.minnaert = true;
  op.k = d.k;
  const auto meridiano = CorteFotometrico(limpia, d.geometria, TipoCorte::kMeridiano, op);
  ASSERT_GT(meridiano.size(), 150u);
  for (const MuestraCorte& s : meridiano) {
    if (std::fabs(s.latCentrica) < 89.0) {
      EXPECT_NEAR(DifLon(s.lon, 200.0), 0.0, 1e-6);
    }
  }
  EXPECT_GT(meridiano.front().latCentrica, 60.0);
  EXPECT_LT(meridiano.back().latCentrica, -60.0);
  const auto ecuador = CorteFotometrico(limpia, d.geometria, TipoCorte::kEcuador, op);
  ASSERT_GT(ecuador.size(), 150u);
  for (const MuestraCorte& s : ecuador) {
    EXPECT_NEAR(s.latCentrica, 0.0, 1e-6);
    PuntoDisco p;
    if (PixelALonLat(d.geometria, s.x, s.y, p) && p.mu > 0.3) {
      EXPECT_NEAR(s.corregido, d.brillo + d.fondo, 0.03 * d.brillo);
    }
  }
  const auto linea = CorteFotometrico(limpia, d.geometria, TipoCorte::kLinea, op, -10, 5, 250, 240);
  EXPECT_FALSE(linea.empty());
  EXPECT_LT(linea.size(), 261u);
}

// The macro words make the same maps as the library, from the line that records them; bad
// arguments refuse the line.
TEST(DiscoTest, PalabrasDeMacro) {
  InstalaSistema();
  DiscoSintetico d;
  d.ancho = d.alto = 120;
  d.geometria = Geometria(60.2, 59.7, 50.0, 0.06487, 10.0, 5.0, 33.0);
  Imagen im;
  RenderizaDisco(d, im);
  im.CambiaTipoObjeto(kSaturno);
  struct Caso {
    bool polar;
    OpcionesMapa op;
    int tipo;
  };
  OpcionesMapa plan, polar;
  plan.resolucion = 2.0;
  plan.minnaert = true;
  plan.k = 0.9;
  polar.sur = true;
  polar.estereografica = true;
  polar.lado = 64;
  const Caso casos[] = {{false, plan, kPlanSaturno}, {true, polar, kProyPolSat}};
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.polar);
    Imagen esperada;
    const std::string linea =
        c.polar ? LineaProyeccionPolar(d.geometria, c.op) : LineaPlanisferio(d.geometria, c.op);
    if (c.polar) {
      ProyeccionPolar(im, d.geometria, c.op, esperada, nullptr);
    } else {
      Planisferio(im, d.geometria, c.op, esperada, nullptr);
    }
    Imagen copia;
    copia.CopiaPixeles(im);
    copia.CambiaTipoObjeto(kSaturno);
    Ranuras r(copia);
    ASSERT_EQ(EjecutaLinea(r, linea, 1), 1) << linea;
    EXPECT_EQ(copia.Ancho(), esperada.Ancho());
    EXPECT_EQ(copia.Pixeles(), esperada.Pixeles());
    EXPECT_EQ(copia.TipoObjeto(), c.tipo);
  }
  Imagen otra;
  otra.CopiaPixeles(im);
  Ranuras r(otra);
  for (const char* mala :
       {"PLANISFERIO 60 60 50 0.06 10 5 33", "PLANISFERIO 60 60 50 0.9 10 5 33 1",
        "PLANISFERIO 60 60 50 0.06 10 95 33 1", "PROYPOLAR 60 60 50 0.06 10 5 33 OESTE 0",
        "PROYPOLAR 60 60 50 0.06 10 5 33 NORTE -4"}) {
    EXPECT_EQ(EjecutaLinea(r, mala, 1), 0) << mala;
  }
}

class LienzoCuenta : public Lienzo {
 public:
  void Linea(double, double, double, double, Color) override { ++lineas; }
  void Circulo(double, double, double, Color) override {}
  void Texto(double, double, const std::string&, Color) override { ++textos; }
  int lineas = 0, textos = 0;
};

// The module through its menus: the fit from the settings' orientation, a feature measured by
// the right-click menu, the manual corrections, the overlay and the side data.
TEST(DiscoTest, ModuloDelPlaneta) {
  InstalaSistema();
  DiscoSintetico d;
  d.ancho = d.alto = 200;
  d.geometria = Geometria(101.3, 98.2, 80.0, 1.0 - 66854.0 / 71492.0, 12.0, -4.0, 250.0);
  d.manchas.push_back({250.0, 10.0, 3.0, 0.6});
  Imagen im;
  RenderizaDisco(d, im);
  im.CambiaTipoObjeto(kJupiter);
  ASSERT_NE(DatosPlanetaDe(im), nullptr);
  // Without the orientation, the fit says what is missing.
  for (const char* c : {"AnguloPolo", "LatTierra", "MeridianoCentral"}) {
    AjustesActuales().Asigna("PREFPLANETA", c, "");
  }
  try {
    ComandoImagen(im, 0, kAjustarLimbo, 0);
    ADD_FAILURE() << "no error";
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12485);
  }
  AjustesActuales().Asigna("PREFPLANETA", "AnguloPolo", "12");
  AjustesActuales().Asigna("PREFPLANETA", "LatTierra", "-4");
  AjustesActuales().Asigna("PREFPLANETA", "MeridianoCentral", "250");
  const auto menu = MenuContextualImagen(im);
  ASSERT_TRUE(menu);
  ASSERT_NE(menu->Busca(kMedirDetalle), nullptr);
  EXPECT_FALSE(menu->Busca(kMedirDetalle)->activo);
  ComandoImagen(im, 0, kAjustarLimbo, 0);
  DatosPlaneta& dp = *DatosPlanetaDe(im);
  ASSERT_TRUE(dp.conGeometria);
  EXPECT_NEAR(dp.geometria.cx, 101.3, 0.2);
  EXPECT_NEAR(dp.geometria.cy, 98.2, 0.2);
  EXPECT_NEAR(dp.geometria.radio, 80.0, 0.2);
  EXPECT_TRUE(MenuContextualImagen(im)->Busca(kMedirDetalle)->activo);

  PuntoDisco p;
  ASSERT_TRUE(LonLatAPixel(d.geometria, 250.0, 10.0, p));
  ComandoContextualImagen(im, 0, kMedirDetalle,
                          {static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))});
  ASSERT_EQ(dp.detalles.size(), 1u);
  EXPECT_NEAR(DifLon(dp.detalles[0].lon, 250.0), 0.0, 1.0);
  EXPECT_NEAR(dp.detalles[0].lat, 10.0, 1.0);
  EXPECT_THROW(ComandoContextualImagen(im, 0, kMedirDetalle, {1, 1}), JError);
  EXPECT_EQ(CsvDetalles(dp).substr(0, 14), "n,x,y,lon,lat\n");

  ComandoImagen(im, 0, kRejillaDisco, 0);
  LienzoCuenta l;
  PintarImagen(im, l);
  EXPECT_GT(l.lineas, 200);  // outline, limb points and grid
  EXPECT_EQ(l.textos, 1);

  // Side data: written and read back into a fresh image of the type.
  std::vector<std::pair<std::string, std::string>> entradas;
  dp.Guarda(entradas);
  Imagen otra;
  otra.CambiaTipoObjeto(kJupiter);
  for (const auto& [k, v] : entradas) EXPECT_TRUE(otra.Analisis().Lee(k, v)) << k;
  // A damaged entry is taken and dropped.
  Imagen mala;
  mala.CambiaTipoObjeto(kJupiter);
  EXPECT_TRUE(mala.Analisis().Lee("PLANDISCO", "1 2 3"));
  EXPECT_TRUE(mala.Analisis().Lee("PLANDISCO", "1 2 -3 0 0 0 0"));
  EXPECT_FALSE(DatosPlanetaDe(mala)->conGeometria);
  const DatosPlaneta& leida = *DatosPlanetaDe(otra);
  EXPECT_NEAR(leida.geometria.radio, dp.geometria.radio, 1e-3);
  ASSERT_EQ(leida.detalles.size(), 1u);
  EXPECT_NEAR(leida.detalles[0].lat, dp.detalles[0].lat, 1e-3);

  // Manual corrections: move, scale, turn.
  const GeometriaDisco antes = dp.geometria;
  ComandoContextualImagen(im, 0, kMoverContorno, {90, 95});
  ComandoContextualImagen(im, 0, kAgrandarContorno, {0, 0});
  ComandoContextualImagen(im, 0, kGirarIzquierda, {0, 0});
  EXPECT_EQ(dp.geometria.cx, 90.0);
  EXPECT_EQ(dp.geometria.cy, 95.0);
  EXPECT_NEAR(dp.geometria.radio, antes.radio * 1.01, 1e-9);
  EXPECT_NEAR(dp.geometria.anguloPolo, antes.anguloPolo + 1.0, 1e-9);
  EXPECT_TRUE(dp.puntos.empty());
}

}  // namespace
}  // namespace orva
