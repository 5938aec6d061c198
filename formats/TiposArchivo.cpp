// The file-type registry, detection of a file's type, the read and write entry points and the
// macro command LEER.
#include "formats/TiposArchivo.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "formats/Archivo.h"
#include "formats/DatosOrva.h"
#include "formats/camaras/Camaras.h"
#include "formats/fits/Fits.h"
#include "formats/gdal/Gdal.h"
#include "formats/gif/Gif.h"
#include "formats/pds/Pds.h"
#include "formats/qor/Qor.h"
#include "formats/sbig/Sbig.h"
#include "formats/st4/St4.h"
#include "formats/tiff/Tiff.h"
#include "formats/vicar/Vicar.h"

namespace orva {
namespace {

// One row per type, in presentation order. The readers and writers of FITS, TIFF and GIF are
// set in their rows; so are those of the fixed-layout cameras whose layout is known
// (formats/camaras) and GENERAL. The other camera formats have none (reading one raises 11017).
std::vector<RegistroTipoArchivo> TablaInicial() {
  // id, name, key, filter, dialog, title, lee, leeCabecera, guarda, leeConfig, guardaConfig
  return {
      {kQor, 11080, "QOR", "*.QOR", 3017, 0, &LeeQor, &LeeCabeceraQor, &GuardaQor, &LeeConfigQor,
       &GuardaConfigQor},
      {kFits, 11079, "FITS", "*.FTS;*.FIT", 3109, 0, &LeeFits, &LeeCabeceraFits, &GuardaFits,
       &LeeConfigFits, &GuardaConfigFits},
      {kGif, 11082, "GIF", "*.GIF", 3016, 11106, &LeeGif, &LeeCabeceraGif, &GuardaGif, nullptr,
       nullptr},
      {kTiff, 11081, "TIFF", "*.TIF", 3016, 11105, &LeeTiff, &LeeCabeceraTiff, &GuardaTiff, nullptr,
       nullptr},
      {kST4, 11077, "ST4", "*.ST4", 3016, 11101, &LeeSt4, &LeeCabeceraSt4, &GuardaSt4, nullptr,
       nullptr},
      {kLynxx, 11078, "LYNXX", "*.*", 3016, 11102, &LeeCamaraTipo<kLynxx>,
       &LeeCabeceraCamaraTipo<kLynxx>, &GuardaCamaraTipo<kLynxx>, nullptr, nullptr},
      {kSbig, 11085, "SBIG", "*.ST5;*.ST6;*.ST7;*.ST8", 3016, 11109, &LeeSbig, &LeeCabeceraSbig,
       &GuardaSbig, &LeeConfigSbig, &GuardaConfigSbig},
      {kT1m, 11092, "T1M", "*.T1M", 3016, 11116, nullptr, nullptr, nullptr, nullptr, nullptr},
      {kPds, 11086, "PDS", "*.IBG;*.IMQ;*.IMG", 3016, 11110, &LeePds, &LeeCabeceraPds, nullptr,
       nullptr, nullptr},
      {kVicar2, 11096, "VICAR2", "*.*", 3016, 11120, &LeeVicar, &LeeCabeceraVicar, nullptr,
       nullptr, nullptr},
      {kPic7852, 11087, "PIC_7852", "*.*", 3016, 11111, nullptr, nullptr, nullptr, nullptr,
       nullptr},
      {kPic7863, 11088, "PIC_7863", "*.*", 3016, 11112, nullptr, nullptr, nullptr, nullptr,
       nullptr},
      {kXpress, 11090, "XPRESS", "*.*", 3016, 11114, nullptr, nullptr, nullptr, nullptr, nullptr},
      {kXpress2, 11091, "XPRESS_2", "*.*", 3016, 11115, nullptr, nullptr, nullptr, nullptr,
       nullptr},
      {kTc245_1, 11093, "TC245_1", "*.*", 3016, 11117, nullptr, nullptr, nullptr, nullptr, nullptr},
      {kTc245_2, 11094, "TC245_2", "*.*", 3016, 11118, nullptr, nullptr, nullptr, nullptr, nullptr},
      {kPantalla, 11083, "PANTALLA", "*.*", 3016, 11107, &LeeCamaraTipo<kPantalla>,
       &LeeCabeceraCamaraTipo<kPantalla>, nullptr, nullptr, nullptr},
      {kBuil, 11084, "BUIL", "*.*", 3016, 11108, nullptr, nullptr, nullptr, nullptr, nullptr},
      {kPix, 11095, "PIX", "*.*", 3016, 11119, &LeeCamaraTipo<kPix>, &LeeCabeceraCamaraTipo<kPix>,
       nullptr, nullptr, nullptr},
      {kCcdred, 11089, "CCDRED", "*.*", 3016, 11113, nullptr, nullptr, nullptr, nullptr, nullptr},
      {kGeneral, 11097, "GENERAL", "*.*", 3016, 11121, &LeeGeneral, nullptr, nullptr,
       &LeeConfigGeneral, &GuardaConfigGeneral},
      {kPds4, 12340, "PDS4", "*.XML", 3016, 12342, &LeePds4, &LeeCabeceraPds4, nullptr, nullptr,
       nullptr},
      {kIsis, 12341, "ISIS", "*.CUB", 3016, 12343, &LeeIsis, &LeeCabeceraIsis, nullptr, nullptr,
       nullptr},
  };
}

// Loads every type's settings in registry order: FILTRO, then the type's own keys.
void LeeConfigTipos(const std::string& archivo) {
  Ajustes& c = AjustesActuales();
  for (RegistroTipoArchivo& r : ListaTiposArchivo()) {
    r.filtro = c.Valor(SeccionTipoArchivo(r), "FILTRO");
    if (r.leeConfig) r.leeConfig(archivo);
  }
}

void GuardaConfigTipos(const std::string& archivo) {
  for (RegistroTipoArchivo& r : ListaTiposArchivo()) {
    AjustesActuales().Asigna(SeccionTipoArchivo(r), "FILTRO", r.filtro);
    if (r.guardaConfig) r.guardaConfig(archivo);
  }
}

std::vector<RegistroTipoArchivo>& Construye() {
  static std::vector<RegistroTipoArchivo> lista = TablaInicial();
  Ajustes& c = AjustesActuales();
  for (RegistroTipoArchivo& r : lista) {
    // A value read before the registry existed is taken over by Registra.
    c.Registra(SeccionTipoArchivo(r), "FILTRO", r.filtro);
    r.filtro = c.Valor(SeccionTipoArchivo(r), "FILTRO");
    if (r.leeConfig) r.leeConfig({});
  }
  c.AnadeGanchos(&LeeConfigTipos, &GuardaConfigTipos);
  return lista;
}

bool Empieza(const unsigned char* b, size_t n, const char* texto) {
  const size_t k = std::strlen(texto);
  return n >= k && std::memcmp(b, texto, k) == 0;
}

// The extension of the file name (from the last '.' of its last component), or empty.
std::string Extension(const std::string& archivo) {
  const size_t barra = archivo.find_last_of('/');
  const size_t punto = archivo.find_last_of('.');
  if (punto == std::string::npos || (barra != std::string::npos && punto < barra)) return {};
  return archivo.substr(punto);
}

constexpr char kVersionPds[] = "PDS_VERSION_ID";
constexpr char kObjeto[] = "Object";  // an ISIS3 label's first word
constexpr size_t kPrincipioEtiqueta = 512;  // bytes of a detached label looked at

bool EmpiezaTexto(const char* t, const char* p) {
  return std::strncmp(t, p, std::strlen(p)) == 0;
}

// The text after leading blanks.
const char* SaltaBlancos(const char* t) {
  while (*t == ' ' || *t == '\t' || *t == '\r' || *t == '\n') ++t;
  return t;
}

// Whether a ".LBL" file (any case) beside the file holds a PDS3 label.
bool TieneEtiquetaPds(const std::string& archivo) {
  const std::string e = Extension(archivo);
  if (e.empty()) return false;
  const std::string base = archivo.substr(0, archivo.size() - e.size());
  for (const char* ext : {".LBL", ".lbl", ".Lbl"}) {
    const std::string lbl = base + ext;
    if (lbl == archivo) continue;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(lbl.c_str(), "rb"), &std::fclose);
    if (!f) continue;
    char b[kPrincipioEtiqueta + 1] = {};
    const size_t n = std::fread(b, 1, kPrincipioEtiqueta, f.get());
    b[n] = '\0';
    const char* t = SaltaBlancos(b);
    if (EmpiezaTexto(t, kVersionPds) || std::strstr(t, "SFDU_LABEL")) return true;
  }
  return false;
}

int TipoPorClave(const std::string& clave) {
  const RegistroTipoArchivo* r = BuscaTipoArchivo(clave);
  return r ? r->id : kTipoDesconocido;
}

// The file's modification date and time, local time; left as it was when it cannot be had.
void FechaArchivo(const std::string& archivo, ImagenObservacion& imagen) {
  struct stat st {};
  if (::stat(archivo.c_str(), &st) != 0) return;
  std::tm t{};
  const std::time_t s = st.st_mtime;
  if (!localtime_r(&s, &t)) return;
  try {
    imagen.fechaArchivo = FechaHora(Fecha(t.tm_mday, t.tm_mon + 1, t.tm_year + 1900),
                                    Hora(t.tm_hour, t.tm_min, std::min(t.tm_sec, 59)));
  } catch (const JError&) {
    // a date outside the calendar's range keeps the old one
  }
}

}  // namespace

