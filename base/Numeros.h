// Number reading as the C library's atoi and atof do (leading number, rest ignored, no number
// reads as 0), but without undefined behaviour on overflow: integers saturate.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace orva {

int LeeEntero(std::string_view texto);
double LeeReal(std::string_view texto);

// The same readings for fields that must hold a number: nullopt when the text does not begin
// (after blanks and a sign) with a digit, or a point and a digit for a real, so "abc", "" and
// "nan" are refused while "30abc" reads 30. A real too large for a double reads as an infinity
// of its sign, one too small as 0.
std::optional<int> LeeEnteroComprobado(std::string_view texto);
std::optional<double> LeeRealComprobado(std::string_view texto);

// The median of the values (the mean of the two middle ones for an even count); 0 when empty.
double Mediana(std::vector<double> v);

}  // namespace orva
