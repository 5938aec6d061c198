// Macro files and the interpreter of macro lines over eight image slots.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
  // Replaces slot b (2..8) with a full copy of the image in slot a.
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

// A command of the language, given the slots, the current slot and its arguments. Returns the
// current slot after the line (1..8), or 0 when the line fails.
using ManejadorMacro = int (*)(Ranuras& ranuras, int actual, const std::vector<std::string>& args);
// Installs the operation run by a command word of the table (LEER, ROTAR, FILTRO...); a command
// with no operation installed fails like any failing line.
void EnlazaComandoMacro(std::string_view palabra, ManejadorMacro manejador);

// Reads a macro file: the lines after the header, or nothing when the header differs or the
// file does not exist; other file errors raise 10125-10133.
std::vector<std::string> CargaMacro(const std::string& archivo);
// Writes a macro file (CR LF line ends) through a temporary file: every line except MOSTRAR
// lines, then one MOSTRAR line with the last display mode when there was any.
void GuardaMacro(const std::vector<std::string>& lineas, const std::string& archivo);

// Runs one line; 0 when it fails, else the current slot after it. Errors of the operations
// themselves propagate as JError.
int EjecutaLinea(Ranuras& ranuras, std::string_view linea, int actual);
// Runs the lines on the image. Returns 1 when all ran and 0 when the user cancelled; a failing
// line raises JError 12051 naming it (or the operation's own JError). Lines before the failing
// one stay applied and are logged on the image.
int EjecutaMacro(Imagen& imagen, const std::vector<std::string>& lineas);

}  // namespace orva
