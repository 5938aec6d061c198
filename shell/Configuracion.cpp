// The settings table, its INI file reader and in-place writer, and the derived values.
#include "shell/Configuracion.h"

#include <fcntl.h>
#include <locale.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <utility>

#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Hilos.h"
#include "core/Rango.h"
#include "core/TiposObjeto.h"

#ifndef ORVA_VERSION
#define ORVA_VERSION "4.0.2.1"
#endif

namespace orva {
namespace {

namespace fs = std::filesystem;

// A value read from the file keeps at most this many bytes (the profile read's buffer).
constexpr std::size_t kMaxValor = 255;

struct Defecto {
  const char* seccion;
  const char* clave;
  const char* defecto;
};

// The fixed table, in the order it is read and written.
constexpr Defecto kTabla[] = {
    {"General", "VERSION", "2.0"},
    {"General", "DUPLIMA", "0"},
    {"General", "ASKEXIT", "1"},
    {"General", "GRISCONT", "0"},
    {"General", "MAXIMIZAR", "0"},
    {"General", "GUARCONF", "1"},
    {"General", "TIPOCURSOR", "0"},
    {"General", "CONTNEGRO", "0"},
    {"General", "CONTBLANCO", "100"},
    {"General", "ABDLGPOSX", "230"},
    {"General", "ABDLGPOSY", "150"},
    {"General", "VALORMIN", "0"},
    {"General", "VALORMAX", "32767"},
    {"General", "VALORDEF", "0"},
    {"General", "SACARLOG", "0"},
    {"General", "HERRAMIENTA", "0"},
    {"General", "LENGUAJE", "0"},
    {"General", "MEMDESHACER", "256"},
    {"General", "HILOS", "0"},

    {"Archivos", "DIRARCHIVOS", "."},
    {"Archivos", "DIRGUARDAR", "."},
    {"Archivos", "MACROINICIAL", ""},
    {"Archivos", "DIRMACROS", "."},
    {"Archivos", "MACRODISCO", ""},
    {"Archivos", "TIPOOBJINI", "DESCONOCIDO"},
    {"Archivos", "TIPARCHLEER", "ST4"},
    {"Archivos", "TIPARCHGUARDAR", "ST4"},
    {"Archivos", "IMGREAL", "1"},
    {"Archivos", "GUARDATORVA", "1"},
    {"Archivos", "LEEDATORVA", "1"},
    {"Archivos", "INTRODATTRAT", "0"},
    {"Archivos", "GUARMISMOTIPO", "1"},
    {"Archivos", "CAMBEXTEN", "0"},
    {"Archivos", "EXTENTRAT", ""},
    {"Archivos", "EJECMACINI", "1"},
    {"Archivos", "TIPOAUTO", "1"},

    {"Recientes", "ARCHIVO1", ""},
    {"Recientes", "ARCHIVO2", ""},
    {"Recientes", "ARCHIVO3", ""},
    {"Recientes", "ARCHIVO4", ""},
    {"Recientes", "ARCHIVO5", ""},
    {"Recientes", "ARCHIVO6", ""},
    {"Recientes", "ARCHIVO7", ""},
    {"Recientes", "ARCHIVO8", ""},

    {"ImagenNueva", "IMGNUEVAX", "360"},
    {"ImagenNueva", "IMGNUEVAY", "180"},

    {"Histograma", "TAMHISX", "256"},
    {"Histograma", "TAMHISY", "150"},
    {"Histograma", "INCDIVHOR", "1000"},
    {"Histograma", "INCDIVVER", "100"},
    {"Histograma", "INCNUMHOR", "5000"},
    {"Histograma", "INCNUMVER", "1000"},
    {"Histograma", "MAXVALVER", "3000"},
    {"Histograma", "TIPOESCALA", "1"},

    {"DatosImagen", "NOMOBJ", ""},
    {"DatosImagen", "HORAOBS", ""},
    {"DatosImagen", "FECHAOBS", ""},
    {"DatosImagen", "INCHORA", ""},
    {"DatosImagen", "INCFECHA", ""},
    {"DatosImagen", "AROBJ", ""},
    {"DatosImagen", "DECOBJ", ""},
    {"DatosImagen", "EPOCAOBJ", ""},
    {"DatosImagen", "TIEMPOEXP", ""},
    {"DatosImagen", "FILTRO", ""},
    {"DatosImagen", "NOMCCD", ""},
    {"DatosImagen", "TEMPCCD", ""},
    {"DatosImagen", "FACTORRESP", ""},
    {"DatosImagen", "TELESCOPIO", ""},
    {"DatosImagen", "APERTURA", ""},
    {"DatosImagen", "DISTFOCAL", ""},
    {"DatosImagen", "OBSERVADOR", ""},
    {"DatosImagen", "OBSERVATORIO", ""},
    {"DatosImagen", "LONOBS", ""},
    {"DatosImagen", "LATOBS", ""},
    {"DatosImagen", "ALTOBS", ""},
    {"DatosImagen", "TIPOOBJ", "DESCONOCIDO"},
    {"DatosImagen", "PNOMOBJ", "1"},
    {"DatosImagen", "PHORAOBS", "1"},
    {"DatosImagen", "PFECHAOBS", "1"},
    {"DatosImagen", "PTIPOOBJ", "1"},
    {"DatosImagen", "PAROBJ", "1"},
    {"DatosImagen", "PDECOBJ", "1"},
    {"DatosImagen", "PEPOCAOBJ", "1"},
    {"DatosImagen", "PTIEMPOEXP", "1"},
    {"DatosImagen", "PFILTRO", "1"},
    {"DatosImagen", "PNOMCCD", "1"},
    {"DatosImagen", "PTEMPCCD", "1"},
    {"DatosImagen", "PTELESCOPIO", "1"},
    {"DatosImagen", "PAPERTURA", "1"},
    {"DatosImagen", "PDISTFOCAL", "1"},
    {"DatosImagen", "PFACTORRESP", "1"},
    {"DatosImagen", "POBSERVADOR", "1"},
    {"DatosImagen", "POBSERVATORIO", "1"},
    {"DatosImagen", "PLONOBS", "1"},
    {"DatosImagen", "PLATOBS", "1"},
    {"DatosImagen", "PALTOBS", "1"},
    {"DatosImagen", "PCOMENTARIO", "1"},
    {"DatosImagen", "PINCHORA", "0"},
    {"DatosImagen", "PINCFECHA", "0"},

    {"VentanaDatos", "TAMDATX", "200"},
    {"VentanaDatos", "TAMDATY", "100"},
    {"VentanaDatos", "TAMFUEN", "14"},
    {"VentanaDatos", "DATMIN", "0"},

    {"Redimensionar", "XIGUALY", "1"},
    {"Redimensionar", "IMORICONS", "0"},
    {"Redimensionar", "FACTOR_X", "1"},
    {"Redimensionar", "FACTOR_Y", "1"},

    {"Cortar", "CORTARTAMX", "100"},
    {"Cortar", "CORTARTAMY", "100"},
    {"Cortar", "TAMFIJO", "0"},

    {"Planisferio", "LONG_MIN", "-45"},
    {"Planisferio", "LONG_MAX", "45"},
    {"Planisferio", "LAT_MIN", "-60"},
    {"Planisferio", "LAT_MAX", "60"},
    {"Planisferio", "PLMARGENIZQ", "20"},
    {"Planisferio", "PLMARGENDER", "20"},
    {"Planisferio", "PLMARGENSUP", "20"},
    {"Planisferio", "PLMARGENINF", "20"},
    {"Planisferio", "PLMARCASLONG", "5"},
    {"Planisferio", "PLCIFRASLONG", "10"},
    {"Planisferio", "PLMARCASLAT", "5"},
    {"Planisferio", "PLCIFRASLAT", "10"},
    {"Planisferio", "PLSISTSUP", "0"},
    {"Planisferio", "PLSISTINF", "0"},
    {"Planisferio", "PLTIPOLATIZQ", "0"},
    {"Planisferio", "PLTIPOLATDER", "0"},

    {"AnalisisPlanetas", "CFINTERV", "1"},
    {"AnalisisPlanetas", "CFTIPLAT", "0"},
    {"AnalisisPlanetas", "CFVALREAL", "0"},
    {"AnalisisPlanetas", "RADFOTOPLAN", "3"},

    {"FiltrosConvol", "TAMFILTMEDIA", "3"},
    {"FiltrosConvol", "GAUSSIGMA", "1"},
    {"FiltrosConvol", "GAUSRADIO", "3"},
    {"FiltrosConvol", "GAUSSIGMALG", "1"},
    {"FiltrosConvol", "GAUSRADIOLG", "3"},
    {"FiltrosConvol", "FACTLAPLAC", "1"},
    {"FiltrosConvol", "FACTIMAG1RCM", "2"},
    {"FiltrosConvol", "FACTIMAG2RCM", "-1"},
    {"FiltrosConvol", "TAMFILTMEDRCM", "3"},
    {"FiltrosConvol", "FACTIMAG1RCG", "2"},
    {"FiltrosConvol", "FACTIMAG2RCG", "-1"},
    {"FiltrosConvol", "GAUSSIGMARCG", "1"},
    {"FiltrosConvol", "GAUSRADIORCG", "3"},
    {"FiltrosConvol", "FACTLAPLACRCL", "1"},
    {"FiltrosConvol", "GAUSSIGMARCL", "1"},
    {"FiltrosConvol", "GAUSRADIORCL", "3"},
    {"FiltrosConvol", "FACTMEDIANA", "1"},

    {"AnaEstelar", "CENTMETODO", "1"},
    {"AnaEstelar", "CENTRADIO", "5"},
    {"AnaEstelar", "CENTRADIOSKY", "5"},
    {"AnaEstelar", "CENTINFO", "0"},
    {"AnaEstelar", "CENTMINFWHM", "0.1"},
    {"AnaEstelar", "CENTMAXFWHM", "20.0"},
    {"AnaEstelar", "CENTSKYRADINT", "5"},
    {"AnaEstelar", "CENTSKYRADEXT", "20"},
    {"AnaEstelar", "CENTSKYSTAR", "0"},
    {"AnaEstelar", "CENTNUMITERA", "20"},

    {"AnaVariables", "VARRADEST", "7"},
    {"AnaVariables", "VARRADCIELINT", "15"},
    {"AnaVariables", "VARRADCIELEXT", "20"},
    {"AnaVariables", "VARCONSTMAGINST", "25"},
    {"AnaVariables", "VARVERDATOSCIELO", "0"},
    {"AnaVariables", "VARUSARMEDIACIELO", "0"},
    {"AnaVariables", "VARCIELOSERIE", "1"},
    {"AnaVariables", "VARGANANCIA", "1"},
    {"AnaVariables", "VARRUIDOLECTURA", "0"},
    {"AnaVariables", "VARESCALAFWHM", "0"},
    {"AnaVariables", "VARCALCCENT", "0"},
    {"AnaVariables", "VARERRMAG", "1"},
    {"AnaVariables", "VARPINTARCRUZ", "1"},
    {"AnaVariables", "VARPINTARAPER", "0"},
    {"AnaVariables", "VARPINTARCIELO", "0"},
    {"AnaVariables", "VARPINTARNOMBRE", "0"},
    {"AnaVariables", "VARUSARDJH", "1"},
    {"AnaVariables", "VAROFFX", "100"},
    {"AnaVariables", "VAROFFY", "100"},
    {"AnaVariables", "VARVALSATUR", "32767"},
    {"AnaVariables", "VARMAXITER", "1"},
    {"AnaVariables", "VARPIXBOR", "5"},
    {"AnaVariables", "VARCOMENTMAGDIF", "0"},
    {"AnaVariables", "VARLIMDETEC", "4"},
    {"AnaVariables", "VARRELCIELEST", "1.75"},
    {"AnaVariables", "VARNOMBREREFE", "V"},
    {"AnaVariables", "VARCALCEXT", "0"},
    {"AnaVariables", "VARNUMSTARIDENT", "8"},
    {"AnaVariables", "VARNUMSTARCALC", "15"},
    {"AnaVariables", "VARDESPMAXIMO", "200"},
    {"AnaVariables", "VARDESPMINIMO", "-200"},
    {"AnaVariables", "VARESCALAMAXIMO", "5"},
    {"AnaVariables", "VARESCALAMINIMO", "0.2"},
    {"AnaVariables", "VARANGULOMAXIMO", "45"},
    {"AnaVariables", "VARANGULOMINIMO", "-45"},
    {"AnaVariables", "VARESTNOPRESENT", "0"},

    {"AnaVoyager", "TAMMARCAX", "5"},
    {"AnaVoyager", "TAMMARCAY", "5"},
    {"AnaVoyager", "TAMCUADROX", "19"},
    {"AnaVoyager", "TAMCUADROY", "19"},
    {"AnaVoyager", "SIGMAMARCA", "1.0"},
    {"AnaVoyager", "LIMCORREL", "0.5"},
    {"AnaVoyager", "DISTMAXREAL", "5.0"},
    {"AnaVoyager", "BUSMARSOLOPREF", "0"},
    {"AnaVoyager", "DIRSEDR", "C:\\Sedr\\"},
    {"AnaVoyager", "DIBDETALL", "1"},
    {"AnaVoyager", "RADBUSACTI", "10"},

    {"Pretratamiento", "PTUSOBIAS", "1"},
    {"Pretratamiento", "PTUSODARK", "1"},
    {"Pretratamiento", "PTUSOFLAT", "1"},

    {"SumaAgrup", "NUMIMAGBLOQ", "8"},
    {"SumaAgrup", "DIFMAXSEG", "500"},
    {"SumaAgrup", "BORIMAGSUM", "1"},
};

// Settings the desktop keeps without a line of the table (written only once set).
constexpr Defecto kFueraDeTabla[] = {
    {"FiltrosConvol", "FILTROGENERAL", ""},
    {"AnaDobles", "DISTCALIB", ""},
};

char Minuscula(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Section and key names compare without regard to ASCII case.
bool IgualesSinCaso(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Minuscula(a[i]) != Minuscula(b[i])) return false;
  return true;
}

std::string EnMinusculas(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Minuscula(c);
  return r;
}

std::string ClaveIndice(std::string_view seccion, std::string_view clave) {
  return EnMinusculas(seccion) + '\n' + EnMinusculas(clave);
}

bool EsBlanco(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Recorta(std::string_view s) {
  while (!s.empty() && EsBlanco(s.front())) s.remove_prefix(1);
  while (!s.empty() && EsBlanco(s.back())) s.remove_suffix(1);
  return s;
}

// At most kMaxValor bytes, never cutting a UTF-8 sequence in two. A carriage return inside the
// line ends the value, as it does when the value is written.
std::string CortaValor(std::string_view v) {
  v = Recorta(v.substr(0, v.find('\r')));
  if (v.size() <= kMaxValor) return std::string(v);
  std::size_t n = kMaxValor;
  while (n > 0 && (static_cast<unsigned char>(v[n]) & 0xC0) == 0x80) --n;
  return std::string(v.substr(0, n));
}

// atof in the "C" locale, whatever locale the program runs in (a decimal comma locale would
// otherwise read "0.1" as 0).
double AtofC(std::string_view s) {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  std::string texto(s.substr(0, s.find('\0')));
  if (c == locale_t{}) return std::strtod(texto.c_str(), nullptr);
  return strtod_l(texto.c_str(), nullptr, c);
}

// Nearest integer, halves away from zero; out-of-range and NaN values are clamped (NaN to 0).
int RedondeaEntero(double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(std::lround(v));
}

// ---- The INI document: its lines as read, each classified once, for reading and writing.

struct Linea {
  enum class Tipo { Otra, Seccion, Clave };
  std::string texto;  // the line without its line end
  Tipo tipo = Tipo::Otra;
  std::string nombre;  // the section or key name, trimmed
  std::string valor;   // the key's value, trimmed, uncut
};

struct Documento {
  std::vector<Linea> lineas;
  bool crlf = false;  // the file ends its lines with CR LF
};

// Classifies one line. Lines holding NUL bytes, lines starting with ';', section lines without
// ']' and key lines without a name are kept as text but mean nothing.
void Clasifica(Linea& l, bool primera) {
  std::string_view t = l.texto;
  if (primera && t.substr(0, 3) == "\xEF\xBB\xBF") t.remove_prefix(3);  // UTF-8 byte order mark
  if (t.find('\0') != std::string_view::npos) return;
  t = Recorta(t);
  if (t.empty() || t.front() == ';') return;
  if (t.front() == '[') {
    std::size_t fin = t.find(']');
    if (fin == std::string_view::npos) return;
    l.tipo = Linea::Tipo::Seccion;
    l.nombre = std::string(Recorta(t.substr(1, fin - 1)));
    return;
  }
  std::size_t igual = t.find('=');
  if (igual == std::string_view::npos) return;
  std::string_view nombre = Recorta(t.substr(0, igual));
  if (nombre.empty()) return;
  l.tipo = Linea::Tipo::Clave;
  l.nombre = std::string(nombre);
  l.valor = std::string(Recorta(t.substr(igual + 1)));
}

Documento Analiza(const std::string& contenido) {
  Documento d;
  std::size_t inicio = 0;
  bool vistoFinLinea = false;
  while (inicio < contenido.size()) {
    std::size_t fin = contenido.find('\n', inicio);
    Linea l;
    if (fin == std::string::npos) {
      l.texto = contenido.substr(inicio);
      inicio = contenido.size();
    } else {
      l.texto = contenido.substr(inicio, fin - inicio);
      if (!l.texto.empty() && l.texto.back() == '\r') {
        l.texto.pop_back();
        if (!vistoFinLinea) d.crlf = true;
      }
      vistoFinLinea = true;
      inicio = fin + 1;
    }
    Clasifica(l, d.lineas.empty());
    d.lineas.push_back(std::move(l));
  }
  return d;
}

// Index of a document: for each section (first occurrence of its name) the line of its header,
// the line of each key (first occurrence within the section) and its last key line.
struct Indice {
  struct Seccion {
    std::size_t cabecera;
    std::size_t ultimaClave;
    std::map<std::string, std::size_t> claves;  // lower-case key -> line
  };
  std::map<std::string, Seccion> secciones;  // lower-case section name -> section
};

Indice Indexa(const Documento& d) {
  Indice ind;
  Indice::Seccion* actual = nullptr;
  for (std::size_t i = 0; i < d.lineas.size(); ++i) {
    const Linea& l = d.lineas[i];
    if (l.tipo == Linea::Tipo::Seccion) {
      auto [it, nueva] =
          ind.secciones.try_emplace(EnMinusculas(l.nombre), Indice::Seccion{i, i, {}});
      // A repeated section header is ignored with its keys: the first one wins.
      actual = nueva ? &it->second : nullptr;
    } else if (l.tipo == Linea::Tipo::Clave && actual != nullptr) {
      actual->claves.try_emplace(EnMinusculas(l.nombre), i);
      actual->ultimaClave = i;
    }
  }
  return ind;
}

// Reads the whole file; Error when it exists but cannot be read as a regular file.
enum class Lectura { Leido, NoExiste, Error };

Lectura LeeTodo(const std::string& archivo, std::string& contenido) {
  contenido.clear();
  int fd = ::open(archivo.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? Lectura::NoExiste : Lectura::Error;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Lectura::Error;
  }
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return Lectura::Error;
    }
    if (n == 0) break;
    contenido.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return Lectura::Leido;
}

// Every section/key value of a file, first occurrences only, keyed by ClaveIndice.
std::map<std::string, std::string> ValoresArchivo(const std::string& archivo) {
  std::map<std::string, std::string> valores;
  std::string contenido;
  if (LeeTodo(archivo, contenido) != Lectura::Leido) return valores;
  Documento d = Analiza(contenido);
  Indice ind = Indexa(d);
  for (const auto& [seccion, s] : ind.secciones)
    for (const auto& [clave, linea] : s.claves)
      valores.emplace(seccion + '\n' + clave, CortaValor(d.lineas[linea].valor));
  return valores;
}

// A value as written: only its first line (a line break would split the entry or forge others),
// without the blanks a reader trims anyway.
std::string ValorEscribible(std::string_view v) {
  std::size_t fin = v.find_first_of(std::string_view("\r\n\0", 3));
  return std::string(Recorta(v.substr(0, fin)));
}

// The text of the file with every entry written into it.
std::string Fusiona(Documento d, const std::vector<EntradaConfig>& entradas) {
  Indice ind = Indexa(d);
  std::vector<std::vector<std::string>> tras(d.lineas.size());  // lines added after line i
  struct SeccionNueva {
    std::string nombre;
    std::vector<std::string> lineas;
  };
  std::vector<SeccionNueva> nuevas;
  std::map<std::string, std::size_t> indiceNuevas;

  for (const EntradaConfig& e : entradas) {
    std::string linea = e.clave + '=' + ValorEscribible(e.valor);
    std::string sec = EnMinusculas(e.seccion);
    auto it = ind.secciones.find(sec);
    if (it != ind.secciones.end()) {
      auto& s = it->second;
      auto k = s.claves.find(EnMinusculas(e.clave));
      if (k != s.claves.end()) {
        Linea& l = d.lineas[k->second];
        l.texto = l.nombre + '=' + ValorEscribible(e.valor);
      } else {
        tras[s.ultimaClave].push_back(std::move(linea));
      }
      continue;
    }
    auto n = indiceNuevas.find(sec);
    if (n == indiceNuevas.end()) {
      n = indiceNuevas.emplace(sec, nuevas.size()).first;
      nuevas.push_back({e.seccion, {}});
    }
    nuevas[n->second].lineas.push_back(std::move(linea));
  }

  const char* fin = d.crlf ? "\r\n" : "\n";
  std::string salida;
  for (std::size_t i = 0; i < d.lineas.size(); ++i) {
    salida += d.lineas[i].texto;
    salida += fin;
    for (const std::string& l : tras[i]) {
      salida += l;
      salida += fin;
    }
  }
  for (const SeccionNueva& s : nuevas) {
    // A blank line before each added section, unless the text already ends with one.
    if (!salida.empty()) {
      std::string_view hasta(salida.data(), salida.size() - 1);  // without the last '\n'
      std::size_t inicioUltima = hasta.rfind('\n');
      std::string_view ultima =
          inicioUltima == std::string_view::npos ? hasta : hasta.substr(inicioUltima + 1);
      if (!Recorta(ultima).empty()) salida += fin;
    }
    salida += '[' + s.nombre + ']' + fin;
    for (const std::string& l : s.lineas) {
      salida += l;
      salida += fin;
    }
  }
  return salida;
}

// Writes texto into a new file beside destino and renames it over destino, so the old file is
// either fully replaced or untouched.
void EscribeAtomico(const std::string& nombre, const fs::path& destino, const std::string& texto,
                    mode_t modo) {
  std::string plantilla = (destino.parent_path() / ("." + destino.filename().string() + ".XXXXXX"));
  int fd = ::mkstemp(plantilla.data());
  if (fd < 0) throw JError(12091, nombre);  // 12091
  auto falla = [&](JError error) {
    ::close(fd);
    ::unlink(plantilla.c_str());
    throw error;
  };
  std::size_t escrito = 0;
  while (escrito < texto.size()) {
    ssize_t n = ::write(fd, texto.data() + escrito, texto.size() - escrito);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int err = n < 0 ? errno : EIO;
      falla(JError(10127, nombre, std::to_string(texto.size() - escrito),
                   std::strerror(err)));  // 10127
    }
    escrito += static_cast<std::size_t>(n);
  }
  if (::fchmod(fd, modo) != 0 || ::fsync(fd) != 0) {
    falla(JError(10127, nombre, std::to_string(texto.size()), std::strerror(errno)));  // 10127
  }
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(plantilla.c_str());
    throw JError(10127, nombre, std::to_string(texto.size()), std::strerror(err));  // 10127
  }
  if (::rename(plantilla.c_str(), destino.c_str()) != 0) {
    ::unlink(plantilla.c_str());
    throw JError(12091, nombre);  // 12091
  }
}

}  // namespace

