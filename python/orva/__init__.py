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

import numpy as _np

from . import _orva
from ._orva import Error, __version__, set_threads, setting, threads, types

__all__ = ["Error", "__version__", "read", "write", "run", "stars", "phot", "double",
           "load_macro", "plan", "types", "setting", "set_threads", "threads"]

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
