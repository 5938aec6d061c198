// What a FITS file held beyond ORVA's own fields: the linear mapping from stored pixel values to
// physical values, and the header cards ORVA does not map, with their world-coordinate (WCS)
// updates under exact geometric operations.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orva {

// physical = cero + escala * pixel. The identity (0, 1) means the pixels are the values.
struct MapeoValores {
  double cero = 0.0;
  double escala = 1.0;
  bool Identidad() const { return cero == 0.0 && escala == 1.0; }
  double Fisico(double pixel) const { return cero + escala * pixel; }
  bool operator==(const MapeoValores&) const = default;
};

// An affine map of pixel positions from the new grid to the old one, 0-based:
// old = [a11 a12; a21 a22] * new + (tx, ty).
struct MapaPixeles {
  double a11 = 1.0, a12 = 0.0, a21 = 0.0, a22 = 1.0;
  double tx = 0.0, ty = 0.0;
};

// A list of raw 80-character header cards, in file order.
class Cabecera {
 public:
  static constexpr size_t kLargoTarjeta = 80;

  const std::vector<std::string>& Tarjetas() const { return tarjetas_; }
  bool Vacia() const { return tarjetas_.empty(); }
  void Limpia() { tarjetas_.clear(); }
  // Appends a card (padded or cut to 80 characters) unless it is structural (below) or holds
  // characters other than printable ASCII.
  void Anade(std::string_view tarjeta);
  // Appends HISTORY cards holding the text, split at blanks into pieces of up to 72 characters.
  void AnadeHistoria(std::string_view texto);

  // The keyword of a card: its first eight columns without trailing blanks.
  static std::string Clave(std::string_view tarjeta);
  // Keys that describe the data array itself and are written from the image (SIMPLE, BITPIX,
  // NAXIS, NAXISn, EXTEND, BZERO, BSCALE, BLANK, END, checksums, extension keys), and the
  // standard comment every FITS writer adds.
  static bool EsEstructural(std::string_view tarjeta);
  // Keys of the world coordinates (any alternate letter), distortions and IRAF's physical
  // coordinates (LTV, LTM) included.
  static bool EsClaveWcs(std::string_view clave);

  bool TieneWcs() const;
  // Updates the world coordinates for an exact pixel map (CRPIX; CD, PC or CDELT when the map
  // is not a pure translation; LTV and LTM). Coordinates that cannot be carried exactly (polynomial
  // distortions under a turn or scale, a singular map) are removed as by QuitaWcs.
  void MueveWcs(const MapaPixeles& m, std::string_view operacion);
  // Removes every WCS card and, when there were any, adds a HISTORY card saying why.
  void QuitaWcs(std::string_view operacion);

  // Numeric value of a key (false when absent or not a number).
  bool Numero(std::string_view clave, double& v) const;
  // Replaces the value of a key keeping its comment, or inserts a new card after 'despues' (at
  // the end when that index is past the list).
  void PonNumero(std::string_view clave, double v, size_t despues);
  void Quita(std::string_view clave);

 private:
  long Busca(std::string_view clave) const;
  std::vector<std::string> tarjetas_;
};

// A real in the shortest form that reads back as the same double.
std::string TextoExacto(double v);

}  // namespace orva
