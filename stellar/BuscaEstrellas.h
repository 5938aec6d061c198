// Star detection on variable-star images: the PCVISTA peak search with moment centroids and
// shape tests, the TASS matched-filter finder, and the commands that run them.
#pragma once

#include <vector>

#include "stellar/Fotometria.h"

namespace orva {

class Imagen;
class ImagenPixeles;
class Progreso;
class DatosVariables;

// Settings of section "BuscaEstPCVista".
struct ParametrosPCVista {
  double numSigmas = 3.0;   // NumSigmas: threshold above the sky in image deviations
  int maxDistCentPico = 2;  // MaxDistCentPico: allowed centroid-to-peak distance per axis
  int radioCajaBusq = 7;    // RadioCajaBusq: box half-size R and border margin
  int numMaxIter = 5;       // NumMaxIter: re-centring passes
  double fwhmMin = 2.0;     // FWHMMin
  double fwhmMax = 4.5;     // FWHMMax
  double roundMin = -1.0;   // RoundMin
  double roundMax = 1.0;    // RoundMax
  double sharpMin = 1.0;    // SharpMin
  double sharpMax = 5.0;    // SharpMax
  int verLog = 1;           // VerLog: show the search log
};
// Adds the "BuscaEstPCVista" keys to the settings table (once is enough; repeating is harmless).
void RegistraConfigPCVista();
ParametrosPCVista LeeParametrosPCVista();
// Writes p back into the settings (what the dialog does when accepted).
void GuardaParametrosPCVista(const ParametrosPCVista& p);

// Settings of the TASS finder (section "AnaVariables").
struct ParametrosTASS {
  double limDetec = 4.0;     // VARLIMDETEC: detection limit in noise units
  double relCielEst = 1.75;  // VARRELCIELEST: largest peak / fitted-amplitude ratio (and 1/it)
  int calcCentroide = 0;     // VARCALCCENT: 1 refines each star with the configured centroid
};
ParametrosTASS LeeParametrosTASS();

struct CentroideMomentos {
  double x = 0.0, y = 0.0;
  double tamX = 0.0, tamY = 0.0;  // second moments about the centroid
  double fwhm = 0.0;
};
// Moment centroid of the (2R+1)^2 box centred on integer (x, y) with the weights max(v - sky, 0).
// Columns or rows below 0 or beyond the width or height read as the sky; a column equal to the
// width or a row equal to the height reads as the out-of-image value. A box with no weight gives
// the box centre with zero moments.
CentroideMomentos CalculaCentroide(const ImagenPixeles& im, long x, long y, int r, double cielo);
// Full width at half maximum at (cx, cy) from the four half-maximum walks along the row and the
// column of the nearest pixel, each ended with a linear crossing fraction.
double CalculaFWHM(const ImagenPixeles& im, double cx, double cy, double cielo);
// Sum of the four neighbours above the sky over the pixel above the sky.
double CalculaSharp(const ImagenPixeles& im, long x, long y, double cielo);
// 1 when no pixel of the (2R+1)^2 box around (x, y) is strictly greater than (x, y).
int EsMaximoLocal(const ImagenPixeles& im, long x, long y, int r);

// The PCVISTA search over the image, adding the stars it accepts to datos; log lines go to
// progreso.AnadirLinea. Uses the image's statistics as they are (histogram mode as the sky,
// standard deviation). The peaks are found in bands of rows on the operations' threads
// (core/Hilos.h), then walked in reading order: the stars are the same for any thread count.
// A cancel ends the search keeping the stars already added. Returns 1.
int BuscaEstrellasPCVista(Imagen& imagen, DatosVariables& datos, const ParametrosPCVista& p,
                          const ParametrosFotometria& fot, Progreso& progreso);

// A candidate of the matched-filter finder.
struct CandidataTASS {
  double x = 0.0, y = 0.0;
  double pico = 0.0;      // brightest pixel near the centroid, above the local background
  double amplitud = 0.0;  // amplitude of the fitted star profile
  double senal = 0.0;     // filtered value in noise units (signal-to-noise)
};
// The matched-filter finder on its own: the candidates in the order found (rows, then columns).
// ruido, when given (> 0), replaces the estimated noise level. The filter and the search run in
// bands of rows on the operations' threads, with the same candidates for any thread count; a
// cancel, asked between bands, returns the candidates of the bands before the first not searched.
std::vector<CandidataTASS> BuscaCandidatasTASS(const ImagenPixeles& im, const ParametrosTASS& p,
                                               Progreso& progreso, double ruido = 0.0);
// The TASS search: candidates refined (VARCALCCENT), measured, named and added as PCVISTA does.
// Returns the number of stars added.
int BuscaEstrellasTASS(Imagen& imagen, DatosVariables& datos, const ParametrosTASS& p,
                       const ParametrosFotometria& fot, Progreso& progreso);

enum class MetodoBusqueda { kPCVista, kTASS };
// The commands 6023 (PCVISTA) and 6022 (TASS) without their dialogs: check that the image is a
// variable-star image (JError 12074), optionally delete its stars, open the progress with its
// title and texts, search with the current settings, close it. Returns the stars added.
int BuscaEstrellas(Imagen& imagen, MetodoBusqueda metodo, bool borrarExistentes,
                   Progreso& progreso);

}  // namespace orva
