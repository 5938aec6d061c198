// Progress windows of long operations as modeless dialogs: the simple one and the one with a log,
// and the worker thread that long operations of the desktop run on while the window shows them.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/Progreso.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace orva {

class Imagen;

// Runs trabajo on a worker thread while the interface thread waits in an event loop of its own:
// the progress window's texts, bar and cancel button stay alive, the frame stays disabled (it
// refuses to close) and the image windows are not repainted, since the work may be changing
// their images. The repaints the work asks of the windows of `imagenes` are made once it ends;
// an exception of trabajo is rethrown here. Called off the interface thread, or while another
// work runs, it simply runs trabajo.
void EjecutaEnTrabajador(QWidget* marco, const std::vector<Imagen*>& imagenes,
                         const std::function<void()>& trabajo);
// Whether a work started by EjecutaEnTrabajador is running.
bool TrabajoEnCurso();

// What both kinds share: the dialog, the cancelled flag, the title and the frame they disable.
// The operation may report from a worker thread: texts, fraction and log lines are kept under a
// lock and copied into the widgets by a timer of the interface thread (at once when reported on
// it), the cancelled flag is atomic, and opening and closing run on the interface thread.
class ProgresoVentana : public Progreso {
 public:
  // marco: the window disabled while the progress window is open (may be null).
  ProgresoVentana(QWidget* marco, bool conLog);
  ~ProgresoVentana() override;

  int Abrir(const std::string& titulo) override;
  void TextoArchivo(const std::string& texto) override;
  void TextoProceso(const std::string& texto) override;
  int Cancelado() override;
  // Shows the percentage bar and, after a moment, the time left at the pace so far.
  void Avance(double fraccion) override;

  // The open dialog, or null (tests drive its buttons).
  QDialog* Dialogo() const { return dialogo_; }

 protected:
  // The cancel button: cancelled, frame back, window gone.
  void Cancela();
  void Destruye();
  void HabilitaMarco(bool si);
  // Copies what was reported into the widgets (interface thread).
  void Refresca();
  // After a report: shown at once on the interface thread, else by the timer.
  void Reportado();

  QWidget* marco_;
  bool conLog_;
  QPointer<QDialog> dialogo_;
  QLineEdit* archivo_ = nullptr;    // control 239
  QLineEdit* proceso_ = nullptr;    // control 240
  QPlainTextEdit* log_ = nullptr;   // control 558
  QPushButton* guardar_ = nullptr;  // id 3
  QPushButton* boton_ = nullptr;    // id 2 (simple) or 559 (log)
  QProgressBar* barra_ = nullptr;
  QLabel* restante_ = nullptr;
  QElapsedTimer reloj_;  // since the window opened
  static constexpr int kPasosBarra = 1000;
  static constexpr double kSegundosSinEstimar = 0.5;
  static constexpr int kRefrescoMs = 50;  // how often the timer copies the reports
  std::atomic<bool> cancelado_{false};
  std::atomic<bool> abierto_{false};  // the dialog exists (read by the worker)
  std::string titulo_;

  // What the operation reported and the widgets do not show yet.
  mutable std::mutex cerrojo_;
  std::string archivoNuevo_, procesoNuevo_, lineasNuevas_;
  bool hayArchivo_ = false, hayProceso_ = false;
  double fraccion_ = -1;  // the last fraction, -1 while none
  std::string registro_;  // the log as saved: Windows line ends
};

class ProgresoSimple : public ProgresoVentana {
 public:
  explicit ProgresoSimple(QWidget* marco) : ProgresoVentana(marco, false) {}
  int Cerrar() override;
  void AnadirLinea(const std::string&) override {}
};

class ProgresoLog : public ProgresoVentana {
 public:
  explicit ProgresoLog(QWidget* marco) : ProgresoVentana(marco, true) {}
  // Turns the button into "SALIR" and waits until the user leaves the window.
  int Cerrar() override;
  void AnadirLinea(const std::string& texto) override;
  // Writes the log into a file (what "Guardar" does after asking the name).
  void GuardaLog(const std::string& archivo) const;
  const std::string& Registro() const { return registro_; }
};

}  // namespace orva
