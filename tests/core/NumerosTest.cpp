// Tolerant number reading.
#include "core/Numeros.h"

#include <gtest/gtest.h>

#include <clocale>

namespace orva {
namespace {

TEST(Numeros, ReadsLikeTheCLibraryWithoutOverflow) {
  struct Caso {
    const char* texto;
    int entero;
    double real;
  };
  for (const Caso& c :
       {Caso{"12abc", 12, 12.0}, Caso{"abc", 0, 0.0}, Caso{"", 0, 0.0}, Caso{"  -7", -7, -7.0},
        Caso{"+3.5x", 3, 3.5}, Caso{"1e3", 1, 1000.0},
        Caso{"99999999999", 2147483647, 99999999999.0},
        Caso{"-99999999999", -2147483647 - 1, -99999999999.0}, Caso{".25", 0, 0.25}}) {
    EXPECT_EQ(LeeEntero(c.texto), c.entero) << c.texto;
    EXPECT_DOUBLE_EQ(LeeReal(c.texto), c.real) << c.texto;
  }
}

TEST(Numeros, RealsIgnoreTheProcessLocale) {
  const char* antes = std::setlocale(LC_NUMERIC, nullptr);
  const std::string guardado = antes ? antes : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "es_ES.UTF-8")) {
    GTEST_SKIP() << "no decimal-comma locale installed";
  }
  EXPECT_DOUBLE_EQ(LeeReal("0.1"), 0.1);
  std::setlocale(LC_NUMERIC, guardado.c_str());
}

}  // namespace
}  // namespace orva
