// Language choice from the settings and the locale, saving one setting, and the English menus.
#include "shell/Idioma.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "base/Cadenas.h"
#include "shell/Comandos.h"
#include "shell/Configuracion.h"

using namespace orva;

namespace {

// Sets the locale variables for one test and puts the old values back.
class Entorno {
 public:
  Entorno(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* valores[] = {lcAll, lcMessages, lang};
    for (int i = 0; i < 3; ++i) {
      const char* v = std::getenv(kNombres[i]);
      antes_[i] = v ? std::optional<std::string>(v) : std::nullopt;
      if (valores[i]) {
        ::setenv(kNombres[i], valores[i], 1);
      } else {
        ::unsetenv(kNombres[i]);
      }
    }
  }
  ~Entorno() {
    for (int i = 0; i < 3; ++i) {
      if (antes_[i]) {
        ::setenv(kNombres[i], antes_[i]->c_str(), 1);
      } else {
        ::unsetenv(kNombres[i]);
      }
    }
    FijaIdioma(kCastellano);
  }

 private:
  static constexpr const char* kNombres[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::optional<std::string> antes_[3];
};

std::string Carpeta() {
  char plantilla[] = "/tmp/orva_idioma_XXXXXX";
  const char* d = ::mkdtemp(plantilla);
  return d ? d : "/tmp";
}

std::string Lee(const std::string& archivo) {
  std::ifstream f(archivo, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace

TEST(IdiomaTest, LocaleYPrecedenciaDeVariables) {
  struct Caso {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    int idioma;
  };
  const Caso casos[] = {
      {nullptr, nullptr, "en_GB.UTF-8", kIngles},
      {nullptr, nullptr, "en", kIngles},
      {nullptr, nullptr, "es_ES.UTF-8", kCastellano},
      {nullptr, nullptr, "ca_ES@valencia", kCatalan},
      {nullptr, nullptr, "fr_FR", kFrances},
      {nullptr, nullptr, "C", kCastellano},
      {nullptr, nullptr, "POSIX", kCastellano},
      {nullptr, nullptr, "english", kCastellano},
      {nullptr, nullptr, nullptr, kCastellano},
      {"C", "en_US", "en_US", kCastellano},   // LC_ALL wins
      {"", "en_US", "es_ES", kIngles},        // an empty LC_ALL does not count
      {nullptr, "es_MX", "en_US", kCastellano},
  };
  for (const Caso& c : casos) {
    Entorno e(c.lcAll, c.lcMessages, c.lang);
    EXPECT_EQ(IdiomaDelEntorno(), c.idioma)
        << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

// The locale decides only while the setting was never saved; a saved or set value wins, and a
// value that names no language is Spanish.
TEST(IdiomaTest, AjusteGuardadoGanaAlLocale) {
  Entorno e(nullptr, nullptr, "en_US.UTF-8");
  const std::string dir = Carpeta();
  const std::string sin = dir + "/sin.ini", con = dir + "/con.ini", raro = dir + "/raro.ini";
  std::ofstream(sin) << "[General]\nHERRAMIENTA=2\n";
  std::ofstream(con) << "[General]\nLENGUAJE=0\n";
  std::ofstream(raro) << "[General]\nLENGUAJE=7\n";

  Configuracion c;
  EXPECT_FALSE(c.Fijada("General", "LENGUAJE"));
  EXPECT_EQ(IdiomaConfigurado(c), kIngles);
  LeeConfiguracion(c, sin);
  EXPECT_EQ(AplicaIdioma(c), kIngles);
  EXPECT_EQ(IdiomaActual(), kIngles);
  EXPECT_EQ(c.Valor("LENGUAJE"), "3");  // the menu check mark follows
  LeeConfiguracion(c, con);
  EXPECT_TRUE(c.Fijada("General", "LENGUAJE"));
  EXPECT_EQ(AplicaIdioma(c), kCastellano);
  LeeConfiguracion(c, raro);
  EXPECT_EQ(IdiomaConfigurado(c), kCastellano);
  c.Asigna("General", "LENGUAJE", "2");  // --set
  EXPECT_EQ(IdiomaConfigurado(c), kFrances);
  c.RestableceDefectos();
  EXPECT_EQ(IdiomaConfigurado(c), kIngles);
}

// One setting saved alone: the rest of the file, comments and unknown keys included, untouched;
// a missing file is created.
TEST(IdiomaTest, GuardaAjusteSoloCambiaSuLinea) {
  const std::string dir = Carpeta();
  const std::string ini = dir + "/ORVA4.INI";
  const std::string antes =
      "; mine\n[General]\nVERSION=4.0.2.1\nLENGUAJE=0\nPROPIA=x\n[Archivos]\nDIRARCHIVOS=/d\n";
  std::ofstream(ini) << antes;
  GuardaAjuste(ini, "General", "LENGUAJE", "3");
  std::string esperado = antes;
  esperado.replace(esperado.find("LENGUAJE=0"), 10, "LENGUAJE=3");
  EXPECT_EQ(Lee(ini), esperado);

  const std::string nuevo = dir + "/sub/ORVA4.INI";
  GuardaAjuste(nuevo, "General", "LENGUAJE", "3");
  EXPECT_EQ(Lee(nuevo), "[General]\nLENGUAJE=3\n");
  Configuracion c;
  LeeConfiguracion(c, nuevo);
  EXPECT_TRUE(c.Fijada("General", "LENGUAJE"));
  EXPECT_EQ(IdiomaConfigurado(c), kIngles);
}

// The English menu bar: the top-level popups translated; popups and commands without an English
// text (numbered ranges excepted) reported; in Spanish the table's own labels.
TEST(IdiomaTest, MenusEnIngles) {
  Entorno e(nullptr, nullptr, nullptr);
  EXPECT_EQ(EtiquetaComando(5001, "&Abrir..."), "&Abrir...");
  EXPECT_EQ(TextoMenu("&Archivo"), "&Archivo");
  FijaIdioma(kIngles);
  EXPECT_EQ(EtiquetaComando(5001, "&Abrir..."), "&Open...");
  EXPECT_EQ(EtiquetaComando(5143, "Inglés"), "English");
  EXPECT_EQ(TextoMenu("&Archivo"), "&File");
  EXPECT_EQ(TextoMenu("texto sin traducir"), "texto sin traducir");
  for (const std::string& p : PopupsBarra()) EXPECT_TRUE(HayTextoMenuIngles(p)) << p;
  int sinEtiqueta = 0;
  for (const Comando& c : ComandosExpandidos()) {
    std::string camino = c.popup;
    for (size_t pos = 0; pos <= camino.size();) {
      size_t fin = camino.find('/', pos);
      if (fin == std::string::npos) fin = camino.size();
      if (!HayTextoMenuIngles(camino.substr(pos, fin - pos))) {
        std::cout << "popup '" << camino.substr(pos, fin - pos) << "' has no English title\n";
        ++sinEtiqueta;
      }
      pos = fin + 1;
    }
    const bool numerado = c.etiqueta.find_first_not_of("0123456789:") == std::string::npos ||
                          c.etiqueta.rfind("Filtro ", 0) == 0;
    if (!numerado && !HayEtiquetaIngles(c.id)) {
      // Reported, not failed: commands added since keep their Spanish label until translated.
      std::cout << "command " << c.id << " '" << c.etiqueta << "' has no English label\n";
      ++sinEtiqueta;
    }
  }
  std::cout << sinEtiqueta << " menu texts without English\n";
}
