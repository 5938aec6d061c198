// Spectra: a synthetic long-slit frame with known lines (centres, widths, equivalent widths),
// the wavelength calibration, the macro line, the refusals and the module's commands.
#include "spectra/Espectro.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "core/TiposObjeto.h"
#include "macro/Macro.h"
#include "shell/Arranque.h"
#include "shell/Configuracion.h"
#include "spectra/ModuloEspectros.h"
#include "spectra/EspectroSintetico.h"

namespace orva {
namespace {

using prueba::CreaEspectro;
using prueba::kLineas;
using prueba::LineaSintetica;
using prueba::LongitudVerdadera;
constexpr double kPi = prueba::kPi;

void EsperaError(int id, const std::function<void()>& f) {
  try {
    f();
    ADD_FAILURE() << "no error, expected " << id;
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), id) << e.Mensaje();
  }
}

class EspectroTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    Rango() = RangoPixeles{};
    InstalaSistema();
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }
  ProgresoSilencioso progreso;
};

// The lines of a band along and across the pixel grid: each found once, within 0.1 px of its
// centre, with its width and equivalent width; the named lines calibrate within 0.05 px.
TEST_F(EspectroTest, SyntheticLinesAndCalibration) {
  for (double grados : {0.0, 7.5, -6.0}) {
    SCOPED_TRACE(grados);
    Imagen im;
    const BandaEspectro b = CreaEspectro(im, grados);
    const std::vector<double> f = ExtraeEspectro(im, b, progreso);
    ASSERT_EQ(f.size(), 301u);
    const AjustesContinuo a{15, 5.0};
    const std::vector<double> c = Continuo(f, a);
    const std::vector<LineaEspectral> lineas = BuscaLineas(f, c, a.factor);
    ASSERT_EQ(lineas.size(), kLineas.size());
    std::vector<PuntoCalibracion> puntos;
    for (size_t i = 0; i < kLineas.size(); ++i) {
      const LineaSintetica& v = kLineas[i];
      const LineaEspectral& l = lineas[i];
      EXPECT_NEAR(l.centro, v.centro, 0.1);
      EXPECT_EQ(l.emision, v.amplitud > 0);
      EXPECT_NEAR(l.profundidad, std::fabs(v.amplitud), 0.05 * std::fabs(v.amplitud));
      EXPECT_NEAR(l.fwhm, 2.35482 * v.sigma, 0.1 * 2.35482 * v.sigma);
      const double ew = -v.amplitud * v.sigma * std::sqrt(2 * kPi);
      EXPECT_NEAR(l.anchuraEquivalente, ew, 0.1 * std::fabs(ew));
      // The user names each line at the nearest whole pixel.
      puntos.push_back({std::round(v.centro), LongitudVerdadera(v.centro)});
    }
    const Calibracion cal = CalibraEspectro(puntos, 2, lineas);
    for (size_t i = 0; i < puntos.size(); ++i) {
      EXPECT_LT(std::fabs(cal.residuosPixel[i]), 0.05);
      EXPECT_NEAR(cal.pixeles[i], kLineas[i].centro, 0.1);  // moved onto the found line
    }
    EXPECT_NEAR(cal.Longitud(150), LongitudVerdadera(150), 0.1 * 2.1);
  }
}

// Exact points give back the polynomial of each degree; too few points, a bad degree and
// values that are not numbers are refused.
TEST_F(EspectroTest, CalibrationFitAndRefusals) {
  const std::vector<double> p = {3000, -1.5, 2e-3, -4e-6};
  for (int grado = 1; grado <= kGradoMaximoCalibracion; ++grado) {
    std::vector<PuntoCalibracion> puntos;
    for (double x : {5.0, 80.0, 170.0, 260.0, 333.0, 410.0}) {
      double l = 0;
      for (int k = grado; k >= 0; --k) l = l * x + p[static_cast<size_t>(k)];
      puntos.push_back({x, l});
    }
    const Calibracion c = CalibraEspectro(puntos, grado, {});
    ASSERT_EQ(c.coeficientes.size(), static_cast<size_t>(grado) + 1);
    for (int k = 0; k <= grado; ++k) {
      EXPECT_NEAR(c.coeficientes[static_cast<size_t>(k)], p[static_cast<size_t>(k)],
                  1e-7 * std::fabs(p[static_cast<size_t>(k)]));
    }
    EXPECT_LT(c.rms, 1e-6);
  }
  const std::vector<PuntoCalibracion> dos = {{10, 4000}, {10, 4001}, {90, 4100}};
  EsperaError(12524, [&] { CalibraEspectro(dos, 2, {}); });  // two distinct pixels
  EsperaError(12523, [&] { CalibraEspectro(dos, 4, {}); });
  EsperaError(12523, [&] { CalibraEspectro(dos, 0, {}); });
  EsperaError(12525, [&] { CalibraEspectro({{NAN, 1}, {2, 3}}, 1, {}); });
}

