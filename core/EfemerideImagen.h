// The planetary ephemeris of an image: its planet, date, time and observatory taken from its
// observation data.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "astro/Planetas.h"

namespace orva {

struct DatosImagen;

// The planet of a planet-disc object type (MARTE ... NEPTUNO), nothing for any other type.
std::optional<Planeta> PlanetaDeTipo(int tipo);

// The ephemeris of planeta at the image's date and time (taken as UT), for its observatory
// when the image gives its longitude and latitude (height when given), geocentric otherwise.
// Raises JError 12461 when the date or the time of observation is missing.
Efemeride EfemerideImagen(const DatosImagen& d, Planeta planeta);

// The data-pane lines of a planet-disc image: its ephemeris lines, or the one line saying why
// there is none. Nothing for an image of another type.
std::vector<std::string> LineasEfemerideImagen(const DatosImagen& d);

}  // namespace orva
