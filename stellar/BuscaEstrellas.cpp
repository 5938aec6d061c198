// PCVISTA peak search and TASS matched-filter finder on variable-star images.
#include "stellar/BuscaEstrellas.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"
#include "stellar/Centroide.h"
#include "stellar/DatosVariables.h"

namespace orva {
namespace {

constexpr const char* kSeccionPCVista = "BuscaEstPCVista";

struct ClavePCVista {
  const char* clave;
  const char* defecto;
};
constexpr ClavePCVista kClavesPCVista[] = {
    {"NumSigmas", "3"},  {"MaxDistCentPico", "2"}, {"RadioCajaBusq", "7"}, {"NumMaxIter", "5"},
    {"FWHMMin", "2.0"},  {"FWHMMax", "4.5"},       {"RoundMin", "-1.0"},   {"RoundMax", "1.0"},
    {"SharpMin", "1.0"}, {"SharpMax", "5.0"},      {"VerLog", "1"},
};

// printf-style text for the log.
std::string Formato(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Formato(const char* fmt, ...) {
  char b[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(b, sizeof b, fmt, ap);
  va_end(ap);
  return b;
}

long Redondea(double v) {
  return static_cast<long>(v + 0.5);
}

std::string NombreImagen(const Imagen& im) {
  return im.nombreVentana.empty() ? im.NombreArchivo() : im.nombreVentana;
}

// Adds a measured star under the next number. Returns false when the name already exists
// (the search must then end), after logging it.
// Asks the progress object whether to stop at most once per interval: a desktop progress
// window pumps its events on every question, far too costly for every pixel. The first
// question is asked at once.
class SondeoCancelacion {
 public:
  explicit SondeoCancelacion(Progreso& p) : p_(p) {}
  bool Cancelado() {
    // Reading the clock costs as much as the test of a pixel: it is read every kLlamadas calls.
    if (preguntado_ && ++llamadas_ < kLlamadas) return false;
    llamadas_ = 0;
    const auto ahora = std::chrono::steady_clock::now();
    if (preguntado_ && ahora - ultimo_ < kIntervalo) return false;
    preguntado_ = true;
    ultimo_ = ahora;
    return p_.Cancelado() != 0;
  }

 private:
  static constexpr std::chrono::milliseconds kIntervalo{40};
  static constexpr unsigned kLlamadas = 1024;
  Progreso& p_;
  bool preguntado_ = false;
  unsigned llamadas_ = 0;
  std::chrono::steady_clock::time_point ultimo_{};
};

// The cancel question of a progress object without its bar, for the passes over the pixels that
// run in bands (core/Hilos.h) inside a search that reports its own progress, or none.
class SoloCancelacion : public ProgresoSilencioso {
 public:
  explicit SoloCancelacion(Progreso& p) : p_(p) {}
  int Cancelado() override { return p_.Cancelado(); }

 private:
  Progreso& p_;
};

// Whether e is the cancel raised by a pass in bands.
bool EsCancelacion(const JError& e) {
  return e.Id() == 11011;
}

bool AnadeEstrellaNueva(DatosVariables& datos, int& contador, double x, double y,
                        const ResultadoFotometria& r, Progreso& progreso) {
  ObjetoEstelar e;
  e.nombre = std::to_string(contador++);
  e.x = x;
  e.y = y;
  e.AsignaFotometria(r);
  e.marca = 0;
  const std::string nombre = e.nombre;
  if (!datos.Anade(std::move(e))) {
    progreso.AnadirLinea(Formato("!!!El objeto %s ya existe.\n", nombre.c_str()));
    return false;
  }
  progreso.AnadirLinea(
      Formato("!!!Estrella nueva: %s, magnitud= %.3lf.\n", nombre.c_str(), r.magnitud));
  return true;
}

}  // namespace

void RegistraConfigPCVista() {
  Ajustes& c = AjustesActuales();
  for (const ClavePCVista& k : kClavesPCVista) c.Registra(kSeccionPCVista, k.clave, k.defecto);
}

ParametrosPCVista LeeParametrosPCVista() {
  RegistraConfigPCVista();
  const Ajustes& c = AjustesActuales();
  auto real = [&c](const char* k) { return LeeReal(c.Valor(kSeccionPCVista, k)); };
  auto entero = [&c](const char* k) { return LeeEntero(c.Valor(kSeccionPCVista, k)); };
  ParametrosPCVista p;
  p.numSigmas = real("NumSigmas");
  p.maxDistCentPico = entero("MaxDistCentPico");
  p.radioCajaBusq = entero("RadioCajaBusq");
  p.numMaxIter = entero("NumMaxIter");
  p.fwhmMin = real("FWHMMin");
  p.fwhmMax = real("FWHMMax");
  p.roundMin = real("RoundMin");
  p.roundMax = real("RoundMax");
  p.sharpMin = real("SharpMin");
  p.sharpMax = real("SharpMax");
  p.verLog = entero("VerLog");
  return p;
}

void GuardaParametrosPCVista(const ParametrosPCVista& p) {
  RegistraConfigPCVista();
  Ajustes& c = AjustesActuales();
  auto real = [&c](const char* k, double v) { c.Asigna(kSeccionPCVista, k, Formato("%g", v)); };
  auto entero = [&c](const char* k, int v) { c.Asigna(kSeccionPCVista, k, std::to_string(v)); };
  real("NumSigmas", p.numSigmas);
  entero("MaxDistCentPico", p.maxDistCentPico);
  entero("RadioCajaBusq", p.radioCajaBusq);
  entero("NumMaxIter", p.numMaxIter);
  real("FWHMMin", p.fwhmMin);
  real("FWHMMax", p.fwhmMax);
  real("RoundMin", p.roundMin);
  real("RoundMax", p.roundMax);
  real("SharpMin", p.sharpMin);
  real("SharpMax", p.sharpMax);
  entero("VerLog", p.verLog);
}

ParametrosTASS LeeParametrosTASS() {
  const Ajustes& c = AjustesActuales();
  ParametrosTASS p;
  p.limDetec = LeeReal(c.Valor("AnaVariables", "VARLIMDETEC"));
  p.relCielEst = LeeReal(c.Valor("AnaVariables", "VARRELCIELEST"));
  p.calcCentroide = LeeEntero(c.Valor("AnaVariables", "VARCALCCENT"));
  return p;
}

// ---------------------------------------------------------------------------------------------
// Shape measures.

CentroideMomentos CalculaCentroide(const ImagenPixeles& im, long x, long y, int r, double cielo) {
  const long w = im.Ancho(), h = im.Alto();
  auto valor = [&](long c, long f) -> double {
    if (c < 0 || f < 0 || c > w || f > h) return cielo;
    return im.Pixel(c, f);  // a column equal to the width or a row equal to the height: fuera
  };
  CentroideMomentos m;
  r = std::max(r, 0);
  double sw = 0, si = 0, sj = 0;
  for (long j = 1; j <= 2L * r + 1; ++j) {
    for (long i = 1; i <= 2L * r + 1; ++i) {
      const double p = std::max(valor(x - r + i - 1, y - r + j - 1) - cielo, 0.0);
      sw += p;
      si += static_cast<double>(i) * p;
      sj += static_cast<double>(j) * p;
    }
  }
  if (sw <= 0) {
    // Nothing above the sky: the box centre, with no spread.
    m.x = static_cast<double>(x);
    m.y = static_cast<double>(y);
    m.fwhm = CalculaFWHM(im, m.x, m.y, cielo);
    return m;
  }
  m.x = static_cast<double>(x - r) + (si / sw - 1.0);
  m.y = static_cast<double>(y - r) + (sj / sw - 1.0);
  // Second moments with 0-based box indices about the centroid's place in the box.
  const double ox = m.x - static_cast<double>(x - r), oy = m.y - static_cast<double>(y - r);
  double sx2 = 0, sy2 = 0;
  for (long j = 0; j <= 2L * r; ++j) {
    for (long i = 0; i <= 2L * r; ++i) {
      const double p = std::max(valor(x - r + i, y - r + j) - cielo, 0.0);
      sx2 += (static_cast<double>(i) - ox) * (static_cast<double>(i) - ox) * p;
      sy2 += (static_cast<double>(j) - oy) * (static_cast<double>(j) - oy) * p;
    }
  }
  m.tamX = sx2 / sw;
  m.tamY = sy2 / sw;
  m.fwhm = CalculaFWHM(im, m.x, m.y, cielo);
  return m;
}

double CalculaFWHM(const ImagenPixeles& im, double cx, double cy, double cielo) {
  const long w = im.Ancho(), h = im.Alto();
  if (!std::isfinite(cx) || !std::isfinite(cy) || std::fabs(cx) > 1e9 || std::fabs(cy) > 1e9) {
    return 0.0;
  }
  const long s = static_cast<long>(cielo);
  const long xc = Redondea(cx), yc = Redondea(cy);
  const double p = im.Pixel(xc, yc) - s;
  const double mitad = 0.5 * p;
  const long nivel = static_cast<long>(mitad);
  // Linear crossing of the level between the inner value a and the outer value b.
  auto fraccion = [nivel](double a, double b) {
    const double d1 = a - b, d2 = a - static_cast<double>(nivel);
    return d1 > d2 && d1 > 0 ? d2 / d1 : 0.0;
  };
  auto v = [&](long c, long f) { return static_cast<double>(im.Pixel(c, f) - s); };

  long f = yc;
  while (f > 0 && v(xc, f) >= mitad) --f;
  const double arriba = static_cast<double>(yc - f - 1) + fraccion(v(xc, f + 1), v(xc, f));
  f = yc;
  while (f < h && v(xc, f) >= mitad) ++f;
  const double abajo = static_cast<double>(f - yc - 1) + fraccion(v(xc, f - 1), v(xc, f));
  long c = xc;
  while (c > 0 && v(c, yc) >= mitad) --c;
  const double izquierda = static_cast<double>(xc - c - 1) + fraccion(v(c + 1, yc), v(c, yc));
  c = xc;
  while (c < w - 1 && v(c, yc) >= mitad) ++c;
  const double derecha = static_cast<double>(c - xc - 1) + fraccion(v(c - 1, yc), v(c, yc));
  return (arriba + abajo + izquierda + derecha) / 2.0;
}

double CalculaSharp(const ImagenPixeles& im, long x, long y, double cielo) {
  const double vecinos = (im.Pixel(x - 1, y) - cielo) + (im.Pixel(x, y - 1) - cielo) +
                         (im.Pixel(x + 1, y) - cielo) + (im.Pixel(x, y + 1) - cielo);
  return vecinos / (im.Pixel(x, y) - cielo);
}

int EsMaximoLocal(const ImagenPixeles& im, long x, long y, int r) {
  const int16_t v = im.Pixel(x, y);
  for (long f = y - r; f <= y + r; ++f) {
    for (long c = x - r; c <= x + r; ++c) {
      if (im.Pixel(c, f) > v) return 0;
    }
  }
  return 1;
}

// ---------------------------------------------------------------------------------------------
// PCVISTA.

int BuscaEstrellasPCVista(Imagen& imagen, DatosVariables& datos, const ParametrosPCVista& p,
                          const ParametrosFotometria& fot, Progreso& progreso) {
  const long w = imagen.Ancho(), h = imagen.Alto();
  const long r = std::max(p.radioCajaBusq, 0);
  const double cielo = imagen.ValorModa();
  const double umbral = cielo + p.numSigmas * imagen.Desviacion();
  std::vector<uint8_t> marcado(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  auto estaMarcado = [&](long c, long f) {
    return c >= 0 && f >= 0 && c < w && f < h && marcado[static_cast<size_t>(f * w + c)] != 0;
  };
  int contador = 1;
  bool anadidas = false;

  progreso.AnadirLinea(Formato("Buscando estrellas en Imagen %s\n", NombreImagen(imagen).c_str()));
  progreso.AnadirLinea(Formato("Cielo: %.2lf, Valor signif:: %.2lf\n", cielo, umbral));

  const std::vector<int16_t>& px = imagen.Pixeles();
  // The peaks: pixels inside the margin that reach the threshold and are local maxima, found in
  // bands of rows on the operations' threads; the search below walks them in reading order.
  std::vector<uint8_t> pico(marcado.size(), 0);
  SoloCancelacion soloCancelacion(progreso);
  try {
    ParaBandas(std::max(h - 2 * r, 0L), &soloCancelacion, [&](long, long desde, long hasta) {
      for (long y = r + desde; y < r + hasta; ++y) {
        for (long x = r; x < w - r; ++x) {
          const size_t i = static_cast<size_t>(y * w + x);
          pico[i] = !(px[i] < umbral) && EsMaximoLocal(imagen, x, y, static_cast<int>(r));
        }
      }
    });
  } catch (const JError& e) {
    if (!EsCancelacion(e)) throw;
    return 1;  // cancelled before any star
  }
  const double maxDist = p.maxDistCentPico;
  bool fin = false;
  SondeoCancelacion sondeo(progreso);
  for (long y = r; y < h - r && !fin; ++y) {
    if (h > 2 * r) progreso.Avance(static_cast<double>(y - r) / static_cast<double>(h - 2 * r));
    for (long x = r; x < w - r; ++x) {
      if (sondeo.Cancelado()) {
        fin = true;
        break;
      }
      const size_t i = static_cast<size_t>(y * w + x);
      if (marcado[i] || !pico[i]) continue;

      CentroideMomentos c = CalculaCentroide(imagen, x, y, static_cast<int>(r), cielo);
      if (std::fabs(c.x - x) >= maxDist || std::fabs(c.y - y) >= maxDist) {
        progreso.AnadirLinea(Formato("Pico encontrado en (%d, %d): Demasiado movimiento.\n",
                                     static_cast<int>(x), static_cast<int>(y)));
        continue;
      }
      progreso.AnadirLinea(Formato("***Candidata=(%6.2f,%6.2f), tam=(%.2f,%.2f), fwhm = %.3f\n",
                                   c.x, c.y, c.tamX, c.tamY, c.fwhm));

      // Re-centre on the nearest pixel of the centroid until it stays there.
      int n = 0;
      long xi = Redondea(c.x), yi = Redondea(c.y);
      c = CalculaCentroide(imagen, xi, yi, static_cast<int>(r), cielo);
      bool cerca = false;
      for (;;) {
        cerca = std::fabs(c.x - x) < maxDist && std::fabs(c.y - y) < maxDist;
        const int previo = n++;
        if (previo > p.numMaxIter || !cerca) break;
        const long nx = Redondea(c.x), ny = Redondea(c.y);
        if (nx == xi && ny == yi) break;
        xi = nx;
        yi = ny;
        c = CalculaCentroide(imagen, xi, yi, static_cast<int>(r), cielo);
      }
      progreso.AnadirLinea(Formato("+++Datos finales=(%6.2f,%6.2f), tam=(%.2f,%.2f), fwhm = %.3f\n",
                                   c.x, c.y, c.tamX, c.tamY, c.fwhm));

      if (n > p.numMaxIter) {
        progreso.AnadirLinea(
            Formato("Estrella rechazada por demasiadas iteraciones=(%6.2f,%6.2f), tam=(%.2f,%.2f), "
                    "fwhm = %.3f\n",
                    c.x, c.y, c.tamX, c.tamY, c.fwhm));
        continue;
      }
      if (!cerca) {
        progreso.AnadirLinea(
            Formato("Estrella rechazada por demasiado movimiento=(%6.2f,%6.2f), tam=(%.2f,%.2f), "
                    "fwhm = %.3f\n",
                    c.x, c.y, c.tamX, c.tamY, c.fwhm));
        continue;
      }
      if (estaMarcado(xi, yi)) {
        progreso.AnadirLinea("Rechazada por estar ya marcada.\n");
        continue;
      }
      if (c.fwhm > p.fwhmMax || c.fwhm < p.fwhmMin) {
        progreso.AnadirLinea(Formato(
            "Estrella rechazada por fwhm ilegal=(%6.2f,%6.2f), tam=(%.2f,%.2f), fwhm = %.3f\n", c.x,
            c.y, c.tamX, c.tamY, c.fwhm));
        continue;
      }
      // A star with no spread (one bright pixel) has no defined roundness or sharpness; the
      // negated comparisons reject those undefined values instead of passing them.
      const double redondez = 2.0 * std::fabs(c.tamX - c.tamY) / (c.tamX + c.tamY);
      if (!(redondez >= p.roundMin && redondez <= p.roundMax)) {
        progreso.AnadirLinea(Formato(
            "Estrella rechazada por no ser redonda=(%6.2f,%6.2f), tam=(%.2f,%.2f), fwhm = %.3f, "
            "round=%.2lf\n",
            c.x, c.y, c.tamX, c.tamY, c.fwhm, redondez));
        continue;
      }
      const double sharp = CalculaSharp(imagen, xi, yi, cielo);
      if (!(sharp >= p.sharpMin && sharp <= p.sharpMax)) {
        progreso.AnadirLinea(Formato(
            "Estrella rechazada por sharp ilegal=(%6.2f,%6.2f), tam=(%.2f,%.2f), fwhm = %.3f, "
            "sharp=%.2lf\n",
            c.x, c.y, c.tamX, c.tamY, c.fwhm, sharp));
        continue;
      }
      progreso.AnadirLinea(
          Formato("!!!Estrella VALIDA=(%6.2f,%6.2f), tam=(%.2f,%.2f), fwhm = %.3f, round=%.3f, "
                  "sharp=%.3f.\n",
                  c.x, c.y, c.tamX, c.tamY, c.fwhm, redondez, sharp));

      // Mark the square of half-size FWHM around the star; a side whose lower end falls
      // before the image marks nothing.
      const long f0 = static_cast<long>(yi - c.fwhm), f1 = static_cast<long>(yi + c.fwhm);
      const long c0 = static_cast<long>(xi - c.fwhm), c1 = static_cast<long>(xi + c.fwhm);
      if (f0 >= 0 && c0 >= 0) {
        for (long f = f0; f <= std::min(f1, h - 1); ++f) {
          for (long cc = c0; cc <= std::min(c1, w - 1); ++cc) {
            marcado[static_cast<size_t>(f * w + cc)] = 1;
          }
        }
      }

      c = CalculaCentroide(imagen, xi, yi, static_cast<int>(r), cielo);
      const ResultadoFotometria res = MideEstrella(imagen, c.x, c.y, fot);
      if (res.estado == 0) {
        progreso.AnadirLinea("!!!Estrella NO VALIDA en calculo de magnitud.\n");
        continue;
      }
      if (!AnadeEstrellaNueva(datos, contador, c.x, c.y, res, progreso)) {
        fin = true;
        break;
      }
      anadidas = true;
    }
  }
  // Only the modified mark: the pixels did not change.
  if (anadidas) imagen.ImagenPixeles::Modificada(1);
  return 1;
}

// ---------------------------------------------------------------------------------------------
// TASS: a matched filter for stars of the typical seeing.
//
// Sky and noise N: the median of all pixels, and 1.4826 x their median absolute deviation about
// it (both from a 65536-bin histogram), so stars and bright objects do not inflate them; N is at
// least 1/sqrt(12), the noise of integer quantisation, so a noiseless image still has a scale.
//
// Kernel: the profile of a faint star of peak 20 N, a circular Gaussian of sigma 1.25 px (FWHM
// 2.94 px), sampled on a square of half-size ceil(2.5 sigma) = 4 px, the square shrunk while it
// holds more than 100 pixels; the profile minus its mean, so that any flat background filters
// to zero. With K the zero-mean kernel and g the profile, filtering a star A g + B gives
// F = A sum(K^2): F / sum(K^2) is the least-squares amplitude of the star, and the noise of F
// is N sqrt(sum(K^2)). The smoothed image is F scaled by sqrt(npix) / sqrt(sum(K^2)), so its
// noise is N sqrt(npix) whatever the template's peak, and the threshold
// sqrt(npix) N VARLIMDETEC is a detection at VARLIMDETEC times the noise of the filter.
// Both the profile and the box are separable, so each pixel costs two short 1-D passes.
//
// Candidates: pixels at least the kernel half-size inside the borders whose smoothed value
// reaches the threshold and is the largest of the 5 x 5 square around them (on ties the first
// in reading order). A moment centroid over that square, weighted by the pixels above the
// background fitted with the amplitude, gives the position. The peak is the brightest pixel of
// the 3 x 3 square at the nearest pixel of the centroid, above the image's sky. For a star on
// clean sky peak / amplitude is near 1; a hot pixel has a peak far above the fitted amplitude,
// and an extended object or a bump on a bright background (nebula, galaxy, halo) sits well above
// the sky for the little star-shaped signal it holds: the candidate is kept when the ratio of
// sky-and-star to star lies within [1 / VARRELCIELEST, VARRELCIELEST]. Kept candidates go, in
// reading order, into a list that starts with room for 16 and doubles when full.

namespace {

constexpr double kSigmaNucleo = 1.25;
constexpr double kRadioNucleoSigmas = 2.5;
constexpr int kMaxPixelesNucleo = 100;
constexpr double kPicoPlantillaRuidos = 20.0;
// Half-size of the square in which a candidate must be the largest smoothed value: the smoothed
// image has one maximum per star, so two stars 3 px apart still give two candidates.
constexpr long kMitadMaximo = 2;

struct FondoRuido {
  double fondo = 0.0;  // median of all pixels
  double ruido = 0.0;
};

FondoRuido EstimaFondoRuido(const ImagenPixeles& im) {
  const std::vector<int64_t> h =
      CuentaValores(im.Pixeles().data(), im.Ancho(), im.Alto(), -32768, 32767);
  const int64_t n = static_cast<int64_t>(im.NumPixeles());
  const double minimo = 1.0 / std::sqrt(12.0);
  if (n == 0) return {0.0, minimo};
  int64_t acum = 0;
  int mediana = 0;
  for (int b = 0; b < 65536; ++b) {
    acum += h[static_cast<size_t>(b)];
    if (2 * acum >= n) {
      mediana = b;
      break;
    }
  }
  // The median of |v - median|: widen a window around the median until it holds half.
  acum = h[static_cast<size_t>(mediana)];
  int d = 0;
  while (2 * acum < n && d < 65536) {
    ++d;
    if (mediana - d >= 0) acum += h[static_cast<size_t>(mediana - d)];
    if (mediana + d < 65536) acum += h[static_cast<size_t>(mediana + d)];
  }
  return {static_cast<double>(mediana - 32768), std::max(1.4826 * d, minimo)};
}

}  // namespace

std::vector<CandidataTASS> BuscaCandidatasTASS(const ImagenPixeles& im, const ParametrosTASS& p,
                                               Progreso& progreso, double ruido) {
  std::vector<CandidataTASS> lista;
  lista.reserve(16);  // grows by doubling
  const long w = im.Ancho(), h = im.Alto();
  const FondoRuido fr = EstimaFondoRuido(im);
  const double n = ruido > 0 ? ruido : fr.ruido;

  int mitad = static_cast<int>(std::ceil(kRadioNucleoSigmas * kSigmaNucleo));
  while (mitad > 1 && (2 * mitad + 1) * (2 * mitad + 1) > kMaxPixelesNucleo) --mitad;
  const long m = mitad, lado = 2 * m + 1;
  if (w < lado || h < lado) return lista;
  const double npix = static_cast<double>(lado * lado);

  // The template of a star of peak 20 N, one axis (the profile is the product of two).
  const double pico = kPicoPlantillaRuidos * n;
  std::vector<double> g1(static_cast<size_t>(lado));
  for (long k = -m; k <= m; ++k) {
    g1[static_cast<size_t>(k + m)] = std::exp(-0.5 * k * k / (kSigmaNucleo * kSigmaNucleo));
  }
  double sumaG = 0, sumaG2 = 0;
  for (double a : g1) {
    for (double b : g1) {
      sumaG += pico * a * b;
      sumaG2 += pico * a * b * pico * a * b;
    }
  }
  const double mediaG = sumaG / npix;
  const double sumaK2 = sumaG2 - npix * mediaG * mediaG;
  const double escala = std::sqrt(npix) / std::sqrt(sumaK2);
  const double umbral = std::sqrt(npix) * n * p.limDetec;

  // Separable passes: rows then columns, for the profile sum G and the box sum S; F = G - mean(g)
  // S. Each pixel is computed on its own, in bands of rows on the operations' threads.
  const size_t total = static_cast<size_t>(w) * static_cast<size_t>(h);
  const std::vector<int16_t>& px = im.Pixeles();
  std::vector<float> filaG(total, 0.f), filaS(total, 0.f);
  ParaBandas(h, nullptr, [&](long, long desde, long hasta) {
    for (long y = desde; y < hasta; ++y) {
      const int16_t* fila = &px[static_cast<size_t>(y * w)];
      for (long x = m; x < w - m; ++x) {
        double sg = 0, ss = 0;
        for (long k = -m; k <= m; ++k) {
          const double v = fila[x + k];
          sg += g1[static_cast<size_t>(k + m)] * v;
          ss += v;
        }
        filaG[static_cast<size_t>(y * w + x)] = static_cast<float>(sg);
        filaS[static_cast<size_t>(y * w + x)] = static_cast<float>(ss);
      }
    }
  });
  std::vector<float> suav(total, 0.f);  // smoothed value, noise N sqrt(npix)
  SoloCancelacion soloCancelacion(progreso);
  try {
    ParaBandas(h - 2 * m, &soloCancelacion, [&](long, long desde, long hasta) {
      for (long y = m + desde; y < m + hasta; ++y) {
        for (long x = m; x < w - m; ++x) {
          double sg = 0, ss = 0;
          for (long k = -m; k <= m; ++k) {
            const size_t i = static_cast<size_t>((y + k) * w + x);
            sg += g1[static_cast<size_t>(k + m)] * filaG[i];
            ss += filaS[i];
          }
          suav[static_cast<size_t>(y * w + x)] =
              static_cast<float>((pico * sg - mediaG * ss) * escala);
        }
      }
    });
  } catch (const JError& e) {
    if (!EsCancelacion(e)) throw;
    return lista;  // cancelled before any candidate
  }
  filaG = {};
  filaS = {};

  // The candidates of each band of rows, in reading order; the bands' lists are joined in band
  // order. Smoothed values not computed (within m of a border) read 0, below any threshold.
  const long filas = h - 2 * m;
  std::vector<std::vector<CandidataTASS>> porBanda(static_cast<size_t>(NumBandas(filas)));
  std::vector<uint8_t> hecha(porBanda.size(), 0);
  auto buscaFila = [&](long y, std::vector<CandidataTASS>& halladas) {
    for (long x = m; x < w - m; ++x) {
      const size_t i = static_cast<size_t>(y * w + x);
      const float s = suav[i];
      if (!(s >= umbral)) continue;
      bool maximo = true;
      for (long f = y - kMitadMaximo; f <= y + kMitadMaximo && maximo; ++f) {
        for (long c = x - kMitadMaximo; c <= x + kMitadMaximo; ++c) {
          const float o = suav[static_cast<size_t>(f * w + c)];
          const bool antes = f < y || (f == y && c < x);
          if (o > s || (antes && o == s)) {
            maximo = false;
            break;
          }
        }
      }
      if (!maximo) continue;

      // The fitted amplitude and background, from the pixels of the square.
      double sv = 0, sgv = 0;
      for (long f = y - m; f <= y + m; ++f) {
        for (long c = x - m; c <= x + m; ++c) {
          const double v = px[static_cast<size_t>(f * w + c)];
          sv += v;
          sgv += g1[static_cast<size_t>(f - y + m)] * g1[static_cast<size_t>(c - x + m)] * v;
        }
      }
      const double a = (pico * sgv - mediaG * sv) / sumaK2;  // in units of the template's peak
      const double base = (sv - a * sumaG) / npix;
      double sw = 0, sx = 0, sy = 0;
      for (long f = y - kMitadMaximo; f <= y + kMitadMaximo; ++f) {
        for (long c = x - kMitadMaximo; c <= x + kMitadMaximo; ++c) {
          const double v = px[static_cast<size_t>(f * w + c)] - base;
          if (v <= 0) continue;
          sw += v;
          sx += v * static_cast<double>(c);
          sy += v * static_cast<double>(f);
        }
      }
      if (sw <= 0) continue;
      CandidataTASS cand;
      cand.x = sx / sw;
      cand.y = sy / sw;
      const long xc = Redondea(cand.x), yc = Redondea(cand.y);
      int brillo = -32768;
      for (long f = yc - 1; f <= yc + 1; ++f) {
        for (long c = xc - 1; c <= xc + 1; ++c) brillo = std::max<int>(brillo, im.Pixel(c, f));
      }
      cand.pico = brillo - fr.fondo;
      cand.amplitud = a * pico;
      cand.senal = s / (std::sqrt(npix) * n);
      if (!(cand.amplitud > 0)) continue;
      const double razon = cand.pico / cand.amplitud;
      if (!(razon >= 1.0 / p.relCielEst && razon <= p.relCielEst)) continue;
      halladas.push_back(cand);
    }
  };
  try {
    ParaBandas(filas, &soloCancelacion, [&](long banda, long desde, long hasta) {
      std::vector<CandidataTASS>& halladas = porBanda[static_cast<size_t>(banda)];
      for (long y = m + desde; y < m + hasta; ++y) buscaFila(y, halladas);
      hecha[static_cast<size_t>(banda)] = 1;
    });
  } catch (const JError& e) {
    if (!EsCancelacion(e)) throw;
    // A cancel keeps the candidates of the bands before the first one not searched.
  }
  for (size_t b = 0; b < porBanda.size() && hecha[b]; ++b) {
    for (const CandidataTASS& c : porBanda[b]) lista.push_back(c);
  }
  return lista;
}

int BuscaEstrellasTASS(Imagen& imagen, DatosVariables& datos, const ParametrosTASS& p,
                       const ParametrosFotometria& fot, Progreso& progreso) {
  progreso.AnadirLinea(Formato("Buscando estrellas en Imagen %s\n", NombreImagen(imagen).c_str()));
  const std::vector<CandidataTASS> candidatas = BuscaCandidatasTASS(imagen, p, progreso);
  int contador = 1, anadidas = 0;
  const ParametrosCentroide pc = LeeParametrosCentroide();
  for (const CandidataTASS& cand : candidatas) {
    if (progreso.Cancelado()) break;
    double x = cand.x, y = cand.y;
    if (p.calcCentroide == 1) {
      try {
        const ResultadoCentroide rc = CentroideEstrella(imagen, x, y, pc);
        x = rc.x;
        y = rc.y;
      } catch (const JError& e) {
        // The finder's own centroid stands.
        progreso.AnadirLinea(Formato("(%6.2f,%6.2f): %s\n", x, y, e.Mensaje().c_str()));
      }
    }
    const ResultadoFotometria res = MideEstrella(imagen, x, y, fot);
    if (res.estado == 0) {
      progreso.AnadirLinea("!!!Estrella NO VALIDA en calculo de magnitud.\n");
      continue;
    }
    if (!AnadeEstrellaNueva(datos, contador, x, y, res, progreso)) break;
    ++anadidas;
  }
  if (anadidas > 0) imagen.ImagenPixeles::Modificada(1);
  return anadidas;
}

int BuscaEstrellas(Imagen& imagen, MetodoBusqueda metodo, bool borrarExistentes,
                   Progreso& progreso) {
  if (imagen.TipoObjeto() != kVariable) throw JError(12074);  // 12074
  DatosVariables& datos = DatosVariablesDe(imagen);
  if (borrarExistentes) datos.BorraTodas();
  const size_t antes = datos.Estrellas().size();
  const bool abierta =
      progreso.Abrir(metodo == MetodoBusqueda::kPCVista ? "BUSCANDO ESTRELLAS PCVISTA"
                                                        : "BUSCANDO ESTRELLAS TASS") != 0;
  struct Cierre {
    Progreso& p;
    bool abierta;
    ~Cierre() {
      if (abierta) p.Cerrar();
    }
  } cierre{progreso, abierta};
  progreso.TextoArchivo(NombreImagen(imagen));
  progreso.TextoProceso("BUSCAR ESTRELLAS");
  const ParametrosFotometria fot = LeeParametrosFotometria();
  if (metodo == MetodoBusqueda::kPCVista) {
    BuscaEstrellasPCVista(imagen, datos, LeeParametrosPCVista(), fot, progreso);
  } else {
    BuscaEstrellasTASS(imagen, datos, LeeParametrosTASS(), fot, progreso);
  }
  return static_cast<int>(datos.Estrellas().size() - antes);
}

}  // namespace orva
