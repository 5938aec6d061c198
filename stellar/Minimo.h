// Time of minimum of an eclipse by the Kwee-van Woerden method, with an error that matches the
// method's real scatter, and the O-C against an ephemeris.
#pragma once

#include <cstdint>
#include <vector>

namespace orva {

// One point of a light curve: time (days), magnitude and its error (0 when unknown).
struct PuntoCurva {
  double t = 0.0;
  double m = 0.0;
  double error = 0.0;
};

struct ResultadoMinimo {
  double t0 = 0.0;            // the time of minimum
  double error = 0.0;         // its standard error, from the simulated curves (below)
  double errorClasico = 0.0;  // the textbook formula's error, for comparison (it understates)
  double ruido = 0.0;         // the magnitude noise the simulation used
  int puntos = 0;             // points used at t0 (those whose reflection falls on the curve)
};

// Smallest number of points with which a minimum is sought.
inline constexpr int kMinPuntosMinimo = 7;
// Number of simulated curves behind the error.
inline constexpr int kCurvasSimuladas = 100;

// The curve is reflected about trial times t: each point's magnitude is compared with the
// curve linearly interpolated at 2t - t_i, S(t) is the mean squared difference over the points
// whose reflection falls inside the curve, and t0 is the vertex of the parabola fitted to S near
// its smallest sampled value. The error is the scatter of t0 over kCurvasSimuladas curves made of
// the curve symmetrised about t0 plus Gaussian noise: each point's own error when every point has
// one, else the noise measured from the second differences of the curve; the noise draws come
// from a fixed seed, so one curve always gives the same bits. The classic error is
// (4AC - B^2) / (4A^2 (Z - 1)) of the parabola of the summed squares with Z = points / 4.
// Raises 12436 with fewer than kMinPuntosMinimo points of distinct times and 12437 when the
// curve shows no minimum inside it (its faintest part at an end).
ResultadoMinimo MinimoKweeVanWoerden(std::vector<PuntoCurva> puntos);

// O-C of a time of minimum against the ephemeris epoca + ciclo * periodo (periodo > 0): the
// nearest cycle, the computed time and observed minus computed, in days.
struct OMenosC {
  int64_t ciclo = 0;
  double calculado = 0.0;
  double oc = 0.0;
};
OMenosC CalculaOMenosC(double t0, double epoca, double periodo);

}  // namespace orva
