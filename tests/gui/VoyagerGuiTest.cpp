// The spacecraft frames' module from the desktop, driven by the labels of its "Análisis" items:
// the marks of a shifted synthetic reseau found into the data pane, the correction with the
// marks removed run as its macro line, the clearing item grayed until there is something; the
// marks saved as CSV through the save dialog.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <cmath>
#include <functional>
#include <sys/stat.h>

#include "MenusPrueba.h"
#include "PruebaQt.h"

#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "spacecraft/ModuloVoyager.h"
#include "spacecraft/Reseau.h"

using namespace orva;

namespace {

constexpr int kLado = 200;
constexpr double kDx = 1.5, kDy = -1.0;  // the shift of the drawn marks

QString Etiqueta(int id) {
  return QString::fromStdString(Cadena(id));
}

// Answers the next message box other than `distinto` with `boton`, keeping its text, then runs
// `luego`.
void RespondeMensaje(QMessageBox::StandardButton boton, QString* texto, QWidget* distinto,
                     std::function<void()> luego = {}) {
  AlAparecerModal(
      [=](QWidget* w) {
        auto* m = qobject_cast<QMessageBox*>(w);
        QVERIFY(m && m->button(boton));
        *texto = m->text();
        m->button(boton)->click();
        if (luego) luego();
      },
      distinto);
}

std::unique_ptr<Imagen> Fotograma() {
  const RejillaReseau r = RejillaRegular(kLado, kLado, kLadoRejillaRegular);
  std::vector<int16_t> px(static_cast<size_t>(kLado * kLado));
  for (int y = 0; y < kLado; ++y) {
    for (int x = 0; x < kLado; ++x) {
      double v = 150.0 + 0.2 * x;
      for (const MarcaReseau& m : r.marcas) {
        const double d2 = std::pow(x - m.xObjeto - kDx, 2) + std::pow(y - m.yObjeto - kDy, 2);
        if (d2 < 64) v -= 100.0 * std::exp(-0.5 * d2 / 1.44);
      }
      px[static_cast<size_t>(y * kLado + x)] = static_cast<int16_t>(std::lround(v));
    }
  }
  auto im = std::make_unique<Imagen>();
  im->CambiaPixeles(kLado, kLado, std::move(px));
  im->AsignaRuta("c1234567.qor");
  im->CambiaTipoObjeto(kVoyager);
  im->modoPanel = ModoPanel::kDatos;
  im->Actualiza();
  return im;
}

}  // namespace

class VoyagerGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstalaSistema(); }
  void init() {
    Configuracion::Global().RestableceDefectos();
    marco_ = MarcoPrueba();
  }
  void cleanup() { CierraMarcoPrueba(marco_); }

  void MarcasYCorreccionDesdeElMenu() {
    VentanaImagen* v = FotogramaConAnalisis();
    QVERIFY(v);
    const QString analisis = Etiqueta(14003);
    QAction* borrar = AccionMenu(*marco_, {analisis, Etiqueta(12569)});
    QVERIFY(borrar && !borrar->isEnabled());

    QVERIFY(DisparaMenu(*marco_, {analisis, Etiqueta(12565)}));
    const DatosVoyager* d = DatosVoyagerDe(std::as_const(v->imagen()));
    QVERIFY(d && d->marcas.size() == 81);
    for (const MarcaEncontrada& m : d->marcas) QVERIFY(m.encontrada);
    QVERIFY(std::fabs(d->marcas[40].x - d->rejilla.marcas[40].xNominal - kDx) < 0.1);
    QVERIFY(v->panelDatos()->toPlainText().contains("81 de 81 marcas"));

    marco_->RefrescaMenus();
    QVERIFY(DisparaMenu(*marco_, {analisis, Etiqueta(12567)}));
    const auto corregida = [this] {
      for (VentanaImagen* w : marco_->Ventanas()) {
        for (const std::string& t : w->imagen().cabecera.Tarjetas()) {
          if (t.find("RETICULA 9 QUITA") != std::string::npos) return true;
        }
      }
      return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(corregida(), 10000);
  }

  // The export grayed until marks are found; then the file named in the save dialog (which
  // offers the image's name) gets the command line's table, an existing file replaced once the
  // user says so, a fifo never.
  void MarcasExportadasComoCsv() {
    VentanaImagen* v = FotogramaConAnalisis();
    QVERIFY(v);
    const QStringList exportar = {Etiqueta(14003), Etiqueta(12590)};
    QAction* accion = AccionMenu(*marco_, exportar);
    QVERIFY(accion && !accion->isEnabled());
    QVERIFY(DisparaMenu(*marco_, {Etiqueta(14003), Etiqueta(12565)}));
    marco_->RefrescaMenus();
    const DatosVoyager* d = DatosVoyagerDe(std::as_const(v->imagen()));
    QVERIFY(d && !d->marcas.empty());
    const std::string tabla = TablaMarcas(d->rejilla, d->marcas);

    QTemporaryDir dir;
    const QByteArray viejo = "viejo\n";
    QFile previo(dir.filePath("previo.csv"));
    QVERIFY(previo.open(QIODevice::WriteOnly) && previo.write(viejo) == viejo.size());
    previo.close();
    QVERIFY(::mkfifo(dir.filePath("tubo.csv").toLocal8Bit().constData(), 0600) == 0);

    for (const QString nombre : {"nuevo.csv", "previo.csv", "tubo.csv"}) {
      const QString ruta = dir.filePath(nombre);
      const bool existia = QFileInfo::exists(ruta), tubo = nombre == "tubo.csv";
      QString propuesto, pregunta, error;
      AlAparecerModal([&](QWidget* w) {
        auto* f = qobject_cast<QFileDialog*>(w);
        QVERIFY(f);
        auto* campo = f->findChild<QLineEdit*>("fileNameEdit");
        propuesto = campo->text();
        campo->setText(ruta);
        // Replacing is confirmed; the refusal of a fifo comes once the dialog has closed.
        const auto rechazo = [&error, f, tubo] {
          if (tubo) RespondeMensaje(QMessageBox::Ok, &error, f);
        };
        if (existia) RespondeMensaje(QMessageBox::Yes, &pregunta, f, rechazo);
        QMetaObject::invokeMethod(f, "accept");
      });
      QVERIFY(DisparaMenu(*marco_, exportar));
      QCOMPARE(propuesto, QString("c1234567_marcas.csv"));
      QCOMPARE(!pregunta.isEmpty(), existia);
      if (tubo) {
        QVERIFY2(error.contains(ruta), qPrintable(error));
        struct stat st {};
        QVERIFY(::stat(ruta.toLocal8Bit().constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        continue;
      }
      QFile f(ruta);
      QVERIFY(f.open(QIODevice::ReadOnly));
      const QByteArray escrito = f.readAll();
      QCOMPARE(escrito.toStdString(), tabla);
      QCOMPARE(escrito.count('\n'), static_cast<qsizetype>(d->marcas.size() + 1));
    }
    // No temporary file left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 3);
  }

 private:
  // The synthetic frame in a window with the analysis tool chosen; null when a step fails.
  VentanaImagen* FotogramaConAnalisis() {
    marco_->show();
    VentanaImagen* v = marco_->MuestraImagen(Fotograma());
    if (!v || !DisparaMenu(*marco_, {"&Herramientas", "&Análisis"})) return nullptr;
    marco_->RefrescaMenus();
    return v;
  }

  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(VoyagerGuiTest)
#include "VoyagerGuiTest.moc"
