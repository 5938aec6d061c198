// Hour angle, azimuth, altitude, zenith distance, heliocentric Julian day and the
// observing-circumstance lines.
#include "astro/Astronomia.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "base/Cadenas.h"

namespace orva {
namespace {

constexpr double kPi = std::numbers::pi;

Angulo AnguloDeRadianes(double r) {
  Angulo a;
  a.AsignaRadianes(r);
  return a;
}

std::string Linea(const std::string& etiqueta, const std::string& valor) {
  return etiqueta + "\t " + valor;
}

std::string LineaDia(int idEtiqueta, double dia) {
  char b[64];
  std::snprintf(b, sizeof b, "%7.5f", dia);
  return Linea(Cadena(idEtiqueta), b);
}

}  // namespace

double AnguloHorario(const FechaHora& fh, const AscensionRecta& ar, const Longitud& lon) {
  return fh.TiempoSidereo() - lon.Radianes() - ar.Radianes();
}

Horizontales CoordenadasHorizontales(double h, double phi, double delta) {
  Horizontales r{};
  r.azimut = std::atan2(std::sin(h), std::sin(phi) * std::cos(h) - std::cos(phi) * std::tan(delta));
  // Rounding may push the cosine of the zenith distance a hair past +-1, where asin and acos
  // have no value.
  const double c = std::clamp(
      std::sin(phi) * std::sin(delta) + std::cos(phi) * std::cos(delta) * std::cos(h), -1.0, 1.0);
  r.altura = std::asin(c);
  r.distanciaCenital = std::acos(c);
  return r;
}

AzimutAltura CalculaAzimutAltura(const AscensionRecta& ar, const Declinacion& dec,
                                 const Longitud& lon, const Latitud& lat, const FechaHora& fh) {
  Horizontales h =
      CoordenadasHorizontales(AnguloHorario(fh, ar, lon), lat.Radianes(), dec.Radianes());
  return {AnguloDeRadianes(h.azimut), AnguloDeRadianes(h.altura)};
}

AzimutDistanciaCenital CalculaAzimutDistanciaCenital(const AscensionRecta& ar,
                                                     const Declinacion& dec, const Longitud& lon,
                                                     const Latitud& lat, const FechaHora& fh) {
  Horizontales h =
      CoordenadasHorizontales(AnguloHorario(fh, ar, lon), lat.Radianes(), dec.Radianes());
  return {AnguloDeRadianes(h.azimut), AnguloDeRadianes(h.distanciaCenital)};
}

double DiaJulianoHeliocentrico(double dj, double ar, double dec) {
  constexpr double kGrado = kPi / 180.0;
  const double t = (dj - 2400000.0 - 15020.0) / 36525.0;  // Julian centuries from 1900 Jan 0.5
  // Mean longitude of the Sun, brought back from the equinox of date to that of 1950.0.
  const double l = ((279.696678 + 36000.76892 * t + 0.000303 * t * t) -
                    (1.396941 + 0.000308 * (t + 0.5)) * (t - 0.499998)) *
                   kGrado;
  const double m = (358.475833 + 35999.04975 * t - 0.00015 * t * t) * kGrado;  // mean anomaly
  // Geocentric equatorial coordinates of the Sun in AU (Z is Y * tan(obliquity)).
  const double x = 0.99986 * std::cos(l) - 0.025127 * std::cos(m - l) + 0.008374 * std::cos(m + l) +
                   0.000105 * std::cos(2 * m + l) + 0.000063 * t * std::cos(m - l) +
                   0.000035 * std::cos(2 * m - l);
  const double y = 0.917308 * std::sin(l) + 0.023053 * std::sin(m - l) +
                   0.007683 * std::sin(m + l) - 0.000057 * t * std::sin(m - l) -
                   0.000032 * std::sin(2 * m - l);
  const double tanEps = std::tan(0.40927971);  // mean obliquity of 1950.0
  // 0.0057755 days is the light time across one AU.
  const double correccion =
      -0.0057755 * (x * std::cos(ar) * std::cos(dec) +
                    y * (std::sin(ar) * std::cos(dec) + tanEps * std::sin(dec)));
  return dj + correccion;
}

double DiaJulianoHeliocentrico(const FechaHora& fh, const AscensionRecta& ar,
                               const Declinacion& dec) {
  return DiaJulianoHeliocentrico(fh.DiaJuliano(), ar.Radianes(), dec.Radianes());
}

std::string TextoAnguloHorario(double h) {
  if (!std::isfinite(h)) h = 0.0;
  const double vuelta = 2.0 * kPi;
  double r = h - vuelta * std::floor((h + kPi) / vuelta);  // [-pi, pi)
  AscensionRecta magnitud;
  magnitud.AsignaRadianes(std::fabs(r));
  // A value that rounds to zero is written without a sign.
  const bool cero = magnitud == AscensionRecta();
  std::string texto = r < 0.0 && !cero ? "-" : "";
  texto += magnitud.Texto();
  return texto;
}

std::vector<std::string> LineasCircunstancias(const FechaHora& fh, const AscensionRecta& ar,
                                              const Declinacion& dec, const Longitud& lon,
                                              const Latitud& lat, double djh) {
  const double h = AnguloHorario(fh, ar, lon);
  const Horizontales hz = CoordenadasHorizontales(h, lat.Radianes(), dec.Radianes());
  AscensionRecta sidereo;
  sidereo.AsignaRadianes(fh.TiempoSidereo());

  std::vector<std::string> lineas;
  lineas.push_back(LineaDia(12172, fh.DiaJuliano()));  // "Dia Juliano: "
  lineas.push_back(Linea("Hora Sideral:", sidereo.Texto()));
  lineas.push_back(Linea("Fecha y hora:", fh.Texto()));
  lineas.push_back(Linea("Azimut:", AnguloDeRadianes(hz.azimut).Texto()));
  lineas.push_back(Linea("Angulo horario:", TextoAnguloHorario(h)));
  lineas.push_back(Linea("Altura horizonte:", AnguloDeRadianes(hz.altura).Texto()));
  lineas.push_back(Linea("Distancia zenital:", AnguloDeRadianes(hz.distanciaCenital).Texto()));
  lineas.push_back(LineaDia(12173, djh));  // "Dia Jul. Helio.: "
  return lineas;
}

}  // namespace orva
