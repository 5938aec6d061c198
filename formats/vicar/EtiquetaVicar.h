// VICAR labels: "KEY=VALUE" items separated by blanks, LBLSIZE first; values are numbers,
// 'quoted strings' ('' for a quote) or lists in brackets. Items after a TASK or PROPERTY item
// belong to it.
#pragma once

#include <cstdint>
#include <string_view>

#include "formats/pds/EtiquetaOdl.h"

namespace orva {

// Parses a label's text (reading stops at the first zero byte). Items of the system part
// (before any TASK or PROPERTY) have an empty object; later ones carry the task's or the
// property's name as their object, at level 1. Unreadable text is skipped.
EtiquetaOdl AnalizaEtiquetaVicar(std::string_view texto);

// The LBLSIZE value at the start of a label text ("LBLSIZE=2048 ..."); 0 when the text does not
// start so or the number is not a positive whole number below 2^31.
uint64_t TamanoEtiquetaVicar(std::string_view texto);

}  // namespace orva
