// Memory available and the allocation checks.
#include "base/Memoria.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "base/JError.h"

namespace orva {

namespace {

constexpr uint64_t kMaximo = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kBytesKiB = 1024;
// One operation may take this many quarters of the memory available: the rest is left to the
// images already open, the system and the other programs.
constexpr uint64_t kCuartosUtilizables = 3;

[[noreturn]] void SinMemoria(const std::string& bytes) {
  throw JError(10100, bytes);  // 10100
}

uint64_t& Limite() {
  static uint64_t limite = 0;
  return limite;
}

}  // namespace

void FijaLimiteMemoria(uint64_t bytes) {
  Limite() = bytes;
}

uint64_t MemoriaDisponible() {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen("/proc/meminfo", "r"), &std::fclose);
  if (!f) return kMaximo;
  char linea[256];
  while (std::fgets(linea, sizeof linea, f.get())) {
    unsigned long long kib = 0;
    if (std::sscanf(linea, "MemAvailable: %llu kB", &kib) == 1) {
      return kib > kMaximo / kBytesKiB ? kMaximo : kib * kBytesKiB;
    }
  }
  return kMaximo;
}

uint64_t BytesDe(uint64_t n, uint64_t tam) {
  if (tam != 0 && n > kMaximo / tam) {
    SinMemoria(std::to_string(n) + " x " + std::to_string(tam));
  }
  return n * tam;
}

uint64_t BytesDe(uint64_t ancho, uint64_t alto, uint64_t tam) {
  if (alto != 0 && ancho > kMaximo / alto) {
    SinMemoria(std::to_string(ancho) + " x " + std::to_string(alto) + " x " + std::to_string(tam));
  }
  return BytesDe(ancho * alto, tam);
}

uint64_t SumaBytes(uint64_t a, uint64_t b) {
  if (a > kMaximo - b) SinMemoria(std::to_string(a) + " + " + std::to_string(b));
  return a + b;
}

void CompruebaMemoria(uint64_t bytes) {
  const uint64_t disponible = MemoriaDisponible();
  uint64_t utilizable = disponible / 4 * kCuartosUtilizables;
  if (Limite() != 0 && Limite() < utilizable) utilizable = Limite();
  // The process's own address-space limit (ulimit -v) counts too.
  rlimit r{};
  if (getrlimit(RLIMIT_AS, &r) == 0 && r.rlim_cur != RLIM_INFINITY &&
      static_cast<uint64_t>(r.rlim_cur) < utilizable) {
    utilizable = static_cast<uint64_t>(r.rlim_cur);
  }
  if (bytes > std::numeric_limits<size_t>::max() / 2 || bytes > utilizable) {
    SinMemoria(std::to_string(bytes));
  }
}

}  // namespace orva
