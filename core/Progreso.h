// Progress of long operations: the window's interface, the silent implementation and the
// process-wide instance that operations poll.
#pragma once

#include <string>

namespace orva {

class Progreso {
 public:
  virtual ~Progreso() = default;
  // Opens the window with a title; 0 when one is already open (nested operations reuse it).
  virtual int Abrir(const std::string& titulo) = 0;
  virtual int Cerrar() = 0;
  virtual void TextoArchivo(const std::string& texto) = 0;
  virtual void TextoProceso(const std::string& texto) = 0;
  // Whether the user asked to stop; operations poll it between rows, files or iterations.
  virtual int Cancelado() = 0;
  // Appends text to the log (log progress only).
  virtual void AnadirLinea(const std::string& texto) = 0;
  // The fraction of the work done (0..1), for a bar and the time left; windows without one
  // ignore it.
  virtual void Avance(double /*fraccion*/) {}
};

// No window at all: what "/D" and the tests use. Never cancelled.
class ProgresoSilencioso : public Progreso {
 public:
  int Abrir(const std::string&) override { return 1; }
  int Cerrar() override { return 1; }
  void TextoArchivo(const std::string&) override {}
  void TextoProceso(const std::string&) override {}
  int Cancelado() override { return 0; }
  void AnadirLinea(const std::string&) override {}
};

// The progress object that operations use; a silent one until a program installs its own.
Progreso& ProgresoActual();
// Installs p as the process-wide progress object (nullptr restores the silent one). The caller
// keeps ownership and must uninstall it before destroying it.
void InstalaProgreso(Progreso* p);

// The process-wide silent flag ("/D").
bool& ModoSilencioso();

// Opens a progress window for one scope and closes it on exit, also when an error leaves the
// scope; only the scope that really opened the window closes it.
class SesionProgreso {
 public:
  explicit SesionProgreso(const std::string& titulo)
      : abierta_(ProgresoActual().Abrir(titulo) != 0) {}
  ~SesionProgreso() {
    if (abierta_) ProgresoActual().Cerrar();
  }
  SesionProgreso(const SesionProgreso&) = delete;
  SesionProgreso& operator=(const SesionProgreso&) = delete;

 private:
  bool abierta_;
};

}  // namespace orva
