// Dates, times, Julian day and its inverse, sidereal time and date-time increments; the
// Julian day and sidereal time are checked against ERFA.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

#include <erfa.h>

#include "astro/Tiempo.h"
#include "base/JError.h"

namespace orva {
namespace {

// Runs f and returns the JError it raised (id 0 if none).
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

TEST(Fecha, ValidacionEnOrdenConMensajeExacto) {
  const CasoError casos[] = {
      {"1/1", 10116, "1/1"},
      {"", 10116, ""},
      {"a/1/2000", 10116, "a/1/2000"},
      {"01-01-2000", 10116, "01-01-2000"},
      {"01/01/1899", 10117, "1899"},
      {"32/13/1800", 10117, "1800"},  // the year is checked first
      {"01/01/10000", 10117, "10000"},
      {"32/13/2000", 10118, "13"},
      {"01/00/2000", 10118, "0"},
      {"32/01/2000", 10119, "32"},
      {"0/01/2000", 10119, "0"},
      {"31/04/2007", 10119, "31/04/2007"},
      {"31/06/2007", 10119, "31/06/2007"},
      {"31/09/2007", 10119, "31/09/2007"},
      {"31/11/2007", 10119, "31/11/2007"},
      {"30/02/2007", 10119, "30/02/2007"},
      {"31/2/2008", 10119, "31/02/2008"},
  };
  for (const auto& c : casos) {
    JError e = Captura([&] { Fecha f(c.texto); });
    EXPECT_EQ(e.Id(), c.id) << c.texto;
    EXPECT_EQ(e.Argumento(1), c.arg1) << c.texto;
  }
  EXPECT_EQ(Captura([] { Fecha f("01/01/1899"); }).Argumento(2), "1900");
  EXPECT_EQ(Captura([] { Fecha f(31, 4, 2007); }).Id(), 10119);
  EXPECT_EQ(Captura([] { Fecha f(1, 1, 1899); }).Id(), 10117);
}

TEST(Fecha, FechasLegales) {
  EXPECT_EQ(Fecha("29/02/2007").Texto(), "29/02/2007");  // every February may have a 29th
  EXPECT_EQ(Fecha("1/1/1900").Texto(), "01/01/1900");
  EXPECT_EQ(Fecha("31/12/9999").Texto(), "31/12/9999");
  EXPECT_EQ(Fecha(" 5/ 3/2001").Texto(), "05/03/2001");
  Fecha f(30, 4, 2007);
  EXPECT_EQ(f.Dia(), 30);
  EXPECT_EQ(f.Mes(), 4);
  EXPECT_EQ(f.Anio(), 2007);
}

TEST(Hora, ValidacionEnOrdenConMensajeExacto) {
  const CasoError casos[] = {
      {"12:00", 10120, "12:00"},
      {"12h00m00", 10120, "12h00m00"},
      {"", 10120, ""},
      {"24:00:00", 10121, "24"},
      {"-1:00:00", 10121, "-1"},
      {"25:61:61.1000", 10121, "25"},
      {"12:60:00", 10122, "60"},
      {"12:00:60", 10123, "60"},
      {"12:00:00.1000", 10124, "1000"},
      {"12:00:00.-5", 10124, "-5"},
      {"99999999999:00:00", 10121, "2147483647"},
  };
  for (const auto& c : casos) {
    JError e = Captura([&] { Hora h(c.texto); });
    EXPECT_EQ(e.Id(), c.id) << c.texto;
    EXPECT_EQ(e.Argumento(1), c.arg1) << c.texto;
  }
  EXPECT_EQ(Captura([] { Hora h(0, 0, 0, 1000); }).Id(), 10124);
}

TEST(Hora, MilisegundosSonElEnteroTrasElPunto) {
  EXPECT_EQ(Hora("12:00:00.5").Texto(), "12:00:00.005");
  EXPECT_EQ(Hora("12:00:00.500").Texto(), "12:00:00.500");
  EXPECT_EQ(Hora("12:00:00").Milisegundos(), 0);
  EXPECT_EQ(Hora("7:5:3.").Texto(), "07:05:03.000");
  EXPECT_EQ(Hora(23, 59, 59, 999).Texto(), "23:59:59.999");
}

TEST(FechaHora, ValorInicialYCache) {
  FechaHora fh;
  EXPECT_EQ(fh.Texto(), "01/01/1970 00:00:00.000");
  EXPECT_DOUBLE_EQ(fh.DiaJuliano(), 2440587.5);
  fh.AsignaFecha(Fecha(1, 1, 2000));  // clears the cache
  fh.AsignaHora(Hora(12, 0, 0));
  EXPECT_DOUBLE_EQ(fh.DiaJuliano(), 2451545.0);
}

// Julian day of a date and time: ERFA's calendar conversion plus the day fraction.
double DiaJulianoErfa(int d, int m, int y, int h, int mi, int s, int ms) {
  double djm0 = 0, djm = 0;
  EXPECT_EQ(eraCal2jd(y, m, d, &djm0, &djm), 0);
  return djm0 + djm + (h * 3600000.0 + mi * 60000.0 + s * 1000.0 + ms) / 86400000.0;
}

TEST(DiaJuliano, IgualQueErfaDesde1582Hasta2100) {
  double maxima = 0.0;
  unsigned semilla = 12345;
  auto azar = [&semilla](int n) {
    semilla = semilla * 1103515245u + 12345u;
    return static_cast<int>((semilla >> 8) % static_cast<unsigned>(n));
  };
  const int ultimo[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int y = 1582; y <= 2100; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d : {1, 15, 28, ultimo[m - 1]}) {
        if (m == 2 && d == 29 && !(y % 4 == 0 && (y % 100 != 0 || y % 400 == 0))) continue;
        if (y == 1582 && (m < 10 || (m == 10 && d < 15))) continue;
        const int h = azar(24), mi = azar(60), s = azar(60), ms = azar(1000);
        const double nuestro = DiaJulianoCalendario(d, m, y, Hora(h, mi, s, ms));
        const double erfa = DiaJulianoErfa(d, m, y, h, mi, s, ms);
        maxima = std::max(maxima, std::fabs(nuestro - erfa));
        ASSERT_NEAR(nuestro, erfa, 1e-9) << d << "/" << m << "/" << y;
      }
    }
  }
  std::printf("[ medida ] max |DJ - eraCal2jd| = %.3g day\n", maxima);
}

