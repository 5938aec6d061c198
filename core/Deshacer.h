// Undo and redo of pixel operations: bounded stacks of the states an image held before (undo)
// and after (redo) each operation, with the operations-log lines the operation wrote.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/Cabecera.h"

namespace orva {

class Imagen;

// What an operation may change in an image: pixels and sizes, how they read as physical values,
// the header cards, and whether the image differs from its file.
struct EstadoPixeles {
  uint32_t ancho = 0, alto = 0;
  std::vector<int16_t> pixeles;
  MapeoValores mapeo;
  Cabecera cabecera;
  int32_t offsetX = 0, offsetY = 0, bitsPixel = 16, esPaleta = 0;
  uint8_t bitsPaleta = 8;
  std::array<uint8_t, 768> paleta{};
  int modificada = 0;
  // The log lines the operation added: an undo takes them out of the log, a redo puts them back.
  std::vector<std::string> lineas;

  static EstadoPixeles De(const Imagen& im);
  // Puts the state back into the image (statistics recomputed, windows repainted).
  void Restituye(Imagen& im) const;
  size_t Bytes() const;
  // Same pixels, sizes, mapping and cards.
  bool MismosPixeles(const EstadoPixeles& o) const;
};

class Deshacer {
 public:
  // The bytes both stacks may hold together; the oldest states go first.
  static constexpr size_t kLimitePorDefecto = size_t{256} << 20;
  explicit Deshacer(size_t limiteBytes = kLimitePorDefecto) : limite_(limiteBytes) {}

  void FijaLimite(size_t bytes);
  size_t Limite() const { return limite_; }

  // Around a pixel operation on the image: Antes keeps its state and empties the redo stack;
  // Despues notes the log lines the operation added, and forgets an operation that changed
  // nothing but the view (a refused line, a macro of zooms).
  void Antes(const Imagen& im);
  void Despues(const Imagen& im);

  bool PuedeDeshacer() const { return !deshacer_.empty(); }
  bool PuedeRehacer() const { return !rehacer_.empty(); }
  size_t NumDeshacer() const { return deshacer_.size(); }
  size_t NumRehacer() const { return rehacer_.size(); }
  // The state before the last operation comes back and its log lines leave the log; false when
  // there is nothing to undo.
  bool Deshaz(Imagen& im);
  // The undone operation's result comes back and its lines return to the end of the log.
  bool Rehaz(Imagen& im);
  // The image was just written to its file: every kept state now differs from the file.
  void Guardada();
  void Vacia();
  size_t Bytes() const;

 private:
  void Recorta();
  // Moves the newest state of one stack into the image and the image's state onto the other.
  bool Pasa(std::deque<EstadoPixeles>& de, std::deque<EstadoPixeles>& a, Imagen& im, bool rehace);

  size_t limite_;
  size_t marcaLog_ = 0;  // log size when Antes ran
  bool abierta_ = false;
  std::deque<EstadoPixeles> deshacer_;  // newest last
  std::deque<EstadoPixeles> rehacer_;   // newest last
};

}  // namespace orva
