// The "Trans. General" point transforms driven by their menu labels on the offscreen platform:
// the reference chosen in its dialog, the recorded line, the pixels, undo, and the refusals.
#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "MenusPrueba.h"
#include "PruebaQt.h"

#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Comandos.h"
#include "shell/Configuracion.h"
#include "stacking/Transformacion.h"

using namespace orva;

namespace {

std::unique_ptr<Imagen> ImagenPrueba(const char* nombre, uint32_t w, uint32_t h) {
  auto im = std::make_unique<Imagen>();
  std::vector<int16_t> px(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < px.size(); ++i) {
    px[i] = static_cast<int16_t>((i * 13) % 997 + ((i * 7919) % 13) * 150);
  }
  im->CambiaPixeles(w, h, std::move(px));
  im->AsignaRuta(nombre);
  im->Actualiza();
  return im;
}

// Sets transformation points 1..n with the tool's own commands.
void PonPuntos(Imagen& im, const std::vector<QPoint>& p) {
  for (size_t i = 0; i < p.size(); ++i) {
    QVERIFY(ComandoHerramienta(kTransGeneral, kCmdDefPunto1 + static_cast<int>(i), p[i].x(),
                               p[i].y(), im));
  }
}

}  // namespace

class TransGeneralTest : public QObject {
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

  void TresPuntosLlevanLaImagenALaRejillaDeLaReferencia() {
    auto ref = ImagenPrueba("ref.qor", 50, 40);
    auto img = ImagenPrueba("img.qor", 60, 45);
    PonPuntos(*ref, {{5, 5}, {40, 8}, {10, 30}});
    PonPuntos(*img, {{8, 6}, {44, 12}, {9, 33}});
    // What the command must do: the tool's map, resampled onto the reference's grid.
    Imagen esperada;
    esperada.CopiaImagen(*img);
    const Transformacion2D t = TransformacionTransGeneral(*img, *ref, 3);
    ProgresoSilencioso p;
    RemuestreaTransformacion(esperada, t, 50, 40, Rango().defecto, p);
    const std::string linea = LineaTransGeneral(t, 50, 40);
    marco_->MuestraImagen(std::move(ref));
    VentanaImagen* v = marco_->MuestraImagen(std::move(img));
    const std::vector<int16_t> antes = v->imagen().Pixeles();
    QStringList nombres;
    AlAparecerModal([&nombres](QWidget* w) {
      QCOMPARE(w->windowTitle(), QStringLiteral("REFERENCIA TRANS. GENERAL"));
      auto* lista = w->findChild<QListWidget*>("Referencias");
      for (int i = 0; lista && i < lista->count(); ++i) nombres << lista->item(i)->text();
      w->findChild<QPushButton*>("b1")->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Posicionar", "Trans. General 3 Puntos"}));
    QCOMPARE(nombres.size(), 1);
    QVERIFY(nombres[0].startsWith("ref.qor"));
    QCOMPARE(v->imagen().Operaciones().back(), linea);
    QCOMPARE(v->imagen().Ancho(), 50u);
    QCOMPARE(v->imagen().Alto(), 40u);
    QCOMPARE(v->imagen().Pixeles(), esperada.Pixeles());
    QCOMPARE(marco_->VentanaActiva(), v);  // the transformed image stays in front
    // Undone as any pixel operation.
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Deshacer"}));
    QCOMPARE(v->imagen().Ancho(), 60u);
    QCOMPARE(v->imagen().Pixeles(), antes);
  }

  void SinPuntosOSinReferenciaLoDice_data() {
    QTest::addColumn<bool>("puntosEnImagen");
    QTest::addColumn<QString>("mensaje");
    QTest::newRow("image") << false << QStringLiteral("no tiene definidos los puntos 1 a 4");
    QTest::newRow("reference") << true << QStringLiteral("ninguna otra imagen abierta");
  }
  void SinPuntosOSinReferenciaLoDice() {
    QFETCH(bool, puntosEnImagen);
    QFETCH(QString, mensaje);
    auto ref = ImagenPrueba("ref.qor", 50, 40);
    auto img = ImagenPrueba("img.qor", 60, 45);
    PonPuntos(*ref, {{5, 5}, {40, 8}, {10, 30}});  // three of the four
    if (puntosEnImagen) PonPuntos(*img, {{8, 6}, {44, 12}, {9, 33}, {50, 40}});
    marco_->MuestraImagen(std::move(ref));
    VentanaImagen* v = marco_->MuestraImagen(std::move(img));
    const std::vector<int16_t> antes = v->imagen().Pixeles();
    QString texto;
    AlAparecerModal([&texto](QWidget* m) {
      texto = qobject_cast<QMessageBox*>(m) ? qobject_cast<QMessageBox*>(m)->text() : "?";
      if (auto* b = qobject_cast<QMessageBox*>(m)) b->accept();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Posicionar", "Trans. General 4 Puntos"}));
    QVERIFY2(texto.contains(mensaje), qPrintable(texto));
    QCOMPARE(v->imagen().Pixeles(), antes);
  }

 private:
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(TransGeneralTest)
#include "TransGeneralTest.moc"
