// A variable-star field: the variable, its comparison and check stars placed on a reference
// image, their apertures and the reference's star list by which later frames are identified.
// Kept as a text file, reusable on later nights.
#pragma once

#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "stacking/Registro.h"
#include "stellar/EstrellasRegistro.h"

namespace orva {

class Imagen;
class Progreso;

enum class PapelEstrella { kVariable, kComparacion, kControl };

struct EstrellaCampo {
  std::string nombre;
  PapelEstrella papel = PapelEstrella::kComparacion;
  double x = 0.0, y = 0.0;  // on the reference image
  // Catalogue magnitude (comparison and check stars); NaN when not known.
  double magnitud = std::numeric_limits<double>::quiet_NaN();
};

struct CampoVariable {
  std::string nombre;      // the variable's designation, for reports
  std::string referencia;  // the reference image the positions refer to (for the record)
  // Aperture and sky ring in pixels; 0 takes the photometry settings.
  double radioEstrella = 0.0, radioCieloInt = 0.0, radioCieloExt = 0.0;
  // Ephemeris of minimum (epoch JD/HJD, period in days); period 0 when not known.
  double epocaMinimo = 0.0, periodo = 0.0;
  std::vector<EstrellaCampo> estrellas;
  // The reference's stars, brightest first: frames are registered on them.
  std::vector<EstrellaRegistro> estrellasReferencia;

  // The index of the variable (the first one) and of the stars of a role, in list order.
  int Variable() const;
  std::vector<int> Indices(PapelEstrella papel) const;
};

// Checks a field: exactly one variable 12397, at least one comparison star 12398, names unique,
// not empty and without commas or line breaks (the field's name and reference without line
// breaks) 12438, positions finite and radii either all 0 or
// 0 < r < rInt < rExt 12439, at least three reference stars 12242.
void CompruebaCampo(const CampoVariable& campo);

// The field as text: a first line "ORVA CAMPO", then KEY=value lines (NOMBRE, REFERENCIA,
// APERTURA r rInt rExt, EFEMERIDE epoch period, one ESTRELLA=role,x,y,magnitude,name per star
// with role V, C or K and the magnitude empty when unknown, one REFERENCIA_ESTRELLA=x,y,flux,var
// per reference star), numbers with 17 significant digits.
std::string TextoCampo(const CampoVariable& campo);
// Reads the text; 12395 when it is not a field, 12396 (line number, file) for a malformed line;
// the field is then checked (CompruebaCampo). Unknown keys are skipped.
CampoVariable LeeTextoCampo(std::string_view texto, const std::string& archivo);
// Checked and written safely (temporary file and rename).
void GuardaCampo(const std::string& archivo, const CampoVariable& campo);
// Reads a field file; its reading errors (10xxx) as JError.
CampoVariable LeeCampo(const std::string& archivo);

// The window centroid of a star near (x, y): sky and its deviation from the clipped mean of the
// ring rInt..rExt, window sigma from the stars' width.
PosicionVentana CentraEstrella(const ImagenPixeles& im, double x, double y, int rInt, int rExt,
                               double sigma);

// A field made on its reference image: each star's position moved to its window centroid
// (12399 when a star lies off the image or no centroid converges near it) and the reference's
// star list found with the registration's detector settings.
CampoVariable CreaCampo(Imagen& referencia, std::string nombre,
                        std::vector<EstrellaCampo> estrellas,
                        const OpcionesEstrellasRegistro& opciones, Progreso& progreso);

}  // namespace orva
