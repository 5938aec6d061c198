#!/usr/bin/env bash
# The demonstration run by `make run` without a display: the bundled star field through the
# command-line program. A working copy is measured (star detection, aperture photometry of the
# brightest star), the demo macro filters and stretches it, and the result is rendered as PNG
# with the detected stars marked; then the usual conversions. Every output goes to BUILD_DIR/demo
# and is named as it is written; the example itself is only read.
# Usage: scripts/demo.sh BUILD_DIR
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
orva="$build/bin/orva"
ejemplo="$raiz/examples/campo_estelar.qor"
macro="$raiz/examples/demo.orv"
salida="$build/demo"
rm -rf "$salida"
mkdir -p "$salida"
# The run leaves the user's own settings alone and is not changed by them; the texts follow
# the locale as usual.
export XDG_CONFIG_HOME="$salida/config"
mkdir -p "$XDG_CONFIG_HOME/orva"

paso() { printf '\n== %s\n$ %s\n' "$1" "${*:2}"; "${@:2}"; }
escrito() { printf '   wrote %s (%d bytes)\n' "$1" "$(stat -c %s "$1")"; }

if [ ! -f "$ejemplo" ]; then
  paso "Generating the sample star field" "$build/bin/orva-campo" "$ejemplo"
fi
paso "File type of the sample" "$orva" detect "$ejemplo"
printf '\n== What the image holds (sizes, statistics, observation)\n$ %s info %s\n' "$orva" "$ejemplo"
"$orva" info "$ejemplo" |
  grep -E '^(CLAVETIPO|ANCHO|ALTO|MINIMO|MAXIMO|MEDIA|DESVIACION|NOMOBJ|TIPOOBJ|FECHAOBS|TIEMPOEXP|FILTRO)='


# The star list is kept beside the image it was measured on, so the work is done on a copy.
copia="$salida/campo.qor"
cp "$ejemplo" "$copia"
printf '\n== A working copy of the sample\n'
escrito "$copia"
printf '\n== Star detection (PCVISTA method), the list saved with the copy\n'
printf '$ %s stars %s --save\n' "$orva" "$copia"
printf '%5s %8s %8s %9s %8s %5s %10s %10s %7s\n' \
  n x y sky skydev npix rawsum cleansum mag
estrellas=$("$orva" stars "$copia" --save)
printf '%s\n' "$estrellas" | awk '{printf "%5s %8s %8s %9s %8s %5s %10s %10s %7s\n",$1,$2,$3,$4,$5,$6,$7,$8,$9}'
printf '   %d stars; list written to %s\n' "$(printf '%s\n' "$estrellas" | wc -l)" "$copia.dat"

brillante=$(printf '%s\n' "$estrellas" | sort -k9,9g | head -1)
read -r nb xb yb _ <<<"$brillante"
paso "Aperture photometry of the brightest star (number $nb): sky skydev npix rawsum cleansum mag" \
  "$orva" phot "$copia" "$xb" "$yb"

printf '\n== The demo macro (%s): Gaussian filter and logarithmic stretch\n' "$macro"
tail -n +2 "$macro" | tr -d '\r' | sed 's/^/   /'
mkdir -p "$salida/realzado"
realzado="$salida/realzado/campo.qor"
paso "The macro on the copy; the result in a folder of its own" \
  "$orva" /D macro "$macro" "$copia" -o "$salida/realzado"
escrito "$realzado"
escrito "$realzado.dat"  # its side data: the star list, carried along
"$orva" info "$realzado" | grep -E '^(MINIMO|MAXIMO|MEDIA)=' | sed 's/^/   /'

png="$salida/campo_estrellas.png"
paso "The stretched image with the detected stars marked" \
  "$orva" render "$realzado" "$png" --marks
escrito "$png"

paso "FITS, and tile-compressed FITS (RICE_1, as fpack writes it)" \
  "$orva" convert "$realzado" "$salida/campo_realzado.fits"
escrito "$salida/campo_realzado.fits"
"$orva" --set TipoArch_FITS.COMPRIMIR=RICE_1 convert "$ejemplo" "$salida/campo.fits.fz"
escrito "$salida/campo.fits.fz"
paso "TIFF (16-bit)" "$orva" convert "$ejemplo" "$salida/campo.tif"
escrito "$salida/campo.tif"
paso "Every written image, detected" "$orva" detect "$copia" "$realzado" \
  "$salida/campo_realzado.fits" "$salida/campo.fits.fz" "$salida/campo.tif"

printf '\n== Every file the demo wrote\n'
find "$salida" -path "$salida/config" -prune -o -type f -printf '%10s  %p\n' | sort -k2

printf '\nDemo done. Look at %s (the stars found are marked); all outputs are in %s\n' "$png" \
  "$salida"
