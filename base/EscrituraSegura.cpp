// Temporary file and rename.
#include "base/EscrituraSegura.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/JError.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

// Links followed before a chain counts as a loop (the kernel's own limit).
constexpr int kMaxEnlaces = 40;

struct Destino {
  std::string ruta;
  mode_t modo = 0;  // permissions to give the new file
};

mode_t ModoNuevo() {
  const mode_t mascara = umask(0);
  umask(mascara);
  return 0666 & ~mascara;
}

Destino BuscaDestino(const std::string& archivo) {
  fs::path p(archivo);
  for (int saltos = 0; saltos <= kMaxEnlaces; ++saltos) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) {
      if (errno != ENOENT && errno != ENOTDIR) return {p.string(), ModoNuevo()};  // mkstemp says
      // A new file: its folder must be there.
      fs::path carpeta = p.parent_path();
      if (carpeta.empty()) carpeta = ".";
      struct stat sc {};
      if (::stat(carpeta.c_str(), &sc) != 0 || !S_ISDIR(sc.st_mode)) {
        throw JError(12223, carpeta.string(), archivo);  // 12223
      }
      return {p.string(), ModoNuevo()};
    }
    if (S_ISREG(st.st_mode)) return {p.string(), static_cast<mode_t>(st.st_mode & 07777)};
    if (!S_ISLNK(st.st_mode)) throw JError(12224, archivo);  // 12224
    std::error_code e;
    const fs::path enlace = fs::read_symlink(p, e);
    if (e) throw JError(12091, archivo);  // 12091
    p = enlace.is_absolute() ? enlace : p.parent_path() / enlace;
  }
  throw JError(12091, archivo);  // 12091: a loop of links
}

}  // namespace

std::string DestinoEscritura(const std::string& archivo) {
  return BuscaDestino(archivo).ruta;
}

void EscribeArchivoSeguro(const std::string& archivo, std::string_view contenido) {
  const Destino destino = BuscaDestino(archivo);
  std::string temporal = destino.ruta + ".XXXXXX";
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
  // The file keeps the permissions of the one it replaces rather than mkstemp's 0600.
  fchmod(fd, destino.modo);
  if (bien && ::fsync(fd) != 0) bien = false;
  if (::close(fd) != 0) bien = false;
  if (!bien || std::rename(temporal.c_str(), destino.ruta.c_str()) != 0) {
    const int e = bien ? errno : error;
    std::remove(temporal.c_str());
    throw JError(10127, archivo, std::to_string(contenido.size()), std::strerror(e));  // 10127
  }
}

ArchivoTemporal::ArchivoTemporal(const std::string& archivo) : archivo_(archivo) {
  const Destino destino = BuscaDestino(archivo);
  destino_ = destino.ruta;
  temporal_ = destino_ + ".XXXXXX";
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
  // Library writers may have made the file anew (cfitsio does): the permissions again.
  struct stat st {};
  mode_t modo = ModoNuevo();
  if (::stat(destino_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) modo = st.st_mode & 07777;
  ::chmod(temporal_.c_str(), modo);
  if (std::rename(temporal_.c_str(), destino_.c_str()) != 0) {
    throw JError(10127, archivo_, "0", std::strerror(errno));  // 10127
  }
  confirmado_ = true;
}

}  // namespace orva
