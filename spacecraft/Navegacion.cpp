// Navigation of spacecraft frames by the planetary module's limb fit and the label.
#include "spacecraft/Navegacion.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/JError.h"
#include "core/Imagen.h"
#include "planetary/Disco.h"

namespace orva {

std::optional<std::string> TextoEtiqueta(const ImagenObservacion& im, std::string_view clave) {
  for (const std::string& t : im.cabecera.Tarjetas()) {
    if (t.rfind("COMMENT", 0) != 0) continue;
    std::string_view s(t);
    s.remove_prefix(7);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    if (s.substr(0, clave.size()) != clave) continue;
    s.remove_prefix(clave.size());
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    if (s.empty() || s.front() != '=') continue;
    s.remove_prefix(1);
    while (!s.empty() && (s.front() == ' ' || s.front() == '"')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '"')) s.remove_suffix(1);
    return std::string(s);
  }
  return std::nullopt;
}

std::optional<double> NumeroEtiqueta(const ImagenObservacion& im, std::string_view clave) {
  const std::optional<std::string> t = TextoEtiqueta(im, clave);
  if (!t) return std::nullopt;
  char* fin = nullptr;
  const double v = std::strtod(t->c_str(), &fin);
  if (fin == t->c_str() || !std::isfinite(v)) return std::nullopt;
  while (*fin == ' ') ++fin;
  if (*fin != '\0' && *fin != '<') return std::nullopt;
  return v;
}

NavegacionVoyager Navega(const ImagenObservacion& im) {
  NavegacionVoyager n;
  n.distancia = NumeroEtiqueta(im, "TARGET_CENTER_DISTANCE");
  n.latSub = NumeroEtiqueta(im, "SUB_SPACECRAFT_LATITUDE");
  n.lonSub = NumeroEtiqueta(im, "SUB_SPACECRAFT_LONGITUDE");
  n.objetivo = TextoEtiqueta(im, "TARGET_NAME").value_or("");
  try {
    GeometriaDisco g;
    EstimaDisco(im, g);
    const AjusteLimbo a = AjustaLimbo(im, g);
    n.conLimbo = true;
    n.cx = a.geometria.cx;
    n.cy = a.geometria.cy;
    n.radio = a.geometria.radio;
    n.rms = a.rms;
    n.dx = n.cx - (im.Ancho() - 1) / 2.0;
    n.dy = n.cy - (im.Alto() - 1) / 2.0;
  } catch (const JError& e) {
    if (e.Id() == 11011) throw;
  }
  return n;
}

std::vector<std::string> LineasNavegacion(const NavegacionVoyager& n) {
  std::vector<std::string> l;
  char b[200];
  if (!n.objetivo.empty()) l.push_back("Objetivo: " + n.objetivo);
  if (n.conLimbo) {
    std::snprintf(b, sizeof b, "Limbo: centro (%.2f, %.2f) radio %.2f px, rms %.2f", n.cx, n.cy,
                  n.radio, n.rms);
    l.emplace_back(b);
    std::snprintf(b, sizeof b, "Desplazamiento del apuntado: (%.2f, %.2f) px", n.dx, n.dy);
    l.emplace_back(b);
  } else {
    l.emplace_back("Limbo: no se puede ajustar");
  }
  if (n.distancia) {
    std::snprintf(b, sizeof b, "Distancia al centro del objetivo: %.0f km", *n.distancia);
    l.emplace_back(b);
  }
  if (n.latSub && n.lonSub) {
    std::snprintf(b, sizeof b, "Punto subnave: latitud %.3f, longitud %.3f", *n.latSub, *n.lonSub);
    l.emplace_back(b);
  }
  return l;
}

}  // namespace orva
