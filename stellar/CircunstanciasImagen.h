// Time and air mass of an image from its observation data: the fields the astronomy functions
// need, checked for presence.
#pragma once

#include "astro/MasaAire.h"

namespace orva {

struct DatosImagen;

// The mid-exposure Julian day of FECHAOBS/HORAOBS plus half of TIEMPOEXP (an image without an
// exposure time counts as an instant). Raises 12387 when the date or the time is missing.
double DiaJulianoImagen(const DatosImagen& d);
// The mid-exposure heliocentric Julian day; raises 12387, or 12388 without AROBJ/DECOBJ.
double DiaJulianoHelioImagen(const DatosImagen& d);
// Julian days, the object's altitude at the site and its air mass (NaN below the horizon);
// raises 12387, 12388, or 12389 without LONOBS/LATOBS.
Circunstancias CircunstanciasImagen(const DatosImagen& d,
                                    FormulaMasaAire formula = FormulaMasaAire::kHardie);

}  // namespace orva
