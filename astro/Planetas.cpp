// Planetary ephemerides: ERFA positions reduced to apparent place, IAU orientation models and
// the physical ephemeris of the disc.
#include "astro/Planetas.h"

#include <erfa.h>
#include <erfam.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "astro/Angulos.h"
#include "base/JError.h"

namespace orva {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kGrad = kPi / 180.0;
constexpr double kSegArco = 180.0 * 3600.0 / kPi;  // arcseconds per radian
constexpr double kKmUA = ERFA_DAU / 1000.0;
constexpr double kDiaMJD0 = 2400000.5;  // the two-part dates of ERFA split here
constexpr double kJ2000 = 2451545.0;
constexpr double kDiasSiglo = 36525.0;
constexpr int kIteracionesLuz = 3;  // light time converges to microseconds in three passes

double Normaliza360(double g) {
  const double r = std::fmod(g, 360.0);
  return r < 0.0 ? r + 360.0 : r;
}

// ---------------------------------------------------------------------------------------------
// Rotation elements and radii: Report of the IAU Working Group on Cartographic Coordinates and
// Rotational Elements: 2015 (Archinal et al., Celest. Mech. Dyn. Astr. 130:22, 2018), whose
// Jupiter, Saturn, Uranus and Neptune models and radii are used as published. Mars keeps the
// linear model of the 2009 report (Archinal et al. 2011), which the 2015 model's periodic
// terms change by well under 0.01 degree. Jupiter's Systems I and II are the report's
// W = 67.1 + 877.900 d and W = 43.3 + 870.270 d. T: Julian centuries and d: days from J2000
// TDB; angles in degrees.
struct ElementosRotacion {
  double alfa0, alfaT;  // alpha0 = alfa0 + alfaT * T (+ periodic terms)
  double delta0, deltaT;
  double w0, wDia;                     // W = w0 + wDia * d (+ periodic terms)
  double radioEcuatorial, radioPolar;  // km
};

constexpr ElementosRotacion kMarte{317.68143, -0.1061,      52.88650, -0.0609,
                                   176.630,   350.89198226, 3396.19,  3376.20};
constexpr ElementosRotacion kJupiter{268.056595, -0.006499,   64.495303, 0.002413,
                                     284.95,     870.5360000, 71492.0,   66854.0};
constexpr ElementosRotacion kSaturno{40.589, -0.036,      83.537,  -0.004,
                                     38.90,  810.7939024, 60268.0, 54364.0};
constexpr ElementosRotacion kUrano{257.311, 0.0,          -15.175, 0.0,
                                   203.81,  -501.1600928, 25559.0, 24973.0};
constexpr ElementosRotacion kNeptuno{299.36,  0.0,         43.46,   0.0,
                                     249.978, 541.1397757, 24764.0, 24341.0};

// Jupiter's Systems I and II (prime meridian at J2000 and daily rate).
constexpr double kJupiterW0SistemaI = 67.1, kJupiterWDiaSistemaI = 877.900;
constexpr double kJupiterW0SistemaII = 43.3, kJupiterWDiaSistemaII = 870.270;

// Jupiter's pole nutation: Ja..Je = fase + tasa * T, and the amplitudes of sin J in alpha0 and
// of cos J in delta0.
struct TerminoJupiter {
  double fase, tasa, senoAlfa, cosenoDelta;
};
constexpr TerminoJupiter kTerminosJupiter[] = {
    {99.360714, 4850.4046, 0.000117, 0.000050}, {175.895369, 1191.9605, 0.000938, 0.000404},
    {300.323162, 262.5475, 0.001432, 0.000617}, {114.012305, 6070.2476, 0.000030, -0.000013},
    {49.511251, 64.3000, 0.002150, 0.000926},
};

// Neptune's pole and meridian terms in N = 357.85 + 52.316 T.
constexpr double kNeptunoFaseN = 357.85, kNeptunoTasaN = 52.316;
constexpr double kNeptunoSenoAlfa = 0.70, kNeptunoCosenoDelta = -0.51, kNeptunoSenoW = -0.48;

const ElementosRotacion& Elementos(Planeta p) {
  switch (p) {
    case Planeta::kMarte:
      return kMarte;
    case Planeta::kJupiter:
      return kJupiter;
    case Planeta::kSaturno:
      return kSaturno;
    case Planeta::kUrano:
      return kUrano;
    case Planeta::kNeptuno:
      break;
  }
  return kNeptuno;
}

// The planet number of eraPlan94.
int NumeroPlan94(Planeta p) {
  constexpr int kMarteErfa = 4;
  return kMarteErfa + static_cast<int>(p);
}

// ---------------------------------------------------------------------------------------------
// TT - UT before 1972: polynomial fits to the historical values (Espenak and Meeus, Five
// Millennium Canon of Solar Eclipses, 2006), in t = year - origen, seconds.
struct TramoDeltaT {
  double desde, hasta, origen;
  double c[8];
};
constexpr TramoDeltaT kTramosDeltaT[] = {
    {1700, 1800, 1700, {8.83, 0.1603, -0.0059285, 0.00013336, -1.0 / 1174000.0, 0, 0, 0}},
    {1800,
     1860,
     1800,
     {13.72, -0.332447, 0.0068612, 0.0041116, -0.00037436, 0.0000121272, -0.0000001699,
      0.000000000875}},
    {1860, 1900, 1860, {7.62, 0.5737, -0.251754, 0.01680668, -0.0004473624, 1.0 / 233174.0, 0, 0}},
    {1900, 1920, 1900, {-2.79, 1.494119, -0.0598939, 0.0061966, -0.000197, 0, 0, 0}},
    {1920, 1941, 1920, {21.20, 0.84493, -0.076100, 0.0020936, 0, 0, 0, 0}},
    {1941, 1961, 1950, {29.07, 0.407, -1.0 / 233.0, 1.0 / 2547.0, 0, 0, 0, 0}},
    {1961, 1972, 1975, {45.45, 1.067, -1.0 / 260.0, -1.0 / 718.0, 0, 0, 0, 0}},
};
// Elsewhere the long-term parabola -20 + 32 u^2, u = (year - 1820) / 100.
constexpr double kParabolaC0 = -20.0, kParabolaC2 = 32.0, kParabolaOrigen = 1820.0;
constexpr int kPrimerAnioUTC = 1972;  // the first year of the leap-second table
constexpr double kTTmenosTAI = 32.184;

// ---------------------------------------------------------------------------------------------
// Vector helpers over ERFA's.
struct Vector {
  double v[3];
};

Vector Resta(double a[3], double b[3]) {
  Vector r;
  eraPmp(a, b, r.v);
  return r;
}

Vector Unitario(double a[3]) {
  double m;
  Vector r;
  eraPn(a, &m, r.v);
  return r;
}

// ICRF to the planet's body-fixed frame: R3(W) R1(90 - delta0) R3(90 + alpha0).
void MatrizCuerpo(const OrientacionPlaneta& o, double r[3][3]) {
  eraIr(r);
  eraRz((90.0 + o.alfa0) * kGrad, r);
  eraRx((90.0 - o.delta0) * kGrad, r);
  eraRz(o.w * kGrad, r);
}

// Planetocentric latitude (rad) and east longitude (rad) of a direction from the planet.
struct LatLon {
  double lat, lonEste;
};
LatLon Planetocentricas(double r[3][3], double direccion[3]) {
  double c[3];
  eraRxp(r, direccion, c);
  double lon, lat;
  eraC2s(c, &lon, &lat);
  return {lat, lon};
}

double Planetografica(double latCentrica, double achatamiento) {
  const double k = (1.0 - achatamiento) * (1.0 - achatamiento);
  return std::atan2(std::sin(latCentrica), std::cos(latCentrica) * k);
}

// The longitude that grows with time at the central meridian, degrees in [0, 360).
double LongitudObservador(Planeta p, double lonEste) {
  const double g = lonEste / kGrad;
  return Normaliza360(p == Planeta::kUrano ? g : -g);
}

std::string Formato(const char* fmt, double a, double b = 0.0, double c = 0.0) {
  char t[160];
  std::snprintf(t, sizeof t, fmt, a, b, c);
  return t;
}

std::string Linea(const std::string& etiqueta, const std::string& valor) {
  return etiqueta + "\t " + valor;
}

}  // namespace

