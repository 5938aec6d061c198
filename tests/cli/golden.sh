#!/usr/bin/env bash
# Golden tests of the command-line program: each case in casos/ is a file of shell commands that
# run `orva` (as $ORVA) in an empty working folder holding copies of the test frames; its
# standard output and error, with the exit status of each command, must equal the case's
# reference file casos/<name>.ref.
# Usage: golden.sh ORVA DATA_DIR [--update]   (--update rewrites the references)
set -u
ORVA_BIN=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
DATOS=$(cd "$2" && pwd)
ACTUALIZA=${3:-}
CASOS=$(cd "$(dirname "$0")" && pwd)/casos
fallos=0
total=0
for caso in "$CASOS"/*.sh; do
  nombre=$(basename "$caso" .sh)
  ref="$CASOS/$nombre.ref"
  trabajo=$(mktemp -d)
  mkdir -p "$trabajo/config/orva"
  cp "$DATOS"/*.fits "$trabajo/"
  salida=$(cd "$trabajo" && env -i PATH=/usr/bin:/bin HOME="$trabajo" \
    XDG_CONFIG_HOME="$trabajo/config" ORVA="$ORVA_BIN" LC_ALL=C bash -c '
      orva() { "$ORVA" "$@"; echo "[exit $?]"; }
      source "$0"' "$caso" 2>&1)
  rm -rf "$trabajo"
  total=$((total + 1))
  if [ "$ACTUALIZA" = "--update" ]; then
    printf '%s\n' "$salida" > "$ref"
  elif ! diff -u "$ref" <(printf '%s\n' "$salida") > /tmp/orva_golden_diff.$$; then
    echo "FAIL $nombre"
    cat /tmp/orva_golden_diff.$$
    fallos=$((fallos + 1))
  else
    echo "ok   $nombre"
  fi
done
rm -f /tmp/orva_golden_diff.$$
echo "$((total - fallos))/$total golden cases passed"
[ "$fallos" -eq 0 ]
