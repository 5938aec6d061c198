// The fixed-layout camera types and GENERAL: a layout table and LeeValores / GuardaValores.
#include "formats/camaras/Camaras.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "formats/Archivo.h"
#include "formats/TiposArchivo.h"
#include "formats/Valores.h"

namespace orva {
namespace {

// The public descriptions the layouts come from.
constexpr const char* kFuenteLongitud =
    "the detected length: 320 x 200 bytes exactly, as the type's name says";
constexpr const char* kFuenteLynxx =
    "H.-R. Wernli, \"CCD Astrocamera format .LNX (Spectra Source Instruments)\", 2002 "
    "(hwiegman.home.xs4all.nl/fileformats/L/lnx/lnx.txt): TC-211, 165 lines of 192 columns, "
    "top left first, two 12-bit values in three bytes; the detected length 47520 = 192 x 165 x "
    "1.5 leaves no header";
constexpr const char* kFuentePix =
    "H.-R. Wernli, \"CCD Astrocamera format Qwik-Pix and Electrim ED-1000\", 2002 "
    "(hwiegman.home.xs4all.nl/fileformats/Q/qpix/qpix.txt): 7-byte header (a BASIC BSAVE "
    "header, 0xFD and the length 63360), 165 lines of 192 little-endian words, top left first";

}  // namespace

const std::vector<DisenoCamara>& TablaCamaras() {
  // tipo, key, header, width, height, bits, order, signed, prefix, suffix, writes, source
  static const std::vector<DisenoCamara> tabla = {
      {kPantalla, "PANTALLA", 0, 320, 200, 8, 0, 0, 0, 0, false, kFuenteLongitud},
      {kLynxx, "LYNXX", 0, 192, 165, 12, 0, 0, 0, 0, true, kFuenteLynxx},
      {kPix, "PIX", 7, 192, 165, 16, 0, 0, 0, 0, false, kFuentePix},
  };
  return tabla;
}

const DisenoCamara* DisenoDeCamara(int tipo) {
  for (const DisenoCamara& d : TablaCamaras()) {
    if (d.tipo == tipo) return &d;
  }
  return nullptr;
}

namespace {

const DisenoCamara& Diseno(int tipo, int errorSinDiseno) {
  const DisenoCamara* d = DisenoDeCamara(tipo);
  if (!d) {
    const RegistroTipoArchivo* r = BuscaTipoArchivo(tipo);
    throw JError(errorSinDiseno, r ? r->clave : std::to_string(tipo));  // 11017 / 11018
  }
  return *d;
}

}  // namespace

void LeeCamara(const std::string& archivo, ImagenObservacion& imagen, int tipo, bool pixeles) {
  const DisenoCamara& d = Diseno(tipo, 11017);
  CompruebaTipoArchivo(archivo, tipo);  // 11019
  Archivo f(archivo, Archivo::kLectura);
  imagen.DimensionaImagen(static_cast<uint32_t>(d.ancho), static_cast<uint32_t>(d.alto));
  imagen.bitsPixel = d.bits;
  imagen.offsetX = 0;
  imagen.offsetY = 0;
  if (pixeles) {
    LeeValores(imagen, f, d.cabecera, d.ancho, d.alto, d.bits, d.prefijo, d.sufijo, d.orden,
               d.conSigno);
  }
}

void GuardaCamara(const std::string& archivo, ImagenObservacion& imagen, int tipo) {
  const DisenoCamara& d = Diseno(tipo, 11018);
  if (!d.escribe || d.cabecera != 0) throw JError(11018, d.clave);  // 11018
  if (imagen.Ancho() != static_cast<uint32_t>(d.ancho) ||
      imagen.Alto() != static_cast<uint32_t>(d.alto)) {
    throw JError(11020, d.clave, std::to_string(d.ancho), std::to_string(d.alto));  // 11020
  }
  // The bounds of the stored values: the image's own statistics may be stale in a copy.
  const int maximo = (1 << d.bits) - 1;
  const auto [lo, hi] = std::minmax_element(imagen.Pixeles().begin(), imagen.Pixeles().end());
  if (*lo < 0 || *hi > maximo) {
    throw JError(11021, d.clave, "0", std::to_string(maximo));  // 11021
  }
  // The writable layouts have no header: the file is the pixel block alone.
  ArchivoTemporal temporal(archivo);
  ::close(temporal.CedeDescriptor());
  {
    Archivo f(temporal.Nombre(), Archivo::kEscritura);
    GuardaValores(imagen, f, 0, d.ancho, d.alto, d.bits, d.prefijo, d.sufijo, d.orden);
    f.Cierra();
  }
  temporal.Confirma();
}

// ---- GENERAL

namespace {

constexpr const char* kSeccionGeneral = "TipoArch_GENERAL";

struct AjusteGeneral {
  const char* clave;
  const char* porDefecto;
  long long minimo, maximo;
};

const std::vector<AjusteGeneral>& TablaAjustesGeneral() {
  static const std::vector<AjusteGeneral> tabla = {
      {"DESPLAZAMIENTO", "0", 0, std::numeric_limits<long long>::max()},
      {"ANCHO", "512", 1, kMaxLadoGeneral},
      {"ALTO", "512", 1, kMaxLadoGeneral},
      {"BITS", "16", 8, 16},
      {"ORDEN", "0", 0, 1},
      {"SIGNO", "0", 0, 1},
      {"PREFIJO", "0", 0, kMaxBordeGeneral},
      {"SUFIJO", "0", 0, kMaxBordeGeneral},
  };
  return tabla;
}

long long ValorGeneral(const AjusteGeneral& a) {
  std::string v = AjustesActuales().Valor(kSeccionGeneral, a.clave);
  const size_t i = v.find_first_not_of(" \t");
  const size_t j = v.find_last_not_of(" \t");
  v = i == std::string::npos ? std::string{} : v.substr(i, j - i + 1);
  long long n = 0;
  const auto [fin, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (v.empty() || ec != std::errc{} || fin != v.data() + v.size() || n < a.minimo ||
      n > a.maximo) {
    throw JError(12361, a.clave, v);  // 12361
  }
  return n;
}

}  // namespace

const std::vector<std::string>& ClavesGeneral() {
  static const std::vector<std::string> claves = [] {
    std::vector<std::string> r;
    for (const AjusteGeneral& a : TablaAjustesGeneral()) r.emplace_back(a.clave);
    return r;
  }();
  return claves;
}

AjustesGeneral LeeAjustesGeneral() {
  const std::vector<AjusteGeneral>& t = TablaAjustesGeneral();
  AjustesGeneral a;
  a.desplazamiento = static_cast<uint64_t>(ValorGeneral(t[0]));
  a.ancho = static_cast<int>(ValorGeneral(t[1]));
  a.alto = static_cast<int>(ValorGeneral(t[2]));
  a.bits = static_cast<int>(ValorGeneral(t[3]));
  if (a.bits != 8 && a.bits != 12 && a.bits != 16) {
    throw JError(12361, t[3].clave, std::to_string(a.bits));  // 12361
  }
  a.orden = static_cast<int>(ValorGeneral(t[4]));
  a.conSigno = static_cast<int>(ValorGeneral(t[5]));
  a.prefijo = static_cast<int>(ValorGeneral(t[6]));
  a.sufijo = static_cast<int>(ValorGeneral(t[7]));
  // Two 12-bit values share three bytes: an odd width would leave half a pair.
  if (a.bits == 12 && a.ancho % 2 != 0) throw JError(12362, std::to_string(a.ancho));  // 12362
  return a;
}

uint64_t BytesFilaGeneral(const AjustesGeneral& a) {
  const uint64_t w = static_cast<uint64_t>(a.ancho);
  const uint64_t pixeles = a.bits == 8 ? w : a.bits == 16 ? 2 * w : 3 * w / 2;
  return static_cast<uint64_t>(a.prefijo) + pixeles + static_cast<uint64_t>(a.sufijo);
}

uint64_t BytesGeneral(const AjustesGeneral& a) {
  // Sizes are bounded (65535 rows of at most 2^21 + 131070 bytes): no overflow past the offset.
  const uint64_t bloque = static_cast<uint64_t>(a.alto) * BytesFilaGeneral(a);
  if (a.desplazamiento > std::numeric_limits<uint64_t>::max() - bloque) {
    return std::numeric_limits<uint64_t>::max();
  }
  return a.desplazamiento + bloque;
}

void LeeGeneral(const std::string& archivo, ImagenObservacion& imagen) {
  const AjustesGeneral a = LeeAjustesGeneral();
  Archivo f(archivo, Archivo::kLectura);
  const uint64_t longitud = f.Longitud();
  const uint64_t necesarios = BytesGeneral(a);
  if (longitud < necesarios) {
    throw JError(12360, archivo, std::to_string(longitud), std::to_string(necesarios));  // 12360
  }
  const uint32_t w = static_cast<uint32_t>(a.ancho);
  imagen.DimensionaImagen(w, static_cast<uint32_t>(a.alto));
  imagen.bitsPixel = a.bits;
  imagen.offsetX = 0;
  imagen.offsetY = 0;
  // One row at a time, so that prefix and suffix count bytes at every depth.
  ImagenPixeles fila;
  fila.DimensionaImagen(w, 1);
  const uint64_t bytesFila = BytesFilaGeneral(a);
  std::vector<int16_t>& px = imagen.Pixeles();
  for (int y = 0; y < a.alto; ++y) {
    if (imagen.Interrumpida()) throw JError(11011);  // 11011
    const uint64_t pos =
        a.desplazamiento + static_cast<uint64_t>(y) * bytesFila + static_cast<uint64_t>(a.prefijo);
    LeeValores(fila, f, pos, a.ancho, 1, a.bits, 0, 0, a.orden, a.conSigno);
    auto destino = px.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(y) * w);
    if (a.bits == 8 && a.conSigno == 1) {
      // LeeValores gives bytes as 0..255; signed bytes are two's complement.
      std::transform(fila.Pixeles().begin(), fila.Pixeles().end(), destino,
                     [](int16_t v) { return static_cast<int16_t>(v > 127 ? v - 256 : v); });
    } else {
      std::copy(fila.Pixeles().begin(), fila.Pixeles().end(), destino);
    }
  }
}

void LeeConfigGeneral(const std::string&) {
  for (const AjusteGeneral& a : TablaAjustesGeneral()) {
    AjustesActuales().Registra(kSeccionGeneral, a.clave, a.porDefecto);
  }
}

void GuardaConfigGeneral(const std::string&) {
  // The settings live in the settings table itself; nothing to copy back.
}

}  // namespace orva
