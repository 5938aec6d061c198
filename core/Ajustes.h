// The settings as the library's layers see them: section/key text values with defaults. The
// shell's configuration (the INI file) provides the process-wide table; the layers below it
// read, register and assign through this interface only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace orva {

class Ajustes {
 public:
  virtual ~Ajustes() = default;
  // The value of section/key; empty when the setting does not exist.
  virtual const std::string& Valor(std::string_view seccion, std::string_view clave) const = 0;
  // The value of the first setting with that key, read as C's atoi does.
  virtual int Entero(std::string_view clave) const = 0;
  // Sets a value; a setting not in the table is added to it.
  virtual void Asigna(std::string_view seccion, std::string_view clave, std::string_view valor) = 0;
  // Adds a setting with its default (an existing one keeps its value and takes the default).
  virtual void Registra(std::string_view seccion, std::string_view clave,
                        std::string_view defecto) = 0;
  // Load and store hooks, each given the file name, called after the table is read or before
  // it is written.
  using Gancho = std::function<void(const std::string& archivo)>;
  virtual void AnadeGanchos(Gancho lee, Gancho guarda) = 0;
};

// The process-wide settings: those of the installed source, else a plain table holding only
// what was registered or assigned (a program built on the lower layers alone).
Ajustes& AjustesActuales();
// Installs the function that gives the process-wide settings (the shell does, before main).
void InstalaFuenteAjustes(Ajustes& (*fuente)());

}  // namespace orva
