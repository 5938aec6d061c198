// Whole-file writes that never leave a half-written file: the text goes to a temporary file in
// the same folder, which is renamed over the target only when complete.
#pragma once

#include <string>
#include <string_view>

namespace orva {

// Raises 12091 when the temporary file cannot be created and 10127 when writing or renaming
// fails; the old file is then untouched.
void EscribeArchivoSeguro(const std::string& archivo, std::string_view contenido);

}  // namespace orva

namespace orva {

// A temporary file beside the target, for writers that need a file name or descriptor of their
// own (library writers): the caller writes the temporary file, then Confirma renames it over the
// target; a temporary that was never confirmed is removed on destruction, so a failed write
// leaves the old file untouched.
class ArchivoTemporal {
 public:
  // Creates the empty temporary file; raises 12091 when it cannot be created.
  explicit ArchivoTemporal(const std::string& archivo);
  ~ArchivoTemporal();
  ArchivoTemporal(const ArchivoTemporal&) = delete;
  ArchivoTemporal& operator=(const ArchivoTemporal&) = delete;

  const std::string& Nombre() const { return temporal_; }
  // Hands the open descriptor to the caller, who closes it; -1 after the first call.
  int CedeDescriptor();
  // Gives the file the usual permissions of a new file and renames it over the target; raises
  // 10127 when that fails.
  void Confirma();

 private:
  std::string archivo_;
  std::string temporal_;
  int fd_ = -1;
  bool confirmado_ = false;
};

}  // namespace orva
