// Unsaved work, undo and the file dialogs, driven through the menus by their labels.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <functional>

#include "PruebaQt.h"
#include "core/Imagen.h"
#include "formats/TiposArchivo.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"

using namespace orva;

namespace {

// Runs accion on the next modal window that shows up.
// The action under the menu path ("Tratar/Filtros suavizantes/Suavizado 1"), mnemonics ignored.
QAction* Item(QMenuBar* barra, const QString& camino) {
  QList<QAction*> acciones = barra->actions();
  QAction* hallada = nullptr;
  for (const QString& parte : camino.split('/')) {
    hallada = nullptr;
    for (QAction* a : acciones) {
      if (a->text().remove('&') == parte) hallada = a;
    }
    if (!hallada) return nullptr;
    if (hallada->menu()) acciones = hallada->menu()->actions();
  }
  return hallada;
}

std::unique_ptr<Imagen> Imagen40x30(const std::string& ruta) {
  auto im = std::make_unique<Imagen>();
  std::vector<int16_t> px(40 * 30);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<int16_t>((i * 7919) % 3001);
  im->CambiaPixeles(40, 30, std::move(px));
  im->AsignaRuta(ruta);
  im->tipoArchivo = kQor;
  im->claveTipoArchivo = "QOR";
  im->Actualiza();
  return im;
}

// The names the file dialog lists in its current folder.
QStringList Listados(QFileDialog* d) {
  auto* vista = d->findChild<QAbstractItemView*>("listView");
  QStringList r;
  if (!vista || !vista->model()) return r;
  const QModelIndex raiz = vista->rootIndex();
  for (int i = 0; i < vista->model()->rowCount(raiz); ++i) {
    r << vista->model()->index(i, 0, raiz).data().toString();
  }
  r.sort();
  return r;
}

}  // namespace

class ArchivosGuiTest : public QObject {
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

