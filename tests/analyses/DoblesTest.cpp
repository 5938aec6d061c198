// Double stars: position angles, components, trails from points and from star positions, side
// data entries, the calculation over images, menus, lines and overlay.
#include "analyses/Dobles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "analyses/ModuloDobles.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/Rango.h"
#include "core/TiposObjeto.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "stellar/CampoSintetico.h"

namespace orva {
namespace {

using prueba::CreaCampo;

class DoblesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    Rango() = RangoPixeles{0, 32767, 0};
    InstalaSistema();
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }

  // A trail: a Gaussian profile across rows (sigma 1.2) along y = y0 + pendiente (x - x0) for x
  // in [x0, x1], on a sky of 100.
  static void CreaTrazo(Imagen& im, int w, int h, int x0, int x1, double y0, double pendiente) {
    CreaCampo(im, w, h, 100, {});
    for (int x = x0; x <= x1; ++x) {
      const double yc = y0 + pendiente * (x - x0);
      for (int y = 0; y < h; ++y) {
        const double d = y - yc;
        im.PonPixel(static_cast<long>(x), static_cast<long>(y),
                    static_cast<int16_t>(std::lround(100 + 3000 * std::exp(-0.5 * d * d / 1.44))));
      }
    }
    im.Actualiza();
  }
};

void EsperaError(int id, const std::function<void()>& f) {
  try {
    f();
    ADD_FAILURE() << "no error, expected " << id;
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), id);
  }
}

TEST_F(DoblesTest, PositionAngles) {
  struct Caso {
    double x1, y1, x2, y2, ap;
  };
  const Caso casos[] = {
      {10, 20, 10, 40, 180},  // y1 < y2 and no x difference
      {10, 40, 10, 20, 0},   {10, 20, 30, 20, 90}, {30, 20, 10, 20, -90},  // same row
      {0, 0, 1, 1, 225},     {0, 0, -1, 1, 135},   {0, 0, 1, -1, 315},
      {0, 0, -1, -1, 45},    {5, 5, 5, 5, -90},
  };
  for (const Caso& c : casos) {
    EXPECT_NEAR(AnguloPosicion(c.x1, c.y1, c.x2, c.y2), c.ap, 1e-9)
        << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
  }
}

TEST_F(DoblesTest, ComponentsGiveAngleAndSeparation) {
  Imagen im;
  CreaCampo(im, 80, 80, 200, {{30.25, 20.5, 4000, 1.3}, {30.25, 50.5, 2500, 1.3}});
  im.CambiaTipoObjeto(kDoble);
  ComandoContextualImagen(im, 0, kDefinirPrincipal, {31, 21});
  DatosDobles& d = DatosDoblesDe(im);
  EXPECT_TRUE(d.a.definido);
  EXPECT_FALSE(d.parMedido);
  EXPECT_FALSE(MenuContextualImagen(im)->Busca(kDefinirPrincipal)->activo);
  EXPECT_TRUE(MenuContextualImagen(im)->Busca(kDefinirSecundaria)->activo);
  ComandoContextualImagen(im, 0, kDefinirSecundaria, {30, 50});
  ASSERT_TRUE(d.parMedido);
  EXPECT_NEAR(d.a.centroide.x, 30.25, 0.05);
  EXPECT_NEAR(d.ap, 180, 0.2);
  EXPECT_NEAR(d.distancia, 30, 0.05);
  // A failed measurement leaves the point undefined and the pair unmeasured.
  EsperaError(12137, [&] { ComandoContextualImagen(im, 0, kDefinirSecundaria, {60, 60}); });
  EXPECT_FALSE(d.b.definido);
  EXPECT_FALSE(d.parMedido);
  EXPECT_TRUE(d.a.definido);
  ComandoContextualImagen(im, 0, kLimpiarPuntos, {0, 0});
  EXPECT_FALSE(d.a.definido);
}

TEST_F(DoblesTest, TrailAlongARowHasAngleZero) {
  Imagen im;
  CreaTrazo(im, 100, 60, 10, 90, 30, 0.0);
  im.CambiaTipoObjeto(kDoble);
  ComandoContextualImagen(im, 0, kInicioTrazo1, {15, 31});
  const DatosDobles& d = DatosDoblesDe(im);
  EXPECT_TRUE(d.trazos[0].inicioMedido);
  EXPECT_FALSE(d.trazos[0].medido);
  ComandoContextualImagen(im, 0, kFinalTrazo1, {85, 28});
  const Trazo& t = d.trazos[0];
  ASSERT_TRUE(t.medido);
  EXPECT_EQ(t.letra, 'T');
  EXPECT_NEAR(t.inicio.y, 30, 1e-9);
  EXPECT_NEAR(t.angulo, 0.0, 1e-9);
  EXPECT_NEAR(t.pendiente, 0.0, 1e-12);
  EXPECT_NEAR(t.ordenada, 30.0, 1e-9);
  std::vector<std::string> l;
  InformacionImagen(im, l);
  EXPECT_EQ(l[6], "AP trazo:\t 0.00 grados.");
}

