// The language items of the desktop, driven by their labels on the offscreen platform.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <functional>

#include "PruebaQt.h"
#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"

using namespace orva;

namespace {

// Runs accion on the next modal window of type T that shows up.
template <class T>
void AlAparecerModal(std::function<void(T*)> accion) {
  auto* t = new QTimer;
  t->setInterval(20);
  QObject::connect(t, &QTimer::timeout, [t, accion] {
    if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
      t->stop();
      t->deleteLater();
      accion(w);
    }
  });
  t->start();
}

// Accepts the file dialog with ruta, again until it goes (it may still be reading its folder).
void EligeArchivo(QFileDialog* w, const QString& ruta) {
  QPointer<QFileDialog> d(w);
  auto* t = new QTimer;
  t->setInterval(30);
  QObject::connect(t, &QTimer::timeout, [t, d, ruta] {
    if (!d || !d->isVisible()) {
      t->stop();
      t->deleteLater();
      return;
    }
    if (auto* e = d->findChild<QLineEdit*>("fileNameEdit")) e->setText(ruta);
    d->selectFile(ruta);
    QMetaObject::invokeMethod(d, "accept");
  });
  t->start();
}

// The visible action of the menu bar whose label, without '&', is texto.
QAction* PorEtiqueta(QWidget* raiz, const QString& texto) {
  for (QAction* a : raiz->findChildren<QAction*>()) {
    QString t = a->text();
    t.remove('&');
    if (t == texto && a->data().isValid()) return a;
  }
  return nullptr;
}

QStringList TitulosBarra(Marco& m) {
  QStringList r;
  for (QAction* a : m.menuBar()->actions()) r << a->text();
  return r;
}

}  // namespace

class IdiomaTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Configuracion::Global().RestableceDefectos();
    FijaIdioma(kCastellano);
    InstalaSistema();
    marco_ = std::make_unique<Marco>();
    marco_->archivoConfig = dir_.filePath("ORVA4.INI").toStdString();
    marco_->resize(900, 600);
    marco_->show();
    QVERIFY(QTest::qWaitForWindowExposed(marco_.get()));
  }
  void cleanup() {
    CierraMarcoPrueba(marco_);
    FijaIdioma(kCastellano);
  }

  void InglesCambiaMenusMensajesYSeGuarda() {
    QVERIFY(TitulosBarra(*marco_).contains("&Archivo"));
    QAction* ingles = PorEtiqueta(marco_.get(), "Inglés");
    QVERIFY(ingles);
    ingles->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The menu bar is rebuilt in English at once, the Spanish popups gone.
    const QStringList titulos = TitulosBarra(*marco_);
    QCOMPARE(titulos, (QStringList{"&File", "&View", "&Geometry", "&Process", "A&nalysis",
                                   "&Tools", "&Window", "&Help"}));
    QVERIFY(PorEtiqueta(marco_.get(), "Open..."));
    QVERIFY(!PorEtiqueta(marco_.get(), "Abrir..."));
    QAction* english = PorEtiqueta(marco_.get(), "English");
    QVERIFY(english && english->isChecked());
    QVERIFY(!PorEtiqueta(marco_.get(), "Spanish")->isChecked());

    // The choice is saved at once.
    QFile ini(QString::fromStdString(marco_->archivoConfig));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().contains("LENGUAJE=3"));

    // A message of a command run from the English menu comes in English.
    marco_->MuestraImagen([] {
      auto im = std::make_unique<Imagen>();
      im->CambiaPixeles(8, 8, std::vector<int16_t>(64, 100));
      im->AsignaRuta("plana.qor");
      im->Actualiza();
      return im;
    }());
    const QString macro = dir_.filePath("mala.orv");
    {
      std::ofstream f(macro.toStdString(), std::ios::binary);
      f << "ORVA V2.0 MACRO\r\nNADA 1\r\n";
    }
    QString texto;
    AlAparecerModal<QFileDialog>([&](QFileDialog* d) { EligeArchivo(d, macro); });
    AlAparecerModal<QMessageBox>([&texto](QMessageBox* caja) {
      texto = caja->text();
      caja->accept();
    });
    QAction* ejecutar = PorEtiqueta(marco_.get(), "Run Macro...");
    QVERIFY(ejecutar);
    ejecutar->trigger();
    QVERIFY2(texto.startsWith("Error in line 1 of macro") && texto.contains("unknown command"),
             qPrintable(texto));

    // Dialogs built from their tables take English titles, labels and buttons.
    QString titulo, casilla, boton;
    AlAparecerModal<QDialog>([&](QDialog* d) {
      titulo = d->windowTitle();
      for (QCheckBox* c : d->findChildren<QCheckBox*>()) casilla += c->text() + "|";
      if (auto* b = d->findChild<QPushButton*>("b2")) boton = b->text();
      d->reject();
    });
    PorEtiqueta(marco_.get(), "General")->trigger();
    QCOMPARE(titulo, QStringLiteral("GENERAL SETTINGS"));
    QVERIFY2(casilla.contains("Save settings on exit|"), qPrintable(casilla));
    QCOMPARE(boton, QStringLiteral("Cancel"));

    // And back to Spanish by the English label.
    PorEtiqueta(marco_.get(), "Spanish")->trigger();
    QCOMPARE(TitulosBarra(*marco_).front(), QStringLiteral("&Archivo"));
    QCOMPARE(QString::fromStdString(Configuracion::Global().Valor("LENGUAJE")), QStringLiteral("0"));
  }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(IdiomaTest)
#include "IdiomaTest.moc"
