#!/usr/bin/env bash
# The helpers hand paths to "bash -c" scripts as $0 and $1, which stay in single quotes; the
# clean-up function runs from a trap.
# shellcheck disable=SC2016,SC2317
# Starts the Windows installer and self-extractor as a double-click in the Explorer does (no
# console, standard input from /dev/null), under Wine on a virtual X server, and answers their
# windows with the keyboard as a person would; checks what they wrote, byte for byte.
#   tests/windows/double-click-under-wine.sh BIN_FOLDER
# BIN_FOLDER holds kitforge-cli.exe, setup.ex_, zipsfx.bin and ZIPDLL.DLL (build-windows/bin).
# KITFORGE_SCREENSHOTS=DIR keeps a picture of each window there (windows-*.png).
# Exit status: 0 every check passed, 1 a check failed, 77 it cannot run here (no xvfb-run,
# xdotool or ImageMagick's import, or Wine cannot start the programs).
# Needs Wine, xvfb-run, xdotool, import, zip and cmp; KITFORGE_WINE names another loader (wine64
# for a 64-bit build). Wine gets a throwaway prefix, removed at the end.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

if [ $# -ne 1 ] || [ "$1" = "--help" ] || [ "$1" = "-h" ]; then
  sed -n '5,14p' "$0" | sed 's/^# \{0,1\}//'
  [ $# -eq 1 ] && exit 0 || exit 2
fi
bin=$(cd "$1" && pwd)
for file in kitforge-cli.exe setup.ex_ zipsfx.bin ZIPDLL.DLL; do
  [ -f "$bin/$file" ] || { echo "double-click: $bin/$file is missing" >&2; exit 2; }
done
wine=${KITFORGE_WINE:-wine}
for tool in "$wine" xvfb-run xdotool import zip cmp; do
  command -v "$tool" >/dev/null || { echo "double-click: $tool is not installed; skipped" >&2; exit 77; }
done
# Everything below runs on a virtual screen of its own.
if [ -z "${KITFORGE_ON_VIRTUAL_SCREEN:-}" ]; then
  KITFORGE_ON_VIRTUAL_SCREEN=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
shots=${KITFORGE_SCREENSHOTS:-}
[ -z "$shots" ] || { mkdir -p "$shots" && shots=$(cd "$shots" && pwd); }

work=$(mktemp -d "${TMPDIR:-/tmp}/kitforge-click-XXXXXX")
export WINEPREFIX="$work/prefix"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export WINEDEBUG=-all
cleanup() {
  wineserver -k >/dev/null 2>&1 || true   # only the server of our own prefix
  rm -rf "$work"
}
trap cleanup EXIT

winpath() { printf 'Z:%s' "${1//\//\\}"; }

checks=0
failures=0
check() {  # check NAME COMMAND...: one check, passed when COMMAND succeeds
  local name=$1
  shift
  checks=$((checks + 1))
  if "$@"; then
    echo "PASS  $name"
  else
    failures=$((failures + 1))
    echo "FAIL  $name"
  fi
}

# The window titled exactly $1, once it is shown (within a minute): its X id on stdout.
find_window() {
  local _ id
  for _ in $(seq 1 120); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.5
  done
  return 1
}
# Whether the window $1 is gone within $2 seconds.
window_gone() {
  local _
  for _ in $(seq 1 $(($2 * 2))); do
    xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
    sleep 0.5
  done
  return 1
}
# Types keys into the window $1, as a person at the keyboard does.
press() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  sleep 0.3
  xdotool key --delay 150 "$@"
}
# A picture of the window $1 as $shots/windows-$2.png, when pictures are kept.
picture() {
  [ -n "$shots" ] || return 0
  sleep 1   # let the page finish drawing
  import -window "$1" "$shots/windows-$2.png" 2>/dev/null || echo "double-click: no picture of $2" >&2
}
# Waits until $1 exists and is not empty (a minute at most).
appears() {
  local _
  for _ in $(seq 1 120); do
    [ -s "$1" ] && return 0
    sleep 0.5
  done
  return 1
}
# Starts a Windows program as the Explorer does: through "start", no console, no input.
double_click() { (cd "$(dirname "$1")" && "$wine" start /unix "$1" </dev/null >/dev/null 2>&1); }

"$wine" "$bin/kitforge-cli.exe" --version >"$work/out" 2>&1 </dev/null
if ! grep -q '[0-9]\.[0-9]' "$work/out"; then
  echo "double-click: Wine cannot run these programs here (no output from kitforge-cli.exe --version); skipped" >&2
  exit 77
fi

# --- The installer: double-click, Install, the result, Close. ---
project="$work/hello"
mkdir -p "$project/files"
cp "$here/hello-windows.inf" "$project/"
cp "$root/examples/hello/files/"* "$here/files/"* "$project/files/"
"$wine" "$bin/kitforge-cli.exe" build "$(winpath "$project/hello-windows.inf")" \
  -o "$(winpath "$work/hello-windows.exe")" >"$work/out" 2>&1 </dev/null
check "build the Windows example installer" test -s "$work/hello-windows.exe"

title="Hello Kitforge for Windows"
double_click "$work/hello-windows.exe"
window=$(find_window "$title")
check "double-clicked, the installer shows its window (no console, input from /dev/null)" test -n "$window"
if [ -n "$window" ]; then
  picture "$window" setup-question
  press "$window" Tab space   # Browse...
  chooser=$(find_window "Install folder")
  check "Browse... opens the system's folder dialog" test -n "$chooser"
  [ -n "$chooser" ] && { picture "$chooser" setup-browse; press "$chooser" Escape; }
  press "$window" shift+Tab Return   # back to the folder; Install, into the proposed folder
  # The proposed folder: %LOCALAPPDATA%\Programs\<title>, or %ProgramFiles%\<title> where the
  # installer runs elevated (as Wine's user does).
  installed=""
  for _ in $(seq 1 120); do
    ran=$(find "$WINEPREFIX/drive_c" -path "*/$title/ran.txt" -size +0 2>/dev/null | head -n 1)
    [ -n "$ran" ] && { installed=$(dirname "$ran"); break; }
    sleep 0.5
  done
  sleep 3   # what used to close by itself after about 3 s must stay
  check "the result stays on the screen until it is closed" bash -c 'xdotool getwindowname "$0" >/dev/null' "$window"
  picture "$window" setup-result
  check "every file is installed into the proposed folder, byte for byte" \
    bash -c '[ -n "$1" ] && cmp -s "$0/files/hello.cmd" "$1/hello.cmd" && cmp -s "$0/files/later.cmd" "$1/later.cmd" &&
             cmp -s "$0/files/readme.txt" "$1/readme.txt" && cmp -s "$0/files/hello.sh" "$1/unix/hello.sh"' \
    "$project" "$installed"
  press "$window" Return   # Close
  check "Close ends the installer" window_gone "$window" 20

  # The LINK line's desktop shortcut (the public desktop when Wine runs the installer elevated)
  # names its target, and Settings > Apps lists the installation.
  shortcut=$(find "$WINEPREFIX/drive_c" -iname "Hello Kitforge.lnk" 2>/dev/null | head -n 1)
  target=""
  [ -n "$installed" ] && target="$("$wine" winepath -w "$installed" 2>/dev/null | tr -d '\r')\\hello.cmd"
  check "the LINK line made a .lnk shortcut on the desktop that names its target" \
    bash -c '[ -s "$0" ] && body=$(od -An -tx1 -v "$0" | tr -d " \n") &&
             { [[ $body == *"$(printf "%s" "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -d " \n")"* ]] ||
               [[ $body == *"$(printf "%s" "$1" | od -An -tx1 -v | tr -d " \n")"* ]]; }' "$shortcut" "$target"
  uninstall_list() {
    for hive in HKCU HKLM; do
      "$wine" reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null
    done | tr -d '\r'
  }
  check "Settings > Apps lists the installation under its title" \
    bash -c 'grep -q "DisplayName *REG_SZ *$1\$" <<<"$0"' "$(uninstall_list)" "$title"

  # Uninstalling as a person does: the command of the Uninstall key (what Settings > Apps
  # runs), else the uninstaller beside the files.
  # (Per user, or for the machine where the installer ran elevated.)
  uninstaller=$(for hive in HKCU HKLM; do
                  "$wine" reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null
                done | tr -d '\r' | awk -v title="$title" '
                  /^HKEY/ { found = 0; command = "" }
                  /DisplayName/ && index($0, title) { found = 1 }
                  /UninstallString/ {
                    sub(/.*REG_SZ[ \t]+/, ""); command = $0
                    if (command ~ /^"/) { command = substr(command, 2); sub(/".*/, "", command) }
                  }
                  found && command != "" { print command; exit }')
  if [ -z "$uninstaller" ] && [ -n "$installed" ]; then
    for name in uninstall.exe uninstall; do
      [ -f "$installed/$name" ] && uninstaller=$(winpath "$installed/$name") && break
    done
  fi
  if [ -z "$uninstaller" ]; then
    echo "NOTE  no uninstaller is left on Windows yet: uninstalling is not checked"
  else
    uninstaller_unix=$("$wine" winepath -u "$uninstaller" 2>/dev/null | tr -d '\r')
    double_click "$uninstaller_unix"
    window=$(find_window "$title")
    check "the uninstaller shows its window" test -n "$window"
    if [ -n "$window" ]; then
      picture "$window" uninstall-question
      press "$window" Return   # Uninstall
      sleep 3
      picture "$window" uninstall-result
      press "$window" Return   # Close
      sleep 2
      check "uninstalled: the installed files are gone" \
        bash -c '[ ! -e "$0/hello.cmd" ] && [ ! -e "$0/readme.txt" ] && [ ! -e "$0/unix/hello.sh" ]' "$installed"
      check "uninstalled: the shortcut and the Settings > Apps entry are gone" \
        bash -c '[ ! -e "$0" ] && ! grep -q "DisplayName *REG_SZ *$2\$" <<<"$1"' "$shortcut" "$(uninstall_list)" "$title"
    fi
  fi
fi

# --- The self-extractor: double-click, Extract, choose the files, the result, Close. ---
mkdir -p "$work/pack/docs" "$work/click"
printf 'first file\r\n' >"$work/pack/first.txt"
head -c 200000 /dev/urandom >"$work/pack/docs/data.bin"
(cd "$work/pack" && zip -qr "$work/click/files.zip" .)
"$wine" "$bin/kitforge-cli.exe" make-sfx "$(winpath "$work/click/files.zip")" --caption "Hello files" --ask-files \
  >"$work/out" 2>&1 </dev/null
check "make-sfx makes a self-extractor that asks for the files" test -s "$work/click/files.exe"
double_click "$work/click/files.exe"
window=$(find_window "Hello files")
check "double-clicked, the self-extractor shows its window" test -n "$window"
if [ -n "$window" ]; then
  picture "$window" sfx-folder
  press "$window" Return   # Extract, into its own folder
  sleep 2
  picture "$window" sfx-files
  press "$window" Return   # Extract the chosen files (all)
  appears "$work/click/docs/data.bin"
  sleep 2
  check "the result stays on the screen until it is closed" bash -c 'xdotool getwindowname "$0" >/dev/null' "$window"
  picture "$window" sfx-result
  check "every file is extracted beside the self-extractor, byte for byte" \
    bash -c 'cmp -s "$0/first.txt" "$1/first.txt" && cmp -s "$0/docs/data.bin" "$1/docs/data.bin"' \
    "$work/pack" "$work/click"
  press "$window" Return   # Close
  check "Close ends the self-extractor" window_gone "$window" 20
fi

echo "double-click: $checks checks, $((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
