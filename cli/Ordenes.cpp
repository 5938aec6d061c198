// The subcommands detect, info, apply, macro and convert.
#include "cli/Ordenes.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "astro/Tiempo.h"
#include "base/JError.h"
#include "cli/ProgresoConsola.h"
#include "core/Imagen.h"
#include "core/ModuloAnalisis.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "macro/Macro.h"
#include "shell/Configuracion.h"
#include "shell/Lote.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

bool IgualSinCaso(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The type of a --type key (the registry key, upper or lower case); a usage error when none.
int TipoPorClave(const std::string& clave) {
  for (const RegistroTipoArchivo& r : ListaTiposArchivo()) {
    if (IgualSinCaso(r.clave, clave)) return r.id;
  }
  throw ErrorUso("unknown file type '" + clave + "'");
}

// The writing type: --type, else the output's extension, else TIPARCHGUARDAR (0 lets
// GuardaArchivo take that setting).
int TipoSalida(const std::string& tipo, const std::string& salida) {
  if (!tipo.empty()) return TipoPorClave(tipo);
  return TipoPorExtension(salida);
}

// Splits options from operands: "-e"/"-m"/"-o"/"--type"/"--from" take a value, "--json" none.
struct Opciones {
  Argumentos operandos;
  std::vector<std::pair<std::string, std::string>> lineas;  // ("-e", line) or ("-m", file)
  std::string tipo;
  std::string desde;  // --from: the reading type
  std::string dirSalida;
  std::string objeto;  // --object: an entry of the object list
  std::string sitio;   // --site: an entry of the observatory list
  bool json = false;
  bool enSitio = false;  // --in-place
  int procesos = 1;      // -j: files at once (0: every core)
};

// The largest -j count accepted.
constexpr long kMaxProcesos = 1024;

Opciones Analiza(const Argumentos& args, std::string_view admitidas) {
  Opciones o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto valor = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw ErrorUso("option " + a + " needs a value");
      return args[++i];
    };
    auto admite = [&](std::string_view op) {
      if (admitidas.find(op) == std::string_view::npos) throw ErrorUso("unknown option " + a);
    };
    if (a == "-e" || a == "-m") {
      admite(a);
      o.lineas.emplace_back(a, valor());
    } else if (a == "--type") {
      admite(a);
      o.tipo = valor();
    } else if (a == "--from") {
      admite(a);
      o.desde = valor();
    } else if (a == "-o") {
      admite(a);
      o.dirSalida = valor();
    } else if (a == "--object" || a == "--site") {
      admite(a);
      (a == "--object" ? o.objeto : o.sitio) = valor();
    } else if (a == "--json") {
      admite(a);
      o.json = true;
    } else if (a == "--in-place") {
      admite(a);
      o.enSitio = true;
    } else if (a == "-j") {
      admite(a);
      const std::string& v = valor();
      char* fin = nullptr;
      const long n = std::strtol(v.c_str(), &fin, 10);
      if (v.empty() || *fin != '\0' || n < 0 || n > kMaxProcesos) {
        throw ErrorUso("-j needs a count from 0 (every core) to " + std::to_string(kMaxProcesos) +
                       ", not '" + v + "'");
      }
      o.procesos = static_cast<int>(n);
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      throw ErrorUso("unknown option " + a);
    } else {
      o.operandos.push_back(a);
    }
  }
  return o;
}

void Ejecuta(Imagen& imagen, const std::vector<std::string>& lineas) {
  if (lineas.empty()) return;
  if (EjecutaMacro(imagen, lineas) == 0) throw JError(11011);  // 11011: cancelled
}

std::string Json(std::string_view s) {
  std::string r = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        r += "\\\"";
        break;
      case '\\':
        r += "\\\\";
        break;
      case '\n':
        r += "\\n";
        break;
      case '\r':
        r += "\\r";
        break;
      case '\t':
        r += "\\t";
        break;
      default:
        if (c < 0x20) {
          char b[8];
          std::snprintf(b, sizeof b, "\\u%04x", c);
          r += b;
        } else {
          r += static_cast<char>(c);
        }
    }
  }
  return r + "\"";
}

