// The subcommands calibrate and stack: masters, pretreatment of light frames, and the
// combination of a series into one image (or one per group).
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "base/Csv.h"
#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "cli/Ordenes.h"
#include "cli/ProgresoConsola.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "stacking/Combinacion.h"
#include "stacking/Maestros.h"
#include "stacking/Pretratamiento.h"
#include "stellar/EstrellasRegistro.h"

namespace orva {
namespace {

namespace fs = std::filesystem;


MetodoCombinacion Metodo(const std::string& v) {
  if (v == "mean") return MetodoCombinacion::kMedia;
  if (v == "median") return MetodoCombinacion::kMediana;
  if (v == "sum") return MetodoCombinacion::kSuma;
  if (v == "sigma") return MetodoCombinacion::kSigma;
  throw ErrorUso("--method needs mean, median, sum or sigma, not '" + v + "'");
}

Normalizacion Norma(const std::string& v) {
  if (v == "none") return Normalizacion::kNinguna;
  if (v == "add") return Normalizacion::kAditiva;
  if (v == "mul") return Normalizacion::kMultiplicativa;
  if (v == "both") return Normalizacion::kAmbas;
  throw ErrorUso("--norm needs none, add, mul or both, not '" + v + "'");
}

// Refuses an output that is one of the inputs (12220).
void NoSobreEntrada(const std::string& salida, const std::vector<std::string>& entradas) {
  for (const std::string& e : entradas) {
    std::error_code ec;
    if (fs::equivalent(salida, e, ec) || fs::absolute(salida, ec) == fs::absolute(e, ec)) {
      throw JError(12220, salida, e);
    }
  }
}

// OUT for group g of a run of several groups: "stem_NNN.ext".
std::string SalidaGrupo(const std::string& salida, size_t g, size_t grupos) {
  if (grupos <= 1) return salida;
  const fs::path p(salida);
  char num[16];
  std::snprintf(num, sizeof num, "_%03zu", g + 1);
  return (p.parent_path() / (p.stem().string() + num + p.extension().string())).string();
}

std::string Real(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.6g", v);
  return b;
}


void BorraLinea() {
  if (auto* consola = dynamic_cast<ProgresoConsola*>(&ProgresoActual())) consola->Borra();
}

// Registers every file on the first one by their stars. The files that cannot be registered are
// reported on stderr and taken out of the list; the others get their transform (the first, the
// identity).
std::vector<Transformacion2D> RegistraSerie(std::vector<std::string>& entradas, size_t& dejados) {
  RegistraConfigEstrellasRegistro();
  SerieRegistrada serie;
  {
    SesionProgreso sesion("REGISTRANDO");
    serie = RegistraFotogramas(FotogramasArchivos(entradas), LeeOpcionesEstrellasRegistro(),
                               LeeParametrosRegistro(), ProgresoActual());
  }
  BorraLinea();
  std::vector<std::string> quedan;
  for (size_t i = 0; i < serie.resultados.size(); ++i) {
    const ResultadoRegistro& r = serie.resultados[i];
    const std::string& f = entradas[i];
    if (!r.exito) {
      std::fflush(stdout);
      ImprimeError(r.idError, f + ": " + r.Mensaje() + " (left out of the stack)");
      ++dejados;
      continue;
    }
    if (i > 0)
      std::printf("%s registered: %d stars, rms %.3f px\n", f.c_str(), r.emparejadas, r.rms);
    quedan.push_back(f);
  }
  entradas = quedan;
  return serie.transformaciones;
}

// The rows of a CSV text, each as its fields (a quoted field may hold commas, doubled quotes and
// line breaks).
std::vector<std::vector<std::string>> FilasCsv(const std::string& texto) {
  std::vector<std::vector<std::string>> filas;
  std::vector<std::string> fila;
  std::string campo;
  bool entreComillas = false, hayAlgo = false;
  for (size_t i = 0; i < texto.size(); ++i) {
    const char c = texto[i];
    if (entreComillas) {
      if (c != '"') {
        campo += c;
      } else if (i + 1 < texto.size() && texto[i + 1] == '"') {
        campo += '"';
        ++i;
      } else {
        entreComillas = false;
      }
    } else if (c == '"') {
      entreComillas = hayAlgo = true;
    } else if (c == ',') {
      fila.push_back(std::move(campo));
      campo.clear();
      hayAlgo = true;
    } else if (c == '\n' || c == '\r') {
      if (hayAlgo || !campo.empty()) {
        fila.push_back(std::move(campo));
        filas.push_back(std::move(fila));
      }
      campo.clear();
      fila.clear();
      hayAlgo = false;
    } else {
      campo += c;
      hayAlgo = true;
    }
  }
  if (hayAlgo || !campo.empty()) {
    fila.push_back(std::move(campo));
    filas.push_back(std::move(fila));
  }
  return filas;
}

// The transform of the text "h0 h1 ... h8" a register report writes; false when it is not nine
// finite numbers with h8 = 1.
bool LeeMatriz(const std::string& texto, Transformacion2D& t) {
  const char* p = texto.c_str();
  for (double& h : t.h) {
    char* fin = nullptr;
    h = std::strtod(p, &fin);
    if (fin == p || !std::isfinite(h)) return false;
    p = fin;
  }
  while (*p == ' ') ++p;
  if (*p != '\0' || t.h[8] != 1.0) return false;
  const bool afin = t.h[6] == 0.0 && t.h[7] == 0.0;
  const bool similitud = afin && t.h[0] == t.h[4] && t.h[1] == -t.h[3];
  t.tipo = similitud ? Transformacion2D::Tipo::kSimilitud
           : afin    ? Transformacion2D::Tipo::kAfin
                     : Transformacion2D::Tipo::kProyectiva;
  return true;
}

// A file's name with the folders resolved, so that two spellings of one path meet.
std::string ClaveArchivo(const std::string& nombre) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(nombre, ec);
  return ec ? nombre : p.string();
}

// The transforms of the frames from the report of `orva register --csv` (columns file, status,
// matrix, message). The first frame, when the report has no row for it, is the registration's
// reference: the identity. A later frame without a row, or whose row says it was not
// registered, is reported on stderr and taken out of the list. A report's file name is taken from
// the current folder, as register wrote it, else from the report's own folder. A report without
// those columns raises 12310, a row without file name or with a matrix that is not one 12313.
std::vector<Transformacion2D> TransformacionesInforme(const std::string& informe,
                                                      std::vector<std::string>& entradas,
                                                      size_t& dejados) {
  std::ifstream f(informe, std::ios::binary);
  if (!f) throw JError(10125, informe, std::strerror(errno));
  const std::string texto((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const std::vector<std::vector<std::string>> filas = FilasCsv(texto);
  if (filas.empty()) throw JError(12310, informe);
  constexpr size_t kSinColumna = static_cast<size_t>(-1);
  size_t colArchivo = kSinColumna, colEstado = kSinColumna, colMatriz = kSinColumna,
         colMensaje = kSinColumna;
  for (size_t c = 0; c < filas[0].size(); ++c) {
    const std::string& n = filas[0][c];
    size_t* col = n == "file"      ? &colArchivo
                  : n == "status"  ? &colEstado
                  : n == "matrix"  ? &colMatriz
                  : n == "message" ? &colMensaje
                                   : nullptr;
    if (col && *col == kSinColumna) *col = c;
  }
  if (colArchivo == kSinColumna || colEstado == kSinColumna || colMatriz == kSinColumna)
    throw JError(12310, informe);
  struct Fila {
    std::string archivo;
    bool registrada = false;
    Transformacion2D t;
    std::string mensaje;
  };
  std::vector<Fila> leidas;
  const fs::path carpeta = fs::path(informe).parent_path();
  for (size_t i = 1; i < filas.size(); ++i) {
    const std::vector<std::string>& c = filas[i];
    const auto campo = [&c](size_t k) { return k < c.size() ? c[k] : std::string(); };
    Fila fila;
    fila.archivo = campo(colArchivo);
    if (fila.archivo.empty()) throw JError(12313, informe, std::to_string(i + 1), "");
    std::error_code ec;
    if (!fs::exists(fila.archivo, ec) && !carpeta.empty() && fs::path(fila.archivo).is_relative())
      fila.archivo = (carpeta / fila.archivo).string();
    fila.registrada = campo(colEstado) == "ok";
    fila.mensaje = campo(colMensaje);
    if (fila.registrada && !LeeMatriz(campo(colMatriz), fila.t)) {
      throw JError(12313, informe, std::to_string(i + 1), campo(colMatriz));
    }
    leidas.push_back(std::move(fila));
  }
  std::map<std::string, size_t> porArchivo;  // the first row of every file
  for (size_t i = 0; i < leidas.size(); ++i) porArchivo.emplace(ClaveArchivo(leidas[i].archivo), i);
  std::vector<std::string> quedan;
  std::vector<Transformacion2D> transformaciones;
  for (size_t i = 0; i < entradas.size(); ++i) {
    const std::string& e = entradas[i];
    const auto hallada = porArchivo.find(ClaveArchivo(e));
    const Fila* fila = hallada == porArchivo.end() ? nullptr : &leidas[hallada->second];
    if (!fila && i == 0) {
      quedan.push_back(e);
      transformaciones.push_back(Transformacion2D::Identidad());
      continue;
    }
    if (!fila || !fila->registrada) {
      std::fflush(stdout);
      const JError error =
          fila ? JError(12312, e, informe, fila->mensaje) : JError(12311, e, informe);
      ImprimeError(error.Id(), error.Mensaje());
      ++dejados;
      continue;
    }
    quedan.push_back(e);
    transformaciones.push_back(fila->t);
  }
  entradas = quedan;
  return transformaciones;
}

}  // namespace

int OrdenStack(const Argumentos& args) {
  std::vector<std::string> entradas;
  std::string salida, rejmap, csv, informe;
  AjustesCombinacion a;
  size_t grupo = 0;
  bool porEstrellas = false;  // --align stars
  bool alineada = false;      // --align ref or stars
  size_t dejados = 0;         // frames registration left out
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& op = args[i];
    auto valor = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw ErrorUso("option " + op + " needs a value");
      return args[++i];
    };
    if (op == "-o") {
      salida = valor();
    } else if (op == "--method") {
      a.metodo = Metodo(valor());
    } else if (op == "--kappa") {
      a.kappa = Numero(valor(), "--kappa");
      if (!(a.kappa > 0.0)) throw ErrorUso("--kappa must be positive");
    } else if (op == "--iter") {
      a.iteraciones = static_cast<int>(Entero(valor(), "--iter", 1, 100));
    } else if (op == "--norm") {
      a.normalizacion = Norma(valor());
    } else if (op == "--align") {
      const std::string& v = valor();
      if (v != "none" && v != "ref" && v != "stars") {
        throw ErrorUso("--align needs none, ref or stars, not '" + v + "'");
      }
      a.porReferencia = v == "ref";
      porEstrellas = v == "stars";
      alineada = v != "none";
    } else if (op == "--transforms") {
      informe = valor();
    } else if (op == "--group") {
      grupo = static_cast<size_t>(Entero(valor(), "--group", 1, 1000000));
    } else if (op == "--rejmap") {
      rejmap = valor();
      a.mapaRechazos = true;
    } else if (op == "--csv") {
      csv = valor();
    } else if (op.size() > 1 && op[0] == '-') {
      throw ErrorUso("unknown option " + op);
    } else {
      AnadeArchivos(op, entradas);
    }
  }
  if (salida.empty()) throw ErrorUso("stack needs -o OUT");
  if (entradas.empty()) throw ErrorUso("stack needs at least one file");
  if (a.mapaRechazos && a.metodo != MetodoCombinacion::kSigma) {
    throw ErrorUso("--rejmap needs --method sigma");
  }
  if (!informe.empty() && alineada) throw ErrorUso("--transforms aligns already: no --align");
  auto grupos = GruposFotogramas(entradas.size(), grupo);
  auto compruebaSalidas = [&] {
    std::vector<std::string> leidos = entradas;  // every file read: the frames, the report
    if (!informe.empty()) leidos.push_back(informe);
    for (size_t g = 0; g < grupos.size(); ++g) {
      NoSobreEntrada(SalidaGrupo(salida, g, grupos.size()), leidos);
      if (!rejmap.empty()) NoSobreEntrada(SalidaGrupo(rejmap, g, grupos.size()), leidos);
    }
  };
  compruebaSalidas();
  if (!csv.empty()) NoSobreEntrada(csv, entradas);
  if (!csv.empty() && !informe.empty()) NoSobreEntrada(csv, {informe});

