// GDAL behind the planetary archive readers.
#include "formats/gdal/Gdal.h"

#include <cpl_error.h>
#include <gdal.h>
#include <gdal_frmts.h>
#include <gdal_priv.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
#include <span>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/Archivo.h"
#include "formats/pds/DatosEtiqueta.h"
#include "formats/pds/Muestras.h"

namespace orva {
namespace {

constexpr size_t kMaxEtiqueta = size_t{1} << 20;  // label bytes looked at
constexpr int kFilasCancelacion = 64;

struct CierraGdal {
  void operator()(GDALDatasetH d) const { GDALClose(d); }
};
using PtrGdal = std::unique_ptr<std::remove_pointer_t<GDALDatasetH>, CierraGdal>;

// GDAL's messages go to the JError, not to the standard error, while one lives.
class Silencio {
 public:
  Silencio() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~Silencio() { CPLPopErrorHandler(); }
  Silencio(const Silencio&) = delete;
  Silencio& operator=(const Silencio&) = delete;
};

[[noreturn]] void ErrorGdal(const std::string& archivo) {
  std::string m = CPLGetLastErrorMsg();
  if (m.empty()) m = "?";
  throw JError(12347, archivo, m);  // 12347
}

int Bits(GDALDataType t) {
  switch (t) {
    case GDT_Byte:
      return 8;
    case GDT_Int16:
    case GDT_UInt16:
      return 16;
    case GDT_Int32:
    case GDT_UInt32:
      return 32;
    default:
      return -32;
  }
}

std::string LeePrincipio(const std::string& archivo) {
  Archivo f(archivo, Archivo::kLectura);
  std::string t(static_cast<size_t>(std::min<uint64_t>(f.Longitud(), kMaxEtiqueta)), '\0');
  t.resize(f.LeeHasta(t.data(), t.size()));
  return t;
}

std::string Local(const std::string& nombre) {
  const size_t p = nombre.find(':');
  return p == std::string::npos ? nombre : nombre.substr(p + 1);
}

// ISIS3's special pixels by sample type: the two lowest and highest of unsigned types, the five
// lowest of signed ones, and the reals at or below its null value.
constexpr double kNuloIsisReal = -3.40282265508890445e+38;
constexpr double kEspecialesByte[] = {0.0, 255.0};
constexpr double kEspecialesUnsigned[] = {0.0, 1.0, 2.0, 65534.0, 65535.0};
constexpr double kUltimoEspecialSigned = -32764.0;

bool EspecialIsis(double v, const BandaGdal& b) {
  if (b.bits < 0) return v <= kNuloIsisReal;
  if (!b.sinSigno) return b.bits == 16 && v <= kUltimoEspecialSigned;
  for (double e : b.bits == 8 ? std::span<const double>(kEspecialesByte)
                              : std::span<const double>(kEspecialesUnsigned)) {
    if (v == e) return true;
  }
  return false;
}

void PonBanda(const std::string& archivo, const char* driver, ImagenObservacion& imagen,
              bool isis = false) {
  BandaGdal b = LeeBandaGdal(archivo, driver, &imagen);
  if (isis) {
    for (double& v : b.valores) {
      if (EspecialIsis(v, b)) v = std::numeric_limits<double>::quiet_NaN();
    }
  }
  ValoresAImagen(b.valores, b.ancho, b.alto, b.bits, b.fisico, imagen);
}

// GDAL's raw readers give zeros for samples past the end of a short file: where the driver
// tells the layout of its samples, the first band must lie inside its file.
void CompruebaDatos(const std::string& archivo, GDALDatasetH d) {
  GDALDataset::RawBinaryLayout r;
  if (!GDALDataset::FromHandle(d)->GetRawBinaryLayout(r)) return;
  const double w = GDALGetRasterXSize(d), h = GDALGetRasterYSize(d);
  const double bytes = GDALGetDataTypeSizeBytes(r.eDataType);
  double desde = static_cast<double>(r.nImageOffset), hasta = desde;
  for (const double paso : {static_cast<double>(r.nPixelOffset) * (w - 1),
                            static_cast<double>(r.nLineOffset) * (h - 1)}) {
    (paso < 0 ? desde : hasta) += paso;
  }
  hasta += bytes;
  VSIStatBufL st;
  if (VSIStatL(r.osRawFilename.c_str(), &st) != 0) {
    throw JError(12348, archivo, r.osRawFilename);  // 12348
  }
  if (desde < 0 || hasta > static_cast<double>(st.st_size)) {
    throw JError(10126, r.osRawFilename, std::to_string(static_cast<long long>(hasta)),
                 "EOF");  // 10126
  }
}

// Band 1 of the file opened with the named driver only: its sizes, bits and mapping.
struct Abierto {
  PtrGdal d;
  GDALRasterBandH banda = nullptr;
  BandaGdal medidas;  // without the values
};

Abierto Abre(const std::string& archivo, const char* driver) {
  RegistraGdal();
  const char* const drivers[] = {driver, nullptr};
  Abierto a;
  a.d.reset(
      GDALOpenEx(archivo.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers, nullptr, nullptr));
  if (!a.d || GDALGetRasterCount(a.d.get()) < 1) ErrorGdal(archivo);
  a.banda = GDALGetRasterBand(a.d.get(), 1);
  CompruebaDatos(archivo, a.d.get());
  const int w = GDALGetRasterXSize(a.d.get()), h = GDALGetRasterYSize(a.d.get());
  CompruebaMedidas(static_cast<uint64_t>(std::max(w, 0)), static_cast<uint64_t>(std::max(h, 0)));
  a.medidas.ancho = static_cast<uint32_t>(w);
  a.medidas.alto = static_cast<uint32_t>(h);
  const GDALDataType tipo = GDALGetRasterDataType(a.banda);
  a.medidas.bits = Bits(tipo);
  a.medidas.sinSigno = tipo == GDT_Byte || tipo == GDT_UInt16 || tipo == GDT_UInt32;
  a.medidas.fisico =
      MapeoValores{GDALGetRasterOffset(a.banda, nullptr), GDALGetRasterScale(a.banda, nullptr)};
  return a;
}

// Sizes and mapping without the pixels.
void PonMedidas(const std::string& archivo, const char* driver, ImagenObservacion& imagen) {
  Silencio s;
  const Abierto a = Abre(archivo, driver);
  imagen.DimensionaImagen(a.medidas.ancho, a.medidas.alto);
  imagen.bitsPixel = a.medidas.bits;
  imagen.mapeo = a.medidas.fisico;
}

// The PDS4 elements that say something about the observation, under the keys of a PDS3 label.
std::vector<ElementoOdl> DatosPds4(const std::vector<ElementoOdl>& elementos) {
  std::vector<ElementoOdl> r;
  std::string nombre;  // of the observing system component being read
  for (const ElementoOdl& e : elementos) {
    const std::string c = Local(e.clave);
    if (e.objeto == "TARGET_IDENTIFICATION" && c == "name") {
      r.push_back({"TARGET_NAME", e.valor, {}, {}, 0});
    } else if (e.objeto == "OBSERVING_SYSTEM_COMPONENT" && c == "name") {
      nombre = e.valor;
    } else if (e.objeto == "OBSERVING_SYSTEM_COMPONENT" && c == "type") {
      if (IgualSinCaso(e.valor, "Host") || IgualSinCaso(e.valor, "Spacecraft")) {
        r.push_back({"SPACECRAFT_NAME", nombre, {}, {}, 0});
      } else if (IgualSinCaso(e.valor, "Instrument")) {
        r.push_back({"INSTRUMENT_NAME", nombre, {}, {}, 0});
      }
    } else if (c == "start_date_time") {
      r.push_back({"START_TIME", e.valor, {}, {}, 0});
    } else if (c == "exposure_duration") {
      r.push_back({"EXPOSURE_DURATION", e.valor, e.unidad, {}, 0});
    } else if (c == "filter_name") {
      r.push_back({"FILTER_NAME", e.valor, {}, {}, 0});
    }
  }
  return r;
}

}  // namespace

void RegistraGdal() {
  static std::once_flag una;
  std::call_once(una, [] {
    GDALRegister_PDS();
    GDALRegister_VICAR();
    GDALRegister_PDS4();
    GDALRegister_ISIS3();
    // The drivers and GDAL's caches are freed before the process ends, so that a leak check at
    // exit sees nothing of them.
    std::atexit(&GDALDestroy);
  });
}

BandaGdal LeeBandaGdal(const std::string& archivo, const char* driver, ImagenObservacion* imagen) {
  Silencio s;
  Abierto a = Abre(archivo, driver);
  GDALRasterBandH banda = a.banda;
  BandaGdal b = std::move(a.medidas);
  const int w = static_cast<int>(b.ancho), h = static_cast<int>(b.alto);
  int conNulo = 0;
  const double nulo = GDALGetRasterNoDataValue(banda, &conNulo);
  b.valores = BloqueValores(static_cast<uint64_t>(w) * static_cast<uint64_t>(h));
  for (int y = 0; y < h; ++y) {
    if (imagen && y % kFilasCancelacion == kFilasCancelacion - 1 && imagen->Interrumpida()) {
      throw JError(11011);  // 11011
    }
    double* fila = b.valores.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    if (GDALRasterIO(banda, GF_Read, 0, y, w, 1, fila, w, 1, GDT_Float64, 0, 0) != CE_None) {
      ErrorGdal(archivo);
    }
    if (conNulo) {
      for (int x = 0; x < w; ++x) {
        if (fila[x] == nulo) fila[x] = std::numeric_limits<double>::quiet_NaN();
      }
    }
  }
  return b;
}

std::vector<ElementoOdl> ElementosXml(const std::string& t) {
  struct Abierto {
    std::string nombre;
    std::string texto;
    std::string unidad;
    bool hijos = false;
  };
  std::vector<ElementoOdl> r;
  std::vector<Abierto> pila;
  size_t p = 0;
  while (p < t.size()) {
    const size_t a = t.find('<', p);
    if (!pila.empty())
      pila.back().texto += t.substr(p, (a == std::string::npos ? t.size() : a) - p);
    if (a == std::string::npos) break;
    if (t.compare(a, 4, "<!--") == 0) {
      const size_t f = t.find("-->", a + 4);
      if (f == std::string::npos) break;
      p = f + 3;
      continue;
    }
    const size_t f = t.find('>', a);
    if (f == std::string::npos) break;
    p = f + 1;
    if (a + 1 >= t.size() || t[a + 1] == '?' || t[a + 1] == '!') continue;
    std::string etiqueta = t.substr(a + 1, f - a - 1);
    if (etiqueta.empty()) continue;
    if (etiqueta[0] == '/') {
      if (pila.empty()) break;
      Abierto cerrado = std::move(pila.back());
      pila.pop_back();
      // Surrounding blanks and line breaks inside the text become single spaces.
      std::string texto;
      bool blanco = false;
      for (char c : cerrado.texto) {
        if (std::isspace(static_cast<unsigned char>(c))) {
          blanco = true;
          continue;
        }
        if (blanco && !texto.empty()) texto += ' ';
        blanco = false;
        texto += c;
      }
      if (!cerrado.hijos && !texto.empty()) {
        std::string padre;
        for (char c : pila.empty() ? std::string() : Local(pila.back().nombre)) {
          padre += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        r.push_back({cerrado.nombre, texto, cerrado.unidad, padre, static_cast<int>(pila.size())});
      }
      continue;
    }
    const bool vacio = etiqueta.back() == '/';
    const size_t fin = etiqueta.find_first_of(" \t\r\n/");
    Abierto nuevo;
    nuevo.nombre = etiqueta.substr(0, fin);
    const size_t u = etiqueta.find("unit=\"");
    if (u != std::string::npos) {
      const size_t cierre = etiqueta.find('"', u + 6);
      if (cierre != std::string::npos) nuevo.unidad = etiqueta.substr(u + 6, cierre - u - 6);
    }
    if (!pila.empty()) pila.back().hijos = true;
    if (!vacio) pila.push_back(std::move(nuevo));
  }
  return r;
}

void LeePds4(const std::string& archivo, ImagenObservacion& imagen) {
  const std::vector<ElementoOdl> e = ElementosXml(LeePrincipio(archivo));
  PonBanda(archivo, "PDS4", imagen);
  EtiquetaImagen(e, DatosPds4(e), imagen);
}

void LeeCabeceraPds4(const std::string& archivo, ImagenObservacion& imagen) {
  const std::vector<ElementoOdl> e = ElementosXml(LeePrincipio(archivo));
  PonMedidas(archivo, "PDS4", imagen);
  EtiquetaImagen(e, DatosPds4(e), imagen);
}

void LeeIsis(const std::string& archivo, ImagenObservacion& imagen) {
  const EtiquetaOdl e = AnalizaEtiquetaOdl(LeePrincipio(archivo));
  PonBanda(archivo, "ISIS3", imagen, true);
  EtiquetaImagen(e.elementos, e.elementos, imagen);
}

void LeeCabeceraIsis(const std::string& archivo, ImagenObservacion& imagen) {
  const EtiquetaOdl e = AnalizaEtiquetaOdl(LeePrincipio(archivo));
  PonMedidas(archivo, "ISIS3", imagen);
  EtiquetaImagen(e.elementos, e.elementos, imagen);
}

}  // namespace orva
