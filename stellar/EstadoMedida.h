// What became of an aperture measurement: "ok" or the first failure, with the message that says
// why. The command line and the Python package report it beside every measurement.
#pragma once

#include <string>

namespace orva {

class ImagenPixeles;
struct ObjetoEstelar;
struct ParametrosFotometria;
struct ResultadoFotometria;

struct EstadoMedida {
  const char* palabra = "ok";  // for tables: ok, position, saturated, edge, nosky, noflux
  int id = 0;                  // the message id of a failure, 0 for ok
  std::string arg1, arg2;
  bool Bien() const { return id == 0; }
};

// The state of a measurement at (x, y) whose result reads saturada (the saturation stop) or
// sinFlujo (no clean sum): the first failure of position, saturation, an aperture that leaves
// the image (a partial sum), a sky ring with no pixel in the image, no flux.
EstadoMedida EstadoMedidaEn(const ImagenPixeles& im, double x, double y,
                            const ParametrosFotometria& p, bool saturada, bool sinFlujo);
// The state of the measurement r that MideEstrella made at (x, y).
EstadoMedida EstadoMedidaEn(const ImagenPixeles& im, double x, double y,
                            const ParametrosFotometria& p, const ResultadoFotometria& r);
// The state of a star of the list, from its stored measurement.
EstadoMedida EstadoMedidaEstrella(const ImagenPixeles& im, const ObjetoEstelar& e,
                                  const ParametrosFotometria& p);

}  // namespace orva
