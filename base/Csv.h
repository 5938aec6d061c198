// A field of a comma-separated table: quoted, with its quotes doubled, when it holds a comma, a
// quote or a line break.
#pragma once

#include <string>

namespace orva {

inline std::string CampoCsv(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string r = "\"";
  for (char c : s) {
    if (c == '"') r += '"';
    r += c;
  }
  return r + "\"";
}

}  // namespace orva
