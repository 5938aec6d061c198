// TIFF reader, header reader and writer on libtiff, with errors gathered per file.
#include "formats/tiff/Tiff.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/TiposArchivo.h"

namespace orva {
namespace {

// The first error text libtiff reports for one file; no process-wide handler is touched.
struct ErroresTiff {
  std::string texto;
};

int AnotaError(TIFF*, void* datos, const char* modulo, const char* formato, va_list args) {
  auto* e = static_cast<ErroresTiff*>(datos);
  if (e->texto.empty()) {
    char b[512];
    std::vsnprintf(b, sizeof b, formato, args);
    e->texto = modulo ? std::string(modulo) + ": " + b : std::string(b);
  }
  return 1;
}

int CallaAviso(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct CierraTiff {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
using PtrTiff = std::unique_ptr<TIFF, CierraTiff>;

struct LiberaOpciones {
  void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

PtrTiff AbreTiff(const std::string& nombre, const char* modo, ErroresTiff& errores,
                 const std::string& archivo) {
  std::unique_ptr<TIFFOpenOptions, LiberaOpciones> opciones(TIFFOpenOptionsAlloc());
  TIFFOpenOptionsSetErrorHandlerExtR(opciones.get(), &AnotaError, &errores);
  TIFFOpenOptionsSetWarningHandlerExtR(opciones.get(), &CallaAviso, nullptr);
  PtrTiff t(TIFFOpenExt(nombre.c_str(), modo, opciones.get()));
  if (!t) throw JError(11161, archivo, errores.texto.empty() ? "TIFFOpen" : errores.texto);
  return t;
}

[[noreturn]] void Falla(const ErroresTiff& e, const std::string& archivo, const char* donde) {
  throw JError(11161, archivo, e.texto.empty() ? std::string(donde) : e.texto);  // 11161
}

std::string Etiqueta(TIFF* t, ttag_t etiqueta) {
  char* valor = nullptr;
  if (TIFFGetField(t, etiqueta, &valor) != 1 || valor == nullptr) return {};
  return valor;
}

void LeeDatos(TIFF* t, DatosImagen& d) {
  const std::string descripcion = Etiqueta(t, TIFFTAG_IMAGEDESCRIPTION);
  if (!descripcion.empty()) d.nombreObjeto = descripcion;
  const std::string artista = Etiqueta(t, TIFFTAG_ARTIST);
  if (!artista.empty()) d.observatorio.observador = artista;
  // DateTime: "YYYY:MM:DD HH:MM:SS".
  const std::string fecha = Etiqueta(t, TIFFTAG_DATETIME);
  int a = 0, m = 0, dia = 0, h = 0, mi = 0, s = 0;
  if (std::sscanf(fecha.c_str(), "%d:%d:%d %d:%d:%d", &a, &m, &dia, &h, &mi, &s) == 6) {
    try {
      Fecha f(dia, m, a);
      Hora hora(h, mi, s);
      d.fechaHora.AsignaFecha(f);
      d.fechaHora.AsignaHora(hora);
    } catch (const JError&) {
    }
  }
}

void Lee(const std::string& archivo, ImagenObservacion& imagen, bool conPixeles) {
  ErroresTiff errores;
  PtrTiff t = AbreTiff(archivo, "r", errores, archivo);
  uint32_t ancho = 0, alto = 0;
  uint16_t bits = 0, muestras = 1, formato = SAMPLEFORMAT_UINT, fotometria = PHOTOMETRIC_MINISBLACK;
  if (!TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &ancho) ||
      !TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &alto)) {
    Falla(errores, archivo, "ImageWidth");
  }
  TIFFGetFieldDefaulted(t.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t.get(), TIFFTAG_SAMPLESPERPIXEL, &muestras);
  TIFFGetFieldDefaulted(t.get(), TIFFTAG_SAMPLEFORMAT, &formato);
  TIFFGetField(t.get(), TIFFTAG_PHOTOMETRIC, &fotometria);
  const bool paleta = fotometria == PHOTOMETRIC_PALETTE;
  const bool gris = fotometria == PHOTOMETRIC_MINISBLACK || fotometria == PHOTOMETRIC_MINISWHITE;
  const bool admitida =
      muestras == 1 && !TIFFIsTiled(t.get()) &&
      ((paleta && bits == 8) || (gris && (bits == 8 || bits == 16) &&
                                 (formato == SAMPLEFORMAT_UINT || formato == SAMPLEFORMAT_INT)));
  if (!admitida || ancho == 0 || alto == 0) {
    throw JError(11163, archivo,
                 "SamplesPerPixel " + std::to_string(muestras) + ", BitsPerSample " +
                     std::to_string(bits) + ", Photometric " + std::to_string(fotometria) +
                     (TIFFIsTiled(t.get()) ? ", tiles" : ""));  // 11163
  }
  // A scanline must hold the row the header promises, else the header lies.
  const tmsize_t linea = TIFFScanlineSize(t.get());
  if (linea < static_cast<tmsize_t>(ancho) * (bits / 8)) Falla(errores, archivo, "ScanlineSize");

  DatosImagen datos = imagen.datos;
  LeeDatos(t.get(), datos);
  std::array<uint8_t, 768> colores{};
  if (paleta) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(t.get(), TIFFTAG_COLORMAP, &r, &g, &b)) Falla(errores, archivo, "ColorMap");
    for (size_t i = 0; i < 256; ++i) {
      colores[3 * i] = static_cast<uint8_t>(r[i] >> 8);
      colores[3 * i + 1] = static_cast<uint8_t>(g[i] >> 8);
      colores[3 * i + 2] = static_cast<uint8_t>(b[i] >> 8);
    }
  }
  // The pixels must come from the strips the file holds: uncompressed strips must hold every
  // row, compressed ones cannot expand beyond 4096:1 (more than deflate, LZW or PackBits reach).
  // A header that promises more is refused before the block is allocated.
  uint16_t compresion = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(t.get(), TIFFTAG_COMPRESSION, &compresion);
  // The byte counts are claims of the header: together they cannot exceed the file itself.
  uint64_t enTiras = 0;
  const uint32_t tiras = TIFFNumberOfStrips(t.get());
  for (uint32_t i = 0; i < tiras; ++i) enTiras += TIFFGetStrileByteCount(t.get(), i);
  std::error_code ec;
  const uintmax_t tamArchivo = std::filesystem::file_size(archivo, ec);
  if (!ec) enTiras = std::min<uint64_t>(enTiras, tamArchivo);
  const uint64_t necesario = static_cast<uint64_t>(linea) * alto;
  const uint64_t posible = compresion == COMPRESSION_NONE ? enTiras : enTiras * 4096;
  if (necesario > posible) {
    throw JError(11143, archivo, std::to_string(ancho), std::to_string(alto));  // 11143
  }
  imagen.DimensionaImagen(ancho, alto);
  if (conPixeles) {
    std::vector<uint8_t> fila(static_cast<size_t>(linea));
    std::vector<int16_t>& px = imagen.Pixeles();
    const bool blancoCero = fotometria == PHOTOMETRIC_MINISWHITE;
    for (uint32_t y = 0; y < alto; ++y) {
      if (y % 64 == 63 && imagen.Interrumpida()) throw JError(11011);  // 11011
      if (TIFFReadScanline(t.get(), fila.data(), y, 0) < 0) Falla(errores, archivo, "ReadScanline");
      int16_t* d = px.data() + static_cast<size_t>(y) * ancho;
      for (uint32_t x = 0; x < ancho; ++x) {
        int v = 0;
        if (bits == 8) {
          v = fila[x];
          if (blancoCero) v = 255 - v;
        } else {
          uint16_t u = 0;
          std::memcpy(&u, fila.data() + 2 * static_cast<size_t>(x), 2);  // native order
          if (formato == SAMPLEFORMAT_INT) {
            v = static_cast<int16_t>(u);
            if (blancoCero) v = -1 - v;
          } else {
            v = std::min<int>(blancoCero ? 65535 - u : u, 32767);
          }
        }
        d[x] = static_cast<int16_t>(v);
      }
    }
  }
  imagen.bitsPixel = bits;
  imagen.esPaleta = paleta ? 1 : 0;
  if (paleta) {
    imagen.paleta = colores;
    imagen.bitsPaleta = 8;
  }
  imagen.offsetX = 0;
  imagen.offsetY = 0;
  imagen.datos = std::move(datos);
}

}  // namespace

