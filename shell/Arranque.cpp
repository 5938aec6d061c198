// Start-up: everything the library needs installed before it runs a line or reads a file.
#include "shell/Arranque.h"

#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "formats/TiposArchivo.h"
#include "macro/Macro.h"
#include "planetary/MacroDisco.h"
#include "processing/Procesamiento.h"
#include "shell/Modulos.h"
#include "spacecraft/MacroReseau.h"
#include "spectra/Espectro.h"
#include "stacking/Transformacion.h"
#include "stacking/Pretratamiento.h"

namespace orva {

void InstalaSistema() {
  // Each step is idempotent: the registry is built once, the commands are bound again to the
  // same handlers, the modules are made only when there are none.
  ListaTiposArchivo();
  EnlazaFormatosMacro();
  EnlazaProcesamientoMacro();
  EnlazaTransformacionMacro();
  EnlazaApiladoMacro();
  EnlazaDiscoMacro();
  EnlazaEspectroMacro();
  EnlazaReseauMacro();
  CreaModulos();
}

}  // namespace orva
