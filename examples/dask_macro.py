#!/usr/bin/python3
"""Runs a macro over image files on a Dask cluster, as `orva macro` does on one machine.

    dask_macro.py MACRO.ORV FILE... -o DIR [--type KEY] [--scheduler ADDRESS]
    dask_macro.py -e LINE [-e LINE]... FILE... -o DIR ...

Each file is one task: the worker reads it, runs the lines and writes the result into DIR under
the name `orva macro -o DIR` gives it (the same type as the input unless --type). The names are
planned, and checked, before any task starts: a result never replaces an input. One line per
file, in the order given: "INPUT -> OUTPUT", or "orva: ID: INPUT: TEXT" on stderr when it
failed, as `orva macro` prints them. Exit status: 0 when every file was done, 1 otherwise, 2
for a usage error.

Without --scheduler a local cluster of two worker processes of one thread each is started; with
it, the workers of that scheduler do the work and must reach the files under the same names and
import the package orva.
"""
import argparse
import os
import sys

import orva


def procesa(entrada, salida, tipo, lineas):
    """One file on a worker: read, run, write. Returns None, or the error's id and text."""
    import orva as o  # in the worker process

    try:
        pixeles, datos = o.read(entrada)
        pixeles, datos = o.run(pixeles, lineas, datos)
        o.write(salida, pixeles, datos, type=tipo)
    except o.Error as e:
        return e.id, e.message
    return None


def argumentos(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("-e", dest="lineas", action="append", default=[], metavar="LINE",
                   help="a macro line (instead of a macro file)")
    p.add_argument("-o", dest="salida", required=True, metavar="DIR", help="the output folder")
    p.add_argument("--type", dest="tipo", metavar="KEY", help="the type of every result")
    p.add_argument("--scheduler", metavar="ADDRESS", help="a running scheduler (tcp://host:port)")
    p.add_argument("archivos", nargs="+", metavar="FILE",
                   help="the macro file (unless -e is given), then the image files")
    a = p.parse_args(argv)
    if not a.lineas:
        if len(a.archivos) < 2:
            p.error("a macro file and at least one image file are needed")
        a.macro, a.archivos = a.archivos[0], a.archivos[1:]
    else:
        a.macro = None
    return a


def main(argv=None):
    a = argumentos(argv)
    try:
        lineas = a.lineas or orva.load_macro(a.macro)
        plan = orva.plan(a.archivos, a.salida, type=a.tipo)
    except orva.Error as e:
        print(f"orva: {e}", file=sys.stderr)
        return 1
    except ValueError as e:  # an unknown --type
        print(f"dask_macro: {e}", file=sys.stderr)
        return 2

    from dask.distributed import Client, LocalCluster

    if a.scheduler:
        cliente = Client(a.scheduler)
        cluster = None
    else:
        # Worker processes import the package as this one did.
        paquete = os.path.dirname(os.path.dirname(os.path.abspath(orva.__file__)))
        ruta = os.environ.get("PYTHONPATH")
        os.environ["PYTHONPATH"] = paquete + (os.pathsep + ruta if ruta else "")
        cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        cliente = Client(cluster)
    try:
        tareas = [cliente.submit(procesa, entrada, salida, tipo, lineas, pure=False)
                  for entrada, salida, tipo in plan]
        fallidos = 0
        for (entrada, salida, _), tarea in zip(plan, tareas):
            error = tarea.result()
            if error is None:
                print(f"{entrada} -> {salida}", flush=True)
            else:
                fallidos += 1
                texto = " ".join(error[1].splitlines())
                print(f"orva: {error[0]}: {entrada}: {texto}", file=sys.stderr, flush=True)
    finally:
        cliente.close()
        if cluster is not None:
            cluster.close()
    return 0 if fallidos == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
