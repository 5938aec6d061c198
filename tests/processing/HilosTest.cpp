// The operations on the thread pool: every operation and variant gives the same pixels and
// results at 1, 2 and 7 threads, on an odd-sized random block and on a real frame; the image
// statistics equal the plain formulas; a cancel leaves the pixels of operations that work into
// their own block untouched; operations running at once on two threads do not share state.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "base/JError.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "core/TiposObjeto.h"
#include "formats/TiposArchivo.h"
#include "processing/Aritmetica.h"
#include "processing/EscalaGris.h"
#include "processing/Geometria.h"
#include "shell/Configuracion.h"
#include "stellar/BuscaEstrellas.h"
#include "stellar/DatosVariables.h"
#include "tests/processing/Referencia.h"

namespace orva {
namespace {

using prueba::Bloque;

constexpr int kHilos[] = {1, 2, 7};

// What an operation leaves: sizes, pixels and the statistics computed on every change.
struct Resultado {
  uint32_t w = 0, h = 0;
  std::vector<int16_t> p;
  int16_t minimo = 0, maximo = 0, moda = 0;
  double media = 0.0, desviacion = 0.0;
  std::vector<int32_t> histograma;
  bool operator==(const Resultado& o) const {
    return std::tie(w, h, p, minimo, maximo, moda, media, desviacion, histograma) ==
           std::tie(o.w, o.h, o.p, o.minimo, o.maximo, o.moda, o.media, o.desviacion, o.histograma);
  }
};

Resultado De(const Imagen& im) {
  return {im.Ancho(),     im.Alto(),  im.Pixeles(),    im.Minimo(),         im.Maximo(),
          im.ValorModa(), im.Media(), im.Desviacion(), im.TablaHistograma()};
}

// Progress objects that cancel from their k-th question on.
class CancelaTras : public ProgresoSilencioso {
 public:
  explicit CancelaTras(int k) : k_(k) {}
  int Cancelado() override { return ++preguntas_ >= k_; }

 private:
  int k_;
  int preguntas_ = 0;
};

class HilosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rango() = RangoPixeles{};
    Rango().defecto = -7;
    RestableceCurvasGris();
  }
  void TearDown() override {
    FijaHilos(0);
    Rango() = RangoPixeles{};
    RestableceCurvasGris();
  }

  // The two test images: 97 x 61 random pixels and the M51 frame.
  static std::vector<Bloque> Imagenes() {
    Imagen m51;
    LeeArchivo(std::string(ORVA_TEST_DATA) + "/m51_iraf_devpix.fits", m51);
    return {prueba::Aleatorio(97, 61, 0, 20261208),
            Bloque{static_cast<int>(m51.Ancho()), static_cast<int>(m51.Alto()), m51.Pixeles()}};
  }

  // Runs op on a fresh copy of `in` at every thread count; all results must match.
  static void MismoResultado(const std::string& nombre, const Bloque& in,
                             const std::function<void(Imagen&, Progreso&)>& op) {
    std::vector<Resultado> r;
    for (int hilos : kHilos) {
      FijaHilos(hilos);
      Imagen im;
      prueba::Carga(im, in);
      ProgresoSilencioso progreso;
      op(im, progreso);
      r.push_back(De(im));
    }
    EXPECT_FALSE(r[0].p.empty()) << nombre;
    for (size_t i = 1; i < r.size(); ++i) {
      EXPECT_TRUE(r[i] == r[0]) << nombre << " at " << kHilos[i] << " threads, " << in.w << "x"
                                << in.h;
    }
  }
};

using Operacion = std::function<void(Imagen&, Progreso&)>;

