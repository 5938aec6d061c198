// Star detection: PCVISTA on small synthetic fields (positions, border, marking, iterations,
// name collision, log lines), the shape measures, and the TASS matched filter.
#include "stellar/BuscaEstrellas.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Rango.h"
#include "core/TiposObjeto.h"
#include "shell/Configuracion.h"
#include "stellar/CampoSintetico.h"
#include "stellar/DatosVariables.h"

namespace orva {
namespace {

using prueba::CreaCampo;
using prueba::EstrellaSintetica;
using prueba::ProgresoRegistro;

class BuscaEstrellasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    Rango() = RangoPixeles{0, 32767, 0};
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }

  // Runs PCVISTA with p on the image into a fresh list.
  static DatosVariables Busca(Imagen& im, const ParametrosPCVista& p, ProgresoRegistro& log) {
    DatosVariables d;
    EXPECT_EQ(BuscaEstrellasPCVista(im, d, p, ParametrosFotometria{}, log), 1);
    return d;
  }
};

const std::vector<EstrellaSintetica> kCampo = {
    {30.3, 25.6, 4000}, {70.7, 40.2, 2500}, {45.1, 60.8, 6000}, {90.45, 65.3, 3000}};

TEST_F(BuscaEstrellasTest, PCVistaFindsExactlyTheStarsOfASyntheticField) {
  Imagen im;
  std::vector<EstrellaSintetica> estrellas = kCampo;
  estrellas.push_back({4.0, 40.0, 5000});   // within R = 7 of the left border: never visited
  estrellas.push_back({60.0, 75.5, 5000});  // within R of the bottom border (height 80)
  CreaCampo(im, 110, 80, 200, estrellas);
  ProgresoRegistro log;
  const DatosVariables d = Busca(im, ParametrosPCVista{}, log);
  ASSERT_EQ(d.Estrellas().size(), kCampo.size());
  // Found in scan order (rows, then columns), named 1, 2, ...
  const int orden[] = {0, 1, 2, 3};
  for (size_t k = 0; k < kCampo.size(); ++k) {
    const ObjetoEstelar& e = d.Estrellas()[k];
    const EstrellaSintetica& s = kCampo[static_cast<size_t>(orden[k])];
    SCOPED_TRACE(k);
    EXPECT_EQ(e.nombre, std::to_string(k + 1));
    EXPECT_NEAR(e.x, s.x, 0.05);
    EXPECT_NEAR(e.y, s.y, 0.05);
    EXPECT_DOUBLE_EQ(e.cielo, 200.0);
    const double flujo = 2 * M_PI * s.sigma * s.sigma * s.amplitud;
    EXPECT_NEAR(e.sumaLimpia, flujo, 0.01 * flujo);
    EXPECT_NEAR(e.magnitud, 25 - 2.5 * std::log10(e.sumaLimpia), 1e-9);
    EXPECT_EQ(e.marca, 0);
  }
  EXPECT_EQ(log.Cuenta("!!!Estrella VALIDA="), 4);
  EXPECT_EQ(log.Cuenta("!!!Estrella nueva: "), 4);
  EXPECT_EQ(log.lineas[0], "Buscando estrellas en Imagen \n");
  EXPECT_EQ(
      log.lineas.back(), "!!!Estrella nueva: 4, magnitud= " + [&] {
        char b[32];
        std::snprintf(b, sizeof b, "%.3lf", d.Estrellas()[3].magnitud);
        return std::string(b);
      }() + ".\n");
  EXPECT_EQ(im.ModificadaMarca(), 1);
}

TEST_F(BuscaEstrellasTest, NothingAboveThresholdLogsOnlyTheHeader) {
  Imagen im;
  CreaCampo(im, 50, 40, 100, {}, 3.0);
  im.nombreVentana = "campo.qor:01";
  ProgresoRegistro log;
  ParametrosPCVista p;
  p.numSigmas = 50;
  const DatosVariables d = Busca(im, p, log);
  EXPECT_TRUE(d.Estrellas().empty());
  ASSERT_EQ(log.lineas.size(), 2u);
  EXPECT_EQ(log.lineas[0], "Buscando estrellas en Imagen campo.qor:01\n");
  char b[128];
  std::snprintf(b, sizeof b, "Cielo: %.2lf, Valor signif:: %.2lf\n", double(im.ValorModa()),
                im.ValorModa() + 50 * im.Desviacion());
  EXPECT_EQ(log.lineas[1], b);
  EXPECT_EQ(im.ModificadaMarca(), 0);
}