std::vector<RegistroTipoArchivo>& ListaTiposArchivo() {
  static std::vector<RegistroTipoArchivo>& lista = Construye();
  return lista;
}

RegistroTipoArchivo* BuscaTipoArchivo(int id) {
  for (RegistroTipoArchivo& r : ListaTiposArchivo()) {
    if (r.id == id) return &r;
  }
  return nullptr;
}

RegistroTipoArchivo* BuscaTipoArchivo(const std::string& clave) {
  for (RegistroTipoArchivo& r : ListaTiposArchivo()) {
    if (r.clave == clave) return &r;
  }
  return nullptr;
}

std::string SeccionTipoArchivo(const RegistroTipoArchivo& r) {
  return "TipoArch_" + r.clave;
}

void FijaFiltroTipoArchivo(RegistroTipoArchivo& r, const std::string& filtro) {
  r.filtro = filtro;
  AjustesActuales().Asigna(SeccionTipoArchivo(r), "FILTRO", filtro);
}

// ---- Detection

int DetectaTipoArchivo(const unsigned char* primeros, size_t n, uint64_t L,
                       const std::string& archivo) {
  // B: the first bytes ended by a zero byte. The text searches stop at the first zero byte, as
  // in a C string, so binary pixels after a zero never pass for a label.
  unsigned char B[513] = {};
  n = std::min<size_t>(n, 512);
  std::memcpy(B, primeros, n);
  const char* texto = reinterpret_cast<const char*>(B);

  if (Empieza(B, n, "ORVA DATOS")) return kDatosOrva;              // 1
  if (Empieza(B, n, "GIF")) return kGif;                           // 2
  if (Empieza(B, n, "SIMPLE")) return kFits;                       // 3
  if (n > 2 && std::strstr(texto + 2, "SFDU_LABEL")) return kPds;  // 4
  for (const char* s : {"ST-4X", "ST-5", "ST-6", "ST-7", "ST-8"}) {
    if (Empieza(B, n, s)) return kSbig;  // 5
  }
  if (Empieza(B, n, "Format T1M Pic du Midi")) return kT1m;     // 6
  if (Empieza(B, n, "FORMATO_QOR")) return kQor;                // 7
  if (std::strstr(texto, "LBLSIZE")) return kVicar2;            // 8
  if (B[0] == 0xFD && B[6] == 0xF7 && L == 63367) return kPix;  // 9
  bool saltaTamanos = false;
  if (L == 63007) {  // 10
    const std::string e = Extension(archivo);
    if (strcasecmp(e.c_str(), ".PA") == 0) return kTc245_1;
    if (strcasecmp(e.c_str(), ".P1") == 0) return kTc245_2;
    saltaTamanos = true;  // any other extension goes on at step 19
  }
  if (!saltaTamanos) {
    if (L == 31872 || L == 32360) return kST4;  // 11
    if (L == 47520) return kLynxx;              // 12
    if (L == 64000) return kPantalla;           // 13
    if (L == 59904) return kBuil;               // 14
    if (L == 64831) return kPic7852;            // 15
    if (L == 261120) return kXpress;            // 16
    if (L == 192780) return kXpress2;           // 17
    if (L == 221696) return kPic7863;           // 18
  }
  const uint64_t w0 = B[0] | (B[1] << 8), w1 = B[2] | (B[3] << 8);
  if (w0 * w1 * 2 + 512 == L) return kPic7863;                   // 19
  if (Empieza(B, n, "II") || Empieza(B, n, "MM")) return kTiff;  // 20
  // The archive labels of today, looked for only where the steps above found nothing.
  const char* etiqueta = SaltaBlancos(texto);
  if (EmpiezaTexto(etiqueta, kVersionPds)) return kPds;  // 22
  if (*etiqueta == '<' && (std::strstr(etiqueta, "pds.nasa.gov/pds4") ||
                           std::strstr(etiqueta, "Product_Observational"))) {
    return kPds4;  // 23
  }
  if (strncasecmp(etiqueta, kObjeto, std::strlen(kObjeto)) == 0 &&
      std::strstr(etiqueta, "IsisCube")) {
    return kIsis;  // 24
  }
  return kTipoDesconocido;  // 21
}