// Every operation that works into a block of its own, with its variants.
std::vector<std::pair<std::string, Operacion>> OperacionesPropias() {
  auto rota = [](ParamsRotacion p) {
    return [p](Imagen& im, Progreso& pr) { AplicaRotacion(im, p, pr); };
  };
  auto redim = [](ParamsRedim p) {
    return [p](Imagen& im, Progreso& pr) { ASSERT_TRUE(AplicaRedim(im, p, pr)); };
  };
  auto desplaza = [](ParamsDesplaza p) {
    return [p](Imagen& im, Progreso& pr) { AplicaDesplaza(im, p, pr); };
  };
  return {
      {"rotate 90", rota({90})},
      {"rotate 180", rota({180})},
      {"rotate 270", rota({270})},
      {"rotate 31.7", rota({31.7})},  // the configured fill: the vector path where there is one
      {"rotate -123.4 about a centre", rota({-123.4, true, 12.5, -3.25})},
      {"rotate 47 with its fill", rota({47, false, 0, 0, true, 321})},
      {"rotate 200 about a centre with its fill", rota({200, true, 30.75, 20.5, true, -4000})},
      {"mirror horizontal",
       [](Imagen& im, Progreso& pr) { AplicaEspejo(im, Espejo::kHorizontal, pr); }},
      {"mirror vertical",
       [](Imagen& im, Progreso& pr) { AplicaEspejo(im, Espejo::kVertical, pr); }},
      {"crop",
       [](Imagen& im, Progreso& pr) {
         AplicaCorte(im, ParamsCorte{3, 5, 41, 29}, pr);
       }},
      {"shift fractional", desplaza({2.375, -1.625, 77})},
      {"shift fractional with the configured fill", desplaza({-3.5, 4.25})},
      {"shift whole", desplaza({-5, 9, 11})},
      {"resize up", redim({0, 0, 97, 61, 151, 103})},
      {"resize down", redim({5, 3, 80, 50, 33, 21})},
      {"resize reaching outside, own fill", redim({-10, -5, 120, 80, 61, 39, 9})},
      {"sum",
       [](Imagen& im, Progreso& pr) {
         Imagen b;
         prueba::Carga(
             b, prueba::Aleatorio(static_cast<int>(im.Ancho()), static_cast<int>(im.Alto()), 1, 5));
         SumaImagenes(im, b, 0.7, 1.3, pr);
       }},
      {"difference",
       [](Imagen& im, Progreso& pr) {
         Imagen b;
         prueba::Carga(
             b, prueba::Aleatorio(static_cast<int>(im.Ancho()), static_cast<int>(im.Alto()), 0, 6));
         SumaImagenes(im, b, 1.0, -1.0, pr);
       }},
      {"flat division",
       [](Imagen& im, Progreso& pr) {
         Imagen flat;
         prueba::Carga(flat, prueba::Aleatorio(static_cast<int>(im.Ancho()),
                                               static_cast<int>(im.Alto()), 0, 7));
         DivideImagenes(im, flat, pr);
       }},
  };
}

TEST_F(HilosTest, EveryOperationGivesTheSameResultAtAnyThreadCount) {
  for (const Bloque& in : Imagenes()) {
    for (const auto& [nombre, op] : OperacionesPropias()) MismoResultado(nombre, in, op);
    for (int c = 0; c < static_cast<int>(CurvasGris().size()); ++c) {
      MismoResultado(
          "gray " + CurvasGris()[static_cast<size_t>(c)].clave, in,
          [c](Imagen& im, Progreso& pr) { AplicaEscalaGris(im, ParamsActuales(c), pr); });
    }
  }
}

TEST_F(HilosTest, StatisticsAreThePlainFormulas) {
  std::vector<Bloque> imagenes = Imagenes();
  imagenes.push_back(prueba::Aleatorio(97, 61, 1, 3));   // many ties: the mode's first maximum
  imagenes.push_back(prueba::Aleatorio(13, 200, 2, 0));  // constant: a span of one value
  for (const Bloque& in : imagenes) {
    int lo = 32767, hi = -32768;
    double suma = 0, suma2 = 0;
    for (int16_t v : in.p) {
      lo = std::min<int>(lo, v);
      hi = std::max<int>(hi, v);
      suma += v;
      suma2 += static_cast<double>(v) * v;
    }
    if (lo == hi) ++hi;
    std::vector<int32_t> h(static_cast<size_t>(hi - lo + 1), 0);
    for (int16_t v : in.p) ++h[static_cast<size_t>(v - lo)];
    const double n = static_cast<double>(in.p.size()), media = suma / n;
    const double desviacion = std::sqrt((suma2 - media * media * n) / (n - 1.0));
    for (int hilos : kHilos) {
      FijaHilos(hilos);
      Imagen im;
      prueba::Carga(im, in);
      EXPECT_EQ(im.Minimo(), lo);
      EXPECT_EQ(im.Maximo(), hi);
      EXPECT_EQ(im.TablaHistograma(), h);
      EXPECT_EQ(im.Media(), media);  // the same bits as adding the pixels in order
      if (desviacion > 0) {
        EXPECT_EQ(im.Desviacion(), desviacion);
      }
      EXPECT_EQ(im.ValorModa(), lo + (std::max_element(h.begin(), h.end()) - h.begin()));
    }
  }
}

