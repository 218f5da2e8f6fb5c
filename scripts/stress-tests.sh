#!/usr/bin/env bash
# Runs the whole test suite again and again while busy loops keep every core loaded, and
# reports every test that failed in any round. A test that fails only here depends on timing.
#
# Usage: scripts/stress-tests.sh [rounds] [build-folder]
#   rounds          how many times the suite runs (default 5)
#   build-folder    a configured and built folder (default build/, built when missing)
# Environment:
#   STRESS_LOAD     busy loops beside the suite (default: twice the number of cores)
#   STRESS_JOBS     tests run at once (default: the number of cores)
#   STRESS_LIMIT    stop starting rounds after this many seconds (default 5400)
#   STRESS_TESTS    a ctest -R regular expression to run only some tests
# Exit status: 0 when every round passed, 1 when a test failed, 2 on a usage error.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${1:-5}"
build="${2:-$root/build}"
cores="$(nproc)"
load="${STRESS_LOAD:-$((2 * cores))}"
jobs="${STRESS_JOBS:-$cores}"
limit="${STRESS_LIMIT:-5400}"

case "$rounds" in
'' | *[!0-9]*)
  echo "usage: $0 [rounds] [build-folder]" >&2
  exit 2
  ;;
esac
if [ ! -f "$build/CTestTestfile.cmake" ]; then
  "$root/scripts/build.sh" "$build" || exit 2
fi

busy=()
stop_load() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null; done
  busy=()
}
trap stop_load EXIT
trap 'exit 130' INT TERM
for ((i = 0; i < load; i++)); do
  (while :; do :; done) &
  busy+=("$!")
done

filter=()
[ -n "${STRESS_TESTS:-}" ] && filter=(-R "$STRESS_TESTS")
declare -A failures=()
start=$SECONDS
ran=0
for ((round = 1; round <= rounds; round++)); do
  if ((SECONDS - start > limit)); then
    echo "Time limit of ${limit} s reached after $ran rounds."
    break
  fi
  echo "== Round $round of $rounds (${load} busy loops, ${jobs} tests at once)"
  rm -f "$build/Testing/Temporary/LastTestsFailed.log"
  (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$jobs" \
    --timeout 900 "${filter[@]}") >"$build/stress-round-$round.log" 2>&1
  status=$?
  ran=$round
  tail -n 3 "$build/stress-round-$round.log"
  if [ "$status" -ne 0 ] && [ -f "$build/Testing/Temporary/LastTestsFailed.log" ]; then
    while IFS=: read -r _ name; do
      failures["$name"]=$((${failures["$name"]:-0} + 1))
      echo "   failed: $name (see $build/stress-round-$round.log)"
    done <"$build/Testing/Temporary/LastTestsFailed.log"
  elif [ "$status" -ne 0 ]; then
    failures["(ctest itself, round $round)"]=1
  fi
done
stop_load

echo
echo "Ran $ran rounds in $((SECONDS - start)) s."
if [ ${#failures[@]} -eq 0 ]; then
  echo "No test failed."
  exit 0
fi
echo "Tests that failed:"
for name in "${!failures[@]}"; do
  echo "  $name: ${failures[$name]} of $ran rounds"
done
exit 1
