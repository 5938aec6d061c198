// The planetary module from the desktop: its "Análisis" items found by their labels fit the
// limb of a synthetic Jupiter, toggle the grid and make the planisphere.
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <cmath>

#include "MenusPrueba.h"
#include "PruebaQt.h"
#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "planetary/DiscoSintetico.h"
#include "planetary/ModuloPlanetas.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"

using namespace orva;

class PlanetasGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstalaSistema(); }
  void init() {
    Configuracion::Global().RestableceDefectos();
    marco_ = MarcoPrueba();
  }
  void cleanup() { CierraMarcoPrueba(marco_); }

  void AjustaLimboDesdeElMenu() {
    DiscoSintetico d;
    d.ancho = d.alto = 160;
    d.geometria.cx = 80.4;
    d.geometria.cy = 79.3;
    d.geometria.radio = 60.0;
    d.geometria.achatamiento = 1.0 - 66854.0 / 71492.0;
    d.geometria.anguloPolo = 20.0;
    d.geometria.latTierra = 2.0;
    d.geometria.meridianoCentral = 40.0;
    auto im = std::make_unique<Imagen>();
    RenderizaDisco(d, *im);
    im->AsignaRuta("jupiter.qor");
    im->CambiaTipoObjeto(kJupiter);
    im->Actualiza();
    Configuracion& cfg = Configuracion::Global();
    cfg.Asigna("PREFPLANETA", "AnguloPolo", "20");
    cfg.Asigna("PREFPLANETA", "LatTierra", "2");
    cfg.Asigna("PREFPLANETA", "MeridianoCentral", "40");
    marco_->show();
    VentanaImagen* v = marco_->MuestraImagen(std::move(im));
    QVERIFY(v);
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    marco_->RefrescaMenus();
    const QString analisis = QString::fromStdString(Cadena(14003));
    QVERIFY(DisparaMenu(*marco_, {analisis, QString::fromStdString(Cadena(12490))}));
    const auto* datos = DatosPlanetaDe(v->imagen());
    QVERIFY(datos && datos->conGeometria);
    QVERIFY(std::fabs(datos->geometria.cx - 80.4) < 0.2);
    QVERIFY(std::fabs(datos->geometria.cy - 79.3) < 0.2);
    QVERIFY(std::fabs(datos->geometria.radio - 60.0) < 0.2);
    marco_->RefrescaMenus();
    QVERIFY(DisparaMenu(*marco_, {analisis, QString::fromStdString(Cadena(12491))}));
    QVERIFY(datos->rejilla);
    // The planisphere, as the macro line the menu item runs: a map of the planet's type.
    marco_->RefrescaMenus();
    QVERIFY(DisparaMenu(*marco_, {analisis, QString::fromStdString(Cadena(12498))}));
    const auto hayMapa = [this] {
      for (VentanaImagen* w : marco_->Ventanas()) {
        if (w->imagen().TipoObjeto() == kPlanJupiter) return true;
      }
      return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(hayMapa(), 10000);
  }

 private:
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(PlanetasGuiTest)
#include "PlanetasGuiTest.moc"
