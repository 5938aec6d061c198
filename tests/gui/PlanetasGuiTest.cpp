// The planetary module from the desktop: its "Análisis" items found by their labels fit the
// limb of a synthetic Jupiter, toggle the grid, make the planisphere, show the photometric cuts
// in chart windows and save them and the features as CSV.
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QPushButton>
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
#include "gui/PlanetasQt.h"
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
    GeometriaDisco g;
    g.cx = 80.4;
    g.cy = 79.3;
    g.radio = 60.0;
    g.achatamiento = 1.0 - 66854.0 / 71492.0;
    g.anguloPolo = 20.0;
    g.latTierra = 2.0;
    g.meridianoCentral = 40.0;
    VentanaImagen* v = JupiterAjustado(g);
    QVERIFY(v);
    const QString analisis = QString::fromStdString(Cadena(14003));
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

  // The cuts from the "Análisis" items: the central meridian and a line whose ends are set by
  // the analysis tool's two clicks open chart windows whose samples cross the disc; the chart's
  // button and the features' item write CSV files.
  void CortesYDetallesDesdeElMenu() {
    GeometriaDisco g;
    g.cx = g.cy = 80.0;
    g.radio = 60.0;
    VentanaImagen* v = JupiterAjustado(g);
    QVERIFY(v);
    const QString analisis = QString::fromStdString(Cadena(14003));
    const auto graficos = [this] { return marco_->findChildren<GraficoCorte*>(); };
    marco_->RefrescaMenus();
    QVERIFY(DisparaMenu(*marco_, {analisis, QString::fromStdString(Cadena(12544))}));
    QTRY_COMPARE(graficos().size(), 1);
    const auto& meridiano = graficos().front()->Muestras();
    QVERIFY(meridiano.size() > 100);  // half a meridian, a sample about a pixel of arc
    for (const MuestraCorte& m : meridiano) QVERIFY(std::fabs(m.x - 80.0) < 0.5);

    // The line's ends by the right-click items, found by their labels.
    const auto menu = MenuContextualImagen(v->imagen());
    QVERIFY(menu);
    QVERIFY(menu->Busca(kInicioCorte) && menu->Busca(kFinalCorte));
    QVERIFY(menu->Busca(kInicioCorte)->etiqueta == Cadena(12548));
    QVERIFY(menu->Busca(kFinalCorte)->etiqueta == Cadena(12549));
    ComandoContextualImagen(v->imagen(), 0, kInicioCorte, {10, 80});
    ComandoContextualImagen(v->imagen(), 0, kFinalCorte, {150, 80});
    marco_->RefrescaMenus();
    QVERIFY(DisparaMenu(*marco_, {analisis, QString::fromStdString(Cadena(12546))}));
    QTRY_COMPARE(graficos().size(), 2);
    GraficoCorte* linea = graficos().back();
    QVERIFY(linea->Muestras().size() > 110 && linea->Muestras().size() < 130);

    QTemporaryDir dir;
    const auto guarda = [&](const QString& nombre) {
      AlAparecerModal([&, nombre](QWidget* w) {
        auto* f = qobject_cast<QFileDialog*>(w);
        QVERIFY(f);
        f->findChild<QLineEdit*>("fileNameEdit")->setText(dir.filePath(nombre));
        QMetaObject::invokeMethod(f, "accept");
      });
    };
    guarda("corte.csv");
    linea->findChild<QPushButton*>("GuardarCorte")->click();
    QFile corte(dir.filePath("corte.csv"));
    QVERIFY(corte.open(QIODevice::ReadOnly));
    QCOMPARE(corte.readAll().count('\n'), static_cast<qsizetype>(linea->Muestras().size() + 1));

    MideDetalle(*DatosPlanetaDe(v->imagen()), 80.0, 80.0);
    marco_->RefrescaMenus();
    guarda("detalles.csv");
    QVERIFY(DisparaMenu(*marco_, {analisis, QString::fromStdString(Cadena(12547))}));
    QFile detalles(dir.filePath("detalles.csv"));
    QVERIFY(detalles.open(QIODevice::ReadOnly));
    QVERIFY(detalles.readAll().startsWith("n,x,y,lon,lat\n1,80.000,80.000,"));
  }

 private:
  // A synthetic Jupiter of geometry g in a window, its orientation in the settings, the
  // analysis tool chosen and "Ajustar limbo" run from the menu; null when a step fails.
  VentanaImagen* JupiterAjustado(const GeometriaDisco& g) {
    DiscoSintetico d;
    d.ancho = d.alto = 160;
    d.geometria = g;
    auto im = std::make_unique<Imagen>();
    RenderizaDisco(d, *im);
    im->AsignaRuta("jupiter.qor");
    im->CambiaTipoObjeto(kJupiter);
    im->Actualiza();
    Configuracion& cfg = Configuracion::Global();
    cfg.Asigna("PREFPLANETA", "AnguloPolo", std::to_string(g.anguloPolo));
    cfg.Asigna("PREFPLANETA", "LatTierra", std::to_string(g.latTierra));
    cfg.Asigna("PREFPLANETA", "MeridianoCentral", std::to_string(g.meridianoCentral));
    marco_->show();
    VentanaImagen* v = marco_->MuestraImagen(std::move(im));
    if (!v || !DisparaMenu(*marco_, {"&Herramientas", "&Análisis"})) return nullptr;
    marco_->RefrescaMenus();
    const QString analisis = QString::fromStdString(Cadena(14003));
    if (!DisparaMenu(*marco_, {analisis, QString::fromStdString(Cadena(12490))})) return nullptr;
    return v;
  }

  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(PlanetasGuiTest)
#include "PlanetasGuiTest.moc"
