#!/usr/bin/env bash
# The installer's window for the documentation: its question, its progress and its result,
# taken from the example installer on a private Xvfb (no window manager, so no title bars)
# and saved to IMAGES/installer_question.png, installer_progress.png, installer_result.png.
# The example's last line is made slow (a script that sleeps) so that the progress page
# stays long enough to be taken.
#   installer-screenshots.sh BIN_DIR EXAMPLE_DIR IMAGES
set -euo pipefail
# shellcheck source=private-xvfb.sh
. "$(dirname "$0")/private-xvfb.sh"
bin=$1
example=$2
images=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/kitforge-installer-shots-XXXXXX")
# A short home folder, so that the pictures show a readable install folder.
home=/tmp/you
if [ -e "$home" ]; then
  echo "installer-screenshots: $home exists; it is the home folder of the pictures and must not" >&2
  exit 1
fi
xvfb=""
installer=""
cleanup() {
  if [ -n "$installer" ]; then kill "$installer" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work" "$home"
}
trap cleanup EXIT

start_private_xvfb
xvfb=$XVFB_PID
export DISPLAY=$XVFB_DISPLAY

cp -r "$example" "$work/hello"
printf '#!/bin/sh\nsleep 4\n' >"$work/hello/files/slow.sh"
head -c 20000000 /dev/zero >"$work/hello/files/data.bin"
sed -e 's/^3=execute .*/3=extract "%apppath%\\files\\data.bin" "%program%"/' \
  -e 's/^4=link .*/4=extract "%apppath%\\files\\slow.sh" "%program%"/' \
  -e 's/^5=quit.*/5=execute %program%\\slow.sh/' "$work/hello/hello.inf" >"$work/hello/shots.inf"
"$bin/kitforge-cli" build -q "$work/hello/shots.inf" -o "$work/hello.exe" --stub "$bin/setup.ex_" >/dev/null 2>&1
mkdir -p "$home"
HOME=$home "$work/hello.exe" --user </dev/null >"$work/out.txt" 2>&1 &
installer=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Hello Kitforge$' | head -n 1)
sleep 0.5
import -window "$window" "$images/installer_question.png"
xdotool key --window "$window" Return 2>/dev/null || true
for _ in $(seq 200); do
  grep -q 'Executing' "$work/out.txt" && break
  sleep 0.05
done
sleep 0.5
import -window "$window" "$images/installer_progress.png"
for _ in $(seq 200); do
  grep -q 'Installation complete' "$work/out.txt" && break
  sleep 0.05
done
sleep 0.5
import -window "$window" "$images/installer_result.png"
xdotool key --window "$window" Return 2>/dev/null || true
wait "$installer"
installer=""
echo "screenshots: the installer's pages in $images"
