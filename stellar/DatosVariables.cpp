// The star list of a variable-star image and its side data file entries.
#include "stellar/DatosVariables.h"

#include <algorithm>
#include <cstdio>

#include "core/Imagen.h"

namespace orva {

void ObjetoEstelar::AsignaFotometria(const ResultadoFotometria& r) {
  cielo = r.cielo;
  desvCielo = r.desvCielo;
  numPixeles = r.numPixeles;
  sumaBruta = r.sumaBruta;
  sumaLimpia = r.sumaLimpia;
  magnitud = r.magnitud;
}

void DatosVariables::Guarda(std::vector<std::pair<std::string, std::string>>& entradas) const {
  for (const ObjetoEstelar& e : estrellas_) {
    char b[512];
    std::snprintf(b, sizeof b, "(%.17g,%.17g,%.17g,%.17g,%d,%.17g,%.17g,%.17g,%d,", e.x, e.y,
                  e.cielo, e.desvCielo, e.numPixeles, e.sumaBruta, e.sumaLimpia, e.magnitud,
                  e.marca);
    entradas.emplace_back(kClaveEstrella, std::string(b) + e.nombre + ")");
  }
}

bool DatosVariables::Lee(std::string_view clave, std::string_view valor) {
  if (clave != kClaveEstrella) return false;
  if (valor.size() < 2 || valor.front() != '(' || valor.back() != ')') return true;
  // Nine numbers separated by commas, then the name up to the closing parenthesis.
  const std::string texto(valor.substr(1, valor.size() - 2));
  ObjetoEstelar e;
  int usados = 0;
  if (std::sscanf(texto.c_str(), "%lf,%lf,%lf,%lf,%d,%lf,%lf,%lf,%d,%n", &e.x, &e.y, &e.cielo,
                  &e.desvCielo, &e.numPixeles, &e.sumaBruta, &e.sumaLimpia, &e.magnitud, &e.marca,
                  &usados) != 9 ||
      usados <= 0) {
    return true;
  }
  e.nombre = texto.substr(static_cast<size_t>(usados));
  if (e.nombre.empty()) return true;
  Anade(std::move(e));
  return true;
}

bool DatosVariables::Anade(ObjetoEstelar estrella) {
  if (Busca(estrella.nombre)) return false;
  estrellas_.push_back(std::move(estrella));
  return true;
}

const ObjetoEstelar* DatosVariables::Busca(std::string_view nombre) const {
  for (const ObjetoEstelar& e : estrellas_) {
    if (e.nombre == nombre) return &e;
  }
  return nullptr;
}

bool DatosVariables::Borra(std::string_view nombre) {
  const auto it = std::find_if(estrellas_.begin(), estrellas_.end(),
                               [&](const ObjetoEstelar& e) { return e.nombre == nombre; });
  if (it == estrellas_.end()) return false;
  papeles_.erase(it->nombre);
  estrellas_.erase(it);
  return true;
}

DatosVariables& DatosVariablesDe(Imagen& imagen) {
  if (auto* d = dynamic_cast<DatosVariables*>(&imagen.Analisis())) return *d;
  imagen.CambiaAnalisis(std::make_unique<DatosVariables>());
  return static_cast<DatosVariables&>(imagen.Analisis());
}

const DatosVariables* DatosVariablesDe(const Imagen& imagen) {
  return dynamic_cast<const DatosVariables*>(&imagen.Analisis());
}

}  // namespace orva
