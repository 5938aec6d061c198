#include "stacking/Combinacion.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <utility>

#include "astro/Astronomia.h"
#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "formats/fits/LectorBandas.h"
#include "processing/Geometria.h"

namespace orva {
namespace {

constexpr double kDesviacionMad = 1.4826;  // MAD to standard deviation of a normal law
constexpr int16_t kSinDato = -32768;       // fill of resampled frames: no data there
constexpr double kSegundosDia = 86400.0;
constexpr size_t kDespuesDeTodo = static_cast<size_t>(-1);  // PonNumero: append
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
// FITS frames read band by band straight from their files, at most this many open at once (the
// others go through the working file).
constexpr size_t kMaxLectoresFits = 256;

// The working file of the frames' values: created in a folder, removed when it goes.
class ArchivoTrabajo {
 public:
  explicit ArchivoTrabajo(const std::string& carpeta) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir = carpeta.empty() ? fs::temp_directory_path(ec) : fs::path(carpeta);
    ruta_ = (dir / "orva-apilado-XXXXXX").string();
    std::vector<char> plantilla(ruta_.begin(), ruta_.end());
    plantilla.push_back('\0');
    fd_ = ::mkstemp(plantilla.data());
    if (fd_ < 0) throw JError(12288, dir.string(), std::strerror(errno));
    ruta_ = plantilla.data();
  }
  ~ArchivoTrabajo() {
    ::close(fd_);
    ::unlink(ruta_.c_str());
  }
  ArchivoTrabajo(const ArchivoTrabajo&) = delete;
  ArchivoTrabajo& operator=(const ArchivoTrabajo&) = delete;

  // Appends n bytes; returns where they start.
  uint64_t Escribe(const void* datos, size_t n) {
    const uint64_t inicio = fin_;
    const char* p = static_cast<const char*>(datos);
    size_t queda = n;
    while (queda > 0) {
      const ssize_t e = ::write(fd_, p, queda);
      if (e < 0 && errno == EINTR) continue;
      if (e <= 0) throw JError(12288, ruta_, std::strerror(e < 0 ? errno : ENOSPC));
      p += e;
      queda -= static_cast<size_t>(e);
    }
    fin_ += n;
    return inicio;
  }
  // Reads n bytes from byte `desde` (safe from several threads at once).
  void Lee(void* destino, size_t n, uint64_t desde) const {
    char* p = static_cast<char*>(destino);
    size_t queda = n;
    off_t pos = static_cast<off_t>(desde);
    while (queda > 0) {
      const ssize_t r = ::pread(fd_, p, queda, pos);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) throw JError(12288, ruta_, std::strerror(r < 0 ? errno : EIO));
      p += r;
      pos += r;
      queda -= static_cast<size_t>(r);
    }
  }

 private:
  std::string ruta_;
  int fd_ = -1;
  uint64_t fin_ = 0;
};

// The median of v (reordered); NaN when empty.
double Mediana(std::vector<float>& v) {
  if (v.empty()) return std::nan("");
  const size_t m = v.size() / 2;
  std::nth_element(v.begin(), v.begin() + static_cast<long>(m), v.end());
  const double alto = v[m];
  if (v.size() % 2 == 1) return alto;
  const double bajo = *std::max_element(v.begin(), v.begin() + static_cast<long>(m));
  return (bajo + alto) / 2.0;
}

// The values of one pixel are sorted by a fixed network of compare-exchanges (no branches that
// depend on the data) of the next power of two up to this size, the room filled with +inf; more
// values by std::sort.
constexpr size_t kRedMaxima = 32;

// The compare-exchanges of Batcher's odd-even merge network sorting P values, in order.
template <size_t P>
struct RedOrdenacion {
  static constexpr size_t kPares = [] {
    size_t c = 0;
    for (size_t p = 1; p < P; p <<= 1)
      for (size_t k = p; k >= 1; k >>= 1)
        for (size_t j = k % p; j + k < P; j += 2 * k)
          for (size_t i = 0; i < k && i + j + k < P; ++i)
            if ((i + j) / (2 * p) == (i + j + k) / (2 * p)) ++c;
    return c;
  }();
  std::array<uint8_t, kPares> a{}, b{};
  constexpr RedOrdenacion() {
    size_t c = 0;
    for (size_t p = 1; p < P; p <<= 1)
      for (size_t k = p; k >= 1; k >>= 1)
        for (size_t j = k % p; j + k < P; j += 2 * k)
          for (size_t i = 0; i < k && i + j + k < P; ++i)
            if ((i + j) / (2 * p) == (i + j + k) / (2 * p)) {
              a[c] = static_cast<uint8_t>(i + j);
              b[c] = static_cast<uint8_t>(i + j + k);
              ++c;
            }
  }
};

