// A synthetic night of a variable-star field: frames of an eclipsing variable, three constant
// comparison stars, a check star and background stars, shifted and slightly rotated between
// frames, observed through an air mass from 1.1 to 2.2 with first-order extinction, with Poisson
// and read noise. Shared by the stellar tests and the light-curve benchmark.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/Imagen.h"
#include "stellar/CampoVariable.h"
#include "stellar/SerieVariable.h"

namespace orva::prueba {

struct SerieSintetica {
  // The night
  int frames = 60;
  int ancho = 384, alto = 384;
  double cielo = 300.0;       // ADU per pixel
  double ganancia = 2.0;      // e- per ADU
  double ruidoLectura = 8.0;  // e-
  double sigmaPsf = 1.6;
  double puntoCero = 24.25;  // magnitude of a star of flux 1 ADU
  double extincion = 0.25;   // mag per air mass
  double exposicion = 60.0;  // s
  double masaInicial = 1.1, masaFinal = 2.2;
  // The variable: out of eclipse vBase, a Gaussian dip of depth profundidad and sigma anchura (d)
  double vBase = 11.3, profundidad = 0.8, anchura = 0.018;
  double desfaseMinimo = 0.0123;    // the minimum, days after the middle of the night
  double maxDesplazamiento = 96.0;  // px, a quarter of the frame
  double maxRotacion = 1.5;         // degrees
  unsigned semilla = 16;

  // Filled by Prepara: the field on the reference frame (frame 0 has no shift or rotation).
  std::vector<EstrellaCampo> campo;              // V, C1..C3, K
  std::vector<std::pair<double, double>> fondo;  // background stars: position, magnitude
  std::vector<double> magFondo;
  std::vector<double> jdInicio;  // start of each exposure
  std::vector<double> dx, dy, rot;
  double tMinimo = 0.0;  // JD of minimum (mid-exposure scale)

  double MagVariable(double jdMedio) const {
    const double u = (jdMedio - tMinimo) / anchura;
    return vBase + profundidad * std::exp(-0.5 * u * u);
  }

  // The observation data of frame k (object, site, start time, exposure).
  void Datos(int k, DatosImagen& d) const {
    d.nombreObjeto = "SYN VAR";
    AsignaDatoImagen(d, "AROBJ", "06h00m00s.000");
    AsignaDatoImagen(d, "DECOBJ", "20g00m00s");
    AsignaDatoImagen(d, "LONOBS", "0g00m00s");
    AsignaDatoImagen(d, "LATOBS", "40g00m00s");
    AsignaDatoImagen(d, "TIEMPOEXP", std::to_string(exposicion));
    FechaHora fh;
    fh.AsignaDiaJuliano(jdInicio[static_cast<size_t>(k)]);
    d.fechaHora = fh;
    d.conValor.insert("FECHAOBS");
    d.conValor.insert("HORAOBS");
    d.filtro = "V";
  }

  // The times (the air mass from masaInicial to masaFinal, after the transit), shifts and star
  // positions.
  void Prepara() {
    DatosImagen d;
    jdInicio.assign(1, 0.0);
    auto masa = [&](double jd) {
      jdInicio[0] = jd;
      Datos(0, d);
      return TiempoYMasaAire(d).masaAire;
    };
    const double dia = 2461115.5;  // 15/03/2026 0h UT
    // The transit: the smallest air mass over the day, to the minute.
    double tTransito = dia, mejor = 1e9;
    for (int m = 0; m < 1440; ++m) {
      const double x = masa(dia + m / 1440.0);
      if (std::isfinite(x) && x < mejor) mejor = x, tTransito = dia + m / 1440.0;
    }
    auto cruce = [&](double objetivo) {
      double a = tTransito, b = tTransito + 0.3;
      for (int i = 0; i < 60; ++i) {
        const double c = 0.5 * (a + b);
        (masa(c) < objetivo ? a : b) = c;
      }
      return 0.5 * (a + b);
    };
    const double t1 = cruce(masaInicial), t2 = cruce(masaFinal);
    const double medio = exposicion / 2.0 / 86400.0;
    jdInicio.clear();
    for (int k = 0; k < frames; ++k) {
      jdInicio.push_back(t1 - medio + (t2 - t1) * k / (frames - 1));
    }
    tMinimo = 0.5 * (t1 + t2) + desfaseMinimo;

    std::mt19937 rng(semilla);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const double cx = ancho / 2.0, cy = alto / 2.0;
    campo = {{"V", PapelEstrella::kVariable, cx, cy},
             {"C1", PapelEstrella::kComparacion, cx + 30.3, cy - 12.6, 11.0},
             {"C2", PapelEstrella::kComparacion, cx - 25.7, cy + 28.2, 11.5},
             {"C3", PapelEstrella::kComparacion, cx + 8.4, cy + 34.9, 12.0},
             {"K", PapelEstrella::kControl, cx - 33.1, cy - 27.8, 11.8}};
    fondo.clear();
    magFondo.clear();
    while (fondo.size() < 45) {
      const double x = cx + u(rng) * ancho * 0.62, y = cy + u(rng) * alto * 0.62;
      bool lejos = true;
      for (const EstrellaCampo& e : campo) lejos = lejos && std::hypot(x - e.x, y - e.y) > 30.0;
      for (const auto& f : fondo) lejos = lejos && std::hypot(x - f.first, y - f.second) > 12.0;
      if (!lejos) continue;
      fondo.emplace_back(x, y);
      magFondo.push_back(11.5 + 2.0 * (0.5 + 0.5 * u(rng)));
    }
    dx.assign(1, 0.0);
    dy.assign(1, 0.0);
    rot.assign(1, 0.0);
    for (int k = 1; k < frames; ++k) {
      dx.push_back(u(rng) * maxDesplazamiento);
      dy.push_back(u(rng) * maxDesplazamiento);
      rot.push_back(u(rng) * maxRotacion);
    }
  }

