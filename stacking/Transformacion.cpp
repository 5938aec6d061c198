// Plane transforms from point pairs and the resampling of a frame through one.
#include "stacking/Transformacion.h"

#include <cmath>
#include <utility>

#include "base/JError.h"
#include "base/Memoria.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "macro/Macro.h"
#include "processing/Comun.h"
#include "processing/Geometria.h"

namespace orva {

namespace {

// Relative size below which a determinant counts as zero: points this close to a line give a
// transform no observer would want.
constexpr double kDegenerado = 1e-12;

// Solves the n x n system a x = b in place by Gaussian elimination with partial pivoting;
// false when it is singular relative to the size of its entries.
template <size_t N>
bool ResuelveSistema(std::array<std::array<double, N>, N>& a, std::array<double, N>& b) {
  double escala = 0.0;
  for (const auto& fila : a)
    for (double v : fila) escala = std::max(escala, std::fabs(v));
  if (!(escala > 0.0) || !std::isfinite(escala)) return false;
  for (size_t c = 0; c < N; ++c) {
    size_t pivote = c;
    for (size_t f = c + 1; f < N; ++f)
      if (std::fabs(a[f][c]) > std::fabs(a[pivote][c])) pivote = f;
    if (std::fabs(a[pivote][c]) <= kDegenerado * escala) return false;
    std::swap(a[c], a[pivote]);
    std::swap(b[c], b[pivote]);
    for (size_t f = c + 1; f < N; ++f) {
      const double m = a[f][c] / a[c][c];
      for (size_t k = c; k < N; ++k) a[f][k] -= m * a[c][k];
      b[f] -= m * b[c];
    }
  }
  for (size_t c = N; c-- > 0;) {
    double s = b[c];
    for (size_t k = c + 1; k < N; ++k) s -= a[c][k] * b[k];
    b[c] = s / a[c][c];
  }
  return true;
}

// Twice the signed area of the triangle, against the square of its longest side.
bool Alineados(const PuntoPlano& p, const PuntoPlano& q, const PuntoPlano& r) {
  const double area = (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
  auto d2 = [](const PuntoPlano& a, const PuntoPlano& b) {
    return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
  };
  const double lado = std::max({d2(p, q), d2(q, r), d2(p, r)});
  return !(std::fabs(area) > 1e-9 * lado);
}

// Matrix entries of a TRANSGENERAL line beyond this are refused: no useful map has them, and
// products with pixel positions stay finite.
constexpr double kCoeficienteMaximo = 1e12;
constexpr int kLadoMaximo = 2147483647;

std::string NombreImagen(const Imagen& im) {
  return im.nombreVentana.empty() ? im.NombreArchivo() : im.nombreVentana;
}

// TRANSGENERAL h0 .. h7 ancho alto.
int TransGeneral(Ranuras& r, int actual, const std::vector<std::string>& a) {
  Transformacion2D t;
  for (size_t i = 0; i < 8; ++i) {
    t.h[i] = ArgumentoReal(a, i, -kCoeficienteMaximo, kCoeficienteMaximo);
  }
  t.h[8] = 1.0;
  t.tipo = t.h[6] != 0.0 || t.h[7] != 0.0 ? Transformacion2D::Tipo::kProyectiva
                                          : Transformacion2D::Tipo::kAfin;
  const int ancho = ArgumentoEntero(a, 8, 1, kLadoMaximo);
  const int alto = ArgumentoEntero(a, 9, 1, kLadoMaximo);
  RemuestreaTransformacion(*r.En(actual), t, static_cast<uint32_t>(ancho),
                           static_cast<uint32_t>(alto), Rango().defecto, ProgresoActual());
  return actual;
}

}  // namespace

Transformacion2D TransformacionTransGeneral(const Imagen& imagen, const Imagen& referencia,
                                            int puntos) {
  if (puntos < 2 || puntos > 4) {
    throw JError(12241, std::to_string(puntos), std::to_string(puntos));
  }
  std::vector<PuntoPlano> desde, hacia;
  for (const Imagen* im : {&imagen, &referencia}) {
    for (int i = 0; i < puntos; ++i) {
      if (!im->puntosTrans[static_cast<size_t>(i)].definido) {
        throw JError(12246, NombreImagen(*im), std::to_string(puntos));
      }
    }
  }
  for (size_t i = 0; i < static_cast<size_t>(puntos); ++i) {
    desde.push_back({referencia.puntosTrans[i].x, referencia.puntosTrans[i].y});
    hacia.push_back({imagen.puntosTrans[i].x, imagen.puntosTrans[i].y});
  }
  return TransformacionPorPuntos(desde, hacia);
}

std::string LineaTransGeneral(const Transformacion2D& t, uint32_t ancho, uint32_t alto) {
  std::string s = "TRANSGENERAL";
  for (size_t i = 0; i < 8; ++i) s += " " + TextoReal(t.h[i] / t.h[8]);
  return s + " " + std::to_string(ancho) + " " + std::to_string(alto);
}

void EnlazaTransformacionMacro() {
  EnlazaComandoMacro("TRANSGENERAL", &TransGeneral);
}

bool InvierteTransformacion(const Transformacion2D& t, Transformacion2D& inversa) {
  const auto& m = t.h;
  const double c0 = m[4] * m[8] - m[5] * m[7];
  const double c1 = m[5] * m[6] - m[3] * m[8];
  const double c2 = m[3] * m[7] - m[4] * m[6];
  const double det = m[0] * c0 + m[1] * c1 + m[2] * c2;
  if (det == 0.0 || !std::isfinite(det)) return false;
  std::array<double, 9> r{c0,
                          m[2] * m[7] - m[1] * m[8],
                          m[1] * m[5] - m[2] * m[4],
                          c1,
                          m[0] * m[8] - m[2] * m[6],
                          m[2] * m[3] - m[0] * m[5],
                          c2,
                          m[1] * m[6] - m[0] * m[7],
                          m[0] * m[4] - m[1] * m[3]};
  const double n = r[8];
  if (n == 0.0) return false;
  for (double& v : r) v /= n;
  inversa.tipo = t.tipo;
  inversa.h = r;
  return true;
}

Transformacion2D ComponeTransformaciones(const Transformacion2D& a, const Transformacion2D& b) {
  // b after a: the matrix product B A.
  Transformacion2D r;
  for (int f = 0; f < 3; ++f) {
    for (int c = 0; c < 3; ++c) {
      double s = 0.0;
      for (int k = 0; k < 3; ++k) s += b.h[static_cast<size_t>(f * 3 + k)] * a.h[static_cast<size_t>(k * 3 + c)];
      r.h[static_cast<size_t>(f * 3 + c)] = s;
    }
  }
  if (r.h[8] != 0.0) {
    const double n = r.h[8];
    for (double& v : r.h) v /= n;
  }
  r.tipo = std::max(a.tipo, b.tipo);
  return r;
}

Transformacion2D TransformacionPorPuntos(const std::vector<PuntoPlano>& desde,
                                         const std::vector<PuntoPlano>& hacia) {
  const size_t n = desde.size();
  if (n != hacia.size() || n < 2 || n > 4) {
    throw JError(12241, std::to_string(desde.size()), std::to_string(hacia.size()));
  }
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = i + 1; j < n; ++j) {
      if ((desde[i].x == desde[j].x && desde[i].y == desde[j].y) ||
          (hacia[i].x == hacia[j].x && hacia[i].y == hacia[j].y)) {
        throw JError(12240, std::to_string(i + 1), std::to_string(j + 1));
      }
    }
  }
  for (size_t i = 0; n >= 3 && i < n; ++i) {
    for (size_t j = i + 1; j < n; ++j) {
      for (size_t k = j + 1; k < n; ++k) {
        if (Alineados(desde[i], desde[j], desde[k]) || Alineados(hacia[i], hacia[j], hacia[k])) {
          throw JError(12240, std::to_string(i + 1), std::to_string(k + 1));
        }
      }
    }
  }
  Transformacion2D t;
  if (n == 2) {
    // u + iv = (a + ib)(x + iy) + (c + id): the complex ratio of the two segments.
    const double dx = desde[1].x - desde[0].x, dy = desde[1].y - desde[0].y;
    const double du = hacia[1].x - hacia[0].x, dv = hacia[1].y - hacia[0].y;
    const double n2 = dx * dx + dy * dy;
    const double a = (du * dx + dv * dy) / n2, b = (dv * dx - du * dy) / n2;
    t.tipo = Transformacion2D::Tipo::kSimilitud;
    t.h = {a, -b, hacia[0].x - a * desde[0].x + b * desde[0].y,
           b, a,  hacia[0].y - b * desde[0].x - a * desde[0].y,
           0, 0,  1};
    return t;
  }
  if (n == 3) {
    std::array<std::array<double, 3>, 3> m{};
    std::array<double, 3> bx{}, by{};
    for (size_t i = 0; i < 3; ++i) {
      m[i] = {desde[i].x, desde[i].y, 1.0};
      bx[i] = hacia[i].x;
      by[i] = hacia[i].y;
    }
    auto m2 = m;
    if (!ResuelveSistema(m, bx) || !ResuelveSistema(m2, by)) throw JError(12240, "1", "3");
    t.tipo = Transformacion2D::Tipo::kAfin;
    t.h = {bx[0], bx[1], bx[2], by[0], by[1], by[2], 0, 0, 1};
    return t;
  }
  // Four pairs: the eight unknowns of the projective map with h8 = 1.
  std::array<std::array<double, 8>, 8> m{};
  std::array<double, 8> b{};
  for (size_t i = 0; i < 4; ++i) {
    const double x = desde[i].x, y = desde[i].y, u = hacia[i].x, v = hacia[i].y;
    m[2 * i] = {x, y, 1, 0, 0, 0, -u * x, -u * y};
    b[2 * i] = u;
    m[2 * i + 1] = {0, 0, 0, x, y, 1, -v * x, -v * y};
    b[2 * i + 1] = v;
  }
  if (!ResuelveSistema(m, b)) throw JError(12240, "1", "4");
  t.tipo = Transformacion2D::Tipo::kProyectiva;
  for (size_t i = 0; i < 8; ++i) t.h[i] = b[i];
  t.h[8] = 1.0;
  return t;
}

