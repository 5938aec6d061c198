#include "stacking/Maestros.h"

#include <cmath>
#include <cstdio>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "stacking/Pretratamiento.h"

namespace orva {
namespace {

constexpr size_t kDespuesDeTodo = static_cast<size_t>(-1);

}  // namespace

const char* NombreMaestro(TipoMaestro tipo) {
  switch (tipo) {
    case TipoMaestro::kBias:
      return "BIAS";
    case TipoMaestro::kDark:
      return "DARK";
    case TipoMaestro::kFlat:
      return "FLAT";
  }
  return "";
}

int64_t CreaMaestro(TipoMaestro tipo, const FuenteFotogramas& fotogramas,
                    const AjustesCombinacion& ajustes, const Maestros& previos, Imagen& maestro,
                    Progreso& progreso) {
  FuenteFotogramas fuente = fotogramas;
  if (tipo == TipoMaestro::kFlat && (previos.bias || previos.dark)) {
    const Maestros soloOscuros{previos.bias, previos.dark, nullptr};
    // The pretreated values exist only as loaded: the files themselves must not be read again.
    fuente.archivo = nullptr;
    fuente.carga = [fotogramas, soloOscuros, &progreso](size_t i, Imagen& im) {
      fotogramas.carga(i, im);
      Pretrata(im, soloOscuros, AjustesPretratamiento{}, progreso);
    };
  }
  ResultadoCombinacion r = CombinaFotogramas(fuente, ajustes, {}, progreso);
  MapeoValores mapeo = r.mapeo;
  if (tipo == TipoMaestro::kFlat) {
    double suma = 0.0;
    size_t n = 0;
    for (float v : r.valores) {
      if (std::isfinite(v)) {
        suma += v;
        ++n;
      }
    }
    const double media = n > 0 ? suma / static_cast<double>(n) : 0.0;
    if (!(media > 0.0)) {
      char b[64];
      std::snprintf(b, sizeof b, "%.6g", media);
      throw JError(12282, b);
    }
    for (float& v : r.valores) v = static_cast<float>(v / media);
    mapeo = MapeoValores{0.0, kEscalaFlat};
  }
  fotogramas.carga(0, maestro);
  maestro.CambiaOperaciones({});
  const int64_t recortados = ValoresAPixeles(r.valores, r.ancho, r.alto, mapeo, maestro);
  maestro.cabecera.PonNumero("NCOMBINE", static_cast<double>(r.figuras.size()), kDespuesDeTodo);
  maestro.cabecera.AnadeHistoria(std::string("MAESTRO ") + NombreMaestro(tipo) + " " +
                                 NombreMetodo(ajustes.metodo) + " de " +
                                 std::to_string(r.figuras.size()) + " imagenes");
  if (tipo == TipoMaestro::kFlat) {
    if (previos.bias) maestro.cabecera.AnadeHistoria("MAESTRO bias " + NombreImagen(*previos.bias));
    if (previos.dark) maestro.cabecera.AnadeHistoria("MAESTRO dark " + NombreImagen(*previos.dark));
    maestro.cabecera.AnadeHistoria("MAESTRO FLAT normalizado a media 1, valor = pixel x 1e-4");
  }
  return recortados;
}

}  // namespace orva
