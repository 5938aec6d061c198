"""Shared fixtures: the command-line program the package is compared with, and the frames."""
import os
import pathlib
import subprocess

import pytest

DATOS = pathlib.Path(os.environ.get("ORVA_TEST_DATA",
                                    pathlib.Path(__file__).resolve().parents[2] / "tests" / "data"))
M51 = DATOS / "m51_iraf_devpix.fits"
EYUMA = DATOS / "eyuma_r90s_cutout.fits"


@pytest.fixture(scope="session")
def orva_cli():
    """Runs build/bin/orva; returns the completed process (text)."""
    programa = os.environ.get("ORVA_BIN")
    if not programa:
        pytest.skip("ORVA_BIN names no command-line program")

    def corre(*args, check=True):
        r = subprocess.run([programa, *map(str, args)], capture_output=True, text=True)
        if check and r.returncode != 0:
            raise AssertionError(f"orva {' '.join(map(str, args))}: {r.returncode}\n{r.stderr}")
        return r

    return corre
