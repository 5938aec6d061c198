// Navigation data of a spacecraft frame: the pointing offset from the target's fitted limb, and
// the view geometry (range, sub-spacecraft point) from the archive label where it gives them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

class ImagenObservacion;

struct NavegacionVoyager {
  bool conLimbo = false;
  double cx = 0, cy = 0, radio = 0, rms = 0;  // fitted disc, pixels
  double dx = 0, dy = 0;  // the disc centre's offset from the frame centre (the boresight), px
  std::optional<double> distancia;       // TARGET_CENTER_DISTANCE, km
  std::optional<double> latSub, lonSub;  // SUB_SPACECRAFT_LATITUDE / LONGITUDE, deg
  std::string objetivo;                  // TARGET_NAME
};

// A label item kept in the image's header (the PDS reader keeps the label as comment cards,
// "KEY = VALUE"), quotes removed; empty when absent (or, for a number, not a number).
std::optional<std::string> TextoEtiqueta(const ImagenObservacion& im, std::string_view clave);
std::optional<double> NumeroEtiqueta(const ImagenObservacion& im, std::string_view clave);

// The navigation data; a frame where the limb cannot be fitted gives conLimbo false.
NavegacionVoyager Navega(const ImagenObservacion& im);

// The data as text lines, for the command line and the data pane.
std::vector<std::string> LineasNavegacion(const NavegacionVoyager& n);

}  // namespace orva
