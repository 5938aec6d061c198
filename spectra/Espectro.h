// Spectra: a 1-D spectrum extracted from a 2-D image along a line, its continuum, its lines and
// a wavelength calibration from lines of known wavelength.
#pragma once

#include <string>
#include <vector>

namespace orva {

class Imagen;
class Progreso;

// The band a spectrum is extracted from: samples one pixel apart along the line from (x1, y1)
// to (x2, y2), each the sum of 'ancho' bilinear samples one pixel apart across it. With
// distanciaCielo > 0 two sky bands of the same width, centred that far on either side, give the
// sky per sample (their mean), subtracted 'ancho' times.
struct BandaEspectro {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int ancho = 1;
  double distanciaCielo = 0;
};

constexpr int kAnchoBandaMaximo = 999;

// The physical fluxes along the band (sky subtracted). Raises 12520 when the line is shorter
// than one pixel, 12521 when the width is out of 1..999, 12522 when a sample of the band or of
// its sky bands falls outside the image.
std::vector<double> ExtraeEspectro(const Imagen& imagen, const BandaEspectro& banda,
                                   Progreso& progreso);

// The continuum settings: the running median's radius and the threshold factor. Samples that
// stand more than factor times the robust noise (1.4826 * median absolute deviation) from the
// first median are replaced by it before the median is taken again, so that strong lines do not
// pull the continuum; a line is reported where the spectrum stands more than factor times the
// noise from the continuum.
struct AjustesContinuo {
  int radio = 15;
  double factor = 3.0;
};
constexpr int kRadioMedianaMaximo = 1000;
// From PREFANAESPEC (MedianaRadio, MedianaFactor); empty or unusable values keep the defaults.
AjustesContinuo LeeAjustesContinuo();

// The running median of the given radius (continued past the ends by reflection) with the clipping
// described above.
std::vector<double> Continuo(const std::vector<double>& flujo, const AjustesContinuo& ajustes);
// The robust noise of the spectrum about its continuum.
double RuidoEspectro(const std::vector<double>& flujo, const std::vector<double>& continuo);

struct LineaEspectral {
  double centro = 0;       // sub-pixel position (Gaussian fit of the three samples at the peak)
  bool emision = false;    // a maximum above the continuum; else an absorption
  double profundidad = 0;  // |flux - continuum| at the centre over the continuum
  double fwhm = 0;         // pixels
  double anchuraEquivalente = 0;  // pixels: the sum of (1 - flux / continuum) over the line
};

// Local extrema of flux - continuum beyond factor * noise, with a neighbour beyond it too (a
// single sample is a spike, not a line), in order of position.
std::vector<LineaEspectral> BuscaLineas(const std::vector<double>& flujo,
                                        const std::vector<double>& continuo, double factor);

// A pixel -> wavelength polynomial.
struct Calibracion {
  std::vector<double> coeficientes;  // c0 + c1 x + c2 x^2 + ...
  std::vector<double> pixeles;       // the points used (after snapping onto found lines)
  std::vector<double> longitudes;
  std::vector<double> residuos;       // wavelength minus polynomial, wavelength units
  std::vector<double> residuosPixel;  // the same in pixels (over the local dispersion)
  double rms = 0;                     // of residuos
  double Longitud(double x) const;
  double Dispersion(double x) const;  // d wavelength / d pixel
  bool Vacia() const { return coeficientes.empty(); }
};
struct PuntoCalibracion {
  double pixel = 0;
  double longitud = 0;
};
constexpr int kGradoMaximoCalibracion = 3;
// Pixels within this distance of a found line's centre are moved onto it.
constexpr double kDistanciaIdentificacion = 3.0;
// Least-squares fit of degree 1..3; each point is first moved onto the nearest line of 'lineas'
// within kDistanciaIdentificacion. Raises 12523 for a degree out of 1..3, 12524 with fewer
// points than degree + 1 distinct pixels, 12525 when a value is not finite.
Calibracion CalibraEspectro(const std::vector<PuntoCalibracion>& puntos, int grado,
                            const std::vector<LineaEspectral>& lineas);

// The CSV table: "pixel,wavelength,flux,continuum,normalised", one row per sample; the
// wavelength column is empty without a calibration.
std::string TablaEspectro(const std::vector<double>& flujo, const std::vector<double>& continuo,
                          const Calibracion& calibracion);
// The lines as CSV: "centre,wavelength,kind,depth,fwhm,ew_px,ew_wavelength".
std::string TablaLineas(const std::vector<LineaEspectral>& lineas, const Calibracion& calibracion);

// Replaces the image with the one-row spectrum of the band (object type ESPCTRO, observation
// data kept, world coordinates dropped, the mapping scaled so that the fluxes fit the pixels).
void ImagenEspectro(Imagen& imagen, const BandaEspectro& banda, Progreso& progreso);
// "ESPECTRO x1 y1 x2 y2 [ancho [cielo]]".
std::string LineaEspectro(const BandaEspectro& banda);
// Installs ESPECTRO in the macro interpreter (start-up code and tests call it).
void EnlazaEspectroMacro();

}  // namespace orva