// The image data fields that hold numbers.
constexpr std::string_view kDatosNumericos[] = {"EPOCAOBJ", "TIEMPOEXP", "TEMPCCD",
                                                "APERTURA", "DISTFOCAL", "ALTOBS"};

// A number's text as a JSON number; null when it is none (or not finite).
std::string NumeroJson(const std::string& texto) {
  char* fin = nullptr;
  const double v = std::strtod(texto.c_str(), &fin);
  if (texto.empty() || *fin != '\0' || !std::isfinite(v)) return "null";
  return texto;
}

std::string Real(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.3f", v);
  return b;
}

}  // namespace

bool& HilosEnLinea() {
  static bool dados = false;
  return dados;
}

void ImprimeError(int id, const std::string& texto) {
  // One line: the few messages with line breaks are joined with blanks.
  std::string linea = texto;
  for (char& c : linea) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::fprintf(stderr, "orva: %d: %s\n", id, linea.c_str());
}

void CompruebaSalida() {
  errno = 0;
  const bool falla = std::fflush(stdout) != 0;
  const int error = errno;
  if (falla || std::ferror(stdout)) {
    std::clearerr(stdout);
    throw JError(12230, std::strerror(error ? error : EIO));  // 12230
  }
}

int OrdenDetect(const Argumentos& args) {
  const Opciones o = Analiza(args, "");
  if (o.operandos.empty()) throw ErrorUso("detect needs at least one file");
  int estado = 0;
  for (const std::string& archivo : o.operandos) {
    try {
      const int tipo = DetectaTipoArchivo(archivo);
      const RegistroTipoArchivo* r = BuscaTipoArchivo(tipo);
      const std::string clave = r ? r->clave : tipo == kDatosOrva ? "DATOS" : "-";
      std::printf("%s: %d %s\n", archivo.c_str(), tipo, clave.c_str());
      CompruebaSalida();  // lines and error lines in file order
    } catch (const JError& e) {
      ImprimeError(e.Id(), e.Mensaje());
      estado = 1;
    }
  }
  return estado;
}

