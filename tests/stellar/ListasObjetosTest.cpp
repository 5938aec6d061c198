// The lists of objects and observatories: reading, refusing bad lines, safe writing, applying
// an entry to the image data, and the time and air mass of an image's data.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "stellar/CircunstanciasImagen.h"
#include "stellar/ListasObjetos.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

class ListasObjetos : public ::testing::Test {
 protected:
  void SetUp() override {
    char plantilla[] = "/tmp/orva_listasXXXXXX";
    ASSERT_NE(::mkdtemp(plantilla), nullptr);
    carpeta_ = plantilla;
  }
  void TearDown() override { fs::remove_all(carpeta_); }
  std::string Escribe(const std::string& nombre, const std::string& texto) {
    const std::string ruta = carpeta_ + "/" + nombre;
    std::ofstream(ruta, std::ios::binary) << texto;
    return ruta;
  }
  static std::string Lee(const std::string& ruta) {
    std::ifstream f(ruta, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  std::string carpeta_;
};

TEST_F(ListasObjetos, LeeGuardaYAplica) {
  const std::string objetos =
      Escribe("OBJETOS.TXT",
              "# comment\n\n"
              "V566 Oph ; 17h56m52s.300;04g59m15s.000;2000;EW;0.40964569;2452000.4521\r\n"
              "RZ Cas;02h48m55s.500;69g38m03s.400;2000;EA\n");
  const std::vector<ObjetoLista> lista = LeeListaObjetos(objetos);
  ASSERT_EQ(lista.size(), 2u);
  EXPECT_EQ(lista[0].nombre, "V566 Oph");
  EXPECT_EQ(lista[0].dec.Texto(), "04g59m15s.000");
  ASSERT_TRUE(lista[0].periodo && lista[0].epocaMinimo);
  EXPECT_EQ(*lista[0].periodo, 0.40964569);
  EXPECT_EQ(*lista[0].epocaMinimo, 2452000.4521);
  EXPECT_FALSE(lista[1].periodo || lista[1].epocaMinimo);

  // Written back and read again: the same entries, every digit kept.
  const std::string copia = RutaListaObjetos(carpeta_ + "/nueva/carpeta");
  GuardaListaObjetos(copia, lista);
  const std::vector<ObjetoLista> otra = LeeListaObjetos(copia);
  ASSERT_EQ(otra.size(), 2u);
  for (size_t i = 0; i < 2; ++i) EXPECT_EQ(CamposObjeto(otra[i]), CamposObjeto(lista[i]));

  const std::string sitios =
      Escribe("OBSERVATORIOS.TXT", "Calar Alto;02g32m45s.600;37g13m25s.000;2168\n");
  const std::vector<ObservatorioLista> observatorios = LeeListaObservatorios(sitios);
  ASSERT_EQ(observatorios.size(), 1u);

  DatosImagen d;
  AplicaObjeto(BuscaObjeto(lista, "rz cas", objetos), d);
  AplicaObservatorio(BuscaObservatorio(observatorios, "CALAR ALTO", sitios), d);
  EXPECT_EQ(TextoDatoImagen(d, "NOMOBJ"), "RZ Cas");
  EXPECT_EQ(TextoDatoImagen(d, "AROBJ"), "02h48m55s.500");
  EXPECT_EQ(TextoDatoImagen(d, "OBSERVATORIO"), "Calar Alto");
  EXPECT_EQ(TextoDatoImagen(d, "LONOBS"), "02g32m45s.600");
  EXPECT_EQ(TextoDatoImagen(d, "ALTOBS"), "2168");
  for (const char* clave : {"AROBJ", "DECOBJ", "EPOCAOBJ", "LONOBS", "LATOBS", "ALTOBS"}) {
    EXPECT_TRUE(TieneDatoImagen(d, clave)) << clave;
  }
  try {
    BuscaObjeto(lista, "SZ Cam", objetos);
    ADD_FAILURE();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12384);
    EXPECT_EQ(e.Argumento(2), objetos);
  }
  // A missing file is an empty list; a folder is no list.
  EXPECT_TRUE(LeeListaObservatorios(carpeta_ + "/no.txt").empty());
  fs::create_directory(carpeta_ + "/carpeta");
  EXPECT_THROW(LeeListaObservatorios(carpeta_ + "/carpeta"), JError);
}

TEST_F(ListasObjetos, LineaIlegalNombraArchivoYLinea) {
  struct Caso {
    const char* linea;
    bool objeto;
    int razon;  // the id of the reason inside 12380
  };
  const Caso casos[] = {
      {"X;01h00m00s.000;10g00m00s.000", true, 12381},
      {"X;01h00m00s.000;10g00m00s.000;2000;EA;1;2;3", true, 12381},
      {";01h00m00s.000;10g00m00s.000;2000;EA", true, 12382},
      {"X;25h00m00s.000;10g00m00s.000;2000;EA", true, 10137},
      {"X;01h00m00s.000;95g00m00s.000;2000;EA", true, 10142},
      {"X;01h00m00s.000;10g00m00s.000;20x0;EA", true, 12386},
      {"X;01h00m00s.000;10g00m00s.000;2000;EA;-0.5", true, 12386},
      {"X;01h00m00s.000;10g00m00s.000;2000;EA;0.5;nan", true, 12386},
      {"A;01h00m00s.000;10g00m00s.000;2000;EA", true, 12383},  // repeats "a" of line 2
      {"S;181g00m00s.000;10g00m00s.000;0", false, 10147},
      {"S;10g00m00s.000;-91g00m00s.000;0", false, 10152},
      {"S;10g00m00s.000;10g00m00s.000;12.5", false, 12386},
      {"S;10g00m00s.000", false, 12381},
      {"a;10g00m00s.000;10g00m00s.000", false, 12383},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.linea);
    const std::string primera =
        c.objeto ? "a;00h00m00s.000;00g00m00s.000;2000;\n" : "a;00g00m00s.000;00g00m00s.000;0\n";
    const std::string ruta = Escribe("lista.txt", "# list\n" + primera + c.linea + "\n");
    try {
      if (c.objeto) {
        LeeListaObjetos(ruta);
      } else {
        LeeListaObservatorios(ruta);
      }
      ADD_FAILURE();
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 12380);
      EXPECT_EQ(e.Argumento(1), ruta);
      EXPECT_EQ(e.Argumento(2), "3");
      // The reason, with the text of its own message.
      const std::string razon = Cadena(c.razon);
      EXPECT_EQ(e.Argumento(3).rfind(razon.substr(0, razon.find('%')), 0), 0u) << e.Mensaje();
    }
  }
}

