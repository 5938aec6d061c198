// Geometric operations: rotation, mirrors, window resampling for crop and shift, resize.
#include "processing/Geometria.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/JError.h"
#include "base/Memoria.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "processing/Comun.h"
#include "processing/Simd.h"

#if ORVA_SIMD_X86
#include <immintrin.h>
#define ORVA_GIRO_AVX2 1
#else
#define ORVA_GIRO_AVX2 0
#endif

namespace orva {

int16_t MuestraBilineal(const int16_t* px, long ancho, long alto, double x, double y,
                        int16_t relleno) {
  if (!(x >= 0.0) || !(y >= 0.0) || x >= static_cast<double>(ancho) ||
      y >= static_cast<double>(alto)) {
    return relleno;
  }
  const long x0 = static_cast<long>(x), y0 = static_cast<long>(y);
  const size_t i = static_cast<size_t>(y0) * static_cast<size_t>(ancho) + static_cast<size_t>(x0);
  if (x == static_cast<double>(x0) && y == static_cast<double>(y0)) return px[i];
  const bool derecha = x0 + 1 < ancho, abajo = y0 + 1 < alto;
  const double p00 = px[i];
  const double p10 = derecha ? px[i + 1] : relleno;
  const double p01 = abajo ? px[i + static_cast<size_t>(ancho)] : relleno;
  const double p11 = derecha && abajo ? px[i + static_cast<size_t>(ancho) + 1] : relleno;
  const double fx = x - static_cast<double>(x0), fy = y - static_cast<double>(y0);
  const double v =
      p00 * (1 - fx) * (1 - fy) + p01 * (1 - fx) * fy + p10 * fx * (1 - fy) + p11 * fx * fy;
  return static_cast<int16_t>(v);  // a weighted mean of 16-bit values: always in range
}

namespace {

void EntregaBloque(Imagen& im, uint32_t ancho, uint32_t alto, std::vector<int16_t>& bloque) {
  EntregaSalida(im, ancho, alto, std::move(bloque));
  im.Modificada(1);
}

#if ORVA_GIRO_AVX2
// The bilinear samples of one output row at (colX[x] - fs, colY[x] + fc), four at a time, for the
// groups whose four source positions all have their 2 x 2 neighbourhood inside the image; the other
// pixels are left to the scalar loop. The same double operations in the same order as
// MuestraBilineal (no fused multiply-add), so the results are identical: at a whole position the
// weights 1 and 0 give p00 exactly. A 32-bit gather at a pixel reads it and its right neighbour.
// Returns the column where the scalar loop takes over.
ORVA_AVX2 long FilaBilinealAvx2(const int16_t* px, long w, long h, const double* colX,
                                const double* colY, double fs, double fc, int16_t* o, long x,
                                long fin) {
  const __m256d vfs = _mm256_set1_pd(fs), vfc = _mm256_set1_pd(fc);
  const __m256d cero = _mm256_setzero_pd(), uno = _mm256_set1_pd(1.0);
  const __m256d wLim = _mm256_set1_pd(static_cast<double>(w - 1));
  const __m256d hLim = _mm256_set1_pd(static_cast<double>(h - 1));
  const __m128i vw = _mm_set1_epi32(static_cast<int>(w));
  const int* base = reinterpret_cast<const int*>(px);
  for (; x + 4 <= fin; x += 4) {
    const __m256d sx = _mm256_sub_pd(_mm256_loadu_pd(colX + x), vfs);
    const __m256d sy = _mm256_add_pd(_mm256_loadu_pd(colY + x), vfc);
    // 0 <= sx < w - 1 and 0 <= sy < h - 1: the four neighbours are inside.
    const __m256d dentro = _mm256_and_pd(
        _mm256_and_pd(_mm256_cmp_pd(sx, cero, _CMP_GE_OQ), _mm256_cmp_pd(sy, cero, _CMP_GE_OQ)),
        _mm256_and_pd(_mm256_cmp_pd(sx, wLim, _CMP_LT_OQ), _mm256_cmp_pd(sy, hLim, _CMP_LT_OQ)));
    if (_mm256_movemask_pd(dentro) != 0xF) {
      for (long k = x; k < x + 4; ++k) {
        o[k] = MuestraBilineal(px, w, h, colX[k] - fs, colY[k] + fc, Rango().defecto);
      }
      continue;
    }
    const __m128i x0 = _mm256_cvttpd_epi32(sx), y0 = _mm256_cvttpd_epi32(sy);
    const __m256d fx = _mm256_sub_pd(sx, _mm256_cvtepi32_pd(x0));
    const __m256d fy = _mm256_sub_pd(sy, _mm256_cvtepi32_pd(y0));
    const __m128i i0 = _mm_add_epi32(_mm_mullo_epi32(y0, vw), x0);
    const __m128i g0 = _mm_i32gather_epi32(base, i0, 2);
    const __m128i g1 = _mm_i32gather_epi32(base, _mm_add_epi32(i0, vw), 2);
    const __m256d p00 = _mm256_cvtepi32_pd(_mm_srai_epi32(_mm_slli_epi32(g0, 16), 16));
    const __m256d p10 = _mm256_cvtepi32_pd(_mm_srai_epi32(g0, 16));
    const __m256d p01 = _mm256_cvtepi32_pd(_mm_srai_epi32(_mm_slli_epi32(g1, 16), 16));
    const __m256d p11 = _mm256_cvtepi32_pd(_mm_srai_epi32(g1, 16));
    const __m256d ufx = _mm256_sub_pd(uno, fx), ufy = _mm256_sub_pd(uno, fy);
    __m256d v = _mm256_mul_pd(_mm256_mul_pd(p00, ufx), ufy);
    v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(p01, ufx), fy));
    v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(p10, fx), ufy));
    v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(p11, fx), fy));
    const __m128i r = _mm256_cvttpd_epi32(v);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + x), _mm_packs_epi32(r, r));
  }
  return x;
}
#endif