int OrdenInfo(const Argumentos& args) {
  const Opciones o = Analiza(args, "--json");
  if (o.operandos.size() != 1) throw ErrorUso("info needs exactly one file");
  Imagen im;
  LeeArchivo(o.operandos[0], im);
  std::vector<std::pair<std::string, std::string>> campos = {
      {"ARCHIVO", o.operandos[0]},
      {"TIPO", std::to_string(im.tipoArchivo)},
      {"CLAVETIPO", im.claveTipoArchivo},
      {"ANCHO", std::to_string(im.Ancho())},
      {"ALTO", std::to_string(im.Alto())},
      {"BITS", std::to_string(im.bitsPixel)},
      {"PALETA", std::to_string(im.esPaleta)},
      {"OFFSETX", std::to_string(im.offsetX)},
      {"OFFSETY", std::to_string(im.offsetY)},
  };
  // A palette image has no gray statistics.
  if (!im.esPaleta) {
    campos.insert(campos.end(), {{"MINIMO", std::to_string(im.Minimo())},
                                 {"MAXIMO", std::to_string(im.Maximo())},
                                 {"MEDIA", Real(im.Media())},
                                 {"DESVIACION", Real(im.Desviacion())},
                                 {"MODA", std::to_string(im.ValorModa())},
                                 {"NUMMODA", std::to_string(im.NumModa())}});
  }
  std::vector<std::pair<std::string, std::string>> datos;
  for (const std::string& clave : ClavesDatosImagen()) {
    datos.emplace_back(clave, TextoDatoImagen(im.datos, clave));
  }
  std::vector<std::string> lineas;
  InformacionImagen(im, lineas);

  if (!o.json) {
    for (const auto& [k, v] : campos) std::printf("%s=%s\n", k.c_str(), v.c_str());
    for (const auto& [k, v] : datos) std::printf("%s=%s\n", k.c_str(), v.c_str());
    for (const std::string& l : lineas) std::printf("%s\n", l.c_str());
    return 0;
  }
  std::string s = "{";
  for (const auto& [k, v] : campos) {
    const bool texto = k == "ARCHIVO" || k == "CLAVETIPO";
    s += Json(k) + ": " + (texto ? Json(v) : NumeroJson(v)) + ", ";
  }
  // Numbers as numbers, text as strings, empty text as null; the date and time also in ISO 8601.
  s += "\"DATOS\": {";
  for (size_t i = 0; i < datos.size(); ++i) {
    const auto& [k, v] = datos[i];
    const bool numero = std::find(std::begin(kDatosNumericos), std::end(kDatosNumericos), k) !=
                        std::end(kDatosNumericos);
    // A field the file or the user never gave is null, not its default.
    // The object type always has a keyword (DESCONOCIDO until given).
    const bool tiene = k == "TIPOOBJ" || TieneDatoImagen(im.datos, k);
    s += (i ? ", " : "") + Json(k) + ": " +
         (!tiene || v.empty() ? "null" : numero ? NumeroJson(v) : Json(v));
    if (!tiene && (k == "FECHAOBS" || k == "HORAOBS")) {
      s += k == "FECHAOBS" ? ", \"FECHAOBS_ISO\": null"
                           : ", \"HORAOBS_ISO\": null, \"FECHAHORAOBS_ISO\": null";
      continue;
    }
    const Fecha& f = im.datos.fechaHora.FechaDia();
    const Hora& h = im.datos.fechaHora.HoraDia();
    char iso[64];
    if (k == "FECHAOBS") {
      std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", f.Anio(), f.Mes(), f.Dia());
      s += ", \"FECHAOBS_ISO\": " + Json(iso);
    } else if (k == "HORAOBS") {
      std::snprintf(iso, sizeof iso, "%02d:%02d:%02d.%03d", h.Horas(), h.Minutos(), h.Segundos(),
                    h.Milisegundos());
      s += ", \"HORAOBS_ISO\": " + Json(iso);
      std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", f.Anio(), f.Mes(),
                    f.Dia(), h.Horas(), h.Minutos(), h.Segundos(), h.Milisegundos());
      s += ", \"FECHAHORAOBS_ISO\": " + Json(iso);
    }
  }
  s += "}, \"ANALISIS\": [";
  for (size_t i = 0; i < lineas.size(); ++i) s += (i ? ", " : "") + Json(lineas[i]);
  s += "]}";
  std::printf("%s\n", s.c_str());
  return 0;
}

int OrdenApply(const Argumentos& args) {
  const Opciones o = Analiza(args, "-e -m --type --object --site");
  if (o.operandos.size() != 2) throw ErrorUso("apply needs IN and OUT");
  const int tipo = TipoSalida(o.tipo, o.operandos[1]);
  std::vector<std::string> lineas;
  for (const auto& [op, valor] : o.lineas) {
    if (op == "-e") {
      lineas.push_back(valor);
    } else {
      for (std::string& l : CargaMacroExistente(valor)) lineas.push_back(std::move(l));
    }
  }
  Imagen im;
  LeeArchivo(o.operandos[0], im);
  AplicaListas(o.objeto, o.sitio, im.datos);
  {
    SesionProgreso sesion("EJECUTANDO MACRO");
    ProgresoActual().TextoArchivo(o.operandos[0]);
    Ejecuta(im, lineas);
  }
  GuardaArchivo(o.operandos[1], im, tipo);
  return 0;
}

int OrdenConvert(const Argumentos& args) {
  const Opciones o = Analiza(args, "--type --from --object --site");
  if (o.operandos.size() != 2) throw ErrorUso("convert needs IN and OUT");
  const int tipo = TipoSalida(o.tipo, o.operandos[1]);
  int tipoLeer = kTipoDesconocido;
  if (!o.desde.empty()) {
    // The type asked for reads the file even where detection would name another (GENERAL is
    // never detected); this run only.
    tipoLeer = TipoPorClave(o.desde);
    Configuracion::Global().Asigna("Archivos", "TIPOAUTO", "0");
  }
  Imagen im;
  LeeArchivo(o.operandos[0], im, tipoLeer);
  AplicaListas(o.objeto, o.sitio, im.datos);
  GuardaArchivo(o.operandos[1], im, tipo);
  return 0;
}

