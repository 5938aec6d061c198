// The subcommands of the command-line program, each given its own arguments.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace orva {

struct DatosImagen;

// A usage error: wrong subcommand, option or argument count (exit status 2).
class ErrorUso : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Argumentos = std::vector<std::string>;

// An option's value as a number (the whole text, finite); ErrorUso "QUE must be a number" else.
double Numero(const std::string& texto, const std::string& que);
// An option's value as a whole number within [minimo, maximo]; ErrorUso else.
long Entero(const std::string& texto, const std::string& que, long minimo, long maximo);
// "@list.txt": the files it names, one a line (blank lines and lines starting with '#' left
// out; a relative name is taken from the list's folder), appended to archivos; anything else:
// the file itself. A list that cannot be read raises 10125, one that names no file 12289.
void AnadeArchivos(const std::string& arg, std::vector<std::string>& archivos);

// Each returns the exit status (0, or 1 when a file of a batch failed); errors of the system
// raise JError, usage errors ErrorUso.
int OrdenDetect(const Argumentos& args);
int OrdenInfo(const Argumentos& args);
int OrdenApply(const Argumentos& args);
int OrdenMacro(const Argumentos& args);
int OrdenConvert(const Argumentos& args);
// stars FILE [--method pcvista|tass] [--clear] [--log] [--csv|--json] [--save]: star detection on
// the image taken as VARIABLE; one row per star of its list: name x y sky skydev npix rawsum
// cleansum mag. --log writes the search log on stderr; --save keeps the stars in the image's side
// data file.
int OrdenStars(const Argumentos& args);
// phot FILE X Y: sky skydev npix rawsum cleansum mag status.
int OrdenPhot(const Argumentos& args);
// double FILE --a X,Y --b X,Y: the centroids of A and B, the position angle in degrees and the
// separation in pixels.
int OrdenDouble(const Argumentos& args);
// register REF FILES... [-o DIR] [--affine] [--method pcvista|tass] [--csv REPORT]: each file's
// stars registered on the reference's; one line per file (matched stars, rms, the transform) or
// its failure on stderr; -o writes each registered file resampled onto the reference's grid.
// Exit status 1 when any file failed.
int OrdenRegister(const Argumentos& args);
// render IN OUT.png [--zoom N] [--marks]: the image as displayed (gray table, zoom), optionally
// with the analysis overlay.
int OrdenRender(const Argumentos& args);
// calibrate [--bias F|@LIST]... [--dark ...] [--flat ...] [LIGHTS... -o DIR] [--masters DIR]
// [--method mean|median|sigma] [--kappa K] [--iter N] [--repair] [--repair-kappa K]
// [--no-overscan]: masters built (several frames) or taken (one file), lights pretreated.
int OrdenCalibrate(const Argumentos& args);
// stack FILES... -o OUT [--method mean|median|sum|sigma] [--kappa K] [--iter N]
// [--norm none|add|mul|both] [--align none|ref] [--group N] [--rejmap FILE] [--csv REPORT].
int OrdenStack(const Argumentos& args);
// planet FILE [--body NAME] | planet --date D/M/Y --time H:M:S --body NAME, either with
// [--site LON,LAT[,ALT] | --lon DEG --lat DEG [--alt M]] (longitude positive west): the
// ephemeris lines of the planet (the image's own type, date, time and observatory unless the
// options give them); geocentric without a site.
int OrdenPlanet(const Argumentos& args);
// sun FILE [--csv OUT] [--venus] [--at X,Y] [--venus-at X,Y] [--png OUT.png]: the solar disc,
// its limb-darkening laws and, with --venus, Venus on it, as lines; --csv writes the zone table,
// --at and --venus-at search near a point, --png writes the image with the overlay.
int OrdenSun(const Argumentos& args);
// spectrum FILE [--line X1,Y1,X2,Y2] [--width W] [--sky D] [--csv OUT] [--lines]
// [--calib PX:WL,...] [--degree N]: the spectrum along the band (a one-row image needs no
// line) as the CSV table (on stdout, or into OUT), its lines and its calibration.
int OrdenSpectrum(const Argumentos& args);
// reseau FILE [--csv OUT] [--correct OUT] [--remove-marks] [--grid TABLE]: the reseau marks of a
// spacecraft frame found, the frame corrected to their object positions, its navigation data.
int OrdenReseau(const Argumentos& args);

// objects [--add FIELDS] [--remove NAME] / sites [...]: the object or observatory list of the
// settings folder, one entry per line as the file holds it; --add takes the ';'-separated
// fields of a new entry, --remove the name of one.
int OrdenObjects(const Argumentos& args);
int OrdenSites(const Argumentos& args);
// The --object and --site options of apply and convert: the named entries of the lists fill the
// image data (nothing when a name is empty).
void AplicaListas(const std::string& objeto, const std::string& sitio, DatosImagen& d);
// field REF -o FIELD --var X,Y[,NAME] --comp X,Y[,NAME[,MAG]]... [--check X,Y[,NAME[,MAG]]]...
// [--name NAME] [--aperture R,RIN,ROUT] [--ephemeris EPOCH,PERIOD] [--method pcvista|tass]:
// the stars centred on the reference and the field saved with its reference star list;
// field FIELD prints a field file.
int OrdenField(const Argumentos& args);
// lightcurve FIELD FILES... [--csv OUT] [--aavso OUT] [--minimum] [--extinction K|fit]
// [--gain G] [--read-noise E] [--sky mode|mean|median] [--fwhm-scale S] [--obscode CODE]
// [--filter F]: every frame identified on the field and measured; one line per frame (JD, air
// mass, V-C, K-C, V-ensemble), notices on stderr, the table and the AAVSO report written, the time
// of minimum and its O-C against the field's ephemeris. Exit status 1 when a frame gave no
// magnitude of the variable.
int OrdenLightcurve(const Argumentos& args);
// The planet's disc. Each takes the orientation --pole DEG --de DEG --cm DEG [--sun LAT,LON]
// [--flattening F] [--body TYPE], fits the limb from the bright area or from --centre X,Y
// --radius R (--no-fit: taken as they are; --fit-angle: the pole angle fitted too).
// limb FILE [--points]: centre, semi-axes, angle, rms, points used.
int OrdenLimb(const Argumentos& args);
// lonlat FILE X,Y... [--csv] [--save]: planetographic longitude and latitude of each point;
// --save keeps the disc and the points as measured features in the side data file.
int OrdenLonLat(const Argumentos& args);
// features FILE: the measured features of the side data file as CSV.
int OrdenFeatures(const Argumentos& args);
// planisphere FILE OUT [--res DEG] [--minnaert K]: the map of the visible hemisphere.
int OrdenPlanisphere(const Argumentos& args);
// polar FILE OUT [--south] [--stereo] [--size N] [--minnaert K]: the polar projection.
int OrdenPolar(const Argumentos& args);
// cut FILE meridian|equator|X1,Y1,X2,Y2 [--minnaert K]: a photometric cut as CSV.
int OrdenCut(const Argumentos& args);

// Flushes standard output and raises 12230 when anything written to it was lost (a full disk,
// a closed pipe): output a caller cannot trust is an error.
void CompruebaSalida();

// Whether --threads was given on the command line (main sets it).
bool& HilosEnLinea();

// Prints an error of the system as the one line "orva: <id>: <text>" on stderr.
void ImprimeError(int id, const std::string& texto);

}  // namespace orva
