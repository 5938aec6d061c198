// The macro word RETICULA.
#include "spacecraft/MacroReseau.h"

#include <string>
#include <vector>

#include "core/Imagen.h"
#include "core/Progreso.h"
#include "macro/Macro.h"
#include "spacecraft/Reseau.h"

namespace orva {
namespace {

constexpr int kLadoMaximo = 200;
const char* const kPalabraQuita = "QUITA";

int Reticula(Ranuras& r, int actual, const std::vector<std::string>& args) {
  const int lado = args.empty() ? kLadoRejillaRegular : ArgumentoEntero(args, 0, 2, kLadoMaximo);
  bool quita = false;
  if (args.size() > 1) {
    if (args[1] != kPalabraQuita) PalabraNoAdmitida(args, 1);
    quita = true;
  }
  Imagen* im = r.En(actual);
  if (!im) return 0;
  const RejillaReseau rejilla =
      RejillaRegular(static_cast<int>(im->Ancho()), static_cast<int>(im->Alto()), lado);
  CorrigeReseau(*im, rejilla, BuscaMarcas(*im, rejilla, OpcionesReseau{}, &ProgresoActual()), quita,
                ProgresoActual());
  return actual;
}

}  // namespace

void CorrigeReseau(ImagenObservacion& im, const RejillaReseau& rejilla,
                   const std::vector<MarcaEncontrada>& marcas, bool quita, Progreso& progreso) {
  ImagenObservacion salida;
  CorrigeGeometria(im, rejilla, marcas, OpcionesReseau{}, quita, &progreso, salida);
  std::vector<int16_t> px = std::move(salida.Pixeles());
  im.CambiaPixeles(salida.Ancho(), salida.Alto(), std::move(px));
  im.cabecera.QuitaWcs("RETICULA");
  im.cabecera.AnadeHistoria(rejilla.nombre == kNombreRegular ? LineaReseau(rejilla.filas, quita)
                                                             : "RETICULA " + rejilla.nombre);
  im.Modificada(1);
}

std::string LineaReseau(int lado, bool quita) {
  std::string l = "RETICULA " + std::to_string(lado);
  if (quita) l += std::string(" ") + kPalabraQuita;
  return l;
}

void EnlazaReseauMacro() {
  EnlazaComandoMacro("RETICULA", &Reticula);
}

}  // namespace orva