// Sorts v[0..P) through the network.
template <size_t P>
void OrdenaRed(float* v) {
  static constexpr RedOrdenacion<P> kRed;
  for (size_t c = 0; c < RedOrdenacion<P>::kPares; ++c) {
    const float x = v[kRed.a[c]], y = v[kRed.b[c]];
    v[kRed.a[c]] = std::min(x, y);
    v[kRed.b[c]] = std::max(x, y);
  }
}

// The size of the network that sorts n values.
size_t TamanoRed(size_t n) {
  size_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

// Sorts the n values at v (finite; v has room for kRedMaxima values).
void OrdenaCorta(float* v, size_t n) {
  if (n > kRedMaxima) {
    std::sort(v, v + n);
    return;
  }
  const size_t p = TamanoRed(n);
  std::fill(v + n, v + p, std::numeric_limits<float>::infinity());
  switch (p) {
    case 1:
      return;
    case 2:
      return OrdenaRed<2>(v);
    case 4:
      return OrdenaRed<4>(v);
    case 8:
      return OrdenaRed<8>(v);
    case 16:
      return OrdenaRed<16>(v);
    default:
      return OrdenaRed<kRedMaxima>(v);
  }
}

// The median of n sorted values, the same value as Mediana's; NaN when n is 0.
double MedianaOrdenada(const float* v, size_t n) {
  if (n == 0) return std::nan("");
  const size_t m = n / 2;
  const double alto = v[m];
  if (n % 2 == 1) return alto;
  return (static_cast<double>(v[m - 1]) + alto) / 2.0;
}

// Pixels combined side by side (loops over them vectorise).
constexpr size_t kBloque = 64;

// Sorts every column of col (P rows of kBloque values) through the network on its own.
template <size_t P>
void OrdenaColumnasRed(float* col) {
  static constexpr RedOrdenacion<P> kRed;
  for (size_t c = 0; c < RedOrdenacion<P>::kPares; ++c) {
    float* x = col + kRed.a[c] * kBloque;
    float* y = col + kRed.b[c] * kBloque;
    for (size_t j = 0; j < kBloque; ++j) {
      const float u = x[j], v = y[j];
      x[j] = std::min(u, v);
      y[j] = std::max(u, v);
    }
  }
}

void OrdenaColumnas(float* col, size_t p) {
  switch (p) {
    case 1:
      return;
    case 2:
      return OrdenaColumnasRed<2>(col);
    case 4:
      return OrdenaColumnasRed<4>(col);
    case 8:
      return OrdenaColumnasRed<8>(col);
    case 16:
      return OrdenaColumnasRed<16>(col);
    default:
      return OrdenaColumnasRed<kRedMaxima>(col);
  }
}

// 1 for a finite value, 0 for NaN and infinities (by its exponent bits).
inline uint32_t EsFinito(float x) {
  constexpr uint32_t kExponente = 0x7f800000u;
  return (std::bit_cast<uint32_t>(x) & kExponente) != kExponente ? 1u : 0u;
}

// Combines a block of b pixels (b up to kBloque) of n frames, n up to kRedMaxima: the value of
// frame f at pixel j is datos[f * paso + j]; col has room for kRedMaxima x kBloque values. Gives
// what CombinaPixel gives in resultado[j], except where sigma clipping might drop a value
// (a value farther than kappa floors from the median): there solo[j] is set and the pixel is
// left to CombinaPixel. Sums run over the frames in order as CombinaPixel's do, a missing value
// adding +0 (a sum that starts at +0 never becomes -0, so that changes no bit).
void CombinaBloque(const AjustesCombinacion& a, size_t n, double piso, const float* datos,
                   size_t paso, size_t b, float* col, double* resultado, bool* solo) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  uint32_t cuenta[kBloque] = {};
  double suma[kBloque] = {};
  float x[kBloque], sumando[kBloque];
  std::fill(x + b, x + kBloque, kNaN);  // past the block: no data
  for (size_t f = 0; f < n; ++f) {
    std::copy(datos + f * paso, datos + f * paso + b, x);
    float* c = col + f * kBloque;
    // Whole blocks of local arrays and tests that raise no floating-point flags: loops that
    // vectorise.
    constexpr uint32_t kBitsInf = std::bit_cast<uint32_t>(kInf);
    for (size_t j = 0; j < kBloque; ++j) {
      const uint32_t bits = std::bit_cast<uint32_t>(x[j]);
      const uint32_t dato = EsFinito(x[j]);
      const uint32_t mascara = 0u - dato;  // all ones for a value, 0 otherwise
      c[j] = std::bit_cast<float>((bits & mascara) | (kBitsInf & ~mascara));
      cuenta[j] += dato;
      sumando[j] = std::bit_cast<float>(bits & mascara);  // +0 where no value
    }
    for (size_t j = 0; j < kBloque; ++j) suma[j] += static_cast<double>(sumando[j]);
  }
  const double kNaNd = std::nan("");
  for (size_t j = 0; j < b; ++j) {
    solo[j] = false;
    resultado[j] = cuenta[j] > 0 ? suma[j] / static_cast<double>(cuenta[j]) : kNaNd;
  }
  if (a.metodo == MetodoCombinacion::kSuma) {
    for (size_t j = 0; j < b; ++j) resultado[j] *= static_cast<double>(n);
  }
  if (a.metodo == MetodoCombinacion::kMedia || a.metodo == MetodoCombinacion::kSuma) return;
  const size_t p = TamanoRed(n);
  for (size_t f = n; f < p; ++f) std::fill(col + f * kBloque, col + (f + 1) * kBloque, kInf);
  OrdenaColumnas(col, p);
  auto mediana = [col](size_t j, size_t k) {
    const size_t m = k / 2;
    const double alto = col[m * kBloque + j];
    if (k % 2 == 1) return alto;
    return (static_cast<double>(col[(m - 1) * kBloque + j]) + alto) / 2.0;
  };
  if (a.metodo == MetodoCombinacion::kMediana) {
    for (size_t j = 0; j < b; ++j) {
      if (cuenta[j] > 0) resultado[j] = mediana(j, cuenta[j]);
    }
    return;
  }
  if (a.iteraciones < 1) return;
  // Sigma clipping: where no value lies farther than kappa floors from the median none is
  // dropped, and the result is the mean.
  const double kappaPiso = a.kappa * piso;
  double centro[kBloque] = {};
  for (size_t j = 0; j < b; ++j) centro[j] = cuenta[j] > 2 ? mediana(j, cuenta[j]) : 0.0;
  uint32_t lejos[kBloque] = {};
  for (size_t f = 0; f < n; ++f) {
    std::copy(datos + f * paso, datos + f * paso + b, x);
    for (size_t j = 0; j < kBloque; ++j) {
      const double d = std::fabs(x[j] - centro[j]);
      lejos[j] |= EsFinito(x[j]) & static_cast<uint32_t>(std::isgreater(d, kappaPiso));
    }
  }
  for (size_t j = 0; j < b; ++j) solo[j] = cuenta[j] > 2 && lejos[j] != 0;
}

