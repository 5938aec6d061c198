// Timings of the image operations on a 4096 x 4096 16-bit star field at one and two threads,
// each beside the nearest OpenCV operation on the same pixels at one and two threads, with a
// memcpy of the image and a new frame-sized block from the system allocator (fresh pages
// faulted in on one thread: what an operation pays when its result's memory is not reused) as
// floors; prints one table of wall-clock ms, speed-ups and ratios.
// Run with --benchmark_repetitions=N on a busy machine: the table keeps the fastest repetition.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <string>
#include <vector>

#include "core/Hilos.h"
#include "core/Imagen.h"
#include "core/Rango.h"
#include "processing/Procesamiento.h"

namespace {

using namespace orva;

constexpr int kLado = 4096;

// A star field: sky of 1000 with noise and a few thousand Gaussian stars, clipped to 16 bits.
const std::vector<int16_t>& Campo() {
  static const std::vector<int16_t> campo = [] {
    std::mt19937 g(2024);
    std::vector<float> f(static_cast<size_t>(kLado) * kLado);
    std::normal_distribution<float> ruido(1000.0f, 30.0f);
    for (float& v : f) v = ruido(g);
    std::uniform_real_distribution<float> pos(0, kLado), brillo(200, 40000), sig(0.8f, 3.0f);
    for (int s = 0; s < 4000; ++s) {
      const float cx = pos(g), cy = pos(g), b = brillo(g), sg = sig(g);
      const int r = static_cast<int>(4 * sg) + 1;
      for (int y = std::max(0, static_cast<int>(cy) - r);
           y < std::min(kLado, static_cast<int>(cy) + r); ++y)
        for (int x = std::max(0, static_cast<int>(cx) - r);
             x < std::min(kLado, static_cast<int>(cx) + r); ++x) {
          const float d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
          f[static_cast<size_t>(y) * kLado + x] += b * std::exp(-d2 / (2 * sg * sg));
        }
    }
    std::vector<int16_t> p(f.size());
    for (size_t i = 0; i < f.size(); ++i)
      p[i] = static_cast<int16_t>(std::clamp(f[i], -32768.0f, 32767.0f));
    return p;
  }();
  return campo;
}

// The image record without the statistics update after each change, so the operation alone is
// timed (the update is timed on its own row).
class ImagenBanco : public Imagen {
 public:
  void Modificada(int marca) override { ImagenPixeles::Modificada(marca); }
};

ImagenBanco& Imagen1() {
  static ImagenBanco im;
  return im;
}

void Restaura(ImagenBanco& im) {
  im.CambiaPixeles(kLado, kLado, Campo());
}

// Runs an operation on a fresh copy of the field every iteration (the copy is not timed).
template <class F>
void Orva(benchmark::State& st, int hilos, F op) {
  FijaHilos(hilos);
  ImagenBanco& im = Imagen1();
  for (auto _ : st) {
    st.PauseTiming();
    Restaura(im);
    st.ResumeTiming();
    op(im);
    benchmark::DoNotOptimize(im.Pixeles().data());
  }
}

cv::Mat Entrada() {
  static cv::Mat m(kLado, kLado, CV_16S, const_cast<int16_t*>(Campo().data()));
  return m;
}

template <class F>
void Par(benchmark::State& st, int hilos, F op) {
  cv::setNumThreads(hilos);
  cv::Mat in = Entrada(), out;
  for (auto _ : st) {
    op(in, out);
    benchmark::DoNotOptimize(out.data);
  }
}

constexpr int kHilos[] = {1, 2};

void Registra() {
  auto ms = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime();
  };
  // Each operation as "<who>/<threads>T/<name>".
  auto orva = [&](const char* n, auto op) {
    for (int h : kHilos) {
      const std::string nombre = "orva/" + std::to_string(h) + "T/" + n;
      ms(benchmark::RegisterBenchmark(nombre.c_str(),
                                      [op, h](benchmark::State& s) { Orva(s, h, op); }));
    }
  };
  auto par = [&](const char* n, auto op) {
    for (int h : kHilos) {
      const std::string nombre = "peer/" + std::to_string(h) + "T/" + n;
      ms(benchmark::RegisterBenchmark(nombre.c_str(),
                                      [op, h](benchmark::State& s) { Par(s, h, op); }));
    }
  };

