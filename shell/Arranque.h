// The one start-up function of the programs, the tests and the fuzz targets.
#pragma once

namespace orva {

// Installs the file types, the macro commands of the formats and of the image operations, and
// the analysis modules. Calling it again changes nothing. The file types register their
// settings, so programs that read a settings file call it (or ListaTiposArchivo) first.
void InstalaSistema();

}  // namespace orva
