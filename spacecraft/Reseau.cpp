// Reseau marks: grid tables, the dark-spot search and the piecewise-linear correction.
#include "spacecraft/Reseau.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>

#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"

namespace orva {
namespace {

constexpr double kSigmasPlantilla = 3.0;  // half-size of the template, in spot widths
constexpr double kRuidoMinimo = 0.5;      // pixel noise floor (the quantisation), DN
constexpr double kMargenRegular = 0.08;   // fraction of the frame left outside a regular grid
constexpr int kMaxLadoRejilla = 200;
constexpr long kMarcasPorBanda = 1;
constexpr double kAMad = 1.4826;  // MAD to standard deviation of a normal distribution
constexpr int kMinimoMarcas = 3;
constexpr double kProfundidadRelativa = 4.0;  // a mark's depth against its ring's scatter

double Mediana(std::vector<double> v) {
  if (v.empty()) return 0.0;
  const size_t m = v.size() / 2;
  std::nth_element(v.begin(), v.begin() + static_cast<ptrdiff_t>(m), v.end());
  return v[m];
}

// The darkness-weighted centroid in a box of half-size h around (cx, cy), the background a plane
// fitted to the square ring just outside it. False when the box holds no darkness, or when the
// spot is not clearly deeper than the ring's scatter about its plane (an edge, not a mark).
bool Centroide(const ImagenPixeles& im, long cx, long cy, long h, double ruido, double& x,
               double& y) {
  // Least squares of v = a + b dx + c dy over the ring; the ring is symmetric, so the normal
  // equations are diagonal.
  double n = 0, sv = 0, sxv = 0, syv = 0, sxx = 0, syy = 0;
  const long r = h + 2;
  for (long dy = -r; dy <= r; ++dy) {
    for (long dx = -r; dx <= r; ++dx) {
      if (std::max(std::labs(dx), std::labs(dy)) <= h) continue;
      const double v = im.Pixel(cx + dx, cy + dy);
      n += 1;
      sv += v;
      sxv += v * static_cast<double>(dx);
      syv += v * static_cast<double>(dy);
      sxx += static_cast<double>(dx * dx);
      syy += static_cast<double>(dy * dy);
    }
  }
  const double a = sv / n, b = sxv / sxx, c = syv / syy;
  double residuo = 0;
  for (long dy = -r; dy <= r; ++dy) {
    for (long dx = -r; dx <= r; ++dx) {
      if (std::max(std::labs(dx), std::labs(dy)) <= h) continue;
      const double e = im.Pixel(cx + dx, cy + dy) -
                       (a + b * static_cast<double>(dx) + c * static_cast<double>(dy));
      residuo += e * e;
    }
  }
  residuo = std::max(ruido, std::sqrt(residuo / n));
  if (!(a - im.Pixel(cx, cy) >= kProfundidadRelativa * residuo)) return false;
  double s = 0, sx = 0, sy = 0;
  for (long dy = -h; dy <= h; ++dy) {
    for (long dx = -h; dx <= h; ++dx) {
      const double fondo = a + b * static_cast<double>(dx) + c * static_cast<double>(dy);
      const double w = std::max(0.0, fondo - im.Pixel(cx + dx, cy + dy));
      s += w;
      sx += w * static_cast<double>(dx);
      sy += w * static_cast<double>(dy);
    }
  }
  if (!(s > 0)) return false;
  x = static_cast<double>(cx) + sx / s;
  y = static_cast<double>(cy) + sy / s;
  return true;
}

MarcaEncontrada BuscaUna(const ImagenPixeles& im, const MarcaReseau& m, const OpcionesReseau& op) {
  MarcaEncontrada r;
  r.x = m.xNominal;
  r.y = m.yNominal;
  const long h = std::max(1L, static_cast<long>(std::ceil(kSigmasPlantilla * op.sigmaMarca)));
  const long R = static_cast<long>(std::ceil(op.radioBusqueda));
  const long x0 = std::lround(m.xNominal), y0 = std::lround(m.yNominal);
  const long W = static_cast<long>(im.Ancho()), H = static_cast<long>(im.Alto());
  // The zero-mean template: positive where the spot is dark.
  const long lado = 2 * h + 1;
  std::vector<double> g(static_cast<size_t>(lado * lado));
  double media = 0;
  for (long dy = -h; dy <= h; ++dy) {
    for (long dx = -h; dx <= h; ++dx) {
      const double v =
          std::exp(-0.5 * static_cast<double>(dx * dx + dy * dy) / (op.sigmaMarca * op.sigmaMarca));
      g[static_cast<size_t>((dy + h) * lado + dx + h)] = v;
      media += v;
    }
  }
  media /= static_cast<double>(g.size());
  double norma = 0;
  for (double& v : g) {
    v = media - v;
    norma += v * v;
  }
  norma = std::sqrt(norma);
  double mejor = -1e300;
  long bx = 0, by = 0;
  bool alguno = false;
  std::vector<double> diferencias;
  for (long cy = y0 - R; cy <= y0 + R; ++cy) {
    for (long cx = x0 - R; cx <= x0 + R; ++cx) {
      if (cx - h - 2 < 0 || cy - h - 2 < 0 || cx + h + 2 >= W || cy + h + 2 >= H) continue;
      double s = 0;
      for (long dy = -h; dy <= h; ++dy) {
        const size_t f = static_cast<size_t>((dy + h) * lado + h);
        for (long dx = -h; dx <= h; ++dx) {
          s += g[f + static_cast<size_t>(dx)] * im.Pixel(cx + dx, cy + dy);
        }
      }
      if (s > mejor) {
        mejor = s;
        bx = cx;
        by = cy;
      }
      alguno = true;
      diferencias.push_back(
          std::fabs(static_cast<double>(im.Pixel(cx + 1, cy)) - im.Pixel(cx, cy)));
    }
  }
  if (!alguno) return r;
  // The noise of one pixel from the neighbours' differences (robust), then of the filter.
  const double ruido =
      std::max(kRuidoMinimo, kAMad * Mediana(std::move(diferencias)) / std::sqrt(2.0));
  r.contraste = mejor / (ruido * norma);
  if (!(r.contraste >= op.contrasteMinimo)) return r;
  double x = 0, y = 0;
  if (!Centroide(im, bx, by, h, ruido, x, y)) return r;
  // Once more around the centroid's nearest pixel, so that the box is centred on the spot.
  const long rx = std::lround(x), ry = std::lround(y);
  if ((rx != bx || ry != by) && !Centroide(im, rx, ry, h, ruido, x, y)) return r;
  r.x = x;
  r.y = y;
  r.encontrada = true;
  return r;
}

// Bilinear value at a real position, rounded; outside the frame the out-of-image value.
int16_t Bilineal(const ImagenPixeles& im, double x, double y, int16_t fuera) {
  if (!(x >= 0.0) || !(y >= 0.0) || x > im.Ancho() - 1.0 || y > im.Alto() - 1.0) return fuera;
  const long x0 = static_cast<long>(x), y0 = static_cast<long>(y);
  const double fx = x - static_cast<double>(x0), fy = y - static_cast<double>(y0);
  const long x1 = std::min(x0 + 1, static_cast<long>(im.Ancho()) - 1);
  const long y1 = std::min(y0 + 1, static_cast<long>(im.Alto()) - 1);
  const double v = (im.Pixel(x0, y0) * (1 - fx) + im.Pixel(x1, y0) * fx) * (1 - fy) +
                   (im.Pixel(x0, y1) * (1 - fx) + im.Pixel(x1, y1) * fx) * fy;
  return static_cast<int16_t>(std::lround(v));
}

struct Punto {
  double x = 0, y = 0;
};

double Cruz(Punto o, Punto a, Punto b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// The image point of object point q in the triangle (a, b, c) of object points oa, ob, oc.
Punto Afin(Punto q, Punto oa, Punto ob, Punto oc, Punto a, Punto b, Punto c) {
  const double d = Cruz(oa, ob, oc);
  const double l2 = Cruz(oa, q, oc) / d;
  const double l3 = Cruz(oa, ob, q) / d;
  const double l1 = 1.0 - l2 - l3;
  return {l1 * a.x + l2 * b.x + l3 * c.x, l1 * a.y + l2 * b.y + l3 * c.y};
}

}  // namespace

RejillaReseau LeeRejillaReseau(std::string_view texto) {
  RejillaReseau r;
  std::istringstream in{std::string(texto)};
  std::string linea;
  int numero = 0;
  std::vector<bool> vista;
  auto falla = [&](const char* motivo) {
    return JError(12562, std::to_string(numero), motivo);  // 12562
  };
  while (std::getline(in, linea)) {
    ++numero;
    const size_t h = linea.find('#');
    if (h != std::string::npos) linea.resize(h);
    std::istringstream ls(linea);
    std::string primera;
    if (!(ls >> primera)) continue;
    if (primera == "GRID") {
      if (r.filas > 0) throw falla("GRID");
      if (!(ls >> r.nombre >> r.filas >> r.columnas) || r.filas < 2 || r.columnas < 2 ||
          r.filas > kMaxLadoRejilla || r.columnas > kMaxLadoRejilla) {
        throw falla("GRID");
      }
      r.marcas.assign(static_cast<size_t>(r.filas * r.columnas), {});
      vista.assign(r.marcas.size(), false);
      continue;
    }
    if (r.filas == 0) throw falla("GRID");
    MarcaReseau m;
    std::istringstream ms(linea);
    std::string resto;
    if (!(ms >> m.fila >> m.columna >> m.xNominal >> m.yNominal >> m.xObjeto >> m.yObjeto) ||
        (ms >> resto) || !std::isfinite(m.xNominal + m.yNominal + m.xObjeto + m.yObjeto)) {
      throw falla("?");
    }
    if (m.fila < 0 || m.fila >= r.filas || m.columna < 0 || m.columna >= r.columnas) {
      throw falla("fila/columna");
    }
    const size_t i = static_cast<size_t>(m.fila * r.columnas + m.columna);
    if (vista[i]) throw falla("fila/columna");
    vista[i] = true;
    r.marcas[i] = m;
  }
  if (r.filas == 0 || std::count(vista.begin(), vista.end(), false) > 0) {
    throw falla("marcas");
  }
  return r;
}

RejillaReseau RejillaRegular(int ancho, int alto, int n) {
  RejillaReseau r;
  r.nombre = kNombreRegular;
  r.filas = r.columnas = std::clamp(n, 2, kMaxLadoRejilla);
  const double mx = kMargenRegular * ancho, my = kMargenRegular * alto;
  const double px = (ancho - 1 - 2 * mx) / (r.columnas - 1);
  const double py = (alto - 1 - 2 * my) / (r.filas - 1);
  for (int f = 0; f < r.filas; ++f) {
    for (int c = 0; c < r.columnas; ++c) {
      const double x = mx + c * px, y = my + f * py;
      r.marcas.push_back({f, c, x, y, x, y});
    }
  }
  return r;
}

std::vector<MarcaEncontrada> BuscaMarcas(const ImagenPixeles& im, const RejillaReseau& r,
                                         const OpcionesReseau& op, Progreso* progreso) {
  std::vector<MarcaEncontrada> res(r.marcas.size());
  ParaBandas(
      static_cast<long>(r.marcas.size()), progreso,
      [&](long, long desde, long hasta) {
        for (long i = desde; i < hasta; ++i) {
          res[static_cast<size_t>(i)] = BuscaUna(im, r.marcas[static_cast<size_t>(i)], op);
        }
      },
      kMarcasPorBanda);
  return res;
}

void CorrigeGeometria(const ImagenPixeles& fuente, const RejillaReseau& r,
                      const std::vector<MarcaEncontrada>& marcas, const OpcionesReseau& op,
                      bool quitaMarcas, Progreso* progreso, ImagenPixeles& destino) {
  const size_t n = r.marcas.size();
  if (marcas.size() != n || r.filas < 2 || r.columnas < 2) {
    throw JError(12563, "0", std::to_string(n));  // 12563
  }
  // Displacements of the found marks; the others take those of their found neighbours.
  std::vector<Punto> img(n);
  std::vector<Punto> des(n);
  int encontradas = 0;
  Punto total;
  for (size_t i = 0; i < n; ++i) {
    if (!marcas[i].encontrada) continue;
    des[i] = {marcas[i].x - r.marcas[i].xNominal, marcas[i].y - r.marcas[i].yNominal};
    total.x += des[i].x;
    total.y += des[i].y;
    ++encontradas;
  }
  if (encontradas < kMinimoMarcas) {
    throw JError(12563, std::to_string(encontradas), std::to_string(n));  // 12563
  }
  for (int f = 0; f < r.filas; ++f) {
    for (int c = 0; c < r.columnas; ++c) {
      const size_t i = static_cast<size_t>(f * r.columnas + c);
      if (!marcas[i].encontrada) {
        Punto s;
        int k = 0;
        for (int g = std::max(0, f - 1); g <= std::min(r.filas - 1, f + 1); ++g) {
          for (int d = std::max(0, c - 1); d <= std::min(r.columnas - 1, c + 1); ++d) {
            const size_t j = static_cast<size_t>(g * r.columnas + d);
            if (!marcas[j].encontrada) continue;
            s.x += des[j].x;
            s.y += des[j].y;
            ++k;
          }
        }
        des[i] =
            k > 0 ? Punto{s.x / k, s.y / k} : Punto{total.x / encontradas, total.y / encontradas};
      }
      img[i] = {r.marcas[i].xNominal + des[i].x, r.marcas[i].yNominal + des[i].y};
    }
  }
  // The cells are found on the mean object position of each grid column and row.
  std::vector<double> xs(static_cast<size_t>(r.columnas), 0.0),
      ys(static_cast<size_t>(r.filas), 0.0);
  for (const MarcaReseau& m : r.marcas) {
    xs[static_cast<size_t>(m.columna)] += m.xObjeto / r.filas;
    ys[static_cast<size_t>(m.fila)] += m.yObjeto / r.columnas;
  }
  if (!std::is_sorted(xs.begin(), xs.end()) || !std::is_sorted(ys.begin(), ys.end())) {
    throw JError(12562, "0", "xObjeto/yObjeto");  // 12562
  }
  auto celda = [](const std::vector<double>& v, double q) {
    const long i = static_cast<long>(std::upper_bound(v.begin(), v.end(), q) - v.begin()) - 1;
    return std::clamp(i, 0L, static_cast<long>(v.size()) - 2);
  };
  const long W = static_cast<long>(fuente.Ancho()), H = static_cast<long>(fuente.Alto());
  const int16_t fuera = fuente.Pixel(-1L, -1L);
  std::vector<int16_t> salida(static_cast<size_t>(W) * static_cast<size_t>(H));
  ParaBandas(H, progreso, [&](long, long desde, long hasta) {
    for (long y = desde; y < hasta; ++y) {
      const long f = celda(ys, static_cast<double>(y));
      for (long x = 0; x < W; ++x) {
        const long c = celda(xs, static_cast<double>(x));
        const size_t a = static_cast<size_t>(f * r.columnas + c), b = a + 1;
        const size_t cc = a + static_cast<size_t>(r.columnas), d = cc + 1;
        auto obj = [&](size_t i) { return Punto{r.marcas[i].xObjeto, r.marcas[i].yObjeto}; };
        const Punto q{static_cast<double>(x), static_cast<double>(y)};
        // The diagonal a-d splits the cell; q goes with b's side or cc's side.
        const bool ladoB = Cruz(obj(a), obj(d), q) * Cruz(obj(a), obj(d), obj(b)) >= 0;
        const size_t t = ladoB ? b : cc;
        const Punto p = Afin(q, obj(a), obj(t), obj(d), img[a], img[t], img[d]);
        salida[static_cast<size_t>(y * W + x)] = Bilineal(fuente, p.x, p.y, fuera);
      }
    }
  });

  if (quitaMarcas) {
    // Each mark's disc filled from the four pixels just outside it on its row and column,
    // weighted by inverse distance.
    const long rq = static_cast<long>(std::ceil(kSigmasPlantilla * op.sigmaMarca)) + 1;
    const std::vector<int16_t> antes = salida;
    auto en = [&](long x, long y, double& v) {
      if (x < 0 || y < 0 || x >= W || y >= H) return false;
      v = antes[static_cast<size_t>(y * W + x)];
      return v != fuera;
    };
    for (const MarcaReseau& m : r.marcas) {
      const long cx = std::lround(m.xObjeto), cy = std::lround(m.yObjeto);
      for (long y = cy - rq; y <= cy + rq; ++y) {
        for (long x = cx - rq; x <= cx + rq; ++x) {
          if (x < 0 || y < 0 || x >= W || y >= H ||
              (x - cx) * (x - cx) + (y - cy) * (y - cy) > rq * rq) {
            continue;
          }
          const std::pair<long, long> vecinos[] = {
              {cx - rq - 1, y}, {cx + rq + 1, y}, {x, cy - rq - 1}, {x, cy + rq + 1}};
          double s = 0, sw = 0;
          for (const auto& [vx, vy] : vecinos) {
            double v = 0;
            if (!en(vx, vy, v)) continue;
            const double w = 1.0 / static_cast<double>(std::abs(vx - x) + std::abs(vy - y));
            s += w * v;
            sw += w;
          }
          if (sw > 0)
            salida[static_cast<size_t>(y * W + x)] = static_cast<int16_t>(std::lround(s / sw));
        }
      }
    }
  }
  destino.CambiaPixeles(static_cast<uint32_t>(W), static_cast<uint32_t>(H), std::move(salida));
  destino.mapeo = fuente.mapeo;
  destino.bitsPixel = fuente.bitsPixel;
  destino.Actualiza();
}

std::string TablaMarcas(const RejillaReseau& r, const std::vector<MarcaEncontrada>& m) {
  std::string t = "row,column,x_nominal,y_nominal,x,y,dx,dy,contrast,found\n";
  char b[256];
  for (size_t i = 0; i < r.marcas.size() && i < m.size(); ++i) {
    const MarcaReseau& k = r.marcas[i];
    std::snprintf(b, sizeof b, "%d,%d,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.2f,%d\n", k.fila, k.columna,
                  k.xNominal, k.yNominal, m[i].x, m[i].y, m[i].x - k.xNominal, m[i].y - k.yNominal,
                  m[i].contraste, m[i].encontrada ? 1 : 0);
    t += b;
  }
  return t;
}

}  // namespace orva
