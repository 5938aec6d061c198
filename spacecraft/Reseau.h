// Reseau marks of spacecraft vidicon frames: the cameras' nominal marks, the search of each mark
// near its nominal place, and the geometric correction that takes the found marks to their
// object-space positions (piecewise-linear over triangles of marks), the marks optionally filled.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

class ImagenPixeles;
class ImagenObservacion;
class Progreso;

struct MarcaReseau {
  int numero = 0;                     // the mark's number in its camera's table, from 1
  double xNominal = 0, yNominal = 0;  // where the mark is expected in the frame, pixels
  double xObjeto = 0, yObjeto = 0;    // where it belongs in the corrected frame, pixels
};

struct RejillaReseau {
  std::string nombre;
  int ancho = 0, alto = 0;              // the frames the table is for; 0: any
  int anchoObjeto = 0, altoObjeto = 0;  // the corrected frame; 0: the frame's own size
  std::vector<MarcaReseau> marcas;
  // Triples of indices into marcas (counter-clockwise in object space) tiling the marks' hull.
  std::vector<std::array<int, 3>> triangulos;
};

// Reads a table of marks. Two layouts, "#" comments anywhere:
//  - "RESEAU name width height objectWidth objectHeight", then one line per mark,
//    "mark line sample objectLine objectSample", 1-based line and sample as the archives print
//    them; the marks are triangulated (Delaunay) on their object positions.
//  - "GRID name rows columns", then "row column xNominal yNominal xObject yObject" for every place
//    of a rows x columns grid, 0-based pixels; each cell is split by its diagonal.
// Raises 12562 (line and reason) for a malformed table.
RejillaReseau LeeRejillaReseau(std::string_view texto);

// The regular grid model for frames of unknown cameras: n x n marks spread over the frame with a
// margin, nominal and object positions the same.
RejillaReseau RejillaRegular(int ancho, int alto, int n);
inline constexpr int kLadoRejillaRegular = 9;
inline constexpr const char* kNombreRegular = "REGULAR";

// The cameras whose tables ORVA carries (the Voyager narrow- and wide-angle cameras).
std::vector<std::string> NombresRejillasCamara();
std::optional<RejillaReseau> RejillaCamara(std::string_view nombre);

// The camera's table named by the frame's label (spacecraft and instrument) when it has one and
// the frame has the table's size; otherwise the regular grid.
RejillaReseau RejillaParaImagen(const ImagenObservacion& im);

struct OpcionesReseau {
  double radioBusqueda = 12.0;    // pixels around the nominal place searched
  double sigmaMarca = 1.2;        // the dark spot's Gaussian width, pixels
  double contrasteMinimo = 10.0;  // the matched filter's peak against the window's noise
};

struct MarcaEncontrada {
  double x = 0, y = 0;  // sub-pixel centre; the expected place when not found
  double contraste = 0;
  bool encontrada = false;
};

// Each mark searched near its nominal place by a dark-spot template, its centre the centroid of
// its darkness; then searched again, closer, around its nominal place moved by the marks' median
// shift, and of two marks found on the same spot the one nearer its place kept. Marks run in
// bands on the operations' threads; a cancel raises 11011. Raises 12570 when the table is for
// frames of another size.
std::vector<MarcaEncontrada> BuscaMarcas(const ImagenPixeles& im, const RejillaReseau& r,
                                         const OpcionesReseau& op, Progreso* progreso);

// The frame resampled (bilinear) so that each found mark lands on its object position; marks not
// found take the mean displacement of their found neighbours in the triangulation. Each triangle
// is mapped affinely; outside the marks' hull the nearest border triangle's map goes on. With
// quitaMarcas the marks are then filled from the pixels around them. Raises 12563 when fewer than
// three marks were found, 12570 when the table is for frames of another size.
void CorrigeGeometria(const ImagenPixeles& fuente, const RejillaReseau& r,
                      const std::vector<MarcaEncontrada>& marcas, const OpcionesReseau& op,
                      bool quitaMarcas, Progreso* progreso, ImagenPixeles& destino);

// The grid whose nominal places are the object positions: the marks of a corrected frame.
RejillaReseau RejillaCorregida(const RejillaReseau& r);

// The marks as a CSV table: number, nominal and found positions, offset, contrast, found.
std::string TablaMarcas(const RejillaReseau& r, const std::vector<MarcaEncontrada>& m);

// The numbers of the marks not found, " 1 13 24", at most maximo of them ("..." after).
std::string MarcasNoEncontradas(const RejillaReseau& r, const std::vector<MarcaEncontrada>& m,
                                size_t maximo);

}  // namespace orva