#if ORVA_GIRO_AVX2
// Whether the vector path can serve a block of that many pixels (32-bit linear indices).
bool VectorBilineal(uint64_t pixeles) {
  return UsaAvx2() && pixeles < (uint64_t{1} << 31);
}
#endif

// Quarter and half turns, in bands of output rows; the quarter turns by tiles, so that both
// blocks are walked in cache-sized pieces.
void GiroExacto(Imagen& im, int cuartos, Progreso& progreso) {
  const size_t w = im.Ancho(), h = im.Alto();
  const int16_t* src = im.Pixeles().data();
  std::vector<int16_t> out = NuevoBufferSalida(w * h);
  int16_t* o = out.data();
  if (cuartos == 2) {
    ParaBandas(static_cast<long>(h), &progreso, [&](long, long desde, long hasta) {
      for (size_t y = static_cast<size_t>(desde); y < static_cast<size_t>(hasta); ++y) {
        const int16_t* s = src + y * w;
        int16_t* d = o + (h - 1 - y) * w;
        for (size_t x = 0; x < w; ++x) d[w - 1 - x] = s[x];
      }
    });
    EntregaBloque(im, static_cast<uint32_t>(w), static_cast<uint32_t>(h), out);
    return;
  }
  // Output is h wide and w high. 90: out(X, Y) = src(Y, h-1-X); 270: out(X, Y) = src(w-1-Y, X).
  constexpr size_t kTeja = 64;
  const size_t ow = h, oh = w;
  ParaBandas(
      static_cast<long>(oh), &progreso,
      [&](long, long desde, long hasta) {
        const size_t ty = static_cast<size_t>(desde), ty1 = static_cast<size_t>(hasta);
        for (size_t tx = 0; tx < ow; tx += kTeja) {
          const size_t tx1 = std::min(ow, tx + kTeja);
          for (size_t Y = ty; Y < ty1; ++Y) {
            int16_t* d = o + Y * ow;
            if (cuartos == 1) {
              for (size_t X = tx; X < tx1; ++X) d[X] = src[(h - 1 - X) * w + Y];
            } else {
              for (size_t X = tx; X < tx1; ++X) d[X] = src[X * w + (w - 1 - Y)];
            }
          }
        }
      },
      static_cast<long>(kTeja));
  EntregaBloque(im, static_cast<uint32_t>(ow), static_cast<uint32_t>(oh), out);
}

#if ORVA_GIRO_AVX2
// The vector path fills the groups of four that reach outside the image with the configured
// out-of-image value, so it serves only operations that fill with that value.
bool VectorConRelleno(uint64_t pixeles, int16_t relleno) {
  return relleno == Rango().defecto && VectorBilineal(pixeles);
}
#endif

// The pixel map of a quarter (1), half (2) or three-quarter (3) turn of a w x h image, from the
// turned grid back to the old one (see GiroExacto).
MapaPixeles MapaGiro(int cuartos, double w, double h) {
  if (cuartos == 1) return {0.0, 1.0, -1.0, 0.0, 0.0, h - 1.0};
  if (cuartos == 2) return {-1.0, 0.0, 0.0, -1.0, w - 1.0, h - 1.0};
  return {0.0, -1.0, 1.0, 0.0, w - 1.0, 0.0};
}

}  // namespace

