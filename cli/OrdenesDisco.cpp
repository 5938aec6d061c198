// The subcommands of the planet's disc: limb, lonlat, planisphere, polar and cut.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "cli/Ordenes.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"
#include "formats/DatosOrva.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "planetary/Disco.h"
#include "planetary/EfemerideDisco.h"
#include "planetary/ModuloPlanetas.h"

namespace orva {
namespace {

std::string Num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.3f", v);
  return b;
}

void Par(const std::string& texto, const std::string& que, double& x, double& y) {
  const size_t coma = texto.find(',');
  if (coma == std::string::npos) throw ErrorUso(que + " needs two numbers A,B");
  x = Numero(texto.substr(0, coma), que);
  y = Numero(texto.substr(coma + 1), que);
}

// The options every disc command shares, and the files.
struct Disco {
  std::vector<std::string> archivos;
  GeometriaDisco g;
  bool conCentro = false, conRadio = false, conPolo = false, conTierra = false, conMc = false;
  bool conAchatamiento = false, ajustaAngulo = false, sinAjuste = false;
  int sistema = kSistemaJupiterDefecto;
  int tipo = kDesconocido;
  OpcionesMapa mapa;
  std::vector<std::string> resto;  // command-specific options, with their values
};

Disco LeeOpciones(const Argumentos& args, const std::vector<std::string>& conValor,
                  const std::vector<std::string>& sinValor) {
  Disco d;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto valor = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw ErrorUso("option " + a + " needs a value");
      return args[++i];
    };
    if (a == "--centre") {
      Par(valor(), a, d.g.cx, d.g.cy);
      d.conCentro = true;
    } else if (a == "--radius") {
      d.g.radio = Numero(valor(), a);
      d.conRadio = true;
    } else if (a == "--flattening") {
      d.g.achatamiento = Numero(valor(), a);
      d.conAchatamiento = true;
    } else if (a == "--pole") {
      d.g.anguloPolo = Numero(valor(), a);
      d.conPolo = true;
    } else if (a == "--de") {
      d.g.latTierra = Numero(valor(), a);
      d.conTierra = true;
    } else if (a == "--cm") {
      d.g.meridianoCentral = Numero(valor(), a);
      d.conMc = true;
    } else if (a == "--sun") {
      Par(valor(), a, d.g.latSol, d.g.lonSol);
      d.g.conSol = true;
    } else if (a == "--body") {
      const std::string& b = valor();
      d.tipo = TipoObjetoPorPalabra(b);
      if (!EsDiscoPlaneta(d.tipo))
        throw ErrorUso("--body is MARTE, JUPITER, SATURNO, URANO or NEPTUNO");
    } else if (a == "--system") {
      const std::string& v = valor();
      if (v != "1" && v != "2" && v != "3") throw ErrorUso("--system is 1, 2 or 3 (Jupiter)");
      d.sistema = v[0] - '0';
    } else if (a == "--fit-angle") {
      d.ajustaAngulo = true;
    } else if (a == "--no-fit") {
      d.sinAjuste = true;
    } else if (a == "--minnaert") {
      d.mapa.minnaert = true;
      d.mapa.k = Numero(valor(), a);
    } else if (std::find(conValor.begin(), conValor.end(), a) != conValor.end()) {
      d.resto.push_back(a);
      d.resto.push_back(valor());
    } else if (std::find(sinValor.begin(), sinValor.end(), a) != sinValor.end()) {
      d.resto.push_back(a);
    } else if (a.size() > 1 && a[0] == '-' && !std::isdigit(static_cast<unsigned char>(a[1]))) {
      throw ErrorUso("unknown option " + a);
    } else {
      d.archivos.push_back(a);
    }
  }
  return d;
}