void RemuestreaTransformacion(Imagen& im, const Transformacion2D& t, uint32_t ancho,
                              uint32_t alto, int16_t relleno, Progreso& progreso) {
  if (ancho == 0 || alto == 0) throw JError(12241, "0", "0");
  std::vector<int16_t> salida = NuevoBufferSalida(static_cast<size_t>(ancho) * alto);
  const int16_t* px = im.Pixeles().data();
  const long w = im.Ancho(), h = im.Alto();
  ParaBandas(alto, &progreso, [&](long, long desde, long hasta) {
    for (long y = desde; y < hasta; ++y) {
      int16_t* fila = salida.data() + static_cast<size_t>(y) * ancho;
      for (uint32_t x = 0; x < ancho; ++x) {
        double u = 0.0, v = 0.0;
        fila[x] = t.Aplica(static_cast<double>(x), static_cast<double>(y), u, v)
                      ? MuestraBilineal(px, w, h, u, v, relleno)
                      : relleno;
      }
    }
  });
  EntregaSalida(im, ancho, alto, std::move(salida));
  im.Modificada(1);
}

std::string TextoTransformacion(const Transformacion2D& t) {
  std::string s;
  for (size_t i = 0; i < t.h.size(); ++i) {
    if (i) s += ' ';
    s += TextoReal(t.h[i]);
  }
  return s;
}

}  // namespace orva
