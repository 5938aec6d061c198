// Solar disc analysis.
#include "solar/Sol.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "base/Cadenas.h"
#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "core/Progreso.h"

namespace orva {

namespace {

constexpr const char* kSeccion = "PREFANASOL";
constexpr int kMaxZonas = 1000;
constexpr int kRadiales = 360;            // radial profiles across the limb
constexpr double kPaso = 0.1;             // sampling step along a profile (px)
constexpr double kMediaVentana = 1.5;     // half width of the edge window on a profile (px)
constexpr double kFraccionUmbral = 0.25;  // threshold between sky and disc
constexpr double kPercentilAlto = 0.99;
constexpr long kPixelesMinimos = 20;
constexpr double kMargenLimbo = 2.0;  // px kept off the limb by the zones
constexpr double kMargenVenus = 2.0;  // px around Venus kept out of the profile and ring
constexpr double kUmbralVenus = 0.5;  // Venus's pixels: below this fraction of the law
constexpr double kRadioVenusMinimo = 1.5;
constexpr double kFraccionInterior = 0.6;  // default interior aperture (of Venus's radius)
constexpr double kFactorAnillo = 2.0;      // default ring's outer radius (of Venus's radius)
constexpr int kPuntosMinimos = 8;
constexpr int kIteracionesAjuste = 20;
constexpr int kRondasRechazo = 3;
constexpr double kSigmasRechazo = 3.0;
constexpr double kDefectoExtra = 0.5;
constexpr double kMedidaMaxima = 1e6;  // px (or arcsec/px): beyond any image
constexpr double kExtraMaximo = 100;   // solar radii
// A disc's limb: edge points on a quarter of the rays at least, scattered by little about the
// circle (a galaxy or a star field gives neither).
constexpr int kPuntosLimboMinimos = kRadiales / 4;
constexpr double kRmsLimbo = 1.5;           // px
constexpr double kRmsLimboRelativo = 0.01;  // of the radius
// Extreme-ultraviolet and X-ray frames: the thin corona over the opaque disc is brightest just
// above the limb, the disc itself patchy. There the limb is the ridge of that bright ring, each
// ray's brightest point near it (rays averaged with their neighbours against the active regions).
constexpr double kVentanaAnillo = 0.15;   // the ridge searched within this fraction of the radius
constexpr int kAbanicoAnillo = 5;         // neighbouring rays averaged on each side
constexpr int kPasadasAnillo = 4;         // ridge points and circle fit, each from the last centre
constexpr double kRmsAnillo = 0.05;       // of the radius: the ridge's scatter about the circle
constexpr double kFraccionMitad = 0.5;    // the ring's outer edge: the mean falls below half
constexpr double kInteriorAnillo = 0.7;   // the ridge: brightest between this fraction and the edge
constexpr double kCentroDisco = 0.5;      // the disc's middle, fainter than the ridge (of radius)
constexpr double kRadioAnilloMinimo = 4;  // px

void CompruebaCancelado(Progreso& progreso) {
  if (progreso.Cancelado()) throw JError(11011);
}

// Bilinear value at a real position; NaN outside the pixel centres.
double Valor(const ImagenPixeles& im, double x, double y) {
  const long w = im.Ancho(), h = im.Alto();
  if (!(x >= 0 && y >= 0 && x <= w - 1 && y <= h - 1)) return std::nan("");
  const long x0 = std::min(static_cast<long>(x), w - 2 < 0 ? 0 : w - 2);
  const long y0 = std::min(static_cast<long>(y), h - 2 < 0 ? 0 : h - 2);
  const long x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
  const double fx = x - x0, fy = y - y0;
  const double a = im.Pixel(x0, y0), b = im.Pixel(x1, y0);
  const double c = im.Pixel(x0, y1), d = im.Pixel(x1, y1);
  const double arriba = a * (1 - fx) + b * fx, abajo = c * (1 - fx) + d * fx;
  return arriba * (1 - fy) + abajo * fy;
}

// Solves the n x n system a x = b in place (partial pivoting); false when singular.
template <size_t N>
bool Resuelve(std::array<std::array<double, N>, N> a, std::array<double, N>& b) {
  for (size_t k = 0; k < N; ++k) {
    size_t piv = k;
    for (size_t i = k + 1; i < N; ++i)
      if (std::fabs(a[i][k]) > std::fabs(a[piv][k])) piv = i;
    if (!(std::fabs(a[piv][k]) > 1e-300)) return false;
    std::swap(a[k], a[piv]);
    std::swap(b[k], b[piv]);
    for (size_t i = k + 1; i < N; ++i) {
      const double f = a[i][k] / a[k][k];
      for (size_t j = k; j < N; ++j) a[i][j] -= f * a[k][j];
      b[i] -= f * b[k];
    }
  }
  for (size_t k = N; k-- > 0;) {
    double s = b[k];
    for (size_t j = k + 1; j < N; ++j) s -= a[k][j] * b[j];
    b[k] = s / a[k][k];
  }
  return true;
}

// The geometric circle fit of the points flagged in `usa`, from a starting circle.
bool AjusteGeometrico(const std::vector<double>& xs, const std::vector<double>& ys,
                      const std::vector<char>& usa, double radioFijo, Circulo& c) {
  for (int it = 0; it < kIteracionesAjuste; ++it) {
    std::array<std::array<double, 3>, 3> m{};
    std::array<double, 3> v{};
    for (size_t i = 0; i < xs.size(); ++i) {
      if (!usa[i]) continue;
      const double dx = xs[i] - c.x, dy = ys[i] - c.y, d = std::hypot(dx, dy);
      if (!(d > 0)) continue;
      const std::array<double, 3> j = {-dx / d, -dy / d, -1.0};
      const double r = d - c.radio;
      for (size_t a = 0; a < 3; ++a) {
        for (size_t b = 0; b < 3; ++b) m[a][b] += j[a] * j[b];
        v[a] -= j[a] * r;
      }
    }
    if (radioFijo > 0) {
      std::array<std::array<double, 2>, 2> m2 = {{{m[0][0], m[0][1]}, {m[1][0], m[1][1]}}};
      std::array<double, 2> v2 = {v[0], v[1]};
      if (!Resuelve(m2, v2)) return false;
      c.x += v2[0];
      c.y += v2[1];
      if (std::hypot(v2[0], v2[1]) < 1e-9) break;
    } else {
      if (!Resuelve(m, v)) return false;
      c.x += v[0];
      c.y += v[1];
      c.radio += v[2];
      if (std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]) < 1e-9) break;
    }
  }
  return std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.radio) && c.radio > 0;
}

