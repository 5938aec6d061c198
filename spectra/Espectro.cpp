// Spectra: extraction, continuum, lines, wavelength calibration and the tables.
#include "spectra/Espectro.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Cabecera.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "core/TiposObjeto.h"
#include "macro/Macro.h"

namespace orva {
namespace {

constexpr int kLineaCorta = 12520;
constexpr int kAnchoIlegal = 12521;
constexpr int kBandaFuera = 12522;
constexpr int kGradoIlegal = 12523;
constexpr int kPocosPuntos = 12524;
constexpr int kValorNoFinito = 12525;

constexpr double kDesviacionMad = 1.4826;
constexpr double kFwhmSigma = 2.3548200450309493;  // 2 sqrt(2 ln 2)
constexpr long kMuestrasBanda = 256;               // samples per band of the thread pool
constexpr int kVueltasContinuo = 5;                // clipping passes of the continuum
constexpr size_t kMargenRecorte = 2;  // samples clipped beside each one beyond the threshold
// A band whose length is a whole number up to rounding keeps its last sample.
constexpr double kHolguraLargo = 1e-9;

std::string Texto(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.10g", v);
  return b;
}

// Bilinear sample of the physical values; (x, y) lies within [0, w-1] x [0, h-1].
double Muestra(const Imagen& im, double x, double y) {
  const long w = static_cast<long>(im.Ancho()), h = static_cast<long>(im.Alto());
  // Clamped as well: rounding may put a sample at the image's edge a hair outside it.
  const long x0 = std::clamp(static_cast<long>(std::floor(x)), 0L, w - 1);
  const long y0 = std::clamp(static_cast<long>(std::floor(y)), 0L, h - 1);
  const long x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
  const double fx = x - static_cast<double>(x0), fy = y - static_cast<double>(y0);
  const std::vector<int16_t>& p = im.Pixeles();
  auto v = [&](long xx, long yy) {
    return im.mapeo.Fisico(
        p[static_cast<size_t>(yy) * static_cast<size_t>(w) + static_cast<size_t>(xx)]);
  };
  const double arriba = v(x0, y0) * (1.0 - fx) + v(x1, y0) * fx;
  const double abajo = v(x0, y1) * (1.0 - fx) + v(x1, y1) * fx;
  return arriba * (1.0 - fy) + abajo * fy;
}

// The value at sample 'desde' of the least-squares line through the samples desde, desde+paso,
// ... (cuantas of them).
double ExtremoRecta(const std::vector<double>& f, long desde, long paso, long cuantas) {
  double st = 0, sf = 0, stt = 0, stf = 0;
  for (long k = 0; k < cuantas; ++k) {
    const double t = static_cast<double>(k), v = f[static_cast<size_t>(desde + k * paso)];
    st += t;
    sf += v;
    stt += t * t;
    stf += t * v;
  }
  const double m = static_cast<double>(cuantas), det = m * stt - st * st;
  if (det == 0.0) return sf / m;
  return (sf * stt - st * stf) / det;  // the intercept
}

// The running median of the given radius. Past the ends the spectrum is continued by its
// reflection through the end value of a straight line fitted to the last radius + 1 samples,
// so that a sloping continuum keeps its level up to the ends.
std::vector<double> MedianaCorrida(const std::vector<double>& f, int radio) {
  const long n = static_cast<long>(f.size());
  if (n == 0) return {};
  const long r = std::min<long>(radio, n - 1);
  const long tramo = std::min(n, r + 1);
  const double inicio = ExtremoRecta(f, 0, 1, tramo);
  const double fin = ExtremoRecta(f, n - 1, -1, tramo);
  std::vector<double> ext(static_cast<size_t>(n + 2 * r));
  for (long k = 0; k < n + 2 * r; ++k) {
    const long i = k - r;
    double v;
    if (i < 0) {
      v = 2.0 * inicio - f[static_cast<size_t>(-i)];
    } else if (i >= n) {
      v = 2.0 * fin - f[static_cast<size_t>(2 * (n - 1) - i)];
    } else {
      v = f[static_cast<size_t>(i)];
    }
    ext[static_cast<size_t>(k)] = v;
  }
  std::vector<double> res(f.size());
  std::vector<double> ventana;
  for (long i = 0; i < n; ++i) {
    ventana.assign(ext.begin() + i, ext.begin() + i + 2 * r + 1);
    res[static_cast<size_t>(i)] = Mediana(ventana);
  }
  return res;
}

// Solves the square system a x = b by Gaussian elimination with partial pivoting; false when
// it is singular.
bool Resuelve(std::vector<std::vector<double>> a, std::vector<double> b, std::vector<double>& x) {
  const size_t n = b.size();
  for (size_t c = 0; c < n; ++c) {
    size_t p = c;
    for (size_t f = c + 1; f < n; ++f) {
      if (std::fabs(a[f][c]) > std::fabs(a[p][c])) p = f;
    }
    if (a[p][c] == 0.0) return false;
    std::swap(a[p], a[c]);
    std::swap(b[p], b[c]);
    for (size_t f = c + 1; f < n; ++f) {
      const double k = a[f][c] / a[c][c];
      for (size_t j = c; j < n; ++j) a[f][j] -= k * a[c][j];
      b[f] -= k * b[c];
    }
  }
  x.assign(n, 0.0);
  for (size_t c = n; c-- > 0;) {
    double s = b[c];
    for (size_t j = c + 1; j < n; ++j) s -= a[c][j] * x[j];
    x[c] = s / a[c][c];
  }
  return true;
}

}  // namespace

std::vector<double> ExtraeEspectro(const Imagen& imagen, const BandaEspectro& b,
                                   Progreso& progreso) {
  for (double v : {b.x1, b.y1, b.x2, b.y2, b.distanciaCielo}) {
    if (!std::isfinite(v)) throw JError(kValorNoFinito, Texto(v));
  }
  if (b.ancho < 1 || b.ancho > kAnchoBandaMaximo)
    throw JError(kAnchoIlegal, std::to_string(b.ancho));
  const double dx = b.x2 - b.x1, dy = b.y2 - b.y1;
  const double largo = std::hypot(dx, dy);
  if (!(largo >= 1.0)) throw JError(kLineaCorta, Texto(largo));
  const double ux = dx / largo, uy = dy / largo;  // along the dispersion
  const double nx = -uy, ny = ux;                 // across it
  const long n = static_cast<long>(std::floor(largo + kHolguraLargo)) + 1;
  const double medio = 0.5 * (b.ancho - 1);
  // Every offset across the band that is sampled, the sky bands' included.
  std::vector<double> desplazamientos;
  for (int k = 0; k < b.ancho; ++k) desplazamientos.push_back(k - medio);
  const bool cielo = b.distanciaCielo > 0.0;
  if (cielo) {
    for (int k = 0; k < b.ancho; ++k) {
      desplazamientos.push_back(b.distanciaCielo + k - medio);
      desplazamientos.push_back(-b.distanciaCielo + k - medio);
    }
  }
  // The band is a parallelogram: checking its corners checks every sample.
  const double maxX = static_cast<double>(imagen.Ancho()) - 1.0;
  const double maxY = static_cast<double>(imagen.Alto()) - 1.0;
  const auto [dMin, dMax] = std::minmax_element(desplazamientos.begin(), desplazamientos.end());
  for (double t : {0.0, static_cast<double>(n - 1)}) {
    for (double d : {*dMin, *dMax}) {
      const double x = b.x1 + t * ux + d * nx, y = b.y1 + t * uy + d * ny;
      if (imagen.Vacia() || !(x >= 0.0 && y >= 0.0 && x <= maxX && y <= maxY)) {
        throw JError(kBandaFuera, Texto(x), Texto(y));
      }
    }
  }
  std::vector<double> flujo(static_cast<size_t>(n), 0.0);
  ParaBandas(
      n, &progreso,
      [&](long, long desde, long hasta) {
        for (long i = desde; i < hasta; ++i) {
          const double cx = b.x1 + static_cast<double>(i) * ux;
          const double cy = b.y1 + static_cast<double>(i) * uy;
          double suma = 0.0, sumaCielo = 0.0;
          for (int k = 0; k < b.ancho; ++k) {
            const double d = desplazamientos[static_cast<size_t>(k)];
            suma += Muestra(imagen, cx + d * nx, cy + d * ny);
          }
          if (cielo) {
            for (size_t k = static_cast<size_t>(b.ancho); k < desplazamientos.size(); ++k) {
              const double d = desplazamientos[k];
              sumaCielo += Muestra(imagen, cx + d * nx, cy + d * ny);
            }
            suma -= sumaCielo / 2.0;  // mean of the two bands, each of 'ancho' samples
          }
          flujo[static_cast<size_t>(i)] = suma;
        }
      },
      kMuestrasBanda);
  return flujo;
}

AjustesContinuo LeeAjustesContinuo() {
  AjustesContinuo a;
  const Ajustes& aj = AjustesActuales();
  if (auto r = LeeEnteroComprobado(aj.Valor("PREFANAESPEC", "MedianaRadio"));
      r && *r >= 1 && *r <= kRadioMedianaMaximo) {
    a.radio = *r;
  }
  if (auto f = LeeRealComprobado(aj.Valor("PREFANAESPEC", "MedianaFactor"));
      f && std::isfinite(*f) && *f > 0.0) {
    a.factor = *f;
  }
  return a;
}

double RuidoEspectro(const std::vector<double>& flujo, const std::vector<double>& continuo) {
  std::vector<double> d(flujo.size());
  for (size_t i = 0; i < flujo.size(); ++i) d[i] = std::fabs(flujo[i] - continuo[i]);
  return kDesviacionMad * Mediana(std::move(d));
}

std::vector<double> Continuo(const std::vector<double>& flujo, const AjustesContinuo& a) {
  const int radio = std::clamp(a.radio, 1, kRadioMedianaMaximo);
  std::vector<double> c = MedianaCorrida(flujo, radio);
  for (int vuelta = 0; vuelta < kVueltasContinuo; ++vuelta) {
    // Samples beyond the threshold are bridged by a straight line between the kept samples on
    // either side, so that a line neither pulls the median nor leaves its window lopsided.
    const double umbral = a.factor * RuidoEspectro(flujo, c);
    std::vector<double> puenteado = flujo;
    const size_t n = flujo.size();
    // The clipped samples, widened by a margin: a line's wings below the threshold go too.
    std::vector<char> fuera(n, 0);
    for (size_t k = 0; k < n; ++k) {
      if (std::fabs(flujo[k] - c[k]) <= umbral) continue;
      const size_t a0 = k >= kMargenRecorte ? k - kMargenRecorte : 0;
      const size_t b0 = std::min(n - 1, k + kMargenRecorte);
      for (size_t j = a0; j <= b0; ++j) fuera[j] = 1;
    }
    size_t i = 0;
    while (i < n) {
      if (!fuera[i]) {
        ++i;
        continue;
      }
      size_t fin = i;
      while (fin < n && fuera[fin]) ++fin;
      const bool izquierda = i > 0, derecha = fin < n;
      for (size_t k = i; k < fin; ++k) {
        if (izquierda && derecha) {
          const double t = static_cast<double>(k - i + 1) / static_cast<double>(fin - i + 1);
          puenteado[k] = flujo[i - 1] * (1.0 - t) + flujo[fin] * t;
        } else if (izquierda) {
          puenteado[k] = flujo[i - 1];
        } else if (derecha) {
          puenteado[k] = flujo[fin];
        } else {
          puenteado[k] = c[k];
        }
      }
      i = fin;
    }
    c = MedianaCorrida(puenteado, radio);
  }
  return c;
}

std::vector<LineaEspectral> BuscaLineas(const std::vector<double>& f, const std::vector<double>& c,
                                        double factor) {
  std::vector<LineaEspectral> lineas;
  const size_t n = std::min(f.size(), c.size());
  if (n < 3) return lineas;
  std::vector<double> r(n);
  for (size_t i = 0; i < n; ++i) r[i] = f[i] - c[i];
  const double umbral = factor * RuidoEspectro(f, c);
  for (size_t i = 1; i + 1 < n; ++i) {
    const double a = std::fabs(r[i]);
    if (!(a > umbral) || a == 0.0) continue;
    const bool emision = r[i] > 0.0;
    // The peak: no neighbour further from the continuum on the same side (ties go left).
    const double s = emision ? 1.0 : -1.0;
    if (!(s * r[i] > s * r[i - 1] && s * r[i] >= s * r[i + 1])) continue;
    // One sample alone beyond the threshold is a spike (a cosmic-ray hit, a hot pixel), not a
    // line: a line reaches past it on at least one neighbour too.
    if (!(s * r[i - 1] > umbral || s * r[i + 1] > umbral)) continue;
    const double ym = s * r[i - 1], y0 = s * r[i], yp = s * r[i + 1];
    LineaEspectral l;
    l.emision = emision;
    double desplazamiento = 0.0, pico = y0, sigma = 0.0;
    if (ym > 0.0 && yp > 0.0) {
      // A Gaussian through the three samples: a parabola in the logarithm.
      const double lm = std::log(ym), l0 = std::log(y0), lp = std::log(yp);
      const double curv = lm - 2.0 * l0 + lp;
      if (curv < 0.0) {
        desplazamiento = 0.5 * (lm - lp) / curv;
        sigma = std::sqrt(-1.0 / curv);
        pico = std::exp(l0 - 0.25 * (lm - lp) * desplazamiento);
      }
    } else {
      const double curv = ym - 2.0 * y0 + yp;
      if (curv < 0.0) desplazamiento = 0.5 * (ym - yp) / curv;
    }
    desplazamiento = std::clamp(desplazamiento, -0.5, 0.5);
    l.centro = static_cast<double>(i) + desplazamiento;
    const double cont = c[i];
    l.profundidad = cont != 0.0 ? pico / std::fabs(cont) : 0.0;
    if (sigma > 0.0) {
      l.fwhm = kFwhmSigma * sigma;
    } else {
      // Without a Gaussian, the width where the line falls to half its height.
      size_t a0 = i, b0 = i;
      while (a0 > 0 && s * r[a0 - 1] > 0.5 * y0) --a0;
      while (b0 + 1 < n && s * r[b0 + 1] > 0.5 * y0) ++b0;
      l.fwhm = static_cast<double>(b0 - a0 + 1);
    }
    // The line's extent: out to where flux - continuum changes side.
    // A blended neighbour ends it too: where the excursion rises again by more than the
    // threshold above the lowest point passed.
    size_t a0 = i, b0 = i;
    for (double minimo = y0; a0 > 0 && s * r[a0 - 1] > 0.0 && s * r[a0 - 1] <= minimo + umbral;) {
      minimo = std::min(minimo, s * r[--a0]);
    }
    for (double minimo = y0;
         b0 + 1 < n && s * r[b0 + 1] > 0.0 && s * r[b0 + 1] <= minimo + umbral;) {
      minimo = std::min(minimo, s * r[++b0]);
    }
    double ew = 0.0;
    for (size_t k = a0; k <= b0; ++k) {
      if (c[k] != 0.0) ew += 1.0 - f[k] / c[k];
    }
    l.anchuraEquivalente = ew;
    lineas.push_back(l);
  }
  return lineas;
}

double Calibracion::Longitud(double x) const {
  double v = 0.0;
  for (size_t k = coeficientes.size(); k-- > 0;) v = v * x + coeficientes[k];
  return v;
}

double Calibracion::Dispersion(double x) const {
  double v = 0.0;
  for (size_t k = coeficientes.size(); k-- > 1;)
    v = v * x + static_cast<double>(k) * coeficientes[k];
  return v;
}

Calibracion CalibraEspectro(const std::vector<PuntoCalibracion>& puntos, int grado,
                            const std::vector<LineaEspectral>& lineas) {
  if (grado < 1 || grado > kGradoMaximoCalibracion)
    throw JError(kGradoIlegal, std::to_string(grado));
  Calibracion cal;
  for (const PuntoCalibracion& p : puntos) {
    if (!std::isfinite(p.pixel)) throw JError(kValorNoFinito, Texto(p.pixel));
    if (!std::isfinite(p.longitud)) throw JError(kValorNoFinito, Texto(p.longitud));
    double x = p.pixel, mejor = kDistanciaIdentificacion;
    for (const LineaEspectral& l : lineas) {
      const double d = std::fabs(l.centro - p.pixel);
      if (d <= mejor) {
        mejor = d;
        x = l.centro;
      }
    }
    cal.pixeles.push_back(x);
    cal.longitudes.push_back(p.longitud);
  }
  std::vector<double> distintos = cal.pixeles;
  std::sort(distintos.begin(), distintos.end());
  distintos.erase(std::unique(distintos.begin(), distintos.end()), distintos.end());
  const size_t m = static_cast<size_t>(grado) + 1;
  if (distintos.size() < m) {
    throw JError(kPocosPuntos, std::to_string(distintos.size()), std::to_string(grado));
  }
  // Normal equations on x scaled to about -1..1, for conditioning.
  const double centro = 0.5 * (distintos.front() + distintos.back());
  const double escala = std::max(1.0, 0.5 * (distintos.back() - distintos.front()));
  std::vector<std::vector<double>> a(m, std::vector<double>(m, 0.0));
  std::vector<double> b(m, 0.0);
  for (size_t i = 0; i < cal.pixeles.size(); ++i) {
    const double t = (cal.pixeles[i] - centro) / escala;
    std::vector<double> pot(2 * m - 1, 1.0);
    for (size_t k = 1; k < pot.size(); ++k) pot[k] = pot[k - 1] * t;
    for (size_t j = 0; j < m; ++j) {
      for (size_t k = 0; k < m; ++k) a[j][k] += pot[j + k];
      b[j] += pot[j] * cal.longitudes[i];
    }
  }
  std::vector<double> q;
  if (!Resuelve(a, b, q)) {
    throw JError(kPocosPuntos, std::to_string(distintos.size()), std::to_string(grado));
  }
  // Back to powers of x: sum q_j ((x - centro) / escala)^j, expanded.
  cal.coeficientes.assign(m, 0.0);
  for (size_t j = 0; j < m; ++j) {
    // (x - c)^j / s^j by the binomial theorem.
    double binom = 1.0;
    for (size_t k = 0; k <= j; ++k) {
      const double termino = binom * std::pow(-centro, static_cast<double>(j - k)) /
                             std::pow(escala, static_cast<double>(j));
      cal.coeficientes[k] += q[j] * termino;
      binom = binom * static_cast<double>(j - k) / static_cast<double>(k + 1);
    }
  }
  double suma = 0.0;
  for (size_t i = 0; i < cal.pixeles.size(); ++i) {
    const double r = cal.longitudes[i] - cal.Longitud(cal.pixeles[i]);
    const double disp = cal.Dispersion(cal.pixeles[i]);
    cal.residuos.push_back(r);
    cal.residuosPixel.push_back(disp != 0.0 ? r / disp : 0.0);
    suma += r * r;
  }
  cal.rms = std::sqrt(suma / static_cast<double>(cal.pixeles.size()));
  return cal;
}

std::string TablaEspectro(const std::vector<double>& flujo, const std::vector<double>& continuo,
                          const Calibracion& cal) {
  std::string s = "pixel,wavelength,flux,continuum,normalised\n";
  for (size_t i = 0; i < flujo.size(); ++i) {
    const double c = i < continuo.size() ? continuo[i] : 0.0;
    s += std::to_string(i) + ",";
    if (!cal.Vacia()) s += Texto(cal.Longitud(static_cast<double>(i)));
    s += "," + Texto(flujo[i]) + "," + Texto(c) + ",";
    if (c != 0.0) s += Texto(flujo[i] / c);
    s += "\n";
  }
  return s;
}

std::string TablaLineas(const std::vector<LineaEspectral>& lineas, const Calibracion& cal) {
  std::string s = "centre,wavelength,kind,depth,fwhm,ew_px,ew_wavelength\n";
  for (const LineaEspectral& l : lineas) {
    s += Texto(l.centro) + ",";
    if (!cal.Vacia()) s += Texto(cal.Longitud(l.centro));
    s += std::string(",") + (l.emision ? "emission" : "absorption") + "," + Texto(l.profundidad) +
         "," + Texto(l.fwhm) + "," + Texto(l.anchuraEquivalente) + ",";
    if (!cal.Vacia()) s += Texto(l.anchuraEquivalente * std::fabs(cal.Dispersion(l.centro)));
    s += "\n";
  }
  return s;
}

void ImagenEspectro(Imagen& imagen, const BandaEspectro& banda, Progreso& progreso) {
  const std::vector<double> f = ExtraeEspectro(imagen, banda, progreso);
  const auto [mn, mx] = std::minmax_element(f.begin(), f.end());
  // The fluxes go to the configured pixel range: as they are when they are whole numbers that
  // fit it, else spread over it with the value mapping.
  const RangoPixeles rango = Rango();
  const double bajo = rango.minimo, alto = rango.maximo;
  MapeoValores m;
  const bool enteros =
      std::all_of(f.begin(), f.end(), [](double v) { return v == std::nearbyint(v); });
  if (!(enteros && *mn >= bajo && *mx <= alto)) {
    m.escala = *mx > *mn ? (*mx - *mn) / (alto - bajo) : 1.0;
    m.cero = *mn - bajo * m.escala;
  }
  std::vector<int16_t> px(f.size());
  for (size_t i = 0; i < f.size(); ++i) {
    const double p = std::nearbyint((f[i] - m.cero) / m.escala);
    px[i] = static_cast<int16_t>(std::clamp(p, bajo, alto));
  }
  imagen.CambiaPixeles(static_cast<uint32_t>(f.size()), 1, std::move(px));
  imagen.mapeo = m;
  imagen.cabecera.QuitaWcs("ESPECTRO");
  imagen.cabecera.AnadeHistoria(LineaEspectro(banda));
  imagen.CambiaTipoObjeto(kEspectro);
  imagen.Modificada(1);
}

std::string LineaEspectro(const BandaEspectro& b) {
  std::string l = "ESPECTRO " + TextoExacto(b.x1) + " " + TextoExacto(b.y1) + " " +
                  TextoExacto(b.x2) + " " + TextoExacto(b.y2);
  if (b.ancho != 1 || b.distanciaCielo > 0.0) l += " " + std::to_string(b.ancho);
  if (b.distanciaCielo > 0.0) l += " " + TextoExacto(b.distanciaCielo);
  return l;
}

namespace {

int Espectro(Ranuras& r, int actual, const std::vector<std::string>& args) {
  constexpr double kCoordenadaMaxima = 1e6;
  BandaEspectro b;
  b.x1 = ArgumentoReal(args, 0, -kCoordenadaMaxima, kCoordenadaMaxima);
  b.y1 = ArgumentoReal(args, 1, -kCoordenadaMaxima, kCoordenadaMaxima);
  b.x2 = ArgumentoReal(args, 2, -kCoordenadaMaxima, kCoordenadaMaxima);
  b.y2 = ArgumentoReal(args, 3, -kCoordenadaMaxima, kCoordenadaMaxima);
  if (args.size() > 4) b.ancho = ArgumentoEntero(args, 4, 1, kAnchoBandaMaximo);
  if (args.size() > 5) b.distanciaCielo = ArgumentoReal(args, 5, 0.0, kCoordenadaMaxima);
  Imagen* im = r.En(actual);
  if (!im) return 0;
  ImagenEspectro(*im, b, ProgresoActual());
  return actual;
}

}  // namespace

void EnlazaEspectroMacro() {
  EnlazaComandoMacro("ESPECTRO", &Espectro);
}

}  // namespace orva
