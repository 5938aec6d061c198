#include "planetary/Disco.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>

#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"

namespace orva {
namespace {

constexpr double kGrado = std::numbers::pi / 180.0;
// Below this apparent radius the edge is too coarse for a fit.
constexpr double kRadioMinimo = 10.0;
// Radial profiles start at this fraction of the radius.
constexpr double kInicioPerfil = 0.6;
constexpr double kMargenPerfil = 0.3;   // past the expected edge, fraction of the radius
constexpr double kHolguraBorde = 4.0;   // pixels of profile needed past the expected edge
constexpr double kPasoPerfil = 0.25;    // pixels
constexpr double kBaseGradiente = 1.0;  // pixels between the two samples of the gradient
// How far outside the edge the gradient's outer half height falls on a pixel grid: 0.72 px for
// a uniform disc, 0.43 px for a Lambert limb darkened to nothing; half-way keeps both within
// 0.2 px once fitted.
constexpr double kDesplazamientoFlanco = 0.58;
constexpr double kNivelAlto = 0.8;
// Flank widths (Gaussian sigma, pixels) of a sharp image (the pixel grid gives 0.65-0.8) and of
// a blurred one.
constexpr double kSigmaNitido = 0.9, kSigmaBorroso = 1.3;
constexpr double kAnchoMedio = 1.1774100225154747;  // sqrt(2 ln 2): a Gaussian at half height
constexpr double kAnchoAlto = 0.6680472308365775;   // sqrt(2 ln 1.25): at 0.8
// A limb point is used when its outward normal faces the Sun at least this much.
constexpr double kLimboIluminado = 0.25;
constexpr int kPuntosMinimos = 12;
constexpr double kSenoFaseMinima = 0.02;  // about 1 deg of phase
constexpr int kIteracionesGauss = 30;
constexpr int kRondasRechazo = 5;
constexpr double kRmsMinimoRechazo = 0.05;  // pixels: never reject below this
constexpr double kMaxAchatamiento = 0.5;
constexpr int16_t kVacio = 0;

struct Vec {
  double x, y, z;
};
double Punto(const Vec& a, const Vec& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The body frame: x toward the sub-Earth meridian on the equator, y toward the west limb, z the
// north pole. The view: derecha (west, on the image's right with the pole up), norte, observador.
struct Vista {
  Vec derecha, norte, observador;
  double q;  // (a/b)^2
};

Vista HazVista(const GeometriaDisco& g) {
  // The line of sight's elevation over the equator is the planetographic latitude of the point
  // whose surface faces the Earth.
  const double d = g.latTierra * kGrado;
  Vista v;
  v.observador = {std::cos(d), 0.0, std::sin(d)};
  v.norte = {-std::sin(d), 0.0, std::cos(d)};
  v.derecha = {0.0, 1.0, 0.0};
  const double b = 1.0 - g.achatamiento;
  v.q = 1.0 / (b * b);
  return v;
}

// Body vector of a longitude and planetocentric latitude with unit direction.
Vec Direccion(double cm, double lon, double latC) {
  const double h = (cm - lon) * kGrado, f = latC * kGrado;
  return {std::cos(f) * std::cos(h), std::cos(f) * std::sin(h), std::sin(f)};
}

// Image offset of view coordinates (in equatorial radii) and the reverse.
void VistaAImagen(const GeometriaDisco& g, double u, double v, double& x, double& y) {
  const double c = std::cos(g.anguloPolo * kGrado), s = std::sin(g.anguloPolo * kGrado);
  x = g.cx + g.radio * (u * c - v * s);
  y = g.cy + (g.filasArriba ? 1.0 : -1.0) * g.radio * (u * s + v * c);
}
void ImagenAVista(const GeometriaDisco& g, double x, double y, double& u, double& v) {
  const double c = std::cos(g.anguloPolo * kGrado), s = std::sin(g.anguloPolo * kGrado);
  const double dx = (x - g.cx) / g.radio;
  const double dy = (g.filasArriba ? -1.0 : 1.0) * (y - g.cy) / g.radio;
  u = dx * c - dy * s;
  v = -dx * s - dy * c;
}

// Fills the cosines of a surface point of body vector p.
void Cosenos(const GeometriaDisco& g, const Vista& v, const Vec& p, PuntoDisco& r) {
  Vec n{p.x, p.y, v.q * p.z};
  const double m = std::sqrt(Punto(n, n));
  n = {n.x / m, n.y / m, n.z / m};
  r.mu = Punto(n, v.observador);
  if (g.conSol) {
    r.mu0 = Punto(n, Direccion(g.meridianoCentral, g.lonSol, g.latSol));
  } else {
    r.mu0 = r.mu;
  }
}

double Normaliza360(double a) {
  a = std::fmod(a, 360.0);
  return a < 0.0 ? a + 360.0 : a;
}

// Bilinear value at a real position; false outside the pixel centres.
bool Bilineal(const ImagenPixeles& im, double x, double y, double& valor) {
  const long ancho = im.Ancho(), alto = im.Alto();
  if (!(x >= 0.0 && y >= 0.0 && x <= ancho - 1.0 && y <= alto - 1.0)) return false;
  const long x0 = std::min(static_cast<long>(x), ancho - 2 < 0 ? 0 : ancho - 2);
  const long y0 = std::min(static_cast<long>(y), alto - 2 < 0 ? 0 : alto - 2);
  const long x1 = std::min(x0 + 1, ancho - 1), y1 = std::min(y0 + 1, alto - 1);
  const double fx = x - x0, fy = y - y0;
  const auto& p = im.Pixeles();
  const auto at = [&](long xx, long yy) { return static_cast<double>(p[yy * ancho + xx]); };
  const double arriba = at(x0, y0) * (1.0 - fx) + at(x1, y0) * fx;
  const double abajo = at(x0, y1) * (1.0 - fx) + at(x1, y1) * fx;
  valor = arriba * (1.0 - fy) + abajo * fy;
  return true;
}

int16_t APixel(double v) {
  return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

// Residuals of the points against the outline of g, in pixels along the stretched radius.
double Residuo(const GeometriaDisco& g, double bSobreA, double x, double y) {
  double u, v;
  ImagenAVista(g, x, y, u, v);
  return g.radio * (std::hypot(u, v / bSobreA) - 1.0);
}

// Gauss-Newton on centre, radius (and angle) with a numerical Jacobian; solves by Cholesky.
void GaussNewton(GeometriaDisco& g, double bSobreA, const std::vector<PuntoLimbo>& pts,
                 bool angulo) {
  const int n = angulo ? 4 : 3;
  const auto param = [&](GeometriaDisco& h, int i) -> double& {
    switch (i) {
      case 0:
        return h.cx;
      case 1:
        return h.cy;
      case 2:
        return h.radio;
      default:
        return h.anguloPolo;
    }
  };
  constexpr double kPaso = 1e-4;
  for (int it = 0; it < kIteracionesGauss; ++it) {
    std::array<std::array<double, 4>, 4> a{};
    std::array<double, 4> b{};
    for (const PuntoLimbo& p : pts) {
      if (p.rechazado) continue;
      const double r0 = Residuo(g, bSobreA, p.x, p.y);
      std::array<double, 4> j{};
      for (int i = 0; i < n; ++i) {
        GeometriaDisco h = g;
        param(h, i) += kPaso;
        j[i] = (Residuo(h, bSobreA, p.x, p.y) - r0) / kPaso;
      }
      for (int i = 0; i < n; ++i) {
        for (int k = 0; k < n; ++k) a[i][k] += j[i] * j[k];
        b[i] -= j[i] * r0;
      }
    }
    // Cholesky in place.
    std::array<std::array<double, 4>, 4> l{};
    for (int i = 0; i < n; ++i) {
      for (int k = 0; k <= i; ++k) {
        double s = a[i][k];
        for (int m = 0; m < k; ++m) s -= l[i][m] * l[k][m];
        if (i == k) {
          if (s <= 0.0) return;
          l[i][i] = std::sqrt(s);
        } else {
          l[i][k] = s / l[k][k];
        }
      }
    }
    std::array<double, 4> z{}, d{};
    for (int i = 0; i < n; ++i) {
      double s = b[i];
      for (int m = 0; m < i; ++m) s -= l[i][m] * z[m];
      z[i] = s / l[i][i];
    }
    for (int i = n - 1; i >= 0; --i) {
      double s = z[i];
      for (int m = i + 1; m < n; ++m) s -= l[m][i] * d[m];
      d[i] = s / l[i][i];
    }
    double cambio = 0.0;
    for (int i = 0; i < n; ++i) {
      param(g, i) += d[i];
      cambio = std::max(cambio, std::fabs(d[i]));
    }
    if (cambio < 1e-7) break;
  }
}

}  // namespace

double AchatamientoPlaneta(int tipo) {
  switch (tipo) {
    case kMarte:
      return 1.0 - 3376.20 / 3396.19;
    case kJupiter:
      return 1.0 - 66854.0 / 71492.0;
    case kSaturno:
      return 1.0 - 54364.0 / 60268.0;
    case kUrano:
      return 1.0 - 24973.0 / 25559.0;
    case kNeptuno:
      return 1.0 - 24341.0 / 24764.0;
    default:
      return 0.0;
  }
}

void CompruebaGeometria(const GeometriaDisco& g) {
  const auto fuera = [](const char* campo, double v) {
    throw JError(12484, campo, std::to_string(v));
  };
  if (!std::isfinite(g.cx)) fuera("cx", g.cx);
  if (!std::isfinite(g.cy)) fuera("cy", g.cy);
  if (!(g.radio > 0.0 && g.radio <= kRadioMaximoDisco)) fuera("radio", g.radio);
  if (!(g.achatamiento >= 0.0 && g.achatamiento <= kMaxAchatamiento)) {
    fuera("achatamiento", g.achatamiento);
  }
  if (!std::isfinite(g.anguloPolo)) fuera("polo", g.anguloPolo);
  if (!(std::fabs(g.latTierra) <= 90.0)) fuera("latTierra", g.latTierra);
  if (!std::isfinite(g.meridianoCentral)) fuera("mc", g.meridianoCentral);
  if (!(std::fabs(g.latSol) <= 90.0)) fuera("latSol", g.latSol);
  if (!std::isfinite(g.lonSol)) fuera("lonSol", g.lonSol);
}

double LatitudCentrica(double latGrafica, double achatamiento) {
  const double b = 1.0 - achatamiento;
  if (std::fabs(latGrafica) >= 90.0) return latGrafica;
  return std::atan(std::tan(latGrafica * kGrado) * b * b) / kGrado;
}

double LatitudGrafica(double latCentrica, double achatamiento) {
  const double b = 1.0 - achatamiento;
  if (std::fabs(latCentrica) >= 90.0) return latCentrica;
  return std::atan(std::tan(latCentrica * kGrado) / (b * b)) / kGrado;
}

bool PixelALonLat(const GeometriaDisco& g, double x, double y, PuntoDisco& p) {
  const Vista v = HazVista(g);
  double u, w;
  ImagenAVista(g, x, y, u, w);
  // Body point A + t * observer on the spheroid x^2 + y^2 + q z^2 = 1: the root nearer the
  // observer.
  const Vec a{u * v.derecha.x + w * v.norte.x, u * v.derecha.y + w * v.norte.y,
              u * v.derecha.z + w * v.norte.z};
  const Vec& o = v.observador;
  const double c2 = o.x * o.x + o.y * o.y + v.q * o.z * o.z;
  const double c1 = 2.0 * (a.x * o.x + a.y * o.y + v.q * a.z * o.z);
  const double c0 = a.x * a.x + a.y * a.y + v.q * a.z * a.z - 1.0;
  const double disc = c1 * c1 - 4.0 * c2 * c0;
  if (disc < 0.0) return false;
  const double t = (-c1 + std::sqrt(disc)) / (2.0 * c2);
  const Vec s{a.x + t * o.x, a.y + t * o.y, a.z + t * o.z};
  p.x = x;
  p.y = y;
  p.lon = Normaliza360(g.meridianoCentral - std::atan2(s.y, s.x) / kGrado);
  p.lat = std::atan2(v.q * s.z, std::hypot(s.x, s.y)) / kGrado;
  Cosenos(g, v, s, p);
  return true;
}

bool LonLatAPixel(const GeometriaDisco& g, double lon, double lat, PuntoDisco& p) {
  const Vista v = HazVista(g);
  const double latC = LatitudCentrica(lat, g.achatamiento);
  const Vec d = Direccion(g.meridianoCentral, lon, latC);
  const double r = 1.0 / std::sqrt(d.x * d.x + d.y * d.y + v.q * d.z * d.z);
  const Vec s{d.x * r, d.y * r, d.z * r};
  p.lon = Normaliza360(lon);
  p.lat = lat;
  Cosenos(g, v, s, p);
  VistaAImagen(g, Punto(s, v.derecha), Punto(s, v.norte), p.x, p.y);
  return p.mu > 0.0;
}

void SemiejesContorno(const GeometriaDisco& g, double& a, double& b) {
  const double d = g.latTierra * kGrado;
  const double bp = 1.0 - g.achatamiento;
  a = g.radio;
  b = g.radio * std::sqrt(bp * bp * std::cos(d) * std::cos(d) + std::sin(d) * std::sin(d));
}

void EstimaDisco(const ImagenPixeles& im, GeometriaDisco& g) {
  const auto& p = im.Pixeles();
  if (p.empty()) throw JError(12481, "0");
  const auto [mn, mx] = std::minmax_element(p.begin(), p.end());
  const double umbral = 0.5 * (static_cast<double>(*mn) + static_cast<double>(*mx));
  double sx = 0.0, sy = 0.0, n = 0.0;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] > umbral) {
      sx += static_cast<double>(i % im.Ancho());
      sy += static_cast<double>(i / im.Ancho());
      n += 1.0;
    }
  }
  const double radio = std::sqrt(n / std::numbers::pi);
  if (n == 0.0 || radio < kRadioMinimo) {
    throw JError(12481, std::to_string(static_cast<int>(std::lround(2.0 * radio))));
  }
  g.cx = sx / n;
  g.cy = sy / n;
  // The area is that of the apparent ellipse: a b = r^2.
  const double b = 1.0 - g.achatamiento;
  g.radio = radio / std::sqrt(std::max(b, 0.5));
}

