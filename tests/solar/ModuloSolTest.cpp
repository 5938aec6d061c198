// The Sun's module: its menus follow the image's state, the clicks measure the disc and Venus,
// the search without automatic mode needs the clicked disc, lines and overlay follow the result.
#include "solar/ModuloSol.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Lienzo.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "solar/SolSintetico.h"

namespace orva {
namespace {

struct LienzoCuenta : Lienzo {
  int circulos = 0, textos = 0;
  void Linea(double, double, double, double, Color) override {}
  void Circulo(double, double, double, Color) override { ++circulos; }
  void Texto(double, double, const std::string&, Color) override { ++textos; }
};

class ModuloSolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    InstalaSistema();
    s.venus = true, s.vx = 240.2, s.vy = 170.7, s.vr = 9;
    prueba::Dibuja(s, im);
    im.CambiaTipoObjeto(kSol);
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }

  bool Activo(const Menu& m, int id) {
    for (const ElementoMenu& e : m.elementos)
      if (e.id == id) return e.activo;
    ADD_FAILURE() << "no item " << id;
    return false;
  }

  prueba::SolSintetico s;
  Imagen im;
};

TEST_F(ModuloSolTest, ClicksMeasureDiscThenVenus) {
  ASSERT_NE(ModuloImagen(im), nullptr);
  EXPECT_FALSE(Activo(*MenuContextualImagen(im), kVenusAqui));
  EXPECT_FALSE(Activo(*MenuAnalisisImagen(im), kGuardarTablaSol));

  ComandoContextualImagen(im, 0, kCentroSolAqui, PuntoImagen{190, 210});
  const DatosSol* d = DatosSolDe(std::as_const(im));
  ASSERT_TRUE(d && d->resultado);
  EXPECT_NEAR(d->resultado->sol.x, s.cx, 0.1);
  EXPECT_FALSE(d->resultado->venus);
  EXPECT_TRUE(Activo(*MenuContextualImagen(im), kVenusAqui));
  EXPECT_TRUE(Activo(*MenuAnalisisImagen(im), kGuardarTablaSol));

  ComandoContextualImagen(im, 0, kVenusAqui, PuntoImagen{238, 172});
  ASSERT_TRUE(d->resultado->venus);
  EXPECT_NEAR(d->resultado->venus->dx, s.vx - s.cx, 0.2);
  EXPECT_NEAR(d->resultado->venus->dy, s.vy - s.cy, 0.2);

  std::vector<std::string> lineas;
  InformacionImagen(im, lineas);
  ASSERT_FALSE(lineas.empty());
  EXPECT_EQ(lineas[0].rfind("Sol: centro", 0), 0u);
  LienzoCuenta lienzo;
  PintarImagen(im, lienzo);
  EXPECT_EQ(lienzo.circulos, 5);  // limb, corona edge, Venus, its two apertures
  EXPECT_EQ(lienzo.textos, 1);

  // Changed pixels make the measurement stale; "Borrar" clears it.
  im.Analisis().PixelesCambiados();
  EXPECT_FALSE(DatosSolDe(std::as_const(im))->resultado);
  ComandoImagen(im, 0, kBuscarSolVenus, 0);
  ASSERT_TRUE(DatosSolDe(std::as_const(im))->resultado &&
              DatosSolDe(std::as_const(im))->resultado->venus);
  ComandoImagen(im, 0, kBorrarSol, 0);
  EXPECT_FALSE(DatosSolDe(std::as_const(im))->resultado);
}

TEST_F(ModuloSolTest, SearchWithoutAutomaticModeNeedsTheClickedDisc) {
  Configuracion::Global().Asigna("PREFANASOL", "BusquedaAutom", "0");
  try {
    ComandoImagen(im, 0, kBuscarSol, 0);
    ADD_FAILURE() << "no error";
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12504);
  }
  ComandoContextualImagen(im, 0, kCentroSolAqui, PuntoImagen{200, 200});
  ComandoImagen(im, 0, kBuscarSolVenus, 0);
  ASSERT_TRUE(DatosSolDe(std::as_const(im))->resultado->venus);
  EXPECT_NEAR(DatosSolDe(std::as_const(im))->resultado->venus->disco.x, s.vx, 0.2);
}

}  // namespace
}  // namespace orva
