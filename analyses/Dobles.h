// Double-star measurement: the per-image data of a DOBLE image (components A and B, two trails),
// position angles, trail fitting, and the calculation of scale, orientation, separation and
// position angle over many images.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/DatosAnalisis.h"
#include "stellar/Centroide.h"

namespace orva {

class Imagen;
class ImagenPixeles;

struct PuntoDoble {
  double x = 0.0, y = 0.0;
};

struct Componente {
  bool definido = false;
  int clicX = 0, clicY = 0;
  PuntoDoble centroide;
};

struct Trazo {
  // Set from points on the trail (letter T).
  bool inicioDefinido = false, finalDefinido = false;
  int inicioClicX = 0, inicioClicY = 0, finalClicX = 0, finalClicY = 0;
  // Set from two positions of one drifting star (letter E).
  bool estrOrigenDefinida = false, estrFinalDefinida = false;
  int origenClicX = 0, origenClicY = 0, estrFinalClicX = 0, estrFinalClicY = 0;
  // Measured points: the trail points for T, the star centroids for E.
  bool inicioMedido = false, finalMedido = false;
  char letraInicio = 'T', letraFin = 'T';
  PuntoDoble inicio, fin;
  bool medido = false;
  char letra = 'T';
  double angulo = 0.0;                     // degrees
  double pendiente = 0.0, ordenada = 0.0;  // y = pendiente * x + ordenada
};

class DatosDobles : public DatosAnalisis {
 public:
  std::unique_ptr<DatosAnalisis> Clona() const override {
    return std::make_unique<DatosDobles>(*this);
  }
  // DBLPRIN, DBLSEC, DBLAP, DBLDIST, DBLINITRn, DBLFINTRn, DBLANGTRn, each when it exists.
  void Guarda(std::vector<std::pair<std::string, std::string>>& entradas) const override;
  bool Lee(std::string_view clave, std::string_view valor) override;
  // Clears every defined and measured flag.
  void Limpia();

  Componente a, b;
  bool parMedido = false;
  double ap = 0.0;         // position angle from A to B, degrees
  double distancia = 0.0;  // pixels
  std::array<Trazo, 2> trazos;
};

// The double-star data of the image, created in place when its analysis data is of another kind.
DatosDobles& DatosDoblesDe(Imagen& imagen);
const DatosDobles* DatosDoblesDe(const Imagen& imagen);

// Position angle in degrees from (x1, y1) to (x2, y2): in [0, 360) when the rows differ; on the
// same row 90 when x1 < x2, else -90.
double AnguloPosicion(double x1, double y1, double x2, double y2);

// Measures component A (esB false) or B at the clicked pixel with the star centroid; when both
// are defined, sets the position angle and the separation. A failure (the centroid's JError)
// leaves the component undefined.
void DefineComponente(const ImagenPixeles& im, DatosDobles& d, bool esB, int x, int y,
                      const ParametrosCentroide& p);

struct PuntoTrazoMedido {
  double x = 0.0, y = 0.0;
  double fwhm = 0.0;
};
// The trail point in column x near row y: the brightest row within CENTRADIO, then the iterated
// vertical profile centroid with the image's sky level. JError 12139 (window leaves the image),
// 12137 (no profile), 12140 (FWHM outside [CENTMINFWHM, CENTMAXFWHM]).
PuntoTrazoMedido MidePuntoTrazo(const ImagenPixeles& im, int x, int y,
                                const ParametrosCentroide& p);

// Least-squares line y = a x + b. No points: 12142; all points in one column: 12138.
std::pair<double, double> RegresionLineal(const std::vector<PuntoDoble>& puntos);

// Sets the start (esFinal false) or the end of trail t (0 or 1) from a clicked trail point; when
// both ends are set, follows the trail column by column and fits its line (12138 with fewer
// than two points). The information option is off while the trail is followed.
void DefineExtremoTrazo(const ImagenPixeles& im, DatosDobles& d, int t, bool esFinal, int x, int y,
                        ParametrosCentroide p);
// Sets the origin (esFinal false) or the final position of the star of trail t; when both are
// set the trail angle is the position angle from the origin to the final centroid.
void DefineEstrellaTrazo(const ImagenPixeles& im, DatosDobles& d, int t, bool esFinal, int x, int y,
                         const ParametrosCentroide& p);

// One image's contribution to the calculation.
struct MedidaDoble {
  bool parMedido = false;
  double distancia = 0.0;  // pixels
  double ap = 0.0;
  std::vector<double> angulosTrazo;  // measured trails
};
MedidaDoble MedidaDe(const DatosDobles& d);

struct MediaDesviacion {
  double media = 0.0;
  double desviacion = 0.0;  // sample standard deviation; 0 for one value
  int n = 0;
};
MediaDesviacion MediaYDesviacion(const std::vector<double>& v);

struct ResultadoCalculoDobles {
  MediaDesviacion escala;       // arc seconds per pixel
  MediaDesviacion orientacion;  // degrees
  bool completo = false;        // all three selections given: the two below hold
  MediaDesviacion separacion;   // arc seconds
  double ap = 0.0;              // mean position angle minus the mean orientation
  double desvAP = 0.0;
  bool distanciaValida = false;  // D > 0
  // The four result fields (scale, orientation, separation, position angle) as the dialog
  // shows them.
  std::array<std::string, 4> Textos() const;
};
// The calculation over the selected calibration, trail and double images, with D the known
// separation of the calibration double in arc seconds. With D <= 0 nothing is computed and the
// texts read zero.
ResultadoCalculoDobles CalculaDobles(const std::vector<MedidaDoble>& calibracion,
                                     const std::vector<MedidaDoble>& trazos,
                                     const std::vector<MedidaDoble>& dobles, double distancia);

// The object names offered by the calculation for the DOBLE images given: those with a measured
// pair (calibration and double) and those with a measured trail, each name once in order.
// No DOBLE image: 12066; none with a pair: 12067; none with a trail: 12068.
struct ObjetosCalculo {
  std::vector<std::string> conPar;
  std::vector<std::string> conTrazo;
};
ObjetosCalculo ObjetosCalculoDobles(const std::vector<const Imagen*>& imagenes);

// The data-pane lines of a DOBLE image (without the default date lines).
std::vector<std::string> LineasDobles(const DatosDobles& d);

}  // namespace orva
