// The spacecraft frames' module from the desktop, driven by the labels of its "Análisis" items:
// the marks of a shifted synthetic reseau found into the data pane, the correction with the
// marks removed run as its macro line, the clearing item grayed until there is something.
#include <QApplication>
#include <QPlainTextEdit>
#include <QtTest>
#include <cmath>

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
    marco_->show();
    VentanaImagen* v = marco_->MuestraImagen(Fotograma());
    QVERIFY(v);
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    marco_->RefrescaMenus();
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

 private:
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(VoyagerGuiTest)
#include "VoyagerGuiTest.moc"
