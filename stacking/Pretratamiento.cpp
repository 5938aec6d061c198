#include "stacking/Pretratamiento.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "formats/TiposArchivo.h"
#include "macro/Macro.h"
#include "processing/Comun.h"

namespace orva {
namespace {

constexpr double kDesviacionMad = 1.4826;
constexpr double kDesviacionMinima = 1.0;  // one pixel unit: a flat neighbourhood still has noise
constexpr size_t kColumnaValor = 10;       // a header card's value starts after "KEYWORD = "

std::string Texto(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.6g", v);
  return b;
}

constexpr double kKappaReparacionMaxima = 1000.0;

std::string TextoTamano(const Imagen& im) {
  return std::to_string(im.Ancho()) + "x" + std::to_string(im.Alto());
}

struct Region {
  long x1, x2, y1, y2;  // 0-based, inclusive
};

// The BIASSEC region of the header, false when there is none; 12287 when it is malformed or
// outside the image.
bool RegionOverscan(const Imagen& im, Region& r) {
  for (const std::string& t : im.cabecera.Tarjetas()) {
    if (Cabecera::Clave(t) != "BIASSEC") continue;
    std::string v = t.size() > kColumnaValor ? t.substr(kColumnaValor) : "";
    v.erase(v.find_last_not_of(' ') + 1);
    const size_t a = v.find('['), b = v.find(']');
    long x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    char cierre = 0;
    if (a == std::string::npos || b == std::string::npos || b < a ||
        std::sscanf(v.substr(a, b - a + 1).c_str(), "[%ld:%ld,%ld:%ld%c", &x1, &x2, &y1, &y2,
                    &cierre) != 5 ||
        cierre != ']') {
      throw JError(12287, NombreImagen(im), v);
    }
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x1 < 1 || y1 < 1 || x2 > static_cast<long>(im.Ancho()) ||
        y2 > static_cast<long>(im.Alto())) {
      throw JError(12287, NombreImagen(im), v);
    }
    r = Region{x1 - 1, x2 - 1, y1 - 1, y2 - 1};
    return true;
  }
  return false;
}

// The overscan level of every row (physical values).
std::vector<double> NivelesOverscan(const Imagen& im, const Region& r) {
  std::vector<double> fila(im.Alto(), 0.0);
  double total = 0.0;
  for (long y = r.y1; y <= r.y2; ++y) {
    double s = 0.0;
    for (long x = r.x1; x <= r.x2; ++x) s += im.mapeo.Fisico(im.Pixel(x, y));
    fila[static_cast<size_t>(y)] = s / static_cast<double>(r.x2 - r.x1 + 1);
    total += s;
  }
  const double media = total / static_cast<double>((r.x2 - r.x1 + 1) * (r.y2 - r.y1 + 1));
  for (long y = 0; y < static_cast<long>(im.Alto()); ++y) {
    if (y < r.y1 || y > r.y2) fila[static_cast<size_t>(y)] = media;
  }
  return fila;
}

double Mediana8(std::array<double, 8>& v, size_t n) {
  const size_t m = n / 2;
  std::nth_element(v.begin(), v.begin() + static_cast<long>(m), v.begin() + static_cast<long>(n));
  const double alto = v[m];
  if (n % 2 == 1) return alto;
  return (*std::max_element(v.begin(), v.begin() + static_cast<long>(m)) + alto) / 2.0;
}

}  // namespace

std::string NombreImagen(const Imagen& im) {
  if (!im.nombreVentana.empty()) return im.nombreVentana;
  if (!im.nombre.empty()) return im.NombreArchivo();
  return "-";
}

