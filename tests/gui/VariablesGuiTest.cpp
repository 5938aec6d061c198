// The variable-star series on the desktop: a field marked with the right-click menu on a
// synthetic frame and saved from its dialog, a short series over the open windows, and its
// light-curve window, whose points bring up their frames; all reached by the menus' labels.
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "MenusPrueba.h"
#include "PruebaQt.h"
#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "gui/Marco.h"
#include "gui/VariablesQt.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "stellar/CampoVariable.h"
#include "stellar/DatosVariables.h"
#include "stellar/ModuloVariables.h"
#include "tests/stellar/SerieSintetica.h"

using namespace orva;

class VariablesGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
    Configuracion::Global().RestableceDefectos();
    InstalaSistema();
    marco_ = MarcoPrueba(1200, 900);
    QVERIFY(QTest::qWaitForWindowExposed(marco_.get()));
  }
  void cleanup() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<GraficoCurvaLuz*>(w)) w->close();
    }
    CierraMarcoPrueba(marco_);
  }

  void CampoSerieYCurva() {
    prueba::SerieSintetica serie;
    serie.frames = kFotogramas;
    serie.maxDesplazamiento = 40.0;
    serie.anchura = 0.04;  // a wide eclipse, so that a short series spans its minimum
    serie.Prepara();
    std::vector<VentanaImagen*> ventanas;
    for (int k = 0; k < kFotogramas; ++k) {
      auto im = std::make_unique<Imagen>();
      serie.Fotograma(k, *im);
      im->AsignaRuta(QStringLiteral("noche_%1.qor").arg(k, 2, 10, QLatin1Char('0')).toStdString());
      im->CambiaTipoObjeto(kVariable);
      if (k == kSinFecha) {
        im->datos.conValor.erase("FECHAOBS");
        im->datos.fechaHora = FechaHora{};
      }
      ventanas.push_back(marco_->MuestraImagen(std::move(im)));
    }
    // The reference: the first frame, large enough to show the field.
    VentanaImagen* ref = ventanas.front();
    for (QMdiSubWindow* s : marco_->Mdi()->subWindowList()) {
      if (s->widget() == ref) marco_->Mdi()->setActiveSubWindow(s);
    }
    ref->parentWidget()->setGeometry(0, 0, 1100, 820);
    QTest::qWait(50);
    QCOMPARE(marco_->VentanaActiva(), ref);
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    // Each field star by the right-click menu: V, C1..C3 then K.
    for (const EstrellaCampo& e : serie.campo) {
      const int id = e.papel == PapelEstrella::kVariable      ? kCampoVariable
                     : e.papel == PapelEstrella::kComparacion ? kCampoComparacion
                                                              : kCampoControl;
      ClicDerechoEnPixel(*ref, QPoint(static_cast<int>(std::lround(e.x)), static_cast<int>(std::lround(e.y))),
                  Cadena(id));
    }
    const DatosVariables* d = DatosVariablesDe(static_cast<const Imagen&>(ref->imagen()));
    QVERIFY(d);
    QCOMPARE(d->Estrellas().size(), serie.campo.size());
    QCOMPARE(EstrellasCampoImagen(ref->imagen()).front().papel, PapelEstrella::kVariable);

    // The field dialog shows the roles given and saves the field.
    const QString archivo = dir_.path() + "/noche.campo";
    int filas = -1, variables = 0;
    AlAparecerModal([&](QWidget* w) {
      auto* t = w->findChild<QTableWidget*>("Estrellas");
      filas = t->rowCount();
      for (int f = 0; f < filas; ++f)
        variables += qobject_cast<QComboBox*>(t->cellWidget(f, 1))->currentIndex() == 1;
      w->findChild<QLineEdit*>("Archivo")->setText(archivo);
      qobject_cast<QDialog*>(w)->accept();
    });
    Analisis(kDefinirCampo);
    QCOMPARE(filas, static_cast<int>(serie.campo.size()));
    QCOMPARE(variables, 1);
    const CampoVariable campo = LeeCampo(archivo.toStdString());
    QCOMPARE(campo.estrellas.size(), serie.campo.size());
    QCOMPARE(campo.Indices(PapelEstrella::kComparacion).size(), size_t{3});
    for (size_t i = 0; i < campo.estrellas.size(); ++i) {
      QVERIFY(std::hypot(campo.estrellas[i].x - serie.campo[i].x,
                         campo.estrellas[i].y - serie.campo[i].y) < 0.5);
    }

    // The series over every open frame.
    AlAparecerModal([&](QWidget* w) {
      w->findChild<QLineEdit*>("Campo")->setText(archivo);
      QCOMPARE(w->findChild<QListWidget*>("Ventanas")->selectedItems().size(), kFotogramas);
      qobject_cast<QDialog*>(w)->accept();
    });
    Analisis(kCurvaLuz);
    GraficoCurvaLuz* g = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* c = qobject_cast<GraficoCurvaLuz*>(w)) g = c;
    }
    QVERIFY(g);
    QVERIFY(QTest::qWaitForWindowExposed(g));
    QScatterSeries* puntos = g->Puntos();
    QVERIFY(puntos);
    // Every frame but the one without a date, which is listed with its reason.
    QCOMPARE(puntos->count(), kFotogramas - 1);
    QCOMPARE(g->PuntosControl()->count(), kFotogramas - 1);
    const QString fallidos = g->findChild<QPlainTextEdit*>("Fallidos")->toPlainText();
    QVERIFY2(fallidos.startsWith(QString::fromStdString(
                 ventanas[kSinFecha]->imagen().nombreVentana + ": " + Mensaje(12431))),
             qPrintable(fallidos));
    QVERIFY2(g->TextoMinimo().contains("HJD"), qPrintable(g->TextoMinimo()));

    // A click on a point brings up its frame's window.
    const int punto = 3;
    const size_t k = g->FotogramasPuntos()[punto];
    QVERIFY(marco_->VentanaActiva() != ventanas[k]);
    QChartView* vista = g->Vista();
    const QPointF escena =
        vista->chart()->mapToScene(vista->chart()->mapToPosition(puntos->at(punto), puntos));
    QTest::mouseClick(vista->viewport(), Qt::LeftButton, {}, vista->mapFromScene(escena));
    QTRY_COMPARE(marco_->VentanaActiva(), ventanas[k]);

    // With ORVA_CAPTURAS=dir, the README's picture of the light-curve window.
    const QString capturas = qEnvironmentVariable("ORVA_CAPTURAS");
    if (!capturas.isEmpty()) {
      g->resize(900, 780);
      QTest::qWait(100);
      QVERIFY(g->grab().save(capturas + "/curva_luz_escritorio.png"));
    }
  }

 private:
  static constexpr int kFotogramas = 24;
  static constexpr int kSinFecha = 17;  // a frame whose date is missing

  void Analisis(int etiqueta) {
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    QVERIFY(DisparaMenu(*marco_, {QString::fromStdString(Cadena(14003)),
                                  QString::fromStdString(Cadena(etiqueta))}));
  }
  QTemporaryDir dir_;
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(VariablesGuiTest)
#include "VariablesGuiTest.moc"
