// Registration of star lists: triangle matching, exhaustive scoring of the matches, and the
// least-squares fit with outlier rejection.
#include "stacking/Registro.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <unordered_map>

#include "base/Cadenas.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Hilos.h"

namespace orva {

namespace {

constexpr char kSeccion[] = "Registro";
struct ClaveRegistro {
  const char* clave;
  const char* defecto;
};
constexpr ClaveRegistro kClaves[] = {
    {"REGTRIANGULOS", "30"}, {"REGESTRELLAS", "200"},    {"REGTOLERANCIA", "0.01"},
    {"REGRADIO", "3"},       {"REGESCALAMIN", "0.8"},    {"REGESCALAMAX", "1.25"},
    {"REGKSIGMA", "3"},      {"REGMINEMPAREJADAS", "6"}, {"REGAFIN", "0"},
};

// Bounds that keep a hand-edited setting from making the search explode or mean nothing.
constexpr int kMinimoEstrellas = 3;
constexpr int kMaxTriangulos = 40;  // C(40, 3) = 9880 triangles a list
constexpr int kMaxEstrellasAjuste = 5000;
constexpr double kMaxTolerancia = 0.03;
constexpr double kMaxRadio = 50.0;
// Sides shorter than this (pixels) come from one star found twice: no shape to compare.
constexpr double kLadoMinimo = 2.0;
// Rematch-and-fit passes after the best match; they end earlier when the pairs stop changing.
constexpr int kMaxPasadas = 20;
// The rejection threshold never goes below this (pixels): exact data would otherwise reject
// stars for rounding-level residuals.
constexpr double kResiduoMinimo = 0.05;
// The rms of residuals normalised by honest variances: two coordinates of unit variance.
constexpr double kChiHonesto = 1.4142135623730951;
constexpr double kPi = 3.14159265358979323846;
constexpr double kRadianes = kPi / 180.0;
// Reference triangles scored per band of the thread pool.
constexpr long kTriangulosBanda = 64;
// A match counts when the chance that the best of all the tried similarities brings that many
// stars together by accident stays below this.
constexpr double kProbabilidadAzar = 1e-4;

// A triangle of three stars: its vertices opposite the shortest, middle and longest side, the
// two side ratios that a similarity keeps, and its sense of turn (a similarity keeps it too).
struct Triangulo {
  std::array<int, 3> v;
  double r1, r2;
  bool directo;
};

std::vector<Triangulo> Triangulos(const std::vector<EstrellaRegistro>& e, int n) {
  std::vector<Triangulo> t;
  auto d = [&e](int a, int b) {
    return std::hypot(e[static_cast<size_t>(a)].x - e[static_cast<size_t>(b)].x,
                      e[static_cast<size_t>(a)].y - e[static_cast<size_t>(b)].y);
  };
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      for (int k = j + 1; k < n; ++k) {
        std::array<std::pair<double, int>, 3> lados = {std::pair{d(j, k), i}, std::pair{d(i, k), j},
                                                       std::pair{d(i, j), k}};
        std::sort(lados.begin(), lados.end());
        if (lados[0].first < kLadoMinimo) continue;
        Triangulo tr;
        tr.v = {lados[0].second, lados[1].second, lados[2].second};
        tr.r1 = lados[0].first / lados[2].first;
        tr.r2 = lados[1].first / lados[2].first;
        if (!std::isfinite(tr.r1) || !std::isfinite(tr.r2)) continue;  // sides beyond doubles
        const EstrellaRegistro &a = e[static_cast<size_t>(tr.v[0])],
                               &b = e[static_cast<size_t>(tr.v[1])],
                               &c = e[static_cast<size_t>(tr.v[2])];
        tr.directo = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) > 0.0;
        t.push_back(tr);
      }
    }
  }
  return t;
}

struct Pareja {
  int r, f;  // reference and frame star
};

