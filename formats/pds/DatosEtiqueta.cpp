// Label items to DatosImagen.
#include "formats/pds/DatosEtiqueta.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "astro/Tiempo.h"
#include "base/JError.h"
#include "core/Cabecera.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"

namespace orva {
namespace {

constexpr size_t kTextoComentario = 72;  // text columns of a COMMENT card
constexpr double kMilisegundos = 1000.0;

const char* const kObjeto[] = {"TARGET_NAME", "TargetName"};
const char* const kNave[] = {"SPACECRAFT_NAME", "INSTRUMENT_HOST_NAME", "SpacecraftName",
                             "MISSION_NAME"};
const char* const kInstrumento[] = {"INSTRUMENT_NAME", "INSTRUMENT_ID", "InstrumentId"};
const char* const kFiltro[] = {"FILTER_NAME", "FilterName"};
const char* const kInicio[] = {"START_TIME", "StartTime", "IMAGE_TIME"};
const char* const kExposicion[] = {"EXPOSURE_DURATION", "ExposureDuration", "EXPOSURE_TIME"};

bool Desconocido(const std::string& v) {
  return v.empty() || IgualSinCaso(v, "N/A") || IgualSinCaso(v, "UNK") || IgualSinCaso(v, "NULL") ||
         IgualSinCaso(v, "UNKNOWN");
}

template <size_t N>
const ElementoOdl* Primero(const std::vector<ElementoOdl>& elementos,
                           const char* const (&claves)[N]) {
  for (const ElementoOdl& e : elementos) {
    for (const char* c : claves) {
      if (IgualSinCaso(e.clave, c) && !Desconocido(e.valor)) return &e;
    }
  }
  return nullptr;
}

// A list value shows its parts joined ("(A, B)" -> "A, B").
std::string Texto(const ElementoOdl& e) {
  const std::vector<std::string> partes = PartesValorOdl(e.valor);
  std::string r;
  for (const std::string& p : partes) {
    if (!r.empty()) r += ", ";
    r += p;
  }
  return r;
}

}  // namespace

bool LeeTiempoEtiqueta(const std::string& texto, int& anio, int& mes, int& dia, int& hora,
                       int& minuto, int& segundo, int& milisegundo) {
  hora = minuto = segundo = milisegundo = 0;
  int a = 0, b = 0, c = 0, usados = 0;
  const char* s = texto.c_str();
  if (std::sscanf(s, "%4d-%2d-%2d%n", &a, &b, &c, &usados) == 3) {
    anio = a, mes = b, dia = c;
  } else if (std::sscanf(s, "%4d-%3d%n", &a, &b, &usados) == 2) {
    // Day of the year.
    static constexpr int kDias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool bisiesto = (a % 4 == 0 && a % 100 != 0) || a % 400 == 0;
    int d = b;
    int m = 0;
    while (m < 12) {
      const int n = kDias[m] + (m == 1 && bisiesto ? 1 : 0);
      if (d <= n) break;
      d -= n;
      ++m;
    }
    if (b < 1 || m == 12) return false;
    anio = a, mes = m + 1, dia = d;
  } else {
    return false;
  }
  s += usados;
  if (*s != 'T' && *s != 't') return true;
  ++s;
  double seg = 0.0;
  int h = 0, mi = 0, n = 0;
  const int leidos = std::sscanf(s, "%2d:%2d%n", &h, &mi, &n);
  if (leidos != 2) return true;
  s += n;
  if (*s == ':') seg = std::atof(s + 1);
  if (seg < 0.0 || seg >= 60.0) seg = 0.0;
  hora = h, minuto = mi;
  segundo = static_cast<int>(seg);
  milisegundo = static_cast<int>((seg - segundo) * kMilisegundos + 0.5);
  if (milisegundo >= 1000) milisegundo = 999;
  return true;
}

void DatosDeEtiqueta(const std::vector<ElementoOdl>& elementos, DatosImagen& datos) {
  if (const ElementoOdl* e = Primero(elementos, kObjeto)) datos.nombreObjeto = Texto(*e);
  if (const ElementoOdl* e = Primero(elementos, kNave)) datos.observatorio.nombre = Texto(*e);
  // The Voyager cameras' frames open in the spacecraft frames' module: the archive's labels name
  // the spacecraft, the mission's own ("VGR-1   FDS ...") carry it in a text line.
  std::string nave = datos.observatorio.nombre;
  for (char& c : nave) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  bool voyager = nave.find("VOYAGER") != std::string::npos;
  for (const ElementoOdl& e : elementos) {
    voyager = voyager || e.valor.find("VGR-1") != std::string::npos ||
              e.valor.find("VGR-2") != std::string::npos;
  }
  if (voyager && datos.tipoObjeto <= kDesconocido) datos.tipoObjeto = kVoyager;
  if (const ElementoOdl* e = Primero(elementos, kInstrumento)) datos.nomCCD = Texto(*e);
  if (const ElementoOdl* e = Primero(elementos, kFiltro)) datos.filtro = Texto(*e);
  if (const ElementoOdl* e = Primero(elementos, kInicio)) {
    int an = 0, me = 0, di = 0, ho = 0, mi = 0, se = 0, ms = 0;
    if (LeeTiempoEtiqueta(e->valor, an, me, di, ho, mi, se, ms)) {
      try {
        datos.fechaHora = FechaHora(Fecha(di, me, an), Hora(ho, mi, se, ms));
        datos.conValor.insert("FECHAOBS");
        datos.conValor.insert("HORAOBS");
      } catch (const JError&) {
        // a date the calendar refuses is left out
      }
    }
  }
  if (const ElementoOdl* e = Primero(elementos, kExposicion)) {
    char* fin = nullptr;
    const double v = std::strtod(e->valor.c_str(), &fin);
    if (fin != e->valor.c_str() && v >= 0.0) {
      const bool ms = IgualSinCaso(e->unidad, "MS") || IgualSinCaso(e->unidad, "MSEC") ||
                      IgualSinCaso(e->unidad, "MILLISECONDS") ||
                      IgualSinCaso(e->unidad, "MILLISECOND");
      datos.tiempoExp = ms ? v / kMilisegundos : v;
      datos.conValor.insert("TIEMPOEXP");
    }
  }
}

void EtiquetaImagen(const std::vector<ElementoOdl>& lineas, const std::vector<ElementoOdl>& datos,
                    ImagenObservacion& imagen) {
  DatosImagen d;
  d.tipoObjeto = imagen.datos.tipoObjeto;
  DatosDeEtiqueta(datos, d);
  Cabecera c;
  CabeceraDeLineas(LineasEtiqueta(lineas), c);
  imagen.datos = std::move(d);
  imagen.cabecera = std::move(c);
}

void CabeceraDeLineas(const std::vector<std::string>& lineas, Cabecera& cabecera) {
  for (const std::string& l : lineas) {
    std::string limpia;
    for (char c : l) limpia += c >= ' ' && c <= '~' ? c : ' ';
    size_t i = 0;
    do {
      cabecera.Anade("COMMENT " + limpia.substr(i, kTextoComentario));
      i += kTextoComentario;
    } while (i < limpia.size());
  }
}

}  // namespace orva
