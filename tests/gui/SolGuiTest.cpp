// The Sun's module on the desktop, driven by the labels of its "Análisis" items: the settings
// dialog stores what it is given, the search measures the disc and Venus into the data pane, the
// results window lists every zone; the items that need a measurement are grayed before it.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "MenusPrueba.h"
#include "PruebaQt.h"

#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "formats/TiposArchivo.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "solar/ModuloSol.h"

using namespace orva;

namespace {

QString Etiqueta(int id) {
  return QString::fromStdString(Cadena(id));
}

}  // namespace

class SolGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
    Configuracion::Global().RestableceDefectos();
    InstalaSistema();
    marco_ = MarcoPrueba();
    QVERIFY(QTest::qWaitForWindowExposed(marco_.get()));
  }
  void cleanup() { CierraMarcoPrueba(marco_); }

  void PreferenciasBusquedaYResultados() {
    auto im = std::make_unique<Imagen>();
    LeeArchivo(ORVA_TEST_DATA "/sol_transito.fits", *im);
    im->CambiaTipoObjeto(kSol);
    im->modoPanel = ModoPanel::kDatos;
    VentanaImagen* v = marco_->MuestraImagen(std::move(im));
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    const QString analisis = Etiqueta(14003);
    QAction* resultados = AccionMenu(*marco_, {analisis, Etiqueta(12508)});
    QVERIFY(resultados && !resultados->isEnabled());

    AlAparecerModal([](QWidget* w) {
      w->findChild<QLineEdit*>("NumZonasSol")->setText("6");
      w->findChild<QLineEdit*>("NumZonasCorona")->setText("3");
      QVERIFY(w->findChild<QCheckBox*>("BusquedaAutom")->isChecked());
      for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->text() == "Aceptar") b->click();
    });
    QVERIFY(DisparaMenu(*marco_, {analisis, Etiqueta(6400)}));
    QCOMPARE(Configuracion::Global().Valor("PREFANASOL", "NumZonasSol"), std::string("6"));

    QVERIFY(DisparaMenu(*marco_, {analisis, Etiqueta(12506)}));
    const DatosSol* d = DatosSolDe(std::as_const(v->imagen()));
    QVERIFY(d && d->resultado && d->resultado->venus);
    QVERIFY(std::fabs(d->resultado->venus->disco.x - 150.3) < 0.2);
    QVERIFY(v->panelDatos()->toPlainText().contains("Venus: (150.30, 100.80)"));

    QVERIFY(DisparaMenu(*marco_, {analisis, Etiqueta(12508)}));
    QWidget* ventana = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "ResultadosSol" && w->isVisible()) ventana = w;
    QVERIFY(ventana);
    auto* tabla = ventana->findChild<QTableWidget*>("TablaSol");
    QVERIFY(tabla);
    QCOMPARE(tabla->rowCount(), 9);
    QCOMPARE(tabla->item(8, 0)->text(), QString("corona"));
    ventana->close();

    QVERIFY(DisparaMenu(*marco_, {analisis, Etiqueta(12509)}));
    QVERIFY(!DatosSolDe(std::as_const(v->imagen()))->resultado);
  }

  // With no image the popup lists the application-level items; the Sun's opens its settings.
  void PreferenciasSinImagen() {
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    AlAparecerModal([](QWidget* w) {
      QCOMPARE(w->objectName(), QString("PreferenciasSol"));
      w->findChild<QCheckBox*>("TamVenusFijo")->setChecked(true);
      w->findChild<QLineEdit*>("TamVenus")->setText("12");
      for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->text() == "Aceptar") b->click();
    });
    QVERIFY(DisparaMenu(*marco_, {Etiqueta(14003), Etiqueta(14005)}));
    QCOMPARE(Configuracion::Global().Valor("PREFANASOL", "TamVenusFijo"), std::string("1"));
    QCOMPARE(Configuracion::Global().Valor("PREFANASOL", "TamVenus"), std::string("12"));
  }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(SolGuiTest)
#include "SolGuiTest.moc"
