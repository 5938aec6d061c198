// Start-up of the analysis modules.
#pragma once

namespace orva {

// Makes the six modules of the system once (planetary, variable stars, double stars, spacecraft
// frames, Sun, spectra), each registering its object types and binding its settings; later calls
// do nothing.
void CreaModulos();

}  // namespace orva
