// The thread pool of the image operations. Work is split into bands of rows whose bounds depend
// only on the row count and the band height, never on the number of threads, so an operation
// that combines per-band partial results in band order gives the same bits for any thread count.
#pragma once

#include <cstdint>
#include <functional>

namespace orva {

class Progreso;

// The number of threads operations use (at least 1).
int HilosOperaciones();
// Sets it: 0 means every core of the machine; negative values count as 0. The HILOS setting
// and the command line's --threads call it; a running operation keeps the count it started with.
void FijaHilos(int hilos);
// The cores of the machine.
int NucleosMaquina();

// The default band height of row loops: small enough to balance 2..8 threads on a frame of a
// few hundred rows, large enough that the scheduling cost is negligible.
inline constexpr long kAltoBanda = 16;

// The number of bands of `filas` rows in bands of `alto` rows.
inline long NumBandas(long filas, long alto = kAltoBanda) {
  return filas <= 0 ? 0 : (filas + alto - 1) / alto;
}

// Runs cuerpo(banda, desde, hasta) for every band [desde, hasta) of the rows [0, filas), on up
// to HilosOperaciones() threads (the calling thread among them). Bands may run in any order and
// at the same time; each must write only its own rows or its own partial result.
//
// Cancel: only the calling thread asks `progreso` (its Cancelado() and Avance() need not be
// thread-safe); a request is passed to the other threads by an atomic flag, no new band starts,
// and 11011 is raised once the bands in flight have finished. The first exception thrown by a
// band is rethrown to the caller the same way. With a null progress object nothing is polled.
void ParaBandas(long filas, Progreso* progreso,
                const std::function<void(long banda, long desde, long hasta)>& cuerpo,
                long alto = kAltoBanda);

}  // namespace orva
