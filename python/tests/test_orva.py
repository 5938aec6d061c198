"""The package against its oracles: astropy for what a FITS file holds, the command-line program
for what each operation gives."""
import json
import os
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest
from astropy.io import fits

import orva
from conftest import EYUMA, M51

# Three bright isolated stars of the M51 frame (0-based image positions).
ESTRELLA_A = (464.5, 61.1)
ESTRELLA_B = (441.0, 408.7)


@pytest.fixture(scope="module")
def m51():
    return orva.read(M51)


@pytest.mark.parametrize("archivo", [M51, EYUMA], ids=lambda p: p.name)
def test_read_gives_the_stored_rows_as_astropy_does(archivo):
    a, d = orva.read(archivo)
    referencia = fits.getdata(archivo).astype(np.float64)
    assert a.dtype == np.int16 and a.shape == referencia.shape
    # Values beyond 16 bits are mapped onto the pixels; the mapping gives them back to within
    # one step of it.
    fisico = d["bzero"] + d["bscale"] * a.astype(np.float64)
    diferencia = referencia - fisico
    assert diferencia.min() >= 0 and diferencia.max() < d["bscale"]
    assert d["type"] == "FITS" and d["bits"] == 16
    cabecera = fits.getheader(archivo)
    claves = {t[:8].rstrip() for t in d["header"]}
    assert "CTYPE1" in claves and all(len(t) == 80 for t in d["header"])
    assert d["header"][[t[:8].rstrip() for t in d["header"]].index("CTYPE1")][10:].startswith(
        "'" + cabecera["CTYPE1"])


def test_read_gives_the_observation_fields(m51):
    _, d = m51
    assert d["NOMOBJ"].startswith("m51")
    assert float(d["TIEMPOEXP"]) == 600.0
    assert d["FECHAOBS"] == "05/04/1987"
    assert "FILTRO" not in d or d["FILTRO"]  # only fields with a value


@pytest.mark.parametrize("tipo,nombre", [("FITS", "a.fits"), ("QOR", "a.qor"), ("TIFF", "a.tif"),
                                         (None, "b.fits"), (None, "b.qor")])
def test_write_and_read_back(m51, tmp_path, tipo, nombre):
    a, d = m51
    d = dict(d, NOMOBJ="prueba", TIEMPOEXP="12.5")
    archivo = tmp_path / nombre
    orva.write(archivo, a, d, type=tipo)
    b, e = orva.read(archivo)
    assert np.array_equal(a, b)
    assert e["type"] == (tipo or {".fits": "FITS", ".qor": "QOR"}[archivo.suffix])
    assert e["NOMOBJ"] == "prueba" and float(e["TIEMPOEXP"]) == 12.5
    if e["type"] == "FITS":
        assert fits.getheader(archivo)["OBJECT"] == "prueba"
        assert np.array_equal(fits.getdata(archivo), a)


def test_write_keeps_the_old_file_when_it_fails(m51, tmp_path):
    a, d = m51
    archivo = tmp_path / "a.fits"
    orva.write(archivo, a, d)
    antes = archivo.read_bytes()
    with pytest.raises(orva.Error):
        orva.write(archivo, a, dict(d, FECHAOBS="99/99/1987"))
    assert archivo.read_bytes() == antes


@pytest.mark.parametrize("lineas", [["FILTRO GAUS 0.8 2"],
                                    ["FILTRO GAUS 0.8 2", "ESCALGRIS LOG_10 5000"]])
def test_run_gives_the_pixels_and_file_of_orva_apply(m51, orva_cli, tmp_path, lineas):
    a, d = m51
    args = [x for l in lineas for x in ("-e", l)]
    orva_cli("apply", M51, tmp_path / "cli.fits", *args)
    resultados = []
    for hilos in (1, 2):
        orva.set_threads(hilos)
        b, e = orva.run(a, lineas, d)
        resultados.append(b)
    orva.set_threads(0)
    assert np.array_equal(resultados[0], resultados[1])
    c, _ = orva.read(tmp_path / "cli.fits")
    assert np.array_equal(b, c) and not np.array_equal(a, b)
    assert e["operations"] == lineas
    orva.write(tmp_path / "py.fits", b, e)
    for sufijo in ("", ".dat"):
        assert (tmp_path / f"py.fits{sufijo}").read_bytes() == \
            (tmp_path / f"cli.fits{sufijo}").read_bytes()
    assert np.array_equal(a, orva.read(M51)[0])  # the input array is left alone


@pytest.mark.parametrize("metodo", ["pcvista", "tass"])
def test_stars_as_orva_stars_json(m51, orva_cli, metodo):
    a, d = m51
    esperadas = json.loads(orva_cli("stars", M51, "--method", metodo, "--json").stdout)
    estrellas = orva.stars(a, method=metodo, data=d)
    assert len(esperadas) > 5 and len(estrellas) == len(esperadas)
    for e, s in zip(esperadas, estrellas):
        assert s["name"] == e["name"] and s["status"] == e["status"] and s["npix"] == e["npix"]
        for clave, decimales in (("x", 3), ("y", 3), ("sky", 3), ("mag", 3), ("rawsum", 1)):
            assert round(s[clave], decimales) == pytest.approx(e[clave], abs=1.01 * 10**-decimales)