int OrdenMacro(const Argumentos& args) {
  const Opciones o = Analiza(args, "-o --type --in-place -j");
  if (o.operandos.size() < 2) throw ErrorUso("macro needs a macro file and at least one file");
  AjustesLote ajustes = LeeAjustesLote();
  ajustes.tipoFijo = o.tipo.empty() ? 0 : TipoPorClave(o.tipo);
  ajustes.carpetaSalida = o.dirSalida;
  const std::vector<std::string> lineas = CargaMacroExistente(o.operandos[0]);
  const std::vector<ArchivoLote> plan =
      PlanificaLote(Argumentos(o.operandos.begin() + 1, o.operandos.end()), ajustes);
  try {
    CompruebaLote(plan, ajustes, o.enSitio);
  } catch (const JError& e) {
    if (e.Id() != 12220) throw;
    ImprimeError(e.Id(), e.Mensaje());
    std::fputs("orva: --in-place replaces the input files with their results\n", stderr);
    return 1;
  }

  auto borra = [] {
    if (auto* consola = dynamic_cast<ProgresoConsola*>(&ProgresoActual())) consola->Borra();
  };
  // Files processed side by side run one thread each unless --threads asked for more.
  ParaleloLote paralelo;
  paralelo.procesos = o.procesos == 0 ? NucleosDisponibles() : o.procesos;
  paralelo.hilosPorProceso = HilosEnLinea() ? 0 : 1;
  const ResumenLote resumen = EjecutaLote(
      lineas, plan,
      [&](const ResultadoLote& r) {
        borra();
        if (r.bien) {
          std::printf("%s -> %s\n", r.archivo->entrada.c_str(), r.archivo->salida.c_str());
          std::fflush(stdout);  // lines and error lines in file order
        } else {
          ImprimeError(r.idError, r.archivo->entrada + ": " + r.error);
        }
      },
      paralelo);
  if (resumen.cancelado) throw JError(11011);  // 11011
  return resumen.fallidos == 0 ? 0 : 1;
}

double Numero(const std::string& texto, const std::string& que) {
  char* fin = nullptr;
  const double v = std::strtod(texto.c_str(), &fin);
  if (texto.empty() || *fin != '\0' || !std::isfinite(v)) {
    throw ErrorUso(que + " must be a number, not '" + texto + "'");
  }
  return v;
}

long Entero(const std::string& texto, const std::string& que, long minimo, long maximo) {
  char* fin = nullptr;
  const long v = std::strtol(texto.c_str(), &fin, 10);
  if (texto.empty() || *fin != '\0' || v < minimo || v > maximo) {
    throw ErrorUso(que + " needs a whole number from " + std::to_string(minimo) + " to " +
                   std::to_string(maximo) + ", not '" + texto + "'");
  }
  return v;
}

void AnadeArchivos(const std::string& arg, std::vector<std::string>& archivos) {
  if (arg.size() < 2 || arg[0] != '@') {
    archivos.push_back(arg);
    return;
  }
  const std::string lista = arg.substr(1);
  std::ifstream f(lista);
  if (!f) throw JError(10125, lista, std::strerror(errno));
  std::string linea;
  size_t n = 0;
  while (std::getline(f, linea)) {
    while (!linea.empty() &&
           (linea.back() == '\r' || linea.back() == ' ' || linea.back() == '\t')) {
      linea.pop_back();
    }
    const size_t i = linea.find_first_not_of(" \t");
    if (i == std::string::npos || linea[i] == '#') continue;
    const std::filesystem::path nombre(linea.substr(i));
    const std::filesystem::path carpeta = std::filesystem::path(lista).parent_path();
    archivos.push_back(nombre.is_absolute() || carpeta.empty() ? nombre.string()
                                                               : (carpeta / nombre).string());
    ++n;
  }
  if (n == 0) throw JError(12289, lista);
}

}  // namespace orva