// Pixel values of the 16-bit range, as indices of a table.
constexpr size_t kValoresPixel = 65536;
constexpr int kDesplazamientoPixel = 32768;

// The physical value of every pixel value under a mapping (index: pixel + 32768).
std::vector<float> TablaFisicos(const MapeoValores& m) {
  std::vector<float> t(kValoresPixel);
  for (size_t i = 0; i < kValoresPixel; ++i) {
    t[i] = static_cast<float>(
        m.Fisico(static_cast<double>(static_cast<int>(i) - kDesplazamientoPixel)));
  }
  return t;
}

// The median of a multiset of values given as (value, count) pairs (reordered): what Mediana
// gives for the values written out; NaN when empty.
double MedianaRecuento(std::vector<std::pair<float, int64_t>>& v) {
  std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  int64_t total = 0;
  for (const auto& e : v) total += e.second;
  if (total == 0) return std::nan("");
  auto orden = [&v](int64_t k) {  // the k-th smallest value, from 0
    int64_t acumulado = 0;
    for (const auto& e : v) {
      acumulado += e.second;
      if (k < acumulado) return e.first;
    }
    return v.back().first;
  };
  const double alto = orden(total / 2);
  if (total % 2 == 1) return alto;
  const double bajo = orden(total / 2 - 1);
  return (bajo + alto) / 2.0;
}

// Sky level and robust deviation of a frame's defined values, from how many pixels hold each
// pixel value (`cuenta`) and the values' physical values (`tabla`): the same figures as the
// medians of the values written out, in a time that does not grow with the frame's size.
void FondoYDispersion(const std::vector<int64_t>& cuenta, const std::vector<float>& tabla,
                      double& fondo, double& dispersion) {
  std::vector<std::pair<float, int64_t>> v;
  for (size_t p = 0; p < kValoresPixel; ++p) {
    if (cuenta[p] > 0 && std::isfinite(tabla[p])) v.emplace_back(tabla[p], cuenta[p]);
  }
  fondo = MedianaRecuento(v);
  for (auto& e : v) e.first = static_cast<float>(std::fabs(e.first - fondo));
  dispersion = kDesviacionMad * MedianaRecuento(v);
}

