// Levels from the pixels: minimum-maximum, percentiles and zscale.
#include "core/Niveles.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/Imagen.h"

namespace orva {

namespace {

// A least-squares line through the points not marked bad; false when fewer than two remain.
bool AjustaRecta(const std::vector<double>& y, const std::vector<char>& malo, double& pendiente,
                 double& ordenada) {
  double n = 0, sx = 0, sy = 0;
  for (size_t i = 0; i < y.size(); ++i) {
    if (malo[i]) continue;
    n += 1;
    sx += static_cast<double>(i);
    sy += y[i];
  }
  if (n < 2) return false;
  const double mx = sx / n, my = sy / n;
  double sxx = 0, sxy = 0;
  for (size_t i = 0; i < y.size(); ++i) {
    if (malo[i]) continue;
    const double dx = static_cast<double>(i) - mx;
    sxx += dx * dx;
    sxy += dx * (y[i] - my);
  }
  if (sxx <= 0) return false;
  pendiente = sxy / sxx;
  ordenada = my - pendiente * mx;
  return true;
}

Niveles Ordenados(double bajo, double alto) {
  Niveles n{static_cast<int>(std::lround(bajo)), static_cast<int>(std::lround(alto))};
  if (n.blanco <= n.negro) n.blanco = n.negro + 1;
  return n;
}

}  // namespace

void ZScale(const std::vector<double>& valores, double& bajo, double& alto,
            const AjustesZScale& aj) {
  bajo = alto = 0.0;
  std::vector<double> finitos;
  finitos.reserve(valores.size());
  for (double v : valores) {
    if (std::isfinite(v)) finitos.push_back(v);
  }
  const double cociente =
      static_cast<double>(finitos.size()) / static_cast<double>(std::max<size_t>(1, aj.muestras));
  const size_t paso = std::max<size_t>(1, static_cast<size_t>(cociente));
  std::vector<double> muestra;
  for (size_t i = 0; i < finitos.size() && muestra.size() < aj.muestras; i += paso) {
    muestra.push_back(finitos[i]);
  }
  if (muestra.empty()) return;
  std::sort(muestra.begin(), muestra.end());
  const size_t n = muestra.size();
  bajo = muestra.front();
  alto = muestra.back();

  const size_t minimo =
      std::max(aj.minimoPixeles, static_cast<size_t>(static_cast<double>(n) * aj.rechazoMaximo));
  // Every rejected sample takes its neighbours with it: 1 % of the sample, centred.
  const size_t crece = std::max<size_t>(1, static_cast<size_t>(static_cast<double>(n) * 0.01));
  std::vector<char> malo(n, 0), dilatado(n, 0);
  size_t buenos = n, ultimosBuenos = n + 1;
  double pendiente = 0, ordenada = 0;
  bool ajustada = false;
  for (int it = 0; it < aj.iteraciones; ++it) {
    if (buenos >= ultimosBuenos || buenos < minimo) break;
    if (!AjustaRecta(muestra, malo, pendiente, ordenada)) break;
    ajustada = true;
    double suma = 0, suma2 = 0, cuenta = 0;
    std::vector<double> residuo(n);
    for (size_t i = 0; i < n; ++i) {
      residuo[i] = muestra[i] - (pendiente * static_cast<double>(i) + ordenada);
      if (malo[i]) continue;
      suma += residuo[i];
      cuenta += 1;
    }
    const double media = suma / cuenta;
    for (size_t i = 0; i < n; ++i) {
      if (!malo[i]) suma2 += (residuo[i] - media) * (residuo[i] - media);
    }
    const double umbral = aj.kSigma * std::sqrt(suma2 / cuenta);
    for (size_t i = 0; i < n; ++i) {
      if (residuo[i] < -umbral || residuo[i] > umbral) malo[i] = 1;
    }
    std::fill(dilatado.begin(), dilatado.end(), 0);
    const size_t antes = (crece - 1) / 2, despues = crece / 2;
    for (size_t j = 0; j < n; ++j) {
      if (!malo[j]) continue;
      const size_t desde = j >= antes ? j - antes : 0;
      const size_t hasta = std::min(n - 1, j + despues);
      for (size_t i = desde; i <= hasta; ++i) dilatado[i] = 1;
    }
    malo.swap(dilatado);
    ultimosBuenos = buenos;
    buenos = static_cast<size_t>(std::count(malo.begin(), malo.end(), 0));
  }
  if (!ajustada || buenos < minimo) return;
  if (aj.contraste > 0) pendiente /= aj.contraste;
  const double centro = static_cast<double>((n - 1) / 2);
  const double mediana = n % 2 ? muestra[n / 2] : 0.5 * (muestra[n / 2 - 1] + muestra[n / 2]);
  bajo = std::max(bajo, mediana - (centro - 1) * pendiente);
  alto = std::min(alto, mediana + (static_cast<double>(n) - centro) * pendiente);
}

Niveles NivelesMinMax(const ImagenPixeles& im) {
  return Ordenados(im.Minimo(), im.Maximo());
}

Niveles NivelesPercentil(const ImagenPixeles& im, double bajo, double alto) {
  return Ordenados(im.Percentil(bajo), im.Percentil(alto));
}

Niveles NivelesZScale(const ImagenPixeles& im) {
  std::vector<double> v(im.Pixeles().begin(), im.Pixeles().end());
  double bajo = 0, alto = 0;
  ZScale(v, bajo, alto);
  return Ordenados(bajo, alto);
}

Niveles CalculaNiveles(const ImagenPixeles& im, const EleccionNiveles& e) {
  switch (e.metodo) {
    case MetodoNiveles::kPercentil:
      return NivelesPercentil(im, e.bajo, e.alto);
    case MetodoNiveles::kZScale:
      return NivelesZScale(im);
    case MetodoNiveles::kMinMax:
      break;
  }
  return NivelesMinMax(im);
}

size_t LeeEleccionNiveles(const std::vector<std::string>& p, size_t i, EleccionNiveles& e) {
  if (i >= p.size()) return 0;
  if (p[i] == "minmax") {
    e.metodo = MetodoNiveles::kMinMax;
    return 1;
  }
  if (p[i] == "zscale") {
    e.metodo = MetodoNiveles::kZScale;
    return 1;
  }
  if (p[i] != "percentile" || i + 2 >= p.size()) return 0;
  double lh[2];
  for (int k = 0; k < 2; ++k) {
    const std::string& s = p[i + 1 + static_cast<size_t>(k)];
    char* fin = nullptr;
    lh[k] = std::strtod(s.c_str(), &fin);
    if (s.empty() || *fin != '\0' || !std::isfinite(lh[k])) return 0;
  }
  if (!(lh[0] >= 0 && lh[0] < lh[1] && lh[1] <= 100)) return 0;
  e.metodo = MetodoNiveles::kPercentil;
  e.bajo = lh[0];
  e.alto = lh[1];
  return 3;
}

}  // namespace orva
