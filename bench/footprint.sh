#!/usr/bin/env bash
# What Tavix Link costs its user beside the floor every tray application pays: tavix-menu and bench_bare_tray (a
# tray icon and a 3-second read of status.json) run side by side on a private X display with trayer as the tray,
# each with its own state directory, runtime directory and home. Reports resident memory, CPU time and the time
# from start to the icon shown in the tray, for both and as ratios against the goals.
#
# Usage: bench/footprint.sh BUILD_DIR [--seconds N] [--starts N] [--long] [--long-seconds N]
#   BUILD_DIR         a build folder holding src/tavix-menu, bench/bench_bare_tray, bench/bench_icon_wait and
#                     (for --long) tools/tavix-simulated-bridge, e.g. build/release. Nothing is built here.
#   --seconds N       idle seconds before memory and CPU are read (default 60)
#   --starts N        timed starts of each program; the median is reported (default 5)
#   --long            one hour instead, a simulated bridge rewriting tavix-menu's status.json every second;
#                     memory after the first minute and at the end, and the CPU used
#   --long-seconds N  the length of the long run (implies --long)
#
# Exit status: 0 all goals met, 1 a goal missed, 2 the measurement could not be made.

set -uo pipefail

usage() {
    sed -n '/^# Usage:/,/^# Exit/p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

BUILD=
SECONDS_IDLE=60
STARTS=5
LONG=0
LONG_SECONDS=3600
while [ $# -gt 0 ]; do
    case $1 in
        --seconds) SECONDS_IDLE=${2:-}; shift 2 || usage ;;
        --starts) STARTS=${2:-}; shift 2 || usage ;;
        --long) LONG=1; shift ;;
        --long-seconds) LONG=1; LONG_SECONDS=${2:-}; shift 2 || usage ;;
        -h | --help) usage ;;
        -*) usage ;;
        *) [ -z "$BUILD" ] || usage; BUILD=$1; shift ;;
    esac
done
[ -n "$BUILD" ] || usage
for n in "$SECONDS_IDLE" "$STARTS" "$LONG_SECONDS"; do [[ $n =~ ^[1-9][0-9]*$ ]] || usage; done

die() {
    printf 'footprint: %s\n' "$*" >&2
    exit 2
}

MENU=$BUILD/src/tavix-menu
BARE=$BUILD/bench/bench_bare_tray
PROBE=$BUILD/bench/bench_icon_wait
BRIDGE=$BUILD/tools/tavix-simulated-bridge
for program in "$MENU" "$BARE" "$PROBE"; do [ -x "$program" ] || die "no program at $program (build it first)"; done
[ $LONG -eq 0 ] || [ -x "$BRIDGE" ] || die "no program at $BRIDGE (build it first)"
for program in Xvfb trayer xwininfo awk; do
    command -v "$program" >/dev/null 2>&1 || die "$program is not installed"
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavix-footprint.XXXXXX") || die "cannot make a work folder"
PIDS=()

# A process that has ended but was not yet reaped still answers kill -0: look at its state instead.
gone() {
    local state
    state=$(awk '{sub(/.*\) /, ""); print $1}' "/proc/$1/stat" 2>/dev/null) || return 0
    [ -z "$state" ] || [ "$state" = Z ]
}

