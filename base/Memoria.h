// Memory checks made before an operation allocates an image or work buffers sized from its
// arguments, so that a size too large is refused (10100) instead of ending the process.
#pragma once

#include <cstdint>

namespace orva {

// Bytes of physical memory available now (MemAvailable of /proc/meminfo); the largest value
// when it cannot be read.
uint64_t MemoriaDisponible();

// n elements of tam bytes each; 10100 when the product does not fit 64 bits.
uint64_t BytesDe(uint64_t n, uint64_t tam);
// ancho x alto elements of tam bytes each; 10100 on overflow.
uint64_t BytesDe(uint64_t ancho, uint64_t alto, uint64_t tam);

// Raises 10100 with the byte count when that many bytes do not fit in three quarters of the
// memory available, in the process's address-space limit (ulimit -v) or in the address space.
void CompruebaMemoria(uint64_t bytes);

// A limit of its own below the memory available (0, the default: none); the fuzz targets and
// the tests set one so that results do not depend on the machine.
void FijaLimiteMemoria(uint64_t bytes);

// The sum of byte counts; 10100 on overflow.
uint64_t SumaBytes(uint64_t a, uint64_t b);

}  // namespace orva
