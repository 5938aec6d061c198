#!/usr/bin/env bash
# Installs the Debian packages ORVA builds and tests with; only the missing ones are asked of apt-get.
# Usage: scripts/install-deps.sh [--bench] [--peers] [--gui] [--fuzz]
#   --peers: the star detectors that bench/pares_estrellas.sh compares with, and the stacking
#            pipelines of bench/apilado.sh (ccdproc + astroalign, siril-cli), photutils for
#            bench/curva_luz.sh and matplotlib for scripts/grafica_curva_luz.py
set -euo pipefail

paquetes=(cmake make g++ pkg-config googletest libgtest-dev libgmock-dev zlib1g-dev
          libcfitsio-dev libtiff-dev libgif-dev liberfa-dev libtbb-dev
          libgdal-dev gdal-bin  # GDAL: the PDS4 and ISIS3 readers; gdal_translate for the tests
          python3-astropy  # astropy: the FITS oracle of the round-trip tests
          pybind11-dev python3-dev python3-numpy python3-pytest  # the Python package, its tests
          python3-distributed  # the Dask example
          python3-ephem)  # scripts/efemerides_referencia.py: the planetary reference values
for arg in "$@"; do
  case "$arg" in
    --bench) paquetes+=(libbenchmark-dev libopencv-dev) ;;
    --peers) paquetes+=(source-extractor python3-photutils python3-scipy python3-matplotlib
                        python3-ccdproc python3-astroalign siril) ;;
    --gui) paquetes+=(qt6-base-dev qt6-charts-dev libqt6opengl6-dev) ;;
    --fuzz) paquetes+=(clang libclang-rt-14-dev) ;;
    *) echo "install-deps: unknown option $arg" >&2; exit 2 ;;
  esac
done

faltan=()
for p in "${paquetes[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    faltan+=("$p")
  fi
done
[ ${#faltan[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${faltan[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${faltan[@]}"
