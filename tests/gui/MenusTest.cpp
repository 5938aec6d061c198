// Every enabled item of the menu bar, at any depth and in the "Análisis" popup of every object
// type with a module, reaches a handler when triggered as a user would.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "MenusPrueba.h"
#include "PruebaQt.h"
#include "base/Cadenas.h"
#include "core/IdsComandos.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "gui/Marco.h"
#include "gui/VentanaImagen.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"

using namespace orva;

namespace {

// Index path of an action from the menu bar, with its labels for the messages.
struct Elemento {
  std::vector<int> indices;
  QString nombre;
};

void Recoge(const QList<QAction*>& acciones, std::vector<int> base, const QString& nombre,
            std::vector<Elemento>& lista) {
  for (int i = 0; i < acciones.size(); ++i) {
    QAction* a = acciones[i];
    if (a->isSeparator() || !a->isEnabled()) continue;
    std::vector<int> indices = base;
    indices.push_back(i);
    const QString n = nombre + " > " + SinAcelerador(a->text());
    if (QMenu* m = a->menu()) {
      Recoge(m->actions(), indices, n, lista);
    } else {
      lista.push_back({indices, n});
    }
  }
}

QAction* EnIndices(QMainWindow& w, const std::vector<int>& indices) {
  QList<QAction*> acciones = w.menuBar()->actions();
  QAction* a = nullptr;
  for (int i : indices) {
    if (i >= acciones.size()) return nullptr;
    a = acciones[i];
    if (QMenu* m = a->menu()) acciones = m->actions();
  }
  return a;
}

std::unique_ptr<Imagen> Imagen40x30(int tipoObjeto) {
  auto im = std::make_unique<Imagen>();
  std::vector<int16_t> px(40 * 30);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<int16_t>((i * 37) % 2000);
  im->CambiaPixeles(40, 30, std::move(px));
  im->AsignaRuta("menus.qor");
  im->CambiaTipoObjeto(tipoObjeto);
  im->Actualiza();
  return im;
}

}  // namespace

class MenusTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    InstalaSistema();
    // Every modal window an item opens is dismissed as soon as it shows.
    cierra_ = new QTimer(this);
    cierra_->setInterval(5);
    connect(cierra_, &QTimer::timeout, [] {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    cierra_->start();
  }
  void init() {
    Configuracion::Global().RestableceDefectos();
    Configuracion::Global().Asigna("BuscaEstPCVista", "VerLog", "0");
    marco_ = MarcoPrueba();
    connect(marco_.get(), &Marco::ComandoEjecutado, this, [this](int, bool atendido) {
      ++ejecutados_;
      if (!atendido) ++sinAtender_;
    });
  }
  void cleanup() {
    CierraMarcoPrueba(marco_);
  }

  // The whole bar without images, with an image of unknown type, and with the analysis tool.
  void TodaLaBarraAtiende() {
    Recorre(-1, 0, false);
    Recorre(kDesconocido, 0, false);
    Recorre(-1, kHerramientaAnalisis, false);
  }

  // The "Análisis" popup of each object type that has a module, submenus included.
  void AnalisisDeCadaTipoAtiende() {
    int tipos = 0;
    for (int t = 0; t < kNumTiposObjeto; ++t) {
      if (!TablaTiposObjeto()[static_cast<size_t>(t)].modulo) continue;
      Prepara(t, kHerramientaAnalisis);
      QAction* popup = marco_->PopupAnalisis()->menuAction();
      if (!popup->isEnabled()) {
        // A module without analysis commands: grayed, and it says so.
        QVERIFY(!popup->toolTip().isEmpty());
        continue;
      }
      ++tipos;
      Recorre(t, kHerramientaAnalisis, true);
    }
    QVERIFY(tipos >= 2);  // variable stars and double stars
  }

  // Grayed "Análisis" says why, in its tooltip and in the status bar.
  void AnalisisGrisDiceElMotivo() {
    Prepara(kDesconocido, 0);
    QMenu* analisis = marco_->PopupAnalisis();
    QVERIFY(!analisis->menuAction()->isEnabled());
    QCOMPARE(analisis->menuAction()->toolTip(), QString::fromStdString(Cadena(12232)));
    QCOMPARE(marco_->EtiquetaAviso()->text(), QString::fromStdString(Cadena(12232)));
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    QVERIFY(!analisis->menuAction()->isEnabled());
    QVERIFY(analisis->menuAction()->toolTip().contains(
        QString::fromStdString(NombreTipoObjeto(kDesconocido))));
    marco_->VentanaActiva()->imagen().CambiaTipoObjeto(kVariable);
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    QVERIFY(analisis->menuAction()->isEnabled());
    QVERIFY(marco_->EtiquetaAviso()->text().isEmpty());
  }

 private:
  // A fresh state before every item: one image of the type (none for -1) and the tool.
  void Prepara(int tipoObjeto, int herramienta) {
    for (VentanaImagen* v : marco_->Ventanas()) {
      v->imagen().Modificada(0);
      marco_->CierraVentana(*v);
    }
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Configuracion::Global().Asigna("General", "HERRAMIENTA", std::to_string(herramienta));
    // The walk chose every language item in turn; the labels below are the Spanish ones.
    if (IdiomaActual() != kCastellano) marco_->Accion(kCmdIdiomaEspanol)->trigger();
    marco_->show();
    if (tipoObjeto >= 0) marco_->MuestraImagen(Imagen40x30(tipoObjeto));
    marco_->RefrescaMenus();
  }

  void Recorre(int tipoObjeto, int herramienta, bool soloAnalisis) {
    Prepara(tipoObjeto, herramienta);
    std::vector<Elemento> lista;
    const QList<QAction*> barra = marco_->menuBar()->actions();
    for (int i = 0; i < barra.size(); ++i) {
      QMenu* m = barra[i]->menu();
      if (!m || !barra[i]->isEnabled()) continue;
      if (soloAnalisis && m != marco_->PopupAnalisis()) continue;
      Recoge(m->actions(), {i}, SinAcelerador(m->title()), lista);
    }
    QVERIFY(!lista.empty());
    for (const Elemento& e : lista) {
      Prepara(tipoObjeto, herramienta);
      QAction* a = EnIndices(*marco_, e.indices);
      QVERIFY2(a && a->isEnabled(), qPrintable(e.nombre));
      ejecutados_ = sinAtender_ = 0;
      a->trigger();
      const QString donde =
          QStringLiteral("%1 (type %2, tool %3)").arg(e.nombre).arg(tipoObjeto).arg(herramienta);
      QVERIFY2(ejecutados_ == 1, qPrintable("no handler: " + donde));
      QVERIFY2(sinAtender_ == 0, qPrintable("not handled: " + donde));
    }
  }

  std::unique_ptr<Marco> marco_;
  QTimer* cierra_ = nullptr;
  int ejecutados_ = 0;
  int sinAtender_ = 0;
};

QTEST_MAIN(MenusTest)
#include "MenusTest.moc"
