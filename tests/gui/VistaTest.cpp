// Image windows as an observer meets them: sized to the picture, zoom by wheel and "fit", the
// pointer's readout, FITS shown first row at the bottom, and the levels dialog.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <functional>

#include "PruebaQt.h"
#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/Niveles.h"
#include "gui/Marco.h"
#include "gui/ProgresoQt.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Comandos.h"
#include "shell/Configuracion.h"

using namespace orva;

namespace {

const QString kM51 = QStringLiteral(ORVA_TEST_DATA "/m51_iraf_devpix.fits");

// The menu item of a command, found by the label its table row gives it.
QAction* AccionPorEtiqueta(QWidget& marco, int id) {
  const Comando* c = BuscaComando(id);
  if (!c) return nullptr;
  for (QAction* a : marco.findChildren<QAction*>()) {
    if (a->text() == QString::fromStdString(c->etiqueta) && a->data().toInt() == id) return a;
  }
  return nullptr;
}

QPushButton* BotonPorTexto(QWidget* w, const std::string& texto) {
  for (QPushButton* b : w->findChildren<QPushButton*>()) {
    if (b->text() == QString::fromStdString(texto)) return b;
  }
  return nullptr;
}

}  // namespace

class VistaTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Configuracion::Global().RestableceDefectos();
    InstalaSistema();
    marco_ = MarcoPrueba(1100, 800);
    QVERIFY(QTest::qWaitForWindowExposed(marco_.get()));
  }
  void cleanup() {
    CierraMarcoPrueba(marco_);
  }

  void VentanasDelTamanoDeLaImagenEnCascada() {
    VentanaImagen* a = marco_->AbreArchivo(kM51.toStdString());
    VentanaImagen* b = marco_->AbreArchivo(kM51.toStdString());
    QVERIFY(a && b);
    QApplication::processEvents();
    // The whole 512 x 512 frame shows at 1:1 without scroll bars.
    QScrollArea* d = a->desplazamiento();
    QVERIFY(d->viewport()->width() >= 512 && d->viewport()->height() >= 512);
    QVERIFY(!d->horizontalScrollBar()->isVisible() && !d->verticalScrollBar()->isVisible());
    auto* sa = qobject_cast<QMdiSubWindow*>(a->parentWidget());
    auto* sb = qobject_cast<QMdiSubWindow*>(b->parentWidget());
    QVERIFY(sb->pos().x() > sa->pos().x() && sb->pos().y() > sa->pos().y());
    // An image larger than the area gets a window as large as the area, with scroll bars.
    auto grande = std::make_unique<Imagen>();
    grande->CambiaPixeles(3000, 2500, std::vector<int16_t>(3000 * 2500, 5));
    grande->AsignaRuta("grande.qor");
    grande->Actualiza();
    VentanaImagen* g = marco_->MuestraImagen(std::move(grande));
    QApplication::processEvents();
    const QSize area = sa->mdiArea()->viewport()->size();
    QVERIFY(g->parentWidget()->width() <= area.width());
    QVERIFY(g->parentWidget()->height() <= area.height());
    QVERIFY(g->parentWidget()->width() > area.width() / 2);
    // A window opened while the active one is maximized opens maximized.
    qobject_cast<QMdiSubWindow*>(g->parentWidget())->showMaximized();
    VentanaImagen* c = marco_->AbreArchivo(kM51.toStdString());
    QApplication::processEvents();
    QVERIFY(c->parentWidget()->isMaximized());
  }

  void AjusteRuedaYLectura() {
    VentanaImagen* v = marco_->AbreArchivo(kM51.toStdString());
    QApplication::processEvents();
    PanelImagen* p = v->panelImagen();
    // FITS: the top screen row is the last row in memory, reported in FITS terms.
    QCOMPARE(p->PixelEn(QPoint(0, 0)), QPoint(0, 511));
    QTest::mouseMove(p, QPoint(3, 0));
    auto* lectura = marco_->findChild<QLabel*>("Posicion");
    const std::string valor = std::to_string(v->imagen().Pixel(3L, 511L));
    QCOMPARE(lectura->text(), QString::fromStdString(Mensaje(12400, "3", "511", valor) + "   " +
                                                     Mensaje(12401, "4", "512")));
    // A frame whose pixels stand for other values (unsigned data read at half scale) also
    // reads out the physical value.
    VentanaImagen* u = marco_->AbreArchivo(ORVA_TEST_DATA "/eyuma_r90s_cutout.fits");
    QApplication::processEvents();
    QVERIFY(!u->imagen().mapeo.Identidad());
    QTest::mouseMove(u->panelImagen(), QPoint(7, 9));
    const QPoint q = u->panelImagen()->PixelEn(QPoint(7, 9));
    char fisico[64];
    std::snprintf(fisico, sizeof fisico, "%.6g",
                  u->imagen().mapeo.Fisico(u->imagen().Pixel(long{q.x()}, long{q.y()})));
    QVERIFY2(lectura->text().endsWith(QString::fromStdString(Mensaje(12402, fisico))),
             qPrintable(lectura->text()));
    u->parentWidget()->close();
    QApplication::processEvents();
    // Fit to the window from the menu: the picture fills the viewport along one side.
    QAction* ajustar = AccionPorEtiqueta(*marco_, kCmdAjustarVentana);
    QVERIFY(ajustar);
    v->parentWidget()->resize(300, 420);
    QApplication::processEvents();
    ajustar->trigger();
    QApplication::processEvents();
    const QSize vista = v->desplazamiento()->viewport()->size();
    QVERIFY(p->width() <= vista.width() && p->height() <= vista.height());
    QVERIFY(p->width() >= vista.width() - 2 || p->height() >= vista.height() - 2);
    // The wheel zooms in one step about the pointer: the pixel under it stays under it.
    // (A point the scroll range lets stay: the picture does not scroll past its edges.)
    const QPoint enVista(vista.width() / 3, vista.height() / 2 + 20);
    const QPoint pixel = p->PixelEn(p->mapFrom(v->desplazamiento()->viewport(), enVista));
    const double antes = v->imagen().factorZoom;
    for (int paso = 0; paso < 3; ++paso) {
      const QPoint pos = p->mapFrom(v->desplazamiento()->viewport(), enVista);
      QWheelEvent rueda(pos, p->mapToGlobal(pos), QPoint(), QPoint(0, 120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(p, &rueda);
      QApplication::processEvents();
    }
    QCOMPARE(v->imagen().factorZoom, 3.0f);
    QVERIFY(v->imagen().factorZoom > antes);
    QCOMPARE(v->imagen().comandoZoom, int16_t{5040});
    const QPoint despues = p->PixelEn(p->mapFrom(v->desplazamiento()->viewport(), enVista));
    QVERIFY2((despues - pixel).manhattanLength() <= 1, qPrintable(QStringLiteral("%1,%2 -> %3,%4")
                                                                      .arg(pixel.x())
                                                                      .arg(pixel.y())
                                                                      .arg(despues.x())
                                                                      .arg(despues.y())));
  }

  void ClicDeHerramientaEnElPixelMostrado() {
    // A reference point set by the tool menu at a pane position lands on the pixel shown
    // there: on a FITS image, the row counted from the bottom.
    Configuracion::Global().Asigna("General", "HERRAMIENTA", std::to_string(kDesplazar));
    VentanaImagen* v = marco_->AbreArchivo(kM51.toStdString());
    QApplication::processEvents();
    // The item's label as the tool's menu data give it (5159: the reference point).
    QString etiqueta;
    for (const ElementoMenu& e : MenuHerramienta(kDesplazar, v->imagen()).elementos) {
      if (e.id == 5159) etiqueta = QString::fromStdString(e.etiqueta);
    }
    QVERIFY(!etiqueta.isEmpty());
    auto* t = new QTimer;
    t->setInterval(20);
    connect(t, &QTimer::timeout, [t, etiqueta] {
      QWidget* menu = QApplication::activePopupWidget();
      if (!menu) return;
      t->stop();
      t->deleteLater();
      auto* m = qobject_cast<QMenu*>(menu);
      for (QAction* a : m->actions()) {
        if (a->text() == etiqueta) m->setActiveAction(a);
      }
      QTest::keyClick(m, Qt::Key_Return);
    });
    t->start();
    QTest::mouseClick(v->panelImagen(), Qt::RightButton, {}, QPoint(10, 5));
    const PuntoReferencia& r = v->imagen().puntos[kDespRef];
    QVERIFY(r.definido);
    QCOMPARE(r.x, 10);
    QCOMPARE(r.y, 511 - 5);
  }

  void DialogoNivelesConPresetsYTodas() {
    VentanaImagen* v = marco_->AbreArchivo(kM51.toStdString());
    VentanaImagen* otra = marco_->AbreArchivo(kM51.toStdString());
    QMdiArea* area = qobject_cast<QMdiSubWindow*>(v->parentWidget())->mdiArea();
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(v->parentWidget()));
    const Imagen& im = v->imagen();
    const int negroAntes = otra->imagen().Negro(), blancoAntes = otra->imagen().Blanco();
    const QImage bitmapAntes = v->panelImagen()->Bitmap();
    QAction* niveles = AccionPorEtiqueta(*marco_, 5012);
    QVERIFY(niveles);
    // First time: the percentile preset previews at once; cancelling puts the levels back.
    bool visto = false;
    AlAparecerModal([&](QWidget* d) {
      BotonPorTexto(d, Cadena(12414))->click();
      visto = im.Negro() == im.Percentil(1.0) && im.Blanco() == im.Percentil(99.5) &&
              d->findChild<QSpinBox*>("Negro")->value() == im.Negro() &&
              v->panelImagen()->Bitmap() != bitmapAntes;
      qobject_cast<QDialog*>(d)->reject();
    });
    niveles->trigger();
    QVERIFY(visto);
    QCOMPARE(int(im.Negro()), negroAntes);
    QCOMPARE(int(im.Blanco()), blancoAntes);
    QVERIFY(v->panelImagen()->Bitmap() == bitmapAntes);
    // Then zscale on every image, accepted.
    AlAparecerModal([&](QWidget* d) {
      d->findChild<QCheckBox*>("AplicarTodas")->setChecked(true);
      BotonPorTexto(d, Cadena(12415))->click();
      qobject_cast<QDialog*>(d)->accept();
    });
    niveles->trigger();
    const Niveles z = NivelesZScale(im);
    QCOMPARE(int(im.Negro()), z.negro);
    QCOMPARE(int(im.Blanco()), z.blanco);
    QCOMPARE(int(otra->imagen().Negro()), z.negro);
    QVERIFY(otra->imagen().Negro() != negroAntes || otra->imagen().Blanco() != blancoAntes);
  }

  void ProgresoConBarraYTiempoRestante() {
    ProgresoSimple p(marco_.get());
    QVERIFY(p.Abrir("PRUEBA"));
    auto* barra = p.Dialogo()->findChild<QProgressBar*>("Avance");
    auto* restante = p.Dialogo()->findChild<QLabel*>("TiempoRestante");
    QVERIFY(barra && restante && !barra->isVisible());
    p.Avance(0.25);
    QVERIFY(barra->isVisible());
    QCOMPARE(barra->text(), QStringLiteral("25 %"));
    QVERIFY(restante->text().isEmpty());  // too early for a pace
    QTest::qWait(700);
    p.Avance(0.5);
    // As long again as it took (0.7 s or a little more on a loaded machine), in seconds.
    QVERIFY2(restante->text().startsWith(QString::fromStdString(Mensaje(12420, "0:0"))),
             qPrintable(restante->text()));
    p.Cerrar();
  }

 private:
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(VistaTest)
#include "VistaTest.moc"
