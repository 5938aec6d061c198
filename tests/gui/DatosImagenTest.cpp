// The image data dialog driven through the menu on the offscreen platform.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "MenusPrueba.h"
#include "PruebaQt.h"

#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"

using namespace orva;

namespace {

std::unique_ptr<Imagen> ImagenPlana(const char* nombre) {
  auto im = std::make_unique<Imagen>();
  im->CambiaPixeles(20, 10, std::vector<int16_t>(200, 100));
  im->AsignaRuta(nombre);
  im->Actualiza();
  return im;
}

void Escribe(QWidget* dialogo, const char* clave, const QString& texto) {
  auto* e = dialogo->findChild<QLineEdit*>(QString::fromLatin1(clave));
  QVERIFY(e);
  e->setText(texto);
}

void Acepta(QWidget* dialogo) {
  auto* b = dialogo->findChild<QPushButton*>(QStringLiteral("Aceptar"));
  QVERIFY(b);
  b->click();
}

}  // namespace

class DatosImagenTest : public QObject {
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

  void AceptaNombreYFecha() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenPlana("plana.qor"));
    QVERIFY(marco_->Accion(5122)->isEnabled());
    QString titulo;
    AlAparecerModal([&](QWidget* w) {
      titulo = w->windowTitle();
      Escribe(w, "NOMOBJ", QStringLiteral("M42"));
      Escribe(w, "FECHAOBS", QStringLiteral("15/03/2007"));
      Escribe(w, "HORAOBS", QStringLiteral("21:30:05"));
      auto* tipo = w->findChild<QComboBox*>(QStringLiteral("TIPOOBJ"));
      QVERIFY(tipo);
      tipo->setCurrentText(QStringLiteral("ESTELAR"));
      Acepta(w);
    });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Datos", "&Una"}));
    QCOMPARE(titulo, QStringLiteral("DATOS IMAGEN"));
    const Imagen& im = v->imagen();
    QCOMPARE(im.datos.nombreObjeto, std::string("M42"));
    QCOMPARE(TextoDatoImagen(im.datos, "FECHAOBS").substr(0, 6), std::string("15/03/"));
    QCOMPARE(TextoDatoImagen(im.datos, "HORAOBS").substr(0, 8), std::string("21:30:05"));
    QCOMPARE(im.TipoObjeto(), static_cast<int>(kEstelar));
    QCOMPARE(im.ModificadaMarca(), 1);
  }

  void TipoDesconocidoSePropone() {
    // A FITS frame carries no object type: the status bar says so, the data dialog offers the
    // type even when its field is hidden, and the chosen type opens the analysis popup.
    Configuracion::Global().Asigna("DatosImagen", "PTIPOOBJ", "0");
    VentanaImagen* v = marco_->AbreArchivo(ORVA_TEST_DATA "/m51_iraf_devpix.fits");
    QVERIFY(v);
    QVERIFY(v->imagen().TipoObjeto() <= kDesconocido);
    QCOMPARE(marco_->EtiquetaAviso()->text(), QString::fromStdString(Cadena(12234)));
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    QVERIFY(!marco_->PopupAnalisis()->menuAction()->isEnabled());
    AlAparecerModal([](QWidget* w) {
      auto* tipo = w->findChild<QComboBox*>(QStringLiteral("TIPOOBJ"));
      QVERIFY(tipo);
      tipo->setCurrentText(QString::fromStdString(PalabraTipoObjeto(kVariable)));
      Acepta(w);
    });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Datos", "&Una"}));
    QCOMPARE(v->imagen().TipoObjeto(), static_cast<int>(kVariable));
    QVERIFY(marco_->PopupAnalisis()->menuAction()->isEnabled());
    QVERIFY(AccionMenu(
        *marco_, {QString::fromStdString(Cadena(14003)), QString::fromStdString(Cadena(14007)),
                  QString::fromStdString(Cadena(6023))}));
  }

  void AvisoDeTipoSeVaConElTipo() {
    // Without the analysis tool chosen, the hint to set the type still goes once it is set.
    Configuracion::Global().Asigna("DatosImagen", "PTIPOOBJ", "0");
    VentanaImagen* v = marco_->AbreArchivo(ORVA_TEST_DATA "/m51_iraf_devpix.fits");
    QVERIFY(v);
    QCOMPARE(marco_->EtiquetaAviso()->text(), QString::fromStdString(Cadena(12234)));
    AlAparecerModal([](QWidget* w) {
      auto* tipo = w->findChild<QComboBox*>(QStringLiteral("TIPOOBJ"));
      QVERIFY(tipo);
      tipo->setCurrentText(QString::fromStdString(PalabraTipoObjeto(kEstelar)));
      Acepta(w);
    });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Datos", "&Una"}));
    QCOMPARE(v->imagen().TipoObjeto(), static_cast<int>(kEstelar));
    QVERIFY(marco_->EtiquetaAviso()->text() != QString::fromStdString(Cadena(12234)));
  }

  void FechaIlegalNoCambiaNada() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenPlana("plana.qor"));
    Imagen& im = v->imagen();
    im.datos.nombreObjeto = "ANTES";
    const std::string fechaAntes = TextoDatoImagen(im.datos, "FECHAOBS");
    QString mensaje;
    bool sigueAbierto = false;
    AlAparecerModal([&](QWidget* dialogo) {
      Escribe(dialogo, "NOMOBJ", QStringLiteral("DESPUES"));
      Escribe(dialogo, "FECHAOBS", QStringLiteral("31/04/2007"));
      // The message box comes up inside the click: read and close it from a timer.
      AlAparecerModal(
          [&](QWidget* caja) {
            if (auto* m = qobject_cast<QMessageBox*>(caja)) mensaje = m->text();
            caja->close();
          },
          dialogo);
      Acepta(dialogo);
      sigueAbierto = dialogo->isVisible();
      static_cast<QDialog*>(dialogo)->reject();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Datos", "&Una"}));
    QVERIFY(sigueAbierto);
    const QString esperado = QString::fromStdString(Cadena(10119)).section(QLatin1Char('%'), 0, 0);
    QVERIFY2(mensaje.startsWith(esperado), qPrintable(mensaje));
    QCOMPARE(im.datos.nombreObjeto, std::string("ANTES"));
    QCOMPARE(TextoDatoImagen(im.datos, "FECHAOBS"), fechaAntes);
    QCOMPARE(im.ModificadaMarca(), 0);
  }

  void VariasSoloLosCamposCambiados() {
    VentanaImagen* a = marco_->MuestraImagen(ImagenPlana("a.qor"));
    VentanaImagen* b = marco_->MuestraImagen(ImagenPlana("b.qor"));
    a->imagen().datos.nombreObjeto = "A";
    b->imagen().datos.nombreObjeto = "B";
    Configuracion::Global().Asigna("DatosImagen", "PINCFECHA", "1");
    QString titulo;
    // First the selection dialog: accept with every image chosen; then the data dialog.
    AlAparecerModal([&](QWidget* seleccion) {
      auto* lista = seleccion->findChild<QListWidget*>();
      QVERIFY(lista);
      lista->selectAll();
      AlAparecerModal(
          [&](QWidget* w) {
            titulo = w->windowTitle();
            Escribe(w, "FILTRO", QStringLiteral("V"));
            Escribe(w, "INCFECHA", QStringLiteral("2"));
            auto* caja = w->findChild<QAbstractButton*>(QStringLiteral("CINCFECHA"));
            QVERIFY(caja);
            caja->setChecked(true);
            Acepta(w);
          },
          seleccion);
      for (QPushButton* p : seleccion->findChildren<QPushButton*>()) {
        if (p->text().contains(QStringLiteral("Aceptar"))) {
          p->click();
          return;
        }
      }
      static_cast<QDialog*>(seleccion)->accept();
    });
    const std::string fechaA = TextoDatoImagen(a->imagen().datos, "FECHAOBS");
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Datos", "&Varias"}));
    QCOMPARE(titulo, QStringLiteral("EDITAR DATOS PARA VARIAS IMAGENES"));
    QCOMPARE(a->imagen().datos.nombreObjeto, std::string("A"));
    QCOMPARE(b->imagen().datos.nombreObjeto, std::string("B"));
    QCOMPARE(a->imagen().datos.filtro, std::string("V"));
    QCOMPARE(b->imagen().datos.filtro, std::string("V"));
    QVERIFY(TextoDatoImagen(a->imagen().datos, "FECHAOBS") != fechaA);
  }

 private:
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(DatosImagenTest)
#include "DatosImagenTest.moc"
