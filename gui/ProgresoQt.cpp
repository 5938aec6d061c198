// The progress windows: modeless dialogs polled by the operation, which runs on a worker thread
// (EjecutaEnTrabajador) or on the interface thread itself; and the worker thread.
#include "gui/ProgresoQt.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>
#include <utility>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "shell/Configuracion.h"

namespace orva {

namespace {

// How often the interface thread looks whether the work has ended.
constexpr int kMiraTrabajoMs = 10;

// Works running (interface thread only), a frame enabling asked for meanwhile, and the settings
// written meanwhile (the work may be reading the settings).
int trabajos = 0;
bool habilitarAlAcabar = false;
std::vector<std::pair<std::string, std::string>> ajustesAlAcabar;

bool EsHiloInterfaz() {
  const QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}

// Runs f on the interface thread and waits for it.
void EnHiloInterfaz(const std::function<void()>& f) {
  if (EsHiloInterfaz()) {
    f();
  } else {
    QMetaObject::invokeMethod(QCoreApplication::instance(), f, Qt::BlockingQueuedConnection);
  }
}

// Stands for a window while the work runs: collects the repaints it asks for.
class ObservadorDiferido : public ObservadorImagen {
 public:
  explicit ObservadorDiferido(Imagen& imagen) : imagen_(imagen), ventana_(imagen.Observador()) {
    imagen_.AsignaObservador(this);
  }
  ~ObservadorDiferido() override { imagen_.AsignaObservador(ventana_); }
  ObservadorDiferido(const ObservadorDiferido&) = delete;
  ObservadorDiferido& operator=(const ObservadorDiferido&) = delete;
  void Repinta(int paneles) override { pedidos_ |= paneles; }
  // The window observes its image again and makes the repaints asked for, once the work ended.
  void Repite() {
    imagen_.AsignaObservador(ventana_);
    if (ventana_ && pedidos_ != 0) ventana_->Repinta(pedidos_);
  }

