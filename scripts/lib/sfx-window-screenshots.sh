#!/usr/bin/env bash
# Pictures of the self-extractor's window, one per page, for docs/sfx.md. Run by
# scripts/screenshots inside a virtual X server (DISPLAY set):
#   sfx-window-screenshots.sh BUILD IMAGES
# Makes a self-extracting file that asks for its files and its command, puts older copies of
# two of its files where it extracts, and steps through the pages with the keyboard.
set -euo pipefail
build=$1
images=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/source/docs"
printf 'Read me first.\n' > "$work/source/readme.txt"
printf 'The manual.\n' > "$work/source/docs/manual.txt"
printf '#!/bin/sh\necho started\n' > "$work/source/start.sh"
chmod +x "$work/source/start.sh"
(cd "$work/source" && zip -qr "$work/demo.zip" .)
(cd "$work" && "$build/bin/kitforge-cli" make-sfx demo.zip --caption "Demo Tools 2.0 — setup" \
   --dir "~/Demo Tools" --command "./start.sh" --ask-files --ask-command --overwrite confirm \
   --delete final >/dev/null)
export HOME="$work/home"
mkdir -p "$HOME/Demo Tools/docs"
printf 'An older read-me.\n' > "$HOME/Demo Tools/readme.txt"
printf 'An older manual.\n' > "$HOME/Demo Tools/docs/manual.txt"

"$work/demo.exe" </dev/null >/dev/null 2>&1 &
sfx=$!
window=$(timeout 20 xdotool search --sync --name "Demo Tools")
xdotool windowfocus --sync "$window"
shot() {
  sleep 0.4
  import -window "$window" "$images/$1"
}
shot sfx_folder.png
xdotool key Return
shot sfx_files.png
xdotool key Return
shot sfx_overwrite.png
xdotool key Return  # confirm each
shot sfx_replace.png
xdotool key Return  # no
xdotool key Return  # no
shot sfx_command.png
xdotool key Return  # run
shot sfx_result.png
xdotool key Return
wait "$sfx" || true
