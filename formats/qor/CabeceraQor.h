// CabeceraQor: the text header of a QOR file in memory, lines of exactly 80 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

class CabeceraQor {
 public:
  static constexpr size_t kLargoLinea = 80;
  // Columns 0..77 hold text; 78 and 79 are CR LF.
  static constexpr size_t kColumnasTexto = 78;
  using Linea = std::array<char, kLargoLinea>;

  // Room for 20 lines of spaces, holding "FORMATO_QOR" and "LINEAS_CAB=2".
  CabeceraQor();

  size_t NumLineas() const { return numLineas_; }
  size_t Capacidad() const { return lineas_.size(); }
  const Linea& LineaN(size_t i) const { return lineas_[i]; }

  // Appends a line: the keyword from column 0, then "=" and the value when it has one; the text
  // is cut at column 78. Grows by 20 lines when full.
  void Anade(std::string_view clave, std::string_view valor);
  void Anade(std::string_view clave);
  // Rewrites the value of the first line that begins with the keyword (appends when none).
  void Cambia(std::string_view clave, std::string_view valor);
  // The value of a keyword: the first line that begins with it; after it any spaces and '='
  // are skipped (not past column 77), the text runs up to ';', CR or column 78, and trailing
  // spaces are removed. Empty when no line begins with the keyword.
  std::string Valor(std::string_view clave) const;
  bool Tiene(std::string_view clave) const { return Busca(clave) != nullptr; }

  // Sets the line count to n (the lines beyond the old count are spaces with CR LF), growing by
  // 20 lines at a time.
  void Dimensiona(size_t n);
  // The raw bytes of line i, for a reader to fill.
  char* Datos(size_t i) { return lineas_[i].data(); }

  // The n x 80 header bytes.
  std::string Texto() const;

 private:
  const Linea* Busca(std::string_view clave) const;
  static void Escribe(Linea& l, std::string_view clave, std::string_view valor, bool conValor);
  static Linea Vacia();

  std::vector<Linea> lineas_;
  size_t numLineas_ = 0;
};

}  // namespace orva
