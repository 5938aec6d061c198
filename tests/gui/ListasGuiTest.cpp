// The object and observatory list dialogs (5128, 5129) driven by their labels on the offscreen
// platform: add with an illegal field first, apply to the active image and to chosen images,
// delete, and the list file written on Aceptar only.
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "MenusPrueba.h"
#include "PruebaQt.h"

#include "core/Imagen.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "stellar/ListasObjetos.h"

using namespace orva;

namespace {

std::unique_ptr<Imagen> ImagenPlana(const char* nombre) {
  auto im = std::make_unique<Imagen>();
  im->CambiaPixeles(20, 10, std::vector<int16_t>(200, 100));
  im->AsignaRuta(nombre);
  im->Actualiza();
  return im;
}

// Clicks the button of a window whose text is that label.
void Pulsa(QWidget* w, const QString& etiqueta) {
  for (QPushButton* b : w->findChildren<QPushButton*>()) {
    if (b->text() == etiqueta) {
      b->click();
      return;
    }
  }
  QFAIL(qPrintable("no button " + etiqueta));
}

void Escribe(QWidget* w, const char* clave, const char* texto) {
  auto* e = w->findChild<QLineEdit*>(QString::fromLatin1(clave));
  QVERIFY(e);
  e->setText(QString::fromUtf8(texto));
}

}  // namespace

class ListasGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
    Configuracion::Global().RestableceDefectos();
    InstalaSistema();
    marco_ = MarcoPrueba();
    QVERIFY(QTest::qWaitForWindowExposed(marco_.get()));
  }
  void cleanup() { CierraMarcoPrueba(marco_); }

  void AnadeObservatorioYLoAplica() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenPlana("plana.qor"));
    QString aviso;
    AlAparecerModal([&](QWidget* lista) {
      AlAparecerModal(
          [&](QWidget* forma) {
            Escribe(forma, "OBSERVATORIO", "Calar Alto");
            Escribe(forma, "LONOBS", "200g00m00s.000");
            Escribe(forma, "LATOBS", "37g13m25s.000");
            Escribe(forma, "ALTOBS", "2168");
            // The illegal longitude is said and the form stays open.
            AlAparecerModal(
                [&](QWidget* m) {
                  aviso = static_cast<QMessageBox*>(m)->text();
                  static_cast<QDialog*>(m)->accept();
                },
                forma);
            Pulsa(forma, "Aceptar");
            QVERIFY(forma->isVisible());
            Escribe(forma, "LONOBS", "02g32m46s.500");
            Pulsa(forma, "Aceptar");
          },
          lista);
      Pulsa(lista, QString::fromUtf8("Añadir"));
      Pulsa(lista, "Aplicar a la imagen activa");
      Pulsa(lista, "Aceptar");
    });
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "Tratar Obser&vatorios"}));
    QVERIFY(aviso.contains("200"));
    const DatosImagen& d = v->imagen().datos;
    QCOMPARE(TextoDatoImagen(d, "OBSERVATORIO"), std::string("Calar Alto"));
    QCOMPARE(TextoDatoImagen(d, "LONOBS"), std::string("02g32m46s.500"));
    QCOMPARE(TextoDatoImagen(d, "ALTOBS"), std::string("2168"));
    QCOMPARE(v->imagen().ModificadaMarca(), 1);
    const std::string archivo = RutaListaObservatorios((dir_.path() + "/orva").toStdString());
    const auto lista = LeeListaObservatorios(archivo);
    QCOMPARE(lista.size(), size_t{1});
    QCOMPARE(lista[0].latitud.Texto(), std::string("37g13m25s.000"));
  }

  void ObjetoAVariasYBorrarSinAceptar() {
    const std::string archivo = RutaListaObjetos((dir_.path() + "/orva").toStdString());
    const std::string texto =
        "RZ Cas;02h48m55s.500;69g38m03s.400;2000;EA;1.1952499;2443200.3063\n"
        "V566 Oph;17h56m52s.300;04g59m15s.000;2000;EW;;\n";
    QDir().mkpath(dir_.path() + "/orva");
    std::ofstream(archivo) << texto;
    VentanaImagen* a = marco_->MuestraImagen(ImagenPlana("a.qor"));
    VentanaImagen* b = marco_->MuestraImagen(ImagenPlana("b.qor"));
    AlAparecerModal([&](QWidget* lista) {
      auto* nombres = lista->findChild<QListWidget*>();
      QVERIFY(nombres);
      QCOMPARE(nombres->count(), 2);
      nombres->setCurrentRow(1);
      AlAparecerModal(
          [&](QWidget* eleccion) {
            auto* ventanas = eleccion->findChild<QListWidget*>();
            QVERIFY(ventanas);
            ventanas->selectAll();
            static_cast<QDialog*>(eleccion)->accept();
          },
          lista);
      Pulsa(lista, QString::fromUtf8("Aplicar a varias imágenes"));
      Pulsa(lista, "Borrar");
      QCOMPARE(nombres->count(), 1);
      Pulsa(lista, "Cancelar");
    });
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "Tratar &Objetos"}));
    for (VentanaImagen* v : {a, b}) {
      QCOMPARE(TextoDatoImagen(v->imagen().datos, "NOMOBJ"), std::string("V566 Oph"));
      QCOMPARE(TextoDatoImagen(v->imagen().datos, "AROBJ"), std::string("17h56m52s.300"));
    }
    // Cancelled: the file keeps both entries.
    std::ifstream f(archivo);
    const std::string leido((std::istreambuf_iterator<char>(f)), {});
    QCOMPARE(leido, texto);
  }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(ListasGuiTest)
#include "ListasGuiTest.moc"
