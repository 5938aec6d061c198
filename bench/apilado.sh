#!/usr/bin/env bash
# The stacking pipeline beside its peers, on one synthetic night (bench/apilado_pares.py noche:
# 8 bias, 8 darks and 8 flats, FRAMES lights of SIZE x SIZE, a few hundred stars, each light
# shifted and rotated by known amounts, light 3 with a satellite trail and cosmic-ray hits).
# The same stages run three ways on the same files, each stage timed:
#   ORVA: orva calibrate (masters, then pretreatment), orva register (the reported transforms),
#         orva stack --transforms (sigma-clipped mean on the register report's transforms);
#   ccdproc + astroalign: ccdproc.combine (sigma clip) for masters and stack, ccd_process for
#         the calibration, astroalign.find_transform / apply_transform for the registration;
#   siril-cli: convert, stack bias / darks / flats, preprocess, register, stack (one script a
#         stage).
# The table gives the stage times, the registration error against the true transforms (rms
# over frames at the true stars and at the frame corners), and the noise gain of the stack (the
# sky noise that an aperture sees, away from the stars, in the calibrated reference light over
# that in the stack) over sqrt(FRAMES). A peer that is not installed is left out with a note.
# Usage: bench/apilado.sh BUILD_DIR [FRAMES] [SIZE]   (defaults 16 and 2048; the peers come with
# scripts/install-deps.sh --peers)
set -eu
if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [FRAMES] [SIZE]" >&2
  exit 2
fi
ORVA="$(cd "$1" && pwd)/bin/orva"
N=${2:-16}
LADO=${3:-2048}
if [ ! -x "$ORVA" ]; then
  echo "apilado.sh: $ORVA not found (build the orva target first)" >&2
  exit 2
fi
if [ "$N" -lt 3 ] || [ "$LADO" -lt 256 ]; then
  echo "apilado.sh: at least 3 frames of 256 x 256" >&2
  exit 2
fi
PY=/usr/bin/python3
[ -x "$PY" ] || PY=python3
PARES="$(cd "$(dirname "$0")" && pwd)/apilado_pares.py"
if ! "$PY" -c "import numpy, astropy" 2>/dev/null; then
  echo "apilado.sh: $PY lacks numpy or astropy (scripts/install-deps.sh)" >&2
  exit 2
fi

TRABAJO=$(mktemp -d)
# APILADO_CONSERVA=1 keeps the folder (its name is printed) for a look at the files.
if [ -n "${APILADO_CONSERVA:-}" ]; then
  trap 'echo "apilado.sh: kept $TRABAJO" >&2' EXIT
else
  trap 'rm -rf "$TRABAJO"' EXIT
fi
cd "$TRABAJO"
export XDG_CONFIG_HOME="$TRABAJO/config" XDG_CACHE_HOME="$TRABAJO/cache"
mkdir -p config/orva cache orva/maestros orva/cal ccdproc siril

ahora() { date +%s%N; }
# tiempo NAME START: adds "NAME": seconds since START (ns) to the stage times of the current tool
tiempo() {
  local ms=$((($(ahora) - $2) / 1000000))
  printf '"%s": %d.%03d, ' "$1" $((ms / 1000)) $((ms % 1000)) >> tiempos.part
}
cierra_tiempos() {  # tiempos.part -> DIR/tiempos.json with the total
  "$PY" - "$1" <<'PY'
import json, sys
t = json.loads("{" + open("tiempos.part").read().rstrip(", ") + "}")
t["total"] = sum(t.values())
json.dump(t, open(sys.argv[1] + "/tiempos.json", "w"))
PY
  rm -f tiempos.part
}

