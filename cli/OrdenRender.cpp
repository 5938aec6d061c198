// The subcommand render: an image as the desktop displays it, written as PNG.
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/JError.h"
#include "cli/Ordenes.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/Niveles.h"
#include "core/Visualizacion.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "formats/png/Png.h"

namespace orva {

// render IN OUT.png [--zoom N] [--marks] [--levels minmax|percentile LO HI|zscale]: N is the
// zoom factor (2 shows 2:1, 0.5 shows 1:2); --marks draws the analysis overlay of the image's
// module; --levels sets black and white from the pixels instead of CONTNEGRO / CONTBLANCO.
// FITS images come out with their first row at the bottom, as the desktop shows them.
int OrdenRender(const Argumentos& args) {
  std::string entrada, salida;
  double zoom = 1.0;
  bool marcas = false;
  bool conNiveles = false;
  EleccionNiveles niveles;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--zoom") {
      if (i + 1 >= args.size()) throw ErrorUso("--zoom needs a factor");
      char* fin = nullptr;
      zoom = std::strtod(args[++i].c_str(), &fin);
      if (*fin != '\0' || !(zoom >= 1.0 / 64 && zoom <= 64)) {
        throw ErrorUso("--zoom must be a factor from 1/64 to 64, not '" + args[i] + "'");
      }
    } else if (a == "--levels") {
      const size_t usadas = LeeEleccionNiveles(args, i + 1, niveles);
      if (usadas == 0) {
        throw ErrorUso("--levels takes minmax, percentile LO HI (0 <= LO < HI <= 100) or zscale");
      }
      conNiveles = true;
      i += usadas;
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
  if (conNiveles && !im.esPaleta) {
    const Niveles n = CalculaNiveles(im, niveles);
    im.FijaNiveles(n.negro, n.blanco);
  }
  const Vista vista{zoom, MuestraFilaUnoAbajo(im), im.Alto()};
  MapaRGB mapa = RenderizaImagen(im, vista);
  if (marcas) {
    LienzoMapa lienzo(mapa, vista);
    PintarImagen(im, lienzo);
  }
  GuardaPng(salida, mapa);
  return 0;
}

}  // namespace orva
