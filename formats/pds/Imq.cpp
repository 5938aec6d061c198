// Decoding of the first-difference Huffman coding of the old planetary archive CDs.
#include "formats/pds/Imq.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/JError.h"

namespace orva {
namespace {

constexpr size_t kBytesLongitud = 2;
constexpr size_t kBytesCuenta = 4;
constexpr int kDiferenciaCero = 255;  // the symbol of two equal pixels
constexpr int kMaxPixel = 255;
constexpr size_t kMaxLineasEtiqueta = 4096;

std::string_view SinEspacios(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

}  // namespace

RegistrosImq PartesRegistros(std::string_view bytes, size_t desde) {
  RegistrosImq r;
  size_t i = desde;
  while (i < bytes.size()) {
    if (bytes.size() - i < kBytesLongitud) {
      r.completo = false;
      break;
    }
    const size_t n = static_cast<unsigned char>(bytes[i]) |
                     (static_cast<size_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
    i += kBytesLongitud;
    if (bytes.size() - i < n) {
      r.completo = false;
      break;
    }
    r.registros.push_back(bytes.substr(i, n));
    i += n + (n % 2);
  }
  return r;
}

std::string TextoEtiquetaRegistros(std::string_view bytes) {
  const RegistrosImq r = PartesRegistros(bytes);
  std::string texto;
  size_t lineas = 0;
  for (std::string_view reg : r.registros) {
    if (++lineas > kMaxLineasEtiqueta) return {};
    // A label record is text; the first binary record means this is not such a file.
    for (char c : reg) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (u < ' ' && c != '\r' && c != '\n' && c != '\t') return {};
    }
    texto.append(reg);
    texto += "\r\n";
    if (SinEspacios(reg) == "END") return texto;
  }
  return {};
}

HistogramaImq HistogramaDeRegistros(const std::string& archivo,
                                    std::span<const std::string_view> registros) {
  std::string bytes;
  const size_t total = kSimbolosImq * kBytesCuenta;
  for (std::string_view reg : registros) {
    if (bytes.size() >= total) break;
    bytes.append(reg.substr(0, total - bytes.size()));
  }
  if (bytes.size() < total) {
    throw JError(12561, archivo, std::to_string(bytes.size()), std::to_string(total));  // 12561
  }
  HistogramaImq h{};
  for (size_t k = 0; k < h.size(); ++k) {
    uint32_t v = 0;
    for (size_t b = 0; b < kBytesCuenta; ++b) {
      v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[k * kBytesCuenta + b]))
           << (8 * b);
    }
    h[k] = v;
  }
  return h;
}

CodigoImq::CodigoImq(const HistogramaImq& histograma) {
  nodos_.reserve(2 * kSimbolosImq);
  // The archive's tree: only the differences that occur, in ascending order of count (ties in
  // symbol order). The two of least count are joined over and over, the least behind a 0 bit and
  // the other behind a 1 bit; the joined node goes before the nodes of its count.
  std::vector<std::pair<uint64_t, int32_t>> cola;
  for (int s = 0; s < kSimbolosImq; ++s) {
    const uint64_t cuenta = histograma[static_cast<size_t>(s)];
    if (cuenta == 0) continue;
    cola.emplace_back(cuenta, static_cast<int32_t>(nodos_.size()));
    nodos_.push_back(Nodo{-1, -1, s});
  }
  std::stable_sort(cola.begin(), cola.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  while (cola.size() > 1) {
    const auto menor = cola[0], otro = cola[1];
    cola.erase(cola.begin(), cola.begin() + 2);
    const int32_t nuevo = static_cast<int32_t>(nodos_.size());
    nodos_.push_back(Nodo{otro.second, menor.second, -1});
    const std::pair<uint64_t, int32_t> junto{menor.first + otro.first, nuevo};
    const auto donde =
        std::lower_bound(cola.begin(), cola.end(), junto,
                         [](const auto& x, const auto& y) { return x.first < y.first; });
    cola.insert(donde, junto);
  }
  raiz_ = cola.empty() ? -1 : cola.front().second;

  codigos_.assign(kSimbolosImq, {});
  if (raiz_ < 0) return;
  std::vector<std::pair<int32_t, std::vector<bool>>> pila{{raiz_, {}}};
  while (!pila.empty()) {
    auto [n, bits] = std::move(pila.back());
    pila.pop_back();
    const Nodo& nodo = nodos_[static_cast<size_t>(n)];
    if (nodo.simbolo >= 0) {
      codigos_[static_cast<size_t>(nodo.simbolo)] = std::move(bits);
      continue;
    }
    std::vector<bool> b1 = bits;
    b1.push_back(true);
    bits.push_back(false);
    pila.emplace_back(nodo.uno, std::move(b1));
    pila.emplace_back(nodo.cero, std::move(bits));
  }
}

std::vector<bool> CodigoImq::Codigo(int simbolo) const {
  return codigos_.at(static_cast<size_t>(simbolo));
}

void CodigoImq::DecodificaLinea(std::string_view registro, std::span<uint8_t> fila,
                                const std::string& archivo, uint64_t linea) const {
  if (fila.empty()) return;
  if (registro.empty()) throw JError(12560, archivo, std::to_string(linea + 1), "0");  // 12560
  int pixel = static_cast<unsigned char>(registro[0]);
  fila[0] = static_cast<uint8_t>(pixel);
  size_t x = 1;
  int32_t n = raiz_;
  // With one difference in the whole frame each bit stands for it; with none, no line decodes.
  const bool hoja = raiz_ >= 0 && nodos_[static_cast<size_t>(raiz_)].simbolo >= 0;
  for (size_t i = 1; raiz_ >= 0 && i < registro.size() && x < fila.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(registro[i]);
    for (int bit = 7; bit >= 0 && x < fila.size(); --bit) {
      const Nodo& nodo = nodos_[static_cast<size_t>(n)];
      if (!hoja) n = ((byte >> bit) & 1) ? nodo.uno : nodo.cero;
      const int s = nodos_[static_cast<size_t>(n)].simbolo;
      if (s < 0) continue;
      pixel -= s - kDiferenciaCero;
      if (pixel < 0 || pixel > kMaxPixel) {
        throw JError(12560, archivo, std::to_string(linea + 1), std::to_string(x));  // 12560
      }
      fila[x++] = static_cast<uint8_t>(pixel);
      n = raiz_;
    }
  }
  if (x < fila.size()) {
    throw JError(12560, archivo, std::to_string(linea + 1), std::to_string(x));  // 12560
  }
}

}  // namespace orva
