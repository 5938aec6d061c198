// Light-curve timings on the synthetic night of the stellar tests (an eclipsing variable, three
// comparison stars, a check star, shifts, rotations, air mass 1.1 to 2.2): the time to identify
// and measure one frame, with the light curve's rms against the true magnitudes as a counter.
// "bench_curva_luz --escribe DIR" instead writes the night as FITS frames with their true
// positions and magnitudes, for bench/curva_luz.sh, which measures the same frames with
// `orva lightcurve` and with photutils.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/TiposArchivo.h"
#include "stellar/CampoVariable.h"
#include "stellar/SerieVariable.h"
#include "tests/stellar/SerieSintetica.h"

namespace orva {
namespace {

using prueba::SerieSintetica;

void BM_FotogramaCurvaLuz(benchmark::State& state) {
  SerieSintetica s;
  s.Prepara();
  std::vector<Imagen> ims(static_cast<size_t>(s.frames));
  for (int k = 0; k < s.frames; ++k) s.Fotograma(k, ims[static_cast<size_t>(k)]);
  ProgresoSilencioso progreso;
  CampoVariable campo = CreaCampo(ims[0], "SYN VAR", s.campo, {}, progreso);
  const ParametrosSerie p = s.Parametros();
  campo.radioEstrella = p.fotometria.radioEstrella;
  campo.radioCieloInt = p.fotometria.radioCieloInt;
  campo.radioCieloExt = p.fotometria.radioCieloExt;
  ResultadoSerie r;
  for (auto _ : state) {
    r.fotogramas.clear();
    for (Imagen& im : ims) r.fotogramas.push_back(MideFotograma(campo, im, p, {}, {}, progreso));
    CalculaDiferenciales(campo, p, r);
  }
  double suma = 0.0, suma2 = 0.0;
  for (const FotogramaSerie& f : r.fotogramas) {
    const double d = f.vEns - s.MagVariable(f.tiempo.jd);
    suma += d;
    suma2 += d * d;
  }
  const double n = static_cast<double>(r.fotogramas.size());
  state.counters["time_per_frame"] = benchmark::Counter(
      n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["rms_mag"] = std::sqrt(std::max(0.0, suma2 / n - (suma / n) * (suma / n)));
}
BENCHMARK(BM_FotogramaCurvaLuz)->Unit(benchmark::kMillisecond)->Iterations(3);

// The night as FITS (fNN.fits) and verdad.csv: per frame its mid-exposure JD, the variable's
// true magnitude and every field star's true position (pixel centres 0-based, x along the row);
// campo.txt: the field stars of the first frame as `orva field` options.
int Escribe(const std::string& dir) {
  SerieSintetica s;
  s.Prepara();
  std::FILE* v = std::fopen((dir + "/verdad.csv").c_str(), "w");
  std::FILE* c = std::fopen((dir + "/campo.txt").c_str(), "w");
  if (!v || !c) return 1;
  std::fprintf(v, "file,jd,v_true");
  for (const auto& e : s.campo) std::fprintf(v, ",%s_x,%s_y", e.nombre.c_str(), e.nombre.c_str());
  std::fprintf(v, "\n");
  for (int k = 0; k < s.frames; ++k) {
    Imagen im;
    s.Fotograma(k, im);
    char nombre[32];
    std::snprintf(nombre, sizeof nombre, "f%02d.fits", k + 1);
    GuardaArchivo(dir + "/" + nombre, im, TipoPorExtension(nombre));
    const TiempoObservacion t = TiempoYMasaAire(im.datos);
    std::fprintf(v, "%s,%.7f,%.6f", nombre, t.jd, s.MagVariable(t.jd));
    for (const auto& e : s.campo) {
      double x = 0, y = 0;
      s.Posicion(k, e.x, e.y, x, y);
      std::fprintf(v, ",%.4f,%.4f", x, y);
    }
    std::fprintf(v, "\n");
  }
  for (const auto& e : s.campo) {
    const char* opcion = e.papel == PapelEstrella::kVariable      ? "--var"
                         : e.papel == PapelEstrella::kComparacion ? "--comp"
                                                                  : "--check";
    std::fprintf(c, "%s %.3f,%.3f,%s", opcion, e.x, e.y, e.nombre.c_str());
    if (std::isfinite(e.magnitud)) std::fprintf(c, ",%.3f", e.magnitud);
    std::fprintf(c, "\n");
  }
  std::fclose(c);
  return std::fclose(v) == 0 ? 0 : 1;
}

}  // namespace
}  // namespace orva

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--escribe") == 0) return orva::Escribe(argv[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
