// Number reading as the C library's atoi and atof do (leading number, rest ignored, no number
// reads as 0), but without undefined behaviour on overflow: integers saturate.
#pragma once

#include <string_view>

namespace orva {

int LeeEntero(std::string_view texto);
double LeeReal(std::string_view texto);

}  // namespace orva
