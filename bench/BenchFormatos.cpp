// Reading and writing a 4096 x 4096 synthetic star field in each QOR coding and as FITS through
// cfitsio (plain, RICE_1 and GZIP_1 tile compression): time, throughput and file size side by
// side in one run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/Imagen.h"
#include "formats/fits/Fits.h"
#include "formats/qor/Qor.h"
#include "scripts/CampoEstelar.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kLado = 4096;
constexpr double kBytesCrudos = 2.0 * kLado * kLado;

const ImagenObservacion& Campo() {
  static ImagenObservacion campo;
  if (campo.Vacia()) {
    campo.CambiaPixeles(kLado, kLado, GeneraCampoEstelar(kLado, kLado, 1987, kLado * kLado / 1500));
    campo.datos.nombreObjeto = "Campo sintetico";
  }
  return campo;
}

// The folder of the written files, removed at the end of the run.
struct DirTemporal {
  fs::path ruta = fs::temp_directory_path() / ("orva-bench-" + std::to_string(::getpid()));
  DirTemporal() { fs::create_directories(ruta); }
  ~DirTemporal() {
    std::error_code e;
    fs::remove_all(ruta, e);
  }
};

std::string Dir() {
  static const DirTemporal dir;
  return dir.ruta.string();
}

void Tamano(benchmark::State& estado, const std::string& archivo) {
  const double bytes = static_cast<double>(fs::file_size(archivo));
  estado.counters["MB"] = bytes / 1e6;
  estado.counters["ratio"] = kBytesCrudos / bytes;
  estado.SetBytesProcessed(static_cast<int64_t>(estado.iterations() * kBytesCrudos));
}

void EscribeQor(benchmark::State& estado, const char* codigo) {
  const std::string archivo = Dir() + "/campo_" + codigo + ".qor";
  for (auto _ : estado) GuardaQor(archivo, Campo(), codigo);
  Tamano(estado, archivo);
}

void LeeQorBench(benchmark::State& estado, const char* codigo) {
  const std::string archivo = Dir() + "/campo_" + codigo + ".qor";
  GuardaQor(archivo, Campo(), codigo);
  for (auto _ : estado) {
    ImagenObservacion im;
    LeeQor(archivo, im);
    benchmark::DoNotOptimize(im.Pixeles().data());
  }
  Tamano(estado, archivo);
}

void EscribeFitsCon(const std::string& archivo, const char* compresion) {
  Configuracion::Global().Asigna(kSeccionFits, "COMPRIMIR", compresion);
  ImagenObservacion copia;
  copia.CopiaDatos(Campo());
  GuardaFits(archivo, copia);
}

void EscribeFits(benchmark::State& estado, const char* compresion) {
  const std::string archivo = Dir() + "/campo_" + compresion + ".fits";
  for (auto _ : estado) EscribeFitsCon(archivo, compresion);
  Tamano(estado, archivo);
}

void LeeFitsBench(benchmark::State& estado, const char* compresion) {
  const std::string archivo = Dir() + "/campo_" + compresion + ".fits";
  EscribeFitsCon(archivo, compresion);
  for (auto _ : estado) {
    ImagenObservacion im;
    LeeFits(archivo, im);
    benchmark::DoNotOptimize(im.Pixeles().data());
  }
  Tamano(estado, archivo);
}

#define ORVA_BENCH(funcion, nombre, arg) \
  BENCHMARK_CAPTURE(funcion, nombre, arg)->Unit(benchmark::kMillisecond)->UseRealTime()

ORVA_BENCH(EscribeQor, DIFF8, "DIFF8");
ORVA_BENCH(EscribeQor, DEFLAT, "DEFLAT");
ORVA_BENCH(EscribeQor, DIFDEFLAT, "DIFDEFLAT");
ORVA_BENCH(EscribeFits, plano, "NO");
ORVA_BENCH(EscribeFits, RICE_1, "RICE_1");
ORVA_BENCH(EscribeFits, GZIP_1, "GZIP_1");
ORVA_BENCH(LeeQorBench, DIFF8, "DIFF8");
ORVA_BENCH(LeeQorBench, DEFLAT, "DEFLAT");
ORVA_BENCH(LeeQorBench, DIFDEFLAT, "DIFDEFLAT");
ORVA_BENCH(LeeFitsBench, plano, "NO");
ORVA_BENCH(LeeFitsBench, RICE_1, "RICE_1");
ORVA_BENCH(LeeFitsBench, GZIP_1, "GZIP_1");

}  // namespace
}  // namespace orva
