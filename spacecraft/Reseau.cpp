// Reseau marks: camera tables, the dark-spot search and the piecewise-linear correction.
#include "spacecraft/Reseau.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "base/Numeros.h"
#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "formats/pds/EtiquetaOdl.h"
#include "spacecraft/Navegacion.h"

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
constexpr double kRadioAjustado = 8.0;        // px: the second search around the shifted nominals
constexpr double kMismaMarca = 3.0;           // px: two marks found closer are one spot
constexpr int kMaxMarcas = 2000;              // marks of a table (the triangulation is quadratic)
constexpr int kMaxLadoTabla = 8192;           // px: frames and object spaces of a table
constexpr double kMaxCoordenada = 1e5;        // px: positions of a table's marks
constexpr double kEscalaSuper = 1e4;          // the enclosing triangle's size in table extents
constexpr long kSinTriangulo = -1;

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

// The mark expected at (ex, ey) searched within radio pixels.
MarcaEncontrada BuscaUna(const ImagenPixeles& im, double ex, double ey, double radio,
                         const OpcionesReseau& op) {
  MarcaEncontrada r;
  r.x = ex;
  r.y = ey;
  const long h = std::max(1L, static_cast<long>(std::ceil(kSigmasPlantilla * op.sigmaMarca)));
  const long R = static_cast<long>(std::ceil(radio));
  const long x0 = std::lround(ex), y0 = std::lround(ey);
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

// > 0 when d lies inside the circle through the counter-clockwise a, b, c.
double EnCirculo(Punto a, Punto b, Punto c, Punto d) {
  const double ax = a.x - d.x, ay = a.y - d.y, bx = b.x - d.x, by = b.y - d.y;
  const double cx = c.x - d.x, cy = c.y - d.y;
  const double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
  return ax * (by * c2 - b2 * cy) - ay * (bx * c2 - b2 * cx) + a2 * (bx * cy - by * cx);
}

// Delaunay triangles of the points (Bowyer-Watson, points inserted in order, so the same
// triangles every time), counter-clockwise; cocircular points are not re-split.
std::vector<std::array<int, 3>> Delaunay(const std::vector<Punto>& p) {
  const int n = static_cast<int>(p.size());
  double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
  for (const Punto& q : p) {
    x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
    y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
  }
  const double ext = std::max({x1 - x0, y1 - y0, 1.0}) * kEscalaSuper;
  const double mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
  std::vector<Punto> v = p;
  v.push_back({mx - 2 * ext, my - ext});
  v.push_back({mx + 2 * ext, my - ext});
  v.push_back({mx, my + 2 * ext});
  std::vector<std::array<int, 3>> t = {{n, n + 1, n + 2}};
  for (int i = 0; i < n; ++i) {
    std::vector<std::array<int, 3>> quedan;
    std::map<std::pair<int, int>, int> bordes;  // edges of the removed triangles, and their count
    for (const auto& k : t) {
      if (EnCirculo(v[k[0]], v[k[1]], v[k[2]], v[i]) > 0) {
        for (int e = 0; e < 3; ++e) {
          const int a = k[e], b = k[(e + 1) % 3];
          ++bordes[{std::min(a, b), std::max(a, b)}];
        }
      } else {
        quedan.push_back(k);
      }
    }
    // The cavity's border (edges of one removed triangle), joined to the new point in the
    // orientation it had.
    for (const auto& k : t) {
      if (!(EnCirculo(v[k[0]], v[k[1]], v[k[2]], v[i]) > 0)) continue;
      for (int e = 0; e < 3; ++e) {
        const int a = k[e], b = k[(e + 1) % 3];
        if (bordes[{std::min(a, b), std::max(a, b)}] == 1) quedan.push_back({a, b, i});
      }
    }
    t = std::move(quedan);
  }
  std::vector<std::array<int, 3>> r;
  for (const auto& k : t) {
    if (k[0] >= n || k[1] >= n || k[2] >= n) continue;
    if (!(Cruz(p[k[0]], p[k[1]], p[k[2]]) > 0)) continue;
    r.push_back(k);
  }
  std::sort(r.begin(), r.end());
  return r;
}

void Triangula(RejillaReseau& r) {
  std::vector<Punto> p;
  for (const MarcaReseau& m : r.marcas) p.push_back({m.xObjeto, m.yObjeto});
  r.triangulos = Delaunay(p);
}

// Distance from q to the segment a-b.
double DistanciaSegmento(Punto q, Punto a, Punto b) {
  const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
  double u = l2 > 0 ? ((q.x - a.x) * dx + (q.y - a.y) * dy) / l2 : 0.0;
  u = std::clamp(u, 0.0, 1.0);
  const double ex = a.x + u * dx - q.x, ey = a.y + u * dy - q.y;
  return std::sqrt(ex * ex + ey * ey);
}

// Marks sharing a triangle with each mark.
std::vector<std::vector<int>> Vecinos(const RejillaReseau& r) {
  std::vector<std::vector<int>> v(r.marcas.size());
  for (const auto& k : r.triangulos) {
    for (int e = 0; e < 3; ++e) {
      for (int f = 0; f < 3; ++f) {
        if (e != f) v[static_cast<size_t>(k[e])].push_back(k[f]);
      }
    }
  }
  for (auto& l : v) {
    std::sort(l.begin(), l.end());
    l.erase(std::unique(l.begin(), l.end()), l.end());
  }
  return v;
}

void CompruebaTamano(const ImagenPixeles& im, const RejillaReseau& r) {
  if ((r.ancho > 0 && static_cast<long>(im.Ancho()) != r.ancho) ||
      (r.alto > 0 && static_cast<long>(im.Alto()) != r.alto)) {
    throw JError(12570, r.nombre, std::to_string(r.ancho) + " x " + std::to_string(r.alto),
                 std::to_string(im.Ancho()) + " x " + std::to_string(im.Alto()));  // 12570
  }
}

double MedianaDesplazamiento(const std::vector<MarcaEncontrada>& m, const RejillaReseau& r,
                             bool enX) {
  std::vector<double> v;
  for (size_t i = 0; i < m.size(); ++i) {
    if (!m[i].encontrada) continue;
    v.push_back(enX ? m[i].x - r.marcas[i].xNominal : m[i].y - r.marcas[i].yNominal);
  }
  return Mediana(std::move(v));
}

}  // namespace

