// The photometry of a variable-star series: each frame identified on the field's reference,
// aperture photometry at every field star's centroid, mid-exposure time and air mass, extinction,
// differential magnitudes against one comparison star and against the ensemble, and the
// light-curve table and the AAVSO report.
#pragma once

#include <limits>
#include <string>
#include <vector>

#include "stacking/Combinacion.h"
#include "stacking/Registro.h"
#include "stellar/CampoVariable.h"
#include "stellar/EstrellasRegistro.h"
#include "stellar/Fotometria.h"
#include "stellar/ListasObjetos.h"
#include "stellar/Minimo.h"

namespace orva {

struct DatosImagen;
class ImagenPixeles;
class Progreso;

inline constexpr double kSinValor = std::numeric_limits<double>::quiet_NaN();

// ---------------------------------------------------------------------------------------------
// Time and air mass of one frame

struct TiempoObservacion {
  bool conFecha = false;        // FECHAOBS and HORAOBS given
  double jd = kSinValor;        // mid-exposure Julian day (start + TIEMPOEXP / 2)
  double hjd = kSinValor;       // heliocentric, when AROBJ and DECOBJ are given
  double altura = kSinValor;    // of the object, degrees, when the site is known too
  double masaAire = kSinValor;  // Hardie's, when the object is above the horizon
};
// From the image data (stellar/CircunstanciasImagen.h): the date and time taken as the start of
// the exposure (UT), the object's coordinates of the equinox EPOCAOBJ and the site from
// LONOBS/LATOBS (longitude positive west). An exposure time that does not read leaves no time.
TiempoObservacion TiempoYMasaAire(const DatosImagen& datos);
// Hardie's air mass (astro/MasaAire.h) of an altitude in degrees; NaN below 5 degrees, where
// the formula no longer follows the atmosphere.
double MasaAireHardie(double alturaGrados);

// ---------------------------------------------------------------------------------------------
// Photometry of one star

enum class MetodoCielo { kModa, kMediaRecortada, kMedianaRecortada };

struct ParametrosSerie {
  // Aperture radius, sky ring (used when the field gives none), saturation and the magnitude
  // constant, from the photometry settings.
  ParametrosFotometria fotometria;
  MetodoCielo cielo = MetodoCielo::kMediaRecortada;
  // Clipping passes of the ring at 3 deviations from its median (the mode takes the
  // photometry settings' own passes).
  int pasadasCielo = 5;
  double escalaFwhm = 0.0;    // > 0: aperture = escalaFwhm x the frame's FWHM, ring in proportion
  double ganancia = 1.0;      // electrons per unit of the pixels
  double ruidoLectura = 0.0;  // electrons: the least sky deviation a ring can have is this / gain
  double sigmaVentana = 1.5;  // of the window centroid
  double tolerancia = 1.5;    // px: a centroid farther from the predicted position is another star
  double snrMinimo = 3.0;     // a star measured below it is not identified
  // Extinction: the coefficient (mag per air mass) and whether it is fitted from the
  // comparison stars instead.
  double extincion = 0.0;
  bool ajustaExtincion = false;
};
// The photometry settings (section "AnaVariables") and the series' own: VARCIELOSERIE the sky
// (0 the histogram mode, 1 clipped mean, 2 clipped median), VARGANANCIA, VARRUIDOLECTURA and
// VARESCALAFWHM (0 a fixed aperture). A value out of range keeps the default.
ParametrosSerie LeeParametrosSerie();

// Flags of a star in a frame (bits).
enum MarcaEstrella : int {
  kFueraImagen = 1,     // its aperture or sky ring leaves the frame
  kNoIdentificada = 2,  // the frame was not identified, or no star was found where it should be
  kSaturada = 4,        // a pixel of its aperture at or above saturation
  kSinFlujo = 8,        // too faint to measure (signal-to-noise below snrMinimo)
};

struct MedidaEstrella {
  int marcas = 0;
  double x = kSinValor, y = kSinValor;  // the centroid measured on the frame
  double cielo = kSinValor, desvCielo = kSinValor;
  double flujo = kSinValor, errorFlujo = kSinValor;
  double magnitud = kSinValor, error = kSinValor;  // instrumental
  double magnitudCorregida = kSinValor;            // minus extinction x air mass
  bool Valida() const { return marcas == 0; }
};

// Measures a star at (x, y) with aperture r and ring rInt..rExt: the sky of the method with its
// deviation, the sum over the pixels whose centres lie within r of (x, y), the error from the
// star's photons (flux / gain), the sky's deviation over the aperture and the uncertainty of the
// sky level (for the mode, at least its distance from the clipped mean); magnitude constant - 2.5
// log10(flux). Flags kFueraImagen, kSaturada, kSinFlujo.
MedidaEstrella MideEstrellaSerie(const ImagenPixeles& im, double x, double y, double r, double rInt,
                                 double rExt, const ParametrosSerie& p);

// ---------------------------------------------------------------------------------------------
// The series

struct FotogramaSerie {
  std::string nombre;
  bool identificado = false;
  std::vector<std::string> avisos;  // what was left out of this frame and why, one line each
  TiempoObservacion tiempo;
  std::string filtro;
  double fwhm = kSinValor;
  double dx = 0.0, dy = 0.0, rotacion = 0.0;  // of the frame against the reference
  std::vector<MedidaEstrella> estrellas;      // in the field's order
  // V - C and K - C against the first comparison star; V and K against the ensemble (the
  // comparison stars measured in this frame, each weighted by its inverse variance). NaN when
  // not available. Extinction cancels to first order in all of them (one air mass per frame).
  double vc = kSinValor, errorVc = kSinValor;
  double kc = kSinValor, errorKc = kSinValor;
  double vEns = kSinValor, errorVEns = kSinValor;
  double kEns = kSinValor, errorKEns = kSinValor;
  int enConjunto = 0;  // comparison stars in the ensemble
};

struct ResultadoSerie {
  std::vector<FotogramaSerie> fotogramas;
  double extincion = 0.0;  // applied to the corrected magnitudes
  double errorExtincion = 0.0;
  bool extincionAjustada = false;
  // The ensemble's zero point of each comparison star (in field order of the comparison
  // stars): its catalogue magnitude when every comparison star has one (the ensemble results are
  // then standard magnitudes), else its median offset from the others over the series.
  std::vector<double> ceroComparacion;
  bool magnitudesEstandar = false;
};

// Measures frame by frame (one loaded at a time). A frame that cannot be loaded or identified
// is kept with every star flagged kNoIdentificada and the reason in its notices; the others with
// each star's flags. Then the extinction and the differentials (CalculaDiferenciales). Raises
// 12430 for an empty series and 11011 on a cancel.
ResultadoSerie MideSerie(const CampoVariable& campo, const FuenteFotogramas& fuente,
                         const ParametrosSerie& p, const OpcionesEstrellasRegistro& opciones,
                         const ParametrosRegistro& registro, Progreso& progreso);

// One frame on the field (identified by the reference stars; the image's own stars are found
// with the registration's detector).
FotogramaSerie MideFotograma(const CampoVariable& campo, Imagen& imagen, const ParametrosSerie& p,
                             const OpcionesEstrellasRegistro& opciones,
                             const ParametrosRegistro& registro, Progreso& progreso);

// The extinction (given, or fitted: one slope over the air mass common to the comparison stars,
// each with its own zero point, weighted by inverse variance; 12441 when fewer than two frames
// with different air masses have them), the corrected magnitudes and the differentials.
void CalculaDiferenciales(const CampoVariable& campo, const ParametrosSerie& p, ResultadoSerie& r);

// The light-curve table: one row per frame (index, name, JD, HJD, air mass, FWHM, then per star
// x, y, magnitude, error, corrected magnitude and flags, then the differentials and the notices).
std::string TextoCsvSerie(const CampoVariable& campo, const ResultadoSerie& r);

// An AAVSO Extended File Format report: one line per frame with a time and a variable measured
// against the ensemble (standard magnitudes, MTYPE STD) or, without catalogue magnitudes, against
// the first comparison star (MTYPE DIF); DATE is HJD when every reported frame has it, else JD.
struct OpcionesAavso {
  std::string codigoObservador = "na";
  std::string filtro;  // empty: each frame's FILTRO, "CV" when it has none
  std::string carta = "na";
};
std::string TextoAavso(const CampoVariable& campo, const ResultadoSerie& r, const OpcionesAavso& o);

// A differential curve of the series: the variable (or the check star) against the ensemble or
// the first comparison star, one point per frame that has it and a time, with the frame's index.
// The times are HJD when every such frame has one, else JD.
struct CurvaSerie {
  std::vector<PuntoCurva> puntos;
  std::vector<size_t> fotogramas;
  bool heliocentrica = true;
};
CurvaSerie CurvaDiferencial(const ResultadoSerie& r, bool conjunto, bool control = false);

// The ephemeris of minimum for the O-C: the field's own when it has a period, else that of the
// object-list entry named as the field's variable (the field's name, then the variable star's).
// False when neither gives a period and an epoch.
struct EfemerideMinimo {
  double epoca = 0.0, periodo = 0.0;
};
bool EfemerideCampo(const CampoVariable& campo, const std::vector<ObjetoLista>& objetos,
                    EfemerideMinimo& efemeride);

}  // namespace orva
