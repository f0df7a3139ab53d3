#!/usr/bin/env bash
# What the stubs' window costs: the sizes of setup.ex_ and zipsfx.bin against their budget of
# 6 MB each, and the time from starting an installer without a terminal to its window being on
# the screen, under a private Xvfb. One untimed run first warms fontconfig's cache and the page
# cache; the installer notes when its window is mapped (KITFORGE_NOTE_MAPPED) and is then
# stopped with SIGTERM, which at the question reads as Exit.
#
#   window_bench.sh BIN_DIR [RUNS]     (default 10 timed runs)
set -euo pipefail
bin=${1:?usage: window_bench.sh BIN_DIR [RUNS]}
runs=${2:-10}
budget_bytes=$((6 * 1000 * 1000))
budget_ms=250

for stub in setup.ex_ zipsfx.bin; do
  size=$(stat -L -c %s "$bin/$stub")
  verdict=met
  ((size <= budget_bytes)) || verdict=MISSED
  echo "$stub: $size bytes"
  echo "result: window | size of $stub | $(awk -v s="$size" 'BEGIN {printf "%.2f MB", s / 1e6}') | at most 6 MB | $verdict"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kitforge-window-bench-XXXXXX")
xvfb=""
cleanup() {
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
display=:$(head -n 1 "$work/display")

mkdir -p "$work/home"
printf 'hello\n' >"$work/readme.txt"
printf '[info]\ntitle=Window Bench\nprompt=Install?\ncompressed=0\n\n[script]\n1=extract "%%apppath%%readme.txt" "%%program%%"\n' \
  >"$work/setup.inf"
"$bin/kitforge-cli" build -q "$work/setup.inf" -o "$work/setup.exe" --stub "$bin/setup.ex_" >/dev/null 2>&1

# Milliseconds from exec to the window on the screen.
time_to_window() {
  rm -f "$work/note"
  mkfifo "$work/note"
  local start end
  start=$(date +%s%N)
  KITFORGE_NOTE_MAPPED=1 DISPLAY=$display HOME=$work/home "$work/setup.exe" --user </dev/null >/dev/null 2>"$work/note" &
  local pid=$!
  if ! read -r -t 20 _ <"$work/note"; then
    kill -TERM "$pid"
    echo "window_bench: the installer showed no window within 20 s" >&2
    exit 1
  fi
  end=$(date +%s%N)
  # The processor time the installer used up to then (user + system, in clock ticks).
  ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  echo "$(((end - start) / 1000000)) $((ticks * 1000 / $(getconf CLK_TCK)))" >"$work/times"
  kill -TERM "$pid"
  wait "$pid" || true
  cat "$work/times"
}

time_to_window >/dev/null
load_before=$(cut -d' ' -f1 /proc/loadavg)
times=()
cpu_times=()
for run in $(seq "$runs"); do
  read -r ms cpu_ms < <(time_to_window)
  echo "run $run: window mapped after $ms ms (installer processor time $cpu_ms ms)"
  times+=("$ms")
  cpu_times+=("$cpu_ms")
done
cpu_median=$(printf '%s\n' "${cpu_times[@]}" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}')
verdict=met
awk -v m="$median" -v b="$budget_ms" 'BEGIN {exit !(m <= b)}' || verdict=MISSED
echo "from start to a mapped window (median of $runs): $median ms, load average $load_before before the runs"
echo "result: window | from start to a mapped window, fontconfig cache warm (median of $runs) | $median ms | at most $budget_ms ms | $verdict"
echo "result: window | processor time of the installer up to its mapped window (median of $runs) | $cpu_median ms | - | -"
