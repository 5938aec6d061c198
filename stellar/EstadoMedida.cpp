#include "stellar/EstadoMedida.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/Imagen.h"
#include "stellar/DatosVariables.h"
#include "stellar/Fotometria.h"

namespace orva {

EstadoMedida EstadoMedidaEn(const ImagenPixeles& im, double x, double y,
                            const ParametrosFotometria& p, bool saturada, bool sinFlujo) {
  EstadoMedida e;
  char bx[32], by[32];
  std::snprintf(bx, sizeof bx, "%.3f", x);
  std::snprintf(by, sizeof by, "%.3f", y);
  if (!std::isfinite(x) || !std::isfinite(y) || x < 0 || y < 0 || x >= im.Ancho() ||
      y >= im.Alto()) {
    return {"position", 12229, bx, by};  // 12229
  }
  if (saturada) return {"saturated", 12077, {}, {}};  // 12077
  const long xi = static_cast<long>(x), yi = static_cast<long>(y), r = std::max(p.radioEstrella, 0);
  if (xi - r < 0 || yi - r < 0 || xi + r >= static_cast<long>(im.Ancho()) ||
      yi + r >= static_cast<long>(im.Alto())) {
    return {"edge", 12226, {}, {}};  // 12226
  }
  const Cielo cielo =
      EstimaCielo(im, xi, yi, p.radioCieloInt, p.radioCieloExt, p.maxIteraciones, p.usarMediaCielo);
  if (cielo.numPixeles == 0) return {"nosky", 12227, {}, {}};  // 12227
  if (sinFlujo) return {"noflux", 12228, {}, {}};              // 12228
  return e;
}

EstadoMedida EstadoMedidaEn(const ImagenPixeles& im, double x, double y,
                            const ParametrosFotometria& p, const ResultadoFotometria& r) {
  const bool saturada = r.estado == 0 && r.magnitud == kMagSaturada;
  const bool sinFlujo = r.estado == 0 && !saturada;
  return EstadoMedidaEn(im, x, y, p, saturada, sinFlujo);
}

EstadoMedida EstadoMedidaEstrella(const ImagenPixeles& im, const ObjetoEstelar& e,
                                  const ParametrosFotometria& p) {
  const bool saturada = e.magnitud == kMagSaturada && e.numPixeles == 0;
  const bool sinFlujo = e.magnitud == kMagSinFlujo;
  return EstadoMedidaEn(im, e.x, e.y, p, saturada, sinFlujo);
}

}  // namespace orva