// ---- Configuracion

Configuracion& Configuracion::Global() {
  static Configuracion config;
  return config;
}

namespace {

Ajustes& AjustesGlobales() {
  return Configuracion::Global();
}

}  // namespace

// The process-wide configuration is the settings table of every layer (core/Ajustes.h). The
// top-level CMakeLists.txt makes every program that links the library keep this object.
extern "C" const bool orva_fuente_ajustes = (InstalaFuenteAjustes(&AjustesGlobales), true);

Configuracion::Configuracion() {
  entradas_.reserve(std::size(kTabla));
  for (const Defecto& d : kTabla) entradas_.push_back({d.seccion, d.clave, d.defecto, d.defecto});
}

const std::string& Configuracion::Valor(std::string_view seccion, std::string_view clave) const {
  static const std::string vacio;
  for (const EntradaConfig& e : entradas_)
    if (IgualesSinCaso(e.clave, clave) && IgualesSinCaso(e.seccion, seccion)) return e.valor;
  return vacio;
}

const std::string& Configuracion::Valor(std::string_view clave) const {
  static const std::string vacio;
  for (const EntradaConfig& e : entradas_)
    if (IgualesSinCaso(e.clave, clave)) return e.valor;
  return vacio;
}

bool Configuracion::Fijada(std::string_view seccion, std::string_view clave) const {
  const std::string k = ClaveIndice(seccion, clave);
  return leidos_.count(k) != 0 || asignadas_.count(k) != 0;
}

