// The string tables of every language and the lookup that falls back to Spanish.
#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <string>

#include "base/Cadenas.h"

using namespace orva;

namespace {

// The substitution marks of a text: %1..%3, and the printf ones (%s, %5d) the callers fill in.
std::multiset<std::string> Marcas(const std::string& t) {
  std::multiset<std::string> m;
  for (size_t i = 0; i + 1 < t.size(); ++i) {
    if (t[i] != '%') continue;
    size_t j = i + 1;
    while (j < t.size() && t[j] >= '0' && t[j] <= '9') ++j;
    if (j < t.size() && (t[j] == 's' || t[j] == 'd')) ++j;
    m.insert(t.substr(i, j - i));
    i = j - 1;
  }
  return m;
}

struct RestauraIdioma {
  ~RestauraIdioma() { FijaIdioma(kCastellano); }
};

}  // namespace

// Each table sorted and without repeats (the lookup is a binary search), holding only ids the
// Spanish table has, and every translation keeping the marks its arguments fill: a lost "%2"
// would silently drop a file name from a message.
TEST(CadenasTest, CadaTablaOrdenadaConLasMismasMarcas) {
  const std::vector<int> espanol = IdsCadenas(kCastellano);
  ASSERT_GT(espanol.size(), 250u);
  const std::set<int> ids(espanol.begin(), espanol.end());
  for (int idioma : {kCastellano, kCatalan, kFrances, kIngles}) {
    SCOPED_TRACE(idioma);
    const std::vector<int> propios = IdsCadenas(idioma);
    for (size_t i = 1; i < propios.size(); ++i) EXPECT_LT(propios[i - 1], propios[i]);
    for (int id : propios) {
      SCOPED_TRACE(id);
      EXPECT_TRUE(ids.count(id));
      const std::string texto = CadenaEnIdioma(idioma, id);
      EXPECT_FALSE(texto.empty());
      EXPECT_EQ(Marcas(texto), Marcas(CadenaEnIdioma(kCastellano, id)));
    }
  }
}

TEST(CadenasTest, IdiomaDelProcesoYVueltaAlEspanol) {
  RestauraIdioma restaura;
  EXPECT_EQ(IdiomaActual(), kCastellano);
  EXPECT_EQ(Mensaje(12054, "FOO"), "orden desconocida 'FOO'");
  FijaIdioma(kIngles);
  EXPECT_EQ(IdiomaActual(), kIngles);
  EXPECT_EQ(Mensaje(12054, "FOO"), "unknown command 'FOO'");
  EXPECT_EQ(Mensaje(10125, "m51.fits", "No such file"), "Error No such file opening file m51.fits.");
  // Unknown ids stay visible in every language.
  EXPECT_EQ(Cadena(99999), "[99999]");
  // A language without its own text shows the Spanish one.
  FijaIdioma(kFrances);
  EXPECT_EQ(Cadena(12054), CadenaEnIdioma(kCastellano, 12054));
  // A number that names no language is Spanish.
  FijaIdioma(kIngles);
  FijaIdioma(17);
  EXPECT_EQ(IdiomaActual(), kCastellano);
  FijaIdioma(-1);
  EXPECT_EQ(Cadena(12054), "orden desconocida '%1'");
}

// A report, never a failure: texts added in Spanish are shown in Spanish until translated.
TEST(CadenasTest, InformeDeTextosSinTraducir) {
  for (int idioma : {kIngles, kCatalan, kFrances}) {
    const std::vector<int> faltan = CadenasSinTraducir(idioma);
    std::cout << "language " << idioma << ": " << faltan.size() << " of "
              << IdsCadenas(kCastellano).size() << " texts untranslated";
    for (size_t i = 0; i < faltan.size() && i < 40; ++i) std::cout << (i ? " " : ": ") << faltan[i];
    std::cout << '\n';
  }
  EXPECT_EQ(CadenasSinTraducir(kCastellano).size(), 0u);
}
