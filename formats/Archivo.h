// Archivo: the checked binary file of readers and writers; every failure raises JError
// 10125-10133 with the file name, so a short or broken file is reported, never half-read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace orva {

class Archivo {
 public:
  enum Modo { kLectura, kEscritura, kLecturaEscritura };

  Archivo() = default;
  // Opens at once (see Abre).
  Archivo(const std::string& nombre, Modo modo) { Abre(nombre, modo); }
  Archivo(Archivo&&) noexcept = default;
  Archivo& operator=(Archivo&&) noexcept = default;
  ~Archivo() = default;  // closes without raising; call Cierra to learn of a failed close

  // Opens the file: kLectura "rb", kEscritura "wb" (created or emptied), kLecturaEscritura
  // "r+b". Raises 10133 when already open and 10125 when the file cannot be opened.
  void Abre(const std::string& nombre, Modo modo);
  // Closes; a failed flush of written data raises 10127. Closing a closed file does nothing.
  void Cierra();
  bool Abierto() const { return static_cast<bool>(f_); }
  const std::string& Nombre() const { return nombre_; }

  // Reads exactly n bytes; fewer (end of file or error) raises 10126.
  void Lee(void* datos, size_t n);
  // Reads up to n bytes and returns how many were read; an error other than the end of the
  // file raises 10126.
  size_t LeeHasta(void* datos, size_t n);
  // Writes n bytes; a failure raises 10127.
  void Escribe(const void* datos, size_t n);
  // Moves to an absolute byte position; a failure raises 10128.
  void Posiciona(uint64_t posicion);
  // The current byte position; a failure raises 10128.
  uint64_t Posicion();
  // The length in bytes (the position is kept); a failure raises 10128.
  uint64_t Longitud();

 private:
  struct Cierre {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  // The open file or 10132.
  std::FILE* F() const;

  std::unique_ptr<std::FILE, Cierre> f_;
  std::string nombre_;
};

}  // namespace orva
