// Lists of objects and observatories: text files of ';'-separated fields.
#include "stellar/ListasObjetos.h"

#include <strings.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "core/Imagen.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

// Field counts: the optional fields (period and epoch of minimum, altitude) may be left off.
constexpr size_t kCamposObjetoMin = 5;
constexpr size_t kCamposObjeto = 7;
constexpr size_t kCamposObservatorioMin = 3;
constexpr size_t kCamposObservatorio = 4;
// Plausible ranges of the whole numbers.
constexpr long kEpocaMinima = 1000;
constexpr long kEpocaMaxima = 3000;
constexpr long kAltitudMaxima = 100000;  // metres, either sign

std::string Recorta(std::string_view s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return std::string(s.substr(a, b - a));
}

std::vector<std::string> Divide(std::string_view linea) {
  std::vector<std::string> campos;
  size_t inicio = 0;
  while (true) {
    const size_t fin = linea.find(';', inicio);
    campos.push_back(Recorta(linea.substr(inicio, fin - inicio)));
    if (fin == std::string_view::npos) break;
    inicio = fin + 1;
  }
  return campos;
}

bool IgualSinCaso(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

void CompruebaCuenta(const std::vector<std::string>& c, size_t minimo, size_t maximo) {
  if (c.size() < minimo || c.size() > maximo) {
    throw JError(12381, std::to_string(c.size()),
                 std::to_string(minimo) + "-" + std::to_string(maximo));  // 12381
  }
}

std::string CompruebaNombre(const std::string& nombre) {
  if (nombre.empty() || nombre.find_first_of(";\n\r") != std::string::npos ||
      nombre.front() == '#') {
    throw JError(12382, nombre);  // 12382
  }
  return nombre;
}

long Entero(const std::string& etiqueta, const std::string& t, long minimo, long maximo) {
  char* fin = nullptr;
  const long v = std::strtol(t.c_str(), &fin, 10);
  if (t.empty() || *fin != '\0' || v < minimo || v > maximo) throw JError(12386, etiqueta, t);
  return v;
}

std::optional<double> RealOpcional(const std::string& etiqueta, const std::string& t,
                                   bool positivo) {
  if (t.empty()) return std::nullopt;
  char* fin = nullptr;
  const double v = std::strtod(t.c_str(), &fin);
  if (*fin != '\0' || !std::isfinite(v) || (positivo && v <= 0.0)) {
    throw JError(12386, etiqueta, t);  // 12386
  }
  return v;
}

// The shortest text that reads back as the same double.
std::string TextoReal(const std::optional<double>& v) {
  if (!v) return {};
  char b[64];
  const auto r = std::to_chars(b, b + sizeof b, *v);
  return std::string(b, r.ptr);
}

template <typename T>
void CompruebaNombres(const std::vector<T>& lista) {
  for (size_t i = 0; i < lista.size(); ++i) {
    CompruebaNombre(lista[i].nombre);
    for (size_t j = 0; j < i; ++j) {
      if (IgualSinCaso(lista[i].nombre, lista[j].nombre)) {
        throw JError(12383, lista[i].nombre);  // 12383
      }
    }
  }
}

// Reads the entries of a list file; errors name the file and the line.
template <typename T, typename F>
std::vector<T> LeeLista(const std::string& archivo, F deCampos) {
  std::vector<T> lista;
  std::error_code e;
  if (!fs::exists(archivo, e)) return lista;
  // A folder or a fifo is no list: refused rather than read as empty or waited on.
  if (!fs::is_regular_file(archivo, e)) {
    throw JError(10125, archivo, std::strerror(fs::is_directory(archivo, e) ? EISDIR : EINVAL));
  }
  std::ifstream f(archivo, std::ios::binary);
  if (!f) throw JError(10125, archivo, std::strerror(errno));  // 10125
  std::string linea;
  int numero = 0;
  while (std::getline(f, linea)) {
    ++numero;
    const std::string limpia = Recorta(linea);
    if (limpia.empty() || limpia.front() == '#') continue;
    try {
      T entrada = deCampos(Divide(limpia));
      for (const T& otra : lista) {
        if (IgualSinCaso(otra.nombre, entrada.nombre)) throw JError(12383, entrada.nombre);
      }
      lista.push_back(std::move(entrada));
    } catch (const JError& error) {
      throw JError(12380, archivo, std::to_string(numero), error.Mensaje());  // 12380
    }
  }
  return lista;
}

template <typename T, typename F>
void GuardaLista(const std::string& archivo, const std::vector<T>& lista, const char* cabecera,
                 F campos) {
  CompruebaNombres(lista);
  std::ostringstream s;
  s << cabecera;
  for (const T& entrada : lista) {
    const std::vector<std::string> c = campos(entrada);
    for (size_t i = 0; i < c.size(); ++i) s << (i ? ";" : "") << c[i];
    s << '\n';
  }
  const fs::path carpeta = fs::path(archivo).parent_path();
  std::error_code e;
  if (!carpeta.empty()) fs::create_directories(carpeta, e);
  EscribeArchivoSeguro(archivo, s.str());
}

}  // namespace