// The centroid of the steepest edge (falling when signo < 0) on a profile sampled every kPaso
// from s0; the window of +-kMediaVentana around the steepest step. NaN when there is no edge.
double Borde(const std::vector<double>& perfil, double s0, int signo, double saltoMinimo) {
  if (perfil.size() < 3) return std::nan("");
  size_t mejor = 0;
  double extremo = 0;
  for (size_t i = 0; i + 1 < perfil.size(); ++i) {
    const double d = signo * (perfil[i + 1] - perfil[i]);
    if (d > extremo) {
      extremo = d;
      mejor = i;
    }
  }
  const long media = std::lround(kMediaVentana / kPaso);
  const long desde = std::max(0L, static_cast<long>(mejor) - media);
  const long hasta =
      std::min(static_cast<long>(perfil.size()) - 2, static_cast<long>(mejor) + media);
  // The slope just inside the window (limb darkening) is taken off the steps.
  double base = 0;
  long nb = 0;
  for (long i = std::max(0L, desde - media); i < desde; ++i, ++nb)
    base += signo * (perfil[static_cast<size_t>(i + 1)] - perfil[static_cast<size_t>(i)]);
  base = nb > 0 ? std::max(0.0, base / static_cast<double>(nb)) : 0;
  double suma = 0, momento = 0;
  for (long i = desde; i <= hasta; ++i) {
    const double d =
        signo * (perfil[static_cast<size_t>(i + 1)] - perfil[static_cast<size_t>(i)]) - base;
    if (d <= 0) continue;
    suma += d;
    momento += d * (s0 + (i + 0.5) * kPaso);
  }
  if (!(suma > saltoMinimo)) return std::nan("");
  return momento / suma;
}

// Edge points on kRadiales rays from (cx, cy) between radii sDesde and sHasta; valor(x, y) is
// the quantity profiled; points farther than limite from (lx, ly) are dropped.
template <class F>
void PuntosBorde(F valor, double cx, double cy, double sDesde, double sHasta, int signo,
                 double saltoMinimo, std::vector<double>& xs, std::vector<double>& ys) {
  xs.clear();
  ys.clear();
  const long n = std::lround((sHasta - sDesde) / kPaso) + 1;
  if (n < 3) return;
  std::vector<double> perfil;
  perfil.reserve(static_cast<size_t>(n));
  for (int k = 0; k < kRadiales; ++k) {
    const double ang = 2 * std::numbers::pi * k / kRadiales;
    const double ux = std::cos(ang), uy = std::sin(ang);
    // A ray that leaves the image (a disc filling the frame) is profiled up to its edge.
    perfil.clear();
    for (long i = 0; i < n; ++i) {
      const double s = sDesde + static_cast<double>(i) * kPaso;
      const double v = valor(cx + s * ux, cy + s * uy);
      if (!std::isfinite(v)) break;
      perfil.push_back(v);
    }
    const double s = Borde(perfil, sDesde, signo, saltoMinimo);
    if (!std::isfinite(s)) continue;
    xs.push_back(cx + s * ux);
    ys.push_back(cy + s * uy);
  }
}

double Percentil(const ImagenPixeles& im, double fraccion) {
  std::vector<long> cuenta(65536, 0);
  for (int16_t v : im.Pixeles()) ++cuenta[static_cast<size_t>(v + 32768)];
  const long objetivo = static_cast<long>(fraccion * static_cast<double>(im.NumPixeles()));
  long acumulado = 0;
  for (size_t i = 0; i < cuenta.size(); ++i) {
    acumulado += cuenta[i];
    if (acumulado > objetivo) return static_cast<double>(i) - 32768;
  }
  return 32767;
}