def test_phot_and_double_as_the_command_line(m51, orva_cli):
    a, _ = m51
    x, y = ESTRELLA_A
    fila = orva_cli("phot", M51, x, y).stdout.split()
    p = orva.phot(a, x, y)
    assert [f"{p['sky']:.3f}", f"{p['skydev']:.3f}", str(p["npix"]), f"{p['rawsum']:.1f}",
            f"{p['cleansum']:.1f}", f"{p['mag']:.3f}", p["status"]] == fila
    borde = orva.phot(a, 2, 2)
    assert borde["status"] == "edge" and borde["error_id"] == 12226 and borde["error"]

    salida = orva_cli("double", M51, "--a", "%g,%g" % ESTRELLA_A,
                      "--b", "%g,%g" % ESTRELLA_B).stdout
    r = orva.double(a, ESTRELLA_A, ESTRELLA_B)
    assert salida == "A (%.2f,%.2f)\nB (%.2f,%.2f)\nAP %.2f\nDIST %.2f\n" % (
        *r["a"], *r["b"], r["pa"], r["sep"])


@pytest.mark.parametrize("llamada,id_error,orden", [
    (lambda a: orva.run(a, ["FOO 1"]), 12052, ["apply", M51, "{tmp}/x.fits", "-e", "FOO 1"]),
    (lambda a: orva.read("/no/existe.fits"), 10125, ["info", "/no/existe.fits"]),
    (lambda a: orva.write("/no/existe/x.fits", a), None, ["convert", M51, "/no/existe/x.fits"]),
    (lambda a: orva.run(a, ["FILTRO GAUS 0.8"]), 12052, None),
    (lambda a: orva.double(a, (3, 3), ESTRELLA_B), 12134, None),
    (lambda a: orva.load_macro("/no/existe.orv"), 10125, None),
])
def test_errors_raise_orva_error_as_the_command_line_reports_them(m51, orva_cli, tmp_path,
                                                                 llamada, id_error, orden):
    with pytest.raises(orva.Error) as e:
        llamada(m51[0])
    if id_error is not None:
        assert e.value.id == id_error
    assert str(e.value) == f"{e.value.id}: {e.value.message}".replace("\n", " ")
    if orden:
        r = orva_cli(*[str(x).format(tmp=tmp_path) for x in orden], check=False)
        assert r.returncode == 1 and r.stderr == f"orva: {e.value}\n"


@pytest.mark.parametrize("pixeles,error", [
    (np.zeros((4, 4), np.float32), TypeError),
    (np.full((4, 4), 40000, np.int32), ValueError),
    (np.zeros(16, np.int16), ValueError),
    (np.zeros((0, 4), np.int16), ValueError),
])
def test_bad_arrays_are_refused(pixeles, error):
    with pytest.raises(error):
        orva.run(pixeles, [])


def test_integer_arrays_that_fit_are_taken(m51):
    a, d = m51
    b, _ = orva.run(a.astype(np.int32), [], d)
    assert np.array_equal(a, b)


def test_unknown_keys_and_settings_are_refused(m51):
    a, _ = m51
    for datos in ({"NOMOB": "m51"}, {"bits": 7}, {"bscale": 0.0}, {"bzero": float("nan")}):
        with pytest.raises(ValueError):
            orva.run(a, [], datos)
    with pytest.raises(ValueError):
        orva.write("/tmp/x.fits", a, type="NOTYPE")
    with pytest.raises(KeyError):
        orva.setting("General", "NOEXISTE")


def test_calls_from_several_threads_take_turns(m51):
    a, d = m51
    lineas = ["FILTRO GAUS 0.8 2"]
    esperado = orva.run(a, lineas, d)[0]
    with ThreadPoolExecutor(max_workers=4) as hilos:
        resultados = list(hilos.map(lambda _: orva.run(a, lineas, d)[0], range(8)))
    assert all(np.array_equal(r, esperado) for r in resultados)


def test_import_reads_and_writes_no_settings_file(tmp_path):
    casa = tmp_path / "casa"
    (casa / ".config" / "orva").mkdir(parents=True)
    # A settings file that would change what the package does if it were read.
    (casa / ".config" / "orva" / "ORVA4.INI").write_text("[General]\nHILOS=1\n")
    antes = sorted(casa.rglob("*"))
    entorno = dict(os.environ, HOME=str(casa))
    entorno.pop("XDG_CONFIG_HOME", None)
    codigo = ("import orva; a, d = orva.read(%r); orva.run(a, ['FILTRO GAUS 0.8 2'], d); "
              "print(orva.setting('General', 'HILOS'))" % str(M51))
    r = subprocess.run([sys.executable, "-c", codigo], env=entorno, capture_output=True,
                       text=True, cwd=tmp_path)
    assert r.returncode == 0, r.stderr
    assert r.stdout == "0\n" and r.stderr == ""
    assert sorted(casa.rglob("*")) == antes