std::optional<Planeta> PlanetaDeNombre(const std::string& nombre) {
  std::string n;
  for (char c : nombre) n += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (n == "MARTE" || n == "MARS") return Planeta::kMarte;
  if (n == "JUPITER") return Planeta::kJupiter;
  if (n == "SATURNO" || n == "SATURN") return Planeta::kSaturno;
  if (n == "URANO" || n == "URANUS") return Planeta::kUrano;
  if (n == "NEPTUNO" || n == "NEPTUNE") return Planeta::kNeptuno;
  return std::nullopt;
}

std::string NombrePlaneta(Planeta p) {
  static const char* const kNombres[] = {"MARTE", "JUPITER", "SATURNO", "URANO", "NEPTUNO"};
  return kNombres[static_cast<int>(p)];
}

OrientacionPlaneta Orientacion(Planeta p, double djTDB, int sistema) {
  const ElementosRotacion& e = Elementos(p);
  const double d = djTDB - kJ2000;
  const double t = d / kDiasSiglo;
  OrientacionPlaneta o{e.alfa0 + e.alfaT * t, e.delta0 + e.deltaT * t, e.w0 + e.wDia * d};
  if (p == Planeta::kJupiter) {
    for (const TerminoJupiter& j : kTerminosJupiter) {
      const double a = (j.fase + j.tasa * t) * kGrad;
      o.alfa0 += j.senoAlfa * std::sin(a);
      o.delta0 += j.cosenoDelta * std::cos(a);
    }
    if (sistema == 1) o.w = kJupiterW0SistemaI + kJupiterWDiaSistemaI * d;
    if (sistema == 2) o.w = kJupiterW0SistemaII + kJupiterWDiaSistemaII * d;
  } else if (p == Planeta::kNeptuno) {
    const double n = (kNeptunoFaseN + kNeptunoTasaN * t) * kGrad;
    o.alfa0 += kNeptunoSenoAlfa * std::sin(n);
    o.delta0 += kNeptunoCosenoDelta * std::cos(n);
    o.w += kNeptunoSenoW * std::sin(n);
  }
  o.w = Normaliza360(o.w);
  return o;
}