  // Registration on the first frame, here or by a register report: a frame that cannot be
  // registered, or that the report does not give as registered, is reported and left out.
  std::vector<Transformacion2D> alineacion;
  if (porEstrellas || !informe.empty()) {
    alineacion = porEstrellas ? RegistraSerie(entradas, dejados)
                              : TransformacionesInforme(informe, entradas, dejados);
    grupos = GruposFotogramas(entradas.size(), grupo);
    compruebaSalidas();  // fewer frames may make fewer groups, named otherwise
  }

  // Everything is computed before anything is written: a failing group writes nothing.
  const FuenteFotogramas todos = FotogramasArchivos(entradas);
  std::vector<std::unique_ptr<Imagen>> resultados, mapas;
  std::vector<ResultadoCombinacion> detalles(grupos.size());
  std::vector<int64_t> recortes;
  {
    SesionProgreso sesion("APILANDO");
    for (size_t g = 0; g < grupos.size(); ++g) {
      resultados.push_back(std::make_unique<Imagen>());
      recortes.push_back(ApilaFotogramas(SubconjuntoFotogramas(todos, grupos[g]), a,
                                         TransformacionesGrupo(alineacion, grupos[g]),
                                         *resultados.back(), &detalles[g], ProgresoActual()));
      if (a.mapaRechazos) {
        mapas.push_back(std::make_unique<Imagen>());
        const ResultadoCombinacion& d = detalles[g];
        mapas.back()->CambiaPixeles(d.ancho, d.alto, d.rechazos);
        mapas.back()->Modificada(1);
      }
    }
  }
  BorraLinea();
  for (size_t g = 0; g < grupos.size(); ++g) {
    const std::string out = SalidaGrupo(salida, g, grupos.size());
    GuardaArchivo(out, *resultados[g], TipoPorExtension(out));
    std::printf("%s <- %zu frames, %s, total exposure %s s", out.c_str(), grupos[g].size(),
                NombreMetodo(a.metodo), Real(detalles[g].tiempoTotal).c_str());
    if (recortes[g] > 0) std::printf(", %lld values clamped", static_cast<long long>(recortes[g]));
    std::printf("\n");
    if (a.mapaRechazos) {
      const std::string mapa = SalidaGrupo(rejmap, g, grupos.size());
      GuardaArchivo(mapa, *mapas[g], TipoPorExtension(mapa));
      std::printf("%s <- rejected values per pixel\n", mapa.c_str());
    }
  }
  if (!csv.empty()) {
    std::string t = "group,frame,file,sky,dispersion,scale,dx,dy,rejected,exptime\n";
    for (size_t g = 0; g < grupos.size(); ++g) {
      for (size_t f = 0; f < detalles[g].figuras.size(); ++f) {
        const FiguraFotograma& x = detalles[g].figuras[f];
        t += std::to_string(g + 1) + "," + std::to_string(grupos[g][f] + 1) + "," +
             CampoCsv(x.nombre) + "," + Real(x.fondo) + "," + Real(x.dispersion) + "," +
             Real(x.escala) + "," + Real(x.dx) + "," + Real(x.dy) + "," +
             std::to_string(x.rechazados) + "," + Real(x.tiempoExp) + "\n";
      }
    }
    EscribeArchivoSeguro(csv, t);
  }
  return dejados > 0 ? 1 : 0;  // the stack was made, but not of every frame
}

