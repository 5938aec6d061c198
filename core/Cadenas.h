// The string table: every user-visible text of the system, by numeric id.
#pragma once

#include <string>
#include <string_view>

namespace orva {

// The text of id; an id missing from the table gives "[id]" so a fault never hides a message.
std::string Cadena(int id);
// Whether the table holds id.
bool ExisteCadena(int id);
// Replaces %1, %2 and %3 in texto with the arguments; any other '%' is kept as it is.
std::string FormateaMensaje(std::string_view texto, std::string_view a1 = {},
                            std::string_view a2 = {}, std::string_view a3 = {});
// The text of id with its arguments filled in.
std::string Mensaje(int id, std::string_view a1 = {}, std::string_view a2 = {},
                    std::string_view a3 = {});

}  // namespace orva
