// Safe writing: what a path names decides where the bytes go, and what is never replaced.
#include "base/EscrituraSegura.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "base/JError.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

std::string Lee(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

class EscrituraSeguraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char plantilla[] = "/tmp/orva-escritura-XXXXXX";
    ASSERT_NE(::mkdtemp(plantilla), nullptr);
    dir_ = plantilla;
    fs::create_directory(dir_ / "destino");
    std::ofstream(dir_ / "destino" / "real.txt") << "viejo";
    fs::permissions(dir_ / "destino" / "real.txt", fs::perms(0640));
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Entries of a folder (no temporary file may stay behind).
  int Entradas(const fs::path& carpeta) const {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(carpeta)) ++n;
    return n;
  }

  fs::path dir_;
};

// Both ways of writing, through the same rules.
const std::function<void(const std::string&, const std::string&)> kEscritores[] = {
    [](const std::string& a, const std::string& t) { EscribeArchivoSeguro(a, t); },
    [](const std::string& a, const std::string& t) {
      ArchivoTemporal temporal(a);
      const int fd = temporal.CedeDescriptor();
      ASSERT_EQ(::write(fd, t.data(), t.size()), static_cast<ssize_t>(t.size()));
      ::close(fd);
      temporal.Confirma();
    },
};

// Links are followed: the target gets the bytes (keeping its permissions), the link stays a link;
// a dangling link creates its target.
TEST_F(EscrituraSeguraTest, SymbolicLinksWriteTheirTarget) {
  fs::create_directory(dir_ / "otra");
  fs::create_symlink("../destino/real.txt", dir_ / "otra" / "enlace.txt");
  fs::create_symlink("otra/enlace.txt", dir_ / "cadena.txt");  // a link to a link
  fs::create_symlink("destino/nuevo.txt", dir_ / "colgante.txt");
  for (const auto& escribe : kEscritores) {
    escribe((dir_ / "cadena.txt").string(), "nuevo");
    EXPECT_TRUE(fs::is_symlink(dir_ / "cadena.txt"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "otra" / "enlace.txt"));
    EXPECT_EQ(Lee(dir_ / "destino" / "real.txt"), "nuevo");
    EXPECT_EQ(fs::status(dir_ / "destino" / "real.txt").permissions() & fs::perms::all,
              fs::perms(0640));
    escribe((dir_ / "colgante.txt").string(), "creado");
    EXPECT_TRUE(fs::is_symlink(dir_ / "colgante.txt"));
    EXPECT_EQ(Lee(dir_ / "destino" / "nuevo.txt"), "creado");
    fs::remove(dir_ / "destino" / "nuevo.txt");
    EXPECT_EQ(Entradas(dir_ / "destino"), 1);
    EXPECT_EQ(Entradas(dir_ / "otra"), 1);
  }
}

// What is not a regular file is refused (12224) and left as it was; a missing folder is named
// (12223); nothing is left behind.
TEST_F(EscrituraSeguraTest, RefusesWhatIsNoFileAndNamesAMissingFolder) {
  ASSERT_EQ(::mkfifo((dir_ / "tubo").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", dir_ / "nulo");
  struct Caso {
    std::string ruta;
    int id;
    std::string argumento;  // the first argument of the message
  } const casos[] = {
      {"/dev/null", 12224, "/dev/null"},
      {(dir_ / "destino").string(), 12224, (dir_ / "destino").string()},
      {(dir_ / "tubo").string(), 12224, (dir_ / "tubo").string()},
      {(dir_ / "nulo").string(), 12224, (dir_ / "nulo").string()},
      {(dir_ / "no_hay" / "x.txt").string(), 12223, (dir_ / "no_hay").string()},
      {(dir_ / "destino" / "real.txt" / "x.txt").string(), 12223,
       (dir_ / "destino" / "real.txt").string()},
  };
  for (const auto& escribe : kEscritores) {
    for (const Caso& c : casos) {
      SCOPED_TRACE(c.ruta);
      try {
        escribe(c.ruta, "x");
        ADD_FAILURE() << "no error";
      } catch (const JError& e) {
        EXPECT_EQ(e.Id(), c.id);
        EXPECT_EQ(e.Argumento(1), c.argumento);
      }
    }
  }
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_fifo(dir_ / "tubo"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "nulo"));
  EXPECT_EQ(Lee(dir_ / "destino" / "real.txt"), "viejo");
  EXPECT_EQ(Entradas(dir_), 3);
  EXPECT_EQ(Entradas(dir_ / "destino"), 1);
}

}  // namespace
}  // namespace orva
