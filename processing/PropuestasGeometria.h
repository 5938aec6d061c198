// The proposals of the geometry commands: what the crop, shift, resize and rotation dialogs
// offer from the image's reference points, and the lines of the operations by reference, which
// place an image against the reference points of another one.
#pragma once

#include <initializer_list>
#include <string>

#include "processing/Geometria.h"

namespace orva {

class Imagen;

// Whether every one of the reference points is fully set.
bool PuntosCompletos(const Imagen& im, std::initializer_list<int> puntos);

// The angle that turns the image's marked segment horizontal (or vertical for the vertical
// line points), in degrees within (-180, 180]; false when no full segment is marked.
bool AnguloDeSegmento(const Imagen& im, double& angulo);

// Rotation centre: the marked one (true), else the image's middle (false).
bool PropuestaCentroRotacion(const Imagen& im, int& cx, int& cy);

// Crop: from the minimum point (to the maximum point unless the size is fixed), else centred
// on the rotation centre, with the given size.
ParamsCorte PropuestaCorte(const Imagen& im, int ancho, int alto, bool tamanoFijo);
// Shift: from the minimum point to the maximum point; none when either is missing.
ParamsDesplaza PropuestaDesplaza(const Imagen& im);
// Resize by factors: the rectangle between the minimum and maximum points (the whole image
// when either is missing), each new size at least 1. Raises 12048 for a factor of zero or less.
ParamsRedim PropuestaRedim(const Imagen& im, double factorX, double factorY);

// Crop by reference: the active image cut to the reference image's size, placed so that both
// reference points fall on the same pixel. Raises 12043 (no point in the image), 12044 (no
// reference image) and the crop checks.
std::string LineaCortePorReferencia(const Imagen& im, const Imagen* referencia);
// Shift by reference: moves the image's reference point onto the reference image's one.
std::string LineaDesplazaPorReferencia(const Imagen& im, const Imagen* referencia);
// Resize by reference: both axes by the ratio of the distances between the two resize points.
std::string LineaRedimPorReferencia(const Imagen& im, const Imagen* referencia);

}  // namespace orva
