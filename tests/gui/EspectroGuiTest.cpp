// The spectra module on the desktop: the band drawn with the right-click menu, measured, made a
// new image and plotted through the "Análisis" items, all reached by their labels.
#include <QChartView>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "MenusPrueba.h"
#include "PruebaQt.h"
#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "gui/EspectroQt.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "spectra/ModuloEspectros.h"
#include "tests/spectra/EspectroSintetico.h"

using namespace orva;

class EspectroGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Configuracion::Global().RestableceDefectos();
    InstalaSistema();
    Configuracion::Global().Asigna("PREFANAESPEC", "MedianaRadio", "15");
    Configuracion::Global().Asigna("PREFANAESPEC", "MedianaFactor", "5");
    marco_ = MarcoPrueba();
    QVERIFY(QTest::qWaitForWindowExposed(marco_.get()));
  }
  void cleanup() { CierraMarcoPrueba(marco_); }

  void BandaMedidaImagenYGrafico() {
    auto im = std::make_unique<Imagen>();
    prueba::CreaEspectro(*im, 0.0);
    im->AsignaRuta("espectro.qor");
    im->CambiaTipoObjeto(kEspectro);
    VentanaImagen* v = marco_->MuestraImagen(std::move(im));
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    QApplication::processEvents();
    // The band's ends through the right-click menu, by their labels.
    QAction* extraer = AccionAnalisis(12531);
    QVERIFY(extraer && !extraer->isEnabled());
    ClicDerechoEnPixel(*v, QPoint(20, 70), Cadena(12535));
    ClicDerechoEnPixel(*v, QPoint(320, 70), Cadena(12536));
    const DatosEspectro* d = DatosEspectroDe(static_cast<const Imagen&>(v->imagen()));
    QVERIFY(d && d->inicioDefinido && d->finalDefinido);
    QCOMPARE(d->banda.x1, 20.0);
    QCOMPARE(d->banda.x2, 320.0);

    // Measured with the band dialog's width and sky.
    AlAparecerModal([](QWidget* w) {
      w->findChild<QSpinBox*>("Ancho")->setValue(13);
      w->findChild<QLineEdit*>("Cielo")->setText("15");
      qobject_cast<QDialog*>(w)->accept();
    });
    Analisis(12530);
    d = DatosEspectroDe(static_cast<const Imagen&>(v->imagen()));
    QVERIFY(d->medido);
    QCOMPARE(d->lineas.size(), prueba::kLineas.size());
    QCOMPARE(d->banda.ancho, 13);

    // The plot window: flux, continuum and lines.
    Analisis(12532);
    auto* grafico = marco_->findChild<GraficoEspectro*>("VentanaGraficoEspectro");
    QVERIFY(grafico);
    QCOMPARE(grafico->Vista()->chart()->series().size(), 3);

    // The new image: one row, the spectrum type, its own window.
    const size_t antes = marco_->Ventanas().size();
    AlAparecerModal([](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); });
    Analisis(12531);
    QCOMPARE(marco_->Ventanas().size(), antes + 1);
    const Imagen& nueva = marco_->VentanaActiva()->imagen();
    QCOMPARE(nueva.Alto(), 1u);
    QCOMPARE(nueva.Ancho(), 301u);
    QCOMPARE(nueva.TipoObjeto(), static_cast<int>(kEspectro));
    QCOMPARE(v->imagen().Alto(), 140u);  // the frame is untouched
  }

  // The preferences item (no image open) writes the continuum settings; a bad radius is
  // refused and the dialog stays.
  void PreferenciasDelContinuo() {
    QString aviso;
    AlAparecerModal([&aviso](QWidget* w) {
      w->findChild<QLineEdit*>("MedianaRadio")->setText("0");
      w->findChild<QLineEdit*>("MedianaFactor")->setText("4");
      AlAparecerModal(
          [&aviso](QWidget* m) {
            aviso = qobject_cast<QMessageBox*>(m)->text();
            qobject_cast<QMessageBox*>(m)->accept();
            QTimer::singleShot(0, [] {
              QWidget* d = QApplication::activeModalWidget();
              d->findChild<QLineEdit*>("MedianaRadio")->setText("25");
              qobject_cast<QDialog*>(d)->accept();
            });
          },
          w);
      qobject_cast<QDialog*>(w)->accept();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    QVERIFY(DisparaMenu(
        *marco_, {QString::fromStdString(Cadena(14003)), QString::fromStdString(Cadena(14006))}));
    QCOMPARE(aviso, QString::fromStdString(Mensaje(12528, "0")));
    QCOMPARE(Configuracion::Global().Valor("PREFANAESPEC", "MedianaRadio"), std::string("25"));
    QCOMPARE(Configuracion::Global().Valor("PREFANAESPEC", "MedianaFactor"), std::string("4"));
  }

  // With ORVA_CAPTURAS=dir, saves the README's picture there: the frame with its band above,
  // the plot of the measured spectrum below.
  void Captura() {
    const QString dir = qEnvironmentVariable("ORVA_CAPTURAS");
    if (dir.isEmpty()) QSKIP("ORVA_CAPTURAS not set");
    auto im = std::make_unique<Imagen>();
    prueba::CreaEspectro(*im, 5.0);
    im->AsignaRuta("espectro.qor");
    im->CambiaTipoObjeto(kEspectro);
    VentanaImagen* v = marco_->MuestraImagen(std::move(im));
    DatosEspectro& d = DatosEspectroDe(v->imagen());
    d.banda = prueba::CreaEspectro(v->imagen(), 5.0);
    d.inicioDefinido = d.finalDefinido = true;
    d.puntos = {{60, prueba::LongitudVerdadera(60.3)},
                {122, prueba::LongitudVerdadera(121.7)},
                {190, prueba::LongitudVerdadera(190.45)},
                {250, prueba::LongitudVerdadera(250.2)}};
    d.grado = 2;
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    AlAparecerModal([](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); });
    Analisis(12530);
    QVERIFY(DisparaMenu(*marco_, {"Visua&lizar", "Mostrar Datos &Imagen"}));
    Analisis(12532);
    auto* grafico = marco_->findChild<GraficoEspectro*>("VentanaGraficoEspectro");
    QVERIFY(grafico);
    v->parentWidget()->setGeometry(0, 0, 880, 420);
    grafico->resize(900, 380);
    QTest::qWait(100);
    const QPixmap arriba = marco_->grab(), abajo = grafico->grab();
    QPixmap todo(std::max(arriba.width(), abajo.width()), arriba.height() + abajo.height());
    todo.fill(Qt::white);
    QPainter p(&todo);
    p.drawPixmap(0, 0, arriba);
    p.drawPixmap(0, arriba.height(), abajo);
    p.end();
    QVERIFY(todo.save(dir + "/espectro.png"));
  }

 private:
  QAction* AccionAnalisis(int id) {
    DisparaMenu(*marco_, {"&Herramientas", "&Análisis"});
    return AccionMenu(*marco_,
                      {QString::fromStdString(Cadena(14003)), QString::fromStdString(Cadena(id))});
  }
  void Analisis(int etiqueta) {
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    QVERIFY(DisparaMenu(*marco_, {QString::fromStdString(Cadena(14003)),
                                  QString::fromStdString(Cadena(etiqueta))}));
  }
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(EspectroGuiTest)
#include "EspectroGuiTest.moc"
