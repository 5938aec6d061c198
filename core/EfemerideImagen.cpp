// The planetary ephemeris of an image from its observation data.
#include "core/EfemerideImagen.h"

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"

namespace orva {

std::optional<Planeta> PlanetaDeTipo(int tipo) {
  switch (tipo) {
    case kMarte:
      return Planeta::kMarte;
    case kJupiter:
      return Planeta::kJupiter;
    case kSaturno:
      return Planeta::kSaturno;
    case kUrano:
      return Planeta::kUrano;
    case kNeptuno:
      return Planeta::kNeptuno;
    default:
      return std::nullopt;
  }
}

Efemeride EfemerideImagen(const DatosImagen& d, Planeta planeta) {
  const bool fecha = TieneDatoImagen(d, "FECHAOBS");
  const bool hora = TieneDatoImagen(d, "HORAOBS");
  if (!fecha || !hora) {
    throw JError(12461,
                 !fecha && !hora ? "fecha y hora"
                 : !fecha        ? "fecha"
                                 : "hora",  // 12461
                 NombrePlaneta(planeta));
  }
  if (TieneDatoImagen(d, "LONOBS") && TieneDatoImagen(d, "LATOBS")) {
    const Sitio sitio{d.observatorio.longitud.Radianes(), d.observatorio.latitud.Radianes(),
                      static_cast<double>(d.observatorio.altitud)};
    return CalculaEfemeride(planeta, d.fechaHora, &sitio);
  }
  return CalculaEfemeride(planeta, d.fechaHora, nullptr);
}

std::vector<std::string> LineasEfemerideImagen(const DatosImagen& d) {
  const std::optional<Planeta> planeta = PlanetaDeTipo(d.tipoObjeto);
  if (!planeta) return {};
  try {
    return LineasEfemeride(EfemerideImagen(d, *planeta));
  } catch (const JError& e) {
    return {e.Mensaje()};
  }
}

}  // namespace orva