// The texts of the cameras' tables (spacecraft/reseau/), compiled into the library.
std::vector<std::string_view> TablasReseauCamaras();

RejillaReseau LeeRejillaReseau(std::string_view texto) {
  RejillaReseau r;
  std::istringstream in{std::string(texto)};
  std::string linea;
  int numero = 0;
  int filas = 0, columnas = 0;
  bool reseau = false;
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
    if (primera == "GRID" || primera == "RESEAU") {
      if (filas > 0 || reseau) throw falla(primera.c_str());
      if (primera == "GRID") {
        if (!(ls >> r.nombre >> filas >> columnas) || filas < 2 || columnas < 2 ||
            filas > kMaxLadoRejilla || columnas > kMaxLadoRejilla) {
          throw falla("GRID");
        }
        r.marcas.assign(static_cast<size_t>(filas * columnas), {});
        vista.assign(r.marcas.size(), false);
      } else {
        if (!(ls >> r.nombre >> r.ancho >> r.alto >> r.anchoObjeto >> r.altoObjeto) ||
            r.ancho < 1 || r.alto < 1 || r.anchoObjeto < 1 || r.altoObjeto < 1 ||
            r.ancho > kMaxLadoTabla || r.alto > kMaxLadoTabla || r.anchoObjeto > kMaxLadoTabla ||
            r.altoObjeto > kMaxLadoTabla) {
          throw falla("RESEAU");
        }
        reseau = true;
      }
      std::string resto;
      if (ls >> resto) throw falla(primera.c_str());
      continue;
    }
    if (filas == 0 && !reseau) throw falla("GRID/RESEAU");
    MarcaReseau m;
    std::istringstream ms(linea);
    std::string resto;
    if (reseau) {
      double l = 0, s = 0, lo = 0, so = 0;
      if (!(ms >> m.numero >> l >> s >> lo >> so) || (ms >> resto) ||
          !(std::max({std::fabs(l), std::fabs(s), std::fabs(lo), std::fabs(so)}) <=
            kMaxCoordenada)) {
        throw falla("?");
      }
      if (m.numero < 1 || m.numero > kMaxMarcas) throw falla("marca");
      m.xNominal = s - 1, m.yNominal = l - 1, m.xObjeto = so - 1, m.yObjeto = lo - 1;
      const size_t i = static_cast<size_t>(m.numero - 1);
      if (i >= vista.size()) vista.resize(i + 1, false);
      if (vista[i]) throw falla("marca");
      vista[i] = true;
      r.marcas.push_back(m);
      continue;
    }
    int f = 0, c = 0;
    if (!(ms >> f >> c >> m.xNominal >> m.yNominal >> m.xObjeto >> m.yObjeto) || (ms >> resto) ||
        !(std::max({std::fabs(m.xNominal), std::fabs(m.yNominal), std::fabs(m.xObjeto),
                    std::fabs(m.yObjeto)}) <= kMaxCoordenada)) {
      throw falla("?");
    }
    if (f < 0 || f >= filas || c < 0 || c >= columnas) throw falla("fila/columna");
    const size_t i = static_cast<size_t>(f * columnas + c);
    if (vista[i]) throw falla("fila/columna");
    vista[i] = true;
    m.numero = static_cast<int>(i) + 1;
    r.marcas[i] = m;
  }
  if (filas == 0 && !reseau) throw falla("GRID/RESEAU");
  if (std::count(vista.begin(), vista.end(), false) > 0 || r.marcas.size() < kMinimoMarcas) {
    throw falla("marcas");
  }
  if (reseau) {
    std::sort(r.marcas.begin(), r.marcas.end(),
              [](const MarcaReseau& a, const MarcaReseau& b) { return a.numero < b.numero; });
    std::vector<std::pair<double, double>> o;
    for (const MarcaReseau& m : r.marcas) o.emplace_back(m.xObjeto, m.yObjeto);
    std::sort(o.begin(), o.end());
    if (std::adjacent_find(o.begin(), o.end()) != o.end()) throw falla("objeto");
    Triangula(r);
    if (r.triangulos.empty()) throw falla("objeto");
    return r;
  }
  // A grid: each cell split by its diagonal from the top-left corner.
  for (int f = 0; f + 1 < filas; ++f) {
    for (int c = 0; c + 1 < columnas; ++c) {
      const int a = f * columnas + c, b = a + 1, cc = a + columnas, d = cc + 1;
      r.triangulos.push_back({a, b, d});
      r.triangulos.push_back({a, cc, d});
    }
  }
  return r;
}