int OrdenCalibrate(const Argumentos& args) {
  std::vector<std::string> frames[3], luces;  // bias, dark, flat
  std::string dirSalida, dirMaestros;
  AjustesCombinacion a;
  AjustesPretratamiento p;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& op = args[i];
    auto valor = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw ErrorUso("option " + op + " needs a value");
      return args[++i];
    };
    if (op == "--bias") {
      AnadeArchivos(valor(), frames[0]);
    } else if (op == "--dark") {
      AnadeArchivos(valor(), frames[1]);
    } else if (op == "--flat") {
      AnadeArchivos(valor(), frames[2]);
    } else if (op == "-o") {
      dirSalida = valor();
    } else if (op == "--masters") {
      dirMaestros = valor();
    } else if (op == "--method") {
      a.metodo = Metodo(valor());
      if (a.metodo == MetodoCombinacion::kSuma) throw ErrorUso("a master is not a sum");
    } else if (op == "--kappa") {
      a.kappa = Numero(valor(), "--kappa");
      if (!(a.kappa > 0.0)) throw ErrorUso("--kappa must be positive");
    } else if (op == "--iter") {
      a.iteraciones = static_cast<int>(Entero(valor(), "--iter", 1, 100));
    } else if (op == "--repair") {
      p.reparar = true;
    } else if (op == "--repair-kappa") {
      p.reparar = true;
      p.kappaReparacion = Numero(valor(), "--repair-kappa");
      if (!(p.kappaReparacion > 0.0)) throw ErrorUso("--repair-kappa must be positive");
    } else if (op == "--no-overscan") {
      p.overscan = false;
    } else if (op.size() > 1 && op[0] == '-') {
      throw ErrorUso("unknown option " + op);
    } else {
      AnadeArchivos(op, luces);
    }
  }
  if (frames[0].empty() && frames[1].empty() && frames[2].empty()) {
    throw ErrorUso("calibrate needs --bias, --dark or --flat");
  }
  if (!luces.empty() && dirSalida.empty()) throw ErrorUso("calibrate needs -o DIR for the lights");
  if (dirMaestros.empty()) dirMaestros = dirSalida;
  bool combina = false;
  for (const auto& f : frames) combina = combina || f.size() > 1;
  if (combina && dirMaestros.empty()) {
    throw ErrorUso("calibrate needs --masters DIR (or -o DIR) to write the masters it builds");
  }
  std::vector<std::string> entradas = luces;
  for (const auto& f : frames) entradas.insert(entradas.end(), f.begin(), f.end());
  const char* nombres[3] = {"bias.fits", "dark.fits", "flat.fits"};
  const TipoMaestro tipos[3] = {TipoMaestro::kBias, TipoMaestro::kDark, TipoMaestro::kFlat};
  std::vector<std::string> salidasLuz;
  for (const std::string& l : luces) {
    salidasLuz.push_back((fs::path(dirSalida) / fs::path(l).filename()).string());
    NoSobreEntrada(salidasLuz.back(), entradas);
  }
  for (int k = 0; k < 3; ++k) {
    if (frames[k].size() > 1) {
      NoSobreEntrada((fs::path(dirMaestros) / nombres[k]).string(), entradas);
    }
  }

  // The masters: one file is a master already; several are combined and written.
  Imagen maestros[3];
  Maestros m;
  const Imagen** punteros[3] = {&m.bias, &m.dark, &m.flat};
  SesionProgreso sesion("PRETRATAMIENTO");
  for (int k = 0; k < 3; ++k) {
    if (frames[k].empty()) continue;
    if (frames[k].size() == 1) {
      LeeArchivo(frames[k][0], maestros[k]);
    } else {
      const Maestros previos = k == 2 ? m : Maestros{};
      const int64_t rec = CreaMaestro(tipos[k], FotogramasArchivos(frames[k]), a, previos,
                                      maestros[k], ProgresoActual());
      const std::string out = (fs::path(dirMaestros) / nombres[k]).string();
      GuardaArchivo(out, maestros[k], TipoPorExtension(out));
      BorraLinea();
      std::printf("%s <- %zu frames, %s", out.c_str(), frames[k].size(), NombreMetodo(a.metodo));
      if (rec > 0) std::printf(", %lld values clamped", static_cast<long long>(rec));
      std::printf("\n");
      std::fflush(stdout);
    }
    *punteros[k] = &maestros[k];
  }
  for (size_t i = 0; i < luces.size(); ++i) {
    ProgresoActual().TextoArchivo(luces[i]);
    Imagen luz;
    LeeArchivo(luces[i], luz);
    const ResultadoPretratamiento r = Pretrata(luz, m, p, ProgresoActual());
    GuardaArchivo(salidasLuz[i], luz, TipoPorExtension(salidasLuz[i]));
    BorraLinea();
    std::printf("%s -> %s", luces[i].c_str(), salidasLuz[i].c_str());
    if (r.overscan) std::printf(", overscan");
    if (m.dark) std::printf(", dark x %s", Real(r.factorDark).c_str());
    if (p.reparar) std::printf(", %lld repaired", static_cast<long long>(r.reparados));
    if (r.recortados > 0)
      std::printf(", %lld values clamped", static_cast<long long>(r.recortados));
    std::printf("\n");
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace orva