void AplicaRotacion(Imagen& im, const ParamsRotacion& p, Progreso& progreso) {
  const double a = p.angulo;
  if (!std::isfinite(a)) return;
  if (std::fmod(a, 90.0) == 0.0) {
    const int cuartos =
        static_cast<int>(((static_cast<long long>(std::fmod(a, 360.0) / 90.0) % 4) + 4) % 4);
    if (cuartos == 0) {
      im.Modificada(1);
    } else {
      const double w0 = im.Ancho(), h0 = im.Alto();
      GiroExacto(im, cuartos, progreso);
      im.cabecera.MueveWcs(MapaGiro(cuartos, w0, h0), LineaRotacion(p));
    }
    return;
  }
  const long w = im.Ancho(), h = im.Alto();
  const double cx = p.conCentro ? p.cx : static_cast<double>(w / 2);
  const double cy = p.conCentro ? p.cy : static_cast<double>(h / 2);
  const double t = -a * M_PI / 180.0, c = std::cos(t), s = std::sin(t);
  const int16_t relleno = p.valor;
  const int16_t* src = im.Pixeles().data();
  std::vector<int16_t> out = NuevoBufferSalida(static_cast<size_t>(w) * static_cast<size_t>(h));
#if ORVA_GIRO_AVX2
  // Linear indices of the vector path are 32-bit.
  const bool avx2 = VectorConRelleno(static_cast<uint64_t>(w) * static_cast<uint64_t>(h), relleno);
#endif
  // The column terms (x - cx) c + cx and (x - cx) s + cy, the same operations the per-pixel
  // formula makes, computed once per column.
  std::vector<double> colX(static_cast<size_t>(w)), colY(static_cast<size_t>(w));
  for (long x = 0; x < w; ++x) {
    colX[static_cast<size_t>(x)] = (static_cast<double>(x) - cx) * c + cx;
    colY[static_cast<size_t>(x)] = (static_cast<double>(x) - cx) * s + cy;
  }
  ParaBandas(h, &progreso, [&](long, long desde, long hasta) {
    for (long y = desde; y < hasta; ++y) {
      const double fs = (static_cast<double>(y) - cy) * s, fc = (static_cast<double>(y) - cy) * c;
      int16_t* o = out.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
      long x = 0;
#if ORVA_GIRO_AVX2
      if (avx2) x = FilaBilinealAvx2(src, w, h, colX.data(), colY.data(), fs, fc, o, 0, w);
#endif
      for (; x < w; ++x) {
        const double sx = colX[static_cast<size_t>(x)] - fs;
        const double sy = colY[static_cast<size_t>(x)] + fc;
        o[x] = MuestraBilineal(src, w, h, sx, sy, relleno);
      }
    }
  });
  EntregaBloque(im, static_cast<uint32_t>(w), static_cast<uint32_t>(h), out);
  im.cabecera.QuitaWcs(LineaRotacion(p));
}

void AplicaRotacion(Imagen& im, const ParamsRotacion& p) {
  SesionProgreso sesion(std::string("ROTANDO IMAGEN"));
  AplicaRotacion(im, p, ProgresoActual());
}

std::string LineaRotacion(const ParamsRotacion& p) {
  char texto[64];
  std::snprintf(texto, sizeof texto, "ROTAR %.2f ", p.angulo);
  std::string l = texto;
  if (p.conCentro) l += TextoReal(p.cx) + " " + TextoReal(p.cy);
  return l;
}

void AplicaEspejo(Imagen& im, Espejo e, Progreso& progreso) {
  const size_t w = im.Ancho(), h = im.Alto();
  const int16_t* src = im.Pixeles().data();
  std::vector<int16_t> out = NuevoBufferSalida(w * h);
  ParaBandas(static_cast<long>(h), &progreso, [&](long, long desde, long hasta) {
    for (size_t y = static_cast<size_t>(desde); y < static_cast<size_t>(hasta); ++y) {
      int16_t* d = out.data() + y * w;
      if (e == Espejo::kHorizontal) {
        const int16_t* s = src + y * w + w;
        for (size_t x = 0; x < w; ++x) d[x] = *--s;
      } else {
        std::memcpy(d, src + (h - 1 - y) * w, w * sizeof(int16_t));
      }
    }
  });
  EntregaBloque(im, static_cast<uint32_t>(w), static_cast<uint32_t>(h), out);
  const double ultimaX = static_cast<double>(w) - 1.0, ultimaY = static_cast<double>(h) - 1.0;
  im.cabecera.MueveWcs(e == Espejo::kHorizontal ? MapaPixeles{-1.0, 0.0, 0.0, 1.0, ultimaX, 0.0}
                                                : MapaPixeles{1.0, 0.0, 0.0, -1.0, 0.0, ultimaY},
                       LineaEspejo(e));
}

