// FITS reader, header reader and writer on cfitsio; keyword mapping to DatosImagen.
#include "formats/fits/Fits.h"

#include <fitsio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "core/EscrituraSegura.h"
#include "core/Imagen.h"
#include "core/JError.h"
#include "formats/TiposArchivo.h"
#include "core/Rango.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

struct CierraFits {
  void operator()(fitsfile* f) const {
    int estado = 0;
    fits_close_file(f, &estado);
  }
};
using PtrFits = std::unique_ptr<fitsfile, CierraFits>;

void Comprueba(int estado, const std::string& archivo) {
  if (estado != 0) ErrorFits(estado, archivo);
}

std::string Recorta(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

// The value of a keyword as text: strings without their quotes and trailing blanks, other
// values as written. False when the keyword is absent or has no value.
bool LeeClave(fitsfile* f, const char* clave, std::string& texto) {
  char valor[FLEN_VALUE] = {};
  int estado = 0;
  if (fits_read_keyword(f, clave, valor, nullptr, &estado) != 0) return false;
  std::string v = Recorta(valor);
  if (!v.empty() && v.front() == '\'') {
    std::string s;
    for (size_t i = 1; i < v.size(); ++i) {
      if (v[i] == '\'') {
        if (i + 1 < v.size() && v[i + 1] == '\'') {
          s += '\'';
          ++i;
        } else {
          break;
        }
      } else {
        s += v[i];
      }
    }
    v = Recorta(s);
  }
  if (v.empty()) return false;
  texto = v;
  return true;
}

bool LeeNumero(fitsfile* f, const char* clave, double& numero) {
  std::string t;
  if (!LeeClave(f, clave, t)) return false;
  char* fin = nullptr;
  const double v = std::strtod(t.c_str(), &fin);
  if (fin == t.c_str() || !std::isfinite(v)) return false;
  numero = v;
  return true;
}

// Sexagesimal text "a:b:c" or "a b c" (sign on the first field) to a real in the first field's
// unit; a plain number is taken as it is and reported as such.
bool Sexagesimal(const std::string& t, double& valor, bool& esNumero) {
  std::string s = t;
  std::replace(s.begin(), s.end(), ':', ' ');
  const bool negativo = s.find('-') != std::string::npos;
  double partes[3] = {0.0, 0.0, 0.0};
  int n = 0;
  const char* p = s.c_str();
  while (n < 3) {
    char* fin = nullptr;
    const double v = std::strtod(p, &fin);
    if (fin == p) break;
    partes[n++] = std::fabs(v);
    p = fin;
  }
  while (*p == ' ') ++p;
  if (n == 0 || *p != '\0') return false;
  esNumero = n == 1 && t.find_first_of(": ") == std::string::npos;
  valor = partes[0] + partes[1] / 60.0 + partes[2] / 3600.0;
  if (negativo) valor = -valor;
  return std::isfinite(valor);
}

constexpr double kPi = 3.14159265358979323846;

// Fills the observation data from the header; a value that cannot be read leaves its field as
// it was.
void LeeDatos(fitsfile* f, DatosImagen& d) {
  std::string t;
  if (LeeClave(f, "OBJECT", t)) d.nombreObjeto = t;
  if (LeeClave(f, "FILTER", t)) d.filtro = t;
  if (LeeClave(f, "TELESCOP", t)) d.observatorio.telescopio = t;
  if (LeeClave(f, "INSTRUME", t)) d.nomCCD = t;
  if (LeeClave(f, "OBSERVER", t)) d.observatorio.observador = t;
  if (LeeClave(f, "OBSERVAT", t)) d.observatorio.nombre = t;

  double v = 0.0;
  for (const char* clave : {"EXPTIME", "EXPOSURE", "ITIME"}) {
    if (LeeNumero(f, clave, v)) {
      d.tiempoExp = v;
      break;
    }
  }
  if (LeeNumero(f, "CCD-TEMP", v)) d.tempCCD = v;
  if (LeeNumero(f, "EQUINOX", v) || LeeNumero(f, "EPOCH", v)) {
    if (std::fabs(v) < 1e6) d.epoca = static_cast<int32_t>(v);
  }

  // DATE-OBS: "yyyy-mm-dd[Thh:mm:ss[.sss]]" or the old "dd/mm/yy"; the time, when the date has
  // none, from TIME-OBS or UT.
  bool conHora = false;
  if (LeeClave(f, "DATE-OBS", t)) {
    int anio = 0, mes = 0, dia = 0, hora = 0, minuto = 0, estado = 0;
    double segundo = 0.0;
    std::vector<char> texto(t.begin(), t.end());
    texto.push_back('\0');
    if (fits_str2time(texto.data(), &anio, &mes, &dia, &hora, &minuto, &segundo, &estado) == 0) {
      try {
        d.fechaHora.AsignaFecha(Fecha(dia, mes, anio));
        conHora = t.find('T') != std::string::npos;
        if (conHora) {
          const int ms = std::min(static_cast<int>(std::lround(segundo * 1000.0)), 59999);
          d.fechaHora.AsignaHora(Hora(hora, minuto, ms / 1000, ms % 1000));
        }
      } catch (const JError&) {
        conHora = false;
      }
    }
  }
  if (!conHora && (LeeClave(f, "TIME-OBS", t) || LeeClave(f, "UT", t))) {
    double horas = 0.0;
    bool numero = false;
    if (Sexagesimal(t, horas, numero) && horas >= 0.0 && horas < 24.0) {
      const long ms = std::min(std::lround(horas * 3600000.0), 86399999L);
      try {
        d.fechaHora.AsignaHora(Hora(static_cast<int>(ms / 3600000),
                                    static_cast<int>(ms / 60000 % 60),
                                    static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)));
      } catch (const JError&) {
      }
    }
  }

  // RA in hours when sexagesimal, in degrees when a plain number; DEC in degrees.
  if (LeeClave(f, "RA", t) || LeeClave(f, "OBJCTRA", t)) {
    double ra = 0.0;
    bool numero = false;
    if (Sexagesimal(t, ra, numero)) {
      const double horas = numero ? ra / 15.0 : ra;
      if (horas >= 0.0 && horas < 24.0) d.ar.AsignaRadianes(horas * kPi / 12.0);
    }
  }
  if (LeeClave(f, "DEC", t) || LeeClave(f, "OBJCTDEC", t)) {
    double dec = 0.0;
    bool numero = false;
    if (Sexagesimal(t, dec, numero) && std::fabs(dec) <= 90.0)
      d.dec.AsignaRadianes(dec * kPi / 180.0);
  }
}

