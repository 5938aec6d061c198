// Kept header cards: what is kept, HISTORY splitting, exact numbers, the rotation-angle WCS
// form under a quarter turn; which observation fields hold a value; copies carry both.
#include "core/Cabecera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "core/Imagen.h"

namespace orva {
namespace {

TEST(CabeceraTest, StructuralAndUnprintableCardsAreNotKept) {
  Cabecera c;
  for (const char* t :
       {"SIMPLE  =                    T", "BITPIX  =                   16",
        "NAXIS3  =                    1", "BZERO   =                32768",
        "BLANK   =               -32768", "END",
        "COMMENT   FITS (Flexible Image Transport System) format is defined in",
        "GAIN    = 1.5\x01", "", "NAXISA  = 'kept'", "COMMENT kept", "HISTORY kept"}) {
    c.Anade(t);
  }
  ASSERT_EQ(c.Tarjetas().size(), 3u);
  for (const std::string& t : c.Tarjetas()) {
    EXPECT_EQ(t.size(), Cabecera::kLargoTarjeta);
    EXPECT_NE(t.find("kept"), std::string::npos) << t;
  }
}

TEST(CabeceraTest, LongHistoryIsSplitAndNumbersReadBackExactly) {
  Cabecera c;
  c.AnadeHistoria(std::string(100, 'x'));
  ASSERT_EQ(c.Tarjetas().size(), 2u);
  EXPECT_EQ(c.Tarjetas()[1].substr(0, 36), "HISTORY " + std::string(28, 'x'));
  for (double v : {0.1, -2.5e-7, 32768.0, 1.0 / 3.0, 6.02214076e23}) {
    c.PonNumero("CRVAL1", v, 0);
    double leido = 0;
    ASSERT_TRUE(c.Numero("CRVAL1", leido));
    EXPECT_EQ(leido, v);
    EXPECT_EQ(std::strtod(TextoExacto(v).c_str(), nullptr), v);
  }
}

// CDELT with CROTA2 becomes a PC matrix under a quarter turn; the linear world coordinates
// of the turned pixels equal those of the original ones.
TEST(CabeceraTest, RotationAngleFormSurvivesAQuarterTurn) {
  Cabecera c;
  for (const char* t : {"CTYPE1  = 'RA---TAN'", "CRPIX1  =                 10.5",
                        "CRPIX2  =                 20.0", "CDELT1  =              -0.0002",
                        "CDELT2  =               0.0003", "CROTA2  =                 30.0"}) {
    c.Anade(t);
  }
  auto intermedias = [](const Cabecera& k, double x, double y, double w[2]) {
    double r1 = 0, r2 = 0, d1 = 1, d2 = 1, rota = 0, pc[4] = {1, 0, 0, 1};
    k.Numero("CRPIX1", r1);
    k.Numero("CRPIX2", r2);
    k.Numero("CDELT1", d1);
    k.Numero("CDELT2", d2);
    const bool conRota = k.Numero("CROTA2", rota);
    const char* n[4] = {"1_1", "1_2", "2_1", "2_2"};
    for (int i = 0; i < 4; ++i) k.Numero(std::string("PC") + n[i], pc[i]);
    const double u = x + 1 - r1, v = y + 1 - r2, a = rota * M_PI / 180;
    if (conRota) {  // the classic form: CD = [c1 cos, -c2 sin; c1 sin, c2 cos]
      w[0] = d1 * std::cos(a) * u - d2 * std::sin(a) * v;
      w[1] = d1 * std::sin(a) * u + d2 * std::cos(a) * v;
    } else {
      w[0] = d1 * (pc[0] * u + pc[1] * v);
      w[1] = d2 * (pc[2] * u + pc[3] * v);
    }
  };
  const double h = 40;  // height before the turn
  Cabecera girada = c;
  // Quarter turn: new (X, Y) shows old (Y, h - 1 - X).
  girada.MueveWcs(MapaPixeles{0, 1, -1, 0, 0, h - 1}, "ROTAR 90.00");
  double rota = 0;
  EXPECT_FALSE(girada.Numero("CROTA2", rota));
  for (double X : {0.0, 7.0, 39.0}) {
    for (double Y : {0.0, 3.0, 55.0}) {
      double a[2], b[2];
      intermedias(c, Y, h - 1 - X, a);
      intermedias(girada, X, Y, b);
      EXPECT_NEAR(a[0], b[0], 1e-15);
      EXPECT_NEAR(a[1], b[1], 1e-15);
    }
  }
}

TEST(CabeceraTest, DistortionUnderATurnIsRemovedButKeptUnderATranslation) {
  Cabecera c;
  for (const char* t : {"CTYPE1  = 'RA---TAN-SIP'", "CRPIX1  =                 10.0",
                        "A_ORDER =                    2", "A_1_1   =                1E-07",
                        "CRPIX1A =                  5.0", "GAIN    =                  1.5"}) {
    c.Anade(t);
  }
  Cabecera movida = c;
  movida.MueveWcs(MapaPixeles{1, 0, 0, 1, 3, 4}, "CORTAR 3 4 10 10");
  double v = 0;
  EXPECT_TRUE(movida.Numero("CRPIX1", v));
  EXPECT_EQ(v, 7.0);
  EXPECT_TRUE(movida.Numero("CRPIX1A", v));
  EXPECT_EQ(v, 2.0);
  EXPECT_TRUE(movida.Numero("A_1_1", v));
  c.MueveWcs(MapaPixeles{-1, 0, 0, 1, 9, 0}, "ESPEJO HORIZONTAL");
  ASSERT_EQ(c.Tarjetas().size(), 2u);
  EXPECT_EQ(Cabecera::Clave(c.Tarjetas()[0]), "GAIN");
  EXPECT_NE(c.Tarjetas()[1].find("WCS removed, no exact update for ESPEJO HORIZONTAL"),
            std::string::npos);
}

// A field holds a value when a reader or an assignment gave one, even the default; an empty
// text takes it away. Copies carry the marks, the mapping and the cards.
TEST(CabeceraTest, FieldValuesAndCopies) {
  DatosImagen d;
  EXPECT_FALSE(TieneDatoImagen(d, "TIEMPOEXP"));
  EXPECT_FALSE(TieneDatoImagen(d, "FECHAOBS"));
  EXPECT_FALSE(TieneDatoImagen(d, "EPOCAOBJ"));
  EXPECT_FALSE(TieneDatoImagen(d, "NOMOBJ"));
  // A side file that holds the default's text explicitly (a latitude of 0) gives a value.
  ASSERT_TRUE(AsignaDatoImagen(d, "LATOBS", TextoDatoImagen(d, "LATOBS")));
  EXPECT_TRUE(TieneDatoImagen(d, "LATOBS"));
  ASSERT_TRUE(AsignaDatoImagen(d, "TIEMPOEXP", "0"));
  EXPECT_TRUE(TieneDatoImagen(d, "TIEMPOEXP"));
  d.tempCCD = -12.04;  // set by code without a mark
  EXPECT_TRUE(TieneDatoImagen(d, "TEMPCCD"));
  ASSERT_TRUE(AsignaDatoImagen(d, "TEMPCCD", "-12.0"));  // its own text, as a side file holds it
  EXPECT_EQ(d.tempCCD, -12.04);
  ASSERT_TRUE(AsignaDatoImagen(d, "TEMPCCD", ""));
  EXPECT_FALSE(TieneDatoImagen(d, "TEMPCCD"));
  EXPECT_EQ(d.tempCCD, 0.0);
  EXPECT_ANY_THROW(AsignaDatoImagen(d, "FECHAOBS", "31/02/2020"));
  EXPECT_FALSE(TieneDatoImagen(d, "FECHAOBS"));

  Imagen a;
  a.datos = d;
  a.mapeo = MapeoValores{32768.0, 1.0};
  a.cabecera.Anade("GAIN    =                  1.5");
  a.AnadeOperacion("CORTAR 1 1 2 2");
  a.AnadeOperacion("INVERTIR");
  Imagen b;
  b.CopiaImagen(a);
  EXPECT_TRUE(TieneDatoImagen(b.datos, "TIEMPOEXP"));
  EXPECT_EQ(b.mapeo, a.mapeo);
  ASSERT_EQ(b.cabecera.Tarjetas().size(), 2u);
  EXPECT_EQ(b.cabecera.Tarjetas()[1].substr(0, 30), "HISTORY ORVA: CORTAR 1 1 2 2  ");
}

}  // namespace
}  // namespace orva
