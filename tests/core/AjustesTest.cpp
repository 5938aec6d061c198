// The settings the lower layers read are the shell's process-wide configuration.
#include "core/Ajustes.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

// Without the shell's table installed, reading would give empty values and TIPOAUTO would be 0:
// files would no longer be detected and the reading type would be lost.
TEST(AjustesTest, LasCapasLeenLaConfiguracionDelProceso) {
  Ajustes& a = AjustesActuales();
  EXPECT_EQ(a.Valor("Archivos", "TIPARCHLEER"), "ST4");
  EXPECT_EQ(a.Entero("TIPOAUTO"), 1);
  // Sections and keys match without regard to case, as in the INI file.
  a.Registra("PruebaAjustes", "CLAVE", "5");
  EXPECT_EQ(a.Valor("pruebaajustes", "clave"), "5");
  a.Asigna("PRUEBAAJUSTES", "Clave", "7");
  EXPECT_EQ(AjustesActuales().Valor("PruebaAjustes", "CLAVE"), "7");
  a.Asigna("PruebaAjustes", "CLAVE", "5");
}

}  // namespace
}  // namespace orva