echo "apilado.sh: writing the night ($N lights of $LADO x $LADO) in $TRABAJO" >&2
"$PY" "$PARES" noche . "$N" "$LADO"
for k in bias dark flat; do ls raw/${k}_*.fits > raw/$k.txt; done
sed -i 's|^raw/||' raw/*.txt

# --- ORVA -------------------------------------------------------------------------------------
echo "apilado.sh: ORVA" >&2
rm -f tiempos.part
t=$(ahora)
"$ORVA" /D calibrate --bias @raw/bias.txt --dark @raw/dark.txt --flat @raw/flat.txt \
  --masters orva/maestros > orva/maestros.log
tiempo maestros "$t"
t=$(ahora)
"$ORVA" /D calibrate --bias orva/maestros/bias.fits --dark orva/maestros/dark.fits \
  --flat orva/maestros/flat.fits raw/light_*.fits -o orva/cal > orva/cal.log
tiempo calibracion "$t"
t=$(ahora)
otras=$(ls orva/cal/light_*.fits | tail -n +2)
# A frame that cannot be registered gives exit status 1 and stays out of the report.
"$ORVA" /D register orva/cal/light_01.fits $otras --csv orva/registro.csv > orva/registro.log \
  || echo "apilado.sh: orva register: some frames not registered (see the table)" >&2
tiempo registro "$t"
t=$(ahora)
"$ORVA" /D stack orva/cal/light_*.fits -o orva/pila.fits --transforms orva/registro.csv \
  --method sigma > orva/pila.log || echo "apilado.sh: orva stack: some frames left out" >&2
tiempo apilado "$t"
cierra_tiempos orva
"$PY" "$PARES" orva-reg orva/registro.csv orva/registro.json
cp orva/cal/light_01.fits orva/calibrada_ref.fits

# --- ccdproc + astroalign ---------------------------------------------------------------------
if "$PY" -c "import ccdproc, astroalign" 2>/dev/null; then
  echo "apilado.sh: ccdproc + astroalign" >&2
  "$PY" "$PARES" ccdproc . ccdproc 2> ccdproc/errores.log || {
    echo "the ccdproc + astroalign pipeline failed:"; tail -3 ccdproc/errores.log; } \
    | tee ccdproc/nota.txt >&2
  grep -h "^astroalign:" ccdproc/errores.log >&2 || true
else
  echo "python3-ccdproc or python3-astroalign not installed (scripts/install-deps.sh --peers)" \
    | tee ccdproc/nota.txt >&2
fi

# --- siril-cli --------------------------------------------------------------------------------
SIRIL=${SIRIL_CLI-$(command -v siril-cli || true)}  # SIRIL_CLI= (empty) leaves Siril out
[ -n "$SIRIL" ] && [ ! -x "$SIRIL" ] && SIRIL=""
siril_etapa() {  # siril_etapa NAME: runs siril/NAME.ssf in siril/, false on failure
  "$SIRIL" -d "$TRABAJO/siril" -s "$TRABAJO/siril/$1.ssf" > "siril/$1.log" 2>&1 \
    && ! grep -q "Script execution failed\|log: Error" "siril/$1.log"
}
if [ -n "$SIRIL" ]; then
  echo "apilado.sh: siril-cli" >&2
  for d in bias dark flat light; do
    mkdir -p siril/$d
    for f in raw/${d}_*.fits; do ln -s "$TRABAJO/$f" siril/$d/; done
  done
  mkdir -p siril/proc
  cat > siril/maestros.ssf <<'EOF'
requires 1.0.0
cd bias
convert bias -out=../proc
cd ../dark
convert dark -out=../proc
cd ../flat
convert flat -out=../proc
cd ../proc
stack bias rej s 3 3 -nonorm
stack dark rej s 3 3 -nonorm
preprocess flat -bias=bias_stacked
stack pp_flat rej s 3 3 -norm=mul
EOF
  cat > siril/calibracion.ssf <<'EOF'
requires 1.0.0
cd light
convert light -out=../proc
cd ../proc
preprocess light -dark=dark_stacked -flat=pp_flat_stacked
EOF
  cat > siril/registro.ssf <<'EOF'
requires 1.0.0
cd proc
register pp_light
EOF
  cat > siril/apilado.ssf <<'EOF'
requires 1.0.0
cd proc
stack r_pp_light rej s 3 3 -norm=addscale -out=../pila
EOF
  # Not timed: the same registration on one thread, whose transforms print in frame order, on
  # the first light (the timed run took it too; setref is only given once the sequence file
  # exists, since siril-cli 1.0.6 aborts in malloc when setref has to create it for 16 frames).
  cat > siril/medida.ssf <<'EOF'
requires 1.0.0
setcpu 1
cd proc
setref pp_light 1
register pp_light -prefix=m_
EOF
  rm -f tiempos.part
  fallo=""
  for etapa in maestros calibracion registro apilado; do
    t=$(ahora)
    if ! siril_etapa $etapa; then
      fallo=$etapa
      break
    fi
    tiempo $etapa "$t"
  done
  if [ -z "$fallo" ]; then
    cierra_tiempos siril
    cp siril/proc/pp_light_00001.fit siril/calibrada_ref.fits
    cp siril/pila.fit siril/pila.fits
    if siril_etapa medida; then
      "$PY" "$PARES" siril-reg siril/medida.log siril/registro.json "$LADO"
    else
      echo "the untimed one-thread registration failed: no registration error" > siril/nota.txt
    fi
  else
    rm -f tiempos.part
    { echo "siril-cli failed in stage $fallo:"; grep -v progress "siril/$fallo.log" | tail -5; } \
      | tee siril/nota.txt >&2
  fi
else
  echo "siril-cli not installed (scripts/install-deps.sh --peers)" | tee siril/nota.txt >&2
fi

"$PY" "$PARES" tabla . "$N"
