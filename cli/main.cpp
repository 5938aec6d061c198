// The command-line program `orva`: global options, start-up, the subcommand, and the one place
// where errors become messages and exit statuses.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "cli/Ordenes.h"
#include "cli/ProgresoConsola.h"
#include "core/Hilos.h"
#include "core/ModuloAnalisis.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "processing/Procesamiento.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "shell/Idioma.h"
#include "stellar/BuscaEstrellas.h"
#include "stellar/EstrellasRegistro.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUso =
    "usage: orva [--config PATH] [--set Section.KEY=VALUE]... [--threads N] [/D] [/C=NAME]\n"
    "            COMMAND ...\n"
    "  --threads N                          threads of the image operations (0: every core)\n"
    "  detect FILE...                       the detected file type of each file\n"
    "  info FILE [--json]                   type, sizes, statistics and observation data\n"
    "  apply IN OUT [-e LINE]... [-m MACRO.ORV]... [--type KEY] [--object NAME] [--site NAME]\n"
    "                                       read IN, run the lines, write OUT; --object and\n"
    "                                       --site fill the image data from the lists\n"
    "  macro MACRO.ORV FILE... [-o DIR] [--type KEY] [--in-place] [-j N]\n"
    "                                       run a macro over files on disk; results never\n"
    "                                       replace the input files unless --in-place;\n"
    "                                       -j N: N files at once (0: every core), one\n"
    "                                       thread each unless --threads is given\n"
    "  convert IN OUT [--type KEY] [--from KEY] [--object NAME] [--site NAME]\n"
    "                                       read and write; --from: read IN as that type,\n"
    "                                       without detection (GENERAL: raw pixels)\n"
    "  objects|sites [--add 'NAME;...'] [--remove NAME]\n"
    "                                       the object / observatory list of the settings\n"
    "  stars FILE [--method pcvista|tass] [--clear] [--log] [--csv|--json] [--save]\n"
    "                                       star detection; one row per star:\n"
    "                                       name x y sky skydev npix rawsum cleansum mag\n"
    "  phot FILE X Y                        aperture photometry at a point:\n"
    "                                       sky skydev npix rawsum cleansum mag status\n"
    "  double FILE --a X,Y --b X,Y          centroids of A and B, position angle, separation\n"
    "  register REF FILES|@LIST... [-o DIR] [--affine] [--method pcvista|tass] [--csv REPORT]\n"
    "                                       register each file on the reference by its stars;\n"
    "                                       -o DIR: write them resampled onto its grid\n"
    "  render IN OUT.png [--zoom N] [--marks] [--levels minmax|percentile LO HI|zscale]\n"
    "                                       the image as displayed, with the analysis overlay\n"
    "  calibrate [--bias F|@LIST]... [--dark F|@LIST]... [--flat F|@LIST]...\n"
    "            [LIGHTS... -o DIR] [--masters DIR] [--method mean|median|sigma]\n"
    "            [--kappa K] [--iter N] [--repair] [--repair-kappa K] [--no-overscan]\n"
    "                                       build masters (several frames) or take them (one\n"
    "                                       file) and pretreat the lights into DIR\n"
    "  stack FILES|@LIST... -o OUT [--method mean|median|sum|sigma] [--kappa K] [--iter N]\n"
    "        [--norm none|add|mul|both] [--align none|ref|stars | --transforms REPORT]\n"
    "        [--group N] [--rejmap FILE] [--csv REPORT]\n"
    "                                       combine a series (or groups of N) into one image\n"
    "  planet FILE [--body NAME] [--site LON,LAT[,ALT] | --lon DEG --lat DEG [--alt M]]\n"
    "  planet --date D/M/Y --time H:M:S --body NAME [--site ... | --lon ... --lat ...]\n"
    "                                       ephemeris of MARTE, JUPITER, SATURNO, URANO or\n"
    "                                       NEPTUNO (longitude positive west; geocentric\n"
    "                                       without a site)\n"
    "  field REF -o FIELD --var X,Y[,NAME] --comp X,Y[,NAME[,MAG]]... [--check X,Y[,NAME[,MAG]]]...\n"
    "        [--name NAME] [--aperture R,RIN,ROUT] [--ephemeris EPOCH,PERIOD]\n"
    "                                       a variable-star field on its reference image;\n"
    "                                       field FIELD shows one\n"
    "  lightcurve FIELD FILES|@LIST... [--csv OUT] [--aavso OUT] [--minimum] [--extinction K|fit]\n"
    "        [--gain G] [--read-noise E] [--sky mode|mean|median] [--fwhm-scale S]\n"
    "        [--obscode CODE] [--filter F]  differential photometry of a series on the field\n"
    "  sun FILE [--csv OUT] [--venus] [--at X,Y] [--venus-at X,Y] [--png OUT.png]\n"
    "                                       the solar disc, its limb-darkening laws and the\n"
    "                                       corona; --venus: Venus on the disc, its position\n"
    "                                       and photometry; --csv: the zone table\n"
    "  limb FILE [DISC OPTIONS] [--points]\n"
    "                                       fit the planet's limb: centre, semi-axes, rms\n"
    "  lonlat FILE X,Y... [DISC OPTIONS] [--csv] [--save]\n"
    "                                       planetographic longitude and latitude of points;\n"
    "                                       --save: kept as features in the side data file\n"
    "  features FILE                        the measured features of a planet image as CSV\n"
    "  planisphere FILE OUT [--res DEG] [--minnaert K] [DISC OPTIONS]\n"
    "                                       map of the visible hemisphere\n"
    "  polar FILE OUT [--south] [--stereo] [--size N] [--minnaert K] [DISC OPTIONS]\n"
    "                                       orthographic or stereographic polar projection\n"
    "  cut FILE meridian|equator|X1,Y1,X2,Y2 [--minnaert K] [DISC OPTIONS]\n"
    "                                       photometric cut as CSV\n"
    "    DISC OPTIONS: [--pole DEG] [--de DEG] [--cm DEG] [--sun LAT,LON] [--flattening F]\n"
    "                  [--body TYPE] [--system 1|2|3] [--centre X,Y --radius R [--no-fit]]\n"
    "                  [--fit-angle]; the orientation from the image's date, time and\n"
    "                  observatory (geocentric without one), the options overriding it\n"
    "  spectrum FILE [--line X1,Y1,X2,Y2] [--width W] [--sky D] [--csv OUT] [--lines]\n"
    "           [--calib PX:WL,...] [--degree N]\n"
    "                                       the spectrum along a band: CSV table, lines,\n"
    "                                       wavelength calibration\n"
    "  reseau FILE [--csv OUT] [--correct OUT] [--remove-marks] [--grid CAMERA|TABLE]\n"
    "                                       reseau marks of a spacecraft frame, its geometric\n"
    "                                       correction and navigation data (CAMERA: VGR1_NA,\n"
    "                                       VGR1_WA, VGR2_NA, VGR2_WA; default from the label)\n"
    "exit status: 0 success, 1 error (\"orva: <id>: <text>\" on stderr), 2 usage error\n";

