// Star lists for registration and the registration of images and files on a reference list.
#include "stellar/EstrellasRegistro.h"

#include <algorithm>
#include <cmath>

#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "stellar/Centroide.h"
#include "stellar/DatosVariables.h"
#include "stellar/Fotometria.h"

namespace orva {

namespace {

constexpr char kSeccion[] = "Registro";

// The detector's log lines are of no use here; everything else goes to the caller's progress.
class ProgresoSinLog : public Progreso {
 public:
  explicit ProgresoSinLog(Progreso& base) : base_(base) {}
  int Abrir(const std::string& t) override { return base_.Abrir(t); }
  int Cerrar() override { return base_.Cerrar(); }
  void TextoArchivo(const std::string& t) override { base_.TextoArchivo(t); }
  void TextoProceso(const std::string& t) override { base_.TextoProceso(t); }
  int Cancelado() override { return base_.Cancelado(); }
  void AnadirLinea(const std::string&) override {}
  void Avance(double f) override { base_.Avance(f); }

 private:
  Progreso& base_;
};

bool Entera(double v) {
  return v == std::floor(v);
}

// The window centroid: the window reaches this many sigmas, a step shorter than the tolerance
// ends it, and it gives up after so many steps or this far (pixels, or window sigmas if more)
// from the start.
constexpr double kRadiosVentana = 4.0;
constexpr double kToleranciaVentana = 1e-5;
constexpr int kMaxPasosVentana = 60;
constexpr double kMaxDesvioVentana = 2.0;
// Window sigmas outside these bounds (pixels) are taken as the bound.
constexpr double kSigmaVentanaMin = 0.5, kSigmaVentanaMax = 10.0;
// Window sigma when no star has a usable FWHM.
constexpr double kSigmaVentanaDefecto = 1.3;
// The brightest stars whose FWHM gives the window.
constexpr size_t kEstrellasFWHM = 50;
constexpr double kFWHMSigma = 2.3548200450309493;  // 2 sqrt(2 ln 2)
// The variance (px^2) of a position that is the finder's own: it weighs little in the fit.
constexpr double kVarianzaSinVentana = 0.25;
// Stars of the list refined per band of the thread pool.
constexpr long kEstrellasBanda = 8;

struct SumasVentana {
  double f = 0.0;               // sum of w v over the window
  double fx = 0.0, fy = 0.0;    // sums of w v dx, w v dy
  double dfx = 0.0, dfy = 0.0;  // sums of w v (1 - dx^2 / s^2) (the same with dy)
  double vx = 0.0, vy = 0.0;    // sums of w^2 dx^2 var, w^2 dy^2 var
};

SumasVentana Sumas(const ImagenPixeles& im, double x, double y, long radio,
                   const ParametrosVentana& p) {
  SumasVentana s;
  const double inv2s2 = 0.5 / (p.sigma * p.sigma), invS2 = 1.0 / (p.sigma * p.sigma);
  const long xi = std::lround(x), yi = std::lround(y);
  for (long f = yi - radio; f <= yi + radio; ++f) {
    const double dy = static_cast<double>(f) - y;
    for (long c = xi - radio; c <= xi + radio; ++c) {
      const double dx = static_cast<double>(c) - x;
      const double w = std::exp(-(dx * dx + dy * dy) * inv2s2);
      const double v = static_cast<double>(im.Pixel(c, f)) - p.cielo;
      const double var = p.varCielo + std::max(v, 0.0) / p.ganancia;
      const double wv = w * v;
      s.f += wv;
      s.fx += wv * dx;
      s.fy += wv * dy;
      s.dfx += wv * (1.0 - dx * dx * invS2);
      s.dfy += wv * (1.0 - dy * dy * invS2);
      s.vx += w * w * dx * dx * var;
      s.vy += w * w * dy * dy * var;
    }
  }
  return s;
}

// The window's sigma from the median FWHM of the brightest stars.
double SigmaVentana(const ImagenPixeles& im, const std::vector<EstrellaRegistro>& lista,
                    const std::vector<double>& cielos) {
  std::vector<double> fwhm;
  for (size_t i = 0; i < lista.size() && fwhm.size() < kEstrellasFWHM; ++i) {
    const double v = CalculaFWHM(im, lista[i].x, lista[i].y, cielos[i]);
    if (std::isfinite(v) && v > 0.0) fwhm.push_back(v);
  }
  if (fwhm.empty()) return kSigmaVentanaDefecto;
  const auto medio = fwhm.begin() + static_cast<long>(fwhm.size() / 2);
  std::nth_element(fwhm.begin(), medio, fwhm.end());
  return std::clamp(*medio / kFWHMSigma, kSigmaVentanaMin, kSigmaVentanaMax);
}

}  // namespace

PosicionVentana CentroideVentana(const ImagenPixeles& im, double x, double y,
                                 const ParametrosVentana& p) {
  PosicionVentana r;
  r.x = x;
  r.y = y;
  constexpr double kLejos = 1e9;
  if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > kLejos || std::fabs(y) > kLejos ||
      !(p.sigma > 0.0) || !std::isfinite(p.sigma) || !std::isfinite(p.cielo) ||
      !(p.varCielo >= 0.0) || !std::isfinite(p.varCielo) || !(p.ganancia > 0.0)) {
    return r;
  }
  const double sigma = std::clamp(p.sigma, kSigmaVentanaMin, kSigmaVentanaMax);
  ParametrosVentana q = p;
  q.sigma = sigma;
  const long radio = static_cast<long>(std::ceil(kRadiosVentana * sigma));
  const long w = im.Ancho(), h = im.Alto();
  const double maxDesvio = std::max(kMaxDesvioVentana, sigma);
  double cx = x, cy = y;
  for (int paso = 0; paso < kMaxPasosVentana; ++paso) {
    const long xi = std::lround(cx), yi = std::lround(cy);
    if (xi - radio < 0 || yi - radio < 0 || xi + radio >= w || yi + radio >= h) return r;
    const SumasVentana s = Sumas(im, cx, cy, radio, q);
    if (!(s.f > 0.0)) return r;
    // For a star of the window's width the centroid's offset is half the true one.
    const double dx = 2.0 * s.fx / s.f, dy = 2.0 * s.fy / s.f;
    cx += dx;
    cy += dy;
    if (!(std::hypot(cx - x, cy - y) <= maxDesvio)) return r;
    if (std::fabs(dx) < kToleranciaVentana && std::fabs(dy) < kToleranciaVentana) {
      const long nx = std::lround(cx), ny = std::lround(cy);
      if (nx - radio < 0 || ny - radio < 0 || nx + radio >= w || ny + radio >= h) return r;
      // The position's variance: the noise of the sums that vanish at the centre, over the
      // square of their slope there.
      const SumasVentana e = Sumas(im, cx, cy, radio, q);
      if (!(e.dfx > 0.0) || !(e.dfy > 0.0)) return r;
      const double varianza = 0.5 * (e.vx / (e.dfx * e.dfx) + e.vy / (e.dfy * e.dfy));
      if (!std::isfinite(varianza) || !(varianza > 0.0)) return r;
      r.converge = true;
      r.x = cx;
      r.y = cy;
      r.varianza = varianza;
      return r;
    }
  }
  return r;
}

