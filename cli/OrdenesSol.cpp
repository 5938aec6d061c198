// The subcommand sun: the solar disc, its limb-darkening profile and laws, the corona and Venus.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "base/JError.h"
#include "cli/Ordenes.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Visualizacion.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "formats/png/Png.h"
#include "solar/ModuloSol.h"
#include "solar/Sol.h"

namespace orva {
namespace {

// "X,Y" in pixels; a usage error otherwise.
std::pair<double, double> PuntoOpcion(const std::string& texto, const std::string& opcion) {
  const size_t coma = texto.find(',');
  char* fin1 = nullptr;
  char* fin2 = nullptr;
  const std::string sx = texto.substr(0, coma);
  const std::string sy = coma == std::string::npos ? "" : texto.substr(coma + 1);
  const double x = std::strtod(sx.c_str(), &fin1);
  const double y = std::strtod(sy.c_str(), &fin2);
  if (sx.empty() || sy.empty() || *fin1 != '\0' || *fin2 != '\0' || !std::isfinite(x) ||
      !std::isfinite(y)) {
    throw ErrorUso(opcion + " needs X,Y, not '" + texto + "'");
  }
  return {x, y};
}

}  // namespace

int OrdenSun(const Argumentos& args) {
  std::string archivo, csv, png;
  bool conVenus = false;
  std::optional<std::pair<double, double>> clicSol, clicVenus;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool conValor = a == "--csv" || a == "--png" || a == "--at" || a == "--venus-at";
    if (conValor && i + 1 >= args.size()) throw ErrorUso("option " + a + " needs a value");
    if (a == "--csv") {
      csv = args[++i];
    } else if (a == "--png") {
      png = args[++i];
    } else if (a == "--at") {
      clicSol = PuntoOpcion(args[++i], a);
    } else if (a == "--venus-at") {
      clicVenus = PuntoOpcion(args[++i], a);
      conVenus = true;
    } else if (a == "--venus") {
      conVenus = true;
    } else if (a.size() > 1 && a[0] == '-') {
      throw ErrorUso("unknown option " + a);
    } else if (archivo.empty()) {
      archivo = a;
    } else {
      throw ErrorUso("sun needs exactly one file");
    }
  }
  if (archivo.empty()) throw ErrorUso("sun needs exactly one file");
  Imagen im;
  LeeArchivo(archivo, im);
  if (im.Vacia()) throw JError(11143, archivo);
  const ParametrosSol p = LeeParametrosSol();
  ResultadoSol r;
  r.sol = BuscaDiscoSolar(im, p, clicSol);
  PerfilSolar(im, p, r);
  if (conVenus) {
    if (ProgresoActual().Cancelado()) throw JError(11011);
    r.venus = BuscaVenus(im, p, r, clicVenus);
    PerfilSolar(im, p, r, &r.venus->disco);
  }
  for (const std::string& l : LineasSol(r, p)) std::printf("%s\n", l.c_str());
  if (!csv.empty()) GuardaTablaSol(csv, r, p);
  if (!png.empty()) {
    const Vista vista{1.0, MuestraFilaUnoAbajo(im), im.Alto()};
    MapaRGB mapa = RenderizaImagen(im, vista);
    LienzoMapa lienzo(mapa, vista);
    PintaSol(r, p, lienzo);
    GuardaPng(png, mapa);
  }
  CompruebaSalida();
  return 0;
}

}  // namespace orva
