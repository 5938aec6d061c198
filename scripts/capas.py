#!/usr/bin/python3
"""Checks the #include lines of the library folders against the layer table.

Each folder may include its own headers and those of the layers below it, never a layer above
nor a sibling on its own level. Prints each offending file and line and exits 1 when any.
Usage: capas.py [SOURCE_DIR]
"""
import os
import re
import sys

# Bottom to top. Folders on one line share a level and may not include each other.
CAPAS = [
    ["base"],  # JError, string tables, numbers, safe writing, memory checks
    ["astro"],  # dates, times, angles, ephemerides
    ["core"],  # the image record, object types, modules, progress interface
    ["formats"],
    ["macro"],
    ["processing"],
    ["stacking"],  # masters, pretreatment, registration of point lists, combination
    ["stellar"],
    ["analyses", "solar", "planetary", "spectra"],  # the analysis modules, siblings
    ["spacecraft"],  # spacecraft frames: reseau marks, correction, navigation by the limb fit
    ["shell"],  # configuration, commands, start-up
]

# Known exceptions, (including file, included header), each to be removed: none today.
EXCEPCIONES = {
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z_]+)/[^"]*"')


def nivel_de(carpeta):
    for nivel, carpetas in enumerate(CAPAS):
        if carpeta in carpetas:
            return nivel
    return None


def main():
    raiz = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    raiz = os.path.abspath(raiz)
    fallos = []
    usadas = set()
    for carpetas in CAPAS:
        for carpeta in carpetas:
            base = os.path.join(raiz, carpeta)
            for dirpath, _, nombres in sorted(os.walk(base)):
                for nombre in sorted(nombres):
                    if not nombre.endswith((".h", ".hpp", ".cpp", ".cc")):
                        continue
                    ruta = os.path.join(dirpath, nombre)
                    relativa = os.path.relpath(ruta, raiz)
                    with open(ruta, encoding="utf-8", errors="replace") as f:
                        for numero, linea in enumerate(f, 1):
                            m = INCLUDE.match(linea)
                            if not m:
                                continue
                            destino = m.group(1)
                            incluido = linea.split('"')[1]
                            if destino == carpeta:
                                continue
                            nd = nivel_de(destino)
                            if nd is not None and nd < nivel_de(carpeta):
                                continue
                            if (relativa, incluido) in EXCEPCIONES:
                                usadas.add((relativa, incluido))
                                continue
                            motivo = ("is not a library layer" if nd is None else
                                      f"is above {carpeta}/" if nd > nivel_de(carpeta) else
                                      f"is a sibling of {carpeta}/")
                            fallos.append(f'{relativa}:{numero}: includes "{incluido}": '
                                          f"{destino}/ {motivo}")
    for relativa, incluido in sorted(set(EXCEPCIONES) - usadas):
        fallos.append(f'{relativa}: exception for "{incluido}" no longer needed: remove it')
    for fallo in fallos:
        print(fallo)
    if fallos:
        print(f"{len(fallos)} include line(s) break the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