void RegistraConfigEstrellasRegistro() {
  RegistraConfigRegistro();
  AjustesActuales().Registra(kSeccion, "REGMETODO", "0");
}

OpcionesEstrellasRegistro LeeOpcionesEstrellasRegistro() {
  RegistraConfigEstrellasRegistro();
  const Ajustes& c = AjustesActuales();
  OpcionesEstrellasRegistro o;
  o.metodo = LeeEntero(c.Valor(kSeccion, "REGMETODO")) == 1 ? MetodoBusqueda::kTASS
                                                            : MetodoBusqueda::kPCVista;
  o.maxEstrellas = LeeParametrosRegistro().estrellasAjuste;
  return o;
}

std::vector<EstrellaRegistro> EstrellasParaRegistro(Imagen& imagen,
                                                    const OpcionesEstrellasRegistro& o,
                                                    Progreso& progreso) {
  DatosVariables datos;
  ProgresoSinLog p(progreso);
  const ParametrosFotometria fot = LeeParametrosFotometria();
  if (o.metodo == MetodoBusqueda::kPCVista) {
    BuscaEstrellasPCVista(imagen, datos, LeeParametrosPCVista(), fot, p);
  } else {
    BuscaEstrellasTASS(imagen, datos, LeeParametrosTASS(), fot, p);
  }
  if (progreso.Cancelado()) throw JError(11011);
  const ParametrosCentroide pc = LeeParametrosCentroide();
  // The finder's stars with their photometry's sky, brightest first.
  struct Candidata {
    EstrellaRegistro e;
    double cielo, desvCielo;
  };
  std::vector<Candidata> candidatas;
  for (const ObjetoEstelar& e : datos.Estrellas()) {
    EstrellaRegistro s{e.x, e.y, std::isnan(e.sumaLimpia) ? -HUGE_VAL : e.sumaLimpia};
    if (Entera(s.x) && Entera(s.y)) {
      try {
        const ResultadoCentroide c = CentroideEstrella(imagen, s.x, s.y, pc);
        s.x = c.x;
        s.y = c.y;
      } catch (const JError&) {
        // The finder's position stands.
      }
    }
    if (std::isfinite(s.x) && std::isfinite(s.y)) candidatas.push_back({s, e.cielo, e.desvCielo});
  }
  std::stable_sort(candidatas.begin(), candidatas.end(),
                   [](const Candidata& a, const Candidata& b) { return a.e.flujo > b.e.flujo; });
  if (candidatas.size() > static_cast<size_t>(std::max(o.maxEstrellas, 0))) {
    candidatas.resize(static_cast<size_t>(std::max(o.maxEstrellas, 0)));
  }
  std::vector<EstrellaRegistro> lista;
  std::vector<double> cielos;
  for (const Candidata& c : candidatas) {
    lista.push_back(c.e);
    cielos.push_back(c.cielo);
  }
  // Each star's window centroid, on the operations' threads (each writes its own entry).
  const double sigma = SigmaVentana(imagen, lista, cielos);
  const double desvImagen = imagen.Desviacion();
  ParaBandas(
      static_cast<long>(lista.size()), nullptr,
      [&](long, long desde, long hasta) {
        for (long i = desde; i < hasta; ++i) {
          const Candidata& c = candidatas[static_cast<size_t>(i)];
          EstrellaRegistro& s = lista[static_cast<size_t>(i)];
          ParametrosVentana pv;
          pv.sigma = sigma;
          pv.cielo = c.cielo;
          const double desv =
              std::isfinite(c.desvCielo) && c.desvCielo > 0.0 ? c.desvCielo : desvImagen;
          pv.varCielo = desv * desv;
          const PosicionVentana v = CentroideVentana(imagen, s.x, s.y, pv);
          if (v.converge) {
            s.x = v.x;
            s.y = v.y;
            s.varianza = v.varianza;
          } else {
            s.varianza = kVarianzaSinVentana;
          }
        }
      },
      kEstrellasBanda);
  return lista;
}

