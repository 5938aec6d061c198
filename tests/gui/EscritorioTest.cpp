// The desktop driven through its real widgets on the offscreen platform.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <cmath>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "MenusPrueba.h"
#include "PruebaQt.h"

#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "formats/TiposArchivo.h"
#include "gui/DialogoQt.h"
#include "gui/Marco.h"
#include "gui/Preferencias.h"
#include "gui/ProgresoQt.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"

using namespace orva;

namespace {

// Runs accion on the next modal window that shows up (file dialog, message box, dialog).
std::unique_ptr<Imagen> ImagenRampa() {
  auto im = std::make_unique<Imagen>();
  std::vector<int16_t> px(40 * 30);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<int16_t>(i * 20);
  im->CambiaPixeles(40, 30, std::move(px));
  im->AsignaRuta("rampa.qor");
  im->Actualiza();
  return im;
}

}  // namespace

class EscritorioTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Configuracion::Global().RestableceDefectos();
    InstalaSistema();
    marco_ = MarcoPrueba();
    QVERIFY(QTest::qWaitForWindowExposed(marco_.get()));
  }
  void cleanup() {
    CierraMarcoPrueba(marco_);
  }

  void AbrirQorPorElComando() {
    QTemporaryDir dir;
    const std::string ruta = dir.filePath("rampa.qor").toStdString();
    auto im = ImagenRampa();
    GuardaArchivo(ruta, *im, kQor);
    AlAparecerModal([ruta](QWidget* w) {
      // Accepted again until it goes: the first accept may come while the dialog is still
      // reading its directory.
      QPointer<QFileDialog> d(qobject_cast<QFileDialog*>(w));
      QVERIFY(d);
      auto* t = new QTimer;
      t->setInterval(30);
      QObject::connect(t, &QTimer::timeout, [t, d, ruta] {
        if (!d || !d->isVisible()) {
          t->stop();
          t->deleteLater();
          return;
        }
        if (auto* e = d->findChild<QLineEdit*>("fileNameEdit")) {
          e->setText(QString::fromStdString(ruta));
        }
        d->selectFile(QString::fromStdString(ruta));
        QMetaObject::invokeMethod(d, "accept");
      });
      t->start();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Archivo", "&Abrir..."}));
    QCOMPARE(marco_->Ventanas().size(), size_t{1});
    const Imagen& abierta = marco_->VentanaActiva()->imagen();
    QCOMPARE(abierta.Ancho(), 40u);
    QCOMPARE(abierta.Alto(), 30u);
    QCOMPARE(abierta.Pixeles(), im->Pixeles());
    QCOMPARE(QString::fromStdString(abierta.nombreVentana), QStringLiteral("rampa.qor:01"));
    // With an image active the image commands come alive.
    QVERIFY(marco_->Accion(5002)->isEnabled());
  }

  void ZoomConCtrl5() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenRampa());
    QVERIFY(!marco_->Accion(5002)->isEnabled() == false);
    QTest::keyClick(marco_.get(), Qt::Key_5, Qt::ControlModifier);
    QCOMPARE(v->imagen().comandoZoom, int16_t{5033});
    QCOMPARE(v->imagen().factorZoom, 0.2f);
    QVERIFY(marco_->Accion(5033)->isChecked());
    QCOMPARE(v->imagen().Operaciones().back(), std::string("ZOOM D 5"));
    QCOMPARE(v->panelImagen()->width(), 8);
    // Alt+1 gives 1:1 and leaves no zoom item checked.
    QTest::keyClick(marco_.get(), Qt::Key_1, Qt::AltModifier);
    QCOMPARE(v->imagen().comandoZoom, int16_t{5014});
    QCOMPARE(v->imagen().Operaciones().back(), std::string("ZOOM A 1"));
    for (int id = 5030; id <= 5046; ++id) {
      if (QAction* a = marco_->Accion(id))
        QVERIFY2(!a->isChecked(), qPrintable(QString::number(id)));
    }
    QVERIFY(!marco_->Accion(5014)->isChecked());
  }

  void InvertirYPanelOperaciones() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenRampa());
    const uint8_t antes = v->imagen().Gris(0);
    const QImage bitmapAntes = v->panelImagen()->Bitmap();
    QVERIFY(DisparaMenu(*marco_, {"Visua&lizar", "&Invertir grises"}));
    QCOMPARE(v->imagen().Gris(0), static_cast<uint8_t>(255 - antes));
    QCOMPARE(v->imagen().Operaciones().back(), std::string("INVERTIR"));
    QVERIFY(v->panelImagen()->Bitmap() != bitmapAntes);
    // The operations pane lists the log.
    QVERIFY(DisparaMenu(*marco_, {"Visua&lizar", "Mostrar &Operaciones Imagen"}));
    QVERIFY(v->panelDatos()->isVisible());
    QVERIFY(!v->panelHistograma()->isVisible());
    QVERIFY(v->panelDatos()->toPlainText().contains("INVERTIR"));
    QVERIFY(marco_->Accion(5021)->isChecked());
    QVERIFY(!marco_->Accion(5015)->isChecked());
    QVERIFY(DisparaMenu(*marco_, {"Visua&lizar", "Mostrar &Histograma"}));
    QVERIFY(v->panelHistograma()->isVisible());
    QVERIFY(!v->panelDatos()->isVisible());
    QCOMPARE(v->imagen().Operaciones().back(), std::string("MOSTRAR HISTO"));
  }

  void CancelarDialogoRestauraValores() {
    std::string ancho = "360", nombre = "uno";
    std::vector<ItemDialogo> tabla(2);
    tabla[0] = {kItemEdicion, 100, 0, &ancho, &LegalidadEntero, RangoEntero{1, 1000}, nullptr};
    tabla[1] = {kItemEdicionViva, 101, 0, &nombre, {}, {}, nullptr};
    DisenoDialogo d{"PRUEBA", {{100, "Ancho"}, {101, "Nombre"}}, 0};
    std::string visto;
    AlAparecerModal([&](QWidget* w) {
      auto* e = w->findChild<QLineEdit*>("c100");
      auto* n = w->findChild<QLineEdit*>("c101");
      QVERIFY(e && n);
      QCOMPARE(e->text(), QStringLiteral("360"));
      e->selectAll();
      QTest::keyClicks(e, "99999");  // illegal, written straight into the bound value
      n->selectAll();
      QTest::keyClicks(n, "dos");
      visto = ancho + "/" + nombre;
      w->findChild<QPushButton*>("b2")->click();
    });
    QCOMPARE(EjecutarDialogo(std::move(tabla), d, 0, marco_.get()), 0);
    QCOMPARE(visto, std::string("99999/dos"));
    QCOMPARE(ancho, std::string("360"));
    QCOMPARE(nombre, std::string("uno"));
  }

  void AceptarConValorIlegalSigueAbierto() {
    // A stored value out of range is refused on accepting: the dialog stays open with the field
    // selected and its own label in the message; the settings keep what they had until a legal
    // value is accepted.
    Configuracion::Global().Asigna("Histograma", "TAMHISX", "5");
    const QStringList menu = {"&Archivo", "&Preferencias", "Ventana &Histograma"};
    QStringList mensajes;
    bool abierto = false;
    QString seleccion;
    auto pulsa = [&mensajes](QWidget* w) {
      AlAparecerModal([&mensajes](QWidget* m) {
        auto* caja = qobject_cast<QMessageBox*>(m);
        mensajes << (caja ? caja->text() : QString());
        if (caja) caja->accept();
      });
      w->findChild<QPushButton*>("b1")->click();
    };
    AlAparecerModal([&](QWidget* w) {
      auto* e = w->findChild<QLineEdit*>("c100");
      pulsa(w);
      abierto = w->isVisible();
      seleccion = e->selectedText();
      QCOMPARE(Configuracion::Global().Valor("TAMHISX"), std::string("5"));
      e->setText("abc");  // not a number at all
      pulsa(w);
      e->selectAll();
      QTest::keyClicks(e, "300");
      emit e->editingFinished();  // the user leaves the field
      pulsa(w);
    });
    QVERIFY(DisparaMenu(*marco_, menu));
    QVERIFY(abierto);
    QCOMPARE(seleccion, QStringLiteral("5"));
    const QString esperado = QString::fromStdString(Mensaje(12070, "Ancho", "32", "4000"));
    QCOMPARE(mensajes, (QStringList{esperado, esperado}));
    QCOMPARE(Configuracion::Global().Valor("TAMHISX"), std::string("300"));
    // Cancelled after a refusal: nothing reaches the settings.
    AlAparecerModal([&](QWidget* w) {
      w->findChild<QLineEdit*>("c100")->setText("1");
      pulsa(w);
      w->findChild<QPushButton*>("b2")->click();
    });
    QVERIFY(DisparaMenu(*marco_, menu));
    QCOMPARE(Configuracion::Global().Valor("TAMHISX"), std::string("300"));
  }

  void ProgresoCanceladoPorSuBoton() {
    ProgresoSimple p(marco_.get());
    QCOMPARE(p.Abrir("FILTRANDO"), 1);
    QCOMPARE(p.Abrir("OTRO"), 0);
    QVERIFY(!marco_->isEnabled());
    QVERIFY(p.Dialogo());
    p.TextoArchivo("m51.qor");
    QCOMPARE(p.Dialogo()->findChild<QLineEdit*>("c239")->text(), QStringLiteral("m51.qor"));
    QCOMPARE(p.Cancelado(), 0);
    p.Dialogo()->move(300, 200);
    p.Dialogo()->findChild<QPushButton*>("b2")->click();
    QCOMPARE(p.Cancelado(), 1);
    QVERIFY(marco_->isEnabled());
    QVERIFY(!p.Dialogo());
    QCOMPARE(p.Cerrar(), 1);  // the window is already gone: only forgotten
    QCOMPARE(Configuracion::Global().Valor("ABDLGPOSX"), std::string("300"));
    // Silent mode shows nothing and never cancels.
    ModoSilencioso() = true;
    QCOMPARE(p.Abrir("X"), 1);
    QVERIFY(!p.Dialogo());
    QCOMPARE(p.Cancelado(), 0);
    QCOMPARE(p.Cerrar(), 1);
    ModoSilencioso() = false;
  }

  void ProgresoLogGuardaConFinesWindows() {
    ProgresoLog p(marco_.get());
    QCOMPARE(p.Abrir("ESTRELLAS"), 1);
    p.AnadirLinea("uno\n");
    p.AnadirLinea("dos\n");
    QCOMPARE(p.Dialogo()->findChild<QPlainTextEdit*>("c558")->toPlainText(),
             QStringLiteral("uno\ndos\n"));
    QTimer::singleShot(50, [&p] {
      QCOMPARE(p.Dialogo()->findChild<QPushButton*>("b559")->text(), QStringLiteral("SALIR"));
      QVERIFY(p.Dialogo()->findChild<QPushButton*>("b3")->isEnabled());
      p.Dialogo()->findChild<QPushButton*>("b559")->click();
    });
    QCOMPARE(p.Cerrar(), 1);
    QTemporaryDir dir;
    const std::string f = dir.filePath("log.txt").toStdString();
    p.GuardaLog(f);
    QFile leido(QString::fromStdString(f));
    QVERIFY(leido.open(QIODevice::ReadOnly));
    QCOMPARE(leido.readAll(), QByteArray("uno\r\ndos\r\n"));
  }

  void AnalisisSinImagen() {
    // Not the analysis tool: grayed.
    QVERIFY(!marco_->PopupAnalisis()->isEnabled());
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));  // tool 8
    QVERIFY(marco_->Accion(5139)->isChecked());
    QVERIFY(marco_->PopupAnalisis()->isEnabled());
    QList<int> ids;
    for (QAction* a : marco_->PopupAnalisis()->actions()) ids << a->data().toInt();
    QCOMPARE(ids, (QList<int>{7000, 7001, 7002, 7003, 7004, 7005}));
    // An ESTELAR image in the analysis tool shows a grayed popup.
    auto im = ImagenRampa();
    im->CambiaTipoObjeto(16);
    marco_->MuestraImagen(std::move(im));
    QVERIFY(!marco_->PopupAnalisis()->isEnabled());
  }

  void SalidaRechazadaPorImagenModificada() {
    Configuracion::Global().Asigna("General", "ASKEXIT", "1");
    VentanaImagen* v = marco_->MuestraImagen(ImagenRampa());
    marco_->MuestraImagen(ImagenRampa());
    v->imagen().Modificada(1);
    QString pregunta;
    AlAparecerModal([&pregunta](QWidget* w) {
      auto* m = qobject_cast<QMessageBox*>(w);
      QVERIFY(m);
      pregunta = m->text();
      m->button(QMessageBox::Cancel)->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Archivo", "&Salir"}));
    QVERIFY(pregunta.contains("rampa.qor:01"));
    QVERIFY(marco_->isVisible());
    // Every window is asked first: the refusal leaves all of them open.
    QCOMPARE(marco_->Ventanas().size(), size_t{2});
    QCOMPARE(marco_->Ventanas().front(), v);
    // With ASKEXIT "0" nothing is asked.
    Configuracion::Global().Asigna("General", "ASKEXIT", "0");
    QVERIFY(DisparaMenu(*marco_, {"&Archivo", "&Salir"}));
    QVERIFY(!marco_->isVisible());
  }

  void ErrorMostradoYLaAplicacionSigue() {
    QString texto;
    AlAparecerModal([&texto](QWidget* w) {
      auto* m = qobject_cast<QMessageBox*>(w);
      QVERIFY(m);
      texto = m->text();
      m->accept();
    });
    QVERIFY(marco_->AbreArchivo("/no/existe/nada.qor") == nullptr);
    QVERIFY(!texto.isEmpty());
    QVERIFY(marco_->isVisible());
  }

  void MenuDeHerramientaYPuntos() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenRampa());
    // Tool 0: a right click opens nothing.
    Configuracion::Global().Asigna("General", "HERRAMIENTA", "0");
    QTest::mouseClick(v->panelImagen(), Qt::RightButton, {}, QPoint(3, 3));
    QVERIFY(!QApplication::activePopupWidget());
    Configuracion::Global().Asigna("General", "HERRAMIENTA", "2");
    QTimer::singleShot(50, [] {
      QMenu* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(m);
      for (QAction* a : m->actions()) {
        if (a->data().toInt() == 5172) m->setActiveAction(a);
      }
      QTest::keyClick(m, Qt::Key_Return);
    });
    QTest::mouseClick(v->panelImagen(), Qt::RightButton, {}, QPoint(7, 9));
    QCOMPARE(v->imagen().puntos[kCentroRota].definido, int16_t{1});
    QCOMPARE(v->imagen().puntos[kCentroRota].x, 7);
    QCOMPARE(v->imagen().puntos[kCentroRota].y, 9);
  }

  // With ORVA_CAPTURA=file.png, saves a picture of the frame with two image windows, one
  // showing its histogram (the README's picture).
  void Captura() {
    const QByteArray destino = qgetenv("ORVA_CAPTURA");
    if (destino.isEmpty()) QSKIP("ORVA_CAPTURA not set");
    auto campo = std::make_unique<Imagen>();
    std::vector<int16_t> px(320 * 240);
    const int estrellas[][3] = {{60, 50, 9000},    {200, 80, 14000}, {150, 170, 6000},
                                {260, 200, 11000}, {90, 190, 4000},  {230, 40, 3000}};
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 320; ++x) {
        double v = 600 + 40 * ((x * 7 + y * 13) % 11);
        for (const auto& e : estrellas) {
          const double d2 = (x - e[0]) * (x - e[0]) + (y - e[1]) * (y - e[1]);
          v += e[2] * std::exp(-d2 / 18.0);
        }
        px[static_cast<size_t>(y) * 320 + static_cast<size_t>(x)] = static_cast<int16_t>(v);
      }
    }
    campo->CambiaPixeles(320, 240, std::move(px));
    campo->AsignaRuta("campo.qor");
    campo->Actualiza();
    VentanaImagen* a = marco_->MuestraImagen(std::move(campo));
    a->parentWidget()->setGeometry(10, 10, 360, 300);
    VentanaImagen* b = marco_->MuestraImagen(ImagenRampa());
    b->parentWidget()->setGeometry(390, 10, 360, 420);
    QVERIFY(DisparaMenu(*marco_, {"Visua&lizar", "&Ampliar", "3:1"}));
    a->parentWidget()->setFocus();
    marco_->Mdi()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(a->parentWidget()));
    QVERIFY(DisparaMenu(*marco_, {"Visua&lizar", "Mostrar &Histograma"}));
    a->parentWidget()->resize(360, 460);
    QTest::qWait(100);
    QVERIFY(marco_->grab().save(QString::fromLocal8Bit(destino)));
  }

  void MemoriaDeProcMeminfo() {
    long f = 0, vm = 0;
    MemoriaDisponible(
        "MemTotal: 100 kB\nMemAvailable:   5000 kB\nCommitLimit: 9000 kB\n"
        "Committed_AS: 2500 kB\n",
        f, vm);
    QCOMPARE(f, 5000L);
    QCOMPARE(vm, 6500L);
    MemoriaDisponible("basura", f, vm);
    QCOMPARE(f, -1L);
    QVERIFY(marco_->EtiquetaMemoria()->text().startsWith("Mem="));
  }

 private:
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(EscritorioTest)
#include "EscritorioTest.moc"
