// A minimal PNG encoder: signature, IHDR, one IDAT of zlib-compressed filtered rows, IEND.
#include "formats/png/Png.h"

#include <zlib.h>

#include "base/EscrituraSegura.h"
#include "base/JError.h"

namespace orva {
namespace {

void Pon32(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v >> 24));
  s.push_back(static_cast<char>(v >> 16));
  s.push_back(static_cast<char>(v >> 8));
  s.push_back(static_cast<char>(v));
}

void Trozo(std::string& s, const char tipo[4], const std::string& datos) {
  Pon32(s, static_cast<uint32_t>(datos.size()));
  const size_t inicio = s.size();
  s.append(tipo, 4);
  s += datos;
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(s.data() + inicio),
                          static_cast<uInt>(s.size() - inicio));
  Pon32(s, static_cast<uint32_t>(crc));
}

}  // namespace

void GuardaPng(const std::string& archivo, const MapaRGB& m) {
  // Rows with filter byte 0 (none) in front.
  const size_t fila = static_cast<size_t>(m.ancho) * 3;
  std::string crudo;
  crudo.reserve((fila + 1) * m.alto);
  for (uint32_t y = 0; y < m.alto; ++y) {
    crudo.push_back('\0');
    crudo.append(reinterpret_cast<const char*>(m.rgb.data() + y * fila), fila);
  }
  uLongf tam = compressBound(static_cast<uLong>(crudo.size()));
  std::string comprimido(tam, '\0');
  if (compress2(reinterpret_cast<Bytef*>(comprimido.data()), &tam,
                reinterpret_cast<const Bytef*>(crudo.data()), static_cast<uLong>(crudo.size()),
                6) != Z_OK) {
    throw JError(10127, archivo, std::to_string(crudo.size()), "zlib");
  }
  comprimido.resize(tam);

  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr;
  Pon32(ihdr, m.ancho);
  Pon32(ihdr, m.alto);
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, filter 0, no interlace
  Trozo(png, "IHDR", ihdr);
  Trozo(png, "IDAT", comprimido);
  Trozo(png, "IEND", "");
  EscribeArchivoSeguro(archivo, png);
}

}  // namespace orva
