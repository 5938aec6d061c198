// VICAR reader.
#include "formats/vicar/Vicar.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/Archivo.h"
#include "formats/pds/DatosEtiqueta.h"
#include "formats/pds/Muestras.h"
#include "formats/vicar/EtiquetaVicar.h"

namespace orva {
namespace {

constexpr size_t kBusquedaEtiqueta = size_t{1} << 16;  // bytes searched for a wrapped label
constexpr uint64_t kMaxValor = uint64_t{1} << 31;
constexpr uint64_t kMaxBandas = 65535;
constexpr std::string_view kClaveTamano = "LBLSIZE";

struct Disposicion {
  EtiquetaOdl etiqueta;
  uint64_t inicio = 0;  // byte where the VICAR label starts
  uint64_t tamano = 0;  // LBLSIZE
  uint64_t ancho = 0, alto = 0, bandas = 1;
  uint64_t recsize = 0, nbb = 0, nlb = 0;
  uint64_t pasoFila = 0, pasoMuestra = 0, bytesFila = 0;
  uint64_t registros = 0;  // data records after the binary header
  FormatoMuestra formato;
  int bits = 8;
  bool eol = false;
};

std::string Mayus(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Texto(const EtiquetaOdl& e, const char* clave, const char* defecto) {
  const ElementoOdl* el = e.Busca(clave, "");
  return el ? Mayus(el->valor) : std::string(defecto);
}

uint64_t Entero(const std::string& archivo, const EtiquetaOdl& e, const char* clave,
                bool obligatorio, uint64_t defecto, uint64_t maximo = kMaxValor) {
  const ElementoOdl* el = e.Busca(clave, "");
  if (!el) {
    if (obligatorio) throw JError(12344, archivo, clave);  // 12344
    return defecto;
  }
  const char* s = el->valor.c_str();
  char* fin = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(s, &fin, 10);
  if (fin == s || *s == '-' || *fin != '\0' || errno != 0 || v > maximo) {
    throw JError(12345, archivo, clave, el->valor);  // 12345
  }
  return v;
}

void CompruebaLongitud(const std::string& archivo, double fin, uint64_t longitud) {
  if (fin > static_cast<double>(longitud)) {
    throw JError(10126, archivo, std::to_string(static_cast<long long>(fin)), "EOF");  // 10126
  }
}

// Reads a label of `tamano` bytes at `posicion`.
std::string LeeTexto(Archivo& f, uint64_t posicion, uint64_t tamano) {
  std::string t(static_cast<size_t>(tamano), '\0');
  f.Posiciona(posicion);
  f.Lee(t.data(), t.size());
  return t;
}

Disposicion Dispon(const std::string& archivo, Archivo& f) {
  Disposicion d;
  const uint64_t longitud = f.Longitud();
  std::string principio(static_cast<size_t>(std::min<uint64_t>(longitud, kBusquedaEtiqueta)), '\0');
  principio.resize(f.LeeHasta(principio.data(), principio.size()));
  // The label starts the file, or follows another archive's label that wraps it.
  size_t inicio = principio.find(kClaveTamano);
  while (inicio != std::string::npos &&
         TamanoEtiquetaVicar(std::string_view(principio).substr(inicio)) == 0) {
    inicio = principio.find(kClaveTamano, inicio + 1);
  }
  if (inicio == std::string::npos) throw JError(12344, archivo, "LBLSIZE");  // 12344
  d.inicio = inicio;
  d.tamano = TamanoEtiquetaVicar(std::string_view(principio).substr(inicio));
  CompruebaLongitud(archivo, static_cast<double>(d.inicio) + static_cast<double>(d.tamano),
                    longitud);
  d.etiqueta = AnalizaEtiquetaVicar(LeeTexto(f, d.inicio, d.tamano));
  const EtiquetaOdl& e = d.etiqueta;

  const std::string formato = Texto(e, "FORMAT", "");
  if (formato.empty()) throw JError(12344, archivo, "FORMAT");  // 12344
  const std::string intfmt = Texto(e, "INTFMT", "LOW");
  const std::string realfmt = Texto(e, "REALFMT", "VAX");
  if (intfmt != "LOW" && intfmt != "HIGH") throw JError(12345, archivo, "INTFMT", intfmt);
  if (formato == "BYTE") {
    d.formato = {FormatoMuestra::kSinSigno, 1, false};
    d.bits = 8;
  } else if (formato == "HALF" || formato == "WORD") {
    d.formato = {FormatoMuestra::kConSigno, 2, intfmt == "HIGH"};
    d.bits = 16;
  } else if (formato == "FULL" || formato == "LONG") {
    d.formato = {FormatoMuestra::kConSigno, 4, intfmt == "HIGH"};
    d.bits = 32;
  } else if (formato == "REAL" || formato == "DOUB") {
    const int bytes = formato == "REAL" ? 4 : 8;
    if (realfmt == "IEEE" || realfmt == "RIEEE") {
      d.formato = {FormatoMuestra::kIeee, bytes, realfmt == "IEEE"};
    } else if (realfmt == "VAX" && bytes == 4) {
      d.formato = {FormatoMuestra::kVax, 4, false};
    } else {
      throw JError(12345, archivo, "REALFMT", realfmt);  // 12345
    }
    d.bits = -32;
  } else {
    throw JError(12345, archivo, "FORMAT", formato);  // 12345
  }

  const std::string org = Texto(e, "ORG", "BSQ");
  if (org != "BSQ" && org != "BIL" && org != "BIP") throw JError(12345, archivo, "ORG", org);
  d.alto = Entero(archivo, e, "NL", true, 0);
  d.ancho = Entero(archivo, e, "NS", true, 0);
  d.bandas = Entero(archivo, e, "NB", false, 1, kMaxBandas);
  if (d.bandas == 0) throw JError(12345, archivo, "NB", "0");  // 12345
  CompruebaMedidas(d.ancho, d.alto);
  d.nbb = Entero(archivo, e, "NBB", false, 0);
  d.nlb = Entero(archivo, e, "NLB", false, 0);
  const uint64_t bytes = static_cast<uint64_t>(d.formato.bytes);
  const bool bip = org == "BIP";
  d.pasoMuestra = bip ? bytes * d.bandas : bytes;
  d.bytesFila = (d.ancho - 1) * d.pasoMuestra + bytes;
  const uint64_t necesario = d.nbb + d.ancho * d.pasoMuestra;
  d.recsize = Entero(archivo, e, "RECSIZE", false, necesario);
  if (d.recsize < necesario) {
    throw JError(12345, archivo, "RECSIZE", std::to_string(d.recsize));  // 12345
  }
  // Records: one per line and band (BSQ, BIL) or per line (BIP).
  d.pasoFila = org == "BIL" ? d.recsize * d.bandas : d.recsize;
  d.registros = bip ? d.alto : d.alto * d.bandas;
  d.eol = Entero(archivo, e, "EOL", false, 0, 1) == 1;
  // Every record the label promises, the other bands' too, must be in the file.
  CompruebaLongitud(archivo,
                    static_cast<double>(d.inicio + d.tamano) +
                        static_cast<double>(d.nlb + d.registros) * static_cast<double>(d.recsize),
                    longitud);
  return d;
}

uint64_t PrimeraFila(const Disposicion& d) {
  return d.inicio + d.tamano + d.nlb * d.recsize;
}

// The label items after the data, when the label says there are.
void LeeEol(const std::string& archivo, Archivo& f, Disposicion& d, uint64_t longitud) {
  if (!d.eol) return;
  const double posicion = static_cast<double>(PrimeraFila(d)) +
                          static_cast<double>(d.registros) * static_cast<double>(d.recsize);
  CompruebaLongitud(archivo, posicion + static_cast<double>(kClaveTamano.size()), longitud);
  const uint64_t p = PrimeraFila(d) + d.registros * d.recsize;
  const uint64_t resto = longitud - p;
  const std::string cabeza = LeeTexto(f, p, std::min<uint64_t>(resto, kBusquedaEtiqueta));
  const uint64_t tamano = TamanoEtiquetaVicar(cabeza);
  if (tamano == 0) throw JError(12345, archivo, "EOL", "1");  // 12345
  CompruebaLongitud(archivo, static_cast<double>(p) + static_cast<double>(tamano), longitud);
  const EtiquetaOdl eol = AnalizaEtiquetaVicar(LeeTexto(f, p, tamano));
  for (const ElementoOdl& el : eol.elementos) {
    // The EOL label's own size is not an item of the image.
    if (IgualSinCaso(el.clave, kClaveTamano) && el.objeto.empty()) continue;
    d.etiqueta.elementos.push_back(el);
  }
}

}  // namespace

void LeeVicar(const std::string& archivo, ImagenObservacion& imagen) {
  Archivo f(archivo, Archivo::kLectura);
  const uint64_t longitud = f.Longitud();
  Disposicion d = Dispon(archivo, f);
  LeeEol(archivo, f, d, longitud);
  const std::vector<double> valores = LeeMuestras(f, imagen, PrimeraFila(d) + d.nbb, d.pasoFila,
                                                  d.ancho, d.alto, d.pasoMuestra, d.formato);
  ValoresAImagen(valores, static_cast<uint32_t>(d.ancho), static_cast<uint32_t>(d.alto), d.bits,
                 MapeoValores{}, imagen);
  EtiquetaImagen(d.etiqueta.elementos, d.etiqueta.elementos, imagen);
}

void LeeCabeceraVicar(const std::string& archivo, ImagenObservacion& imagen) {
  Archivo f(archivo, Archivo::kLectura);
  const uint64_t longitud = f.Longitud();
  Disposicion d = Dispon(archivo, f);
  LeeEol(archivo, f, d, longitud);
  imagen.DimensionaImagen(static_cast<uint32_t>(d.ancho), static_cast<uint32_t>(d.alto));
  imagen.mapeo = MapeoValores{};
  imagen.bitsPixel = d.bits;
  EtiquetaImagen(d.etiqueta.elementos, d.etiqueta.elementos, imagen);
}

}  // namespace orva