std::string RutaListaObjetos(const std::string& carpeta) {
  return (fs::path(carpeta) / kArchivoObjetos).string();
}

std::string RutaListaObservatorios(const std::string& carpeta) {
  return (fs::path(carpeta) / kArchivoObservatorios).string();
}

std::vector<std::string> CamposObjeto(const ObjetoLista& o) {
  return {o.nombre, o.ar.Texto(),         o.dec.Texto(),           std::to_string(o.epoca),
          o.tipo,   TextoReal(o.periodo), TextoReal(o.epocaMinimo)};
}

std::vector<std::string> CamposObservatorio(const ObservatorioLista& o) {
  return {o.nombre, o.longitud.Texto(), o.latitud.Texto(), std::to_string(o.altitud)};
}

ObjetoLista ObjetoDeCampos(const std::vector<std::string>& campos) {
  CompruebaCuenta(campos, kCamposObjetoMin, kCamposObjeto);
  std::vector<std::string> c = campos;
  for (std::string& t : c) t = Recorta(t);
  c.resize(kCamposObjeto);
  ObjetoLista o;
  o.nombre = CompruebaNombre(c[0]);
  o.ar.AsignaTexto(c[1]);
  o.dec.AsignaTexto(c[2]);
  o.epoca = static_cast<int32_t>(Entero("EPOCAOBJ", c[3], kEpocaMinima, kEpocaMaxima));
  if (c[4].find(';') != std::string::npos) throw JError(12386, "TIPO", c[4]);
  o.tipo = c[4];
  o.periodo = RealOpcional("PERIODO", c[5], true);
  o.epocaMinimo = RealOpcional("MINIMO", c[6], false);
  return o;
}

ObservatorioLista ObservatorioDeCampos(const std::vector<std::string>& campos) {
  CompruebaCuenta(campos, kCamposObservatorioMin, kCamposObservatorio);
  std::vector<std::string> c = campos;
  for (std::string& t : c) t = Recorta(t);
  c.resize(kCamposObservatorio);
  ObservatorioLista o;
  o.nombre = CompruebaNombre(c[0]);
  o.longitud.AsignaTexto(c[1]);
  o.latitud.AsignaTexto(c[2]);
  if (!c[3].empty()) {
    o.altitud = static_cast<int32_t>(Entero("ALTOBS", c[3], -kAltitudMaxima, kAltitudMaxima));
  }
  return o;
}

std::vector<ObjetoLista> LeeListaObjetos(const std::string& archivo) {
  return LeeLista<ObjetoLista>(archivo, ObjetoDeCampos);
}

std::vector<ObservatorioLista> LeeListaObservatorios(const std::string& archivo) {
  return LeeLista<ObservatorioLista>(archivo, ObservatorioDeCampos);
}

void GuardaListaObjetos(const std::string& archivo, const std::vector<ObjetoLista>& lista) {
  GuardaLista(archivo, lista,
              "# ORVA objects: name;RA;Dec;equinox;type;period (d);epoch of minimum (HJD)\n",
              CamposObjeto);
}

void GuardaListaObservatorios(const std::string& archivo,
                              const std::vector<ObservatorioLista>& lista) {
  GuardaLista(archivo, lista,
              "# ORVA observatories: name;longitude (positive west);latitude;altitude (m)\n",
              CamposObservatorio);
}

const ObjetoLista* ObjetoNombrado(const std::vector<ObjetoLista>& lista,
                                  std::string_view nombre) {
  for (const ObjetoLista& o : lista) {
    if (IgualSinCaso(o.nombre, nombre)) return &o;
  }
  return nullptr;
}

const ObjetoLista& BuscaObjeto(const std::vector<ObjetoLista>& lista, std::string_view nombre,
                               const std::string& archivo) {
  if (const ObjetoLista* o = ObjetoNombrado(lista, nombre)) return *o;
  throw JError(12384, std::string(nombre), archivo);  // 12384
}

const ObservatorioLista& BuscaObservatorio(const std::vector<ObservatorioLista>& lista,
                                           std::string_view nombre, const std::string& archivo) {
  for (const ObservatorioLista& o : lista) {
    if (IgualSinCaso(o.nombre, nombre)) return o;
  }
  throw JError(12385, std::string(nombre), archivo);  // 12385
}

void AplicaObjeto(const ObjetoLista& o, DatosImagen& d) {
  d.nombreObjeto = o.nombre;
  d.ar = o.ar;
  d.dec = o.dec;
  d.epoca = o.epoca;
  d.conValor.insert("AROBJ");
  d.conValor.insert("DECOBJ");
  d.conValor.insert("EPOCAOBJ");
}

void AplicaObservatorio(const ObservatorioLista& o, DatosImagen& d) {
  d.observatorio.nombre = o.nombre;
  d.observatorio.longitud = o.longitud;
  d.observatorio.latitud = o.latitud;
  d.observatorio.altitud = o.altitud;
  d.conValor.insert("LONOBS");
  d.conValor.insert("LATOBS");
  d.conValor.insert("ALTOBS");
}

}  // namespace orva