int64_t ReparaPixeles(Imagen& im, double kappa, Progreso& progreso) {
  const std::vector<int16_t> original = im.Pixeles();
  // The image's own noise bounds the deviation from below: eight neighbours alone often
  // agree by chance far better than the noise would have them.
  std::vector<int16_t> copia = original;
  const size_t mitad = copia.size() / 2;
  std::nth_element(copia.begin(), copia.begin() + static_cast<long>(mitad), copia.end());
  const double medianaImagen = copia.empty() ? 0.0 : copia[mitad];
  std::vector<double> desv(copia.size());
  for (size_t i = 0; i < copia.size(); ++i) desv[i] = std::fabs(original[i] - medianaImagen);
  std::nth_element(desv.begin(), desv.begin() + static_cast<long>(mitad), desv.end());
  const double ruido =
      std::max(kDesviacionMinima, desv.empty() ? 0.0 : kDesviacionMad * desv[mitad]);
  std::vector<int16_t>& px = im.Pixeles();
  const long w = im.Ancho(), h = im.Alto();
  std::vector<int64_t> porBanda(static_cast<size_t>(NumBandas(h)), 0);
  ParaBandas(h, &progreso, [&](long banda, long desde, long hasta) {
    std::array<double, 8> v{}, d{};
    for (long y = desde; y < hasta; ++y) {
      for (long x = 0; x < w; ++x) {
        size_t n = 0;
        for (long dy = -1; dy <= 1; ++dy) {
          for (long dx = -1; dx <= 1; ++dx) {
            const long u = x + dx, t = y + dy;
            if ((dx == 0 && dy == 0) || u < 0 || t < 0 || u >= w || t >= h) continue;
            v[n++] = original[static_cast<size_t>(t * w + u)];
          }
        }
        if (n < 3) continue;
        const double med = Mediana8(v, n);
        for (size_t i = 0; i < n; ++i) d[i] = std::fabs(v[i] - med);
        const double sd = std::max(ruido, kDesviacionMad * Mediana8(d, n));
        const size_t i = static_cast<size_t>(y * w + x);
        if (std::fabs(original[i] - med) > kappa * sd) {
          px[i] = static_cast<int16_t>(std::lround(med));
          ++porBanda[static_cast<size_t>(banda)];
        }
      }
    }
  });
  int64_t total = 0;
  for (int64_t c : porBanda) total += c;
  if (total > 0) im.Modificada(1);
  return total;
}

ResultadoPretratamiento Pretrata(Imagen& luz, const Maestros& m,
                                 const AjustesPretratamiento& ajustes, Progreso& progreso) {
  for (const Imagen* maestro : {m.bias, m.dark, m.flat}) {
    if (maestro && (maestro->Ancho() != luz.Ancho() || maestro->Alto() != luz.Alto())) {
      throw JError(12283, NombreImagen(*maestro), TextoTamano(*maestro), TextoTamano(luz));
    }
  }
  // The flat's mean from the exact sum of its stored values.
  double mediaFlat = 1.0;
  if (m.flat && m.flat->NumPixeles() > 0) {
    int64_t suma = 0;
    for (int16_t v : m.flat->Pixeles()) suma += v;
    mediaFlat = m.flat->mapeo.Fisico(static_cast<double>(suma) /
                                     static_cast<double>(m.flat->NumPixeles()));
    if (!(mediaFlat > 0.0)) throw JError(12282, TextoReal(mediaFlat));  // 12282
  }
  ResultadoPretratamiento r;
  std::vector<double> overscan;
  Region region{};
  if (ajustes.overscan && RegionOverscan(luz, region)) {
    overscan = NivelesOverscan(luz, region);
    r.overscan = true;
  }
  const double expLuz = luz.datos.tiempoExp;
  const double expDark = m.dark ? m.dark->datos.tiempoExp : 0.0;
  if (m.bias && m.dark && expLuz > 0.0 && expDark > 0.0 && expLuz != expDark) {
    r.factorDark = expLuz / expDark;
  }
  const RangoPixeles rango = Rango();
  const MapeoValores mapeo = luz.mapeo;
  const double escala = mapeo.escala != 0.0 ? mapeo.escala : 1.0;
  std::vector<int16_t> salida(luz.NumPixeles());
  const std::vector<int16_t>& px = luz.Pixeles();
  const size_t w = luz.Ancho();
  std::vector<int64_t> recortes(static_cast<size_t>(NumBandas(luz.Alto())), 0);
  ParaBandas(luz.Alto(), &progreso, [&](long banda, long desde, long hasta) {
    for (size_t y = static_cast<size_t>(desde); y < static_cast<size_t>(hasta); ++y) {
      const double os = overscan.empty() ? 0.0 : overscan[y];
      for (size_t x = 0; x < w; ++x) {
        const size_t i = y * w + x;
        double v = mapeo.Fisico(px[i]) - os;
        const double b = m.bias ? m.bias->mapeo.Fisico(m.bias->Pixeles()[i]) : 0.0;
        v -= b;
        if (m.dark) v -= (m.dark->mapeo.Fisico(m.dark->Pixeles()[i]) - b) * r.factorDark;
        if (m.flat) {
          const double f = m.flat->mapeo.Fisico(m.flat->Pixeles()[i]) / mediaFlat;
          v = f > 0.0 ? v / f : 0.0;
        }
        const double p = std::nearbyint((v - mapeo.cero) / escala);
        if (p < rango.minimo || p > rango.maximo) {
          ++recortes[static_cast<size_t>(banda)];
          salida[i] = p < rango.minimo ? rango.minimo : rango.maximo;
        } else {
          salida[i] = static_cast<int16_t>(p);
        }
      }
    }
  });
  for (int64_t c : recortes) r.recortados += c;
  luz.Pixeles().swap(salida);
  luz.Modificada(1);
  if (ajustes.reparar) r.reparados = ReparaPixeles(luz, ajustes.kappaReparacion, progreso);

  Cabecera& c = luz.cabecera;
  if (r.overscan) {
    c.AnadeHistoria("PRETRATAMIENTO overscan BIASSEC [" + std::to_string(region.x1 + 1) + ":" +
                    std::to_string(region.x2 + 1) + "," + std::to_string(region.y1 + 1) + ":" +
                    std::to_string(region.y2 + 1) + "]");
  }
  if (m.bias) c.AnadeHistoria("PRETRATAMIENTO bias " + NombreImagen(*m.bias));
  if (m.dark) {
    c.AnadeHistoria("PRETRATAMIENTO dark " + NombreImagen(*m.dark) + " factor " +
                    Texto(r.factorDark));
  }
  if (m.flat) c.AnadeHistoria("PRETRATAMIENTO flat " + NombreImagen(*m.flat));
  if (ajustes.reparar) {
    c.AnadeHistoria("PRETRATAMIENTO reparados " + std::to_string(r.reparados) + " kappa " +
                    Texto(ajustes.kappaReparacion));
  }
  if (r.recortados > 0) {
    c.AnadeHistoria("PRETRATAMIENTO recortados " + std::to_string(r.recortados));
  }
  return r;
}

