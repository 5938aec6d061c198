// Solar disc analysis: the disc's centre and radius from its limb, the limb-darkening profile and
// its fitted laws, the corona's brightness outside the limb and, during a transit, Venus's dark
// disc on the Sun with its position and photometry.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orva {

class ImagenPixeles;
class Progreso;

// The module's settings (section PREFANASOL), read once by the caller; 0 or empty: the default.
struct ParametrosSol {
  double radioBusCentro = 0;    // around a clicked point, the disc's pixels searched (px; 0: all)
  double radioFotom = 0;        // outer radius of the photosphere ring around Venus (px)
  double radioFotomIntVen = 0;  // radius of the aperture inside Venus's disc (px)
  bool busquedaAutom = true;    // the disc and Venus found without a click
  bool tamVenusFijo = false;    // Venus's size given (tamVenus) instead of measured
  double tamVenus = 0;          // Venus's diameter (px)
  int numZonasSol = 10;         // annuli of the limb-darkening profile
  int numZonasCorona = 5;       // annuli of the corona outside the limb
  double solVenResolu = 0;      // image scale (arcsec/px); 0: unknown
  double solVenExtra = 0.5;     // the corona's extent beyond the limb (solar radii)
};

ParametrosSol LeeParametrosSol();

struct Circulo {
  double x = 0, y = 0, radio = 0;
  int puntos = 0;       // edge points used in the fit
  double rms = 0;       // of the edge points about the circle (px)
  bool anillo = false;  // the limb taken as the ridge of a bright ring (EUV, X-ray frames)
};

// A least-squares circle through the points (geometric fit, outliers beyond three rms dropped);
// with radioFijo > 0 only the centre is fitted. Raises 12500 with fewer than three points.
Circulo AjustaCirculo(const std::vector<double>& xs, const std::vector<double>& ys,
                      double radioFijo = 0);

// The solar disc: automatically (whole image) or near a clicked point (pixels above the
// threshold within radioBusCentro of it), then refined from limb points on radial profiles: the
// disc's falling edge, else (extreme-ultraviolet and X-ray frames) the ridge of the bright ring
// just above the limb. Raises 12501 when no disc is found.
Circulo BuscaDiscoSolar(const ImagenPixeles& im, const ParametrosSol& p,
                        std::optional<std::pair<double, double>> clic = std::nullopt);

struct ZonaSol {
  bool corona = false;
  double rMin = 0, rMax = 0;  // in solar radii
  double mu = 0;              // mean cos(theta) of the pixels (disc zones)
  long pixeles = 0;
  double media = 0;     // mean intensity
  double relativa = 0;  // (media - sky) / I0 of the quadratic law (linear when none)
};

struct LeyOscurecimiento {
  double i0Lineal = 0, u = 0;       // I(mu) = I0 (1 - u (1 - mu))
  double i0Cuad = 0, a = 0, b = 0;  // I(mu) = I0 (1 - a (1 - mu) - b (1 - mu)^2)
  bool cuadratica = false;          // enough zones for the quadratic law
  double Lineal(double mu) const { return 1 - u * (1 - mu); }
  double Cuadratica(double mu) const { return 1 - a * (1 - mu) - b * (1 - mu) * (1 - mu); }
};

struct Venus {
  Circulo disco;
  double dx = 0, dy = 0;       // from the Sun's centre (px)
  double distancia = 0;        // px
  double distanciaRadios = 0;  // in solar radii
  double anguloPosicion = 0;  // degrees from the image's top towards its left (north up, east left)
  double mediaInterior = 0, desvInterior = 0;
  long pixelesInterior = 0;
  double mediaFotosfera = 0, desvFotosfera = 0;
  long pixelesFotosfera = 0;
  double radioInterior = 0, radioAnillo = 0;  // the apertures used (px)
  double contraste = 0;                       // interior over photosphere, both above the sky
};

struct ResultadoSol {
  Circulo sol;
  double fondo = 0;            // sky level (median of the frame's border), taken off the laws
  std::vector<ZonaSol> zonas;  // disc zones from the centre out, then corona zones
  LeyOscurecimiento ley;
  std::optional<Venus> venus;
};

// The limb-darkening and corona zones of a found disc and the fitted laws; pixels within
// `excluido` (Venus, when found) are left out. Raises 12502 when a zone count is out of range.
void PerfilSolar(const ImagenPixeles& im, const ParametrosSol& p, ResultadoSol& r,
                 const Circulo* excluido = nullptr);

// Venus's dark disc on the found Sun: near the clicked point, else the darkest place of the disc
// against the fitted law; fixed size when p.tamVenusFijo. Raises 12503 when none is found.
Venus BuscaVenus(const ImagenPixeles& im, const ParametrosSol& p, const ResultadoSol& sol,
                 std::optional<std::pair<double, double>> clic = std::nullopt);

// The whole analysis: disc, Venus when asked (its disc kept out of the profile), profile, laws.
// The progress object is polled between steps (a cancel raises 11011).
ResultadoSol AnalizaSol(const ImagenPixeles& im, const ParametrosSol& p, bool conVenus,
                        Progreso& progreso);

// The result as a CSV table (disc, laws and Venus as '#' lines, then one row per zone).
std::string TablaSol(const ResultadoSol& r, const ParametrosSol& p);
// Writes the table safely (temporary file and rename).
void GuardaTablaSol(const std::string& archivo, const ResultadoSol& r, const ParametrosSol& p);
// Lines for the data pane and the command line.
std::vector<std::string> LineasSol(const ResultadoSol& r, const ParametrosSol& p);

}  // namespace orva
