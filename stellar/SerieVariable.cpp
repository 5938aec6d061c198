#include "base/Csv.h"
#include "stellar/SerieVariable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "stellar/CircunstanciasImagen.h"

namespace orva {
namespace {

constexpr double kGradosPorRadian = 57.29577951308232;
// Below this altitude (degrees) Hardie's polynomial no longer follows the atmosphere.
constexpr double kAlturaMinimaHardie = 5.0;
// Magnitude error of a relative flux error: 2.5 / ln 10.
constexpr double kFactorMagnitud = 1.0857362047581296;
// Clipping of the sky ring at this many deviations from its median.
constexpr double kSigmaRecorte = 3.0;
// Variance of the median of Gaussian values over that of their mean.
constexpr double kVarianzaMediana = 1.5707963267948966;
// Gaussian FWHM over sigma.
constexpr double kFwhmSigma = 2.3548200450309493;
// Passes of the ensemble's zero points (they settle in two or three).
constexpr int kPasadasConjunto = 4;

struct CieloAnillo {
  double nivel = 0.0, desviacion = 0.0;
  int n = 0;
};

// The ring's pixels clipped about their median; the clipped mean or median and the deviation.
CieloAnillo CieloRecortado(const ImagenPixeles& im, double x, double y, double rInt, double rExt,
                           int pasadas, bool mediana) {
  std::vector<double> v;
  const long x0 = static_cast<long>(std::floor(x - rExt)),
             x1 = static_cast<long>(std::ceil(x + rExt));
  const long y0 = static_cast<long>(std::floor(y - rExt)),
             y1 = static_cast<long>(std::ceil(y + rExt));
  for (long f = y0; f <= y1; ++f) {
    for (long c = x0; c <= x1; ++c) {
      const double d2 = (c - x) * (c - x) + (f - y) * (f - y);
      if (d2 >= rInt * rInt && d2 <= rExt * rExt) v.push_back(im.Pixel(c, f));
    }
  }
  CieloAnillo r;
  for (int k = 0; k <= pasadas && !v.empty(); ++k) {
    const double med = Mediana(v);
    double s = 0.0, s2 = 0.0;
    for (double p : v) {
      s += p;
      s2 += (p - med) * (p - med);
    }
    r.n = static_cast<int>(v.size());
    r.nivel = mediana ? med : s / r.n;
    r.desviacion = r.n > 1 ? std::sqrt(s2 / (r.n - 1)) : 0.0;
    if (k == pasadas) break;
    const size_t antes = v.size();
    const double limite = kSigmaRecorte * r.desviacion;
    v.erase(
        std::remove_if(v.begin(), v.end(), [&](double p) { return std::fabs(p - med) > limite; }),
        v.end());
    if (v.size() == antes) break;
  }
  if (!mediana && r.n > 1) {
    // The deviation about the clipped mean.
    double s2 = 0.0;
    for (double p : v) s2 += (p - r.nivel) * (p - r.nivel);
    r.desviacion = std::sqrt(s2 / (r.n - 1));
  }
  return r;
}

// The FWHM of a star from the second moment of its sky-subtracted light within r.
double FwhmMomentos(const ImagenPixeles& im, double x, double y, double r, double cielo) {
  double s = 0.0, s2 = 0.0;
  for (long f = static_cast<long>(std::floor(y - r)); f <= static_cast<long>(std::ceil(y + r));
       ++f) {
    for (long c = static_cast<long>(std::floor(x - r)); c <= static_cast<long>(std::ceil(x + r));
         ++c) {
      const double d2 = (c - x) * (c - x) + (f - y) * (f - y);
      if (d2 > r * r) continue;
      const double v = im.Pixel(c, f) - cielo;
      s += v;
      s2 += v * d2;
    }
  }
  if (!(s > 0.0) || !(s2 > 0.0)) return kSinValor;
  return kFwhmSigma * std::sqrt(s2 / (2.0 * s));
}

// The sky-subtracted light within r of (x, y) and its first moment (mx, my).
double MomentoPrimero(const ImagenPixeles& im, double x, double y, double r, double cielo,
                      double& mx, double& my) {
  double s = 0.0, sx = 0.0, sy = 0.0;
  for (long f = static_cast<long>(std::floor(y - r)); f <= static_cast<long>(std::ceil(y + r));
       ++f) {
    for (long c = static_cast<long>(std::floor(x - r)); c <= static_cast<long>(std::ceil(x + r));
         ++c) {
      if ((c - x) * (c - x) + (f - y) * (f - y) > r * r) continue;
      const double v = im.Pixel(c, f) - cielo;
      s += v;
      sx += v * c;
      sy += v * f;
    }
  }
  mx = s > 0.0 ? sx / s : x;
  my = s > 0.0 ? sy / s : y;
  return s;
}

std::string Num(const char* fmt, double v) {
  if (!std::isfinite(v)) return {};
  char b[64];
  std::snprintf(b, sizeof b, fmt, v);
  return b;
}

std::string TextoMarcas(int m) {
  std::string t;
  auto anade = [&](int bit, const char* s) {
    if (!(m & bit)) return;
    if (!t.empty()) t += '|';
    t += s;
  };
  anade(kFueraImagen, "off");
  anade(kNoIdentificada, "unidentified");
  anade(kSaturada, "saturated");
  anade(kSinFlujo, "faint");
  return t;
}

}  // namespace

double MasaAireHardie(double alturaGrados) {
  if (!(alturaGrados >= kAlturaMinimaHardie)) return kSinValor;
  return MasaAire(alturaGrados / kGradosPorRadian, FormulaMasaAire::kHardie);
}

TiempoObservacion TiempoYMasaAire(const DatosImagen& d) {
  TiempoObservacion t;
  t.conFecha = TieneDatoImagen(d, "FECHAOBS") && TieneDatoImagen(d, "HORAOBS");
  if (!t.conFecha) return t;
  // A negative or undefined exposure time leaves the frame without a time.
  try {
    t.jd = DiaJulianoImagen(d);
    if (!TieneDatoImagen(d, "AROBJ") || !TieneDatoImagen(d, "DECOBJ")) return t;
    t.hjd = DiaJulianoHelioImagen(d);
    if (!TieneDatoImagen(d, "LONOBS") || !TieneDatoImagen(d, "LATOBS")) return t;
    const Circunstancias c = CircunstanciasImagen(d, FormulaMasaAire::kHardie);
    t.altura = c.altura * kGradosPorRadian;
    t.masaAire = MasaAireHardie(t.altura);
  } catch (const JError&) {
    t.conFecha = false;
    t.jd = t.hjd = kSinValor;
  }
  return t;
}

ParametrosSerie LeeParametrosSerie() {
  const Ajustes& c = AjustesActuales();
  ParametrosSerie p;
  p.fotometria = LeeParametrosFotometria();
  switch (LeeEntero(c.Valor("AnaVariables", "VARCIELOSERIE"))) {
    case 0:
      p.cielo = MetodoCielo::kModa;
      break;
    case 2:
      p.cielo = MetodoCielo::kMedianaRecortada;
      break;
    default:
      p.cielo = MetodoCielo::kMediaRecortada;
      break;
  }
  const double ganancia = LeeReal(c.Valor("AnaVariables", "VARGANANCIA"));
  if (ganancia > 0.0 && std::isfinite(ganancia)) p.ganancia = ganancia;
  const double ruido = LeeReal(c.Valor("AnaVariables", "VARRUIDOLECTURA"));
  if (ruido >= 0.0 && std::isfinite(ruido)) p.ruidoLectura = ruido;
  const double escala = LeeReal(c.Valor("AnaVariables", "VARESCALAFWHM"));
  if (escala >= 0.0 && std::isfinite(escala)) p.escalaFwhm = escala;
  return p;
}

MedidaEstrella MideEstrellaSerie(const ImagenPixeles& im, double x, double y, double r, double rInt,
                                 double rExt, const ParametrosSerie& p) {
  MedidaEstrella m;
  m.x = x;
  m.y = y;
  if (!std::isfinite(x) || !std::isfinite(y) || x - rExt < 0.0 || y - rExt < 0.0 ||
      x + rExt > im.Ancho() - 1.0 || y + rExt > im.Alto() - 1.0) {
    m.marcas = kFueraImagen;
    return m;
  }
  CieloAnillo cielo = CieloRecortado(im, x, y, rInt, rExt, p.pasadasCielo,
                                     p.cielo == MetodoCielo::kMedianaRecortada);
  const double ganancia = p.ganancia > 0.0 ? p.ganancia : 1.0;
  cielo.desviacion = std::max(cielo.desviacion, p.ruidoLectura / ganancia);
  // Variance of the sky level: that of a mean of the ring's pixels (pi / 2 times more for a
  // median).
  double varNivel = cielo.n > 0 ? cielo.desviacion * cielo.desviacion / cielo.n : 0.0;
  if (p.cielo == MetodoCielo::kMedianaRecortada) varNivel *= kVarianzaMediana;
  if (p.cielo == MetodoCielo::kModa) {
    // The histogram's mode scatters far more than a mean: its distance from the clipped mean
    // stands for its error.
    const Cielo c =
        EstimaCielo(im, std::lround(x), std::lround(y), static_cast<int>(std::lround(rInt)),
                    static_cast<int>(std::lround(rExt)), p.fotometria.maxIteraciones, 0);
    varNivel = std::max(varNivel, (c.nivel - cielo.nivel) * (c.nivel - cielo.nivel));
    cielo.nivel = c.nivel;
  }
  m.cielo = cielo.nivel;
  m.desvCielo = cielo.desviacion;
  double suma = 0.0;
  int n = 0;
  bool saturada = false;
  for (long f = static_cast<long>(std::floor(y - r)); f <= static_cast<long>(std::ceil(y + r));
       ++f) {
    for (long c = static_cast<long>(std::floor(x - r)); c <= static_cast<long>(std::ceil(x + r));
         ++c) {
      if ((c - x) * (c - x) + (f - y) * (f - y) > r * r) continue;
      const int16_t v = im.Pixel(c, f);
      if (v >= p.fotometria.valorSaturacion) saturada = true;
      suma += v;
      ++n;
    }
  }
  if (saturada) {
    m.marcas = kSaturada;
    return m;
  }
  m.flujo = suma - n * cielo.nivel;
  const double var = std::max(m.flujo, 0.0) / ganancia + n * cielo.desviacion * cielo.desviacion +
                     double(n) * n * varNivel;
  m.errorFlujo = std::sqrt(var);
  if (!(m.flujo > p.snrMinimo * m.errorFlujo)) {
    m.marcas = kSinFlujo;
    return m;
  }
  m.magnitud = p.fotometria.constanteMag - 2.5 * std::log10(m.flujo);
  m.error = kFactorMagnitud * m.errorFlujo / m.flujo;
  m.magnitudCorregida = m.magnitud;
  return m;
}

FotogramaSerie MideFotograma(const CampoVariable& campo, Imagen& imagen, const ParametrosSerie& p,
                             const OpcionesEstrellasRegistro& opciones,
                             const ParametrosRegistro& registro, Progreso& progreso) {
  FotogramaSerie f;
  f.nombre = imagen.NombreArchivo();
  f.tiempo = TiempoYMasaAire(imagen.datos);
  f.filtro = imagen.datos.filtro;
  if (!f.tiempo.conFecha) {
    f.avisos.push_back(Mensaje(12431));
  } else if (!std::isfinite(f.tiempo.masaAire)) {
    f.avisos.push_back(Mensaje(12432));
  }
  const size_t n = campo.estrellas.size();
  f.estrellas.assign(n, MedidaEstrella{});
  const ResultadoRegistro reg =
      RegistraImagen(campo.estrellasReferencia, imagen, opciones, registro, progreso);
  if (!reg.exito) {
    for (MedidaEstrella& m : f.estrellas) m.marcas = kNoIdentificada;
    f.avisos.push_back(Mensaje(12433) + " " + reg.Mensaje());
    return f;
  }
  f.identificado = true;
  const ComponentesSimilitud s = DescomponeSimilitud(reg.transformacion);
  f.dx = s.dx;
  f.dy = s.dy;
  f.rotacion = s.rotacion;
  const double r0 = campo.radioEstrella > 0 ? campo.radioEstrella : p.fotometria.radioEstrella;
  const double ri0 = campo.radioEstrella > 0 ? campo.radioCieloInt : p.fotometria.radioCieloInt;
  const double re0 = campo.radioEstrella > 0 ? campo.radioCieloExt : p.fotometria.radioCieloExt;
  // Every star's centroid near where the transform puts it.
  std::vector<int> marcas(n, 0);
  std::vector<double> xs(n, kSinValor), ys(n, kSinValor);
  for (size_t i = 0; i < n; ++i) {
    double u = 0, v = 0;
    const EstrellaCampo& e = campo.estrellas[i];
    if (!reg.transformacion.Aplica(e.x, e.y, u, v) || u - re0 < 0.0 || v - re0 < 0.0 ||
        u + re0 > imagen.Ancho() - 1.0 || v + re0 > imagen.Alto() - 1.0) {
      marcas[i] = kFueraImagen;
      continue;
    }
    const PosicionVentana c = CentraEstrella(imagen, u, v, static_cast<int>(std::lround(ri0)),
                                             static_cast<int>(std::lround(re0)), p.sigmaVentana);
    if (c.converge && std::hypot(c.x - u, c.y - v) > p.tolerancia) {
      // Something else pulls the centroid away: another star, a defect.
      marcas[i] = kNoIdentificada;
      continue;
    }
    // A star too faint for its centroid is measured where the transform puts it, unless the
    // light in its aperture is centred elsewhere (a neighbour); the signal-to-noise test below
    // then says whether it is there at all.
    if (!c.converge) {
      const CieloAnillo cielo = CieloRecortado(imagen, u, v, ri0, re0, p.pasadasCielo, false);
      double mx = 0.0, my = 0.0;
      const double flujo = MomentoPrimero(imagen, u, v, r0, cielo.nivel, mx, my);
      const double ruido = cielo.desviacion * std::sqrt(M_PI * r0 * r0);
      if (flujo > p.snrMinimo * ruido && std::hypot(mx - u, my - v) > p.tolerancia) {
        marcas[i] = kNoIdentificada;
        continue;
      }
    }
    xs[i] = c.converge ? c.x : u;
    ys[i] = c.converge ? c.y : v;
  }
  // The apertures scaled to the frame's FWHM (median over the comparison and check stars).
  double r = r0, ri = ri0, re = re0;
  std::vector<double> fwhm;
  for (size_t i = 0; i < n; ++i) {
    if (marcas[i] || campo.estrellas[i].papel == PapelEstrella::kVariable) continue;
    const CieloAnillo c = CieloRecortado(imagen, xs[i], ys[i], ri0, re0, p.pasadasCielo, false);
    const double w = FwhmMomentos(imagen, xs[i], ys[i], r0, c.nivel);
    if (std::isfinite(w)) fwhm.push_back(w);
  }
  f.fwhm = fwhm.empty() ? kSinValor : Mediana(std::move(fwhm));
  if (p.escalaFwhm > 0.0 && std::isfinite(f.fwhm)) {
    r = p.escalaFwhm * f.fwhm;
    ri = r * ri0 / r0;
    re = r * re0 / r0;
  }
  for (size_t i = 0; i < n; ++i) {
    const EstrellaCampo& e = campo.estrellas[i];
    MedidaEstrella& m = f.estrellas[i];
    if (marcas[i] == 0)
      m = MideEstrellaSerie(imagen, xs[i], ys[i], r, ri, re, p);
    else
      m.marcas = marcas[i];
    if (m.marcas & kFueraImagen) {
      f.avisos.push_back(Mensaje(12434, e.nombre));
    } else if (m.marcas & (kNoIdentificada | kSinFlujo)) {
      m.marcas |= kNoIdentificada;
      f.avisos.push_back(Mensaje(12435, e.nombre));
    } else if (m.marcas & kSaturada) {
      f.avisos.push_back(Mensaje(12440, e.nombre));
    }
  }
  return f;
}

void CalculaDiferenciales(const CampoVariable& campo, const ParametrosSerie& p, ResultadoSerie& r) {
  const std::vector<int> comp = campo.Indices(PapelEstrella::kComparacion);
  const std::vector<int> control = campo.Indices(PapelEstrella::kControl);
  const int var = campo.Variable();
  if (comp.empty()) throw JError(12398);  // 12398
  // A frame without a measurement of a star (one of another field's size) counts as not
  // measured.
  auto valida = [](const FotogramaSerie& f, int i) {
    return i >= 0 && static_cast<size_t>(i) < f.estrellas.size() &&
           f.estrellas[static_cast<size_t>(i)].Valida();
  };
  auto medida = [](const FotogramaSerie& f, int i) -> const MedidaEstrella& {
    return f.estrellas[static_cast<size_t>(i)];
  };

  // Extinction: m = a_c + k X over the comparison stars, one slope, weighted.
  r.extincion = p.extincion;
  r.errorExtincion = 0.0;
  r.extincionAjustada = false;
  if (p.ajustaExtincion) {
    double sxx = 0.0, sxy = 0.0;
    int puntos = 0;
    for (int c : comp) {
      double sw = 0, sx = 0, sy = 0;
      for (const FotogramaSerie& f : r.fotogramas) {
        if (!valida(f, c) || !std::isfinite(f.tiempo.masaAire)) continue;
        const double w = 1.0 / (medida(f, c).error * medida(f, c).error);
        sw += w;
        sx += w * f.tiempo.masaAire;
        sy += w * medida(f, c).magnitud;
      }
      if (sw == 0.0) continue;
      const double xm = sx / sw, ym = sy / sw;
      for (const FotogramaSerie& f : r.fotogramas) {
        if (!valida(f, c) || !std::isfinite(f.tiempo.masaAire)) continue;
        const double w = 1.0 / (medida(f, c).error * medida(f, c).error);
        const double dx = f.tiempo.masaAire - xm;
        sxx += w * dx * dx;
        sxy += w * dx * (medida(f, c).magnitud - ym);
        ++puntos;
      }
    }
    if (!(sxx > 0.0) || puntos < 3) throw JError(12441);  // 12441
    r.extincion = sxy / sxx;
    r.errorExtincion = 1.0 / std::sqrt(sxx);
    r.extincionAjustada = true;
  }
  for (FotogramaSerie& f : r.fotogramas) {
    for (MedidaEstrella& m : f.estrellas) {
      if (!m.Valida()) continue;
      m.magnitudCorregida = r.extincion == 0.0 ? m.magnitud
                            : std::isfinite(f.tiempo.masaAire)
                                ? m.magnitud - r.extincion * f.tiempo.masaAire
                                : kSinValor;
    }
  }

  // The ensemble's zero points.
  r.magnitudesEstandar = std::all_of(comp.begin(), comp.end(), [&](int c) {
    return std::isfinite(campo.estrellas[static_cast<size_t>(c)].magnitud);
  });
  r.ceroComparacion.assign(comp.size(), 0.0);
  std::vector<double> ensamble(r.fotogramas.size(), kSinValor),
      errEns(r.fotogramas.size(), kSinValor);
  std::vector<int> cuenta(r.fotogramas.size(), 0);
  auto calculaConjunto = [&]() {
    for (size_t k = 0; k < r.fotogramas.size(); ++k) {
      double sw = 0.0, sm = 0.0;
      int nc = 0;
      for (size_t j = 0; j < comp.size(); ++j) {
        if (!valida(r.fotogramas[k], comp[j])) continue;
        const MedidaEstrella& m = medida(r.fotogramas[k], comp[j]);
        const double w = 1.0 / (m.error * m.error);
        sw += w;
        sm += w * (m.magnitud - r.ceroComparacion[j]);
        ++nc;
      }
      cuenta[k] = nc;
      ensamble[k] = nc ? sm / sw : kSinValor;
      errEns[k] = nc ? 1.0 / std::sqrt(sw) : kSinValor;
    }
  };
  if (r.magnitudesEstandar) {
    for (size_t j = 0; j < comp.size(); ++j) {
      r.ceroComparacion[j] = campo.estrellas[static_cast<size_t>(comp[j])].magnitud;
    }
    calculaConjunto();
  } else {
    // Start from each star's median magnitude, then each star's median offset from the
    // ensemble, until they settle; the zero points are then moved so that they average 0.
    for (size_t j = 0; j < comp.size(); ++j) {
      std::vector<double> v;
      for (const FotogramaSerie& f : r.fotogramas) {
        if (valida(f, comp[j])) v.push_back(medida(f, comp[j]).magnitud);
      }
      r.ceroComparacion[j] = v.empty() ? 0.0 : Mediana(v);
    }
    for (int pasada = 0; pasada < kPasadasConjunto; ++pasada) {
      calculaConjunto();
      for (size_t j = 0; j < comp.size(); ++j) {
        std::vector<double> v;
        for (size_t k = 0; k < r.fotogramas.size(); ++k) {
          if (valida(r.fotogramas[k], comp[j]) && cuenta[k] > 0) {
            v.push_back(medida(r.fotogramas[k], comp[j]).magnitud - ensamble[k]);
          }
        }
        if (!v.empty()) r.ceroComparacion[j] = Mediana(v);
      }
    }
    double media = 0.0;
    for (double z : r.ceroComparacion) media += z;
    media /= static_cast<double>(comp.size());
    for (double& z : r.ceroComparacion) z -= media;
    calculaConjunto();
  }

  const int c0 = comp.front();
  const int k0 = control.empty() ? -1 : control.front();
  for (size_t k = 0; k < r.fotogramas.size(); ++k) {
    FotogramaSerie& f = r.fotogramas[k];
    f.enConjunto = cuenta[k];
    auto diferencia = [&](int a, int b, double& d, double& e) {
      if (!valida(f, a) || !valida(f, b)) return;
      d = medida(f, a).magnitud - medida(f, b).magnitud;
      e = std::hypot(medida(f, a).error, medida(f, b).error);
    };
    diferencia(var, c0, f.vc, f.errorVc);
    diferencia(k0, c0, f.kc, f.errorKc);
    if (cuenta[k] > 0) {
      if (valida(f, var)) {
        f.vEns = medida(f, var).magnitud - ensamble[k];
        f.errorVEns = std::hypot(medida(f, var).error, errEns[k]);
      }
      if (valida(f, k0)) {
        f.kEns = medida(f, k0).magnitud - ensamble[k];
        f.errorKEns = std::hypot(medida(f, k0).error, errEns[k]);
      }
    }
  }
}

ResultadoSerie MideSerie(const CampoVariable& campo, const FuenteFotogramas& fuente,
                         const ParametrosSerie& p, const OpcionesEstrellasRegistro& opciones,
                         const ParametrosRegistro& registro, Progreso& progreso) {
  CompruebaCampo(campo);
  if (fuente.numero == 0) throw JError(12430);  // 12430
  ResultadoSerie r;
  for (size_t i = 0; i < fuente.numero; ++i) {
    if (progreso.Cancelado()) throw JError(11011);  // 11011
    progreso.Avance(static_cast<double>(i) / static_cast<double>(fuente.numero));
    FotogramaSerie f;
    try {
      Imagen im;
      fuente.carga(i, im);
      f = MideFotograma(campo, im, p, opciones, registro, progreso);
    } catch (const JError& e) {
      if (e.Id() == 11011) throw;
      f = FotogramaSerie{};
      f.estrellas.assign(campo.estrellas.size(), MedidaEstrella{});
      for (MedidaEstrella& m : f.estrellas) m.marcas = kNoIdentificada;
      f.avisos.push_back(e.Mensaje());
    }
    if (fuente.nombre) f.nombre = fuente.nombre(i);
    r.fotogramas.push_back(std::move(f));
  }
  CalculaDiferenciales(campo, p, r);
  return r;
}

std::string TextoCsvSerie(const CampoVariable& campo, const ResultadoSerie& r) {
  std::string t = "frame,file,jd,hjd,airmass,fwhm";
  for (const EstrellaCampo& e : campo.estrellas) {
    for (const char* c : {"x", "y", "mag", "err", "mag0", "flags"})
      t += "," + CampoCsv(e.nombre + "_" + c);
  }
  t += ",v-c,v-c_err,k-c,k-c_err,v-ens,v-ens_err,k-ens,k-ens_err,n_ens,notes\n";
  for (size_t k = 0; k < r.fotogramas.size(); ++k) {
    const FotogramaSerie& f = r.fotogramas[k];
    t += std::to_string(k + 1) + "," + CampoCsv(f.nombre) + "," + Num("%.6f", f.tiempo.jd) + "," +
         Num("%.6f", f.tiempo.hjd) + "," + Num("%.4f", f.tiempo.masaAire) + "," +
         Num("%.3f", f.fwhm);
    for (const MedidaEstrella& m : f.estrellas) {
      t += "," + Num("%.3f", m.x) + "," + Num("%.3f", m.y) + "," + Num("%.5f", m.magnitud) + "," +
           Num("%.5f", m.error) + "," + Num("%.5f", m.magnitudCorregida) + "," +
           TextoMarcas(m.marcas);
    }
    std::string avisos;
    for (const std::string& a : f.avisos) avisos += (avisos.empty() ? "" : "; ") + a;
    t += "," + Num("%.5f", f.vc) + "," + Num("%.5f", f.errorVc) + "," + Num("%.5f", f.kc) + "," +
         Num("%.5f", f.errorKc) + "," + Num("%.5f", f.vEns) + "," + Num("%.5f", f.errorVEns) + "," +
         Num("%.5f", f.kEns) + "," + Num("%.5f", f.errorKEns) + "," + std::to_string(f.enConjunto) +
         "," + CampoCsv(avisos) + "\n";
  }
  return t;
}

std::string TextoAavso(const CampoVariable& campo, const ResultadoSerie& r,
                       const OpcionesAavso& o) {
  const bool estandar = r.magnitudesEstandar;
  const std::vector<int> control = campo.Indices(PapelEstrella::kControl);
  const std::vector<int> comp = campo.Indices(PapelEstrella::kComparacion);
  if (comp.empty()) throw JError(12398);  // 12398
  const int c0 = comp.front();
  const int k0 = control.empty() ? -1 : control.front();
  std::vector<const FotogramaSerie*> filas;
  bool todasHjd = true;
  for (const FotogramaSerie& f : r.fotogramas) {
    const double mag = estandar ? f.vEns : f.vc;
    if (!std::isfinite(f.tiempo.jd) || !std::isfinite(mag) ||
        f.estrellas.size() != campo.estrellas.size()) {
      continue;
    }
    filas.push_back(&f);
    todasHjd = todasHjd && std::isfinite(f.tiempo.hjd);
  }
  // The report's fields cannot hold its delimiter.
  auto limpio = [](std::string s) {
    std::replace(s.begin(), s.end(), ',', ' ');
    return s.empty() ? std::string("na") : s;
  };
  std::string t =
      "#TYPE=EXTENDED\n#OBSCODE=" + limpio(o.codigoObservador) +
      "\n#SOFTWARE=ORVA " ORVA_VERSION "\n#DELIM=,\n#DATE=" + (todasHjd ? "HJD" : "JD") +
      "\n#OBSTYPE=CCD\n" +
      "#NAME,DATE,MAG,MERR,FILT,TRANS,MTYPE,CNAME,CMAG,KNAME,KMAG,AMASS,GROUP,CHART,"
      "NOTES\n";
  for (const FotogramaSerie* f : filas) {
    const std::string filtro = limpio(!o.filtro.empty()    ? o.filtro
                                      : !f->filtro.empty() ? f->filtro
                                                           : "CV");
    const MedidaEstrella& c = f->estrellas[static_cast<size_t>(c0)];
    const double kmag = k0 < 0     ? kSinValor
                        : estandar ? f->kEns
                                   : f->estrellas[static_cast<size_t>(k0)].magnitud;
    const std::string na = "na";
    auto o3 = [&](double v) { return std::isfinite(v) ? Num("%.3f", v) : na; };
    t += limpio(campo.nombre) + "," + Num("%.5f", todasHjd ? f->tiempo.hjd : f->tiempo.jd) + "," +
         o3(estandar ? f->vEns : f->vc) + "," + o3(estandar ? f->errorVEns : f->errorVc) + "," +
         filtro + ",NO," + (estandar ? "STD" : "DIF") + "," +
         (estandar ? std::string("ENSEMBLE")
                   : limpio(campo.estrellas[static_cast<size_t>(c0)].nombre)) +
         "," + (estandar ? na : o3(c.magnitud)) + "," +
         (k0 < 0 ? na : limpio(campo.estrellas[static_cast<size_t>(k0)].nombre)) + "," + o3(kmag) +
         "," + o3(f->tiempo.masaAire) + ",na," + limpio(o.carta) + ",na\n";
  }
  return t;
}

CurvaSerie CurvaDiferencial(const ResultadoSerie& r, bool conjunto, bool control) {
  auto valor = [&](const FotogramaSerie& f, double& m, double& e) {
    m = control ? (conjunto ? f.kEns : f.kc) : (conjunto ? f.vEns : f.vc);
    e = control ? (conjunto ? f.errorKEns : f.errorKc) : (conjunto ? f.errorVEns : f.errorVc);
    return std::isfinite(m) && std::isfinite(f.tiempo.jd);
  };
  CurvaSerie c;
  double m = 0.0, e = 0.0;
  for (const FotogramaSerie& f : r.fotogramas) {
    if (valor(f, m, e)) c.heliocentrica = c.heliocentrica && std::isfinite(f.tiempo.hjd);
  }
  for (size_t k = 0; k < r.fotogramas.size(); ++k) {
    const FotogramaSerie& f = r.fotogramas[k];
    if (!valor(f, m, e)) continue;
    c.puntos.push_back(
        {c.heliocentrica ? f.tiempo.hjd : f.tiempo.jd, m, std::isfinite(e) ? e : 0.0});
    c.fotogramas.push_back(k);
  }
  return c;
}

bool EfemerideCampo(const CampoVariable& campo, const std::vector<ObjetoLista>& objetos,
                    EfemerideMinimo& efemeride) {
  if (campo.periodo > 0.0) {
    efemeride = {campo.epocaMinimo, campo.periodo};
    return true;
  }
  std::vector<std::string> nombres = {campo.nombre};
  const int v = campo.Variable();
  if (v >= 0) nombres.push_back(campo.estrellas[static_cast<size_t>(v)].nombre);
  for (const std::string& nombre : nombres) {
    const ObjetoLista* o = ObjetoNombrado(objetos, nombre);
    if (o && o->periodo && o->epocaMinimo && *o->periodo > 0.0 && std::isfinite(*o->epocaMinimo)) {
      efemeride = {*o->epocaMinimo, *o->periodo};
      return true;
    }
  }
  return false;
}

}  // namespace orva
