// The settings of the system: a table of section/key text values with defaults, read from and
// written to an INI file ("ORVA4.INI").
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/Ajustes.h"

namespace orva {

// One setting: section, key, current value, default value (all text).
struct EntradaConfig {
  std::string seccion;
  std::string clave;
  std::string valor;
  std::string defecto;
};

// Values computed from the settings after every read: the flags as integers, the initial
// object type (0 DESCONOCIDO when the keyword is unknown) and the planisphere margins
// (left, right, top, bottom) rounded to the nearest integer.
struct ValoresDerivados {
  int imgReal = 1;
  int leeDatOrva = 1;
  int guardaDatOrva = 1;
  int tipoAuto = 1;
  int tipoObjetoInicial = 0;
  int margenes[4] = {20, 20, 20, 20};
};

class Configuracion : public Ajustes {
 public:
  // The process-wide settings, holding the whole table at its defaults until read.
  static Configuracion& Global();

  Configuracion();

  // The value of section/key; empty when the setting does not exist.
  const std::string& Valor(std::string_view seccion, std::string_view clave) const override;
  // The value of the first setting with that key in table order (keys of the fixed table are
  // unique); empty when none.
  const std::string& Valor(std::string_view clave) const;
  // Whether section/key has a value of its own: one the last file read (or one read on top)
  // held, or one assigned since. A setting at its default because no file held it has none.
  bool Fijada(std::string_view seccion, std::string_view clave) const;
  // Sets a value; a setting not in the table is added to it (with an empty default).
  void Asigna(std::string_view seccion, std::string_view clave, std::string_view valor) override;
  // Adds a setting bound by a module or file type, with the value the last file read gave it
  // (else the default); an existing setting keeps its value and takes the new default.
  void Registra(std::string_view seccion, std::string_view clave,
                std::string_view defecto) override;
  // Whether section/key is a setting of the system: one of the fixed table, one bound by a
  // module or file type (Registra), or one the desktop keeps outside the table. A value merely
  // assigned or read from a file does not make a setting known.
  bool Conocida(std::string_view seccion, std::string_view clave) const;
  // The value read as C's atoi / atof do.
  int Entero(std::string_view clave) const override;
  double Real(std::string_view clave) const;

  const std::vector<EntradaConfig>& Entradas() const { return entradas_; }

  // Load and store hooks, each given the file name.
  void AnadeGanchos(Gancho lee, Gancho guarda) override;

  // Every value back to its default (tests, "new configuration"); the derived values follow.
  void RestableceDefectos();

  const ValoresDerivados& Derivados() const { return derivados_; }
  // Recomputes the derived values from the current settings and sets the process-wide pixel
  // range (core/Rango.h) from VALORMIN, VALORMAX and VALORDEF. Called after every read; call it
  // after changing those settings by hand.
  void ActualizaDerivados();

 private:
  friend void LeeConfiguracion(Configuracion& config, const std::string& archivo);
  friend void GuardaConfiguracion(const Configuracion& config, const std::string& archivo);
// Writes one setting into the file in place, the same safe way, leaving every other line as it
// is (a missing file is created holding only that setting). No hook is called.
void GuardaAjuste(const std::string& archivo, std::string_view seccion, std::string_view clave,
                  std::string_view valor);
  friend void ArrancaConfiguracion(Configuracion& config, const std::string& archivo,
                                   std::string_view version);
  friend void LeeConfiguracionEncima(Configuracion& config, const std::string& archivo);
  // Sets every entry from the file's values; a missing key takes its default, or keeps its
  // current value when sobreActuales is set.
  void LeeValores(const std::string& archivo, bool sobreActuales);

  std::vector<EntradaConfig> entradas_;
  std::vector<std::pair<Gancho, Gancho>> ganchos_;
  ValoresDerivados derivados_;
  // Every section/key value of the last file read (lower-case "section\nkey"), so a setting
  // registered later by a module takes its value from the file.
  std::map<std::string, std::string> leidos_;
  // The settings bound by Registra (lower-case "section\nkey").
  std::set<std::string> registradas_;
  // The settings assigned since the last full read (lower-case "section\nkey").
  std::set<std::string> asignadas_;
};

// Reads every setting from the file (missing ones take their defaults), computes the derived
// values, then calls every load hook. A missing or unreadable file gives the defaults.
void LeeConfiguracion(const std::string& archivo);
void LeeConfiguracion(Configuracion& config, const std::string& archivo);
// Writes every setting into the file in place (unknown sections and keys survive), through a
// temporary file renamed over the old one, then calls every store hook. A failure raises JError
// 12091 or 10127 and leaves the old file as it was.
void GuardaConfiguracion(const std::string& archivo);
void GuardaConfiguracion(const Configuracion& config, const std::string& archivo);
// Writes one setting into the file in place, the same safe way, leaving every other line as it
// is (a missing file is created holding only that setting). No hook is called.
void GuardaAjuste(const std::string& archivo, std::string_view seccion, std::string_view clave,
                  std::string_view valor);
// Start-up read: reads the file, then, when VERSION differs from the program's version, lays the
// older "ORVA2.INI" of the same folder over it (program version "4.0.2.1" only) and sets VERSION
// to the program's version.
void ArrancaConfiguracion(const std::string& archivo);
void ArrancaConfiguracion(Configuracion& config, const std::string& archivo,
                          std::string_view version);
// Reads a further file on top of the values already held (the command line's "/C=" and
// --config): the keys it holds replace the current values, the others keep theirs; then the
// derived values and the load hooks. A missing file changes nothing.
void LeeConfiguracionEncima(const std::string& archivo);
void LeeConfiguracionEncima(Configuracion& config, const std::string& archivo);
// The default location: $XDG_CONFIG_HOME/orva/ORVA4.INI, else ~/.config/orva/ORVA4.INI.
std::string ArchivoConfiguracion();

}  // namespace orva
