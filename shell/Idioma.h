// The language of the texts: chosen by the LENGUAJE setting, or by the system locale while that
// setting has never been saved; and the menu texts of the desktop in that language.
#pragma once

#include <string>
#include <string_view>

namespace orva {

class Configuracion;

// The language a locale name asks for ("en_GB.UTF-8" English, "es_ES" Spanish, "ca" Catalan,
// "fr" French); Spanish for any other name, "C" and "POSIX" included.
int IdiomaDeLocale(std::string_view nombre);
// The language of the environment: the first non-empty of LC_ALL, LC_MESSAGES and LANG.
int IdiomaDelEntorno();
// The language of the settings: LENGUAJE when a settings file held it or it was set, else the
// environment's. Out-of-range values give Spanish.
int IdiomaConfigurado(const Configuracion& config);
// Sets the process language from the settings and writes it into LENGUAJE, so the menu check
// marks show it. Returns the language.
int AplicaIdioma(Configuracion& config);

// The label of a menu-bar command in the current language; etiqueta (the table's own, Spanish)
// when the language has none for that id.
std::string EtiquetaComando(int id, const std::string& etiqueta);
// A text of the desktop given in Spanish (popup title, tool menu or filter item, dialog title,
// field label or button) in the current language; the text itself when the language has no
// translation for it.
std::string TextoMenu(const std::string& texto);
// Whether the English menu texts hold id / texto (for the tests of their coverage).
bool HayEtiquetaIngles(int id);
bool HayTextoMenuIngles(const std::string& texto);

}  // namespace orva
