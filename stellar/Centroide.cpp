// The iterated, sky-corrected moment centroid of the interactive analyses.
#include "stellar/Centroide.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "stellar/BuscaEstrellas.h"
#include "stellar/Fotometria.h"

namespace orva {

ParametrosCentroide LeeParametrosCentroide() {
  const Ajustes& c = AjustesActuales();
  auto entero = [&c](const char* k) { return LeeEntero(c.Valor("AnaEstelar", k)); };
  auto real = [&c](const char* k) { return LeeReal(c.Valor("AnaEstelar", k)); };
  ParametrosCentroide p;
  p.metodo = entero("CENTMETODO");
  p.radio = entero("CENTRADIO");
  p.radioSky = entero("CENTRADIOSKY");
  p.info = entero("CENTINFO");
  p.minFWHM = real("CENTMINFWHM");
  p.maxFWHM = real("CENTMAXFWHM");
  p.skyRadInt = entero("CENTSKYRADINT");
  p.skyRadExt = entero("CENTSKYRADEXT");
  p.skyStar = entero("CENTSKYSTAR");
  p.numItera = entero("CENTNUMITERA");
  return p;
}

ResultadoCentroide CentroideEstrella(const ImagenPixeles& im, double x, double y) {
  return CentroideEstrella(im, x, y, LeeParametrosCentroide());
}

ResultadoCentroide CentroideEstrella(const ImagenPixeles& im, double x, double y,
                                     const ParametrosCentroide& p) {
  if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e9 || std::fabs(y) > 1e9) {
    throw JError(12134);
  }
  const long r = std::max(p.radio, 1);
  const long w = im.Ancho(), h = im.Alto();
  long xi = static_cast<long>(x + 0.5), yi = static_cast<long>(y + 0.5);
  const int pasos = std::max(p.numItera, 1);
  for (int paso = 1; paso <= pasos; ++paso) {
    if (xi - r < 0 || yi - r < 0 || xi + r >= w || yi + r >= h) throw JError(12134);  // 12134
    const Cielo cielo = p.skyStar == 1
                            ? EstimaCielo(im, xi, yi, p.skyRadInt, p.skyRadExt, 1, 0)
                            : EstimaCielo(im, xi, yi, static_cast<int>(r) + 1,
                                          static_cast<int>(r) + std::max(p.radioSky, 1), 1, 0);
    const double base = cielo.nivel + (p.metodo == 2 ? 3.0 * cielo.desviacion : 0.0);
    double sw = 0, sx = 0, sy = 0;
    for (long f = yi - r; f <= yi + r; ++f) {
      for (long c = xi - r; c <= xi + r; ++c) {
        const double v = im.Pixel(c, f) - base;
        if (v <= 0) continue;
        sw += v;
        sx += v * static_cast<double>(c);
        sy += v * static_cast<double>(f);
      }
    }
    if (sw <= 0) throw JError(12137);  // 12137
    const double cx = sx / sw, cy = sy / sw;
    const long nx = static_cast<long>(cx + 0.5), ny = static_cast<long>(cy + 0.5);
    if (nx == xi && ny == yi) {
      ResultadoCentroide res;
      res.x = cx;
      res.y = cy;
      res.cielo = cielo.nivel;
      res.iteraciones = paso;
      res.fwhm = CalculaFWHM(im, cx, cy, cielo.nivel);
      char b[160];
      if (!(res.fwhm >= p.minFWHM && res.fwhm <= p.maxFWHM)) {
        std::snprintf(b, sizeof b, "%.2f", res.fwhm);
        throw JError(12136, b);  // 12136
      }
      if (p.info == 1) {
        std::snprintf(b, sizeof b, "Centroide=(%.2f,%.2f), fwhm = %.3f, cielo = %.2f, iter = %d\n",
                      res.x, res.y, res.fwhm, res.cielo, res.iteraciones);
        ProgresoActual().AnadirLinea(b);
      }
      return res;
    }
    xi = nx;
    yi = ny;
  }
  throw JError(12135, std::to_string(pasos));  // 12135
}

}  // namespace orva
