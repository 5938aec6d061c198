// The dialog engine against a fake set of controls.
#include "shell/Dialogo.h"

#include <gtest/gtest.h>

#include "base/Cadenas.h"

#include <map>
#include <set>

namespace orva {
namespace {

class VistaFalsa : public VistaDialogo {
 public:
  void PonTexto(int id, const std::string& t) override { textos[id] = t; }
  std::string Texto(int id) const override {
    auto it = textos.find(id);
    return it == textos.end() ? "" : it->second;
  }
  void PonMarca(int id, bool m) override { marcas[id] = m; }
  bool Marca(int id) const override {
    auto it = marcas.find(id);
    return it != marcas.end() && it->second;
  }
  void PonEntradas(int id, const std::vector<std::string>& e) override {
    entradas[id] = e;
    elegidas[id].clear();
  }
  void Selecciona(int id, const std::string& t) override {
    for (const auto& e : entradas[id])
      if (e == t) elegidas[id].push_back(t);
  }
  std::vector<std::string> Seleccionadas(int id) const override {
    auto it = elegidas.find(id);
    return it == elegidas.end() ? std::vector<std::string>{} : it->second;
  }
  void Foco(int id) override { foco = id; }
  void Titulo(const std::string& t) override { titulo = t; }
  void Mensaje(const std::string& t) override { mensajes.push_back(t); }

