// Tolerant number reading.
#include "base/Numeros.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

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

// Fields that must hold a number: no digit where the number begins is refused; otherwise the
// tolerant reading, with overflow to an infinity and underflow to 0.
TEST(Numeros, CheckedReadingsRefuseFieldsWithoutDigits) {
  struct Caso {
    const char* texto;
    bool hay;
    int entero;
    double real;
  };
  const double inf = HUGE_VAL;
  for (const Caso& c :
       {Caso{"abc", false, 0, 0}, Caso{"", false, 0, 0}, Caso{"-", false, 0, 0},
        Caso{"nan", false, 0, 0}, Caso{"inf", false, 0, 0}, Caso{" x1", false, 0, 0},
        Caso{"30abc", true, 30, 30}, Caso{" +7", true, 7, 7}, Caso{"-2.5", true, -2, -2.5},
        Caso{"1e400", true, 1, inf}, Caso{"-1e400", true, -1, -inf}, Caso{"1e-400", true, 1, 0},
        Caso{"99999999999", true, 2147483647, 99999999999.0}}) {
    const std::optional<int> e = LeeEnteroComprobado(c.texto);
    const std::optional<double> r = LeeRealComprobado(c.texto);
    EXPECT_EQ(e.has_value(), c.hay) << c.texto;
    EXPECT_EQ(e.value_or(0), c.entero) << c.texto;
    EXPECT_EQ(r.has_value(), c.hay) << c.texto;
    EXPECT_EQ(r.value_or(0.0), c.real) << c.texto;
  }
  // A real may begin with its point; an integer may not.
  EXPECT_EQ(LeeRealComprobado(".5"), 0.5);
  EXPECT_FALSE(LeeEnteroComprobado(".5"));
  EXPECT_EQ(LeeRealComprobado(std::string(400, '9')), inf);
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

namespace orva {
namespace {

TEST(Numeros, Mediana) {
  EXPECT_EQ(Mediana({}), 0.0);
  EXPECT_EQ(Mediana({3.0}), 3.0);
  EXPECT_EQ(Mediana({5.0, 1.0, 4.0}), 4.0);
  EXPECT_EQ(Mediana({4.0, 1.0, 9.0, 2.0}), 3.0);  // the mean of the two middle values
}

}  // namespace
}  // namespace orva