def _noche(carpeta, gen, lado=320):
    """A small night: 3 bias, 3 darks, 3 flats, 4 lights of a star field shifted and turned."""
    yy, xx = np.mgrid[0:lado, 0:lado].astype(float)
    flat = 1.0 - 0.3 * ((xx - lado / 2) ** 2 + (yy - lado / 2) ** 2) / lado ** 2
    estrellas = gen.uniform(20, lado - 20, (60, 2))
    flujos = np.exp(gen.uniform(np.log(2e3), np.log(1e5), 60))
    rutas = {"bias": [], "dark": [], "flat": [], "light": []}

    def escribe(tipo, valores, exp):
        ruta = carpeta / f"{tipo}_{len(rutas[tipo]) + 1}.fits"
        orva.write(ruta, np.clip(np.round(valores), 0, 32767).astype(np.int16),
                   {"TIEMPOEXP": str(exp)})
        rutas[tipo].append(ruta)

    ruido = lambda: 500 + 5 * gen.standard_normal((lado, lado))
    for _ in range(3):
        escribe("bias", ruido(), 0)
        escribe("dark", ruido() + gen.poisson(3.0, (lado, lado)), 30)
        escribe("flat", ruido() + gen.poisson(15000 * flat), 1)
    for k, (a, dx, dy) in enumerate([(0, 0, 0), (0.6, 4.3, -2.7), (-0.4, -3.1, 5.2), (0.2, 1.5, 1.5)]):
        c, s = np.cos(np.radians(a)), np.sin(np.radians(a))
        px = c * (estrellas[:, 0] - lado / 2) - s * (estrellas[:, 1] - lado / 2) + lado / 2 + dx
        py = s * (estrellas[:, 0] - lado / 2) + c * (estrellas[:, 1] - lado / 2) + lado / 2 + dy
        escena = np.full((lado, lado), 200.0)
        for x, y, f in zip(px, py, flujos):
            escena += f / (2 * np.pi * 1.6 ** 2) * np.exp(-((xx - x) ** 2 + (yy - y) ** 2) / (2 * 1.6 ** 2))
        escribe("light", ruido() + gen.poisson(escena * flat + 3.0), 30)
    return rutas


def test_calibration_and_stack_as_the_command_line(orva_cli, tmp_path):
    rutas = _noche(tmp_path, np.random.default_rng(14))
    for tipo in ("bias", "dark", "flat"):
        (tmp_path / f"{tipo}.txt").write_text("".join(f"{r}\n" for r in rutas[tipo]))
    (tmp_path / "cal").mkdir()
    orva_cli("calibrate", "--bias", f"@{tmp_path}/bias.txt", "--dark", f"@{tmp_path}/dark.txt",
             "--flat", f"@{tmp_path}/flat.txt", *rutas["light"], "-o", tmp_path / "cal")
    calibradas = [tmp_path / "cal" / r.name for r in rutas["light"]]
    orva_cli("stack", *calibradas, "-o", tmp_path / "pila.fits", "--align", "stars")

    bias = orva.master(rutas["bias"], "bias")
    dark = orva.master(rutas["dark"], "dark")
    flat = orva.master([orva.read(r) for r in rutas["flat"]], "flat", bias=bias, dark=dark)
    fisico = lambda a, d: d["bzero"] + d["bscale"] * a.astype(float)
    for nombre, maestro in (("bias", bias), ("dark", dark), ("flat", flat)):
        np.testing.assert_allclose(fisico(*maestro),
                                   fisico(*orva.read(tmp_path / "cal" / f"{nombre}.fits")),
                                   rtol=0, atol=maestro[1]["bscale"] / 2)
    luces = []
    for r, c in zip(rutas["light"], calibradas):
        a, d, info = orva.calibrate(*orva.read(r), bias=bias, dark=dark, flat=flat)
        np.testing.assert_array_equal(a, orva.read(c)[0])
        assert info["clamped"] == 0
        luces.append((a, d))

    # The frames registered by their stars, a frame of another field left out and said so.
    otro = (np.random.default_rng(1).normal(300, 10, luces[0][0].shape).astype(np.int16), None)
    registros = orva.register(luces[0], luces[1:] + [otro])
    assert [r["ok"] for r in registros] == [True, True, True, False]
    assert registros[-1]["matrix"] is None and registros[-1]["error_id"] != 0
    m = np.array(registros[0]["matrix"])  # light 2: turned about the centre, then shifted
    np.testing.assert_allclose(m @ [160, 160, 1], [164.3, 157.3, 1], atol=0.05)

    pila, datos, info = orva.stack(luces + [otro], align="stars")
    np.testing.assert_array_equal(pila, orva.read(tmp_path / "pila.fits")[0])
    assert [f["index"] for f in info["frames"]] == [0, 1, 2, 3]
    assert [d["index"] for d in info["left_out"]] == [4]
    assert info["total_exposure"] == 120

    with pytest.raises(ValueError):
        orva.stack(luces, method="mode")
    with pytest.raises(orva.Error):
        orva.stack([luces[0], (luces[1][0][:10], None)])  # another size
