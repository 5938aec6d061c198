// The progress windows: modeless dialogs polled by the operation that runs on the same thread.
#include "gui/ProgresoQt.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "shell/Configuracion.h"

namespace orva {

ProgresoVentana::ProgresoVentana(QWidget* marco, bool conLog) : marco_(marco), conLog_(conLog) {}

ProgresoVentana::~ProgresoVentana() {
  if (dialogo_) {
    HabilitaMarco(true);
    delete dialogo_.data();
  }
}

void ProgresoVentana::HabilitaMarco(bool si) {
  if (marco_) marco_->setEnabled(si);
}

int ProgresoVentana::Abrir(const std::string& titulo) {
  if (ModoSilencioso()) return 1;
  if (dialogo_) return 0;
  titulo_ = titulo;
  cancelado_ = false;
  registro_.clear();
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

  const Configuracion& cfg = Configuracion::Global();
  d->move(cfg.Entero("ABDLGPOSX"), cfg.Entero("ABDLGPOSY"));
  dialogo_ = d;
  d->show();
  return 1;
}

void ProgresoVentana::Destruye() {
  if (!dialogo_) return;
  const QPoint p = dialogo_->pos();
  Configuracion& cfg = Configuracion::Global();
  cfg.Asigna("General", "ABDLGPOSX", std::to_string(p.x()));
  cfg.Asigna("General", "ABDLGPOSY", std::to_string(p.y()));
  QDialog* d = dialogo_.data();
  dialogo_ = nullptr;
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

void ProgresoVentana::TextoArchivo(const std::string& texto) {
  if (ModoSilencioso() || !dialogo_) return;
  archivo_->setText(QString::fromStdString(texto));
}

void ProgresoVentana::TextoProceso(const std::string& texto) {
  if (ModoSilencioso() || !dialogo_) return;
  proceso_->setText(QString::fromStdString(texto));
}

void ProgresoVentana::Avance(double fraccion) {
  if (ModoSilencioso() || !dialogo_ || !(fraccion >= 0)) return;
  fraccion = std::min(fraccion, 1.0);
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
  if (!dialogo_ && !cancelado_) return 0;
  if (!cancelado_) QApplication::processEvents(QEventLoop::AllEvents);
  return cancelado_ ? 1 : 0;
}

int ProgresoSimple::Cerrar() {
  if (ModoSilencioso()) return 1;
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
  if (!dialogo_) {
    const bool habia = cancelado_;
    cancelado_ = false;
    return habia ? 1 : 0;
  }
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
  if (ModoSilencioso() || !dialogo_) return;
  std::string windows;
  for (char c : texto) {
    if (c == '\n') windows += '\r';
    windows += c;
  }
  registro_ += windows;
  // The field shows the text as it will be saved, less the carriage returns.
  log_->moveCursor(QTextCursor::End);
  log_->insertPlainText(QString::fromStdString(texto));
}

void ProgresoLog::GuardaLog(const std::string& archivo) const {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(archivo.c_str(), "wb"), &std::fclose);
  if (!f) throw JError(12091, archivo);
  if (std::fwrite(registro_.data(), 1, registro_.size(), f.get()) != registro_.size()) {
    throw JError(12091, archivo);
  }
}

}  // namespace orva
