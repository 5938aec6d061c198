// Double-star measurement: components, trails, side data entries and the calculation.
#include "analyses/Dobles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"

namespace orva {
namespace {

constexpr double kGradosRadian = 57.29577951308232;
// FWHM of a Gaussian from its standard deviation.
constexpr double kFWHMSigma = 2.3548200450309493;

std::string Punto(const PuntoDoble& p) {
  char b[96];
  std::snprintf(b, sizeof b, "(%.2lf,%.2lf)", p.x, p.y);
  return b;
}

std::string Numero(const char* fmt, double v) {
  char b[96];
  std::snprintf(b, sizeof b, fmt, v);
  return b;
}

int Trunca(double v) {
  if (!(v > -2e9 && v < 2e9)) return 0;
  return static_cast<int>(v);
}

long Redondea(double v) {
  return static_cast<long>(v + 0.5);
}

Trazo& TrazoDe(DatosDobles& d, int t) {
  return d.trazos[t == 1 ? 1 : 0];
}

struct Perfil {
  double centro = 0.0;
  double fwhm = 0.0;
};

// Centroid of the vertical profile in column x over rows y - w .. y + w, values above the sky.
Perfil PerfilVertical(const ImagenPixeles& im, long x, long y, long w, double cielo) {
  double s0 = 0, s1 = 0;
  for (long k = 1; k <= 2 * w + 1; ++k) {
    const double v = im.Pixel(x, y - w + k - 1) - cielo;  // outside: the out-of-image value
    s0 += v;
    s1 += static_cast<double>(k) * v;
  }
  if (s0 <= 0 || s1 <= 0) throw JError(12137);  // 12137
  const double c = s1 / s0;
  double m2 = 0;
  for (long k = 1; k <= 2 * w + 1; ++k) {
    const double v = im.Pixel(x, y - w + k - 1) - cielo;
    m2 += v * (static_cast<double>(k) - c) * (static_cast<double>(k) - c);
  }
  const double dispersion = m2 / s0;
  if (!(dispersion > 0)) throw JError(12137);  // 12137
  Perfil p;
  p.centro = static_cast<double>(y - w) + c - 1.0;
  p.fwhm = kFWHMSigma * std::sqrt(dispersion);
  return p;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Per-image data.

void DatosDobles::Limpia() {
  *this = DatosDobles();
}

void DatosDobles::Guarda(std::vector<std::pair<std::string, std::string>>& e) const {
  char b[160];
  if (a.definido) e.emplace_back("DBLPRIN", Punto(a.centroide));
  if (this->b.definido) e.emplace_back("DBLSEC", Punto(this->b.centroide));
  if (parMedido) {
    e.emplace_back("DBLAP", Numero("%.2lf", ap));
    e.emplace_back("DBLDIST", Numero("%.2lf", distancia));
  }
  for (int t = 0; t < 2; ++t) {
    const Trazo& tr = trazos[static_cast<size_t>(t)];
    const std::string n = std::to_string(t + 1);
    if (tr.inicioMedido) {
      std::snprintf(b, sizeof b, "(%c,%.2lf,%.2lf)", tr.letraInicio, tr.inicio.x, tr.inicio.y);
      e.emplace_back("DBLINITR" + n, b);
    }
    if (tr.finalMedido) {
      std::snprintf(b, sizeof b, "(%c,%.2lf,%.2lf)", tr.letraFin, tr.fin.x, tr.fin.y);
      e.emplace_back("DBLFINTR" + n, b);
    }
    if (tr.medido) {
      std::snprintf(b, sizeof b, "(%.2lf,%.2lf,%.2lf)", tr.angulo, tr.pendiente, tr.ordenada);
      e.emplace_back("DBLANGTR" + n, b);
    }
  }
}

bool DatosDobles::Lee(std::string_view clave, std::string_view valor) {
  const std::string v(valor);
  auto punto = [&v](Componente& c) {
    PuntoDoble p;
    if (std::sscanf(v.c_str(), "(%lf,%lf)", &p.x, &p.y) != 2) return;
    c.definido = true;
    c.centroide = p;
    c.clicX = Trunca(p.x);
    c.clicY = Trunca(p.y);
  };
  if (clave == "DBLPRIN") {
    punto(a);
    return true;
  }
  if (clave == "DBLSEC") {
    punto(b);
    return true;
  }
  if (clave == "DBLAP" || clave == "DBLDIST") {
    double x = 0;
    if (std::sscanf(v.c_str(), "%lf", &x) != 1) return true;
    if (clave == "DBLAP") {
      ap = x;
      parMedido = true;
    } else {
      distancia = x;
    }
    return true;
  }
  if (clave.size() != 9 || (clave[8] != '1' && clave[8] != '2')) return false;
  Trazo& tr = trazos[static_cast<size_t>(clave[8] - '1')];
  const std::string_view raiz = clave.substr(0, 8);
  if (raiz == "DBLINITR" || raiz == "DBLFINTR") {
    char letra = 0;
    PuntoDoble p;
    if (std::sscanf(v.c_str(), "(%c,%lf,%lf)", &letra, &p.x, &p.y) != 3) return true;
    if (letra != 'T' && letra != 'E') return true;
    const bool esTrazo = letra == 'T';
    if (raiz == "DBLINITR") {
      tr.inicioMedido = true;
      tr.letraInicio = letra;
      tr.inicio = p;
      (esTrazo ? tr.inicioDefinido : tr.estrOrigenDefinida) = true;
      (esTrazo ? tr.inicioClicX : tr.origenClicX) = Trunca(p.x);
      (esTrazo ? tr.inicioClicY : tr.origenClicY) = Trunca(p.y);
    } else {
      tr.finalMedido = true;
      tr.letraFin = letra;
      tr.fin = p;
      (esTrazo ? tr.finalDefinido : tr.estrFinalDefinida) = true;
      (esTrazo ? tr.finalClicX : tr.estrFinalClicX) = Trunca(p.x);
      (esTrazo ? tr.finalClicY : tr.estrFinalClicY) = Trunca(p.y);
    }
    return true;
  }
  if (raiz == "DBLANGTR") {
    double ang = 0, pen = 0, ord = 0;
    if (std::sscanf(v.c_str(), "(%lf,%lf,%lf)", &ang, &pen, &ord) != 3) return true;
    tr.medido = true;
    tr.angulo = ang;
    tr.pendiente = pen;
    tr.ordenada = ord;
    tr.letra = tr.letraInicio;
    return true;
  }
  return false;
}

DatosDobles& DatosDoblesDe(Imagen& imagen) {
  if (auto* d = dynamic_cast<DatosDobles*>(&imagen.Analisis())) return *d;
  imagen.CambiaAnalisis(std::make_unique<DatosDobles>());
  return static_cast<DatosDobles&>(imagen.Analisis());
}

const DatosDobles* DatosDoblesDe(const Imagen& imagen) {
  return dynamic_cast<const DatosDobles*>(&imagen.Analisis());
}

// ---------------------------------------------------------------------------------------------
// Measurements.

double AnguloPosicion(double x1, double y1, double x2, double y2) {
  if (y1 == y2) return x1 < x2 ? 90.0 : -90.0;
  double a = std::atan((x1 - x2) / (y1 - y2)) * kGradosRadian;
  if (y1 < y2) a += 180.0;
  return a - 360.0 * std::floor(a / 360.0);
}

void DefineComponente(const ImagenPixeles& im, DatosDobles& d, bool esB, int x, int y,
                      const ParametrosCentroide& p) {
  Componente& c = esB ? d.b : d.a;
  c.definido = false;
  d.parMedido = false;
  const ResultadoCentroide r = CentroideEstrella(im, x, y, p);
  c.definido = true;
  c.clicX = x;
  c.clicY = y;
  c.centroide = {r.x, r.y};
  if (d.a.definido && d.b.definido) {
    d.ap = AnguloPosicion(d.a.centroide.x, d.a.centroide.y, d.b.centroide.x, d.b.centroide.y);
    d.distancia = std::hypot(d.b.centroide.x - d.a.centroide.x, d.b.centroide.y - d.a.centroide.y);
    d.parMedido = true;
  }
}

PuntoTrazoMedido MidePuntoTrazo(const ImagenPixeles& im, int x, int y,
                                const ParametrosCentroide& p) {
  const long r = std::max(p.radio, 1);
  const long w = im.Ancho(), h = im.Alto();
  if (x < 0 || x >= w || y - r < 0 || y + r >= h) throw JError(12139);  // 12139
  // The brightest row of the window; the clicked row when nothing is above 0.
  long fila = y;
  int maximo = 0;
  for (long f = y - r; f <= y + r; ++f) {
    const int v = im.Pixel(static_cast<long>(x), f);
    if (v > maximo) {
      maximo = v;
      fila = f;
    }
  }
  const double cielo = im.ValorModa();
  Perfil perfil = PerfilVertical(im, x, fila, r, cielo);
  for (int it = 1; it <= std::max(p.numItera, 0); ++it) {
    const long nueva = Redondea(perfil.centro);
    if (nueva == fila) break;
    fila = nueva;
    const long ancho = std::clamp(static_cast<long>(2.0 * perfil.fwhm), 1L, r);
    perfil = PerfilVertical(im, x, fila, ancho, cielo);
  }
  if (!(perfil.fwhm >= p.minFWHM && perfil.fwhm <= p.maxFWHM)) throw JError(12140);  // 12140
  if (p.info == 1) {
    char b[128];
    std::snprintf(b, sizeof b, "Punto trazo=(%d,%.2f), fwhm = %.3f\n", x, perfil.centro,
                  perfil.fwhm);
    ProgresoActual().AnadirLinea(b);
  }
  return {static_cast<double>(x), perfil.centro, perfil.fwhm};
}

std::pair<double, double> RegresionLineal(const std::vector<PuntoDoble>& puntos) {
  if (puntos.empty()) throw JError(12142);  // 12142
  const double n = static_cast<double>(puntos.size());
  double sx = 0, sy = 0, sxy = 0, sx2 = 0;
  for (const PuntoDoble& q : puntos) {
    sx += q.x;
    sy += q.y;
    sxy += q.x * q.y;
    sx2 += q.x * q.x;
  }
  const double den = n * sx2 - sx * sx;
  if (!(std::fabs(den) > 0)) throw JError(12138);  // one column: no line y = a x + b
  return {(n * sxy - sx * sy) / den, (sx2 * sy - sxy * sx) / den};
}

void DefineExtremoTrazo(const ImagenPixeles& im, DatosDobles& d, int t, bool esFinal, int x, int y,
                        ParametrosCentroide p) {
  Trazo& tr = TrazoDe(d, t);
  bool& definido = esFinal ? tr.finalDefinido : tr.inicioDefinido;
  bool& medido = esFinal ? tr.finalMedido : tr.inicioMedido;
  definido = medido = false;
  const PuntoTrazoMedido m = MidePuntoTrazo(im, x, y, p);
  definido = medido = true;
  (esFinal ? tr.finalClicX : tr.inicioClicX) = x;
  (esFinal ? tr.finalClicY : tr.inicioClicY) = y;
  (esFinal ? tr.fin : tr.inicio) = {m.x, m.y};
  (esFinal ? tr.letraFin : tr.letraInicio) = 'T';
  if (!(tr.inicioDefinido && tr.finalDefinido && tr.letraInicio == 'T' && tr.letraFin == 'T')) {
    return;
  }

  // Follow the trail column by column, each column starting from the previous one's row.
  p.info = 0;
  const long x0 = Redondea(tr.inicio.x), x1 = Redondea(tr.fin.x);
  const long paso = x1 >= x0 ? 1 : -1;
  long fila = Redondea(tr.inicio.y);
  std::vector<PuntoDoble> puntos;
  for (long c = x0;; c += paso) {
    try {
      const PuntoTrazoMedido q = MidePuntoTrazo(im, static_cast<int>(c), static_cast<int>(fila), p);
      puntos.push_back({q.x, q.y});
      fila = Redondea(q.y);
    } catch (const JError&) {
      // a column without a trail point is left out
    }
    if (c == x1) break;
  }
  if (puntos.size() < 2) {
    definido = medido = false;
    throw JError(12138);  // 12138
  }
  const auto [a, b] = RegresionLineal(puntos);
  tr.pendiente = a;
  tr.ordenada = b;
  tr.angulo = -std::atan(a) * kGradosRadian + 0.0;  // + 0.0: a level trail reads 0, not -0
  tr.letra = 'T';
  tr.medido = true;
}

void DefineEstrellaTrazo(const ImagenPixeles& im, DatosDobles& d, int t, bool esFinal, int x, int y,
                         const ParametrosCentroide& p) {
  Trazo& tr = TrazoDe(d, t);
  bool& definida = esFinal ? tr.estrFinalDefinida : tr.estrOrigenDefinida;
  definida = false;
  const ResultadoCentroide r = CentroideEstrella(im, x, y, p);
  definida = true;
  (esFinal ? tr.estrFinalClicX : tr.origenClicX) = x;
  (esFinal ? tr.estrFinalClicY : tr.origenClicY) = y;
  (esFinal ? tr.fin : tr.inicio) = {r.x, r.y};
  (esFinal ? tr.finalMedido : tr.inicioMedido) = true;
  (esFinal ? tr.letraFin : tr.letraInicio) = 'E';
  if (!(tr.estrOrigenDefinida && tr.estrFinalDefinida && tr.letraInicio == 'E' &&
        tr.letraFin == 'E')) {
    return;
  }
  tr.angulo = AnguloPosicion(tr.inicio.x, tr.inicio.y, tr.fin.x, tr.fin.y);
  const double dx = tr.fin.x - tr.inicio.x;
  tr.pendiente = dx != 0 ? (tr.fin.y - tr.inicio.y) / dx : 0.0;
  tr.ordenada = tr.inicio.y - tr.pendiente * tr.inicio.x;
  tr.letra = 'E';
  tr.medido = true;
}

// ---------------------------------------------------------------------------------------------
// Calculation over images.

MedidaDoble MedidaDe(const DatosDobles& d) {
  MedidaDoble m;
  m.parMedido = d.parMedido;
  m.distancia = d.distancia;
  m.ap = d.ap;
  for (const Trazo& t : d.trazos) {
    if (t.medido) m.angulosTrazo.push_back(t.angulo);
  }
  return m;
}

MediaDesviacion MediaYDesviacion(const std::vector<double>& v) {
  MediaDesviacion r;
  r.n = static_cast<int>(v.size());
  if (v.empty()) return r;
  double s = 0;
  for (double x : v) s += x;
  r.media = s / r.n;
  if (r.n > 1) {
    double s2 = 0;
    for (double x : v) s2 += (x - r.media) * (x - r.media);
    r.desviacion = std::sqrt(s2 / (r.n - 1));
  }
  return r;
}

std::array<std::string, 4> ResultadoCalculoDobles::Textos() const {
  auto texto = [](const char* fmt, double a, double b) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return std::string(buf);
  };
  if (!distanciaValida) {
    return {"0.0 \"/p ± 0.0", "0.0 ° ± 0.0", "0.0 \"/p ± 0.0", "0.0 ° ± 0.0"};
  }
  std::array<std::string, 4> t = {
      texto("%.4lf \"/p ± %.4lf", escala.media, escala.desviacion),
      texto("%.2lf ° ± %.2lf", orientacion.media, orientacion.desviacion), "0.0 \"/p ± 0.0",
      "0.0 ° ± 0.0"};
  if (completo) {
    t[2] = texto("%.2lf \"/p ± %.2lf", separacion.media, separacion.desviacion);
    t[3] = texto("%.2lf ° ± %.2lf", ap, desvAP);
  }
  return t;
}

ResultadoCalculoDobles CalculaDobles(const std::vector<MedidaDoble>& calibracion,
                                     const std::vector<MedidaDoble>& trazos,
                                     const std::vector<MedidaDoble>& dobles, double distancia) {
  ResultadoCalculoDobles r;
  if (!(distancia > 0)) return r;
  r.distanciaValida = true;
  std::vector<double> escalas, angulos;
  for (const MedidaDoble& m : calibracion) {
    // An image whose two components coincide gives no scale.
    if (m.parMedido && m.distancia > 0) escalas.push_back(distancia / m.distancia);
  }
  for (const MedidaDoble& m : trazos) {
    angulos.insert(angulos.end(), m.angulosTrazo.begin(), m.angulosTrazo.end());
  }
  r.escala = MediaYDesviacion(escalas);
  r.orientacion = MediaYDesviacion(angulos);
  if (calibracion.empty() || trazos.empty() || dobles.empty()) return r;
  std::vector<double> separaciones, aps;
  for (const MedidaDoble& m : dobles) {
    if (!m.parMedido) continue;
    separaciones.push_back(r.escala.media * m.distancia);
    aps.push_back(m.ap);
  }
  r.separacion = MediaYDesviacion(separaciones);
  const MediaDesviacion mAP = MediaYDesviacion(aps);
  r.ap = mAP.media - r.orientacion.media;
  r.desvAP = mAP.desviacion;
  r.completo = true;
  return r;
}

ObjetosCalculo ObjetosCalculoDobles(const std::vector<const Imagen*>& imagenes) {
  ObjetosCalculo o;
  bool hayDoble = false;
  auto anade = [](std::vector<std::string>& v, const std::string& n) {
    if (std::find(v.begin(), v.end(), n) == v.end()) v.push_back(n);
  };
  for (const Imagen* im : imagenes) {
    if (!im || im->TipoObjeto() != kDoble) continue;
    hayDoble = true;
    const DatosDobles* d = DatosDoblesDe(*im);
    if (!d) continue;
    if (d->parMedido) anade(o.conPar, im->datos.nombreObjeto);
    if (d->trazos[0].medido || d->trazos[1].medido) anade(o.conTrazo, im->datos.nombreObjeto);
  }
  if (!hayDoble) throw JError(12066);           // 12066
  if (o.conPar.empty()) throw JError(12067);    // 12067
  if (o.conTrazo.empty()) throw JError(12068);  // 12068
  return o;
}

std::vector<std::string> LineasDobles(const DatosDobles& d) {
  std::vector<std::string> l;
  const std::string noHay = Cadena(12144);
  l.push_back(Cadena(12196) + (d.a.definido ? Punto(d.a.centroide) : noHay));
  l.push_back(Cadena(12197) + (d.b.definido ? Punto(d.b.centroide) : noHay));
  l.push_back(Cadena(12198) + " " + (d.parMedido ? Numero("%.2lf", d.ap) : noHay));
  l.push_back(Cadena(12199) + " " + (d.parMedido ? Numero("%.2lf", d.distancia) : noHay));
  std::string etiqueta = Cadena(12202);  // "AP trazo:", written as "%s:\t %.2lf grados."
  if (!etiqueta.empty() && etiqueta.back() == ':') etiqueta.pop_back();
  for (const Trazo& t : d.trazos) {
    l.push_back(Cadena(12200) + (t.inicioMedido ? Punto(t.inicio) : noHay));
    l.push_back(Cadena(12201) + (t.finalMedido ? Punto(t.fin) : noHay));
    char b[160];
    if (t.medido) {
      std::snprintf(b, sizeof b, "%s:\t %.2lf grados.", etiqueta.c_str(), t.angulo);
    } else {
      std::snprintf(b, sizeof b, "%s:\t %s", etiqueta.c_str(), noHay.c_str());
    }
    l.push_back(b);
  }
  return l;
}

}  // namespace orva