RejillaReseau RejillaRegular(int ancho, int alto, int n) {
  const int lado = std::clamp(n, 2, kMaxLadoRejilla);
  const double mx = kMargenRegular * ancho, my = kMargenRegular * alto;
  const double px = (ancho - 1 - 2 * mx) / (lado - 1);
  const double py = (alto - 1 - 2 * my) / (lado - 1);
  RejillaReseau r;
  r.nombre = kNombreRegular;
  for (int f = 0; f < lado; ++f) {
    for (int c = 0; c < lado; ++c) {
      const double x = mx + c * px, y = my + f * py;
      r.marcas.push_back({f * lado + c + 1, x, y, x, y});
    }
  }
  for (int f = 0; f + 1 < lado; ++f) {
    for (int c = 0; c + 1 < lado; ++c) {
      const int a = f * lado + c, b = a + 1, cc = a + lado, d = cc + 1;
      r.triangulos.push_back({a, b, d});
      r.triangulos.push_back({a, cc, d});
    }
  }
  return r;
}

std::vector<std::string> NombresRejillasCamara() {
  std::vector<std::string> r;
  for (std::string_view t : TablasReseauCamaras()) r.push_back(LeeRejillaReseau(t).nombre);
  return r;
}

std::optional<RejillaReseau> RejillaCamara(std::string_view nombre) {
  for (std::string_view t : TablasReseauCamaras()) {
    RejillaReseau r = LeeRejillaReseau(t);
    if (IgualSinCaso(r.nombre, nombre)) return r;
  }
  return std::nullopt;
}