std::string TextoTamano(uint32_t ancho, uint32_t alto) {
  return std::to_string(ancho) + "x" + std::to_string(alto);
}

std::string Texto(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.6g", v);
  return b;
}

// Combines the n values of one pixel (val[i] of frame fot[i]; aux has room for n and for
// kRedMaxima); counts
// rejections per frame. `piso` is the frames' own noise: the deviation a value is measured
// against never falls below it.
double CombinaPixel(const AjustesCombinacion& a, size_t total, double piso, float* val,
                    uint32_t* fot, size_t n, float* aux, int64_t* rechazosFot, int& rechazados) {
  rechazados = 0;
  if (n == 0) return std::nan("");
  switch (a.metodo) {
    case MetodoCombinacion::kMedia:
    case MetodoCombinacion::kSuma: {
      double s = 0.0;
      for (size_t i = 0; i < n; ++i) s += val[i];
      const double media = s / static_cast<double>(n);
      // A sum over frames missing here (outside a shifted frame) counts them at the mean.
      return a.metodo == MetodoCombinacion::kSuma ? media * static_cast<double>(total) : media;
    }
    case MetodoCombinacion::kMediana:
      std::copy(val, val + n, aux);
      OrdenaCorta(aux, n);
      return MedianaOrdenada(aux, n);
    case MetodoCombinacion::kSigma:
      break;
  }
  // Sigma clipping: a value is dropped when it lies farther from the median than kappa times
  // the standard deviation of the other values, pass after pass until none is or the passes run
  // out; the mean of the rest. Leaving the value out of its own deviation lets a single outlier
  // be found in a short series, where it would inflate a deviation that includes it. The
  // deviation of two or three values is often far below the real noise, so it is taken no
  // smaller than the frames' measured sky noise: a short series then rejects about as often as
  // kappa says, not one value in ten.
  // Whether a value is dropped depends on the value alone (given the pass's sums), so the
  // sorted copy in aux loses the same values as val and stays sorted: one sort a pixel.
  const double kappaPiso = a.kappa * piso;
  size_t activos = n;
  if (n > 2 && a.iteraciones > 0) {
    std::copy(val, val + n, aux);
    OrdenaCorta(aux, n);
  }
  for (int it = 0; it < a.iteraciones && activos > 2; ++it) {
    const double centro = MedianaOrdenada(aux, activos);
    double s = 0.0, q = 0.0;
    for (size_t i = 0; i < activos; ++i) {
      const double d = val[i] - centro;  // sums around the median: no cancellation
      s += d;
      q += d * d;
    }
    const double otros = static_cast<double>(activos - 1);
    const auto fuera = [&](float x) {
      const double d = x - centro;
      // The deviation is never below the floor, so a value within kappa floors stays (the
      // products round alike: kappa x deviation is never below kappa x floor).
      if (std::fabs(d) <= kappaPiso) return false;
      const double mediaOtros = (s - d) / otros;
      const double varOtros = ((q - d * d) - otros * mediaOtros * mediaOtros) / (otros - 1.0);
      const double desv = std::max(varOtros > 0.0 ? std::sqrt(varOtros) : 0.0, piso);
      return desv > 0.0 && std::fabs(d) > a.kappa * desv;
    };
    size_t quedan = 0;
    for (size_t i = 0; i < activos; ++i) {
      if (!fuera(val[i])) {
        val[quedan] = val[i];
        fot[quedan] = fot[i];
        ++quedan;
      } else if (rechazosFot) {
        ++rechazosFot[fot[i]];
      }
    }
    if (quedan == activos) break;
    size_t k = 0;
    for (size_t i = 0; i < activos; ++i) {
      if (!fuera(aux[i])) aux[k++] = aux[i];
    }
    rechazados += static_cast<int>(activos - quedan);
    activos = quedan;
  }
  double s = 0.0;
  for (size_t i = 0; i < activos; ++i) s += val[i];
  return s / static_cast<double>(activos);
}

}  // namespace

const char* NombreMetodo(MetodoCombinacion m) {
  switch (m) {
    case MetodoCombinacion::kMedia:
      return "MEDIA";
    case MetodoCombinacion::kMediana:
      return "MEDIANA";
    case MetodoCombinacion::kSuma:
      return "SUMA";
    case MetodoCombinacion::kSigma:
      return "SIGMA";
  }
  return "";
}

FuenteFotogramas FotogramasArchivos(const std::vector<std::string>& archivos) {
  FuenteFotogramas f;
  f.numero = archivos.size();
  f.carga = [archivos](size_t i, Imagen& im) { LeeArchivo(archivos.at(i), im); };
  f.nombre = [archivos](size_t i) { return archivos.at(i); };
  f.archivo = f.nombre;
  return f;
}

