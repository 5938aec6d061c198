// The subcommand render: an image as the desktop displays it, written as PNG.
#include <cmath>
#include <cstdlib>
#include <string>

#include "cli/Ordenes.h"
#include "core/Imagen.h"
#include "core/JError.h"
#include "core/ModuloAnalisis.h"
#include "core/Visualizacion.h"
#include "formats/TiposArchivo.h"
#include "formats/png/Png.h"

namespace orva {

// render IN OUT.png [--zoom N] [--marks]: N is the zoom factor (2 shows 2:1, 0.5 shows 1:2);
// --marks draws the analysis overlay of the image's module.
int OrdenRender(const Argumentos& args) {
  std::string entrada, salida;
  double zoom = 1.0;
  bool marcas = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--zoom") {
      if (i + 1 >= args.size()) throw ErrorUso("--zoom needs a factor");
      char* fin = nullptr;
      zoom = std::strtod(args[++i].c_str(), &fin);
      if (*fin != '\0' || !(zoom >= 1.0 / 64 && zoom <= 64)) {
        throw ErrorUso("--zoom must be a factor from 1/64 to 64, not '" + args[i] + "'");
      }
    } else if (a == "--marks") {
      marcas = true;
    } else if (!a.empty() && a[0] == '-' && a.size() > 1) {
      throw ErrorUso("unknown option " + a);
    } else if (entrada.empty()) {
      entrada = a;
    } else if (salida.empty()) {
      salida = a;
    } else {
      throw ErrorUso("render takes IN OUT.png");
    }
  }
  if (salida.empty()) throw ErrorUso("render takes IN OUT.png");
  Imagen im;
  LeeArchivo(entrada, im);
  if (im.Vacia()) throw JError(11143, entrada);
  MapaRGB mapa = RenderizaImagen(im, zoom);
  if (marcas) {
    LienzoMapa lienzo(mapa, zoom);
    PintarImagen(im, lienzo);
  }
  GuardaPng(salida, mapa);
  return 0;
}

}  // namespace orva