// The subcommands that later parts of the system will serve.

// The largest --threads count accepted.
constexpr long kMaxHilos = 1024;

struct Global {
  std::vector<std::string> configs;  // --config files, in order
  std::string nombreC;               // "/C=" name
  std::vector<std::string> ajustes;  // --set values
  int hilos = -1;                    // --threads, -1 when not given
  bool silencioso = false;
  std::vector<std::string> resto;  // the subcommand and its arguments
};

Global AnalizaGlobal(int argc, char** argv) {
  Global g;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--config" || a == "--set") {
      if (i + 1 >= argc) throw ErrorUso("option " + a + " needs a value");
      (a == "--config" ? g.configs : g.ajustes).push_back(argv[++i]);
    } else if (a == "--threads") {
      if (i + 1 >= argc) throw ErrorUso("option --threads needs a value");
      const std::string v = argv[++i];
      char* fin = nullptr;
      const long n = std::strtol(v.c_str(), &fin, 10);
      if (v.empty() || *fin != '\0' || n < 0 || n > kMaxHilos) {
        throw ErrorUso("--threads needs a count from 0 (every core) to " +
                       std::to_string(kMaxHilos) + ", not '" + v + "'");
      }
      g.hilos = static_cast<int>(n);
    } else if (a == "/D" || a == "/d") {
      g.silencioso = true;
    } else if (a.size() > 3 && (a.compare(0, 3, "/C=") == 0 || a.compare(0, 3, "/c=") == 0)) {
      // The name is the characters up to the first '.', blank or the end.
      g.nombreC = a.substr(3, a.find_first_of(". ", 3) - 3);
    } else {
      g.resto.push_back(a);
    }
  }
  return g;
}

// Reads the settings: the user's file, then "/C=" and --config on top, then --set values.
void Configura(const Global& g) {
  ListaTiposArchivo();  // the registry binds its settings before the first read
  const std::string principal = ArchivoConfiguracion();
  ArrancaConfiguracion(principal);
  if (!g.nombreC.empty()) {
    const std::string archivo = (fs::path(principal).parent_path() / (g.nombreC + ".INI")).string();
    std::error_code e;
    if (!fs::is_regular_file(archivo, e))
      throw JError(10125, archivo, std::strerror(ENOENT));  // 10125
    LeeConfiguracionEncima(archivo);
  }
  for (const std::string& archivo : g.configs) {
    std::error_code e;
    if (!fs::is_regular_file(archivo, e))
      throw JError(10125, archivo, std::strerror(ENOENT));  // 10125
    LeeConfiguracionEncima(archivo);
  }
  Configuracion& cfg = Configuracion::Global();
  for (const std::string& ajuste : g.ajustes) {
    const size_t punto = ajuste.find('.');
    const size_t igual = ajuste.find('=');
    if (punto == 0 || punto == std::string::npos || igual == std::string::npos ||
        igual < punto + 2) {
      throw ErrorUso("--set needs Section.KEY=VALUE, not '" + ajuste + "'");
    }
    cfg.Asigna(ajuste.substr(0, punto), ajuste.substr(punto + 1, igual - punto - 1),
               ajuste.substr(igual + 1));
  }
  cfg.ActualizaDerivados();
  if (g.hilos >= 0) FijaHilos(g.hilos);  // over the HILOS setting
  HilosEnLinea() = g.hilos >= 0;
  // The file types take over filters set on the command line.
  for (RegistroTipoArchivo& r : ListaTiposArchivo()) {
    r.filtro = cfg.Valor(SeccionTipoArchivo(r), "FILTRO");
  }
}