AjusteLimbo AjustaLimbo(const ImagenPixeles& im, const GeometriaDisco& inicial,
                        const OpcionesLimbo& op) {
  CompruebaGeometria(inicial);
  if (inicial.radio < kRadioMinimo) {
    throw JError(12481, std::to_string(static_cast<int>(std::lround(2.0 * inicial.radio))));
  }
  AjusteLimbo r;
  GeometriaDisco g = inicial;
  const Vista v = HazVista(g);
  double a, b;
  SemiejesContorno(g, a, b);
  const double bSobreA = b / a;
  // The Sun's direction across the line of sight: the limb on the other side is the
  // terminator's. Near opposition the whole limb is used.
  const Vec sol = Direccion(g.meridianoCentral, g.lonSol, g.latSol);
  const double so = Punto(sol, v.observador);
  Vec haciaSol{sol.x - so * v.observador.x, sol.y - so * v.observador.y,
               sol.z - so * v.observador.z};
  const double seno = std::sqrt(Punto(haciaSol, haciaSol));
  const bool conFase = g.conSol && seno > kSenoFaseMinima;
  if (conFase) haciaSol = {haciaSol.x / seno, haciaSol.y / seno, haciaSol.z / seno};
  const int perfiles = std::max(op.perfiles, kPuntosMinimos);
  int cortados = 0;
  for (int i = 0; i < perfiles; ++i) {
    const double ang = 2.0 * std::numbers::pi * i / perfiles;
    // Outline point at this parametric angle and its outward normal in the view.
    const double u = std::cos(ang), w = bSobreA * std::sin(ang);
    double nu = std::cos(ang) * bSobreA, nw = std::sin(ang);
    const double m = std::hypot(nu, nw);
    nu /= m;
    nw /= m;
    const Vec normal{nu * v.derecha.x + nw * v.norte.x, nu * v.derecha.y + nw * v.norte.y,
                     nu * v.derecha.z + nw * v.norte.z};
    if (conFase && Punto(normal, haciaSol) < kLimboIluminado) continue;
    // The profile along the ray from the centre through the outline point.
    double x0, y0;
    VistaAImagen(g, u, w, x0, y0);
    const double largo = std::hypot(x0 - g.cx, y0 - g.cy);
    const double dx = (x0 - g.cx) / largo, dy = (y0 - g.cy) / largo;
    // Up to the margin past the expected edge or the image's border; a profile cut short near
    // the edge is one that reaches the border.
    const double fin = std::max((1.0 + kMargenPerfil) * largo, largo + 2.0 * kHolguraBorde);
    std::vector<double> perfil;
    double s = kInicioPerfil * largo;
    for (double val = 0.0; s <= fin && Bilineal(im, g.cx + dx * s, g.cy + dy * s, val);
         s += kPasoPerfil) {
      perfil.push_back(val);
    }
    if (s <= fin && s < largo + kHolguraBorde) {
      ++cortados;
      continue;
    }
    const int base = static_cast<int>(std::lround(kBaseGradiente / kPasoPerfil / 2.0));
    int mejor = -1;
    double maximo = 0.0;
    std::vector<double> grad(perfil.size(), 0.0);
    for (size_t k = base; k + base < perfil.size(); ++k) {
      grad[k] = perfil[k - base] - perfil[k + base];
      if (grad[k] > maximo) {
        maximo = grad[k];
        mejor = static_cast<int>(k);
      }
    }
    if (mejor <= base || mejor + base + 1 >= static_cast<int>(perfil.size())) continue;
    // Where the outer flank falls to a fraction of the peak, in samples from the start.
    const auto cruce = [&](double fraccion, double& pos) {
      size_t k = static_cast<size_t>(mejor);
      while (k + base < perfil.size() && grad[k] > fraccion * maximo) ++k;
      if (k + base >= perfil.size()) return false;
      pos = static_cast<double>(k) - 1.0 +
            (grad[k - 1] - fraccion * maximo) / (grad[k - 1] - grad[k]);
      return true;
    };
    double medio, alto;
    if (!cruce(0.5, medio) || !cruce(kNivelAlto, alto)) continue;
    // On a sharp image the pixel grid sets the flank, which ends a fixed distance past the
    // edge; on a blurred one the seeing does, and the edge is the centre of the Gaussian the
    // flank follows (its width from the half and 0.8 heights). Between the two, a blend.
    const double sigma = (medio - alto) * kPasoPerfil / (kAnchoMedio - kAnchoAlto);
    const double t = std::clamp((sigma - kSigmaNitido) / (kSigmaBorroso - kSigmaNitido), 0.0, 1.0);
    const double pos =
        medio * kPasoPerfil - ((1.0 - t) * kDesplazamientoFlanco + t * kAnchoMedio * sigma);
    s = kInicioPerfil * largo + pos;
    r.puntos.push_back({g.cx + dx * s, g.cy + dy * s, 0.0, false});
  }
  if (static_cast<int>(r.puntos.size()) < kPuntosMinimos) {
    if (cortados > 0) throw JError(12480);
    throw JError(12483, std::to_string(r.puntos.size()));
  }
  for (int ronda = 0; ronda < kRondasRechazo; ++ronda) {
    GaussNewton(g, bSobreA, r.puntos, op.ajustaAngulo);
    double s2 = 0.0;
    int n = 0;
    for (PuntoLimbo& p : r.puntos) {
      p.residuo = Residuo(g, bSobreA, p.x, p.y);
      if (!p.rechazado) {
        s2 += p.residuo * p.residuo;
        ++n;
      }
    }
    r.rms = n > 0 ? std::sqrt(s2 / n) : 0.0;
    const double limite = op.kappa * std::max(r.rms, kRmsMinimoRechazo);
    bool cambia = false;
    for (PuntoLimbo& p : r.puntos) {
      const bool fuera = std::fabs(p.residuo) > limite;
      if (fuera != p.rechazado) {
        p.rechazado = fuera;
        cambia = true;
      }
    }
    if (!cambia) break;
  }
  r.usados = static_cast<int>(std::count_if(r.puntos.begin(), r.puntos.end(),
                                            [](const PuntoLimbo& p) { return !p.rechazado; }));
  if (r.usados < kPuntosMinimos) throw JError(12483, std::to_string(r.usados));
  // The fitted outline must lie inside the image.
  double ea, eb;
  SemiejesContorno(g, ea, eb);
  if (g.cx - ea < 0.0 || g.cy - ea < 0.0 || g.cx + ea > im.Ancho() - 1.0 ||
      g.cy + ea > im.Alto() - 1.0) {
    bool toca = false;
    for (int i = 0; i < 360 && !toca; ++i) {
      double x, y;
      VistaAImagen(g, std::cos(i * kGrado), eb / ea * std::sin(i * kGrado), x, y);
      toca = x < 0.0 || y < 0.0 || x > im.Ancho() - 1.0 || y > im.Alto() - 1.0;
    }
    if (toca) throw JError(12480);
  }
  g.anguloPolo = std::fmod(g.anguloPolo, 360.0);
  r.geometria = g;
  return r;
}

