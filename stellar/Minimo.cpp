#include "stellar/Minimo.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <string>

#include "base/Numeros.h"
#include "base/JError.h"

namespace orva {
namespace {

// Trial times sampled across the curve.
constexpr int kPasosBusqueda = 200;
// Trial times count when at least this fraction of the points reflects onto the curve.
constexpr double kFraccionSolape = 1.0 / 3.0;
// The parabola is fitted to the trial times within this many median point spacings of the
// smallest sampled S.
constexpr double kSemianchoParabola = 2.0;
// Trial times on each side of the parabola's centre.
constexpr int kMuestrasParabola = 10;
// Scale from the median absolute deviation to the standard deviation of a Gaussian.
constexpr double kMadASigma = 1.4826;
constexpr unsigned kSemillaSimulacion = 20260416u;

struct Curva {
  std::vector<double> t, m, e;
  double Interpola(double x) const {
    const auto it = std::upper_bound(t.begin(), t.end(), x);
    if (it == t.begin()) return m.front();
    if (it == t.end()) return m.back();
    const size_t j = static_cast<size_t>(it - t.begin());
    if (j < 2 || j + 1 >= t.size()) {
      const double w = (x - t[j - 1]) / (t[j] - t[j - 1]);
      return m[j - 1] + w * (m[j] - m[j - 1]);
    }
    // The cubic through the two points on each side: a straight line between uneven points
    // would bias the reflection wherever the curve bends.
    double v = 0.0;
    for (size_t a = j - 2; a <= j + 1; ++a) {
      double l = 1.0;
      for (size_t b = j - 2; b <= j + 1; ++b) {
        if (b != a) l *= (x - t[b]) / (t[a] - t[b]);
      }
      v += l * m[a];
    }
    return v;
  }
};

struct Reflexion {
  double s = 0.0;  // mean squared difference
  int n = 0;
};

Reflexion Refleja(const Curva& c, double T) {
  Reflexion r;
  double suma = 0.0;
  for (size_t i = 0; i < c.t.size(); ++i) {
    const double tr = 2.0 * T - c.t[i];
    if (tr < c.t.front() || tr > c.t.back()) continue;
    const double d = c.m[i] - c.Interpola(tr);
    suma += d * d;
    ++r.n;
  }
  if (r.n > 0) r.s = suma / r.n;
  return r;
}

struct Vertice {
  double t0 = 0.0;
  double errorClasico = 0.0;
  int puntos = 0;
};

// The summed squares over a fixed set of points (those whose reflection stays inside the curve
// for every trial time of the parabola): smooth in T, as the fit needs.
double SumaFija(const Curva& c, const std::vector<size_t>& puntos, double T) {
  double s = 0.0;
  for (size_t i : puntos) {
    const double d = c.m[i] - c.Interpola(2.0 * T - c.t[i]);
    s += d * d;
  }
  return s;
}

// The method on one curve (times relative to its first point); nullopt when it finds no minimum.
std::optional<Vertice> Metodo(const Curva& c, double espaciado) {
  const size_t n = c.t.size();
  const double t1 = c.t.front(), t2 = c.t.back();
  const int minimoSolape =
      std::max(kMinPuntosMinimo, static_cast<int>(std::ceil(kFraccionSolape * n)));
  // The trial time of the smallest mean squared difference.
  double mejorT = 0.0, mejorS = 0.0;
  int k = -1, kMin = -1, ultimo = -1;
  for (int paso = 1; paso < kPasosBusqueda; ++paso) {
    const double tt = t1 + (t2 - t1) * paso / kPasosBusqueda;
    const Reflexion r = Refleja(c, tt);
    if (r.n < minimoSolape) continue;
    ++k;
    if (kMin < 0 || r.s < mejorS) {
      mejorS = r.s;
      mejorT = tt;
      kMin = k;
    }
    ultimo = k;
  }
  if (kMin <= 0 || kMin == ultimo) return std::nullopt;
  // The parabola S = a u^2 + b u + c0 (u = T - centre) by least squares over trial times spread
  // evenly across the window, twice: the second window centred on the first vertex.
  const double semiancho =
      std::max(kSemianchoParabola * espaciado, 1.5 * (t2 - t1) / kPasosBusqueda);
  double centro = mejorT;
  Vertice v;
  for (int vuelta = 0; vuelta < 2; ++vuelta) {
    std::vector<size_t> fijos;
    for (size_t i = 0; i < n; ++i) {
      const double desde = 2.0 * (centro - semiancho) - c.t[i],
                   hasta = 2.0 * (centro + semiancho) - c.t[i];
      if (std::min(desde, hasta) >= t1 && std::max(desde, hasta) <= t2) fijos.push_back(i);
    }
    if (static_cast<int>(fijos.size()) < kMinPuntosMinimo) return std::nullopt;
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0, y0 = 0, y1 = 0, y2 = 0;
    for (int j = -kMuestrasParabola; j <= kMuestrasParabola; ++j) {
      const double u = semiancho * j / kMuestrasParabola;
      const double y = SumaFija(c, fijos, centro + u);
      const double u2 = u * u;
      s0 += 1;
      s1 += u;
      s2 += u2;
      s3 += u2 * u;
      s4 += u2 * u2;
      y0 += y;
      y1 += y * u;
      y2 += y * u2;
    }
    // Normal equations [s4 s3 s2; s3 s2 s1; s2 s1 s0] (a b c0) = (y2 y1 y0), by Cramer's rule.
    const double det =
        s4 * (s2 * s0 - s1 * s1) - s3 * (s3 * s0 - s1 * s2) + s2 * (s3 * s1 - s2 * s2);
    if (det == 0.0) return std::nullopt;
    const double a =
        (y2 * (s2 * s0 - s1 * s1) - s3 * (y1 * s0 - s1 * y0) + s2 * (y1 * s1 - s2 * y0)) / det;
    const double b =
        (s4 * (y1 * s0 - s1 * y0) - y2 * (s3 * s0 - s1 * s2) + s2 * (s3 * y0 - y1 * s2)) / det;
    const double c0 =
        (s4 * (s2 * y0 - y1 * s1) - s3 * (s3 * y0 - y1 * s2) + y2 * (s3 * s1 - s2 * s2)) / det;
    v.puntos = static_cast<int>(fijos.size());
    v.t0 = centro;
    v.errorClasico = 0.0;
    if (!(a > 0.0)) break;
    const double u0 = -b / (2.0 * a);
    if (std::fabs(u0) > semiancho) break;
    v.t0 = centro + u0;
    const double z = v.puntos / 4.0;
    const double var = (4.0 * a * c0 - b * b) / (4.0 * a * a * (z - 1.0));
    v.errorClasico = z > 1.0 && var > 0.0 ? std::sqrt(var) : 0.0;
    centro = v.t0;
  }
  return v;
}

// The noise of the curve from its second differences: each point against the line through its
// neighbours, scaled by the deviation that difference has for unit noise; a robust deviation.
double RuidoSegundasDiferencias(const Curva& c) {
  std::vector<double> v;
  for (size_t i = 1; i + 1 < c.t.size(); ++i) {
    const double w = (c.t[i + 1] - c.t[i]) / (c.t[i + 1] - c.t[i - 1]);
    const double d = c.m[i] - (w * c.m[i - 1] + (1.0 - w) * c.m[i + 1]);
    v.push_back(std::fabs(d) / std::sqrt(1.0 + w * w + (1.0 - w) * (1.0 - w)));
  }
  return kMadASigma * Mediana(std::move(v));
}

}  // namespace

ResultadoMinimo MinimoKweeVanWoerden(std::vector<PuntoCurva> puntos) {
  puntos.erase(std::remove_if(
                   puntos.begin(), puntos.end(),
                   [](const PuntoCurva& p) { return !std::isfinite(p.t) || !std::isfinite(p.m); }),
               puntos.end());
  for (PuntoCurva& p : puntos) {
    if (!std::isfinite(p.error) || p.error < 0.0) p.error = 0.0;  // unknown
  }
  std::stable_sort(puntos.begin(), puntos.end(),
                   [](const PuntoCurva& a, const PuntoCurva& b) { return a.t < b.t; });
  // Points of one time are averaged into one.
  Curva c;
  const double origen = puntos.empty() ? 0.0 : puntos.front().t;
  bool conErrores = !puntos.empty();
  for (size_t i = 0; i < puntos.size();) {
    size_t j = i;
    double sm = 0.0, se = 0.0;
    while (j < puntos.size() && puntos[j].t == puntos[i].t) {
      sm += puntos[j].m;
      se += puntos[j].error * puntos[j].error;
      ++j;
    }
    const double k = static_cast<double>(j - i);
    c.t.push_back(puntos[i].t - origen);
    c.m.push_back(sm / k);
    c.e.push_back(std::sqrt(se) / k);
    if (!(c.e.back() > 0.0)) conErrores = false;
    i = j;
  }
  const int n = static_cast<int>(c.t.size());
  if (n < kMinPuntosMinimo) {
    throw JError(12436, std::to_string(n), std::to_string(kMinPuntosMinimo));  // 12436
  }
  std::vector<double> pasos;
  for (int i = 1; i < n; ++i)
    pasos.push_back(c.t[static_cast<size_t>(i)] - c.t[static_cast<size_t>(i) - 1]);
  const double espaciado = Mediana(pasos);
  const std::optional<Vertice> v = Metodo(c, espaciado);
  if (!v) throw JError(12437);  // 12437

  ResultadoMinimo r;
  r.t0 = v->t0 + origen;
  r.errorClasico = v->errorClasico;
  r.puntos = v->puntos;
  const double ruido = RuidoSegundasDiferencias(c);
  r.ruido = ruido;
  // The curve symmetrised about t0: where a point's reflection falls on the curve, the mean of
  // the two; the simulated curves add noise to it.
  Curva modelo = c;
  for (size_t i = 0; i < c.t.size(); ++i) {
    const double tr = 2.0 * v->t0 - c.t[i];
    if (tr >= c.t.front() && tr <= c.t.back()) modelo.m[i] = 0.5 * (c.m[i] + c.Interpola(tr));
  }
  std::mt19937 rng(kSemillaSimulacion);
  std::normal_distribution<double> normal(0.0, 1.0);
  double suma = 0.0, suma2 = 0.0;
  int validas = 0;
  Curva sim = modelo;
  for (int k = 0; k < kCurvasSimuladas; ++k) {
    for (size_t i = 0; i < sim.m.size(); ++i) {
      sim.m[i] = modelo.m[i] + (conErrores ? c.e[i] : ruido) * normal(rng);
    }
    const std::optional<Vertice> s = Metodo(sim, espaciado);
    if (!s) continue;
    suma += s->t0;
    suma2 += s->t0 * s->t0;
    ++validas;
  }
  if (validas > 1) {
    const double media = suma / validas;
    r.error = std::sqrt(std::max(0.0, (suma2 - validas * media * media) / (validas - 1)));
  }
  if (conErrores) {
    double se2 = 0.0;
    for (double e : c.e) se2 += e * e;
    r.ruido = std::sqrt(se2 / n);
  }
  return r;
}

OMenosC CalculaOMenosC(double t0, double epoca, double periodo) {
  OMenosC r;
  if (!(periodo > 0.0)) return r;
  r.ciclo = static_cast<int64_t>(std::llround((t0 - epoca) / periodo));
  r.calculado = epoca + static_cast<double>(r.ciclo) * periodo;
  r.oc = t0 - r.calculado;
  return r;
}

}  // namespace orva