// The weight of each pair: 1 / (var_ref + var_frame) when every star of the pairs has a positive
// finite variance (true), else 1 for all (false).
bool Pesos(const std::vector<EstrellaRegistro>& ref, const std::vector<EstrellaRegistro>& img,
           const std::vector<Pareja>& pares, std::vector<double>& w) {
  w.assign(pares.size(), 1.0);
  for (size_t k = 0; k < pares.size(); ++k) {
    const double vr = ref[static_cast<size_t>(pares[k].r)].varianza;
    const double vf = img[static_cast<size_t>(pares[k].f)].varianza;
    const double peso = 1.0 / (vr + vf);
    if (!(vr > 0.0) || !(vf > 0.0) || !std::isfinite(peso) || !(peso > 0.0)) {
      w.assign(pares.size(), 1.0);
      return false;
    }
    w[k] = peso;
  }
  return true;
}

// The weighted mean positions of the pairs' reference and frame stars: x, y, u, v, and the sum
// of the weights. Equal weights when w is null.
std::array<double, 5> Centros(const std::vector<EstrellaRegistro>& ref,
                              const std::vector<EstrellaRegistro>& img,
                              const std::vector<Pareja>& pares, const std::vector<double>* w) {
  std::array<double, 5> m{};
  for (size_t k = 0; k < pares.size(); ++k) {
    const double p = w ? (*w)[k] : 1.0;
    m[0] += p * ref[static_cast<size_t>(pares[k].r)].x;
    m[1] += p * ref[static_cast<size_t>(pares[k].r)].y;
    m[2] += p * img[static_cast<size_t>(pares[k].f)].x;
    m[3] += p * img[static_cast<size_t>(pares[k].f)].y;
    m[4] += p;
  }
  for (size_t i = 0; i < 4; ++i) m[i] /= m[4];
  return m;
}

// The (weighted) least-squares similarity taking the reference stars of the pairs to the
// frame's; false when the reference points all coincide.
bool AjusteSimilitud(const std::vector<EstrellaRegistro>& ref,
                     const std::vector<EstrellaRegistro>& img, const std::vector<Pareja>& pares,
                     Transformacion2D& t, const std::vector<double>* w = nullptr) {
  const auto [mx, my, mu, mv, sw] = Centros(ref, img, pares, w);
  double sxx = 0, sa = 0, sb = 0;
  for (size_t k = 0; k < pares.size(); ++k) {
    const Pareja& p = pares[k];
    const double peso = w ? (*w)[k] : 1.0;
    const double x = ref[static_cast<size_t>(p.r)].x - mx, y = ref[static_cast<size_t>(p.r)].y - my;
    const double u = img[static_cast<size_t>(p.f)].x - mu, v = img[static_cast<size_t>(p.f)].y - mv;
    sxx += peso * (x * x + y * y);
    sa += peso * (x * u + y * v);
    sb += peso * (x * v - y * u);
  }
  if (!(sxx > 0.0)) return false;
  const double a = sa / sxx, b = sb / sxx;
  t.tipo = Transformacion2D::Tipo::kSimilitud;
  t.h = {a, -b, mu - a * mx + b * my, b, a, mv - b * mx - a * my, 0, 0, 1};
  return std::all_of(t.h.begin(), t.h.end(), [](double v) { return std::isfinite(v); });
}

// The (weighted) least-squares affine map; false when the reference points lie on a line.
bool AjusteAfin(const std::vector<EstrellaRegistro>& ref, const std::vector<EstrellaRegistro>& img,
                const std::vector<Pareja>& pares, Transformacion2D& t,
                const std::vector<double>* w = nullptr) {
  const auto [mx, my, mu, mv, sw] = Centros(ref, img, pares, w);
  double sxx = 0, sxy = 0, syy = 0, sxu = 0, syu = 0, sxv = 0, syv = 0;
  for (size_t k = 0; k < pares.size(); ++k) {
    const Pareja& p = pares[k];
    const double peso = w ? (*w)[k] : 1.0;
    const double x = ref[static_cast<size_t>(p.r)].x - mx, y = ref[static_cast<size_t>(p.r)].y - my;
    const double u = img[static_cast<size_t>(p.f)].x - mu, v = img[static_cast<size_t>(p.f)].y - mv;
    sxx += peso * (x * x);
    sxy += peso * (x * y);
    syy += peso * (y * y);
    sxu += peso * (x * u);
    syu += peso * (y * u);
    sxv += peso * (x * v);
    syv += peso * (y * v);
  }
  const double det = sxx * syy - sxy * sxy;
  // Relative to the spread of the points: a line of stars fixes nothing across it.
  if (!(det > 1e-12 * (sxx + syy) * (sxx + syy))) return false;
  const double a = (sxu * syy - syu * sxy) / det, b = (syu * sxx - sxu * sxy) / det;
  const double c = (sxv * syy - syv * sxy) / det, d = (syv * sxx - sxv * sxy) / det;
  t.tipo = Transformacion2D::Tipo::kAfin;
  t.h = {a, b, mu - a * mx - b * my, c, d, mv - c * mx - d * my, 0, 0, 1};
  return std::all_of(t.h.begin(), t.h.end(), [](double v) { return std::isfinite(v); });
}