int DetectaTipoArchivo(const std::string& archivo) {
  Archivo f(archivo, Archivo::kLectura);
  const uint64_t L = f.Longitud();
  unsigned char B[512];
  const size_t n = f.LeeHasta(B, static_cast<size_t>(std::min<uint64_t>(L, 512)));
  const int tipo = DetectaTipoArchivo(B, n, L, archivo);
  // 25: the data of a PDS3 image whose label is detached, in a ".LBL" file beside it.
  if (tipo == kTipoDesconocido && TieneEtiquetaPds(archivo)) return kPds;
  return tipo;
}

void CompruebaTipoArchivo(const std::string& archivo, int tipo) {
  if (DetectaTipoArchivo(archivo) != tipo) {
    const RegistroTipoArchivo* r = BuscaTipoArchivo(tipo);
    throw JError(11019, archivo, r ? r->clave : Cadena(11076));  // 11019
  }
}

// ---- Reading and writing

void LeeArchivo(const std::string& archivo, Imagen& imagen, int tipo) {
  Ajustes& c = AjustesActuales();
  bool sinReconocer = false;
  if (c.Entero("TIPOAUTO") != 0) {
    const int detectado = DetectaTipoArchivo(archivo);
    if (detectado == kDatosOrva) throw JError(11098);  // 11098
    if (detectado != kTipoDesconocido) tipo = detectado;
    sinReconocer = detectado == kTipoDesconocido && tipo == kTipoDesconocido;
  }
  if (tipo == kTipoDesconocido) tipo = TipoPorClave(c.Valor("Archivos", "TIPARCHLEER"));
  const RegistroTipoArchivo* r = BuscaTipoArchivo(tipo);
  // Detection found nothing and the reading type cannot read either: say what happened.
  if (sinReconocer && (!r || !r->lee)) throw JError(12225, archivo);  // 12225
  if (!r) throw JError(11017, Cadena(11076));                         // 11017

  // The file identity changes now; a failed read puts the old one back.
  const int tipoAntes = imagen.tipoArchivo;
  const std::string claveAntes = imagen.claveTipoArchivo;
  const std::string rutaAntes = imagen.Ruta();
  const FechaHora fechaAntes = imagen.fechaArchivo;
  // The value mapping and the header cards belong to the file: a reader that has none leaves
  // them empty.
  const MapeoValores mapeoAntes = imagen.mapeo;
  const Cabecera cabeceraAntes = imagen.cabecera;
  try {
    imagen.mapeo = MapeoValores{};
    imagen.cabecera.Limpia();
    imagen.tipoArchivo = r->id;
    imagen.AsignaRuta(archivo);
    imagen.claveTipoArchivo = r->clave;
    if (!r->lee) throw JError(11017, r->clave);  // 11017
    FechaArchivo(archivo, imagen);
    try {
      r->lee(archivo, imagen);
    } catch (const JError& e) {
      // Nothing recognised the file and the reading type's own check refuses it as well.
      if (sinReconocer && e.Id() == 11019) throw JError(12225, archivo);  // 12225
      throw;
    }
  } catch (...) {
    imagen.tipoArchivo = tipoAntes;
    imagen.claveTipoArchivo = claveAntes;
    imagen.AsignaRuta(rutaAntes);
    imagen.fechaArchivo = fechaAntes;
    imagen.mapeo = mapeoAntes;
    imagen.cabecera = cabeceraAntes;
    throw;
  }
  if (c.Entero("LEEDATORVA") != 0) LeeDatosOrva(imagen, archivo);
  imagen.Actualiza();
  imagen.Modificada(0);
}

void GuardaArchivo(const std::string& archivo, Imagen& imagen, int tipo) {
  Ajustes& c = AjustesActuales();
  if (tipo == kTipoDesconocido) tipo = TipoPorClave(c.Valor("Archivos", "TIPARCHGUARDAR"));
  const RegistroTipoArchivo* r = BuscaTipoArchivo(tipo);
  if (!r) throw JError(11018, Cadena(11076));  // 11018
  // Writers may change what they are given (sizes, values); they get a copy.
  ImagenObservacion copia;
  copia.CopiaDatos(imagen);
  copia.tipoArchivo = r->id;
  copia.claveTipoArchivo = r->clave;
  copia.AsignaRuta(archivo);
  if (!r->guarda) throw JError(11018, r->clave);  // 11018
  r->guarda(archivo, copia);
  if (c.Entero("GUARDATORVA") != 0) GuardaDatosOrva(imagen, archivo);
  // The image is now that file.
  imagen.tipoArchivo = r->id;
  imagen.claveTipoArchivo = r->clave;
  imagen.AsignaRuta(archivo);
  imagen.Modificada(0);
}

}  // namespace orva
