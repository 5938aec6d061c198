// Macro files and the interpreter of macro lines over eight image slots.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/JError.h"

namespace orva {

class Imagen;

// The first line of every macro file.
inline constexpr const char* kCabeceraMacro = "ORVA V2.0 MACRO";

// The eight image slots: slot 1 is the image the macro runs on (not owned); slots 2 to 8 hold
// copies made by COPIAR and are destroyed with the slots.
class Ranuras {
 public:
  explicit Ranuras(Imagen& principal) : principal_(&principal) {}
  // The image in slot n (1..8), or nullptr when empty or n is out of range.
  Imagen* En(int n) const;
  // Replaces slot b (2..8) with a full copy of the image in slot a; 10100 when the copy would
  // not fit in memory.
  void Copia(int a, int b);

 private:
  Imagen* principal_;
  std::array<std::unique_ptr<Imagen>, 8> propias_;  // index 0 unused: slot 1 is principal_
};

// One parsed line: the command word and its arguments (at most ten are held; an empty field
// ends the list).
struct LineaMacro {
  std::string comando;
  std::vector<std::string> args;
  bool demasiados = false;  // more than ten arguments
};
LineaMacro DivideLinea(std::string_view linea);

// The word of a list that a command word selects: the first one of which it is a non-empty
// leading part, case-sensitive; -1 when none.
int BuscaPalabra(std::string_view palabra, const std::vector<std::string_view>& lista);

// Why a line is refused (message ids): the interpreter and the argument checks of the
// operations raise them as JError; EjecutaMacro names them with the line in 12052.
enum MotivoLinea : int {
  kOrdenDesconocida = 12054,   // %1 the command word
  kNumeroArgumentos = 12055,   // %1 given, %2 expected
  kFueraDeRango = 12056,       // %1 argument number, %2 its text, %3 the range
  kSinNumero = 12057,          // %1 argument number, %2 its text
  kRanuraVacia = 12058,        // %1 slot
  kOrdenNoDisponible = 12059,  // %1 the command word
  kPalabraNoAdmitida = 12060,  // %1 argument number, %2 its text
  kArgumentosNoAdmitidos = 12061,
};
// Fragments the reasons carry in their arguments, from the string table so that they follow the
// language: "%1 a %2" (a range), "al menos %1", "distinto de %1", "distinto del origen".
enum FragmentoMotivo : int {
  kTextoRango = 12062,
  kAlMenos = 12063,
  kDistintoDe = 12064,
  kDistintoDelOrigen = 12065,
};
// Whether a message id is one of the reasons above.
bool EsMotivoLinea(int id);
// Runs f: false when it raises a reason, true when it returns; other errors propagate.
template <class F>
bool SinMotivo(F&& f) {
  try {
    f();
    return true;
  } catch (const JError& e) {
    if (EsMotivoLinea(e.Id())) return false;
    throw;
  }
}

// Argument readers of the operations (k counts from 0, messages count from 1). The number in
// argument k: kSinNumero when the field has no digits, kFueraDeRango outside [minimo, maximo]
// (NaN and infinities are outside every range). Nothing is computed from a value before it
// has passed.
int ArgumentoEntero(const std::vector<std::string>& args, size_t k, int minimo, int maximo);
double ArgumentoReal(const std::vector<std::string>& args, size_t k, double minimo, double maximo);
// A value given to pixels: it must fit the 16-bit pixel type.
int16_t ArgumentoPixel(const std::vector<std::string>& args, size_t k);
// The refusals themselves, for checks the readers do not cover.
[[noreturn]] void FueraDeRango(const std::vector<std::string>& args, size_t k,
                               const std::string& rango);
[[noreturn]] void PalabraNoAdmitida(const std::vector<std::string>& args, size_t k);
[[noreturn]] void NumeroArgumentos(size_t dados, const std::string& esperados);

// A command of the language, given the slots, the current slot and its arguments. Returns the
// current slot after the line (1..8), or 0 when the line fails; it may instead raise one of
// the reasons above.
using ManejadorMacro = int (*)(Ranuras& ranuras, int actual, const std::vector<std::string>& args);
// Installs the operation run by a command word of the table (LEER, ROTAR, FILTRO...); a command
// with no operation installed fails like any failing line.
void EnlazaComandoMacro(std::string_view palabra, ManejadorMacro manejador);

// Installs the macro command "LEER file n" (read a file into the image of slot n with the type
// of TIPARCHLEER, detected when TIPOAUTO is on). Called by start-up code and tests.
void EnlazaFormatosMacro();

// Reads a macro file: the lines after the header, or nothing when the header differs or the
// file does not exist; other file errors raise 10125-10133.
std::vector<std::string> CargaMacro(const std::string& archivo);
// Writes a macro file (CR LF line ends) through a temporary file: every line except MOSTRAR
// lines, then one MOSTRAR line with the last display mode when there was any.
void GuardaMacro(const std::vector<std::string>& lineas, const std::string& archivo);

// Runs one line; 0 when it is refused, else the current slot after it. Errors of the
// operations themselves propagate as JError.
int EjecutaLinea(Ranuras& ranuras, std::string_view linea, int actual);
// The same, raising the reason (a MotivoLinea JError) instead of returning 0.
int EjecutaLineaConMotivo(Ranuras& ranuras, std::string_view linea, int actual);
// Runs the lines on the image. Returns 1 when all ran and 0 when the user cancelled. A refused
// line raises 12052 with its number (from 1), the line and the reason; an operation's own
// JError propagates unchanged. Lines before the failing one stay applied and are logged on
// the image.
int EjecutaMacro(Imagen& imagen, const std::vector<std::string>& lineas);

}  // namespace orva