double FactorMinnaert(double mu0, double mu, double k) {
  if (!(mu0 > 0.0 && mu > 0.0)) return 0.0;
  return 1.0 / (std::pow(mu0, k) * std::pow(mu, k - 1.0));
}

namespace {

int ColumnasPlanisferio(const OpcionesMapa& op) {
  return static_cast<int>(std::lround(180.0 / op.resolucion));
}

void CompruebaMapa(const OpcionesMapa& op) {
  if (!(op.resolucion >= kResolucionMinimaMapa && op.resolucion <= kResolucionMaximaMapa)) {
    throw JError(12484, "resolucion", std::to_string(op.resolucion));
  }
  if (op.lado < 0 || op.lado > kLadoMaximoMapa) {
    throw JError(12484, "lado", std::to_string(op.lado));
  }
  if (op.minnaert && !(op.k >= 0.0 && op.k <= 3.0)) {
    throw JError(12484, "k", std::to_string(op.k));
  }
}

// A cut's value with the Minnaert correction when asked; 0 too near the limb or terminator.
double Corregido(const OpcionesMapa& op, const PuntoDisco& p, double v) {
  if (!op.minnaert) return v;
  if (p.mu < op.muMinimo || p.mu0 < op.muMinimo) return 0.0;
  return v * FactorMinnaert(p.mu0, p.mu, op.k);
}

double Muestra(const ImagenPixeles& im, const OpcionesMapa& op, const PuntoDisco& p) {
  if (p.mu < op.muMinimo || p.mu0 < op.muMinimo) return kVacio;
  double v = 0.0;
  if (!Bilineal(im, p.x, p.y, v)) return kVacio;
  if (op.minnaert) v *= FactorMinnaert(p.mu0, p.mu, op.k);
  return v;
}

// The map's rows are laid out as the disc's are shown: reversed when they grow upward.
template <class F>
void LlenaMapa(const ImagenObservacion& im, bool filasArriba, int ancho, int alto,
               Progreso* progreso, ImagenObservacion& salida, int tipo, F pixel) {
  std::vector<int16_t> px(static_cast<size_t>(ancho) * alto, kVacio);
  ParaBandas(alto, progreso, [&](long, long desde, long hasta) {
    for (long f = desde; f < hasta; ++f) {
      const long destino = filasArriba ? alto - 1 - f : f;
      for (int c = 0; c < ancho; ++c) {
        PuntoDisco p;
        if (pixel(c + 0.0, f + 0.0, p)) px[destino * ancho + c] = APixel(pixel.Valor(p));
      }
    }
  });
  salida.CopiaDatos(im);
  salida.CambiaPixeles(ancho, alto, std::move(px));
  salida.CambiaTipoObjeto(tipo);
}

}  // namespace

