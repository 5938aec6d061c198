// The subcommand reseau: the reseau marks of a spacecraft frame, its geometric correction and
// its navigation data.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "cli/Ordenes.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/Archivo.h"
#include "formats/TiposArchivo.h"
#include "spacecraft/MacroReseau.h"
#include "spacecraft/Navegacion.h"
#include "spacecraft/Reseau.h"

namespace orva {
namespace {

constexpr uint64_t kMaxTabla = uint64_t{1} << 22;  // bytes of a grid table read

std::string LeeTexto(const std::string& archivo) {
  Archivo f(archivo, Archivo::kLectura);
  const uint64_t L = f.Longitud();
  if (L > kMaxTabla) throw JError(12562, "0", archivo);  // 12562
  std::string t(static_cast<size_t>(L), '\0');
  t.resize(f.LeeHasta(t.data(), t.size()));
  return t;
}

}  // namespace

int OrdenReseau(const Argumentos& args) {
  std::string archivo, csv, corregida, tabla;
  bool quita = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool conValor = a == "--csv" || a == "--correct" || a == "--grid";
    if (conValor && i + 1 >= args.size()) throw ErrorUso("option " + a + " needs a value");
    if (a == "--csv") {
      csv = args[++i];
    } else if (a == "--correct") {
      corregida = args[++i];
    } else if (a == "--grid") {
      tabla = args[++i];
    } else if (a == "--remove-marks") {
      quita = true;
    } else if (a.size() > 1 && a[0] == '-') {
      throw ErrorUso("unknown option " + a);
    } else if (archivo.empty()) {
      archivo = a;
    } else {
      throw ErrorUso("reseau needs exactly one file");
    }
  }
  if (archivo.empty()) throw ErrorUso("reseau needs exactly one file");
  if (quita && corregida.empty()) throw ErrorUso("--remove-marks needs --correct OUT");
  Imagen im;
  LeeArchivo(archivo, im);
  if (im.Vacia()) throw JError(11143, archivo);
  // --grid names one of the cameras' tables or a table file.
  std::optional<RejillaReseau> camara;
  if (!tabla.empty()) camara = RejillaCamara(tabla);
  const RejillaReseau rejilla = tabla.empty() ? RejillaParaImagen(im)
                                : camara      ? std::move(*camara)
                                              : LeeRejillaReseau(LeeTexto(tabla));
  const OpcionesReseau op;
  const std::vector<MarcaEncontrada> m = BuscaMarcas(im, rejilla, op, &ProgresoActual());
  const size_t encontradas = static_cast<size_t>(
      std::count_if(m.begin(), m.end(), [](const MarcaEncontrada& e) { return e.encontrada; }));
  std::printf("Retícula %s: %zu de %zu marcas encontradas\n", rejilla.nombre.c_str(), encontradas,
              m.size());
  const std::string faltan = MarcasNoEncontradas(rejilla, m, m.size());
  if (!faltan.empty()) std::printf("No encontradas:%s\n", faltan.c_str());
  for (const std::string& l : LineasNavegacion(Navega(im))) std::printf("%s\n", l.c_str());
  if (!csv.empty()) EscribeArchivoSeguro(csv, TablaMarcas(rejilla, m));
  if (!corregida.empty()) {
    CorrigeReseau(im, rejilla, m, quita, ProgresoActual());
    GuardaArchivo(corregida, im, TipoPorExtension(corregida));
  }
  CompruebaSalida();
  return 0;
}

}  // namespace orva