void Configuracion::Asigna(std::string_view seccion, std::string_view clave,
                           std::string_view valor) {
  asignadas_.insert(ClaveIndice(seccion, clave));
  for (EntradaConfig& e : entradas_) {
    if (IgualesSinCaso(e.clave, clave) && IgualesSinCaso(e.seccion, seccion)) {
      e.valor = std::string(valor);
      return;
    }
  }
  entradas_.push_back({std::string(seccion), std::string(clave), std::string(valor), {}});
}

bool Configuracion::Conocida(std::string_view seccion, std::string_view clave) const {
  for (const Defecto& d : kTabla) {
    if (IgualesSinCaso(d.clave, clave) && IgualesSinCaso(d.seccion, seccion)) return true;
  }
  for (const Defecto& d : kFueraDeTabla) {
    if (IgualesSinCaso(d.clave, clave) && IgualesSinCaso(d.seccion, seccion)) return true;
  }
  return registradas_.count(ClaveIndice(seccion, clave)) != 0;
}

void Configuracion::Registra(std::string_view seccion, std::string_view clave,
                             std::string_view defecto) {
  registradas_.insert(ClaveIndice(seccion, clave));
  for (EntradaConfig& e : entradas_) {
    if (IgualesSinCaso(e.clave, clave) && IgualesSinCaso(e.seccion, seccion)) {
      e.defecto = std::string(defecto);
      return;
    }
  }
  // A new setting takes the value of the file read last, as if it had been in the table.
  auto it = leidos_.find(ClaveIndice(seccion, clave));
  std::string valor = it != leidos_.end() ? it->second : std::string(defecto);
  entradas_.push_back({std::string(seccion), std::string(clave), valor, std::string(defecto)});
}

