// SBIG Type 3 header text and compressed rows.
#include "formats/sbig/CodificacionSbig.h"

#include <strings.h>

#include <algorithm>
#include <charconv>

#include "base/JError.h"

namespace orva {
namespace {

constexpr uint8_t kEscape = 0x80;  // the byte that announces a full value
constexpr int kDiferenciaMaxima = 127;
constexpr char kFinTexto = 0x1A;  // ctrl-Z after "End", for DOS text viewers

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
    const std::string_view linea = SinBlancos(bytes.substr(i, j - i));
    i = j + 1;
    if (primera) {
      // The camera line may be preceded by nothing else; an empty first line is no header.
      primera = false;
      if (TerminaEn(linea, " Compressed Image")) {
        c.comprimida = true;
        c.camara = SinBlancos(linea.substr(0, linea.size() - 17));
      } else if (TerminaEn(linea, " Image")) {
        c.camara = SinBlancos(linea.substr(0, linea.size() - 6));
      }
      if (c.camara.empty()) throw JError(12330, archivo, Limpio(linea.substr(0, 80)));  // 12330
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
  const std::string* ancho = c.Valor("Width");
  const std::string* alto = c.Valor("Height");
  if (!ancho) throw JError(12331, archivo, "Width");  // 12331
  if (!alto) throw JError(12331, archivo, "Height");  // 12331
  const std::string a = Limpio(ancho->substr(0, 20)), h = Limpio(alto->substr(0, 20));
  c.ancho = Lado(*ancho, archivo, a, h);
  c.alto = Lado(*alto, archivo, a, h);
  return c;
}

std::string ComponeCabeceraSbig(const CabeceraSbig& c) {
  const std::string finLinea = "\n\r";
  const std::string primera =
      Limpio(c.camara) + (c.comprimida ? " Compressed Image" : " Image") + finLinea;
  const std::string ultima = "End" + finLinea + kFinTexto;
  auto linea = [&](const std::pair<std::string, std::string>& p) {
    return Limpio(p.first) + " = " + Limpio(p.second) + finLinea;
  };
  auto esencial = [](const std::string& n) { return Igual(n, "Width") || Igual(n, "Height"); };
  // Room for the lines that must be there, then the others in order while they fit.
  size_t reservado = primera.size() + ultima.size();
  for (const auto& p : c.parametros) {
    if (esencial(p.first)) reservado += linea(p).size();
  }
  std::string t = primera;
  for (const auto& p : c.parametros) {
    const std::string l = linea(p);
    if (esencial(p.first)) {
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
