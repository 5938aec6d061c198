// The settings of the system: a table of section/key text values with defaults, read from and
// written to an INI file ("ORVA4.INI").
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// One setting: section, key, current value, default value (all text).
struct EntradaConfig {
  std::string seccion;
  std::string clave;
  std::string valor;
  std::string defecto;
};

class Configuracion {
 public:
  // The process-wide settings, holding the whole table at its defaults until read.
  static Configuracion& Global();

  Configuracion();

  // The value of section/key; empty when the setting does not exist.
  const std::string& Valor(std::string_view seccion, std::string_view clave) const;
  // The value of the first setting with that key in table order (keys of the fixed table are
  // unique); empty when none.
  const std::string& Valor(std::string_view clave) const;
  // Sets a value; a setting not in the table is added to it (with an empty default).
  void Asigna(std::string_view seccion, std::string_view clave, std::string_view valor);
  // Adds a setting bound by a module or file type; keeps the value when it already exists.
  void Registra(std::string_view seccion, std::string_view clave, std::string_view defecto);
  // The value read as C's atoi / atof do.
  int Entero(std::string_view clave) const;
  double Real(std::string_view clave) const;

  const std::vector<EntradaConfig>& Entradas() const { return entradas_; }

  // Load and store hooks, each given the file name.
  using Gancho = std::function<void(const std::string& archivo)>;
  void AnadeGanchos(Gancho lee, Gancho guarda);

  // Every value back to its default (tests, "new configuration").
  void RestableceDefectos();

 private:
  friend void LeeConfiguracion(const std::string& archivo);
  friend void GuardaConfiguracion(const std::string& archivo);
  std::vector<EntradaConfig> entradas_;
  std::vector<std::pair<Gancho, Gancho>> ganchos_;
};

// Reads every setting from the file (missing ones take their defaults), computes the derived
// values, then calls every load hook.
void LeeConfiguracion(const std::string& archivo);
// Writes every setting into the file in place (unknown sections and keys survive), through a
// temporary file renamed over the old one, then calls every store hook.
void GuardaConfiguracion(const std::string& archivo);
// The default location: $XDG_CONFIG_HOME/orva/ORVA4.INI, else ~/.config/orva/ORVA4.INI.
std::string ArchivoConfiguracion();

}  // namespace orva
