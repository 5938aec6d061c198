// The star list (unique names, side data entries) and the variable-star module: menus,
// commands at a point, data-pane lines and overlay marks.
#include "stellar/ModuloVariables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/Rango.h"
#include "core/TiposObjeto.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "stellar/CampoSintetico.h"
#include "stellar/DatosVariables.h"

namespace orva {
namespace {

using prueba::CreaCampo;

class ModuloVariablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    Rango() = RangoPixeles{0, 32767, 0};
    InstalaSistema();
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }
};

ObjetoEstelar Estrella(const std::string& nombre, double x, double y) {
  ObjetoEstelar e;
  e.nombre = nombre;
  e.x = x;
  e.y = y;
  e.cielo = 101.25;
  e.desvCielo = 3.5;
  e.numPixeles = 149;
  e.sumaBruta = 25000.5;
  e.sumaLimpia = 9913.25;
  e.magnitud = 15.009523;
  e.marca = 2;
  return e;
}

TEST_F(ModuloVariablesTest, StarNamesAreUnique) {
  DatosVariables d;
  EXPECT_TRUE(d.Anade(Estrella("1", 1, 1)));
  EXPECT_TRUE(d.Anade(Estrella("V", 2, 2)));
  EXPECT_FALSE(d.Anade(Estrella("1", 3, 3)));
  ASSERT_EQ(d.Estrellas().size(), 2u);
  EXPECT_DOUBLE_EQ(d.Busca("1")->x, 1);
  EXPECT_TRUE(d.Borra("1"));
  EXPECT_FALSE(d.Borra("1"));
  EXPECT_EQ(d.Busca("1"), nullptr);
}

// A saved image keeps its stars: every field comes back exactly, the names with any character.
TEST_F(ModuloVariablesTest, StarListRoundTripsThroughSideDataEntries) {
  DatosVariables d;
  d.Anade(Estrella("1", 10.123456789012, 20.5));
  d.Anade(Estrella("SS Cyg (var), comp", -0.1, 1e-7));
  std::vector<std::pair<std::string, std::string>> e;
  d.Guarda(e);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].first, "VARESTRELLA");
  DatosVariables l;
  for (const auto& [k, v] : e) EXPECT_TRUE(l.Lee(k, v));
  EXPECT_FALSE(l.Lee("DBLPRIN", "(1,2)"));
  ASSERT_EQ(l.Estrellas().size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const ObjetoEstelar &a = d.Estrellas()[i], &b = l.Estrellas()[i];
    EXPECT_EQ(a.nombre, b.nombre);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.cielo, b.cielo);
    EXPECT_EQ(a.desvCielo, b.desvCielo);
    EXPECT_EQ(a.numPixeles, b.numPixeles);
    EXPECT_EQ(a.sumaBruta, b.sumaBruta);
    EXPECT_EQ(a.sumaLimpia, b.sumaLimpia);
    EXPECT_EQ(a.magnitud, b.magnitud);
    EXPECT_EQ(a.marca, b.marca);
  }
  // Malformed entries are skipped, a repeated name is ignored.
  for (const char* malo : {"", "(", "()", "(1,2,3)", "(1,2,3,4,5,6,7,8,9,)", "1,2,3,4,5,6,7,8,9,x",
                           "(a,2,3,4,5,6,7,8,9,x)"}) {
    EXPECT_TRUE(l.Lee("VARESTRELLA", malo)) << malo;
  }
  EXPECT_TRUE(l.Lee("VARESTRELLA", e[0].second));
  EXPECT_EQ(l.Estrellas().size(), 2u);
}

TEST_F(ModuloVariablesTest, VariableImagesGetAStarListThatCopiesDeep) {
  Imagen im;
  im.CambiaTipoObjeto(kVariable);
  ASSERT_NE(DatosVariablesDe(static_cast<const Imagen&>(im)), nullptr);
  DatosVariablesDe(im).Anade(Estrella("1", 5, 5));
  const std::unique_ptr<DatosAnalisis> copia = im.Analisis().Clona();
  DatosVariablesDe(im).BorraTodas();
  EXPECT_EQ(dynamic_cast<DatosVariables&>(*copia).Estrellas().size(), 1u);
}

