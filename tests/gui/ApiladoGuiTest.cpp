// The several-image commands of the desktop driven by their menu labels on the offscreen platform.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "MenusPrueba.h"
#include "PruebaQt.h"

#include "core/Imagen.h"
#include "core/Rango.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "processing/Geometria.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"

using namespace orva;

namespace {

constexpr int kAncho = 30, kAlto = 20;

// A frame whose one bright pixel sits at (10 + dx, 8 + dy) on a level `nivel`, with that pixel
// as its reference point.
std::unique_ptr<Imagen> Fotograma(const char* nombre, int dx, int dy, int nivel) {
  auto im = std::make_unique<Imagen>();
  std::vector<int16_t> px(kAncho * kAlto, static_cast<int16_t>(nivel));
  px[static_cast<size_t>((8 + dy) * kAncho + 10 + dx)] = 1000;
  im->CambiaPixeles(kAncho, kAlto, std::move(px));
  im->AsignaRuta(nombre);
  im->puntos[kDespRef] = PuntoReferencia{1, 10 + dx, 8 + dy};
  im->Actualiza();
  return im;
}

}  // namespace

class ApiladoGuiTest : public QObject {
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

  // "Media por referencia agrupando": frames 1-2 and 3 in two groups, each aligned on its first
  // frame's reference point, every result in a new window; the frames stay as they were.
  void MediaPorReferenciaAgrupandoAbreUnaVentanaPorGrupo() {
    marco_->MuestraImagen(Fotograma("a.fits", 0, 0, 100));
    marco_->MuestraImagen(Fotograma("b.fits", 3, 2, 200));
    marco_->MuestraImagen(Fotograma("c.fits", -2, 1, 50));
    const std::vector<int16_t> antes = marco_->Ventanas()[1]->imagen().Pixeles();
    bool visto = false;
    AlAparecerModal([&visto](QWidget* w) {
      visto = w->findChild<QListWidget*>("Imagenes")->selectedItems().size() == 3;
      QCOMPARE(w->findChild<QComboBox*>("Metodo")->currentIndex(), 0);  // mean
      w->findChild<QLineEdit*>("Grupo")->setText("2");
      w->findChild<QPushButton*>("b1")->click();
    });
    QVERIFY(
        DisparaMenu(*marco_, {"&Tratar", "Varias &imagenes", "Media por referencia agrupando"}));
    QVERIFY(visto);
    const std::vector<VentanaImagen*> v = marco_->Ventanas();
    QCOMPARE(v.size(), size_t(5));
    const Imagen& g1 = v[3]->imagen();
    const Imagen& g2 = v[4]->imagen();
    QCOMPARE(g1.Pixel(10L, 8L), int16_t(1000));  // both bright pixels on the first one's
    QCOMPARE(g1.Pixel(25L, 3L), int16_t(150));
    QCOMPARE(g2.Pixel(8L, 9L), int16_t(1000));  // a group of one: the frame itself
    QCOMPARE(g2.Pixel(0L, 0L), int16_t(50));
    QCOMPARE(marco_->Ventanas()[1]->imagen().Pixeles(), antes);
  }