RadiosPlaneta Radios(Planeta p) {
  const ElementosRotacion& e = Elementos(p);
  return {e.radioEcuatorial, e.radioPolar};
}

double DeltaT(double djUT) {
  int iy = 0, im = 0, id = 0;
  double fd = 0.0;
  if (eraJd2cal(djUT, 0.0, &iy, &im, &id, &fd) != 0) {
    iy = kPrimerAnioUTC - 1;  // no calendar date: the parabola below
    im = 1;
  }
  if (iy >= kPrimerAnioUTC) {
    double dat = 0.0;
    // Past the table's end ERFA keeps its last value (status +1): TT - UT stays near its
    // present value, the best guess for a near future.
    if (eraDat(iy, im, id, fd, &dat) >= 0) return kTTmenosTAI + dat;
  }
  const double anio = iy + (im - 0.5) / 12.0;
  for (const TramoDeltaT& tr : kTramosDeltaT) {
    if (anio < tr.desde || anio >= tr.hasta) continue;
    const double t = anio - tr.origen;
    double r = 0.0;
    for (int i = 7; i >= 0; --i) r = r * t + tr.c[i];
    return r;
  }
  const double u = (anio - kParabolaOrigen) / 100.0;
  return kParabolaC0 + kParabolaC2 * u * u;
}

