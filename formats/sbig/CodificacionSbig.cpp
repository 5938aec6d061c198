// SBIG Type 3 header text and compressed rows.
#include "formats/sbig/CodificacionSbig.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <utility>

#include "base/JError.h"

namespace orva {
namespace {

constexpr uint8_t kEscape = 0x80;  // the byte that announces a full value
constexpr int kDiferenciaMaxima = 127;
constexpr char kFinTexto = 0x1A;  // ctrl-Z after "End", for DOS text viewers
// The first line: "<camera> Image" or "<camera> Compressed Image".
constexpr std::string_view kVariedadPlana = " Image";
constexpr std::string_view kComprimida = " Compressed";
constexpr size_t kLargoCitado = 80;  // of a wrong first line, in the message

bool Igual(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool TerminaEn(std::string_view t, std::string_view fin) {
  return t.size() >= fin.size() && Igual(t.substr(t.size() - fin.size()), fin);
}

std::string_view SinBlancos(std::string_view t) {
  const size_t i = t.find_first_not_of(" \t");
  if (i == std::string_view::npos) return {};
  const size_t j = t.find_last_not_of(" \t");
  return t.substr(i, j - i + 1);
}

// A whole number 1..kLadoMaximoSbig, or 11143 naming both texts.
long Lado(std::string_view texto, const std::string& archivo, const std::string& ancho,
          const std::string& alto) {
  long v = 0;
  const auto [p, ec] = std::from_chars(texto.data(), texto.data() + texto.size(), v);
  if (ec != std::errc() || p != texto.data() + texto.size() || v < 1 || v > kLadoMaximoSbig) {
    throw JError(11143, archivo, ancho, alto);  // 11143
  }
  return v;
}

std::string Limpio(std::string_view t) {
  std::string s(t);
  for (char& c : s) {
    if (static_cast<unsigned char>(c) < ' ' || c == 0x7F) c = ' ';
  }
  return s;
}

uint16_t Palabra(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void PonPalabra(std::vector<uint8_t>& s, uint16_t v) {
  s.push_back(static_cast<uint8_t>(v & 0xFF));
  s.push_back(static_cast<uint8_t>(v >> 8));
}

std::string* Busca(CabeceraSbig& c, std::string_view nombre) {
  return const_cast<std::string*>(std::as_const(c).Valor(nombre));
}

}  // namespace

const std::string* CabeceraSbig::Valor(std::string_view nombre) const {
  for (const auto& [n, v] : parametros) {
    if (Igual(n, nombre)) return &v;
  }
  return nullptr;
}

CabeceraSbig AnalizaCabeceraSbig(std::string_view bytes, const std::string& archivo) {
  bytes = bytes.substr(0, std::min(bytes.size(), kLargoCabeceraSbig));
  CabeceraSbig c;
  bool primera = true, fin = false;
  size_t i = 0;
  while (i < bytes.size() && !fin) {
    const size_t j = std::min(bytes.find_first_of("\r\n", i), bytes.size());
    // Control characters count as blanks, as they are written.
    const std::string limpia = Limpio(bytes.substr(i, j - i));
    const std::string_view linea = SinBlancos(limpia);
    i = j + 1;
    if (primera) {
      // The camera line comes first; an empty first line is no header.
      primera = false;
      if (TerminaEn(linea, kVariedadPlana)) {
        std::string_view resto =
            SinBlancos(linea.substr(0, linea.size() - kVariedadPlana.size()));
        if (TerminaEn(resto, kComprimida)) {
          c.comprimida = true;
          resto = SinBlancos(resto.substr(0, resto.size() - kComprimida.size()));
        }
        c.camara = resto;
      }
      if (c.camara.empty()) {
        throw JError(12330, archivo, std::string(linea.substr(0, kLargoCitado)));  // 12330
      }
      continue;
    }
    if (linea.empty()) continue;
    if (Igual(linea, "End")) {
      fin = true;
      break;
    }
    const size_t igual = linea.find('=');
    if (igual == std::string_view::npos) continue;
    c.parametros.emplace_back(std::string(SinBlancos(linea.substr(0, igual))),
                              std::string(SinBlancos(linea.substr(igual + 1))));
  }
  if (primera) throw JError(12330, archivo, "");  // 12330
  if (!fin) throw JError(12331, archivo, "End");  // 12331
  std::string* ancho = Busca(c, "Width");
  std::string* alto = Busca(c, "Height");
  if (!ancho) throw JError(12331, archivo, "Width");  // 12331
  if (!alto) throw JError(12331, archivo, "Height");  // 12331
  const std::string a = Limpio(ancho->substr(0, 20)), h = Limpio(alto->substr(0, 20));
  c.ancho = Lado(*ancho, archivo, a, h);
  c.alto = Lado(*alto, archivo, a, h);
  // The sizes in their plain form ("0006" is 6), so the header written again holds them alike.
  *ancho = std::to_string(c.ancho);
  *alto = std::to_string(c.alto);
  return c;
}

std::string ComponeCabeceraSbig(const CabeceraSbig& c) {
  const std::string finLinea = "\n\r";
  auto linea = [&](const std::pair<std::string, std::string>& p) {
    return Limpio(p.first) + " = " + Limpio(p.second) + finLinea;
  };
  // The first Width and the first Height are always written; room is kept for them.
  const std::pair<std::string, std::string>*ancho = nullptr, *alto = nullptr;
  for (const auto& p : c.parametros) {
    if (!ancho && Igual(p.first, "Width")) ancho = &p;
    if (!alto && Igual(p.first, "Height")) alto = &p;
  }
  const std::string ultima = "End" + finLinea + kFinTexto;
  size_t reservado = ultima.size() + (ancho ? linea(*ancho).size() : 0) +
                     (alto ? linea(*alto).size() : 0);
  const std::string variedad =
      c.comprimida ? std::string(kComprimida) + std::string(kVariedadPlana)
                   : std::string(kVariedadPlana);
  std::string camara(SinBlancos(Limpio(c.camara)));
  // A name that would leave no room for the sizes gives way to the usual one.
  if (camara.empty() ||
      camara.size() + variedad.size() + finLinea.size() + reservado > kLargoCabeceraSbig) {
    camara = kCamaraSbig;
  }
  std::string t = camara + variedad + finLinea;
  for (const auto& p : c.parametros) {
    const std::string l = linea(p);
    if (&p == ancho || &p == alto) {
      t += l;
      reservado -= l.size();
    } else if (t.size() + l.size() + reservado <= kLargoCabeceraSbig) {
      t += l;
    }
  }
  t += ultima;
  t.resize(kLargoCabeceraSbig, '\0');
  return t;
}

size_t DescomprimeFilaSbig(std::span<const uint8_t> datos, std::span<uint16_t> fila,
                           const std::string& archivo, long numFila) {
  auto error = [&] { return JError(12332, archivo, std::to_string(numFila + 1)); };  // 12332
  if (datos.size() < 2 || fila.empty()) throw error();
  const size_t largo = Palabra(datos.data());
  if (largo > datos.size() - 2) throw error();
  const uint8_t* p = datos.data() + 2;
  const size_t ancho = fila.size();
  if (largo == 2 * ancho) {
    for (size_t x = 0; x < ancho; ++x) fila[x] = Palabra(p + 2 * x);
    return 2 + largo;
  }
  if (largo < 2) throw error();
  uint16_t v = Palabra(p);
  fila[0] = v;
  size_t i = 2;
  for (size_t x = 1; x < ancho; ++x) {
    if (i >= largo) throw error();
    const uint8_t b = p[i++];
    if (b == kEscape) {
      if (largo - i < 2) throw error();
      v = Palabra(p + i);
      i += 2;
    } else {
      // 16-bit arithmetic, as the differences were taken.
      v = static_cast<uint16_t>(v + static_cast<int8_t>(b));
    }
    fila[x] = v;
  }
  if (i != largo) throw error();
  return 2 + largo;
}

void ComprimeFilaSbig(std::span<const uint16_t> fila, std::vector<uint8_t>& salida) {
  std::vector<uint8_t> c;
  c.reserve(fila.size() + 2);
  PonPalabra(c, fila[0]);
  for (size_t x = 1; x < fila.size() && c.size() < 2 * fila.size(); ++x) {
    const int d = static_cast<int>(fila[x]) - static_cast<int>(fila[x - 1]);
    if (d >= -kDiferenciaMaxima && d <= kDiferenciaMaxima) {
      c.push_back(static_cast<uint8_t>(static_cast<int8_t>(d)));
    } else {
      c.push_back(kEscape);
      PonPalabra(c, fila[x]);
    }
  }
  // A coding as long as the plain row would read as a plain row: store it plain.
  if (c.size() >= 2 * fila.size()) {
    PonPalabra(salida, static_cast<uint16_t>(2 * fila.size()));
    for (uint16_t v : fila) PonPalabra(salida, v);
    return;
  }
  PonPalabra(salida, static_cast<uint16_t>(c.size()));
  salida.insert(salida.end(), c.begin(), c.end());
}

}  // namespace orva
