// The subcommands stars, phot and double: star detection, photometry at a point and the
// measurement of a double star on an image file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analyses/Dobles.h"
#include "base/Cadenas.h"
#include "cli/Ordenes.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"
#include "formats/DatosOrva.h"
#include "formats/TiposArchivo.h"
#include "stellar/BuscaEstrellas.h"
#include "stellar/Centroide.h"
#include "stellar/DatosVariables.h"
#include "stellar/EstadoMedida.h"
#include "stellar/Fotometria.h"

namespace orva {
namespace {

// "X,Y".
void Par(const std::string& texto, const char* que, double& x, double& y) {
  const size_t coma = texto.find(',');
  if (coma == std::string::npos) throw ErrorUso(std::string(que) + " needs X,Y");
  x = Numero(texto.substr(0, coma), que);
  y = Numero(texto.substr(coma + 1), que);
}

std::string Json(const std::string& s) {
  std::string r = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      r += '\\';
      r += static_cast<char>(c);
    } else if (c < 0x20) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", c);
      r += b;
    } else {
      r += static_cast<char>(c);
    }
  }
  return r + "\"";
}

// Sends the search log to stderr, and everything else to the program's progress object.
class ProgresoConLog : public Progreso {
 public:
  explicit ProgresoConLog(Progreso& base) : base_(base) {}
  int Abrir(const std::string& t) override { return base_.Abrir(t); }
  int Cerrar() override { return base_.Cerrar(); }
  void TextoArchivo(const std::string& t) override { base_.TextoArchivo(t); }
  void TextoProceso(const std::string& t) override { base_.TextoProceso(t); }
  int Cancelado() override { return base_.Cancelado(); }
  void AnadirLinea(const std::string& t) override { std::fputs(t.c_str(), stderr); }

 private:
  Progreso& base_;
};

}  // namespace

int OrdenStars(const Argumentos& args) {
  std::string archivo;
  MetodoBusqueda metodo = MetodoBusqueda::kPCVista;
  bool borrar = false, log = false, csv = false, json = false, guardar = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--method") {
      if (i + 1 >= args.size()) throw ErrorUso("option --method needs a value");
      const std::string& m = args[++i];
      if (m == "pcvista") {
        metodo = MetodoBusqueda::kPCVista;
      } else if (m == "tass") {
        metodo = MetodoBusqueda::kTASS;
      } else {
        throw ErrorUso("--method is pcvista or tass, not '" + m + "'");
      }
    } else if (a == "--clear") {
      borrar = true;
    } else if (a == "--log") {
      log = true;
    } else if (a == "--csv") {
      csv = true;
    } else if (a == "--json") {
      json = true;
    } else if (a == "--save") {
      guardar = true;
    } else if (a.size() > 1 && a[0] == '-') {
      throw ErrorUso("unknown option " + a);
    } else if (archivo.empty()) {
      archivo = a;
    } else {
      throw ErrorUso("stars needs exactly one file");
    }
  }
  if (archivo.empty()) throw ErrorUso("stars needs exactly one file");
  if (csv && json) throw ErrorUso("--csv and --json exclude each other");

  Imagen im;
  LeeArchivo(archivo, im);
  // A variable-star image keeps the stars its side data file gave it.
  if (im.TipoObjeto() != kVariable) im.CambiaTipoObjeto(kVariable);
  if (log) {
    ProgresoConLog p(ProgresoActual());
    BuscaEstrellas(im, metodo, borrar, p);
  } else {
    ProgresoSilencioso p;
    BuscaEstrellas(im, metodo, borrar, p);
  }

  // --save keeps the type and the star list in the image's side data file.
  if (guardar) GuardaDatosOrva(im, archivo);

  const auto& estrellas = DatosVariablesDe(im).Estrellas();
  const ParametrosFotometria param = LeeParametrosFotometria();
  if (json) {
    std::string s = "[";
    for (size_t i = 0; i < estrellas.size(); ++i) {
      const ObjetoEstelar& e = estrellas[i];
      char b[512];
      std::snprintf(b, sizeof b,
                    "{\"name\": %s, \"x\": %.3f, \"y\": %.3f, \"sky\": %.3f, \"skydev\": %.3f, "
                    "\"npix\": %d, \"rawsum\": %.1f, \"cleansum\": %.1f, \"mag\": %.3f, "
                    "\"status\": \"%s\"}",
                    Json(e.nombre).c_str(), e.x, e.y, e.cielo, e.desvCielo, e.numPixeles,
                    e.sumaBruta, e.sumaLimpia, e.magnitud,
                    EstadoMedidaEstrella(im, e, param).palabra);
      s += (i ? ", " : "") + std::string(b);
    }
    std::printf("%s]\n", s.c_str());
    return 0;
  }
  const char sep = csv ? ',' : ' ';
  if (csv) std::printf("name,x,y,sky,skydev,npix,rawsum,cleansum,mag,status\n");
  for (const ObjetoEstelar& e : estrellas) {
    std::printf("%s%c%.3f%c%.3f%c%.3f%c%.3f%c%d%c%.1f%c%.1f%c%.3f", e.nombre.c_str(), sep, e.x, sep,
                e.y, sep, e.cielo, sep, e.desvCielo, sep, e.numPixeles, sep, e.sumaBruta, sep,
                e.sumaLimpia, sep, e.magnitud);
    // The plain table keeps its nine columns; CSV gets the state of each measurement.
    if (csv) std::printf(",%s", EstadoMedidaEstrella(im, e, param).palabra);
    std::printf("\n");
  }
  return 0;
}