Efemeride CalculaEfemeride(Planeta p, double djUT, double deltaT, const Sitio* sitio) {
  Efemeride e;
  e.planeta = p;
  e.topocentrica = sitio != nullptr;
  e.djUT = djUT;
  e.deltaT = deltaT;
  const double ut = djUT - kDiaMJD0;
  const double tt = ut + deltaT / ERFA_DAYSEC;

  double pvh[2][3], pvb[2][3];
  double pv[2][3];
  if (!std::isfinite(tt) || eraPlan94(kDiaMJD0, tt, NumeroPlan94(p), pv) != 0) {
    char t[64];
    std::snprintf(t, sizeof t, "%.5f", djUT);
    throw JError(12460, t);  // 12460
  }
  eraEpv00(kDiaMJD0, tt, pvh, pvb);  // outside 1900-2100 its status only warns

  eraASTROM astrom;
  if (sitio) {
    double x, y, s;
    eraXys06a(kDiaMJD0, tt, &x, &y, &s);
    const double theta = eraEra00(kDiaMJD0, ut);
    eraApco(kDiaMJD0, tt, pvb, pvh[0], x, y, s, theta, -sitio->longitudOeste, sitio->latitud,
            sitio->altitud, 0.0, 0.0, 0.0, 0.0, 0.0, &astrom);
  } else {
    eraApcg(kDiaMJD0, tt, pvb, pvh[0], &astrom);
  }
  double observador[3];  // heliocentric, au
  eraSxp(astrom.em, astrom.eh, observador);

  // Light time: the planet where it was when the light now arriving left it.
  double tau = 0.0;
  Vector haciaPlaneta{};
  for (int i = 0; i < kIteracionesLuz; ++i) {
    eraPlan94(kDiaMJD0, tt - tau, NumeroPlan94(p), pv);
    haciaPlaneta = Resta(pv[0], observador);
    tau = eraPm(haciaPlaneta.v) * ERFA_AULT / ERFA_DAYSEC;
  }
  e.tiempoLuz = tau;
  e.distancia = eraPm(haciaPlaneta.v);

  // Apparent place: deflection by the Sun, aberration, then the true equator and equinox.
  Vector u = Unitario(haciaPlaneta.v);
  Vector q = Unitario(pv[0]);
  const double limite = 1e-6 / std::max(astrom.em * astrom.em, 1.0);
  double desviado[3], aberrado[3], verdadero[3];
  eraLd(1.0, u.v, q.v, astrom.eh, astrom.em, limite, desviado);
  eraAb(desviado, astrom.v, astrom.em, astrom.bm1, aberrado);
  double rbpn[3][3];
  eraPnm06a(kDiaMJD0, tt, rbpn);
  eraRxp(rbpn, aberrado, verdadero);
  eraC2s(verdadero, &e.ar, &e.dec);
  e.ar = eraAnp(e.ar);

  // The disc: size, shape and phase.
  const RadiosPlaneta radios = Radios(p);
  e.achatamiento = (radios.ecuatorial - radios.polar) / radios.ecuatorial;
  const double distanciaKm = e.distancia * kKmUA;
  const double semiA = std::asin(radios.ecuatorial / distanciaKm);
  Vector haciaObservador = Resta(observador, pv[0]);
  double haciaSol[3];
  eraSxp(-1.0, pv[0], haciaSol);
  const double fase = eraSepp(haciaSol, haciaObservador.v);
  e.anguloFase = fase / kGrad;
  e.fraccionIluminada = 0.5 * (1.0 + std::cos(fase));

  // Orientation at the emission time.
  const double tdb = kDiaMJD0 + tt - tau;
  const OrientacionPlaneta o = Orientacion(p, tdb);
  double r[3][3];
  MatrizCuerpo(o, r);
  const LatLon tierra = Planetocentricas(r, haciaObservador.v);
  const LatLon sol = Planetocentricas(r, haciaSol);
  const double sb = std::sin(tierra.lat), cb = std::cos(tierra.lat);
  const double semiB = std::asin(radios.polar / distanciaKm);
  e.diametroEcuatorial = 2.0 * semiA * kSegArco;
  e.diametroPolar = 2.0 * std::sqrt(semiA * semiA * sb * sb + semiB * semiB * cb * cb) * kSegArco;
  e.latTierra = Planetografica(tierra.lat, e.achatamiento) / kGrad;
  e.latSol = Planetografica(sol.lat, e.achatamiento) / kGrad;
  e.lonTierra[2] = LongitudObservador(p, tierra.lonEste);
  e.lonSol[2] = LongitudObservador(p, sol.lonEste);
  if (p == Planeta::kJupiter) {
    e.conSistemasJupiter = true;
    for (int s = 1; s <= 2; ++s) {
      double rs[3][3];
      MatrizCuerpo(Orientacion(p, tdb, s), rs);
      e.lonTierra[s - 1] = LongitudObservador(p, Planetocentricas(rs, haciaObservador.v).lonEste);
      e.lonSol[s - 1] = LongitudObservador(p, Planetocentricas(rs, haciaSol).lonEste);
    }
  }
  if (p == Planeta::kSaturno) {
    e.anilloB = tierra.lat / kGrad;
    e.anilloBSol = sol.lat / kGrad;
  }

  // Position angle of the north pole, referred to the apparent equator of date.
  double polo[3], poloVerdadero[3];
  eraS2c(o.alfa0 * kGrad, o.delta0 * kGrad, polo);
  eraRxp(rbpn, polo, poloVerdadero);
  double alfaPolo, deltaPolo;
  eraC2s(poloVerdadero, &alfaPolo, &deltaPolo);
  e.anguloPolo = eraAnp(eraPas(e.ar, e.dec, alfaPolo, deltaPolo)) / kGrad;
  return e;
}

