#!/usr/bin/env bash
# The demonstration run by `make run`: the bundled synthetic star field through the
# command-line program — detection, information, the demo macro, and conversions to FITS
# (plain and RICE_1 tile-compressed), TIFF and GIF — printing each step.
# Usage: scripts/demo.sh BUILD_DIR
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
orva="$build/bin/orva"
ejemplo="$raiz/examples/campo_estelar.qor"
macro="$raiz/examples/demo.orv"
salida="$build/demo"
mkdir -p "$salida"
# The run leaves the user's own settings alone and is not changed by them.
export XDG_CONFIG_HOME="$salida/config"
mkdir -p "$XDG_CONFIG_HOME/orva"

paso() { printf '\n== %s\n$ %s\n' "$1" "${*:2}"; "${@:2}"; }

if [ ! -f "$ejemplo" ]; then
  paso "Generating the sample star field" "$build/bin/orva-campo" "$ejemplo"
fi
paso "File type of the sample" "$orva" detect "$ejemplo"
paso "What the image holds" "$orva" info "$ejemplo"
paso "The demo macro on the image, written as FITS" \
  "$orva" /D apply "$ejemplo" "$salida/campo_demo.fits" -m "$macro"
printf '\n== The result read back (type, sizes, statistics, object)\n$ %s info %s\n' "$orva" \
  "$salida/campo_demo.fits"
"$orva" info "$salida/campo_demo.fits" |
  grep -E '^(CLAVETIPO|ANCHO|ALTO|MINIMO|MAXIMO|MEDIA|NOMOBJ|FECHAOBS)='
paso "Tile-compressed FITS (RICE_1, as fpack writes it)" \
  "$orva" --set TipoArch_FITS.COMPRIMIR=RICE_1 convert "$ejemplo" "$salida/campo.fits.fz"
paso "TIFF (16-bit) and GIF (palette image)" "$orva" convert "$ejemplo" "$salida/campo.tif"
"$orva" convert "$ejemplo" "$salida/campo.gif"
paso "Every written file, detected" "$orva" detect "$salida/campo_demo.fits" \
  "$salida/campo.fits.fz" "$salida/campo.tif" "$salida/campo.gif"
printf '\n== Sizes\n'
for f in "$ejemplo" "$salida"/campo_demo.fits "$salida"/campo.fits.fz "$salida"/campo.tif \
  "$salida"/campo.gif; do
  printf '%10d  %s\n' "$(stat -c %s "$f")" "$f"
done
printf '\nDemo done: outputs in %s\n' "$salida"