TEST_F(DoblesTest, TiltedTrailFollowsItsColumns) {
  Imagen im;
  CreaTrazo(im, 120, 60, 10, 100, 20, 0.2);  // 18 rows over 90 columns
  im.CambiaTipoObjeto(kDoble);
  ComandoContextualImagen(im, 0, kInicioTrazo2, {12, 20});
  ComandoContextualImagen(im, 0, kFinalTrazo2, {98, 37});
  const Trazo& t = DatosDoblesDe(im).trazos[1];
  ASSERT_TRUE(t.medido);
  EXPECT_NEAR(t.pendiente, 0.2, 0.005);
  EXPECT_NEAR(t.angulo, -std::atan(0.2) * 57.29577951308232, 0.3);
}

TEST_F(DoblesTest, TrailPointFailures) {
  Imagen im;
  CreaTrazo(im, 100, 60, 10, 90, 30, 0.0);
  const ParametrosCentroide p = LeeParametrosCentroide();
  EsperaError(12139, [&] { MidePuntoTrazo(im, 50, 3, p); });   // window above the image
  EsperaError(12139, [&] { MidePuntoTrazo(im, 50, 57, p); });  // below
  EsperaError(12139, [&] { MidePuntoTrazo(im, 100, 30, p); });
  EsperaError(12137, [&] { MidePuntoTrazo(im, 5, 30, p); });  // no trail in this column
  ParametrosCentroide estrecha = p;
  estrecha.maxFWHM = 1.0;
  EsperaError(12140, [&] { MidePuntoTrazo(im, 50, 30, estrecha); });
  const PuntoTrazoMedido q = MidePuntoTrazo(im, 50, 33, p);
  EXPECT_NEAR(q.y, 30, 1e-9);
  EXPECT_NEAR(q.fwhm, 2.3548 * 1.2, 0.1);
  // A trail whose two ends share a column has one point only.
  DatosDobles d;
  DefineExtremoTrazo(im, d, 0, false, 40, 30, p);
  EsperaError(12138, [&] { DefineExtremoTrazo(im, d, 0, true, 40, 31, p); });
  EXPECT_FALSE(d.trazos[0].finalDefinido);
  EXPECT_TRUE(d.trazos[0].inicioDefinido);
  EsperaError(12142, [] { RegresionLineal({}); });
}

TEST_F(DoblesTest, TrailFromAStarsTwoPositions) {
  Imagen im;
  CreaCampo(im, 80, 60, 100, {{20.5, 30.25, 3000, 1.3}, {60.5, 30.25, 3000, 1.3}});
  im.CambiaTipoObjeto(kDoble);
  ComandoContextualImagen(im, 0, kEstrInicial1, {21, 30});
  ComandoContextualImagen(im, 0, kEstrFinal1, {60, 31});
  const Trazo& t = DatosDoblesDe(im).trazos[0];
  ASSERT_TRUE(t.medido);
  EXPECT_EQ(t.letra, 'E');
  EXPECT_NEAR(t.angulo, 90, 1e-6);  // same row, left to right
  EXPECT_FALSE(MenuContextualImagen(im)->Busca(kEstrFinal1)->activo);
  EXPECT_TRUE(MenuContextualImagen(im)->Busca(kEstrFinal2)->activo);
}

