// FITS out keeps what FITS in held: physical values through the value mapping (also through
// QOR), header cards, world coordinates under geometric operations, HISTORY lines, and no
// field the file did not hold.
#include <fitsio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/Imagen.h"
#include "core/Rango.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "processing/Geometria.h"
#include "shell/Configuracion.h"
#include "tests/formats/Ayuda.h"

namespace orva {
namespace {

using prueba::Carpeta;

std::string Dato(const char* nombre) {
  return std::string(ORVA_TEST_DATA) + "/" + nombre;
}

struct CierraFits {
  void operator()(fitsfile* f) const {
    int st = 0;
    fits_close_file(f, &st);
  }
};
using Fits = std::unique_ptr<fitsfile, CierraFits>;

Fits Abre(const std::string& archivo) {
  fitsfile* f = nullptr;
  int st = 0;
  fits_open_diskfile(&f, archivo.c_str(), READONLY, &st);
  EXPECT_EQ(st, 0) << archivo;
  return Fits(f);
}

// Physical values of a file as cfitsio gives them (BZERO and BSCALE applied).
std::vector<double> Fisicos(const std::string& archivo) {
  Fits f = Abre(archivo);
  int st = 0, n = 0;
  long ejes[2] = {0, 0};
  fits_get_img_size(f.get(), 2, ejes, &st);
  std::vector<double> v(static_cast<size_t>(ejes[0] * ejes[1]));
  long primero[2] = {1, 1};
  fits_read_pix(f.get(), TDOUBLE, primero, static_cast<LONGLONG>(v.size()), nullptr, v.data(), &n,
                &st);
  EXPECT_EQ(st, 0);
  return v;
}

bool TieneClave(const std::string& archivo, const char* clave) {
  Fits f = Abre(archivo);
  char valor[FLEN_VALUE];
  int st = 0;
  return fits_read_keyword(f.get(), clave, valor, nullptr, &st) == 0;
}

std::vector<std::string> Historia(const std::string& archivo) {
  Fits f = Abre(archivo);
  int st = 0, n = 0;
  fits_get_hdrspace(f.get(), &n, nullptr, &st);
  std::vector<std::string> h;
  for (int i = 1; i <= n; ++i) {
    char t[FLEN_CARD] = {};
    fits_read_record(f.get(), i, t, &st);
    std::string s = t;
    if (s.rfind("HISTORY ", 0) == 0) h.push_back(s.substr(8));
  }
  return h;
}

// A 2-D FITS file of the given BITPIX, stored values, BZERO/BSCALE and extra cards.
void Escribe(const std::string& archivo, int bitpix, long w, long h,
             const std::vector<double>& almacenados, double bzero, double bscale,
             const std::vector<std::string>& tarjetas = {}) {
  std::filesystem::remove(archivo);
  fitsfile* f = nullptr;
  int st = 0;
  fits_create_diskfile(&f, archivo.c_str(), &st);
  long ejes[2] = {w, h};
  fits_create_img(f, bitpix, 2, ejes, &st);
  if (bzero != 0.0 || bscale != 1.0) {
    fits_write_key_dbl(f, "BZERO", bzero, -15, nullptr, &st);
    fits_write_key_dbl(f, "BSCALE", bscale, -15, nullptr, &st);
    fits_set_hdustruc(f, &st);
    fits_set_bscale(f, 1.0, 0.0, &st);
  }
  for (const std::string& t : tarjetas) fits_write_record(f, t.c_str(), &st);
  long primero[2] = {1, 1};
  std::vector<double> copia = almacenados;
  fits_write_pix(f, TDOUBLE, primero, static_cast<LONGLONG>(copia.size()), copia.data(), &st);
  fits_close_file(f, &st);
  ASSERT_EQ(st, 0);
}

class FidelidadFits : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    ListaTiposArchivo();
    Rango() = RangoPixeles{-32768, 32767, 0};
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }
  static void Ajusta(const char* clave, const char* valor) {
    Configuracion::Global().Asigna(kSeccionFits, clave, valor);
  }
  Carpeta dir_;
};

