// Undo and redo stacks: exact states back, the log lines with them, the modified mark after a
// save, and the memory bound.
#include "core/Deshacer.h"

#include <gtest/gtest.h>

#include "core/Imagen.h"

namespace orva {
namespace {

std::unique_ptr<Imagen> Nueva(uint32_t w, uint32_t h, int16_t base) {
  auto im = std::make_unique<Imagen>();
  std::vector<int16_t> px(size_t{w} * h);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<int16_t>(base + i % 97);
  im->CambiaPixeles(w, h, std::move(px));
  im->Actualiza();
  im->Modificada(0);
  return im;
}

// An operation as the interpreter runs one: new pixels (and sizes), a mapping, a logged line.
void Opera(Deshacer& d, Imagen& im, uint32_t w, uint32_t h, int16_t base,
           const std::string& linea) {
  d.Antes(im);
  std::vector<int16_t> px(size_t{w} * h, base);
  im.CambiaPixeles(w, h, std::move(px));
  im.mapeo = MapeoValores{base * 1.0, 2.0};
  im.AnadeOperacion(linea);
  im.Modificada(1);
  d.Despues(im);
}

struct Vista {
  uint32_t w, h;
  std::vector<int16_t> px;
  MapeoValores mapeo;
  std::vector<std::string> tarjetas, log;
  int modificada;
  bool operator==(const Vista&) const = default;
};
Vista De(const Imagen& im) {
  return {im.Ancho(),       im.Alto(),           im.Pixeles(), im.mapeo, im.cabecera.Tarjetas(),
          im.Operaciones(), im.ModificadaMarca()};
}

TEST(Deshacer, CadaPasoVuelveExactoConSuLineaYSuMarca) {
  auto im = Nueva(6, 4, 10);
  im->cabecera.Anade("OBSERVER= 'X'");
  im->AnadeOperacion("LEER a.fits");
  im->Modificada(0);
  Deshacer d;
  std::vector<Vista> estados = {De(*im)};
  Opera(d, *im, 3, 2, 500, "CORTAR 0 0 3 2");
  estados.push_back(De(*im));
  Opera(d, *im, 6, 4, 900, "REDIM 0 0 3 2 6 4");
  estados.push_back(De(*im));
  // A display line afterwards is not part of the operation and stays.
  im->AnadeOperacion("ZOOM A 2");
  // The read line and the two operations went into HISTORY cards, the zoom did not.
  EXPECT_EQ(im->cabecera.Tarjetas().size(), 4u);

  ASSERT_TRUE(d.Deshaz(*im));
  Vista v = estados[1];
  v.log.push_back("ZOOM A 2");
  EXPECT_EQ(De(*im), v);
  ASSERT_TRUE(d.Deshaz(*im));
  v = estados[0];
  v.log.push_back("ZOOM A 2");
  EXPECT_EQ(De(*im), v);  // back as read: not modified
  EXPECT_FALSE(d.Deshaz(*im));

  ASSERT_TRUE(d.Rehaz(*im));
  EXPECT_EQ(im->Pixeles(), estados[1].px);
  EXPECT_EQ(im->Operaciones(),
            (std::vector<std::string>{"LEER a.fits", "ZOOM A 2", "CORTAR 0 0 3 2"}));
  EXPECT_EQ(im->cabecera.Tarjetas(), estados[1].tarjetas);
  EXPECT_EQ(im->ModificadaMarca(), 1);
  // A new operation drops what was left to redo.
  Opera(d, *im, 2, 2, 7, "FILTRO SUAV_1");
  EXPECT_FALSE(d.PuedeRehacer());
  EXPECT_EQ(d.NumDeshacer(), 2u);
}

TEST(Deshacer, TrasGuardarLoDeshechoDifiereDelArchivo) {
  auto im = Nueva(4, 4, 0);
  Deshacer d;
  Opera(d, *im, 4, 4, 5, "FILTRO SUAV_1");
  im->Modificada(0);  // written to its file
  d.Guardada();
  ASSERT_TRUE(d.Deshaz(*im));
  EXPECT_EQ(im->ModificadaMarca(), 1);
  ASSERT_TRUE(d.Rehaz(*im));
  EXPECT_EQ(im->ModificadaMarca(), 0);  // the saved pixels again
}

TEST(Deshacer, OperacionSinEfectoSeOlvidaYLaParcialSeDeshace) {
  auto im = Nueva(4, 4, 0);
  const std::vector<int16_t> original = im->Pixeles();
  Deshacer d;
  d.Antes(*im);  // a refused line: nothing changed, nothing logged
  d.Despues(*im);
  EXPECT_FALSE(d.PuedeDeshacer());
  d.Antes(*im);  // a macro of zooms
  im->AnadeOperacion("ZOOM A 2");
  d.Despues(*im);
  EXPECT_FALSE(d.PuedeDeshacer());
  d.Antes(*im);  // cancelled half way: rows changed, no line
  im->PonPixel(0L, 0L, 1234);
  d.Despues(*im);
  ASSERT_TRUE(d.Deshaz(*im));
  EXPECT_EQ(im->Pixeles(), original);
}

TEST(Deshacer, LimiteDeMemoriaTiraLosMasViejos) {
  auto im = Nueva(100, 100, 0);  // 20000 bytes of pixels per state
  // One state with room for its few HISTORY cards and log lines, far below two.
  const size_t uno = EstadoPixeles::De(*im).Bytes() + 1000;
  Deshacer d(2 * uno);
  for (int i = 1; i <= 5; ++i)
    Opera(d, *im, 100, 100, static_cast<int16_t>(i), "OP " + std::to_string(i));
  EXPECT_EQ(d.NumDeshacer(), 2u);
  EXPECT_LE(d.Bytes(), d.Limite());
  ASSERT_TRUE(d.Deshaz(*im));
  ASSERT_TRUE(d.Deshaz(*im));
  EXPECT_EQ(im->Pixel(0L, 0L), 3);
  EXPECT_FALSE(d.Deshaz(*im));
  // A state larger than the whole bound is not kept at all.
  d.FijaLimite(uno / 2);
  EXPECT_EQ(d.NumDeshacer() + d.NumRehacer(), 0u);
  Opera(d, *im, 100, 100, 9, "OP 9");
  EXPECT_FALSE(d.PuedeDeshacer());
}

}  // namespace
}  // namespace orva
