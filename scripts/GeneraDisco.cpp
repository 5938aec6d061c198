// The sample generator of the planet's disc: a synthetic Jupiter with belts, zones and spots.
// Usage: orva-disco OUT (the type from the extension: .fits, .qor, ...)
// The geometry it prints is what the disc commands take.
#include <cstdio>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "planetary/DiscoSintetico.h"

int main(int argc, char** argv) {
  using namespace orva;
  if (argc != 2) {
    std::fprintf(stderr, "usage: orva-disco OUT\n");
    return 2;
  }
  try {
    DiscoSintetico d;
    d.ancho = d.alto = 320;
    d.geometria.cx = 160.3;
    d.geometria.cy = 158.6;
    d.geometria.radio = 130.0;
    d.geometria.achatamiento = 1.0 - 66854.0 / 71492.0;
    d.geometria.anguloPolo = 15.0;
    d.geometria.latTierra = 3.0;
    d.geometria.meridianoCentral = 120.0;
    d.brillo = 20000.0;
    d.k = 0.8;
    d.bandas = true;
    d.manchas = {{100.0, -22.0, 8.0, 0.5},
                 {140.0, 20.0, 3.0, 0.6},
                 {125.0, 45.0, 4.0, 0.4},
                 {80.0, 5.0, 3.0, 0.5},
                 {160.0, -40.0, 4.0, 0.5}};
    // The pole angle as the file will be shown (FITS: first row at the bottom).
    Imagen im;
    im.tipoArchivo = TipoPorExtension(argv[1]);
    d.geometria.filasArriba = MuestraFilaUnoAbajo(im);
    RenderizaDisco(d, im);
    im.datos.nombreObjeto = "Jupiter sintetico";
    im.CambiaTipoObjeto(kJupiter);
    GuardaArchivo(argv[1], im, TipoPorExtension(argv[1]));
    const GeometriaDisco& g = d.geometria;
    std::printf("%s: centre %.1f,%.1f radius %.1f --pole %.1f --de %.1f --cm %.1f\n", argv[1], g.cx,
                g.cy, g.radio, g.anguloPolo, g.latTierra, g.meridianoCentral);
  } catch (const JError& e) {
    std::fprintf(stderr, "orva: %d: %s\n", e.Id(), e.Mensaje().c_str());
    return 1;
  }
  return 0;
}