// Physical values survive FITS -> ORVA -> FITS (and through QOR): exactly where the mapping is
// lossless, within its step otherwise.
TEST_F(FidelidadFits, PhysicalValuesComeBack) {
  struct Caso {
    const char* nombre;
    int bitpix;
    std::vector<double> almacenados;
    double bzero, bscale;
    const char* leeValUnsig;
    double tolerancia;  // in physical units; 0 is exact, else one step of the mapping
  };
  const std::vector<Caso> casos = {
      {"unsigned, shifted", SHORT_IMG, {-32768, -1, 0, 1, 12345, 32767}, 32768, 1, "2", 0},
      // One step of the halved values (2); the QOR hop keeps the mapping itself, the FITS hop
      // maps ORVA's scaled output again.
      {"unsigned, halved", SHORT_IMG, {-32768, -1, 0, 1, 12345, 32767}, 32768, 1, "1", 2},
      {"signed 16", SHORT_IMG, {-32768, -1, 0, 1, 12345, 32767}, 0, 1, "1", 0},
      {"float fractions",
       FLOAT_IMG,
       {-1.5, 0.001, 2.25, 1e3, 7.75, -0.5},
       0,
       1,
       "1",
       (1e3 + 1.5) / 65535},
      {"32 wide", LONG_IMG, {-100000, 0, 5, 99999, 300000, 7}, 0, 1, "1", 400000.0 / 65535},
      {"16 scaled", SHORT_IMG, {-3, 0, 1, 2, 3, 100}, 10, 0.25, "1", 0.25 / 65535 * 103},
  };
  for (const Caso& c : casos) {
    for (const char* via : {"fits", "qor"}) {
      SCOPED_TRACE(std::string(c.nombre) + " via " + via);
      Ajusta("LEEVALUNSIG", c.leeValUnsig);
      const std::string origen = dir_ / "origen.fits", medio = dir_ / (std::string("m.") + via),
                        salida = dir_ / "salida.fits";
      Escribe(origen, c.bitpix, 3, 2, c.almacenados, c.bzero, c.bscale);
      const std::vector<double> antes = Fisicos(origen);
      {
        Imagen im;
        LeeArchivo(origen, im);
        GuardaArchivo(medio, im, std::string(via) == "fits" ? kFits : kQor);
      }
      Imagen im;
      LeeArchivo(medio, im);
      GuardaArchivo(salida, im, kFits);
      const std::vector<double> despues = Fisicos(salida);
      ASSERT_EQ(despues.size(), antes.size());
      for (size_t i = 0; i < antes.size(); ++i) {
        if (c.tolerancia == 0) {
          EXPECT_EQ(despues[i], antes[i]) << i;
        } else {
          EXPECT_NEAR(despues[i], antes[i], c.tolerancia) << i;
        }
      }
    }
  }
}

