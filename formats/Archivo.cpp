// The checked binary file.
#include "formats/Archivo.h"

#include <cerrno>
#include <cstring>

#include "base/JError.h"

namespace orva {
namespace {

// The system's text for the last error; a plain end of file has no errno.
std::string TextoError(int e) {
  return e != 0 ? std::string(std::strerror(e)) : std::string("EOF");
}

}  // namespace

std::FILE* Archivo::F() const {
  if (!f_) throw JError(10132);  // 10132
  return f_.get();
}

void Archivo::Abre(const std::string& nombre, Modo modo) {
  if (f_) throw JError(10133);  // 10133
  const char* m = modo == kLectura ? "rb" : modo == kEscritura ? "wb" : "r+b";
  errno = 0;
  f_.reset(std::fopen(nombre.c_str(), m));
  if (!f_) throw JError(10125, nombre, TextoError(errno));  // 10125
  nombre_ = nombre;
}

void Archivo::Cierra() {
  if (!f_) return;
  std::FILE* f = f_.release();
  errno = 0;
  if (std::fclose(f) != 0) {
    throw JError(10127, nombre_, "0", TextoError(errno));  // 10127: buffered data lost
  }
}

void Archivo::Lee(void* datos, size_t n) {
  std::FILE* f = F();
  if (n == 0) return;
  errno = 0;
  const size_t leidos = std::fread(datos, 1, n, f);
  if (leidos != n) {
    throw JError(10126, nombre_, std::to_string(n),
                 TextoError(std::ferror(f) ? errno : 0));  // 10126
  }
}

size_t Archivo::LeeHasta(void* datos, size_t n) {
  std::FILE* f = F();
  if (n == 0) return 0;
  errno = 0;
  const size_t leidos = std::fread(datos, 1, n, f);
  if (leidos != n && std::ferror(f)) {
    throw JError(10126, nombre_, std::to_string(n), TextoError(errno));  // 10126
  }
  return leidos;
}

void Archivo::Escribe(const void* datos, size_t n) {
  std::FILE* f = F();
  if (n == 0) return;
  errno = 0;
  if (std::fwrite(datos, 1, n, f) != n) {
    throw JError(10127, nombre_, std::to_string(n), TextoError(errno));  // 10127
  }
}

void Archivo::Posiciona(uint64_t posicion) {
  std::FILE* f = F();
  errno = 0;
  if (posicion > static_cast<uint64_t>(INT64_MAX) ||
      fseeko(f, static_cast<off_t>(posicion), SEEK_SET) != 0) {
    throw JError(10128, nombre_, std::to_string(posicion), TextoError(errno));  // 10128
  }
}

uint64_t Archivo::Posicion() {
  std::FILE* f = F();
  errno = 0;
  const off_t p = ftello(f);
  if (p < 0) throw JError(10128, nombre_, "-1", TextoError(errno));  // 10128
  return static_cast<uint64_t>(p);
}

uint64_t Archivo::Longitud() {
  std::FILE* f = F();
  errno = 0;
  const off_t actual = ftello(f);
  if (actual < 0 || fseeko(f, 0, SEEK_END) != 0) {
    throw JError(10128, nombre_, "-1", TextoError(errno));  // 10128
  }
  const off_t fin = ftello(f);
  if (fin < 0 || fseeko(f, actual, SEEK_SET) != 0) {
    throw JError(10128, nombre_, std::to_string(actual), TextoError(errno));  // 10128
  }
  return static_cast<uint64_t>(fin);
}

}  // namespace orva