void AplicaEspejo(Imagen& im, Espejo e) {
  AplicaEspejo(im, e, ProgresoActual());
}

std::string LineaEspejo(Espejo e) {
  return e == Espejo::kHorizontal ? "ESPEJO HORIZONTAL" : "ESPEJO VERTICAL";
}

void RemuestreaVentana(Imagen& im, double ox, double oy, int w, int h, int16_t relleno,
                       Progreso& progreso) {
  if (w < 0 || h < 0) return;
  const long sw = im.Ancho(), sh = im.Alto();
  const int16_t* src = im.Pixeles().data();
  const size_t ws = static_cast<size_t>(w);
  std::vector<int16_t> out =
      NuevoBufferSalida(static_cast<size_t>(static_cast<uint64_t>(w) * static_cast<uint64_t>(h)));
  // A whole offset moves pixels exactly: rows are copied, the rest takes the fill value.
  const bool entero =
      ox == std::trunc(ox) && oy == std::trunc(oy) && std::fabs(ox) < 2e9 && std::fabs(oy) < 2e9;
#if ORVA_GIRO_AVX2
  const bool vector =
      !entero && VectorConRelleno(static_cast<uint64_t>(sw) * static_cast<uint64_t>(sh), relleno);
  // The row term of the vector path: the source row is the same for a whole output row.
  const std::vector<double> ceros(vector ? ws : 0, 0.0);
#endif
  std::vector<double> colX(entero ? 0 : ws);
  for (size_t x = 0; x < colX.size(); ++x) colX[x] = static_cast<double>(x) + ox;
  ParaBandas(h, &progreso, [&](long, long desde, long hasta) {
    for (long y = desde; y < hasta; ++y) {
      int16_t* o = out.data() + static_cast<size_t>(y) * ws;
      if (entero) {
        const long fy = y + static_cast<long>(oy), dx = static_cast<long>(ox);
        std::fill(o, o + w, relleno);
        if (fy < 0 || fy >= sh) continue;
        const long x0 = std::max(0L, -dx), x1 = std::min(static_cast<long>(w), sw - dx);
        if (x1 > x0) {
          std::memcpy(o + x0,
                      src + static_cast<size_t>(fy) * static_cast<size_t>(sw) +
                          static_cast<size_t>(x0 + dx),
                      static_cast<size_t>(x1 - x0) * sizeof(int16_t));
        }
        continue;
      }
      const double sy = static_cast<double>(y) + oy;
      size_t x = 0;
#if ORVA_GIRO_AVX2
      if (vector) {
        x = static_cast<size_t>(FilaBilinealAvx2(src, sw, sh, colX.data(), ceros.data(), 0.0, sy, o,
                                                 0, static_cast<long>(ws)));
      }
#endif
      for (; x < ws; ++x) o[x] = MuestraBilineal(src, sw, sh, colX[x], sy, relleno);
    }
  });
  EntregaBloque(im, static_cast<uint32_t>(w), static_cast<uint32_t>(h), out);
  im.cabecera.MueveWcs(MapaPixeles{1.0, 0.0, 0.0, 1.0, ox, oy}, "");
}

void CompruebaCorte(const Imagen& im, const ParamsCorte& p) {
  const int64_t w = im.Ancho(), h = im.Alto();
  if (p.x < 0 || p.x >= w) throw JError(12045);  // 12045
  if (p.y < 0 || p.y >= h) throw JError(12046);  // 12046
  if (p.w < 1 || p.h < 1 || int64_t{p.x} + p.w > w || int64_t{p.y} + p.h > h) {
    throw JError(12047);  // 12047
  }
}

void AplicaCorte(Imagen& im, const ParamsCorte& p, Progreso& progreso) {
  CompruebaCorte(im, p);
  RemuestreaVentana(im, p.x, p.y, p.w, p.h, p.valor, progreso);
}

void AplicaCorte(Imagen& im, const ParamsCorte& p) {
  AplicaCorte(im, p, ProgresoActual());
}

