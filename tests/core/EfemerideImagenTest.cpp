// The ephemeris lines of a planet image: taken from its date, time and observatory, with a
// clear line when the date or the time is missing, and shown in its data pane.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/JError.h"
#include "core/EfemerideImagen.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/TiposObjeto.h"
#include "shell/Modulos.h"

namespace orva {
namespace {

TEST(EfemerideImagen, FechaHoraYObservatorioDeLaImagen) {
  struct Caso {
    const char *fecha, *hora, *lon, *lat;
    const char* primeraLinea;  // a part of it
  };
  const Caso kCasos[] = {
      {"", "", "", "", "Falta la fecha y hora de observaci"},
      {"12/03/2021", "", "", "", "Falta la hora de observaci"},
      {"", "22:10:00", "", "", "Falta la fecha de observaci"},
      {"12/03/2021", "22:10:00", "", "", "geocentrica (sin observatorio)"},
      {"12/03/2021", "22:10:00", "", "40g24m00s.000", "geocentrica (sin observatorio)"},
      {"12/03/2021", "22:10:00", "003g42m00s.000", "40g24m00s.000", "topocentrica"},
  };
  for (const Caso& c : kCasos) {
    SCOPED_TRACE(std::string(c.fecha) + " " + c.hora + " " + c.lon + " " + c.lat);
    DatosImagen d;
    d.tipoObjeto = kSaturno;
    for (auto [clave, valor] : {std::pair{"FECHAOBS", c.fecha}, std::pair{"HORAOBS", c.hora},
                                std::pair{"LONOBS", c.lon}, std::pair{"LATOBS", c.lat}}) {
      if (*valor) {
        ASSERT_TRUE(AsignaDatoImagen(d, clave, valor));
      }
    }
    const std::vector<std::string> l = LineasEfemerideImagen(d);
    ASSERT_FALSE(l.empty());
    EXPECT_NE(l[0].find(c.primeraLinea), std::string::npos) << l[0];
  }
  // The site moves a near planet's place; other types get no lines.
  DatosImagen d;
  d.tipoObjeto = kMarte;
  AsignaDatoImagen(d, "FECHAOBS", "28/08/2003");
  AsignaDatoImagen(d, "HORAOBS", "00:00:00");
  const Efemeride geo = EfemerideImagen(d, Planeta::kMarte);
  AsignaDatoImagen(d, "LONOBS", "003g42m00s.000");
  AsignaDatoImagen(d, "LATOBS", "40g24m00s.000");
  const Efemeride topo = EfemerideImagen(d, Planeta::kMarte);
  EXPECT_GT(std::fabs(geo.dec - topo.dec), 5e-5);
  d.tipoObjeto = kEstelar;
  EXPECT_TRUE(LineasEfemerideImagen(d).empty());
}

TEST(EfemerideImagen, EnElPanelDeDatos) {
  CreaModulos();
  Imagen im;
  im.CambiaTipoObjeto(kJupiter);
  AsignaDatoImagen(im.datos, "FECHAOBS", "01/01/2000");
  AsignaDatoImagen(im.datos, "HORAOBS", "12:00:00");
  std::vector<std::string> l;
  InformacionImagen(im, l);
  ASSERT_GT(l.size(), 3u);
  EXPECT_EQ(l[0], "01/01/2000 (12:00:00.000) 0.000 seg.");
  EXPECT_EQ(l[2].rfind("Efemeride JUPITER:", 0), 0u) << l[2];
}

}  // namespace
}  // namespace orva