// The frame's stars in square cells of the match radius, for nearest-star look-ups.
class Rejilla {
 public:
  Rejilla(const std::vector<EstrellaRegistro>& e, size_t n, double radio)
      : e_(e), lado_(radio), radio2_(radio * radio) {
    if (n == 0) return;
    int64_t x0 = Celda(e[0].x), x1 = x0, y0 = Celda(e[0].y), y1 = y0;
    for (size_t i = 0; i < n; ++i) {
      x0 = std::min(x0, Celda(e[i].x));
      x1 = std::max(x1, Celda(e[i].x));
      y0 = std::min(y0, Celda(e[i].y));
      y1 = std::max(y1, Celda(e[i].y));
    }
    // Stars over a frame's area: the cells in one array, each cell's stars in index order.
    if (x1 - x0 < kMaxCeldas && y1 - y0 < kMaxCeldas &&
        (x1 - x0 + 1) * (y1 - y0 + 1) <= kMaxCeldas) {
      x0_ = x0;
      y0_ = y0;
      ancho_ = x1 - x0 + 1;
      alto_ = y1 - y0 + 1;
      inicio_.assign(static_cast<size_t>(ancho_ * alto_ + 1), 0);
      for (size_t i = 0; i < n; ++i) ++inicio_[Indice(Celda(e[i].x), Celda(e[i].y)) + 1];
      for (size_t k = 1; k < inicio_.size(); ++k) inicio_[k] += inicio_[k - 1];
      estrellas_.resize(n);
      std::vector<int> lleno(inicio_.begin(), inicio_.end() - 1);
      for (size_t i = 0; i < n; ++i) {
        const size_t c = Indice(Celda(e[i].x), Celda(e[i].y));
        estrellas_[static_cast<size_t>(lleno[c]++)] = static_cast<int>(i);
      }
      return;
    }
    for (size_t i = 0; i < n; ++i)
      celdas_[Clave(Celda(e[i].x), Celda(e[i].y))].push_back(static_cast<int>(i));
  }
  // The nearest star within the radius of (x, y) (the lowest index among equals), or -1.
  int Cercana(double x, double y, double& d2) const {
    if (!std::isfinite(x) || !std::isfinite(y)) return -1;
    const int64_t cx = Celda(x), cy = Celda(y);
    int mejor = -1;
    d2 = radio2_;
    auto prueba = [&](const int* k0, const int* k1) {
      for (const int* k = k0; k != k1; ++k) {
        const EstrellaRegistro& s = e_[static_cast<size_t>(*k)];
        const double d = (s.x - x) * (s.x - x) + (s.y - y) * (s.y - y);
        if (d <= radio2_ && (mejor < 0 || d < d2 || (d == d2 && *k < mejor))) {
          d2 = d;
          mejor = *k;
        }
      }
    };
    for (int64_t j = cy - 1; j <= cy + 1; ++j) {
      for (int64_t i = cx - 1; i <= cx + 1; ++i) {
        if (!inicio_.empty()) {
          if (i < x0_ || j < y0_ || i - x0_ >= ancho_ || j - y0_ >= alto_) continue;
          const size_t c = Indice(i, j);
          prueba(estrellas_.data() + inicio_[c], estrellas_.data() + inicio_[c + 1]);
          continue;
        }
        const auto it = celdas_.find(Clave(i, j));
        if (it == celdas_.end()) continue;
        prueba(it->second.data(), it->second.data() + it->second.size());
      }
    }
    return mejor;
  }

