// File-dialog patterns in any letter case, extensions of saved names, recent files.
#include "shell/ArchivosEscritorio.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include "formats/TiposArchivo.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

bool Alguno(const std::vector<std::string>& patrones, const char* nombre) {
  for (const std::string& p : patrones) {
    if (fnmatch(p.c_str(), nombre, 0) == 0) return true;
  }
  return false;
}

TEST(ArchivosEscritorio, PatronesEncuentranCadaExtensionEnCualquierCaso) {
  Configuracion::Global().RestableceDefectos();
  struct Caso {
    int tipo;
    std::vector<const char*> si, no;
  };
  const Caso casos[] = {
      {kFits,
       {"x.fits", "y.FIT", "a.Fts", "b.fz", "c.FITS", "d.fit"},
       {"x.fits.txt", "fits", "x.qor", "x.fitz"}},
      {kQor, {"a.qor", "a.QOR", "a.Qor"}, {"a.fits", "a.qo"}},
      {kTiff, {"a.tif", "a.TIF"}, {"a.gif"}},
  };
  for (const Caso& k : casos) {
    const std::vector<std::string> p = PatronesTipo(*BuscaTipoArchivo(k.tipo));
    for (const char* n : k.si) EXPECT_TRUE(Alguno(p, n)) << k.tipo << " " << n;
    for (const char* n : k.no) EXPECT_FALSE(Alguno(p, n)) << k.tipo << " " << n;
  }
  // A type of every name stays one pattern; a user's filter keeps its own wildcards.
  RegistroTipoArchivo t;
  t.filtro = "*.*;*.A?C; *.dat";
  EXPECT_EQ(PatronesTipo(t), (std::vector<std::string>{"*", "*.A?C", "*.[dD][aA][tT]"}));
  EXPECT_EQ(ExtensionTipo(t), ".dat");
  EXPECT_EQ(ExtensionTipo(*BuscaTipoArchivo(kQor)), ".QOR");
}

TEST(ArchivosEscritorio, ExtensionSoloCuandoFalta) {
  const std::pair<const char*, const char*> casos[] = {
      {"salida", "salida.QOR"},
      {"salida.qor", "salida.qor"},
      {"/d.x/salida", "/d.x/salida.QOR"},
      {"/d/.oculto", "/d/.oculto.QOR"},
      {"a.b.c", "a.b.c"},
  };
  for (auto [entrada, esperado] : casos) EXPECT_EQ(ConExtension(entrada, ".QOR"), esperado);
  EXPECT_EQ(ConExtension("salida", ""), "salida");
}

TEST(ArchivosEscritorio, RecientesSinRepetirYAcotados) {
  Configuracion::Global().RestableceDefectos();
  EXPECT_TRUE(ArchivosRecientes().empty());
  std::vector<std::string> l;
  for (int i = 0; i < 10; ++i) l = AnadeReciente(l, "/f" + std::to_string(i));
  l = AnadeReciente(l, "/f5");
  ASSERT_EQ(l.size(), kMaxRecientes);
  EXPECT_EQ(l.front(), "/f5");
  EXPECT_EQ(l[1], "/f9");
  EXPECT_EQ(std::count(l.begin(), l.end(), "/f5"), 1);
  EXPECT_EQ(l.back(), "/f2");
  GuardaRecientes(l);
  EXPECT_EQ(ArchivosRecientes(), l);
  GuardaRecientes({"/solo"});
  EXPECT_EQ(ArchivosRecientes(), std::vector<std::string>{"/solo"});
  Configuracion::Global().RestableceDefectos();
}

}  // namespace
}  // namespace orva
