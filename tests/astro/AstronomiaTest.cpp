// Hour angle, horizon coordinates and heliocentric Julian day against ERFA, and the
// observing-circumstance lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include <erfa.h>
#include <erfam.h>

#include "astro/Astronomia.h"

namespace orva {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kGrado = kPi / 180.0;

TEST(CoordenadasHorizontales, IgualQueErfaHd2ae) {
  double maxAz = 0.0, maxAlt = 0.0;
  for (double phi = -85.0; phi <= 85.0; phi += 17.0) {
    for (double dec = -80.0; dec <= 80.0; dec += 13.0) {
      for (double h = -400.0; h <= 400.0; h += 11.5) {  // not reduced: beyond a whole turn
        double az = 0, el = 0;
        eraHd2ae(h * kGrado, dec * kGrado, phi * kGrado, &az, &el);
        if (std::fabs(el) > 89.9 * kGrado) continue;  // azimuth undefined at the zenith
        const Horizontales r = CoordenadasHorizontales(h * kGrado, phi * kGrado, dec * kGrado);
        // ERFA counts the azimuth from the north through the east; here from the south
        // toward the west, i.e. half a turn apart.
        const double dAz = std::fabs(eraAnpm(r.azimut - (az - kPi)));
        maxAz = std::max(maxAz, dAz);
        maxAlt = std::max(maxAlt, std::fabs(r.altura - el));
        ASSERT_LT(dAz, 1e-9) << phi << " " << dec << " " << h;
        ASSERT_NEAR(r.altura, el, 1e-12);
        ASSERT_NEAR(r.distanciaCenital, kPi / 2 - el, 1e-12);
        ASSERT_GT(r.azimut, -kPi - 1e-15);
        ASSERT_LE(r.azimut, kPi);
      }
    }
  }
  std::printf("[ medida ] max |azimuth - eraHd2ae| = %.3g rad, |altitude| = %.3g rad\n", maxAz,
              maxAlt);
}

TEST(CoordenadasHorizontales, CenitYPolosSinNaN) {
  const Horizontales r = CoordenadasHorizontales(0.0, 0.7, 0.7);  // at the zenith
  EXPECT_FALSE(std::isnan(r.altura));
  EXPECT_FALSE(std::isnan(r.distanciaCenital));
  EXPECT_NEAR(r.altura, kPi / 2, 1e-7);
  const Horizontales p = CoordenadasHorizontales(1.0, 0.3, kPi / 2);  // the celestial pole
  EXPECT_NEAR(p.altura, 0.3, 1e-12);
}

TEST(AzimutAltura, ConElAnguloHorarioDeErfa) {
  Longitud lon;
  lon.AsignaTexto("-003g41m10s.500");  // east of Greenwich: negative
  Latitud lat;
  lat.AsignaTexto("40g24m30s.000");
  double maxima = 0.0;
  for (double j = 2451000.3; j < 2470000.0; j += 97.123) {
    FechaHora fh;
    fh.AsignaDiaJuliano(j);
    for (const char* ar_texto : {"00h00m00s.000", "05h35m17s.300", "18h36m56s.336"}) {
      for (const char* dec_texto : {"-05g23m28s.000", "38g47m01s.280", "-60g50m02s.000"}) {
        AscensionRecta ar(ar_texto);
        Declinacion dec;
        dec.AsignaTexto(dec_texto);
        const double h = eraGmst82(j, 0.0) - lon.Radianes() - ar.Radianes();
        EXPECT_NEAR(eraAnpm(AnguloHorario(fh, ar, lon) - h), 0.0, 1e-8);
        double az = 0, el = 0;
        eraHd2ae(h, dec.Radianes(), lat.Radianes(), &az, &el);
        const AzimutAltura aa = CalculaAzimutAltura(ar, dec, lon, lat, fh);
        const AzimutDistanciaCenital ad = CalculaAzimutDistanciaCenital(ar, dec, lon, lat, fh);
        const double dAz = std::fabs(eraAnpm(aa.azimut.Radianes() - (az - kPi)));
        const double dAlt = std::fabs(aa.altura.Radianes() - el);
        maxima = std::max({maxima, dAz, dAlt});
        ASSERT_LT(dAz, 1e-7);
        ASSERT_LT(dAlt, 1e-7);
        ASSERT_EQ(ad.azimut, aa.azimut);
        ASSERT_NEAR(ad.distanciaCenital.Radianes(), kPi / 2 - el, 1e-7);
      }
    }
  }
  std::printf("[ medida ] max |az, alt (ms of arc) - eraHd2ae| = %.3g rad\n", maxima);
}

TEST(AnguloHorario, LongitudPositivaAlOeste) {
  FechaHora fh(Fecha(1, 1, 2000), Hora(12, 0, 0));
  AscensionRecta ar;
  ar.AsignaRadianes(fh.TiempoSidereo());  // on the Greenwich meridian
  Longitud oeste;
  oeste.AsignaTexto("15g00m00s");
  // Sidereal time at a western observatory is earlier: the object has not yet transited.
  EXPECT_NEAR(AnguloHorario(fh, ar, oeste), -15 * kGrado, 1e-7);
}

// Heliocentric Julian day from ERFA's heliocentric Earth position, rotated from J2000.0 into
// the mean equator and equinox of B1950.0 (the frame of the object's coordinates here).
double DiaJulianoHeliocentricoErfa(double dj, double ar, double dec) {
  double pvh[2][3], pvb[2][3];
  eraEpv00(dj, 0.0, pvh, pvb);
  double rp[3][3];
  eraPmat76(2433282.4235, 0.0, rp);  // B1950.0
  double tierra[3];
  eraRxp(rp, pvh[0], tierra);
  double s[3] = {std::cos(ar) * std::cos(dec), std::sin(ar) * std::cos(dec), std::sin(dec)};
  return dj + eraPdp(tierra, s) * ERFA_AULT / ERFA_DAYSEC;
}

TEST(DiaJulianoHeliocentrico, IgualQueCalculoConErfaEpv00) {
  double maxima = 0.0;
  for (double j = 2433282.5; j < 2470000.0; j += 23.456) {
    for (double ar = 0.1; ar < 2 * kPi; ar += 0.9) {
      for (double dec = -1.4; dec <= 1.4; dec += 0.7) {
        const double nuestro = DiaJulianoHeliocentrico(j, ar, dec);
        const double erfa = DiaJulianoHeliocentricoErfa(j, ar, dec);
        maxima = std::max(maxima, std::fabs(nuestro - erfa));
        ASSERT_NEAR(nuestro, erfa, 1e-5) << j << " " << ar << " " << dec;
      }
    }
  }
  std::printf("[ medida ] max |DJH - eraEpv00 light time| = %.3g day\n", maxima);
}

TEST(DiaJulianoHeliocentrico, DesdeLosValores) {
  FechaHora fh(Fecha(15, 3, 2010), Hora(22, 0, 0));
  AscensionRecta ar("10h20m30s.000");
  Declinacion dec;
  dec.AsignaTexto("-20g00m00s");
  EXPECT_DOUBLE_EQ(DiaJulianoHeliocentrico(fh, ar, dec),
                   DiaJulianoHeliocentrico(fh.DiaJuliano(), ar.Radianes(), dec.Radianes()));
}

TEST(TextoAnguloHorario, ReducidoAMasMenosDoceHoras) {
  const struct {
    double h;
    const char* texto;
  } casos[] = {
      {0.0, "00h00m00s.000"},
      {kPi / 6, "02h00m00s.000"},
      {-kPi / 6, "-02h00m00s.000"},
      {2 * kPi + kPi / 6, "02h00m00s.000"},
      {-4 * kPi - kPi / 6, "-02h00m00s.000"},
      {kPi, "-12h00m00s.000"},
      {-1e-12, "00h00m00s.000"},
      {3 * kPi / 2, "-06h00m00s.000"},
  };
  for (const auto& c : casos) EXPECT_EQ(TextoAnguloHorario(c.h), c.texto) << c.h;
}

TEST(LineasCircunstancias, OrdenYFormato) {
  FechaHora fh(Fecha(1, 1, 2000), Hora(12, 0, 0));
  AscensionRecta ar;
  ar.AsignaRadianes(fh.TiempoSidereo());  // transits at Greenwich
  Declinacion dec;
  dec.AsignaTexto("10g00m00s");
  Longitud lon;
  Latitud lat;
  lat.AsignaTexto("40g00m00s");
  const auto l = LineasCircunstancias(fh, ar, dec, lon, lat, 2451545.00123);
  ASSERT_EQ(l.size(), 8u);
  EXPECT_EQ(l[0], "Dia Juliano: \t 2451545.00000");
  EXPECT_EQ(l[1], "Hora Sideral:\t " + ar.Texto());
  EXPECT_EQ(l[2], "Fecha y hora:\t 01/01/2000 12:00:00.000");
  // The right ascension holds the sidereal time to the millisecond only: the azimuth of a star
  // at transit then lies within a few hundredths of a second of arc of the meridian.
  EXPECT_TRUE(l[3].starts_with("Azimut:\t 00g00m00s.0") ||
              l[3].starts_with("Azimut:\t -00g00m00s.0"))
      << l[3];
  EXPECT_EQ(l[4], "Angulo horario:\t 00h00m00s.000");
  EXPECT_EQ(l[5], "Altura horizonte:\t 60g00m00s.000");
  EXPECT_EQ(l[6], "Distancia zenital:\t 30g00m00s.000");
  EXPECT_EQ(l[7], "Dia Jul. Helio.: \t 2451545.00123");
}

}  // namespace
}  // namespace orva
