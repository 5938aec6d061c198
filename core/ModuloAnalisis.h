// Analysis modules: the plug-in unit through which each analysis serves the images of its object
// types (menus, commands, overlay, data-pane lines, per-image data), and their dispatch.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/DatosAnalisis.h"
#include "core/Lienzo.h"
#include "core/Menu.h"

namespace orva {

class Imagen;

struct PuntoImagen {
  int x = 0;
  int y = 0;
};

class ModuloAnalisis {
 public:
  virtual ~ModuloAnalisis() = default;
  // Makes this module the module of each object type it serves; returns 1.
  virtual int AsignarTipos() = 0;
  // Appends the application-level items with consecutive ids from primerId; returns how many.
  virtual int AnadirPreferencias(Menu& menu, int primerId) = 0;
  // The "Análisis" menu for an image of its types.
  virtual Menu MenuAnalisis(const Imagen& imagen) = 0;
  // The right-click menu of the analysis tool.
  virtual Menu MenuContextual(const Imagen& imagen) = 0;
  // A command of its "Análisis" menu or of its application-level items; imagen may be null when
  // no image is active. Ids that are not its own are ignored.
  virtual void Comando(Imagen* imagen, int mensaje, int id, long parametro) = 0;
  // A command of its right-click menu at an image point.
  virtual void ComandoContextual(Imagen& imagen, int mensaje, int id, PuntoImagen punto) = 0;
  // Appends its data-pane lines about the image.
  virtual void Informacion(const Imagen& imagen, std::vector<std::string>& lineas) = 0;
  // Draws its overlay.
  virtual void Pintar(const Imagen& imagen, Lienzo& lienzo) = 0;
  // The per-image data for an image of its types.
  virtual std::unique_ptr<DatosAnalisis> CrearDatos(Imagen& imagen) = 0;
};

// First command id of the modules' application-level items.
constexpr int kPrimerIdPreferencias = 7000;

// The application-wide module list in creation order (filled by shell/Modulos.h's CreaModulos).
const std::vector<std::unique_ptr<ModuloAnalisis>>& Modulos();

// The module of the image's object type, or nullptr.
ModuloAnalisis* ModuloImagen(const Imagen& imagen);

// Dispatch to the image's module; an image whose type has no module gets nothing (an empty,
// disabled menu; no lines beyond the defaults; no overlay) and the functions return 0.
std::optional<Menu> MenuAnalisisImagen(const Imagen& imagen);
std::optional<Menu> MenuContextualImagen(const Imagen& imagen);
int ComandoImagen(Imagen& imagen, int mensaje, int id, long parametro);
int ComandoContextualImagen(Imagen& imagen, int mensaje, int id, PuntoImagen punto);
int PintarImagen(const Imagen& imagen, Lienzo& lienzo);
// The module's lines (for an image whose type has no module, the default lines), followed for
// a planet's disc by its ephemeris lines (core/EfemerideImagen.h).
void InformacionImagen(const Imagen& imagen, std::vector<std::string>& lineas);
// The default lines: "date (time) exposure seg." and "object (type name) filter"; modules
// that end their own lines with them call this.
void InformacionDefecto(const Imagen& imagen, std::vector<std::string>& lineas);

// Every module's application-level items, the first from id 7000 on.
void AnadirPreferenciasModulos(Menu& menu);
// Passes a command to every module in list order; returns 1.
int ComandoModulos(Imagen* imagen, int mensaje, int id, long parametro);

// The tool index of the analysis tool.
constexpr int kHerramientaAnalisis = 8;
// The "Análisis" popup of the menu bar for the current tool and active image (nullptr: none):
// grayed unless the analysis tool is chosen; the module's menu of the image (grayed when its type
// has no module); with no image, every module's application-level items.
Menu MenuAnalisisBarra(int herramienta, const Imagen* activa);

// Registers a module at the end of the list (the system's own are made by CreaModulos).
void RegistraModulo(std::unique_ptr<ModuloAnalisis> modulo);

}  // namespace orva