// ESPECTRO makes the one-row image of the band; bands that leave the image or have no length
// are refused and leave the image as it was.
TEST_F(EspectroTest, MacroLineAndRefusals) {
  Imagen im;
  const BandaEspectro b = CreaEspectro(im, 7.5);
  const std::vector<double> f = ExtraeEspectro(im, b, progreso);
  EXPECT_EQ(LineaEspectro(b).rfind("ESPECTRO 20.0 70.0 ", 0), 0u) << LineaEspectro(b);
  Imagen copia;
  copia.CopiaImagen(im);
  ASSERT_EQ(EjecutaMacro(copia, {LineaEspectro(b)}), 1);
  ASSERT_EQ(copia.Alto(), 1u);
  ASSERT_EQ(copia.Ancho(), f.size());
  EXPECT_EQ(copia.TipoObjeto(), kEspectro);
  for (size_t i = 0; i < f.size(); ++i) {
    ASSERT_NEAR(copia.mapeo.Fisico(copia.Pixeles()[i]), f[i], copia.mapeo.escala);
  }

  struct Caso {
    const char* linea;
    int error;
  };
  for (const Caso& c : std::vector<Caso>{{"ESPECTRO 20 70 400 70", 12522},
                                         {"ESPECTRO 20 70 300 70 5 70", 12522},
                                         {"ESPECTRO 20 70 20.5 70", 12520},
                                         {"ESPECTRO 20 70 300 70 0", kFueraDeRango},
                                         {"ESPECTRO 20 70 300", kNumeroArgumentos}}) {
    SCOPED_TRACE(c.linea);
    Imagen otra;
    otra.CopiaImagen(im);
    Ranuras r(otra);
    EsperaError(c.error, [&] { EjecutaLineaConMotivo(r, c.linea, 1); });
    EXPECT_EQ(otra.Ancho(), im.Ancho());
    EXPECT_EQ(otra.Pixeles(), im.Pixeles());
  }
}

// The module: the band's ends from the right-click menu, the measurement from the "Análisis"
// menu with the PREFANAESPEC settings, the lines in the data pane; clearing forgets it all.
TEST_F(EspectroTest, ModuleCommands) {
  Imagen im;
  const BandaEspectro b = CreaEspectro(im, 0.0);
  im.CambiaTipoObjeto(kEspectro);
  Configuracion::Global().Asigna("PREFANAESPEC", "MedianaRadio", "15");
  Configuracion::Global().Asigna("PREFANAESPEC", "MedianaFactor", "5");
  auto activo = [&](int id) {
    const std::optional<Menu> m = MenuAnalisisImagen(im);
    if (!m) return false;
    for (const ElementoMenu& e : m->elementos) {
      if (e.id == id) return e.activo;
    }
    return false;
  };
  EXPECT_FALSE(activo(kImagenEspectro));
  EsperaError(12526, [&] { ComandoImagen(im, 0, kMedirEspectro, 0); });
  ComandoContextualImagen(im, 0, kInicioEspectro, PuntoImagen{20, 70});
  ComandoContextualImagen(im, 0, kFinalEspectro, PuntoImagen{320, 70});
  DatosEspectroDe(im).banda.ancho = b.ancho;
  DatosEspectroDe(im).banda.distanciaCielo = b.distanciaCielo;
  EXPECT_TRUE(activo(kImagenEspectro));
  EXPECT_FALSE(activo(kGraficoEspectro));
  ComandoImagen(im, 0, kMedirEspectro, 0);
  EXPECT_TRUE(activo(kGraficoEspectro));
  EXPECT_EQ(DatosEspectroDe(im).lineas.size(), kLineas.size());
  std::vector<std::string> lineas;
  InformacionImagen(im, lineas);
  EXPECT_EQ(lineas.size(), 1 + kLineas.size() + 2);  // band, lines, the two default lines

  // The band survives in the side data entries.
  std::vector<std::pair<std::string, std::string>> entradas;
  DatosEspectroDe(im).Guarda(entradas);
  DatosEspectro leidos;
  ASSERT_EQ(entradas.size(), 1u);
  EXPECT_TRUE(leidos.Lee(entradas[0].first, entradas[0].second));
  EXPECT_EQ(leidos.banda.ancho, b.ancho);
  EXPECT_DOUBLE_EQ(leidos.banda.x2, 320);

  ComandoContextualImagen(im, 0, kBorrarEspectro, PuntoImagen{});
  EXPECT_FALSE(activo(kImagenEspectro));
  EXPECT_FALSE(activo(kGraficoEspectro));
}

}  // namespace
}  // namespace orva
