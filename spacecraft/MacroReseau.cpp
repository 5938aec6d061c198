// The macro word RETICULA.
#include "spacecraft/MacroReseau.h"

#include <cctype>
#include <cmath>
#include <optional>
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
  std::optional<RejillaReseau> rejilla;
  size_t k = 0;
  int lado = 0;
  if (k < args.size() && args[k] != kPalabraQuita) {
    const unsigned char c = static_cast<unsigned char>(args[k].empty() ? ' ' : args[k][0]);
    if (std::isdigit(c) || c == '-' || c == '+') {
      lado = ArgumentoEntero(args, k, 2, kLadoMaximo);
    } else {
      rejilla = RejillaCamara(args[k]);
      if (!rejilla) PalabraNoAdmitida(args, k);
    }
    ++k;
  }
  bool quita = false;
  if (k < args.size()) {
    if (args[k] != kPalabraQuita) PalabraNoAdmitida(args, k);
    quita = true;
    ++k;
  }
  if (k < args.size()) PalabraNoAdmitida(args, k);
  Imagen* im = r.En(actual);
  if (!im) return 0;
  if (lado > 0) {
    rejilla = RejillaRegular(static_cast<int>(im->Ancho()), static_cast<int>(im->Alto()), lado);
  } else if (!rejilla) {
    rejilla = RejillaParaImagen(*im);
  }
  CorrigeReseau(*im, *rejilla, BuscaMarcas(*im, *rejilla, OpcionesReseau{}, &ProgresoActual()),
                quita, ProgresoActual());
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
  im.cabecera.AnadeHistoria(LineaReseau(&rejilla, quita));
  im.Modificada(1);
}

std::string LineaReseau(const RejillaReseau* rejilla, bool quita) {
  std::string l = "RETICULA";
  if (rejilla && rejilla->nombre == kNombreRegular) {
    l += " " + std::to_string(std::lround(std::sqrt(static_cast<double>(rejilla->marcas.size()))));
  } else if (rejilla) {
    l += " " + rejilla->nombre;
  }
  if (quita) l += std::string(" ") + kPalabraQuita;
  return l;
}

void EnlazaReseauMacro() {
  EnlazaComandoMacro("RETICULA", &Reticula);
}

}  // namespace orva