// Moves to the image to read: by LEERPRIM, the primary array or the first image extension.
// Returns its sizes; refuses files with no two-dimensional image.
void BuscaImagen(fitsfile* f, const std::string& archivo, bool primario, long& ancho, long& alto) {
  int estado = 0;
  int numHdus = 0;
  Comprueba(fits_get_num_hdus(f, &numHdus, &estado), archivo);
  auto esImagen = [&](int hdu) {
    int tipo = 0, ejes = 0, st = 0;
    if (fits_movabs_hdu(f, hdu, &tipo, &st) != 0) ErrorFits(st, archivo);
    if (tipo != IMAGE_HDU) return false;
    if (fits_get_img_dim(f, &ejes, &st) != 0) ErrorFits(st, archivo);
    return ejes >= 2;
  };
  int elegido = 0;
  if (primario && esImagen(1)) elegido = 1;
  for (int h = 2; elegido == 0 && h <= numHdus; ++h) {
    if (esImagen(h)) elegido = h;
  }
  if (elegido == 0 && !primario && esImagen(1)) elegido = 1;
  if (elegido == 0) throw JError(11163, archivo, "NAXIS < 2");  // 11163
  esImagen(elegido);

  std::array<LONGLONG, 9> ejes{};
  int naxis = 0;
  Comprueba(fits_get_img_dim(f, &naxis, &estado), archivo);
  Comprueba(fits_get_img_sizell(f, static_cast<int>(ejes.size()), ejes.data(), &estado), archivo);
  // The width and height must be positive and fit the image record; further axes (cubes) give
  // their first plane.
  constexpr LONGLONG kMaximo = std::numeric_limits<int32_t>::max();
  if (ejes[0] <= 0 || ejes[1] <= 0 || ejes[0] > kMaximo || ejes[1] > kMaximo) {
    throw JError(11143, archivo, std::to_string(ejes[0]), std::to_string(ejes[1]));  // 11143
  }
  for (int i = 2; i < std::min<int>(naxis, static_cast<int>(ejes.size())); ++i) {
    if (ejes[static_cast<size_t>(i)] <= 0) {
      throw JError(11143, archivo, std::to_string(ejes[0]), std::to_string(ejes[1]));  // 11143
    }
  }
  ancho = static_cast<long>(ejes[0]);
  alto = static_cast<long>(ejes[1]);

  // A plain (not tile-compressed) array must lie inside the file; refuse before allocating.
  int comprimida = fits_is_compressed_image(f, &estado);
  if (!comprimida) {
    int bitpix = 0;
    LONGLONG inicioCab = 0, inicioDatos = 0, finDatos = 0;
    Comprueba(fits_get_img_type(f, &bitpix, &estado), archivo);
    Comprueba(fits_get_hduaddrll(f, &inicioCab, &inicioDatos, &finDatos, &estado), archivo);
    struct stat st {};
    const double bytes =
        static_cast<double>(ancho) * static_cast<double>(alto) * std::abs(bitpix) / 8.0;
    if (::stat(archivo.c_str(), &st) == 0 &&
        static_cast<double>(inicioDatos) + bytes > static_cast<double>(st.st_size)) {
      throw JError(10126, archivo, std::to_string(static_cast<long long>(bytes)),
                   "EOF");  // 10126
    }
  }
}