bool EsTiff(const std::string& archivo) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(archivo.c_str(), "rb"), &std::fclose);
  if (!f) return false;
  unsigned char b[4] = {};
  if (std::fread(b, 1, sizeof b, f.get()) != sizeof b) return false;
  return (b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0) ||
         (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43));
}

void LeeTiff(const std::string& archivo, ImagenObservacion& imagen) {
  Lee(archivo, imagen, true);
}

void LeeCabeceraTiff(const std::string& archivo, ImagenObservacion& imagen) {
  CompruebaTipoArchivo(archivo, kTiff);  // 11019
  Lee(archivo, imagen, false);
}

void GuardaTiff(const std::string& archivo, ImagenObservacion& imagen) {
  if (imagen.Vacia()) throw JError(11163, archivo, "0 x 0");  // 11163
  const bool paleta = imagen.esPaleta != 0;
  ArchivoTemporal temporal(archivo);
  {
    ErroresTiff errores;
    PtrTiff t = AbreTiff(temporal.Nombre(), "w", errores, archivo);
    const uint32_t ancho = imagen.Ancho(), alto = imagen.Alto();
    bool bien = TIFFSetField(t.get(), TIFFTAG_IMAGEWIDTH, ancho) &&
                TIFFSetField(t.get(), TIFFTAG_IMAGELENGTH, alto) &&
                TIFFSetField(t.get(), TIFFTAG_SAMPLESPERPIXEL, 1) &&
                TIFFSetField(t.get(), TIFFTAG_BITSPERSAMPLE, paleta ? 8 : 16) &&
                TIFFSetField(t.get(), TIFFTAG_SAMPLEFORMAT,
                             paleta ? SAMPLEFORMAT_UINT : SAMPLEFORMAT_INT) &&
                TIFFSetField(t.get(), TIFFTAG_PHOTOMETRIC,
                             paleta ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_MINISBLACK) &&
                TIFFSetField(t.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                TIFFSetField(t.get(), TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
                TIFFSetField(t.get(), TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t.get(), 0)) &&
                TIFFSetField(t.get(), TIFFTAG_SOFTWARE, "ORVA");
    if (bien && !imagen.datos.nombreObjeto.empty()) {
      bien = TIFFSetField(t.get(), TIFFTAG_IMAGEDESCRIPTION, imagen.datos.nombreObjeto.c_str());
    }
    if (bien && !imagen.datos.observatorio.observador.empty()) {
      bien = TIFFSetField(t.get(), TIFFTAG_ARTIST, imagen.datos.observatorio.observador.c_str());
    }
    const Fecha& f = imagen.datos.fechaHora.FechaDia();
    const Hora& h = imagen.datos.fechaHora.HoraDia();
    char fecha[32];
    std::snprintf(fecha, sizeof fecha, "%04d:%02d:%02d %02d:%02d:%02d", f.Anio(), f.Mes(), f.Dia(),
                  h.Horas(), h.Minutos(), h.Segundos());
    if (bien) bien = TIFFSetField(t.get(), TIFFTAG_DATETIME, fecha);
    std::vector<uint16_t> r(256), g(256), b(256);
    if (bien && paleta) {
      for (size_t i = 0; i < 256; ++i) {
        r[i] = static_cast<uint16_t>(imagen.paleta[3 * i] * 257);
        g[i] = static_cast<uint16_t>(imagen.paleta[3 * i + 1] * 257);
        b[i] = static_cast<uint16_t>(imagen.paleta[3 * i + 2] * 257);
      }
      bien = TIFFSetField(t.get(), TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }
    if (!bien) Falla(errores, archivo, "SetField");
    std::vector<uint8_t> fila8(ancho);
    const std::vector<int16_t>& px = imagen.Pixeles();
    for (uint32_t y = 0; y < alto; ++y) {
      const int16_t* s = px.data() + static_cast<size_t>(y) * ancho;
      void* linea = nullptr;
      std::vector<int16_t> fila16;
      if (paleta) {
        for (uint32_t x = 0; x < ancho; ++x) {
          fila8[x] = static_cast<uint8_t>(std::clamp<int>(s[x], 0, 255));
        }
        linea = fila8.data();
      } else {
        fila16.assign(s, s + ancho);
        linea = fila16.data();
      }
      if (TIFFWriteScanline(t.get(), linea, y, 0) < 0) Falla(errores, archivo, "WriteScanline");
    }
    if (!TIFFFlush(t.get())) Falla(errores, archivo, "Flush");
  }
  temporal.Confirma();
}

}  // namespace orva
