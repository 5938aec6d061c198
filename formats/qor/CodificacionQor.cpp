// DIFF8 and zlib deflate for QOR pixel blocks.
#include "formats/qor/CodificacionQor.h"

#include <zlib.h>

#include <memory>
#include <string>

#include "base/JError.h"

namespace orva {

size_t CodificaDiff8(const int16_t* pixeles, size_t n, uint8_t* destino) {
  if (n == 0) return 0;
  uint8_t* p = destino;
  auto pon16 = [&](int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    *p++ = static_cast<uint8_t>(u & 0xFF);
    *p++ = static_cast<uint8_t>(u >> 8);
  };
  pon16(pixeles[0]);
  for (size_t i = 1; i < n; ++i) {
    const auto d = static_cast<int16_t>(static_cast<uint16_t>(pixeles[i] - pixeles[i - 1]));
    if (d >= -126 && d <= 126) {
      *p++ = static_cast<uint8_t>(static_cast<int8_t>(d));
    } else {
      *p++ = 0x80;
      pon16(pixeles[i]);
    }
  }
  return static_cast<size_t>(p - destino);
}

bool DecodificaDiff8(const uint8_t* datos, size_t longitud, int16_t* pixeles, size_t n) {
  if (n == 0) return true;
  if (longitud < 2) return false;
  auto lee16 = [](const uint8_t* q) {
    return static_cast<int16_t>(static_cast<uint16_t>(q[0] | (q[1] << 8)));
  };
  pixeles[0] = lee16(datos);
  size_t i = 1, k = 2;
  while (i < n && k < longitud) {
    const uint8_t b = datos[k++];
    if (b == 0x80) {
      if (longitud - k < 2) return false;  // escape without its value
      pixeles[i] = lee16(datos + k);
      k += 2;
    } else {
      // Sums wrap around in 16 bits, as the differences were taken.
      pixeles[i] =
          static_cast<int16_t>(static_cast<uint16_t>(pixeles[i - 1] + static_cast<int8_t>(b)));
    }
    ++i;
  }
  return i == n;
}

size_t MaximoDeflate(size_t n) {
  // zlib's bound for parameters other than the defaults (stored blocks at worst), plus the
  // stream's header and check value and some room.
  return n + (n + 7) / 8 + (n + 63) / 64 + 5 + 6 + 64;
}

size_t ComprimeDeflate(uint8_t* destino, size_t capacidad, const uint8_t* fuente, size_t n) {
  struct Fin {
    void operator()(z_stream* s) const {
      deflateEnd(s);
      delete s;
    }
  };
  auto zs = std::make_unique<z_stream>();
  int r = deflateInit2_(zs.get(), 9, Z_DEFLATED, 10, 9, Z_FILTERED, ZLIB_VERSION,
                        static_cast<int>(sizeof(z_stream)));
  if (r != Z_OK) throw JError(11142, std::to_string(r));  // 11142
  std::unique_ptr<z_stream, Fin> s(zs.release());
  // zlib counts in unsigned int: feed and drain in pieces that fit.
  constexpr size_t kTrozo = 1u << 30;
  size_t leido = 0, escrito = 0;
  do {
    const size_t entra = std::min(kTrozo, n - leido);
    const size_t sale = std::min(kTrozo, capacidad - escrito);
    s->next_in = const_cast<Bytef*>(fuente + leido);
    s->avail_in = static_cast<uInt>(entra);
    s->next_out = destino + escrito;
    s->avail_out = static_cast<uInt>(sale);
    const bool ultimo = leido + entra == n;
    r = deflate(s.get(), ultimo ? Z_FINISH : Z_NO_FLUSH);
    leido += entra - s->avail_in;
    escrito += sale - s->avail_out;
    if (r == Z_STREAM_END) break;
    if ((r != Z_OK && r != Z_BUF_ERROR) || escrito == capacidad) {
      throw JError(11142, std::to_string(r == Z_OK ? Z_BUF_ERROR : r));  // 11142
    }
  } while (true);
  return escrito;
}

long long DescomprimeDeflate(uint8_t* destino, size_t capacidad, const uint8_t* fuente, size_t n) {
  uLongf largo = static_cast<uLongf>(capacidad);
  if (capacidad == 0) {
    // uncompress refuses an empty destination; a stream of nothing still has to be whole.
    uint8_t nada = 0;
    largo = 1;
    const int r = uncompress(&nada, &largo, fuente, static_cast<uLong>(n));
    return r == Z_OK && largo == 0 ? 0 : -1;
  }
  const int r = uncompress(destino, &largo, fuente, static_cast<uLong>(n));
  if (r != Z_OK) return -1;
  return static_cast<long long>(largo);
}

}  // namespace orva
