// Convolution and rank filters: named kernels, mean, Gaussian and general Laplacian kernels,
// integer and real convolution, gradient magnitude, thresholded median, local contrast
// normalisation; the FILTRO forms, the menu lines and the dialogs' radius proposals.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

class Imagen;
class Progreso;

inline constexpr int kTamMaxNucleo = 50;
// The largest kernel radius: 2 radius + 1 <= kTamMaxNucleo.
inline constexpr int kRadioMaxNucleo = (kTamMaxNucleo - 1) / 2;

// Integer kernel: n x n values (row-major, rows follow image rows), divisor and offset.
struct NucleoEntero {
  std::string nombre;
  int n = 0;
  int divisor = 1;
  int offset = 0;
  int caja = 0;  // s when the kernel is an s x s block of ones at the top left (mean kernel)
  std::array<int32_t, kTamMaxNucleo * kTamMaxNucleo> v{};
  int32_t& En(int fila, int col) { return v[static_cast<size_t>(fila * kTamMaxNucleo + col)]; }
  int32_t En(int fila, int col) const { return v[static_cast<size_t>(fila * kTamMaxNucleo + col)]; }
};

// Real kernel (Gaussian, general Laplacian, gradient).
struct NucleoReal {
  std::string nombre;
  int n = 0;
  double divisor = 1.0;
  double offset = 0.0;
  std::array<double, kTamMaxNucleo * kTamMaxNucleo> v{};
  double& En(int fila, int col) { return v[static_cast<size_t>(fila * kTamMaxNucleo + col)]; }
  double En(int fila, int col) const { return v[static_cast<size_t>(fila * kTamMaxNucleo + col)]; }
};

// The first named kernel whose name begins with the text (tables in their fixed order);
// nullptr when none or the text is empty.
const NucleoEntero* BuscaNucleoEntero(std::string_view nombre);
const NucleoReal* BuscaNucleoGradiente(std::string_view nombre);
// The names of the tables in order.
std::vector<std::string> NombresNucleosEnteros();
std::vector<std::string> NombresNucleosGradiente();

// Kernel construction; false when the kernel cannot be built (size outside 1..50, radius
// outside 0..24, a sigma whose 2 sigma^2 is 0 or not finite).
bool NucleoMedia(int tam, NucleoEntero& k);
bool NucleoGaus(double sigma, int radio, NucleoReal& k);
bool NucleoLaplaciana(double sigma, int radio, NucleoReal& k);
// The vertical partner of a gradient kernel (columns 1 and 2 swapped for the size-2 kernel,
// else a quarter turn).
NucleoReal SegundoNucleoGradiente(const NucleoReal& k);

// The operations on an image. Each works in bands of rows on the operations' threads
// (core/Hilos.h), into output blocks of its own, polls the cancel of the progress object between
// bands (11011, the image keeps its old pixels), copies the result in once every band is done and
// updates the image. The result is the same for any thread count. Pixels closer to an edge than the half size of the window
// keep their values. The forms without a progress object use ProgresoActual().
void ConvolucionEntera(Imagen& im, const NucleoEntero& k, double a, double b, int c,
                       Progreso& progreso);
void ConvolucionReal(Imagen& im, const NucleoReal& k, double a, double b, int c,
                     Progreso& progreso);
void GradienteMagnitud(Imagen& im, const NucleoReal& k, double a, double b, Progreso& progreso);
// Half size 0 or less leaves the image as it is (a one-value window is its own median).
void MedianaUmbral(Imagen& im, double factor, int medio, Progreso& progreso);
// Mode 0: mean / sd; mode 1: pixel / sd. A flat window (sd 0) keeps the pixel's value.
void ContrasteLocal(Imagen& im, int tam, int modo, Progreso& progreso);
void ConvolucionEntera(Imagen& im, const NucleoEntero& k, double a, double b, int c);
void ConvolucionReal(Imagen& im, const NucleoReal& k, double a, double b, int c);
void GradienteMagnitud(Imagen& im, const NucleoReal& k, double a, double b);
void MedianaUmbral(Imagen& im, double factor, int medio);
void ContrasteLocal(Imagen& im, int tam, int modo);

// One FILTRO line, parsed.
enum class FormaFiltro {
  kNombrado,    // integer convolution with a named (or mean) kernel
  kMedia,       // integer convolution with a mean kernel of size tam
  kGaus,        // real convolution with a Gaussian kernel
  kLaplaciana,  // real convolution with a general Laplacian kernel
  kGradiente,   // gradient magnitude with a named gradient kernel
  kMediana,
  kContraste,
};
struct ParamsFiltro {
  FormaFiltro forma = FormaFiltro::kNombrado;
  std::vector<std::string> tokens;  // the line after "FILTRO", as recorded
  std::string nombre;               // kernel name as given
  int tam = 0;                      // mean size or contrast window
  double sigma = 0.0;
  int radio = 0;
  double a = 0.0, b = 1.0;
  int c = 0;
  double factor = 0.0;  // median threshold
  int medio = 0;        // median half size
  int modo = 0;         // contrast mode
};

// Reads the tokens after FILTRO; false when a check of the form fails.
bool LeeFiltro(const std::vector<std::string>& tokens, ParamsFiltro& p);
// The same, raising the reason of the failed check (a MotivoLinea JError, macro/Macro.h).
void LeeFiltroComprobado(const std::vector<std::string>& tokens, ParamsFiltro& p);
// Runs the filter; false when its kernel cannot be built. A cancel raises 11011.
bool AplicaFiltro(Imagen& im, const ParamsFiltro& p, Progreso& progreso);
bool AplicaFiltro(Imagen& im, const ParamsFiltro& p);
// Parse and run; false when the line is refused.
bool EjecutaFiltro(Imagen& im, const std::vector<std::string>& tokens);
// The macro operation: parse and run, raising the reason when the line is refused.
void EjecutaFiltroMacro(Imagen& im, const std::vector<std::string>& tokens);
// The recorded line, "FILTRO" and the tokens.
std::string LineaFiltro(const ParamsFiltro& p);

// The menu commands of the filters: item text, dialog title (empty: none), line format and its
// arguments (a settings key of section FiltrosConvol, or a literal after '=').
struct FiltroMenu {
  std::string grupo;
  std::string item;
  std::string dialogo;
  std::string formato;
  std::vector<std::string> argumentos;
};
const std::vector<FiltroMenu>& MenuFiltros();
// The line of a menu command, from the current settings.
std::string LineaFiltroMenu(const FiltroMenu& f);

// The dialogs' sigma check (12073 outside 0..6) and radius proposals, clamped to 1..24.
void CompruebaSigma(double sigma);
int RadioPropuestoGaus(double sigma);
int RadioPropuestoLaplaciana(double sigma);

}  // namespace orva
