// The text labels of planetary archive images: ODL ("KEY = VALUE" items, OBJECT and GROUP
// blocks, END), which PDS3 labels and ISIS3 cube labels are written in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

struct ElementoOdl {
  std::string clave;   // as written
  std::string valor;   // quotes removed from a plain string; a list keeps its brackets
  std::string unidad;  // "S" for "12.5 <S>"; empty when none
  std::string objeto;  // the innermost OBJECT holding the item, upper case; empty at the top
  int nivel = 0;       // OBJECT and GROUP nesting depth
};

struct EtiquetaOdl {
  std::vector<ElementoOdl> elementos;  // in label order, OBJECT and END_OBJECT lines included
  bool conFin = false;                 // an END line was found
  size_t fin = 0;                      // offset just past the END line (or of the text's end)

  // The first item with this key (any case) in the given object (any object when null).
  const ElementoOdl* Busca(std::string_view clave, const char* objeto = nullptr) const;
  // One text line per item, indented by nesting: the label as the header pane shows it.
  std::vector<std::string> Lineas() const;
};

// One text line per item ("KEY = VALUE <UNIT>"), indented by nesting level.
std::vector<std::string> LineasEtiqueta(const std::vector<ElementoOdl>& elementos);

// Parses a label from its text; reading stops at the END line or at the first zero byte. The
// parser accepts any bytes: what it cannot read as an item is skipped to the end of its line.
EtiquetaOdl AnalizaEtiquetaOdl(std::string_view texto);

// Case-insensitive comparison of ASCII words.
bool IgualSinCaso(std::string_view a, std::string_view b);

// The parts of a list value "(a, "b", c)" with quotes removed; a value that is not a list
// gives itself as the only part.
std::vector<std::string> PartesValorOdl(std::string_view valor);

}  // namespace orva