FuenteFotogramas FotogramasMemoria(const std::vector<const Imagen*>& imagenes) {
  FuenteFotogramas f;
  f.numero = imagenes.size();
  f.carga = [imagenes](size_t i, Imagen& im) { im.CopiaImagen(*imagenes.at(i)); };
  f.nombre = [imagenes](size_t i) {
    const Imagen& im = *imagenes.at(i);
    return im.nombreVentana.empty() ? im.NombreArchivo() : im.nombreVentana;
  };
  return f;
}

FuenteFotogramas SubconjuntoFotogramas(const FuenteFotogramas& fuente,
                                       const std::vector<size_t>& indices) {
  FuenteFotogramas f;
  f.numero = indices.size();
  f.carga = [fuente, indices](size_t i, Imagen& im) { fuente.carga(indices.at(i), im); };
  f.nombre = [fuente, indices](size_t i) { return fuente.nombre(indices.at(i)); };
  if (fuente.archivo) {
    f.archivo = [fuente, indices](size_t i) { return fuente.archivo(indices.at(i)); };
  }
  return f;
}

std::vector<std::vector<size_t>> GruposFotogramas(size_t n, size_t tamano) {
  std::vector<std::vector<size_t>> grupos;
  if (tamano == 0) tamano = n;
  for (size_t i = 0; i < n; i += tamano) {
    std::vector<size_t> g;
    for (size_t j = i; j < std::min(n, i + tamano); ++j) g.push_back(j);
    grupos.push_back(std::move(g));
  }
  return grupos;
}

