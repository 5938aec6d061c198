// Star detection timings on synthetic star fields of 1024 x 1024 and 4096 x 4096 pixels (the
// sample generator's fields, whose stars are known): PCVISTA and TASS with their default
// settings, each run reporting the stars found, recall and precision against the true stars
// (a match is a star within 1.5 px) and the rms magnitude error of the isolated stars.
// "bench_estrellas --escribe DIR" instead writes the fields as FITS with their true star lists,
// for bench/pares_estrellas.sh, which measures the peer detectors on the same pixels.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"
#include "formats/fits/Fits.h"
#include "scripts/CampoEstelar.h"
#include "shell/Configuracion.h"
#include "stellar/BuscaEstrellas.h"
#include "stellar/DatosVariables.h"

namespace orva {
namespace {

constexpr uint64_t kSemilla = 1987;
constexpr double kRadioCoincidencia = 1.5;
constexpr double kRadioAislada = 15.0;

struct Verdadera {
  double x, y;  // pixel (x, y) is centred on (x, y)
  double flujo;
  bool aislada = true;
};

int NumEstrellas(uint32_t lado) {
  return static_cast<int>(static_cast<double>(lado) * lado / 1500);
}

// The generator's stars, replayed from its seed in its order of draws: centre x, centre y,
// sigma, peak. It places a star at cx on the pixel whose left edge is cx, hence the -0.5.
std::vector<Verdadera> EstrellasVerdaderas(uint32_t lado) {
  GeneradorCampo g(kSemilla);
  std::vector<Verdadera> v;
  for (int i = 0; i < NumEstrellas(lado); ++i) {
    const double cx = g.Uniforme() * lado, cy = g.Uniforme() * lado;
    const double sigma = 1.2 + g.Uniforme();
    const double pico = 200.0 * std::pow(150.0, std::pow(g.Uniforme(), 3.0));
    v.push_back({cx - 0.5, cy - 0.5, 2 * M_PI * sigma * sigma * pico});
  }
  // Isolated: no other star within 15 px (the photometry's sky ring reaches 20).
  const long celdas = static_cast<long>(lado / kRadioAislada) + 1;
  std::vector<std::vector<size_t>> rejilla(static_cast<size_t>(celdas * celdas));
  auto celda = [&](double x, double y) {
    const long cx = std::clamp(static_cast<long>(x / kRadioAislada), 0L, celdas - 1);
    const long cy = std::clamp(static_cast<long>(y / kRadioAislada), 0L, celdas - 1);
    return std::pair{cx, cy};
  };
  for (size_t i = 0; i < v.size(); ++i) {
    const auto [cx, cy] = celda(v[i].x, v[i].y);
    rejilla[static_cast<size_t>(cy * celdas + cx)].push_back(i);
  }
  for (size_t i = 0; i < v.size(); ++i) {
    const auto [cx, cy] = celda(v[i].x, v[i].y);
    for (long y = std::max(cy - 1, 0L); y <= std::min(cy + 1, celdas - 1); ++y) {
      for (long x = std::max(cx - 1, 0L); x <= std::min(cx + 1, celdas - 1); ++x) {
        for (size_t j : rejilla[static_cast<size_t>(y * celdas + x)]) {
          if (j != i && std::hypot(v[j].x - v[i].x, v[j].y - v[i].y) < kRadioAislada) {
            v[i].aislada = false;
          }
        }
      }
    }
  }
  return v;
}

Imagen& Campo(uint32_t lado) {
  static Imagen campos[2];
  Imagen& im = campos[lado == 1024 ? 0 : 1];
  if (im.Vacia()) {
    im.CambiaPixeles(lado, lado, GeneraCampoEstelar(lado, lado, kSemilla, NumEstrellas(lado)));
    im.Actualiza();
    im.CambiaTipoObjeto(kVariable);
  }
  return im;
}

struct Calidad {
  double recall = 0, precision = 0, rmsMag = 0;
};

Calidad MideCalidad(const std::vector<Verdadera>& verdad, const std::vector<ObjetoEstelar>& e) {
  Calidad c;
  auto cerca = [](double x0, double y0, double x1, double y1) {
    return std::hypot(x0 - x1, y0 - y1) <= kRadioCoincidencia;
  };
  // Detections sorted by row so each true star looks at a narrow band only.
  std::vector<const ObjetoEstelar*> orden;
  for (const ObjetoEstelar& s : e) orden.push_back(&s);
  std::sort(orden.begin(), orden.end(), [](auto* a, auto* b) { return a->y < b->y; });
  auto desde = [&](double y) {
    return std::lower_bound(orden.begin(), orden.end(), y - kRadioCoincidencia,
                            [](const ObjetoEstelar* a, double v) { return a->y < v; });
  };
  size_t halladas = 0;
  std::vector<char> buena(orden.size(), 0);
  std::vector<double> errores;
  for (const Verdadera& v : verdad) {
    const ObjetoEstelar* mejor = nullptr;
    for (auto it = desde(v.y); it != orden.end() && (*it)->y <= v.y + kRadioCoincidencia; ++it) {
      if (cerca(v.x, v.y, (*it)->x, (*it)->y)) {
        buena[static_cast<size_t>(it - orden.begin())] = 1;
        mejor = *it;
      }
    }
    if (!mejor) continue;
    ++halladas;
    if (v.aislada) errores.push_back(mejor->magnitud - (25.0 - 2.5 * std::log10(v.flujo)));
  }
  c.recall = verdad.empty() ? 0 : static_cast<double>(halladas) / verdad.size();
  size_t ciertas = 0;
  for (char b : buena) ciertas += b;
  c.precision = orden.empty() ? 0 : static_cast<double>(ciertas) / orden.size();
  double s = 0;
  for (double x : errores) s += x * x;
  c.rmsMag = errores.empty() ? 0 : std::sqrt(s / errores.size());
  return c;
}

void Busca(benchmark::State& state, MetodoBusqueda metodo) {
  Configuracion::Global().RestableceDefectos();
  const uint32_t lado = static_cast<uint32_t>(state.range(0));
  Imagen& im = Campo(lado);
  ProgresoSilencioso p;
  for (auto _ : state) {
    BuscaEstrellas(im, metodo, true, p);
  }
  const auto& e = DatosVariablesDe(im).Estrellas();
  const Calidad c = MideCalidad(EstrellasVerdaderas(lado), e);
  state.counters["true"] = NumEstrellas(lado);
  state.counters["found"] = static_cast<double>(e.size());
  state.counters["recall"] = c.recall;
  state.counters["precision"] = c.precision;
  state.counters["rms_mag"] = c.rmsMag;
  if (metodo == MetodoBusqueda::kTASS) {
    // The finder alone, before the photometry drops the stars it cannot measure.
    std::vector<ObjetoEstelar> candidatas;
    for (const CandidataTASS& k : BuscaCandidatasTASS(im, LeeParametrosTASS(), p)) {
      ObjetoEstelar e;
      e.x = k.x;
      e.y = k.y;
      candidatas.push_back(e);
    }
    state.counters["finder_recall"] = MideCalidad(EstrellasVerdaderas(lado), candidatas).recall;
  }
}

void BM_PCVista(benchmark::State& s) {
  Busca(s, MetodoBusqueda::kPCVista);
}
void BM_TASS(benchmark::State& s) {
  Busca(s, MetodoBusqueda::kTASS);
}
BENCHMARK(BM_PCVista)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TASS)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

// The fields as FITS and their true stars ("x y flux isolated", pixel centres 0-based).
int Escribe(const std::string& dir) {
  for (uint32_t lado : {1024u, 4096u}) {
    const std::string n = std::to_string(lado);
    ImagenObservacion im;
    im.CambiaPixeles(lado, lado, GeneraCampoEstelar(lado, lado, kSemilla, NumEstrellas(lado)));
    GuardaFits(dir + "/campo" + n + ".fits", im);
    std::FILE* f = std::fopen((dir + "/verdad" + n + ".txt").c_str(), "w");
    if (!f) return 1;
    for (const Verdadera& v : EstrellasVerdaderas(lado)) {
      std::fprintf(f, "%.4f %.4f %.3f %d\n", v.x, v.y, v.flujo, v.aislada ? 1 : 0);
    }
    std::fclose(f);
  }
  return 0;
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