// Every --set names a setting of the system; checked once the modules have bound theirs.
void CompruebaAjustes(const Global& g) {
  RegistraConfigPCVista();  // bound on first use otherwise
  RegistraConfigEstrellasRegistro();
  const Configuracion& cfg = Configuracion::Global();
  for (const std::string& ajuste : g.ajustes) {
    const size_t punto = ajuste.find('.');
    const size_t igual = ajuste.find('=');
    if (!cfg.Conocida(ajuste.substr(0, punto), ajuste.substr(punto + 1, igual - punto - 1))) {
      throw ErrorUso("unknown setting '" + ajuste.substr(0, igual) + "' in --set");
    }
  }
}

// Runs the subcommand once the system has started.
int Ejecuta(const Global& g) {
  CompruebaAjustes(g);
  if (g.resto.empty()) throw ErrorUso("no command given");
  const std::string& orden = g.resto[0];
  const Argumentos args(g.resto.begin() + 1, g.resto.end());
  if (orden == "detect") return OrdenDetect(args);
  if (orden == "info") return OrdenInfo(args);
  if (orden == "apply") return OrdenApply(args);
  if (orden == "macro") return OrdenMacro(args);
  if (orden == "convert") return OrdenConvert(args);
  if (orden == "stars") return OrdenStars(args);
  if (orden == "phot") return OrdenPhot(args);
  if (orden == "double") return OrdenDouble(args);
  if (orden == "render") return OrdenRender(args);
  if (orden == "register") return OrdenRegister(args);
  if (orden == "calibrate") return OrdenCalibrate(args);
  if (orden == "stack") return OrdenStack(args);
  if (orden == "sun") return OrdenSun(args);
  if (orden == "spectrum") return OrdenSpectrum(args);
  if (orden == "reseau") return OrdenReseau(args);
  if (orden == "objects") return OrdenObjects(args);
  if (orden == "sites") return OrdenSites(args);
  if (orden == "planet") return OrdenPlanet(args);
  if (orden == "field") return OrdenField(args);
  if (orden == "lightcurve") return OrdenLightcurve(args);
  if (orden == "limb") return OrdenLimb(args);
  if (orden == "lonlat") return OrdenLonLat(args);
  if (orden == "features") return OrdenFeatures(args);
  if (orden == "planisphere") return OrdenPlanisphere(args);
  if (orden == "polar") return OrdenPolar(args);
  if (orden == "cut") return OrdenCut(args);
  throw ErrorUso("unknown command '" + orden + "'");
}

// With no command (at most "/D" and "/C=") and a display to show it on, the desktop is the
// program: orva-gui beside this one takes over with the same arguments. Returns only when it
// cannot be started.
void AbreEscritorio(const Global& g, char** argv) {
  if (!g.resto.empty() || !g.configs.empty() || !g.ajustes.empty()) return;
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  if ((!x || !*x) && (!w || !*w)) return;
  char propio[4096];
  const ssize_t n = ::readlink("/proc/self/exe", propio, sizeof propio - 1);
  if (n <= 0) return;
  propio[n] = '\0';
  std::string escritorio(propio);
  escritorio = escritorio.substr(0, escritorio.find_last_of('/') + 1) + "orva-gui";
  if (::access(escritorio.c_str(), X_OK) != 0) return;
  argv[0] = escritorio.data();
  ::execv(escritorio.c_str(), argv);
}

}  // namespace
}  // namespace orva

int main(int argc, char** argv) {
  using namespace orva;
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUso, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("orva %s\n", ORVA_VERSION);
    return 0;
  }
  try {
    const Global g = AnalizaGlobal(argc, argv);
    AbreEscritorio(g, argv);
    ModoSilencioso() = g.silencioso;
    ProgresoConsola progreso(!g.silencioso && ::isatty(STDERR_FILENO));
    InstalaProgreso(&progreso);
    struct Desinstala {
      ~Desinstala() { InstalaProgreso(nullptr); }
    } desinstala;
    Configura(g);
    AplicaIdioma(Configuracion::Global());
    InstalaSistema();
    const int estado = Ejecuta(g);
    CompruebaSalida();
    return estado;
  } catch (const ErrorUso& e) {
    std::fprintf(stderr, "orva: %s\n(orva --help lists the commands)\n", e.what());
    return 2;
  } catch (const JError& e) {
    ImprimeError(e.Id(), e.Mensaje());
    return 1;
  } catch (const std::bad_alloc&) {
    ImprimeError(10100, Mensaje(10100, "?"));
    return 1;
  } catch (const std::exception& e) {
    ImprimeError(0, e.what());
    return 1;
  }
}
