// The operation commands of the desktop driven through their dialogs on the offscreen platform.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "MenusPrueba.h"
#include "PruebaQt.h"

#include "analyses/Dobles.h"
#include "analyses/ModuloDobles.h"
#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "gui/Marco.h"
#include "gui/Operaciones.h"
#include "gui/VentanaImagen.h"
#include "macro/Macro.h"
#include "processing/Procesamiento.h"
#include "shell/Arranque.h"
#include "shell/Comandos.h"
#include "shell/Configuracion.h"
#include "stellar/ModuloVariables.h"

using namespace orva;

namespace {

// Runs accion on the next visible modal window that shows up (a progress window still closing
// is passed over).
// A 40 x 30 image with values that differ everywhere (a filter or rotation changes them).
std::unique_ptr<Imagen> ImagenPrueba(const char* nombre = "prueba.qor") {
  auto im = std::make_unique<Imagen>();
  std::vector<int16_t> px(40 * 30);
  for (size_t i = 0; i < px.size(); ++i) {
    px[i] = static_cast<int16_t>((i * 20) + ((i * 7919) % 13) * 150);
  }
  im->CambiaPixeles(40, 30, std::move(px));
  im->AsignaRuta(nombre);
  im->Actualiza();
  return im;
}

// Types the file name into a file dialog and accepts it, again until the dialog is gone (the
// dialog may still be reading its directory the first time).
void AceptaArchivo(QFileDialog* d, const QString& archivo) {
  QVERIFY(d);
  QPointer<QFileDialog> p(d);
  auto* t = new QTimer;
  t->setInterval(30);
  QObject::connect(t, &QTimer::timeout, [t, p, archivo] {
    if (!p || !p->isVisible()) {
      t->stop();
      t->deleteLater();
      return;
    }
    if (auto* e = p->findChild<QLineEdit*>("fileNameEdit")) e->setText(archivo);
    p->selectFile(archivo);
    QMetaObject::invokeMethod(p, "accept");
  });
  t->start();
}

template <class T>
T* Hijo(QWidget* w, const char* nombre) {
  T* h = w->findChild<T*>(QString::fromLatin1(nombre));
  if (!h) qWarning("no child %s", nombre);
  return h;
}

}  // namespace

class OperacionesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    Configuracion::Global().RestableceDefectos();
    Configuracion::Global().Asigna("General", "DUPLIMA", "0");
    RestableceCurvasGris();
    InstalaSistema();
    marco_ = MarcoPrueba();
    QVERIFY(QTest::qWaitForWindowExposed(marco_.get()));
  }
  void cleanup() {
    CierraMarcoPrueba(marco_);
  }

  void MenusDeFiltrosYOperacionesActivos() {
    marco_->MuestraImagen(ImagenPrueba());
    for (int id :
         {5048, 5049, 5050, 5051, 5052, 5053, 5054, 5055, 5056, 5062, 5063, kFiltroGeneral}) {
      QVERIFY2(marco_->Accion(id) && marco_->Accion(id)->isEnabled(),
               qPrintable(QString::number(id)));
    }
    // The filter items carry the table's labels under their group popups; spare ids are absent.
    const int ultimo = kPrimerFiltro + static_cast<int>(MenuFiltros().size()) - 1;
    QVERIFY(marco_->Accion(ultimo)->isEnabled());
    QCOMPARE(marco_->Accion(ultimo)->text(), QStringLiteral("7 * 7"));
    QCOMPARE(marco_->Accion(5068)->text(), QStringLiteral("Gaus..."));
    QVERIFY(!marco_->Accion(ultimo + 1));
    QCOMPARE(marco_->Accion(kFiltroGeneral)->text(), QStringLiteral("&Filtro General"));
  }

  void EscalaGrisElegidaVistaYAceptada() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenPrueba());
    const std::vector<int16_t> antes = v->imagen().Pixeles();
    bool visto = false;
    AlAparecerModal([&visto](QWidget* w) {
      QCOMPARE(w->windowTitle(), QStringLiteral("ESCALADO NIVELES GRIS"));
      // The dialog opens on Expandir with the image's display window.
      QCOMPARE(Hijo<QLineEdit>(w, "Campo1")->text(), QStringLiteral("%NEGRO"));
      QVERIFY(Hijo<QLabel>(w, "Rango")->text().contains("32767"));
      Hijo<QListWidget>(w, "Curvas")->setCurrentRow(8);  // Por Niveles
      QCOMPARE(Hijo<QLabel>(w, "Etiqueta1")->text(), QStringLiteral("Num. pasos: "));
      QVERIFY(!Hijo<QLineEdit>(w, "Campo2")->isEnabled());
      QVERIFY(Hijo<QLineEdit>(w, "Campo2")->text().isEmpty());
      // An out-of-range field keeps the dialog open after 12070.
      Hijo<QLineEdit>(w, "Campo1")->setText("99");
      AlAparecerModal([&visto](QWidget* m) {
        visto = qobject_cast<QMessageBox*>(m) &&
                qobject_cast<QMessageBox*>(m)->text().contains("Num. pasos");
        qobject_cast<QMessageBox*>(m)->accept();
      });
      Hijo<QPushButton>(w, "b1")->click();
      QVERIFY(w->isVisible());
      Hijo<QLineEdit>(w, "Campo1")->setText("4");
      Hijo<QPushButton>(w, "VerCurva")->click();
      auto* vista = Hijo<VistaCurvaGris>(w, "VistaCurva");
      QCOMPARE(vista->Curva().size(), size_t(vista->width()));
      QCOMPARE(vista->Columnas().size(), size_t(vista->width()));
      // Four flat steps: the left edge at 0, the right edge at three quarters of the height.
      QCOMPARE(vista->Curva().front(), 0);
      QCOMPARE(vista->Curva().back(), 3 * vista->height() / 4);
      Hijo<QPushButton>(w, "b1")->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Escalar grises"}));
    QVERIFY(visto);
    const Imagen& im = v->imagen();
    for (size_t i = 0; i < antes.size(); ++i) {
      QCOMPARE(im.Pixeles()[i], static_cast<int16_t>(antes[i] / 8192 * 8192));
    }
    QCOMPARE(QString::fromStdString(im.Operaciones().back()),
             QStringLiteral("ESCALGRIS NIVELES 4 "));
    QCOMPARE(im.Negro(), int16_t{0});
    QCOMPARE(im.Blanco(), int16_t{32767});
  }

  void GausConSigmaQueProponeRadio() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenPrueba());
    Imagen esperada;
    esperada.CopiaImagen(v->imagen());
    QVERIFY(EjecutaFiltro(esperada, {"GAUS", "2", "4"}));
    AlAparecerModal([](QWidget* w) {
      QCOMPARE(w->windowTitle(), QStringLiteral("DATOS FILTRO GAUS"));
      auto* sigma = Hijo<QLineEdit>(w, "c100");
      sigma->selectAll();
      QTest::keyClicks(sigma, "2");
      emit sigma->editingFinished();
      // trunc(2 * sqrt(-2 ln 0.1) + 0.5) = 4
      QCOMPARE(Hijo<QLineEdit>(w, "c101")->text(), QStringLiteral("4"));
      Hijo<QPushButton>(w, "b1")->click();
    });
    Filtro(5068);
    QCOMPARE(Configuracion::Global().Valor("FiltrosConvol", "GAUSSIGMA"), std::string("2"));
    QCOMPARE(Configuracion::Global().Valor("FiltrosConvol", "GAUSRADIO"), std::string("4"));
    QCOMPARE(v->imagen().Operaciones().back(), std::string("FILTRO GAUS 2 4"));
    QCOMPARE(v->imagen().Pixeles(), esperada.Pixeles());
  }

  void FiltroFallidoCierraElDuplicado() {
    Configuracion::Global().Asigna("General", "DUPLIMA", "1");
    Configuracion::Global().Asigna("FiltrosConvol", "FILTROGENERAL", "NO_EXISTE");
    marco_->MuestraImagen(ImagenPrueba());
    QString mensaje;
    AlAparecerModal([&mensaje](QWidget* w) {
      QCOMPARE(w->windowTitle(), QStringLiteral("FILTRO GENERAL"));
      AlAparecerModal([&mensaje](QWidget* m) {
        mensaje = qobject_cast<QMessageBox*>(m)->text();
        qobject_cast<QMessageBox*>(m)->accept();
      });
      Hijo<QPushButton>(w, "b1")->click();
    });
    Filtro(kFiltroGeneral);
    QCOMPARE(mensaje, QStringLiteral("Error pasando filtro: FILTRO NO_EXISTE"));
    QTest::qWait(50);
    QCOMPARE(marco_->Ventanas().size(), size_t{1});
  }

  void RotacionSobreCentroDelMenuDeHerramienta() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenPrueba());
    Configuracion::Global().Asigna("General", "HERRAMIENTA", "2");
    QTimer::singleShot(50, [] {
      QMenu* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(m);
      for (QAction* a : m->actions()) {
        if (a->data().toInt() == 5172) m->setActiveAction(a);
      }
      QTest::keyClick(m, Qt::Key_Return);
    });
    QTest::mouseClick(v->panelImagen(), Qt::RightButton, {}, QPoint(7, 9));
    QCOMPARE(v->imagen().puntos[kCentroRota].definido, int16_t{1});
    Imagen esperada;
    esperada.CopiaImagen(v->imagen());
    AplicaRotacion(esperada, {30.0, true, 7.0, 9.0, false, 0});
    AlAparecerModal([](QWidget* w) {
      QCOMPARE(w->windowTitle(), QStringLiteral("ROTACIÓN IMAGEN"));
      QCOMPARE(Hijo<QLineEdit>(w, "CentroX")->text(), QStringLiteral("7"));
      QCOMPARE(Hijo<QLineEdit>(w, "CentroY")->text(), QStringLiteral("9"));
      Hijo<QPushButton>(w, "b270")->click();
      QCOMPARE(Hijo<QLineEdit>(w, "Angulo")->text(), QStringLiteral("270.00"));
      Hijo<QLineEdit>(w, "Angulo")->setText("30");
      Hijo<QPushButton>(w, "b1")->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Posicionar", "&Rotar"}));
    QCOMPARE(v->imagen().Operaciones().back(), std::string("ROTAR 30.00 7 9"));
    QCOMPARE(v->imagen().Pixeles(), esperada.Pixeles());
  }

  void AnguloPropuestoDelSegmento_data() {
    QTest::addColumn<int>("p1");
    QTest::addColumn<int>("p2");
    QTest::addColumn<QPoint>("a");
    QTest::addColumn<QPoint>("b");
    QTest::addColumn<double>("angulo");
    QTest::newRow("horizontal ya")
        << int(kOriRotaHor) << int(kFinRotaHor) << QPoint(0, 0) << QPoint(10, 0) << 0.0;
    QTest::newRow("hor. bajando 45")
        << int(kOriRotaHor) << int(kFinRotaHor) << QPoint(0, 0) << QPoint(10, 10) << -45.0;
    QTest::newRow("hor. hacia atras")
        << int(kOriRotaHor) << int(kFinRotaHor) << QPoint(10, 0) << QPoint(0, 0) << 180.0;
    QTest::newRow("vertical inclinada")
        << int(kOriRotaVer) << int(kFinRotaVer) << QPoint(0, 0) << QPoint(10, 10) << 45.0;
    QTest::newRow("vertical hacia arriba")
        << int(kOriRotaVer) << int(kFinRotaVer) << QPoint(5, 9) << QPoint(5, 0) << 0.0;
  }
  void AnguloPropuestoDelSegmento() {
    QFETCH(int, p1);
    QFETCH(int, p2);
    QFETCH(QPoint, a);
    QFETCH(QPoint, b);
    QFETCH(double, angulo);
    Imagen im;
    double r = 99;
    QVERIFY(!AnguloDeSegmento(im, r));
    im.puntos[static_cast<size_t>(p1)] = {1, a.x(), a.y()};
    im.puntos[static_cast<size_t>(p2)] = {1, b.x(), b.y()};
    QVERIFY(AnguloDeSegmento(im, r));
    QVERIFY2(std::fabs(r - angulo) < 1e-9, qPrintable(QString::number(r)));
  }

  void CortePorReferencia() {
    auto grande = ImagenPrueba("grande.qor");
    auto pequena = std::make_unique<Imagen>();
    pequena->CopiaImagen(*grande);
    QVERIFY(EjecutaMacro(*pequena, {"CORTAR 5 4 20 15"}));
    const std::vector<int16_t> recorte = pequena->Pixeles();
    // The same star at (10, 10) of the cut image and (15, 14) of the whole one.
    QVERIFY(ComandoHerramienta(kCortar, 5159, 10, 10, *pequena));
    QVERIFY(ComandoHerramienta(kCortar, 5159, 15, 14, *grande));
    marco_->MuestraImagen(std::move(pequena));
    VentanaImagen* v = marco_->MuestraImagen(std::move(grande));
    QVERIFY(DisparaMenu(*marco_, {"&Posicionar", "&Cortar por referencia"}));
    QCOMPARE(v->imagen().Operaciones().back(), std::string("CORTAR 5 4 20 15"));
    QCOMPARE(v->imagen().Ancho(), 20u);
    QCOMPARE(v->imagen().Alto(), 15u);
    QCOMPARE(v->imagen().Pixeles(), recorte);
  }

  void LineasPorReferenciaYSusErrores() {
    Imagen a, ref;
    a.CopiaImagen(*ImagenPrueba());
    ref.CopiaImagen(a);
    auto error = [](const std::function<void()>& f) {
      try {
        f();
      } catch (const JError& e) {
        return e.Id();
      }
      return 0;
    };
    QCOMPARE(error([&] { LineaCortePorReferencia(a, &ref); }), 12043);
    QCOMPARE(error([&] { LineaDesplazaPorReferencia(a, &ref); }), 12043);
    QCOMPARE(error([&] { LineaRedimPorReferencia(a, &ref); }), 12043);
    a.puntos[kDespRef] = {1, 12, 8};
    a.puntos[kRedimRef1] = {1, 0, 0};
    a.puntos[kRedimRef2] = {1, 10, 0};
    QCOMPARE(error([&] { LineaCortePorReferencia(a, nullptr); }), 12044);
    QCOMPARE(error([&] { LineaDesplazaPorReferencia(a, nullptr); }), 12044);
    QCOMPARE(error([&] { LineaRedimPorReferencia(a, nullptr); }), 12044);
    ref.puntos[kDespRef] = {1, 15, 5};
    ref.puntos[kRedimRef1] = {1, 3, 3};
    ref.puntos[kRedimRef2] = {1, 3, 8};
    QCOMPARE(LineaDesplazaPorReferencia(a, &ref), std::string("DESPLAZA 3 -3 0"));
    QCOMPARE(LineaRedimPorReferencia(a, &ref), std::string("REDIM 0 0 40 30 20 15"));
    // The reference's size placed at (12 - 15): outside the image.
    QCOMPARE(error([&] { LineaCortePorReferencia(a, &ref); }), 12045);
  }

  void MacroGuardadaYRepetidaDaLosMismosPixeles() {
    QTemporaryDir dir;
    const QString archivo = dir.filePath("trabajo.mac");
    VentanaImagen* v = marco_->MuestraImagen(ImagenPrueba());
    Filtro(kPrimerFiltro);  // Suavizado 1
    QVERIFY(DisparaMenu(*marco_, {"&Posicionar", "Espejo &Horizontal"}));
    AlAparecerModal([](QWidget* w) {
      Hijo<QLineEdit>(w, "Angulo")->setText("12.5");
      Hijo<QPushButton>(w, "b1")->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Posicionar", "&Rotar"}));
    AlAparecerModal([](QWidget* w) {
      Hijo<QListWidget>(w, "Curvas")->setCurrentRow(6);  // Exponencial
      Hijo<QLineEdit>(w, "Campo1")->setText("2");
      Hijo<QPushButton>(w, "b1")->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Escalar grises"}));
    QCOMPARE(v->imagen().Operaciones().size(), size_t{4});
    AlAparecerModal(
        [archivo](QWidget* w) { AceptaArchivo(qobject_cast<QFileDialog*>(w), archivo); });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Guardar Macro..."}));
    const std::vector<int16_t> trabajada = v->imagen().Pixeles();

    VentanaImagen* nueva = marco_->MuestraImagen(ImagenPrueba("copia.qor"));
    QVERIFY(nueva->imagen().Pixeles() != trabajada);
    AlAparecerModal(
        [archivo](QWidget* w) { AceptaArchivo(qobject_cast<QFileDialog*>(w), archivo); });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "Ejecutar &Macro..."}));
    QCOMPARE(nueva->imagen().Pixeles(), trabajada);
  }

  void RotacionRechazaCentroIlegalSinCerrar() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenPrueba());
    const std::vector<int16_t> antes = v->imagen().Pixeles();
    QString mensaje, seleccion;
    bool abierto = false;
    AlAparecerModal([&](QWidget* w) {
      auto* cx = Hijo<QLineEdit>(w, "CentroX");
      cx->setText("x12");
      AlAparecerModal([&mensaje](QWidget* m) {
        auto* caja = qobject_cast<QMessageBox*>(m);
        QVERIFY(caja);
        mensaje = caja->text();
        caja->accept();
      });
      Hijo<QPushButton>(w, "b1")->click();
      abierto = w->isVisible();
      seleccion = cx->selectedText();
      Hijo<QPushButton>(w, "b2")->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Posicionar", "&Rotar"}));
    QVERIFY(abierto);
    QCOMPARE(seleccion, QStringLiteral("x12"));
    QCOMPARE(mensaje,
             QString::fromStdString(Mensaje(12070, "Centro rotación X", "-100000", "100000")));
    QCOMPARE(v->imagen().Pixeles(), antes);
  }

  // An observer's first steps, all from the menus: open the example field, see it through the
  // percentile levels, choose the analysis tool, search with PCVISTA, read the stars listed.
  void PCVistaListaLasEstrellasDelCampo() {
    AlAparecerModal([](QWidget* w) {
      AceptaArchivo(qobject_cast<QFileDialog*>(w), ORVA_FUENTE "/examples/campo_estelar.qor");
    });
    QVERIFY(DisparaMenu(*marco_, {"&Archivo", "&Abrir..."}));
    VentanaImagen* v = marco_->VentanaActiva();
    QVERIFY(v);
    QCOMPARE(v->imagen().TipoObjeto(), int(kVariable));  // the example's own object type
    const Imagen& im = v->imagen();
    AlAparecerModal([](QWidget* d) {
      for (QPushButton* b : d->findChildren<QPushButton*>()) {
        if (b->text() == QString::fromStdString(Cadena(12414))) b->click();
      }
      qobject_cast<QDialog*>(d)->accept();
    });
    QVERIFY(DisparaMenu(*marco_, {"Visua&lizar", "Cambiar curva &grises"}));
    QCOMPARE(int(im.Negro()), im.Percentil(1.0));
    QCOMPARE(int(im.Blanco()), im.Percentil(99.5));
    QVERIFY(DisparaMenu(*marco_, {"Visua&lizar", "Mostrar Datos &Imagen"}));  // the data pane
    // The log window waits for "SALIR" once the search ends.
    bool salio = false;
    auto* t = new QTimer(marco_.get());
    t->setInterval(30);
    QObject::connect(t, &QTimer::timeout, [&salio, t] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* b = w->findChild<QPushButton*>("b559");
        if (w->objectName() == "ProgresoLog" && w->isVisible() && b && b->text() == "SALIR") {
          salio = true;
          t->stop();
          b->click();
        }
      }
    });
    t->start();
    AlAparecerModal([](QWidget* w) {
      QCOMPARE(w->windowTitle(), QString::fromStdString(Cadena(3107)));
      QVERIFY(Hijo<QWidget>(w, "c565"));
      Hijo<QPushButton>(w, "b1")->click();
    });
    Analisis({14007, kBuscarPCVista});
    QVERIFY(salio);
    const std::vector<std::string> lineas = v->LineasDatos();
    int estrellas = -1;
    for (const std::string& l : lineas) std::sscanf(l.c_str(), "Estrellas: %d", &estrellas);
    QVERIFY2(estrellas > 3, qPrintable(QString::number(estrellas)));
    const QString panel = v->panelDatos()->toPlainText();
    QVERIFY(panel.contains(QStringLiteral("Estrellas: %1").arg(estrellas)));
    QVERIFY(panel.contains(QStringLiteral("\n1: (")));

    // A second search with "Borrar estrellas existentes" finds the same stars again.
    Configuracion::Global().Asigna("BuscaEstPCVista", "VerLog", "0");
    AlAparecerModal([](QWidget* w) {
      Hijo<QAbstractButton>(w, "c565")->click();
      Hijo<QPushButton>(w, "b1")->click();
    });
    Analisis({14007, kBuscarPCVista});
    QVERIFY(
        v->panelDatos()->toPlainText().contains(QStringLiteral("Estrellas: %1").arg(estrellas)));
  }

  void PreferenciasDeCentroide() {
    VentanaImagen* v = marco_->MuestraImagen(ImagenPrueba());
    v->imagen().CambiaTipoObjeto(kDoble);
    AlAparecerModal([](QWidget* w) {
      QCOMPARE(w->windowTitle(), QString::fromStdString(Cadena(3073)));
      auto* e = Hijo<QLineEdit>(w, "c101");
      e->setText("9");
      emit e->textEdited("9");
      emit e->editingFinished();
      Hijo<QPushButton>(w, "b1")->click();
    });
    Analisis({kPreferenciasDobles});
    QCOMPARE(Configuracion::Global().Valor("AnaEstelar", "CENTRADIO"), std::string("9"));
  }

  void CalculoDoblesConDosCalibraciones() {
    auto doble = [this](const char* objeto, bool par, double dist, double ap, bool trazo,
                        double angulo) {
      auto im = ImagenPrueba();
      im->CambiaTipoObjeto(kDoble);
      im->datos.nombreObjeto = objeto;
      DatosDobles& d = DatosDoblesDe(*im);
      d.parMedido = par;
      d.distancia = dist;
      d.ap = ap;
      d.trazos[0].medido = trazo;
      d.trazos[0].angulo = angulo;
      return marco_->MuestraImagen(std::move(im));
    };
    doble("CAL", true, 10.0, 0.0, false, 0.0);
    doble("CAL", true, 12.5, 0.0, false, 0.0);
    doble("TRZ", false, 0.0, 0.0, true, 2.0);
    doble("DBL", true, 20.0, 50.0, false, 0.0);
    MedidaDoble c1, c2, t, d;
    c1.parMedido = c2.parMedido = d.parMedido = true;
    c1.distancia = 10.0;
    c2.distancia = 12.5;
    t.angulosTrazo = {2.0};
    d.distancia = 20.0;
    d.ap = 50.0;
    const auto esperados = CalculaDobles({c1, c2}, {t}, {d}, 5.0).Textos();
    std::array<std::string, 4> vistos;
    AlAparecerModal([&vistos](QWidget* w) {
      QCOMPARE(w->windowTitle(), QStringLiteral("CALCULO DOBLES"));
      QCOMPARE(Hijo<QComboBox>(w, "Combo1")->count(), 2);  // CAL and DBL
      QCOMPARE(Hijo<QComboBox>(w, "Combo2")->currentText(), QStringLiteral("TRZ"));
      Hijo<QComboBox>(w, "Combo3")->setCurrentIndex(1);
      QCOMPARE(Hijo<QListWidget>(w, "Lista1")->count(), 2);
      for (const char* lista : {"Lista1", "Lista2", "Lista3"})
        Hijo<QListWidget>(w, lista)->selectAll();
      Hijo<QLineEdit>(w, "Distancia")->setText("5");
      vistos = static_cast<DialogoCalculoDobles*>(w)->Resultados();
      Hijo<QPushButton>(w, "Salir")->click();
    });
    Analisis({kCalcularDobles});
    for (size_t i = 0; i < 4; ++i) {
      QCOMPARE(QString::fromStdString(vistos[i]), QString::fromStdString(esperados[i]));
    }
    QVERIFY(QString::fromStdString(vistos[0]).startsWith("0.4500"));
    QVERIFY(QString::fromStdString(vistos[2]).startsWith("9.00"));
    QVERIFY(QString::fromStdString(vistos[3]).startsWith("48.00"));
    // The separation is offered again.
    QCOMPARE(Configuracion::Global().Valor("AnaDobles", "DISTCALIB"), std::string("5"));
  }

  void BusquedaEnImagenNoVariableDa12074() {
    // The popup was built while the image was a variable-star field; its type changed since.
    VentanaImagen* v = marco_->MuestraImagen(ImagenPrueba());
    v->imagen().CambiaTipoObjeto(kVariable);
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    QAction* buscar = AccionMenu(
        *marco_, {QString::fromStdString(Cadena(14003)), QString::fromStdString(Cadena(14007)),
                  QString::fromStdString(Cadena(kBuscarPCVista))});
    QVERIFY(buscar);
    v->imagen().CambiaTipoObjeto(0);
    QString mensaje;
    AlAparecerModal([&mensaje](QWidget* m) {
      mensaje = qobject_cast<QMessageBox*>(m)->text();
      qobject_cast<QMessageBox*>(m)->accept();
    });
    buscar->trigger();
    QCOMPARE(mensaje, QString::fromStdString(Cadena(12074)));
  }

  // With ORVA_CAPTURAS=dir, saves the README's pictures there: the gray-scale dialog with its
  // preview, and the example star field with the stars PCVISTA found.
  void Capturas() {
    const QString dir = qEnvironmentVariable("ORVA_CAPTURAS");
    if (dir.isEmpty()) QSKIP("ORVA_CAPTURAS not set");
    VentanaImagen* v = marco_->AbreArchivo(ORVA_FUENTE "/examples/campo_estelar.qor");
    QVERIFY(v);
    bool guardada = false;
    AlAparecerModal([&guardada, dir](QWidget* w) {
      Hijo<QListWidget>(w, "Curvas")->setCurrentRow(4);  // Logaritmico (10)
      Hijo<QPushButton>(w, "VerCurva")->click();
      QTest::qWait(50);
      guardada = w->grab().save(dir + "/escalado_grises.png");
      Hijo<QPushButton>(w, "b2")->click();
    });
    QVERIFY(DisparaMenu(*marco_, {"&Tratar", "&Escalar grises"}));
    QVERIFY(guardada);
    if (v->imagen().TipoObjeto() != kVariable) v->imagen().CambiaTipoObjeto(kVariable);
    Configuracion::Global().Asigna("BuscaEstPCVista", "VerLog", "0");
    AlAparecerModal([](QWidget* w) { Hijo<QPushButton>(w, "b1")->click(); });
    Analisis({14007, kBuscarPCVista});
    QVERIFY(DisparaMenu(
        *marco_, {"Visua&lizar", "Mostrar Datos &Imagen"}));  // the data pane with the star list
    v->parentWidget()->setGeometry(0, 0, 880, 540);
    QTest::qWait(100);
    QVERIFY(marco_->grab().save(dir + "/estrellas.png"));
  }

 private:
  // Triggers a filter item through the popup and label the filter table gives it.
  void Filtro(int id) {
    std::string popup, etiqueta;
    QVERIFY(MenuDeFiltro(id, popup, etiqueta));
    QStringList camino = QString::fromStdString(popup).split('/');
    camino << QString::fromStdString(etiqueta);
    QVERIFY(DisparaMenu(*marco_, camino));
  }

  // Chooses the analysis tool and triggers an item of the "Análisis" popup by its labels (their
  // string ids).
  void Analisis(std::initializer_list<int> etiquetas) {
    QVERIFY(DisparaMenu(*marco_, {"&Herramientas", "&Análisis"}));
    QStringList camino{QString::fromStdString(Cadena(14003))};
    for (int id : etiquetas) camino << QString::fromStdString(Cadena(id));
    QVERIFY(DisparaMenu(*marco_, camino));
  }

  std::unique_ptr<Marco> marco_;
};

QTEST_MAIN(OperacionesTest)
#include "OperacionesTest.moc"
