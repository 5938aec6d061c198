// Image arithmetic of the macro language: weighted sum and difference of two images, and the
// division by a flat field normalised by its mean.
#pragma once

#include <string>

namespace orva {

class Imagen;
class Progreso;

// Both operations work in bands of rows on the operations' threads (core/Hilos.h), with the same
// result for any thread count, and poll the given progress object or the process-wide one
// between bands: a cancel raises 11011 and leaves a as it was.

// a := trunc(f1 a + f2 b), clamped to the pixel range. Images of different sizes raise 12210.
void SumaImagenes(Imagen& a, const Imagen& b, double f1, double f2);
void SumaImagenes(Imagen& a, const Imagen& b, double f1, double f2, Progreso& progreso);
// a := trunc(a x mean(b) / b), clamped to the pixel range: a divided by b normalised by its
// mean. Where b is 0 the pixel of a is kept. Different sizes raise 12210, a flat field whose
// mean is 0 raises 12211.
void DivideImagenes(Imagen& a, const Imagen& flat);
void DivideImagenes(Imagen& a, const Imagen& flat, Progreso& progreso);

// The recorded lines of the multi-image operations.
std::string LineaSuma(int b, double f1, double f2);
std::string LineaResta(int b);
std::string LineaDivide(int b);

}  // namespace orva
