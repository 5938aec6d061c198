// The side data file: every entry survives a round trip, line breaks included; bad lines are
// skipped.
#include <gtest/gtest.h>

#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "formats/DatosOrva.h"
#include "tests/formats/Ayuda.h"

namespace orva {
namespace {

// Analysis data with two entries of its own.
class AnalisisPrueba : public DatosAnalisis {
 public:
  std::unique_ptr<DatosAnalisis> Clona() const override {
    return std::make_unique<AnalisisPrueba>(*this);
  }
  void Guarda(std::vector<std::pair<std::string, std::string>>& e) const override {
    e.emplace_back("DOBLEA", a);
    e.emplace_back("DOBLEB", b);
  }
  bool Lee(std::string_view clave, std::string_view valor) override {
    if (clave == "DOBLEA")
      a = valor;
    else if (clave == "DOBLEB")
      b = valor;
    else
      return false;
    return true;
  }
  std::string a, b;
};

void Completa(Imagen& im) {
  im.CambiaTipoObjeto(kDoble);
  auto analisis = std::make_unique<AnalisisPrueba>();
  analisis->a = "12.5 240.25";
  analisis->b = "linea1\nlinea2";
  im.CambiaAnalisis(std::move(analisis));
  for (const auto& [clave, valor] :
       std::vector<std::pair<std::string, std::string>>{{"NOMOBJ", "M 51 = NGC 5194"},
                                                        {"AROBJ", "13h29m52s.700"},
                                                        {"DECOBJ", "-47g11m43s.000"},
                                                        {"EPOCAOBJ", "1950"},
                                                        {"FECHAOBS", "28/02/2023"},
                                                        {"HORAOBS", "23:59:59.999"},
                                                        {"TIEMPOEXP", "0.125"},
                                                        {"FILTRO", "Ha\\OIII"},
                                                        {"NOMCCD", "KAF-0400"},
                                                        {"TEMPCCD", "-15.5"},
                                                        {"FACTORRESP", "1.2 e/ADU"},
                                                        {"TELESCOPIO", "Newton 300"},
                                                        {"APERTURA", "300"},
                                                        {"DISTFOCAL", "1500"},
                                                        {"OBSERVADOR", "Pere"},
                                                        {"OBSERVATORIO", "Montsec"},
                                                        {"LONOBS", "00g43m46s.000"},
                                                        {"LATOBS", "42g03m05s.000"},
                                                        {"ALTOBS", "1570"},
                                                        {"COMENTARIO",
                                                         "primera linea\nsegunda\r\ncon \\n "
                                                         "literal; y = signos\n"}}) {
    ASSERT_TRUE(AsignaDatoImagen(im.datos, clave, valor)) << clave;
  }
  im.offsetX = -7;
  im.offsetY = 1024;
  im.puntos[kCentroRota] = {1, 100, -200};
  im.puntos[kRedimRef2] = {1, 2147483647, -2147483647};
  im.puntosTrans[0] = {1, 0.1, -1e300};
  im.puntosTrans[3] = {1, 12345.678901234567, 3.0};
}

TEST(DatosOrva, NombreJuntoALaImagen) {
  EXPECT_EQ(NombreDatosOrva("/datos/m51.qor"), "/datos/m51.qor.dat");
  EXPECT_EQ(NombreDatosOrva("m51"), "m51.dat");
}

TEST(DatosOrva, IdaYVuelta) {
  prueba::Carpeta c;
  Imagen im, leida;
  Completa(im);
  GuardaDatosOrva(im, c / "m51.qor");
  const std::string texto = prueba::Lee(c / "m51.qor.dat");
  EXPECT_EQ(texto.substr(0, 11), "ORVA DATOS\n");
  EXPECT_NE(texto.find("PCENTROROTA=1 100 -200\n"), std::string::npos);
  EXPECT_NE(texto.find("COMENTARIO=primera linea\\nsegunda\\r\\ncon \\\\n literal; y = "
                       "signos\\n\n"),
            std::string::npos);

  leida.CambiaTipoObjeto(kDoble);
  leida.CambiaAnalisis(std::make_unique<AnalisisPrueba>());
  ASSERT_TRUE(LeeDatosOrva(leida, c / "m51.qor"));
  EXPECT_EQ(TextoDatosOrva(leida), texto);
  EXPECT_EQ(leida.datos.comentario, im.datos.comentario);
  EXPECT_EQ(leida.offsetX, -7);
  EXPECT_EQ(leida.puntos[kRedimRef2].x, 2147483647);
  EXPECT_EQ(leida.puntosTrans[0].y, -1e300);
  EXPECT_EQ(leida.puntosTrans[3].x, 12345.678901234567);
  EXPECT_EQ(static_cast<AnalisisPrueba&>(leida.Analisis()).b, "linea1\nlinea2");
}

TEST(DatosOrva, SinArchivo) {
  prueba::Carpeta c;
  Imagen im;
  EXPECT_FALSE(LeeDatosOrva(im, c / "nada.qor"));
}

TEST(DatosOrva, LineasMalasSeSaltan) {
  Imagen im;
  im.datos.filtro = "R";
  im.datos.fechaHora.AsignaFecha(Fecha(5, 5, 2005));
  const std::string texto = std::string("ORVA DATOS\r\n") +
                            "basura sin igual\r\n"
                            "=sin clave\r\n"
                            "FECHAOBS=31/02/2020\r\n"
                            "HORAOBS=ayer\r\n"
                            "PORIROTAHOR=1 5\r\n"
                            "PDESPMIN=1 5 6\r\n"
                            "PTRANS9=1 2 3\r\n"
                            "PTRANS2=1 2\r\n"
                            "OFFSETX=muchos\r\n"
                            "DESCONOCIDA=1\r\n" +
                            std::string("\0\0\0", 3) + "\n" + std::string(100000, 'x') +
                            "\nNOMOBJ=Vega\\\n"
                            "ALTOBS=99999999999999\n"
                            "EPOCAOBJ=2000";  // last line without its end
  ASSERT_TRUE(AplicaDatosOrva(im, texto));
  EXPECT_EQ(im.datos.fechaHora.FechaDia(), Fecha(5, 5, 2005));
  EXPECT_EQ(im.datos.filtro, "R");
  EXPECT_EQ(im.puntos[kOriRotaHor].definido, 0);
  EXPECT_EQ(im.puntos[kDespMin].x, 5);
  EXPECT_EQ(im.puntosTrans[1].definido, 0);
  EXPECT_EQ(im.offsetX, 0);
  EXPECT_EQ(im.datos.nombreObjeto, "Vega\\");
  EXPECT_EQ(im.datos.epoca, 2000);

  Imagen otra;
  otra.datos.filtro = "B";
  EXPECT_FALSE(AplicaDatosOrva(otra, "ORVA DATO\nFILTRO=V\n"));
  EXPECT_FALSE(AplicaDatosOrva(otra, ""));
  EXPECT_EQ(otra.datos.filtro, "B");
}

}  // namespace
}  // namespace orva