TEST_F(ModuloVariablesTest, AnalysisMenuHasTheSearchSubmenu) {
  Imagen im;
  CreaCampo(im, 40, 40, 100, {});
  im.CambiaTipoObjeto(kVariable);
  const std::optional<Menu> m = MenuAnalisisImagen(im);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->titulo, Cadena(14003));
  ASSERT_FALSE(m->elementos.empty());
  const ElementoMenu& buscar = m->elementos[0];
  EXPECT_EQ(buscar.etiqueta, "Buscar &Estrellas");
  ASSERT_EQ(buscar.submenu.size(), 2u);
  EXPECT_EQ(buscar.submenu[0].id, 6022);
  EXPECT_EQ(buscar.submenu[0].etiqueta, "Metodo TASS");
  EXPECT_EQ(buscar.submenu[1].id, 6023);
  EXPECT_EQ(buscar.submenu[1].etiqueta, "Metodo PCVISTA");
  EXPECT_FALSE(m->Busca(kBorrarEstrellas)->activo);  // no stars yet
  const std::optional<Menu> c = MenuContextualImagen(im);
  ASSERT_TRUE(c.has_value());
  EXPECT_EQ(c->titulo, "POPUP ANAVARIABLES");
  EXPECT_TRUE(c->Busca(kAnadirEstrella)->activo);
  EXPECT_FALSE(c->Busca(kBorrarEstrella)->activo);
}

TEST_F(ModuloVariablesTest, SearchCommandsRunThroughTheModule) {
  Imagen im;
  CreaCampo(im, 110, 80, 200, {{30.3, 25.6, 4000}, {70.7, 40.2, 2500}});
  im.CambiaTipoObjeto(kVariable);
  ComandoImagen(im, 0, kBuscarPCVista, 0);
  EXPECT_EQ(DatosVariablesDe(im).Estrellas().size(), 2u);
  ComandoImagen(im, 0, kBuscarTASS, 1);  // bit 1: delete the stars first
  EXPECT_EQ(DatosVariablesDe(im).Estrellas().size(), 2u);
  EXPECT_TRUE(MenuAnalisisImagen(im)->Busca(kBorrarEstrellas)->activo);
  ComandoImagen(im, 0, kBorrarEstrellas, 0);
  EXPECT_TRUE(DatosVariablesDe(im).Estrellas().empty());
}

TEST_F(ModuloVariablesTest, StarAtAPointIsMeasuredOrRefused) {
  Imagen im;
  CreaCampo(im, 80, 80, 100, {{30, 30, 3000}, {50, 50, 40000}});
  im.CambiaTipoObjeto(kVariable);
  ComandoContextualImagen(im, 0, kAnadirEstrella, {30, 30});
  ASSERT_EQ(DatosVariablesDe(im).Estrellas().size(), 1u);
  EXPECT_EQ(DatosVariablesDe(im).Estrellas()[0].nombre, "1");
  struct Caso {
    PuntoImagen p;
    int error;
  };
  for (const Caso& c : {Caso{{50, 50}, 12077}, Caso{{10, 65}, 12076}}) {
    try {
      AnadeEstrellaEn(im, c.p.x, c.p.y);
      ADD_FAILURE() << c.error;
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), c.error);
    }
  }
  // The smallest free number is taken.
  EXPECT_EQ(AnadeEstrellaEn(im, 31, 30), "2");
  DatosVariablesDe(im).Borra("1");
  EXPECT_EQ(AnadeEstrellaEn(im, 30, 31), "1");
  EXPECT_TRUE(BorraEstrellaEn(im, 33, 33));
  EXPECT_FALSE(BorraEstrellaEn(im, 70, 10));
  EXPECT_EQ(DatosVariablesDe(im).Estrellas().size(), 1u);
}

