// Whole-file writes that never leave a half-written file: the text goes to a temporary file in
// the same folder, which is renamed over the target only when complete.
#pragma once

#include <string>
#include <string_view>

namespace orva {

// Raises 12091 when the temporary file cannot be created and 10127 when writing or renaming
// fails; the old file is then untouched.
void EscribeArchivoSeguro(const std::string& archivo, std::string_view contenido);

}  // namespace orva