int Configuracion::Entero(std::string_view clave) const {
  return LeeEntero(Valor(clave));
}

double Configuracion::Real(std::string_view clave) const {
  return AtofC(Valor(clave));
}

void Configuracion::AnadeGanchos(Gancho lee, Gancho guarda) {
  ganchos_.emplace_back(std::move(lee), std::move(guarda));
}

void Configuracion::RestableceDefectos() {
  for (EntradaConfig& e : entradas_) e.valor = e.defecto;
  leidos_.clear();
  asignadas_.clear();
  ActualizaDerivados();
}

void Configuracion::ActualizaDerivados() {
  // The range values are C ints narrowed to 16 bits as a two's-complement conversion does:
  // "40000" becomes -25536. The preferences dialog is what keeps them in range.
  RangoPixeles& rango = Rango();
  rango.minimo = static_cast<int16_t>(Entero("VALORMIN"));
  rango.maximo = static_cast<int16_t>(Entero("VALORMAX"));
  rango.defecto = static_cast<int16_t>(Entero("VALORDEF"));
  FijaHilos(Entero("HILOS"));

  derivados_.imgReal = Entero("IMGREAL");
  derivados_.leeDatOrva = Entero("LEEDATORVA");
  derivados_.guardaDatOrva = Entero("GUARDATORVA");
  derivados_.tipoAuto = Entero("TIPOAUTO");
  derivados_.tipoObjetoInicial = TipoObjetoPorPalabra(Valor("Archivos", "TIPOOBJINI"));
  const char* margenes[4] = {"PLMARGENIZQ", "PLMARGENDER", "PLMARGENSUP", "PLMARGENINF"};
  for (int i = 0; i < 4; ++i) derivados_.margenes[i] = RedondeaEntero(Real(margenes[i]));
}

