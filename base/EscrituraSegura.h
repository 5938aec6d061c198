// Whole-file writes that never leave a half-written file: the text goes to a temporary file in
// the target's folder, which is renamed over the target only when complete.
//
// The target is the file a path names: a symbolic link is followed (the temporary file and the
// rename go to the folder of the file it names, so the link survives and keeps pointing there).
// A path naming something that is not a regular file (a folder, a device, a fifo, a socket) is
// refused with 12224 and never replaced; a folder that does not exist is named in 12223.
#pragma once

#include <string>
#include <string_view>

namespace orva {

// The file a write to archivo lands on: symbolic links followed (also dangling ones, whose
// target is created). Raises 12223 when its folder does not exist and 12224 when it exists and
// is not a regular file.
std::string DestinoEscritura(const std::string& archivo);

// Raises 12223/12224 as DestinoEscritura, 12091 when the temporary file cannot be created and
// 10127 when writing or renaming fails; the old file is then untouched.
void EscribeArchivoSeguro(const std::string& archivo, std::string_view contenido);

}  // namespace orva

namespace orva {

// A temporary file beside the target, for writers that need a file name or descriptor of their
// own (library writers): the caller writes the temporary file, then Confirma renames it over the
// target; a temporary that was never confirmed is removed on destruction, so a failed write
// leaves the old file untouched.
class ArchivoTemporal {
 public:
  // Creates the empty temporary file; raises as DestinoEscritura, or 12091 when it cannot be
  // created.
  explicit ArchivoTemporal(const std::string& archivo);
  ~ArchivoTemporal();
  ArchivoTemporal(const ArchivoTemporal&) = delete;
  ArchivoTemporal& operator=(const ArchivoTemporal&) = delete;

  const std::string& Nombre() const { return temporal_; }
  // Hands the open descriptor to the caller, who closes it; -1 after the first call.
  int CedeDescriptor();
  // Gives the file the permissions of the file it replaces (the usual ones of a new file when
  // there is none) and renames it over the target; raises 10127 when that fails.
  void Confirma();

 private:
  std::string archivo_;  // as the caller named it, for messages
  std::string destino_;  // the file actually replaced
  std::string temporal_;
  int fd_ = -1;
  bool confirmado_ = false;
};

}  // namespace orva
