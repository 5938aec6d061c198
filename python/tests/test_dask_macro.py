"""The Dask example against `orva macro`: the same macro over the same frames gives the same
files, and a batch that would replace its inputs is refused before anything is written."""
import os
import pathlib
import subprocess
import sys

import numpy as np
import pytest

import orva

pytest.importorskip("distributed")

EJEMPLO = pathlib.Path(os.environ.get("ORVA_EXAMPLES",
                                      pathlib.Path(__file__).resolve().parents[2] / "examples"))
EJEMPLO = EJEMPLO / "dask_macro.py"
NUM_CUADROS = 40
LADO = 64
MACRO = ["FILTRO GAUS 0.8 2", "ESCALGRIS LOG_10 5000"]


def ejemplo(*args):
    return subprocess.run([sys.executable, str(EJEMPLO), *map(str, args)], capture_output=True,
                          text=True, timeout=120)


@pytest.fixture(scope="module")
def cuadros(tmp_path_factory):
    """Forty small frames with a few stars on noise, and the macro file."""
    base = tmp_path_factory.mktemp("lote")
    entrada = base / "in"
    entrada.mkdir()
    azar = np.random.default_rng(7)
    filas, columnas = np.mgrid[0:LADO, 0:LADO]
    archivos = []
    for i in range(NUM_CUADROS):
        cuadro = azar.normal(300, 15, (LADO, LADO))
        for _ in range(3):
            x, y = azar.uniform(8, LADO - 8, 2)
            cuadro += 4000 * np.exp(-((columnas - x) ** 2 + (filas - y) ** 2) / 4.5)
        archivo = entrada / f"cuadro_{i:02d}.fits"
        orva.write(archivo, np.round(cuadro).astype(np.int16),
                   {"NOMOBJ": f"campo {i}", "TIEMPOEXP": "30"})
        archivos.append(archivo)
    macro = base / "lote.orv"
    macro.write_bytes(("ORVA V2.0 MACRO\r\n" + "".join(l + "\r\n" for l in MACRO)).encode())
    return base, archivos, macro


def test_dask_gives_the_files_of_orva_macro(cuadros, orva_cli):
    base, archivos, macro = cuadros
    antes = {a: a.read_bytes() for a in archivos}
    (base / "cli").mkdir()
    (base / "dask").mkdir()
    orva_cli("macro", macro, *archivos, "-o", base / "cli")
    r = ejemplo(macro, *archivos, "-o", base / "dask")
    assert r.returncode == 0, r.stderr
    assert r.stdout.splitlines() == [f"{a} -> {base / 'dask' / a.name}" for a in archivos]
    hechos = sorted(p.name for p in (base / "cli").iterdir())
    assert len(hechos) == 2 * NUM_CUADROS  # each image and its side data file
    assert sorted(p.name for p in (base / "dask").iterdir()) == hechos
    for nombre in hechos:
        assert (base / "dask" / nombre).read_bytes() == (base / "cli" / nombre).read_bytes(), nombre
    assert {a: a.read_bytes() for a in archivos} == antes
    assert not np.array_equal(orva.read(archivos[0])[0],
                              orva.read(base / "dask" / archivos[0].name)[0])


def test_dask_refuses_to_replace_its_inputs(cuadros, tmp_path):
    base, archivos, _ = cuadros
    antes = {a: a.stat().st_mtime_ns for a in archivos}
    r = ejemplo("-e", MACRO[0], *archivos[:3], "-o", archivos[0].parent)
    assert r.returncode == 1 and r.stderr.startswith("orva: 12220: ") and r.stdout == ""
    assert {a: a.stat().st_mtime_ns for a in archivos} == antes
    r = ejemplo("-e", MACRO[0], *archivos[:3], "-o", tmp_path / "no_existe")
    assert r.returncode == 1 and r.stderr.startswith("orva: 12222: ")


def test_dask_reports_a_failing_file_and_goes_on(cuadros, tmp_path):
    base, archivos, _ = cuadros
    roto = tmp_path / "roto.fits"
    roto.write_bytes(b"SIMPLE  =                    T" + b" " * 50)
    salida = tmp_path / "out"
    salida.mkdir()
    r = ejemplo("-e", MACRO[0], archivos[0], roto, archivos[1], "-o", salida)
    assert r.returncode == 1
    assert r.stdout.splitlines() == [f"{archivos[0]} -> {salida / archivos[0].name}",
                                     f"{archivos[1]} -> {salida / archivos[1].name}"]
    assert r.stderr.startswith("orva: ") and f": {roto}: " in r.stderr
