// The compressed images of the old planetary archive CDs (".IMQ"): a file of variable-length
// records (a 2-byte little-endian length, the bytes, a pad byte after an odd length), the label
// in the first records, an encoding histogram of the 511 first differences (4-byte little-endian
// counts), and one record per image line: the line's first pixel, then the Huffman codes of the
// differences pixel[i] - pixel[i + 1] + 255, most significant bit of each byte first.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

constexpr int kSimbolosImq = 511;
using HistogramaImq = std::array<uint32_t, kSimbolosImq>;

// The records of a variable-length file from byte `desde`; a record cut by the end of the bytes
// ends the list (completo false).
struct RegistrosImq {
  std::vector<std::string_view> registros;
  bool completo = true;
};
RegistrosImq PartesRegistros(std::string_view bytes, size_t desde = 0);

// The label text of a variable-length file: its first records, one line each, up to END.
// Empty when the bytes do not start as such a file.
std::string TextoEtiquetaRegistros(std::string_view bytes);

// The histogram from the records that hold it (511 counts over as many records as they fill);
// 12561 when they do not hold it.
HistogramaImq HistogramaDeRegistros(const std::string& archivo,
                                    std::span<const std::string_view> registros);

// The Huffman code of the differences built from a histogram: nodes kept in ascending order of
// count (ties in symbol order, a joined node after the nodes of its count), the two smallest
// joined over and over; a 1 bit takes the first-joined (smaller) child, a 0 bit the other.
class CodigoImq {
 public:
  explicit CodigoImq(const HistogramaImq& histograma);
  // Decodes one line's record into `fila` (its length is the line's width). 12560 when the record
  // is short, or a difference leaves the 0..255 range.
  void DecodificaLinea(std::string_view registro, std::span<uint8_t> fila,
                       const std::string& archivo, uint64_t linea) const;
  // The code of a symbol as its bits, first bit first.
  std::vector<bool> Codigo(int simbolo) const;

 private:
  struct Nodo {
    int32_t uno = -1, cero = -1;  // children; a leaf has none
    int32_t simbolo = -1;
  };
  std::vector<Nodo> nodos_;
  int32_t raiz_ = 0;
  std::vector<std::vector<bool>> codigos_;  // by symbol
};

}  // namespace orva