 private:
  // More cells than this (a small radius on scattered stars) go to a hash map instead.
  static constexpr int64_t kMaxCeldas = int64_t{1} << 22;
  // Cells far beyond any image are folded together: look-ups stay correct, only slower.
  int64_t Celda(double v) const {
    constexpr double kLimite = 1e9;
    return static_cast<int64_t>(std::floor(std::clamp(v / lado_, -kLimite, kLimite)));
  }
  static int64_t Clave(int64_t i, int64_t j) { return i * 4000000007LL + j; }
  size_t Indice(int64_t i, int64_t j) const {
    return static_cast<size_t>((j - y0_) * ancho_ + (i - x0_));
  }

  const std::vector<EstrellaRegistro>& e_;
  double lado_, radio2_;
  int64_t x0_ = 0, y0_ = 0, ancho_ = 0, alto_ = 0;
  std::vector<int> inicio_;     // first entry of each cell in estrellas_, and the end
  std::vector<int> estrellas_;  // star indices, cell by cell
  std::unordered_map<int64_t, std::vector<int>> celdas_;
};

// The stars of the reference (the first n) that t brings within the radius of a frame star,
// each frame star taken by its nearest reference star only. Pairs in reference order. tomada
// holds -1 for every frame star of the grid and is left so. With minimo > 0 the search stops
// early, giving no pairs, once fewer than minimo pairs can be reached.
std::vector<Pareja> Empareja(const std::vector<EstrellaRegistro>& ref, size_t n,
                             const Rejilla& rejilla, const Transformacion2D& t,
                             std::vector<int>& tomada, double* sumaD2 = nullptr,
                             size_t minimo = 0) {
  std::vector<Pareja> candidatos;
  std::vector<double> dist;
  size_t distintas = 0;  // frame stars taken
  bool corta = false;
  for (size_t i = 0; i < n; ++i) {
    if (distintas + (n - i) < minimo) {
      corta = true;
      break;
    }
    double u = 0, v = 0, d2 = 0;
    if (!t.Aplica(ref[i].x, ref[i].y, u, v)) continue;
    const int f = rejilla.Cercana(u, v, d2);
    if (f < 0) continue;
    int& k = tomada[static_cast<size_t>(f)];
    if (k >= 0) {
      if (d2 >= dist[static_cast<size_t>(k)]) continue;
      candidatos[static_cast<size_t>(k)].r = -1;  // a nearer reference star takes it
    } else {
      ++distintas;
    }
    k = static_cast<int>(candidatos.size());
    candidatos.push_back({static_cast<int>(i), f});
    dist.push_back(d2);
  }
  std::vector<Pareja> pares;
  double s = 0.0;
  for (size_t k = 0; k < candidatos.size(); ++k) {
    tomada[static_cast<size_t>(candidatos[k].f)] = -1;
    if (candidatos[k].r < 0 || corta) continue;
    pares.push_back(candidatos[k]);
    s += dist[k];
  }
  if (sumaD2) *sumaD2 = s;
  return pares;
}

double Residuo(const std::vector<EstrellaRegistro>& ref, const std::vector<EstrellaRegistro>& img,
               const Pareja& p, const Transformacion2D& t) {
  double u = 0, v = 0;
  const EstrellaRegistro& r = ref[static_cast<size_t>(p.r)];
  const EstrellaRegistro& f = img[static_cast<size_t>(p.f)];
  if (!t.Aplica(r.x, r.y, u, v)) return HUGE_VAL;
  return std::hypot(u - f.x, v - f.y);
}

// Brightest first, finite positions only, a flux that is not a number last; the order of
// equal fluxes is kept.
std::vector<EstrellaRegistro> Ordena(const std::vector<EstrellaRegistro>& e) {
  std::vector<EstrellaRegistro> r;
  for (EstrellaRegistro s : e) {
    if (std::isnan(s.flujo)) s.flujo = -HUGE_VAL;
    if (std::isfinite(s.x) && std::isfinite(s.y)) r.push_back(s);
  }
  std::stable_sort(r.begin(), r.end(), [](const EstrellaRegistro& a, const EstrellaRegistro& b) {
    return a.flujo > b.flujo;
  });
  return r;
}