  void DeshacerYRehacerUnFiltro() {
    VentanaImagen* v = marco_->MuestraImagen(Imagen40x30("/tmp/no/f.qor"));
    const std::vector<int16_t> antes = v->imagen().Pixeles();
    const std::vector<std::string> logAntes = v->imagen().Operaciones();
    QAction* filtro = Item(marco_->menuBar(), "Tratar/Filtros suavizantes/Suavizado 1");
    QAction* deshacer = Item(marco_->menuBar(), "Tratar/Deshacer");
    QAction* rehacer = Item(marco_->menuBar(), "Tratar/Rehacer");
    QVERIFY(filtro && deshacer && rehacer);
    QCOMPARE(deshacer->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    QVERIFY(!deshacer->isEnabled());
    filtro->trigger();
    const std::vector<int16_t> filtrada = v->imagen().Pixeles();
    QVERIFY(filtrada != antes);
    QVERIFY(v->imagen().ModificadaMarca());
    const std::vector<std::string> logFiltro = v->imagen().Operaciones();
    QCOMPARE(logFiltro.size(), logAntes.size() + 1);
    // A display line after the filter stays in the log when the filter is undone.
    Item(marco_->menuBar(), "Visualizar/Invertir grises")->trigger();
    deshacer->trigger();
    QCOMPARE(v->imagen().Pixeles(), antes);
    QVERIFY(!v->imagen().ModificadaMarca());
    QCOMPARE(v->imagen().Operaciones().back(), std::string("INVERTIR"));
    QCOMPARE(v->imagen().Operaciones().size(), logAntes.size() + 1);
    rehacer->trigger();
    QCOMPARE(v->imagen().Pixeles(), filtrada);
    QCOMPARE(v->imagen().Operaciones().back(), logFiltro.back());
    QVERIFY(v->imagen().ModificadaMarca());
    // Nothing more to redo: the item is grayed, undo is not.
    QVERIFY(!rehacer->isEnabled());
    QVERIFY(deshacer->isEnabled());
  }

  void CerrarPreguntaGuardarDescartarCancelar_data() {
    QTest::addColumn<int>("boton");
    QTest::addColumn<bool>("cerrada");
    QTest::addColumn<bool>("escrita");
    QTest::newRow("Cancelar") << int(QMessageBox::Cancel) << false << false;
    QTest::newRow("Descartar") << int(QMessageBox::Discard) << true << false;
    QTest::newRow("Guardar") << int(QMessageBox::Save) << true << true;
  }
  void CerrarPreguntaGuardarDescartarCancelar() {
    QFETCH(int, boton);
    QFETCH(bool, cerrada);
    QFETCH(bool, escrita);
    Configuracion::Global().Asigna("Archivos", "GUARDATORVA", "0");
    QTemporaryDir dir;
    const std::string ruta = dir.filePath("c.qor").toStdString();
    VentanaImagen* v = marco_->MuestraImagen(Imagen40x30(ruta));
    v->imagen().Modificada(1);
    QStringList botones;
    AlAparecerModal([&botones, boton](QWidget* w) {
      auto* m = qobject_cast<QMessageBox*>(w);
      QVERIFY(m);
      for (QAbstractButton* b : m->buttons()) botones << b->text();
      m->button(static_cast<QMessageBox::StandardButton>(boton))->click();
    });
    Item(marco_->menuBar(), "Archivo/Cerrar")->trigger();
    QCoreApplication::processEvents();
    botones.sort();
    QCOMPARE(botones, (QStringList{"Cancelar", "Descartar", "Guardar"}));
    QCOMPARE(marco_->Ventanas().empty(), cerrada);
    QCOMPARE(QFileInfo::exists(QString::fromStdString(ruta)), escrita);
  }

  void SalirPreguntaUnaVezPorTodas() {
    marco_->MuestraImagen(Imagen40x30("/tmp/no/a.qor"))->imagen().Modificada(1);
    marco_->MuestraImagen(Imagen40x30("/tmp/no/b.qor"))->imagen().Modificada(1);
    marco_->MuestraImagen(Imagen40x30("/tmp/no/c.qor"));
    int preguntas = 0;
    QString texto;
    std::function<void(QWidget*)> responde = [&](QWidget* w) {
      auto* m = qobject_cast<QMessageBox*>(w);
      if (!m) return;
      ++preguntas;
      texto = m->text();
      m->button(QMessageBox::Discard)->click();
    };
    AlAparecerModal(responde);
    Item(marco_->menuBar(), "Archivo/Salir")->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(preguntas, 1);
    QVERIFY(texto.contains("a.qor") && texto.contains("b.qor") && !texto.contains("c.qor"));
    QVERIFY(!marco_->isVisible());
  }

  void FiltroFitsMuestraTodasLasExtensiones() {
    QTemporaryDir dir;
    for (const char* n : {"x.fits", "y.FIT", "w.Fts", "v.fz", "z.txt"}) {
      std::ofstream(dir.filePath(n).toStdString()) << "x";
    }
    Configuracion::Global().Asigna("Archivos", "DIRARCHIVOS", dir.path().toStdString());
    QStringList filtros, vistos;
    AlAparecerModal([&](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      QVERIFY(d);
      filtros = d->nameFilters();
      for (const QString& f : filtros) {
        if (f.startsWith("FITS")) d->selectNameFilter(f);
      }
      QTRY_VERIFY_WITH_TIMEOUT(Listados(d).size() >= 4, 3000);
      vistos = Listados(d);
      d->reject();
    });
    Item(marco_->menuBar(), "Archivo/Abrir...")->trigger();
    QVERIFY(filtros.value(0).startsWith("Todos los tipos de imagen"));
    QCOMPARE(vistos, (QStringList{"v.fz", "w.Fts", "x.fits", "y.FIT"}));
  }

  void GuardarComoPoneLaExtensionDelTipo() {
    QTemporaryDir dir;
    Configuracion::Global().Asigna("Archivos", "DIRGUARDAR", dir.path().toStdString());
    Configuracion::Global().Asigna("Archivos", "GUARDATORVA", "0");
    VentanaImagen* v = marco_->MuestraImagen(Imagen40x30("sin_nombre.qor"));
    v->imagen().Modificada(1);
    QString filtro;
    AlAparecerModal([&](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      QVERIFY(d);
      filtro = d->selectedNameFilter();
      auto* nombre = d->findChild<QLineEdit*>("fileNameEdit");
      QVERIFY(nombre);
      nombre->setText("salida");
      QMetaObject::invokeMethod(d, "accept");
    });
    Item(marco_->menuBar(), "Archivo/Guardar como...")->trigger();
    // The image's own type is proposed, and its extension added to the bare name.
    QVERIFY(filtro.startsWith("QOR"));
    QVERIFY(QFileInfo::exists(dir.filePath("salida.QOR")));
    QVERIFY(!v->imagen().ModificadaMarca());
    QCOMPARE(v->imagen().NombreArchivo(), std::string("salida.QOR"));
    // And the file heads the recent list of "Archivo".
    QVERIFY(marco_->MenuRecientes()->actions().value(0)->text().contains("salida.QOR"));
  }

  void GuardarSobreFitsAvisaAntes() {
    Configuracion::Global().Asigna("Archivos", "GUARDATORVA", "0");
    QTemporaryDir dir;
    const std::string ruta = dir.filePath("orig.fits").toStdString();
    std::ofstream(ruta) << "original";
    VentanaImagen* v = marco_->MuestraImagen(Imagen40x30(ruta));
    v->imagen().tipoArchivo = kFits;
    v->imagen().Modificada(1);
    for (auto boton : {QMessageBox::Cancel, QMessageBox::Save}) {
      QString aviso;
      AlAparecerModal([&aviso, boton](QWidget* w) {
        auto* m = qobject_cast<QMessageBox*>(w);
        QVERIFY(m);
        aviso = m->text();
        m->button(boton)->click();
      });
      Item(marco_->menuBar(), "Archivo/Guardar")->trigger();
      QVERIFY(aviso.contains("orig.fits"));
      QCOMPARE(QFileInfo(QString::fromStdString(ruta)).size() == 8, boton == QMessageBox::Cancel);
      QCOMPARE(v->imagen().ModificadaMarca() != 0, boton == QMessageBox::Cancel);
    }
  }

  void GuardarMacroPoneOrvYPuedeDejarFueraLaVista() {
    QTemporaryDir dir;
    Configuracion::Global().Asigna("Archivos", "DIRMACROS", dir.path().toStdString());
    VentanaImagen* v = marco_->MuestraImagen(Imagen40x30("/tmp/no/m.qor"));
    Item(marco_->menuBar(), "Visualizar/Invertir grises")->trigger();
    Item(marco_->menuBar(), "Tratar/Filtros suavizantes/Suavizado 1")->trigger();
    QVERIFY(v->imagen().Operaciones().size() == 2);
    AlAparecerModal([](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      QVERIFY(d);
      d->findChild<QLineEdit*>("fileNameEdit")->setText("pasos");
      QMetaObject::invokeMethod(d, "accept");
      AlAparecerModal([](QWidget* w2) {
        auto* m = qobject_cast<QMessageBox*>(w2);
        QVERIFY(m);
        m->button(QMessageBox::Yes)->click();
      });
    });
    Item(marco_->menuBar(), "Tratar/Guardar Macro...")->trigger();
    std::ifstream f(dir.filePath("pasos.ORV").toStdString());
    std::string texto((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    QVERIFY(texto.find("FILTRO") != std::string::npos);
    QVERIFY(texto.find("INVERTIR") == std::string::npos);
  }

 private:
  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(ArchivosGuiTest)
#include "ArchivosGuiTest.moc"