bool PixelPlanisferio(const GeometriaDisco& g, const OpcionesMapa& op, double col, double fila,
                      PuntoDisco& p) {
  const double lon = g.meridianoCentral + 90.0 - (col + 0.5) * op.resolucion;
  const double lat = 90.0 - (fila + 0.5) * op.resolucion;
  return LonLatAPixel(g, lon, lat, p);
}

void LonLatAPlanisferio(const OpcionesMapa& op, double cm, double lon, double lat, double& col,
                        double& fila) {
  double d = std::remainder(lon - cm, 360.0);
  col = (90.0 - d) / op.resolucion - 0.5;
  fila = (90.0 - lat) / op.resolucion - 0.5;
}

bool PixelPolar(const GeometriaDisco& g, const OpcionesMapa& op, int lado, double col, double fila,
                PuntoDisco& p) {
  const double c = 0.5 * lado;
  const double u = (col + 0.5 - c) / c, w = (fila + 0.5 - c) / c;
  const double rho = std::hypot(u, w);
  if (rho > 1.0) return false;
  // Colatitude from the distance to the pole.
  const double colat = op.estereografica ? 2.0 * std::atan(rho) / kGrado : std::asin(rho) / kGrado;
  const double latC = op.sur ? colat - 90.0 : 90.0 - colat;
  // The central meridian points down; longitudes grow clockwise about the north pole as seen
  // from above it, counter-clockwise about the south pole.
  const double az = std::atan2(u, w) / kGrado;
  const double lon = g.meridianoCentral + (op.sur ? -az : az);
  return LonLatAPixel(g, lon, LatitudGrafica(latC, g.achatamiento), p);
}

