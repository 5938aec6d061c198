// SBIG Type 3 reader, header reader and writer.
#include "formats/sbig/Sbig.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "core/Rango.h"
#include "formats/Archivo.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "formats/sbig/CodificacionSbig.h"

namespace orva {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMmPorPulgada = 25.4;
constexpr double kCentesimasPorSegundo = 100.0;
constexpr double kCeroSinSigno = 32768.0;  // unsigned words read as signed ones
constexpr int kDesplazamiento = 32768;
constexpr uint16_t kMaximoConSigno = 32767;
constexpr long kValorMaximo = 65535;
constexpr int kSiglo = 1900;
constexpr int kAniosSiglo = 100;
constexpr int kPivoteAnio = 80;  // two-digit years below it are 20xx
constexpr long kFilasPorSondeo = 64;
// The header cards that keep the parameter lines.
constexpr std::string_view kPrefijoTarjeta = "COMMENT SBIG ";

void CompruebaCancelacion(ImagenObservacion& imagen, long fila) {
  if (fila % kFilasPorSondeo == kFilasPorSondeo - 1 && imagen.Interrumpida()) {
    throw JError(11011);  // 11011
  }
}

// The header: its 2048 bytes must all be there, or the file is cut short.
CabeceraSbig LeeTexto(Archivo& f, const std::string& archivo) {
  std::string b(kLargoCabeceraSbig, '\0');
  const size_t n = f.LeeHasta(b.data(), b.size());
  CabeceraSbig c = AnalizaCabeceraSbig(std::string_view(b.data(), n), archivo);
  if (n < kLargoCabeceraSbig) throw JError(11144, archivo, std::to_string(c.alto));  // 11144
  return c;
}

// The bytes of data after the header; fewer than the header's sizes need raise 11144. Checked
// before anything is allocated, so a lying header costs no memory.
uint64_t CompruebaLargo(Archivo& f, const CabeceraSbig& c, const std::string& archivo) {
  const uint64_t disponible = f.Longitud() - kLargoCabeceraSbig;
  const uint64_t w = static_cast<uint64_t>(c.ancho), h = static_cast<uint64_t>(c.alto);
  // A plain row holds two bytes per pixel; the shortest coded row, its length word, its first
  // value and one byte per further pixel.
  const uint64_t minimo = c.comprimida ? (w + 3) * h : 2 * w * h;
  if (disponible < minimo) throw JError(11144, archivo, std::to_string(h));  // 11144
  return disponible;
}

// The stored words, row after row.
std::vector<uint16_t> LeeDatos(Archivo& f, const CabeceraSbig& c, ImagenObservacion& imagen,
                               const std::string& archivo) {
  const uint64_t disponible = CompruebaLargo(f, c, archivo);
  const size_t w = static_cast<size_t>(c.ancho), h = static_cast<size_t>(c.alto);
  const std::string lineas = std::to_string(h);
  std::vector<uint16_t> v;
  f.Posiciona(kLargoCabeceraSbig);
  if (!c.comprimida) {
    v.resize(w * h);
    std::vector<uint8_t> fila(2 * w);
    for (size_t y = 0; y < h; ++y) {
      CompruebaCancelacion(imagen, static_cast<long>(y));
      f.Lee(fila.data(), fila.size());
      for (size_t x = 0; x < w; ++x) {
        v[y * w + x] = static_cast<uint16_t>(fila[2 * x] | (fila[2 * x + 1] << 8));
      }
    }
    return v;
  }
  const uint64_t maximo = uint64_t{2 * w + 2} * h;
  std::vector<uint8_t> datos(static_cast<size_t>(std::min(disponible, maximo)));
  f.Lee(datos.data(), datos.size());
  v.resize(w * h);
  size_t pos = 0;
  for (size_t y = 0; y < h; ++y) {
    CompruebaCancelacion(imagen, static_cast<long>(y));
    if (pos == datos.size()) throw JError(11144, archivo, lineas);  // 11144
    pos += DescomprimeFilaSbig(std::span<const uint8_t>(datos).subspan(pos),
                               std::span<uint16_t>(v).subspan(y * w, w), archivo,
                               static_cast<long>(y));
  }
  return v;
}

// Unsigned words to pixels as FITS unsigned data are read (LEEVALUNSIG); the mapping undoes it.
MapeoValores ConviertePixeles(const std::vector<uint16_t>& v, std::vector<int16_t>& px,
                              int modo) {
  px.resize(v.size());
  if (modo == 1) {
    for (size_t i = 0; i < v.size(); ++i) px[i] = static_cast<int16_t>(v[i] / 2);
    return {0.0, 2.0};
  }
  if (modo == 2) {
    for (size_t i = 0; i < v.size(); ++i) px[i] = static_cast<int16_t>(v[i] - kDesplazamiento);
    return {kCeroSinSigno, 1.0};
  }
  const auto [mn, mx] = std::minmax_element(v.begin(), v.end());
  if (*mx <= kMaximoConSigno) {
    std::copy(v.begin(), v.end(), px.begin());
    return {};
  }
  const double lo = *mn, hi = *mx;
  const double bajo = Rango().minimo, alto = Rango().maximo;
  const double escala = hi > lo ? (alto - bajo) / (hi - lo) : 0.0;
  for (size_t i = 0; i < v.size(); ++i) {
    const double m = std::clamp(std::round(bajo + (v[i] - lo) * escala), bajo, alto);
    px[i] = static_cast<int16_t>(m);
  }
  return escala > 0.0 ? MapeoValores{lo - bajo / escala, 1.0 / escala}
                      : MapeoValores{lo - bajo, 1.0};
}

// A whole text read as a finite number.
bool Numero(const std::string* t, double& v) {
  if (!t || t->empty()) return false;
  char* fin = nullptr;
  v = std::strtod(t->c_str(), &fin);
  while (fin && (*fin == ' ' || *fin == '\t')) ++fin;
  return fin && *fin == '\0' && std::isfinite(v);
}

// Observation data from the parameters; a value that cannot be read leaves its field empty.
DatosImagen Datos(const CabeceraSbig& c, int tipoObjeto) {
  DatosImagen d;
  d.tipoObjeto = tipoObjeto;
  d.nomCCD = c.camara;
  double v = 0.0;
  if (Numero(c.Valor("Exposure"), v) && v >= 0.0) {
    d.tiempoExp = v / kCentesimasPorSegundo;
    d.conValor.insert("TIEMPOEXP");
  }
  if (Numero(c.Valor("Focal_length"), v) && v > 0.0 && v * kMmPorPulgada < INT32_MAX) {
    d.observatorio.distFocal = static_cast<int32_t>(std::lround(v * kMmPorPulgada));
    d.conValor.insert("DISTFOCAL");
  }
  if (Numero(c.Valor("Aperture"), v) && v > 0.0 && v < 1e12) {
    // The aperture is given as the collecting area.
    d.observatorio.apertura =
        static_cast<int32_t>(std::lround(2.0 * std::sqrt(v / kPi) * kMmPorPulgada));
    d.conValor.insert("APERTURA");
  }
  if (Numero(c.Valor("Temperature"), v)) {
    d.tempCCD = v;
    d.conValor.insert("TEMPCCD");
  }
  if (const std::string* t = c.Valor("Response_factor")) d.factorResp = *t;
  if (const std::string* t = c.Valor("Note")) d.comentario = *t;
  if (const std::string* t = c.Valor("Observer")) d.observatorio.observador = *t;
  if (const std::string* t = c.Valor("Filter")) d.filtro = *t;
  if (const std::string* t = c.Valor("Date")) {
    int mes = 0, dia = 0, anio = 0;
    char resto = 0;
    if (std::sscanf(t->c_str(), "%d/%d/%d%c", &mes, &dia, &anio, &resto) == 3 && anio >= 0) {
      if (anio < kAniosSiglo) anio += anio < kPivoteAnio ? kSiglo + kAniosSiglo : kSiglo;
      try {
        d.fechaHora.AsignaFecha(Fecha(dia, mes, anio));
        d.conValor.insert("FECHAOBS");
      } catch (const JError&) {
        // a date the calendar refuses is left out
      }
    }
  }
  if (const std::string* t = c.Valor("Time")) {
    try {
      d.fechaHora.AsignaHora(Hora(*t));
      d.conValor.insert("HORAOBS");
    } catch (const JError&) {
      // likewise a time
    }
  }
  return d;
}

Cabecera Tarjetas(const CabeceraSbig& c) {
  Cabecera cab;
  for (const auto& [n, v] : c.parametros) cab.Anade(std::string(kPrefijoTarjeta) + n + " = " + v);
  return cab;
}

void Lee(const std::string& archivo, ImagenObservacion& imagen, bool conPixeles) {
  CompruebaTipoArchivo(archivo, kSbig);  // 11019
  Archivo f(archivo, Archivo::kLectura);
  const CabeceraSbig c = LeeTexto(f, archivo);
  const uint32_t w = static_cast<uint32_t>(c.ancho), h = static_cast<uint32_t>(c.alto);
  const int modo = AjustesActualesFits().leeValUnsig;
  if (conPixeles) {
    std::vector<int16_t> px;
    const MapeoValores mapeo = ConviertePixeles(LeeDatos(f, c, imagen, archivo), px, modo);
    imagen.CambiaPixeles(w, h, std::move(px));
    imagen.mapeo = mapeo;
  } else {
    CompruebaLargo(f, c, archivo);
    imagen.DimensionaImagen(w, h);
    // Without the pixels only the mappings that do not depend on them are known.
    imagen.mapeo = modo == 1   ? MapeoValores{0.0, 2.0}
                   : modo == 2 ? MapeoValores{kCeroSinSigno, 1.0}
                               : MapeoValores{};
  }
  imagen.datos = Datos(c, imagen.datos.tipoObjeto);
  imagen.cabecera = Tarjetas(c);
  imagen.bitsPixel = 16;
  imagen.esPaleta = 0;
  imagen.offsetX = 0;
  imagen.offsetY = 0;
}

std::string Texto(const char* formato, double v) {
  char b[64];
  std::snprintf(b, sizeof b, formato, v);
  return b;
}

bool EsCamara(const std::string& t) {
  for (const char* c : {"ST-4X", "ST-5", "ST-6", "ST-7", "ST-8"}) {
    if (t.rfind(c, 0) == 0 && t.find_first_of(" \t") == std::string::npos) return true;
  }
  return false;
}

// The parameters the writer sets itself; kept ones with these names are not written back.
bool EsPropio(std::string_view n) {
  for (const char* p : {"File_version", "Data_version", "Exposure", "Focal_length", "Aperture",
                        "Response_factor", "Note", "Background", "Range", "Height", "Width",
                        "Date", "Time", "Temperature", "Number_exposures", "Each_exposure",
                        "Observer", "Filter"}) {
    if (n.size() == std::strlen(p) && strncasecmp(n.data(), p, n.size()) == 0) return true;
  }
  return false;
}

CabeceraSbig CabeceraDe(const ImagenObservacion& imagen, bool comprimida, long minimo,
                        long maximo) {
  const DatosImagen& d = imagen.datos;
  CabeceraSbig c;
  c.camara = EsCamara(d.nomCCD) ? d.nomCCD : kCamaraSbig;
  c.comprimida = comprimida;
  auto& p = c.parametros;
  p.emplace_back("File_version", "3");
  p.emplace_back("Data_version", "1");
  const std::string exposicion =
      std::to_string(std::llround(std::max(0.0, d.tiempoExp) * kCentesimasPorSegundo));
  if (TieneDatoImagen(d, "TIEMPOEXP")) p.emplace_back("Exposure", exposicion);
  if (TieneDatoImagen(d, "DISTFOCAL")) {
    p.emplace_back("Focal_length", Texto("%.3f", d.observatorio.distFocal / kMmPorPulgada));
  }
  if (TieneDatoImagen(d, "APERTURA")) {
    const double radio = d.observatorio.apertura / kMmPorPulgada / 2.0;
    p.emplace_back("Aperture", Texto("%.3f", kPi * radio * radio));
  }
  if (!d.factorResp.empty()) p.emplace_back("Response_factor", d.factorResp);
  if (!d.comentario.empty()) p.emplace_back("Note", d.comentario);
  p.emplace_back("Background", std::to_string(minimo));
  p.emplace_back("Range", std::to_string(std::max(1L, maximo - minimo)));
  p.emplace_back("Height", std::to_string(imagen.Alto()));
  p.emplace_back("Width", std::to_string(imagen.Ancho()));
  if (TieneDatoImagen(d, "FECHAOBS")) {
    const Fecha& f = d.fechaHora.FechaDia();
    char b[32];
    std::snprintf(b, sizeof b, "%02d/%02d/%02d", f.Mes(), f.Dia(), f.Anio() % kAniosSiglo);
    p.emplace_back("Date", b);
  }
  if (TieneDatoImagen(d, "HORAOBS")) {
    const Hora& t = d.fechaHora.HoraDia();
    char b[32];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d", t.Horas(), t.Minutos(), t.Segundos());
    p.emplace_back("Time", b);
  }
  if (TieneDatoImagen(d, "TEMPCCD")) p.emplace_back("Temperature", Texto("%.2f", d.tempCCD));
  if (TieneDatoImagen(d, "TIEMPOEXP")) {
    p.emplace_back("Number_exposures", "1");
    p.emplace_back("Each_exposure", exposicion);
  }
  if (!d.observatorio.observador.empty()) p.emplace_back("Observer", d.observatorio.observador);
  if (!d.filtro.empty()) p.emplace_back("Filter", d.filtro);
  // Parameters read from an SBIG file that ORVA does not map (pedestal, gain, pixel size...).
  for (const std::string& t : imagen.cabecera.Tarjetas()) {
    if (t.compare(0, kPrefijoTarjeta.size(), kPrefijoTarjeta) != 0) continue;
    const std::string linea = t.substr(kPrefijoTarjeta.size());
    const size_t igual = linea.find(" = ");
    if (igual == std::string::npos) continue;
    const std::string nombre = linea.substr(0, igual);
    std::string valor = linea.substr(igual + 3);
    valor.erase(valor.find_last_not_of(' ') + 1);
    if (!nombre.empty() && !EsPropio(nombre)) p.emplace_back(nombre, valor);
  }
  return c;
}

}  // namespace

