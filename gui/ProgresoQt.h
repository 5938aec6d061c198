// Progress windows of long operations as modeless dialogs: the simple one and the one with a log.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <string>

#include "core/Progreso.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace orva {

// What both kinds share: the dialog, the cancelled flag, the title and the frame they disable.
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
  bool cancelado_ = false;
  std::string titulo_;
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
