// The stars of a variable-star image: the ObjetoEstelar record and the image's named star list,
// kept in the side data file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/DatosAnalisis.h"
#include "stellar/Fotometria.h"

namespace orva {

class Imagen;

struct ObjetoEstelar {
  std::string nombre;
  double x = 0.0, y = 0.0;  // sub-pixel centroid
  double cielo = 0.0;
  double desvCielo = 0.0;
  int32_t numPixeles = 0;
  double sumaBruta = 0.0;
  double sumaLimpia = 0.0;
  double magnitud = 0.0;
  int32_t marca = 0;

  // Takes the results of a measurement.
  void AsignaFotometria(const ResultadoFotometria& r);
};

// Key of one star in the side data file; one entry per star, in list order.
inline constexpr const char* kClaveEstrella = "VARESTRELLA";

class DatosVariables : public DatosAnalisis {
 public:
  std::unique_ptr<DatosAnalisis> Clona() const override {
    return std::make_unique<DatosVariables>(*this);
  }
  // Each star is written as "(x,y,sky,skydev,npix,rawsum,cleansum,mag,flag,name)", the numbers
  // with 17 significant digits so they read back unchanged; the name goes last and may hold
  // anything but a line break.
  void Guarda(std::vector<std::pair<std::string, std::string>>& entradas) const override;
  // A malformed star entry is skipped; a star whose name is already listed is ignored.
  bool Lee(std::string_view clave, std::string_view valor) override;

  const std::vector<ObjetoEstelar>& Estrellas() const { return estrellas_; }
  // Appends the star; false (and nothing added) when its name is already in the list.
  bool Anade(ObjetoEstelar estrella);
  // The star of that name, or nullptr.
  const ObjetoEstelar* Busca(std::string_view nombre) const;
  // Removes the star of that name; false when there is none.
  bool Borra(std::string_view nombre);
  void BorraTodas() {
    estrellas_.clear();
    papeles_.clear();
  }

  // The role a star was given for a variable-star field (kSinPapel, or a PapelEstrella + 1), by
  // its name. Kept in memory only: the field file is what lasts.
  static constexpr int kSinPapel = 0;
  int PapelCampo(const std::string& nombre) const {
    auto it = papeles_.find(nombre);
    return it == papeles_.end() ? kSinPapel : it->second;
  }
  void AsignaPapelCampo(const std::string& nombre, int papel) { papeles_[nombre] = papel; }

 private:
  std::vector<ObjetoEstelar> estrellas_;
  std::map<std::string, int> papeles_;
};

// The variable-star data of the image. When the image's analysis data is not of this kind
// (a type set while the variable-star module was not registered), it is replaced by an empty
// star list first.
DatosVariables& DatosVariablesDe(Imagen& imagen);
// The star list of the image, or nullptr when it has none.
const DatosVariables* DatosVariablesDe(const Imagen& imagen);

}  // namespace orva
