// The observing site from the FITS keywords of the usual families, and the site cards on write:
// kept as they were while the fields say the same, replaced (never doubled) when they do not.
#include <fitsio.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/Imagen.h"
#include "core/Rango.h"
#include "formats/fits/Fits.h"
#include "shell/Configuracion.h"
#include "tests/formats/Ayuda.h"

namespace orva {
namespace {

using Tarjetas = std::vector<std::pair<const char*, const char*>>;  // key, value as written

void EscribeFits(const std::string& archivo, const Tarjetas& tarjetas) {
  fitsfile* f = nullptr;
  int st = 0;
  fits_create_diskfile(&f, archivo.c_str(), &st);
  long ejes[2] = {4, 3};
  fits_create_img(f, SHORT_IMG, 2, ejes, &st);
  for (const auto& [clave, valor] : tarjetas) {
    char tarjeta[FLEN_CARD];
    std::snprintf(tarjeta, sizeof tarjeta, "%-8s= %s", clave, valor);
    fits_write_record(f, tarjeta, &st);
  }
  std::vector<short> px(12, 7);
  long primero[2] = {1, 1};
  fits_write_pix(f, TSHORT, primero, 12, px.data(), &st);
  fits_close_file(f, &st);
  ASSERT_EQ(st, 0);
}

// How many header cards of the file carry that key.
int Cuenta(const std::string& archivo, const std::string& clave) {
  const std::string bytes = prueba::Lee(archivo);
  char prefijo[16];
  std::snprintf(prefijo, sizeof prefijo, "%-8s=", clave.c_str());
  int n = 0;
  for (size_t i = 0; i + 80 <= bytes.size() && bytes.compare(i, 3, "END") != 0; i += 80) {
    if (bytes.compare(i, 9, prefijo) == 0) ++n;
  }
  return n;
}

struct Caso {
  const char* nombre;
  Tarjetas tarjetas;
  const char* lon;  // LONOBS (positive west); null: no site read
  const char* lat;
  const char* alt;  // ALTOBS; null: none read
};

const Caso kCasos[] = {
    {"sitio sexagesimal",
     {{"SITELAT", "'+37:13:25'"}, {"SITELONG", "'-2 32 46.5'"}, {"SITEELEV", "2168."}},
     "02g32m46s.500",
     "37g13m25s.000",
     "2168"},
    {"latitude longitud en grados",
     {{"LATITUDE", "28.7606"}, {"LONGITUD", "-17.8792"}},
     "17g52m45s.120",
     "28g45m38s.160",
     nullptr},
    {"obsgeo este",
     {{"OBSGEO-B", "-31.2733"}, {"OBSGEO-L", "149.0661"}, {"OBSGEO-H", "1165.0"}},
     "-149g03m57s.960",
     "-31g16m23s.880",
     "1165"},
    {"obsgeo mas de 180",
     {{"OBSGEO-B", "-31.2733"}, {"OBSGEO-L", "210.9339"}},
     "149g03m57s.960",
     "-31g16m23s.880",
     nullptr},
    {"familia ilegible cede a la siguiente",
     {{"SITELAT", "'norte'"}, {"SITELONG", "10"}, {"LATITUDE", "-0.5"}, {"LONGITUD", "'-0:30:00'"}},
     "00g30m00s.000",
     "-00g30m00s.000",
     nullptr},
    {"sin longitud", {{"SITELAT", "40.0"}}, nullptr, nullptr, nullptr},
    {"latitud fuera", {{"SITELAT", "95.0"}, {"SITELONG", "10.0"}}, nullptr, nullptr, nullptr},
};

const char* kClavesSitio[] = {"SITELAT",  "SITELONG", "SITEELEV", "LATITUDE",
                              "LONGITUD", "OBSGEO-B", "OBSGEO-L", "OBSGEO-H"};

TEST(SitioFits, LeeConservaYReemplaza) {
  Configuracion::Global().RestableceDefectos();
  Rango() = RangoPixeles{0, 32767, 0};
  prueba::Carpeta dir;
  for (const Caso& c : kCasos) {
    SCOPED_TRACE(c.nombre);
    const std::string origen = dir / "origen.fits";
    std::remove(origen.c_str());
    EscribeFits(origen, c.tarjetas);
    ImagenObservacion im;
    LeeFits(origen, im);
    EXPECT_EQ(TieneDatoImagen(im.datos, "LONOBS"), c.lon != nullptr);
    EXPECT_EQ(TieneDatoImagen(im.datos, "ALTOBS"), c.alt != nullptr);
    if (c.lon) {
      EXPECT_EQ(TextoDatoImagen(im.datos, "LONOBS"), c.lon);
      EXPECT_EQ(TextoDatoImagen(im.datos, "LATOBS"), c.lat);
    }
    if (c.alt) {
      EXPECT_EQ(TextoDatoImagen(im.datos, "ALTOBS"), c.alt);
    }

    // Written again unchanged: every card once, as it was.
    const std::string igual = dir / "igual.fits";
    GuardaFits(igual, im);
    for (const auto& [clave, valor] : c.tarjetas) {
      EXPECT_EQ(Cuenta(igual, clave), 1) << clave;
    }
    EXPECT_EQ(Cuenta(igual, "SITELAT"), Cuenta(origen, "SITELAT"));

    // Another site: the old site cards go, the new one is written once and reads back.
    AsignaDatoImagen(im.datos, "LONOBS", "-10g00m00s.000");
    AsignaDatoImagen(im.datos, "LATOBS", "45g30m00s.000");
    AsignaDatoImagen(im.datos, "ALTOBS", "500");
    const std::string otro = dir / "otro.fits";
    GuardaFits(otro, im);
    for (const char* clave : kClavesSitio) {
      const bool nueva = std::string(clave).rfind("SITE", 0) == 0;
      EXPECT_EQ(Cuenta(otro, clave), nueva ? 1 : 0) << clave;
    }
    ImagenObservacion leida;
    LeeFits(otro, leida);
    EXPECT_EQ(TextoDatoImagen(leida.datos, "LONOBS"), "-10g00m00s.000");
    EXPECT_EQ(TextoDatoImagen(leida.datos, "LATOBS"), "45g30m00s.000");
    EXPECT_EQ(TextoDatoImagen(leida.datos, "ALTOBS"), "500");
    // Written once more: the new cards stay single.
    GuardaFits(otro, leida);
    EXPECT_EQ(Cuenta(otro, "SITELONG"), 1);
    // The site cleared: no site card comes back.
    for (const char* clave : {"LONOBS", "LATOBS", "ALTOBS"})
      AsignaDatoImagen(leida.datos, clave, "");
    GuardaFits(otro, leida);
    for (const char* clave : kClavesSitio) EXPECT_EQ(Cuenta(otro, clave), 0) << clave;
  }
}

}  // namespace
}  // namespace orva
