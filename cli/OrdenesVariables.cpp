// The subcommands field and lightcurve: variable-star fields and the photometry of a series.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "cli/Ordenes.h"
#include "cli/ProgresoConsola.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "shell/Configuracion.h"
#include "stacking/Combinacion.h"
#include "stellar/CampoVariable.h"
#include "stellar/Minimo.h"
#include "stellar/SerieVariable.h"

namespace orva {
namespace {

void BorraBarra() {
  if (auto* consola = dynamic_cast<ProgresoConsola*>(&ProgresoActual())) consola->Borra();
}

double Real(const std::string& texto, const std::string& opcion) {
  const std::optional<double> v = LeeRealComprobado(texto);
  if (!v || !std::isfinite(*v)) throw ErrorUso(opcion + " needs a number, not '" + texto + "'");
  return *v;
}

// "X,Y[,NAME[,MAG]]": a star of the field; the name defaults to the role and its number.
EstrellaCampo LeeEstrella(const std::string& texto, PapelEstrella papel, const std::string& opcion,
                          int numero) {
  std::vector<std::string> p;
  size_t desde = 0;
  while (true) {
    const size_t coma = texto.find(',', desde);
    p.push_back(texto.substr(desde, coma == std::string::npos ? std::string::npos : coma - desde));
    if (coma == std::string::npos) break;
    desde = coma + 1;
  }
  if (p.size() < 2 || p.size() > 4)
    throw ErrorUso(opcion + " is X,Y[,NAME[,MAG]], not '" + texto + "'");
  EstrellaCampo e;
  e.papel = papel;
  e.x = Real(p[0], opcion);
  e.y = Real(p[1], opcion);
  const char* prefijo = papel == PapelEstrella::kVariable      ? "V"
                        : papel == PapelEstrella::kComparacion ? "C"
                                                               : "K";
  e.nombre = p.size() > 2 && !p[2].empty() ? p[2] : prefijo + std::to_string(numero);
  if (p.size() > 3 && !p[3].empty()) e.magnitud = Real(p[3], opcion);
  return e;
}

std::string Num(const char* fmt, double v) {
  if (!std::isfinite(v)) return "-";
  char b[64];
  std::snprintf(b, sizeof b, fmt, v);
  return b;
}

void ImprimeCampo(const CampoVariable& c) {
  std::printf("field %s reference %s stars %zu reference-stars %zu\n", c.nombre.c_str(),
              c.referencia.c_str(), c.estrellas.size(), c.estrellasReferencia.size());
  if (c.radioEstrella > 0) {
    std::printf("aperture %g sky %g %g\n", c.radioEstrella, c.radioCieloInt, c.radioCieloExt);
  }
  if (c.periodo > 0) std::printf("ephemeris %.6f + E * %.8f\n", c.epocaMinimo, c.periodo);
  for (const EstrellaCampo& e : c.estrellas) {
    const char* papel = e.papel == PapelEstrella::kVariable      ? "variable"
                        : e.papel == PapelEstrella::kComparacion ? "comparison"
                                                                 : "check";
    std::printf("%s %s %.3f %.3f %s\n", papel, e.nombre.c_str(), e.x, e.y,
                Num("%.3f", e.magnitud).c_str());
  }
}

void CompruebaNoEsEntrada(const std::string& salida, const std::vector<std::string>& entradas) {
  for (const std::string& f : entradas) {
    std::error_code ec;
    if (std::filesystem::equivalent(salida, f, ec)) throw JError(12220, salida, f);  // 12220
  }
}

}  // namespace

int OrdenField(const Argumentos& args) {
  std::vector<std::string> libres;
  std::string salida, nombre;
  std::vector<EstrellaCampo> estrellas;
  int numVar = 0, numComp = 0, numControl = 0;
  double radios[3] = {0, 0, 0};
  double efemeride[2] = {0, 0};
  OpcionesEstrellasRegistro opciones = LeeOpcionesEstrellasRegistro();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto valor = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw ErrorUso("option " + a + " needs a value");
      return args[++i];
    };
    if (a == "-o") {
      salida = valor();
    } else if (a == "--name") {
      nombre = valor();
    } else if (a == "--var") {
      estrellas.push_back(LeeEstrella(valor(), PapelEstrella::kVariable, a, ++numVar));
    } else if (a == "--comp") {
      estrellas.push_back(LeeEstrella(valor(), PapelEstrella::kComparacion, a, ++numComp));
    } else if (a == "--check") {
      estrellas.push_back(LeeEstrella(valor(), PapelEstrella::kControl, a, ++numControl));
    } else if (a == "--aperture" || a == "--ephemeris") {
      const std::string& v = valor();
      const bool ap = a == "--aperture";
      double* destino = ap ? radios : efemeride;
      const size_t cuantos = ap ? 3 : 2;
      size_t desde = 0;
      for (size_t k = 0; k < cuantos; ++k) {
        const size_t coma = v.find(',', desde);
        if ((coma == std::string::npos) != (k + 1 == cuantos)) {
          throw ErrorUso(a + (ap ? " is R,RIN,ROUT" : " is EPOCH,PERIOD"));
        }
        destino[k] = Real(v.substr(desde, coma - desde), a);
        desde = coma + 1;
      }
    } else if (a == "--method") {
      const std::string& m = valor();
      if (m == "pcvista")
        opciones.metodo = MetodoBusqueda::kPCVista;
      else if (m == "tass")
        opciones.metodo = MetodoBusqueda::kTASS;
      else
        throw ErrorUso("--method is pcvista or tass, not '" + m + "'");
    } else if (a.size() > 1 && a[0] == '-') {
      throw ErrorUso("unknown option " + a);
    } else {
      libres.push_back(a);
    }
  }
  if (libres.size() != 1)
    throw ErrorUso("field needs one file: a reference image, or a field to show");
  if (salida.empty()) {
    // Showing a field file.
    if (!estrellas.empty()) throw ErrorUso("field: stars need -o FIELD to be saved in");
    ImprimeCampo(LeeCampo(libres[0]));
    CompruebaSalida();
    return 0;
  }
  CompruebaNoEsEntrada(salida, libres);
  Imagen ref;
  LeeArchivo(libres[0], ref);
  if (nombre.empty()) nombre = ref.datos.nombreObjeto.empty() ? "VAR" : ref.datos.nombreObjeto;
  Progreso& progreso = ProgresoActual();
  CampoVariable campo = CreaCampo(ref, nombre, std::move(estrellas), opciones, progreso);
  campo.radioEstrella = radios[0];
  campo.radioCieloInt = radios[1];
  campo.radioCieloExt = radios[2];
  campo.epocaMinimo = efemeride[0];
  campo.periodo = efemeride[1];
  GuardaCampo(salida, campo);
  BorraBarra();
  ImprimeCampo(campo);
  CompruebaSalida();
  return 0;
}

