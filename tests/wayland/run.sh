#!/bin/sh
# Runs the Wayland tests beside a headless weston of their own; 77 (skipped)
# where weston or Qt's Wayland plugin is missing.
tests=$1
command -v weston >/dev/null 2>&1 || { echo "weston fehlt"; exit 77; }
runtime=$(mktemp -d /tmp/klangmappe-wayland.XXXXXX)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
weston --backend=headless-backend.so --socket=klangmappe --idle-time=0 >"$runtime/weston.log" 2>&1 </dev/null &
weston=$!
for _ in $(seq 100); do
  [ -S "$runtime/klangmappe" ] && break
  sleep 0.1
done
status=0
if [ -S "$runtime/klangmappe" ]; then
  WAYLAND_DISPLAY=klangmappe QT_QPA_PLATFORM=wayland "$tests" || status=$?
else
  cat "$runtime/weston.log"
  echo "weston startete nicht"
  status=1
fi
kill "$weston" 2>/dev/null
wait "$weston" 2>/dev/null
rm -rf "$runtime"
exit "$status"
