// The GENERAL type's settings dialog, opened from its menu item and driven by the labels a user
// reads: accepted edits become the settings the reader uses; illegal or cancelled edits change
// nothing.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <string>

#include "MenusPrueba.h"
#include "PruebaQt.h"
#include "formats/TiposArchivo.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"

using namespace orva;

namespace {

// The field a form label names.
template <class T>
T* CampoDe(QWidget* dialogo, const QString& etiqueta) {
  for (QLabel* l : dialogo->findChildren<QLabel*>()) {
    if (l->text() == etiqueta) return qobject_cast<T*>(l->buddy());
  }
  return nullptr;
}

template <class T>
T* BotonDe(QWidget* dialogo, const QString& texto) {
  for (T* b : dialogo->findChildren<T*>()) {
    if (b->text() == texto) return b;
  }
  return nullptr;
}

// Types a field's text as a user would and leaves the field.
void Escribe(QWidget* dialogo, const QString& etiqueta, const QString& texto) {
  QLineEdit* e = CampoDe<QLineEdit>(dialogo, etiqueta);
  QVERIFY2(e, qPrintable(etiqueta));
  e->setFocus();
  e->selectAll();
  QTest::keyClick(e, Qt::Key_Backspace);
  QTest::keyClicks(e, texto);
  emit e->editingFinished();
}

std::string Ajuste(const char* clave) {
  return Configuracion::Global().Valor("TipoArch_GENERAL", clave);
}

}  // namespace

class TipoGeneralTest : public QObject {
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
    Configuracion::Global().RestableceDefectos();
  }

  void AceptarFijaLosAjustesQueLeeElTipo() {
    bool visto = false;
    AlAparecerModal([&](QWidget* w) {
      visto = true;
      QCOMPARE(w->windowTitle(), QStringLiteral("TIPO ARCHIVO GENERAL"));
      Escribe(w, "Extensiones:", "*.RAW");
      Escribe(w, "Desplazamiento (bytes):", "3");
      Escribe(w, "Ancho:", "2");
      Escribe(w, "Alto:", "2");
      Escribe(w, "Prefijo de fila (bytes):", "1");
      QComboBox* bits = CampoDe<QComboBox>(w, "Bits por pixel:");
      QVERIFY(bits);
      bits->setCurrentText("16");
      emit bits->activated(bits->currentIndex());
      BotonDe<QRadioButton>(w, "Más significativo primero")->click();
      BotonDe<QCheckBox>(w, "Valores con signo")->click();
      BotonDe<QPushButton>(w, "Aceptar")->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Archivo", "&Preferencias", "Tipo &GENERAL"}));
    QTRY_VERIFY(visto);
    QCOMPARE(Ajuste("DESPLAZAMIENTO"), std::string("3"));
    QCOMPARE(Ajuste("ANCHO"), std::string("2"));
    QCOMPARE(Ajuste("BITS"), std::string("16"));
    QCOMPARE(Ajuste("ORDEN"), std::string("1"));
    QCOMPARE(Ajuste("SIGNO"), std::string("1"));
    QCOMPARE(Ajuste("PREFIJO"), std::string("1"));
    QCOMPARE(BuscaTipoArchivo(kGeneral)->filtro, std::string("*.RAW"));

    // The reader follows them: big-endian signed words after 3 bytes, one byte before each row.
    QTemporaryDir dir;
    const std::string archivo = (dir.path() + "/crudo.raw").toStdString();
    {
      std::ofstream f(archivo, std::ios::binary);
      f << std::string("\x11\x22\x33", 3) << std::string("\x99\xFF\xFF\x00\x05", 5)
        << std::string("\x99\x80\x00\x7F\xFF", 5);
    }
    Imagen im;
    LeeArchivo(archivo, im, kGeneral);
    QCOMPARE(im.Pixeles(), (std::vector<int16_t>{-1, 5, -32768, 32767}));
  }

  void IlegalOCanceladoNoCambiaNada() {
    // Answers every message box of the dialog's fields.
    int avisos = 0;
    QTimer contestador;
    contestador.setInterval(20);
    connect(&contestador, &QTimer::timeout, [&] {
      if (auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ++avisos;
        m->done(QMessageBox::Ok);
      }
    });
    contestador.start();
    for (const char* boton : {"Aceptar", "Cancelar"}) {
      bool visto = false;
      AlAparecerModal([&](QWidget* w) {
        visto = true;
        Escribe(w, "Alto:", "7");
        // Below the range: the field's message comes at once, and is answered.
        Escribe(w, "Ancho:", "0");
        QVERIFY(avisos > 0);
        BotonDe<QCheckBox>(w, "Valores con signo")->click();
        BotonDe<QPushButton>(w, boton)->click();
        // An illegal field keeps the dialog open for the user to mend or cancel.
        QCOMPARE(w->isVisible(), std::string(boton) == "Aceptar");
        if (w->isVisible()) BotonDe<QPushButton>(w, "Cancelar")->click();
      });
      QVERIFY(DisparaMenu(*marco_, {"&Archivo", "&Preferencias", "Tipo &GENERAL"}));
      QTRY_VERIFY(visto);
      QTRY_VERIFY(!QApplication::activeModalWidget());
      QCOMPARE(Ajuste("ANCHO"), std::string("512"));
      QCOMPARE(Ajuste("ALTO"), std::string("512"));
      QCOMPARE(Ajuste("SIGNO"), std::string("0"));
    }
  }

 private:
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(TipoGeneralTest)
#include "TipoGeneralTest.moc"
