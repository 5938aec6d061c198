// Convolution and rank filters.
#include "processing/Filtros.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

#include <oneapi/tbb/scalable_allocator.h>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "base/Memoria.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "macro/Macro.h"
#include "processing/Comun.h"
#include "processing/Simd.h"

namespace orva {

namespace {

NucleoEntero Entero3(const char* nombre, std::initializer_list<int> v, int d) {
  NucleoEntero k;
  k.nombre = nombre;
  k.n = 3;
  k.divisor = d;
  int i = 0;
  for (int x : v) {
    k.En(i / 3, i % 3) = x;
    ++i;
  }
  return k;
}

const std::vector<NucleoEntero>& TablaEnteros() {
  static const std::vector<NucleoEntero> t = {
      Entero3("SUAV_1", {0, 1, 0, 1, 16, 1, 0, 1, 0}, 20),
      Entero3("SUAV_2", {1, 1, 1, 1, 12, 1, 1, 1, 1}, 20),
      Entero3("SUAV_3", {1, 1, 1, 1, 4, 1, 1, 1, 1}, 12),
      Entero3("MEDIA_CRUZ", {0, 1, 0, 1, 5, 1, 0, 1, 0}, 9),
      Entero3("REALCE_1", {-1, -1, -1, -1, 20, -1, -1, -1, -1}, 12),
      Entero3("REALCE_2", {-1, -1, -1, -1, 16, -1, -1, -1, -1}, 8),
      Entero3("REALCE_3", {0, -1, 0, -1, 5, -1, 0, -1, 0}, 1),
      Entero3("REALCE_4", {-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1),
      Entero3("LAPLAC_1", {0, -1, 0, -1, 4, -1, 0, -1, 0}, 1),
      Entero3("LAPLAC_2", {-1, -1, -1, -1, 8, -1, -1, -1, -1}, 1),
      Entero3("LAPLAC_3", {-1, -2, -1, -2, 12, -2, -1, -2, -1}, 1),
  };
  return t;
}

// A gradient kernel from its right half: rows from the top, columns from the centre outward;
// the centre column is 0 and the left half the negated mirror.
NucleoReal Gradiente(const char* nombre, int n, std::initializer_list<double> mitad) {
  NucleoReal k;
  k.nombre = nombre;
  k.n = n;
  const int h = (n - 1) / 2;
  int i = 0;
  for (double v : mitad) {
    const int fila = i / h, col = i % h + 1;
    k.En(fila, h + col) = v;
    k.En(fila, h - col) = -v;
    ++i;
  }
  return k;
}

const std::vector<NucleoReal>& TablaGradientes() {
  static const std::vector<NucleoReal> t = [] {
    NucleoReal roberts;
    roberts.nombre = "ROBERTS";
    roberts.n = 2;
    roberts.En(1, 2) = 1.0;
    roberts.En(2, 1) = -1.0;
    return std::vector<NucleoReal>{
        roberts,
        Gradiente("PREWITT", 3, {1, 1, 1}),
        Gradiente("SOBEL", 3, {1, 2, 1}),
        Gradiente("ISOTROPIC", 3, {1, 1.4142, 1}),
        Gradiente("STOCH_1_3", 3, {0.97, 1, 0.97}),
        Gradiente("STOCH_1_5", 5,
                  {0.836, 0.802, 0.897, 0.845, 1, 0.87, 0.897, 0.845, 0.836, 0.802}),
        Gradiente("STOCH_1_7", 7,
                  {0.719, 0.672, 0.641, 0.781, 0.719, 0.656, 0.875, 0.781, 0.688, 1,    0.813,
                   0.703, 0.875, 0.781, 0.688, 0.781, 0.719, 0.656, 0.719, 0.672, 0.641}),
        Gradiente("STOCH_2_3", 3, {0.776, 1, 0.776}),
        Gradiente("STOCH_2_5", 5,
                  {0.364, 0.267, 0.562, 0.373, 1, 0.463, 0.562, 0.373, 0.364, 0.267}),
        Gradiente("STOCH_2_7", 7,
                  {0.283, 0.24,  0.073, 0.348, 0.213, 0.104, 0.579, 0.354, 0.165, 1,    0.463,
                   0.195, 0.579, 0.354, 0.165, 0.348, 0.213, 0.104, 0.283, 0.24,  0.073}),
    };
  }();
  return t;
}

template <class T>
const T* BuscaPrefijo(const std::vector<T>& tabla, std::string_view nombre) {
  if (nombre.empty()) return nullptr;
  for (const T& k : tabla) {
    if (std::string_view(k.nombre).substr(0, nombre.size()) == nombre) return &k;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Row loops, each compiled into every variant of Simd.h.

ORVA_FILA void AcumulaEntero(int32_t* __restrict acc, const int16_t* __restrict s, int32_t k,
                             int n) {
  for (int x = 0; x < n; ++x) acc[x] += k * s[x];
}

ORVA_FILA void AcumulaReal(int32_t* __restrict acc, const double* __restrict s, double k, int n) {
  // Each product truncated toward zero before it is added.
  for (int x = 0; x < n; ++x) acc[x] += static_cast<int32_t>(s[x] * k);
}

// Four and eight taps of one kernel row at once, so the sums stay in registers; 32-bit integer
// additions, so the grouping does not change the sum.
ORVA_FILA void AcumulaReal4(int32_t* __restrict acc, const double* __restrict s, const int* dx,
                            const double* k, int n) {
  const double* s0 = s + dx[0];
  const double* s1 = s + dx[1];
  const double* s2 = s + dx[2];
  const double* s3 = s + dx[3];
  const double k0 = k[0], k1 = k[1], k2 = k[2], k3 = k[3];
  for (int x = 0; x < n; ++x) {
    acc[x] += static_cast<int32_t>(s0[x] * k0) + static_cast<int32_t>(s1[x] * k1) +
              static_cast<int32_t>(s2[x] * k2) + static_cast<int32_t>(s3[x] * k3);
  }
}

ORVA_FILA void AcumulaReal8(int32_t* __restrict acc, const double* __restrict s, const int* dx,
                            const double* k, int n) {
  const double *s0 = s + dx[0], *s1 = s + dx[1], *s2 = s + dx[2], *s3 = s + dx[3];
  const double *s4 = s + dx[4], *s5 = s + dx[5], *s6 = s + dx[6], *s7 = s + dx[7];
  const double k0 = k[0], k1 = k[1], k2 = k[2], k3 = k[3], k4 = k[4], k5 = k[5], k6 = k[6],
               k7 = k[7];
  for (int x = 0; x < n; ++x) {
    acc[x] += static_cast<int32_t>(s0[x] * k0) + static_cast<int32_t>(s1[x] * k1) +
              static_cast<int32_t>(s2[x] * k2) + static_cast<int32_t>(s3[x] * k3) +
              static_cast<int32_t>(s4[x] * k4) + static_cast<int32_t>(s5[x] * k5) +
              static_cast<int32_t>(s6[x] * k6) + static_cast<int32_t>(s7[x] * k7);
  }
}

// t[j][x] = trunc(s[x] k[j]) for M kernel values: their truncated products over a source row,
// each pixel converted once.
template <int M>
ORVA_FILA void ProductosTruncados(int32_t* const* t, const int16_t* __restrict s, const double* k,
                                  int n) {
  int32_t* __restrict d[M];
  double v[M];
  for (int j = 0; j < M; ++j) d[j] = t[j], v[j] = k[j];
  for (int x = 0; x < n; ++x) {
    const double p = s[x];
    for (int j = 0; j < M; ++j) d[j][x] = static_cast<int32_t>(p * v[j]);
  }
}

// acc[x] = f[0][desde + x] + ... + f[M - 1][desde + x], plus acc[x] unless kPrimero.
template <int M, bool kPrimero>
ORVA_FILA void SumaFilas(int32_t* __restrict acc, const int32_t* const* f, int desde, int n) {
  const int32_t* p[M];
  for (int j = 0; j < M; ++j) p[j] = f[j] + desde;
  for (int x = 0; x < n; ++x) {
    int32_t t = kPrimero ? 0 : acc[x];
    for (int j = 0; j < M; ++j) t += p[j][x];
    acc[x] = t;
  }
}

ORVA_FILA void DesplazaColumnas(int32_t* __restrict col, const int16_t* __restrict entra,
                                const int16_t* __restrict sale, int n) {
  for (int x = 0; x < n; ++x) col[x] += int32_t{entra[x]} - sale[x];
}

// acc[x] = col[x] + ... + col[x + s - 1].
ORVA_FILA void SumaColumnas(int32_t* __restrict acc, const int32_t* __restrict col, int s, int n) {
  if (s == 3) {
    for (int x = 0; x < n; ++x) acc[x] = col[x] + col[x + 1] + col[x + 2];
  } else if (s == 5) {
    for (int x = 0; x < n; ++x) acc[x] = col[x] + col[x + 1] + col[x + 2] + col[x + 3] + col[x + 4];
  } else {
    for (int x = 0; x < n; ++x) {
      int32_t t = 0;
      for (int j = 0; j < s; ++j) t += col[x + j];
      acc[x] = t;
    }
  }
}

ORVA_FILA void AcumulaDoble(double* __restrict acc, const double* __restrict s, double k, int n) {
  for (int x = 0; x < n; ++x) acc[x] += s[x] * k;
}

ORVA_FILA void ConvierteFila(double* __restrict d, const int16_t* __restrict s, int n) {
  for (int x = 0; x < n; ++x) d[x] = s[x];
}

// result = clamp(S / D + suma) for a = 0, b = 1. With |S| < 2^24 the single-precision quotient
// truncates to the exact integer quotient: both operands are exact, the division is correctly
// rounded, and a non-integer quotient lies at least 1/D from any integer while its rounding
// error is below |S/D| * 2^-24 < 1/D.
ORVA_FILA void TerminaFloat(const int32_t* __restrict acc, int16_t* __restrict o, float d,
                            int32_t suma, int n) {
  for (int x = 0; x < n; ++x) {
    int32_t r = static_cast<int32_t>(static_cast<float>(acc[x]) / d) + suma;
    r = r < -32768 ? -32768 : r > 32767 ? 32767 : r;
    o[x] = static_cast<int16_t>(r);
  }
}

// The same for |S| < 2^31 in double precision (53 bits leave the same margin for D < 2^22).
ORVA_FILA void TerminaDouble(const int32_t* __restrict acc, int16_t* __restrict o, double d,
                             int64_t suma, int n) {
  for (int x = 0; x < n; ++x) {
    int64_t r = static_cast<int64_t>(static_cast<double>(acc[x]) / d) + suma;
    r = r < -32768 ? -32768 : r > 32767 ? 32767 : r;
    o[x] = static_cast<int16_t>(r);
  }
}

// result = clamp(trunc(S / D) + c) for a = 0, b = 1, O = 0 and |S| < 2^31, |D| >= 1: the
// quotient fits 32 bits, so the 32-bit truncating conversion is the exact trunc.
ORVA_FILA void TerminaReal(const int32_t* __restrict acc, int16_t* __restrict o, double d,
                           int32_t c, int n) {
  for (int x = 0; x < n; ++x) {
    int32_t r = static_cast<int32_t>(static_cast<double>(acc[x]) / d);
    r = r < -32768 - c ? -32768 - c : r > 32767 - c ? 32767 - c : r;
    o[x] = static_cast<int16_t>(r + c);
  }
}

// The same with S x R, R = 1 / D, in place of the division: that product and the correctly
// rounded S / D both lie within |S / D| 2^-51 < 2^-20 of S / D, so their truncations agree
// unless the product is within 2^-20 of a nonzero integer. Returns 1 when some pixel of the row
// is that close (the caller then finishes the row with TerminaReal).
constexpr double kMargenCociente = 1.0 / (1 << 20);

ORVA_FILA int32_t TerminaRealInverso(const int32_t* __restrict acc, int16_t* __restrict o,
                                     double inverso, int32_t c, int n) {
  int32_t dudoso = 0;
  for (int x = 0; x < n; ++x) {
    const double q = static_cast<double>(acc[x]) * inverso;
    int32_t r = static_cast<int32_t>(q);
    const double f = q - static_cast<double>(r);  // exact, in (-1, 1)
    const double af = f < 0.0 ? -f : f;
    dudoso |= static_cast<int32_t>(acc[x] != 0) &
              (static_cast<int32_t>(af < kMargenCociente) |
               static_cast<int32_t>(af > 1.0 - kMargenCociente));
    r = r < -32768 - c ? -32768 - c : r > 32767 - c ? 32767 - c : r;
    o[x] = static_cast<int16_t>(r + c);
  }
  return dudoso;
}

struct Tap {
  int dy, dx;
  int32_t k;
};
struct TapReal {
  int dy, dx;
  double k;
};

// Working blocks from oneTBB's scalable allocator, which keeps freed blocks for reuse by the
// next call on any thread: a frame's worth of fresh pages, faulted in on every call, costs more
// than a fast filter itself. The contents start undefined (each user writes before it reads).
struct LiberaEscalable {
  void operator()(void* p) const { scalable_free(p); }
};
template <class T>
using BloqueEscalable = std::unique_ptr<T[], LiberaEscalable>;

template <class T>
BloqueEscalable<T> NuevoBloque(size_t n) {
  const uint64_t bytes = BytesDe(n, sizeof(T));
  void* p = scalable_malloc(static_cast<size_t>(bytes));
  if (p == nullptr) throw JError(10100, std::to_string(bytes));  // 10100
  return BloqueEscalable<T>(static_cast<T*>(p));
}

// Bands of output rows: about 64 on a large frame, so that the rows a band reads beyond its own
// are a small share of its work, and at least a few on a small one, so a cancel is seen early.
constexpr long kBandasObjetivo = 64;
constexpr long kAltoMinimo = 4;
constexpr long kAltoMaximo = 64;

// Runs cuerpo(desde, hasta, salida) over the rows [primera, fin) of the image in bands
// (core/Hilos.h); salida is the band's output, rows desde..hasta - 1 of the image's width, whose
// `marco` first and last columns hold the input's values and whose other columns the body must
// all write. Each band has its own output block, allocated and first written on the band's
// thread; the image takes the blocks only when every band has finished, so a cancel or an error
// leaves it untouched, and operations on different images may run at once. 10100 when the
// blocks would not fit in the memory available.
template <class F>
void PorBandas(Imagen& im, long primera, long fin, int marco, Progreso& progreso,
               const F& cuerpo) {
  const size_t w = im.Ancho();
  const long filas = fin - primera;
  const long alto = std::clamp(filas / kBandasObjetivo, kAltoMinimo, kAltoMaximo);
  CompruebaMemoria(BytesDe(static_cast<uint64_t>(std::max(filas, 0L)), w, sizeof(int16_t)));
  std::vector<BloqueEscalable<int16_t>> bloques(static_cast<size_t>(NumBandas(filas, alto)));
  const int16_t* src = im.Pixeles().data();
  const size_t m = static_cast<size_t>(marco);
  ParaBandas(
      filas, &progreso,
      [&](long banda, long desde, long hasta) {
        bloques[static_cast<size_t>(banda)] =
            NuevoBloque<int16_t>(static_cast<size_t>(hasta - desde) * w);
        int16_t* b = bloques[static_cast<size_t>(banda)].get();
        for (long y = desde; y < hasta; ++y) {
          const int16_t* f = src + static_cast<size_t>(primera + y) * w;
          int16_t* o = b + static_cast<size_t>(y - desde) * w;
          std::copy(f, f + m, o);
          std::copy(f + w - m, f + w, o + w - m);
        }
        cuerpo(primera + desde, primera + hasta, b);
      },
      alto);
  int16_t* dst = im.Pixeles().data();
  ParaBandas(
      filas, nullptr,
      [&](long banda, long desde, long hasta) {
        BloqueEscalable<int16_t>& b = bloques[static_cast<size_t>(banda)];
        std::copy(b.get(), b.get() + static_cast<size_t>(hasta - desde) * w,
                  dst + static_cast<size_t>(primera + desde) * w);
        b.reset();
      },
      alto);
  im.Modificada(1);
}

// The progress window of one filter on the given progress object.
class SesionFiltro {
 public:
  explicit SesionFiltro(Progreso& p) : p_(p), abierta_(p.Abrir("PASANDO FILTRO") != 0) {}
  ~SesionFiltro() {
    if (abierta_) p_.Cerrar();
  }
  SesionFiltro(const SesionFiltro&) = delete;
  SesionFiltro& operator=(const SesionFiltro&) = delete;

 private:
  Progreso& p_;
  bool abierta_;
};

// A ring of rows converted to double, each converted once; one per band.
class FilasReales {
 public:
  FilasReales(const int16_t* src, int ancho, int n)
      : src_(src),
        ancho_(ancho),
        n_(n),
        datos_(NuevoBloque<double>(static_cast<size_t>(n) * static_cast<size_t>(ancho))) {
    std::fill(cargada_.begin(), cargada_.end(), -1);
  }
  const double* Fila(int y) {
    const int i = y % n_;
    double* d = datos_.get() + static_cast<size_t>(i) * static_cast<size_t>(ancho_);
    if (cargada_[static_cast<size_t>(i)] != y) {
      Simd<ConvierteFila>(d, src_ + static_cast<size_t>(y) * static_cast<size_t>(ancho_), ancho_);
      cargada_[static_cast<size_t>(i)] = y;
    }
    return d;
  }

 private:
  const int16_t* src_;
  int ancho_, n_;
  BloqueEscalable<double> datos_;  // each row written before it is read
  std::array<int, kTamMaxNucleo + 1> cargada_{};
};

}  // namespace

const NucleoEntero* BuscaNucleoEntero(std::string_view nombre) {
  return BuscaPrefijo(TablaEnteros(), nombre);
}

const NucleoReal* BuscaNucleoGradiente(std::string_view nombre) {
  return BuscaPrefijo(TablaGradientes(), nombre);
}

std::vector<std::string> NombresNucleosEnteros() {
  std::vector<std::string> r;
  for (const auto& k : TablaEnteros()) r.push_back(k.nombre);
  return r;
}

std::vector<std::string> NombresNucleosGradiente() {
  std::vector<std::string> r;
  for (const auto& k : TablaGradientes()) r.push_back(k.nombre);
  return r;
}

namespace {

// Radius 0..24: the (2 radius + 1)-wide kernel fits the kernel array. Compared before any
// arithmetic, so no radius can overflow.
bool RadioNucleoValido(int radio) {
  return radio >= 0 && radio <= kRadioMaxNucleo;
}

// A sigma whose 2 sigma^2 is a positive finite number: the kernel values are then numbers.
bool SigmaValida(double sigma) {
  const double s2 = 2.0 * sigma * sigma;
  return s2 > 0.0 && std::isfinite(s2);
}

}  // namespace

bool NucleoMedia(int tam, NucleoEntero& k) {
  if (tam < 1 || tam > kTamMaxNucleo) return false;
  k = NucleoEntero{};
  k.nombre = "MEDIA";
  // An even size gets the next odd frame with its block of ones at the top left.
  k.n = tam % 2 ? tam : tam + 1;
  k.divisor = tam * tam;
  k.caja = tam;
  for (int i = 0; i < tam; ++i)
    for (int j = 0; j < tam; ++j) k.En(i, j) = 1;
  return true;
}

bool NucleoGaus(double sigma, int radio, NucleoReal& k) {
  if (!RadioNucleoValido(radio) || !SigmaValida(sigma)) return false;
  k = NucleoReal{};
  k.nombre = "GAUS";
  k.n = 2 * radio + 1;
  double suma = 0.0;
  for (int dy = -radio; dy <= radio; ++dy) {
    for (int dx = -radio; dx <= radio; ++dx) {
      const double d2 = dx * dx + dy * dy;
      const double v = std::sqrt(d2) <= radio ? std::exp(-d2 / (2.0 * sigma * sigma)) : 0.0;
      k.En(dy + radio, dx + radio) = v;
      suma += v;
    }
  }
  k.divisor = suma;
  return true;
}

bool NucleoLaplaciana(double sigma, int radio, NucleoReal& k) {
  if (!RadioNucleoValido(radio) || !SigmaValida(sigma)) return false;
  k = NucleoReal{};
  k.nombre = "LAP_GENE";
  k.n = 2 * radio + 1;
  double d = 1.0;
  for (int dy = -radio; dy <= radio; ++dy) {
    for (int dx = -radio; dx <= radio; ++dx) {
      const double t = (dx * dx + dy * dy) / (2.0 * sigma * sigma);
      const double v = (1.0 - t) * std::exp(-t);
      k.En(dy + radio, dx + radio) = v;
      d += v;
    }
  }
  k.divisor = d > -1.0 && d < 1.0 ? 1.0 : d;
  return true;
}

NucleoReal SegundoNucleoGradiente(const NucleoReal& k) {
  NucleoReal k2 = k;
  if (k.n == 2) {
    for (int i = 0; i < 3; ++i) std::swap(k2.En(i, 1), k2.En(i, 2));
  } else {
    for (int i = 0; i < k.n; ++i)
      for (int j = 0; j < k.n; ++j) k2.En(i, j) = k.En(k.n - 1 - j, i);
  }
  return k2;
}

// ---------------------------------------------------------------------------------------------
// Integer convolution: S = sum of pixel x K over the window (no flip), F = S / D truncated,
// result = trunc((F + O) b + a pixel) + c, clamped to the 16-bit range.

void ConvolucionEntera(Imagen& im, const NucleoEntero& k, double a, double b, int c,
                       Progreso& progreso) {
  const int w = static_cast<int>(im.Ancho()), alto = static_cast<int>(im.Alto());
  const int n = k.n, h = (n - 1) / 2;
  if (n < 1 || w <= 2 * h || alto <= 2 * h) {
    im.Modificada(1);
    return;
  }
  const int16_t* src = im.Pixeles().data();
  const int d = k.divisor == 0 ? 1 : k.divisor;
  std::array<Tap, kTamMaxNucleo * kTamMaxNucleo> taps;
  int ntaps = 0;
  int64_t sumaAbs = 0;
  // The frame of the mean of size 50 is 51 wide; its last row and column are zeros that the
  // kernel array does not hold.
  const int lado = std::min(n, kTamMaxNucleo);
  for (int i = 0; i < lado; ++i)
    for (int j = 0; j < lado; ++j)
      if (k.En(i, j) != 0) {
        taps[static_cast<size_t>(ntaps++)] = {i - h, j - h, k.En(i, j)};
        sumaAbs += std::abs(static_cast<int64_t>(k.En(i, j)));
      }
  const int64_t maxS = sumaAbs * 32768;
  const bool simple =
      a == 0.0 && b == 1.0 && maxS + std::abs(int64_t{k.offset}) + std::abs(c) < (int64_t{1} << 31);
  const bool enteros =
      a == std::trunc(a) && b == std::trunc(b) && std::fabs(a) < 1e6 && std::fabs(b) < 1e6;
  const int x0 = h, nx = w - 2 * h;
  const size_t ws = static_cast<size_t>(w);
  const bool caja = k.caja > 0 && k.caja <= 8 && maxS < (int64_t{1} << 31);
  PorBandas(im, h, alto - h, h, progreso, [&](long desde, long hasta, int16_t* salida) {
    std::vector<int32_t> accV(ws), colV(caja ? ws : 0);
    int32_t* acc = accV.data();
    int32_t* col = colV.data();
    for (int y = static_cast<int>(desde); y < hasta; ++y) {
      const size_t fila = static_cast<size_t>(y) * ws;
      if (caja) {
        // Mean kernel: column sums of the s rows of the block, carried from row to row (the new
        // row added, the row that left subtracted), then s of them across; integer sums, so
        // exactly the kernel's S.
        const int s = k.caja;
        if (y == desde) {
          for (int r = 0; r < s; ++r)
            Simd<AcumulaEntero>(col, src + static_cast<size_t>(y - h + r) * ws, 1, w);
        } else {
          Simd<DesplazaColumnas>(col, src + static_cast<size_t>(y - h + s - 1) * ws,
                                 src + static_cast<size_t>(y - h - 1) * ws, w);
        }
        Simd<SumaColumnas>(acc + x0, col + x0 - h, s, nx);
      } else if (maxS < (int64_t{1} << 31)) {
        std::fill(acc + x0, acc + x0 + nx, 0);
        for (int t = 0; t < ntaps; ++t) {
          const Tap& tp = taps[static_cast<size_t>(t)];
          Simd<AcumulaEntero>(acc + x0,
                              src + static_cast<ptrdiff_t>(fila) +
                                  (static_cast<ptrdiff_t>(tp.dy) * w + tp.dx + x0),
                              tp.k, nx);
        }
      }
      int16_t* o = salida + static_cast<size_t>(y - desde) * ws;
      if (simple && maxS < (int64_t{1} << 24)) {
        Simd<TerminaFloat>(acc + x0, o + x0, static_cast<float>(d), k.offset + c, nx);
        continue;
      }
      if (simple) {
        Simd<TerminaDouble>(acc + x0, o + x0, static_cast<double>(d), int64_t{k.offset} + c, nx);
        continue;
      }
      for (int x = x0; x < w - h; ++x) {
        int64_t s;
        if (maxS < (int64_t{1} << 31)) {
          s = acc[x];
        } else {
          s = 0;
          for (int t = 0; t < ntaps; ++t) {
            const Tap& tp = taps[static_cast<size_t>(t)];
            s += int64_t{tp.k} *
                 src[static_cast<ptrdiff_t>(fila) + static_cast<ptrdiff_t>(tp.dy) * w + tp.dx + x];
          }
        }
        const int64_t f = s / d;
        const int16_t p = src[fila + static_cast<size_t>(x)];
        int64_t r;
        if (enteros) {
          r = (f + k.offset) * static_cast<int64_t>(b) + static_cast<int64_t>(a) * p + c;
        } else {
          r = TruncaEntero(static_cast<double>(f + k.offset) * b + a * p) + c;
        }
        o[x] = Satura16(r);
      }
    }
  });
}

// ---------------------------------------------------------------------------------------------
// Real convolution: S = sum of trunc(pixel x K), F = trunc(S / D + O),
// result = trunc(F b + a pixel) + c, clamped.

namespace {

// The truncated products of a kernel with few distinct values (Gaussian and Laplacian kernels
// depend on the distance alone): per source row, one row of trunc(pixel x v) for each distinct
// value v, kept in a ring of the n rows of the window; a tap then costs an integer addition.
// The same products added in another grouping: 32-bit integer sums that cannot overflow, so S is
// the same.
class ProductosPorValor {
 public:
  ProductosPorValor(const int16_t* src, int ancho, int n, const std::vector<double>& valores)
      : src_(src),
        ancho_(static_cast<size_t>(ancho)),
        n_(n),
        valores_(valores),
        datos_(NuevoBloque<int32_t>(static_cast<size_t>(n) * valores.size() * ancho_)),
        cargada_(static_cast<size_t>(n), -1) {}
  // The products of source row y with value i.
  const int32_t* Fila(int y, size_t i) {
    const size_t r = static_cast<size_t>(y % n_);
    int32_t* base = datos_.get() + r * valores_.size() * ancho_;
    if (cargada_[r] != y) {
      const int16_t* s = src_ + static_cast<size_t>(y) * ancho_;
      const int w = static_cast<int>(ancho_);
      for (size_t v = 0; v < valores_.size(); v += kGrupoValores) {
        std::array<int32_t*, kGrupoValores> t;
        const size_t m = std::min(kGrupoValores, valores_.size() - v);
        for (size_t j = 0; j < m; ++j) t[j] = base + (v + j) * ancho_;
        const double* k = valores_.data() + v;
        switch (m) {
          case 1: Simd<ProductosTruncados<1>>(t.data(), s, k, w); break;
          case 2: Simd<ProductosTruncados<2>>(t.data(), s, k, w); break;
          case 3: Simd<ProductosTruncados<3>>(t.data(), s, k, w); break;
          default: Simd<ProductosTruncados<4>>(t.data(), s, k, w); break;
        }
      }
      cargada_[r] = y;
    }
    return base + i * ancho_;
  }

 private:
  static constexpr size_t kGrupoValores = 4;  // values per pass over a source row
  const int16_t* src_;
  size_t ancho_;
  int n_;
  const std::vector<double>& valores_;
  BloqueEscalable<int32_t> datos_;  // each row written before it is read
  std::vector<int> cargada_;
};

// The ring of ProductosPorValor pays off when a value serves several taps; its size is bounded
// so that the rows of a band stay in the cache.
constexpr size_t kAnilloMaximo = size_t{4} << 20;  // bytes

template <bool kPrimero>
void SumaGrupo(int32_t* acc, const int32_t* const* f, int m, int desde, int n) {
  switch (m) {
    case 1: return Simd<SumaFilas<1, kPrimero>>(acc, f, desde, n);
    case 2: return Simd<SumaFilas<2, kPrimero>>(acc, f, desde, n);
    case 3: return Simd<SumaFilas<3, kPrimero>>(acc, f, desde, n);
    case 4: return Simd<SumaFilas<4, kPrimero>>(acc, f, desde, n);
    case 5: return Simd<SumaFilas<5, kPrimero>>(acc, f, desde, n);
    case 6: return Simd<SumaFilas<6, kPrimero>>(acc, f, desde, n);
    case 7: return Simd<SumaFilas<7, kPrimero>>(acc, f, desde, n);
    default: return Simd<SumaFilas<8, kPrimero>>(acc, f, desde, n);
  }
}

// Columns per pass of the tap sums: the rows of products a pass reads stay in the first-level
// cache while taps that share a row reuse them.
constexpr int kColumnasPasada = 512;

}  // namespace

void ConvolucionReal(Imagen& im, const NucleoReal& k, double a, double b, int c,
                     Progreso& progreso) {
  const int w = static_cast<int>(im.Ancho()), alto = static_cast<int>(im.Alto());
  const int n = k.n, h = (n - 1) / 2;
  if (n < 1 || w <= 2 * h || alto <= 2 * h) {
    im.Modificada(1);
    return;
  }
  const int16_t* src = im.Pixeles().data();
  std::array<TapReal, kTamMaxNucleo * kTamMaxNucleo> taps;
  std::array<size_t, kTamMaxNucleo * kTamMaxNucleo> valorDe;
  std::vector<double> valores;
  int ntaps = 0;
  double sumaAbs = 0.0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      if (k.En(i, j) != 0.0) {
        const double v = k.En(i, j);
        const auto e = std::find(valores.begin(), valores.end(), v);
        valorDe[static_cast<size_t>(ntaps)] = static_cast<size_t>(e - valores.begin());
        if (e == valores.end()) valores.push_back(v);
        taps[static_cast<size_t>(ntaps++)] = {i - h, j - h, v};
        sumaAbs += std::fabs(v);
      }
  // Products and their sum fit 32 bits for kernels whose absolute sum is below 65535.
  const bool cabe = sumaAbs * 32768.0 < 2147483647.0;
  const bool rapido = cabe && a == 0.0 && b == 1.0 && k.offset == 0.0 &&
                      std::fabs(k.divisor) >= 1.0 && c >= -32768 && c <= 32767;
  const bool porValor = cabe && 2 * valores.size() <= static_cast<size_t>(ntaps) &&
                        static_cast<size_t>(n) * valores.size() * static_cast<size_t>(w) *
                                sizeof(int32_t) <=
                            kAnilloMaximo;
  const double inverso = 1.0 / k.divisor;
  const int x0 = h, nx = w - 2 * h;
  const size_t ws = static_cast<size_t>(w);
  PorBandas(im, h, alto - h, h, progreso, [&](long desde, long hasta, int16_t* salida) {
    std::vector<int32_t> accV(ws);
    int32_t* acc = accV.data();
    std::optional<FilasReales> filas;
    std::optional<ProductosPorValor> productos;
    std::vector<const int32_t*> filasTap;
    if (porValor) {
      productos.emplace(src, w, n, valores);
      filasTap.resize(static_cast<size_t>(ntaps));
    } else if (cabe) {
      filas.emplace(src, w, n);
    }
    for (int y = static_cast<int>(desde); y < hasta; ++y) {
      const size_t fila = static_cast<size_t>(y) * ws;
      if (porValor) {
        for (int t = 0; t < ntaps; ++t) {
          const TapReal& tp = taps[static_cast<size_t>(t)];
          filasTap[static_cast<size_t>(t)] =
              productos->Fila(y + tp.dy, valorDe[static_cast<size_t>(t)]) + x0 + tp.dx;
        }
        constexpr int kGrupo = 8;
        for (int c0 = 0; c0 < nx; c0 += kColumnasPasada) {
          const int nc = std::min(kColumnasPasada, nx - c0);
          for (int t = 0; t < ntaps; t += kGrupo) {
            const int m = std::min(kGrupo, ntaps - t);
            if (t == 0) {
              SumaGrupo<true>(acc + x0 + c0, filasTap.data() + t, m, c0, nc);
            } else {
              SumaGrupo<false>(acc + x0 + c0, filasTap.data() + t, m, c0, nc);
            }
          }
        }
      } else if (cabe) {
        std::fill(acc + x0, acc + x0 + nx, 0);
        // The taps come row by row: each kernel row's taps in groups of eight, four, then one.
        for (int t = 0; t < ntaps;) {
          const int dy = taps[static_cast<size_t>(t)].dy;
          int fin = t;
          while (fin < ntaps && taps[static_cast<size_t>(fin)].dy == dy) ++fin;
          const double* f = filas->Fila(y + dy) + x0;
          while (t < fin) {
            // Groups of 8 or 4; a group padded with zero taps (whose truncated products are 0)
            // costs less than single passes.
            const int resto = fin - t;
            const int m = resto >= 6 ? std::min(resto, 8) : resto >= 4 ? 4 : resto >= 2 ? resto : 1;
            if (m == 1) {
              Simd<AcumulaReal>(acc + x0, f + taps[static_cast<size_t>(t)].dx,
                                   taps[static_cast<size_t>(t)].k, nx);
            } else {
              std::array<int, 8> dxs{};
              std::array<double, 8> ks{};
              for (int j = 0; j < m; ++j) {
                dxs[static_cast<size_t>(j)] = taps[static_cast<size_t>(t + j)].dx;
                ks[static_cast<size_t>(j)] = taps[static_cast<size_t>(t + j)].k;
              }
              if (m > 4) {
                Simd<AcumulaReal8>(acc + x0, f, dxs.data(), ks.data(), nx);
              } else {
                Simd<AcumulaReal4>(acc + x0, f, dxs.data(), ks.data(), nx);
              }
            }
            t += m;
          }
        }
      }
      int16_t* o = salida + static_cast<size_t>(y - desde) * ws;
      if (rapido) {
        if (Simd<TerminaRealInverso>(acc + x0, o + x0, inverso, c, nx)) {
          Simd<TerminaReal>(acc + x0, o + x0, k.divisor, c, nx);
        }
        continue;
      }
      for (int x = x0; x < w - h; ++x) {
        int64_t s = 0;
        if (cabe) {
          s = acc[x];
        } else {
          for (int t = 0; t < ntaps; ++t) {
            const TapReal& tp = taps[static_cast<size_t>(t)];
            s += TruncaEntero(
                src[static_cast<ptrdiff_t>(fila) + static_cast<ptrdiff_t>(tp.dy) * w + tp.dx + x] *
                tp.k);
          }
        }
        const int64_t f = TruncaEntero(static_cast<double>(s) / k.divisor + k.offset);
        const int16_t p = src[fila + static_cast<size_t>(x)];
        const int64_t r =
            (a == 0.0 && b == 1.0) ? f + c : TruncaEntero(static_cast<double>(f) * b + a * p) + c;
        o[x] = Satura16(r);
      }
    }
  });
}

// ---------------------------------------------------------------------------------------------
// Gradient magnitude: G1 and G2 over the window in double, M = trunc(sqrt(G1^2 + G2^2)),
// result = trunc(M b + a pixel), clamped. Zero taps are skipped: adding a zero product does
// not change a sum (up to the sign of a zero sum, which squaring removes).

void GradienteMagnitud(Imagen& im, const NucleoReal& k, double a, double b, Progreso& progreso) {
  const int w = static_cast<int>(im.Ancho()), alto = static_cast<int>(im.Alto());
  const NucleoReal k2 = SegundoNucleoGradiente(k);
  const int marco = k.n == 2 ? 3 : k.n;  // the size-2 kernel lives in a 3 x 3 frame
  const int h = k.n == 2 ? 1 : (k.n - 1) / 2;
  if (k.n < 1 || w <= 2 * h || alto <= 2 * h) {
    im.Modificada(1);
    return;
  }
  const int16_t* src = im.Pixeles().data();
  std::array<TapReal, kTamMaxNucleo * kTamMaxNucleo> t1, t2;
  int n1 = 0, n2 = 0;
  for (int i = 0; i < marco; ++i)
    for (int j = 0; j < marco; ++j) {
      if (k.En(i, j) != 0.0) t1[static_cast<size_t>(n1++)] = {i - h, j - h, k.En(i, j)};
      if (k2.En(i, j) != 0.0) t2[static_cast<size_t>(n2++)] = {i - h, j - h, k2.En(i, j)};
    }
  const int x0 = h, nx = w - 2 * h;
  const size_t ws = static_cast<size_t>(w);
  PorBandas(im, h, alto - h, h, progreso, [&](long desde, long hasta, int16_t* salida) {
    FilasReales filas(src, w, marco);
    std::vector<double> g1V(ws), g2V(ws);
    double* g1 = g1V.data();
    double* g2 = g2V.data();
    for (int y = static_cast<int>(desde); y < hasta; ++y) {
      std::fill(g1 + x0, g1 + x0 + nx, 0.0);
      std::fill(g2 + x0, g2 + x0 + nx, 0.0);
      for (int t = 0; t < n1; ++t) {
        const TapReal& tp = t1[static_cast<size_t>(t)];
        Simd<AcumulaDoble>(g1 + x0, filas.Fila(y + tp.dy) + tp.dx + x0, tp.k, nx);
      }
      for (int t = 0; t < n2; ++t) {
        const TapReal& tp = t2[static_cast<size_t>(t)];
        Simd<AcumulaDoble>(g2 + x0, filas.Fila(y + tp.dy) + tp.dx + x0, tp.k, nx);
      }
      const size_t fila = static_cast<size_t>(y) * ws;
      int16_t* o = salida + static_cast<size_t>(y - desde) * ws;
      for (int x = x0; x < w - h; ++x) {
        const int64_t m = TruncaEntero(std::sqrt(g1[x] * g1[x] + g2[x] * g2[x]));
        const int16_t p = src[fila + static_cast<size_t>(x)];
        const int64_t r =
            (a == 0.0 && b == 1.0) ? m : TruncaEntero(static_cast<double>(m) * b + a * p);
        o[x] = Satura16(r);
      }
    }
  });
}

// ---------------------------------------------------------------------------------------------
// Thresholded median.

namespace {

// Compare-exchange: the larger value first (descending order). Written on copies with one
// comparison, which the vectoriser turns into a plain minimum and maximum.
ORVA_FILA void Intercambia(int16_t& a, int16_t& b) {
  const int16_t x = a, y = b;
  a = x > y ? x : y;
  b = x > y ? y : x;
}

// Each column of three rows sorted: mayor >= medio >= menor.
ORVA_FILA void OrdenaColumnas(const int16_t* __restrict f0, const int16_t* __restrict f1,
                              const int16_t* __restrict f2, int16_t* __restrict mayor,
                              int16_t* __restrict medio, int16_t* __restrict menor, int n) {
  for (int x = 0; x < n; ++x) {
    int16_t v0 = f0[x], v1 = f1[x], v2 = f2[x];
    Intercambia(v0, v1), Intercambia(v1, v2), Intercambia(v0, v1);
    mayor[x] = v0;
    medio[x] = v1;
    menor[x] = v2;
  }
}

// The second largest, the median and the second smallest of a 3 x 3 window, through a sorting
// network for nine values whose first stage sorts each column of three (done once per column by
// OrdenaColumnas, for the three windows that share it); then each rank across the three
// columns, then the diagonals. v[3 i + r] is the value of rank r in column i. The last two
// exchanges of the full network, (2, 3) and (5, 6), are left out: they do not touch places 1, 4
// and 7.
ORVA_FILA void Red3x3(const int16_t* mayor, const int16_t* medio, const int16_t* menor,
                      int16_t& seg, int16_t& med, int16_t& pen) {
  int16_t v0 = mayor[0], v1 = medio[0], v2 = menor[0];
  int16_t v3 = mayor[1], v4 = medio[1], v5 = menor[1];
  int16_t v6 = mayor[2], v7 = medio[2], v8 = menor[2];
  Intercambia(v0, v3), Intercambia(v3, v6), Intercambia(v0, v3);
  Intercambia(v1, v4), Intercambia(v4, v7), Intercambia(v1, v4);
  Intercambia(v2, v5), Intercambia(v5, v8), Intercambia(v2, v5);
  Intercambia(v1, v3), Intercambia(v5, v7), Intercambia(v2, v6);
  Intercambia(v4, v6), Intercambia(v2, v4);
  seg = v1;
  med = v4;
  pen = v7;
}

// The windows of a row through the network, for the caller's threshold.
ORVA_FILA void Ordena3x3(const int16_t* __restrict mayor, const int16_t* __restrict medio,
                         const int16_t* __restrict menor, int16_t* __restrict seg,
                         int16_t* __restrict med, int16_t* __restrict pen, int n) {
  for (int x = 0; x < n; ++x) Red3x3(mayor + x, medio + x, menor + x, seg[x], med[x], pen[x]);
}

// The network and the threshold with a whole factor f in one pass: the median replaces the
// pixel p when |p - median| > f (second largest - second smallest). In 16-bit lanes: both
// differences fit 16 unsigned bits; for f > 0, f s fits them while s <= 65535 / f and exceeds
// any difference beyond; for f < 0 the test holds when either difference is above 0.
ORVA_FILA void MedianaEntera(const int16_t* __restrict mayor, const int16_t* __restrict medio,
                             const int16_t* __restrict menor, const int16_t* __restrict p,
                             int16_t* __restrict o, int32_t f, int n) {
  constexpr int32_t kMaxU16 = 65535;
  const uint16_t fu = static_cast<uint16_t>(f > 0 ? f : 0);
  const uint16_t tope = static_cast<uint16_t>(f > 0 ? kMaxU16 / f : kMaxU16);
  const uint16_t umbral = static_cast<uint16_t>(f < 0 ? 0 : kMaxU16);
  for (int x = 0; x < n; ++x) {
    int16_t seg, med, pen;
    Red3x3(mayor + x, medio + x, menor + x, seg, med, pen);
    const int16_t v = p[x];
    const uint16_t d = static_cast<uint16_t>(static_cast<uint16_t>(std::max(v, med)) -
                                             static_cast<uint16_t>(std::min(v, med)));
    const uint16_t s = static_cast<uint16_t>(static_cast<uint16_t>(seg) -
                                             static_cast<uint16_t>(pen));
    const bool cambia = (s <= tope && d > static_cast<uint16_t>(s * fu)) || s > umbral;
    o[x] = cambia ? med : v;
  }
}

}  // namespace

void MedianaUmbral(Imagen& im, double factor, int medio, Progreso& progreso) {
  const int w = static_cast<int>(im.Ancho()), alto = static_cast<int>(im.Alto());
  if (medio <= 0 || w <= int64_t{2} * medio || alto <= int64_t{2} * medio) {
    // Nothing to replace: a one-value window is its own median, a window larger than the
    // image has no interior pixel.
    return;
  }
  const int16_t* src = im.Pixeles().data();
  const size_t ws = static_cast<size_t>(w);
  const int lado = 2 * medio + 1;
  const size_t nv = static_cast<size_t>(lado) * static_cast<size_t>(lado);
  const size_t iMed = (nv - 1) / 2;
  const bool fEntero = factor == std::trunc(factor) && std::fabs(factor) <= 16384.0;
  PorBandas(im, medio, alto - medio, medio, progreso, [&](long desde, long hasta, int16_t* salida) {
    if (medio == 1) {
      std::vector<int16_t> trabajo(6 * ws);
      int16_t* mayor = trabajo.data();
      int16_t* centro = mayor + ws;
      int16_t* menor = centro + ws;
      int16_t* seg = menor + ws;
      int16_t* med = seg + ws;
      int16_t* pen = med + ws;
      const int nx = w - 2;
      for (long y = desde; y < hasta; ++y) {
        const int16_t* f1 = src + static_cast<size_t>(y) * ws;
        Simd<OrdenaColumnas>(f1 - ws, f1, f1 + ws, mayor, centro, menor, w);
        int16_t* o = salida + static_cast<size_t>(y - desde) * ws + 1;
        if (fEntero) {
          Simd<MedianaEntera>(mayor, centro, menor, f1 + 1, o, static_cast<int32_t>(factor),
                                 nx);
        } else {
          Simd<Ordena3x3>(mayor, centro, menor, seg, med, pen, nx);
          for (int x = 0; x < nx; ++x) {
            const double d = std::abs(int32_t{f1[x + 1]} - med[x]);
            o[x] = d > factor * (int32_t{seg[x]} - pen[x]) ? med[x] : f1[x + 1];
          }
        }
      }
      return;
    }
    std::vector<int16_t> ventana(nv), copia(nv);
    for (long y = desde; y < hasta; ++y) {
      for (int x = medio; x < w - medio; ++x) {
        size_t i = 0;
        for (long dy = -medio; dy <= medio; ++dy)
          for (int dx = -medio; dx <= medio; ++dx)
            ventana[i++] = src[static_cast<size_t>(y + dy) * ws + static_cast<size_t>(x + dx)];
        copia = ventana;
        std::nth_element(copia.begin(), copia.begin() + static_cast<long>(iMed), copia.end(),
                         std::greater<int16_t>());
        const int32_t m = copia[iMed];
        std::partial_sort(ventana.begin(), ventana.begin() + 8, ventana.end(),
                          std::greater<int16_t>());
        const int32_t s = int32_t{ventana[1]} - ventana[7];
        const int16_t p = src[static_cast<size_t>(y) * ws + static_cast<size_t>(x)];
        const double d = std::abs(int32_t{p} - m);
        salida[static_cast<size_t>(y - desde) * ws + static_cast<size_t>(x)] =
            d > factor * s ? static_cast<int16_t>(m) : p;
      }
    }
  });
}

// ---------------------------------------------------------------------------------------------
// Local contrast normalisation over the (2h + 1)^2 window, h = (s - 1) div 2, normaliser s^2.

void ContrasteLocal(Imagen& im, int tam, int modo, Progreso& progreso) {
  const int w = static_cast<int>(im.Ancho()), alto = static_cast<int>(im.Alto());
  const int h = (tam - 1) / 2;
  if (tam < 1 || w <= 2 * h || alto <= 2 * h) {
    im.Modificada(1);
    return;
  }
  const int16_t* src = im.Pixeles().data();
  const size_t ws = static_cast<size_t>(w);
  const double nrm = static_cast<double>(tam) * tam;
  PorBandas(im, h, alto - h, h, progreso, [&](long desde, long hasta, int16_t* salida) {
    for (long y = desde; y < hasta; ++y) {
      for (int x = h; x < w - h; ++x) {
        double suma = 0.0;
        for (long dy = -h; dy <= h; ++dy)
          for (int dx = -h; dx <= h; ++dx)
            suma += src[static_cast<size_t>(y + dy) * ws + static_cast<size_t>(x + dx)];
        const double media = suma / nrm;
        double var = 0.0;
        for (long dy = -h; dy <= h; ++dy)
          for (int dx = -h; dx <= h; ++dx) {
            const double d = std::trunc(
                src[static_cast<size_t>(y + dy) * ws + static_cast<size_t>(x + dx)] - media);
            var += d * d;
          }
        const double sd = std::sqrt(var / nrm);
        const size_t i = static_cast<size_t>(y) * ws + static_cast<size_t>(x);
        // A flat window keeps the pixel.
        salida[i - static_cast<size_t>(desde) * ws] =
            sd == 0.0 ? src[i]
                      : Satura16(TruncaEntero((modo == 0 ? media : static_cast<double>(src[i])) / sd));
      }
    }
  });
}

// The forms without a progress object use the process-wide one.
void ConvolucionEntera(Imagen& im, const NucleoEntero& k, double a, double b, int c) {
  ConvolucionEntera(im, k, a, b, c, ProgresoActual());
}
void ConvolucionReal(Imagen& im, const NucleoReal& k, double a, double b, int c) {
  ConvolucionReal(im, k, a, b, c, ProgresoActual());
}
void GradienteMagnitud(Imagen& im, const NucleoReal& k, double a, double b) {
  GradienteMagnitud(im, k, a, b, ProgresoActual());
}
void MedianaUmbral(Imagen& im, double factor, int medio) {
  MedianaUmbral(im, factor, medio, ProgresoActual());
}
void ContrasteLocal(Imagen& im, int tam, int modo) {
  ContrasteLocal(im, tam, modo, ProgresoActual());
}

// ---------------------------------------------------------------------------------------------
// The FILTRO forms.

namespace {

// Sigma of the Gaussian and Laplacian kernels: not 0, and far from the limits of a double so
// that 2 sigma^2 stays a positive finite number.
constexpr double kSigmaMinima = 1e-150;
constexpr double kSigmaMaxima = 1e150;
// The factors a and b: finite and not 0.
constexpr double kFactorMaximo = 1e300;
// The median's half size: its window fits the kernel size.
constexpr int kMedioMaximo = kRadioMaxNucleo;

void Hay(const std::vector<std::string>& t, size_t n) {
  if (t.size() < n) NumeroArgumentos(t.size(), Mensaje(kAlMenos, std::to_string(n)));
}

double Factor(const std::vector<std::string>& t, size_t k) {
  const double v = ArgumentoReal(t, k, -kFactorMaximo, kFactorMaximo);
  if (v == 0.0) FueraDeRango(t, k, Mensaje(kDistintoDe, "0"));
  return v;
}

void SigmaRadio(const std::vector<std::string>& t, size_t k, ParamsFiltro& p) {
  p.sigma = ArgumentoReal(t, k, -kSigmaMaxima, kSigmaMaxima);
  if (std::fabs(p.sigma) < kSigmaMinima) FueraDeRango(t, k, Mensaje(kDistintoDe, "0"));
  p.radio = ArgumentoEntero(t, k + 1, 1, kRadioMaxNucleo);
}

void NombreEntero(const std::vector<std::string>& t, size_t k, ParamsFiltro& p) {
  p.nombre = t[k];
  if (!BuscaNucleoEntero(p.nombre)) PalabraNoAdmitida(t, k);
}

}  // namespace

void LeeFiltroComprobado(const std::vector<std::string>& t, ParamsFiltro& p) {
  p = ParamsFiltro{};
  p.tokens = t;
  Hay(t, 1);
  const std::string& f = t[0];
  if (f == "MEDIA") {
    Hay(t, 2);
    p.forma = FormaFiltro::kMedia;
    p.tam = ArgumentoEntero(t, 1, 1, kTamMaxNucleo);
  } else if (f == "GAUS") {
    Hay(t, 3);
    p.forma = FormaFiltro::kGaus;
    SigmaRadio(t, 1, p);
  } else if (f == "MEDIANA") {
    Hay(t, 3);
    p.forma = FormaFiltro::kMediana;
    p.factor = ArgumentoReal(t, 1, -kFactorMaximo, kFactorMaximo);
    // A half size of 0 or less leaves the image as it is.
    p.medio = ArgumentoEntero(t, 2, std::numeric_limits<int>::min(), kMedioMaximo);
  } else if (f == "CONTR_INV") {
    Hay(t, 3);
    p.forma = FormaFiltro::kContraste;
    // A window below 1 has no normaliser, and only modes 0 and 1 exist.
    p.tam = ArgumentoEntero(t, 1, 1, kTamMaxNucleo);
    p.modo = ArgumentoEntero(t, 2, 0, 1);
  } else if (f == "CONT") {
    Hay(t, 2);
    p.c = -1;
    if (t[1] == "LAP_GENE") {
      Hay(t, 4);
      p.forma = FormaFiltro::kLaplaciana;
      SigmaRadio(t, 2, p);
    } else {
      NombreEntero(t, 1, p);
    }
  } else if (f == "RCONT") {
    Hay(t, 2);
    if (t[1] == "MEDIA") {
      Hay(t, 5);
      p.forma = FormaFiltro::kMedia;
      p.tam = ArgumentoEntero(t, 2, 1, kTamMaxNucleo);
      p.a = Factor(t, 3);
      p.b = Factor(t, 4);
    } else if (t[1] == "GAUS") {
      Hay(t, 6);
      p.forma = FormaFiltro::kGaus;
      SigmaRadio(t, 2, p);
      p.a = Factor(t, 4);
      p.b = Factor(t, 5);
    } else if (t[1] == "LAP_GENE") {
      Hay(t, 5);
      p.forma = FormaFiltro::kLaplaciana;
      SigmaRadio(t, 2, p);
      p.a = 1.0;
      p.b = Factor(t, 4);
    } else {
      Hay(t, 3);
      NombreEntero(t, 1, p);
      p.a = 1.0;
      p.b = Factor(t, 2);
    }
  } else if (f == "GRAD" || f == "RGRAD") {
    Hay(t, 2);
    p.forma = FormaFiltro::kGradiente;
    p.nombre = t[1];
    if (!BuscaNucleoGradiente(p.nombre)) PalabraNoAdmitida(t, 1);
    if (f == "RGRAD") {
      Hay(t, 4);
      p.a = Factor(t, 2);
      p.b = Factor(t, 3);
    }
  } else {
    NombreEntero(t, 0, p);
  }
}

bool LeeFiltro(const std::vector<std::string>& t, ParamsFiltro& p) {
  return SinMotivo([&] { LeeFiltroComprobado(t, p); });
}

bool AplicaFiltro(Imagen& im, const ParamsFiltro& p, Progreso& progreso) {
  SesionFiltro sesion(progreso);
  switch (p.forma) {
    case FormaFiltro::kNombrado: {
      const NucleoEntero* k = BuscaNucleoEntero(p.nombre);
      if (!k) return false;
      ConvolucionEntera(im, *k, p.a, p.b, p.c, progreso);
      return true;
    }
    case FormaFiltro::kMedia: {
      NucleoEntero k;
      if (!NucleoMedia(p.tam, k)) return false;
      ConvolucionEntera(im, k, p.a, p.b, p.c, progreso);
      return true;
    }
    case FormaFiltro::kGaus:
    case FormaFiltro::kLaplaciana: {
      NucleoReal k;
      const bool ok = p.forma == FormaFiltro::kGaus ? NucleoGaus(p.sigma, p.radio, k)
                                                    : NucleoLaplaciana(p.sigma, p.radio, k);
      if (!ok) return false;
      ConvolucionReal(im, k, p.a, p.b, p.c, progreso);
      return true;
    }
    case FormaFiltro::kGradiente: {
      const NucleoReal* k = BuscaNucleoGradiente(p.nombre);
      if (!k) return false;
      GradienteMagnitud(im, *k, p.a, p.b, progreso);
      return true;
    }
    case FormaFiltro::kMediana:
      MedianaUmbral(im, p.factor, p.medio, progreso);
      return true;
    case FormaFiltro::kContraste:
      if (p.tam < 1) return false;
      ContrasteLocal(im, p.tam, p.modo, progreso);
      return true;
  }
  return false;
}

bool AplicaFiltro(Imagen& im, const ParamsFiltro& p) {
  return AplicaFiltro(im, p, ProgresoActual());
}

bool EjecutaFiltro(Imagen& im, const std::vector<std::string>& tokens) {
  ParamsFiltro p;
  return LeeFiltro(tokens, p) && AplicaFiltro(im, p);
}

void EjecutaFiltroMacro(Imagen& im, const std::vector<std::string>& tokens) {
  ParamsFiltro p;
  LeeFiltroComprobado(tokens, p);
  if (!AplicaFiltro(im, p)) throw JError(kArgumentosNoAdmitidos);
}

std::string LineaFiltro(const ParamsFiltro& p) {
  std::string l = "FILTRO";
  for (const std::string& t : p.tokens) l += " " + t;
  return l;
}

const std::vector<FiltroMenu>& MenuFiltros() {
  static const std::vector<FiltroMenu> menu = [] {
    std::vector<FiltroMenu> m;
    const char* kSuav = "Suavizado";
    m.push_back({kSuav, "Suavizado 1", "", "FILTRO %s", {"=SUAV_1"}});
    m.push_back({kSuav, "Suavizado 2", "", "FILTRO %s", {"=SUAV_2"}});
    m.push_back({kSuav, "Suavizado 3", "", "FILTRO %s", {"=SUAV_3"}});
    m.push_back({kSuav, "Media en cruz", "", "FILTRO %s", {"=MEDIA_CRUZ"}});
    m.push_back({kSuav, "Media...", "TAMAÑO MEDIA", "FILTRO MEDIA %s", {"TAMFILTMEDIA"}});
    m.push_back(
        {kSuav, "Gaus...", "DATOS FILTRO GAUS", "FILTRO GAUS %s %s", {"GAUSSIGMA", "GAUSRADIO"}});
    m.push_back({kSuav,
                 "Mediana (Ruido)",
                 "FACTOR MEDIANA",
                 "FILTRO MEDIANA %s %d",
                 {"FACTMEDIANA", "=1"}});
    const char* kRealce = "Realce";
    for (int i = 1; i <= 4; ++i) {
      m.push_back({kRealce,
                   "Grado &" + std::to_string(i),
                   "",
                   "FILTRO %s",
                   {"=REALCE_" + std::to_string(i)}});
    }
    m.push_back(
        {kRealce, "&Contraste inverso", "TAMAÑO MEDIA", "FILTRO CONTR_INV %s 0", {"TAMFILTMEDIA"}});
    m.push_back({kRealce,
                 "&Escalado estadistico",
                 "TAMAÑO MEDIA",
                 "FILTRO CONTR_INV %s 1",
                 {"TAMFILTMEDIA"}});
    const char* kRc = "Realce contornos";
    m.push_back({kRc,
                 "Media...",
                 "REALCE CONTORNOS CON MEDIA",
                 "FILTRO RCONT MEDIA %s %s %s",
                 {"TAMFILTMEDRCM", "FACTIMAG1RCM", "FACTIMAG2RCM"}});
    m.push_back({kRc,
                 "Gaus...",
                 "REALCE CONTORNOS CON GAUS",
                 "FILTRO RCONT GAUS %s %s %s %s",
                 {"GAUSSIGMARCG", "GAUSRADIORCG", "FACTIMAG1RCG", "FACTIMAG2RCG"}});
    for (int i = 1; i <= 3; ++i) {
      m.push_back({kRc,
                   "Laplaciana " + std::to_string(i),
                   "FACTOR REALCE CONTORNOS",
                   "FILTRO RCONT %s %s",
                   {"=LAPLAC_" + std::to_string(i), "FACTLAPLAC"}});
    }
    m.push_back({kRc,
                 "La&placiana General",
                 "REALCE LAPLACIANA GENERAL",
                 "FILTRO RCONT LAP_GENE %s %s %s",
                 {"GAUSSIGMARCL", "GAUSRADIORCL", "FACTLAPLACRCL"}});
    const char* kCont = "Contornos";
    for (int i = 1; i <= 3; ++i) {
      m.push_back({kCont,
                   "Laplaciana " + std::to_string(i),
                   "",
                   "FILTRO CONT %s",
                   {"=LAPLAC_" + std::to_string(i)}});
    }
    m.push_back({kCont,
                 "La&placiana General",
                 "LAPLACIANA GENERAL",
                 "FILTRO CONT LAP_GENE %s %s",
                 {"GAUSSIGMALG", "GAUSRADIOLG"}});
    const std::vector<std::pair<const char*, const char*>> grad = {
        {"&Roberts", "ROBERTS"},     {"&Prewitt", "PREWITT"}, {"&Sobel", "SOBEL"},
        {"&Isotropic", "ISOTROPIC"}, {"3 * 3", "STOCH_1_3"},  {"5 * 5", "STOCH_1_5"},
        {"7 * 7", "STOCH_1_7"},      {"3 * 3", "STOCH_2_3"},  {"5 * 5", "STOCH_2_5"},
        {"7 * 7", "STOCH_2_7"}};
    for (const auto& [item, nombre] : grad) {
      m.push_back({kCont, item, "", "FILTRO GRAD %s", {std::string("=") + nombre}});
    }
    return m;
  }();
  return menu;
}

std::string LineaFiltroMenu(const FiltroMenu& f) {
  std::string l;
  size_t arg = 0;
  for (size_t i = 0; i < f.formato.size(); ++i) {
    if (f.formato[i] == '%' && i + 1 < f.formato.size() &&
        (f.formato[i + 1] == 's' || f.formato[i + 1] == 'd')) {
      ++i;
      if (arg < f.argumentos.size()) {
        const std::string& a = f.argumentos[arg++];
        l += !a.empty() && a[0] == '=' ? a.substr(1) : AjustesActuales().Valor("FiltrosConvol", a);
      }
    } else {
      l += f.formato[i];
    }
  }
  return l;
}

void CompruebaSigma(double sigma) {
  if (!(sigma >= 0.0 && sigma <= 6.0)) throw JError(12073);  // 12073
}

namespace {
int RadioPropuesto(double escala) {
  const int64_t r = TruncaEntero(escala * std::sqrt(-2.0 * std::log(0.1)) + 0.5);
  return static_cast<int>(std::clamp<int64_t>(r, 1, 24));
}
}  // namespace

int RadioPropuestoGaus(double sigma) {
  return RadioPropuesto(sigma);
}

int RadioPropuestoLaplaciana(double sigma) {
  return RadioPropuesto(2.0 * sigma);
}

}  // namespace orva
