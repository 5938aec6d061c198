// The thread pool: fixed bands, order-independent results, errors and cancel from any band.
#include "core/Hilos.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <vector>

#include "base/JError.h"
#include "core/Progreso.h"

namespace orva {
namespace {

class HilosTest : public ::testing::Test {
 protected:
  void TearDown() override { FijaHilos(0); }
};

// Cancelled from the k-th poll on; counts every poll.
class ProgresoCancelaTras : public ProgresoSilencioso {
 public:
  explicit ProgresoCancelaTras(int k) : k_(k) {}
  int Cancelado() override { return ++llamadas_ >= k_; }
  void Avance(double f) override { ultimo = f; }
  int llamadas_ = 0;
  double ultimo = -1;

 private:
  int k_;
};

TEST_F(HilosTest, EveryRowOnceInTheSameBandsForAnyThreadCount) {
  constexpr long kFilas = 203;  // not a multiple of the band height
  std::vector<std::vector<long>> porHilos;
  for (int hilos : {1, 2, 7}) {
    FijaHilos(hilos);
    EXPECT_EQ(HilosOperaciones(), hilos);
    std::vector<std::atomic<int>> vistas(kFilas);
    std::vector<long> inicioBanda(NumBandas(kFilas), -1);
    ParaBandas(kFilas, nullptr, [&](long banda, long desde, long hasta) {
      inicioBanda[static_cast<size_t>(banda)] = desde;
      for (long f = desde; f < hasta; ++f) vistas[static_cast<size_t>(f)]++;
    });
    for (long f = 0; f < kFilas; ++f) ASSERT_EQ(vistas[static_cast<size_t>(f)], 1) << f;
    porHilos.push_back(inicioBanda);
  }
  EXPECT_EQ(porHilos[0], porHilos[1]);
  EXPECT_EQ(porHilos[0], porHilos[2]);
  FijaHilos(0);
  EXPECT_EQ(HilosOperaciones(), NucleosMaquina());
}

TEST_F(HilosTest, ErrorsAndCancelReachTheCaller) {
  for (int hilos : {1, 2, 7}) {
    FijaHilos(hilos);
    // An error thrown in one band, whatever thread runs it.
    try {
      ParaBandas(500, nullptr, [](long banda, long, long) {
        if (banda == 17) throw JError(10100, "x");
      });
      ADD_FAILURE() << "no error with " << hilos << " threads";
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 10100);
    }
    // Cancel on the third poll: 11011 and not every band ran.
    ProgresoCancelaTras progreso(3);
    std::atomic<long> hechas{0};
    try {
      ParaBandas(16 * 400, &progreso, [&](long, long, long) { hechas++; });
      ADD_FAILURE() << "not cancelled with " << hilos << " threads";
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 11011);
    }
    EXPECT_LT(hechas.load(), 400);
    // Finished work reports the whole fraction.
    ProgresoCancelaTras nunca(1 << 30);
    ParaBandas(100, &nunca, [](long, long, long) {});
    EXPECT_EQ(nunca.ultimo, 1.0);
  }
}

}  // namespace
}  // namespace orva
