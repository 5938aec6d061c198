// Memory checks: overflow of the byte count, a limit below the memory available, and an image
// too large for the machine refused before its block is allocated.
#include "base/Memoria.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "base/JError.h"
#include "core/Imagen.h"

namespace orva {
namespace {

int Id(void (*f)()) {
  try {
    f();
  } catch (const JError& e) {
    return e.Id();
  }
  return 0;
}

TEST(Memoria, OverflowAndLimitsRaise10100) {
  EXPECT_EQ(BytesDe(1000, 1000, 2), 2000000u);
  EXPECT_GT(MemoriaDisponible(), 0u);
  EXPECT_EQ(Id([] { BytesDe(uint64_t{1} << 40, uint64_t{1} << 40, 2); }), 10100);
  EXPECT_EQ(Id([] { BytesDe(UINT64_MAX / 2 + 1, 2); }), 10100);
  EXPECT_EQ(Id([] { SumaBytes(UINT64_MAX, 1); }), 10100);
  EXPECT_EQ(Id([] { CompruebaMemoria(UINT64_MAX / 4); }), 10100);
  EXPECT_EQ(Id([] { CompruebaMemoria(1024); }), 0);
  FijaLimiteMemoria(1000);
  EXPECT_EQ(Id([] { CompruebaMemoria(1024); }), 10100);
  FijaLimiteMemoria(0);
  // 2^32 - 1 squared pixels: refused with the size, the image keeps its old block.
  EXPECT_EQ(Id([] {
              Imagen im;
              im.DimensionaImagen(3, 2);
              try {
                im.DimensionaImagen(0xFFFFFFFFu, 0xFFFFFFFFu);
              } catch (const JError&) {
                if (im.NumPixeles() != 6u) throw JError(0);
                throw;
              }
            }),
            10100);
}

}  // namespace
}  // namespace orva
