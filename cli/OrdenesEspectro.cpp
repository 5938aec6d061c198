// The subcommand spectrum: a spectrum extracted from an image file, its lines and its
// wavelength calibration.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/EscrituraSegura.h"
#include "cli/Ordenes.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "spectra/ModuloEspectros.h"

namespace orva {
namespace {

// Splits at a separator.
std::vector<std::string> Divide(const std::string& s, char separador) {
  std::vector<std::string> r;
  size_t desde = 0;
  for (;;) {
    const size_t p = s.find(separador, desde);
    r.push_back(s.substr(desde, p == std::string::npos ? std::string::npos : p - desde));
    if (p == std::string::npos) return r;
    desde = p + 1;
  }
}

std::string Num(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.6f", v);
  return b;
}

}  // namespace

int OrdenSpectrum(const Argumentos& args) {
  std::string archivo, csv;
  bool linea = false, lineas = false;
  DatosEspectro d;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto valor = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw ErrorUso("option " + a + " needs a value");
      return args[++i];
    };
    if (a == "--line") {
      const std::vector<std::string> c = Divide(valor(), ',');
      if (c.size() != 4) throw ErrorUso("--line needs X1,Y1,X2,Y2");
      d.banda.x1 = Numero(c[0], "--line");
      d.banda.y1 = Numero(c[1], "--line");
      d.banda.x2 = Numero(c[2], "--line");
      d.banda.y2 = Numero(c[3], "--line");
      linea = true;
    } else if (a == "--width") {
      d.banda.ancho = static_cast<int>(Entero(valor(), "--width", 1, kAnchoBandaMaximo));
    } else if (a == "--sky") {
      d.banda.distanciaCielo = Numero(valor(), "--sky");
      if (d.banda.distanciaCielo < 0) throw ErrorUso("--sky must not be negative");
    } else if (a == "--csv") {
      csv = valor();
    } else if (a == "--lines") {
      lineas = true;
    } else if (a == "--calib") {
      for (const std::string& par : Divide(valor(), ',')) {
        const std::vector<std::string> pw = Divide(par, ':');
        if (pw.size() != 2) throw ErrorUso("--calib needs PX:WL pairs, not '" + par + "'");
        d.puntos.push_back({Numero(pw[0], "--calib"), Numero(pw[1], "--calib")});
      }
    } else if (a == "--degree") {
      d.grado = static_cast<int>(Entero(valor(), "--degree", 1, kGradoMaximoCalibracion));
    } else if (a.size() > 1 && a[0] == '-') {
      throw ErrorUso("unknown option " + a);
    } else if (archivo.empty()) {
      archivo = a;
    } else {
      throw ErrorUso("spectrum needs exactly one file");
    }
  }
  if (archivo.empty()) throw ErrorUso("spectrum needs exactly one file");

  Imagen im;
  LeeArchivo(archivo, im);
  d.inicioDefinido = d.finalDefinido = linea;
  MideEspectro(im, d, LeeAjustesContinuo(), ProgresoActual());

  if (!csv.empty()) EscribeArchivoSeguro(csv, TablaEspectro(d.flujo, d.continuo, d.calibracion));
  if (lineas) std::fputs(TablaLineas(d.lineas, d.calibracion).c_str(), stdout);
  const Calibracion& c = d.calibracion;
  if (!c.Vacia()) {
    std::string s = "calibration degree " + std::to_string(c.coeficientes.size() - 1) + " rms " +
                    Num(c.rms) + "\ncoefficients";
    for (double k : c.coeficientes) {
      char b[64];
      std::snprintf(b, sizeof b, " %.12g", k);
      s += b;
    }
    s += "\npixel,wavelength,residual,residual_px\n";
    for (size_t i = 0; i < c.pixeles.size(); ++i) {
      s += Num(c.pixeles[i]) + "," + Num(c.longitudes[i]) + "," + Num(c.residuos[i]) + "," +
           Num(c.residuosPixel[i]) + "\n";
    }
    std::fputs(s.c_str(), stdout);
  }
  if (csv.empty() && !lineas && c.Vacia()) {
    std::fputs(TablaEspectro(d.flujo, d.continuo, d.calibracion).c_str(), stdout);
  }
  CompruebaSalida();
  return 0;
}

}  // namespace orva
