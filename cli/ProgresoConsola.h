// Progress of long operations on the console: one status line on stderr, redrawn in place, when
// stderr is a terminal; Ctrl-C asks the running operation to stop.
#pragma once

#include <csignal>
#include <string>

#include "core/Progreso.h"

namespace orva {

class ProgresoConsola : public Progreso {
 public:
  // visible: draw the status line (stderr is a terminal and "/D" was not given).
  explicit ProgresoConsola(bool visible);
  ~ProgresoConsola() override;
  ProgresoConsola(const ProgresoConsola&) = delete;
  ProgresoConsola& operator=(const ProgresoConsola&) = delete;

  int Abrir(const std::string& titulo) override;
  int Cerrar() override;
  void TextoArchivo(const std::string& texto) override;
  void TextoProceso(const std::string& texto) override;
  // 1 once the user pressed Ctrl-C during the run.
  int Cancelado() override;
  void AnadirLinea(const std::string& texto) override;

  // Clears the status line so that a line printed on stdout to the same terminal starts clean;
  // the next progress event draws it again.
  void Borra();

 private:
  void Dibuja();

  bool visible_;
  bool abierto_ = false;
  bool dibujado_ = false;
  int vuelta_ = 0;
  std::string titulo_, archivo_, proceso_;
  void (*anterior_)(int) = SIG_DFL;
};

}  // namespace orva
