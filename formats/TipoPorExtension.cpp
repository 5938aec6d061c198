// The type a file name's extension names: what writers use when no type is given.
#include <strings.h>

#include <filesystem>
#include <string_view>

#include "formats/TiposArchivo.h"

namespace orva {
namespace {

bool IgualSinCaso(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

int TipoPorExtension(const std::string& archivo) {
  const std::string ext = std::filesystem::path(archivo).extension().string();
  if (ext.size() < 2) return 0;
  if (IgualSinCaso(ext, ".fits") || IgualSinCaso(ext, ".fz")) return kFits;
  if (IgualSinCaso(ext, ".tiff")) return kTiff;
  for (const RegistroTipoArchivo& r : ListaTiposArchivo()) {
    std::string_view filtro = r.filtro;
    while (!filtro.empty()) {
      const size_t fin = filtro.find(';');
      std::string_view patron = filtro.substr(0, fin);
      if (patron.size() > 2 && patron.substr(0, 2) == "*." && patron != "*.*" &&
          IgualSinCaso(patron.substr(1), ext)) {
        return r.id;
      }
      filtro = fin == std::string_view::npos ? std::string_view{} : filtro.substr(fin + 1);
    }
  }
  return 0;
}

}  // namespace orva
