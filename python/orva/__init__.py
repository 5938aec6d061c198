"""ORVA's image library from Python.

An image is a pair ``(array, data)``:

* ``array``: a NumPy ``int16`` array of shape (rows, columns) holding the pixels as the library
  holds them. Row 0 is the first row stored in the file (for FITS, the first row of the data
  unit, the one astropy also gives as ``data[0]``); column 0 is the first pixel of a row.
  Files whose values do not fit 16-bit signed pixels are mapped onto them: the physical value
  of pixel ``v`` is ``data["bzero"] + data["bscale"] * v``.
* ``data``: a dict. The observation fields the image holds a value for, under the library's
  keys, as text (``NOMOBJ`` object, ``TIPOOBJ`` object type, ``AROBJ``/``DECOBJ``, ``FECHAOBS``
  date, ``HORAOBS`` time, ``TIEMPOEXP`` exposure in seconds, ``FILTRO``, ``TELESCOPIO``...);
  ``header`` (the FITS cards the library keeps, 80 characters each); ``operations`` (the macro
  lines applied, also kept as HISTORY cards); ``type`` (the file type key); ``bits``, ``bzero``,
  ``bscale``; ``palette`` (768 bytes, palette images only); ``state`` (the text of the image's
  side data file: offsets, reference points and analysis data such as a star list).

  Handing ``data`` back to :func:`write`, :func:`run` or the measures carries everything the
  library knew. The fields and ``header`` given take precedence over ``state``; drop ``state``
  to build the image from the other keys alone.

Errors of the library raise :class:`Error` with ``id`` (the message id) and ``message``;
``str(error)`` is ``"<id>: <text>"`` as the command line prints it.

The library starts on its default settings: no settings file is read or written. Library calls
release the GIL and take turns; each operation uses the library's own threads
(:func:`set_threads`).
"""

import os as _os

import numpy as _np

from . import _orva
from ._orva import Error, __version__, set_threads, setting, threads, types

__all__ = ["Error", "__version__", "read", "write", "run", "stars", "phot", "double",
           "load_macro", "plan", "types", "setting", "set_threads", "threads", "master",
           "calibrate", "register", "stack"]

_MIN16, _MAX16 = -32768, 32767


def _pixeles(array):
    """The array as int16, refusing values that would not survive the conversion."""
    a = _np.asarray(array)
    if a.dtype == _np.int16:
        return a
    if a.dtype.kind not in "iub":
        raise TypeError(f"pixels must be integers that fit int16, not {a.dtype}")
    if a.size and (a.min() < _MIN16 or a.max() > _MAX16):
        raise ValueError("pixel values outside the int16 range")
    return a.astype(_np.int16)


def read(path, type=None):
    """Reads an image file of any type the library reads (detected from its contents, or the
    file type key given) and returns ``(array, data)``."""
    return _orva.read(str(path), type)


def write(path, array, data=None, type=None):
    """Writes an image file as the type given (a key such as ``"FITS"``), else the type the
    extension names, else the library's default writing type. The file is written to a
    temporary name and renamed over any old one only once complete; the library's side data
    file is written beside it as the command line does."""
    _orva.write(str(path), _pixeles(array), data, type)


def run(array, lines, data=None):
    """Runs macro lines (as ``orva apply -e``) on a copy of the image; returns the new
    ``(array, data)``. A refused line raises :class:`Error` 12052."""
    if isinstance(lines, str):
        lines = lines.splitlines()
    return _orva.run(_pixeles(array), list(lines), data)


def stars(array, method="pcvista", clear=False, data=None):
    """Star detection (as ``orva stars --json``): one dict per star with ``name x y sky skydev
    npix rawsum cleansum mag status``. Stars ``data`` already holds are kept unless ``clear``."""
    return _orva.stars(_pixeles(array), method, clear, data)


def phot(array, x, y, data=None):
    """Aperture photometry at (x, y) (as ``orva phot``): ``sky skydev npix rawsum cleansum mag
    status``, with ``error_id`` and ``error`` saying why when ``status`` is not ``"ok"``."""
    return _orva.phot(_pixeles(array), float(x), float(y), data)