ResultadoCombinacion CombinaFotogramas(const FuenteFotogramas& fuente,
                                       const AjustesCombinacion& ajustes,
                                       const std::vector<Transformacion2D>& transformaciones,
                                       Progreso& progreso) {
  const size_t n = fuente.numero;
  if (n == 0) throw JError(12280);
  if (!transformaciones.empty() && transformaciones.size() != n) {
    throw JError(12286, std::to_string(transformaciones.size()), std::to_string(n));
  }
  ResultadoCombinacion r;
  r.figuras.resize(n);
  // Where the second pass finds each frame: its FITS file read band by band, or its place in the
  // working file (created when a frame needs it), with the normalisation a x + b to apply. The
  // working file holds a frame's 16-bit pixels (read through its mapping; with kSinDato where a
  // resampled frame has no data) when they say everything, else its 32-bit values.
  std::vector<std::unique_ptr<LectorBandasFits>> lectores(n);
  std::vector<uint64_t> lugar(n, 0);
  std::vector<char> comoPixeles(n, 0), conHuecos(n, 0);
  std::vector<MapeoValores> mapeos(n);
  std::vector<double> factorA(n, 1.0), sumandoB(n, 0.0);
  std::unique_ptr<ArchivoTrabajo> trabajo;
  size_t abiertos = 0;
  const bool fitsDirecto = fuente.archivo && AjustesActualesFits().leerPrimario;

  // First pass: every frame once, measured, normalised and aligned.
  PuntoReferencia ref0;
  double pesoJd = 0.0, sumaJd = 0.0;
  r.conFecha = true;
  for (size_t f = 0; f < n; ++f) {
    if (progreso.Cancelado()) throw JError(11011);
    progreso.TextoArchivo(fuente.nombre(f));
    Imagen im;
    fuente.carga(f, im);
    FiguraFotograma& fig = r.figuras[f];
    fig.nombre = fuente.nombre(f);
    if (f == 0) {
      r.ancho = im.Ancho();
      r.alto = im.Alto();
      r.mapeo = im.mapeo;
      if (im.Vacia()) throw JError(12281, fig.nombre, "0x0", "0x0");
    } else if (im.Ancho() != r.ancho || im.Alto() != r.alto) {
      throw JError(12281, fig.nombre, TextoTamano(im.Ancho(), im.Alto()),
                   TextoTamano(r.ancho, r.alto));
    }
    Transformacion2D t;
    if (!transformaciones.empty()) {
      t = transformaciones[f];
    } else if (ajustes.porReferencia) {
      const PuntoReferencia& p = im.puntos[kDespRef];
      if (!p.definido) throw JError(12285, fig.nombre);
      if (f == 0) ref0 = p;
      t = Transformacion2D::Desplazamiento(p.x - ref0.x, p.y - ref0.y);
    }
    fig.dx = t.h[2];
    fig.dy = t.h[5];
    const bool remuestreada = !t.EsIdentidad();

    fig.tiempoExp = im.datos.tiempoExp;
    r.tiempoTotal += im.datos.tiempoExp;
    if (TieneDatoImagen(im.datos, "FECHAOBS")) {
      const double peso = im.datos.tiempoExp > 0.0 ? im.datos.tiempoExp : 1.0;
      sumaJd += peso * (im.datos.fechaHora.DiaJuliano() + im.datos.tiempoExp / 2.0 / kSegundosDia);
      pesoJd += peso;
    } else {
      r.conFecha = false;
    }

    // The frame's sky level and deviation come from the count of its pixel values and the
    // physical value of each through a table of the mapping.
    const std::vector<float> tabla = TablaFisicos(im.mapeo);
    const int16_t* px = im.Pixeles().data();
    const size_t pixeles = im.NumPixeles();
    std::vector<int64_t> cuenta;
    std::vector<int16_t> marcados;  // resampled: its pixels, kSinDato where no data
    std::vector<char> datos;        // resampled: whether a pixel holds data
    bool choque = false;            // a pixel with data holds kSinDato itself
    if (remuestreada) {
      // The frame resampled onto the first one's grid: the bilinear sample at the transform of
      // every pixel (as RemuestreaTransformacion gives it). Only pixels whose source lies where
      // all four bilinear neighbours are inside the frame hold data; the others (fill, or fill
      // mixed into an edge sample) are left out and not even sampled.
      const bool afin = t.h[6] == 0.0 && t.h[7] == 0.0 && t.h[8] == 1.0;
      const long anchoOrigen = im.Ancho(), altoOrigen = im.Alto();
      marcados.resize(pixeles);
      datos.resize(pixeles);
      std::vector<char> choques(static_cast<size_t>(NumBandas(r.alto)), 0);
      const double maxU = static_cast<double>(r.ancho) - 1.0;
      const double maxV = static_cast<double>(r.alto) - 1.0;
      const size_t anchoFila = r.ancho;
      ParaBandas(r.alto, &progreso, [&](long banda, long desde, long hasta) {
        for (long y = desde; y < hasta; ++y) {
          const size_t fila = static_cast<size_t>(y) * anchoFila;
          for (uint32_t x = 0; x < r.ancho; ++x) {
            const double xd = static_cast<double>(x), yd = static_cast<double>(y);
            double u = 0.0, w = 0.0;
            bool aplica = true;
            if (afin) {  // what Aplica gives, without its division by w = 1
              u = t.h[0] * xd + t.h[1] * yd + t.h[2];
              w = t.h[3] * xd + t.h[4] * yd + t.h[5];
            } else {
              aplica = t.Aplica(xd, yd, u, w);
            }
            const bool dentro = aplica && u >= 0.0 && w >= 0.0 && u <= maxU && w <= maxV;
            const int16_t p =
                dentro ? MuestraBilineal(px, anchoOrigen, altoOrigen, u, w, kSinDato) : kSinDato;
            marcados[fila + x] = p;
            datos[fila + x] = dentro;
            if (dentro && p == kSinDato) choques[static_cast<size_t>(banda)] = 1;
          }
        }
      });
      choque = std::find(choques.begin(), choques.end(), 1) != choques.end();
    }
    // Measured on the frame's own pixels: resampling smooths the noise, and a deviation taken
    // after it would make the scale normalisation amplify every resampled frame.
    cuenta = CuentaValores(px, static_cast<uint32_t>(im.Ancho()), static_cast<uint32_t>(im.Alto()),
                           std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(),
                           nullptr);
    FondoYDispersion(cuenta, tabla, fig.fondo, fig.dispersion);
    const FiguraFotograma& f0 = r.figuras[0];
    double a = 1.0, b = 0.0;  // normalised = a * v + b
    switch (ajustes.normalizacion) {
      case Normalizacion::kNinguna:
        break;
      case Normalizacion::kAditiva:
        b = f0.fondo - fig.fondo;
        break;
      case Normalizacion::kMultiplicativa:
        if (!(fig.fondo > 0.0) || !(f0.fondo > 0.0))
          throw JError(12284, fig.nombre, Texto(fig.fondo));
        a = f0.fondo / fig.fondo;
        break;
      case Normalizacion::kAmbas:
        if (fig.dispersion > 0.0 && f0.dispersion > 0.0) a = f0.dispersion / fig.dispersion;
        b = f0.fondo - a * fig.fondo;
        break;
    }
    fig.escala = a;
    factorA[f] = a;
    sumandoB[f] = b;
    if (fitsDirecto && !remuestreada && abiertos < kMaxLectoresFits) {
      const std::string ruta = fuente.archivo(f);
      if (!ruta.empty() && EsFits(ruta)) {
        auto lector = std::make_unique<LectorBandasFits>(ruta);
        if (lector->Ancho() == r.ancho && lector->Alto() == r.alto) {
          lectores[f] = std::move(lector);
          ++abiertos;
        }
      }
    }
    if (!lectores[f]) {
      if (!trabajo) trabajo = std::make_unique<ArchivoTrabajo>(ajustes.carpetaTemporal);
      mapeos[f] = im.mapeo;
      if (!choque) {
        comoPixeles[f] = 1;
        conHuecos[f] = remuestreada;
        lugar[f] = trabajo->Escribe(remuestreada ? marcados.data() : px, pixeles * sizeof(int16_t));
      } else {
        std::vector<float> v(pixeles);
        for (size_t i = 0; i < pixeles; ++i) {
          v[i] = datos[i] ? tabla[marcados[i] + kDesplazamientoPixel] : kNaN;
          if (a != 1.0 || b != 0.0) v[i] = static_cast<float>(a * v[i] + b);
        }
        lugar[f] = trabajo->Escribe(v.data(), pixeles * sizeof(float));
      }
    }
    progreso.Avance(static_cast<double>(f + 1) / static_cast<double>(n) / 2.0);
  }
  if (r.conFecha && pesoJd > 0.0) r.jdMedio = sumaJd / pesoJd;

  // The noise floor of sigma clipping: the median of the frames' normalised sky noise.
  double piso = 0.0;
  {
    std::vector<float> ruidos;
    for (size_t f = 0; f < n; ++f) {
      const double d = std::fabs(factorA[f]) * r.figuras[f].dispersion;
      if (d > 0.0 && std::isfinite(d)) ruidos.push_back(static_cast<float>(d));
    }
    if (!ruidos.empty()) piso = Mediana(ruidos);
  }

  // Second pass: bands of rows, every frame's rows of the band read from the working file.
  const size_t ancho = r.ancho;
  const size_t pixeles = ancho * r.alto;
  r.valores.assign(pixeles, kNaN);
  if (ajustes.mapaRechazos) r.rechazos.assign(pixeles, 0);
  const bool sigma = ajustes.metodo == MetodoCombinacion::kSigma;
  const long bandas = NumBandas(r.alto);
  std::vector<int64_t> rechazosBanda(sigma ? static_cast<size_t>(bandas) * n : 0, 0);
  progreso.TextoProceso(NombreMetodo(ajustes.metodo));
  ParaBandas(r.alto, &progreso, [&](long banda, long desde, long hasta) {
    const size_t filas = static_cast<size_t>(hasta - desde);
    const size_t porFot = filas * ancho;
    std::vector<float> buf(porFot * n);
    std::vector<int16_t> cortos;
    for (size_t f = 0; f < n; ++f) {
      float* destino = buf.data() + f * porFot;
      const uint64_t primero = static_cast<uint64_t>(desde) * ancho;
      if (lectores[f]) {
        lectores[f]->LeeFilas(desde, hasta - desde, destino);
      } else if (!comoPixeles[f]) {
        trabajo->Lee(destino, porFot * sizeof(float), lugar[f] + primero * sizeof(float));
        continue;  // normalised already
      } else {
        cortos.resize(porFot);
        trabajo->Lee(cortos.data(), porFot * sizeof(int16_t), lugar[f] + primero * sizeof(int16_t));
        const MapeoValores m = mapeos[f];
        const bool huecos = conHuecos[f];
        for (size_t i = 0; i < porFot; ++i) {
          destino[i] =
              huecos && cortos[i] == kSinDato ? kNaN : static_cast<float>(m.Fisico(cortos[i]));
        }
      }
      const double a = factorA[f], b = sumandoB[f];
      if (a != 1.0 || b != 0.0) {
        for (size_t i = 0; i < porFot; ++i) destino[i] = static_cast<float>(a * destino[i] + b);
      }
    }
    std::vector<float> val(n), aux(std::max(n, kRedMaxima));
    std::vector<uint32_t> fot(n);
    int64_t* rechFot = sigma ? rechazosBanda.data() + static_cast<size_t>(banda) * n : nullptr;
    const bool enBloques = n <= kRedMaxima;
    std::vector<float> columnas(enBloques ? kRedMaxima * kBloque : 0);
    double resultado[kBloque];
    bool solo[kBloque];
    for (size_t i = 0; i < porFot; ++i) {
      const size_t j = i % kBloque;
      if (enBloques && j == 0) {
        CombinaBloque(ajustes, n, piso, buf.data() + i, porFot, std::min(kBloque, porFot - i),
                      columnas.data(), resultado, solo);
      }
      const size_t destino = static_cast<size_t>(desde) * ancho + i;
      if (enBloques && !solo[j]) {
        r.valores[destino] = static_cast<float>(resultado[j]);
        continue;  // nothing dropped: the rejection map keeps its 0
      }
      size_t k = 0;
      for (size_t f = 0; f < n; ++f) {
        const float x = buf[f * porFot + i];
        if (std::isfinite(x)) {
          val[k] = x;
          fot[k] = static_cast<uint32_t>(f);
          ++k;
        }
      }
      int rech = 0;
      r.valores[destino] = static_cast<float>(
          CombinaPixel(ajustes, n, piso, val.data(), fot.data(), k, aux.data(), rechFot, rech));
      if (!r.rechazos.empty()) r.rechazos[destino] = static_cast<int16_t>(std::min(rech, 32767));
    }
  });
  for (long b = 0; b < bandas && sigma; ++b) {
    for (size_t f = 0; f < n; ++f)
      r.figuras[f].rechazados += rechazosBanda[static_cast<size_t>(b) * n + f];
  }
  return r;
}