RejillaReseau RejillaParaImagen(const ImagenObservacion& im) {
  // "VOYAGER_1", "VOYAGER 2", "VG1"...; "NARROW ANGLE CAMERA", "ISSNA", "NAC"...
  std::string nave, instrumento;
  for (const char* k : {"SPACECRAFT_NAME", "INSTRUMENT_HOST_NAME", "INSTRUMENT_HOST_ID"}) {
    if (nave.empty()) nave = TextoEtiqueta(im, k).value_or("");
  }
  for (const char* k : {"INSTRUMENT_NAME", "INSTRUMENT_ID"}) {
    if (instrumento.empty()) instrumento = TextoEtiqueta(im, k).value_or("");
  }
  auto mayus = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  nave = mayus(nave);
  instrumento = mayus(instrumento);
  bool uno = false, dos = false, estrecha = false, ancha = false;
  if (nave.find("VOYAGER") != std::string::npos || nave.rfind("VG", 0) == 0) {
    uno = nave.find('1') != std::string::npos;
    dos = nave.find('2') != std::string::npos;
    estrecha = instrumento.find("NARROW") != std::string::npos ||
               instrumento.find("ISSN") != std::string::npos || instrumento == "NAC" ||
               instrumento == "NA";
    ancha = instrumento.find("WIDE") != std::string::npos ||
            instrumento.find("ISSW") != std::string::npos || instrumento == "WAC" ||
            instrumento == "WA";
  } else {
    // The mission's own labels, kept as text lines: "VGR-1   FDS ...", "NA CAMERA  EXP ...".
    for (const std::string& t : im.cabecera.Tarjetas()) {
      if (t.rfind("COMMENT", 0) != 0) continue;
      uno = uno || t.find("VGR-1") != std::string::npos;
      dos = dos || t.find("VGR-2") != std::string::npos;
      estrecha = estrecha || t.find("NA CAMERA") != std::string::npos;
      ancha = ancha || t.find("WA CAMERA") != std::string::npos;
    }
  }
  std::string clave;
  if (uno != dos && estrecha != ancha) {
    clave = std::string("VGR") + (uno ? "1" : "2") + (estrecha ? "_NA" : "_WA");
  }
  if (!clave.empty()) {
    std::optional<RejillaReseau> r = RejillaCamara(clave);
    if (r && static_cast<long>(im.Ancho()) == r->ancho && static_cast<long>(im.Alto()) == r->alto) {
      return std::move(*r);
    }
  }
  return RejillaRegular(static_cast<int>(im.Ancho()), static_cast<int>(im.Alto()),
                        kLadoRejillaRegular);
}

