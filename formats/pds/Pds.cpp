// PDS3 reader: the label (attached or detached), the ^IMAGE pointer and the line layout.
#include "formats/pds/Pds.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/Archivo.h"
#include "formats/pds/DatosEtiqueta.h"
#include "formats/pds/EtiquetaOdl.h"
#include "formats/pds/Imq.h"
#include "formats/pds/Muestras.h"

namespace orva {
namespace {

constexpr size_t kMaxEtiqueta = size_t{1} << 20;  // label bytes looked at
constexpr uint64_t kMaxBandas = 65535;
constexpr uint64_t kMaxRelleno = uint64_t{1} << 31;  // prefix and suffix bytes
const char* const kObjetoImagen = "IMAGE";
const char* const kCodificacionImq = "HUFFMAN_FIRST_DIFFERENCE";
constexpr uint64_t kFilasCancelacion = 64;              // compressed lines between cancel checks
constexpr uint64_t kMaxArchivoImq = uint64_t{1} << 28;  // bytes of a compressed file read

struct Etiqueta {
  std::string ruta;
  EtiquetaOdl odl;
};

std::string LeePrincipio(const std::string& archivo) {
  Archivo f(archivo, Archivo::kLectura);
  const uint64_t L = f.Longitud();
  std::string t(static_cast<size_t>(std::min<uint64_t>(L, kMaxEtiqueta)), '\0');
  t.resize(f.LeeHasta(t.data(), t.size()));
  return t;
}

bool Existe(const std::string& ruta) {
  std::error_code ec;
  return std::filesystem::is_regular_file(ruta, ec);
}

std::string Mayus(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
std::string Minus(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The label of a file: its own attached label, or the detached ".LBL" next to it.
Etiqueta Localiza(const std::string& archivo) {
  const std::string principio = LeePrincipio(archivo);
  Etiqueta e{archivo, AnalizaEtiquetaOdl(principio)};
  if (e.odl.Busca("^IMAGE")) return e;
  // A file of variable-length records holds its label in its first records.
  const std::string enRegistros = TextoEtiquetaRegistros(principio);
  if (!enRegistros.empty()) {
    Etiqueta v{archivo, AnalizaEtiquetaOdl(enRegistros)};
    if (v.odl.Busca("^IMAGE")) return v;
  }
  const std::filesystem::path p(archivo);
  for (const char* ext : {".LBL", ".lbl", ".Lbl"}) {
    std::filesystem::path lbl = p;
    lbl.replace_extension(ext);
    const std::string r = lbl.string();
    if (r == archivo || !Existe(r)) continue;
    Etiqueta d{r, AnalizaEtiquetaOdl(LeePrincipio(r))};
    if (d.odl.Busca("^IMAGE")) return d;
  }
  throw JError(12344, archivo, "^IMAGE");  // 12344
}

const ElementoOdl* BuscaImagen(const EtiquetaOdl& e, const char* clave) {
  const ElementoOdl* el = e.Busca(clave, kObjetoImagen);
  return el ? el : e.Busca(clave);
}

// A whole number from a label value; 12345 when it is not one within 0..maximo.
uint64_t Entero(const std::string& archivo, const char* clave, const std::string& valor,
                uint64_t maximo) {
  const char* s = valor.c_str();
  while (*s == ' ' || *s == '+') ++s;
  char* fin = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(s, &fin, 10);
  while (fin && *fin == ' ') ++fin;
  if (fin && *fin == '<') fin += std::string_view(fin).size();  // a unit after the number
  if (fin == s || *s == '-' || errno != 0 || *fin != '\0' || v > maximo) {
    throw JError(12345, archivo, clave, valor);  // 12345
  }
  return v;
}

uint64_t EnteroImagen(const Etiqueta& e, const char* clave, uint64_t maximo, bool obligatorio,
                      uint64_t defecto = 0) {
  const ElementoOdl* el = BuscaImagen(e.odl, clave);
  if (!el) {
    if (obligatorio) throw JError(12344, e.ruta, clave);  // 12344
    return defecto;
  }
  return Entero(e.ruta, clave, el->valor, maximo);
}

double Real(const Etiqueta& e, const char* clave, double defecto) {
  const ElementoOdl* el = e.odl.Busca(clave, kObjetoImagen);
  if (!el) return defecto;
  char* fin = nullptr;
  const double v = std::strtod(el->valor.c_str(), &fin);
  if (fin == el->valor.c_str() || !std::isfinite(v)) {
    throw JError(12345, e.ruta, clave, el->valor);  // 12345
  }
  return v;
}

// A file named by the label, in the label's folder, as written or in either case.
std::string ArchivoNombrado(const std::string& etiqueta, const std::string& nombre) {
  const std::filesystem::path carpeta = std::filesystem::path(etiqueta).parent_path();
  for (const std::string& n : {nombre, Mayus(nombre), Minus(nombre)}) {
    const std::string r = (carpeta / n).string();
    if (Existe(r)) return r;
  }
  throw JError(12348, etiqueta, nombre);  // 12348
}

struct Disposicion {
  std::string datos;      // the file holding the samples
  uint64_t posicion = 0;  // byte of the first line
  uint64_t ancho = 0, alto = 0;
  FormatoMuestra formato;
  uint64_t prefijo = 0;
  uint64_t pasoFila = 0;     // bytes from one line of the first band to the next
  uint64_t pasoMuestra = 0;  // bytes from one sample to the next
  uint64_t bytesFila = 0;    // bytes of one line's samples
  MapeoValores fisico;
  int bits = 16;
  bool comprimida = false;  // Huffman first differences in variable-length records
  uint64_t registro = 1;    // the ^IMAGE record number of a compressed image
};

FormatoMuestra Formato(const Etiqueta& e, int bits) {
  FormatoMuestra f;
  f.bytes = bits / 8;
  const ElementoOdl* el = BuscaImagen(e.odl, "SAMPLE_TYPE");
  std::string t = el ? Mayus(el->valor) : std::string(bits == 8 ? "UNSIGNED_INTEGER" : "");
  if (t.empty()) throw JError(12344, e.ruta, "SAMPLE_TYPE");  // 12344
  for (char& c : t) {
    if (c == ' ') c = '_';
  }
  struct Tipo {
    const char* nombre;
    FormatoMuestra::Clase clase;
    bool mayorPrimero;
  };
  static constexpr Tipo kTipos[] = {
      {"MSB_INTEGER", FormatoMuestra::kConSigno, true},
      {"INTEGER", FormatoMuestra::kConSigno, true},
      {"SUN_INTEGER", FormatoMuestra::kConSigno, true},
      {"MAC_INTEGER", FormatoMuestra::kConSigno, true},
      {"MSB_UNSIGNED_INTEGER", FormatoMuestra::kSinSigno, true},
      {"UNSIGNED_INTEGER", FormatoMuestra::kSinSigno, true},
      {"SUN_UNSIGNED_INTEGER", FormatoMuestra::kSinSigno, true},
      {"MAC_UNSIGNED_INTEGER", FormatoMuestra::kSinSigno, true},
      {"LSB_INTEGER", FormatoMuestra::kConSigno, false},
      {"PC_INTEGER", FormatoMuestra::kConSigno, false},
      {"VAX_INTEGER", FormatoMuestra::kConSigno, false},
      {"LSB_UNSIGNED_INTEGER", FormatoMuestra::kSinSigno, false},
      {"PC_UNSIGNED_INTEGER", FormatoMuestra::kSinSigno, false},
      {"VAX_UNSIGNED_INTEGER", FormatoMuestra::kSinSigno, false},
      {"IEEE_REAL", FormatoMuestra::kIeee, true},
      {"REAL", FormatoMuestra::kIeee, true},
      {"FLOAT", FormatoMuestra::kIeee, true},
      {"SUN_REAL", FormatoMuestra::kIeee, true},
      {"MAC_REAL", FormatoMuestra::kIeee, true},
      {"PC_REAL", FormatoMuestra::kIeee, false},
      {"VAX_REAL", FormatoMuestra::kVax, false},
  };
  for (const Tipo& k : kTipos) {
    if (t == k.nombre) {
      f.clase = k.clase;
      f.mayorPrimero = k.mayorPrimero;
      const bool real = f.clase == FormatoMuestra::kIeee || f.clase == FormatoMuestra::kVax;
      const bool valido = real
                              ? (f.bytes == 4 || (f.bytes == 8 && f.clase == FormatoMuestra::kIeee))
                              : (f.bytes == 1 || f.bytes == 2 || f.bytes == 4);
      if (!valido) throw JError(12345, e.ruta, "SAMPLE_BITS", std::to_string(bits));  // 12345
      return f;
    }
  }
  throw JError(12345, e.ruta, "SAMPLE_TYPE", el ? el->valor : t);  // 12345
}

Disposicion Dispon(const Etiqueta& e) {
  Disposicion d;
  // ^IMAGE = n, n <BYTES>, "FILE", ("FILE", n) or ("FILE", n <BYTES>).
  const ElementoOdl* p = e.odl.Busca("^IMAGE");
  const std::vector<std::string> partes = PartesValorOdl(p->valor);
  std::string nombre, numero;
  bool enBytes = IgualSinCaso(p->unidad, "BYTES");
  if (partes.size() >= 2) {
    nombre = partes[0];
    numero = partes[1];
  } else if (!partes.empty() && !partes[0].empty() &&
             std::isdigit(static_cast<unsigned char>(partes[0][0]))) {
    numero = partes[0];
  } else if (!partes.empty()) {
    nombre = partes[0];
  }
  const size_t u = numero.find('<');
  if (u != std::string::npos) {
    enBytes = enBytes || Mayus(numero.substr(u)).find("BYTES") != std::string::npos;
    numero.resize(u);
  }
  d.datos = nombre.empty() ? e.ruta : ArchivoNombrado(e.ruta, nombre);
  if (!numero.empty()) {
    const uint64_t n = Entero(e.ruta, "^IMAGE", numero, uint64_t{1} << 48);
    if (n < 1) throw JError(12345, e.ruta, "^IMAGE", p->valor);  // 12345
    d.registro = n;
    uint64_t registro = 1;
    if (!enBytes) {
      const ElementoOdl* rb = e.odl.Busca("RECORD_BYTES", "");
      if (!rb) rb = e.odl.Busca("RECORD_BYTES");
      if (!rb) throw JError(12344, e.ruta, "RECORD_BYTES");  // 12344
      registro = Entero(e.ruta, "RECORD_BYTES", rb->valor, kMaxRelleno);
      if (registro == 0) throw JError(12345, e.ruta, "RECORD_BYTES", rb->valor);  // 12345
    }
    d.posicion = (n - 1) * registro;
  }

  // Of the compressed images, the Huffman first differences of the old archive CDs are read.
  if (const ElementoOdl* c = BuscaImagen(e.odl, "ENCODING_TYPE")) {
    d.comprimida = IgualSinCaso(c->valor, kCodificacionImq);
    if (!d.comprimida && !IgualSinCaso(c->valor, "N/A") && !IgualSinCaso(c->valor, "NONE")) {
      throw JError(12345, e.ruta, "ENCODING_TYPE", c->valor);  // 12345
    }
  }
  d.alto = EnteroImagen(e, "LINES", kMaxRelleno, true);
  d.ancho = EnteroImagen(e, "LINE_SAMPLES", kMaxRelleno, true);
  CompruebaMedidas(d.ancho, d.alto);
  const uint64_t bits = EnteroImagen(e, "SAMPLE_BITS", 64, true);
  if (bits != 8 && bits != 16 && bits != 32 && bits != 64) {
    throw JError(12345, e.ruta, "SAMPLE_BITS", std::to_string(bits));  // 12345
  }
  if (d.comprimida && bits != 8) {
    throw JError(12345, e.ruta, "SAMPLE_BITS", std::to_string(bits));  // 12345
  }
  d.formato = Formato(e, static_cast<int>(bits));
  const bool real =
      d.formato.clase == FormatoMuestra::kIeee || d.formato.clase == FormatoMuestra::kVax;
  d.bits = real ? -32 : static_cast<int>(bits);
  d.prefijo = EnteroImagen(e, "LINE_PREFIX_BYTES", kMaxRelleno, false);
  const uint64_t sufijo = EnteroImagen(e, "LINE_SUFFIX_BYTES", kMaxRelleno, false);
  const uint64_t bandas = EnteroImagen(e, "BANDS", kMaxBandas, false, 1);
  if (bandas == 0) throw JError(12345, e.ruta, "BANDS", "0");  // 12345
  std::string orden = "BAND_SEQUENTIAL";
  if (const ElementoOdl* b = BuscaImagen(e.odl, "BAND_STORAGE_TYPE")) orden = Mayus(b->valor);
  const uint64_t bytes = static_cast<uint64_t>(d.formato.bytes);
  const bool porMuestra = bandas > 1 && orden == "SAMPLE_INTERLEAVED";
  const bool porLinea = bandas > 1 && orden == "LINE_INTERLEAVED";
  d.pasoMuestra = porMuestra ? bytes * bandas : bytes;
  d.bytesFila = (d.ancho - 1) * d.pasoMuestra + bytes;
  const uint64_t fila = d.prefijo + d.ancho * d.pasoMuestra + sufijo;
  d.pasoFila = porLinea ? fila * bandas : fila;
  d.fisico = MapeoValores{Real(e, "OFFSET", 0.0), Real(e, "SCALING_FACTOR", 1.0)};
  return d;
}

// The data file, once it is known to hold every line of the first band; the check is made in
// reals so that no product of label values can wrap.
Archivo AbreDatos(const Disposicion& d) {
  Archivo f(d.datos, Archivo::kLectura);
  const double fin = static_cast<double>(d.posicion) +
                     static_cast<double>(d.alto - 1) * static_cast<double>(d.pasoFila) +
                     static_cast<double>(d.prefijo) + static_cast<double>(d.bytesFila);
  if (fin > static_cast<double>(f.Longitud())) {
    throw JError(10126, d.datos, std::to_string(static_cast<long long>(fin)), "EOF");  // 10126
  }
  return f;
}

// The whole of a compressed file as its variable-length records.
struct ArchivoImq {
  std::string bytes;
  RegistrosImq partes;
};
ArchivoImq LeeRegistros(const Disposicion& d) {
  Archivo f(d.datos, Archivo::kLectura);
  const uint64_t L = f.Longitud();
  if (L > kMaxArchivoImq) throw JError(10100, std::to_string(L));  // 10100
  ArchivoImq a;
  a.bytes.resize(static_cast<size_t>(L));
  a.bytes.resize(f.LeeHasta(a.bytes.data(), a.bytes.size()));
  a.partes = PartesRegistros(a.bytes);
  return a;
}

// A record number of the label (1 for the first record) and the records from it on.
std::span<const std::string_view> DesdeRegistro(const Disposicion& d, const ArchivoImq& a,
                                                uint64_t numero, uint64_t necesarios) {
  const uint64_t n = a.partes.registros.size();
  if (numero < 1 || numero > n || n - (numero - 1) < necesarios) {
    throw JError(10126, d.datos, std::to_string(numero - 1 + necesarios), "EOF");  // 10126
  }
  return std::span<const std::string_view>(a.partes.registros).subspan(numero - 1);
}

// The lines of a compressed image, each decoded from its own record.
std::vector<double> LeeComprimida(const Etiqueta& e, const Disposicion& d,
                                  ImagenObservacion& imagen) {
  const ArchivoImq a = LeeRegistros(d);
  const ElementoOdl* ph = e.odl.Busca("^ENCODING_HISTOGRAM");
  if (!ph) throw JError(12344, e.ruta, "^ENCODING_HISTOGRAM");  // 12344
  const std::vector<std::string> partes = PartesValorOdl(ph->valor);
  const uint64_t nh = Entero(e.ruta, "^ENCODING_HISTOGRAM",
                             partes.empty() ? ph->valor : partes.back(), kMaxRelleno);
  const std::span<const std::string_view> hist = DesdeRegistro(d, a, nh, 1);
  const CodigoImq codigo(HistogramaDeRegistros(d.datos, hist));
  const std::span<const std::string_view> lineas = DesdeRegistro(d, a, d.registro, d.alto);
  std::vector<double> valores = BloqueValores(d.ancho * d.alto);
  std::vector<uint8_t> fila(static_cast<size_t>(d.ancho));
  for (uint64_t y = 0; y < d.alto; ++y) {
    if (y % kFilasCancelacion == kFilasCancelacion - 1 && imagen.Interrumpida()) {
      throw JError(11011);  // 11011
    }
    codigo.DecodificaLinea(lineas[y], fila, d.datos, y);
    std::copy(fila.begin(), fila.end(), valores.begin() + static_cast<ptrdiff_t>(y * d.ancho));
  }
  return valores;
}

}  // namespace

void LeePds(const std::string& archivo, ImagenObservacion& imagen) {
  const Etiqueta e = Localiza(archivo);
  const Disposicion d = Dispon(e);
  std::vector<double> valores;
  if (d.comprimida) {
    valores = LeeComprimida(e, d, imagen);
  } else {
    Archivo f = AbreDatos(d);
    valores = LeeMuestras(f, imagen, d.posicion + d.prefijo, d.pasoFila, d.ancho, d.alto,
                          d.pasoMuestra, d.formato);
  }
  ValoresAImagen(valores, static_cast<uint32_t>(d.ancho), static_cast<uint32_t>(d.alto), d.bits,
                 d.fisico, imagen);
  EtiquetaImagen(e.odl.elementos, e.odl.elementos, imagen);
}

void LeeCabeceraPds(const std::string& archivo, ImagenObservacion& imagen) {
  const Etiqueta e = Localiza(archivo);
  const Disposicion d = Dispon(e);
  if (!d.comprimida) AbreDatos(d);
  imagen.DimensionaImagen(static_cast<uint32_t>(d.ancho), static_cast<uint32_t>(d.alto));
  imagen.mapeo = d.fisico;
  imagen.bitsPixel = d.bits;
  EtiquetaImagen(e.odl.elementos, e.odl.elementos, imagen);
}

}  // namespace orva