// Two equal brightest pixels side by side both pass the peak test; the second is passed over as
// marked once the first star is accepted.
TEST_F(BuscaEstrellasTest, NeighbourPeakIsRejectedAsMarked) {
  Imagen im;
  CreaCampo(im, 60, 60, 100, {{30.5, 30.0, 5000}});
  ASSERT_EQ(im.Pixel(30L, 30L), im.Pixel(31L, 30L));
  EXPECT_EQ(EsMaximoLocal(im, 30, 30, 7), 1);
  EXPECT_EQ(EsMaximoLocal(im, 31, 30, 7), 1);
  ProgresoRegistro log;
  const DatosVariables d = Busca(im, ParametrosPCVista{}, log);
  ASSERT_EQ(d.Estrellas().size(), 1u);
  EXPECT_NEAR(d.Estrellas()[0].x, 30.5, 0.05);
  // The second peak lies in the square marked around the first star and is never examined.
  EXPECT_EQ(log.Cuenta("***Candidata="), 1);
}

TEST_F(BuscaEstrellasTest, RejectionsFollowTheirSettings) {
  struct Caso {
    const char* nombre;
    ParametrosPCVista p;
    const char* linea;
  };
  ParametrosPCVista iter, fwhm, sharp, redonda;
  iter.numMaxIter = 0;  // even a star that stays put takes one pass
  fwhm.fwhmMax = 2.5;
  sharp.sharpMax = 2.0;
  redonda.roundMax = -0.5;
  const Caso casos[] = {
      {"iter", iter, "Estrella rechazada por demasiadas iteraciones="},
      {"fwhm", fwhm, "Estrella rechazada por fwhm ilegal="},
      {"sharp", sharp, "Estrella rechazada por sharp ilegal="},
      {"round", redonda, "Estrella rechazada por no ser redonda="},
  };
  Imagen im;
  CreaCampo(im, 110, 80, 200, kCampo);
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    ProgresoRegistro log;
    const DatosVariables d = Busca(im, c.p, log);
    EXPECT_TRUE(d.Estrellas().empty());
    EXPECT_EQ(log.Cuenta(c.linea), 4);
  }
}

// An elongated or double object moves the centroid too far from its peak.
TEST_F(BuscaEstrellasTest, CentroidFarFromPeakIsTooMuchMovement) {
  Imagen im;
  CreaCampo(im, 60, 60, 100, {{30, 30, 5000}, {33.5, 30, 4900}});
  ProgresoRegistro log;
  ParametrosPCVista p;
  p.maxDistCentPico = 1;
  const DatosVariables d = Busca(im, p, log);
  EXPECT_TRUE(d.Estrellas().empty());
  EXPECT_TRUE(log.Contiene("Pico encontrado en (30, 30): Demasiado movimiento.\n"));
}

TEST_F(BuscaEstrellasTest, SaturatedStarIsDroppedAndTheSearchGoesOn) {
  Imagen im;
  CreaCampo(im, 110, 80, 200, {{30.3, 25.6, 40000}, {70.7, 40.2, 15000}});
  ProgresoRegistro log;
  const DatosVariables d = Busca(im, ParametrosPCVista{}, log);
  EXPECT_EQ(log.Cuenta("!!!Estrella NO VALIDA en calculo de magnitud.\n"), 1);
  ASSERT_EQ(d.Estrellas().size(), 1u);
  EXPECT_EQ(d.Estrellas()[0].nombre, "1");  // the number is spent only on a stored star
}

