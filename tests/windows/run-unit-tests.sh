#!/usr/bin/env bash
# Runs GoogleTest programs of the Windows build under Wine and sums up their results.
#   tests/windows/run-unit-tests.sh BIN_FOLDER PROGRAM...
# PROGRAM is a test program's name without .exe (model_tests, ...). A program that is missing
# (it does not build for Windows) is reported and counted as not run.
# Exit status: 0 every test that ran passed, 1 otherwise, 77 Wine cannot run 32-bit programs.
set -uo pipefail
if [ $# -lt 2 ] || [ "$1" = "--help" ]; then
  sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
bin=$(cd "$1" && pwd)
shift

work=$(mktemp -d "${TMPDIR:-/tmp}/kitforge-wine-units-XXXXXX")
export WINEPREFIX="$work/prefix"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export WINEDEBUG=-all
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

ran=0 passed=0 failed=0 skips=0 status=0
for program in "$@"; do
  if [ ! -f "$bin/$program.exe" ]; then
    echo "NOT RUN  $program: not built for Windows"
    continue
  fi
  wine "$bin/$program.exe" --gtest_brief=1 >"$work/out" 2>&1 </dev/null
  code=$?
  output=$(tr -d '\r' <"$work/out")
  total=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran.*/\1/p' <<<"$output" | tail -n 1)
  ok=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}.*/\1/p' <<<"$output" | tail -n 1)
  skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}.*/\1/p' <<<"$output" | tail -n 1)
  bad=$((total - ${ok:-0} - ${skipped:-0}))
  if [ -z "$total" ]; then
    # No summary line: the program did not run (or Wine could not run it).
    echo "NO RESULT $program (status $code)"
    status=1
    continue
  fi
  ran=$((ran + total)); passed=$((passed + ${ok:-0})); failed=$((failed + bad)); skips=$((skips + ${skipped:-0}))
  echo "RAN      $program: $total tests, ${ok:-0} passed, ${skipped:-0} skipped, $bad failed"
  if [ "$bad" -ne 0 ] || [ $code -ne 0 ]; then
    grep '^\[  FAILED  \] [A-Za-z]' <<<"$output" | sort -u | sed 's/^/         /'
    status=1
  fi
done
echo "$ran tests ran under Wine, $passed passed, $skips skipped, $failed failed"
exit $status