// The fewest matched stars that chance does not explain: each tried similarity brings its own
// triangle's three stars together, and each other reference star falls within the radius of a
// frame star with the frame's star density times the radius' area; the matched count of the best
// of `intentos` tries must exceed what that Poisson count reaches with kProbabilidadAzar.
int MinimoSignificativo(const std::vector<EstrellaRegistro>& img, size_t nImg, size_t nRef,
                        double radio, size_t intentos) {
  double x0 = img[0].x, x1 = x0, y0 = img[0].y, y1 = y0;
  for (size_t i = 0; i < nImg; ++i) {
    x0 = std::min(x0, img[i].x);
    x1 = std::max(x1, img[i].x);
    y0 = std::min(y0, img[i].y);
    y1 = std::max(y1, img[i].y);
  }
  const double area = std::max(x1 - x0, 2 * radio) * std::max(y1 - y0, 2 * radio);
  const double lambda = static_cast<double>(nRef) *
                        std::min(1.0, static_cast<double>(nImg) * kPi * radio * radio / area);
  // Stars so dense that every reference star has a frame star within the radius: no count
  // tells a match from chance.
  constexpr double kMaxLambda = 500.0;
  if (lambda > kMaxLambda) return static_cast<int>(nRef) + 1;
  const double limite = kProbabilidadAzar / static_cast<double>(std::max<size_t>(intentos, 1));
  // Tail sums of the Poisson terms, each computed forward from the first.
  constexpr int kMaxTerminos = 100000;
  std::vector<double> terminos;
  double t = std::exp(-lambda);
  for (int k = 0; k < kMaxTerminos && (k <= lambda || t > 1e-300); ++k) {
    terminos.push_back(t);
    t *= lambda / (k + 1);
  }
  double cola = 0.0;
  int k = static_cast<int>(terminos.size());
  while (k > 0 && cola + terminos[static_cast<size_t>(k - 1)] <= limite) {
    cola += terminos[static_cast<size_t>(k - 1)];
    --k;
  }
  return kMinimoEstrellas + k;
}

ResultadoRegistro Fallo(int id, std::string a1 = {}, std::string a2 = {}) {
  ResultadoRegistro r;
  r.idError = id;
  r.arg1 = std::move(a1);
  r.arg2 = std::move(a2);
  return r;
}

}  // namespace

void RegistraConfigRegistro() {
  Ajustes& c = AjustesActuales();
  for (const ClaveRegistro& k : kClaves) c.Registra(kSeccion, k.clave, k.defecto);
}

ParametrosRegistro LeeParametrosRegistro() {
  RegistraConfigRegistro();
  const Ajustes& c = AjustesActuales();
  auto real = [&c](const char* k, double minimo, double maximo) {
    const double v = LeeReal(c.Valor(kSeccion, k));
    return std::isfinite(v) ? std::clamp(v, minimo, maximo) : minimo;
  };
  auto entero = [&c](const char* k, int minimo, int maximo) {
    return std::clamp(LeeEntero(c.Valor(kSeccion, k)), minimo, maximo);
  };
  ParametrosRegistro p;
  p.estrellasTriangulos = entero("REGTRIANGULOS", kMinimoEstrellas, kMaxTriangulos);
  p.estrellasAjuste = entero("REGESTRELLAS", kMinimoEstrellas, kMaxEstrellasAjuste);
  p.tolerancia = real("REGTOLERANCIA", 1e-6, kMaxTolerancia);
  p.radio = real("REGRADIO", 0.1, kMaxRadio);
  p.escalaMinima = real("REGESCALAMIN", 0.01, 1.0);
  p.escalaMaxima = real("REGESCALAMAX", 1.0, 100.0);
  p.kSigma = real("REGKSIGMA", 1.0, 100.0);
  p.minEmparejadas = entero("REGMINEMPAREJADAS", kMinimoEstrellas, kMaxEstrellasAjuste);
  p.afin = LeeEntero(c.Valor(kSeccion, "REGAFIN")) == 1;
  return p;
}

std::string ResultadoRegistro::Mensaje() const {
  if (exito) return {};
  return texto.empty() ? orva::Mensaje(idError, arg1, arg2) : texto;
}

