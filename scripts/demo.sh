#!/usr/bin/env bash
# Runs Tavix Link against a simulated bridge on a throw-away state directory.
# With a desktop: the tray icon shows up connected, with two phones and a task now and then; pausing works.
# Without one: the same on a virtual display (Xvfb with the trayer tray host), with screenshots of the open
# menu and of the settings window saved and their paths printed.
#   scripts/demo.sh BUILD_DIR
set -euo pipefail
build="${1:?usage: scripts/demo.sh BUILD_DIR}"
app="$build/src/tavix-menu"
bridge="$build/tools/tavix-simulated-bridge"

work="$(mktemp -d "${TMPDIR:-/tmp}/tavix-demo-XXXXXX")"
state="$work/state"
mkdir -m 700 "$state"
head -c 32 /dev/urandom | od -An -tx1 | tr -d ' \n' > "$state/token"
printf 'SERVER=https://tavix.app\nNODE=/usr/bin/node\nADB=/usr/bin/adb\n' > "$state/config"
chmod 600 "$state/token" "$state/config"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

"$bridge" --state "$state" --interval 2 >/dev/null 2>&1 &
pids+=($!)
echo "Simulated bridge writing to $state"

export TAVIX_HOME="$state"
# The demo is its own copy: a private runtime directory keeps it apart from a Tavix Link already running.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting Tavix Link; quit it from its tray menu to end the demo."
  "$app" --settings
  exit 0
fi

for tool in Xvfb trayer xdotool import; do
  command -v "$tool" >/dev/null || { echo "demo: $tool is missing (run scripts/setup.sh)"; exit 1; }
done
echo "No display here: running on a virtual display with a tray host and taking screenshots."
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
trayer --edge top --align right --widthtype request --height 28 --SetDockType true --tint 0x202a2c \
  --transparent true --alpha 0 >/dev/null 2>&1 &
pids+=($!)
"$app" --settings >"$work/app.log" 2>&1 &
pids+=($!)
app_pid=$!

icon=""
for _ in $(seq 100); do
  for window in $(xdotool search --pid "$app_pid" 2>/dev/null); do
    size=$(xwininfo -id "$window" 2>/dev/null | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w"x"h}')
    case "$size" in 560x600) ;; *) [ "${size%x*}" -lt 64 ] 2>/dev/null && icon="$window" ;; esac
  done
  [ -n "$icon" ] && break
  sleep 0.1
done
[ -n "$icon" ] || { echo "demo: the tray icon did not appear"; cat "$work/app.log"; exit 1; }
sleep 3  # let the first status arrive

shots="$work/screenshots"
mkdir -p "$shots"
import -window root "$shots/settings-window.png"
xdotool mousemove --window "$icon" 8 8
sleep 1.5
import -window root "$shots/tray-tooltip.png"
xdotool click 1
sleep 1.5
import -window root "$shots/tray-menu.png"
xdotool key Escape
echo "Screenshots:"
echo "  $shots/tray-tooltip.png     (the tray icon with its tooltip)"
echo "  $shots/tray-menu.png        (the tray with its open menu)"
echo "  $shots/settings-window.png  (the settings window)"
