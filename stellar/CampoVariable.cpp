#include "stellar/CampoVariable.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Imagen.h"
#include "stellar/Fotometria.h"
#include "stellar/SerieVariable.h"

namespace orva {
namespace {

constexpr const char* kCabeceraCampo = "ORVA CAMPO";
// Largest field file read: far beyond any real field (a few hundred reference stars).
constexpr long kTamanoMaximoCampo = 16L << 20;
// Clipping passes of the ring around a star being centred.
constexpr int kPasadasCieloCentrado = 3;
// A star's centroid on the reference must fall this close to the position given.
constexpr double kDistanciaCentrado = 3.0;
// Sigma of the window centroid used when placing the stars on the reference.
constexpr double kSigmaCentrado = 1.5;

std::string Numero(double v) {
  if (!std::isfinite(v)) return {};
  char b[40];
  std::snprintf(b, sizeof b, "%.17g", v);
  return b;
}

char LetraPapel(PapelEstrella p) {
  switch (p) {
    case PapelEstrella::kVariable:
      return 'V';
    case PapelEstrella::kComparacion:
      return 'C';
    case PapelEstrella::kControl:
      return 'K';
  }
  return 'C';
}

std::vector<std::string_view> Parte(std::string_view s, char sep, size_t maximo) {
  std::vector<std::string_view> r;
  while (r.size() + 1 < maximo) {
    const size_t p = s.find(sep);
    if (p == std::string_view::npos) break;
    r.push_back(s.substr(0, p));
    s.remove_prefix(p + 1);
  }
  r.push_back(s);
  return r;
}

}  // namespace

int CampoVariable::Variable() const {
  for (size_t i = 0; i < estrellas.size(); ++i) {
    if (estrellas[i].papel == PapelEstrella::kVariable) return static_cast<int>(i);
  }
  return -1;
}

std::vector<int> CampoVariable::Indices(PapelEstrella papel) const {
  std::vector<int> r;
  for (size_t i = 0; i < estrellas.size(); ++i) {
    if (estrellas[i].papel == papel) r.push_back(static_cast<int>(i));
  }
  return r;
}

void CompruebaCampo(const CampoVariable& campo) {
  if (campo.Indices(PapelEstrella::kVariable).size() != 1) {
    throw JError(12397, std::to_string(campo.Indices(PapelEstrella::kVariable).size()));  // 12397
  }
  if (campo.Indices(PapelEstrella::kComparacion).empty()) throw JError(12398);  // 12398
  for (const std::string* t : {&campo.nombre, &campo.referencia}) {
    if (t->find_first_of("\r\n") != std::string::npos) throw JError(12438, *t);  // 12438
  }
  std::set<std::string, std::less<>> nombres;
  for (const EstrellaCampo& e : campo.estrellas) {
    if (e.nombre.empty() || e.nombre.find_first_of(",\r\n") != std::string::npos ||
        !nombres.insert(e.nombre).second || !std::isfinite(e.x) || !std::isfinite(e.y)) {
      throw JError(12438, e.nombre);  // 12438
    }
  }
  const double r = campo.radioEstrella, ri = campo.radioCieloInt, re = campo.radioCieloExt;
  const bool todosCero = r == 0.0 && ri == 0.0 && re == 0.0;
  if (!todosCero && !(r > 0.0 && r < ri && ri < re && std::isfinite(re))) {
    throw JError(12439, Numero(r), Numero(ri), Numero(re));  // 12439
  }
  if (campo.estrellasReferencia.size() < 3) {
    throw JError(12242, std::to_string(campo.estrellasReferencia.size()), "3");  // 12242
  }
}

std::string TextoCampo(const CampoVariable& campo) {
  std::string t = std::string(kCabeceraCampo) + "\n";
  t += "NOMBRE=" + campo.nombre + "\n";
  t += "REFERENCIA=" + campo.referencia + "\n";
  t += "APERTURA=" + Numero(campo.radioEstrella) + " " + Numero(campo.radioCieloInt) + " " +
       Numero(campo.radioCieloExt) + "\n";
  t += "EFEMERIDE=" + Numero(campo.epocaMinimo) + " " + Numero(campo.periodo) + "\n";
  for (const EstrellaCampo& e : campo.estrellas) {
    t += std::string("ESTRELLA=") + LetraPapel(e.papel) + "," + Numero(e.x) + "," + Numero(e.y) +
         "," + Numero(e.magnitud) + "," + e.nombre + "\n";
  }
  for (const EstrellaRegistro& e : campo.estrellasReferencia) {
    t += "REFERENCIA_ESTRELLA=" + Numero(e.x) + "," + Numero(e.y) + "," + Numero(e.flujo) + "," +
         Numero(e.varianza) + "\n";
  }
  return t;
}

CampoVariable LeeTextoCampo(std::string_view texto, const std::string& archivo) {
  CampoVariable campo;
  size_t numLinea = 0;
  bool cabecera = false;
  while (!texto.empty()) {
    const size_t fin = texto.find('\n');
    std::string_view linea = texto.substr(0, fin);
    texto.remove_prefix(fin == std::string_view::npos ? texto.size() : fin + 1);
    ++numLinea;
    if (!linea.empty() && linea.back() == '\r') linea.remove_suffix(1);
    if (!cabecera) {
      if (linea != kCabeceraCampo) throw JError(12395, archivo);  // 12395
      cabecera = true;
      continue;
    }
    if (linea.empty()) continue;
    const size_t igual = linea.find('=');
    auto mal = [&]() { return JError(12396, std::to_string(numLinea), archivo); };  // 12396
    if (igual == std::string_view::npos) throw mal();
    const std::string_view clave = linea.substr(0, igual), valor = linea.substr(igual + 1);
    // A number field: empty reads as NaN where allowed, anything else must be a number.
    auto numero = [&](std::string_view s, bool vacioNaN) {
      if (s.empty() && vacioNaN) return std::numeric_limits<double>::quiet_NaN();
      const std::optional<double> v = LeeRealComprobado(s);
      if (!v || !std::isfinite(*v)) throw mal();
      return *v;
    };
    if (clave == "NOMBRE") {
      campo.nombre = valor;
    } else if (clave == "REFERENCIA") {
      campo.referencia = valor;
    } else if (clave == "APERTURA" || clave == "EFEMERIDE") {
      const std::vector<std::string_view> p = Parte(valor, ' ', clave == "APERTURA" ? 3 : 2);
      if (p.size() != (clave == "APERTURA" ? 3u : 2u)) throw mal();
      if (clave == "APERTURA") {
        campo.radioEstrella = numero(p[0], false);
        campo.radioCieloInt = numero(p[1], false);
        campo.radioCieloExt = numero(p[2], false);
      } else {
        campo.epocaMinimo = numero(p[0], false);
        campo.periodo = numero(p[1], false);
      }
    } else if (clave == "ESTRELLA") {
      const std::vector<std::string_view> p = Parte(valor, ',', 5);
      if (p.size() != 5 || p[0].size() != 1) throw mal();
      EstrellaCampo e;
      switch (p[0][0]) {
        case 'V':
          e.papel = PapelEstrella::kVariable;
          break;
        case 'C':
          e.papel = PapelEstrella::kComparacion;
          break;
        case 'K':
          e.papel = PapelEstrella::kControl;
          break;
        default:
          throw mal();
      }
      e.x = numero(p[1], false);
      e.y = numero(p[2], false);
      e.magnitud = numero(p[3], true);
      e.nombre = p[4];
      campo.estrellas.push_back(std::move(e));
    } else if (clave == "REFERENCIA_ESTRELLA") {
      const std::vector<std::string_view> p = Parte(valor, ',', 4);
      if (p.size() != 4) throw mal();
      EstrellaRegistro e;
      e.x = numero(p[0], false);
      e.y = numero(p[1], false);
      e.flujo = numero(p[2], false);
      e.varianza = numero(p[3], false);
      campo.estrellasReferencia.push_back(e);
    }
  }
  if (!cabecera) throw JError(12395, archivo);  // 12395
  CompruebaCampo(campo);
  return campo;
}

void GuardaCampo(const std::string& archivo, const CampoVariable& campo) {
  CompruebaCampo(campo);
  EscribeArchivoSeguro(archivo, TextoCampo(campo));
}

CampoVariable LeeCampo(const std::string& archivo) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(archivo.c_str(), "rb"), &std::fclose);
  if (!f) throw JError(10125, archivo, std::strerror(errno));  // 10125
  std::string texto;
  char b[4096];
  size_t n;
  while ((n = std::fread(b, 1, sizeof b, f.get())) > 0) {
    texto.append(b, n);
    if (static_cast<long>(texto.size()) > kTamanoMaximoCampo) throw JError(12395, archivo);
  }
  if (std::ferror(f.get())) {
    throw JError(10126, archivo, std::to_string(sizeof b), std::strerror(errno));  // 10126
  }
  return LeeTextoCampo(texto, archivo);
}