double MedianaBordes(const ImagenPixeles& im) {
  std::vector<int16_t> v;
  const long w = im.Ancho(), h = im.Alto();
  for (long x = 0; x < w; ++x) {
    v.push_back(im.Pixel(x, 0L));
    v.push_back(im.Pixel(x, h - 1));
  }
  for (long y = 1; y + 1 < h; ++y) {
    v.push_back(im.Pixel(0L, y));
    v.push_back(im.Pixel(w - 1, y));
  }
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// The sky: the median of the pixels beyond the corona's zones, else of the frame's border.
double Cielo(const ImagenPixeles& im, const Circulo& s, double extra) {
  std::vector<int16_t> v;
  const double lejos = s.radio * (1 + extra);
  for (long y = 0; y < static_cast<long>(im.Alto()); ++y)
    for (long x = 0; x < static_cast<long>(im.Ancho()); ++x)
      if (std::hypot(x - s.x, y - s.y) > lejos) v.push_back(im.Pixel(x, y));
  if (v.size() < static_cast<size_t>(kPixelesMinimos)) return MedianaBordes(im);
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// The mean of the pixels in rings of one pixel around (cx, cy), with their counts.
void PerfilAnillos(const ImagenPixeles& im, double cx, double cy, std::vector<double>& media,
                   std::vector<long>& cuenta) {
  const double w = static_cast<double>(im.Ancho()), h = static_cast<double>(im.Alto());
  const double lejos = std::hypot(std::max(cx, w - cx), std::max(cy, h - cy));
  const size_t n = static_cast<size_t>(std::ceil(lejos)) + 2;
  media.assign(n, 0.0);
  cuenta.assign(n, 0);
  for (long y = 0; y < static_cast<long>(im.Alto()); ++y) {
    for (long x = 0; x < static_cast<long>(im.Ancho()); ++x) {
      const size_t k = static_cast<size_t>(std::hypot(x - cx, y - cy));
      if (k >= n) continue;
      media[k] += im.Pixel(x, y);
      ++cuenta[k];
    }
  }
  for (size_t k = 0; k < n; ++k)
    if (cuenta[k] > 0) media[k] /= static_cast<double>(cuenta[k]);
}

// The radius of the bright ring around (cx, cy) from the mean profile: the brightest ring
// inside the ring's outer edge, brighter than the disc's middle; 0 when there is none.
double RadioAnillo(const ImagenPixeles& im, double cx, double cy, double fondo) {
  std::vector<double> media;
  std::vector<long> cuenta;
  PerfilAnillos(im, cx, cy, media, cuenta);
  const auto valido = [&](size_t k) { return cuenta[k] >= kPixelesMinimos; };
  double maximo = -HUGE_VAL;
  for (size_t k = 0; k < media.size(); ++k)
    if (valido(k)) maximo = std::max(maximo, media[k]);
  if (!(maximo - fondo > 1)) return 0;
  const double mitad = fondo + kFraccionMitad * (maximo - fondo);
  size_t borde = 0;
  for (size_t k = 0; k < media.size(); ++k)
    if (valido(k) && media[k] > mitad) borde = k;
  size_t cresta = borde;
  for (size_t k = static_cast<size_t>(kInteriorAnillo * static_cast<double>(borde)); k <= borde;
       ++k)
    if (valido(k) && media[k] > media[cresta]) cresta = k;
  const double radio = static_cast<double>(cresta) + 0.5;
  const size_t centro = static_cast<size_t>(kCentroDisco * radio);
  if (radio < kRadioAnilloMinimo || !valido(centro) || !(media[cresta] > media[centro])) return 0;
  return radio;
}

// The limb as the ridge of a bright ring (see kVentanaAnillo), from a rough centre; none when
// the frame shows no such ring.
std::optional<Circulo> LimboBrillante(const ImagenPixeles& im, double cx, double cy, double fondo) {
  Circulo c;
  c.x = cx;
  c.y = cy;
  c.radio = RadioAnillo(im, cx, cy, fondo);
  if (!(c.radio > 0)) return std::nullopt;
  std::vector<std::vector<double>> perfiles(kRadiales);
  std::vector<double> xs, ys, suma;
  for (int pasada = 0; pasada < kPasadasAnillo; ++pasada) {
    // The first pass, from the rough centre, looks twice as wide.
    const double ventana = (pasada == 0 ? 2 : 1) * kVentanaAnillo;
    const double desde = (1 - ventana) * c.radio;
    const long n = std::lround(2 * ventana * c.radio / kPaso) + 1;
    for (int k = 0; k < kRadiales; ++k) {
      const double ang = 2 * std::numbers::pi * k / kRadiales;
      const double ux = std::cos(ang), uy = std::sin(ang);
      std::vector<double>& perfil = perfiles[static_cast<size_t>(k)];
      perfil.clear();
      for (long i = 0; i < n; ++i) {
        const double s = desde + static_cast<double>(i) * kPaso;
        perfil.push_back(Valor(im, c.x + s * ux, c.y + s * uy));
      }
    }
    xs.clear();
    ys.clear();
    for (int k = 0; k < kRadiales; ++k) {
      // The ray and its neighbours summed where all are inside the frame.
      suma.assign(static_cast<size_t>(n), 0.0);
      for (int j = -kAbanicoAnillo; j <= kAbanicoAnillo; ++j) {
        const std::vector<double>& perfil =
            perfiles[static_cast<size_t>((k + j + kRadiales) % kRadiales)];
        for (size_t i = 0; i < suma.size(); ++i) suma[i] += perfil[i];
      }
      size_t mejor = suma.size();
      for (size_t i = 0; i < suma.size(); ++i) {
        if (!std::isfinite(suma[i])) continue;
        if (mejor == suma.size() || suma[i] > suma[mejor]) mejor = i;
      }
      // A ridge at the window's end is no ridge (or lies outside the frame).
      if (mejor == suma.size() || mejor == 0 || mejor + 1 == suma.size() ||
          !std::isfinite(suma[mejor + 1]))
        continue;
      const double ang = 2 * std::numbers::pi * k / kRadiales;
      const double s = desde + static_cast<double>(mejor) * kPaso;
      xs.push_back(c.x + s * std::cos(ang));
      ys.push_back(c.y + s * std::sin(ang));
    }
    if (static_cast<int>(xs.size()) < kPuntosLimboMinimos) return std::nullopt;
    c = AjustaCirculo(xs, ys);
  }
  if (c.puntos < kPuntosLimboMinimos || c.rms > kRmsAnillo * c.radio) return std::nullopt;
  c.anillo = true;
  return c;
}

// The bounding box of a circle clipped to the image.
struct Caja {
  long x0, y0, x1, y1;
};
Caja CajaDe(const ImagenPixeles& im, double cx, double cy, double r) {
  const auto lim = [](double v, long hi) {
    const double tope = static_cast<double>(std::max(0L, hi - 1));
    return static_cast<long>(std::isnan(v) ? 0.0 : std::clamp(std::floor(v), 0.0, tope));
  };
  return {lim(cx - r, im.Ancho()), lim(cy - r, im.Alto()), lim(cx + r + 1, im.Ancho()),
          lim(cy + r + 1, im.Alto())};
}

std::string TextoReal(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

// Settings that would make no sense (or no end) of the search raise 12386 with their name.
void CompruebaParametros(const ParametrosSol& p) {
  const std::pair<const char*, double> medidas[] = {{"RadioBusCentro", p.radioBusCentro},
                                                    {"RadioFotom", p.radioFotom},
                                                    {"RadioFotomIntVen", p.radioFotomIntVen},
                                                    {"TamVenus", p.tamVenus},
                                                    {"SolVenResolu", p.solVenResolu}};
  for (const auto& [clave, v] : medidas) {
    if (!(v >= 0 && v <= kMedidaMaxima)) throw JError(12386, clave, TextoReal(v));
  }
  if (!(p.solVenExtra > 0 && p.solVenExtra <= kExtraMaximo)) {
    throw JError(12386, "SolVenExtra", TextoReal(p.solVenExtra));
  }
}

double LeyEn(const LeyOscurecimiento& l, double mu) {
  return l.cuadratica ? l.i0Cuad * l.Cuadratica(mu) : l.i0Lineal * l.Lineal(mu);
}

double MuEn(const Circulo& s, double x, double y) {
  const double r = std::hypot(x - s.x, y - s.y) / s.radio;
  return r < 1 ? std::sqrt(1 - r * r) : 0;
}

}  // namespace

ParametrosSol LeeParametrosSol() {
  const Ajustes& c = AjustesActuales();
  auto real = [&c](const char* k, double defecto) {
    const std::string& v = c.Valor(kSeccion, k);
    return v.empty() ? defecto : LeeReal(v);
  };
  ParametrosSol p;
  p.radioBusCentro = real("RadioBusCentro", p.radioBusCentro);
  p.radioFotom = real("RadioFotom", p.radioFotom);
  p.radioFotomIntVen = real("RadioFotomIntVen", p.radioFotomIntVen);
  p.busquedaAutom = real("BusquedaAutom", 1) != 0;
  p.tamVenusFijo = real("TamVenusFijo", 0) != 0;
  p.tamVenus = real("TamVenus", p.tamVenus);
  p.numZonasSol = static_cast<int>(real("NumZonasSol", p.numZonasSol));
  p.numZonasCorona = static_cast<int>(real("NumZonasCorona", p.numZonasCorona));
  p.solVenResolu = real("SolVenResolu", p.solVenResolu);
  p.solVenExtra = real("SolVenExtra", p.solVenExtra);
  if (p.solVenExtra == 0) p.solVenExtra = kDefectoExtra;
  return p;
}

Circulo AjustaCirculo(const std::vector<double>& xs, const std::vector<double>& ys,
                      double radioFijo) {
  const size_t n = std::min(xs.size(), ys.size());
  if (n < 3) throw JError(12500);
  // Algebraic start: x^2 + y^2 + D x + E y + F = 0.
  std::array<std::array<double, 3>, 3> m{};
  std::array<double, 3> v{};
  double mx = 0, my = 0;
  for (size_t i = 0; i < n; ++i) {
    mx += xs[i];
    my += ys[i];
  }
  mx /= static_cast<double>(n);
  my /= static_cast<double>(n);
  for (size_t i = 0; i < n; ++i) {
    const double x = xs[i] - mx, y = ys[i] - my;
    const std::array<double, 3> f = {x, y, 1.0};
    const double t = -(x * x + y * y);
    for (size_t a = 0; a < 3; ++a) {
      for (size_t b = 0; b < 3; ++b) m[a][b] += f[a] * f[b];
      v[a] += f[a] * t;
    }
  }
  Circulo c;
  if (Resuelve(m, v)) {
    c.x = mx - v[0] / 2;
    c.y = my - v[1] / 2;
    c.radio = std::sqrt(std::max(0.0, v[0] * v[0] / 4 + v[1] * v[1] / 4 - v[2]));
  } else {
    c.x = mx;
    c.y = my;
  }
  if (radioFijo > 0) {
    c.radio = radioFijo;
    if (!std::isfinite(c.x) || std::hypot(c.x - mx, c.y - my) > 2 * radioFijo) {
      c.x = mx;
      c.y = my;
    }
  }
  if (!(c.radio > 0) || !std::isfinite(c.x) || !std::isfinite(c.y)) throw JError(12500);
  std::vector<char> usa(n, 1);
  for (int ronda = 0; ronda <= kRondasRechazo; ++ronda) {
    if (!AjusteGeometrico(xs, ys, usa, radioFijo, c)) throw JError(12500);
    double s2 = 0;
    int k = 0;
    for (size_t i = 0; i < n; ++i) {
      if (!usa[i]) continue;
      const double r = std::hypot(xs[i] - c.x, ys[i] - c.y) - c.radio;
      s2 += r * r;
      ++k;
    }
    c.puntos = k;
    c.rms = std::sqrt(s2 / std::max(1, k));
    bool cambia = false;
    for (size_t i = 0; i < n; ++i) {
      const double r = std::hypot(xs[i] - c.x, ys[i] - c.y) - c.radio;
      if (usa[i] && std::fabs(r) > kSigmasRechazo * c.rms && c.puntos > 3) {
        usa[i] = 0;
        cambia = true;
      }
    }
    if (!cambia) break;
  }
  return c;
}

namespace {

// The photospheric limb: the steepest fall on rays from a rough disc, fitted twice (the first
// fit corrects the centroid of a disc cut by the frame's edge); none when it is no clean circle.
std::optional<Circulo> LimboOscuro(const ImagenPixeles& im, Circulo c, double saltoMinimo) {
  std::vector<double> xs, ys;
  for (int pasada = 0; pasada < 2; ++pasada) {
    PuntosBorde([&im](double x, double y) { return Valor(im, x, y); }, c.x, c.y, 0.5 * c.radio,
                1.5 * c.radio, -1, saltoMinimo, xs, ys);
    if (static_cast<int>(xs.size()) < kPuntosMinimos) return std::nullopt;
    c = AjustaCirculo(xs, ys);
  }
  if (c.puntos < kPuntosLimboMinimos || c.rms > std::max(kRmsLimbo, kRmsLimboRelativo * c.radio))
    return std::nullopt;
  return c;
}

}  // namespace

Circulo BuscaDiscoSolar(const ImagenPixeles& im, const ParametrosSol& p,
                        std::optional<std::pair<double, double>> clic) {
  CompruebaParametros(p);
  if (im.Ancho() < 3 || im.Alto() < 3) throw JError(12501);
  const double fondo = MedianaBordes(im);
  const double alto = Percentil(im, kPercentilAlto);
  if (!(alto - fondo > 1)) throw JError(12501);
  const double umbral = fondo + kFraccionUmbral * (alto - fondo);
  const bool cerca = clic && p.radioBusCentro > 0;
  double sx = 0, sy = 0;
  long n = 0;
  for (long y = 0; y < static_cast<long>(im.Alto()); ++y) {
    for (long x = 0; x < static_cast<long>(im.Ancho()); ++x) {
      if (im.Pixel(x, y) <= umbral) continue;
      if (cerca && std::hypot(x - clic->first, y - clic->second) > p.radioBusCentro) continue;
      sx += static_cast<double>(x);
      sy += static_cast<double>(y);
      ++n;
    }
  }
  if (n < kPixelesMinimos) throw JError(12501);
  Circulo c;
  c.x = sx / static_cast<double>(n);
  c.y = sy / static_cast<double>(n);
  c.radio = std::sqrt(static_cast<double>(n) / std::numbers::pi);
  if (const std::optional<Circulo> limbo = LimboOscuro(im, c, kFraccionUmbral * (alto - fondo)))
    return *limbo;
  if (const std::optional<Circulo> limbo = LimboBrillante(im, c.x, c.y, fondo)) return *limbo;
  throw JError(12501);
}

void PerfilSolar(const ImagenPixeles& im, const ParametrosSol& p, ResultadoSol& r,
                 const Circulo* excluido) {
  CompruebaParametros(p);
  if (p.numZonasSol < 1 || p.numZonasSol > kMaxZonas)
    throw JError(12502, std::to_string(p.numZonasSol), std::to_string(kMaxZonas));
  if (p.numZonasCorona < 0 || p.numZonasCorona > kMaxZonas)
    throw JError(12502, std::to_string(p.numZonasCorona), std::to_string(kMaxZonas));
  const Circulo& s = r.sol;
  if (!(s.radio > kMargenLimbo)) throw JError(12504);
  const int ns = p.numZonasSol, nc = p.numZonasCorona;
  const double extra = p.solVenExtra;
  struct Suma {
    long n = 0;
    double i = 0, x = 0, x2 = 0;
  };
  std::vector<Suma> sumas(static_cast<size_t>(ns + nc));
  r.fondo = Cielo(im, s, extra);
  const double rDisco = (s.radio - kMargenLimbo) / s.radio;
  const double rCorona = (s.radio + kMargenLimbo) / s.radio;
  const Caja caja = CajaDe(im, s.x, s.y, s.radio * (1 + extra));
  for (long y = caja.y0; y <= caja.y1; ++y) {
    for (long x = caja.x0; x <= caja.x1; ++x) {
      if (excluido &&
          std::hypot(x - excluido->x, y - excluido->y) <= excluido->radio + kMargenVenus)
        continue;
      const double rr = std::hypot(x - s.x, y - s.y) / s.radio;
      const double v = im.Pixel(x, y) - r.fondo;
      if (rr <= rDisco) {
        const size_t k = std::min(static_cast<size_t>(rr * ns), static_cast<size_t>(ns - 1));
        const double xm = 1 - std::sqrt(1 - rr * rr);
        Suma& z = sumas[k];
        ++z.n;
        z.i += v;
        z.x += xm;
        z.x2 += xm * xm;
      } else if (nc > 0 && rr >= rCorona && rr < 1 + extra) {
        const size_t k =
            std::min(static_cast<size_t>((rr - 1) / extra * nc), static_cast<size_t>(nc - 1));
        Suma& z = sumas[static_cast<size_t>(ns) + k];
        ++z.n;
        z.i += v;
      }
    }
  }
  // The laws, weighted by pixel count: each zone's mean of (1 - mu) and (1 - mu)^2 makes the
  // fit exact for a law of that form however wide the zones.
  std::array<std::array<double, 2>, 2> m1{};
  std::array<double, 2> v1{};
  std::array<std::array<double, 3>, 3> m2{};
  std::array<double, 3> v2{};
  int conDatos = 0;
  for (int k = 0; k < ns; ++k) {
    const Suma& z = sumas[static_cast<size_t>(k)];
    if (z.n == 0) continue;
    ++conDatos;
    const double w = static_cast<double>(z.n);
    const std::array<double, 3> f = {1.0, z.x / w, z.x2 / w};
    const double i = z.i / w;
    for (size_t a = 0; a < 3; ++a) {
      for (size_t b = 0; b < 3; ++b) {
        m2[a][b] += w * f[a] * f[b];
        if (a < 2 && b < 2) m1[a][b] += w * f[a] * f[b];
      }
      v2[a] += w * f[a] * i;
      if (a < 2) v1[a] += w * f[a] * i;
    }
  }
  LeyOscurecimiento ley;
  if (conDatos >= 2 && Resuelve(m1, v1) && v1[0] != 0) {
    ley.i0Lineal = v1[0];
    ley.u = -v1[1] / v1[0];
  } else if (conDatos >= 1) {
    ley.i0Lineal = sumas[0].n ? sumas[0].i / static_cast<double>(sumas[0].n) : 0;
  }
  if (conDatos >= 3 && Resuelve(m2, v2) && v2[0] != 0) {
    ley.cuadratica = true;
    ley.i0Cuad = v2[0];
    ley.a = -v2[1] / v2[0];
    ley.b = -v2[2] / v2[0];
  }
  if (conDatos == 0) throw JError(12501);
  r.ley = ley;
  const double i0 = ley.cuadratica ? ley.i0Cuad : ley.i0Lineal;
  r.zonas.clear();
  for (int k = 0; k < ns + nc; ++k) {
    const Suma& z = sumas[static_cast<size_t>(k)];
    ZonaSol o;
    o.corona = k >= ns;
    if (o.corona) {
      o.rMin = 1 + extra * (k - ns) / nc;
      o.rMax = 1 + extra * (k - ns + 1) / nc;
    } else {
      o.rMin = static_cast<double>(k) / ns;
      o.rMax = static_cast<double>(k + 1) / ns;
    }
    o.pixeles = z.n;
    if (z.n > 0) {
      const double m = z.i / static_cast<double>(z.n);
      o.media = m + r.fondo;
      if (!o.corona) o.mu = 1 - z.x / static_cast<double>(z.n);
      o.relativa = i0 != 0 ? m / i0 : 0;
    }
    r.zonas.push_back(o);
  }
}

Venus BuscaVenus(const ImagenPixeles& im, const ParametrosSol& p, const ResultadoSol& sol,
                 std::optional<std::pair<double, double>> clic) {
  CompruebaParametros(p);
  const Circulo& s = sol.sol;
  if (!(s.radio > kMargenLimbo) || sol.zonas.empty()) throw JError(12504);
  const LeyOscurecimiento& ley = sol.ley;
  auto cociente = [&](double x, double y) {
    const double v = Valor(im, x, y) - sol.fondo;
    const double modelo = LeyEn(ley, MuEn(s, x, y));
    return modelo > 0 ? v / modelo : std::nan("");
  };
  // Dark pixels of the disc, grouped by 4-connection.
  const Caja caja = CajaDe(im, s.x, s.y, s.radio);
  const long w = caja.x1 - caja.x0 + 1, h = caja.y1 - caja.y0 + 1;
  std::vector<int> marca(static_cast<size_t>(w * h), 0);
  const double rDentro = s.radio - kMargenLimbo;
  for (long y = caja.y0; y <= caja.y1; ++y) {
    for (long x = caja.x0; x <= caja.x1; ++x) {
      if (std::hypot(x - s.x, y - s.y) > rDentro) continue;
      const double q = cociente(static_cast<double>(x), static_cast<double>(y));
      if (q < kUmbralVenus) marca[static_cast<size_t>((y - caja.y0) * w + (x - caja.x0))] = -1;
    }
  }
  struct Grupo {
    double sx = 0, sy = 0;
    long n = 0;
  };
  std::vector<Grupo> grupos;
  std::vector<long> pila;
  for (size_t i = 0; i < marca.size(); ++i) {
    if (marca[i] != -1) continue;
    grupos.emplace_back();
    Grupo& g = grupos.back();
    const int id = static_cast<int>(grupos.size());
    marca[i] = id;
    pila.assign(1, static_cast<long>(i));
    while (!pila.empty()) {
      const long j = pila.back();
      pila.pop_back();
      const long x = j % w, y = j / w;
      g.sx += static_cast<double>(x + caja.x0);
      g.sy += static_cast<double>(y + caja.y0);
      ++g.n;
      const std::array<std::pair<long, long>, 4> vecinos = {
          {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}};
      for (auto [vx, vy] : vecinos) {
        if (vx < 0 || vy < 0 || vx >= w || vy >= h) continue;
        const size_t k = static_cast<size_t>(vy * w + vx);
        if (marca[k] == -1) {
          marca[k] = id;
          pila.push_back(static_cast<long>(k));
        }
      }
    }
  }
  const Grupo* elegido = nullptr;
  for (const Grupo& g : grupos) {
    if (!elegido) {
      elegido = &g;
    } else if (clic) {
      const auto dist = [&](const Grupo& a) {
        return std::hypot(a.sx / a.n - clic->first, a.sy / a.n - clic->second);
      };
      if (dist(g) < dist(*elegido)) elegido = &g;
    } else if (g.n > elegido->n) {
      elegido = &g;
    }
  }
  if (!elegido) throw JError(12503);
  const double cx = elegido->sx / elegido->n, cy = elegido->sy / elegido->n;
  const double r0 = p.tamVenusFijo && p.tamVenus > 0
                        ? p.tamVenus / 2
                        : std::sqrt(static_cast<double>(elegido->n) / std::numbers::pi);
  if (r0 < kRadioVenusMinimo) throw JError(12503);
  if (r0 > s.radio) throw JError(12386, "TamVenus", TextoReal(p.tamVenus));
  // Edge points on the rising side of the dark disc, those on the Sun only.
  std::vector<double> xs, ys, xd, yd;
  PuntosBorde(cociente, cx, cy, 0.3 * r0, 2 * r0, 1, kUmbralVenus / 2, xs, ys);
  for (size_t i = 0; i < xs.size(); ++i) {
    if (std::hypot(xs[i] - s.x, ys[i] - s.y) < s.radio - 2 * kMargenLimbo) {
      xd.push_back(xs[i]);
      yd.push_back(ys[i]);
    }
  }
  if (static_cast<int>(xd.size()) < kPuntosMinimos) throw JError(12503);
  Venus v;
  v.disco = AjustaCirculo(xd, yd, p.tamVenusFijo && p.tamVenus > 0 ? p.tamVenus / 2 : 0);
  const Circulo& d = v.disco;
  v.dx = d.x - s.x;
  v.dy = d.y - s.y;
  v.distancia = std::hypot(v.dx, v.dy);
  v.distanciaRadios = v.distancia / s.radio;
  double pa = std::atan2(-v.dx, -v.dy) * 180 / std::numbers::pi;
  if (pa < 0) pa += 360;
  v.anguloPosicion = pa;
  // The interior aperture against the photosphere ring around the disc.
  const double rIn = p.radioFotomIntVen > 0 ? p.radioFotomIntVen : kFraccionInterior * d.radio;
  const double rA = d.radio + kMargenVenus;
  const double rB = p.radioFotom > rA ? p.radioFotom : std::max(kFactorAnillo * d.radio, rA + 1);
  v.radioInterior = rIn;
  v.radioAnillo = rB;
  double si = 0, si2 = 0, sf = 0, sf2 = 0;
  const Caja c2 = CajaDe(im, d.x, d.y, rB);
  for (long y = c2.y0; y <= c2.y1; ++y) {
    for (long x = c2.x0; x <= c2.x1; ++x) {
      const double dist = std::hypot(x - d.x, y - d.y);
      if (std::hypot(x - s.x, y - s.y) > rDentro) continue;
      const double val = im.Pixel(x, y);
      if (dist <= rIn) {
        si += val;
        si2 += val * val;
        ++v.pixelesInterior;
      } else if (dist >= rA && dist <= rB) {
        sf += val;
        sf2 += val * val;
        ++v.pixelesFotosfera;
      }
    }
  }
  auto media = [](double suma, double suma2, long n, double& m, double& desv) {
    if (n == 0) return;
    m = suma / static_cast<double>(n);
    desv = std::sqrt(std::max(0.0, suma2 / static_cast<double>(n) - m * m));
  };
  media(si, si2, v.pixelesInterior, v.mediaInterior, v.desvInterior);
  media(sf, sf2, v.pixelesFotosfera, v.mediaFotosfera, v.desvFotosfera);
  const double fotosfera = v.mediaFotosfera - sol.fondo;
  v.contraste = fotosfera != 0 ? (v.mediaInterior - sol.fondo) / fotosfera : 0;
  return v;
}

ResultadoSol AnalizaSol(const ImagenPixeles& im, const ParametrosSol& p, bool conVenus,
                        Progreso& progreso) {
  ResultadoSol r;
  r.sol = BuscaDiscoSolar(im, p);
  CompruebaCancelado(progreso);
  PerfilSolar(im, p, r);
  if (conVenus) {
    CompruebaCancelado(progreso);
    r.venus = BuscaVenus(im, p, r);
    PerfilSolar(im, p, r, &r.venus->disco);
  }
  return r;
}

std::string TablaSol(const ResultadoSol& r, const ParametrosSol& p) {
  std::string t;
  char b[320];
  std::snprintf(b, sizeof b, "# sol x=%.3f y=%.3f radio=%.3f puntos=%d rms=%.3f\n", r.sol.x,
                r.sol.y, r.sol.radio, r.sol.puntos, r.sol.rms);
  t += b;
  std::snprintf(b, sizeof b, "# fondo %.3f ley lineal I0=%.3f u=%.5f\n", r.fondo, r.ley.i0Lineal,
                r.ley.u);
  t += b;
  if (r.ley.cuadratica) {
    std::snprintf(b, sizeof b, "# ley cuadratica I0=%.3f a=%.5f b=%.5f\n", r.ley.i0Cuad, r.ley.a,
                  r.ley.b);
    t += b;
  }
  if (r.venus) {
    const Venus& v = *r.venus;
    std::snprintf(b, sizeof b,
                  "# venus x=%.3f y=%.3f radio=%.3f dx=%.3f dy=%.3f dist=%.3f "
                  "dist_radios=%.5f ap=%.2f interior=%.3f fotosfera=%.3f contraste=%.5f\n",
                  v.disco.x, v.disco.y, v.disco.radio, v.dx, v.dy, v.distancia, v.distanciaRadios,
                  v.anguloPosicion, v.mediaInterior, v.mediaFotosfera, v.contraste);
    t += b;
  }
  if (p.solVenResolu > 0) {
    std::snprintf(b, sizeof b, "# escala %.4f arcsec/px radio=%.2f arcsec\n", p.solVenResolu,
                  r.sol.radio * p.solVenResolu);
    t += b;
  }
  t += "region,zona,r_min,r_max,mu,pixeles,media,relativa,ley_lineal,ley_cuadratica\n";
  int k = 0, kc = 0;
  for (const ZonaSol& z : r.zonas) {
    const int n = z.corona ? ++kc : ++k;
    if (z.corona) {
      std::snprintf(b, sizeof b, "corona,%d,%.4f,%.4f,,%ld,%.3f,%.5f,,\n", n, z.rMin, z.rMax,
                    z.pixeles, z.media, z.relativa);
    } else {
      char cuad[32] = "";
      if (r.ley.cuadratica) std::snprintf(cuad, sizeof cuad, "%.5f", r.ley.Cuadratica(z.mu));
      std::snprintf(b, sizeof b, "disco,%d,%.4f,%.4f,%.5f,%ld,%.3f,%.5f,%.5f,%s\n", n, z.rMin,
                    z.rMax, z.mu, z.pixeles, z.media, z.relativa, r.ley.Lineal(z.mu), cuad);
    }
    t += b;
  }
  return t;
}

void GuardaTablaSol(const std::string& archivo, const ResultadoSol& r, const ParametrosSol& p) {
  EscribeArchivoSeguro(archivo, TablaSol(r, p));
}

std::vector<std::string> LineasSol(const ResultadoSol& r, const ParametrosSol& p) {
  std::vector<std::string> l;
  char b[256];
  std::snprintf(b, sizeof b, "Sol: centro (%.2f, %.2f) radio %.2f px", r.sol.x, r.sol.y,
                r.sol.radio);
  l.emplace_back(b);
  if (r.sol.anillo) l.push_back(Cadena(12580));
  if (p.solVenResolu > 0) {
    std::snprintf(b, sizeof b, "Radio solar %.1f\"", r.sol.radio * p.solVenResolu);
    l.emplace_back(b);
  }
  std::snprintf(b, sizeof b, "Ley lineal: u = %.4f", r.ley.u);
  l.emplace_back(b);
  if (r.ley.cuadratica) {
    std::snprintf(b, sizeof b, "Ley cuadrática: a = %.4f  b = %.4f", r.ley.a, r.ley.b);
    l.emplace_back(b);
  }
  if (r.venus) {
    const Venus& v = *r.venus;
    std::snprintf(b, sizeof b, "Venus: (%.2f, %.2f) radio %.2f px", v.disco.x, v.disco.y,
                  v.disco.radio);
    l.emplace_back(b);
    std::snprintf(b, sizeof b, "  dx %.2f dy %.2f px, %.4f radios, AP %.2f", v.dx, v.dy,
                  v.distanciaRadios, v.anguloPosicion);
    l.emplace_back(b);
    if (p.solVenResolu > 0) {
      std::snprintf(b, sizeof b, "  distancia %.2f\"", v.distancia * p.solVenResolu);
      l.emplace_back(b);
    }
    std::snprintf(b, sizeof b, "  interior %.1f / fotosfera %.1f = %.4f", v.mediaInterior,
                  v.mediaFotosfera, v.contraste);
    l.emplace_back(b);
  }
  return l;
}

}  // namespace orva