TEST_F(DoblesTest, SideDataEntriesInTheirFormats) {
  DatosDobles d;
  d.a = {true, 10, 20, {10.004, 20.5}};
  d.b = {true, 10, 40, {10.0, 40.25}};
  d.parMedido = true;
  d.ap = 180;
  d.distancia = 19.75;
  Trazo& t = d.trazos[1];
  t.inicioMedido = t.finalMedido = t.medido = true;
  t.estrOrigenDefinida = t.estrFinalDefinida = true;
  t.letraInicio = t.letraFin = t.letra = 'E';
  t.inicio = {1.5, 2.5};
  t.fin = {3.5, 4.5};
  t.angulo = 45;
  t.pendiente = 1;
  t.ordenada = 1;
  std::vector<std::pair<std::string, std::string>> e;
  d.Guarda(e);
  const std::vector<std::pair<std::string, std::string>> esperado = {
      {"DBLPRIN", "(10.00,20.50)"},
      {"DBLSEC", "(10.00,40.25)"},
      {"DBLAP", "180.00"},
      {"DBLDIST", "19.75"},
      {"DBLINITR2", "(E,1.50,2.50)"},
      {"DBLFINTR2", "(E,3.50,4.50)"},
      {"DBLANGTR2", "(45.00,1.00,1.00)"},
  };
  EXPECT_EQ(e, esperado);
  DatosDobles l;
  for (const auto& [k, v] : e) EXPECT_TRUE(l.Lee(k, v)) << k;
  EXPECT_FALSE(l.Lee("VARESTRELLA", "x"));
  EXPECT_FALSE(l.Lee("DBLANGTR3", "(1,2,3)"));
  std::vector<std::pair<std::string, std::string>> e2;
  l.Guarda(e2);
  EXPECT_EQ(e2, esperado);
  EXPECT_TRUE(l.trazos[1].estrOrigenDefinida);
  EXPECT_FALSE(l.trazos[1].inicioDefinido);
  EXPECT_FALSE(l.trazos[0].medido);
  // Malformed values change nothing.
  DatosDobles m;
  for (const char* k : {"DBLPRIN", "DBLAP", "DBLINITR1", "DBLANGTR1"}) {
    EXPECT_TRUE(m.Lee(k, "(X,1)"));
  }
  EXPECT_TRUE(m.Lee("DBLINITR1", "(Q,1,2)"));
  std::vector<std::pair<std::string, std::string>> e3;
  m.Guarda(e3);
  EXPECT_TRUE(e3.empty());
}

MedidaDoble Par(double distancia, double ap) {
  MedidaDoble m;
  m.parMedido = true;
  m.distancia = distancia;
  m.ap = ap;
  return m;
}
MedidaDoble Trazos(std::vector<double> angulos) {
  MedidaDoble m;
  m.angulosTrazo = std::move(angulos);
  return m;
}

TEST_F(DoblesTest, CalculationWithOneImageHasZeroDeviation) {
  const ResultadoCalculoDobles r = CalculaDobles({Par(20, 0)}, {Trazos({1.5})}, {Par(10, 91.5)}, 5);
  EXPECT_DOUBLE_EQ(r.escala.media, 0.25);
  EXPECT_DOUBLE_EQ(r.escala.desviacion, 0.0);
  ASSERT_TRUE(r.completo);
  EXPECT_DOUBLE_EQ(r.separacion.media, 2.5);
  EXPECT_DOUBLE_EQ(r.ap, 90.0);
  EXPECT_DOUBLE_EQ(r.desvAP, 0.0);
  const auto t = r.Textos();
  EXPECT_EQ(t[0], "0.2500 \"/p ± 0.0000");
  EXPECT_EQ(t[1], "1.50 ° ± 0.00");
  EXPECT_EQ(t[2], "2.50 \"/p ± 0.00");
  EXPECT_EQ(t[3], "90.00 ° ± 0.00");
}

TEST_F(DoblesTest, CalculationUsesSampleDeviations) {
  const ResultadoCalculoDobles r = CalculaDobles(
      {Par(10, 0), Par(20, 0)}, {Trazos({1, 3}), Trazos({2})}, {Par(10, 100), Par(12, 104)}, 10);
  EXPECT_DOUBLE_EQ(r.escala.media, 0.75);
  EXPECT_NEAR(r.escala.desviacion, std::sqrt(0.125), 1e-12);  // (1, 0.5) with n - 1
  EXPECT_DOUBLE_EQ(r.orientacion.media, 2.0);
  EXPECT_DOUBLE_EQ(r.orientacion.desviacion, 1.0);
  EXPECT_DOUBLE_EQ(r.separacion.media, 8.25);
  EXPECT_NEAR(r.separacion.desviacion, std::sqrt(2 * 0.75 * 0.75 / 1), 1e-12);
  EXPECT_DOUBLE_EQ(r.ap, 100.0);
  EXPECT_NEAR(r.desvAP, std::sqrt(8.0), 1e-12);
}

TEST_F(DoblesTest, CalculationWithoutDistanceOrSelections) {
  auto t = CalculaDobles({Par(10, 0)}, {Trazos({1})}, {Par(10, 0)}, 0).Textos();
  EXPECT_EQ(t[0], "0.0 \"/p ± 0.0");
  EXPECT_EQ(t[1], "0.0 ° ± 0.0");
  EXPECT_EQ(t[2], "0.0 \"/p ± 0.0");
  EXPECT_EQ(t[3], "0.0 ° ± 0.0");
  const ResultadoCalculoDobles r = CalculaDobles({Par(10, 0)}, {}, {Par(10, 0)}, 5);
  EXPECT_FALSE(r.completo);
  EXPECT_EQ(r.Textos()[0], "0.5000 \"/p ± 0.0000");
  EXPECT_EQ(r.Textos()[3], "0.0 ° ± 0.0");
  // A pair of zero separation gives no scale.
  EXPECT_EQ(CalculaDobles({Par(0, 0)}, {}, {}, 5).escala.n, 0);
}