void Configuracion::LeeValores(const std::string& archivo, bool sobreActuales) {
  std::map<std::string, std::string> valores = ValoresArchivo(archivo);
  for (EntradaConfig& e : entradas_) {
    auto it = valores.find(ClaveIndice(e.seccion, e.clave));
    if (it != valores.end())
      e.valor = it->second;
    else if (!sobreActuales)
      e.valor = e.defecto;
  }
  if (!sobreActuales) {
    leidos_.clear();
    asignadas_.clear();
  }
  for (auto& [clave, valor] : valores) leidos_.insert_or_assign(clave, std::move(valor));
}

// ---- Reading and writing

void LeeConfiguracion(Configuracion& config, const std::string& archivo) {
  config.LeeValores(archivo, false);
  config.ActualizaDerivados();
  // A hook may add hooks; walk by index over the list as it was.
  const std::size_t n = config.ganchos_.size();
  for (std::size_t i = 0; i < n; ++i)
    if (config.ganchos_[i].first) config.ganchos_[i].first(archivo);
}

void LeeConfiguracion(const std::string& archivo) {
  LeeConfiguracion(Configuracion::Global(), archivo);
}

void LeeConfiguracionEncima(Configuracion& config, const std::string& archivo) {
  config.LeeValores(archivo, true);
  config.ActualizaDerivados();
  const std::size_t n = config.ganchos_.size();
  for (std::size_t i = 0; i < n; ++i)
    if (config.ganchos_[i].first) config.ganchos_[i].first(archivo);
}

