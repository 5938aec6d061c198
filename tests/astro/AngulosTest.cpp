// Right ascensions and sexagesimal angles: validation order and messages, text forms, and the
// round trip text -> radians -> text around every carry of the rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <numbers>
#include <string>

#include "astro/Angulos.h"
#include "base/JError.h"

namespace orva {
namespace {

constexpr double kPi = std::numbers::pi;

template <typename F>
JError Captura(F f) {
  try {
    f();
  } catch (const JError& e) {
    return e;
  }
  return JError(0);
}

struct CasoError {
  const char* texto;
  int id;
  const char* arg1;
};

TEST(AscensionRecta, ValidacionEnOrdenConMensajeExacto) {
  const CasoError casos[] = {
      {"12h30", 10136, "12h30"},        {"12:30:00", 10136, "12:30:00"},
      {"24h00m00s", 10137, "24"},       {"-1h00m00s", 10137, "-1"},
      {"24h60m60s2", 10137, "24"},      {"12h60m00s", 10138, "60"},
      {"12h-1m00s", 10138, "-1"},       {"12h00m60s", 10139, "60"},
      {"12h00m00s1.5", 10140, "1.500"}, {"12h00m00s-.5", 10140, "-0.500"},
      {"12h00m00snan", 10140, "nan"},
  };
  for (const auto& c : casos) {
    AscensionRecta ar("01h02m03s.004");
    JError e = Captura([&] { ar.AsignaTexto(c.texto); });
    EXPECT_EQ(e.Id(), c.id) << c.texto;
    EXPECT_EQ(e.Argumento(1), c.arg1) << c.texto;
    EXPECT_EQ(ar.Texto(), "01h02m03s.004") << "validation precedes the store";
  }
}

// One row per kind of angle: the message ids and the degree limit.
struct TipoAngulo {
  const char* nombre;
  std::function<std::unique_ptr<Angulo>()> crea;
  int idFormato;
  int limite;
};

class ValidacionAngulo : public ::testing::TestWithParam<TipoAngulo> {};

TEST_P(ValidacionAngulo, EnOrdenConMensajeExacto) {
  const TipoAngulo& t = GetParam();
  const std::string limite = std::to_string(t.limite);
  const std::string fuera = std::to_string(t.limite + 1);
  struct Caso {
    std::string texto;
    int id;
    std::string arg1;
  };
  const Caso casos[] = {
      {"12g30", t.idFormato, "12g30"},
      {"12h30m00s", t.idFormato, "12h30m00s"},
      {fuera + "g00m00s", t.idFormato + 1, fuera},
      {"-" + fuera + "g00m00s", t.idFormato + 1, "-" + fuera},
      {fuera + "g60m60s5", t.idFormato + 1, fuera},
      {"10g60m00s", t.idFormato + 2, "60"},
      {"10g00m60s", t.idFormato + 3, "60"},
      {"10g00m00s2", t.idFormato + 4, "2.000"},
  };
  for (const auto& c : casos) {
    auto a = t.crea();
    a->AsignaTexto("-01g02m03s.004");
    JError e = Captura([&] { a->AsignaTexto(c.texto); });
    EXPECT_EQ(e.Id(), c.id) << c.texto;
    EXPECT_EQ(e.Argumento(1), c.arg1) << c.texto;
    EXPECT_EQ(a->Texto(), "-01g02m03s.004") << "validation precedes the store";
  }
  auto a = t.crea();
  a->AsignaTexto("-" + limite + "g00m00s");
  EXPECT_EQ(a->Texto(), "-" + limite + "g00m00s.000");
}

INSTANTIATE_TEST_SUITE_P(
    Tipos, ValidacionAngulo,
    ::testing::Values(
        TipoAngulo{"Declinacion", [] { return std::make_unique<Declinacion>(); }, 10141, 90},
        TipoAngulo{"Longitud", [] { return std::make_unique<Longitud>(); }, 10146, 180},
        TipoAngulo{"Latitud", [] { return std::make_unique<Latitud>(); }, 10151, 90},
        TipoAngulo{"Angulo", [] { return std::make_unique<Angulo>(); }, 10146, 180}),
    [](const auto& info) { return std::string(info.param.nombre); });

TEST(Angulo, CeroNegativoConservaElSigno) {
  Declinacion d;
  d.AsignaTexto("-00g30m00s.000");
  EXPECT_EQ(d.Signo(), -1);
  EXPECT_EQ(d.Grados(), 0);
  EXPECT_EQ(d.Minutos(), 30);
  EXPECT_DOUBLE_EQ(d.Radianes(), -0.5 * kPi / 180.0);
  EXPECT_EQ(d.Texto(), "-00g30m00s.000");
  d.AsignaTexto(" -00g30m00s");  // blanks before the sign do not lose it
  EXPECT_EQ(d.Signo(), -1);
  d.AsignaTexto("00g30m00s");
  EXPECT_EQ(d.Signo(), 1);
}

TEST(Angulo, TextoVacioEsCero) {
  Latitud l;
  l.AsignaTexto("-10g00m00s");
  l.AsignaTexto("");
  EXPECT_EQ(l.Signo(), 0);
  EXPECT_EQ(l.Texto(), "00g00m00s.000");
  AscensionRecta ar("05h00m00s");
  ar.AsignaTexto("");
  EXPECT_EQ(ar, AscensionRecta());
}

TEST(Angulo, FraccionDeSegundo) {
  EXPECT_EQ(AscensionRecta("12h30m15s.25").Texto(), "12h30m15s.250");
  EXPECT_EQ(AscensionRecta("12h30m15s").Texto(), "12h30m15s.000");
  EXPECT_EQ(AscensionRecta("12h30m15s.9999").Texto(), "12h30m15s.999");  // truncated
  // A whole second written as the fraction is carried, never shown as ".1000".
  EXPECT_EQ(AscensionRecta("12h59m59s1").Texto(), "13h00m00s.000");
  EXPECT_EQ(AscensionRecta("23h59m59s1.0").Texto(), "00h00m00s.000");
  Longitud l;
  l.AsignaTexto("-10g59m59s1");
  EXPECT_EQ(l.Texto(), "-11g00m00s.000");
}

TEST(Angulo, AsignaYPolimorfismo) {
  Declinacion d;
  Angulo& a = d;
  EXPECT_EQ(Captura([&] { a.ValidaTexto("91g00m00s"); }).Id(), 10142);
  EXPECT_EQ(Captura([&] { a.ValidaComponentes(0, 0, 0, 1.5); }).Id(), 10145);
  Angulo otro;
  otro.AsignaRadianes(-1.0);
  a.Asigna(otro);
  EXPECT_EQ(d, otro);
}

// Whole milliseconds of one round trip text -> radians -> text.
std::string IdaYVueltaAR(const std::string& texto) {
  AscensionRecta ar(texto);
  AscensionRecta otra;
  otra.AsignaRadianes(ar.Radianes());
  return otra.Texto();
}

std::string TextoAR(int64_t ms) {
  char b[32];
  std::snprintf(b, sizeof b, "%02dh%02dm%02ds.%03d", static_cast<int>(ms / 3600000),
                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                static_cast<int>(ms % 1000));
  return b;
}

TEST(AscensionRecta, IdaYVueltaJuntoACadaAcarreo) {
  // Both sides of every second of the day: 1 ms before, at and after each carry.
  for (int64_t s = 0; s < 86400; ++s) {
    for (int64_t d : {-1, 0, 1}) {
      const int64_t ms = s * 1000 + d;
      if (ms < 0) continue;
      const std::string t = TextoAR(ms);
      ASSERT_EQ(IdaYVueltaAR(t), t);
    }
  }
}

std::string TextoAngulo(int signo, int64_t ms) {
  char b[40];
  std::snprintf(b, sizeof b, "%s%02dg%02dm%02ds.%03d", signo < 0 ? "-" : "",
                static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
                static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
  return b;
}

TEST(Angulo, IdaYVueltaJuntoACadaAcarreo) {
  // Every second of arc of 0..180 degrees, both signs, 1 ms around each carry.
  for (int64_t s = 0; s <= 180 * 3600; ++s) {
    for (int64_t d : {-1, 0, 1}) {
      const int64_t ms = s * 1000 + d;
      if (ms <= 0 || ms > 180 * 3600000) continue;
      for (int signo : {1, -1}) {
        const std::string t = TextoAngulo(signo, ms);
        Longitud l;
        l.AsignaTexto(t);
        Longitud otra;
        otra.AsignaRadianes(l.Radianes());
        ASSERT_EQ(otra.Texto(), t);
      }
    }
  }
}

// Rounding the milliseconds alone gave 1000 ms, written ".1000" and read back as 0.1 s.
TEST(AscensionRecta, RedondeoDeMilisegundosSeAcarrea) {
  AscensionRecta ar;
  ar.AsignaRadianes((1.0 + 59.9996 / 3600.0) * kPi / 12.0);
  EXPECT_EQ(ar.Texto(), "01h01m00s.000");
  ar.AsignaRadianes((23.0 + 59.0 / 60 + 59.9996 / 3600.0) * kPi / 12.0);
  EXPECT_EQ(ar.Texto(), "00h00m00s.000");
  Angulo a;
  a.AsignaRadianes(-(89.0 + 59.0 / 60 + 59.9996 / 3600.0) * kPi / 180.0);
  EXPECT_EQ(a.Texto(), "-90g00m00s.000");
}

TEST(AscensionRecta, RadianesFueraDeUnaVuelta) {
  AscensionRecta ar;
  ar.AsignaRadianes(2 * kPi - 1e-12);
  EXPECT_EQ(ar.Texto(), "00h00m00s.000");
  ar.AsignaRadianes(-kPi / 12.0);
  EXPECT_EQ(ar.Texto(), "23h00m00s.000");
  ar.AsignaRadianes(4 * kPi + kPi / 2);
  EXPECT_EQ(ar.Texto(), "06h00m00s.000");
  ar.AsignaRadianes(std::nan(""));
  EXPECT_EQ(ar.Texto(), "00h00m00s.000");
}

TEST(Angulo, RadianesSignoYExtremos) {
  Angulo a;
  a.AsignaRadianes(0.0);
  EXPECT_EQ(a.Signo(), 0);
  a.AsignaRadianes(-1e-3);
  EXPECT_EQ(a.Signo(), -1);
  EXPECT_EQ(a.Texto(), "-00g03m26s.265");
  a.AsignaRadianes(kPi);
  EXPECT_EQ(a.Texto(), "180g00m00s.000");
  a.AsignaRadianes(1e300);  // reduced by whole turns, never beyond the degrees field
  EXPECT_LT(a.Grados(), 360);
  a.AsignaRadianes(-std::numeric_limits<double>::infinity());
  EXPECT_EQ(a.Signo(), 0);
  EXPECT_EQ(a.Texto(), "00g00m00s.000");
}

}  // namespace
}  // namespace orva
