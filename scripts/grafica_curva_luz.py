#!/usr/bin/python3
"""The light curve of `orva lightcurve --csv` as a PNG: the variable against the ensemble (or
against the first comparison star when the ensemble is empty) with its error bars, the check star
below it, the air mass along the top, and the time of minimum when given.

Usage: grafica_curva_luz.py CURVA.csv SALIDA.png [T_MINIMO [ERROR]]
Needs matplotlib (Debian python3-matplotlib).
"""
import csv
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def columna(filas, nombre):
    return [float(f[nombre]) if f.get(nombre) else None for f in filas]


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    with open(sys.argv[1]) as f:
        filas = list(csv.DictReader(f))
    tiempo = "hjd" if all(f["hjd"] for f in filas if f["jd"]) else "jd"
    clave = "v-ens" if any(f["v-ens"] for f in filas) else "v-c"
    control = "k-ens" if clave == "v-ens" else "k-c"
    t, v, ev, k, ek, x = [], [], [], [], [], []
    for f in filas:
        if not f[tiempo] or not f[clave]:
            continue
        t.append(float(f[tiempo]))
        v.append(float(f[clave]))
        ev.append(float(f[clave + "_err"]))
        k.append(float(f[control]) if f[control] else None)
        ek.append(float(f[control + "_err"]) if f[control + "_err"] else 0.0)
        x.append(float(f["airmass"]) if f["airmass"] else None)
    if not t:
        sys.exit("no frame with a time and a magnitude of the variable")
    origen = int(min(t))
    dt = [ti - origen for ti in t]
    fig, (arriba, abajo) = plt.subplots(2, 1, sharex=True, figsize=(8, 6),
                                        gridspec_kw={"height_ratios": [3, 1]})
    arriba.errorbar(dt, v, yerr=ev, fmt="o", ms=3, color="tab:blue", label=f"V ({clave})")
    arriba.invert_yaxis()
    arriba.set_ylabel("magnitude")
    if len(sys.argv) > 3:
        tm = float(sys.argv[3]) - origen
        texto = f"minimum {float(sys.argv[3]):.5f}"
        if len(sys.argv) > 4:
            texto += f" ± {float(sys.argv[4]):.5f}"
        arriba.axvline(tm, color="tab:red", lw=1, ls="--", label=texto)
    arriba.legend(loc="lower left")
    if any(xi is not None for xi in x):
        masa = arriba.twiny()
        masa.set_xlim(arriba.get_xlim())
        marcas = [dt[i] for i in range(0, len(dt), max(1, len(dt) // 6))]
        masa.set_xticks(marcas)
        masa.set_xticklabels([f"{x[dt.index(m)]:.2f}" if x[dt.index(m)] else "" for m in marcas])
        masa.set_xlabel("air mass")
    pk = [(ti, ki, e) for ti, ki, e in zip(dt, k, ek) if ki is not None]
    if pk:
        abajo.errorbar([p[0] for p in pk], [p[1] for p in pk], yerr=[p[2] for p in pk], fmt="o",
                       ms=3, color="tab:gray", label=f"check ({control})")
        abajo.invert_yaxis()
        abajo.legend(loc="lower left")
    abajo.set_ylabel("magnitude")
    abajo.set_xlabel(f"{tiempo.upper()} - {origen}")
    fig.tight_layout()
    fig.savefig(sys.argv[2], dpi=100)


if __name__ == "__main__":
    main()
