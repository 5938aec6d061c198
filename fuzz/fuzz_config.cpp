// Fuzz target: the configuration reader on any file, then the in-place writer over it.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/JError.h"
#include "shell/Configuracion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  static const std::string dir = [] {
    char plantilla[] = "/tmp/orva-fuzz-config-XXXXXX";
    const char* d = mkdtemp(plantilla);
    return std::string(d ? d : "/tmp");
  }();
  const std::string archivo = dir + "/ORVA4.INI";
  if (FILE* f = std::fopen(archivo.c_str(), "wb")) {
    std::fwrite(datos, 1, n, f);
    std::fclose(f);
  }
  orva::Configuracion config;
  orva::LeeConfiguracion(config, archivo);
  try {
    // Writing keeps the file's unknown lines; reading the result gives the same values.
    orva::GuardaConfiguracion(config, archivo);
    orva::Configuracion otra;
    orva::LeeConfiguracion(otra, archivo);
    for (size_t i = 0; i < config.Entradas().size() && i < otra.Entradas().size(); ++i) {
      if (config.Entradas()[i].valor != otra.Entradas()[i].valor) __builtin_trap();
    }
  } catch (const orva::JError&) {
  }
  return 0;
}