std::string LineaCorte(const ParamsCorte& p) {
  char texto[96];
  if (p.conValor) {
    std::snprintf(texto, sizeof texto, "CORTAR %d %d %d %d %d", p.x, p.y, p.w, p.h, p.valor);
  } else {
    std::snprintf(texto, sizeof texto, "CORTAR %d %d %d %d", p.x, p.y, p.w, p.h);
  }
  return texto;
}

namespace {

// Whether the resize can run: sizes of at least 1, and the new block and the column positions
// within the memory available (10100, raised before either is allocated).
bool RedimAdmitida(const ParamsRedim& p) {
  if (p.w < 1 || p.h < 1 || p.nw < 1 || p.nh < 1) return false;
  CompruebaMemoria(
      SumaBytes(BytesDe(static_cast<uint64_t>(p.nw), static_cast<uint64_t>(p.nh), sizeof(int16_t)),
                BytesDe(static_cast<uint64_t>(p.nw), sizeof(double))));
  return true;
}

}  // namespace

bool AplicaRedim(Imagen& im, const ParamsRedim& p, Progreso& progreso) {
  if (!RedimAdmitida(p)) return false;
  const long sw = im.Ancho(), sh = im.Alto();
  const int16_t relleno = p.valor;
  const int16_t* src = im.Pixeles().data();
  std::vector<int16_t> out = NuevoBufferSalida(
      static_cast<size_t>(static_cast<uint64_t>(p.nw) * static_cast<uint64_t>(p.nh)));
  const size_t nw = static_cast<size_t>(p.nw);
  std::vector<double> colX(nw);
#if ORVA_GIRO_AVX2
  const bool vector =
      VectorConRelleno(static_cast<uint64_t>(sw) * static_cast<uint64_t>(sh), relleno);
  // The row term of the vector path: the source row is the same for a whole output row.
  const std::vector<double> ceros(vector ? nw : 0, 0.0);
#endif
  for (size_t x = 0; x < nw; ++x) {
    colX[x] = static_cast<double>(x) * p.w / p.nw + p.x;
  }
  ParaBandas(p.nh, &progreso, [&](long, long desde, long hasta) {
    for (long y = desde; y < hasta; ++y) {
      const double sy = static_cast<double>(y) * p.h / p.nh + p.y;
      int16_t* o = out.data() + static_cast<size_t>(y) * nw;
      size_t x = 0;
#if ORVA_GIRO_AVX2
      if (vector) {
        x = static_cast<size_t>(FilaBilinealAvx2(src, sw, sh, colX.data(), ceros.data(), 0.0, sy, o,
                                                 0, static_cast<long>(nw)));
      }
#endif
      for (; x < nw; ++x) o[x] = MuestraBilineal(src, sw, sh, colX[x], sy, relleno);
    }
  });
  EntregaBloque(im, static_cast<uint32_t>(p.nw), static_cast<uint32_t>(p.nh), out);
  im.cabecera.MueveWcs(
      MapaPixeles{static_cast<double>(p.w) / p.nw, 0.0, 0.0, static_cast<double>(p.h) / p.nh,
                  static_cast<double>(p.x), static_cast<double>(p.y)},
      LineaRedim(p));
  return true;
}

bool AplicaRedim(Imagen& im, const ParamsRedim& p) {
  if (!RedimAdmitida(p)) return false;
  SesionProgreso sesion(std::string("REDIMENSIONANDO IMAGEN"));
  return AplicaRedim(im, p, ProgresoActual());
}

std::string LineaRedim(const ParamsRedim& p) {
  char texto[128];
  std::snprintf(texto, sizeof texto, "REDIM %d %d %d %d %d %d", p.x, p.y, p.w, p.h, p.nw, p.nh);
  return texto;
}

void CompruebaFactor(double factor) {
  if (!(factor > 0.0)) throw JError(12048);  // 12048
}

void AplicaDesplaza(Imagen& im, const ParamsDesplaza& p, Progreso& progreso) {
  // Output pixel (x, y) samples the input at (x - dx, y - dy): the picture moves by +dx, +dy.
  RemuestreaVentana(im, -p.dx, -p.dy, static_cast<int>(im.Ancho()), static_cast<int>(im.Alto()),
                    p.valor, progreso);
}

void AplicaDesplaza(Imagen& im, const ParamsDesplaza& p) {
  SesionProgreso sesion(std::string("DESPLAZANDO IMAGEN"));
  AplicaDesplaza(im, p, ProgresoActual());
}

std::string LineaDesplaza(const ParamsDesplaza& p) {
  return "DESPLAZA " + TextoReal(p.dx) + " " + TextoReal(p.dy) + " " + std::to_string(p.valor);
}

}  // namespace orva