  ms(benchmark::RegisterBenchmark("floor/memcpy", [](benchmark::State& st) {
    std::vector<int16_t> d(Campo().size());
    for (auto _ : st) {
      std::memcpy(d.data(), Campo().data(), d.size() * sizeof(int16_t));
      benchmark::DoNotOptimize(d.data());
    }
  }));
  ms(benchmark::RegisterBenchmark("floor/new block", [](benchmark::State& st) {
    for (auto _ : st) {
      std::vector<int16_t> d(Campo().begin(), Campo().end());
      benchmark::DoNotOptimize(d.data());
    }
  }));

  orva("EXPANDIR", [](Imagen& im) {
    AplicaEscalaGris(im, ParamsEscalaGris{0, {"1000", "20000", "", ""}});
  });
  par("EXPANDIR", [](cv::Mat& in, cv::Mat& out) {
    // A 65536-entry table loop (cv::LUT takes 8-bit input only).
    static std::vector<int16_t> t = [] {
      std::vector<int16_t> v(65536);
      for (int i = 0; i < 65536; ++i) v[static_cast<size_t>(i)] = static_cast<int16_t>(i / 3);
      return v;
    }();
    out.create(in.size(), CV_16S);
    const int16_t* s = in.ptr<int16_t>();
    int16_t* d = out.ptr<int16_t>();
    const int16_t* tc = t.data() + 32768;
    const size_t n = in.total();
    for (size_t i = 0; i < n; ++i) d[i] = tc[s[i]];
  });

  orva("SUAV_1", [](Imagen& im) { EjecutaFiltro(im, {"SUAV_1"}); });
  par("SUAV_1", [](cv::Mat& in, cv::Mat& out) {
    static const cv::Mat k = (cv::Mat_<float>(3, 3) << 0, 1, 0, 1, 16, 1, 0, 1, 0) / 20.0f;
    cv::filter2D(in, out, -1, k);
  });
  orva("MEDIA 5", [](Imagen& im) { EjecutaFiltro(im, {"MEDIA", "5"}); });
  par("MEDIA 5", [](cv::Mat& in, cv::Mat& out) { cv::blur(in, out, cv::Size(5, 5)); });
  orva("GAUS 1 3", [](Imagen& im) { EjecutaFiltro(im, {"GAUS", "1", "3"}); });
  par("GAUS 1 3",
      [](cv::Mat& in, cv::Mat& out) { cv::GaussianBlur(in, out, cv::Size(7, 7), 1.0); });
  orva("MEDIANA 1 1", [](Imagen& im) { EjecutaFiltro(im, {"MEDIANA", "1", "1"}); });
  par("MEDIANA 1 1", [](cv::Mat& in, cv::Mat& out) { cv::medianBlur(in, out, 3); });
  orva("GRAD SOBEL", [](Imagen& im) { EjecutaFiltro(im, {"GRAD", "SOBEL"}); });
  par("GRAD SOBEL", [](cv::Mat& in, cv::Mat& out) {
    cv::Mat gx, gy;
    cv::Sobel(in, gx, CV_32F, 1, 0);
    cv::Sobel(in, gy, CV_32F, 0, 1);
    cv::magnitude(gx, gy, out);
  });
  orva("ROTAR 30", [](Imagen& im) { AplicaRotacion(im, ParamsRotacion{30}); });
  par("ROTAR 30", [](cv::Mat& in, cv::Mat& out) {
    const cv::Mat r = cv::getRotationMatrix2D(cv::Point2f(kLado / 2, kLado / 2), -30, 1.0);
    cv::warpAffine(in, out, r, in.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
  });
  orva("ROTAR 90", [](Imagen& im) { AplicaRotacion(im, ParamsRotacion{90}); });
  par("ROTAR 90", [](cv::Mat& in, cv::Mat& out) { cv::rotate(in, out, cv::ROTATE_90_CLOCKWISE); });
  orva("REDIM 3000x2500", [](Imagen& im) {
    AplicaRedim(im, ParamsRedim{0, 0, kLado, kLado, 3000, 2500});
  });
  par("REDIM 3000x2500", [](cv::Mat& in, cv::Mat& out) {
    cv::resize(in, out, cv::Size(3000, 2500), 0, 0, cv::INTER_LINEAR);
  });
  orva("ESPEJO HORIZONTAL", [](Imagen& im) { AplicaEspejo(im, Espejo::kHorizontal); });
  par("ESPEJO HORIZONTAL", [](cv::Mat& in, cv::Mat& out) { cv::flip(in, out, 1); });
  orva("ESPEJO VERTICAL", [](Imagen& im) { AplicaEspejo(im, Espejo::kVertical); });
  par("ESPEJO VERTICAL", [](cv::Mat& in, cv::Mat& out) { cv::flip(in, out, 0); });

  // The image update after every change (statistics, histogram, display table): not part of
  // the rows above.
  ms(benchmark::RegisterBenchmark("other/image update", [](benchmark::State& st) {
    Imagen im;
    im.CambiaPixeles(kLado, kLado, Campo());
    for (auto _ : st) im.Modificada(1);
  }));
}

// Keeps every row's wall-clock time, then prints the table.
class Tabla : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration) continue;
      std::string nombre = r.benchmark_name();
      const std::string sufijo = "/real_time";
      if (nombre.size() > sufijo.size() &&
          nombre.compare(nombre.size() - sufijo.size(), sufijo.size(), sufijo) == 0) {
        nombre.resize(nombre.size() - sufijo.size());
      }
      // The fastest of the repetitions (--benchmark_repetitions): the least disturbed by other
      // work on the machine.
      const double t = r.GetAdjustedRealTime();  // ms
      const auto e = tiempos.find(nombre);
      if (e == tiempos.end()) {
        tiempos[nombre] = t;
        orden.push_back(nombre);
      } else {
        e->second = std::min(e->second, t);
      }
    }
  }
  // The time of a row, or -1 when it did not run.
  double Tiempo(const std::string& nombre) const {
    const auto t = tiempos.find(nombre);
    return t == tiempos.end() ? -1.0 : t->second;
  }
  std::map<std::string, double> tiempos;
  std::vector<std::string> orden;
};

