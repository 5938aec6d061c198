// planet: the ephemeris of a planet for an image or for a date, time and site.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <optional>
#include <string>

#include "astro/Planetas.h"
#include "base/JError.h"
#include "cli/Ordenes.h"
#include "core/EfemerideImagen.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "formats/TiposArchivo.h"

namespace orva {
namespace {

constexpr double kRadianesGrado = std::numbers::pi / 180.0;
constexpr double kLatitudMaxima = 90.0;
constexpr double kLongitudMaxima = 360.0;

void CompruebaSitio(double lon, double lat) {
  if (std::fabs(lat) > kLatitudMaxima) throw ErrorUso("latitude out of -90..90");
  if (std::fabs(lon) > kLongitudMaxima) throw ErrorUso("longitude out of -360..360");
}

}  // namespace

int OrdenPlanet(const Argumentos& args) {
  std::string archivo, fecha, hora, cuerpo;
  std::optional<double> lon, lat;
  double alt = 0.0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto valor = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw ErrorUso("option " + a + " needs a value");
      return args[++i];
    };
    if (a == "--date") {
      fecha = valor();
    } else if (a == "--time") {
      hora = valor();
    } else if (a == "--body") {
      cuerpo = valor();
    } else if (a == "--lon") {
      lon = Numero(valor(), a);
    } else if (a == "--lat") {
      lat = Numero(valor(), a);
    } else if (a == "--alt") {
      alt = Numero(valor(), a);
    } else if (a == "--site") {
      // LON,LAT[,ALT]: degrees (longitude positive west, as the observation data) and metres.
      const std::string s = valor();
      const size_t c1 = s.find(',');
      if (c1 == std::string::npos) throw ErrorUso("--site needs LON,LAT[,ALT]");
      const size_t c2 = s.find(',', c1 + 1);
      lon = Numero(s.substr(0, c1), a);
      lat = Numero(s.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1), a);
      if (c2 != std::string::npos) alt = Numero(s.substr(c2 + 1), a);
    } else if (a.size() > 1 && a[0] == '-') {
      throw ErrorUso("unknown option " + a);
    } else if (archivo.empty()) {
      archivo = a;
    } else {
      throw ErrorUso("planet takes at most one file");
    }
  }
  if (lon.has_value() != lat.has_value()) throw ErrorUso("--lon and --lat go together");
  if (lon) CompruebaSitio(*lon, *lat);
  if (archivo.empty() && cuerpo.empty()) {
    throw ErrorUso("planet needs FILE or --date D/M/Y --time H:M:S --body NAME");
  }

  DatosImagen d;
  if (!archivo.empty()) {
    Imagen im;
    LeeArchivo(archivo, im);
    d = im.datos;
  }
  std::optional<Planeta> planeta;
  if (!cuerpo.empty()) {
    planeta = PlanetaDeNombre(cuerpo);
    if (!planeta) throw JError(12462, cuerpo);  // 12462
  } else {
    planeta = PlanetaDeTipo(d.tipoObjeto);
    if (!planeta) {
      throw JError(12463, archivo,
                   PalabraTipoObjeto(d.tipoObjeto < 0 ? kDesconocido : d.tipoObjeto));  // 12463
    }
  }
  // Options given on the line replace the image's data.
  if (!fecha.empty() && !AsignaDatoImagen(d, "FECHAOBS", fecha)) throw ErrorUso("bad --date");
  if (!hora.empty() && !AsignaDatoImagen(d, "HORAOBS", hora)) throw ErrorUso("bad --time");
  if (lon) {
    d.observatorio.longitud.AsignaRadianes(*lon * kRadianesGrado);
    d.observatorio.latitud.AsignaRadianes(*lat * kRadianesGrado);
    d.observatorio.altitud = static_cast<int32_t>(alt);
    d.conValor.insert("LONOBS");
    d.conValor.insert("LATOBS");
    d.conValor.insert("ALTOBS");
  }
  const Efemeride e = EfemerideImagen(d, *planeta);
  std::printf("%s UT\n", d.fechaHora.Texto().c_str());
  for (const std::string& l : LineasEfemeride(e)) std::printf("%s\n", l.c_str());
  CompruebaSalida();
  return 0;
}

}  // namespace orva
