// Reseau marks of spacecraft vidicon frames: the nominal grid, the search of each mark near its
// nominal place, and the geometric correction that takes the found marks to their object-space
// positions (piecewise-linear over the grid's triangles), the marks optionally filled in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orva {

class ImagenPixeles;
class Progreso;

struct MarcaReseau {
  int fila = 0, columna = 0;          // place in the grid
  double xNominal = 0, yNominal = 0;  // where the mark is expected in the frame, pixels
  double xObjeto = 0, yObjeto = 0;    // where it belongs in the corrected frame, pixels
};

struct RejillaReseau {
  std::string nombre;
  int filas = 0, columnas = 0;
  std::vector<MarcaReseau> marcas;  // filas x columnas, row after row
  const MarcaReseau& En(int f, int c) const {
    return marcas[static_cast<size_t>(f) * static_cast<size_t>(columnas) + static_cast<size_t>(c)];
  }
};

// Reads a grid table: "#" comments, a line "GRID name rows columns", then one line per mark,
// "row column xNominal yNominal xObject yObject", every place of the grid exactly once.
// Raises 12562 (line and reason) for a malformed table.
RejillaReseau LeeRejillaReseau(std::string_view texto);

// The regular grid model used while no table of the camera is given: n x n marks spread over
// the frame with a margin, nominal and object positions the same. The Voyager frames are 800 x
// 800 pixels.
RejillaReseau RejillaRegular(int ancho, int alto, int n);
inline constexpr int kLadoRejillaRegular = 9;
inline constexpr const char* kNombreRegular = "REGULAR";

struct OpcionesReseau {
  double radioBusqueda = 12.0;    // pixels around the nominal place searched
  double sigmaMarca = 1.2;        // the dark spot's Gaussian width, pixels
  double contrasteMinimo = 10.0;  // the matched filter's peak against the window's noise
};

struct MarcaEncontrada {
  double x = 0, y = 0;  // sub-pixel centre; the nominal place when not found
  double contraste = 0;
  bool encontrada = false;
};

// Each mark of the grid searched near its nominal place by a dark-spot template, its centre the
// centroid of its darkness. Marks run in bands on the operations' threads; a cancel raises 11011.
std::vector<MarcaEncontrada> BuscaMarcas(const ImagenPixeles& im, const RejillaReseau& r,
                                         const OpcionesReseau& op, Progreso* progreso);

// The frame resampled (bilinear) so that each found mark lands on its object position; marks not
// found take the mean displacement of the found ones around them. Each grid cell is split in two
// triangles by its diagonal, each mapped affinely; outside the grid the edge cells' maps go on.
// With quitaMarcas the marks are then filled from the pixels around them. Raises 12563 when fewer
// than three marks were found.
void CorrigeGeometria(const ImagenPixeles& fuente, const RejillaReseau& r,
                      const std::vector<MarcaEncontrada>& marcas, const OpcionesReseau& op,
                      bool quitaMarcas, Progreso* progreso, ImagenPixeles& destino);

// The marks as a CSV table: grid place, nominal and found positions, offset, contrast, found.
std::string TablaMarcas(const RejillaReseau& r, const std::vector<MarcaEncontrada>& m);

}  // namespace orva