# stop PID: TERM, then KILL if it lingers; reaps it.
stop() {
    local pid=$1 tries=0
    kill -TERM "$pid" 2>/dev/null || true
    while ! gone "$pid" && [ $tries -lt 50 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

forget() {
    local kept=() p
    for p in "${PIDS[@]}"; do [ "$p" = "$1" ] || kept+=("$p"); done
    PIDS=("${kept[@]}")
}

# shellcheck disable=SC2317  # called by the EXIT trap
cleanup() {
    local status=$? i log
    trap - EXIT INT TERM
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do stop "${PIDS[i]}"; done
    if [ "$status" -eq 2 ]; then
        for log in "$WORK"/*.log; do
            [ -s "$log" ] || continue
            printf -- '--- %s (last lines)\n' "$(basename "$log")" >&2
            tail -n 20 "$log" >&2
        done
    fi
    rm -rf "$WORK"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# spawn NAME COMMAND...: runs COMMAND in the background, output in $WORK/NAME.log; its PID in SPAWNED.
spawn() {
    local name=$1
    shift
    "$@" >>"$WORK/$name.log" 2>&1 &
    SPAWNED=$!
    PIDS+=("$SPAWNED")
}

# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds, gives up after SECONDS.
wait_for() {
    local limit=$1 what=$2
    local deadline=$((SECONDS + limit))
    shift 2
    until "$@"; do
        [ $SECONDS -lt $deadline ] || die "no $what within $limit s"
        sleep 0.1
    done
}

start_display() {
    spawn xvfb Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/display"
    wait_for 30 "X display" grep -qx '[0-9]\+' "$WORK/display"
    DISPLAY=":$(head -n 1 "$WORK/display")"
    export DISPLAY
    spawn trayer trayer --edge top --align right --widthtype request --height 30
    wait_for 20 "trayer panel" panel_shown
}
# shellcheck disable=SC2317  # called by wait_for
panel_shown() { [[ $(xwininfo -root -children 2>/dev/null) == *'("panel" "trayer")'* ]]; }

# A desktop has a session bus and both programs use it; without dbus-daemon they run without one.
start_bus() {
    BUS="unix:path=$WORK/no-session-bus"
    BUS_NOTE="no session bus (dbus-daemon is not installed)"
    command -v dbus-daemon >/dev/null 2>&1 || return 0
    cat >"$WORK/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$WORK/bus</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    spawn dbus dbus-daemon --config-file="$WORK/bus.conf" --nofork --nopidfile --print-address=3 3>"$WORK/bus.address"
    wait_for 20 "session bus" grep -q '^unix:' "$WORK/bus.address"
    BUS=$(head -n 1 "$WORK/bus.address")
    BUS_NOTE="a private session bus without a StatusNotifier host"
}

now_ms() { date +%s%3N; }

# fresh_state DIR: a state directory with a status.json written now, as a connected bridge leaves it.
fresh_state() {
    mkdir -p "$1" && chmod 700 "$1"
    printf '{"at":%s,"connected":true,"computer":true,"busy":"","error":"","devices":[{"model":"Pixel 8","state":"device","screen":"awake"}]}\n' \
        "$(now_ms)" >"$1/status.json"
}

# prepare NAME: state, runtime and home folders for one run of program NAME ("bare" or "menu").
# tavix-menu gets a token: unpaired, it opens its settings window at start, which is not what a tray icon costs.
prepare() {
    local dir=$WORK/run-$1-$RANDOM$RANDOM
    rm -rf "$dir"
    fresh_state "$dir/state"
    mkdir -p "$dir/run" "$dir/home" && chmod 700 "$dir/run"
    [ "$1" = bare ] || printf '%s\n' 0123456789abcdef0123456789abcdef >"$dir/state/token"
    RUN_DIR=$dir
}

program_of() { if [ "$1" = bare ]; then printf '%s' "$BARE"; else printf '%s' "$MENU"; fi; }

# launch NAME: starts program NAME in a clean environment and waits for its icon in the tray. Sets LAUNCHED (PID)
# and START_MS (start to icon shown, milliseconds).
launch() {
    local name=$1 program before seen
    program=$(program_of "$name")
    prepare "$name"
    before=$EPOCHREALTIME
    spawn "$name" env -i PATH="$PATH" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
        TAVIX_HOME="$RUN_DIR/state" XDG_RUNTIME_DIR="$RUN_DIR/run" HOME="$RUN_DIR/home" \
        DBUS_SESSION_BUS_ADDRESS="$BUS" "$program"
    LAUNCHED=$SPAWNED
    seen=$("$PROBE" "$LAUNCHED" 30) || die "$(basename "$program"): no tray icon within 30 s (probe status $?)"
    START_MS=$(awk -v a="${before/[.,]/}" -v b="$seen" 'BEGIN {printf "%.1f", (b - a) / 1000}')
}

median() { sort -n | awk '{v[NR] = $1} END {if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Memory of PID in KiB: "RSS PSS USS" (PSS and USS "-" without smaps_rollup).
memory() {
    local rss rollup
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null) || die "process $1 is gone"
    rollup=$(awk '/^Pss:/ {p = $2} /^Private_(Clean|Dirty):/ {u += $2} END {if (p != "") print p, u}' \
        "/proc/$1/smaps_rollup" 2>/dev/null)
    printf '%s %s\n' "$rss" "${rollup:-- -}"
}

# CPU time of PID in milliseconds: "UTIME+STIME EXACT". utime+stime counts in clock ticks (every thread, ended
# ones too); the scheduler's running time of its live threads is exact to the nanosecond.
cpu() {
    local ticks exact
    ticks=$(awk -v hz="$(getconf CLK_TCK)" '{sub(/.*\) /, ""); printf "%.0f", ($12 + $13) * 1000 / hz}' \
        "/proc/$1/stat" 2>/dev/null) || die "process $1 is gone"
    exact=$(cat "/proc/$1/task/"*/schedstat 2>/dev/null | awk '{ns += $1} END {if (NR) printf "%.1f", ns / 1e6}')
    printf '%s %s\n' "$ticks" "${exact:--}"
}

mib() { awk -v k="$1" 'BEGIN {if (k == "-") print "-"; else printf "%.1f", k / 1024}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a == "-" || b == "-" || a + 0 == 0) print "-"; else printf "%.2f", b / a}'; }
# Sets JUDGED to "met" or "MISSED" for RATIO against GOAL, and remembers a miss.
MISSED=0
judge() {
    JUDGED=-
    [ "$1" = - ] && return
    if awk -v r="$1" -v g="$2" 'BEGIN {exit !(r <= g)}'; then JUDGED=met; else JUDGED=MISSED; MISSED=1; fi
}

ROWS=()
# row LABEL BARE MENU [GOAL]: one line of the table; the goal is the highest ratio allowed.
row() {
    local r
    r=$(ratio "$2" "$3")
    JUDGED=
    [ -z "${4:-}" ] || judge "$r" "$4"
    ROWS+=("$(printf '%-40s %10s %10s %6s %6s  %s' "$1" "$2" "$3" "$r" "${4:-}" "$JUDGED")")
}

print_table() {
    printf '%-40s %10s %10s %6s %6s\n' "" "bare tray" "tavix-menu" "ratio" "goal"
    local line
    for line in "${ROWS[@]}"; do printf '%s\n' "$line"; done
}

start_display
start_bus

# Start-up: alternate which program goes first, after one start of each that warms the disk cache.
declare -A START_TIMES=([bare]="" [menu]="")
for ((round = 0; round <= STARTS; round++)); do
    if ((round % 2)); then order=(menu bare); else order=(bare menu); fi
    for name in "${order[@]}"; do
        launch "$name"
        stop "$LAUNCHED"
        forget "$LAUNCHED"
        [ $round -eq 0 ] || START_TIMES[$name]+="$START_MS"$'\n'
        sleep 0.3
    done
done
START_BARE=$(printf '%s' "${START_TIMES[bare]}" | median)
START_MENU=$(printf '%s' "${START_TIMES[menu]}" | median)

# Side by side, idle (or under a bridge writing every second).
launch bare
BARE_PID=$LAUNCHED
read -r _ bare_exact0 <<<"$(cpu "$BARE_PID")"
launch menu
MENU_PID=$LAUNCHED
MENU_STATE=$RUN_DIR/state
read -r _ menu_exact0 <<<"$(cpu "$MENU_PID")"

# sleep_watching SECONDS: sleeps, failing at once when a measured program ends.
sleep_watching() {
    local until=$((SECONDS + $1))
    while [ $SECONDS -lt $until ]; do
        gone "$BARE_PID" && die "bench_bare_tray ended during the run"
        gone "$MENU_PID" && die "tavix-menu ended during the run"
        sleep 1
    done
}

if [ $LONG -eq 0 ]; then
    sleep_watching "$SECONDS_IDLE"
    read -r bare_rss bare_pss bare_uss <<<"$(memory "$BARE_PID")"
    read -r menu_rss menu_pss menu_uss <<<"$(memory "$MENU_PID")"
    read -r bare_cpu bare_exact <<<"$(cpu "$BARE_PID")"
    read -r menu_cpu menu_exact <<<"$(cpu "$MENU_PID")"

    printf 'tavix-menu beside a bare Qt tray icon: %s s idle, %s timed starts each (median)\n' "$SECONDS_IDLE" "$STARTS"
    printf 'Xvfb, trayer as the XEmbed tray, %s; tavix-menu paired (a "token"), since an\n' "$BUS_NOTE"
    printf 'unpaired start opens the settings window, which is not idle tray cost.\n\n'
    row "resident memory, VmRSS (MiB)" "$(mib "$bare_rss")" "$(mib "$menu_rss")" 1.15
    row "proportional memory, PSS (MiB)" "$(mib "$bare_pss")" "$(mib "$menu_pss")"
    row "private memory, USS (MiB)" "$(mib "$bare_uss")" "$(mib "$menu_uss")"
    row "CPU, utime+stime (ms)" "$bare_cpu" "$menu_cpu"
    row "CPU, exact: start and $SECONDS_IDLE s (ms)" "$bare_exact" "$menu_exact" 1.2
    row "CPU, exact: the $SECONDS_IDLE s after the icon (ms)" \
        "$(awk -v a="$bare_exact" -v b="$bare_exact0" 'BEGIN {printf "%.1f", a - b}')" \
        "$(awk -v a="$menu_exact" -v b="$menu_exact0" 'BEGIN {printf "%.1f", a - b}')"
    row "start to icon shown, median (ms)" "$START_BARE" "$START_MENU" 1.3
    print_table
else
    spawn bridge "$BRIDGE" --state "$MENU_STATE" --interval 1
    BRIDGE_PID=$SPAWNED
    first=$((LONG_SECONDS < 60 ? LONG_SECONDS : 60))
    sleep_watching "$first"
    read -r bare_rss1 bare_pss1 _ <<<"$(memory "$BARE_PID")"
    read -r menu_rss1 menu_pss1 _ <<<"$(memory "$MENU_PID")"
    read -r _ menu_exact1 <<<"$(cpu "$MENU_PID")"
    sleep_watching $((LONG_SECONDS - first))
    gone "$BRIDGE_PID" && die "the simulated bridge ended during the run"
    read -r bare_rss bare_pss _ <<<"$(memory "$BARE_PID")"
    read -r menu_rss menu_pss _ <<<"$(memory "$MENU_PID")"
    read -r bare_cpu bare_exact <<<"$(cpu "$BARE_PID")"
    read -r menu_cpu menu_exact <<<"$(cpu "$MENU_PID")"

    printf 'tavix-menu beside a bare Qt tray icon for %s s, a simulated bridge rewriting\n' "$LONG_SECONDS"
    printf "tavix-menu's status.json every second; %s timed starts each (median)\n" "$STARTS"
    printf 'Xvfb, trayer as the XEmbed tray, %s; tavix-menu paired (a "token"), since an\n' "$BUS_NOTE"
    printf 'unpaired start opens the settings window, which is not idle tray cost.\n\n'
    row "VmRSS after ${first} s (MiB)" "$(mib "$bare_rss1")" "$(mib "$menu_rss1")" 1.15
    row "VmRSS at the end (MiB)" "$(mib "$bare_rss")" "$(mib "$menu_rss")" 1.15
    row "PSS after ${first} s (MiB)" "$(mib "$bare_pss1")" "$(mib "$menu_pss1")"
    row "PSS at the end (MiB)" "$(mib "$bare_pss")" "$(mib "$menu_pss")"
    row "CPU, utime+stime, whole run (ms)" "$bare_cpu" "$menu_cpu"
    row "CPU, exact, whole run (ms)" "$bare_exact" "$menu_exact"
    row "start to icon shown, median (ms)" "$START_BARE" "$START_MENU" 1.3
    print_table
    growth=$(awk -v a="$menu_rss1" -v b="$menu_rss" 'BEGIN {printf "%+.1f", (b - a) * 100 / a}')
    judged=MISSED
    if awk -v g="$growth" 'BEGIN {exit !(g <= 5 && g >= -5)}'; then judged=met; else MISSED=1; fi
    printf '\ntavix-menu VmRSS from %s s to the end: %s %% (goal: within 5 %%) %s\n' "$first" "$growth" "$judged"
    printf 'tavix-menu CPU from %s s to the end: %.1f ms, %.2f ms per minute (bare tray: %.1f ms over the whole run)\n' \
        "$first" "$(awk -v a="$menu_exact" -v b="$menu_exact1" 'BEGIN {print a - b}')" \
        "$(awk -v a="$menu_exact" -v b="$menu_exact1" -v s=$((LONG_SECONDS - first)) 'BEGIN {print s > 0 ? (a - b) * 60 / s : 0}')" \
        "$bare_exact"
fi
exit $MISSED
