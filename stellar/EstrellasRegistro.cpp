// Star lists for registration and the registration of images and files on a reference list.
#include "stellar/EstrellasRegistro.h"

#include <algorithm>
#include <cmath>

#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
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

}  // namespace

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
  std::vector<EstrellaRegistro> lista;
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
    if (std::isfinite(s.x) && std::isfinite(s.y)) lista.push_back(s);
  }
  std::stable_sort(
      lista.begin(), lista.end(),
      [](const EstrellaRegistro& a, const EstrellaRegistro& b) { return a.flujo > b.flujo; });
  if (lista.size() > static_cast<size_t>(std::max(o.maxEstrellas, 0))) {
    lista.resize(static_cast<size_t>(std::max(o.maxEstrellas, 0)));
  }
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
