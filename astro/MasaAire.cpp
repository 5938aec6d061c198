// Mid-exposure time, precession, altitude and air mass of an exposure.
#include "astro/MasaAire.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <string>

#include "astro/Astronomia.h"
#include "base/JError.h"

namespace orva {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kSegundoArco = kPi / (180.0 * 3600.0);
constexpr double kSegundosDia = 86400.0;
constexpr double kJ2000 = 2451545.0;
constexpr double kDiasSiglo = 36525.0;
constexpr double kDiasAnioJuliano = 365.25;
constexpr double kB1900 = 2415020.31352;
constexpr double kDiasAnioTropico = 365.242198781;
// The first Julian equinox year; earlier years are Besselian.
constexpr int32_t kPrimerAnioJuliano = 1984;

// Hardie's coefficients of sec z - 1 (Astronomical Techniques, 1962).
constexpr double kHardie1 = 0.0018167;
constexpr double kHardie2 = 0.002875;
constexpr double kHardie3 = 0.0008083;
// Pickering (2002): X = 1 / sin(h + 244 / (165 + 47 h^1.1)), h in degrees.
constexpr double kPickeringA = 244.0;
constexpr double kPickeringB = 165.0;
constexpr double kPickeringC = 47.0;
constexpr double kPickeringExp = 1.1;

}  // namespace

double DiaJulianoEquinoccio(int32_t anio) {
  if (anio < kPrimerAnioJuliano) {
    return kB1900 + (static_cast<double>(anio) - 1900.0) * kDiasAnioTropico;
  }
  return kJ2000 + (static_cast<double>(anio) - 2000.0) * kDiasAnioJuliano;
}

Ecuatoriales Precesa(const Ecuatoriales& c, double djDesde, double djHasta) {
  const double T = (djDesde - kJ2000) / kDiasSiglo;
  const double t = (djHasta - djDesde) / kDiasSiglo;
  const double base = 2306.2181 + 1.39656 * T - 0.000139 * T * T;
  const double zeta =
      (base * t + (0.30188 - 0.000344 * T) * t * t + 0.017998 * t * t * t) * kSegundoArco;
  const double z =
      (base * t + (1.09468 + 0.000066 * T) * t * t + 0.018203 * t * t * t) * kSegundoArco;
  const double theta = ((2004.3109 - 0.85330 * T - 0.000217 * T * T) * t -
                        (0.42665 + 0.000217 * T) * t * t - 0.041833 * t * t * t) *
                       kSegundoArco;
  const double a = std::cos(c.dec) * std::sin(c.ar + zeta);
  const double b =
      std::cos(theta) * std::cos(c.dec) * std::cos(c.ar + zeta) - std::sin(theta) * std::sin(c.dec);
  const double s =
      std::sin(theta) * std::cos(c.dec) * std::cos(c.ar + zeta) + std::cos(theta) * std::sin(c.dec);
  Ecuatoriales r;
  r.ar = std::atan2(a, b) + z;
  r.ar -= 2.0 * kPi * std::floor(r.ar / (2.0 * kPi));
  r.dec = std::asin(std::fmax(-1.0, std::fmin(1.0, s)));
  return r;
}

double DiaJulianoMedio(const FechaHora& inicio, double tiempoExp) {
  if (!std::isfinite(tiempoExp) || tiempoExp < 0.0) {
    throw JError(12391, std::to_string(tiempoExp));  // 12391
  }
  return inicio.DiaJuliano() + tiempoExp / (2.0 * kSegundosDia);
}

double MasaAire(double altura, FormulaMasaAire formula) {
  if (!std::isfinite(altura) || altura <= 0.0) {
    char b[32];
    std::snprintf(b, sizeof b, "%.2f", altura * 180.0 / kPi);
    throw JError(12390, b);  // 12390
  }
  if (formula == FormulaMasaAire::kPickering) {
    const double h = altura * 180.0 / kPi;
    const double aparente =
        h + kPickeringA / (kPickeringB + kPickeringC * std::pow(h, kPickeringExp));
    return 1.0 / std::sin(aparente * kPi / 180.0);
  }
  const double s = 1.0 / std::sin(altura) - 1.0;  // sec z - 1
  return 1.0 + s - kHardie1 * s - kHardie2 * s * s - kHardie3 * s * s * s;
}

double DiaJulianoHelioEpoca(double dj, const AscensionRecta& ar, const Declinacion& dec,
                            int32_t epoca) {
  // The solar series refers the Sun to the equinox of 1950.0: the object goes there too.
  const Ecuatoriales c = Precesa({ar.Radianes(), dec.Radianes()}, DiaJulianoEquinoccio(epoca),
                                 DiaJulianoEquinoccio(1950));
  return DiaJulianoHeliocentrico(dj, c.ar, c.dec);
}

Circunstancias CalculaCircunstancias(const FechaHora& inicio, double tiempoExp,
                                     const AscensionRecta& ar, const Declinacion& dec,
                                     int32_t epoca, const Longitud& lon, const Latitud& lat,
                                     FormulaMasaAire formula) {
  Circunstancias r;
  r.diaJuliano = DiaJulianoMedio(inicio, tiempoExp);
  r.diaJulianoHelio = DiaJulianoHelioEpoca(r.diaJuliano, ar, dec, epoca);
  const Ecuatoriales fecha =
      Precesa({ar.Radianes(), dec.Radianes()}, DiaJulianoEquinoccio(epoca), r.diaJuliano);
  FechaHora medio;
  medio.AsignaDiaJuliano(r.diaJuliano);
  const double h = medio.TiempoSidereo() - lon.Radianes() - fecha.ar;
  r.altura = CoordenadasHorizontales(h, lat.Radianes(), fecha.dec).altura;
  r.masaAire =
      r.altura > 0.0 ? MasaAire(r.altura, formula) : std::numeric_limits<double>::quiet_NaN();
  return r;
}

}  // namespace orva
