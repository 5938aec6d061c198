// What the geometry dialogs propose from the reference points.
#include "processing/PropuestasGeometria.h"

#include <gtest/gtest.h>

#include "base/JError.h"
#include "core/Imagen.h"

namespace orva {
namespace {

std::unique_ptr<Imagen> Imagen40x30() {
  auto im = std::make_unique<Imagen>();
  im->CambiaPixeles(40, 30, std::vector<int16_t>(40 * 30, 0));
  return im;
}

void Pon(Imagen& im, int p, int x, int y) {
  im.puntos[static_cast<size_t>(p)] = {1, x, y};
}

TEST(PropuestasGeometria, Corte) {
  struct Caso {
    const char* nombre;
    std::vector<std::array<int, 3>> puntos;
    bool fijo;
    std::array<int, 4> esperado;  // x y w h
  };
  const Caso casos[] = {
      {"sin puntos", {}, false, {0, 0, 16, 8}},
      {"origen", {{kDespMin, 3, 4}}, false, {3, 4, 16, 8}},
      {"origen y final", {{kDespMin, 3, 4}, {kDespMax, 12, 9}}, false, {3, 4, 10, 6}},
      {"tamaño fijo", {{kDespMin, 3, 4}, {kDespMax, 12, 9}}, true, {3, 4, 16, 8}},
      {"centro", {{kCentroRota, 20, 15}}, false, {12, 11, 16, 8}},
      {"origen antes que centro", {{kCentroRota, 20, 15}, {kDespMin, 1, 2}}, false, {1, 2, 16, 8}},
      // A single coordinate (mark 2) is not a point.
      {"punto a medias", {{kDespMax, 12, 9}}, false, {0, 0, 16, 8}},
  };
  for (const Caso& k : casos) {
    auto im = Imagen40x30();
    for (auto [p, x, y] : k.puntos) Pon(*im, p, x, y);
    const ParamsCorte p = PropuestaCorte(*im, 16, 8, k.fijo);
    EXPECT_EQ((std::array<int, 4>{p.x, p.y, p.w, p.h}), k.esperado) << k.nombre;
  }
}

TEST(PropuestasGeometria, DesplazaYRedim) {
  auto im = Imagen40x30();
  EXPECT_EQ(PropuestaDesplaza(*im).dx, 0.0);
  const ParamsRedim entera = PropuestaRedim(*im, 0.5, 0.01);
  EXPECT_EQ((std::array<int, 6>{entera.x, entera.y, entera.w, entera.h, entera.nw, entera.nh}),
            (std::array<int, 6>{0, 0, 40, 30, 20, 1}));  // never below one pixel
  Pon(*im, kDespMin, 5, 6);
  Pon(*im, kDespMax, 14, 7);
  const ParamsDesplaza d = PropuestaDesplaza(*im);
  EXPECT_EQ(d.dx, 9.0);
  EXPECT_EQ(d.dy, 1.0);
  const ParamsRedim r = PropuestaRedim(*im, 1.5, 2.0);
  EXPECT_EQ((std::array<int, 6>{r.x, r.y, r.w, r.h, r.nw, r.nh}),
            (std::array<int, 6>{5, 6, 10, 2, 15, 4}));
  for (double malo : {0.0, -1.0}) {
    try {
      PropuestaRedim(*im, 1.0, malo);
      ADD_FAILURE() << malo;
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 12048);
    }
  }
}

TEST(PropuestasGeometria, CortePorReferenciaCaeEnElMismoPixel) {
  auto im = Imagen40x30();
  auto ref = std::make_unique<Imagen>();
  ref->CambiaPixeles(20, 10, std::vector<int16_t>(200, 0));
  Pon(*im, kDespRef, 15, 14);
  Pon(*ref, kDespRef, 10, 10);
  EXPECT_EQ(LineaCortePorReferencia(*im, ref.get()), "CORTAR 5 4 20 10");
  EXPECT_TRUE(PuntosCompletos(*im, {kDespRef}));
  int cx = 0, cy = 0;
  EXPECT_FALSE(PropuestaCentroRotacion(*im, cx, cy));
  EXPECT_EQ(std::make_pair(cx, cy), std::make_pair(20, 15));
  Pon(*im, kCentroRota, 7, 3);
  EXPECT_TRUE(PropuestaCentroRotacion(*im, cx, cy));
  EXPECT_EQ(std::make_pair(cx, cy), std::make_pair(7, 3));
  EXPECT_FALSE(PuntosCompletos(*im, {kDespRef, kRedimRef1}));
}

}  // namespace
}  // namespace orva
