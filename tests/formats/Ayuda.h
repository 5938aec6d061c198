// Helpers of the file-format tests: a scratch folder, raw file contents and error ids.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/JError.h"

namespace orva::prueba {

// A fresh folder removed with everything in it.
class Carpeta {
 public:
  Carpeta() {
    std::string plantilla = (std::filesystem::temp_directory_path() / "orva_formats_XXXXXX");
    ruta_ = mkdtemp(plantilla.data());
  }
  ~Carpeta() {
    std::error_code ec;
    std::filesystem::permissions(ruta_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(ruta_, ec);
  }
  std::string operator/(const std::string& nombre) const { return ruta_ + "/" + nombre; }
  const std::string& Ruta() const { return ruta_; }

 private:
  std::string ruta_;
};

inline void Escribe(const std::string& archivo, const std::string& bytes) {
  std::ofstream f(archivo, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string Lee(const std::string& archivo) {
  std::ifstream f(archivo, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// The id of the JError the call raises; 0 when it raises none.
template <class F>
int IdError(F&& f) {
  try {
    f();
  } catch (const JError& e) {
    return e.Id();
  }
  return 0;
}

}  // namespace orva::prueba
