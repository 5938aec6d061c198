// The star centroid of the interactive analyses (section "AnaEstelar"): an iterated moment
// centroid in a sky-corrected box, with its FWHM check.
#pragma once

namespace orva {

class ImagenPixeles;

struct ParametrosCentroide {
  int metodo = 1;         // CENTMETODO: 1 plain moments, 2 moments above sky + 3 deviations
  int radio = 5;          // CENTRADIO: half-size of the centroid box
  int radioSky = 5;       // CENTRADIOSKY: width of the sky ring just outside the box
  int info = 0;           // CENTINFO: 1 logs each result to the progress log
  double minFWHM = 0.1;   // CENTMINFWHM
  double maxFWHM = 20.0;  // CENTMAXFWHM
  int skyRadInt = 5;      // CENTSKYRADINT: inner radius of the star's own sky ring
  int skyRadExt = 20;     // CENTSKYRADEXT: outer radius of that ring
  int skyStar = 0;        // CENTSKYSTAR: 1 takes the sky from the CENTSKYRAD ring
  int numItera = 20;      // CENTNUMITERA: largest number of re-centring steps
};
ParametrosCentroide LeeParametrosCentroide();

struct ResultadoCentroide {
  double x = 0.0, y = 0.0;
  double fwhm = 0.0;
  double cielo = 0.0;
  int iteraciones = 0;
};

// Centroid of the star near (x, y). Each step takes the box of half-size CENTRADIO around the
// current pixel (it must lie inside the image: else 12134), estimates the sky in a ring around
// it, weighs each box pixel by its value above the sky (method 2: above sky + 3 deviations;
// negative weights count 0), and moves to the nearest pixel of the centroid; it ends when that
// pixel no longer changes. No weight: 12137; no rest after CENTNUMITERA steps (at least one):
// 12135; a FWHM (half-maximum walks) outside [CENTMINFWHM, CENTMAXFWHM]: 12136.
ResultadoCentroide CentroideEstrella(const ImagenPixeles& im, double x, double y,
                                     const ParametrosCentroide& p);
ResultadoCentroide CentroideEstrella(const ImagenPixeles& im, double x, double y);

}  // namespace orva
