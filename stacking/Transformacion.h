// Plane transforms between a reference image and a frame: similarity, affine and projective,
// exact from two, three or four point pairs, and the bilinear resampling of a frame onto the
// reference's grid.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orva {

class Imagen;
class Progreso;

struct PuntoPlano {
  double x = 0.0, y = 0.0;
};

// A projective map of the plane as a 3 x 3 matrix (row-major, h[8] normalised to 1): the point
// (x, y) goes to ((h0 x + h1 y + h2) / w, (h3 x + h4 y + h5) / w), w = h6 x + h7 y + h8.
// Similarity and affine maps have h6 = h7 = 0. By convention a registration's transform maps
// the reference's pixel positions to the frame's, which is what resampling needs.
struct Transformacion2D {
  enum class Tipo { kSimilitud, kAfin, kProyectiva };
  Tipo tipo = Tipo::kSimilitud;
  std::array<double, 9> h{1, 0, 0, 0, 1, 0, 0, 0, 1};

  static Transformacion2D Identidad() { return {}; }
  static Transformacion2D Desplazamiento(double dx, double dy) {
    Transformacion2D t;
    t.h[2] = dx;
    t.h[5] = dy;
    return t;
  }
  // Where (x, y) goes; false when the point maps to infinity (w = 0).
  bool Aplica(double x, double y, double& u, double& v) const {
    const double w = h[6] * x + h[7] * y + h[8];
    if (w == 0.0 || !(w == w)) return false;
    u = (h[0] * x + h[1] * y + h[2]) / w;
    v = (h[3] * x + h[4] * y + h[5]) / w;
    return true;
  }
  bool EsIdentidad() const { return h == Transformacion2D{}.h; }
};

// The inverse map; false when the matrix is singular.
bool InvierteTransformacion(const Transformacion2D& t, Transformacion2D& inversa);
// The composition: first a, then b.
Transformacion2D ComponeTransformaciones(const Transformacion2D& a, const Transformacion2D& b);

// The exact transform taking the points `desde` to `hacia`: two pairs give a similarity (shift,
// rotation and scale), three an affine map, four a projective one. Raises 12240 when the points
// are degenerate (two equal points, three on a line) and 12241 for another number of pairs.
Transformacion2D TransformacionPorPuntos(const std::vector<PuntoPlano>& desde,
                                         const std::vector<PuntoPlano>& hacia);

// Resamples the image onto a new ancho x alto grid: pixel (x, y) of the result is the bilinear
// sample of the image at t(x, y), the fill value outside it. Rows in bands on the thread pool,
// the same bits for any thread count; a cancel raises 11011 and leaves the image as it was.
void RemuestreaTransformacion(Imagen& im, const Transformacion2D& t, uint32_t ancho,
                              uint32_t alto, int16_t relleno, Progreso& progreso);

// "a b c d e f g h i" with the shortest exact number texts, for lines and reports.
std::string TextoTransformacion(const Transformacion2D& t);

// The "Trans. General" tool: the map from the reference image's transformation points 1..n
// (n = 2, 3 or 4) to the same points of the image, which lays the image on the reference's grid.
// 12246 (image's name, n) when either image lacks one of the points; 12240 as for the points.
Transformacion2D TransformacionTransGeneral(const Imagen& imagen, const Imagen& referencia,
                                            int puntos);
// The macro line "TRANSGENERAL h0 h1 h2 h3 h4 h5 h6 h7 ancho alto": the matrix (h8 = 1) with
// exact number texts and the size of the result. Replayed on any image it resamples it through
// the matrix onto an ancho x alto grid, the out-of-image value outside.
std::string LineaTransGeneral(const Transformacion2D& t, uint32_t ancho, uint32_t alto);
// Installs the handler of TRANSGENERAL in the macro interpreter (start-up does).
void EnlazaTransformacionMacro();

}  // namespace orva
