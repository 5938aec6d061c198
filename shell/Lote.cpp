// Batch processing on disk: plan, check, run.
#include "shell/Lote.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "macro/Macro.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

// The type reading would give the file: detected when TIPOAUTO is on, else TIPARCHLEER.
int TipoEntrada(const std::string& archivo) {
  const Configuracion& c = Configuracion::Global();
  int tipo = kTipoDesconocido;
  if (c.Entero("TIPOAUTO") != 0) {
    try {
      tipo = DetectaTipoArchivo(archivo);
    } catch (const JError&) {
      tipo = kTipoDesconocido;  // reading will say why
    }
    if (tipo == kDatosOrva) tipo = kTipoDesconocido;
  }
  if (tipo == kTipoDesconocido) {
    const RegistroTipoArchivo* r = BuscaTipoArchivo(c.Valor("Archivos", "TIPARCHLEER"));
    if (r) tipo = r->id;
  }
  return tipo;
}

// The extension of a type: its first filter pattern "*.EXT", in lower case; empty when none.
std::string ExtensionTipo(int tipo) {
  const RegistroTipoArchivo* r = BuscaTipoArchivo(tipo);
  if (!r) return {};
  const std::string patron = r->filtro.substr(0, r->filtro.find(';'));
  if (patron.size() <= 2 || patron.compare(0, 2, "*.") != 0 || patron == "*.*") return {};
  std::string ext = patron.substr(1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// What names one file: device and inode when it exists, else its absolute path with links of
// its folders resolved.
std::string Identidad(const std::string& ruta) {
  struct stat st {};
  if (::stat(ruta.c_str(), &st) == 0) {
    return "#" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  }
  std::error_code e;
  const fs::path p = fs::weakly_canonical(fs::absolute(ruta, e), e);
  return e ? fs::absolute(ruta).lexically_normal().string() : p.string();
}

// An input that does not exist has nothing to lose: reading it fails and nothing is written.
bool Existe(const std::string& ruta) {
  struct stat st {};
  return ::stat(ruta.c_str(), &st) == 0;
}

}  // namespace

std::vector<std::string> CargaMacroExistente(const std::string& archivo) {
  struct stat st {};
  if (::stat(archivo.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    throw JError(10125, archivo, std::strerror(ENOENT));  // 10125
  }
  return CargaMacro(archivo);
}

AjustesLote LeeAjustesLote() {
  const Configuracion& c = Configuracion::Global();
  AjustesLote a;
  a.mismoTipo = c.Entero("GUARMISMOTIPO") == 1;
  const RegistroTipoArchivo* r = BuscaTipoArchivo(c.Valor("Archivos", "TIPARCHGUARDAR"));
  a.tipoGuardar = r ? r->id : kTipoDesconocido;
  if (c.Entero("CAMBEXTEN") == 1) a.extension = c.Valor("EXTENTRAT");
  return a;
}

std::vector<ArchivoLote> PlanificaLote(const std::vector<std::string>& entradas,
                                       const AjustesLote& ajustes) {
  std::vector<ArchivoLote> plan;
  plan.reserve(entradas.size());
  for (const std::string& entrada : entradas) {
    const int tipoEntrada = TipoEntrada(entrada);
    ArchivoLote a;
    a.entrada = entrada;
    a.tipo = ajustes.tipoFijo                        ? ajustes.tipoFijo
             : ajustes.mismoTipo && tipoEntrada != 0 ? tipoEntrada
                                                     : ajustes.tipoGuardar;
    fs::path salida = ajustes.carpetaSalida.empty()
                          ? fs::path(entrada)
                          : fs::path(ajustes.carpetaSalida) / fs::path(entrada).filename();
    std::string ext = ajustes.extension;
    if (ext.empty() && a.tipo != tipoEntrada) ext = ExtensionTipo(a.tipo);
    if (!ext.empty()) {
      if (ext.front() != '.') ext.insert(ext.begin(), '.');
      salida.replace_extension(ext);
    }
    a.salida = salida.string();
    a.sobreEntrada = Existe(entrada) && Identidad(a.salida) == Identidad(entrada);
    plan.push_back(std::move(a));
  }
  return plan;
}

void CompruebaLote(const std::vector<ArchivoLote>& plan, const AjustesLote& ajustes, bool enSitio) {
  if (!ajustes.carpetaSalida.empty()) {
    struct stat st {};
    if (::stat(ajustes.carpetaSalida.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      throw JError(12222, ajustes.carpetaSalida);  // 12222
    }
  }
  std::map<std::string, size_t> salidas, entradas;
  for (size_t i = 0; i < plan.size(); ++i) {
    if (Existe(plan[i].entrada)) entradas.emplace(Identidad(plan[i].entrada), i);
  }
  for (size_t i = 0; i < plan.size(); ++i) {
    const ArchivoLote& a = plan[i];
    const std::string id = Identidad(a.salida);
    auto [it, nueva] = salidas.emplace(id, i);
    if (!nueva) {
      throw JError(12221, plan[it->second].entrada, a.entrada, a.salida);  // 12221
    }
    auto e = entradas.find(id);
    if (e == entradas.end()) continue;
    // The same file given twice gives one result twice: the check above says so first.
    if (e->second != i || !enSitio) {
      throw JError(12220, a.entrada, plan[e->second].entrada);  // 12220
    }
  }
}

ResumenLote EjecutaLote(const std::vector<std::string>& lineas,
                        const std::vector<ArchivoLote>& plan, const AvisoLote& aviso) {
  ResumenLote resumen;
  SesionProgreso sesion(Cadena(3063));
  const std::string total = std::to_string(plan.size());
  for (size_t i = 0; i < plan.size(); ++i) {
    const ArchivoLote& a = plan[i];
    Progreso& progreso = ProgresoActual();
    if (progreso.Cancelado()) {
      resumen.cancelado = true;
      break;
    }
    progreso.TextoArchivo(std::to_string(i + 1) + "/" + total + " " + a.entrada);
    ResultadoLote r;
    r.indice = i;
    r.archivo = &a;
    try {
      Imagen im;
      LeeArchivo(a.entrada, im);
      if (!lineas.empty() && EjecutaMacro(im, lineas) == 0) {
        resumen.cancelado = true;
        break;
      }
      im.Actualiza();
      GuardaArchivo(a.salida, im, a.tipo);
      r.bien = true;
    } catch (const JError& e) {
      r.idError = e.Id();
      r.error = e.Mensaje();
    } catch (const std::bad_alloc&) {
      r.idError = 10100;
      r.error = Mensaje(10100, "?");
    }
    ++(r.bien ? resumen.hechos : resumen.fallidos);
    if (aviso) aviso(r);
  }
  return resumen;
}

}  // namespace orva
