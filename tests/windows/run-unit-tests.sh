#!/usr/bin/env bash
# The clean-up function runs from a trap.
# shellcheck disable=SC2317
# Runs GoogleTest programs of the Windows build under Wine and sums up their results.
#   tests/windows/run-unit-tests.sh BIN_FOLDER PROGRAM...
# PROGRAM is a test program's name without .exe (windows_model_tests, ...). A program that is missing
# (it does not build for Windows) is reported and counted as not run.
# Tests that expect Linux behaviour where Windows differs by design are left out (listed below);
# KITFORGE_WINDOWS_ALL_TESTS=1 runs them too.
# Exit status: 0 every test that ran passed, 1 otherwise.
set -uo pipefail
if [ $# -lt 2 ] || [ "$1" = "--help" ]; then
  sed -n '4,10p' "$0" | sed 's/^# \{0,1\}//'
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
bin=$(cd "$1" && pwd)
shift

wine=${KITFORGE_WINE:-wine}  # the 64-bit loader for a 64-bit build
work=$(mktemp -d "${TMPDIR:-/tmp}/kitforge-wine-units-XXXXXX")
export WINEPREFIX="$work/prefix"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export WINEDEBUG=-all
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Tests whose Linux expectations Windows answers differently by design (docs/windows.md):
# paths keep "\" and the program folder ends in "\"; the editor's version block is read from
# ELF programs only; the Windows folders and the Windows stub (PE) differ from the Linux ones;
# Windows has no Unix permission bits and no sh; the command line after extraction gets no
# "./"; printed paths use "\" and lines end in CR LF; Windows also finds ZIPDLL.DLL beside
# the test program.
windows_differences=(
  PathParts.NativePathTurnsBackslashesIntoSlashes
  ProgramFolder.IsTheFolderOfTheRunningExecutable
  VersionResource.ANativeProgramReadsTheBlockItCarries
  DefaultMacroFolders.PerUserFoldersLieUnderTheHome
  DefaultMacroFolders.SystemWideFoldersAreTheSharedOnes
  ElfImage.AppendedBytesDoNotMoveTheEnd
  ElfImage.TheBuiltStubEndsWhereItsFileEnds
  SfxProgram.ExtractsEveryFileWithItsModeIntoTheFolderGiven
  SfxProgram.CommandLineRunsAfterExtractingWhenTheHeaderSaysSo
  SfxProgram.ADamagedEntryReplacesNothing
  CliSfx.PacksTheFilesIntoAnExecutableNamedFromTheCurrentFolder
  CliSfx.RefusesMissingFilesAndFilesOfOneNameBeforeWritingAnything
  CompressedBuild.AFailedConversionReachesTheBuildCommandAsAnErrorAndNoInstallerIsWritten
)
filter="-$(IFS=:; echo "${windows_differences[*]}")"
[ "${KITFORGE_WINDOWS_ALL_TESTS:-0}" = 1 ] && filter="*"

ran=0 passed=0 failed=0 skips=0 status=0
for program in "$@"; do
  if [ ! -f "$bin/$program.exe" ]; then
    echo "NOT RUN  $program: not built for Windows"
    continue
  fi
  "$wine" "$bin/$program.exe" --gtest_brief=1 --gtest_filter="$filter" >"$work/out" 2>&1 </dev/null
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
