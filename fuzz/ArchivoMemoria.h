// The fuzz input as a file that readers can open by name: an anonymous in-memory file reached
// through /proc/self/fd, rewritten for every input.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace orva {

class ArchivoMemoria {
 public:
  ArchivoMemoria() : fd_(memfd_create("orva-fuzz", 0)) {}
  ~ArchivoMemoria() {
    if (fd_ >= 0) close(fd_);
  }
  ArchivoMemoria(const ArchivoMemoria&) = delete;
  ArchivoMemoria& operator=(const ArchivoMemoria&) = delete;

  // Replaces the contents; the name to open.
  std::string Escribe(const uint8_t* datos, size_t n) {
    if (ftruncate(fd_, 0) != 0) return {};
    size_t hecho = 0;
    while (hecho < n) {
      const ssize_t k = pwrite(fd_, datos + hecho, n - hecho, static_cast<off_t>(hecho));
      if (k <= 0) return {};
      hecho += static_cast<size_t>(k);
    }
    return "/proc/self/fd/" + std::to_string(fd_);
  }

 private:
  int fd_;
};

}  // namespace orva