void LeeConfiguracionEncima(const std::string& archivo) {
  LeeConfiguracionEncima(Configuracion::Global(), archivo);
}

namespace {

// Writes the entries into the file in place (see GuardaConfiguracion).
void EscribeEntradas(const std::string& archivo, const std::vector<EntradaConfig>& entradas) {
  std::error_code ec;
  fs::path destino(archivo);
  // Write through a symbolic link to the file it names, keeping the link.
  if (fs::is_symlink(fs::symlink_status(destino, ec))) {
    fs::path real = fs::canonical(destino, ec);
    if (!ec) destino = real;
  }
  fs::path carpeta = destino.parent_path();
  if (carpeta.empty()) carpeta = ".";
  destino = carpeta / destino.filename();
  if (!fs::exists(carpeta, ec)) {
    fs::create_directories(carpeta, ec);
    if (ec) throw JError(12091, archivo);  // 12091
  }

  std::string contenido;
  // A new file gets the usual permissions of a new file; an old one keeps its own.
  const mode_t mascara = ::umask(0);
  ::umask(mascara);
  mode_t modo = 0666 & ~mascara;
  switch (LeeTodo(destino.string(), contenido)) {
    case Lectura::Leido: {
      struct stat st {};
      if (::stat(destino.c_str(), &st) == 0) modo = st.st_mode & 07777;
      break;
    }
    case Lectura::NoExiste:
      break;
    case Lectura::Error:
      // Not a regular file, or unreadable: its content could not be kept.
      throw JError(12091, archivo);  // 12091
  }
  EscribeAtomico(archivo, destino, Fusiona(Analiza(contenido), entradas), modo);
}

}  // namespace

