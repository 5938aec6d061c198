// Per-image analysis data kept by an analysis module; the image owns it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orva {

class DatosAnalisis {
 public:
  virtual ~DatosAnalisis() = default;
  // A deep copy, for image copies.
  virtual std::unique_ptr<DatosAnalisis> Clona() const {
    return std::make_unique<DatosAnalisis>(*this);
  }
  // The pixels of the image changed (measurements may be stale).
  virtual void PixelesCambiados() {}
  // Entries for the side data file, as KEY=value pairs.
  virtual void Guarda(std::vector<std::pair<std::string, std::string>>& /*entradas*/) const {}
  // Takes one entry of the side data file; false when the key is not its own.
  virtual bool Lee(std::string_view /*clave*/, std::string_view /*valor*/) { return false; }
};

}  // namespace orva