TEST_F(HilosTest, StarDetectionGivesTheSameStarsAtAnyThreadCount) {
  Configuracion::Global().RestableceDefectos();
  Rango() = RangoPixeles{0, 32767, 0};
  for (MetodoBusqueda m : {MetodoBusqueda::kPCVista, MetodoBusqueda::kTASS}) {
    std::vector<std::vector<std::tuple<std::string, double, double, double, double, double>>> r;
    for (int hilos : kHilos) {
      FijaHilos(hilos);
      Imagen im;
      LeeArchivo(std::string(ORVA_TEST_DATA) + "/m51_iraf_devpix.fits", im);
      im.CambiaTipoObjeto(kVariable);
      ProgresoSilencioso progreso;
      BuscaEstrellas(im, m, true, progreso);
      r.emplace_back();
      for (const ObjetoEstelar& e : DatosVariablesDe(im).Estrellas()) {
        r.back().emplace_back(e.nombre, e.x, e.y, e.cielo, e.sumaLimpia, e.magnitud);
      }
    }
    EXPECT_GE(r[0].size(), 10u);
    EXPECT_EQ(r[1], r[0]);
    EXPECT_EQ(r[2], r[0]);
  }
  Configuracion::Global().RestableceDefectos();
}

TEST_F(HilosTest, CancelLeavesTheOldPixels) {
  FijaHilos(7);
  const Bloque in = Imagenes()[1];
  for (const auto& [nombre, op] : OperacionesPropias()) {
    Imagen completa;
    prueba::Carga(completa, in);
    ProgresoSilencioso silencio;
    op(completa, silencio);
    // At the first question, always a cancel; at the third, asked while other bands are done or
    // in flight, a cancel unless the operation had fewer bands for the calling thread.
    for (int k : {1, 3}) {
      Imagen im;
      prueba::Carga(im, in);
      const Resultado antes = De(im);
      CancelaTras cancela(k);
      try {
        op(im, cancela);
        EXPECT_NE(k, 1) << nombre;
        EXPECT_TRUE(De(im) == De(completa)) << nombre;
      } catch (const JError& e) {
        EXPECT_EQ(e.Id(), 11011) << nombre;
        EXPECT_TRUE(De(im) == antes) << nombre << " cancelled at " << k;
      }
    }
  }
}

TEST_F(HilosTest, GrayScaleCancelLeavesTheRowsBeforeIt) {
  // 256 table entries ask 26 times; then one question per row, the 26 + 40th before row 39.
  Rango().minimo = 0;
  Rango().maximo = 255;
  const Bloque in = prueba::Aleatorio(97, 61, 1, 9);
  const ParamsEscalaGris p{BuscaCurvaGris("ALGEBRAICO"), {"10", "2", "7"}};
  for (int hilos : kHilos) {
    FijaHilos(hilos);
    Imagen im;
    prueba::Carga(im, in);
    CancelaTras cancela(26 + 40);
    EXPECT_THROW(AplicaEscalaGris(im, p, cancela), JError);
    for (size_t i = 0; i < in.p.size(); ++i) {
      const int v = in.p[i];
      const int16_t esperado =
          i < 39 * 97u ? static_cast<int16_t>(std::clamp((v - 10) * 2 + 7, 0, 255)) : in.p[i];
      ASSERT_EQ(im.Pixeles()[i], esperado) << hilos << " threads, pixel " << i;
    }
  }
}

TEST_F(HilosTest, OperationsRunningAtOnceKeepTheirOwnFillAndScratch) {
  // Each thread's operations with their own fill values; with a shared output buffer, shared
  // column tables or a process-wide fill value the results would mix.
  FijaHilos(2);
  const Bloque in = prueba::Aleatorio(331, 241, 0, 31);
  auto serie = [&in](int16_t relleno, double angulo) {
    Imagen im;
    prueba::Carga(im, in);
    ProgresoSilencioso progreso;
    AplicaRotacion(im, ParamsRotacion{angulo, false, 0, 0, true, relleno}, progreso);
    AplicaRedim(im, ParamsRedim{-4, -4, 300, 250, 271, 233, relleno}, progreso);
    AplicaDesplaza(im, ParamsDesplaza{1.5, -2.5, relleno}, progreso);
    AplicaEscalaGris(im, ParamsActuales(BuscaCurvaGris("EQUALIZAR")), progreso);
    return De(im);
  };
  const Resultado a = serie(1111, 33.0), b = serie(-2222, -71.0);
  // Both threads run their series over and over, so that the operations overlap.
  constexpr int kVueltas = 30;
  std::vector<Resultado> ra, rb;
  std::thread t([&] {
    for (int i = 0; i < kVueltas; ++i) ra.push_back(serie(1111, 33.0));
  });
  for (int i = 0; i < kVueltas; ++i) rb.push_back(serie(-2222, -71.0));
  t.join();
  for (int i = 0; i < kVueltas; ++i) {
    ASSERT_TRUE(ra[static_cast<size_t>(i)] == a) << i;
    ASSERT_TRUE(rb[static_cast<size_t>(i)] == b) << i;
  }
  EXPECT_EQ(Rango().defecto, -7);
}

}  // namespace
}  // namespace orva
