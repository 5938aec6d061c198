// The desktop side of the Sun's module: its settings dialog, the results window with the zone
// table, and the table saved to a CSV file.
#pragma once

class QWidget;

namespace orva {

class Marco;
class VentanaImagen;

// The module's desktop commands on the active image ("&Resultados", "&Guardar tabla...",
// "&Preferencias"); false for any other id.
bool ComandoSolQt(Marco& marco, VentanaImagen& v, int id);
// The module's application-level item ("Preferencias Análisis Sol"); false for any other id.
bool ComandoAplicacionSol(QWidget* padre, int id);

// The PREFANASOL settings in a dialog; "Aceptar" stores them. True when accepted.
bool DialogoPreferenciasSol(QWidget* padre);

}  // namespace orva