TEST_F(ListasObjetos, GuardarRechazaNombresSinTocarElArchivo) {
  const std::string ruta = Escribe("OBSERVATORIOS.TXT", "# old\nx;00g00m00s.000;00g00m00s.000;0\n");
  ObservatorioLista o;
  o.nombre = "Uno";
  for (const char* malo : {"uno", "", "a;b"}) {
    ObservatorioLista otro;
    otro.nombre = malo;
    EXPECT_THROW(GuardaListaObservatorios(ruta, {o, otro}), JError) << malo;
    EXPECT_EQ(Lee(ruta), "# old\nx;00g00m00s.000;00g00m00s.000;0\n");
  }
}

TEST(CircunstanciasImagen, FaltanDatosDanSuError) {
  DatosImagen completa;
  AsignaDatoImagen(completa, "FECHAOBS", "14/03/2019");
  AsignaDatoImagen(completa, "HORAOBS", "22:15:30");
  AsignaDatoImagen(completa, "TIEMPOEXP", "120");
  AsignaDatoImagen(completa, "AROBJ", "05h35m17s.300");
  AsignaDatoImagen(completa, "DECOBJ", "-05g23m28s.000");
  AsignaDatoImagen(completa, "LONOBS", "03g23m03s.840");
  AsignaDatoImagen(completa, "LATOBS", "37g13m24s.960");
  // The mid-exposure instant of the astro tests' first astropy case.
  EXPECT_NEAR(DiaJulianoImagen(completa), 2458557.428125, 1e-6);
  EXPECT_NEAR(CircunstanciasImagen(completa).masaAire, 2.81921, 1e-3);
  struct Caso {
    const char* vacia;
    int idHelio;  // 0: DiaJulianoHelioImagen still answers
    int idCircunstancias;
  };
  const Caso casos[] = {
      {"FECHAOBS", 12387, 12387}, {"HORAOBS", 12387, 12387}, {"AROBJ", 12388, 12388},
      {"DECOBJ", 12388, 12388},   {"LONOBS", 0, 0},          {"TIEMPOEXP", 0, 0},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.vacia);
    DatosImagen d = completa;
    AsignaDatoImagen(d, c.vacia, "");
    auto id = [](auto f) {
      try {
        f();
      } catch (const JError& e) {
        return e.Id();
      }
      return 0;
    };
    EXPECT_EQ(id([&] { DiaJulianoHelioImagen(d); }), c.idHelio);
    EXPECT_EQ(id([&] { CircunstanciasImagen(d); }), c.idCircunstancias);
  }
  DatosImagen sinSitio = completa;
  AsignaDatoImagen(sinSitio, "LONOBS", "");
  AsignaDatoImagen(sinSitio, "LATOBS", "");
  try {
    CircunstanciasImagen(sinSitio);
    ADD_FAILURE();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12389);
  }
}

}  // namespace
}  // namespace orva