TEST(DiaJuliano, ReformaGregorianaYFechasConocidas) {
  const Hora cero;
  EXPECT_DOUBLE_EQ(DiaJulianoCalendario(4, 10, 1582, cero), 2299159.5);
  EXPECT_DOUBLE_EQ(DiaJulianoCalendario(15, 10, 1582, cero), 2299160.5);
  EXPECT_DOUBLE_EQ(DiaJulianoCalendario(1, 1, 2000, Hora(12, 0, 0)), 2451545.0);
  EXPECT_DOUBLE_EQ(DiaJulianoCalendario(1, 1, 1, cero), kDiaJulianoMinimo);
  EXPECT_DOUBLE_EQ(DiaJulianoCalendario(31, 12, 9999, cero) + 1.0, kDiaJulianoMaximo);

  FechaHora fh;
  fh.AsignaDiaJuliano(2451545.0);
  EXPECT_EQ(fh.Texto(), "01/01/2000 12:00:00.000");
  fh.AsignaDiaJuliano(2299160.5);
  EXPECT_EQ(fh.Texto(), "15/10/1582 00:00:00.000");
  fh.AsignaDiaJuliano(2299159.5);
  EXPECT_EQ(fh.Texto(), "04/10/1582 00:00:00.000");
  fh.AsignaDiaJuliano(kDiaJulianoMinimo);
  EXPECT_EQ(fh.Texto(), "01/01/0001 00:00:00.000");
}

TEST(DiaJuliano, InversaIgualQueErfa) {
  double maxima = 0.0;
  for (double j = 2299160.5; j < 2488070.0; j += 17.3183) {
    FechaHora fh;
    fh.AsignaDiaJuliano(j);
    EXPECT_EQ(fh.DiaJuliano(), j);  // the given day becomes the cache
    int y, m, d;
    double fd;
    ASSERT_EQ(eraJd2cal(j, 0.0, &y, &m, &d, &fd), 0);
    if (fd * 86400000.0 > 86400000.0 - 1.0) continue;  // rounds into the next day
    EXPECT_EQ(fh.FechaDia().Dia(), d) << j;
    EXPECT_EQ(fh.FechaDia().Mes(), m) << j;
    EXPECT_EQ(fh.FechaDia().Anio(), y) << j;
    const Hora& h = fh.HoraDia();
    const double ms =
        ((h.Horas() * 60.0 + h.Minutos()) * 60.0 + h.Segundos()) * 1000.0 + h.Milisegundos();
    maxima = std::max(maxima, std::fabs(ms - fd * 86400000.0));
    ASSERT_LE(std::fabs(ms - fd * 86400000.0), 0.5 + 1e-4) << j;
  }
  std::printf("[ medida ] max |time - eraJd2cal| = %.3g ms (rounded to the millisecond)\n", maxima);
}