ResultadoRegistro RegistraEstrellas(const std::vector<EstrellaRegistro>& referencia,
                                    const std::vector<EstrellaRegistro>& imagen,
                                    const ParametrosRegistro& p) {
  const std::vector<EstrellaRegistro> ref = Ordena(referencia), img = Ordena(imagen);
  const std::string minimo = std::to_string(kMinimoEstrellas);
  if (ref.size() < kMinimoEstrellas) return Fallo(12242, std::to_string(ref.size()), minimo);
  if (img.size() < kMinimoEstrellas) return Fallo(12243, std::to_string(img.size()), minimo);
  const size_t nAjuste =
      static_cast<size_t>(std::clamp(p.estrellasAjuste, kMinimoEstrellas, kMaxEstrellasAjuste));
  const size_t nRef = std::min(ref.size(), nAjuste), nImg = std::min(img.size(), nAjuste);
  const int nTri = std::clamp(p.estrellasTriangulos, kMinimoEstrellas, kMaxTriangulos);
  const double radio = std::clamp(std::isfinite(p.radio) ? p.radio : 0.1, 0.1, kMaxRadio);
  const double tol =
      std::clamp(std::isfinite(p.tolerancia) ? p.tolerancia : 0.0, 0.0, kMaxTolerancia);

  const std::vector<Triangulo> tr = Triangulos(ref, std::min(nTri, static_cast<int>(ref.size())));
  std::vector<Triangulo> ti = Triangulos(img, std::min(nTri, static_cast<int>(img.size())));
  std::stable_sort(ti.begin(), ti.end(),
                   [](const Triangulo& a, const Triangulo& b) { return a.r1 < b.r1; });
  const Rejilla rejilla(img, nImg, radio);

  // Every pair of triangles of the same shape and sense is a candidate similarity; the one that
  // brings the most reference stars onto frame stars wins (then the smaller sum of squared
  // distances, then the first found).
  // The reference's triangles are scored in bands on the operations' threads, each band
  // keeping its own best; the bands' bests are then taken in band order, which picks the same
  // match as one pass over all of them.
  struct Mejor {
    bool hay = false;
    size_t intentos = 0;
    size_t cuenta = 0;
    double suma = 0.0;
    Transformacion2D t;
  };
  const long bandas = NumBandas(static_cast<long>(tr.size()), kTriangulosBanda);
  std::vector<Mejor> mejores(static_cast<size_t>(std::max(bandas, 1L)));
  ParaBandas(
      static_cast<long>(tr.size()), nullptr,
      [&](long banda, long desde, long hasta) {
        Mejor& m = mejores[static_cast<size_t>(banda)];
        std::vector<int> tomada(nImg, -1);
        for (long ia = desde; ia < hasta; ++ia) {
          const Triangulo& a = tr[static_cast<size_t>(ia)];
          auto it = std::lower_bound(ti.begin(), ti.end(), a.r1 - tol,
                                     [](const Triangulo& t, double v) { return t.r1 < v; });
          for (; it != ti.end() && it->r1 <= a.r1 + tol; ++it) {
            if (std::fabs(it->r2 - a.r2) > tol || it->directo != a.directo) continue;
            const std::vector<Pareja> vertices = {
                {a.v[0], it->v[0]}, {a.v[1], it->v[1]}, {a.v[2], it->v[2]}};
            Transformacion2D t;
            if (!AjusteSimilitud(ref, img, vertices, t)) continue;
            const double escala = std::hypot(t.h[0], t.h[3]);
            if (!(escala >= p.escalaMinima && escala <= p.escalaMaxima)) continue;
            ++m.intentos;
            double suma = 0.0;
            // A match that cannot reach the band's best count cannot win: its search stops
            // early.
            const size_t cuenta =
                Empareja(ref, nRef, rejilla, t, tomada, &suma, m.hay ? m.cuenta : 0).size();
            if (!m.hay || cuenta > m.cuenta || (cuenta == m.cuenta && suma < m.suma)) {
              m.hay = true;
              m.cuenta = cuenta;
              m.suma = suma;
              m.t = t;
            }
          }
        }
      },
      kTriangulosBanda);
  bool hay = false;
  size_t intentos = 0;
  size_t mejorCuenta = 0;
  double mejorSuma = 0.0;
  Transformacion2D mejor;
  for (const Mejor& m : mejores) {
    intentos += m.intentos;
    if (!m.hay) continue;
    if (!hay || m.cuenta > mejorCuenta || (m.cuenta == mejorCuenta && m.suma < mejorSuma)) {
      hay = true;
      mejorCuenta = m.cuenta;
      mejorSuma = m.suma;
      mejor = m.t;
    }
  }
  if (!hay) return Fallo(12244);

  // Rematch with the current map, fit, reject residuals beyond k sigma and fit again, until the
  // pairs no longer change.
  Transformacion2D t = mejor;
  std::vector<int> tomada(nImg, -1);
  std::vector<Pareja> anteriores;
  std::vector<Pareja> usados;
  double rms = 0.0;
  for (int pasada = 0; pasada < kMaxPasadas; ++pasada) {
    usados = Empareja(ref, nRef, rejilla, t, tomada);
    for (;;) {
      if (usados.size() < kMinimoEstrellas) break;
      std::vector<double> w;
      const bool ponderado = Pesos(ref, img, usados, w);
      // The fit sees the weights relative to the largest, so that tiny variances cannot take
      // its sums beyond doubles.
      std::vector<double> relativos = w;
      if (ponderado) {
        const double maximo = *std::max_element(w.begin(), w.end());
        for (double& v : relativos) v /= maximo;
      }
      Transformacion2D nueva;
      const bool bien = p.afin ? AjusteAfin(ref, img, usados, nueva, &relativos)
                               : AjusteSimilitud(ref, img, usados, nueva, &relativos);
      if (!bien) {
        usados.clear();
        break;
      }
      t = nueva;
      // Residuals in pixels (their rms is reported) and normalised by their expected deviation.
      // Outliers are those beyond k times the normalised rms; with equal weights only those that
      // also exceed the floor in pixels, with the stars' variances only those beyond k times
      // the rms that honest variances give.
      double s2 = 0.0, z2 = 0.0;
      std::vector<double> res(usados.size()), z(usados.size());
      for (size_t k = 0; k < usados.size(); ++k) {
        res[k] = Residuo(ref, img, usados[k], t);
        z[k] = res[k] * std::sqrt(w[k]);
        s2 += res[k] * res[k];
        z2 += z[k] * z[k];
      }
      rms = std::sqrt(s2 / static_cast<double>(usados.size()));
      const double chi = std::sqrt(z2 / static_cast<double>(usados.size()));
      const double umbral = p.kSigma * (ponderado ? std::max(chi, kChiHonesto) : chi);
      std::vector<Pareja> quedan;
      for (size_t k = 0; k < usados.size(); ++k) {
        if (z[k] <= umbral || (!ponderado && res[k] <= kResiduoMinimo)) quedan.push_back(usados[k]);
      }
      if (quedan.size() == usados.size()) break;
      usados = std::move(quedan);
    }
    if (usados.size() < kMinimoEstrellas) break;
    const bool iguales =
        usados.size() == anteriores.size() &&
        std::equal(usados.begin(), usados.end(), anteriores.begin(),
                   [](const Pareja& x, const Pareja& y) { return x.r == y.r && x.f == y.f; });
    if (iguales) break;
    anteriores = usados;
  }
  const int emparejadas = static_cast<int>(usados.size());
  const int necesarias = std::max(
      {p.minEmparejadas, kMinimoEstrellas, MinimoSignificativo(img, nImg, nRef, radio, intentos)});
  if (emparejadas < necesarias) {
    return Fallo(12245, std::to_string(emparejadas), std::to_string(necesarias));
  }
  ResultadoRegistro r;
  r.exito = true;
  r.transformacion = t;
  r.emparejadas = emparejadas;
  r.rms = rms;
  return r;
}

ComponentesSimilitud DescomponeSimilitud(const Transformacion2D& t) {
  ComponentesSimilitud c;
  c.dx = t.h[2];
  c.dy = t.h[5];
  c.escala = std::hypot(t.h[0], t.h[3]);
  c.rotacion = std::atan2(t.h[3], t.h[0]) / kRadianes;
  return c;
}

}  // namespace orva