void LonLatAPolar(const OpcionesMapa& op, int lado, double cm, double lon, double lat, double& col,
                  double& fila) {
  // lat is planetocentric: the map's radius measures it.
  const double colat = (op.sur ? lat + 90.0 : 90.0 - lat) * kGrado;
  const double rho = op.estereografica ? std::tan(colat / 2.0) : std::sin(colat);
  const double az = (op.sur ? -(lon - cm) : (lon - cm)) * kGrado;
  const double c = 0.5 * lado;
  col = c + c * rho * std::sin(az) - 0.5;
  fila = c + c * rho * std::cos(az) - 0.5;
}

void Planisferio(const ImagenObservacion& im, const GeometriaDisco& g, const OpcionesMapa& op,
                 ImagenObservacion& salida, Progreso* progreso) {
  CompruebaGeometria(g);
  CompruebaMapa(op);
  const int n = ColumnasPlanisferio(op);
  int tipo = DiscoAPlanisferio(im.TipoObjeto());
  struct Pixel {
    const ImagenObservacion& im;
    const GeometriaDisco& g;
    const OpcionesMapa& op;
    bool operator()(double c, double f, PuntoDisco& p) const {
      return PixelPlanisferio(g, op, c, f, p);
    }
    double Valor(const PuntoDisco& p) const { return Muestra(im, op, p); }
  };
  LlenaMapa(im, g.filasArriba, n, n, progreso, salida, tipo, Pixel{im, g, op});
}