std::vector<MarcaEncontrada> BuscaMarcas(const ImagenPixeles& im, const RejillaReseau& r,
                                         const OpcionesReseau& op, Progreso* progreso) {
  CompruebaTamano(im, r);
  const long n = static_cast<long>(r.marcas.size());
  std::vector<MarcaEncontrada> res(r.marcas.size());
  ParaBandas(
      n, progreso,
      [&](long, long desde, long hasta) {
        for (long i = desde; i < hasta; ++i) {
          const MarcaReseau& m = r.marcas[static_cast<size_t>(i)];
          res[static_cast<size_t>(i)] = BuscaUna(im, m.xNominal, m.yNominal, op.radioBusqueda, op);
        }
      },
      kMarcasPorBanda);
  const long encontradas =
      std::count_if(res.begin(), res.end(), [](const MarcaEncontrada& m) { return m.encontrada; });
  if (encontradas < kMinimoMarcas) return res;
  const double dx = MedianaDesplazamiento(res, r, true), dy = MedianaDesplazamiento(res, r, false);
  const double radio = std::min(op.radioBusqueda, kRadioAjustado);
  std::vector<MarcaEncontrada> segunda(r.marcas.size());
  ParaBandas(
      n, progreso,
      [&](long, long desde, long hasta) {
        for (long i = desde; i < hasta; ++i) {
          const MarcaReseau& m = r.marcas[static_cast<size_t>(i)];
          segunda[static_cast<size_t>(i)] =
              BuscaUna(im, m.xNominal + dx, m.yNominal + dy, radio, op);
        }
      },
      kMarcasPorBanda);
  // Two marks on one spot: the one farther from its expected place was not found.
  for (size_t i = 0; i < segunda.size(); ++i) {
    for (size_t j = i + 1; j < segunda.size(); ++j) {
      MarcaEncontrada &a = segunda[i], &b = segunda[j];
      if (!a.encontrada || !b.encontrada || std::hypot(a.x - b.x, a.y - b.y) >= kMismaMarca) {
        continue;
      }
      const double ea =
          std::hypot(a.x - r.marcas[i].xNominal - dx, a.y - r.marcas[i].yNominal - dy);
      const double eb =
          std::hypot(b.x - r.marcas[j].xNominal - dx, b.y - r.marcas[j].yNominal - dy);
      MarcaEncontrada& lejos = eb < ea ? a : b;
      const MarcaReseau& m = r.marcas[&lejos == &a ? i : j];
      lejos.encontrada = false;
      lejos.x = m.xNominal + dx;
      lejos.y = m.yNominal + dy;
    }
  }
  return segunda;
}