PtrFits AbreFits(const std::string& archivo) {
  fitsfile* f = nullptr;
  int estado = 0;
  // The disk-file call takes the name literally: brackets or a leading '!' in a file name are
  // never read as cfitsio's extended syntax.
  fits_open_diskfile(&f, archivo.c_str(), READONLY, &estado);
  PtrFits ptr(f);
  Comprueba(estado, archivo);
  return ptr;
}

void CompruebaCancelacion(ImagenObservacion& imagen, long fila) {
  if (fila % 64 == 63 && imagen.Interrumpida()) throw JError(11011);  // 11011
}

// Reads the pixels of the current image into the record by the settings.
void LeePixeles(fitsfile* f, const std::string& archivo, ImagenObservacion& imagen,
                const AjustesFits& aj, long ancho, long alto) {
  int estado = 0;
  int tipo = 0, bitpix = 0;
  Comprueba(fits_get_img_equivtype(f, &tipo, &estado), archivo);
  Comprueba(fits_get_img_type(f, &bitpix, &estado), archivo);
  imagen.DimensionaImagen(static_cast<uint32_t>(ancho), static_cast<uint32_t>(alto));
  imagen.bitsPixel = bitpix < 0 ? -32 : bitpix;
  std::vector<int16_t>& px = imagen.Pixeles();
  const size_t w = static_cast<size_t>(ancho);
  std::array<long, 9> primero{};
  primero.fill(1);

  auto leeFila = [&](long y, int tipoDatos, void* destino, void* nulo) {
    primero[1] = y + 1;
    int st = 0, hayNulos = 0;  // cfitsio writes the flag whenever a null value is given
    fits_read_pix(f, tipoDatos, primero.data(), static_cast<LONGLONG>(w), nulo, destino, &hayNulos,
                  &st);
    Comprueba(st, archivo);
  };

  // 8- and signed 16-bit data are stored as they are.
  if (tipo == BYTE_IMG || tipo == SBYTE_IMG || tipo == SHORT_IMG) {
    for (long y = 0; y < alto; ++y) {
      CompruebaCancelacion(imagen, y);
      leeFila(y, TSHORT, px.data() + static_cast<size_t>(y) * w, nullptr);
    }
    return;
  }
  if (tipo == USHORT_IMG && aj.leeValUnsig != 0) {
    std::vector<uint16_t> fila(w);
    for (long y = 0; y < alto; ++y) {
      CompruebaCancelacion(imagen, y);
      leeFila(y, TUSHORT, fila.data(), nullptr);
      int16_t* d = px.data() + static_cast<size_t>(y) * w;
      for (size_t x = 0; x < w; ++x) {
        d[x] = static_cast<int16_t>(aj.leeValUnsig == 2 ? fila[x] - 32768 : fila[x] / 2);
      }
    }
    return;
  }

  // Any other data as physical reals (BZERO and BSCALE applied, undefined values as NaN).
  std::vector<double> fila(w);
  double nulo = std::numeric_limits<double>::quiet_NaN();
  double lo = aj.valMin, hi = aj.valMax;
  bool tal = false;  // values kept as they are
  if (!(aj.valMin < aj.valMax)) {
    lo = std::numeric_limits<double>::infinity();
    hi = -lo;
    bool enteros = true;
    for (long y = 0; y < alto; ++y) {
      CompruebaCancelacion(imagen, y);
      leeFila(y, TDOUBLE, fila.data(), &nulo);
      for (double v : fila) {
        if (!std::isfinite(v)) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        if (enteros && (v != std::trunc(v) || v < -32768.0 || v > 32767.0)) enteros = false;
      }
    }
    tal = enteros;
  }
  const double bajo = Rango().minimo, alto16 = Rango().maximo;
  const double escala = hi > lo ? (alto16 - bajo) / (hi - lo) : 0.0;
  for (long y = 0; y < alto; ++y) {
    CompruebaCancelacion(imagen, y);
    leeFila(y, TDOUBLE, fila.data(), &nulo);
    int16_t* d = px.data() + static_cast<size_t>(y) * w;
    for (size_t x = 0; x < w; ++x) {
      const double v = fila[x];
      if (!std::isfinite(v)) {
        d[x] = Rango().defecto;
      } else if (tal) {
        d[x] = static_cast<int16_t>(v);
      } else {
        const double m = std::clamp(std::round(bajo + (v - lo) * escala), bajo, alto16);
        d[x] = static_cast<int16_t>(m);
      }
    }
  }
}

