// Reading and writing QOR files.
#include "formats/qor/Qor.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

#include "astro/LectorTexto.h"
#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "formats/Archivo.h"
#include "formats/TiposArchivo.h"
#include "formats/qor/CodificacionQor.h"

namespace orva {
namespace {

constexpr const char* kSeccion = "TipoArch_QOR";
constexpr size_t kLargoComentario = 60;  // characters per COMENT line
// Deflate never packs more than about 1032 bytes into one.
constexpr uint64_t kRazonDeflate = 1040;
constexpr uint64_t kHolguraDeflate = 4096;

// The two work buffers of one read or write of a pixel block; each grows when asked for more.
class BuffersBloque {
 public:
  std::vector<uint8_t>& operator()(int cual, size_t n) {
    std::vector<uint8_t>& b = buffers_[cual];
    if (b.size() < n) {
      try {
        b.resize(n);
      } catch (const std::bad_alloc&) {
        throw JError(10100, std::to_string(n));  // 10100
      }
    }
    return b;
  }

 private:
  std::vector<uint8_t> buffers_[2];
};

std::string Formato(const char* fmt, double v) {
  char b[64];
  std::snprintf(b, sizeof b, fmt, v);
  return b;
}

// The physical memory of the machine, the ceiling of what one image may ask for.
uint64_t MemoriaFisica() {
  const long paginas = sysconf(_SC_PHYS_PAGES);
  const long largo = sysconf(_SC_PAGE_SIZE);
  if (paginas <= 0 || largo <= 0) return uint64_t{1} << 34;
  return static_cast<uint64_t>(paginas) * static_cast<uint64_t>(largo);
}

struct Medidas {
  uint32_t ancho = 0;
  uint32_t alto = 0;
  int32_t offX = 0;
  int32_t offY = 0;
  uint64_t pixeles() const { return uint64_t{ancho} * alto; }
};

// NAXIS1 and NAXIS2 must be whole numbers from 1 up (11143); the offsets read as atoi does.
Medidas LeeMedidas(const CabeceraQor& cab, const std::string& archivo) {
  const std::string t1 = cab.Valor("NAXIS1"), t2 = cab.Valor("NAXIS2");
  int a = 0, b = 0;
  LectorTexto l1(t1), l2(t2);
  const bool bien = l1.Entero(a) && l2.Entero(b);
  if (!bien || a < 1 || b < 1) throw JError(11143, archivo, t1, t2);  // 11143
  Medidas m;
  m.ancho = static_cast<uint32_t>(a);
  m.alto = static_cast<uint32_t>(b);
  m.offX = LeeEntero(cab.Valor("OFFAXIS1"));
  m.offY = LeeEntero(cab.Valor("OFFAXIS2"));
  return m;
}

// Fills the metadata from the header; a value that is empty or does not parse leaves its field
// without a value. Nothing comes from the image read before but its object type.
void LeeMetadatos(const CabeceraQor& cab, ImagenObservacion& imagen) {
  DatosImagen d;
  d.tipoObjeto = imagen.datos.tipoObjeto;
  auto entero = [&](const char* clave, int32_t& campo, const char* campoDatos) {
    const std::string t = cab.Valor(clave);
    int v = 0;
    LectorTexto l(t);
    if (l.Entero(v)) {
      campo = v;
      d.conValor.insert(campoDatos);
    }
  };
  auto real = [&](const char* clave, double& campo, const char* campoDatos) {
    const std::string t = cab.Valor(clave);
    double v = 0;
    LectorTexto l(t);
    if (l.Real(v)) {
      campo = v;
      d.conValor.insert(campoDatos);
    }
  };
  auto validado = [&](const char* campoDatos, auto&& asigna) {
    try {
      asigna();
      d.conValor.insert(campoDatos);
    } catch (const JError&) {
      // the field keeps its value
    }
  };

  d.nombreObjeto = cab.Valor("OBJECT");
  int tipo = d.tipoObjeto;
  if (const std::string t = cab.Valor("IMAGETYP"); !t.empty()) tipo = TipoObjetoPorPalabra(t);
  validado("AROBJ", [&] { d.ar.AsignaTexto(cab.Valor("AR")); });
  validado("DECOBJ", [&] { d.dec.AsignaTexto(cab.Valor("DEC")); });
  entero("EPOCA", d.epoca, "EPOCAOBJ");
  validado("FECHAOBS", [&] { d.fechaHora.AsignaFecha(Fecha(cab.Valor("DATE-OBS"))); });
  validado("HORAOBS", [&] { d.fechaHora.AsignaHora(Hora(cab.Valor("UT"))); });
  d.filtro = cab.Valor("FILTER");
  real("EXPTIME", d.tiempoExp, "TIEMPOEXP");
  d.observatorio.observador = cab.Valor("OBSERVER");
  d.observatorio.nombre = cab.Valor("OBSERVAT");
  validado("LONOBS", [&] { d.observatorio.longitud.AsignaTexto(cab.Valor("LONOBS")); });
  validado("LATOBS", [&] { d.observatorio.latitud.AsignaTexto(cab.Valor("LATOBS")); });
  entero("ALTOBS", d.observatorio.altitud, "ALTOBS");
  d.observatorio.telescopio = cab.Valor("TELESCOP");
  entero("TELAPERT", d.observatorio.apertura, "APERTURA");
  entero("TELFOCUS", d.observatorio.distFocal, "DISTFOCAL");
  d.nomCCD = cab.Valor("INSTRUME");
  real("TEMPCCD", d.tempCCD, "TEMPCCD");

  // The comment: COMENT1 .. COMENT<NUMCOMENT>, each trimmed like any value.
  int numComent = 0;
  const std::string textoNum = cab.Valor("NUMCOMENT");
  LectorTexto ln(textoNum);
  if (ln.Entero(numComent)) {
    std::string comentario;
    // A header cannot hold more lines than it has; a larger count is bounded by that.
    const int limite = static_cast<int>(cab.NumLineas());
    for (int k = 1; k <= numComent && k <= limite; ++k) {
      comentario += cab.Valor("COMENT" + std::to_string(k));
    }
    d.comentario = std::move(comentario);
  }

  const int tipoAntes = imagen.datos.tipoObjeto;
  imagen.datos = std::move(d);
  if (tipo != tipoAntes) {
    imagen.datos.tipoObjeto = tipoAntes;
    imagen.CambiaTipoObjeto(tipo);
  }
}

// BZERO and BSCALE: a finite zero and a finite nonzero scale, else the identity.
MapeoValores LeeMapeo(const CabeceraQor& cab) {
  MapeoValores m;
  const std::string t0 = cab.Valor("BZERO"), t1 = cab.Valor("BSCALE");
  double cero = 0.0, escala = 1.0;
  LectorTexto l0(t0), l1(t1);
  if (!t0.empty() && !l0.Real(cero)) return m;
  if (!t1.empty() && !l1.Real(escala)) return m;
  if (std::isfinite(cero) && std::isfinite(escala) && escala != 0.0) m = MapeoValores{cero, escala};
  return m;
}

// The bytes of memory a file's pixels need, refused (10100) beyond the machine's memory.
void CompruebaMemoria(uint64_t bytes) {
  if (bytes > MemoriaFisica()) throw JError(10100, std::to_string(bytes));  // 10100
}

// Refuses, before anything is allocated, sizes beyond the machine's memory (10100), an unknown
// coding (11140) and a block too short for the pixels it claims (11141): DIFF8 takes at least
// one byte per pixel (two for the first), and deflate packs at most about 1032 bytes into one.
void CompruebaBloque(uint64_t n, uint64_t bloque, const std::string& compresion,
                     const std::string& archivo) {
  CompruebaMemoria(2 * n);
  CompruebaCompresionQor(compresion);
  const uint64_t minimoDiff8 = n + 1;
  const uint64_t maximoInflado = kRazonDeflate * bloque + kHolguraDeflate;
  const bool corto = compresion == "DIFF8"    ? bloque < minimoDiff8
                     : compresion == "DEFLAT" ? 2 * n > maximoInflado
                                              : minimoDiff8 > maximoInflado;
  if (corto) throw JError(11141, archivo);  // 11141
}

}  // namespace

void CompruebaCompresionQor(std::string_view compresion) {
  for (std::string_view c : kCompresionesQor) {
    if (c == compresion) return;
  }
  throw JError(11140, std::string(compresion));  // 11140
}

// ---- Header

CabeceraQor LeeCabeceraArchivo(Archivo& f, uint64_t longitud) {
  CabeceraQor cab;
  cab.Dimensiona(2);
  f.Lee(cab.Datos(0), 2 * CabeceraQor::kLargoLinea);
  if (!cab.Tiene("FORMATO_QOR") || !cab.Tiene("LINEAS_CAB")) {
    throw JError(11019, f.Nombre(), "QOR");  // 11019
  }
  const std::string texto = cab.Valor("LINEAS_CAB");
  const int n = LeeEntero(texto);
  if (n < 2) throw JError(11019, f.Nombre(), "QOR");  // 11019
  // The lines and the end mark must be in the file before any room is made for them.
  const uint64_t bytesCabecera = uint64_t(n) * CabeceraQor::kLargoLinea + 1;
  if (bytesCabecera > longitud) throw JError(11144, f.Nombre(), texto);  // 11144
  cab.Dimensiona(static_cast<size_t>(n));
  f.Lee(cab.Datos(2), (static_cast<size_t>(n) - 2) * CabeceraQor::kLargoLinea);
  char marca = 0;
  f.Lee(&marca, 1);
  return cab;
}

CabeceraQor CabeceraDeImagen(const ImagenObservacion& im, std::string_view compresion) {
  const DatosImagen& d = im.datos;
  CabeceraQor c;
  // A field without a value is written with an empty one, which readers leave alone.
  auto valor = [&d](const char* campo, std::string texto) {
    return TieneDatoImagen(d, campo) ? texto : std::string();
  };
  c.Anade("NAXIS1", std::to_string(im.Ancho()));
  c.Anade("NAXIS2", std::to_string(im.Alto()));
  c.Anade("OFFAXIS1", std::to_string(im.offsetX));
  c.Anade("OFFAXIS2", std::to_string(im.offsetY));
  c.Anade("OBJECT", d.nombreObjeto);
  c.Anade("IMAGETYP", PalabraTipoObjeto(d.tipoObjeto < 0 ? kDesconocido : d.tipoObjeto));
  c.Anade("AR", valor("AROBJ", d.ar.Texto()));
  c.Anade("DEC", valor("DECOBJ", d.dec.Texto()));
  c.Anade("EPOCA", valor("EPOCAOBJ", std::to_string(d.epoca)));
  c.Anade("ORIGIN", std::string("ORVA ") + ORVA_VERSION);
  char b[64];
  const Fecha& f = d.fechaHora.FechaDia();
  std::snprintf(b, sizeof b, "%02d/%02d/%04d", f.Dia(), f.Mes(), f.Anio());
  c.Anade("DATE-OBS", valor("FECHAOBS", b));
  const Hora& h = d.fechaHora.HoraDia();
  std::snprintf(b, sizeof b, "%02d:%02d:%02d.%03d", h.Horas(), h.Minutos(), h.Segundos(),
                h.Milisegundos());
  c.Anade("UT", valor("HORAOBS", b));
  c.Anade("FILTER", d.filtro);
  c.Anade("EXPTIME", valor("TIEMPOEXP", Formato("%.3f", d.tiempoExp)));
  c.Anade("OBSERVER", d.observatorio.observador);
  c.Anade("OBSERVAT", d.observatorio.nombre);
  c.Anade("LONOBS", valor("LONOBS", d.observatorio.longitud.Texto()));
  c.Anade("LATOBS", valor("LATOBS", d.observatorio.latitud.Texto()));
  c.Anade("ALTOBS", valor("ALTOBS", std::to_string(d.observatorio.altitud)));
  c.Anade("TELESCOP", d.observatorio.telescopio);
  c.Anade("TELAPERT", valor("APERTURA", std::to_string(d.observatorio.apertura)));
  c.Anade("TELFOCUS", valor("DISTFOCAL", std::to_string(d.observatorio.distFocal)));
  c.Anade("INSTRUME", d.nomCCD);
  c.Anade("TEMPCCD", valor("TEMPCCD", Formato("%.1f", d.tempCCD)));
  // NUMCOMENT announces length / 60 + 1 lines (one more than there are pieces when the length
  // is a multiple of 60); the pieces themselves are COMENT1, COMENT2...
  const std::string& com = d.comentario;
  c.Anade("NUMCOMENT", std::to_string(com.size() / kLargoComentario + 1));
  for (size_t i = 0, k = 1; i < com.size(); i += kLargoComentario, ++k) {
    c.Anade("COMENT" + std::to_string(k), std::string_view(com).substr(i, kLargoComentario));
  }
  // The mapping of the pixels to physical values, when there is one (readers without it take
  // the pixels as the values).
  if (!im.mapeo.Identidad()) {
    c.Anade("BZERO", TextoExacto(im.mapeo.cero));
    c.Anade("BSCALE", TextoExacto(im.mapeo.escala));
  }
  c.Anade("COMPRESION", compresion);
  c.Cambia("LINEAS_CAB", std::to_string(c.NumLineas()));
  return c;
}

// ---- Reading

void LeeQor(const std::string& archivo, ImagenObservacion& imagen) {
  Archivo f(archivo, Archivo::kLectura);
  const uint64_t longitud = f.Longitud();
  const CabeceraQor cab = LeeCabeceraArchivo(f, longitud);
  const Medidas m = LeeMedidas(cab, archivo);
  const uint64_t n = m.pixeles();
  const uint64_t bloque = longitud - uint64_t(cab.NumLineas()) * CabeceraQor::kLargoLinea - 1;
  const std::string compresion = cab.Valor("COMPRESION");
  CompruebaBloque(n, bloque, compresion, archivo);
  const bool diff8 = compresion == "DIFF8";
  const bool deflat = compresion == "DEFLAT";
  const uint64_t inflado = diff8 ? 0 : deflat ? 2 * n : 3 * n + 2;
  CompruebaMemoria(2 * n + bloque + (deflat ? 0 : inflado));
  BuffersBloque buffer;

  std::vector<uint8_t>& datos = buffer(0, static_cast<size_t>(bloque));
  f.Lee(datos.data(), static_cast<size_t>(bloque));
  f.Cierra();

  std::vector<int16_t> px;
  try {
    px.resize(static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    throw JError(10100, std::to_string(2 * n));  // 10100
  }
  bool bien = false;
  if (diff8) {
    bien = DecodificaDiff8(datos.data(), static_cast<size_t>(bloque), px.data(), px.size());
  } else if (deflat) {
    std::vector<uint8_t>& raw = buffer(1, static_cast<size_t>(2 * n));
    const long long r = DescomprimeDeflate(raw.data(), static_cast<size_t>(2 * n), datos.data(),
                                           static_cast<size_t>(bloque));
    bien = r == static_cast<long long>(2 * n);
    for (size_t i = 0; bien && i < px.size(); ++i) {
      px[i] = static_cast<int16_t>(static_cast<uint16_t>(raw[2 * i] | (raw[2 * i + 1] << 8)));
    }
  } else {
    std::vector<uint8_t>& dif = buffer(1, static_cast<size_t>(inflado));
    const long long r = DescomprimeDeflate(dif.data(), static_cast<size_t>(inflado), datos.data(),
                                           static_cast<size_t>(bloque));
    bien = r >= 0 && DecodificaDiff8(dif.data(), static_cast<size_t>(r), px.data(), px.size());
  }
  // Pixels a short or damaged stream does not reach would be undefined: the file is refused.
  if (!bien) throw JError(11141, archivo);  // 11141

  LeeMetadatos(cab, imagen);
  imagen.CambiaPixeles(m.ancho, m.alto, std::move(px));
  imagen.mapeo = LeeMapeo(cab);
  imagen.cabecera.Limpia();  // the side data file brings any cards
  imagen.bitsPixel = 16;
  imagen.offsetX = m.offX;
  imagen.offsetY = m.offY;
}

void LeeCabeceraQor(const std::string& archivo, ImagenObservacion& imagen) {
  if (DetectaTipoArchivo(archivo) != kQor) throw JError(11019, archivo, "QOR");  // 11019
  Archivo f(archivo, Archivo::kLectura);
  const uint64_t longitud = f.Longitud();
  const CabeceraQor cab = LeeCabeceraArchivo(f, longitud);
  const Medidas m = LeeMedidas(cab, archivo);
  CompruebaBloque(m.pixeles(), longitud - uint64_t(cab.NumLineas()) * CabeceraQor::kLargoLinea - 1,
                  cab.Valor("COMPRESION"), archivo);
  // The sizes come with room for pixels that are not read.
  imagen.DimensionaImagen(m.ancho, m.alto);
  LeeMetadatos(cab, imagen);
  imagen.mapeo = LeeMapeo(cab);
  imagen.cabecera.Limpia();
  imagen.bitsPixel = 16;
  imagen.offsetX = m.offX;
  imagen.offsetY = m.offY;
}

// ---- Writing

void GuardaQor(const std::string& archivo, const ImagenObservacion& imagen,
               std::string_view compresion) {
  CompruebaCompresionQor(compresion);
  const size_t n = imagen.NumPixeles();
  // An image without pixels makes a file no reader would take.
  if (n == 0 || imagen.Ancho() > INT32_MAX || imagen.Alto() > INT32_MAX) {
    throw JError(11143, archivo, std::to_string(imagen.Ancho()), std::to_string(imagen.Alto()));
  }
  const std::vector<int16_t>& px = imagen.Pixeles();
  BuffersBloque buffer;
  const uint8_t* bloque = nullptr;
  size_t largo = 0;
  if (compresion == "DIFF8") {
    std::vector<uint8_t>& b = buffer(0, MaximoDiff8(n));
    largo = CodificaDiff8(px.data(), n, b.data());
    bloque = b.data();
  } else {
    // The stream to deflate: the raw little-endian pixels, or their DIFF8 coding.
    size_t largoFuente = 0;
    if (compresion == "DEFLAT") {
      std::vector<uint8_t>& raw = buffer(1, 2 * n);
      for (size_t i = 0; i < n; ++i) {
        const auto u = static_cast<uint16_t>(px[i]);
        raw[2 * i] = static_cast<uint8_t>(u & 0xFF);
        raw[2 * i + 1] = static_cast<uint8_t>(u >> 8);
      }
      largoFuente = 2 * n;
    } else {
      largoFuente = CodificaDiff8(px.data(), n, buffer(1, MaximoDiff8(n)).data());
    }
    const size_t capacidad = MaximoDeflate(largoFuente);
    std::vector<uint8_t>& b = buffer(0, capacidad);
    largo = ComprimeDeflate(b.data(), capacidad, buffer(1, 0).data(), largoFuente);
    bloque = b.data();
  }

  std::string contenido = CabeceraDeImagen(imagen, compresion).Texto();
  contenido += '\x1A';
  contenido.append(reinterpret_cast<const char*>(bloque), largo);
  EscribeArchivoSeguro(archivo, contenido);
}

void GuardaQor(const std::string& archivo, ImagenObservacion& imagen) {
  ListaTiposArchivo();  // the registry registers the setting with its default
  GuardaQor(archivo, imagen, AjustesActuales().Valor(kSeccion, "COMPRESION"));
}

// ---- Settings

void LeeConfigQor(const std::string&) {
  AjustesActuales().Registra(kSeccion, "COMPRESION", "DIFF8");
}

void GuardaConfigQor(const std::string&) {
  // COMPRESION lives in the settings table itself; nothing to copy back.
}

OpcionesQor OpcionesActualesQor() {
  OpcionesQor o;
  if (const RegistroTipoArchivo* r = BuscaTipoArchivo(kQor)) o.filtro = r->filtro;
  o.compresion = AjustesActuales().Valor(kSeccion, "COMPRESION");
  return o;
}

void ConfiguraQor(const OpcionesQor& editadas, bool aceptado) {
  if (!aceptado) return;
  CompruebaCompresionQor(editadas.compresion);
  if (RegistroTipoArchivo* r = BuscaTipoArchivo(kQor)) FijaFiltroTipoArchivo(*r, editadas.filtro);
  AjustesActuales().Asigna(kSeccion, "COMPRESION", editadas.compresion);
}

}  // namespace orva