int64_t ValoresAPixeles(const std::vector<float>& valores, uint32_t ancho, uint32_t alto,
                        const MapeoValores& mapeo, ImagenPixeles& destino) {
  const RangoPixeles rango = Rango();
  const double escala = mapeo.escala != 0.0 && std::isfinite(mapeo.escala) ? mapeo.escala : 1.0;
  std::vector<int16_t> px(valores.size());
  int64_t recortados = 0;
  for (size_t i = 0; i < valores.size(); ++i) {
    if (!std::isfinite(valores[i])) {
      px[i] = rango.defecto;
      continue;
    }
    const double p = std::nearbyint((valores[i] - mapeo.cero) / escala);
    if (p < rango.minimo || p > rango.maximo) {
      ++recortados;
      px[i] = p < rango.minimo ? rango.minimo : rango.maximo;
    } else {
      px[i] = static_cast<int16_t>(p);
    }
  }
  destino.CambiaPixeles(ancho, alto, std::move(px));
  destino.mapeo = MapeoValores{mapeo.cero, escala};
  destino.bitsPixel = 16;
  destino.Modificada(1);
  return recortados;
}

MapeoValores MapeoApilado(const ResultadoCombinacion& r, MetodoCombinacion metodo) {
  MapeoValores m = r.mapeo;
  if (metodo == MetodoCombinacion::kSuma) {
    const double n = static_cast<double>(r.figuras.size());
    m.cero *= n;
    m.escala *= n;
  }
  return m;
}