int OrdenLightcurve(const Argumentos& args) {
  std::vector<std::string> libres;
  std::string csv, aavso;
  bool minimo = false;
  ParametrosSerie p = LeeParametrosSerie();
  OpcionesAavso oa;
  const OpcionesEstrellasRegistro opciones = LeeOpcionesEstrellasRegistro();
  const ParametrosRegistro registro = LeeParametrosRegistro();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto valor = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw ErrorUso("option " + a + " needs a value");
      return args[++i];
    };
    if (a == "--csv") {
      csv = valor();
    } else if (a == "--aavso") {
      aavso = valor();
    } else if (a == "--minimum") {
      minimo = true;
    } else if (a == "--extinction") {
      const std::string& v = valor();
      if (v == "fit")
        p.ajustaExtincion = true;
      else
        p.extincion = Real(v, a);
    } else if (a == "--gain") {
      p.ganancia = Real(valor(), a);
      if (!(p.ganancia > 0)) throw ErrorUso("--gain must be positive");
    } else if (a == "--read-noise") {
      p.ruidoLectura = Real(valor(), a);
    } else if (a == "--fwhm-scale") {
      p.escalaFwhm = Real(valor(), a);
    } else if (a == "--sky") {
      const std::string& v = valor();
      if (v == "mode")
        p.cielo = MetodoCielo::kModa;
      else if (v == "mean")
        p.cielo = MetodoCielo::kMediaRecortada;
      else if (v == "median")
        p.cielo = MetodoCielo::kMedianaRecortada;
      else
        throw ErrorUso("--sky is mode, mean or median, not '" + v + "'");
    } else if (a == "--obscode") {
      oa.codigoObservador = valor();
    } else if (a == "--filter") {
      oa.filtro = valor();
    } else if (a.size() > 1 && a[0] == '-') {
      throw ErrorUso("unknown option " + a);
    } else {
      AnadeArchivos(a, libres);  // FIELD, then the frames or @LIST files
    }
  }
  if (libres.empty()) throw ErrorUso("lightcurve needs a field file and the frames");
  const CampoVariable campo = LeeCampo(libres[0]);
  libres.erase(libres.begin());
  for (const std::string& s : {csv, aavso}) {
    if (!s.empty()) CompruebaNoEsEntrada(s, libres);
  }
  Progreso& progreso = ProgresoActual();
  SesionProgreso sesion("CURVA DE LUZ");
  const ResultadoSerie r =
      MideSerie(campo, FotogramasArchivos(libres), p, opciones, registro, progreso);
  BorraBarra();
  int sinMedir = 0;
  std::printf("frame jd air-mass v-c err k-c err v-ens err n-ens\n");
  for (size_t k = 0; k < r.fotogramas.size(); ++k) {
    const FotogramaSerie& f = r.fotogramas[k];
    std::printf("%s %s %s %s %s %s %s %s %s %d\n", f.nombre.c_str(),
                Num("%.5f", f.tiempo.jd).c_str(), Num("%.3f", f.tiempo.masaAire).c_str(),
                Num("%.4f", f.vc).c_str(), Num("%.4f", f.errorVc).c_str(),
                Num("%.4f", f.kc).c_str(), Num("%.4f", f.errorKc).c_str(),
                Num("%.4f", f.vEns).c_str(), Num("%.4f", f.errorVEns).c_str(), f.enConjunto);
    if (!std::isfinite(f.vEns)) ++sinMedir;
    for (const std::string& aviso : f.avisos)
      std::fprintf(stderr, "%s: %s\n", f.nombre.c_str(), aviso.c_str());
  }
  std::printf("extinction %.4f +- %.4f mag/air mass%s\n", r.extincion, r.errorExtincion,
              r.extincionAjustada ? " (fitted)" : "");
  if (!csv.empty()) EscribeArchivoSeguro(csv, TextoCsvSerie(campo, r));
  if (!aavso.empty()) EscribeArchivoSeguro(aavso, TextoAavso(campo, r, oa));
  if (minimo) {
    const CurvaSerie curva = CurvaDiferencial(r, true);
    const bool hjd = curva.heliocentrica;
    const ResultadoMinimo m = MinimoKweeVanWoerden(curva.puntos);
    std::printf("minimum %s %.6f +- %.6f (classic formula %.6f) points %d\n", hjd ? "HJD" : "JD",
                m.t0, m.error, m.errorClasico, m.puntos);
    // Without its own ephemeris the field takes the object list's entry of its variable.
    std::vector<ObjetoLista> objetos;
    if (!(campo.periodo > 0)) {
      try {
        objetos = LeeListaObjetos(RutaListaObjetos(
            std::filesystem::path(ArchivoConfiguracion()).parent_path().string()));
      } catch (const JError& e) {
        std::fprintf(stderr, "%s\n", e.Mensaje().c_str());
      }
    }
    EfemerideMinimo ef;
    if (EfemerideCampo(campo, objetos, ef)) {
      const OMenosC oc = CalculaOMenosC(m.t0, ef.epoca, ef.periodo);
      std::printf("O-C %.6f d (cycle %lld, computed %.6f)\n", oc.oc,
                  static_cast<long long>(oc.ciclo), oc.calculado);
    }
  }
  CompruebaSalida();
  return sinMedir == 0 ? 0 : 1;
}

}  // namespace orva
