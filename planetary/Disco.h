// The geometry of a planet's disc on an image: the oblate spheroid seen in orthographic
// projection, the fit of its limb, and the maps made from it (planisphere, polar projection,
// photometric cuts).
//
// Image coordinates are (column, row). The pole angle and the sides (east, west) are those seen
// on the display: rows grow downward as shown, unless filasArriba says the image is shown with
// its first row at the bottom (FITS). Longitudes are west longitudes in degrees (they grow toward
// the east limb, on the left of a disc shown with north up); latitudes are planetographic unless a
// name says otherwise.
#pragma once

#include <vector>

namespace orva {

class ImagenPixeles;
class ImagenObservacion;
class Progreso;

// Bounds that keep a map's or a cut's size reasonable whatever the input.
inline constexpr double kRadioMaximoDisco = 8000.0;    // pixels
inline constexpr double kResolucionMinimaMapa = 0.05;  // deg per pixel
inline constexpr double kResolucionMaximaMapa = 30.0;
inline constexpr int kLadoMaximoMapa = 8000;           // pixels
inline constexpr double kLargoMaximoCorte = 100000.0;  // pixels

struct GeometriaDisco {
  double cx = 0.0, cy = 0.0;      // centre, pixels
  double radio = 0.0;             // equatorial radius, pixels
  double achatamiento = 0.0;      // 1 - polar radius / equatorial radius
  double anguloPolo = 0.0;        // north pole's angle from the image's up, counter-clockwise, deg
  double latTierra = 0.0;         // sub-Earth planetographic latitude, deg
  double meridianoCentral = 0.0;  // sub-Earth longitude, deg
  double latSol = 0.0, lonSol = 0.0;  // sub-Sun point, deg (the terminator)
  bool conSol = false;                // whether the sub-Sun point is given (else full phase)
  bool filasArriba = false;           // rows grow upward as shown
};

// The flattening of a disc type from the IAU radii (equatorial, polar); 0 for other types.
double AchatamientoPlaneta(int tipo);

// Raises 12484 naming the first field out of its range.
void CompruebaGeometria(const GeometriaDisco& g);

// Planetographic <-> planetocentric latitude, deg.
double LatitudCentrica(double latGrafica, double achatamiento);
double LatitudGrafica(double latCentrica, double achatamiento);

struct PuntoDisco {
  double x = 0.0, y = 0.0;      // image
  double lon = 0.0, lat = 0.0;  // planetographic
  double mu = 0.0;              // cosine of the emission angle
  double mu0 = 0.0;             // cosine of the incidence angle (mu when the Sun is not given)
};

// Longitude and latitude of an image point; false when it is off the disc.
bool PixelALonLat(const GeometriaDisco& g, double x, double y, PuntoDisco& p);
// Image point of a longitude and latitude; false when it is on the far side.
bool LonLatAPixel(const GeometriaDisco& g, double lon, double lat, PuntoDisco& p);

// The semi-axes of the apparent outline, pixels: equatorial and polar.
void SemiejesContorno(const GeometriaDisco& g, double& a, double& b);

struct PuntoLimbo {
  double x = 0.0, y = 0.0;
  double residuo = 0.0;  // distance to the fitted outline, pixels
  bool rechazado = false;
};

struct AjusteLimbo {
  GeometriaDisco geometria;
  std::vector<PuntoLimbo> puntos;
  double rms = 0.0;  // of the points kept
  int usados = 0;
};

struct OpcionesLimbo {
  int perfiles = 180;         // radial profiles around the disc
  bool ajustaAngulo = false;  // fit the pole angle as well
  double kappa = 3.0;         // rejection threshold, in rms
};

// A first centre and radius from the pixels above half the way from background to peak.
// Raises 12481 for a planet under the minimum size.
void EstimaDisco(const ImagenPixeles& im, GeometriaDisco& g);

// Fits the limb starting from g (its centre and radius a first guess, the rest fixed unless the
// options free the angle). Raises 12480 when the disc touches the image edge, 12481 when it is
// too small, 12483 when too few edge points are found.
AjusteLimbo AjustaLimbo(const ImagenPixeles& im, const GeometriaDisco& g,
                        const OpcionesLimbo& op = {});

// Minnaert correction factor: 1 / (mu0^k mu^(k-1)); 0 when either cosine is not positive.
double FactorMinnaert(double mu0, double mu, double k);

struct OpcionesMapa {
  double resolucion = 0.5;  // deg per pixel (planisphere) or pixels of radius (polar: lado)
  int lado = 0;             // polar projection side, pixels (0: twice the disc's radius)
  bool minnaert = false;
  double k = 1.0;
  double muMinimo = 0.1;  // points nearer the limb or terminator are left blank
  bool sur = false;       // polar projection about the south pole
  bool estereografica = false;
};

// Cylindrical map of the visible hemisphere: columns from CM+90 (left) to CM-90, rows from
// latitude +90 (top as shown: the last row when the disc's rows grow upward) to -90. Result of the
// matching planisphere type, observation data copied.
void Planisferio(const ImagenObservacion& im, const GeometriaDisco& g, const OpcionesMapa& op,
                 ImagenObservacion& salida, Progreso* progreso);
// Polar projection, the pole at the centre, the equator on the inscribed circle, the central
// meridian pointing down; orthographic or stereographic.
void ProyeccionPolar(const ImagenObservacion& im, const GeometriaDisco& g, const OpcionesMapa& op,
                     ImagenObservacion& salida, Progreso* progreso);
// The image coordinates of a map pixel's centre for those maps, the row counted from the top as
// shown; false when off the disc.
bool PixelPlanisferio(const GeometriaDisco& g, const OpcionesMapa& op, double col, double fila,
                      PuntoDisco& p);
bool PixelPolar(const GeometriaDisco& g, const OpcionesMapa& op, int lado, double col, double fila,
                PuntoDisco& p);
// Map pixel of a longitude and latitude.
void LonLatAPlanisferio(const OpcionesMapa& op, double cm, double lon, double lat, double& col,
                        double& fila);
void LonLatAPolar(const OpcionesMapa& op, int lado, double cm, double lon, double lat, double& col,
                  double& fila);

struct MuestraCorte {
  double distancia = 0.0;  // along the cut, pixels
  double x = 0.0, y = 0.0;
  double lon = 0.0, latCentrica = 0.0;
  double valor = 0.0, corregido = 0.0;
};
enum class TipoCorte { kMeridiano, kEcuador, kLinea };
// A photometric cut sampled every pixel: along the central meridian, the equator, or the line
// (x1,y1)-(x2,y2); only the points on the disc.
std::vector<MuestraCorte> CorteFotometrico(const ImagenPixeles& im, const GeometriaDisco& g,
                                           TipoCorte tipo, const OpcionesMapa& op, double x1 = 0,
                                           double y1 = 0, double x2 = 0, double y2 = 0);

}  // namespace orva
