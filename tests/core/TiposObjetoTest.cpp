// Object-type lookups, classes and mappings; module registration, menus and dispatch.
#include "core/TiposObjeto.h"

#include <gtest/gtest.h>

#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/ModuloBasico.h"
#include "shell/Modulos.h"

namespace orva {
namespace {

TEST(TiposObjeto, KeywordLookupIgnoresCaseButNotSpelling) {
  struct Caso {
    const char* palabra;
    int tipo;
  };
  for (const Caso& c :
       {Caso{"ESPCTRO", kEspectro}, Caso{"espctro", kEspectro}, Caso{"ESPECTRO", kDesconocido},
        Caso{"Plan. Urano", kPlanUrano}, Caso{"PLAN. URANO ", kDesconocido}, Caso{"", kDesconocido},
        Caso{"VARIABLE", kVariable}, Caso{"DESCONOCIDO", kDesconocido}}) {
    EXPECT_EQ(TipoObjetoPorPalabra(c.palabra), c.tipo) << c.palabra;
  }
}

TEST(TiposObjeto, IdsArePositionsWithKeywordsAndNames) {
  ASSERT_EQ(TablaTiposObjeto().size(), 23u);
  for (int i = 0; i < kNumTiposObjeto; ++i) {
    EXPECT_EQ(TablaTiposObjeto()[i].id, i);
    EXPECT_EQ(TipoObjetoPorPalabra(PalabraTipoObjeto(i)), i);
    EXPECT_TRUE(ExisteCadena(TablaTiposObjeto()[i].idCadena)) << i;
  }
  EXPECT_EQ(NombreTipoObjeto(kProyPolJup), "Proy. Pol. Jupiter");
  EXPECT_EQ(PalabraTipoObjeto(23), "");
  EXPECT_EQ(PosicionNombre({"Sol", "Luna"}, "Luna"), 1);
  EXPECT_EQ(PosicionNombre({"Sol", "Luna"}, "Marte"), -1);
}

TEST(TiposObjeto, ClassesCoverExactlyTheirTypes) {
  int discos = 0, planis = 0, polares = 0, estelares = 0;
  for (int t = 0; t < kNumTiposObjeto; ++t) {
    discos += EsDiscoPlaneta(t);
    planis += EsPlanisferio(t);
    polares += EsProyeccionPolar(t);
    estelares += EsEstelar(t);
  }
  EXPECT_EQ(discos, 5);
  EXPECT_EQ(planis, 5);
  EXPECT_EQ(polares, 2);
  EXPECT_EQ(estelares, 3);
  EXPECT_TRUE(EsEstelar(kDoble));
  EXPECT_FALSE(EsEstelar(kDark));
  EXPECT_TRUE(EsSol(kSol));
  EXPECT_TRUE(EsEspectro(kEspectro));
}

// Uranus and Neptune are crossed between disk and planisphere, and each mapping is the other's
// inverse.
TEST(TiposObjeto, MappingsKeepTheCrossedPlanets) {
  EXPECT_EQ(DiscoAPlanisferio(kNeptuno), kPlanUrano);
  EXPECT_EQ(DiscoAPlanisferio(kUrano), kPlanNeptuno);
  EXPECT_EQ(PlanisferioADisco(kPlanUrano), kNeptuno);
  for (int t = 0; t < kNumTiposObjeto; ++t) {
    if (EsDiscoPlaneta(t)) {
      EXPECT_EQ(PlanisferioADisco(DiscoAPlanisferio(t)), t);
    } else {
      EXPECT_EQ(DiscoAPlanisferio(t), kDesconocido);
    }
    if (!EsPlanisferio(t)) {
      EXPECT_EQ(PlanisferioADisco(t), kDesconocido);
    }
    if (t != kJupiter && t != kSaturno) {
      EXPECT_EQ(DiscoAProyeccionPolar(t), kDesconocido);
    }
    if (!EsProyeccionPolar(t)) {
      EXPECT_EQ(ProyeccionPolarADisco(t), kDesconocido);
    }
  }
  EXPECT_EQ(DiscoAProyeccionPolar(kSaturno), kProyPolSat);
  EXPECT_EQ(ProyeccionPolarADisco(kProyPolJup), kJupiter);
}

TEST(Modulos, ApplicationItemsAreNumberedFrom7000InModuleOrder) {
  CreaModulos();
  CreaModulos();  // a second call changes nothing
  ASSERT_EQ(Modulos().size(), 6u);
  Menu menu;
  AnadirPreferenciasModulos(menu);
  ASSERT_EQ(menu.elementos.size(), 6u);
  const std::vector<std::pair<int, std::string>> esperado = {
      {7000, Cadena(14001)},
      {7001, Cadena(14004)},
      {7002, Cadena(14000)},
      {7003, Cadena(14002)},
      {7004, "Preferencias Análisis Sol"},
      {7005, "Preferencias Análisis Espectros"}};
  for (size_t i = 0; i < esperado.size(); ++i) {
    EXPECT_EQ(menu.elementos[i].id, esperado[i].first);
    EXPECT_EQ(menu.elementos[i].etiqueta, esperado[i].second);
  }
  EXPECT_EQ(menu.elementos[0].etiqueta, "&Preferencias variables");
}

TEST(Modulos, TypesWithoutModuleGetNothing) {
  CreaModulos();
  for (int t : {kDesconocido, kLuna, kEstelar, kDark, kBias, kFlat}) {
    EXPECT_EQ(TablaTiposObjeto()[t].modulo, nullptr) << t;
  }
  for (int t : {kMarte, kPlanUrano, kProyPolSat, kVariable, kDoble, kVoyager, kSol, kEspectro}) {
    EXPECT_NE(TablaTiposObjeto()[t].modulo, nullptr) << t;
  }
  Imagen im;
  im.CambiaTipoObjeto(kEstelar);
  EXPECT_FALSE(MenuAnalisisImagen(im).has_value());
  EXPECT_FALSE(MenuContextualImagen(im).has_value());
  EXPECT_EQ(ComandoImagen(im, 0, 6000, 0), 0);
  im.CambiaTipoObjeto(kJupiter);
  auto menu = MenuAnalisisImagen(im);
  ASSERT_TRUE(menu.has_value());
  EXPECT_EQ(menu->titulo, "A&nálisis");
}

TEST(Modulos, AnalysisPopupFollowsToolAndImage) {
  CreaModulos();
  Imagen estelar, jupiter;
  estelar.CambiaTipoObjeto(kEstelar);
  jupiter.CambiaTipoObjeto(kJupiter);
  EXPECT_FALSE(MenuAnalisisBarra(0, &jupiter).activo);
  EXPECT_FALSE(MenuAnalisisBarra(0, nullptr).activo);
  EXPECT_FALSE(MenuAnalisisBarra(kHerramientaAnalisis, &estelar).activo);
  const Menu sinImagen = MenuAnalisisBarra(kHerramientaAnalisis, nullptr);
  EXPECT_TRUE(sinImagen.activo);
  EXPECT_EQ(sinImagen.titulo, "A&nálisis");
  ASSERT_EQ(sinImagen.elementos.size(), 6u);
  EXPECT_EQ(sinImagen.elementos.back().id, 7005);
  EXPECT_EQ(MenuAnalisisBarra(kHerramientaAnalisis, &jupiter).titulo, "A&nálisis");
}

TEST(Modulos, DefaultInformationLines) {
  CreaModulos();
  Imagen im;
  im.CambiaTipoObjeto(kEstelar);
  im.datos.nombreObjeto = "M51";
  im.datos.filtro = "B";
  im.datos.tiempoExp = 600;
  im.datos.fechaHora = FechaHora(Fecha(5, 4, 1987), Hora(3, 4, 5, 6));
  std::vector<std::string> lineas;
  InformacionImagen(im, lineas);
  ASSERT_EQ(lineas.size(), 2u);
  EXPECT_EQ(lineas[0], "05/04/1987 (03:04:05.006) 600.000 seg.");
  EXPECT_EQ(lineas[1], "M51        (Estelar   ) B       ");
}

}  // namespace
}  // namespace orva
