// Rows of a FITS image read on demand as physical values, for operations that walk many frames
// band by band without holding any of them whole.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace orva {

class LectorBandasFits {
 public:
  // Opens the image the reader takes by default (the primary array, or the first image
  // extension when the primary holds none; tile-compressed images included). Raises 11160 for
  // a file cfitsio cannot open and 11163 when there is no two-dimensional image.
  explicit LectorBandasFits(const std::string& archivo);
  ~LectorBandasFits();
  LectorBandasFits(const LectorBandasFits&) = delete;
  LectorBandasFits& operator=(const LectorBandasFits&) = delete;

  uint32_t Ancho() const { return ancho_; }
  uint32_t Alto() const { return alto_; }
  // Reads the rows [desde, desde + filas) (row 0 is the file's first) into destino as physical
  // values (BZERO and BSCALE applied; undefined values as NaN). Safe from several threads: one
  // read at a time per reader.
  void LeeFilas(long desde, long filas, float* destino);

 private:
  struct Archivo;
  std::unique_ptr<Archivo> f_;
  std::string nombre_;
  uint32_t ancho_ = 0, alto_ = 0;
  std::mutex cerrojo_;
};

}  // namespace orva