// A file without observation fields gains none, even read into an image that held a full
// frame before; the cards ORVA does not map come back, one each.
TEST_F(FidelidadFits, NothingInventedAndCardsKept) {
  const std::string vacio = dir_ / "vacio.fits", salida = dir_ / "salida.fits";
  Escribe(vacio, SHORT_IMG, 2, 2, {1, 2, 3, 4}, 0, 1,
          {"GAIN    =                  1.5 / e-/ADU", "RDNOISE =                  9.1",
           "BIASSEC = '[1:2,1:2]'", "HISTORY from the camera", "COMMENT a remark",
           "EQUINOX =               1950.5"});
  for (const char* via : {"fits", "qor"}) {
    SCOPED_TRACE(via);
    {
      Imagen im;
      LeeArchivo(Dato("m51_iraf_devpix.fits"), im);
      LeeArchivo(vacio, im);
      const std::string medio = dir_ / (std::string("m.") + via);
      GuardaArchivo(medio, im, std::string(via) == "fits" ? kFits : kQor);
      Imagen otra;
      LeeArchivo(medio, otra);
      GuardaArchivo(salida, otra, kFits);
    }
    for (const char* clave : {"DATE-OBS", "TIME-OBS", "EXPTIME", "RA", "DEC", "CCD-TEMP", "OBJECT",
                              "CTYPE1", "CRPIX1", "CD1_1"}) {
      EXPECT_FALSE(TieneClave(salida, clave)) << clave;
    }
    Fits f = Abre(salida);
    double gain = 0, equinoccio = 0;
    char biassec[FLEN_VALUE] = {};
    int st = 0;
    fits_read_key(f.get(), TDOUBLE, "GAIN", &gain, nullptr, &st);
    fits_read_key(f.get(), TDOUBLE, "EQUINOX", &equinoccio, nullptr, &st);
    fits_read_key(f.get(), TSTRING, "BIASSEC", biassec, nullptr, &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(gain, 1.5);
    EXPECT_EQ(equinoccio, 1950.5);
    EXPECT_STREQ(biassec, "[1:2,1:2]");
    int n = 0;
    fits_get_hdrspace(f.get(), &n, nullptr, &st);
    int comentarios = 0, historias = 0;
    for (int i = 1; i <= n; ++i) {
      char t[FLEN_CARD] = {};
      fits_read_record(f.get(), i, t, &st);
      comentarios += std::string(t).rfind("COMMENT", 0) == 0;
      historias += std::string(t).rfind("HISTORY", 0) == 0;
    }
    EXPECT_EQ(comentarios, 1);
    EXPECT_EQ(historias, 1);
  }
}

// A read that fails leaves the image as it was; a file of another type brings no mapping or
// cards of the FITS file read before.
TEST_F(FidelidadFits, FailedReadKeepsTheImageAndOtherTypesBringNothing) {
  Imagen im;
  LeeArchivo(Dato("eyuma_r90s_cutout.fits"), im);
  const std::vector<int16_t> antes = im.Pixeles();
  const MapeoValores mapeo = im.mapeo;
  EXPECT_FALSE(mapeo.Identidad());
  EXPECT_EQ(prueba::IdError([&] { LeeArchivo(Dato("hostil_nan.fits"), im); }), 11165);
  EXPECT_EQ(im.Pixeles(), antes);
  EXPECT_EQ(im.mapeo, mapeo);
  EXPECT_TRUE(im.cabecera.TieneWcs());
  const std::string tiff = dir_ / "t.tif";
  GuardaArchivo(tiff, im, kTiff);
  std::filesystem::remove(tiff + ".dat");  // the side data file would bring the cards back
  LeeArchivo(tiff, im);
  EXPECT_TRUE(im.mapeo.Identidad());
  EXPECT_TRUE(im.cabecera.Vacia());
}

// Pixel position of the largest value.
std::array<long, 2> Maximo(const Imagen& im) {
  const auto& px = im.Pixeles();
  const size_t i = static_cast<size_t>(std::max_element(px.begin(), px.end()) - px.begin());
  return {static_cast<long>(i % im.Ancho()), static_cast<long>(i / im.Ancho())};
}

// The linear part of the world coordinates of a 0-based pixel: CD (p + 1 - CRPIX), CD from
// the CD cards, or from PC and CDELT.
std::array<double, 2> Intermedias(const Cabecera& c, double x, double y) {
  double r1 = 0, r2 = 0, m[4] = {1, 0, 0, 1}, d1 = 1, d2 = 1;
  c.Numero("CRPIX1", r1);
  c.Numero("CRPIX2", r2);
  const char* nombres[4] = {"1_1", "1_2", "2_1", "2_2"};
  bool cd = false;
  for (int i = 0; i < 4; ++i) cd = c.Numero(std::string("CD") + nombres[i], m[i]) || cd;
  if (!cd) {
    for (int i = 0; i < 4; ++i) c.Numero(std::string("PC") + nombres[i], m[i]);
    c.Numero("CDELT1", d1);
    c.Numero("CDELT2", d2);
  }
  const double u = x + 1 - r1, v = y + 1 - r2;
  return {d1 * (m[0] * u + m[1] * v), d2 * (m[2] * u + m[3] * v)};
}

// IRAF physical coordinates of a 0-based pixel: logical = LTM physical + LTV, so physical is
// LTM^-1 (l - LTV) for the 1-based logical pixel l.
std::array<double, 2> Fisicas(const Cabecera& c, double x, double y) {
  double m[4] = {1, 0, 0, 1}, v1 = 0, v2 = 0;
  const char* nombres[4] = {"LTM1_1", "LTM1_2", "LTM2_1", "LTM2_2"};
  for (int i = 0; i < 4; ++i) c.Numero(nombres[i], m[i]);
  c.Numero("LTV1", v1);
  c.Numero("LTV2", v2);
  const double u = x + 1 - v1, v = y + 1 - v2, det = m[0] * m[3] - m[1] * m[2];
  return {(m[3] * u - m[1] * v) / det, (-m[2] * u + m[0] * v) / det};
}

// Each exact geometric operation moves the WCS with the pixels: a marked pixel has the same
// world coordinates before and after, in the CD form of the M51 frame and the PC form.
TEST_F(FidelidadFits, WcsFollowsExactGeometricOperations) {
  struct Caso {
    const char* nombre;
    std::function<void(Imagen&)> aplica;
  };
  const std::vector<Caso> casos = {
      {"crop",
       [](Imagen& im) {
         AplicaCorte(im, ParamsCorte{100, 60, 300, 200});
       }},
      {"shift",
       [](Imagen& im) {
         AplicaDesplaza(im, ParamsDesplaza{7, -5, 0});
       }},
      {"mirror horizontal", [](Imagen& im) { AplicaEspejo(im, Espejo::kHorizontal); }},
      {"mirror vertical", [](Imagen& im) { AplicaEspejo(im, Espejo::kVertical); }},
      {"turn 90", [](Imagen& im) { AplicaRotacion(im, ParamsRotacion{90}); }},
      {"turn 180", [](Imagen& im) { AplicaRotacion(im, ParamsRotacion{180}); }},
      {"turn 270", [](Imagen& im) { AplicaRotacion(im, ParamsRotacion{-90}); }},
      {"resize x2",
       [](Imagen& im) {
         AplicaRedim(im, ParamsRedim{0, 0, 512, 512, 1024, 1024});
       }},
  };
  const char* n[4] = {"1_1", "1_2", "2_1", "2_2"};
  // The CD matrix of the frame, the same as PC with CDELT, or both (as some solvers leave it).
  for (std::string forma : {"CD", "PC", "CD+PC"}) {
    Imagen base;
    LeeArchivo(Dato("m51_iraf_devpix.fits"), base);
    if (forma != "CD") {
      double cd[4];
      for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(base.cabecera.Numero(std::string("CD") + n[i], cd[i]));
      if (forma == "PC") {
        for (int i = 0; i < 4; ++i) base.cabecera.Quita(std::string("CD") + n[i]);
      }
      base.cabecera.PonNumero("CDELT1", 2.0, 0);
      base.cabecera.PonNumero("CDELT2", 4.0, 0);
      for (int i = 0; i < 4; ++i) {
        base.cabecera.PonNumero(std::string("PC") + n[i], cd[i] / (i < 2 ? 2.0 : 4.0), 0);
      }
    }
    // IRAF physical coordinates of a frame cut from a larger, binned one.
    base.cabecera.PonNumero("LTV1", -100.0, 0);
    base.cabecera.PonNumero("LTM1_1", 0.5, 0);
    base.cabecera.PonNumero("LTM2_2", 0.5, 0);
    base.Pixeles().assign(base.NumPixeles(), 0);
    base.PonPixel(210L, 150L, 30000);
    const std::array<double, 2> mundo = Intermedias(base.cabecera, 210, 150);
    const std::array<double, 2> fisicas = Fisicas(base.cabecera, 210, 150);
    for (const Caso& c : casos) {
      SCOPED_TRACE(std::string(c.nombre) + " " + forma);
      Imagen im;
      im.CopiaImagen(base);
      c.aplica(im);
      const std::array<long, 2> p = Maximo(im);
      const std::array<double, 2> w = Intermedias(im.cabecera, p[0], p[1]);
      EXPECT_NEAR(w[0], mundo[0], 1e-12);
      EXPECT_NEAR(w[1], mundo[1], 1e-12);
      if (forma == "CD+PC") {  // the PC reading too
        Cabecera soloPc = im.cabecera;
        for (int i = 0; i < 4; ++i) soloPc.Quita(std::string("CD") + n[i]);
        const std::array<double, 2> wp = Intermedias(soloPc, p[0], p[1]);
        EXPECT_NEAR(wp[0], mundo[0], 1e-12);
        EXPECT_NEAR(wp[1], mundo[1], 1e-12);
      }
      const std::array<double, 2> f = Fisicas(im.cabecera, p[0], p[1]);
      EXPECT_NEAR(f[0], fisicas[0], 1e-9);
      EXPECT_NEAR(f[1], fisicas[1], 1e-9);
    }
  }
}

// An arbitrary rotation has no exact update: the WCS goes, a HISTORY card says why; lines
// logged go into HISTORY, display-only ones do not.
TEST_F(FidelidadFits, RotationDropsWcsAndLinesBecomeHistory) {
  Imagen im;
  LeeArchivo(Dato("m51_iraf_devpix.fits"), im);
  AplicaRotacion(im, ParamsRotacion{12.5});
  im.AnadeOperacion("ROTAR 12.50 ");
  im.AnadeOperacion("ZOOM AUMENTA 2");
  im.AnadeOperacion("MOSTRAR HISTO");
  const std::string salida = dir_ / "r.fits";
  GuardaArchivo(salida, im, kFits);
  for (const char* clave : {"CTYPE1", "CRPIX1", "CRVAL2", "CD1_1", "CD2_2"}) {
    EXPECT_FALSE(TieneClave(salida, clave)) << clave;
  }
  const std::vector<std::string> h = Historia(salida);
  auto contiene = [&](const std::string& texto) {
    return std::any_of(h.begin(), h.end(),
                       [&](const std::string& l) { return l.find(texto) != std::string::npos; });
  };
  EXPECT_TRUE(contiene("ORVA: WCS removed, no exact update for ROTAR 12.50"));
  EXPECT_TRUE(contiene("ORVA: ROTAR 12.50"));
  EXPECT_FALSE(contiene("ZOOM"));
  EXPECT_FALSE(contiene("MOSTRAR"));
}

// astropy, the field's reference reader, sees the original unsigned values and the same sky
// position of a pixel after a crop.
TEST_F(FidelidadFits, AstropyReadsWhatWasWritten) {
  if (std::system("/usr/bin/python3 -c 'import astropy' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "no astropy for /usr/bin/python3";
  }
  Ajusta("LEEVALUNSIG", "2");
  const std::string origen = Dato("eyuma_r90s_cutout.fits"), salida = dir_ / "recorte.fits";
  {
    // Two hops: the second reads the first's side data file too.
    Imagen im;
    LeeArchivo(origen, im);
    AplicaCorte(im, ParamsCorte{10, 20, 50, 40});
    GuardaArchivo(dir_ / "paso.fits", im, kFits);
  }
  Imagen im;
  LeeArchivo(dir_ / "paso.fits", im);
  GuardaArchivo(salida, im, kFits);
  const std::string guion = dir_ / "comprueba.py";
  prueba::Escribe(guion,
                  "import sys, warnings\n"
                  "import numpy as np\n"
                  "from astropy.io import fits\n"
                  "from astropy.wcs import WCS\n"
                  "warnings.simplefilter('ignore')\n"
                  "o = fits.open(sys.argv[1])[0]\n"
                  "r = fits.open(sys.argv[2])[0]\n"
                  "assert r.data.dtype == np.uint16, r.data.dtype\n"
                  "assert np.array_equal(r.data, o.data[20:60, 10:60])\n"
                  "a = WCS(o.header).pixel_to_world(30, 45)\n"
                  "b = WCS(r.header).pixel_to_world(20, 25)\n"
                  "assert a.separation(b).arcsec < 1e-6, a.separation(b).arcsec\n"
                  "for k in ('BIASSEC', 'SWCREATE', 'AIRMASS', 'A_ORDER', 'CCD-TEMP', 'EXPTIME'):\n"
                  "    assert r.header[k] == o.header[k], k\n");
  const std::string orden = "/usr/bin/python3 " + guion + " " + origen + " " + salida;
  EXPECT_EQ(std::system(orden.c_str()), 0);
}

}  // namespace
}  // namespace orva
