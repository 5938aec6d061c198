// Raw pixel blocks: one file row at a time through a row buffer of each call.
#include "formats/Valores.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/Archivo.h"

namespace orva {
namespace {

// A row buffer of n bytes, all zero.
std::vector<uint8_t> BufferFila(size_t n) {
  try {
    return std::vector<uint8_t>(n, 0);
  } catch (const std::bad_alloc&) {
    throw JError(10100, std::to_string(n));  // 10100
  }
}

// Bytes of one file row, and the bytes the conversion touches (a 12-bit pair may reach past an
// odd row's end; the buffer holds them so no read leaves it).
struct Medidas {
  size_t fila = 0;
  size_t inicio = 0;  // first converted byte
  size_t usados = 0;  // inicio + bytes converted
};

Medidas MideFila(int ancho, int bits, int prefijo, int sufijo, int codigoError) {
  if (ancho < 0 || prefijo < 0 || sufijo < 0) {
    throw JError(codigoError, std::to_string(bits));
  }
  const uint64_t b = bits == -32 ? 32 : static_cast<uint64_t>(bits);
  const uint64_t pix =
      static_cast<uint64_t>(prefijo) + static_cast<uint64_t>(ancho) + static_cast<uint64_t>(sufijo);
  Medidas m;
  m.fila = static_cast<size_t>(b * pix / 8);
  const uint64_t w = static_cast<uint64_t>(ancho);
  switch (bits) {
    case 8:
      m.inicio = static_cast<size_t>(prefijo);
      m.usados = m.inicio + w;
      break;
    case 16:
      m.inicio = static_cast<size_t>(prefijo) * 2;
      m.usados = m.inicio + 2 * w;
      break;
    case 12:
      m.inicio = static_cast<size_t>(prefijo);
      m.usados = m.inicio + 3 * ((w + 1) / 2);
      break;
    default:
      m.inicio = 0;
      m.usados = 0;
      break;
  }
  return m;
}

void Cancelado(ImagenPixeles& imagen) {
  if (imagen.Interrumpida()) throw JError(11011);  // 11011
}

}  // namespace

void LeeValores(ImagenPixeles& imagen, Archivo& archivo, uint64_t posicion, int ancho, int alto,
                int bits, int prefijo, int sufijo, int orden, int conSigno) {
  if (bits != 8 && bits != 12 && bits != 16 && bits != -32) {
    throw JError(11022, std::to_string(bits));  // 11022
  }
  const Medidas m = MideFila(ancho, bits, prefijo, sufijo, 11022);
  std::vector<uint8_t> buf = BufferFila(std::max(m.fila, m.usados));
  // Bytes past the file row (only an odd 12-bit row reaches them) read as zeros.
  std::fill(buf.begin() + static_cast<std::ptrdiff_t>(m.fila), buf.end(), uint8_t{0});
  archivo.Posiciona(posicion);

  const long w = static_cast<long>(imagen.Ancho());
  const long h = static_cast<long>(imagen.Alto());
  std::vector<int16_t>& px = imagen.Pixeles();
  auto pon = [&](long x, long y, int v) {
    if (x >= w || y >= h) {
      throw JError(11012, std::to_string(x), std::to_string(y));  // 11012
    }
    v = std::clamp(v, -32768, 32767);
    px[static_cast<size_t>(y * w + x)] = static_cast<int16_t>(v);
  };

  for (long y = 0; y < alto; ++y) {
    if (y % 10 != 0) Cancelado(imagen);  // 11011
    archivo.Lee(buf.data(), m.fila);
    const uint8_t* p = buf.data() + m.inicio;
    switch (bits) {
      case 8:
        for (long x = 0; x < ancho; ++x) pon(x, y, p[x]);
        break;
      case 16:
        for (long x = 0; x < ancho; ++x, p += 2) {
          const unsigned u = orden == 1 ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0];
          const int v = conSigno == 1 ? static_cast<int16_t>(u) : std::min<int>(u, 32767);
          pon(x, y, v);
        }
        break;
      case 12:
        for (long x = 0; x < ancho; x += 2, p += 3) {
          int p0, p1;
          if (orden == 1) {
            const unsigned g = p[0] | (p[1] << 8) | (p[2] << 16);
            p0 = static_cast<int>(g & 0xFFF);
            p1 = static_cast<int>((g >> 12) & 0xFFF);
          } else {
            p0 = ((p[1] & 0x0F) << 8) + p[0];
            p1 = ((p[1] >> 4) << 8) + p[2];
          }
          pon(x, y, p0);
          pon(x + 1, y, p1);  // an odd width ends outside the image: 11012
        }
        break;
      default:  // -32: rows are skipped, nothing is stored
        break;
    }
  }
}

void GuardaValores(ImagenPixeles& imagen, Archivo& archivo, uint64_t posicion, int ancho, int alto,
                   int bits, int prefijo, int sufijo, int orden) {
  if (bits != 8 && bits != 12 && bits != 16) {
    throw JError(11023, std::to_string(bits));  // 11023
  }
  const Medidas m = MideFila(ancho, bits, prefijo, sufijo, 11023);
  std::vector<uint8_t> buf = BufferFila(std::max(m.fila, m.usados));
  archivo.Posiciona(posicion);

  for (long y = 0; y < alto; ++y) {
    if (y % 20 != 0) Cancelado(imagen);  // 11011
    std::fill(buf.begin(), buf.end(), uint8_t{0});
    uint8_t* p = buf.data() + m.inicio;
    // Pixel() gives the out-of-image value outside the image.
    switch (bits) {
      case 8:
        for (long x = 0; x < ancho; ++x) {
          p[x] = static_cast<uint8_t>(std::clamp<int>(imagen.Pixel(x, y), 0, 255));
        }
        break;
      case 16:
        for (long x = 0; x < ancho; ++x, p += 2) {
          const auto u = static_cast<uint16_t>(imagen.Pixel(x, y));
          const auto hi = static_cast<uint8_t>(u >> 8), lo = static_cast<uint8_t>(u & 0xFF);
          p[0] = orden == 1 ? hi : lo;
          p[1] = orden == 1 ? lo : hi;
        }
        break;
      case 12:
        for (long x = 0; x < ancho; x += 2, p += 3) {
          const unsigned p0 = static_cast<uint16_t>(imagen.Pixel(x, y)) & 0xFFFu;
          const unsigned p1 = static_cast<uint16_t>(imagen.Pixel(x + 1, y)) & 0xFFFu;
          if (orden == 1) {
            const unsigned g = p0 | (p1 << 12);
            p[0] = static_cast<uint8_t>(g & 0xFF);
            p[1] = static_cast<uint8_t>((g >> 8) & 0xFF);
            p[2] = static_cast<uint8_t>((g >> 16) & 0xFF);
          } else {
            p[0] = static_cast<uint8_t>(p0 & 0xFF);
            p[1] = static_cast<uint8_t>((p0 >> 8) | ((p1 >> 8) << 4));
            p[2] = static_cast<uint8_t>(p1 & 0xFF);
          }
        }
        break;
    }
    archivo.Escribe(buf.data(), m.fila);
  }
}

}  // namespace orva
