// Undo and redo stacks of image states.
#include "core/Deshacer.h"

#include <algorithm>

#include "core/Imagen.h"

namespace orva {

EstadoPixeles EstadoPixeles::De(const Imagen& im) {
  EstadoPixeles e;
  e.ancho = im.Ancho();
  e.alto = im.Alto();
  e.pixeles = im.Pixeles();
  e.mapeo = im.mapeo;
  e.cabecera = im.cabecera;
  e.offsetX = im.offsetX;
  e.offsetY = im.offsetY;
  e.bitsPixel = im.bitsPixel;
  e.esPaleta = im.esPaleta;
  e.bitsPaleta = im.bitsPaleta;
  e.paleta = im.paleta;
  e.modificada = im.ModificadaMarca();
  return e;
}

void EstadoPixeles::Restituye(Imagen& im) const {
  im.CambiaPixeles(ancho, alto, pixeles);
  im.mapeo = mapeo;
  im.cabecera = cabecera;
  im.offsetX = offsetX;
  im.offsetY = offsetY;
  im.bitsPixel = bitsPixel;
  im.esPaleta = esPaleta;
  im.bitsPaleta = bitsPaleta;
  im.paleta = paleta;
  // Statistics, analysis data and windows follow the pixels; then the mark the state had.
  im.Modificada(1);
  if (modificada != 1) im.Modificada(modificada);
}

size_t EstadoPixeles::Bytes() const {
  size_t n = sizeof(EstadoPixeles) + pixeles.size() * sizeof(int16_t) +
             cabecera.Tarjetas().size() * Cabecera::kLargoTarjeta;
  for (const std::string& l : lineas) n += l.size();
  return n;
}

bool EstadoPixeles::MismosPixeles(const EstadoPixeles& o) const {
  return ancho == o.ancho && alto == o.alto && pixeles == o.pixeles && mapeo == o.mapeo &&
         cabecera.Tarjetas() == o.cabecera.Tarjetas() && offsetX == o.offsetX &&
         offsetY == o.offsetY && bitsPixel == o.bitsPixel && esPaleta == o.esPaleta &&
         paleta == o.paleta;
}

void Deshacer::FijaLimite(size_t bytes) {
  limite_ = bytes;
  Recorta();
}

void Deshacer::Antes(const Imagen& im) {
  rehacer_.clear();
  // A state that cannot be kept is not copied; the older ones would skip this operation.
  const size_t bytes = im.NumPixeles() * sizeof(int16_t) +
                       im.cabecera.Tarjetas().size() * Cabecera::kLargoTarjeta;
  if (bytes > limite_) {
    Vacia();
    return;
  }
  deshacer_.push_back(EstadoPixeles::De(im));
  marcaLog_ = im.Operaciones().size();
  abierta_ = true;
}

void Deshacer::Despues(const Imagen& im) {
  if (!abierta_ || deshacer_.empty()) return;
  abierta_ = false;
  EstadoPixeles& e = deshacer_.back();
  const std::vector<std::string>& log = im.Operaciones();
  if (log.size() > marcaLog_) {
    e.lineas.assign(log.begin() + static_cast<std::ptrdiff_t>(marcaLog_), log.end());
  }
  // Nothing to undo when the pixels are the same and the log gained display lines at most.
  const bool soloVista = std::all_of(e.lineas.begin(), e.lineas.end(),
                                     [](const std::string& l) { return LineaSoloVista(l); });
  if (soloVista && EstadoPixeles::De(im).MismosPixeles(e)) {
    deshacer_.pop_back();
    return;
  }
  Recorta();
}

bool Deshacer::Deshaz(Imagen& im) {
  return Pasa(deshacer_, rehacer_, im, false);
}

bool Deshacer::Rehaz(Imagen& im) {
  return Pasa(rehacer_, deshacer_, im, true);
}

bool Deshacer::Pasa(std::deque<EstadoPixeles>& de, std::deque<EstadoPixeles>& a, Imagen& im,
                    bool rehace) {
  if (de.empty()) return false;
  abierta_ = false;
  EstadoPixeles destino = std::move(de.back());
  de.pop_back();
  EstadoPixeles ahora = EstadoPixeles::De(im);
  ahora.lineas = destino.lineas;
  destino.Restituye(im);
  std::vector<std::string> log = im.Operaciones();
  if (rehace) {
    // The lines come back at the end of the log.
    log.insert(log.end(), destino.lineas.begin(), destino.lineas.end());
  } else {
    // The operation's lines leave the log, the latest occurrence of each, newest first.
    for (auto l = destino.lineas.rbegin(); l != destino.lineas.rend(); ++l) {
      auto it = std::find(log.rbegin(), log.rend(), *l);
      if (it != log.rend()) log.erase(std::next(it).base());
    }
  }
  im.CambiaOperaciones(std::move(log));
  a.push_back(std::move(ahora));
  Recorta();
  return true;
}

void Deshacer::Guardada() {
  for (EstadoPixeles& e : deshacer_) e.modificada = 1;
  for (EstadoPixeles& e : rehacer_) e.modificada = 1;
}

void Deshacer::Vacia() {
  deshacer_.clear();
  rehacer_.clear();
  abierta_ = false;
}

size_t Deshacer::Bytes() const {
  size_t n = 0;
  for (const EstadoPixeles& e : deshacer_) n += e.Bytes();
  for (const EstadoPixeles& e : rehacer_) n += e.Bytes();
  return n;
}

void Deshacer::Recorta() {
  // The oldest undo states go first, then the farthest redo ones; a state kept open for the
  // running operation stays.
  size_t n = Bytes();
  while (n > limite_ && deshacer_.size() > (abierta_ ? 1u : 0u)) {
    n -= deshacer_.front().Bytes();
    deshacer_.pop_front();
  }
  while (n > limite_ && !rehacer_.empty()) {
    n -= rehacer_.front().Bytes();
    rehacer_.pop_front();
  }
}

}  // namespace orva