  std::map<int, std::string> textos;
  std::map<int, bool> marcas;
  std::map<int, std::vector<std::string>> entradas, elegidas;
  int foco = 0;
  std::string titulo;
  std::vector<std::string> mensajes;
};

ItemDialogo Item(int tipo, int id, std::string* valor, LegalidadDialogo l = {},
                 ExtraDialogo extra = {}, int id2 = 0) {
  ItemDialogo it;
  it.tipo = tipo;
  it.id = id;
  it.id2 = id2;
  it.valor = valor;
  it.legalidad = std::move(l);
  it.extra = std::move(extra);
  return it;
}

TEST(Dialogo, RadioPastTheLastButtonChecksTheFirst) {
  std::string v = "7";
  VistaFalsa vista;
  MotorDialogo d({Item(kItemRadio, 200, &v, {}, {}, 203)}, vista);
  ASSERT_EQ(d.Abre(), 1);
  EXPECT_TRUE(vista.Marca(200));
  for (int b = 201; b <= 203; ++b) EXPECT_FALSE(vista.Marca(b));
  d.Notifica(202, kClic);
  EXPECT_EQ(v, "2");
  EXPECT_TRUE(vista.Marca(202));
  EXPECT_FALSE(vista.Marca(200));
  EXPECT_EQ(d.Acepta(), 1);
  EXPECT_EQ(v, "2");
}

TEST(Dialogo, IllegalEditThenCancelRestoresTheValue) {
  std::string v = "5";
  VistaFalsa vista;
  MotorDialogo d({Item(kItemEdicion, 10, &v, LegalidadEntero, RangoEntero{1, 9})}, vista);
  ASSERT_EQ(d.Abre(3063), 1);
  EXPECT_EQ(vista.titulo, "TRATANDO ARCHIVOS");
  vista.textos[10] = "42";
  d.Notifica(10, kCambioTexto);
  EXPECT_EQ(v, "42");  // edits reach the bound value at once
  d.Notifica(10, kPierdeFoco);
  EXPECT_FALSE(d.Valido(0));
  EXPECT_EQ(vista.foco, 10);
  ASSERT_EQ(vista.mensajes.size(), 1u);
  EXPECT_EQ(vista.mensajes[0], "El Valor 42 es ilegal. El rango permitido es entre 1 y 9");
  d.Cancela();
  EXPECT_EQ(v, "5");
}

TEST(Dialogo, HundredItemsOpenAndOneMoreDoesNot) {
  std::vector<std::string> valores(101, "0");
  std::vector<ItemDialogo> tabla;
  for (int i = 0; i < 100; ++i) tabla.push_back(Item(kItemCasilla, 100 + i, &valores[i]));
  VistaFalsa v1;
  MotorDialogo cien(tabla, v1);
  EXPECT_EQ(cien.Abre(), 1);
  tabla.push_back(Item(kItemCasilla, 300, &valores[100]));
  VistaFalsa v2;
  MotorDialogo cientouno(tabla, v2);
  EXPECT_EQ(cientouno.Abre(), 0);
  ASSERT_EQ(v2.mensajes.size(), 1u);
  EXPECT_EQ(v2.mensajes[0], "Demasiados items en este Dialog Box.");
  // The end marker stops the table wherever it is.
  tabla.insert(tabla.begin() + 3, ItemDialogo{});
  VistaFalsa v3;
  MotorDialogo corta(tabla, v3);
  EXPECT_EQ(corta.Items().size(), 3u);
}

TEST(Dialogo, StoredIllegalValueIsMarkedSilentlyAndAcceptBehavesAsCancel) {
  std::string entero = "500", real = "0.5", casilla = "0";
  VistaFalsa vista;
  MotorDialogo d({Item(kItemEdicion, 1, &entero, LegalidadEntero, RangoEntero{0, 100}),
                  Item(kItemEdicionViva, 2, &real, LegalidadReal, RangoReal{0.0, 1.0}),
                  Item(kItemCasilla, 3, &casilla)},
                 vista);
  ASSERT_EQ(d.Abre(), 1);
  EXPECT_TRUE(vista.mensajes.empty());
  EXPECT_FALSE(d.Valido(0));
  d.Notifica(3, kClic);
  EXPECT_EQ(casilla, "1");
  vista.textos[2] = "2.5";
  d.Notifica(2, kCambioTexto);
  ASSERT_EQ(vista.mensajes.size(), 1u);
  EXPECT_EQ(vista.mensajes[0], "El Valor 2.50 es ilegal. El rango permitido es entre 0.00 y 1.00");
  EXPECT_EQ(d.Acepta(), 0);
  EXPECT_EQ(entero, "500");
  EXPECT_EQ(real, "0.5");
  EXPECT_EQ(casilla, "0");
}

TEST(Dialogo, FirstIllegalFieldIsNamedFocusedAndKept) {
  std::string entero = "50", real = "7";
  VistaFalsa vista;
  MotorDialogo d({Item(kItemEdicion, 1, &entero, LegalidadEntero, RangoEntero{0, 100}),
                  Item(kItemEdicion, 2, &real, LegalidadReal, RangoReal{0.0, 10.0})},
                 vista);
  d.PonEtiqueta(2, "&Sigma: ");
  ASSERT_EQ(d.Abre(), 1);
  struct Caso {
    const char* entero;
    const char* real;
    int ilegal;
    std::string mensaje;
  };
  for (const Caso& c : {
           Caso{"50", "abc", 2, Mensaje(12070, "Sigma", "0.00", "10.00")},  // no number at all
           Caso{"101", "abc", 1, Mensaje(10160, "101", "0", "100")},         // the first one first
           Caso{"", "5", 1, Mensaje(10160, "", "0", "100")},
           Caso{"100", "9.5", 0, ""},
       }) {
    vista.textos[1] = c.entero;
    vista.textos[2] = c.real;
    vista.mensajes.clear();
    EXPECT_EQ(d.PrimerIlegal(), c.ilegal) << c.entero << " " << c.real;
    if (c.ilegal != 0) {
      EXPECT_EQ(vista.foco, c.ilegal);
      EXPECT_EQ(vista.mensajes, std::vector<std::string>{c.mensaje});
    } else {
      EXPECT_TRUE(vista.mensajes.empty());
    }
  }
  EXPECT_EQ(d.Acepta(), 1);
  EXPECT_EQ(entero, "100");
  EXPECT_EQ(real, "9.5");

  // Refused on leaving the field (Return does both): accepting right after does not say it
  // again, a second try does.
  vista.textos[1] = "500";
  d.Notifica(1, kCambioTexto);
  vista.mensajes.clear();
  d.Notifica(1, kPierdeFoco);
  EXPECT_EQ(vista.mensajes.size(), 1u);
  EXPECT_EQ(d.PrimerIlegal(), 1);
  EXPECT_EQ(vista.mensajes.size(), 1u);
  EXPECT_EQ(d.PrimerIlegal(), 1);
  EXPECT_EQ(vista.mensajes.size(), 2u);
}

TEST(Dialogo, ListsAndCombosStoreTheChosenEntry) {
  std::string lista = "B", combo = "libre", multiple;
  std::vector<std::string> elegidas = {"Y"};
  VistaFalsa vista;
  ItemDialogo m = Item(kItemListaMultiple, 3, &multiple, {}, std::vector<std::string>{"X", "Y"});
  m.seleccion = &elegidas;
  MotorDialogo d({Item(kItemDesplegable, 1, &lista, {}, std::vector<std::string>{"A", "B"}),
                  Item(kItemComboEdicion, 2, &combo, {}, std::vector<std::string>{"uno"}), m},
                 vista);
  ASSERT_EQ(d.Abre(), 1);
  EXPECT_EQ(vista.elegidas[1], std::vector<std::string>{"B"});
  EXPECT_EQ(vista.textos[2], "libre");
  EXPECT_EQ(vista.elegidas[3], std::vector<std::string>{"Y"});
  vista.elegidas[1] = {"A"};
  d.Notifica(1, kCambioSeleccion);
  EXPECT_EQ(lista, "A");
  vista.elegidas[3] = {"X", "Y"};
  d.Notifica(3, kCambioSeleccion);
  EXPECT_EQ(elegidas, (std::vector<std::string>{"X", "Y"}));
  vista.textos[2] = "otro";
  d.Notifica(2, kCambioTexto);
  EXPECT_EQ(combo, "otro");
  d.Cancela();
  EXPECT_EQ(lista, "B");
  EXPECT_EQ(combo, "libre");
}

TEST(Dialogo, ButtonRunsItsActionAndRangeWithoutRecordReports) {
  int pulsaciones = 0;
  std::string nada, valor = "3";
  VistaFalsa vista;
  MotorDialogo d({Item(kItemBoton, 8, &nada,
                       [&](MotorDialogo&, ItemDialogo&, const ExtraDialogo&, int) {
                         ++pulsaciones;
                         return 1;
                       }),
                  Item(kItemEdicion, 9, &valor, LegalidadEntero)},
                 vista);
  ASSERT_EQ(d.Abre(), 1);
  EXPECT_EQ(pulsaciones, 0);  // opening does not press buttons
  d.Notifica(8, kClic);
  EXPECT_EQ(pulsaciones, 1);
  d.Notifica(9, kPierdeFoco);
  ASSERT_EQ(vista.mensajes.size(), 1u);
  EXPECT_EQ(vista.mensajes[0], "Funcion Legalidad: puntero a los parametros es nulo");
  EXPECT_TRUE(d.Valido(1));
}

TEST(Dialogo, LegalityMayRewriteTheValue) {
  std::string v = "abc";
  VistaFalsa vista;
  MotorDialogo d({Item(kItemEdicion, 4, &v,
                       [](MotorDialogo&, ItemDialogo& it, const ExtraDialogo&, int) {
                         *it.valor = "ABC";
                         return 1;
                       })},
                 vista);
  ASSERT_EQ(d.Abre(), 1);
  d.Notifica(4, kPierdeFoco);
  EXPECT_EQ(vista.textos[4], "ABC");
}

}  // namespace
}  // namespace orva