void Lee(const std::string& archivo, ImagenObservacion& imagen, bool conPixeles) {
  const AjustesFits aj = AjustesActualesFits();
  PtrFits f = AbreFits(archivo);
  long ancho = 0, alto = 0;
  BuscaImagen(f.get(), archivo, aj.leerPrimario, ancho, alto);
  DatosImagen datos = imagen.datos;
  LeeDatos(f.get(), datos);
  if (conPixeles) {
    LeePixeles(f.get(), archivo, imagen, aj, ancho, alto);
  } else {
    int bitpix = 0, estado = 0;
    Comprueba(fits_get_img_type(f.get(), &bitpix, &estado), archivo);
    imagen.DimensionaImagen(static_cast<uint32_t>(ancho), static_cast<uint32_t>(alto));
    imagen.bitsPixel = bitpix < 0 ? -32 : bitpix;
  }
  imagen.datos = std::move(datos);
  imagen.offsetX = 0;
  imagen.offsetY = 0;
  imagen.esPaleta = 0;
}

// Sexagesimal text of an angle given in units of its first field, with a sign when asked:
// "hh:mm:ss.sss" or "+dd:mm:ss.ss".
std::string TextoSexagesimal(int signo, int a, int b, int c, int ms, bool conSigno) {
  char t[40];
  if (conSigno) {
    std::snprintf(t, sizeof t, "%c%02d:%02d:%02d.%03d", signo < 0 ? '-' : '+', a, b, c, ms);
  } else {
    std::snprintf(t, sizeof t, "%02d:%02d:%02d.%03d", a, b, c, ms);
  }
  return t;
}

void EscribeDatos(fitsfile* f, const std::string& archivo, const DatosImagen& d) {
  int estado = 0;
  auto texto = [&](const char* clave, const std::string& v, const char* nota) {
    if (v.empty()) return;
    std::string copia = v.substr(0, 68);
    fits_write_key(f, TSTRING, clave, copia.data(), nota, &estado);
    Comprueba(estado, archivo);
  };
  auto real = [&](const char* clave, double v, int decimales, const char* nota) {
    fits_write_key_fixdbl(f, clave, v, decimales, nota, &estado);
    Comprueba(estado, archivo);
  };
  texto("OBJECT", d.nombreObjeto, "object name");
  const Fecha& fe = d.fechaHora.FechaDia();
  const Hora& ho = d.fechaHora.HoraDia();
  char fecha[40];
  std::snprintf(fecha, sizeof fecha, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", fe.Anio(), fe.Mes(),
                fe.Dia(), ho.Horas(), ho.Minutos(), ho.Segundos(), ho.Milisegundos());
  texto("DATE-OBS", fecha, "start of observation (UT)");
  real("EXPTIME", d.tiempoExp, 3, "exposure time (s)");
  texto("FILTER", d.filtro, "filter");
  texto("TELESCOP", d.observatorio.telescopio, "telescope");
  texto("INSTRUME", d.nomCCD, "camera");
  texto("OBSERVER", d.observatorio.observador, "observer");
  texto("OBSERVAT", d.observatorio.nombre, "observatory");
  texto("RA",
        TextoSexagesimal(1, d.ar.Horas(), d.ar.Minutos(), d.ar.Segundos(), d.ar.Milisegundos(),
                         false),
        "right ascension (h:m:s)");
  texto("DEC",
        TextoSexagesimal(d.dec.Signo(), d.dec.Grados(), d.dec.Minutos(), d.dec.Segundos(),
                         d.dec.Milisegundos(), true),
        "declination (d:m:s)");
  long equinoccio = d.epoca;
  fits_write_key(f, TLONG, "EQUINOX", &equinoccio, "equinox of RA and DEC", &estado);
  Comprueba(estado, archivo);
  real("CCD-TEMP", d.tempCCD, 1, "camera temperature (C)");
}

}  // namespace

