// The process-wide list of images, their copy numbers and display names.
#pragma once

#include <string>
#include <vector>

namespace orva {

class Imagen;

class ListaImagenes {
 public:
  static ListaImagenes& Global();

  void Anade(Imagen* imagen);
  void Quita(Imagen* imagen);
  const std::vector<Imagen*>& Imagenes() const { return imagenes_; }
  size_t Numero() const { return imagenes_.size(); }

  // Gives the image the next free copy number among the images of the same file name and
  // rebuilds its display name "name.ext:NN".
  void Nombra(Imagen& imagen) const;

 private:
  std::vector<Imagen*> imagenes_;
};

}  // namespace orva
