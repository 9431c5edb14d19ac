# shellcheck shell=bash
# Shared by the end-to-end scripts: a work folder, child processes stopped by PID on exit, polling with time
# limits, a private X display and the X queries that find the application's windows.

# pipefail: a reader that stops early (grep -q, awk exit) would fail its pipeline; checks read whole outputs.
set -uo pipefail

E2E_NAME=$(basename "$0" .sh)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavix-$E2E_NAME.XXXXXX") || exit 1
PIDS=()
MUST_LIVE=()
CHECKS=0

note() { printf '%s: %s\n' "$E2E_NAME" "$*"; }
skip() {
    note "SKIP: $*"
    exit 77
}
fail() {
    note "FAIL: $*" >&2
    exit 1
}
pass() {
    CHECKS=$((CHECKS + 1))
    note "ok: $*"
}

require() {
    local program
    for program in "$@"; do
        command -v "$program" >/dev/null 2>&1 || skip "$program is not installed (scripts/setup.sh installs it)"
    done
}

# shellcheck source=../../scripts/lib/processes.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/../../scripts/lib/processes.sh" || exit 1
QUIET_STATUSES=(0 77) # 77: skipped

# unwatch PID: a process about to end on purpose is no longer a reason to fail a wait.
unwatch() {
    local kept=() p
    for p in "${MUST_LIVE[@]}"; do [ "${p%%:*}" = "$1" ] || kept+=("$p"); done
    MUST_LIVE=("${kept[@]}")
}

# forget PID: after it was stopped and reaped.
forget() {
    local kept=() p
    unwatch "$1"
    for p in "${PIDS[@]}"; do [ "$p" = "$1" ] || kept+=("$p"); done
    PIDS=("${kept[@]}")
}

# Sanitizer builds start several times slower: every time limit is multiplied by SLOW.
slow_factor() {
    if [[ $(ldd "$1" 2>/dev/null) == *libasan* ]]; then SLOW=4; else SLOW=1; fi
}
SLOW=1

# poll SECONDS WHAT COMMAND...: polls COMMAND until it succeeds; returns 1 after SECONDS x SLOW. Fails at once
# when a process registered in MUST_LIVE ("pid:name") ends meanwhile. A check may put what it saw in LAST_SEEN.
poll() {
    local limit=$(($1 * SLOW)) what=$2 entry
    shift 2
    local deadline=$((SECONDS + limit))
    LAST_SEEN=
    until "$@"; do
        for entry in "${MUST_LIVE[@]}"; do
            gone "${entry%%:*}" && fail "${entry#*:} ended while waiting for $what"
        done
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

# wait_for SECONDS WHAT COMMAND...: the same, failing the test when the time is up.
wait_for() {
    poll "$@" || fail "no $2 within $(($1 * SLOW))s${LAST_SEEN:+ (last seen: $LAST_SEEN)}"
}

# A private session bus; its address in DBUS_SESSION_BUS_ADDRESS.
start_bus() {
    bus_config "$WORK/bus.conf" "$WORK/bus"
    spawn dbus dbus-daemon --config-file="$WORK/bus.conf" --nofork --nopidfile --print-address=3 3>"$WORK/bus.address"
    MUST_LIVE+=("$SPAWNED:dbus-daemon")
    wait_for 20 "session bus address" grep -q '^unix:' "$WORK/bus.address"
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$WORK/bus.address")
    export DBUS_SESSION_BUS_ADDRESS
}

# A private X server on a display number the server picks itself (-displayfd), so parallel runs never collide;
# start_xvfb [WIDTHxHEIGHT] (1024x768 unless given).
start_xvfb() {
    spawn xvfb Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset 3>"$WORK/display"
    MUST_LIVE+=("$SPAWNED:Xvfb")
    wait_for 30 "X display" grep -qx '[0-9]\+' "$WORK/display"
    DISPLAY=":$(head -n 1 "$WORK/display")"
    export DISPLAY
    note "X display $DISPLAY"
}

# window_geometry ID: prints "ID WIDTH HEIGHT X Y" (absolute position) when the window is viewable.
window_geometry() {
    xwininfo -id "$1" 2>/dev/null | awk -v id="$1" '
        /Absolute upper-left X:/ { x = $4 }
        /Absolute upper-left Y:/ { y = $4 }
        /^ *Width:/ { w = $2 }
        /^ *Height:/ { h = $2 }
        /Map State:/ { m = $3 }
        END { if (m != "IsViewable") exit 1; print id, w, h, x, y }'
}

# Viewable top-level windows of the application (WM_CLASS instance "tavix-menu"), one geometry line each.
app_windows() {
    local id
    for id in $(xwininfo -root -children 2>/dev/null | awk '/\("tavix-menu" "/ {print $1}'); do
        window_geometry "$id"
    done
}

# The settings window: 560 by 600 pixels.
settings_window() { app_windows | awk '$2 == 560 && $3 == 600 {print; found = 1} END {exit !found}'; }

# shot FILE [WxH+X+Y]: a screenshot of the X display, or of that part of it.
shot() { import -display "$DISPLAY" -window root ${2:+-crop "$2" +repage} "$1" 2>/dev/null; }
# around: the part of the screen from the top edge down that holds the windows on its input ("ID W H X Y" lines),
# with a margin.
around() {
    awk 'NF { l = (!n++ || $4 < l) ? $4 : l; r = $4 + $2 > r ? $4 + $2 : r; b = $5 + $3 > b ? $5 + $3 : b }
        END { l = l > 16 ? l - 16 : 0; print r + 16 - l "x" b + 16 "+" l "+0" }'
}

# shellcheck disable=SC2153  # STATE is the caller's
# write_status MEMBERS: the bridge's status.json in STATE, its "at" an hour ahead: fresh however slow the run.
write_status() {
    printf '{"at":%s,%s}\n' "$(($(date +%s%3N) + 3600000))" "$1" >"$STATE/.status" && mv "$STATE/.status" "$STATE/status.json"
}

# The environment of one application run: empty state, its own lock folder and home, no desktop of the caller.
# Under ASan, strict string checks are off for it: libxkbcommon-x11 hands strndup() atom names that are not
# NUL-terminated, which is legal but is reported as an overflow in that mode (Qt's xcb start-up always does it).
# shellcheck disable=SC2034  # APP_ENV is for the caller
app_env() {
    local state=$1 runtime=$2 home=$3 bus=$4
    APP_ENV=(env -u WAYLAND_DISPLAY -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u SESSION_MANAGER
        -u QT_QPA_PLATFORMTHEME -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME
        QT_QPA_PLATFORM=xcb DISPLAY="$DISPLAY" TAVIX_HOME="$state" XDG_RUNTIME_DIR="$runtime" HOME="$home"
        DBUS_SESSION_BUS_ADDRESS="$bus" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0")
}

# new_dirs PREFIX: makes PREFIX-state (empty), PREFIX-run (0700) and PREFIX-home.
new_dirs() {
    mkdir -p "$1-state" "$1-run" "$1-home" && chmod 700 "$1-run"
}
