// The thread pool of the image operations, on oneTBB.
#include "core/Hilos.h"

#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "base/JError.h"
#include "core/Progreso.h"

namespace orva {

namespace {

std::atomic<int> hilosPedidos{0};

// oneTBB gives an arena no more workers than the machine has cores unless told otherwise; a
// count above the cores (tests compare 7 threads on two cores) raises the process's limit.
std::mutex limiteCerrojo;
std::unique_ptr<tbb::global_control> limite;

// The state one ParaBandas call shares between its threads.
struct EstadoBandas {
  std::thread::id llamador = std::this_thread::get_id();
  std::atomic<bool> parar{false};
  std::atomic<long> hechas{0};
  std::mutex error;
  std::exception_ptr primero;
};

// Whether the band may start; on the calling thread the progress object is asked too.
bool PuedeEmpezar(EstadoBandas& e, Progreso* progreso, long total) {
  if (e.parar.load(std::memory_order_relaxed)) return false;
  if (progreso != nullptr && std::this_thread::get_id() == e.llamador) {
    if (progreso->Cancelado()) {
      e.parar = true;
      return false;
    }
    if (total > 1) progreso->Avance(static_cast<double>(e.hechas.load()) / static_cast<double>(total));
  }
  return true;
}

void EjecutaBanda(EstadoBandas& e, Progreso* progreso, long banda, long filas, long alto,
                  long total, const std::function<void(long, long, long)>& cuerpo) {
  if (!PuedeEmpezar(e, progreso, total)) return;
  try {
    const long desde = banda * alto;
    cuerpo(banda, desde, std::min(filas, desde + alto));
  } catch (...) {
    std::lock_guard<std::mutex> cerrojo(e.error);
    if (!e.primero) e.primero = std::current_exception();
    e.parar = true;
  }
  e.hechas.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

int NucleosMaquina() {
  return std::max(1, tbb::info::default_concurrency());
}

int HilosOperaciones() {
  const int n = hilosPedidos.load();
  return n > 0 ? n : NucleosMaquina();
}

void FijaHilos(int hilos) {
  hilosPedidos = std::max(0, hilos);
  if (hilos > NucleosMaquina()) {
    std::lock_guard<std::mutex> cerrojo(limiteCerrojo);
    if (!limite || tbb::global_control::active_value(
                       tbb::global_control::max_allowed_parallelism) < static_cast<size_t>(hilos)) {
      limite = std::make_unique<tbb::global_control>(
          tbb::global_control::max_allowed_parallelism, static_cast<size_t>(hilos));
    }
  }
}

void ParaBandas(long filas, Progreso* progreso,
                const std::function<void(long, long, long)>& cuerpo, long alto) {
  if (filas <= 0) return;
  alto = std::max(1L, alto);
  const long total = NumBandas(filas, alto);
  const int hilos = static_cast<int>(std::min<long>(HilosOperaciones(), total));
  EstadoBandas e;
  if (hilos <= 1) {
    for (long b = 0; b < total && !e.parar; ++b) {
      EjecutaBanda(e, progreso, b, filas, alto, total, cuerpo);
    }
  } else {
    tbb::task_arena arena(hilos);
    arena.execute([&] {
      tbb::parallel_for(
          tbb::blocked_range<long>(0, total, 1),
          [&](const tbb::blocked_range<long>& r) {
            for (long b = r.begin(); b != r.end(); ++b) {
              EjecutaBanda(e, progreso, b, filas, alto, total, cuerpo);
            }
          },
          tbb::simple_partitioner());
    });
  }
  if (e.primero) std::rethrow_exception(e.primero);
  if (e.parar) throw JError(11011);
  if (progreso != nullptr && total > 1) progreso->Avance(1.0);
}

}  // namespace orva
