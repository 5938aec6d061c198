// The string table: every user-visible text of the system, by numeric id.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orva {

// The languages of the texts, numbered as the LENGUAJE setting and the language menu items.
enum Idioma { kCastellano = 0, kCatalan = 1, kFrances = 2, kIngles = 3 };
constexpr int kNumIdiomas = 4;

// The language of Cadena and Mensaje for the whole process: Spanish until set; an unknown
// number sets Spanish.
void FijaIdioma(int idioma);
int IdiomaActual();

// The text of id in the current language; an id that language lacks shows its Spanish text, and
// an id missing from the Spanish table gives "[id]" so a fault never hides a message.
std::string Cadena(int id);
// The same in a given language.
std::string CadenaEnIdioma(int idioma, int id);
// Whether the (Spanish) table holds id.
bool ExisteCadena(int id);
// The ids of a language's own table, in table order.
std::vector<int> IdsCadenas(int idioma);
// The ids of the Spanish table that a language's table lacks, ascending.
std::vector<int> CadenasSinTraducir(int idioma);
// Replaces %1, %2 and %3 in texto with the arguments; any other '%' is kept as it is.
std::string FormateaMensaje(std::string_view texto, std::string_view a1 = {},
                            std::string_view a2 = {}, std::string_view a3 = {});
// The text of id with its arguments filled in.
std::string Mensaje(int id, std::string_view a1 = {}, std::string_view a2 = {},
                    std::string_view a3 = {});

}  // namespace orva