// A number, or "-" when it is missing.
std::string Celda(double v) {
  if (!(v > 0.0)) return "-";
  char t[32];
  std::snprintf(t, sizeof t, "%.2f", v);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  Rango() = RangoPixeles{};
  Rango().minimo = 0;  // the usual configured range 0..32767
  Registra();
  benchmark::Initialize(&argc, argv);
  Tabla tabla;
  benchmark::RunSpecifiedBenchmarks(&tabla);
  std::printf("\nwall-clock ms; speed-up = ORVA 1T / ORVA 2T; ratio = ORVA / OpenCV\n");
  std::printf("%-20s %9s %9s %8s %9s %9s %8s %8s\n", "operation", "ORVA 1T", "ORVA 2T",
              "speedup", "OpenCV 1T", "OpenCV 2T", "ratio 1T", "ratio 2T");
  const std::string prefijo = "orva/1T/";
  for (const std::string& n : tabla.orden) {
    if (n.rfind("orva/", 0) != 0 && n.rfind("peer/", 0) != 0) {
      std::printf("%-20s %9s\n", n.c_str(), Celda(tabla.Tiempo(n)).c_str());
      continue;
    }
    if (n.rfind(prefijo, 0) != 0) continue;
    const std::string op = n.substr(prefijo.size());
    const double o1 = tabla.Tiempo(n), o2 = tabla.Tiempo("orva/2T/" + op);
    const double p1 = tabla.Tiempo("peer/1T/" + op), p2 = tabla.Tiempo("peer/2T/" + op);
    auto cociente = [](double a, double b) { return a > 0.0 && b > 0.0 ? a / b : -1.0; };
    std::printf("%-20s %9s %9s %8s %9s %9s %8s %8s\n", op.c_str(), Celda(o1).c_str(),
                Celda(o2).c_str(), Celda(cociente(o1, o2)).c_str(), Celda(p1).c_str(),
                Celda(p2).c_str(), Celda(cociente(o1, p1)).c_str(),
                Celda(cociente(o2, p2)).c_str());
  }
  benchmark::Shutdown();
  return 0;
}