// Reads the image and completes the geometry: the body from the image or --body, the flattening
// from the body, the centre and radius by the limb fit unless given with --no-fit.
void Prepara(Disco& d, Imagen& im, AjusteLimbo* ajuste) {
  LeeArchivo(d.archivos[0], im);
  if (d.tipo != kDesconocido) {
    im.CambiaTipoObjeto(d.tipo);
  } else if (EsDiscoPlaneta(im.TipoObjeto())) {
    d.tipo = im.TipoObjeto();
  }
  if (!d.conAchatamiento) d.g.achatamiento = AchatamientoPlaneta(d.tipo);
  // Angles and sides as the image is shown.
  d.g.filasArriba = MuestraFilaUnoAbajo(im);
  // The orientation from the ephemeris of the image's date, time and observatory, unless the
  // options give all of it; each option given overrides the ephemeris's value.
  if (!d.conPolo || !d.conTierra || !d.conMc) {
    GeometriaDisco e = d.g;
    const auto o = OrientacionDeImagen(im.datos, d.tipo, d.sistema, e);
    if (!o) {
      if (!TieneDatoImagen(im.datos, "FECHAOBS")) throw JError(12482);
      if (!EsDiscoPlaneta(d.tipo)) throw JError(12485, "--body");
      throw JError(12485, !d.conPolo ? "--pole" : !d.conTierra ? "--de" : "--cm");
    }
    if (!d.conPolo) d.g.anguloPolo = e.anguloPolo;
    if (!d.conTierra) d.g.latTierra = e.latTierra;
    if (!d.conMc) d.g.meridianoCentral = e.meridianoCentral;
    if (!d.g.conSol) {
      d.g.latSol = e.latSol;
      d.g.lonSol = e.lonSol;
      d.g.conSol = true;
    }
    if (!d.conAchatamiento) d.g.achatamiento = e.achatamiento;
    std::fprintf(stderr, "%s\n",
                 Mensaje(o->topocentrica ? 12541 : 12540, Num(e.anguloPolo), Num(e.latTierra),
                         Num(e.meridianoCentral))
                     .c_str());
  }
  if (d.sinAjuste) {
    if (!d.conCentro || !d.conRadio) throw ErrorUso("--no-fit needs --centre and --radius");
    CompruebaGeometria(d.g);
    return;
  }
  if (!d.conCentro || !d.conRadio) EstimaDisco(im, d.g);
  OpcionesLimbo op;
  op.ajustaAngulo = d.ajustaAngulo;
  const AjusteLimbo a = AjustaLimbo(im, d.g, op);
  d.g = a.geometria;
  if (ajuste) *ajuste = a;
}

void ImprimeGeometria(const AjusteLimbo& a) {
  const GeometriaDisco& g = a.geometria;
  double ea, eb;
  SemiejesContorno(g, ea, eb);
  std::printf("centre %.3f %.3f\nradius %.3f %.3f\npole %.3f\nrms %.3f\npoints %d of %zu\n", g.cx,
              g.cy, ea, eb, g.anguloPolo, a.rms, a.usados, a.puntos.size());
}

std::string Opcion(const Disco& d, const std::string& nombre) {
  for (size_t i = 0; i + 1 < d.resto.size(); ++i) {
    if (d.resto[i] == nombre) return d.resto[i + 1];
  }
  return {};
}
bool Bandera(const Disco& d, const std::string& nombre) {
  return std::find(d.resto.begin(), d.resto.end(), nombre) != d.resto.end();
}

}  // namespace

int OrdenLimb(const Argumentos& args) {
  Disco d = LeeOpciones(args, {}, {"--points"});
  if (d.archivos.size() != 1) throw ErrorUso("limb needs exactly one file");
  Imagen im;
  AjusteLimbo a;
  d.sinAjuste = false;
  Prepara(d, im, &a);
  ImprimeGeometria(a);
  if (Bandera(d, "--points")) {
    for (const PuntoLimbo& p : a.puntos) {
      std::printf("%.3f %.3f %.3f%s\n", p.x, p.y, p.residuo, p.rechazado ? " rejected" : "");
    }
  }
  CompruebaSalida();
  return 0;
}