ResultadoRegistro RegistraImagen(const std::vector<EstrellaRegistro>& referencia, Imagen& imagen,
                                 const OpcionesEstrellasRegistro& o, const ParametrosRegistro& p,
                                 Progreso& progreso) {
  return RegistraEstrellas(referencia, EstrellasParaRegistro(imagen, o, progreso), p);
}

std::vector<ResultadoRegistro> RegistraArchivos(const std::vector<EstrellaRegistro>& referencia,
                                                const std::vector<std::string>& archivos,
                                                const OpcionesEstrellasRegistro& o,
                                                const ParametrosRegistro& p, Progreso& progreso) {
  std::vector<ResultadoRegistro> r;
  for (size_t i = 0; i < archivos.size(); ++i) {
    if (progreso.Cancelado()) throw JError(11011);
    progreso.TextoArchivo(archivos[i]);
    progreso.Avance(static_cast<double>(i) / static_cast<double>(archivos.size()));
    Imagen im;
    try {
      LeeArchivo(archivos[i], im);
    } catch (const JError& e) {
      ResultadoRegistro fallo;
      fallo.idError = e.Id();
      fallo.texto = e.Mensaje();
      r.push_back(std::move(fallo));
      continue;
    }
    r.push_back(RegistraImagen(referencia, im, o, p, progreso));
  }
  return r;
}

SerieRegistrada RegistraFotogramas(const FuenteFotogramas& fuente,
                                   const OpcionesEstrellasRegistro& o, const ParametrosRegistro& p,
                                   Progreso& progreso) {
  SerieRegistrada s;
  if (fuente.numero == 0) return s;
  std::vector<EstrellaRegistro> estrellas;
  {
    Imagen ref;
    fuente.carga(0, ref);
    estrellas = EstrellasParaRegistro(ref, o, progreso);
  }
  ResultadoRegistro propio;
  propio.exito = true;
  s.resultados.push_back(propio);
  s.indices.push_back(0);
  s.transformaciones.push_back(Transformacion2D::Identidad());
  for (size_t i = 1; i < fuente.numero; ++i) {
    if (progreso.Cancelado()) throw JError(11011);
    progreso.TextoArchivo(fuente.nombre(i));
    progreso.Avance(static_cast<double>(i - 1) / static_cast<double>(fuente.numero - 1));
    Imagen im;
    try {
      fuente.carga(i, im);
    } catch (const JError& e) {
      ResultadoRegistro fallo;
      fallo.idError = e.Id();
      fallo.texto = e.Mensaje();
      s.resultados.push_back(std::move(fallo));
      continue;
    }
    s.resultados.push_back(RegistraImagen(estrellas, im, o, p, progreso));
    if (s.resultados.back().exito) {
      s.indices.push_back(i);
      s.transformaciones.push_back(s.resultados.back().transformacion);
    }
  }
  return s;
}

std::vector<Transformacion2D> TransformacionesGrupo(const std::vector<Transformacion2D>& serie,
                                                    const std::vector<size_t>& grupo) {
  if (serie.empty() || grupo.empty()) return {};
  Transformacion2D inversa;
  if (!InvierteTransformacion(serie[grupo.front()], inversa)) return {};
  std::vector<Transformacion2D> t;
  for (size_t i : grupo) t.push_back(ComponeTransformaciones(inversa, serie[i]));
  return t;
}

}  // namespace orva