Efemeride CalculaEfemeride(Planeta p, const FechaHora& fh, const Sitio* sitio) {
  const double dj = fh.DiaJuliano();
  return CalculaEfemeride(p, dj, DeltaT(dj), sitio);
}

std::vector<std::string> LineasEfemeride(const Efemeride& e) {
  std::vector<std::string> l;
  l.push_back(Linea("Efemeride " + NombrePlaneta(e.planeta) + ":",
                    e.topocentrica ? "topocentrica (observatorio de la imagen)"
                                   : "geocentrica (sin observatorio)"));
  AscensionRecta ar;
  ar.AsignaRadianes(e.ar);
  Declinacion dec;
  dec.AsignaRadianes(e.dec);
  l.push_back(Linea("AR aparente:", ar.Texto()));
  l.push_back(Linea("Dec aparente:", dec.Texto()));
  l.push_back(Linea("Distancia:", Formato("%.6f UA (luz %.2f min)", e.distancia,
                                          e.tiempoLuz * ERFA_DAYSEC / 60.0)));
  l.push_back(Linea("Diametro ecuatorial:", Formato("%.2f\"", e.diametroEcuatorial)));
  l.push_back(Linea("Diametro polar:",
                    Formato("%.2f\" (achatamiento %.5f)", e.diametroPolar, e.achatamiento)));
  l.push_back(Linea("Angulo de fase:",
                    Formato("%.2f grados (iluminado %.4f)", e.anguloFase, e.fraccionIluminada)));
  l.push_back(Linea("AP del polo norte:", Formato("%.2f grados", e.anguloPolo)));
  l.push_back(Linea("Lat. subterrestre:", Formato("%+.2f grados", e.latTierra)));
  l.push_back(Linea("Lat. subsolar:", Formato("%+.2f grados", e.latSol)));
  const char* sentido = e.planeta == Planeta::kUrano ? "E" : "O";
  if (e.conSistemasJupiter) {
    l.push_back(Linea("MC Sistemas I/II/III:", Formato("%.2f / %.2f / %.2f grados", e.lonTierra[0],
                                                       e.lonTierra[1], e.lonTierra[2]) +
                                                   " " + sentido));
    l.push_back(Linea("Lon. subsolar I/II/III:",
                      Formato("%.2f / %.2f / %.2f grados", e.lonSol[0], e.lonSol[1], e.lonSol[2]) +
                          " " + sentido));
  } else {
    const char* sistema = e.planeta == Planeta::kSaturno ? "MC Sistema III:" : "MC (IAU):";
    l.push_back(Linea(sistema, Formato("%.2f grados", e.lonTierra[2]) + " " + sentido));
    l.push_back(Linea("Lon. subsolar:", Formato("%.2f grados", e.lonSol[2]) + " " + sentido));
  }
  if (e.planeta == Planeta::kSaturno) {
    l.push_back(
        Linea("Anillos B (Tierra/Sol):", Formato("%+.3f / %+.3f grados", e.anilloB, e.anilloBSol)));
  }
  return l;
}

}  // namespace orva