  // Where a reference position lands on frame k: rotation about the centre, then the shift.
  void Posicion(int k, double x, double y, double& u, double& v) const {
    const double a = rot[static_cast<size_t>(k)] * M_PI / 180.0;
    const double cx = ancho / 2.0, cy = alto / 2.0;
    u = cx + std::cos(a) * (x - cx) - std::sin(a) * (y - cy) + dx[static_cast<size_t>(k)];
    v = cy + std::sin(a) * (x - cx) + std::cos(a) * (y - cy) + dy[static_cast<size_t>(k)];
  }

  // Frame k. retoque may change the stars (magnitudes and reference positions, the variable
  // first) before they are drawn.
  struct Astro {
    double x, y, mag;
  };
  void Fotograma(int k, Imagen& im,
                 const std::function<void(std::vector<Astro>&)>& retoque = nullptr) const {
    Datos(k, im.datos);
    const TiempoObservacion t = TiempoYMasaAire(im.datos);
    std::vector<Astro> astros;
    for (const EstrellaCampo& e : campo) {
      astros.push_back(
          {e.x, e.y, e.papel == PapelEstrella::kVariable ? MagVariable(t.jd) : e.magnitud});
    }
    for (size_t i = 0; i < fondo.size(); ++i)
      astros.push_back({fondo[i].first, fondo[i].second, magFondo[i]});
    if (retoque) retoque(astros);
    std::vector<double> v(static_cast<size_t>(ancho) * alto, cielo);
    const double s2 = sigmaPsf * sigmaPsf;
    const int r = static_cast<int>(std::ceil(6 * sigmaPsf));
    for (const Astro& a : astros) {
      double x = 0, y = 0;
      Posicion(k, a.x, a.y, x, y);
      const double flujo = std::pow(10.0, -0.4 * (a.mag + extincion * t.masaAire - puntoCero));
      const double amp = flujo / (2.0 * M_PI * s2);
      for (int f = std::max(0, int(y) - r); f <= std::min(alto - 1, int(y) + r); ++f) {
        for (int c = std::max(0, int(x) - r); c <= std::min(ancho - 1, int(x) + r); ++c) {
          const double d2 = (c - x) * (c - x) + (f - y) * (f - y);
          v[static_cast<size_t>(f) * ancho + c] += amp * std::exp(-0.5 * d2 / s2);
        }
      }
    }
    std::mt19937 rng(semilla * 1000u + static_cast<unsigned>(k));
    std::normal_distribution<double> lectura(0.0, ruidoLectura);
    std::vector<int16_t> px(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
      std::poisson_distribution<long> poisson(v[i] * ganancia);
      const double e = static_cast<double>(poisson(rng)) + lectura(rng);
      px[i] = static_cast<int16_t>(std::clamp(std::round(e / ganancia), -32768.0, 32767.0));
    }
    im.CambiaPixeles(static_cast<uint32_t>(ancho), static_cast<uint32_t>(alto), std::move(px));
    im.Actualiza();
  }

  // The series' photometry settings: the generator's gain and read noise, a fixed aperture.
  ParametrosSerie Parametros() const {
    ParametrosSerie p;
    p.fotometria.radioEstrella = 6;
    p.fotometria.radioCieloInt = 12;
    p.fotometria.radioCieloExt = 18;
    p.fotometria.constanteMag = puntoCero;
    p.fotometria.valorSaturacion = 32000;
    p.ganancia = ganancia;
    p.ruidoLectura = ruidoLectura;
    return p;
  }
};

}  // namespace orva::prueba