int OrdenLonLat(const Argumentos& args) {
  Disco d = LeeOpciones(args, {}, {"--csv", "--save"});
  if (d.archivos.size() < 2) throw ErrorUso("lonlat takes FILE X,Y...");
  Imagen im;
  Prepara(d, im, nullptr);
  const bool csv = Bandera(d, "--csv");
  // --save keeps the disc and the points on it as the image's measured features.
  DatosPlaneta* datos = Bandera(d, "--save") ? DatosPlanetaDe(im) : nullptr;
  if (Bandera(d, "--save") && !datos) throw ErrorUso("--save needs a planet image (--body)");
  if (datos) {
    datos->geometria = d.g;
    datos->conGeometria = true;
  }
  if (csv) std::printf("x,y,lon,lat\n");
  for (size_t i = 1; i < d.archivos.size(); ++i) {
    double x, y;
    Par(d.archivos[i], "a point", x, y);
    PuntoDisco p;
    if (!PixelALonLat(d.g, x, y, p)) {
      std::printf(csv ? "%.3f,%.3f,,\n" : "%.3f %.3f off the disc\n", x, y);
    } else {
      std::printf(csv ? "%.3f,%.3f,%.3f,%.3f\n" : "%.3f %.3f %.3f %.3f\n", x, y, p.lon, p.lat);
      if (datos) datos->detalles.push_back({x, y, p.lon, p.lat});
    }
  }
  if (datos) GuardaDatosOrva(im, d.archivos[0]);
  CompruebaSalida();
  return 0;
}

int OrdenFeatures(const Argumentos& args) {
  if (args.size() != 1 || (args[0].size() > 1 && args[0][0] == '-')) {
    throw ErrorUso("features needs exactly one file");
  }
  Imagen im;
  LeeArchivo(args[0], im);
  const DatosPlaneta* d = DatosPlanetaDe(im);
  if (!d) throw ErrorUso("features needs a planet image (its side data file gives the type)");
  std::fputs(CsvDetalles(*d).c_str(), stdout);
  CompruebaSalida();
  return 0;
}

int OrdenPlanisphere(const Argumentos& args) {
  Disco d = LeeOpciones(args, {"--res"}, {});
  if (d.archivos.size() != 2) throw ErrorUso("planisphere takes FILE OUT");
  if (!Opcion(d, "--res").empty()) d.mapa.resolucion = Numero(Opcion(d, "--res"), "--res");
  Imagen im, salida;
  Prepara(d, im, nullptr);
  Planisferio(im, d.g, d.mapa, salida, &ProgresoActual());
  GuardaArchivo(d.archivos[1], salida, TipoPorExtension(d.archivos[1]));
  return 0;
}

int OrdenPolar(const Argumentos& args) {
  Disco d = LeeOpciones(args, {"--size"}, {"--south", "--stereo"});
  if (d.archivos.size() != 2) throw ErrorUso("polar takes FILE OUT");
  if (!Opcion(d, "--size").empty()) {
    const double n = Numero(Opcion(d, "--size"), "--size");
    if (n < 1 || n > kLadoMaximoMapa || n != std::floor(n)) {
      throw ErrorUso("--size is 1.." + std::to_string(kLadoMaximoMapa));
    }
    d.mapa.lado = static_cast<int>(n);
  }
  d.mapa.sur = Bandera(d, "--south");
  d.mapa.estereografica = Bandera(d, "--stereo");
  Imagen im, salida;
  Prepara(d, im, nullptr);
  ProyeccionPolar(im, d.g, d.mapa, salida, &ProgresoActual());
  GuardaArchivo(d.archivos[1], salida, TipoPorExtension(d.archivos[1]));
  return 0;
}

int OrdenCut(const Argumentos& args) {
  Disco d = LeeOpciones(args, {}, {});
  if (d.archivos.size() != 2) throw ErrorUso("cut takes FILE meridian|equator|X1,Y1,X2,Y2");
  TipoCorte tipo = TipoCorte::kLinea;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  const std::string& que = d.archivos[1];
  if (que == "meridian") {
    tipo = TipoCorte::kMeridiano;
  } else if (que == "equator") {
    tipo = TipoCorte::kEcuador;
  } else {
    const size_t c = que.find(',', que.find(',') + 1);
    if (c == std::string::npos) throw ErrorUso("cut takes meridian, equator or X1,Y1,X2,Y2");
    Par(que.substr(0, c), "the line", x1, y1);
    Par(que.substr(c + 1), "the line", x2, y2);
  }
  Imagen im;
  Prepara(d, im, nullptr);
  const auto muestras = CorteFotometrico(im, d.g, tipo, d.mapa, x1, y1, x2, y2);
  std::fputs(CsvCorte(muestras).c_str(), stdout);
  CompruebaSalida();
  return 0;
}

}  // namespace orva
