// ST4 reader, header reader and writer.
#include "formats/st4/St4.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/Archivo.h"
#include "formats/TiposArchivo.h"

namespace orva {
namespace {

constexpr size_t kPixeles = size_t{kAnchoSt4} * kAltoSt4;
constexpr size_t kLargoArchivo = kPixeles + kAnchoSt4;  // with the text line
constexpr int kValorMaximo = 255;
constexpr double kMmPorPulgada = 25.4;
constexpr double kMilisegundosPorSegundo = 1000.0;

// The fields of the text line: offset and length.
struct Campo {
  size_t inicio, largo;
};
constexpr Campo kNota{0, 80};
constexpr Campo kExposicion{80, 10};
constexpr Campo kFocal{90, 10};
constexpr Campo kApertura{100, 10};
constexpr Campo kCalibracion{110, 10};
// Bytes 120..191: free text, written blank.

// The printable text of a field without surrounding blanks.
std::string TextoCampo(std::string_view linea, Campo c) {
  std::string t;
  for (char ch : linea.substr(c.inicio, c.largo)) t += ch >= ' ' && ch <= '~' ? ch : ' ';
  const size_t i = t.find_first_not_of(' ');
  if (i == std::string::npos) return {};
  return t.substr(i, t.find_last_not_of(' ') - i + 1);
}

bool NumeroCampo(std::string_view linea, Campo c, double& v) {
  const std::string t = TextoCampo(linea, c);
  if (t.empty()) return false;
  char* fin = nullptr;
  v = std::strtod(t.c_str(), &fin);
  return fin && *fin == '\0' && std::isfinite(v) && v >= 0.0 && v < 1e9;
}

DatosImagen Datos(std::string_view linea, int tipoObjeto) {
  DatosImagen d;
  d.tipoObjeto = tipoObjeto;
  d.comentario = TextoCampo(linea, kNota);
  d.factorResp = TextoCampo(linea, kCalibracion);
  double v = 0.0;
  if (NumeroCampo(linea, kExposicion, v)) {
    d.tiempoExp = v / kMilisegundosPorSegundo;
    d.conValor.insert("TIEMPOEXP");
  }
  if (NumeroCampo(linea, kFocal, v)) {
    d.observatorio.distFocal = static_cast<int32_t>(std::lround(v * kMmPorPulgada));
    d.conValor.insert("DISTFOCAL");
  }
  if (NumeroCampo(linea, kApertura, v)) {
    d.observatorio.apertura = static_cast<int32_t>(std::lround(v * kMmPorPulgada));
    d.conValor.insert("APERTURA");
  }
  return d;
}

void Lee(const std::string& archivo, ImagenObservacion& imagen, bool conPixeles) {
  CompruebaTipoArchivo(archivo, kST4);  // 11019
  Archivo f(archivo, Archivo::kLectura);
  std::vector<unsigned char> b(kLargoArchivo);
  f.Lee(b.data(), b.size());  // 10126 when short
  const std::string_view linea(reinterpret_cast<const char*>(b.data()) + kPixeles, kAnchoSt4);
  if (conPixeles) {
    imagen.CambiaPixeles(kAnchoSt4, kAltoSt4, std::vector<int16_t>(b.begin(), b.begin() + kPixeles));
  } else {
    imagen.DimensionaImagen(kAnchoSt4, kAltoSt4);
  }
  imagen.datos = Datos(linea, imagen.datos.tipoObjeto);
  imagen.mapeo = MapeoValores{};
  imagen.bitsPixel = 8;
  imagen.esPaleta = 0;
  imagen.offsetX = 0;
  imagen.offsetY = 0;
}

// Text left-aligned and cut to the field; a number right-aligned, left blank when it does not
// fit (a cut number would read as another one).
void PonCampo(std::string& linea, Campo c, const std::string& t, bool numero) {
  if (numero && t.size() > c.largo) return;
  const std::string v = t.substr(0, c.largo);
  const size_t inicio = numero ? c.inicio + c.largo - v.size() : c.inicio;
  for (size_t i = 0; i < v.size(); ++i) {
    const char ch = v[i];
    linea[inicio + i] = ch >= ' ' && ch <= '~' ? ch : ' ';
  }
}

std::string Texto(const char* formato, double v) {
  char b[64];
  std::snprintf(b, sizeof b, formato, v);
  return b;
}

}  // namespace

void LeeSt4(const std::string& archivo, ImagenObservacion& imagen) { Lee(archivo, imagen, true); }

void LeeCabeceraSt4(const std::string& archivo, ImagenObservacion& imagen) {
  Lee(archivo, imagen, false);
}

void GuardaSt4(const std::string& archivo, ImagenObservacion& imagen) {
  if (imagen.Ancho() != kAnchoSt4 || imagen.Alto() != kAltoSt4) {
    throw JError(11020, "ST4", std::to_string(kAnchoSt4), std::to_string(kAltoSt4));  // 11020
  }
  const std::vector<int16_t>& px = imagen.Pixeles();
  const auto [mn, mx] = std::minmax_element(px.begin(), px.end());
  if (*mn < 0 || *mx > kValorMaximo) {
    throw JError(11021, "ST4", "0", std::to_string(kValorMaximo));  // 11021
  }
  std::string contenido(kLargoArchivo, ' ');
  for (size_t i = 0; i < kPixeles; ++i) contenido[i] = static_cast<char>(px[i]);
  std::string linea(kAnchoSt4, ' ');
  const DatosImagen& d = imagen.datos;
  PonCampo(linea, kNota, d.comentario, false);
  if (TieneDatoImagen(d, "TIEMPOEXP")) {
    PonCampo(linea, kExposicion, Texto("%.0f", d.tiempoExp * kMilisegundosPorSegundo), true);
  }
  if (TieneDatoImagen(d, "DISTFOCAL")) {
    PonCampo(linea, kFocal, Texto("%.3f", d.observatorio.distFocal / kMmPorPulgada), true);
  }
  if (TieneDatoImagen(d, "APERTURA")) {
    PonCampo(linea, kApertura, Texto("%.3f", d.observatorio.apertura / kMmPorPulgada), true);
  }
  PonCampo(linea, kCalibracion, d.factorResp, false);
  contenido.replace(kPixeles, kAnchoSt4, linea);
  EscribeArchivoSeguro(archivo, contenido);
}

}  // namespace orva
