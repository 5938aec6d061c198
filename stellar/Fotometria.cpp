// Aperture photometry with a sky histogram of the ring's values.
#include "stellar/Fotometria.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"

namespace orva {
namespace {

// One bin per 16-bit value.
constexpr int kBinsHistograma = 65536;

// The sky histogram of one estimate: one count per bin (value + 32768) of lo..hi, entry b - lo.
struct HistogramaCielo {
  int lo = 0;
  std::vector<int32_t> cuentas;
  int32_t& operator[](int b) { return cuentas[static_cast<size_t>(b - lo)]; }
  int32_t operator[](int b) const { return cuentas[static_cast<size_t>(b - lo)]; }
};

struct Momentos {
  double n = 0, media = 0, sigma = 1.0;
  int mediana = 0, moda = 0;
};

// n, mean, sample deviation, median and mode of bins lo..hi (inclusive).
Momentos MomentosHistograma(const HistogramaCielo& h, int lo, int hi) {
  Momentos m;
  double s = 0, s2 = 0;
  int32_t maxCuenta = -1;
  for (int b = lo; b <= hi; ++b) {
    const int32_t c = h[b];
    if (c == 0) continue;
    const double v = b - 32768;
    m.n += c;
    s += c * v;
    s2 += c * v * v;
    if (c >= maxCuenta) {  // the highest value wins ties
      maxCuenta = c;
      m.moda = b - 32768;
    }
  }
  if (m.n == 0) return m;
  m.media = s / m.n;
  const double var = s2 - m.n * m.media * m.media;
  m.sigma = var > 0 && m.n > 1 ? std::sqrt(var / (m.n - 1)) : 1.0;
  // The median is the first value at which the running count reaches n / 2 (integer division),
  // counting from the lowest value present.
  const int64_t mitad = static_cast<int64_t>(m.n) / 2;
  int64_t acumulado = 0;
  for (int b = lo; b <= hi; ++b) {
    acumulado += h[b];
    if (acumulado >= mitad && h[b] != 0) {
      m.mediana = b - 32768;
      break;
    }
  }
  return m;
}

long Redondeo10(double v) {
  return static_cast<long>(10.0 * v + 0.5);
}

}  // namespace

ParametrosFotometria LeeParametrosFotometria() {
  const Ajustes& c = AjustesActuales();
  auto entero = [&c](const char* clave) { return LeeEntero(c.Valor("AnaVariables", clave)); };
  ParametrosFotometria p;
  p.radioEstrella = entero("VARRADEST");
  p.constanteMag = LeeReal(c.Valor("AnaVariables", "VARCONSTMAGINST"));
  p.valorSaturacion = entero("VARVALSATUR");
  p.radioCieloInt = entero("VARRADCIELINT");
  p.radioCieloExt = entero("VARRADCIELEXT");
  p.maxIteraciones = entero("VARMAXITER");
  p.usarMediaCielo = entero("VARUSARMEDIACIELO");
  return p;
}

Cielo EstimaCielo(const ImagenPixeles& im, long x, long y, int rInt, int rExt, int pasadas,
                  int usarMedia) {
  Cielo cielo;
  const long w = im.Ancho(), alto = im.Alto();
  const long r = std::max(rExt, 0);
  const long r2Int = static_cast<long>(rInt) * rInt, r2Ext = r * r;
  // The ring's pixels, in reading order; the histogram spans their bins.
  auto recorre = [&](auto&& hacer) {
    for (long f = std::max(y - r, 0L); f <= std::min(y + r, alto - 1); ++f) {
      for (long c = std::max(x - r, 0L); c <= std::min(x + r, w - 1); ++c) {
        const long d2 = (c - x) * (c - x) + (f - y) * (f - y);
        if (d2 < r2Int || d2 > r2Ext) continue;
        hacer(im.Pixel(c, f) + 32768);
      }
    }
  };
  int lo = kBinsHistograma, hi = -1;
  recorre([&](int b) {
    lo = std::min(lo, b);
    hi = std::max(hi, b);
  });
  if (hi < 0) return cielo;  // no ring pixel in the image
  HistogramaCielo h{lo, std::vector<int32_t>(static_cast<size_t>(hi - lo + 1), 0)};
  recorre([&](int b) { ++h[b]; });

  Momentos m = MomentosHistograma(h, lo, hi);
  for (int pasada = 0; pasada < pasadas; ++pasada) {
    const double mediaAnterior = m.media;
    const double abajo = m.mediana - 3.0 * m.sigma, arriba = m.mediana + 3.0 * m.sigma;
    for (int b = lo; b <= hi; ++b) {
      const double v = b - 32768;
      if (v < abajo || v > arriba) h[b] = 0;
    }
    m = MomentosHistograma(h, lo, hi);
    if (Redondeo10(mediaAnterior) == Redondeo10(m.media)) break;
  }

  cielo.nivel = usarMedia == 1 ? m.media : m.moda;
  cielo.desviacion = m.sigma;
  cielo.numPixeles = static_cast<int32_t>(m.n);
  return cielo;
}

int SumaApertura(const ImagenPixeles& im, long x, long y, int r, int saturacion, double& suma,
                 int32_t& numPixeles) {
  suma = 0.0;
  numPixeles = 0;
  if (r < 0) return 1;
  const long w = im.Ancho(), alto = im.Alto();
  const long r2 = static_cast<long>(r) * r;
  for (long f = std::max(y - r, 0L); f <= std::min(y + r, alto - 1); ++f) {
    for (long c = std::max(x - r, 0L); c <= std::min(x + r, w - 1); ++c) {
      if ((c - x) * (c - x) + (f - y) * (f - y) > r2) continue;
      const int v = im.Pixel(c, f);
      if (v >= saturacion) return 0;
      suma += v;
      ++numPixeles;
    }
  }
  return 1;
}

ResultadoFotometria MideEstrella(const ImagenPixeles& im, double x, double y,
                                 const ParametrosFotometria& p) {
  ResultadoFotometria res;
  // A position that is no number, or far beyond any image, cannot be measured.
  if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e9 || std::fabs(y) > 1e9) {
    res.magnitud = kMagSinFlujo;
    return res;
  }
  const long xi = static_cast<long>(x), yi = static_cast<long>(y);  // integer parts
  const Cielo cielo =
      EstimaCielo(im, xi, yi, p.radioCieloInt, p.radioCieloExt, p.maxIteraciones, p.usarMediaCielo);
  res.cielo = cielo.nivel;
  res.desvCielo = cielo.desviacion;
  if (!SumaApertura(im, xi, yi, p.radioEstrella, p.valorSaturacion, res.sumaBruta,
                    res.numPixeles)) {
    res.sumaBruta = 0.0;
    res.numPixeles = 0;
    res.sumaLimpia = 1.0;
    res.magnitud = kMagSaturada;
    return res;
  }
  res.sumaLimpia = res.sumaBruta - res.numPixeles * res.cielo;
  if (res.sumaLimpia <= 0.0) {
    res.magnitud = kMagSinFlujo;
    return res;
  }
  res.magnitud = p.constanteMag - 2.5 * std::log10(res.sumaLimpia);
  res.estado = 1;
  return res;
}

}  // namespace orva
