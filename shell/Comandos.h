// The command set of the desktop as plain data: the menu-bar table (ids, labels, popups, routing,
// accelerators), the menu state rules, the display and zoom lines, and the tool menus with the
// reference points their commands set.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "core/IdsComandos.h"
#include "core/Menu.h"

namespace orva {

class Imagen;

// Where a command is handled: the frame or the active image window.
enum DestinoComando { kEnMarco, kEnImagen };

// Why a command cannot run in this build.
enum DisponibilidadComando {
  kDisponible = 0,
  kSinEspecificar,    // an operation this system does not define: grayed
  kSinProcesamiento,  // needs the processing operations, not linked into this build
};

// One row of the table: one id, or a range of ids with a label pattern ("1:%d") and an
// accelerator pattern ("Ctrl+%d") numbered from primerN.
struct FilaComando {
  int id = 0;
  int idFin = 0;  // last id of a range; equal to id for one command
  std::string etiqueta;
  std::string popup;  // "&Archivo" or "Visua&lizar/&Reducir": popups separated by '/'
  DestinoComando destino = kEnMarco;
  std::string atajo;  // accelerators separated by ';' ("Ctrl+1;Alt+1")
  DisponibilidadComando disponible = kDisponible;
  bool separadorAntes = false;
  int primerN = 0;        // n of the first id of a range
  bool marcable = false;  // a check mark shows the current zoom, display mode, tool or language
  int herramienta = -1;   // the tool the command chooses
  int lenguaje = -1;      // the language the command chooses
};

// One command after the ranges are expanded.
struct Comando {
  int id = 0;
  std::string etiqueta;
  std::string popup;
  DestinoComando destino = kEnMarco;
  std::vector<std::string> atajos;
  DisponibilidadComando disponible = kDisponible;
  bool separadorAntes = false;
  bool marcable = false;
  int herramienta = -1;
  int lenguaje = -1;
};

// The top-level popups in menu-bar order.
const std::vector<std::string>& PopupsBarra();
// Index of the analysis popup among them.
constexpr int kPopupAnalisis = 4;

// The table, in menu order.
const std::vector<FilaComando>& TablaComandos();
// Every command with its own id, label and accelerators, in menu order.
std::vector<Comando> ComandosExpandidos();
// The expanded command of an id; nullptr when the table has none.
const Comando* BuscaComando(int id);

// Where a command goes from the frame.
enum RutaComando { kRutaMarco, kRutaImagen, kRutaModulos, kRutaNinguna };
RutaComando Ruta(int id, bool hayImagen);

// Zoom commands: 1:1, 1:2..1:9 and 2:1..9:1.
bool EsZoom(int id);
// The macro line of a zoom command ("ZOOM A 1", "ZOOM D n", "ZOOM A n"); empty for other ids.
std::string LineaZoom(int id);

// Display modes 1..7 and their "Mostrar" commands.
int ModoDeComando(int id);    // 0 when the id sets no mode
int ComandoDeModo(int modo);  // 0 outside 1..7
// The same modes sent to several images ("Mostrar en varias") -> the single-image command.
int ComandoDeVarias(int id);  // 0 when the id is not one of them
// "MOSTRAR HISTO" and the like; empty outside 1..7.
std::string LineaMostrar(int modo);

// What the menu state depends on.
struct SituacionMenu {
  bool hayImagen = false;
  int tipoVentana = 0;  // kind flag of the active image window
  int herramienta = 0;
  int lenguaje = 0;
  int comandoZoom = 0;
  int modoPanel = 1;
};
// The menu state: check marks, ids forced on or off, and whether the three image popups
// (Visualizar, Posicionar, Tratar) are enabled.
struct EstadoMenu {
  std::set<int> marcados;
  std::set<int> activos;
  std::set<int> inactivos;
  bool popupVisualizar = false;
  bool popupsImagen = false;  // Posicionar and Tratar
};
EstadoMenu CalculaEstadoMenu(const SituacionMenu& s);

// Tools (HERRAMIENTA) and their right-click menus.
enum Herramienta {
  kNinguna = 0,
  kRotar = 2,
  kDesplazar = 3,
  kCortar = 4,
  kRedimensionar = 5,
  kTransGeneral = 6,
  kTratamiento = 7,
  kAnalisis = 8,
};
constexpr int kNumHerramientas = 9;
// The right-click menu of a tool for the image, with the graying rules; an empty menu for the
// tools that have none (0, 1) and for the analysis tool (its menu is the module's).
Menu MenuHerramienta(int herramienta, const Imagen& imagen);
// The command that chooses a tool, and the language; 0 when none does.
int ComandoDeHerramienta(int herramienta);
int ComandoDeLenguaje(int lenguaje);
// Runs a tool command at image pixel (x, y): sets or clears the tool's reference points or,
// for the treatment tool, a display level. Returns false for an id the tool does not handle.
bool ComandoHerramienta(int herramienta, int id, int x, int y, Imagen& imagen);

}  // namespace orva
