// Fuzz target: a reseau table of any text, then, when it reads, its correction of a small frame
// with every mark found where the table expects it.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "spacecraft/Reseau.h"

namespace {
constexpr long kLadoMaximo = 64;  // px: larger frames and object spaces are only parsed
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  try {
    const orva::RejillaReseau r =
        orva::LeeRejillaReseau(std::string_view(reinterpret_cast<const char*>(datos), n));
    const long ancho = r.ancho > 0 ? r.ancho : kLadoMaximo,
               alto = r.alto > 0 ? r.alto : kLadoMaximo;
    if (ancho > kLadoMaximo || alto > kLadoMaximo || r.anchoObjeto > kLadoMaximo ||
        r.altoObjeto > kLadoMaximo) {
      return 0;
    }
    orva::ImagenPixeles im;
    im.CambiaPixeles(static_cast<uint32_t>(ancho), static_cast<uint32_t>(alto),
                     std::vector<int16_t>(static_cast<size_t>(ancho * alto), 100));
    im.Actualiza();
    std::vector<orva::MarcaEncontrada> m(r.marcas.size());
    for (size_t i = 0; i < m.size(); ++i) {
      m[i] = {r.marcas[i].xNominal, r.marcas[i].yNominal, 20.0, true};
    }
    orva::ImagenPixeles salida;
    orva::CorrigeGeometria(im, r, m, {}, true, nullptr, salida);
    orva::BuscaMarcas(im, r, {}, nullptr);
  } catch (const orva::JError&) {
  }
  return 0;
}
