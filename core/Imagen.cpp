// The image record: statistics, percentile, bilinear reads, gray levels and table, copies.
#include "core/Imagen.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>

#include "base/JError.h"
#include "base/Memoria.h"
#include "core/Ajustes.h"
#include "core/Hilos.h"
#include "core/ListaImagenes.h"
#include "core/ModuloAnalisis.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "core/TiposObjeto.h"

namespace orva {

// ---------------------------------------------------------------------------------------------
// Pixel layer

ImagenPixeles::ImagenPixeles() : minimo_(Rango().minimo), maximo_(Rango().maximo) {}

int16_t ImagenPixeles::ValorFuera() {
  return Rango().defecto;
}

void ImagenPixeles::Modificada(int marca) {
  modificada_ = marca;
}

void ImagenPixeles::CopiaPixeles(const ImagenPixeles& f) {
  if (&f == this) return;
  ancho_ = f.ancho_;
  alto_ = f.alto_;
  pixeles_ = f.pixeles_;
  offsetX = f.offsetX;
  offsetY = f.offsetY;
  bitsPixel = f.bitsPixel;
  numModa_ = f.numModa_;
  valorModa_ = f.valorModa_;
  desviacion_ = f.desviacion_;
  media_ = f.media_;
  minimo_ = f.minimo_;
  maximo_ = f.maximo_;
  primerHisto_ = f.primerHisto_;
  ultimoHisto_ = f.ultimoHisto_;
  histograma_ = f.histograma_;
  esPaleta = f.esPaleta;
  bitsPaleta = f.bitsPaleta;
  paleta = f.paleta;
  mapeo = f.mapeo;
  modificada_ = f.modificada_;
}

void ImagenPixeles::DimensionaImagen(uint32_t ancho, uint32_t alto) {
  const uint64_t n = static_cast<uint64_t>(ancho) * alto;
  if (n != pixeles_.size()) {
    // 10100: refuse before the allocation can abort the process or exhaust the machine.
    const uint64_t bytes = BytesDe(ancho, alto, sizeof(int16_t));
    if (n > pixeles_.max_size()) throw JError(10100, std::to_string(bytes));
    CompruebaMemoria(bytes);
    try {
      std::vector<int16_t> nuevos(static_cast<size_t>(n));
      pixeles_.swap(nuevos);
    } catch (const std::bad_alloc&) {
      throw JError(10100, std::to_string(bytes));
    }
  }
  ancho_ = ancho;
  alto_ = alto;
}

void ImagenPixeles::CambiaPixeles(uint32_t ancho, uint32_t alto, std::vector<int16_t> pixeles) {
  if (static_cast<uint64_t>(ancho) * alto != pixeles.size()) {
    throw JError(11012, std::to_string(ancho), std::to_string(alto));
  }
  ancho_ = ancho;
  alto_ = alto;
  pixeles_ = std::move(pixeles);
}

void ImagenPixeles::PonPixel(long x, long y, int16_t v) {
  if (x < 0 || y < 0 || x >= static_cast<long>(ancho_) || y >= static_cast<long>(alto_)) {
    throw JError(11012, std::to_string(x), std::to_string(y));  // 11012
  }
  pixeles_[static_cast<size_t>(y) * ancho_ + static_cast<size_t>(x)] = v;
}

void ImagenPixeles::PonPixel(size_t i, int16_t v) {
  if (i >= pixeles_.size()) throw JError(11012, std::to_string(i));  // 11012
  pixeles_[i] = v;
}

int16_t ImagenPixeles::Pixel(double x, double y) const {
  if (!(x >= 0.0) || !(y >= 0.0) || x >= ancho_ || y >= alto_) return ValorFuera();
  const long x0 = static_cast<long>(x);
  const long y0 = static_cast<long>(y);
  if (x == static_cast<double>(x0) && y == static_cast<double>(y0)) return Pixel(x0, y0);
  const double fx = x - static_cast<double>(x0);
  const double fy = y - static_cast<double>(y0);
  // Neighbours beyond the right or bottom edge read as the out-of-image value.
  const double a = Pixel(x0, y0);
  const double b = Pixel(x0, y0 + 1);
  const double c = Pixel(x0 + 1, y0);
  const double d = Pixel(x0 + 1, y0 + 1);
  const double v = a * (1 - fx) * (1 - fy) + b * (1 - fx) * fy + c * fx * (1 - fy) + d * fx * fy;
  return static_cast<int16_t>(v);  // truncated toward zero; always within the neighbours' range
}

namespace {

// The counts are made in at most this many bands, each with its own table of counts.
constexpr long kBandasCuenta = 8;

}  // namespace

std::vector<int64_t> CuentaValores(const int16_t* px, size_t ancho, size_t filas, int lo, int hi,
                                   Progreso* progreso) {
  if (hi < lo) return {};
  const size_t valores = static_cast<size_t>(hi - lo + 1);
  const long nf = static_cast<long>(filas);
  const long alto = std::max(kAltoBanda, (nf + kBandasCuenta - 1) / kBandasCuenta);
  std::vector<std::vector<int64_t>> parciales(static_cast<size_t>(NumBandas(nf, alto)));
  ParaBandas(
      nf, progreso,
      [&](long banda, long desde, long hasta) {
        std::vector<int64_t> c(valores, 0);
        for (const int16_t* p = px + static_cast<size_t>(desde) * ancho;
             p != px + static_cast<size_t>(hasta) * ancho; ++p) {
          if (*p >= lo && *p <= hi) ++c[static_cast<size_t>(*p - lo)];
        }
        parciales[static_cast<size_t>(banda)] = std::move(c);
      },
      alto);
  std::vector<int64_t> cuentas(valores, 0);
  for (const std::vector<int64_t>& c : parciales) {
    for (size_t i = 0; i < valores; ++i) cuentas[i] += c[i];
  }
  return cuentas;
}

void ImagenPixeles::Actualiza() {
  if (esPaleta) return;
  const size_t n = pixeles_.size();
  if (n == 0) {
    // An empty image keeps the empty statistics it was created with.
    minimo_ = Rango().minimo;
    maximo_ = Rango().maximo;
    histograma_.clear();
    primerHisto_ = 0;
    ultimoHisto_ = -1;
    media_ = 0.0;
    desviacion_ = 1.0;
    numModa_ = 0;
    valorModa_ = 0;
    return;
  }
  // The statistics in bands of rows: per-band extremes and whole-number counts, combined in
  // band order, so they are the same for any thread count. A block that is not width x height
  // pixels counts as one row.
  const bool rejilla = static_cast<size_t>(ancho_) * alto_ == n;
  const size_t ancho = rejilla ? ancho_ : n, filas = rejilla ? alto_ : 1;
  std::vector<std::pair<int, int>> extremos(
      static_cast<size_t>(NumBandas(static_cast<long>(filas))));
  const int16_t* px = pixeles_.data();
  ParaBandas(static_cast<long>(filas), nullptr, [&](long banda, long desde, long hasta) {
    int lo = 32767, hi = -32768;
    for (const int16_t* p = px + static_cast<size_t>(desde) * ancho;
         p != px + static_cast<size_t>(hasta) * ancho; ++p) {
      lo = std::min<int>(lo, *p);
      hi = std::max<int>(hi, *p);
    }
    extremos[static_cast<size_t>(banda)] = {lo, hi};
  });
  int minimo = 32767, maximo = -32768;
  for (const auto& [lo, hi] : extremos) {
    minimo = std::min(minimo, lo);
    maximo = std::max(maximo, hi);
  }
  // A constant image gets a span of one value so that ranges and scales never divide by zero.
  // At the top of the 16-bit range the maximum cannot be raised: the minimum is lowered instead.
  if (minimo == maximo) {
    if (maximo < 32767) {
      ++maximo;
    } else {
      --minimo;
    }
  }
  minimo_ = static_cast<int16_t>(minimo);
  maximo_ = static_cast<int16_t>(maximo);
  primerHisto_ = minimo;
  ultimoHisto_ = maximo;
  const std::vector<int64_t> cuentas = CuentaValores(px, ancho, filas, minimo, maximo);
  histograma_.assign(cuentas.size(), 0);
  // Whole-number sums: exact, and the same as adding the pixels one by one in doubles while
  // those partial sums stay below 2^53.
  int64_t suma = 0, suma2 = 0;
  for (size_t i = 0; i < cuentas.size(); ++i) {
    histograma_[i] = static_cast<int32_t>(cuentas[i]);
    const int64_t v = minimo + static_cast<int64_t>(i);
    suma += cuentas[i] * v;
    suma2 += cuentas[i] * v * v;
  }
  const double nd = static_cast<double>(n);
  media_ = static_cast<double>(suma) / nd;
  const double var = static_cast<double>(suma2) - media_ * media_ * nd;
  desviacion_ = var > 0.0 && n > 1 ? std::sqrt(var / (nd - 1.0)) : 1.0;
  if (desviacion_ == 0.0) desviacion_ = 1.0;
  // Mode: the first value whose count is strictly greater than every earlier count.
  int32_t mejor = -1;
  for (int v = minimo; v <= maximo; ++v) {
    const int32_t c = histograma_[static_cast<size_t>(v - minimo)];
    if (c > mejor) {
      mejor = c;
      valorModa_ = static_cast<int16_t>(v);
    }
  }
  numModa_ = mejor;
}

int ImagenPixeles::Percentil(double p) const {
  if (p == 0.0) return minimo_;
  if (p == 100.0) return maximo_;
  const double n = static_cast<double>(pixeles_.size());
  if (n > 0) {
    double acumulado = 0.0;
    for (int v = minimo_; v < maximo_; ++v) {
      acumulado += Histograma(v);
      if (acumulado * 100.0 / n > p) return v;
    }
  }
  return Rango().maximo;
}

// ---------------------------------------------------------------------------------------------
// Observation layer

ImagenObservacion::ImagenObservacion() : analisis_(std::make_unique<DatosAnalisis>()) {}

ImagenObservacion::~ImagenObservacion() = default;

void ImagenObservacion::CopiaDatos(const ImagenObservacion& f) {
  if (&f == this) return;
  CopiaPixeles(f);
  unidad = f.unidad;
  directorio = f.directorio;
  nombre = f.nombre;
  extension = f.extension;
  numCopia = f.numCopia;
  tipoArchivo = f.tipoArchivo;
  claveTipoArchivo = f.claveTipoArchivo;
  objetos = f.objetos;
  cabecera = f.cabecera;
  datos = f.datos;
  analisis_ = f.analisis_->Clona();
  puntosTrans = f.puntosTrans;
  nombreVentana.clear();  // rebuilt by the image list
}

void ImagenObservacion::CreaDatosAnalisis() {
  std::unique_ptr<DatosAnalisis> nuevos;
  if (datos.tipoObjeto >= 0 && datos.tipoObjeto < kNumTiposObjeto) {
    if (ModuloAnalisis* m = TablaTiposObjeto()[datos.tipoObjeto].modulo) {
      // Modules create data for display-layer images only; the observation layer is the
      // working copy of writers and macro buffers.
      if (auto* im = dynamic_cast<Imagen*>(this)) nuevos = m->CrearDatos(*im);
    }
  }
  analisis_ = nuevos ? std::move(nuevos) : std::make_unique<DatosAnalisis>();
}

void ImagenObservacion::CambiaTipoObjeto(int tipo) {
  datos.tipoObjeto = tipo;
  CreaDatosAnalisis();
}

void ImagenObservacion::CambiaAnalisis(std::unique_ptr<DatosAnalisis> d) {
  analisis_ = d ? std::move(d) : std::make_unique<DatosAnalisis>();
}

void ImagenObservacion::AsignaRuta(std::string_view ruta) {
  unidad.clear();
  const size_t barra = ruta.find_last_of('/');
  directorio = barra == std::string_view::npos ? "" : std::string(ruta.substr(0, barra + 1));
  const std::string_view archivo = barra == std::string_view::npos ? ruta : ruta.substr(barra + 1);
  const size_t punto = archivo.find_last_of('.');
  if (punto == std::string_view::npos || punto == 0) {
    nombre = std::string(archivo);
    extension.clear();
  } else {
    nombre = std::string(archivo.substr(0, punto));
    extension = std::string(archivo.substr(punto));
  }
}

std::string ImagenObservacion::Ruta() const {
  return unidad + directorio + nombre + extension;
}

// ---------------------------------------------------------------------------------------------
// DatosImagen text forms

const std::vector<std::string>& ClavesDatosImagen() {
  static const std::vector<std::string> claves = {
      "NOMOBJ",     "TIPOOBJ",   "AROBJ",     "DECOBJ",     "EPOCAOBJ",     "FECHAOBS",
      "HORAOBS",    "TIEMPOEXP", "FILTRO",    "NOMCCD",     "TEMPCCD",      "FACTORRESP",
      "TELESCOPIO", "APERTURA",  "DISTFOCAL", "OBSERVADOR", "OBSERVATORIO", "LONOBS",
      "LATOBS",     "ALTOBS",    "COMENTARIO"};
  return claves;
}

namespace {

// The whole text, however many digits a large value takes, so it reads back to the same value.
std::string Formato(const char* fmt, double v) {
  const int n = std::snprintf(nullptr, 0, fmt, v);
  if (n <= 0) return {};
  std::string b(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(b.data(), b.size(), fmt, v);
  b.resize(static_cast<size_t>(n));
  return b;
}

}  // namespace

std::string TextoDatoImagen(const DatosImagen& d, std::string_view c) {
  if (c == "NOMOBJ") return d.nombreObjeto;
  if (c == "TIPOOBJ") return PalabraTipoObjeto(d.tipoObjeto < 0 ? kDesconocido : d.tipoObjeto);
  if (c == "AROBJ") return d.ar.Texto();
  if (c == "DECOBJ") return d.dec.Texto();
  if (c == "EPOCAOBJ") return std::to_string(d.epoca);
  if (c == "FECHAOBS") return d.fechaHora.FechaDia().Texto();
  if (c == "HORAOBS") return d.fechaHora.HoraDia().Texto();
  if (c == "TIEMPOEXP") return Formato("%.3f", d.tiempoExp);
  if (c == "FILTRO") return d.filtro;
  if (c == "NOMCCD") return d.nomCCD;
  if (c == "TEMPCCD") return Formato("%.1f", d.tempCCD);
  if (c == "FACTORRESP") return d.factorResp;
  if (c == "TELESCOPIO") return d.observatorio.telescopio;
  if (c == "APERTURA") return std::to_string(d.observatorio.apertura);
  if (c == "DISTFOCAL") return std::to_string(d.observatorio.distFocal);
  if (c == "OBSERVADOR") return d.observatorio.observador;
  if (c == "OBSERVATORIO") return d.observatorio.nombre;
  if (c == "LONOBS") return d.observatorio.longitud.Texto();
  if (c == "LATOBS") return d.observatorio.latitud.Texto();
  if (c == "ALTOBS") return std::to_string(d.observatorio.altitud);
  if (c == "COMENTARIO") return d.comentario;
  return {};
}

namespace {

// The fields that are not text, whose value is tracked in DatosImagen::conValor.
bool EsCampoNoTexto(std::string_view c) {
  static constexpr std::string_view kClaves[] = {"AROBJ",     "DECOBJ",    "EPOCAOBJ", "FECHAOBS",
                                                 "HORAOBS",   "TIEMPOEXP", "TEMPCCD",  "APERTURA",
                                                 "DISTFOCAL", "LONOBS",    "LATOBS",   "ALTOBS"};
  for (std::string_view k : kClaves) {
    if (k == c) return true;
  }
  return false;
}

// Puts back the default of a field that is not text.
void VaciaCampo(DatosImagen& d, std::string_view c) {
  const DatosImagen v;
  if (c == "AROBJ") d.ar = v.ar;
  if (c == "DECOBJ") d.dec = v.dec;
  if (c == "EPOCAOBJ") d.epoca = v.epoca;
  if (c == "FECHAOBS") d.fechaHora.AsignaFecha(v.fechaHora.FechaDia());
  if (c == "HORAOBS") d.fechaHora.AsignaHora(v.fechaHora.HoraDia());
  if (c == "TIEMPOEXP") d.tiempoExp = v.tiempoExp;
  if (c == "TEMPCCD") d.tempCCD = v.tempCCD;
  if (c == "APERTURA") d.observatorio.apertura = v.observatorio.apertura;
  if (c == "DISTFOCAL") d.observatorio.distFocal = v.observatorio.distFocal;
  if (c == "LONOBS") d.observatorio.longitud = v.observatorio.longitud;
  if (c == "LATOBS") d.observatorio.latitud = v.observatorio.latitud;
  if (c == "ALTOBS") d.observatorio.altitud = v.observatorio.altitud;
}

}  // namespace

bool TieneDatoImagen(const DatosImagen& d, std::string_view c) {
  if (EsCampoNoTexto(c)) {
    // Marked by a reader or an assignment, or set by code to something else than the default.
    static const DatosImagen kVacio;
    return d.conValor.find(c) != d.conValor.end() ||
           TextoDatoImagen(d, c) != TextoDatoImagen(kVacio, c);
  }
  if (c == "TIPOOBJ") return d.tipoObjeto >= 0;
  return !TextoDatoImagen(d, c).empty();
}

namespace {

bool AsignaCampo(DatosImagen& d, std::string_view c, std::string_view t) {
  const std::string s(t);
  if (c == "NOMOBJ")
    d.nombreObjeto = s;
  else if (c == "TIPOOBJ")
    d.tipoObjeto = TipoObjetoPorPalabra(s);
  else if (c == "AROBJ")
    d.ar.AsignaTexto(s);
  else if (c == "DECOBJ")
    d.dec.AsignaTexto(s);
  else if (c == "EPOCAOBJ")
    d.epoca = std::atoi(s.c_str());
  else if (c == "FECHAOBS")
    d.fechaHora.AsignaFecha(Fecha(s));
  else if (c == "HORAOBS")
    d.fechaHora.AsignaHora(Hora(s));
  else if (c == "TIEMPOEXP")
    d.tiempoExp = std::atof(s.c_str());
  else if (c == "FILTRO")
    d.filtro = s;
  else if (c == "NOMCCD")
    d.nomCCD = s;
  else if (c == "TEMPCCD")
    d.tempCCD = std::atof(s.c_str());
  else if (c == "FACTORRESP")
    d.factorResp = s;
  else if (c == "TELESCOPIO")
    d.observatorio.telescopio = s;
  else if (c == "APERTURA")
    d.observatorio.apertura = std::atoi(s.c_str());
  else if (c == "DISTFOCAL")
    d.observatorio.distFocal = std::atoi(s.c_str());
  else if (c == "OBSERVADOR")
    d.observatorio.observador = s;
  else if (c == "OBSERVATORIO")
    d.observatorio.nombre = s;
  else if (c == "LONOBS")
    d.observatorio.longitud.AsignaTexto(s);
  else if (c == "LATOBS")
    d.observatorio.latitud.AsignaTexto(s);
  else if (c == "ALTOBS")
    d.observatorio.altitud = std::atoi(s.c_str());
  else if (c == "COMENTARIO")
    d.comentario = s;
  else
    return false;
  return true;
}

}  // namespace

bool AsignaDatoImagen(DatosImagen& d, std::string_view c, std::string_view t) {
  if (EsCampoNoTexto(c) && t.empty()) {
    VaciaCampo(d, c);
    d.conValor.erase(std::string(c));
    return true;
  }
  // The text a value already shows changes nothing, so it keeps the precision its text rounds
  // away; a field without a value given its default text explicitly (latitude 0) holds one.
  if (EsCampoNoTexto(c) && TieneDatoImagen(d, c) && TextoDatoImagen(d, c) == t) return true;
  if (!AsignaCampo(d, c, t)) return false;
  if (EsCampoNoTexto(c)) d.conValor.emplace(c);
  return true;
}

const std::vector<std::pair<std::string, int>>& ClavesPuntosReferencia() {
  static const std::vector<std::pair<std::string, int>> claves = {
      {"PORIROTAHOR", kOriRotaHor}, {"PFINROTAHOR", kFinRotaHor}, {"PORIROTAVER", kOriRotaVer},
      {"PFINROTAVER", kFinRotaVer}, {"PCENTROROTA", kCentroRota}, {"PDESPMIN", kDespMin},
      {"PDESPMAX", kDespMax},       {"PDESPREF", kDespRef},       {"PREDIMREF1", kRedimRef1},
      {"PREDIMREF2", kRedimRef2}};
  return claves;
}

// ---------------------------------------------------------------------------------------------
// Display layer

Imagen::Imagen() {
  ListaImagenes::Global().Anade(this);
}

Imagen::~Imagen() {
  ListaImagenes::Global().Quita(this);
}

void Imagen::Modificada(int marca) {
  ImagenPixeles::Modificada(marca);
  if (marca != 1) return;
  repintar = 1;
  Actualiza();
  Analisis().PixelesCambiados();
  Repinta(ObservadorImagen::kVentana | ObservadorImagen::kHistograma | ObservadorImagen::kDatos |
          ObservadorImagen::kLinea);
}

int Imagen::Interrumpida() {
  return ProgresoActual().Cancelado();
}

bool LineaSoloVista(std::string_view linea) {
  static constexpr std::string_view kSoloVista[] = {"ZOOM", "MOSTRAR", "INVERTIR"};
  const size_t i = linea.find_first_not_of(' ');
  if (i == std::string_view::npos) return false;
  const std::string_view palabra = linea.substr(i, linea.find(' ', i) - i);
  for (std::string_view p : kSoloVista) {
    if (p.size() == palabra.size() && strncasecmp(p.data(), palabra.data(), p.size()) == 0) {
      return true;
    }
  }
  return false;
}

void Imagen::AnadeOperacion(std::string linea) {
  const size_t i = linea.find_first_not_of(' ');
  if (!LineaSoloVista(linea) && i != std::string::npos) {
    cabecera.AnadeHistoria("ORVA: " + linea.substr(i));
  }
  operaciones_.push_back(std::move(linea));
}

void Imagen::RepintaPaneles(int marca) {
  if (marca == 1) Repinta(ObservadorImagen::kDatos | ObservadorImagen::kLinea);
}

void Imagen::CopiaImagen(const Imagen& f) {
  if (&f == this) return;
  CopiaDatos(f);
  negro_ = f.negro_;
  blanco_ = f.blanco_;
  primeroTabla_ = f.primeroTabla_;
  ultimoTabla_ = f.ultimoTabla_;
  tablaGris_ = f.tablaGris_;
  pasoTabla_ = f.pasoTabla_;
  loTabla_ = f.loTabla_;
  hiTabla_ = f.hiTabla_;
  comandoZoom = f.comandoZoom;
  factorZoom = f.factorZoom;
  modoPanel = f.modoPanel;
  puntos = f.puntos;
  operaciones_ = f.operaciones_;
  repintar = 1;
}

namespace {

// Compares the first four characters of a level setting with a keyword, ignoring case.
bool EsPalabra(const std::string& nivel, const char* palabra) {
  return nivel.size() >= 4 && strncasecmp(nivel.c_str(), palabra, 4) == 0;
}

}  // namespace

void Imagen::Actualiza() {
  ImagenPixeles::Actualiza();
  if (esPaleta) return;
  const Ajustes& cfg = AjustesActuales();
  const std::string specNegro = cfg.Valor("General", "CONTNEGRO");
  const std::string specBlanco = cfg.Valor("General", "CONTBLANCO");
  int negro = Rango().minimo;
  int blanco = Rango().maximo;
  if (!specNegro.empty() && specNegro[0] == '%') {
    if (EsPalabra(specNegro, "%MIN"))
      negro = minimo_;
    else if (EsPalabra(specNegro, "%CIE") || EsPalabra(specNegro, "%CEL"))
      negro = valorModa_;
    else if (EsPalabra(specNegro, "%MED"))
      negro = static_cast<int>(std::lround(media_));
    else if (EsPalabra(specNegro, "%NEG"))
      negro = Rango().minimo;
    else if (EsPalabra(specNegro, "%ANT"))
      negro = negro_;
  } else {
    negro = Percentil(std::atof(specNegro.c_str()));
  }
  if (!specBlanco.empty() && specBlanco[0] == '%') {
    if (EsPalabra(specBlanco, "%MAX"))
      blanco = maximo_;
    else if (EsPalabra(specBlanco, "%BLA"))
      blanco = Rango().maximo;
    else if (EsPalabra(specBlanco, "%ANT"))
      blanco = blanco_;
  } else {
    blanco = Percentil(std::atof(specBlanco.c_str()));
  }
  if (negro == blanco) ++blanco;
  FijaNiveles(negro, blanco);
}

void Imagen::FijaNiveles(int negro, int blanco) {
  if (blanco == negro) ++blanco;
  if (esPaleta) return;
  const int lo = Rango().minimo;
  const int hi = Rango().maximo;
  // The stored table is still right only if it was built for the same levels and range.
  if (negro == negro_ && blanco == blanco_ && lo == loTabla_ && hi == hiTabla_ &&
      !tablaGris_.empty()) {
    return;
  }
  negro = std::clamp(negro, std::min(lo, hi), std::max(lo, hi));
  blanco = std::clamp(blanco, std::min(lo, hi), std::max(lo, hi));
  negro_ = static_cast<int16_t>(negro);
  blanco_ = static_cast<int16_t>(blanco);
  loTabla_ = lo;
  hiTabla_ = hi;

  pasoTabla_ = std::max(1, (hi - lo + 1) / 4096);
  const int lo1 = lo / pasoTabla_, hi1 = hi / pasoTabla_;
  const int b1 = negro / pasoTabla_, w1 = blanco / pasoTabla_;
  primeroTabla_ = std::min(lo1, hi1);
  ultimoTabla_ = std::max(lo1, hi1);
  tablaGris_.assign(static_cast<size_t>(ultimoTabla_ - primeroTabla_ + 1), 0);
  auto entrada = [&](int i) -> uint8_t& {
    return tablaGris_[static_cast<size_t>(i - primeroTabla_)];
  };
  const double s = std::abs(w1 - b1 + 1) / 256.0;
  if (s == 0.0) {
    for (int i = primeroTabla_; i <= ultimoTabla_; ++i) entrada(i) = i < b1 ? 0 : 255;
    return;
  }
  // Black and white falling into one entry keep the direction of the levels themselves, so
  // black 1000 and white 1001 do not turn the scale upside down.
  const bool normal = b1 < w1 || (b1 == w1 && negro < blanco);
  if (normal) {
    for (int i = primeroTabla_; i <= ultimoTabla_; ++i) {
      if (i <= b1)
        entrada(i) = 0;
      else if (i < w1)
        entrada(i) = static_cast<uint8_t>(static_cast<int>((i - b1) / s));
      if (i >= w1) entrada(i) = 255;
    }
  } else {
    for (int i = primeroTabla_; i <= ultimoTabla_; ++i) {
      if (i <= w1)
        entrada(i) = 255;
      else if (i < b1)
        entrada(i) = static_cast<uint8_t>(static_cast<int>(256 - (i - w1) / s));
      if (i >= b1) entrada(i) = 0;
    }
  }
  repintar = 1;
}

}  // namespace orva
