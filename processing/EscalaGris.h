// Gray-scale transforms: the thirteen curves, the transfer table, its application to an image,
// the dialog's field check and preview data, and the recorded line.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

class Imagen;
class Progreso;

// One curve of the dialog's list. The current values change with every accepted dialog entry
// and every executed line, for the life of the process.
struct CurvaGris {
  int id;             // 1..13, selects the formula
  int numParametros;  // 1..4
  std::string nombre;
  std::string clave;  // macro keyword
  std::array<std::string, 4> etiquetas;
  std::array<std::string, 4> valores;  // current values, as text
  std::array<std::string, 4> minimos;
  std::array<std::string, 4> maximos;
};

// The thirteen curves in the dialog's order (process-wide, current values included).
std::array<CurvaGris, 13>& CurvasGris();
// Index (0..12) of the curve chosen last; the dialog opens on it.
int& CurvaGrisElegida();
// Index of the curve with exactly this keyword (case-sensitive), -1 when none.
int BuscaCurvaGris(std::string_view clave);
// Puts every curve back to its default values and the choice back to the first (tests).
void RestableceCurvasGris();

// A transform: the curve (index 0..12) and one text per parameter ("%" keywords allowed).
struct ParamsEscalaGris {
  int curva = 0;
  std::array<std::string, 4> valores;
};

// The parameters with the curve's current values.
ParamsEscalaGris ParamsActuales(int curva);

// Linear stretch of the input interval [a, b] onto [c, d], written into the table entries of
// the values lo..hi (entry v - lo).
void EstiramientoLineal(std::vector<int16_t>& tabla, int lo, int hi, int a, int b, int c, int d);

// Builds the transfer table of the current gray range for the image: n = hi - lo + 1 entries,
// entry i the output of input value lo + i. Polls the cancel (the given progress object, or the
// process-wide one) every 10 values and between bands of the equalisation's count (11011).
void ConstruyeTablaGris(Imagen& imagen, const ParamsEscalaGris& p, std::vector<int16_t>& tabla);
void ConstruyeTablaGris(Imagen& imagen, const ParamsEscalaGris& p, std::vector<int16_t>& tabla,
                        Progreso& progreso);

// Builds the table and applies it to every pixel (clamped to the gray range first), in place, in
// bands of rows on the operations' threads (the same result for any thread count). The cancel
// is asked before each row, in row order; it raises 11011 and leaves the rows before it
// replaced. After NIVELES, DENTADO and CONTORNO the display window becomes the whole gray range.
void AplicaEscalaGris(Imagen& imagen, const ParamsEscalaGris& p);
void AplicaEscalaGris(Imagen& imagen, const ParamsEscalaGris& p, Progreso& progreso);

// The recorded line: "ESCALGRIS <keyword> " then "<value> " per parameter.
std::string LineaEscalaGris(const ParamsEscalaGris& p);

// The dialog's check of one curve's fields: every text not starting with "%" must lie within
// the parameter's minimum and maximum; the first failing one raises 12070 (label, min, max).
void CompruebaCamposGris(int curva, const std::array<std::string, 4>& valores);
// Whether the texts pass that check (the macro path fails silently).
bool CamposGrisValidos(int curva, const std::array<std::string, 4>& valores);

// The dialog opening on a curve: for "Expandir" the current values become "%NEGRO" and
// "%BLANCO", so the dialog starts from the image's display window.
void PreparaDialogoGris(int curva);

// The macro operation: keyword, then one token per parameter. Returns false for an unknown
// keyword, a wrong token count or a value out of range; a cancel raises 11011.
bool EjecutaEscalaGris(Imagen& imagen, const std::vector<std::string>& args);
// The same, raising the reason (a MotivoLinea JError, macro/Macro.h) instead of returning false.
void EjecutaEscalaGrisMacro(Imagen& imagen, const std::vector<std::string>& args);

// Preview data, as the desktop draws it in a box of the given size (pixels):
// the histogram columns, one height per screen column (ln(count + 1) * alto / ln(8001), the
// largest count among the input values falling into the column) ...
std::vector<int> ColumnasHistogramaGris(const Imagen& imagen, int ancho, int alto);
// ... and the table polyline, the height above the bottom of each screen column:
// (entry[x * n / ancho] - lo) * alto / n.
std::vector<int> CurvaTablaGris(const std::vector<int16_t>& tabla, int ancho, int alto);

}  // namespace orva
