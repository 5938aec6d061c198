#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# each on a copy of its seed corpus for a fixed time; fails on any crash, leak or sanitizer
# report. Usage: fuzz/run.sh [SECONDS_PER_TARGET (30)] [BUILD_DIR (build-fuzz)]
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
segundos=${1:-30}
build=${2:-$raiz/build-fuzz}
objetivos=(qor lectores detecta datos macro config sbig pds vicar imq reseau)

cmake -S "$raiz" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVA_BUILD_FUZZ=ON -DORVA_SANITIZE=ON \
  -DORVA_BUILD_TESTS=OFF -DORVA_BUILD_GUI=OFF > /dev/null
cmake --build "$build" -j 2 --target "${objetivos[@]/#/fuzz_}"

fallos=()
for o in "${objetivos[@]}"; do
  trabajo="$build/fuzz-$o"
  rm -rf "$trabajo" && mkdir -p "$trabajo/corpus" "$trabajo/fallos"
  echo "== fuzz_$o: ${segundos}s"
  # The library readers (cfitsio, libtiff, giflib) size their buffers from the file and check
  # for a failed allocation; the sanitizer must let them see it instead of stopping the run.
  opciones=""
  [ "$o" = lectores ] && opciones="allocator_may_return_null=1"
  if ! (cd "$trabajo" && ASAN_OPTIONS="$opciones" "$build/bin/fuzz_$o" -max_total_time="$segundos" -seed="${ORVA_FUZZ_SEED:-1}" -timeout=10 \
          -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
          -artifact_prefix="$trabajo/fallos/" corpus "$raiz/fuzz/corpus/$o" \
          > "$trabajo/log.txt" 2>&1); then
    fallos+=("$o")
    tail -n 40 "$trabajo/log.txt"
  else
    grep -E '^stat::number_of_executed_units|^Done' "$trabajo/log.txt" || true
  fi
done
if [ ${#fallos[@]} -ne 0 ]; then
  echo "fuzz: failures in ${fallos[*]} (artifacts in $build/fuzz-<name>/fallos)" >&2
  exit 1
fi
echo "fuzz: every target ran clean"
