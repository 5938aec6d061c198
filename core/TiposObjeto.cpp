// The object-type table, its lookups, classes and mappings.
#include "core/TiposObjeto.h"

#include <strings.h>

#include "base/Cadenas.h"

namespace orva {

std::vector<RegistroTipoObjeto>& TablaTiposObjeto() {
  static std::vector<RegistroTipoObjeto> tabla = [] {
    struct Fila {
      const char* palabra;
      int cadena;
    };
    static constexpr Fila kFilas[kNumTiposObjeto] = {
        {"DESCONOCIDO", 11057},   {"SOL", 11130},           {"LUNA", 11058},
        {"MARTE", 11059},         {"JUPITER", 11060},       {"SATURNO", 11061},
        {"URANO", 11062},         {"NEPTUNO", 11063},       {"PLAN. MARTE", 11064},
        {"PLAN. JUPITER", 11065}, {"PLAN. SATURNO", 11066}, {"PLAN. URANO", 11067},
        {"PLAN. NEPTUNO", 11068}, {"PROY.POL.JUP", 11127},  {"PROY.POL.SAT", 11128},
        {"VOYAGER", 11069},       {"ESTELAR", 11070},       {"VARIABLE", 11071},
        {"DOBLE", 11072},         {"DARK", 11073},          {"BIAS", 11074},
        {"FLAT", 11075},          {"ESPCTRO", 11133},
    };
    std::vector<RegistroTipoObjeto> t;
    int contador = 0;  // ids are handed out in order, so they equal the positions
    for (const Fila& f : kFilas) t.push_back({contador++, f.cadena, f.palabra});
    return t;
  }();
  return tabla;
}

int TipoObjetoPorPalabra(std::string_view palabra) {
  for (const RegistroTipoObjeto& r : TablaTiposObjeto()) {
    const std::string_view p(r.palabra);
    if (p.size() == palabra.size() && strncasecmp(p.data(), palabra.data(), p.size()) == 0) {
      return r.id;
    }
  }
  return kDesconocido;
}

std::string PalabraTipoObjeto(int tipo) {
  if (tipo < 0 || tipo >= kNumTiposObjeto) return {};
  return TablaTiposObjeto()[tipo].palabra;
}

std::string NombreTipoObjeto(int tipo) {
  if (tipo < 0 || tipo >= kNumTiposObjeto) return {};
  return Cadena(TablaTiposObjeto()[tipo].idCadena);
}

int PosicionNombre(const std::vector<std::string>& nombres, std::string_view nombre) {
  for (size_t i = 0; i < nombres.size(); ++i) {
    if (nombres[i] == nombre) return static_cast<int>(i);
  }
  return -1;
}

bool EsDiscoPlaneta(int t) {
  return t >= kMarte && t <= kNeptuno;
}
bool EsPlanisferio(int t) {
  return t >= kPlanMarte && t <= kPlanNeptuno;
}
bool EsProyeccionPolar(int t) {
  return t == kProyPolJup || t == kProyPolSat;
}
bool EsEstelar(int t) {
  return t == kEstelar || t == kVariable || t == kDoble;
}
bool EsSol(int t) {
  return t == kSol;
}
bool EsEspectro(int t) {
  return t == kEspectro;
}

int DiscoAPlanisferio(int t) {
  switch (t) {
    case kMarte:
      return kPlanMarte;
    case kJupiter:
      return kPlanJupiter;
    case kSaturno:
      return kPlanSaturno;
    case kNeptuno:
      return kPlanUrano;
    case kUrano:
      return kPlanNeptuno;
    default:
      return kDesconocido;
  }
}

int PlanisferioADisco(int t) {
  switch (t) {
    case kPlanMarte:
      return kMarte;
    case kPlanJupiter:
      return kJupiter;
    case kPlanSaturno:
      return kSaturno;
    case kPlanUrano:
      return kNeptuno;
    case kPlanNeptuno:
      return kUrano;
    default:
      return kDesconocido;
  }
}

int DiscoAProyeccionPolar(int t) {
  if (t == kJupiter) return kProyPolJup;
  if (t == kSaturno) return kProyPolSat;
  return kDesconocido;
}

int ProyeccionPolarADisco(int t) {
  if (t == kProyPolJup) return kJupiter;
  if (t == kProyPolSat) return kSaturno;
  return kDesconocido;
}

}  // namespace orva
