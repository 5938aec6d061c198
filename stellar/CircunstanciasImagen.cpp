// Time and air mass of an image from its observation data.
#include "stellar/CircunstanciasImagen.h"

#include "base/JError.h"
#include "core/Imagen.h"

namespace orva {
namespace {

void CompruebaInstante(const DatosImagen& d) {
  if (!TieneDatoImagen(d, "FECHAOBS") || !TieneDatoImagen(d, "HORAOBS")) {
    throw JError(12387);  // 12387
  }
}

void CompruebaObjeto(const DatosImagen& d) {
  if (!TieneDatoImagen(d, "AROBJ") || !TieneDatoImagen(d, "DECOBJ")) {
    throw JError(12388);  // 12388
  }
}

double Exposicion(const DatosImagen& d) {
  return TieneDatoImagen(d, "TIEMPOEXP") ? d.tiempoExp : 0.0;
}

}  // namespace

double DiaJulianoImagen(const DatosImagen& d) {
  CompruebaInstante(d);
  return DiaJulianoMedio(d.fechaHora, Exposicion(d));
}

double DiaJulianoHelioImagen(const DatosImagen& d) {
  CompruebaInstante(d);
  CompruebaObjeto(d);
  return DiaJulianoHelioEpoca(DiaJulianoMedio(d.fechaHora, Exposicion(d)), d.ar, d.dec, d.epoca);
}

Circunstancias CircunstanciasImagen(const DatosImagen& d, FormulaMasaAire formula) {
  CompruebaInstante(d);
  CompruebaObjeto(d);
  if (!TieneDatoImagen(d, "LONOBS") && !TieneDatoImagen(d, "LATOBS")) {
    throw JError(12389);  // 12389
  }
  return CalculaCircunstancias(d.fechaHora, Exposicion(d), d.ar, d.dec, d.epoca,
                               d.observatorio.longitud, d.observatorio.latitud, formula);
}

}  // namespace orva