PosicionVentana CentraEstrella(const ImagenPixeles& im, double x, double y, int rInt, int rExt,
                               double sigma) {
  const Cielo cielo =
      EstimaCielo(im, std::lround(x), std::lround(y), rInt, rExt, kPasadasCieloCentrado, 1);
  ParametrosVentana p;
  p.sigma = sigma;
  p.cielo = cielo.nivel;
  p.varCielo = cielo.desviacion * cielo.desviacion;
  return CentroideVentana(im, x, y, p);
}

CampoVariable CreaCampo(Imagen& referencia, std::string nombre,
                        std::vector<EstrellaCampo> estrellas,
                        const OpcionesEstrellasRegistro& opciones, Progreso& progreso) {
  CampoVariable campo;
  campo.nombre = std::move(nombre);
  campo.referencia = referencia.Ruta();
  const ParametrosFotometria pf = LeeParametrosFotometria();
  for (EstrellaCampo& e : estrellas) {
    const bool dentro =
        e.x >= 0.0 && e.y >= 0.0 && e.x < referencia.Ancho() && e.y < referencia.Alto();
    const PosicionVentana p = dentro ? CentraEstrella(referencia, e.x, e.y, pf.radioCieloInt,
                                                      pf.radioCieloExt, kSigmaCentrado)
                                     : PosicionVentana{};
    // A centroid on empty sky may converge on the noise: the star must also be measurable.
    ParametrosSerie ps;
    ps.fotometria = pf;
    if (!p.converge || std::hypot(p.x - e.x, p.y - e.y) > kDistanciaCentrado ||
        (MideEstrellaSerie(referencia, p.x, p.y, pf.radioEstrella, pf.radioCieloInt,
                           pf.radioCieloExt, ps)
             .marcas &
         (kSinFlujo | kFueraImagen))) {
      throw JError(12399, e.nombre, Numero(e.x), Numero(e.y));  // 12399
    }
    e.x = p.x;
    e.y = p.y;
  }
  campo.estrellas = std::move(estrellas);
  campo.estrellasReferencia = EstrellasParaRegistro(referencia, opciones, progreso);
  CompruebaCampo(campo);
  return campo;
}

}  // namespace orva
