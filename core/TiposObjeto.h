// Object types: what an image shows, with their keywords, display names, classes and mappings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orva {

class ModuloAnalisis;

enum TipoObjeto : int {
  kDesconocido = 0,
  kSol,
  kLuna,
  kMarte,
  kJupiter,
  kSaturno,
  kUrano,
  kNeptuno,
  kPlanMarte,
  kPlanJupiter,
  kPlanSaturno,
  kPlanUrano,
  kPlanNeptuno,
  kProyPolJup,
  kProyPolSat,
  kVoyager,
  kEstelar,
  kVariable,
  kDoble,
  kDark,
  kBias,
  kFlat,
  kEspectro,
};

constexpr int kNumTiposObjeto = 23;

struct RegistroTipoObjeto {
  int id;
  int idCadena;         // display name in the string table
  const char* palabra;  // keyword in files and macro lines
  ModuloAnalisis* modulo = nullptr;
};

// The process-wide table, in id order.
std::vector<RegistroTipoObjeto>& TablaTiposObjeto();

// Case-insensitive keyword lookup; an unknown keyword gives kDesconocido.
int TipoObjetoPorPalabra(std::string_view palabra);
// Keyword and display name of the type at a position ("" for a position outside the table).
std::string PalabraTipoObjeto(int tipo);
std::string NombreTipoObjeto(int tipo);
// Position of a display name in a list of names, -1 when absent.
int PosicionNombre(const std::vector<std::string>& nombres, std::string_view nombre);

bool EsDiscoPlaneta(int tipo);
bool EsPlanisferio(int tipo);
bool EsProyeccionPolar(int tipo);
bool EsEstelar(int tipo);  // ESTELAR, VARIABLE or DOBLE
bool EsSol(int tipo);
bool EsEspectro(int tipo);

// Mappings; kDesconocido outside their domain. Uranus and Neptune are crossed between disk and
// planisphere on purpose: planisphere files already written rely on that pairing.
int DiscoAPlanisferio(int tipo);
int PlanisferioADisco(int tipo);
int DiscoAProyeccionPolar(int tipo);
int ProyeccionPolarADisco(int tipo);

}  // namespace orva
