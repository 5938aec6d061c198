// Image arithmetic: weighted sum and flat-field division.
#include "processing/Aritmetica.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "processing/Comun.h"

namespace orva {

namespace {

void MismoTamano(const Imagen& a, const Imagen& b) {
  if (a.Ancho() != b.Ancho() || a.Alto() != b.Alto()) {
    throw JError(12210, std::to_string(a.Ancho()) + "x" + std::to_string(a.Alto()),  // 12210
                 std::to_string(b.Ancho()) + "x" + std::to_string(b.Alto()));
  }
}

int16_t AlRango(int64_t v) {
  return static_cast<int16_t>(std::clamp<int64_t>(v, Rango().minimo, Rango().maximo));
}

}  // namespace

void SumaImagenes(Imagen& a, const Imagen& b, double f1, double f2, Progreso& progreso) {
  MismoTamano(a, b);
  const size_t w = a.Ancho(), h = a.Alto();
  const int16_t* pa = a.Pixeles().data();
  const int16_t* pb = b.Pixeles().data();
  std::vector<int16_t> out = NuevoBufferSalida(w * h);
  ParaBandas(static_cast<long>(h), &progreso, [&](long, long desde, long hasta) {
    for (size_t x = static_cast<size_t>(desde) * w; x < static_cast<size_t>(hasta) * w; ++x) {
      out[x] = AlRango(TruncaEntero(f1 * pa[x] + f2 * pb[x]));
    }
  });
  EntregaSalida(a, a.Ancho(), a.Alto(), std::move(out));
  // With one scale, f1 (z1 + s a) + f2 (z2 + s b) = f1 z1 + f2 z2 + s (f1 a + f2 b): the sum
  // keeps the scale with the combined zero point; images of different scales have no common one.
  if (a.mapeo.escala == b.mapeo.escala) {
    a.mapeo.cero = f1 * a.mapeo.cero + f2 * b.mapeo.cero;
  } else {
    a.mapeo = MapeoValores{};
  }
  a.Modificada(1);
}

void SumaImagenes(Imagen& a, const Imagen& b, double f1, double f2) {
  SumaImagenes(a, b, f1, f2, ProgresoActual());
}

void DivideImagenes(Imagen& a, const Imagen& flat, Progreso& progreso) {
  MismoTamano(a, flat);
  const size_t w = a.Ancho(), h = a.Alto();
  const int16_t* pa = a.Pixeles().data();
  const int16_t* pb = flat.Pixeles().data();
  // The flat's sum in whole numbers, per band, added in band order: exact, so the mean is the
  // same for any thread count.
  std::vector<int64_t> sumas(static_cast<size_t>(NumBandas(static_cast<long>(h))), 0);
  ParaBandas(static_cast<long>(h), &progreso, [&](long banda, long desde, long hasta) {
    int64_t s = 0;
    for (size_t i = static_cast<size_t>(desde) * w; i < static_cast<size_t>(hasta) * w; ++i) {
      s += pb[i];
    }
    sumas[static_cast<size_t>(banda)] = s;
  });
  int64_t suma = 0;
  for (int64_t s : sumas) suma += s;
  const double media = w * h > 0 ? static_cast<double>(suma) / static_cast<double>(w * h) : 0.0;
  if (media == 0.0) throw JError(12211);  // 12211
  std::vector<int16_t> out = NuevoBufferSalida(w * h);
  ParaBandas(static_cast<long>(h), &progreso, [&](long, long desde, long hasta) {
    for (size_t x = static_cast<size_t>(desde) * w; x < static_cast<size_t>(hasta) * w; ++x) {
      out[x] = pb[x] == 0 ? pa[x] : AlRango(TruncaEntero(pa[x] * media / pb[x]));
    }
  });
  EntregaSalida(a, a.Ancho(), a.Alto(), std::move(out));
  // The ratio keeps the physical scale only when neither image has a zero point.
  if (a.mapeo.cero != 0.0 || flat.mapeo.cero != 0.0) a.mapeo = MapeoValores{};
  a.Modificada(1);
}

void DivideImagenes(Imagen& a, const Imagen& flat) {
  DivideImagenes(a, flat, ProgresoActual());
}

std::string LineaSuma(int b, double f1, double f2) {
  char texto[96];
  std::snprintf(texto, sizeof texto, "SUMA 1 %d %.2lf %.2lf", b, f1, f2);
  return texto;
}

std::string LineaResta(int b) {
  return "RESTA 1 " + std::to_string(b);
}

std::string LineaDivide(int b) {
  return "DIVIDIR 1 " + std::to_string(b);
}

}  // namespace orva