// Field roles by the right-click items: a star is measured when none is listed at the point,
// one variable at a time, a deleted star's role does not pass to the next star of its name.
TEST_F(ModuloVariablesTest, FieldRolesAtAPoint) {
  Imagen im;
  CreaCampo(im, 100, 100, 100, {{20, 20, 3000}, {50, 50, 3000}, {80, 30, 3000}, {30, 80, 40000}});
  im.CambiaTipoObjeto(kVariable);
  ComandoContextualImagen(im, 0, kCampoComparacion, {20, 20});
  ComandoContextualImagen(im, 0, kCampoVariable, {51, 50});
  ComandoContextualImagen(im, 0, kCampoVariable, {80, 30});  // the variable moves here
  EXPECT_THROW(ComandoContextualImagen(im, 0, kCampoControl, {30, 80}), JError);  // saturated
  const DatosVariables& d = DatosVariablesDe(im);
  ASSERT_EQ(d.Estrellas().size(), 3u);
  std::vector<EstrellaCampo> campo = EstrellasCampoImagen(im);
  ASSERT_EQ(campo.size(), 2u);
  EXPECT_EQ(campo[0].papel, PapelEstrella::kVariable);
  EXPECT_NEAR(campo[0].x, 80.0, 1.0);
  EXPECT_EQ(campo[1].papel, PapelEstrella::kComparacion);
  EXPECT_NEAR(campo[1].x, 20.0, 1.0);
  // The comparison star deleted, a new star takes its name but no role.
  const std::string nombre = campo[1].nombre;
  EXPECT_TRUE(BorraEstrellaEn(im, 20, 20));
  EXPECT_EQ(AnadeEstrellaEn(im, 20, 20), nombre);
  campo = EstrellasCampoImagen(im);
  ASSERT_EQ(campo.size(), 1u);
  EXPECT_EQ(campo[0].papel, PapelEstrella::kVariable);
}

TEST_F(ModuloVariablesTest, InformationShowsCircumstancesThenStars) {
  Imagen im;
  CreaCampo(im, 40, 40, 100, {});
  im.CambiaTipoObjeto(kVariable);
  DatosVariablesDe(im).Anade(Estrella("V", 12.5, 7.25));
  std::vector<std::string> l;
  InformacionImagen(im, l);
  ASSERT_GE(l.size(), 12u);
  EXPECT_EQ(l[0].rfind("Dia Juliano: ", 0), 0u);
  EXPECT_EQ(l[7].rfind("Dia Jul. Helio.: ", 0), 0u);
  EXPECT_EQ(l[8], "Estrellas: 1");
  EXPECT_EQ(l[9], "V: (12.50,7.25) mag=15.010 cielo=101.25");
  EXPECT_EQ(l.size(), 12u);  // then the two default lines
}

struct LienzoCuenta : Lienzo {
  void Linea(double, double, double, double, Color) override { ++lineas; }
  void Circulo(double, double, double r, Color) override { radios.push_back(r); }
  void Texto(double x, double, const std::string& t, Color) override {
    textos.push_back(t);
    xs.push_back(x);
  }
  int lineas = 0;
  std::vector<double> radios;
  std::vector<std::string> textos;
  std::vector<double> xs;
};

TEST_F(ModuloVariablesTest, OverlayFollowsThePaintSettings) {
  Imagen im;
  CreaCampo(im, 40, 40, 100, {});
  im.CambiaTipoObjeto(kVariable);
  DatosVariablesDe(im).Anade(Estrella("1", 10, 10));
  DatosVariablesDe(im).Anade(Estrella("2", 20, 20));
  {
    LienzoCuenta l;
    PintarImagen(im, l);  // defaults: crosses only
    EXPECT_EQ(l.lineas, 4);
    EXPECT_TRUE(l.radios.empty());
    EXPECT_TRUE(l.textos.empty());
  }
  Configuracion& c = Configuracion::Global();
  c.Asigna("AnaVariables", "VARPINTARCRUZ", "0");
  c.Asigna("AnaVariables", "VARPINTARAPER", "1");
  c.Asigna("AnaVariables", "VARPINTARCIELO", "1");
  c.Asigna("AnaVariables", "VARPINTARNOMBRE", "1");
  LienzoCuenta l;
  PintarImagen(im, l);
  EXPECT_EQ(l.lineas, 0);
  EXPECT_EQ(l.radios, (std::vector<double>{7, 15, 20, 7, 15, 20}));
  EXPECT_EQ(l.textos, (std::vector<std::string>{"1", "2"}));
  EXPECT_DOUBLE_EQ(l.xs[0], 20);
}

}  // namespace
}  // namespace orva