[[noreturn]] void ErrorFits(int estado, const std::string& archivo) {
  char texto[FLEN_STATUS] = {};
  fits_get_errstatus(estado, texto);
  // The library's own message stack is not needed once the status is a JError.
  fits_clear_errmsg();
  throw JError(11160, archivo, std::to_string(estado), texto);  // 11160
}

AjustesFits AjustesActualesFits() {
  const Configuracion& cfg = Configuracion::Global();
  AjustesFits aj;
  const std::string& prim = cfg.Valor(kSeccionFits, "LEERPRIM");
  if (!prim.empty()) aj.leerPrimario = std::atoi(prim.c_str()) != 0;
  const std::string& unsig = cfg.Valor(kSeccionFits, "LEEVALUNSIG");
  if (!unsig.empty()) aj.leeValUnsig = std::clamp(std::atoi(unsig.c_str()), 0, 2);
  aj.valMin = std::atof(cfg.Valor(kSeccionFits, "FITSVALMIN").c_str());
  aj.valMax = std::atof(cfg.Valor(kSeccionFits, "FITSVALMAX").c_str());
  if (!std::isfinite(aj.valMin) || !std::isfinite(aj.valMax)) aj.valMin = aj.valMax = 0.0;
  aj.comprimir = Recorta(cfg.Valor(kSeccionFits, "COMPRIMIR"));
  return aj;
}

void LeeConfigFits(const std::string&) {
  Configuracion& cfg = Configuracion::Global();
  cfg.Registra(kSeccionFits, "LEERPRIM", "1");
  cfg.Registra(kSeccionFits, "FITSVALMIN", "0");
  cfg.Registra(kSeccionFits, "FITSVALMAX", "0");
  cfg.Registra(kSeccionFits, "LEEVALUNSIG", "1");
  cfg.Registra(kSeccionFits, "COMPRIMIR", "NO");
}

void GuardaConfigFits(const std::string&) {}

bool EsFits(const std::string& archivo) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(archivo.c_str(), "rb"), &std::fclose);
  if (!f) return false;
  char b[6] = {};
  return std::fread(b, 1, sizeof b, f.get()) == sizeof b && std::memcmp(b, "SIMPLE", 6) == 0;
}

void LeeFits(const std::string& archivo, ImagenObservacion& imagen) {
  Lee(archivo, imagen, true);
}

void LeeCabeceraFits(const std::string& archivo, ImagenObservacion& imagen) {
  CompruebaTipoArchivo(archivo, kFits);  // 11019
  Lee(archivo, imagen, false);
}

void GuardaFits(const std::string& archivo, ImagenObservacion& imagen) {
  const AjustesFits aj = AjustesActualesFits();
  int compresion = 0;
  if (aj.comprimir.empty() || aj.comprimir == "NO" || aj.comprimir == "0") {
    compresion = 0;
  } else if (aj.comprimir == "RICE_1") {
    compresion = RICE_1;
  } else if (aj.comprimir == "GZIP_1") {
    compresion = GZIP_1;
  } else {
    throw JError(11164, aj.comprimir, "FITS");  // 11164
  }
  if (imagen.Vacia()) throw JError(11163, archivo, "NAXIS = 0");  // 11163

  ArchivoTemporal temporal(archivo);
  ::close(temporal.CedeDescriptor());
  // cfitsio creates the file itself and refuses an existing one.
  std::remove(temporal.Nombre().c_str());
  {
    fitsfile* bruto = nullptr;
    int estado = 0;
    fits_create_diskfile(&bruto, temporal.Nombre().c_str(), &estado);
    PtrFits f(bruto);
    Comprueba(estado, archivo);
    if (compresion != 0) {
      fits_set_compression_type(f.get(), compresion, &estado);
      Comprueba(estado, archivo);
    }
    long ejes[2] = {static_cast<long>(imagen.Ancho()), static_cast<long>(imagen.Alto())};
    fits_create_img(f.get(), SHORT_IMG, 2, ejes, &estado);
    Comprueba(estado, archivo);
    EscribeDatos(f.get(), archivo, imagen.datos);
    long primero[2] = {1, 1};
    fits_write_pix(f.get(), TSHORT, primero, static_cast<LONGLONG>(imagen.NumPixeles()),
                   imagen.Pixeles().data(), &estado);
    Comprueba(estado, archivo);
    fits_close_file(f.release(), &estado);
    Comprueba(estado, archivo);
  }
  temporal.Confirma();
}

}  // namespace orva