def double(array, a, b, data=None):
    """Centroids of the two stars near ``a`` and ``b`` (each ``(x, y)``), the position angle
    in degrees and the separation in pixels (as ``orva double``)."""
    return _orva.double(_pixeles(array), tuple(map(float, a)), tuple(map(float, b)), data)


def load_macro(path):
    """The lines of a macro file (after its header line); :class:`Error` 10125 when there is
    no such file."""
    return _orva.load_macro(str(path))


def plan(inputs, out_dir="", type=None, in_place=False):
    """Names the results of a batch as ``orva macro`` does: a list of ``(input, output, type)``,
    each result in ``out_dir`` (else beside its input) under its input's name, typed as
    ``type``, else as the input. Raises :class:`Error` before anything is written when the
    output folder does not exist (12222), two results would be one file (12221) or a result
    would replace an input (12220; its own input is allowed with ``in_place``)."""
    return _orva.plan([str(p) for p in inputs], str(out_dir), type, in_place)


def _fotograma(f):
    """A frame of a series: a path as str, or an ``(array, data)`` pair with int16 pixels."""
    if isinstance(f, (str, _os.PathLike)):
        return _os.fspath(f)
    try:
        array, data = f
    except (TypeError, ValueError):
        raise TypeError("a frame is a path or an (array, data) pair") from None
    return (_pixeles(array), data)


def _fotogramas(frames):
    return [_fotograma(f) for f in frames]


def _opcional(m):
    return None if m is None else _fotograma(m)


def master(frames, kind, method="sigma", kappa=3.0, iterations=3, bias=None, dark=None):
    """Combines calibration frames into a master and returns ``(array, data)``.

    ``frames`` are paths or ``(array, data)`` pairs, read one at a time; ``kind`` is ``"bias"``,
    ``"dark"`` (the first frame's exposure kept) or ``"flat"`` (each frame first calibrated with
    ``bias`` and ``dark`` when given, the result divided by its mean and stored with
    ``bscale`` 1e-4). ``method``: ``"sigma"`` (sigma-clipped mean, ``kappa`` deviations, at most
    ``iterations`` passes), ``"mean"`` or ``"median"``. The same combination as
    ``orva calibrate --masters``."""
    return _orva.master(_fotogramas(frames), kind, method, kappa, iterations,
                        _opcional(bias), _opcional(dark))


def calibrate(array, data=None, bias=None, dark=None, flat=None, repair=False, repair_kappa=5.0,
              overscan=True):
    """Calibrates a light frame: overscan (BIASSEC), bias, dark scaled by exposure, flat field,
    and, with ``repair``, hot pixels and cosmic-ray hits. Masters are paths or ``(array, data)``
    pairs. Returns ``(array, data, info)``; ``info`` has ``clamped`` (values outside the pixel
    range), ``repaired``, ``dark_factor`` and ``overscan``."""
    return _orva.calibrate(_pixeles(array), data, _opcional(bias), _opcional(dark),
                           _opcional(flat), bool(repair), float(repair_kappa), bool(overscan))


def register(reference, frames):
    """Registers each frame on the reference by their stars. Returns one dict a frame: ``ok``,
    ``matrix`` (3 x 3 rows mapping the reference's pixel positions to the frame's, None when not
    registered), ``matched`` stars, ``rms`` of their residuals in pixels, ``error_id`` and
    ``error`` (why a frame was not registered)."""
    return _orva.register(_fotograma(reference), _fotogramas(frames))


def stack(frames, method="sigma", kappa=3.0, iterations=3, norm="none", align="none"):
    """Combines a series on the first frame's grid; returns ``(array, data, info)``.

    ``method``: ``"sigma"``, ``"mean"``, ``"median"`` or ``"sum"``; ``norm``: ``"none"``,
    ``"add"``, ``"mul"`` or ``"both"`` (each frame made to the first's sky level, and scale);
    ``align="ref"`` shifts every frame by its reference point (``state``, as ``--align ref``);
    ``align="stars"`` registers every frame on the first and leaves out, in ``info["left_out"]``,
    those that cannot be registered. ``info["frames"]`` describes the frames stacked (``index``
    in ``frames``, sky, dispersion, scale, shift, rejected values, exposure). The same stack as
    ``orva stack``."""
    return _orva.stack(_fotogramas(frames), method, kappa, iterations, norm, align)
