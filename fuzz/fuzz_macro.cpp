// Fuzz target: a few macro lines run on a small image, with the eight slots and every command
// of the system installed.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/JError.h"
#include "base/Memoria.h"
#include "core/Imagen.h"
#include "macro/Macro.h"
#include "shell/Arranque.h"

namespace {

constexpr uint64_t kPresupuesto = uint64_t{64} << 20;

// Size and pixels of every slot, to check that a refused line changed nothing.
using Foto = std::array<std::vector<int16_t>, 9>;
Foto Fotografia(const orva::Ranuras& r) {
  Foto f;
  for (int s = 1; s <= 8; ++s) {
    const orva::Imagen* im = r.En(s);
    if (!im) continue;
    f[static_cast<size_t>(s)] = im->Pixeles();
    f[static_cast<size_t>(s)].push_back(static_cast<int16_t>(im->Ancho()));
  }
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  // The sanitizers' allocation limit is far below the machine's memory: operations are held to
  // a small budget so that a large resize is refused (10100) instead of stopping the run.
  static const bool instalado =
      (orva::InstalaSistema(), orva::FijaLimiteMemoria(kPresupuesto), true);
  (void)instalado;
  // Lines are read up to 1023 characters; newlines split the input into a few lines run in turn.
  orva::Imagen imagen;
  imagen.CambiaPixeles(7, 5, {1, 2, 3, 4,     5,      6, 7, -1, -2, -3, -4, -5, -6, -7, 0, 0, 0, 0,
                              0, 0, 0, 32767, -32768, 9, 9, 9,  9,  9,  1,  1,  1,  1,  1, 1, 1});
  imagen.Actualiza();
  orva::Ranuras ranuras(imagen);
  std::string_view resto(reinterpret_cast<const char*>(datos), n > 4096 ? 4096 : n);
  int actual = 1;
  for (int i = 0; i < 8 && !resto.empty(); ++i) {
    const size_t fin = resto.find('\n');
    std::string_view linea = resto.substr(0, fin);
    resto = fin == std::string_view::npos ? std::string_view{} : resto.substr(fin + 1);
    if (linea.size() > 1023) linea = linea.substr(0, 1023);
    // LEER (the only command word beginning with L) would open any path the input names.
    if (!linea.empty() && linea[0] == 'L') continue;
    const Foto antes = Fotografia(ranuras);
    try {
      const int r = orva::EjecutaLineaConMotivo(ranuras, linea, actual);
      if (r < 1 || r > 8) __builtin_trap();
      actual = r;
    } catch (const orva::JError& e) {
      // A refused line, or an operation that failed, leaves every image as it was.
      if (Fotografia(ranuras) != antes) __builtin_trap();
      if (e.Mensaje().empty()) __builtin_trap();
    }
    if (ranuras.En(actual) == nullptr) __builtin_trap();
  }
  return 0;
}
