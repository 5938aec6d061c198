// The reasons a macro line is refused read wholly in the chosen language, the fragments they
// carry (ranges, "at least", "other than") included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "macro/Macro.h"
#include "shell/Arranque.h"

namespace orva {
namespace {

std::string Motivo(const std::string& linea) {
  Imagen im;
  im.CambiaPixeles(16, 16, std::vector<int16_t>(256, 100));
  im.Actualiza();
  try {
    // Slot 2 filled first, so that a copy onto itself reaches its own check.
    EjecutaMacro(im, {"COPIAR 1 2", linea});
  } catch (const JError& e) {
    return e.Mensaje();
  }
  return "(no error)";
}

TEST(IdiomaMacroTest, MotivosConSusFragmentosEnCadaIdioma) {
  InstalaSistema();
  struct Caso {
    const char* linea;
    const char* castellano;
    const char* ingles;
  };
  const Caso casos[] = {
      {"USAR 9", "fuera de rango (1 a 8)", "out of range (1 to 8)"},
      {"ROTAR 1e999", "fuera de rango (-1e+300 a 1e+300)", "out of range (-1e+300 to 1e+300)"},
      {"COPIAR 2 2", "(distinto del origen)", "(other than the source)"},
      {"FILTRO GAUS 0 3", "(distinto de 0)", "(other than 0)"},
      {"FILTRO GAUS", "(1, se esperan al menos 3)", "(1, at least 3 expected)"},
      {"ESCALGRIS", "(0, se esperan al menos 1)", "(0, at least 1 expected)"},
      {"INVERTIR 1 2 3 4 5 6 7 8 9 10 11", "(11, se esperan 0 a 10)", "(11, 0 to 10 expected)"},
  };
  for (const Caso& c : casos) {
    FijaIdioma(kCastellano);
    const std::string es = Motivo(c.linea);
    FijaIdioma(kIngles);
    const std::string en = Motivo(c.linea);
    FijaIdioma(kCastellano);
    EXPECT_NE(es.find(c.castellano), std::string::npos) << es;
    EXPECT_NE(en.find(c.ingles), std::string::npos) << en;
    EXPECT_EQ(en.find(" a "), std::string::npos) << en;
  }
}

}  // namespace
}  // namespace orva