// Searching again without deleting stops at the first new star: its name "1" exists.
TEST_F(BuscaEstrellasTest, NameCollisionEndsTheSearch) {
  Imagen im;
  CreaCampo(im, 110, 80, 200, kCampo);
  im.CambiaTipoObjeto(kVariable);
  ProgresoRegistro log;
  EXPECT_EQ(BuscaEstrellas(im, MetodoBusqueda::kPCVista, false, log), 4);
  log.lineas.clear();
  EXPECT_EQ(BuscaEstrellas(im, MetodoBusqueda::kPCVista, false, log), 0);
  EXPECT_EQ(log.lineas.back(), "!!!El objeto 1 ya existe.\n");
  EXPECT_EQ(log.Cuenta("!!!Estrella VALIDA="), 1);
  EXPECT_EQ(DatosVariablesDe(im).Estrellas().size(), 4u);
  // With the existing stars deleted the same stars come back.
  EXPECT_EQ(BuscaEstrellas(im, MetodoBusqueda::kPCVista, true, log), 4);
}

TEST_F(BuscaEstrellasTest, CommandRefusesOtherImageTypes) {
  Imagen im;
  CreaCampo(im, 40, 40, 100, {});
  im.CambiaTipoObjeto(kDoble);
  ProgresoRegistro log;
  for (MetodoBusqueda m : {MetodoBusqueda::kPCVista, MetodoBusqueda::kTASS}) {
    try {
      BuscaEstrellas(im, m, false, log);
      ADD_FAILURE() << "no error";
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 12074);
    }
  }
}

TEST_F(BuscaEstrellasTest, CancelKeepsStarsAlreadyAddedAndPollsByTime) {
  // The user cancels once the second star is announced; the search, which asks at most every
  // few tens of milliseconds, notices at its next question (the log line waits long enough).
  struct CancelaTrasDos : ProgresoRegistro {
    void AnadirLinea(const std::string& t) override {
      ProgresoRegistro::AnadirLinea(t);
      if (Cuenta("!!!Estrella nueva") == 2 && !pedido) {
        pedido = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
      }
    }
    int Cancelado() override {
      ++consultas;
      return pedido ? 1 : 0;
    }
    bool pedido = false;
  };
  Imagen im;
  CreaCampo(im, 110, 80, 200, kCampo);
  CancelaTrasDos cancela;
  EXPECT_EQ(Busca(im, ParametrosPCVista{}, cancela).Estrellas().size(), 2u);
  // A whole search asks far fewer times than it visits pixels (96 x 66 here).
  ProgresoRegistro log;
  log.cancelarTras = 1000000;
  EXPECT_EQ(Busca(im, ParametrosPCVista{}, log).Estrellas().size(), kCampo.size());
  EXPECT_LT(log.consultas, 200);
}

TEST_F(BuscaEstrellasTest, SettingsRoundTripThroughTheTable) {
  ParametrosPCVista p = LeeParametrosPCVista();
  EXPECT_DOUBLE_EQ(p.numSigmas, 3.0);
  EXPECT_EQ(p.radioCajaBusq, 7);
  EXPECT_DOUBLE_EQ(p.sharpMax, 5.0);
  EXPECT_EQ(p.verLog, 1);
  p.numSigmas = 4.5;
  p.numMaxIter = 9;
  GuardaParametrosPCVista(p);
  EXPECT_EQ(Configuracion::Global().Valor("BuscaEstPCVista", "NumSigmas"), "4.5");
  const ParametrosPCVista q = LeeParametrosPCVista();
  EXPECT_DOUBLE_EQ(q.numSigmas, 4.5);
  EXPECT_EQ(q.numMaxIter, 9);
}

TEST_F(BuscaEstrellasTest, ShapeMeasuresOfARoundStar) {
  Imagen im;
  CreaCampo(im, 40, 40, 100, {{20, 20, 10000, 1.5}});
  const CentroideMomentos c = CalculaCentroide(im, 20, 20, 7, 100);
  EXPECT_NEAR(c.x, 20, 1e-6);
  EXPECT_NEAR(c.y, 20, 1e-6);
  EXPECT_NEAR(c.tamX, 1.5 * 1.5, 0.05);
  EXPECT_DOUBLE_EQ(c.tamX, c.tamY);
  EXPECT_NEAR(c.fwhm, 2.3548 * 1.5, 0.15);
  EXPECT_NEAR(CalculaSharp(im, 20, 20, 100), 4 * std::exp(-0.5 / 2.25), 0.01);
  // Nothing above the sky: the box centre.
  const CentroideMomentos v = CalculaCentroide(im, 5, 5, 3, 20000);
  EXPECT_DOUBLE_EQ(v.x, 5);
  EXPECT_DOUBLE_EQ(v.tamX, 0);
}

