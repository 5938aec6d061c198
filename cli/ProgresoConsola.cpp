// The console progress line and the Ctrl-C request flag.
#include "cli/ProgresoConsola.h"

#include <cstdio>

namespace orva {
namespace {

// Set by the signal handler only; read by Cancelado.
volatile std::sig_atomic_t interrumpido = 0;

extern "C" void AlInterrumpir(int) {
  interrumpido = 1;
}

}  // namespace

ProgresoConsola::ProgresoConsola(bool visible) : visible_(visible) {
  anterior_ = std::signal(SIGINT, &AlInterrumpir);
}

ProgresoConsola::~ProgresoConsola() {
  Borra();
  std::signal(SIGINT, anterior_ == SIG_ERR ? SIG_DFL : anterior_);
}

int ProgresoConsola::Abrir(const std::string& titulo) {
  if (abierto_) return 0;
  abierto_ = true;
  titulo_ = titulo;
  archivo_.clear();
  proceso_.clear();
  Dibuja();
  return 1;
}

int ProgresoConsola::Cerrar() {
  Borra();
  abierto_ = false;
  return 1;
}

void ProgresoConsola::TextoArchivo(const std::string& texto) {
  archivo_ = texto;
  Dibuja();
}

void ProgresoConsola::TextoProceso(const std::string& texto) {
  proceso_ = texto;
  Dibuja();
}

int ProgresoConsola::Cancelado() {
  if (visible_ && abierto_ && ++vuelta_ % 64 == 0) Dibuja();
  return interrumpido ? 1 : 0;
}

void ProgresoConsola::AnadirLinea(const std::string& texto) {
  if (!visible_) return;
  Borra();
  std::fprintf(stderr, "%s\n", texto.c_str());
  Dibuja();
}

void ProgresoConsola::Dibuja() {
  if (!visible_ || !abierto_) return;
  static const char kGiro[] = "|/-\\";
  std::string linea = std::string(1, kGiro[vuelta_ / 64 % 4]) + " " + titulo_;
  if (!archivo_.empty()) linea += "  " + archivo_;
  if (!proceso_.empty()) linea += "  " + proceso_;
  if (linea.size() > 78) linea.resize(78);
  std::fprintf(stderr, "\r\033[K%s", linea.c_str());
  std::fflush(stderr);
  dibujado_ = true;
}

void ProgresoConsola::Borra() {
  if (!dibujado_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  dibujado_ = false;
}

}  // namespace orva
