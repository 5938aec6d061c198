// The command table, routing, zoom and display lines, menu state and tool menus.
#include "shell/Comandos.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/Imagen.h"
#include "macro/Macro.h"

namespace orva {
namespace {

TEST(Comandos, EveryIdOnceAndEveryPopupOnTheBar) {
  std::set<int> vistos;
  std::set<std::string> barra(PopupsBarra().begin(), PopupsBarra().end());
  for (const Comando& c : ComandosExpandidos()) {
    EXPECT_TRUE(vistos.insert(c.id).second) << "repeated id " << c.id;
    const std::string raiz = c.popup.substr(0, c.popup.find('/'));
    EXPECT_TRUE(barra.count(raiz)) << c.id << " under " << c.popup;
    EXPECT_FALSE(c.etiqueta.empty()) << c.id;
    EXPECT_EQ(c.etiqueta.find("%d"), std::string::npos) << c.id;
  }
  // Ranges expand to every id with its own label.
  for (int id : {5000, 5001, 5009, 5014, 5030, 5037, 5039, 5046, 5063, 5111,
                 5131, 5139, 5140, 5143, 5150, 5151, 5152, 5153, 5154, 5217}) {
    EXPECT_TRUE(vistos.count(id)) << id;
  }
  EXPECT_FALSE(vistos.count(5132));  // tool 1 has no menu entry
  EXPECT_EQ(BuscaComando(5033)->etiqueta, "1:5");
  EXPECT_EQ(BuscaComando(5041)->etiqueta, "4:1");
}

TEST(Comandos, Accelerators) {
  std::map<std::string, int> atajos;
  for (const Comando& c : ComandosExpandidos()) {
    for (const std::string& a : c.atajos) {
      EXPECT_TRUE(atajos.emplace(a, c.id).second) << "accelerator " << a << " twice";
    }
  }
  std::map<std::string, int> esperados = {
      {"Ctrl+A", 5001},           {"Ctrl+G", 5002},   {"Ctrl+D", 5122},
      {"Ctrl+F1", 5013},          {"Ctrl+1", 5014},   {"Alt+1", 5014},
      {"Shift+F5", 5147},         {"Shift+F4", 5146}, {"Ctrl+Z", kCmdDeshacer},
      {"Ctrl+Y", kCmdRehacer}};
  for (int n = 2; n <= 9; ++n) {
    esperados["Ctrl+" + std::to_string(n)] = 5030 + n - 2;
    esperados["Alt+" + std::to_string(n)] = 5039 + n - 2;
  }
  esperados["Ctrl+0"] = kCmdAjustarVentana;
  EXPECT_EQ(atajos, esperados);
}

TEST(Comandos, Routing) {
  struct Caso {
    int id;
    bool imagen;
    RutaComando ruta;
  };
  const Caso casos[] = {
      {5001, false, kRutaMarco},   {5007, true, kRutaMarco},    {5016, true, kRutaMarco},
      {5002, true, kRutaImagen},   {5002, false, kRutaNinguna}, {5033, true, kRutaImagen},
      {6000, false, kRutaModulos}, {7999, false, kRutaModulos}, {7000, true, kRutaImagen},
      {8000, false, kRutaNinguna}, {5999, false, kRutaNinguna}, {5123, false, kRutaMarco},
  };
  for (const Caso& c : casos) EXPECT_EQ(Ruta(c.id, c.imagen), c.ruta) << c.id;
}

// Every zoom command's line, run through the interpreter, gives back the same command id.
TEST(Comandos, ZoomLinesRoundTripThroughTheInterpreter) {
  for (const Comando& c : ComandosExpandidos()) {
    if (!EsZoom(c.id)) {
      EXPECT_EQ(LineaZoom(c.id), "") << c.id;
      continue;
    }
    Imagen im;
    Ranuras r(im);
    ASSERT_EQ(EjecutaLinea(r, LineaZoom(c.id), 1), 1) << LineaZoom(c.id);
    EXPECT_EQ(im.comandoZoom, c.id) << LineaZoom(c.id);
  }
  EXPECT_EQ(LineaZoom(5033), "ZOOM D 5");
  EXPECT_EQ(LineaZoom(5040), "ZOOM A 3");
  EXPECT_EQ(LineaZoom(5014), "ZOOM A 1");
}

TEST(Comandos, DisplayModes) {
  const std::string palabras[] = {"NADA", "HISTO", "DATOS", "OPER", "CABE", "LINHOR", "LINVER"};
  for (int m = 1; m <= 7; ++m) {
    const int id = ComandoDeModo(m);
    EXPECT_EQ(ModoDeComando(id), m);
    EXPECT_EQ(ComandoDeVarias(id + 1), id);
    EXPECT_EQ(LineaMostrar(m), "MOSTRAR " + palabras[m - 1]);
    Imagen im;
    Ranuras r(im);
    ASSERT_EQ(EjecutaLinea(r, LineaMostrar(m), 1), 1);
    EXPECT_EQ(im.modoPanel, m);
  }
  EXPECT_EQ(ComandoDeModo(5), 5027);  // file header is the fifth mode
  EXPECT_EQ(ComandoDeModo(0), 0);
  EXPECT_EQ(ComandoDeModo(8), 0);
  EXPECT_EQ(ComandoDeVarias(5015), 0);
  EXPECT_EQ(ComandoDeVarias(5030), 0);
  EXPECT_EQ(LineaMostrar(8), "");
}

TEST(Comandos, MenuStateWithAndWithoutImage) {
  SituacionMenu s;
  s.herramienta = 3;
  s.lenguaje = 2;
  EstadoMenu e = CalculaEstadoMenu(s);
  EXPECT_EQ(e.marcados, (std::set<int>{5015, 5134, 5142}));
  EXPECT_FALSE(e.popupVisualizar);
  EXPECT_FALSE(e.popupsImagen);
  for (int id : {5002, 5003, 5004, 5005, 5006, 5007, 5150}) EXPECT_TRUE(e.inactivos.count(id));

  s.hayImagen = true;
  s.comandoZoom = 5033;
  s.modoPanel = kHisto;
  e = CalculaEstadoMenu(s);
  EXPECT_EQ(e.marcados, (std::set<int>{5033, 5017, 5134, 5142}));
  EXPECT_TRUE(e.popupsImagen);
  EXPECT_TRUE(e.activos.count(5013));
  EXPECT_TRUE(e.activos.count(5007));

  // 1:1 is never checked; an image of kind 1 keeps only Visualizar and loses five items.
  s.comandoZoom = 5014;
  s.modoPanel = kNada;
  s.tipoVentana = 1;
  e = CalculaEstadoMenu(s);
  EXPECT_EQ(e.marcados, (std::set<int>{5015, 5134, 5142}));
  EXPECT_TRUE(e.popupVisualizar);
  EXPECT_FALSE(e.popupsImagen);
  for (int id : {5012, 5013, 5017, 5023, 5025}) EXPECT_TRUE(e.inactivos.count(id));
}

std::map<int, bool> Activos(const Menu& m) {
  std::map<int, bool> r;
  for (const ElementoMenu& e : m.elementos) r[e.id] = e.activo;
  return r;
}

TEST(Comandos, RotateMenuGraysTheOtherLine) {
  Imagen im;
  im.DimensionaImagen(20, 20);
  EXPECT_TRUE(Activos(MenuHerramienta(kRotar, im))[5170]);
  ASSERT_TRUE(ComandoHerramienta(kRotar, 5167, 3, 4, im));
  EXPECT_EQ(im.puntos[kOriRotaHor].x, 3);
  EXPECT_EQ(im.puntos[kOriRotaHor].y, 4);
  auto a = Activos(MenuHerramienta(kRotar, im));
  EXPECT_FALSE(a[5170]);
  EXPECT_FALSE(a[5171]);
  EXPECT_TRUE(a[5169]);
  ASSERT_TRUE(ComandoHerramienta(kRotar, 5177, 0, 0, im));
  ASSERT_TRUE(ComandoHerramienta(kRotar, 5171, 1, 1, im));
  a = Activos(MenuHerramienta(kRotar, im));
  EXPECT_FALSE(a[5167]);
  EXPECT_FALSE(a[5169]);
  EXPECT_TRUE(a[5170]);
}

TEST(Comandos, ShiftMenuSingleCoordinatesAndGraying) {
  Imagen im;
  ASSERT_TRUE(ComandoHerramienta(kDesplazar, 5157, 7, 99, im));  // x of the minimum only
  EXPECT_EQ(im.puntos[kDespMin].x, 7);
  EXPECT_TRUE(Activos(MenuHerramienta(kDesplazar, im))[5155]);
  ASSERT_TRUE(ComandoHerramienta(kDesplazar, 5155, 99, 8, im));  // then its y
  EXPECT_EQ(im.puntos[kDespMin].x, 7);
  EXPECT_EQ(im.puntos[kDespMin].y, 8);
  auto a = Activos(MenuHerramienta(kDesplazar, im));
  EXPECT_FALSE(a[5157]);
  EXPECT_FALSE(a[5155]);
  EXPECT_TRUE(a[5158]);
  EXPECT_TRUE(a[5156]);
  ASSERT_TRUE(ComandoHerramienta(kDesplazar, 5169, 5, 6, im));
  a = Activos(MenuHerramienta(kDesplazar, im));
  EXPECT_FALSE(a[5158]);
  EXPECT_FALSE(a[5156]);
  ASSERT_TRUE(ComandoHerramienta(kDesplazar, 5177, 0, 0, im));
  EXPECT_EQ(im.puntos[kDespMin].definido, 0);
  EXPECT_EQ(im.puntos[kDespMax].definido, 0);
}

TEST(Comandos, ToolsWithoutMenuAndForeignIds) {
  Imagen im;
  for (int h : {0, 1, static_cast<int>(kAnalisis)})
    EXPECT_TRUE(MenuHerramienta(h, im).elementos.empty()) << h;
  EXPECT_FALSE(ComandoHerramienta(0, 5167, 1, 1, im));
  EXPECT_FALSE(ComandoHerramienta(kRotar, 5164, 1, 1, im));
  EXPECT_FALSE(ComandoHerramienta(kTransGeneral, 5163, 1, 1, im));
  // Every item of a tool menu is handled by that tool, except the grayed ones.
  for (int h = 2; h <= 7; ++h) {
    Imagen otra;
    otra.DimensionaImagen(4, 4);
    for (const ElementoMenu& e : MenuHerramienta(h, otra).elementos) {
      if (e.activo) {
        EXPECT_TRUE(ComandoHerramienta(h, e.id, 1, 1, otra)) << h << " " << e.id;
      }
    }
  }
}

TEST(Comandos, TreatmentToolSetsDisplayLevels) {
  Imagen im;
  im.CambiaPixeles(2, 1, {100, 900});
  im.Actualiza();
  ASSERT_TRUE(ComandoHerramienta(kTratamiento, 5165, 1, 0, im));
  EXPECT_EQ(im.Blanco(), 900);
  ASSERT_TRUE(ComandoHerramienta(kTratamiento, 5164, 0, 0, im));
  EXPECT_EQ(im.Negro(), 100);
  // A click beyond the image changes nothing.
  ASSERT_TRUE(ComandoHerramienta(kTratamiento, 5164, 5, 0, im));
  EXPECT_EQ(im.Negro(), 100);
  ASSERT_TRUE(ComandoHerramienta(kTransGeneral, 5161, 9, 10, im));
  EXPECT_EQ(im.puntosTrans[2].definido, 1);
  EXPECT_DOUBLE_EQ(im.puntosTrans[2].x, 9.0);
}

}  // namespace
}  // namespace orva
