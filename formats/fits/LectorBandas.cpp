#include "formats/fits/LectorBandas.h"

#include <fitsio.h>

#include <array>
#include <limits>

#include "base/JError.h"
#include "formats/fits/Fits.h"

namespace orva {

struct LectorBandasFits::Archivo {
  fitsfile* f = nullptr;
  ~Archivo() {
    int estado = 0;
    if (f) fits_close_file(f, &estado);
  }
};

LectorBandasFits::LectorBandasFits(const std::string& archivo)
    : f_(std::make_unique<Archivo>()), nombre_(archivo) {
  int estado = 0;
  // Taken literally: no extended file-name syntax.
  if (fits_open_diskfile(&f_->f, archivo.c_str(), READONLY, &estado) != 0) {
    ErrorFits(estado, archivo);
  }
  int hdus = 0;
  if (fits_get_num_hdus(f_->f, &hdus, &estado) != 0) ErrorFits(estado, archivo);
  for (int h = 1; h <= hdus; ++h) {
    int tipo = 0, ejes = 0;
    if (fits_movabs_hdu(f_->f, h, &tipo, &estado) != 0) ErrorFits(estado, archivo);
    if (tipo != IMAGE_HDU) continue;
    if (fits_get_img_dim(f_->f, &ejes, &estado) != 0) ErrorFits(estado, archivo);
    if (ejes < 2) continue;
    std::array<LONGLONG, 2> n{};
    if (fits_get_img_sizell(f_->f, 2, n.data(), &estado) != 0) ErrorFits(estado, archivo);
    constexpr LONGLONG kMaximo = std::numeric_limits<int32_t>::max();
    if (n[0] <= 0 || n[1] <= 0 || n[0] > kMaximo || n[1] > kMaximo) {
      throw JError(11143, archivo, std::to_string(n[0]), std::to_string(n[1]));
    }
    ancho_ = static_cast<uint32_t>(n[0]);
    alto_ = static_cast<uint32_t>(n[1]);
    return;
  }
  throw JError(11163, archivo, "NAXIS < 2");
}

LectorBandasFits::~LectorBandasFits() = default;

void LectorBandasFits::LeeFilas(long desde, long filas, float* destino) {
  if (desde < 0 || filas < 0 || desde + filas > static_cast<long>(alto_)) {
    throw JError(11143, nombre_, std::to_string(desde), std::to_string(filas));
  }
  if (filas == 0) return;
  std::array<LONGLONG, 2> primero{1, desde + 1};
  float nulo = std::numeric_limits<float>::quiet_NaN();
  int hayNulos = 0, estado = 0;
  const std::lock_guard<std::mutex> bloqueo(cerrojo_);
  fits_read_pixll(f_->f, TFLOAT, primero.data(), static_cast<LONGLONG>(ancho_) * filas, &nulo,
                  destino, &hayNulos, &estado);
  if (estado != 0) ErrorFits(estado, nombre_);
}

}  // namespace orva