void GuardaConfiguracion(const Configuracion& config, const std::string& archivo) {
  EscribeEntradas(archivo, config.entradas_);
  const std::size_t n = config.ganchos_.size();
  for (std::size_t i = 0; i < n; ++i)
    if (config.ganchos_[i].second) config.ganchos_[i].second(archivo);
}

void GuardaConfiguracion(const std::string& archivo) {
  GuardaConfiguracion(Configuracion::Global(), archivo);
}

void GuardaAjuste(const std::string& archivo, std::string_view seccion, std::string_view clave,
                  std::string_view valor) {
  EscribeEntradas(archivo, {{std::string(seccion), std::string(clave), std::string(valor), {}}});
}

std::string ArchivoConfiguracion() {
  // XDG: a relative XDG_CONFIG_HOME is ignored.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/orva/ORVA4.INI";
  std::string casa;
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    casa = home;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    casa = pw->pw_dir;
  } else {
    casa = ".";
  }
  return casa + "/.config/orva/ORVA4.INI";
}

void ArrancaConfiguracion(Configuracion& config, const std::string& archivo,
                          std::string_view version) {
  LeeConfiguracion(config, archivo);
  if (config.Valor("General", "VERSION") == version) return;
  if (version == "4.0.2.1") {
    // The older file only adds what it holds: a key it lacks keeps the value just read, so a
    // missing "ORVA2.INI" loses nothing. The hooks already read the current file.
    fs::path viejo = fs::path(archivo).parent_path() / "ORVA2.INI";
    config.LeeValores(viejo.string(), true);
  }
  config.Asigna("General", "VERSION", version);
  config.ActualizaDerivados();
}

void ArrancaConfiguracion(const std::string& archivo) {
  ArrancaConfiguracion(Configuracion::Global(), archivo, ORVA_VERSION);
}

}  // namespace orva