int64_t ApilaFotogramas(const FuenteFotogramas& fuente, const AjustesCombinacion& ajustes,
                        const std::vector<Transformacion2D>& transformaciones, Imagen& resultado,
                        ResultadoCombinacion* detalle, Progreso& progreso) {
  ResultadoCombinacion r = CombinaFotogramas(fuente, ajustes, transformaciones, progreso);
  // The record of the first frame, then the stack's own figures.
  fuente.carga(0, resultado);
  resultado.CambiaOperaciones({});
  const int64_t recortados =
      ValoresAPixeles(r.valores, r.ancho, r.alto, MapeoApilado(r, ajustes.metodo), resultado);
  resultado.datos.tiempoExp = r.tiempoTotal;
  resultado.datos.conValor.insert("TIEMPOEXP");
  Cabecera& c = resultado.cabecera;
  c.PonNumero("NCOMBINE", static_cast<double>(r.figuras.size()), kDespuesDeTodo);
  if (r.conFecha && r.jdMedio > 0.0) {
    c.PonNumero("JD-MID", r.jdMedio, kDespuesDeTodo);
    if (TieneDatoImagen(resultado.datos, "AROBJ") && TieneDatoImagen(resultado.datos, "DECOBJ")) {
      FechaHora medio;
      medio.AsignaDiaJuliano(r.jdMedio);
      c.PonNumero("HJD-MID",
                  DiaJulianoHeliocentrico(medio, resultado.datos.ar, resultado.datos.dec),
                  kDespuesDeTodo);
    }
  }
  std::string linea = std::string("APILADO ") + NombreMetodo(ajustes.metodo) + " de " +
                      std::to_string(r.figuras.size()) + " imagenes";
  if (ajustes.metodo == MetodoCombinacion::kSigma) {
    linea += " kappa " + Texto(ajustes.kappa) + " iter " + std::to_string(ajustes.iteraciones);
  }
  linea += ", tiempo total " + Texto(r.tiempoTotal) + " s";
  c.AnadeHistoria(linea);
  for (const FiguraFotograma& f : r.figuras) {
    c.AnadeHistoria("APILADO " + f.nombre + " dx " + Texto(f.dx) + " dy " + Texto(f.dy));
  }
  if (detalle) *detalle = std::move(r);
  return recortados;
}

}  // namespace orva