// ---------------------------------------------------------------------------------------------
// TASS.

TEST_F(BuscaEstrellasTest, TassFindsNoisyStarsAndRejectsHotPixelsAndBlobs) {
  std::vector<EstrellaSintetica> estrellas;
  for (int k = 0; k < 12; ++k) {
    estrellas.push_back({20.3 + 25 * (k % 6), 20.7 + 40 * (k / 6), 150.0 + 100 * k, 1.2});
  }
  Imagen im;
  CreaCampo(im, 180, 110, 500, estrellas, 6.0, 3);
  im.PonPixel(100L, 100L, 3000);  // hot pixel
  im.PonPixel(101L, 100L, 3000);
  // A broad blob (galaxy-like) far from the stars.
  for (int y = -14; y <= 14; ++y) {
    for (int x = -14; x <= 14; ++x) {
      const int16_t v = im.Pixel(30L + x, 94L + y);
      im.PonPixel(30L + x, 94L + y,
                  static_cast<int16_t>(v + 400 * std::exp(-0.5 * (x * x + y * y) / 49.0)));
    }
  }
  ProgresoRegistro log;
  ParametrosTASS p;
  p.limDetec = 5;  // at 4 a pure noise peak of this field passes
  const std::vector<CandidataTASS> c = BuscaCandidatasTASS(im, p, log);
  ASSERT_EQ(c.size(), estrellas.size());
  for (size_t k = 0; k < c.size(); ++k) {
    // Found in reading order, which is the order of the list above.
    SCOPED_TRACE(k);
    EXPECT_NEAR(c[k].x, estrellas[k].x, 0.3);
    EXPECT_NEAR(c[k].y, estrellas[k].y, 0.3);
    EXPECT_GT(c[k].senal, 5.0);
  }
  // A stricter limit drops the faintest.
  ParametrosTASS estricto;
  estricto.limDetec = 100;
  EXPECT_EQ(BuscaCandidatasTASS(im, estricto, log).size(), estrellas.size() - 2);
}

TEST_F(BuscaEstrellasTest, TassCommandMeasuresAndNamesItsStars) {
  Imagen im;
  CreaCampo(im, 110, 80, 200, kCampo, 4.0, 5);
  im.CambiaTipoObjeto(kVariable);
  ProgresoRegistro log;
  EXPECT_EQ(BuscaEstrellas(im, MetodoBusqueda::kTASS, false, log), 4);
  const auto& e = DatosVariablesDe(im).Estrellas();
  ASSERT_EQ(e.size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(e[k].nombre, std::to_string(k + 1));
    EXPECT_NEAR(e[k].x, kCampo[k].x, 0.3);
    EXPECT_NEAR(e[k].y, kCampo[k].y, 0.3);
  }
  // Refined by the star centroid when VARCALCCENT is 1: same stars, still close.
  Configuracion::Global().Asigna("AnaVariables", "VARCALCCENT", "1");
  EXPECT_EQ(BuscaEstrellas(im, MetodoBusqueda::kTASS, true, log), 4);
  EXPECT_NEAR(DatosVariablesDe(im).Estrellas()[2].x, kCampo[2].x, 0.3);
}

TEST_F(BuscaEstrellasTest, TassOnTinyOrFlatImagesFindsNothing) {
  ProgresoRegistro log;
  for (int lado : {1, 5, 9, 30}) {
    Imagen im;
    CreaCampo(im, lado, lado, 100, {});
    EXPECT_TRUE(BuscaCandidatasTASS(im, ParametrosTASS{}, log).empty()) << lado;
  }
}

}  // namespace
}  // namespace orva