int OrdenPhot(const Argumentos& args) {
  if (args.size() != 3) throw ErrorUso("phot needs FILE X Y");
  const double x = Numero(args[1], "X"), y = Numero(args[2], "Y");
  Imagen im;
  LeeArchivo(args[0], im);
  const ParametrosFotometria p = LeeParametrosFotometria();
  const ResultadoFotometria r = MideEstrella(im, x, y, p);
  const EstadoMedida e = EstadoMedidaEn(im, x, y, p, r);
  std::printf("%.3f %.3f %d %.1f %.1f %.3f %s\n", r.cielo, r.desvCielo, r.numPixeles, r.sumaBruta,
              r.sumaLimpia, r.magnitud, e.palabra);
  if (e.Bien()) return 0;
  CompruebaSalida();  // the row before the reason
  ImprimeError(e.id, Mensaje(e.id, e.arg1, e.arg2));
  return 1;
}

int OrdenDouble(const Argumentos& args) {
  std::string archivo;
  bool hayA = false, hayB = false;
  double ax = 0, ay = 0, bx = 0, by = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--a" || a == "--b") {
      if (i + 1 >= args.size()) throw ErrorUso("option " + a + " needs X,Y");
      if (a == "--a") {
        Par(args[++i], "--a", ax, ay);
        hayA = true;
      } else {
        Par(args[++i], "--b", bx, by);
        hayB = true;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      throw ErrorUso("unknown option " + a);
    } else if (archivo.empty()) {
      archivo = a;
    } else {
      throw ErrorUso("double needs exactly one file");
    }
  }
  if (archivo.empty() || !hayA || !hayB) throw ErrorUso("double needs FILE --a X,Y --b X,Y");
  Imagen im;
  LeeArchivo(archivo, im);
  const ParametrosCentroide p = LeeParametrosCentroide();
  const ResultadoCentroide a = CentroideEstrella(im, ax, ay, p);
  const ResultadoCentroide b = CentroideEstrella(im, bx, by, p);
  std::printf("A (%.2f,%.2f)\nB (%.2f,%.2f)\nAP %.2f\nDIST %.2f\n", a.x, a.y, b.x, b.y,
              AnguloPosicion(a.x, a.y, b.x, b.y), std::hypot(b.x - a.x, b.y - a.y));
  return 0;
}

}  // namespace orva
