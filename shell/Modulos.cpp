// The six analysis modules of the system, created once at start-up in their fixed order.
#include "shell/Modulos.h"

#include "analyses/ModuloDobles.h"
#include "base/Cadenas.h"
#include "core/ModuloBasico.h"
#include "core/TiposObjeto.h"
#include "planetary/ModuloPlanetas.h"
#include "shell/Configuracion.h"
#include "solar/ModuloSol.h"
#include "spacecraft/ModuloVoyager.h"
#include "spectra/ModuloEspectros.h"
#include "stellar/ModuloVariables.h"

namespace orva {

void CreaModulos() {
  if (!Modulos().empty()) return;
  Configuracion& cfg = Configuracion::Global();

  // 1. Planetary: disks, planispheres and polar projections; no application-level items.
  RegistraModulo(std::make_unique<ModuloPlanetas>());
  // 2. Variable stars.
  RegistraModulo(std::make_unique<ModuloVariables>());
  // 3. Double stars.
  RegistraModulo(std::make_unique<ModuloDobles>());
  // 4. Spacecraft frames.
  RegistraModulo(std::make_unique<ModuloVoyager>());
  // 5. Sun, with its settings.
  for (const char* clave :
       {"RadioBusCentro", "RadioFotom", "RadioFotomIntVen", "BusquedaAutom", "TamVenusFijo",
        "TamVenus", "NumZonasSol", "NumZonasCorona", "SolVenResolu", "SolVenExtra"}) {
    cfg.Registra("PREFANASOL", clave, "");
  }
  RegistraModulo(std::make_unique<ModuloSol>());
  // 6. Spectra (binds its PREFANAESPEC settings itself).
  RegistraModulo(std::make_unique<ModuloEspectros>());
}

}  // namespace orva
