// The image operations of the macro language: installs ESCALGRIS, FILTRO, ROTAR, ESPEJO,
// DESPLAZA, CORTAR, REDIM, SUMA, RESTA, FLAT and DIVIDIR in the interpreter's command table.
#pragma once

#include "processing/Aritmetica.h"
#include "processing/EscalaGris.h"
#include "processing/Filtros.h"
#include "processing/Geometria.h"

namespace orva {

// Installs the handlers; call once at start-up (calling again is harmless).
void EnlazaProcesamientoMacro();

}  // namespace orva
