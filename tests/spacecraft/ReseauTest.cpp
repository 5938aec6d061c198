// Reseau marks on a synthetic Voyager-like frame: a regular grid drawn through a known barrel
// distortion and shift, the marks found where they were drawn, the frame corrected so that they
// come back to their object positions within 0.1 px, a hidden mark reported, the marks removed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "macro/Macro.h"
#include "shell/Arranque.h"
#include "spacecraft/MacroReseau.h"
#include "spacecraft/Reseau.h"

namespace orva {
namespace {

constexpr int kLado = 400;
constexpr int kMarcas = 9;
constexpr double kProfundidad = 90.0;
constexpr double kSigma = 1.2;
constexpr double kTolerancia = 0.1;  // px
constexpr size_t kOculta = 40;       // the mark left out of the frame

struct Punto {
  double x, y;
};

// Object -> frame: a shift and a barrel term growing with the cube of the distance to the centre.
Punto Distorsion(double x, double y) {
  const double c = (kLado - 1) / 2.0, k = 1.8e-7;
  const double dx = x - c, dy = y - c, r2 = dx * dx + dy * dy;
  return {x + 2.5 + k * dx * r2, y - 1.5 + k * dy * r2};
}

double Fondo(double x, double y) {
  return 120.0 + 0.1 * x - 0.05 * y + 20.0 * std::sin(x / 37.0) * std::cos(y / 53.0);
}

// The frame with dark Gaussian spots at the given places.
void Dibuja(const std::vector<Punto>& marcas, ImagenPixeles& im) {
  std::vector<int16_t> px(static_cast<size_t>(kLado * kLado));
  for (int y = 0; y < kLado; ++y) {
    for (int x = 0; x < kLado; ++x) {
      double v = Fondo(x, y);
      for (const Punto& m : marcas) {
        const double d2 = (x - m.x) * (x - m.x) + (y - m.y) * (y - m.y);
        if (d2 < 64) v -= kProfundidad * std::exp(-0.5 * d2 / (kSigma * kSigma));
      }
      px[static_cast<size_t>(y * kLado + x)] = static_cast<int16_t>(std::lround(v));
    }
  }
  im.CambiaPixeles(kLado, kLado, std::move(px));
  im.Actualiza();
}

TEST(Reseau, RejillaDistorsionadaCorregidaEnLasMarcas) {
  const RejillaReseau rejilla = RejillaRegular(kLado, kLado, kMarcas);
  ASSERT_EQ(rejilla.marcas.size(), static_cast<size_t>(kMarcas * kMarcas));
  std::vector<Punto> verdad, dibujadas;
  for (size_t i = 0; i < rejilla.marcas.size(); ++i) {
    verdad.push_back(Distorsion(rejilla.marcas[i].xObjeto, rejilla.marcas[i].yObjeto));
    if (i != kOculta) dibujadas.push_back(verdad.back());
  }
  ImagenObservacion im;
  Dibuja(dibujadas, im);
  const OpcionesReseau op;
  const std::vector<MarcaEncontrada> m = BuscaMarcas(im, rejilla, op, nullptr);
  for (size_t i = 0; i < m.size(); ++i) {
    if (i == kOculta) {
      EXPECT_FALSE(m[i].encontrada) << "contraste " << m[i].contraste;
      continue;
    }
    ASSERT_TRUE(m[i].encontrada) << i;
    EXPECT_NEAR(m[i].x, verdad[i].x, kTolerancia) << i;
    EXPECT_NEAR(m[i].y, verdad[i].y, kTolerancia) << i;
  }

  // Corrected, the marks are searched again where they belong.
  for (bool quita : {false, true}) {
    ImagenObservacion corregida;
    CorrigeGeometria(im, rejilla, m, op, quita, nullptr, corregida);
    const std::vector<MarcaEncontrada> c = BuscaMarcas(corregida, rejilla, op, nullptr);
    for (size_t i = 0; i < c.size(); ++i) {
      const MarcaReseau& r = rejilla.marcas[i];
      if (quita || i == kOculta) {
        EXPECT_FALSE(c[i].encontrada) << i << " quita " << quita;
        // Filled from around: close to the background that was under the mark.
        if (quita && i != kOculta) {
          EXPECT_NEAR(corregida.Pixel(std::lround(r.xObjeto), std::lround(r.yObjeto)),
                      Fondo(verdad[i].x, verdad[i].y), 4.0)
              << i;
        }
        continue;
      }
      ASSERT_TRUE(c[i].encontrada) << i;
      EXPECT_NEAR(c[i].x, r.xObjeto, kTolerancia) << i;
      EXPECT_NEAR(c[i].y, r.yObjeto, kTolerancia) << i;
    }
  }
}

// The macro line runs the same correction as the library and records itself; bad lines refused.
TEST(Reseau, LineaDeMacro) {
  InstalaSistema();
  const RejillaReseau rejilla = RejillaRegular(kLado, kLado, kMarcas);
  std::vector<Punto> dibujadas;
  for (const MarcaReseau& m : rejilla.marcas) dibujadas.push_back(Distorsion(m.xObjeto, m.yObjeto));
  Imagen im;
  Dibuja(dibujadas, im);
  ImagenObservacion esperada;
  CorrigeGeometria(im, rejilla, BuscaMarcas(im, rejilla, {}, nullptr), {}, true, nullptr, esperada);
  ASSERT_EQ(EjecutaMacro(im, {"RETICULA 9 QUITA"}), 1);
  EXPECT_EQ(im.Pixeles(), esperada.Pixeles());
  const std::vector<std::string>& t = im.cabecera.Tarjetas();
  EXPECT_TRUE(std::any_of(t.begin(), t.end(), [](const std::string& c) {
    return c.find("RETICULA 9 QUITA") != std::string::npos;
  }));
  for (const char* mala : {"RETICULA 1", "RETICULA 9 NO", "RETICULA 9 QUITA 3"}) {
    try {
      EjecutaMacro(im, {mala});
      ADD_FAILURE() << mala;
    } catch (const JError&) {
    }
  }
}

TEST(Reseau, PocasMarcasNoCorrigen) {
  const RejillaReseau rejilla = RejillaRegular(kLado, kLado, 3);
  ImagenObservacion im;
  Dibuja({}, im);
  const std::vector<MarcaEncontrada> m = BuscaMarcas(im, rejilla, {}, nullptr);
  for (const MarcaEncontrada& e : m) EXPECT_FALSE(e.encontrada);
  ImagenObservacion d;
  try {
    CorrigeGeometria(im, rejilla, m, {}, false, nullptr, d);
    ADD_FAILURE() << "corrected with no marks";
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12563);
  }
}

TEST(Reseau, TablaDeRejilla) {
  const std::string bien =
      "# camera X\nGRID X 2 2\n0 0 10 10 11 11\n0 1 90 10 91 11\n1 0 10 90 11 91\n"
      "1 1 90 90 91 91  # last\n";
  const RejillaReseau r = LeeRejillaReseau(bien);
  EXPECT_EQ(r.nombre, "X");
  EXPECT_EQ(r.En(1, 0).yNominal, 90.0);
  EXPECT_EQ(r.En(1, 1).xObjeto, 91.0);
  struct Caso {
    const char* nombre;
    std::string texto;
  };
  const Caso malos[] = {
      {"sin GRID", "0 0 1 1 1 1\n"},
      {"falta una marca", "GRID X 2 2\n0 0 1 1 1 1\n0 1 2 1 2 1\n1 0 1 2 1 2\n"},
      {"repetida", "GRID X 2 2\n0 0 1 1 1 1\n0 0 1 1 1 1\n0 1 2 1 2 1\n1 0 1 2 1 2\n"},
      {"fuera", "GRID X 2 2\n0 0 1 1 1 1\n0 1 2 1 2 1\n1 0 1 2 1 2\n2 1 2 2 2 2\n"},
      {"texto de mas", "GRID X 2 2\n0 0 1 1 1 1 7\n"},
      {"no numero", "GRID X 2 2\n0 0 a 1 1 1\n"},
      {"rejilla de 1", "GRID X 1 5\n"},
      {"vacia", ""},
  };
  for (const Caso& k : malos) {
    try {
      LeeRejillaReseau(k.texto);
      ADD_FAILURE() << k.nombre;
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 12562) << k.nombre;
    }
  }
}

}  // namespace
}  // namespace orva
