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
#include <new>
#include <set>
#include <vector>

#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "core/Ajustes.h"
#include "core/Cabecera.h"
#include "core/Imagen.h"
#include "core/Rango.h"
#include "formats/TiposArchivo.h"

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

// A card value as text: strings without their quotes and trailing blanks, other values as
// written. False when there is no value.
bool TextoValor(const char* valor, std::string& texto) {
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

// The value of a keyword as text (TextoValor). False when the keyword is absent or has no
// value.
bool LeeClave(fitsfile* f, const char* clave, std::string& texto) {
  char valor[FLEN_VALUE] = {};
  int estado = 0;
  if (fits_read_keyword(f, clave, valor, nullptr, &estado) != 0) return false;
  return TextoValor(valor, texto);
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
// BZERO of unsigned 16-bit data.
constexpr double kCeroSinSigno = 32768.0;
// Pixels a tile-compressed file may unpack to per byte it holds (gzip of a constant image
// reaches about 1000 bytes per byte).
constexpr double kExpansionMaxima = 4096.0;

// The site keywords of the usual families (latitude, longitude, height; longitudes positive
// east, as FITS has them), in order of preference, and the geocentric ones a new site
// replaces too.
struct FamiliaSitio {
  const char* latitud;
  const char* longitud;
  const char* altura;  // empty when the family has none
};
constexpr FamiliaSitio kFamiliasSitio[] = {{"SITELAT", "SITELONG", "SITEELEV"},
                                           {"LATITUDE", "LONGITUD", ""},
                                           {"OBSGEO-B", "OBSGEO-L", "OBSGEO-H"}};
constexpr const char* kClavesGeocentricas[] = {"OBSGEO-X", "OBSGEO-Y", "OBSGEO-Z"};
// Heights beyond this many metres are not a site's.
constexpr double kAlturaMaxima = 100000.0;

// A site as the cards give it, in the image data's terms (longitude positive west).
struct SitioFits {
  bool conSitio = false;
  Longitud longitud;
  Latitud latitud;
  bool conAltura = false;
  int32_t altura = 0;
};

// The text value of a kept card; false when the header has none.
bool ValorTarjeta(const Cabecera& cab, const char* clave, std::string& texto) {
  if (*clave == '\0') return false;
  for (const std::string& t : cab.Tarjetas()) {
    if (Cabecera::Clave(t) != clave) continue;
    std::vector<char> tarjeta(t.begin(), t.end());
    tarjeta.push_back('\0');
    char valor[FLEN_VALUE] = {};
    char nota[FLEN_COMMENT] = {};
    int estado = 0;
    if (fits_parse_value(tarjeta.data(), valor, nota, &estado) != 0) {
      fits_clear_errmsg();
      return false;
    }
    return TextoValor(valor, texto);
  }
  return false;
}

// The site of the first family whose latitude and longitude both read (degrees, plain or
// sexagesimal).
SitioFits SitioDeTarjetas(const Cabecera& cab) {
  SitioFits r;
  for (const FamiliaSitio& fam : kFamiliasSitio) {
    std::string tLat, tLon;
    double lat = 0.0, lon = 0.0;
    bool numero = false;
    if (!ValorTarjeta(cab, fam.latitud, tLat) || !ValorTarjeta(cab, fam.longitud, tLon) ||
        !Sexagesimal(tLat, lat, numero) || !Sexagesimal(tLon, lon, numero) ||
        std::fabs(lat) > 90.0 || std::fabs(lon) > 360.0) {
      continue;
    }
    lon -= 360.0 * std::round(lon / 360.0);  // into [-180, 180]
    r.conSitio = true;
    r.latitud.AsignaRadianes(lat * kPi / 180.0);
    r.longitud.AsignaRadianes(-lon * kPi / 180.0);
    std::string tAlt;
    char* fin = nullptr;
    if (ValorTarjeta(cab, fam.altura, tAlt)) {
      const double h = std::strtod(tAlt.c_str(), &fin);
      if (fin != tAlt.c_str() && *fin == '\0' && std::fabs(h) < kAlturaMaxima) {
        r.conAltura = true;
        r.altura = static_cast<int32_t>(std::lround(h));
      }
    }
    break;
  }
  return r;
}

// The site of the cards into the observation data; the cards stay with the header, so a file
// read and written again keeps them as they were.
void LeeSitio(const Cabecera& cab, DatosImagen& d) {
  const SitioFits s = SitioDeTarjetas(cab);
  if (!s.conSitio) return;
  d.observatorio.longitud = s.longitud;
  d.observatorio.latitud = s.latitud;
  d.conValor.insert("LONOBS");
  d.conValor.insert("LATOBS");
  if (s.conAltura) {
    d.observatorio.altitud = s.altura;
    d.conValor.insert("ALTOBS");
  }
}

// Fills the observation data from the header and marks the fields it gives; a value that
// cannot be read leaves its field as it was. 'usadas' receives the keys whose values went into
// the fields (the header cards kept beside the fields leave those out).
void LeeDatos(fitsfile* f, DatosImagen& d, std::set<std::string>& usadas) {
  std::string t;
  auto texto = [&](const char* clave, std::string& campo) {
    if (!LeeClave(f, clave, t)) return;
    campo = t;
    usadas.insert(clave);
  };
  texto("OBJECT", d.nombreObjeto);
  texto("FILTER", d.filtro);
  texto("TELESCOP", d.observatorio.telescopio);
  texto("INSTRUME", d.nomCCD);
  texto("OBSERVER", d.observatorio.observador);
  texto("OBSERVAT", d.observatorio.nombre);

  double v = 0.0;
  for (const char* clave : {"EXPTIME", "EXPOSURE", "ITIME"}) {
    if (LeeNumero(f, clave, v)) {
      d.tiempoExp = v;
      d.conValor.insert("TIEMPOEXP");
      usadas.insert(clave);
      break;
    }
  }
  if (LeeNumero(f, "CCD-TEMP", v)) {
    d.tempCCD = v;
    d.conValor.insert("TEMPCCD");
    usadas.insert("CCD-TEMP");
  }
  for (const char* clave : {"EQUINOX", "EPOCH"}) {
    if (LeeNumero(f, clave, v)) {
      // A whole year is kept as a field; any other equinox stays a card of its own.
      if (std::fabs(v) < 1e6 && v == std::trunc(v)) {
        d.epoca = static_cast<int32_t>(v);
        d.conValor.insert("EPOCAOBJ");
        usadas.insert(clave);
      }
      break;
    }
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
        d.conValor.insert("FECHAOBS");
        usadas.insert("DATE-OBS");
        conHora = t.find('T') != std::string::npos;
        if (conHora) {
          const int ms = std::min(static_cast<int>(std::lround(segundo * 1000.0)), 59999);
          d.fechaHora.AsignaHora(Hora(hora, minuto, ms / 1000, ms % 1000));
          d.conValor.insert("HORAOBS");
        }
      } catch (const JError&) {
        conHora = false;
      }
    }
  }
  const char* claveHora = LeeClave(f, "TIME-OBS", t) ? "TIME-OBS"
                          : LeeClave(f, "UT", t)     ? "UT"
                                                     : "";
  if (!conHora && *claveHora != '\0') {
    double horas = 0.0;
    bool numero = false;
    if (Sexagesimal(t, horas, numero) && horas >= 0.0 && horas < 24.0) {
      const long ms = std::min(std::lround(horas * 3600000.0), 86399999L);
      try {
        d.fechaHora.AsignaHora(Hora(static_cast<int>(ms / 3600000),
                                    static_cast<int>(ms / 60000 % 60),
                                    static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)));
        d.conValor.insert("HORAOBS");
        usadas.insert(claveHora);
      } catch (const JError&) {
      }
    }
  }

  // RA in hours when sexagesimal, in degrees when a plain number; DEC in degrees.
  for (const char* clave : {"RA", "OBJCTRA"}) {
    if (!LeeClave(f, clave, t)) continue;
    double ra = 0.0;
    bool numero = false;
    if (Sexagesimal(t, ra, numero)) {
      const double horas = numero ? ra / 15.0 : ra;
      if (horas >= 0.0 && horas < 24.0) {
        d.ar.AsignaRadianes(horas * kPi / 12.0);
        d.conValor.insert("AROBJ");
        usadas.insert(clave);
      }
    }
    break;
  }
  for (const char* clave : {"DEC", "OBJCTDEC"}) {
    if (!LeeClave(f, clave, t)) continue;
    double dec = 0.0;
    bool numero = false;
    if (Sexagesimal(t, dec, numero) && std::fabs(dec) <= 90.0) {
      d.dec.AsignaRadianes(dec * kPi / 180.0);
      d.conValor.insert("DECOBJ");
      usadas.insert(clave);
    }
    break;
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
  // The width and height must be positive and fit the image record; further axes must be 1.
  constexpr LONGLONG kMaximo = std::numeric_limits<int32_t>::max();
  if (ejes[0] <= 0 || ejes[1] <= 0 || ejes[0] > kMaximo || ejes[1] > kMaximo) {
    throw JError(11143, archivo, std::to_string(ejes[0]), std::to_string(ejes[1]));  // 11143
  }
  for (int i = 2; i < std::min<int>(naxis, static_cast<int>(ejes.size())); ++i) {
    if (ejes[static_cast<size_t>(i)] <= 0) {
      throw JError(11143, archivo, std::to_string(ejes[0]), std::to_string(ejes[1]));  // 11143
    }
    // A cube would come back as one plane, the others lost on writing: refused.
    if (ejes[static_cast<size_t>(i)] > 1) {
      throw JError(11163, archivo,
                   "NAXIS" + std::to_string(i + 1) + " = " +
                       std::to_string(ejes[static_cast<size_t>(i)]));  // 11163
    }
  }
  ancho = static_cast<long>(ejes[0]);
  alto = static_cast<long>(ejes[1]);

  int bitpix = 0;
  Comprueba(fits_get_img_type(f, &bitpix, &estado), archivo);
  // 64-bit integers do not survive the real arithmetic of the value mapping.
  if (bitpix == LONGLONG_IMG) throw JError(11163, archivo, "BITPIX = 64");  // 11163
  struct stat st {};
  const bool conTamano = ::stat(archivo.c_str(), &st) == 0;
  const double pixeles = static_cast<double>(ancho) * static_cast<double>(alto);
  int comprimida = fits_is_compressed_image(f, &estado);
  if (!comprimida) {
    // A plain array must lie inside the file; refuse before allocating.
    LONGLONG inicioCab = 0, inicioDatos = 0, finDatos = 0;
    Comprueba(fits_get_hduaddrll(f, &inicioCab, &inicioDatos, &finDatos, &estado), archivo);
    const double bytes = pixeles * std::abs(bitpix) / 8.0;
    if (conTamano && static_cast<double>(inicioDatos) + bytes > static_cast<double>(st.st_size)) {
      throw JError(10126, archivo, std::to_string(static_cast<long long>(bytes)),
                   "EOF");  // 10126
    }
  } else if (conTamano && pixeles > kExpansionMaxima * static_cast<double>(st.st_size)) {
    // Tiles cannot unpack to more than this many pixels per byte of the file.
    throw JError(11143, archivo, std::to_string(ancho), std::to_string(alto));  // 11143
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

// Fills a block with the pixels of the current image by the settings, and gives their mapping.
void LlenaPixeles(fitsfile* f, const std::string& archivo, ImagenObservacion& imagen,
                  const AjustesFits& aj, long ancho, long alto, std::vector<int16_t>& px,
                  MapeoValores& mapeo) {
  int estado = 0;
  int tipo = 0;
  Comprueba(fits_get_img_equivtype(f, &tipo, &estado), archivo);
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
    mapeo = aj.leeValUnsig == 2 ? MapeoValores{kCeroSinSigno, 1.0} : MapeoValores{0.0, 2.0};
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
  size_t definidos = 0;
  for (long y = 0; y < alto; ++y) {
    CompruebaCancelacion(imagen, y);
    leeFila(y, TDOUBLE, fila.data(), &nulo);
    int16_t* d = px.data() + static_cast<size_t>(y) * w;
    for (size_t x = 0; x < w; ++x) {
      const double v = fila[x];
      if (!std::isfinite(v)) {
        d[x] = Rango().defecto;
        continue;
      }
      ++definidos;
      if (tal) {
        d[x] = static_cast<int16_t>(v);
      } else {
        const double m = std::clamp(std::round(bajo + (v - lo) * escala), bajo, alto16);
        d[x] = static_cast<int16_t>(m);
      }
    }
  }
  // Nothing to show and nothing a mapping could carry back.
  if (definidos == 0) throw JError(11165, archivo);  // 11165
  // The inverse of the mapping above: pixel m stands for lo + (m - bajo) / escala; a constant
  // image (escala 0) has every pixel at bajo standing for lo.
  if (!tal) {
    mapeo = escala > 0.0 ? MapeoValores{lo - bajo / escala, 1.0 / escala}
                         : MapeoValores{lo - bajo, 1.0};
  }
}

// Reads the pixels of the current image by the settings; the image changes only once they are
// all read.
void LeePixeles(fitsfile* f, const std::string& archivo, ImagenObservacion& imagen,
                const AjustesFits& aj, long ancho, long alto) {
  const uint64_t n = static_cast<uint64_t>(ancho) * static_cast<uint64_t>(alto);
  std::vector<int16_t> px;
  // 10100: refused before the allocation can abort the process.
  if (n > (uint64_t{1} << 36)) throw JError(10100, std::to_string(n * sizeof(int16_t)));
  try {
    px.resize(static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    throw JError(10100, std::to_string(n * sizeof(int16_t)));  // 10100
  }
  MapeoValores mapeo;
  LlenaPixeles(f, archivo, imagen, aj, ancho, alto, px, mapeo);
  int bitpix = 0, estado = 0;
  Comprueba(fits_get_img_type(f, &bitpix, &estado), archivo);
  imagen.CambiaPixeles(static_cast<uint32_t>(ancho), static_cast<uint32_t>(alto), std::move(px));
  imagen.bitsPixel = bitpix < 0 ? -32 : bitpix;
  imagen.mapeo = mapeo;
}

// The header cards of the current image, as the uncompressed image would have them, without
// the structural ones and those whose values went into the fields.
Cabecera LeeTarjetas(fitsfile* f, const std::string& archivo, const std::set<std::string>& usadas) {
  int estado = 0, n = 0;
  char* texto = nullptr;
  if (fits_is_compressed_image(f, &estado)) {
    fits_convert_hdr2str(f, 0, nullptr, 0, &texto, &n, &estado);
  } else {
    fits_hdr2str(f, 0, nullptr, 0, &texto, &n, &estado);
  }
  std::unique_ptr<char, void (*)(char*)> libera(texto, [](char* p) {
    int st = 0;
    if (p) fits_free_memory(p, &st);
  });
  Comprueba(estado, archivo);
  Cabecera cab;
  const std::string_view todo = texto ? std::string_view(texto) : std::string_view();
  for (size_t i = 0; i + Cabecera::kLargoTarjeta <= todo.size(); i += Cabecera::kLargoTarjeta) {
    const std::string_view tarjeta = todo.substr(i, Cabecera::kLargoTarjeta);
    if (usadas.count(Cabecera::Clave(tarjeta)) == 0) cab.Anade(tarjeta);
  }
  return cab;
}

void Lee(const std::string& archivo, ImagenObservacion& imagen, bool conPixeles) {
  const AjustesFits aj = AjustesActualesFits();
  PtrFits f = AbreFits(archivo);
  long ancho = 0, alto = 0;
  BuscaImagen(f.get(), archivo, aj.leerPrimario, ancho, alto);
  // Only what this file holds: nothing is carried over from the image read before.
  DatosImagen datos;
  datos.tipoObjeto = imagen.datos.tipoObjeto;
  std::set<std::string> usadas;
  LeeDatos(f.get(), datos, usadas);
  Cabecera cabecera = LeeTarjetas(f.get(), archivo, usadas);
  LeeSitio(cabecera, datos);
  if (conPixeles) {
    LeePixeles(f.get(), archivo, imagen, aj, ancho, alto);
  } else {
    int bitpix = 0, tipo = 0, estado = 0;
    Comprueba(fits_get_img_type(f.get(), &bitpix, &estado), archivo);
    Comprueba(fits_get_img_equivtype(f.get(), &tipo, &estado), archivo);
    imagen.DimensionaImagen(static_cast<uint32_t>(ancho), static_cast<uint32_t>(alto));
    imagen.bitsPixel = bitpix < 0 ? -32 : bitpix;
    // Without the pixels only the unsigned mapping is known.
    imagen.mapeo = MapeoValores{};
    if (tipo == USHORT_IMG && aj.leeValUnsig != 0) {
      imagen.mapeo =
          aj.leeValUnsig == 2 ? MapeoValores{kCeroSinSigno, 1.0} : MapeoValores{0.0, 2.0};
    }
  }
  imagen.datos = std::move(datos);
  imagen.cabecera = std::move(cabecera);
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

// A numeric card written as text, so that the value reads back as the same double.
void EscribeReal(fitsfile* f, const std::string& archivo, const char* clave, double v,
                 const char* nota) {
  char tarjeta[FLEN_CARD];
  std::snprintf(tarjeta, sizeof tarjeta, "%-8s= %20s / %s", clave, TextoExacto(v).c_str(), nota);
  int estado = 0;
  fits_write_record(f, tarjeta, &estado);
  Comprueba(estado, archivo);
}

// Writes the fields that hold a value; returns the keys written.
std::set<std::string> EscribeDatos(fitsfile* f, const std::string& archivo, const DatosImagen& d) {
  int estado = 0;
  std::set<std::string> escritas;
  auto texto = [&](const char* clave, const std::string& v, const char* nota) {
    if (v.empty()) return;
    std::string copia = v.substr(0, 68);
    fits_write_key(f, TSTRING, clave, copia.data(), nota, &estado);
    Comprueba(estado, archivo);
    escritas.insert(clave);
  };
  auto real = [&](const char* clave, double v, const char* nota) {
    if (!std::isfinite(v)) return;  // FITS has no card value for it
    EscribeReal(f, archivo, clave, v, nota);
    escritas.insert(clave);
  };
  auto tiene = [&](const char* clave) { return TieneDatoImagen(d, clave); };
  texto("OBJECT", d.nombreObjeto, "object name");
  const Fecha& fe = d.fechaHora.FechaDia();
  const Hora& ho = d.fechaHora.HoraDia();
  char fecha[40];
  if (tiene("FECHAOBS")) {
    if (tiene("HORAOBS")) {
      std::snprintf(fecha, sizeof fecha, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", fe.Anio(), fe.Mes(),
                    fe.Dia(), ho.Horas(), ho.Minutos(), ho.Segundos(), ho.Milisegundos());
    } else {
      std::snprintf(fecha, sizeof fecha, "%04d-%02d-%02d", fe.Anio(), fe.Mes(), fe.Dia());
    }
    texto("DATE-OBS", fecha, "start of observation (UT)");
  } else if (tiene("HORAOBS")) {
    std::snprintf(fecha, sizeof fecha, "%02d:%02d:%02d.%03d", ho.Horas(), ho.Minutos(),
                  ho.Segundos(), ho.Milisegundos());
    texto("TIME-OBS", fecha, "start of observation (UT)");
  }
  if (tiene("TIEMPOEXP")) real("EXPTIME", d.tiempoExp, "exposure time (s)");
  texto("FILTER", d.filtro, "filter");
  texto("TELESCOP", d.observatorio.telescopio, "telescope");
  texto("INSTRUME", d.nomCCD, "camera");
  texto("OBSERVER", d.observatorio.observador, "observer");
  texto("OBSERVAT", d.observatorio.nombre, "observatory");
  if (tiene("AROBJ")) {
    texto("RA",
          TextoSexagesimal(1, d.ar.Horas(), d.ar.Minutos(), d.ar.Segundos(), d.ar.Milisegundos(),
                           false),
          "right ascension (h:m:s)");
  }
  if (tiene("DECOBJ")) {
    texto("DEC",
          TextoSexagesimal(d.dec.Signo(), d.dec.Grados(), d.dec.Minutos(), d.dec.Segundos(),
                           d.dec.Milisegundos(), true),
          "declination (d:m:s)");
  }
  if (tiene("EPOCAOBJ")) {
    long equinoccio = d.epoca;
    fits_write_key(f, TLONG, "EQUINOX", &equinoccio, "equinox of RA and DEC", &estado);
    Comprueba(estado, archivo);
    escritas.insert("EQUINOX");
  }
  if (tiene("TEMPCCD")) real("CCD-TEMP", d.tempCCD, "camera temperature (C)");
  return escritas;
}

// The site of the fields against the kept cards: when they say the same the cards stay as they
// are; otherwise every kept site card is left out (they describe another site) and the fields
// go into SITELAT, SITELONG (positive east) and SITEELEV. Adds the keys left out to escritas.
void EscribeSitio(fitsfile* f, const std::string& archivo, const DatosImagen& d,
                  const Cabecera& cab, std::set<std::string>& escritas) {
  const bool conSitio = TieneDatoImagen(d, "LONOBS") || TieneDatoImagen(d, "LATOBS");
  const bool conAltura = conSitio && TieneDatoImagen(d, "ALTOBS");
  const SitioFits enCab = SitioDeTarjetas(cab);
  const Observatorio& o = d.observatorio;
  const bool igual =
      conSitio == enCab.conSitio &&
      (!conSitio || (o.longitud == enCab.longitud && o.latitud == enCab.latitud &&
                     conAltura == enCab.conAltura && (!conAltura || o.altitud == enCab.altura)));
  if (igual) return;
  for (const FamiliaSitio& fam : kFamiliasSitio) {
    for (const char* clave : {fam.latitud, fam.longitud, fam.altura}) {
      if (*clave != '\0') escritas.insert(clave);
    }
  }
  for (const char* clave : kClavesGeocentricas) escritas.insert(clave);
  if (!conSitio) return;
  EscribeReal(f, archivo, "SITELAT", o.latitud.Radianes() * 180.0 / kPi,
              "site latitude (deg, north positive)");
  EscribeReal(f, archivo, "SITELONG", -o.longitud.Radianes() * 180.0 / kPi,
              "site longitude (deg, east positive)");
  if (conAltura) {
    EscribeReal(f, archivo, "SITEELEV", static_cast<double>(o.altitud), "site height (m)");
  }
}

// The library's reference comment on the standard is not part of what the image held.
void QuitaComentarioNormal(fitsfile* f) {
  int estado = 0, n = 0;
  fits_get_hdrspace(f, &n, nullptr, &estado);
  for (int i = n; i >= 1 && estado == 0; --i) {
    char tarjeta[FLEN_CARD] = {};
    if (fits_read_record(f, i, tarjeta, &estado) != 0) break;
    if (Cabecera::Clave(tarjeta) == "COMMENT" && Cabecera::EsEstructural(tarjeta)) {
      fits_delete_record(f, i, &estado);
    }
  }
  if (estado != 0) fits_clear_errmsg();
}

// The kept cards, after ORVA's own; a card whose key ORVA wrote is left out, and one the
// library refuses is skipped.
void EscribeTarjetas(fitsfile* f, const Cabecera& cab, const std::set<std::string>& escritas) {
  for (const std::string& t : cab.Tarjetas()) {
    if (escritas.count(Cabecera::Clave(t)) != 0) continue;
    int estado = 0;
    if (fits_write_record(f, t.c_str(), &estado) != 0) fits_clear_errmsg();
  }
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
  const Ajustes& cfg = AjustesActuales();
  AjustesFits aj;
  const std::string& prim = cfg.Valor(kSeccionFits, "LEERPRIM");
  if (!prim.empty()) aj.leerPrimario = std::atoi(prim.c_str()) != 0;
  const std::string& unsig = cfg.Valor(kSeccionFits, "LEEVALUNSIG");
  if (!unsig.empty()) aj.leeValUnsig = std::clamp(std::atoi(unsig.c_str()), 0, 2);
  aj.valMin = std::atof(cfg.Valor(kSeccionFits, "FITSVALMIN").c_str());
  aj.valMax = std::atof(cfg.Valor(kSeccionFits, "FITSVALMAX").c_str());
  if (!std::isfinite(aj.valMin) || !std::isfinite(aj.valMax)) aj.valMin = aj.valMax = 0.0;
  aj.comprimir = Recorta(cfg.Valor(kSeccionFits, "COMPRIMIR"));
  const std::string& abajo = cfg.Valor(kSeccionFits, "FILAUNOABAJO");
  if (!abajo.empty()) aj.filaUnoAbajo = std::atoi(abajo.c_str()) != 0;
  return aj;
}

bool MuestraFilaUnoAbajo(const ImagenObservacion& imagen) {
  return imagen.tipoArchivo == kFits && AjustesActualesFits().filaUnoAbajo;
}

void LeeConfigFits(const std::string&) {
  Ajustes& cfg = AjustesActuales();
  cfg.Registra(kSeccionFits, "LEERPRIM", "1");
  cfg.Registra(kSeccionFits, "FITSVALMIN", "0");
  cfg.Registra(kSeccionFits, "FITSVALMAX", "0");
  cfg.Registra(kSeccionFits, "LEEVALUNSIG", "1");
  cfg.Registra(kSeccionFits, "COMPRIMIR", "NO");
  cfg.Registra(kSeccionFits, "FILAUNOABAJO", "1");
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
    QuitaComentarioNormal(f.get());
    // BZERO and BSCALE give a reader the physical values back; the stored words themselves
    // are the pixels, so the library must not scale them on the way out.
    const MapeoValores& mapeo = imagen.mapeo;
    const bool escalada = !mapeo.Identidad() && std::isfinite(mapeo.cero) &&
                          std::isfinite(mapeo.escala) && mapeo.escala != 0.0;
    if (escalada) {
      EscribeReal(f.get(), archivo, "BZERO", mapeo.cero, "physical = BZERO + BSCALE * stored");
      EscribeReal(f.get(), archivo, "BSCALE", mapeo.escala, "physical = BZERO + BSCALE * stored");
    }
    std::set<std::string> escritas = EscribeDatos(f.get(), archivo, imagen.datos);
    EscribeSitio(f.get(), archivo, imagen.datos, imagen.cabecera, escritas);
    EscribeTarjetas(f.get(), imagen.cabecera, escritas);
    if (escalada) {
      fits_set_hdustruc(f.get(), &estado);
      fits_set_bscale(f.get(), 1.0, 0.0, &estado);
      Comprueba(estado, archivo);
    }
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
