// Helpers shared by the image operations.
#include "processing/Comun.h"

#include <charconv>
#include <mutex>
#include <new>
#include <string>

#include "base/JError.h"
#include "base/Memoria.h"
#include "core/Imagen.h"

namespace orva {

namespace {

std::mutex cerrojoReserva;
std::vector<int16_t> reserva;  // the block the last operation's image gave up

}  // namespace

std::vector<int16_t> NuevoBufferSalida(size_t n) {
  {
    std::lock_guard<std::mutex> cerrojo(cerrojoReserva);
    // A block much larger than asked for is left for a later large frame.
    if (n > 0 && reserva.capacity() >= n && reserva.capacity() / 2 <= n) {
      std::vector<int16_t> b = std::move(reserva);
      reserva = {};
      b.assign(n, 0);
      return b;
    }
  }
  CompruebaMemoria(BytesDe(n, sizeof(int16_t)));
  try {
    return std::vector<int16_t>(n);
  } catch (const std::bad_alloc&) {
    throw JError(10100, std::to_string(BytesDe(n, sizeof(int16_t))));  // 10100
  }
}

void EntregaSalida(ImagenPixeles& im, uint32_t ancho, uint32_t alto,
                   std::vector<int16_t>&& bloque) {
  std::vector<int16_t> viejo = std::move(bloque);
  if (ancho == im.Ancho() && alto == im.Alto()) {
    im.Pixeles().swap(viejo);
  } else {
    if (static_cast<uint64_t>(ancho) * alto != viejo.size()) {
      throw JError(11012, std::to_string(ancho), std::to_string(alto));  // 11012
    }
    std::vector<int16_t> nuevo = std::move(viejo);
    viejo.swap(im.Pixeles());
    im.CambiaPixeles(ancho, alto, std::move(nuevo));
  }
  std::lock_guard<std::mutex> cerrojo(cerrojoReserva);
  if (viejo.capacity() > reserva.capacity()) reserva = std::move(viejo);
}

std::string TextoReal(double v) {
  char texto[32];
  const auto r = std::to_chars(texto, texto + sizeof texto, v);
  return std::string(texto, r.ptr);
}

}  // namespace orva
