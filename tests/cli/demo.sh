#!/usr/bin/env bash
# The demo of `make run` without a display: it must run to the end, write its outputs into
# BUILD_DIR/demo (the marked PNG, the macro result with the star list) and leave the bundled
# example byte for byte as it was.
# Usage: demo.sh SOURCE_DIR BUILD_DIR
set -u
fuente=$1
build=$2
ejemplo="$fuente/examples/campo_estelar.qor"
antes=$(sha256sum "$ejemplo" | cut -d' ' -f1)
salida=$(env -i PATH=/usr/bin:/bin HOME=/nonexistent LC_ALL=C "$fuente/scripts/demo.sh" "$build" 2>&1)
estado=$?
fallo() { echo "FAIL: $*"; printf '%s\n' "$salida" | tail -20; exit 1; }
[ "$estado" -eq 0 ] || fallo "demo exited with $estado"
[ "$(sha256sum "$ejemplo" | cut -d' ' -f1)" = "$antes" ] || fallo "the example changed"
for f in demo/campo.qor.dat demo/realzado/campo.qor demo/realzado/campo.qor.dat \
  demo/campo_estrellas.png demo/campo_realzado.fits; do
  [ -s "$build/$f" ] || fallo "missing $build/$f"
  printf '%s\n' "$salida" | grep -q "$build/$f" || fallo "$f not named in the output"
done
# Stars were found and one was measured.
printf '%s\n' "$salida" | grep -Eq '^   [1-9][0-9]* stars; list written' || fallo "no stars found"
printf '%s\n' "$salida" | grep -Eq ' ok$' || fallo "no photometry"
# The PNG is a PNG.
[ "$(head -c 8 "$build/demo/campo_estrellas.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  fallo "campo_estrellas.png is not a PNG"
echo "demo ok"