  // "Media por referencia" aligned by the stars: a shifted and a rotated copy of a real frame are
  // registered on it and their mean lies on it; a frame of another field is named with its
  // reason and left out; the choice is remembered. With only that frame besides the reference,
  // nothing is made and the user is told.
  void MediaPorReferenciaAlineaPorEstrellas() {
    const std::string m51 = ORVA_TEST_DATA "/m51_iraf_devpix.fits";
    VentanaImagen* ref = marco_->AbreArchivo(m51);
    VentanaImagen* movida = marco_->AbreArchivo(m51);
    VentanaImagen* girada = marco_->AbreArchivo(m51);
    QVERIFY(ref && movida && girada);
    AplicaDesplaza(movida->imagen(), ParamsDesplaza{9, -6, Rango().defecto});
    ParamsRotacion rot;
    rot.angulo = 4;
    AplicaRotacion(girada->imagen(), rot);
    QVERIFY(marco_->AbreArchivo(ORVA_TEST_DATA "/eyuma_r90s_cutout.fits"));

    QString aviso;
    auto dialogo = [&aviso](int alineacion) {
      AlAparecerModal([&aviso, alineacion](QWidget* w) {
        auto* alinea = w->findChild<QComboBox*>("Alineacion");
        QVERIFY(alinea);
        QCOMPARE(alinea->itemText(1), QStringLiteral("Estrellas (registro automático)"));
        alinea->setCurrentIndex(alineacion);
        QVERIFY(w->findChild<QLabel*>("NotaAlineacion")->text().contains("primera imagen"));
        w->findChild<QPushButton*>("b1")->click();
        AlAparecerModal([&aviso](QWidget* m) {
          auto* caja = qobject_cast<QMessageBox*>(m);
          QVERIFY(caja);
          aviso = caja->text();
          caja->accept();
        });
      });
    };
    dialogo(1);
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "Varias &imagenes", "Media por referencia"}));
    QVERIFY2(aviso.contains("eyuma_r90s_cutout") && aviso.contains("estrellas"), qPrintable(aviso));
    QVERIFY2(marco_->EtiquetaAviso()->text().contains("3 de 4"),
             qPrintable(marco_->EtiquetaAviso()->text()));
    const std::vector<VentanaImagen*> v = marco_->Ventanas();
    QCOMPARE(v.size(), size_t(5));
    const Imagen& a = v[4]->imagen();
    const Imagen& r = ref->imagen();
    QCOMPARE(a.Ancho(), r.Ancho());
    // In the centre the mean matches the reference within the blur of the resampling; an
    // unaligned mean would be off by the stars' whole brightness.
    constexpr long kBorde = 128;
    double dif = 0, escala = 0;
    long n = 0;
    for (long y = kBorde; y < static_cast<long>(r.Alto()) - kBorde; ++y) {
      for (long x = kBorde; x < static_cast<long>(r.Ancho()) - kBorde; ++x) {
        dif += std::abs(double(a.Pixel(x, y)) - r.Pixel(x, y));
        escala += std::abs(double(r.Pixel(x, y)) - r.Pixel(x + 1, y + 1));
        ++n;
      }
    }
    QVERIFY(dif < 0.25 * escala);
    QCOMPARE(Configuracion::Global().Valor("Registro", "REGALINEAR"), std::string("1"));

    // The reference and the other field only: an error message, no new window.
    for (VentanaImagen* w : {movida, girada}) {
      w->imagen().Modificada(0);
      marco_->CierraVentana(*w);
    }
    QTRY_COMPARE(marco_->Ventanas().size(), size_t(3));
    aviso.clear();
    const QString apilada = QString::fromStdString(a.nombreVentana);
    AlAparecerModal([&aviso, apilada](QWidget* w) {
      QCOMPARE(w->findChild<QComboBox*>("Alineacion")->currentIndex(), 1);  // remembered
      for (QListWidgetItem* i :
           w->findChild<QListWidget*>("Imagenes")->findItems(apilada, Qt::MatchExactly)) {
        i->setSelected(false);
      }
      w->findChild<QPushButton*>("b1")->click();
      AlAparecerModal([&aviso](QWidget* m) {
        aviso = qobject_cast<QMessageBox*>(m)->text();
        m->close();
      });
    });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "Varias &imagenes", "Media por referencia"}));
    QVERIFY2(aviso.contains("no se ha apilado nada") && aviso.contains("eyuma_r90s_cutout"),
             qPrintable(aviso));
    QCOMPARE(marco_->Ventanas().size(), size_t(3));
  }

  // "Pretratamiento > Una" with the bias as an image in memory, then "Operaciones dos imagenes"
  // (A - B) into a new window: both through their dialogs.
  void PretratamientoConMaestroEnMemoriaYDiferencia() {
    VentanaImagen* luz = marco_->MuestraImagen(Fotograma("luz.fits", 0, 0, 300));
    VentanaImagen* bias = marco_->MuestraImagen(Fotograma("bias.fits", 5, 5, 120));
    marco_->Mdi()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(luz->parentWidget()));
    AlAparecerModal([](QWidget* w) {
      w->findChild<QComboBox*>("MaestroBias")->setCurrentIndex(2);  // after "(ninguno)", luz
      w->findChild<QPushButton*>("b1")->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Pretratamiento", "&Una"}));
    QCOMPARE(luz->imagen().Pixel(0L, 0L), int16_t(180));
    QCOMPARE(luz->imagen().Pixel(10L, 8L), int16_t(880));
    // 300 - 1000 is clamped to the bottom of the pixel range.
    QCOMPARE(luz->imagen().Pixel(15L, 13L), std::max<int16_t>(-700, Rango().minimo));
    QCOMPARE(bias->imagen().Pixel(0L, 0L), int16_t(120));

    AlAparecerModal([](QWidget* w) {
      w->findChild<QComboBox*>("ImagenA")->setCurrentIndex(0);
      w->findChild<QComboBox*>("ImagenB")->setCurrentIndex(1);
      w->findChild<QComboBox*>("Operacion")->setCurrentIndex(1);
      w->findChild<QPushButton*>("b1")->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Operaciones dos imagenes"}));
    const std::vector<VentanaImagen*> v = marco_->Ventanas();
    QCOMPARE(v.size(), size_t(3));
    QCOMPARE(v[2]->imagen().Pixel(0L, 0L), int16_t(60));
    QCOMPARE(luz->imagen().Pixel(0L, 0L), int16_t(180));
  }

 private:
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(ApiladoGuiTest)
#include "ApiladoGuiTest.moc"
