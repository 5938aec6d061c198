// The macro language: file format, line splitting, command table, slots and the run loop.
#include "macro/Macro.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>

#include "base/Cadenas.h"
#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "base/Memoria.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/IdsComandos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"

namespace orva {

// ---------------------------------------------------------------------------------------------
// Slots

Imagen* Ranuras::En(int n) const {
  if (n < 1 || n > 8) return nullptr;
  return n == 1 ? principal_ : propias_[static_cast<size_t>(n - 1)].get();
}

void Ranuras::Copia(int a, int b) {
  Imagen* fuente = En(a);
  if (!fuente || b < 2 || b > 8 || a == b) return;
  // 10100 before the copy when its pixels would not fit.
  CompruebaMemoria(BytesDe(fuente->Ancho(), fuente->Alto(), sizeof(int16_t)));
  auto copia = std::make_unique<Imagen>();
  copia->CopiaImagen(*fuente);
  propias_[static_cast<size_t>(b - 1)] = std::move(copia);
}

// ---------------------------------------------------------------------------------------------
// Lines

LineaMacro DivideLinea(std::string_view linea) {
  while (!linea.empty() && (linea.back() == '\n' || linea.back() == '\r')) linea.remove_suffix(1);
  LineaMacro r;
  size_t pos = 0;
  bool primero = true;
  while (pos <= linea.size()) {
    size_t fin = linea.find(' ', pos);
    if (fin == std::string_view::npos) fin = linea.size();
    const std::string_view campo = linea.substr(pos, fin - pos);
    if (campo.empty()) break;  // an empty field ends the line
    if (primero) {
      r.comando = std::string(campo);
      primero = false;
    } else if (r.args.size() < 10) {
      r.args.emplace_back(campo);
    } else {
      r.demasiados = true;
      break;
    }
    pos = fin + 1;
  }
  return r;
}

int BuscaPalabra(std::string_view palabra, const std::vector<std::string_view>& lista) {
  if (palabra.empty()) return -1;
  for (size_t i = 0; i < lista.size(); ++i) {
    if (lista[i].substr(0, palabra.size()) == palabra) return static_cast<int>(i);
  }
  return -1;
}

// ---------------------------------------------------------------------------------------------
// Reasons and argument readers

namespace {

constexpr int kRanuraMinima = 1;
constexpr int kRanuraMaxima = 8;
constexpr int kPixelMinimo = -32768;
constexpr int kPixelMaximo = 32767;
// The largest zoom factor of a line (the menus write up to 9).
constexpr int kZoomMaximo = 64;

std::string Posicion(size_t k) {
  return std::to_string(k + 1);
}

template <class T>
std::string TextoRango(T minimo, T maximo) {
  if constexpr (std::is_floating_point_v<T>) {
    char a[32], b[32];
    std::snprintf(a, sizeof a, "%g", minimo);
    std::snprintf(b, sizeof b, "%g", maximo);
    return Mensaje(kTextoRango, a, b);
  } else {
    return Mensaje(kTextoRango, std::to_string(minimo), std::to_string(maximo));
  }
}

}  // namespace

bool EsMotivoLinea(int id) {
  return id >= kOrdenDesconocida && id <= kArgumentosNoAdmitidos;
}

void FueraDeRango(const std::vector<std::string>& args, size_t k, const std::string& rango) {
  throw JError(kFueraDeRango, Posicion(k), args[k], rango);
}

void PalabraNoAdmitida(const std::vector<std::string>& args, size_t k) {
  throw JError(kPalabraNoAdmitida, Posicion(k), k < args.size() ? args[k] : std::string());
}

void NumeroArgumentos(size_t dados, const std::string& esperados) {
  throw JError(kNumeroArgumentos, std::to_string(dados), esperados);
}

int ArgumentoEntero(const std::vector<std::string>& args, size_t k, int minimo, int maximo) {
  if (k >= args.size()) NumeroArgumentos(args.size(), Mensaje(kAlMenos, Posicion(k)));
  const std::optional<int> v = LeeEnteroComprobado(args[k]);
  if (!v) throw JError(kSinNumero, Posicion(k), args[k]);
  if (*v < minimo || *v > maximo) FueraDeRango(args, k, TextoRango(minimo, maximo));
  return *v;
}

double ArgumentoReal(const std::vector<std::string>& args, size_t k, double minimo, double maximo) {
  if (k >= args.size()) NumeroArgumentos(args.size(), Mensaje(kAlMenos, Posicion(k)));
  const std::optional<double> v = LeeRealComprobado(args[k]);
  if (!v) throw JError(kSinNumero, Posicion(k), args[k]);
  if (!(*v >= minimo && *v <= maximo)) FueraDeRango(args, k, TextoRango(minimo, maximo));
  return *v;
}

int16_t ArgumentoPixel(const std::vector<std::string>& args, size_t k) {
  return static_cast<int16_t>(ArgumentoEntero(args, k, kPixelMinimo, kPixelMaximo));
}

// ---------------------------------------------------------------------------------------------
// The commands that belong to the interpreter and the image window.

namespace {

int Usar(Ranuras&, int, const std::vector<std::string>& a) {
  return ArgumentoEntero(a, 0, kRanuraMinima, kRanuraMaxima);
}

int Copiar(Ranuras& r, int actual, const std::vector<std::string>& a) {
  r.Copia(LeeEntero(a[0]), LeeEntero(a[1]));
  return actual;
}

int Mostrar(Ranuras& r, int actual, const std::vector<std::string>& a) {
  static const std::vector<std::string_view> kModos = {"NADA", "HISTO",  "DATOS", "OPER",
                                                       "CABE", "LINHOR", "LINVER"};
  const int i = BuscaPalabra(a[0], kModos);
  if (i < 0) PalabraNoAdmitida(a, 0);
  Imagen* im = r.En(actual);
  im->modoPanel = kNada + i;
  return actual;
}

int Zoom(Ranuras& r, int actual, const std::vector<std::string>& a) {
  // Only the first letter counts: "A" and "AUMENTA" both zoom in.
  if (a[0].empty() || (a[0][0] != 'A' && a[0][0] != 'D')) PalabraNoAdmitida(a, 0);
  // 0 and negative factors have no picture.
  const int16_t n = static_cast<int16_t>(ArgumentoEntero(a, 1, 1, kZoomMaximo));
  Imagen* im = r.En(actual);
  // 1:1 either way is the 1:1 command; n:1 and 1:n have commands for n up to 9.
  constexpr int kFactorMenu = 9;  // the last factor with a menu command
  if (a[0][0] == 'A') {
    im->FijaZoom(n == 1             ? kCmdZoom11
                 : n <= kFactorMenu ? static_cast<int16_t>(kCmdAmpliar2 - 2 + n)
                                    : 0,
                 static_cast<float>(n));
  } else {
    im->FijaZoom(n == 1             ? kCmdZoom11
                 : n <= kFactorMenu ? static_cast<int16_t>(kCmdReducir2 - 2 + n)
                                    : 0,
                 1.0f / n);
  }
  return actual;
}

int Invertir(Ranuras& r, int actual, const std::vector<std::string>&) {
  r.En(actual)->Invierte();
  return actual;
}

// One row of the command table: word, argument counts, which arguments are slots that must
// hold an image, and the operation.
struct ComandoMacro {
  std::string_view palabra;
  int minArgs;
  int maxArgs;
  std::vector<int> ranurasLlenas;  // argument indices
  ManejadorMacro manejador;
};

std::vector<ComandoMacro>& Tabla() {
  static std::vector<ComandoMacro> tabla = {
      {"USAR", 1, 1, {0}, &Usar},         {"COPIAR", 2, 2, {0}, &Copiar},
      {"LEER", 2, 2, {1}, nullptr},       {"MOSTRAR", 1, 1, {}, &Mostrar},
      {"ZOOM", 2, 2, {}, &Zoom},          {"INVERTIR", 0, 10, {}, &Invertir},
      {"ROTAR", 1, 10, {}, nullptr},      {"ESPEJO", 1, 1, {}, nullptr},
      {"DESPLAZA", 3, 3, {}, nullptr},    {"CORTAR", 4, 10, {}, nullptr},
      {"REDIM", 6, 6, {}, nullptr},       {"ESCALGRIS", 0, 10, {}, nullptr},
      {"FILTRO", 0, 10, {}, nullptr},     {"SUMA", 4, 4, {0, 1}, nullptr},
      {"RESTA", 2, 2, {0, 1}, nullptr},   {"FLAT", 2, 2, {0, 1}, nullptr},
      {"DIVIDIR", 2, 2, {0, 1}, nullptr},
      // The point-pair transform of the "Trans. General" tool, as its matrix and result size.
      {"TRANSGENERAL", 10, 10, {}, nullptr},
      {"PRETRATAR", 0, 10, {}, nullptr},
      // The maps of a planet's disc.
      {"PLANISFERIO", 8, 9, {}, nullptr},
      {"PROYPOLAR", 9, 10, {}, nullptr},
      // The one-row spectrum of a band of the image (spectra/Espectro.h).
      {"ESPECTRO", 4, 6, {}, nullptr},
      // The reseau correction of a spacecraft frame (spacecraft/MacroReseau.h).
      {"RETICULA", 0, 2, {}, nullptr},
  };
  return tabla;
}

std::vector<std::string_view> Palabras() {
  std::vector<std::string_view> p;
  for (const ComandoMacro& c : Tabla()) p.push_back(c.palabra);
  return p;
}

}  // namespace

void EnlazaComandoMacro(std::string_view palabra, ManejadorMacro manejador) {
  for (ComandoMacro& c : Tabla()) {
    if (c.palabra == palabra) c.manejador = manejador;
  }
}

int EjecutaLineaConMotivo(Ranuras& ranuras, std::string_view linea, int actual) {
  const LineaMacro l = DivideLinea(linea);
  static const std::vector<std::string_view> palabras = Palabras();
  const int i = l.comando.empty() ? -1 : BuscaPalabra(l.comando, palabras);
  if (i < 0) throw JError(kOrdenDesconocida, l.comando);
  const ComandoMacro& c = Tabla()[static_cast<size_t>(i)];
  const int n = static_cast<int>(l.args.size());
  const std::string esperados =
      c.minArgs == c.maxArgs ? std::to_string(c.minArgs) : TextoRango(c.minArgs, c.maxArgs);
  if (l.demasiados) NumeroArgumentos(l.args.size() + 1, esperados);
  if (n < c.minArgs || n > c.maxArgs) NumeroArgumentos(l.args.size(), esperados);
  // Slot numbers are checked before anything is touched: LEER reads no file into a slot that
  // does not exist.
  for (int k : c.ranurasLlenas) {
    const size_t ks = static_cast<size_t>(k);
    const int s = ArgumentoEntero(l.args, ks, kRanuraMinima, kRanuraMaxima);
    if (!ranuras.En(s)) throw JError(kRanuraVacia, std::to_string(s));
  }
  if (c.palabra == "COPIAR") {
    // A copy into slot 1 would destroy the image being processed; a copy onto itself is
    // meaningless. Both are refused.
    const int b = ArgumentoEntero(l.args, 1, kRanuraMinima + 1, kRanuraMaxima);
    if (b == LeeEntero(l.args[0])) FueraDeRango(l.args, 1, Cadena(kDistintoDelOrigen));
  }
  if (!ranuras.En(actual)) throw JError(kRanuraVacia, std::to_string(actual));
  if (!c.manejador) throw JError(kOrdenNoDisponible, std::string(c.palabra));
  const int r = c.manejador(ranuras, actual, l.args);
  if (r < kRanuraMinima || r > kRanuraMaxima) throw JError(kArgumentosNoAdmitidos);
  return r;
}

int EjecutaLinea(Ranuras& ranuras, std::string_view linea, int actual) {
  int r = 0;
  SinMotivo([&] { r = EjecutaLineaConMotivo(ranuras, linea, actual); });
  return r;
}

int EjecutaMacro(Imagen& imagen, const std::vector<std::string>& lineas) {
  Ranuras ranuras(imagen);
  int actual = 1;
  Progreso& progreso = ProgresoActual();
  for (size_t i = 0; i < lineas.size(); ++i) {
    const std::string& linea = lineas[i];
    progreso.TextoProceso(linea);
    if (progreso.Cancelado()) return 0;
    try {
      actual = EjecutaLineaConMotivo(ranuras, linea, actual);
    } catch (const JError& e) {
      imagen.repintar = 1;
      if (!EsMotivoLinea(e.Id())) throw;
      throw JError(12052, std::to_string(i + 1), linea, e.Mensaje());  // 12052
    }
    imagen.AnadeOperacion(linea);
  }
  imagen.repintar = 1;
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Files

std::vector<std::string> CargaMacro(const std::string& archivo) {
  std::vector<std::string> lineas;
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(archivo.c_str(), "rb"), &std::fclose);
  if (!f) {
    if (errno == ENOENT) return lineas;
    throw JError(10125, archivo, std::strerror(errno));  // 10125
  }
  // Lines are read up to 1023 characters; the rest of a longer line is dropped.
  auto leeLinea = [&](std::string& linea) {
    linea.clear();
    int ch;
    bool alguno = false;
    while ((ch = std::fgetc(f.get())) != EOF) {
      alguno = true;
      if (ch == '\n') break;
      if (linea.size() < 1023) linea.push_back(static_cast<char>(ch));
    }
    if (!linea.empty() && linea.back() == '\r') linea.pop_back();
    return alguno;
  };
  std::string linea;
  if (!leeLinea(linea) || linea != kCabeceraMacro) return lineas;
  while (leeLinea(linea)) lineas.push_back(linea);
  if (std::ferror(f.get())) {
    throw JError(10126, archivo, "1023", std::strerror(errno));  // 10126
  }
  return lineas;
}

void GuardaMacro(const std::vector<std::string>& lineas, const std::string& archivo) {
  std::string texto = std::string(kCabeceraMacro) + "\r\n";
  std::string ultimoModo;
  bool hayMostrar = false;
  for (const std::string& l : lineas) {
    if (l.compare(0, 7, "MOSTRAR") == 0) {
      hayMostrar = true;
      const LineaMacro partes = DivideLinea(l);
      ultimoModo = partes.args.empty() ? "" : partes.args[0];
      continue;
    }
    texto += l + "\r\n";
  }
  if (hayMostrar) texto += "MOSTRAR " + ultimoModo + "\r\n";
  EscribeArchivoSeguro(archivo, texto);
}

namespace {

// LEER file n: reads the file into the image of slot n.
int Leer(Ranuras& ranuras, int actual, const std::vector<std::string>& args) {
  Imagen* im = ranuras.En(LeeEntero(args[1]));
  if (!im) return 0;
  const RegistroTipoArchivo* r =
      BuscaTipoArchivo(AjustesActuales().Valor("Archivos", "TIPARCHLEER"));
  LeeArchivo(args[0], *im, r ? r->id : kTipoDesconocido);
  return actual;
}

}  // namespace

void EnlazaFormatosMacro() {
  EnlazaComandoMacro("LEER", &Leer);
}

}  // namespace orva
