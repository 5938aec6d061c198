// GIF reader, header reader and writer on giflib: the palette image.
#include "formats/gif/Gif.h"

#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
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

[[noreturn]] void ErrorGif(int codigo, const std::string& archivo) {
  const char* texto = GifErrorString(codigo);
  throw JError(11162, archivo, std::to_string(codigo), texto ? texto : "");  // 11162
}

struct CierraLectura {
  void operator()(GifFileType* g) const {
    int error = 0;
    DGifCloseFile(g, &error);
  }
};
using PtrLectura = std::unique_ptr<GifFileType, CierraLectura>;

struct CierraEscritura {
  void operator()(GifFileType* g) const {
    int error = 0;
    EGifCloseFile(g, &error);
  }
};
using PtrEscritura = std::unique_ptr<GifFileType, CierraEscritura>;

struct LiberaMapa {
  void operator()(ColorMapObject* m) const { GifFreeMapObject(m); }
};

void Lee(const std::string& archivo, ImagenObservacion& imagen, bool conPixeles) {
  int error = 0;
  PtrLectura g(DGifOpenFileName(archivo.c_str(), &error));
  if (!g) ErrorGif(error, archivo);
  if (DGifSlurp(g.get()) != GIF_OK) ErrorGif(g->Error, archivo);
  if (g->ImageCount < 1 || g->SavedImages == nullptr) ErrorGif(D_GIF_ERR_NO_IMAG_DSCR, archivo);
  const SavedImage& cuadro = g->SavedImages[0];
  const GifImageDesc& desc = cuadro.ImageDesc;
  const ColorMapObject* mapa = desc.ColorMap ? desc.ColorMap : g->SColorMap;
  if (desc.Width <= 0 || desc.Height <= 0 || cuadro.RasterBits == nullptr || mapa == nullptr) {
    throw JError(11163, archivo, "GIF");  // 11163
  }
  std::array<uint8_t, 768> colores{};
  const int n = std::min(mapa->ColorCount, 256);
  for (int i = 0; i < n; ++i) {
    colores[3 * static_cast<size_t>(i)] = mapa->Colors[i].Red;
    colores[3 * static_cast<size_t>(i) + 1] = mapa->Colors[i].Green;
    colores[3 * static_cast<size_t>(i) + 2] = mapa->Colors[i].Blue;
  }
  const uint32_t ancho = static_cast<uint32_t>(desc.Width);
  const uint32_t alto = static_cast<uint32_t>(desc.Height);
  imagen.DimensionaImagen(ancho, alto);
  if (conPixeles) {
    // DGifSlurp has already undone the interlacing: the raster is row after row.
    const size_t total = static_cast<size_t>(ancho) * alto;
    std::vector<int16_t>& px = imagen.Pixeles();
    for (size_t i = 0; i < total; ++i) px[i] = cuadro.RasterBits[i];
  }
  imagen.esPaleta = 1;
  imagen.paleta = colores;
  imagen.bitsPaleta = static_cast<uint8_t>(std::clamp(mapa->BitsPerPixel, 1, 8));
  imagen.bitsPixel = 8;
  imagen.offsetX = 0;
  imagen.offsetY = 0;
}

}  // namespace

bool EsGif(const std::string& archivo) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(archivo.c_str(), "rb"), &std::fclose);
  if (!f) return false;
  char b[3] = {};
  return std::fread(b, 1, sizeof b, f.get()) == sizeof b && std::memcmp(b, "GIF", 3) == 0;
}

void LeeGif(const std::string& archivo, ImagenObservacion& imagen) {
  CompruebaTipoArchivo(archivo, kGif);  // 11019
  Lee(archivo, imagen, true);
}

void LeeCabeceraGif(const std::string& archivo, ImagenObservacion& imagen) {
  CompruebaTipoArchivo(archivo, kGif);  // 11019
  Lee(archivo, imagen, false);
}

void GuardaGif(const std::string& archivo, ImagenObservacion& imagen) {
  const uint32_t ancho = imagen.Ancho(), alto = imagen.Alto();
  if (imagen.Vacia() || ancho > 65535 || alto > 65535) {
    throw JError(11163, archivo, std::to_string(ancho) + " x " + std::to_string(alto));  // 11163
  }
  const std::vector<int16_t>& px = imagen.Pixeles();
  const bool paleta = imagen.esPaleta != 0;

  // Indices: a palette image keeps its own; a gray image maps its minimum..maximum onto
  // 0..255 (rounded to nearest), a constant image to 0.
  std::vector<GifByteType> indices(px.size());
  std::unique_ptr<ColorMapObject, LiberaMapa> mapa(GifMakeMapObject(256, nullptr));
  if (!mapa) throw JError(10100, "768");  // 10100
  if (paleta) {
    for (size_t i = 0; i < px.size(); ++i) {
      indices[i] = static_cast<GifByteType>(std::clamp<int>(px[i], 0, 255));
    }
    for (size_t c = 0; c < 256; ++c) {
      mapa->Colors[c] = {imagen.paleta[3 * c], imagen.paleta[3 * c + 1], imagen.paleta[3 * c + 2]};
    }
  } else {
    const auto [mn, mx] = std::minmax_element(px.begin(), px.end());
    const double lo = *mn, rango = static_cast<double>(*mx) - *mn;
    for (size_t i = 0; i < px.size(); ++i) {
      indices[i] = rango > 0 ? static_cast<GifByteType>((px[i] - lo) * 255.0 / rango + 0.5) : 0;
    }
    for (int c = 0; c < 256; ++c) {
      const auto v = static_cast<GifByteType>(c);
      mapa->Colors[c] = {v, v, v};
    }
  }

  ArchivoTemporal temporal(archivo);
  int error = 0;
  const int fd = temporal.CedeDescriptor();
  PtrEscritura g(EGifOpenFileHandle(fd, &error));
  if (!g) {
    ::close(fd);
    ErrorGif(error, archivo);
  }
  EGifSetGifVersion(g.get(), true);
  if (EGifPutScreenDesc(g.get(), static_cast<int>(ancho), static_cast<int>(alto), 8, 0,
                        mapa.get()) != GIF_OK ||
      EGifPutImageDesc(g.get(), 0, 0, static_cast<int>(ancho), static_cast<int>(alto), false,
                       nullptr) != GIF_OK) {
    ErrorGif(g->Error, archivo);
  }
  for (uint32_t y = 0; y < alto; ++y) {
    if (EGifPutLine(g.get(), indices.data() + static_cast<size_t>(y) * ancho,
                    static_cast<int>(ancho)) != GIF_OK) {
      ErrorGif(g->Error, archivo);
    }
  }
  // Closing writes the trailer and closes the descriptor; its failure is the write's failure.
  if (EGifCloseFile(g.release(), &error) != GIF_OK) ErrorGif(error, archivo);
  temporal.Confirma();
}

}  // namespace orva