TEST_F(DoblesTest, ObjectListsForTheCalculation) {
  Imagen a, b, c;
  for (Imagen* im : {&a, &b, &c}) CreaCampo(*im, 10, 10, 0, {});
  a.CambiaTipoObjeto(kVariable);
  EsperaError(12066, [&] { ObjetosCalculoDobles({&a}); });
  b.CambiaTipoObjeto(kDoble);
  b.datos.nombreObjeto = "STF 1";
  EsperaError(12067, [&] { ObjetosCalculoDobles({&a, &b}); });
  DatosDoblesDe(b).parMedido = true;
  EsperaError(12068, [&] { ObjetosCalculoDobles({&a, &b}); });
  c.CambiaTipoObjeto(kDoble);
  c.datos.nombreObjeto = "STF 1";
  DatosDoblesDe(c).trazos[1].medido = true;
  DatosDoblesDe(c).parMedido = true;
  const ObjetosCalculo o = ObjetosCalculoDobles({&a, &b, &c});
  EXPECT_EQ(o.conPar, std::vector<std::string>{"STF 1"});
  EXPECT_EQ(o.conTrazo, std::vector<std::string>{"STF 1"});
}

struct LienzoRegistro : Lienzo {
  void Linea(double, double, double, double, Color) override { ++lineas; }
  void Circulo(double, double, double, Color) override {}
  void Texto(double x, double, const std::string& t, Color c) override {
    textos.push_back(t);
    xs.push_back(x);
    blanco = blanco && c.r == 255 && c.g == 255 && c.b == 255;
  }
  int lineas = 0;
  std::vector<std::string> textos;
  std::vector<double> xs;
  bool blanco = true;
};

TEST_F(DoblesTest, MenusLinesAndOverlay) {
  Imagen im;
  CreaCampo(im, 10, 10, 0, {});
  im.CambiaTipoObjeto(kDoble);
  const std::optional<Menu> m = MenuAnalisisImagen(im);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->Busca(6400)->etiqueta, "&Preferencias");
  EXPECT_EQ(m->Busca(6401)->etiqueta, "&Calcular");
  const std::optional<Menu> c = MenuContextualImagen(im);
  EXPECT_EQ(c->titulo, "POPUP ANADOBLES");
  for (int id : {6450, 6451, 6452, 6453, 6454, 6455, 6456, 6457, 6458, 6459, 5177}) {
    ASSERT_NE(c->Busca(id), nullptr) << id;
    EXPECT_TRUE(c->Busca(id)->activo) << id;
  }
  EXPECT_EQ(c->Busca(6457)->etiqueta, "Definir Final Trazo 2");

  DatosDobles& d = DatosDoblesDe(im);
  std::vector<std::string> l;
  InformacionImagen(im, l);
  ASSERT_EQ(l.size(), 12u);  // 4 pair lines, 3 per trail, 2 default lines
  EXPECT_EQ(l[0], "Cent. A: NO HAY");
  EXPECT_EQ(l[2], "AP: NO HAY");
  d.a = {true, 1, 2, {1.5, 2.25}};
  d.b = {true, 1, 2, {3, 4}};
  d.parMedido = true;
  d.ap = 12.345;
  d.distancia = 2.5;
  d.trazos[0].inicioMedido = d.trazos[0].finalMedido = true;
  d.trazos[0].letraInicio = d.trazos[0].letraFin = 'E';
  d.trazos[1].inicioMedido = true;
  l.clear();
  InformacionImagen(im, l);
  EXPECT_EQ(l[0], "Cent. A: (1.50,2.25)");
  EXPECT_EQ(l[1], "Cent. B: (3.00,4.00)");
  EXPECT_EQ(l[2], "AP: 12.35");
  EXPECT_EQ(l[3], "Dist (pix): 2.50");
  EXPECT_EQ(l[4], "Ini. Trazo: (0.00,0.00)");

  LienzoRegistro r;
  PintarImagen(im, r);
  EXPECT_EQ(r.textos, (std::vector<std::string>{"A", "B", "O", "F"}));
  EXPECT_DOUBLE_EQ(r.xs[0], 11.5);
  EXPECT_TRUE(r.blanco);
  // Crosses (2 lines each) at A, B, two trail-1 points and the trail-2 start; one joining line.
  EXPECT_EQ(r.lineas, 2 * 5 + 1);
}

}  // namespace
}  // namespace orva
