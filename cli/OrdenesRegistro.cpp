// The subcommand register: frames registered on a reference by their stars, optionally written
// resampled onto the reference's grid.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/Csv.h"
#include "base/Cadenas.h"
#include "base/EscrituraSegura.h"
#include "base/JError.h"
#include "cli/Ordenes.h"
#include "cli/ProgresoConsola.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "formats/TiposArchivo.h"
#include "shell/Lote.h"
#include "stacking/Registro.h"
#include "stacking/Transformacion.h"
#include "stellar/EstrellasRegistro.h"

namespace orva {
namespace {


std::string Formato(const char* fmt, double v) {
  char b[64];
  std::snprintf(b, sizeof b, fmt, v);
  return b;
}

void BorraBarra() {
  if (auto* consola = dynamic_cast<ProgresoConsola*>(&ProgresoActual())) consola->Borra();
}

}  // namespace

int OrdenRegister(const Argumentos& args) {
  std::vector<std::string> archivos;
  std::string carpeta, informe;
  OpcionesEstrellasRegistro opciones = LeeOpcionesEstrellasRegistro();
  ParametrosRegistro param = LeeParametrosRegistro();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto valor = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw ErrorUso("option " + a + " needs a value");
      return args[++i];
    };
    if (a == "-o") {
      carpeta = valor();
    } else if (a == "--csv") {
      informe = valor();
    } else if (a == "--affine") {
      param.afin = true;
    } else if (a == "--method") {
      const std::string& m = valor();
      if (m == "pcvista") {
        opciones.metodo = MetodoBusqueda::kPCVista;
      } else if (m == "tass") {
        opciones.metodo = MetodoBusqueda::kTASS;
      } else {
        throw ErrorUso("--method is pcvista or tass, not '" + m + "'");
      }
    } else if (a.size() > 1 && a[0] == '-') {
      throw ErrorUso("unknown option " + a);
    } else {
      AnadeArchivos(a, archivos);
    }
  }
  if (archivos.size() < 2) throw ErrorUso("register needs a reference and at least one file");
  const std::string referencia = archivos.front();
  archivos.erase(archivos.begin());

  // Every output is named and checked before anything is read: none replaces an input or the
  // reference, no two coincide.
  std::vector<ArchivoLote> plan;
  if (!carpeta.empty()) {
    AjustesLote ajustes = LeeAjustesLote();
    ajustes.carpetaSalida = carpeta;
    plan = PlanificaLote(archivos, ajustes);
    CompruebaLote(plan, ajustes, false);
    for (const ArchivoLote& a : plan) {
      std::error_code ec;
      if (std::filesystem::equivalent(a.salida, referencia, ec)) {
        throw JError(12220, a.entrada, referencia);  // 12220
      }
    }
  }
  if (!informe.empty()) {
    for (const std::string& f : archivos) {
      std::error_code ec;
      if (std::filesystem::equivalent(informe, f, ec) ||
          std::filesystem::equivalent(informe, referencia, ec)) {
        throw JError(12220, informe, f);  // 12220
      }
    }
  }

  Progreso& progreso = ProgresoActual();
  SesionProgreso sesion("REGISTRO");
  Imagen ref;
  LeeArchivo(referencia, ref);
  progreso.TextoArchivo(referencia);
  const std::vector<EstrellaRegistro> estrellasRef = EstrellasParaRegistro(ref, opciones, progreso);
  if (estrellasRef.size() < 3) throw JError(12242, std::to_string(estrellasRef.size()), "3");

  std::string csv = "file,status,matched,rms,dx,dy,rotation,scale,matrix,message\n";
  int fallidos = 0;
  for (size_t i = 0; i < archivos.size(); ++i) {
    const std::string& f = archivos[i];
    if (progreso.Cancelado()) throw JError(11011);  // 11011
    progreso.TextoArchivo(f);
    ResultadoRegistro r;
    Imagen im;
    try {
      LeeArchivo(f, im);
      r = RegistraImagen(estrellasRef, im, opciones, param, progreso);
      if (r.exito && !plan.empty()) {
        RemuestreaTransformacion(im, r.transformacion, ref.Ancho(), ref.Alto(), Rango().defecto,
                                 progreso);
        GuardaArchivo(plan[i].salida, im, plan[i].tipo);
      }
    } catch (const JError& e) {
      if (e.Id() == 11011) throw;
      r = ResultadoRegistro{};
      r.idError = e.Id();
      r.texto = e.Mensaje();
    }
    BorraBarra();
    if (!r.exito) {
      ++fallidos;
      std::fflush(stdout);
      ImprimeError(r.idError, f + ": " + r.Mensaje());
      csv += CampoCsv(f) + ",failed,,,,,,,," + CampoCsv(r.Mensaje()) + "\n";
      continue;
    }
    const ComponentesSimilitud c = DescomponeSimilitud(r.transformacion);
    const std::string fila = Formato("%.3f", r.rms);
    std::printf("%s matched %d rms %.3f", f.c_str(), r.emparejadas, r.rms);
    if (r.transformacion.tipo == Transformacion2D::Tipo::kSimilitud) {
      std::printf(" dx %.3f dy %.3f rotation %.4f scale %.6f", c.dx, c.dy, c.rotacion, c.escala);
    } else {
      std::printf(" matrix %s", TextoTransformacion(r.transformacion).c_str());
    }
    if (!plan.empty()) std::printf(" -> %s", plan[i].salida.c_str());
    std::printf("\n");
    std::fflush(stdout);
    csv += CampoCsv(f) + ",ok," + std::to_string(r.emparejadas) + "," + fila + "," +
           Formato("%.4f", c.dx) + "," + Formato("%.4f", c.dy) + "," + Formato("%.5f", c.rotacion) +
           "," + Formato("%.7f", c.escala) + "," + TextoTransformacion(r.transformacion) + ",\n";
  }
  if (!informe.empty()) EscribeArchivoSeguro(informe, csv);
  return fallidos == 0 ? 0 : 1;
}

}  // namespace orva
