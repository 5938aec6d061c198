// Temporary file and rename.
#include "core/EscrituraSegura.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/JError.h"

namespace orva {

void EscribeArchivoSeguro(const std::string& archivo, std::string_view contenido) {
  std::string temporal = archivo + ".XXXXXX";
  const int fd = mkstemp(temporal.data());
  if (fd < 0) throw JError(12091, archivo);  // 12091
  size_t hecho = 0;
  bool bien = true;
  while (hecho < contenido.size()) {
    const ssize_t n = ::write(fd, contenido.data() + hecho, contenido.size() - hecho);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      bien = false;
      break;
    }
    hecho += static_cast<size_t>(n);
  }
  const int error = errno;
  // The file keeps the usual permissions of a new file rather than mkstemp's 0600.
  const mode_t mascara = umask(0);
  umask(mascara);
  fchmod(fd, 0666 & ~mascara);
  if (bien && ::fsync(fd) != 0) bien = false;
  if (::close(fd) != 0) bien = false;
  if (!bien || std::rename(temporal.c_str(), archivo.c_str()) != 0) {
    const int e = bien ? errno : error;
    std::remove(temporal.c_str());
    throw JError(10127, archivo, std::to_string(contenido.size()), std::strerror(e));  // 10127
  }
}

}  // namespace orva

namespace orva {

ArchivoTemporal::ArchivoTemporal(const std::string& archivo)
    : archivo_(archivo), temporal_(archivo + ".XXXXXX") {
  fd_ = mkstemp(temporal_.data());
  if (fd_ < 0) throw JError(12091, archivo);  // 12091
}

ArchivoTemporal::~ArchivoTemporal() {
  if (fd_ >= 0) ::close(fd_);
  if (!confirmado_) std::remove(temporal_.c_str());
}

int ArchivoTemporal::CedeDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void ArchivoTemporal::Confirma() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  const mode_t mascara = umask(0);
  umask(mascara);
  ::chmod(temporal_.c_str(), 0666 & ~mascara);
  if (std::rename(temporal_.c_str(), archivo_.c_str()) != 0) {
    throw JError(10127, archivo_, "0", std::strerror(errno));  // 10127
  }
  confirmado_ = true;
}

}  // namespace orva