void LeeSbig(const std::string& archivo, ImagenObservacion& imagen) {
  Lee(archivo, imagen, true);
}

void LeeCabeceraSbig(const std::string& archivo, ImagenObservacion& imagen) {
  Lee(archivo, imagen, false);
}

void GuardaSbig(const std::string& archivo, ImagenObservacion& imagen) {
  const uint32_t w = imagen.Ancho(), h = imagen.Alto();
  if (imagen.Vacia() || w > kLadoMaximoSbig || h > kLadoMaximoSbig) {
    const std::string lado = std::to_string(kLadoMaximoSbig);
    throw JError(11020, "SBIG", lado, lado);  // 11020
  }
  // The physical values, checked whole before anything is written.
  const std::vector<int16_t>& px = imagen.Pixeles();
  std::vector<uint16_t> v(px.size());
  long minimo = kValorMaximo, maximo = 0;
  for (size_t i = 0; i < px.size(); ++i) {
    const double f = std::round(imagen.mapeo.Fisico(px[i]));
    if (!(f >= 0.0 && f <= kValorMaximo)) {
      throw JError(11021, "SBIG", "0", std::to_string(kValorMaximo));  // 11021
    }
    v[i] = static_cast<uint16_t>(f);
    minimo = std::min<long>(minimo, v[i]);
    maximo = std::max<long>(maximo, v[i]);
  }
  const bool comprimida =
      std::atoi(AjustesActuales().Valor(kSeccionSbig, "COMPRIMIR").c_str()) != 0;
  std::string contenido = ComponeCabeceraSbig(CabeceraDe(imagen, comprimida, minimo, maximo));
  std::vector<uint8_t> datos;
  datos.reserve(v.size() * 2 + (comprimida ? 2 * static_cast<size_t>(h) : 0));
  for (size_t y = 0; y < h; ++y) {
    CompruebaCancelacion(imagen, static_cast<long>(y));
    const std::span<const uint16_t> fila = std::span<const uint16_t>(v).subspan(y * w, w);
    if (comprimida) {
      ComprimeFilaSbig(fila, datos);
    } else {
      for (uint16_t x : fila) {
        datos.push_back(static_cast<uint8_t>(x & 0xFF));
        datos.push_back(static_cast<uint8_t>(x >> 8));
      }
    }
  }
  contenido.append(reinterpret_cast<const char*>(datos.data()), datos.size());
  EscribeArchivoSeguro(archivo, contenido);
}

void LeeConfigSbig(const std::string&) {
  AjustesActuales().Registra(kSeccionSbig, "COMPRIMIR", "0");
}

void GuardaConfigSbig(const std::string&) {
  // COMPRIMIR lives in the settings table itself; nothing to copy back.
}

}  // namespace orva
