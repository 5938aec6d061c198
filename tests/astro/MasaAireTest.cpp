// Mid-exposure time, heliocentric Julian day, altitude and air mass against astropy.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "astro/MasaAire.h"
#include "base/JError.h"

namespace orva {
namespace {

constexpr double kGrado = std::numbers::pi / 180.0;

struct CasoAstropy {
  Fecha fecha;
  Hora inicio;  // UTC, start of the exposure
  double exposicion;
  const char* ar;  // J2000
  const char* dec;
  double lonEste;  // degrees, positive east as astropy takes it
  double lat;
  double dj, djh, altura, hardie, pickering;
};

// Computed once with astropy 5.2 (IERS downloads off): mid-exposure Time(utc) + exposure / 2;
// djh = t + t.light_travel_time(SkyCoord(icrs), 'heliocentric', location); altura from
// transform_to(AltAz(obstime=t, location, pressure=0)); hardie and pickering from that
// altitude by the two formulas.
const CasoAstropy kCasos[] = {
    {Fecha(14, 3, 2019), Hora(22, 15, 30), 120.0, "05h35m17s.300", "-05g23m28s.000", -3.3844,
     37.2236, 2458557.428125, 2458557.428055, 20.6374, 2.81921, 2.81573},
    {Fecha(2, 8, 2021), Hora(3, 40, 0), 300.0, "19h50m47s.000", "08g52m06s.000", -17.8792, 28.7606,
     2459428.654514, 2459428.659576, 38.5066, 1.60382, 1.60306},
    {Fecha(20, 11, 2015), Hora(9, 10, 0), 60.0, "01h33m50s.900", "30g39m37s.000", -111.5967,
     31.9583, 2457346.882292, 2457346.887200, 38.2844, 1.61165, 1.61088},
    {Fecha(5, 5, 2023), Hora(13, 0, 0), 30.0, "14h39m36s.500", "-60g50m02s.000", 149.0661, -31.2733,
     2460070.041840, 2460070.045982, 59.1133, 1.16487, 1.16457},
    {Fecha(10, 1, 2020), Hora(20, 0, 0), 600.0, "03h08m10s.100", "40g57m20s.000", 0.0, 51.4778,
     2458859.336806, 2458859.339921, 79.2505, 1.01783, 1.01772},
};

TEST(MasaAire, CircunstanciasComoAstropy) {
  for (const CasoAstropy& c : kCasos) {
    SCOPED_TRACE(c.ar);
    Longitud lon;
    lon.AsignaRadianes(-c.lonEste * kGrado);  // the image data count west positive
    Latitud lat;
    lat.AsignaRadianes(c.lat * kGrado);
    const AscensionRecta ar(c.ar);
    Declinacion dec;
    dec.AsignaTexto(c.dec);
    const FechaHora inicio(c.fecha, c.inicio);
    const Circunstancias r = CalculaCircunstancias(inicio, c.exposicion, ar, dec, 2000, lon, lat);
    EXPECT_NEAR(r.diaJuliano, c.dj, 1e-6);
    // The low-precision solar series: a second and a half.
    EXPECT_NEAR(r.diaJulianoHelio, c.djh, 2e-5);
    // No nutation, aberration or UT1 here: within half an arcminute of astropy's altitude.
    EXPECT_NEAR(r.altura / kGrado, c.altura, 0.5 / 60.0);
    EXPECT_NEAR(r.masaAire, c.hardie, 2e-4 * c.hardie);
    const Circunstancias p = CalculaCircunstancias(inicio, c.exposicion, ar, dec, 2000, lon, lat,
                                                   FormulaMasaAire::kPickering);
    EXPECT_NEAR(p.masaAire, c.pickering, 2e-4 * c.pickering);
    // The same object given at the equinox of 1950 lands on the same altitude.
    const Ecuatoriales b1950 = Precesa({ar.Radianes(), dec.Radianes()}, DiaJulianoEquinoccio(2000),
                                       DiaJulianoEquinoccio(1950));
    AscensionRecta ar50;
    ar50.AsignaRadianes(b1950.ar);
    Declinacion dec50;
    dec50.AsignaRadianes(b1950.dec);
    const Circunstancias v =
        CalculaCircunstancias(inicio, c.exposicion, ar50, dec50, 1950, lon, lat);
    EXPECT_NEAR(v.altura / kGrado, r.altura / kGrado, 1.0 / 3600.0);
    EXPECT_NEAR(v.diaJulianoHelio, r.diaJulianoHelio, 1e-7);
  }
}

TEST(MasaAire, ValoresIlegalesDanSuError) {
  struct Caso {
    double exposicion;
    double altura;  // degrees
    int id;
  };
  const Caso casos[] = {
      {-1.0, 30.0, 12391}, {std::nan(""), 30.0, 12391}, {10.0, 0.0, 12390},
      {10.0, -5.0, 12390}, {10.0, std::nan(""), 12390},
  };
  const FechaHora fh(Fecha(1, 1, 2020), Hora(0, 0, 0));
  for (const Caso& c : casos) {
    try {
      DiaJulianoMedio(fh, c.exposicion);
      MasaAire(c.altura * kGrado);
      ADD_FAILURE() << c.exposicion << " " << c.altura;
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), c.id);
    }
  }
  // Below the horizon the instant is still given, without an air mass.
  Longitud lon;
  Latitud lat;
  lat.AsignaTexto("80g00m00s.000");
  Declinacion dec;
  dec.AsignaTexto("-60g00m00s.000");
  const Circunstancias r = CalculaCircunstancias(fh, 0.0, AscensionRecta(), dec, 2000, lon, lat);
  EXPECT_LT(r.altura, 0.0);
  EXPECT_TRUE(std::isnan(r.masaAire));
  EXPECT_DOUBLE_EQ(r.diaJuliano, fh.DiaJuliano());
}

}  // namespace
}  // namespace orva
