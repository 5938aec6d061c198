// Long operations of the desktop on the worker thread: the progress window stays alive and its
// cancel button reaches the operation; repaints wait for the interface thread.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "MenusPrueba.h"
#include "PruebaQt.h"

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "gui/Marco.h"
#include "gui/Operaciones.h"
#include "gui/ProgresoQt.h"
#include "gui/VentanaImagen.h"
#include "processing/Filtros.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"

using namespace orva;

namespace {

// A square image of values that differ everywhere, so that any filter changes it.
std::unique_ptr<Imagen> ImagenGrande(uint32_t lado) {
  auto im = std::make_unique<Imagen>();
  std::vector<int16_t> px(static_cast<size_t>(lado) * lado);
  for (size_t i = 0; i < px.size(); ++i) {
    px[i] = static_cast<int16_t>((i * 7919) % 4001 + (i / lado) % 97 * 10);
  }
  im->CambiaPixeles(lado, lado, std::move(px));
  im->AsignaRuta("grande.qor");
  im->Actualiza();
  return im;
}

// The open simple progress window, or null.
QWidget* VentanaProgreso() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == "ProgresoSimple" && w->isVisible()) return w;
  }
  return nullptr;
}

// Records the threads its repaints come on.
class ObservadorPrueba : public ObservadorImagen {
 public:
  void Repinta(int paneles) override {
    hilos.push_back(QThread::currentThread());
    pedidos |= paneles;
  }
  std::vector<QThread*> hilos;
  int pedidos = 0;
};

}  // namespace

class TrabajadorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Configuracion::Global().RestableceDefectos();
    Configuracion::Global().Asigna("General", "DUPLIMA", "0");
    InstalaSistema();
    marco_ = MarcoPrueba();
    QVERIFY(QTest::qWaitForWindowExposed(marco_.get()));
  }
  void cleanup() {
    CierraMarcoPrueba(marco_);
  }

  // A slow filter from the menu runs on the worker: meanwhile the interface thread serves its
  // timers and the frame is disabled; the cancel button stops it, the image stays as it was and the frame comes
  // back.
  void FiltroLargoCanceladoPorSuBoton() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenGrande(1600));
    const std::vector<int16_t> antes = v->imagen().Pixeles();
    const size_t operaciones = v->imagen().Operaciones().size();
    Configuracion::Global().Asigna("FiltrosConvol", "FILTROGENERAL", "MEDIANA 0.5 12");
    AlAparecerModal([](QWidget* w) { w->findChild<QPushButton*>("b1")->click(); });

    int vueltas = 0;
    bool marcoInhabilitado = false, enTrabajador = false, pulsado = false;
    QString mensaje;
    auto* t = new QTimer(marco_.get());
    t->setInterval(20);
    QObject::connect(t, &QTimer::timeout, [&] {
      QWidget* p = VentanaProgreso();
      if (!p || pulsado) return;
      if (++vueltas < kVueltasAntesDeCancelar) return;
      marcoInhabilitado = !marco_->isEnabled();
      enTrabajador = TrabajoEnCurso();
      QCOMPARE(p->findChild<QLineEdit*>("c240")->text(), QStringLiteral("FILTRO MEDIANA 0.5 12"));
      pulsado = true;
      AlAparecerModal([&mensaje](QWidget* w) {
        mensaje = w->findChild<QLabel*>("qt_msgbox_label")->text();
        qobject_cast<QMessageBox*>(w)->accept();
      });
      p->findChild<QPushButton*>("b2")->click();
    });
    t->start();
    std::string popup, etiqueta;
    QVERIFY(MenuDeFiltro(kFiltroGeneral, popup, etiqueta));
    QVERIFY(DisparaMenu(*marco_, {QString::fromStdString(popup), QString::fromStdString(etiqueta)}));
    t->stop();

    QVERIFY(pulsado);
    QVERIFY(marcoInhabilitado);
    QVERIFY(enTrabajador);
    QCOMPARE(mensaje, QString::fromStdString(Cadena(11011)));
    QVERIFY(v->imagen().Pixeles() == antes);
    QCOMPARE(v->imagen().Operaciones().size(), operaciones);
    QVERIFY(marco_->isEnabled());
    QVERIFY(!VentanaProgreso());
    QVERIFY(!TrabajoEnCurso());
    // The desktop goes on: the same filter on a small image runs to its end.
    v->imagen().Modificada(0);
    VentanaImagen* w = marco_->MuestraImagen(ImagenGrande(120));
    Imagen esperada;
    esperada.CopiaImagen(w->imagen());
    QVERIFY(EjecutaFiltro(esperada, {"MEDIANA", "0.5", "12"}));
    AlAparecerModal([](QWidget* d) { d->findChild<QPushButton*>("b1")->click(); });
    QVERIFY(DisparaMenu(*marco_, {QString::fromStdString(popup), QString::fromStdString(etiqueta)}));
    QVERIFY(w->imagen().Pixeles() == esperada.Pixeles());
    QCOMPARE(w->imagen().Operaciones().back(), std::string("FILTRO MEDIANA 0.5 12"));
    QVERIFY(w->windowTitle().endsWith('*'));
    QVERIFY(marco_->isEnabled());
  }

  // The work runs on another thread; the repaints it asks for reach the window afterwards, on
  // this thread, at once; its error comes back here; the frame refuses to close meanwhile.
  void RepintadosDespuesYErroresDevueltos() {
    Imagen im;
    im.CambiaPixeles(4, 4, std::vector<int16_t>(16, 5));
    ObservadorPrueba o;
    im.AsignaObservador(&o);
    QThread* trabajador = nullptr;
    std::atomic<int> cerrado{-1};
    EjecutaEnTrabajador(marco_.get(), {&im}, [&] {
      trabajador = QThread::currentThread();
      im.Modificada(1);
      im.Modificada(1);
      // The interface thread tries to close the frame while the work still runs.
      QMetaObject::invokeMethod(marco_.get(), [&] { cerrado = marco_->close() ? 1 : 0; });
      for (int i = 0; i < 500 && cerrado < 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
    QVERIFY(trabajador && trabajador != QThread::currentThread());
    QCOMPARE(cerrado.load(), 0);
    QCOMPARE(o.hilos.size(), size_t(1));
    QCOMPARE(o.hilos[0], QThread::currentThread());
    QVERIFY(o.pedidos & ObservadorImagen::kVentana);
    QCOMPARE(im.Observador(), &o);
    QVERIFY(marco_->isEnabled());

    int id = 0;
    try {
      EjecutaEnTrabajador(marco_.get(), {&im}, [] { throw JError(12210, "a", "b"); });
    } catch (const JError& e) {
      id = e.Id();
    }
    QCOMPARE(id, 12210);
    QCOMPARE(im.Observador(), &o);
    QVERIFY(marco_->isEnabled());
    im.AsignaObservador(nullptr);
  }

  // Reports from the worker reach the widgets through the window's timer; the cancel button
  // reaches the worker through Cancelado().
  void ProgresoDesdeElTrabajador() {
    ProgresoSimple p(marco_.get());
    QCOMPARE(p.Abrir("PRUEBA"), 1);
    bool visto = false;
    auto* t = new QTimer(marco_.get());
    t->setInterval(20);
    QObject::connect(t, &QTimer::timeout, [&] {
      QDialog* d = p.Dialogo();
      if (!d || d->findChild<QLineEdit*>("c239")->text() != "m51.qor" ||
          d->findChild<QLineEdit*>("c240")->text() != "FILTRO" ||
          d->findChild<QProgressBar*>("Avance")->value() != 500) {
        return;
      }
      visto = true;
      d->findChild<QPushButton*>("b2")->click();
    });
    t->start();
    int sondeos = 0;
    EjecutaEnTrabajador(marco_.get(), {}, [&] {
      p.TextoArchivo("m51.qor");
      p.TextoProceso("FILTRO");
      p.Avance(0.5);
      while (!p.Cancelado() && sondeos < kSondeosMaximos) {
        ++sondeos;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
    t->stop();
    QVERIFY(visto);
    QVERIFY(sondeos < kSondeosMaximos);
    QVERIFY(!p.Dialogo());
    QVERIFY(marco_->isEnabled());
    QCOMPARE(p.Cerrar(), 1);
  }

 private:
  static constexpr int kVueltasAntesDeCancelar = 5;
  static constexpr int kSondeosMaximos = 2000;  // 10 s
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(TrabajadorTest)
#include "TrabajadorTest.moc"
