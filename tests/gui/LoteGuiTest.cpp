// "Ejecutar Macro en Disco..." driven through its menu item on the offscreen platform: the batch
// asks before replacing its input files and honours the settings' extension change.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "gui/Marco.h"
#include "macro/Macro.h"
#include "processing/Procesamiento.h"
#include "shell/Configuracion.h"
#include "shell/Modulos.h"

using namespace orva;
namespace fs = std::filesystem;

namespace {

// Runs accion on the modal widgets other than distinto that show up until it returns true.
void AlAparecerModal(std::function<bool(QWidget*)> accion, QWidget* distinto = nullptr) {
  auto* t = new QTimer;
  t->setInterval(20);
  QObject::connect(t, &QTimer::timeout, [t, accion, distinto] {
    QWidget* w = QApplication::activeModalWidget();
    if (w && w != distinto && w->isVisible() && accion(w)) {
      t->stop();
      t->deleteLater();
    }
  });
  t->start();
}

// The menu item with that label (ampersands aside).
QAction* PorEtiqueta(QWidget* marco, const QString& etiqueta) {
  for (QAction* a : marco->findChildren<QAction*>()) {
    if (a->text().remove(QLatin1Char('&')) == etiqueta) return a;
  }
  return nullptr;
}

int Minimo(const fs::path& archivo) {
  Imagen im;
  LeeArchivo(archivo.string(), im);
  return im.Minimo();
}

}  // namespace

class LoteGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Configuracion::Global().RestableceDefectos();
    CreaModulos();
    EnlazaFormatosMacro();
    EnlazaProcesamientoMacro();
    ModoSilencioso() = true;  // no log window to dismiss
    char plantilla[] = "/tmp/orva-lote-gui-XXXXXX";
    QVERIFY(::mkdtemp(plantilla));
    dir_ = plantilla;
    fs::create_directory(dir_ / "sal");
    fs::copy_file(fs::path(ORVA_TEST_DATA) / "eyuma_r90s_cutout.fits", dir_ / "a.fits");
    std::ofstream(dir_ / "m.orv") << "ORVA V2.0 MACRO\r\nDESPLAZA 3 4 0\r\n";
    Configuracion& c = Configuracion::Global();
    c.Asigna("Archivos", "MACRODISCO", (dir_ / "m.orv").string());
    c.Asigna("Archivos", "DIRARCHIVOS", dir_.string());
    marco_ = std::make_unique<Marco>();
    marco_->show();
    QVERIFY(QTest::qWaitForWindowExposed(marco_.get()));
  }
  void cleanup() {
    marco_.reset();
    ModoSilencioso() = false;
    fs::remove_all(dir_);
  }

  // Writing beside the inputs asks first: "No" leaves the file alone, "Yes" replaces it.
  void EnSitioSoloSiElUsuarioLoPide() {
    Configuracion::Global().Asigna("Archivos", "DIRGUARDAR", dir_.string());
    const int antes = Minimo(dir_ / "a.fits");
    for (const auto respuesta : {QMessageBox::No, QMessageBox::Yes}) {
      QString pregunta = Lanza(respuesta);
      QVERIFY2(pregunta.contains(QStringLiteral("a.fits")), qPrintable(pregunta));
      if (respuesta == QMessageBox::No) QCOMPARE(Minimo(dir_ / "a.fits"), antes);
    }
    QCOMPARE(Minimo(dir_ / "a.fits"), 0);  // shifted in with 0
  }

  // Into another folder: no question, and the extension of the settings.
  void OtraCarpetaConSuExtension() {
    Configuracion& c = Configuracion::Global();
    c.Asigna("Archivos", "DIRGUARDAR", (dir_ / "sal").string());
    c.Asigna("Archivos", "CAMBEXTEN", "1");
    c.Asigna("Archivos", "EXTENTRAT", "trt");
    QCOMPARE(Lanza(QMessageBox::NoButton), QString());
    QCOMPARE(Minimo(dir_ / "sal" / "a.trt"), 0);
    QVERIFY(Minimo(dir_ / "a.fits") > 0);
  }

 private:
  // Runs the menu item on a.fits: accepts the batch dialog, picks the file, and answers the
  // question (if any) with respuesta. Returns the question's text.
  QString Lanza(QMessageBox::StandardButton respuesta) {
    QAction* accion = PorEtiqueta(marco_.get(), QStringLiteral("Ejecutar Macro en Disco..."));
    if (!accion) return QStringLiteral("no menu item");
    // The handlers outlive this call's frame only if something hangs: they hold copies and a
    // pointer to the answer, which the last one fills before the item returns.
    QString pregunta;
    QString* const destino = &pregunta;
    const QString archivo = QStringLiteral("a.fits");
    AlAparecerModal([](QWidget* dialogo) {
      auto* aceptar = dialogo->findChild<QPushButton*>(QStringLiteral("b1"));
      if (!aceptar) return false;
      aceptar->click();
      return true;
    });
    // The file dialog may still be reading its folder: type and accept until it is gone.
    AlAparecerModal([archivo](QWidget* w) {
      auto* fd = qobject_cast<QFileDialog*>(w);
      if (!fd) return false;
      if (auto* e = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) e->setText(archivo);
      fd->selectFile(archivo);
      if (fd->selectedFiles().isEmpty()) return false;
      QMetaObject::invokeMethod(fd, "accept");
      return true;
    });
    if (respuesta != QMessageBox::NoButton) {
      AlAparecerModal([destino, respuesta](QWidget* caja) {
        auto* m = qobject_cast<QMessageBox*>(caja);
        if (!m) return false;
        *destino = m->text();
        m->button(respuesta)->click();
        return true;
      });
    }
    accion->trigger();
    return pregunta;
  }

  std::unique_ptr<Marco> marco_;
  fs::path dir_;
};

QTEST_MAIN(LoteGuiTest)
#include "LoteGuiTest.moc"