void CorrigeGeometria(const ImagenPixeles& fuente, const RejillaReseau& r,
                      const std::vector<MarcaEncontrada>& marcas, const OpcionesReseau& op,
                      bool quitaMarcas, Progreso* progreso, ImagenPixeles& destino) {
  const size_t n = r.marcas.size();
  if (marcas.size() != n || r.triangulos.empty()) {
    throw JError(12563, "0", std::to_string(n));  // 12563
  }
  CompruebaTamano(fuente, r);
  // Displacements of the found marks; the others take those of their found neighbours.
  std::vector<Punto> img(n), des(n);
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
  const std::vector<std::vector<int>> vecinos = Vecinos(r);
  for (size_t i = 0; i < n; ++i) {
    if (!marcas[i].encontrada) {
      Punto s;
      int k = 0;
      for (int j : vecinos[i]) {
        if (!marcas[static_cast<size_t>(j)].encontrada) continue;
        s.x += des[static_cast<size_t>(j)].x;
        s.y += des[static_cast<size_t>(j)].y;
        ++k;
      }
      des[i] =
          k > 0 ? Punto{s.x / k, s.y / k} : Punto{total.x / encontradas, total.y / encontradas};
    }
    img[i] = {r.marcas[i].xNominal + des[i].x, r.marcas[i].yNominal + des[i].y};
  }
  auto obj = [&](int i) {
    const MarcaReseau& m = r.marcas[static_cast<size_t>(i)];
    return Punto{m.xObjeto, m.yObjeto};
  };
  const long W = r.anchoObjeto > 0 ? r.anchoObjeto : static_cast<long>(fuente.Ancho());
  const long H = r.altoObjeto > 0 ? r.altoObjeto : static_cast<long>(fuente.Alto());
  // The triangle of each output pixel: the first (in table order) that holds it.
  std::vector<int32_t> dueno(static_cast<size_t>(W) * static_cast<size_t>(H),
                             static_cast<int32_t>(kSinTriangulo));
  for (size_t t = 0; t < r.triangulos.size(); ++t) {
    const auto& k = r.triangulos[t];
    const Punto a = obj(k[0]), b = obj(k[1]), c = obj(k[2]);
    const long x0 = std::max(0L, static_cast<long>(std::ceil(std::min({a.x, b.x, c.x}))));
    const long x1 = std::min(W - 1, static_cast<long>(std::floor(std::max({a.x, b.x, c.x}))));
    const long y0 = std::max(0L, static_cast<long>(std::ceil(std::min({a.y, b.y, c.y}))));
    const long y1 = std::min(H - 1, static_cast<long>(std::floor(std::max({a.y, b.y, c.y}))));
    const double area = Cruz(a, b, c);
    for (long y = y0; y <= y1; ++y) {
      for (long x = x0; x <= x1; ++x) {
        const Punto q{static_cast<double>(x), static_cast<double>(y)};
        if (Cruz(a, b, q) * area < 0 || Cruz(b, c, q) * area < 0 || Cruz(c, a, q) * area < 0) {
          continue;
        }
        int32_t& d = dueno[static_cast<size_t>(y * W + x)];
        if (d == kSinTriangulo) d = static_cast<int32_t>(t);
      }
    }
  }
  // The triangles on the hull: outside it, the nearest one's map goes on.
  std::map<std::pair<int, int>, int> aristas;
  for (const auto& k : r.triangulos) {
    for (int e = 0; e < 3; ++e) {
      ++aristas[{std::min(k[e], k[(e + 1) % 3]), std::max(k[e], k[(e + 1) % 3])}];
    }
  }
  std::vector<size_t> borde;
  for (size_t t = 0; t < r.triangulos.size(); ++t) {
    const auto& k = r.triangulos[t];
    for (int e = 0; e < 3; ++e) {
      if (aristas[{std::min(k[e], k[(e + 1) % 3]), std::max(k[e], k[(e + 1) % 3])}] == 1) {
        borde.push_back(t);
        break;
      }
    }
  }
  const int16_t fuera = fuente.Pixel(-1L, -1L);
  std::vector<int16_t> salida(static_cast<size_t>(W) * static_cast<size_t>(H));
  ParaBandas(H, progreso, [&](long, long desde, long hasta) {
    for (long y = desde; y < hasta; ++y) {
      for (long x = 0; x < W; ++x) {
        const Punto q{static_cast<double>(x), static_cast<double>(y)};
        long t = dueno[static_cast<size_t>(y * W + x)];
        if (t == kSinTriangulo) {
          double mejor = 0;
          for (size_t b : borde) {
            const auto& k = r.triangulos[b];
            const double d = std::min({DistanciaSegmento(q, obj(k[0]), obj(k[1])),
                                       DistanciaSegmento(q, obj(k[1]), obj(k[2])),
                                       DistanciaSegmento(q, obj(k[2]), obj(k[0]))});
            if (t == kSinTriangulo || d < mejor) {
              mejor = d;
              t = static_cast<long>(b);
            }
          }
        }
        const auto& k = r.triangulos[static_cast<size_t>(t)];
        const Punto p = Afin(q, obj(k[0]), obj(k[1]), obj(k[2]), img[static_cast<size_t>(k[0])],
                             img[static_cast<size_t>(k[1])], img[static_cast<size_t>(k[2])]);
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

RejillaReseau RejillaCorregida(const RejillaReseau& r) {
  RejillaReseau c = r;
  c.ancho = r.anchoObjeto, c.alto = r.altoObjeto;
  for (MarcaReseau& m : c.marcas) m.xNominal = m.xObjeto, m.yNominal = m.yObjeto;
  return c;
}

std::string TablaMarcas(const RejillaReseau& r, const std::vector<MarcaEncontrada>& m) {
  std::string t = "mark,x_nominal,y_nominal,x,y,dx,dy,contrast,found\n";
  char b[256];
  for (size_t i = 0; i < r.marcas.size() && i < m.size(); ++i) {
    const MarcaReseau& k = r.marcas[i];
    std::snprintf(b, sizeof b, "%d,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.2f,%d\n", k.numero, k.xNominal,
                  k.yNominal, m[i].x, m[i].y, m[i].x - k.xNominal, m[i].y - k.yNominal,
                  m[i].contraste, m[i].encontrada ? 1 : 0);
    t += b;
  }
  return t;
}

std::string MarcasNoEncontradas(const RejillaReseau& r, const std::vector<MarcaEncontrada>& m,
                                size_t maximo) {
  std::string s;
  size_t k = 0;
  for (size_t i = 0; i < r.marcas.size() && i < m.size(); ++i) {
    if (m[i].encontrada) continue;
    if (k++ == maximo) return s + " ...";
    s += " " + std::to_string(r.marcas[i].numero);
  }
  return s;
}

}  // namespace orva
