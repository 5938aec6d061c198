// Sample decoding and the fitting of real values into 16-bit pixels.
#include "formats/pds/Muestras.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Rango.h"
#include "formats/Archivo.h"

namespace orva {
namespace {

constexpr uint64_t kMaxPixeles = uint64_t{1} << 31;    // larger blocks are refused
constexpr double kMin16 = -32768.0, kMax16 = 32767.0;  // the pixels' own range
constexpr uint64_t kFilasCancelacion = 64;             // rows between cancel checks

uint64_t Entero(const unsigned char* p, int bytes, bool mayorPrimero) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) {
    const int k = mayorPrimero ? i : bytes - 1 - i;
    v = (v << 8) | p[k];
  }
  return v;
}

// VAX F floating point: two little-endian 16-bit words, most significant word first, exponent
// bias 128 and the hidden bit at one half; read as IEEE it is four times the value.
double VaxF(const unsigned char* p) {
  const uint32_t bits =
      (uint32_t{p[1]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[3]} << 8) | uint32_t{p[2]};
  if ((bits & 0x7F800000u) == 0) return 0.0;  // exponent 0: zero (or a reserved operand)
  return static_cast<double>(std::bit_cast<float>(bits)) / 4.0;
}

template <class T>
std::vector<T> Bloque(uint64_t n, T valor) {
  try {
    return std::vector<T>(static_cast<size_t>(n), valor);
  } catch (const std::bad_alloc&) {
    throw JError(10100, std::to_string(n * sizeof(T)));  // 10100
  }
}

}  // namespace

std::vector<double> BloqueValores(uint64_t n) {
  return Bloque<double>(n, 0.0);
}

double DecodificaMuestra(const unsigned char* p, const FormatoMuestra& f) {
  switch (f.clase) {
    case FormatoMuestra::kSinSigno:
      return static_cast<double>(Entero(p, f.bytes, f.mayorPrimero));
    case FormatoMuestra::kConSigno: {
      const uint64_t u = Entero(p, f.bytes, f.mayorPrimero);
      const int desplaza = 64 - 8 * f.bytes;
      return static_cast<double>(static_cast<int64_t>(u << desplaza) >> desplaza);
    }
    case FormatoMuestra::kIeee: {
      const uint64_t u = Entero(p, f.bytes, f.mayorPrimero);
      if (f.bytes == 8) return std::bit_cast<double>(u);
      return static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(u)));
    }
    case FormatoMuestra::kVax:
      return VaxF(p);
  }
  return 0.0;
}

std::vector<double> LeeMuestras(Archivo& f, ImagenObservacion& imagen, uint64_t primera,
                                uint64_t pasoFila, uint64_t ancho, uint64_t alto,
                                uint64_t pasoMuestra, const FormatoMuestra& formato) {
  std::vector<double> valores = BloqueValores(ancho * alto);
  const uint64_t bytes = static_cast<uint64_t>(formato.bytes);
  std::vector<unsigned char> fila((ancho - 1) * pasoMuestra + bytes);
  for (uint64_t y = 0; y < alto; ++y) {
    if (y % kFilasCancelacion == kFilasCancelacion - 1 && imagen.Interrumpida()) {
      throw JError(11011);  // 11011
    }
    f.Posiciona(primera + y * pasoFila);
    f.Lee(fila.data(), fila.size());
    double* v = valores.data() + y * ancho;
    for (uint64_t x = 0; x < ancho; ++x)
      v[x] = DecodificaMuestra(fila.data() + x * pasoMuestra, formato);
  }
  return valores;
}

void CompruebaMedidas(uint64_t ancho, uint64_t alto) {
  if (ancho == 0 || alto == 0 || ancho > kMaxPixeles || alto > kMaxPixeles ||
      ancho * alto > kMaxPixeles) {
    const double bytes = static_cast<double>(ancho) * static_cast<double>(alto) * 2.0;
    throw JError(10100, std::to_string(bytes));  // 10100
  }
}

void ValoresAImagen(const std::vector<double>& valores, uint32_t ancho, uint32_t alto, int bits,
                    const MapeoValores& fisico, ImagenObservacion& imagen) {
  const RangoPixeles rango = Rango();
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  bool enteros = true;
  for (double v : valores) {
    if (!std::isfinite(v)) continue;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
    if (enteros && v != std::trunc(v)) enteros = false;
  }
  std::vector<int16_t> px = Bloque<int16_t>(valores.size(), rango.defecto);
  // pixel -> stored sample: sample = desde + paso * pixel. Whole values keep every 16-bit
  // pixel value, as FITS data do; only values that need scaling go onto the gray range.
  double desde = 0.0, paso = 1.0;
  double bajo = kMin16, alto16 = kMax16;
  if (lo > hi) {
    // nothing finite: every pixel is the out-of-image value
  } else if (enteros && lo >= kMin16 && hi <= kMax16) {
    desde = 0.0;
  } else if (enteros && hi - lo <= kMax16 - kMin16) {
    // The unsigned 16-bit case: a whole shift keeps every value exact.
    desde = lo >= 0.0 && hi <= kMax16 - kMin16 ? -kMin16 : lo - kMin16;
  } else {
    if (rango.maximo > rango.minimo) {
      bajo = rango.minimo;
      alto16 = rango.maximo;
    }
    paso = hi > lo ? (hi - lo) / (alto16 - bajo) : 1.0;
    desde = lo - bajo * paso;
  }
  for (size_t i = 0; i < valores.size(); ++i) {
    const double v = valores[i];
    if (!std::isfinite(v)) continue;
    const double m = std::clamp(std::round((v - desde) / paso), bajo, alto16);
    px[i] = static_cast<int16_t>(m);
  }
  imagen.CambiaPixeles(ancho, alto, std::move(px));
  imagen.bitsPixel = bits;
  // physical = fisico.cero + fisico.escala * (desde + paso * pixel)
  imagen.mapeo = MapeoValores{fisico.cero + fisico.escala * desde, fisico.escala * paso};
}

}  // namespace orva