// Truncating the day fraction turned whole minutes into hh:mm:59.999 after a round trip.
TEST(DiaJuliano, IdaYVueltaConservaLaHora) {
  for (int minuto = 0; minuto < 1440; ++minuto) {
    for (int ms : {0, 1, 500, 999}) {
      FechaHora fh(Fecha(17, 6, 2031), Hora(minuto / 60, minuto % 60, 59, ms));
      FechaHora copia;
      copia.AsignaDiaJuliano(fh.DiaJuliano());
      ASSERT_EQ(copia.Texto(), fh.Texto());
    }
  }
  FechaHora fh;
  fh.AsignaDiaJuliano(2451545.5 - 0.2e-3 / 86400.0);  // 0.2 ms before midnight
  EXPECT_EQ(fh.Texto(), "02/01/2000 00:00:00.000");
}

TEST(DiaJuliano, FueraDeRangoSeRechazaSinCambiar) {
  const FechaHora original(Fecha(3, 4, 2005), Hora(6, 7, 8, 9));
  for (double j : {std::nan(""), 0.0, -1e300, kDiaJulianoMinimo - 1e-6, kDiaJulianoMaximo, 1e300,
                   std::numeric_limits<double>::infinity()}) {
    FechaHora fh = original;
    EXPECT_EQ(Captura([&] { fh.AsignaDiaJuliano(j); }).Id(), 12149) << j;
    EXPECT_EQ(fh.Texto(), original.Texto());
  }
}

TEST(TiempoSidereo, IgualQueErfaGmst82) {
  double maxima = 0.0;
  for (double j = 2415020.5; j < 2488070.0; j += 3.71234567) {
    FechaHora fh;
    fh.AsignaDiaJuliano(j);
    const double t = fh.TiempoSidereo();
    ASSERT_GE(t, 0.0);
    ASSERT_LT(t, 2 * std::numbers::pi);
    const double d = std::fabs(eraAnpm(t - eraGmst82(j, 0.0)));
    maxima = std::max(maxima, d);
    ASSERT_LT(d, 1e-8) << j;
  }
  std::printf("[ medida ] max |GMST - eraGmst82| = %.3g rad\n", maxima);
}

struct CasoIncremento {
  const char* antes;
  bool conDias;
  const char* dias;
  bool conHora;
  const char* hora;
  const char* despues;
};

FechaHora Lee(const std::string& texto) {
  return FechaHora(Fecha(texto.substr(0, 10)), Hora(texto.substr(11)));
}

TEST(FechaHora, Incrementos) {
  const CasoIncremento casos[] = {
      {"10/05/2007 23:30:00.000", false, "", true, "+1:00:00", "11/05/2007 00:30:00.000"},
      {"10/05/2007 00:10:00.000", false, "", true, "-0:45:00", "09/05/2007 23:25:00.000"},
      {"10/05/2007 23:30:00.000", false, "", true, "+0:30:00", "11/05/2007 00:00:00.000"},
      {"31/12/1999 23:59:59.500", false, "", true, "0:00:01", "01/01/2000 00:00:00.000"},
      {"10/05/2007 12:34:56.789", false, "", true, "0:00:00", "10/05/2007 12:34:56.000"},
      {"10/05/2007 01:00:00.000", false, "", true, "-1:30:00", "09/05/2007 23:30:00.000"},
      {"10/05/2007 00:00:00.000", false, "", true, "-25:00:00", "08/05/2007 23:00:00.000"},
      {"10/05/2007 00:00:00.000", false, "", true, "100:00:00", "14/05/2007 04:00:00.000"},
      {"10/05/2007 06:00:00.000", false, "", true, " -0:30:00", "10/05/2007 05:30:00.000"},
      {"28/02/2000 12:00:00.250", true, "+1", false, "", "29/02/2000 12:00:00.250"},
      {"01/03/2001 12:00:00.250", true, "-1", false, "", "28/02/2001 12:00:00.250"},
      {"01/01/2000 00:00:00.000", true, "366", false, "", "01/01/2001 00:00:00.000"},
      {"01/01/2000 08:00:00.000", true, "", false, "", "01/01/2000 08:00:00.000"},
      {"01/01/2000 08:00:00.000", true, "2", true, "+48:00:00", "05/01/2000 08:00:00.000"},
      {"01/01/2000 08:00:00.000", true, "-2", true, "+48:00:00", "01/01/2000 08:00:00.000"},
      {"01/01/2000 08:00:00.000", false, "xx", false, "yy", "01/01/2000 08:00:00.000"},
  };
  for (const auto& c : casos) {
    FechaHora fh = Lee(c.antes);
    fh.Incrementa(c.conDias, c.dias, c.conHora, c.hora);
    EXPECT_EQ(fh.Texto(), c.despues) << c.antes << " " << c.dias << " " << c.hora;
    EXPECT_DOUBLE_EQ(fh.DiaJuliano(), Lee(c.despues).DiaJuliano());  // the cache follows
  }
}

