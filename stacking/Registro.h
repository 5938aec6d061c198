// Registration of a frame on a reference from their star lists: triangles of the brightest stars
// matched by shape, every match tried as a similarity and scored by the stars it brings onto
// each other, then a least-squares fit on all matched stars with outliers rejected.
#pragma once

#include <string>
#include <vector>

#include "stacking/Transformacion.h"

namespace orva {

// A star of a registration list: its sub-pixel position, a flux that orders the list and the
// variance of each coordinate of the position (px^2; 0 when unknown).
struct EstrellaRegistro {
  double x = 0.0, y = 0.0;
  double flujo = 0.0;
  double varianza = 0.0;
};

// Settings of section "Registro".
struct ParametrosRegistro {
  int estrellasTriangulos = 30;  // REGTRIANGULOS: brightest stars whose triangles are compared
  int estrellasAjuste = 200;     // REGESTRELLAS: brightest stars matched and fitted
  double tolerancia = 0.01;      // REGTOLERANCIA: largest difference of the side ratios
  double radio = 3.0;            // REGRADIO: distance in pixels within which two stars match
  double escalaMinima = 0.8;     // REGESCALAMIN: scale changes outside are not considered
  double escalaMaxima = 1.25;    // REGESCALAMAX
  double kSigma = 3.0;           // REGKSIGMA: residuals beyond k times the rms are outliers
  int minEmparejadas = 6;        // REGMINEMPAREJADAS: fewer matched stars is no registration
  bool afin = false;             // REGAFIN: the final fit is affine instead of a similarity
};
// Adds the "Registro" keys to the settings (repeating is harmless).
void RegistraConfigRegistro();
ParametrosRegistro LeeParametrosRegistro();

struct ResultadoRegistro {
  bool exito = false;
  // The failure: a message id of 12242-12259 and its arguments.
  int idError = 0;
  std::string arg1, arg2;
  std::string texto;  // a failure that came with its text (a file that could not be read)
  // Maps the reference's pixel positions to the frame's (resampling the frame through it lays
  // it on the reference's grid).
  Transformacion2D transformacion;
  int emparejadas = 0;  // stars of the final fit
  double rms = 0.0;     // of their residuals, in pixels
  // The failure's text in the current language; empty on success.
  std::string Mensaje() const;
};

// Registers the frame's stars on the reference's. Each list is taken brightest first (a stable
// sort by flux). The final fit weighs each pair by 1 / (var_ref + var_frame) and rejects on the
// residuals so normalised, when every star of the fit has a positive variance; otherwise all
// pairs weigh the same. Fails with 12242/12243 when a list has fewer than three stars, 12244 when
// no triangle matches, 12245 when fewer than minEmparejadas stars agree with the best match.
// Free of random sampling: the same lists give the same bits for any thread count.
ResultadoRegistro RegistraEstrellas(const std::vector<EstrellaRegistro>& referencia,
                                    const std::vector<EstrellaRegistro>& imagen,
                                    const ParametrosRegistro& p);

// The transform read as a similarity: where it takes the origin (dx, dy), the angle in degrees
// by which it turns the x axis toward the y axis (clockwise on a display whose rows go down),
// and its scale.
struct ComponentesSimilitud {
  double dx = 0.0, dy = 0.0;
  double rotacion = 0.0;
  double escala = 1.0;
};
ComponentesSimilitud DescomponeSimilitud(const Transformacion2D& t);

}  // namespace orva
