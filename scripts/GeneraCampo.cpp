// The sample generator: writes the synthetic star field as a QOR file.
// Usage: orva-campo OUT.qor [WIDTH HEIGHT [SEED [STARS]]]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "formats/qor/Qor.h"
#include "scripts/CampoEstelar.h"

int main(int argc, char** argv) {
  using namespace orva;
  if (argc < 2 || argc > 6) {
    std::fprintf(stderr, "usage: orva-campo OUT.qor [WIDTH HEIGHT [SEED [STARS]]]\n");
    return 2;
  }
  const long ancho = argc > 3 ? std::atol(argv[2]) : 512;
  const long alto = argc > 3 ? std::atol(argv[3]) : 512;
  const unsigned long long semilla = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1987;
  const int estrellas = argc > 5 ? std::atoi(argv[5]) : static_cast<int>(ancho * alto / 1500);
  if (ancho < 1 || alto < 1 || ancho > 16384 || alto > 16384 || estrellas < 0) {
    std::fprintf(stderr, "orva-campo: sizes 1..16384 and a star count >= 0, please\n");
    return 2;
  }
  try {
    ImagenObservacion im;
    im.CambiaPixeles(static_cast<uint32_t>(ancho), static_cast<uint32_t>(alto),
                     GeneraCampoEstelar(static_cast<uint32_t>(ancho), static_cast<uint32_t>(alto),
                                        semilla, estrellas));
    im.datos.nombreObjeto = "Campo sintetico";
    im.datos.tipoObjeto = kVariable;
    im.datos.filtro = "V";
    im.datos.tiempoExp = 60.0;
    im.datos.fechaHora = FechaHora(Fecha(1, 1, 2026), Hora(22, 0, 0));
    im.datos.comentario = "Campo estelar sintetico, semilla " + std::to_string(semilla) + ", " +
                          std::to_string(estrellas) + " estrellas";
    GuardaQor(argv[1], im, "DIFDEFLAT");
    std::printf("%s: %ld x %ld, %d stars, seed %llu\n", argv[1], ancho, alto, estrellas, semilla);
  } catch (const JError& e) {
    std::fprintf(stderr, "orva: %d: %s\n", e.Id(), e.Mensaje().c_str());
    return 1;
  }
  return 0;
}