 private:
  Imagen& imagen_;
  ObservadorImagen* ventana_;
  std::atomic<int> pedidos_{0};
};

}  // namespace

bool TrabajoEnCurso() {
  return trabajos > 0;
}

void EjecutaEnTrabajador(QWidget* marco, const std::vector<Imagen*>& imagenes,
                         const std::function<void()>& trabajo) {
  if (!EsHiloInterfaz() || trabajos > 0) {
    trabajo();
    return;
  }
  std::vector<std::unique_ptr<ObservadorDiferido>> diferidos;
  for (Imagen* im : imagenes) {
    if (im && im->Observador()) diferidos.push_back(std::make_unique<ObservadorDiferido>(*im));
  }
  // The frame as the user will see it during the work, then no repaint of the image windows.
  auto* principal = qobject_cast<QMainWindow*>(marco);
  QWidget* centro = principal ? principal->centralWidget() : nullptr;
  const bool habilitado = marco && marco->isEnabled();
  if (marco) marco->setEnabled(false);
  if (centro) {
    centro->repaint();
    centro->setUpdatesEnabled(false);
  }
  ++trabajos;
  habilitarAlAcabar = false;

  std::atomic<bool> hecho{false};
  std::exception_ptr error;
  std::thread hilo([&] {
    try {
      trabajo();
    } catch (...) {
      error = std::current_exception();
    }
    hecho = true;
  });
  QEventLoop bucle;
  QTimer mira;
  mira.setInterval(kMiraTrabajoMs);
  QObject::connect(&mira, &QTimer::timeout, &bucle, [&] {
    if (hecho) bucle.quit();
  });
  mira.start();
  bucle.exec();
  hilo.join();

  --trabajos;
  if (centro) centro->setUpdatesEnabled(true);
  if (marco) marco->setEnabled(habilitado || habilitarAlAcabar);
  for (const auto& [clave, valor] : std::exchange(ajustesAlAcabar, {})) {
    Configuracion::Global().Asigna("General", clave, valor);
  }
  for (auto& d : diferidos) d->Repite();
  if (error) std::rethrow_exception(error);
}

ProgresoVentana::ProgresoVentana(QWidget* marco, bool conLog) : marco_(marco), conLog_(conLog) {}

ProgresoVentana::~ProgresoVentana() {
  if (dialogo_) {
    HabilitaMarco(true);
    delete dialogo_.data();
  }
}

void ProgresoVentana::HabilitaMarco(bool si) {
  // While a work runs the frame stays disabled; it comes back when the work ends.
  if (si && trabajos > 0) {
    habilitarAlAcabar = true;
    return;
  }
  if (marco_) marco_->setEnabled(si);
}

int ProgresoVentana::Abrir(const std::string& titulo) {
  if (ModoSilencioso()) return 1;
  if (!EsHiloInterfaz()) {
    int r = 0;
    EnHiloInterfaz([&] { r = Abrir(titulo); });
    return r;
  }
  if (dialogo_) return 0;
  titulo_ = titulo;
  cancelado_ = false;
  {
    std::lock_guard<std::mutex> c(cerrojo_);
    registro_.clear();
    archivoNuevo_.clear();
    procesoNuevo_.clear();
    lineasNuevas_.clear();
    hayArchivo_ = hayProceso_ = false;
    fraccion_ = -1;
  }
  HabilitaMarco(false);

  // The dialog is a window of its own (no parent) so that disabling the frame leaves it usable.
  auto* d = new QDialog(nullptr, Qt::Dialog);
  d->setObjectName(conLog_ ? "ProgresoLog" : "ProgresoSimple");
  d->setAttribute(Qt::WA_DeleteOnClose, false);
  d->setModal(false);
  d->setWindowTitle(QString::fromStdString(titulo));
  auto* rejilla = new QGridLayout(d);
  rejilla->addWidget(new QLabel(QStringLiteral("Pulsa el botón para cancelar el proceso")), 0, 0, 1,
                     2);
  rejilla->addWidget(new QLabel(QStringLiteral("Archivo:")), 1, 0);
  archivo_ = new QLineEdit;
  archivo_->setObjectName("c239");
  archivo_->setReadOnly(true);
  rejilla->addWidget(archivo_, 1, 1);
  rejilla->addWidget(new QLabel(QStringLiteral("Proceso:")), 2, 0);
  proceso_ = new QLineEdit;
  proceso_->setObjectName("c240");
  proceso_->setReadOnly(true);
  rejilla->addWidget(proceso_, 2, 1);
  // The bar and the time left show once the operation reports how far it is.
  barra_ = new QProgressBar;
  barra_->setObjectName("Avance");
  barra_->setRange(0, kPasosBarra);
  barra_->setFormat(QStringLiteral("%p %"));
  barra_->setVisible(false);
  rejilla->addWidget(barra_, 3, 0, 1, 2);
  restante_ = new QLabel;
  restante_->setObjectName("TiempoRestante");
  rejilla->addWidget(restante_, 4, 0, 1, 2);
  reloj_.start();
  if (conLog_) {
    log_ = new QPlainTextEdit;
    log_->setObjectName("c558");
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(0);
    rejilla->addWidget(log_, 5, 0, 1, 2);
    guardar_ = new QPushButton(QStringLiteral("Guardar"));
    guardar_->setObjectName("b3");
    guardar_->setEnabled(false);
    rejilla->addWidget(guardar_, 6, 0);
    QObject::connect(guardar_, &QPushButton::clicked, d, [this] {
      const QString nombre =
          QFileDialog::getSaveFileName(dialogo_, QString::fromStdString(Cadena(12101)));
      if (nombre.isEmpty()) return;
      try {
        static_cast<ProgresoLog*>(this)->GuardaLog(nombre.toStdString());
      } catch (const std::exception& e) {
        QMessageBox::warning(dialogo_, QString::fromStdString(titulo_), e.what());
      }
    });
  }
  boton_ = new QPushButton(QStringLiteral("Cancelar"));
  boton_->setObjectName(conLog_ ? "b559" : "b2");
  rejilla->addWidget(boton_, conLog_ ? 6 : 5, 1);
  QObject::connect(boton_, &QPushButton::clicked, d, [this] { Cancela(); });
  // Closing the window from its title bar is the same as the button.
  QObject::connect(d, &QDialog::rejected, d, [this] {
    if (dialogo_) Cancela();
  });

  // The reports of a worker thread reach the widgets through this timer.
  auto* refresco = new QTimer(d);
  refresco->setInterval(kRefrescoMs);
  QObject::connect(refresco, &QTimer::timeout, d, [this] { Refresca(); });
  refresco->start();

  const Configuracion& cfg = Configuracion::Global();
  d->move(cfg.Entero("ABDLGPOSX"), cfg.Entero("ABDLGPOSY"));
  dialogo_ = d;
  abierto_ = true;
  d->show();
  return 1;
}

void ProgresoVentana::Destruye() {
  if (!dialogo_) return;
  const QPoint p = dialogo_->pos();
  const std::pair<std::string, std::string> posicion[] = {{"ABDLGPOSX", std::to_string(p.x())},
                                                          {"ABDLGPOSY", std::to_string(p.y())}};
  for (const auto& [clave, valor] : posicion) {
    if (trabajos > 0) {
      ajustesAlAcabar.emplace_back(clave, valor);
    } else {
      Configuracion::Global().Asigna("General", clave, valor);
    }
  }
  QDialog* d = dialogo_.data();
  dialogo_ = nullptr;
  abierto_ = false;
  d->hide();
  d->deleteLater();
  archivo_ = proceso_ = nullptr;
  log_ = nullptr;
  barra_ = nullptr;
  restante_ = nullptr;
  guardar_ = boton_ = nullptr;
}

void ProgresoVentana::Cancela() {
  cancelado_ = true;
  HabilitaMarco(true);
  Destruye();
}

void ProgresoVentana::Reportado() {
  if (EsHiloInterfaz()) Refresca();
}

void ProgresoVentana::TextoArchivo(const std::string& texto) {
  if (ModoSilencioso() || !abierto_) return;
  {
    std::lock_guard<std::mutex> c(cerrojo_);
    archivoNuevo_ = texto;
    hayArchivo_ = true;
  }
  Reportado();
}

void ProgresoVentana::TextoProceso(const std::string& texto) {
  if (ModoSilencioso() || !abierto_) return;
  {
    std::lock_guard<std::mutex> c(cerrojo_);
    procesoNuevo_ = texto;
    hayProceso_ = true;
  }
  Reportado();
}

void ProgresoVentana::Avance(double fraccion) {
  if (ModoSilencioso() || !abierto_ || !(fraccion >= 0)) return;
  {
    std::lock_guard<std::mutex> c(cerrojo_);
    fraccion_ = std::min(fraccion, 1.0);
  }
  Reportado();
}

void ProgresoVentana::Refresca() {
  if (!dialogo_) return;
  std::string archivo, proceso, lineas;
  bool hayArchivo, hayProceso;
  double fraccion;
  {
    std::lock_guard<std::mutex> c(cerrojo_);
    archivo.swap(archivoNuevo_);
    proceso.swap(procesoNuevo_);
    lineas.swap(lineasNuevas_);
    hayArchivo = std::exchange(hayArchivo_, false);
    hayProceso = std::exchange(hayProceso_, false);
    fraccion = std::exchange(fraccion_, -1.0);
  }
  if (hayArchivo) archivo_->setText(QString::fromStdString(archivo));
  if (hayProceso) proceso_->setText(QString::fromStdString(proceso));
  if (log_ && !lineas.empty()) {
    // The field shows the text as it will be saved, less the carriage returns.
    log_->moveCursor(QTextCursor::End);
    log_->insertPlainText(QString::fromStdString(lineas));
  }
  if (fraccion < 0) return;
  barra_->setVisible(true);
  barra_->setValue(static_cast<int>(std::lround(fraccion * kPasosBarra)));
  // The time left by the pace so far, once there is a pace to go by.
  const double segundos = static_cast<double>(reloj_.elapsed()) / 1000.0;
  if (fraccion <= 0 || segundos < kSegundosSinEstimar) return;
  const long quedan = std::lround(std::ceil(segundos * (1.0 - fraccion) / fraccion));
  char b[32];
  std::snprintf(b, sizeof b, "%ld:%02ld", quedan / 60, quedan % 60);
  restante_->setText(QString::fromStdString(Mensaje(12420, b)));
}

int ProgresoVentana::Cancelado() {
  if (ModoSilencioso()) return 0;
  if (!abierto_ && !cancelado_) return 0;
  // On the interface thread the operation itself keeps the window alive.
  if (!cancelado_ && EsHiloInterfaz()) QApplication::processEvents(QEventLoop::AllEvents);
  return cancelado_ ? 1 : 0;
}

int ProgresoSimple::Cerrar() {
  if (ModoSilencioso()) return 1;
  if (!EsHiloInterfaz()) {
    int r = 0;
    EnHiloInterfaz([&] { r = Cerrar(); });
    return r;
  }
  if (!dialogo_) {
    // Cancelled by its button: the window is already gone; only forget it.
    const bool habia = cancelado_;
    cancelado_ = false;
    return habia ? 1 : 0;
  }
  HabilitaMarco(true);
  Destruye();
  return 1;
}

int ProgresoLog::Cerrar() {
  if (ModoSilencioso()) return 1;
  if (!EsHiloInterfaz()) {
    int r = 0;
    EnHiloInterfaz([&] { r = Cerrar(); });
    return r;
  }
  if (!dialogo_) {
    const bool habia = cancelado_;
    cancelado_ = false;
    return habia ? 1 : 0;
  }
  Refresca();  // the last lines of the work
  boton_->setText(QStringLiteral("SALIR"));
  guardar_->setEnabled(true);
  QEventLoop bucle;
  QObject::connect(dialogo_.data(), &QObject::destroyed, &bucle, &QEventLoop::quit);
  QObject::connect(boton_, &QPushButton::clicked, &bucle, &QEventLoop::quit);
  QObject::connect(dialogo_.data(), &QDialog::rejected, &bucle, &QEventLoop::quit);
  bucle.exec();
  if (dialogo_) {
    HabilitaMarco(true);
    Destruye();
  }
  cancelado_ = false;
  return 1;
}

void ProgresoLog::AnadirLinea(const std::string& texto) {
  if (ModoSilencioso() || !abierto_) return;
  std::string windows;
  for (char c : texto) {
    if (c == '\n') windows += '\r';
    windows += c;
  }
  {
    std::lock_guard<std::mutex> c(cerrojo_);
    registro_ += windows;
    lineasNuevas_ += texto;
  }
  Reportado();
}

void ProgresoLog::GuardaLog(const std::string& archivo) const {
  std::string registro;
  {
    std::lock_guard<std::mutex> c(cerrojo_);
    registro = registro_;
  }
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(archivo.c_str(), "wb"), &std::fclose);
  if (!f) throw JError(12091, archivo);
  if (std::fwrite(registro.data(), 1, registro.size(), f.get()) != registro.size()) {
    throw JError(12091, archivo);
  }
}

}  // namespace orva
