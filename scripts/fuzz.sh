#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (in build-fuzz/, only the libraries
# they need) and runs each for a while from its seeds in tests/fuzz/corpus/<name>/. Any crash,
# leak, timeout (10 s for one input) or use of more than 512 MB fails the run; what made a
# target fail is kept in build-fuzz/fuzz-artifacts/.
# Usage: scripts/fuzz.sh [seconds per target, default 20] [target names, default all]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${SMSC_FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:-20}"
shift || true

if [ ! -f "$build/CMakeCache.txt" ]; then
  generator=()
  if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" "${generator[@]}" -DSMSC_FUZZ=ON \
    -DSMSC_BUILD_TESTS=OFF -DSMSC_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target smsc_fuzzers --parallel "$(nproc)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
failed=()
for fuzzer in "$build"/fuzz/fuzz_*; do
  name="${fuzzer##*/fuzz_}"
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qxF "$name"; then continue; fi
  # New inputs go to a scratch corpus; the committed seeds are only read.
  seeds=()
  if [ -d "$root/tests/fuzz/corpus/$name" ]; then seeds=("$root/tests/fuzz/corpus/$name"); fi
  mkdir -p "$work/$name"
  echo "fuzz_$name: ${seconds} s"
  # Dynamic TLS unscanned: the sanitizer runtime can misread it (see tests/CMakeLists.txt).
  if ASAN_OPTIONS="${ASAN_OPTIONS:-intercept_tls_get_addr=0:quarantine_size_mb=32}" "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=512 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$artifacts/$name-" "$work/$name" "${seeds[@]}" >"$work/$name.log" 2>&1; then
    grep -E "^stat::number_of_executed_units|^Done" "$work/$name.log" | tr '\n' ' ' || true
    echo
  else
    tail -n 80 "$work/$name.log"
    # The input that failed, told again at the end, so that a log cut short still shows it.
    for input in "$artifacts/$name"-*; do
      [ -f "$input" ] || continue
      { echo "fuzz_$name failed on ${input##*/} ($(stat -c %s "$input") bytes; base64 of up to 4 KB):"
        head -c 4096 "$input" | base64 -w 0
        echo; } >>"$work/failed-inputs"
    done
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  cat "$work/failed-inputs" 2>/dev/null || true
  echo "fuzzing failed: ${failed[*]} (inputs in $artifacts)" >&2
  exit 1
fi