void ProyeccionPolar(const ImagenObservacion& im, const GeometriaDisco& g, const OpcionesMapa& op,
                     ImagenObservacion& salida, Progreso* progreso) {
  CompruebaGeometria(g);
  CompruebaMapa(op);
  const int lado = op.lado > 0 ? op.lado
                               : std::min(kLadoMaximoMapa,
                                          std::max(1, 2 * static_cast<int>(std::lround(g.radio))));
  int tipo = DiscoAProyeccionPolar(im.TipoObjeto());
  struct Pixel {
    const ImagenObservacion& im;
    const GeometriaDisco& g;
    const OpcionesMapa& op;
    int lado;
    bool operator()(double c, double f, PuntoDisco& p) const {
      return PixelPolar(g, op, lado, c, f, p);
    }
    double Valor(const PuntoDisco& p) const { return Muestra(im, op, p); }
  };
  LlenaMapa(im, g.filasArriba, lado, lado, progreso, salida, tipo, Pixel{im, g, op, lado});
}

std::vector<MuestraCorte> CorteFotometrico(const ImagenPixeles& im, const GeometriaDisco& g,
                                           TipoCorte tipo, const OpcionesMapa& op, double x1,
                                           double y1, double x2, double y2) {
  CompruebaGeometria(g);
  CompruebaMapa(op);
  std::vector<MuestraCorte> r;
  if (tipo != TipoCorte::kLinea) {
    // Along the meridian or the equator, about one pixel a step.
    const double paso = 1.0 / (g.radio * kGrado);
    const long n = static_cast<long>(std::ceil(180.0 / paso));
    double distancia = 0.0, xa = 0.0, ya = 0.0;
    bool previo = false;
    for (long i = 0; i <= n; ++i) {
      const double t = 90.0 - 180.0 * i / n;
      PuntoDisco p;
      const bool visible = tipo == TipoCorte::kMeridiano
                               ? LonLatAPixel(g, g.meridianoCentral, t, p)
                               : LonLatAPixel(g, g.meridianoCentral + t, 0.0, p);
      double v = 0.0;
      if (!visible || !Bilineal(im, p.x, p.y, v)) {
        previo = false;
        continue;
      }
      if (previo) distancia += std::hypot(p.x - xa, p.y - ya);
      xa = p.x;
      ya = p.y;
      previo = true;
      MuestraCorte m;
      m.distancia = distancia;
      m.x = p.x;
      m.y = p.y;
      m.lon = p.lon;
      m.latCentrica = LatitudCentrica(p.lat, g.achatamiento);
      m.valor = v;
      m.corregido = Corregido(op, p, v);
      r.push_back(m);
    }
    return r;
  }
  const double largo = std::hypot(x2 - x1, y2 - y1);
  if (!(largo <= kLargoMaximoCorte)) throw JError(12484, "linea", std::to_string(largo));
  const long n = static_cast<long>(std::floor(largo));
  for (long i = 0; i <= n; ++i) {
    const double t = largo > 0.0 ? i / largo : 0.0;
    const double x = x1 + t * (x2 - x1), y = y1 + t * (y2 - y1);
    PuntoDisco p;
    if (!PixelALonLat(g, x, y, p)) continue;
    double v = 0.0;
    if (!Bilineal(im, x, y, v)) continue;
    MuestraCorte m;
    m.distancia = static_cast<double>(i);
    m.x = x;
    m.y = y;
    m.lon = p.lon;
    m.latCentrica = LatitudCentrica(p.lat, g.achatamiento);
    m.valor = v;
    m.corregido = Corregido(op, p, v);
    r.push_back(m);
  }
  return r;
}

}  // namespace orva