namespace {

// PRETRATAR [BIAS file] [DARK file] [FLAT file] [REPARAR kappa] [SINOVERSCAN] on the current
// slot: the masters are read for the line and dropped after it.
int Pretratar(Ranuras& r, int actual, const std::vector<std::string>& args) {
  static const std::vector<std::string_view> palabras = {"BIAS", "DARK", "FLAT", "REPARAR",
                                                         "SINOVERSCAN"};
  std::string archivos[3];
  AjustesPretratamiento a;
  for (size_t k = 0; k < args.size(); ++k) {
    const int p = BuscaPalabra(args[k], palabras);
    if (p < 0 || args[k] != palabras[static_cast<size_t>(p)]) PalabraNoAdmitida(args, k);
    if (p == 4) {
      a.overscan = false;
      continue;
    }
    if (k + 1 >= args.size()) NumeroArgumentos(args.size(), std::to_string(args.size() + 1));
    if (p == 3) {
      a.reparar = true;
      a.kappaReparacion = ArgumentoReal(args, k + 1, 0.1, kKappaReparacionMaxima);
    } else {
      archivos[p] = args[k + 1];
    }
    ++k;
  }
  Imagen* luz = r.En(actual);
  if (!luz) return 0;
  Imagen maestros[3];
  Maestros m;
  const Imagen** destino[3] = {&m.bias, &m.dark, &m.flat};
  for (int i = 0; i < 3; ++i) {
    if (archivos[i].empty()) continue;
    LeeArchivo(archivos[i], maestros[i]);
    *destino[i] = &maestros[i];
  }
  Pretrata(*luz, m, a, ProgresoActual());
  return actual;
}

}  // namespace

std::string LineaPretrata(const std::string& bias, const std::string& dark, const std::string& flat,
                          const AjustesPretratamiento& ajustes) {
  std::string l = "PRETRATAR";
  if (!bias.empty()) l += " BIAS " + bias;
  if (!dark.empty()) l += " DARK " + dark;
  if (!flat.empty()) l += " FLAT " + flat;
  if (ajustes.reparar) l += " REPARAR " + Texto(ajustes.kappaReparacion);
  if (!ajustes.overscan) l += " SINOVERSCAN";
  return l;
}

void EnlazaApiladoMacro() {
  EnlazaComandoMacro("PRETRATAR", &Pretratar);
}

}  // namespace orva
