# Sourced by the scripts that show windows: start_private_xvfb starts an X server of the
# script's own on the first free display number (the server picks it and reports it), without
# network access, and sets XVFB_PID and XVFB_DISPLAY (":N"). The caller stops it with
# kill "$XVFB_PID". The screen is 1024x768 unless the first argument names another size
# (WIDTHxHEIGHTxDEPTH).
start_private_xvfb() {
  local note screen=${1:-1024x768x24}
  note=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$note" 2>/dev/null &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$note" ] && break
    sleep 0.05
  done
  XVFB_DISPLAY=:$(head -n 1 "$note")
  rm -f "$note"
  if [ "$XVFB_DISPLAY" = : ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
}