TEST(FechaHora, IncrementoCruzaLaReformaGregoriana) {
  FechaHora fh;
  fh.AsignaDiaJuliano(2299160.5);
  fh.Incrementa(true, "-1", false, "");
  EXPECT_EQ(fh.Texto(), "04/10/1582 00:00:00.000");
}

TEST(FechaHora, IncrementosIlegalesNoCambianNada) {
  const CasoIncremento casos[] = {
      {"", true, "1a", false, "", "12145"},
      {"", true, "+", false, "", "12145"},
      {"", true, " 1", false, "", "12145"},
      {"", true, "1.5", false, "", "12145"},
      {"", true, "99999999999", false, "", "12145"},
      {"", true, "1a", true, "1:00", "12145"},  // the day text is checked first
      {"", false, "", true, "1:00", "12146"},
      {"", false, "", true, "", "12146"},
      {"", false, "", true, "1:60:00", "12147"},
      {"", false, "", true, "-1:-30:00", "12147"},
      {"", false, "", true, "1:00:60", "12148"},
      {"", true, "+3000000", false, "", "12149"},
      {"", false, "", true, "-2000000000:00:00", "12149"},
  };
  const FechaHora original = Lee("10/05/2007 12:34:56.789");
  for (const auto& c : casos) {
    FechaHora fh = original;
    JError e = Captura([&] { fh.Incrementa(c.conDias, c.dias, c.conHora, c.hora); });
    EXPECT_EQ(std::to_string(e.Id()), c.despues) << c.dias << " " << c.hora;
    EXPECT_EQ(fh.Texto(), original.Texto());
  }
}

TEST(FechaHora, FechaDeArchivo) {
  FechaHora fh = Lee("10/05/2007 12:34:56.789");
  fh.AsignaFechaArchivo("/no/existe/este/archivo");
  EXPECT_EQ(fh.Texto(), "01/01/1970 00:00:00.000");

  const std::string ruta =
      (std::filesystem::temp_directory_path() / "orva_test_fecha_archivo").string();
  std::ofstream(ruta) << "x";
  const std::time_t t = 1234567890;  // its local form is what the file date must show
  utimbuf tiempos{t + 86400, t};     // access time a day later: it must not be used
  ASSERT_EQ(utime(ruta.c_str(), &tiempos), 0);
  std::tm tm{};
  localtime_r(&t, &tm);
  char esperado[64];
  std::snprintf(esperado, sizeof esperado, "%02d/%02d/%04d %02d:%02d:%02d.000", tm.tm_mday,
                tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  fh.AsignaFechaArchivo(ruta);
  EXPECT_EQ(fh.Texto(), esperado);
  std::filesystem::remove(ruta);
}

TEST(FechaHora, FechaActualEsLaDelReloj) {
  FechaHora fh;
  const std::time_t antes = std::time(nullptr);
  fh.AsignaActual();
  std::tm tm{};
  localtime_r(&antes, &tm);
  EXPECT_EQ(fh.FechaDia().Anio(), tm.tm_year + 1900);
  EXPECT_NE(fh.DiaJuliano(), 2440587.5);
}

}  // namespace
}  // namespace orva
