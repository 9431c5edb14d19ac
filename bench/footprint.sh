#!/usr/bin/env bash
# What Tavix Link costs its user beside the floor every tray application pays: tavix-menu and bench_bare_tray (a
# tray icon and a 3-second read of status.json) run side by side on a private X display with trayer as the tray,
# each with its own state directory, runtime directory and home. Reports resident memory, CPU time and the time
# from start to the icon shown in the tray, for both and as ratios against the goals.
#
# Usage: bench/footprint.sh BUILD_DIR [--seconds N] [--starts N] [--long] [--long-seconds N]
#   BUILD_DIR         a build folder holding src/tavix-menu, bench/bench_bare_tray, bench/bench_tray_run and
#                     (for --long) tools/tavix-simulated-bridge, e.g. build/release. Nothing is built here.
#   --seconds N       idle seconds before memory and CPU are read (default 60)
#   --starts N        timed starts of each program; medians are reported (default 9)
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
IDLE_SECONDS=60
STARTS=9
LONG=0
LONG_SECONDS=3600
while [ $# -gt 0 ]; do
    case $1 in
        --seconds) IDLE_SECONDS=${2:-}; shift 2 || usage ;;
        --starts) STARTS=${2:-}; shift 2 || usage ;;
        --long) LONG=1; shift ;;
        --long-seconds) LONG=1; LONG_SECONDS=${2:-}; shift 2 || usage ;;
        -h | --help) usage ;;
        -*) usage ;;
        *) [ -z "$BUILD" ] || usage; BUILD=$1; shift ;;
    esac
done
[ -n "$BUILD" ] || usage
for n in "$IDLE_SECONDS" "$STARTS" "$LONG_SECONDS"; do [[ $n =~ ^[1-9][0-9]*$ ]] || usage; done

die() {
    printf 'footprint: %s\n' "$*" >&2
    exit 2
}

MENU=$BUILD/src/tavix-menu
BARE=$BUILD/bench/bench_bare_tray
RUNNER=$BUILD/bench/bench_tray_run
BRIDGE=$BUILD/tools/tavix-simulated-bridge
for program in "$MENU" "$BARE" "$RUNNER"; do [ -x "$program" ] || die "no program at $program (build it first)"; done
[ $LONG -eq 0 ] || [ -x "$BRIDGE" ] || die "no program at $BRIDGE (build it first)"
for program in Xvfb trayer xwininfo awk; do
    command -v "$program" >/dev/null 2>&1 || die "$program is not installed"
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavix-footprint.XXXXXX") || die "cannot make a work folder"
PIDS=()

# shellcheck source=../scripts/lib/processes.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/../scripts/lib/processes.sh" || die "cannot read scripts/lib/processes.sh"
QUIET_STATUSES=(0 1) # 1: measured, a goal missed

forget() {
    local kept=() p
    for p in "${PIDS[@]}"; do [ "$p" = "$1" ] || kept+=("$p"); done
    PIDS=("${kept[@]}")
}

# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds, gives up after SECONDS.
wait_for() {
    local limit=$1 what=$2
    local deadline=$((SECONDS + limit))
    shift 2
    until "$@"; do
        [ $SECONDS -lt $deadline ] || die "no $what within $limit s"
        sleep 0.05
    done
}

# shellcheck disable=SC2317  # called by wait_for
panel_shown() { [[ $(xwininfo -root -children 2>/dev/null) == *'("panel" "trayer")'* ]]; }

start_display() {
    spawn xvfb Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/display"
    wait_for 30 "X display" grep -qx '[0-9]\+' "$WORK/display"
    DISPLAY=":$(head -n 1 "$WORK/display")"
    export DISPLAY
    spawn trayer trayer --edge top --align right --widthtype request --height 30
    wait_for 20 "trayer panel" panel_shown
}

# A desktop has a session bus and both programs use it; without dbus-daemon they run without one.
start_bus() {
    BUS="unix:path=$WORK/no-session-bus"
    BUS_NOTE="no session bus (dbus-daemon is not installed)"
    command -v dbus-daemon >/dev/null 2>&1 || return 0
    bus_config "$WORK/bus.conf" "$WORK/bus"
    spawn dbus dbus-daemon --config-file="$WORK/bus.conf" --nofork --nopidfile --print-address=3 3>"$WORK/bus.address"
    wait_for 20 "session bus" grep -q '^unix:' "$WORK/bus.address"
    BUS=$(head -n 1 "$WORK/bus.address")
    BUS_NOTE="a private session bus (no StatusNotifier host)"
}

# prepare NAME: state, runtime and home folders for one run of program NAME ("bare" or "menu"), status.json
# written now as a connected bridge leaves it. tavix-menu gets a token: unpaired, it would open its settings
# window at start, which is not what a tray icon costs.
prepare() {
    local dir
    dir=$(mktemp -d "$WORK/run-$1.XXXXXX") || die "cannot make a state folder"
    mkdir -p "$dir/state" "$dir/run" "$dir/home" && chmod 700 "$dir/state" "$dir/run"
    printf '{"at":%s,"connected":true,"computer":true,"busy":"","error":"","devices":[{"model":"Pixel 8","state":"device","screen":"awake"}]}\n' \
        "$(date +%s%3N)" >"$dir/state/status.json"
    [ "$1" = bare ] || printf '%s\n' 0123456789abcdef0123456789abcdef >"$dir/state/token"
    RUN_DIR=$dir
}

# report_line FILE WORD: the line of the runner's report that starts with WORD.
report_line() { awk -v w="$2" '$1 == w {print; found = 1} END {exit !found}' "$1" 2>/dev/null; }

# launch NAME: starts program NAME ("bare" or "menu") through the runner in a clean environment and waits until
# its icon shows in the tray. Sets RUNNER_PID, PROGRAM_PID, REPORT, START_MS (start to icon) and START_CPU (CPU
# milliseconds used by then).
launch() {
    local name=$1 program
    if [ "$name" = bare ]; then program=$BARE; else program=$MENU; fi
    prepare "$name"
    REPORT=$RUN_DIR/report
    spawn "$name" "$RUNNER" "$REPORT" 30 env -i PATH="$PATH" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
        TAVIX_HOME="$RUN_DIR/state" XDG_RUNTIME_DIR="$RUN_DIR/run" HOME="$RUN_DIR/home" \
        DBUS_SESSION_BUS_ADDRESS="$BUS" "$program"
    RUNNER_PID=$SPAWNED
    local deadline=$((SECONDS + 40))
    until report_line "$REPORT" shown >/dev/null; do
        gone "$RUNNER_PID" && die "$(basename "$program") ended without showing its tray icon"
        [ $SECONDS -lt $deadline ] || die "no tray icon of $(basename "$program") within 40 s"
        sleep 0.05
    done
    read -r _ PROGRAM_PID < <(report_line "$REPORT" pid)
    read -r _ START_MS START_CPU < <(report_line "$REPORT" shown)
    # Stopped before its runner, so that the runner sees it end and reports its CPU time.
    PIDS+=("$PROGRAM_PID")
}

# finish: ends the last launched program and its runner; sets END_CPU (CPU milliseconds of its whole life).
finish() {
    local program=$1 runner=$2 report=$3
    stop "$program"
    forget "$program"
    stop "$runner"
    forget "$runner"
    read -r _ END_CPU < <(report_line "$report" ended) || die "no CPU time reported for process $program"
}

median() {
    sort -n | awk '{v[NR] = $1} END {if (NR % 2) printf "%.1f\n", v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

# memory PID: "RSS PSS USS" in KiB (PSS and USS "-" without smaps_rollup).
memory() {
    local rss rollup
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null) || die "process $1 is gone"
    rollup=$(awk '/^Pss:/ {p = $2} /^Private_(Clean|Dirty):/ {u += $2} END {if (p != "") print p, u}' \
        "/proc/$1/smaps_rollup" 2>/dev/null)
    printf '%s %s\n' "$rss" "${rollup:-- -}"
}

# ticks PID: utime+stime from /proc/PID/stat in milliseconds (counted in clock ticks, 10 ms apiece as a rule).
ticks() {
    awk -v hz="$(getconf CLK_TCK)" '{sub(/.*\) /, ""); printf "%.0f", ($12 + $13) * 1000 / hz}' "/proc/$1/stat" \
        2>/dev/null || die "process $1 is gone"
}

# live_cpu PID: the scheduler's running time of the live threads of PID in milliseconds, to the nanosecond.
live_cpu() { cat "/proc/$1/task/"*/schedstat 2>/dev/null | awk '{ns += $1} END {printf "%.1f", ns / 1e6}'; }

mib() { awk -v k="$1" 'BEGIN {if (k == "-") print "-"; else printf "%.1f", k / 1024}'; }
ms() { awk -v v="$1" 'BEGIN {printf "%.1f", v}'; }
sum() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f", a + b}'; }
difference() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f", a - b}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a == "-" || b == "-" || a + 0 == 0) print "-"; else printf "%.2f", b / a}'; }

MISSED=0
ROWS=()
# row LABEL BARE MENU [GOAL]: one line of the table; the goal is the highest ratio allowed.
row() {
    local r judged=
    r=$(ratio "$2" "$3")
    if [ -n "${4:-}" ] && [ "$r" != - ]; then
        if awk -v r="$r" -v g="$4" 'BEGIN {exit !(r <= g)}'; then judged=met; else judged=MISSED; MISSED=1; fi
    fi
    ROWS+=("$(printf '%-40s %10s %10s %6s %6s  %s' "$1" "$2" "$3" "$r" "${4:-}" "$judged")")
}

print_table() {
    printf '%-40s %10s %10s %6s %6s\n' "" "bare tray" "tavix-menu" "ratio" "goal"
    local line
    for line in "${ROWS[@]}"; do printf '%s\n' "$line"; done
}

# sleep_watching SECONDS PID...: sleeps, failing at once when one of the processes ends.
sleep_watching() {
    local until=$((SECONDS + $1)) pid
    shift
    while [ $SECONDS -lt "$until" ]; do
        for pid in "$@"; do gone "$pid" && die "process $pid ($(cat "/proc/$pid/comm" 2>/dev/null)) ended during the run"; done
        sleep 1
    done
}

start_display
start_bus

# Start-up, one program at a time: alternate which goes first, after one start of each that warms the caches.
declare -A START_MS_OF=([bare]="" [menu]="") START_CPU_OF=([bare]="" [menu]="")
for ((round = 0; round <= STARTS; round++)); do
    if ((round % 2)); then order=(menu bare); else order=(bare menu); fi
    for name in "${order[@]}"; do
        launch "$name"
        finish "$PROGRAM_PID" "$RUNNER_PID" "$REPORT"
        if [ $round -gt 0 ]; then
            START_MS_OF[$name]+="$START_MS"$'\n'
            START_CPU_OF[$name]+="$START_CPU"$'\n'
        fi
        sleep 0.2
    done
done
start_bare=$(printf '%s' "${START_MS_OF[bare]}" | median)
start_menu=$(printf '%s' "${START_MS_OF[menu]}" | median)
start_cpu_bare=$(printf '%s' "${START_CPU_OF[bare]}" | median)
start_cpu_menu=$(printf '%s' "${START_CPU_OF[menu]}" | median)

# Side by side, idle (or under a bridge writing every second).
launch bare
BARE_PID=$PROGRAM_PID BARE_RUNNER=$RUNNER_PID BARE_REPORT=$REPORT BARE_SHOWN_CPU=$START_CPU
launch menu
MENU_PID=$PROGRAM_PID MENU_RUNNER=$RUNNER_PID MENU_REPORT=$REPORT MENU_SHOWN_CPU=$START_CPU
MENU_STATE=$RUN_DIR/state

preamble() {
    printf 'Xvfb with trayer as the XEmbed tray, %s.\n' "$BUS_NOTE"
    printf 'tavix-menu starts paired (a "token"): unpaired it opens its settings window at start,\n'
    printf 'which is not what the tray icon costs. Timed starts: %s of each, one at a time; medians.\n\n' "$STARTS"
}

if [ $LONG -eq 0 ]; then
    sleep_watching "$IDLE_SECONDS" "$BARE_PID" "$MENU_PID"
    read -r bare_rss bare_pss bare_uss <<<"$(memory "$BARE_PID")"
    read -r menu_rss menu_pss menu_uss <<<"$(memory "$MENU_PID")"
    bare_ticks=$(ticks "$BARE_PID")
    menu_ticks=$(ticks "$MENU_PID")
    finish "$MENU_PID" "$MENU_RUNNER" "$MENU_REPORT"
    menu_idle=$(difference "$END_CPU" "$MENU_SHOWN_CPU")
    finish "$BARE_PID" "$BARE_RUNNER" "$BARE_REPORT"
    bare_idle=$(difference "$END_CPU" "$BARE_SHOWN_CPU")

    printf 'tavix-menu beside a bare Qt tray icon, both idle for %s s after their icons showed.\n' "$IDLE_SECONDS"
    preamble
    row "resident memory, VmRSS (MiB)" "$(mib "$bare_rss")" "$(mib "$menu_rss")" 1.15
    row "proportional memory, PSS (MiB)" "$(mib "$bare_pss")" "$(mib "$menu_pss")"
    row "private memory, USS (MiB)" "$(mib "$bare_uss")" "$(mib "$menu_uss")"
    row "CPU to the icon, median (ms)" "$start_cpu_bare" "$start_cpu_menu"
    row "CPU while idle $IDLE_SECONDS s (ms)" "$bare_idle" "$menu_idle"
    row "CPU, start + $IDLE_SECONDS s idle (ms)" "$(sum "$start_cpu_bare" "$bare_idle")" \
        "$(sum "$start_cpu_menu" "$menu_idle")" 1.2
    row "CPU, utime+stime at the end (ms)" "$bare_ticks" "$menu_ticks"
    row "start to icon shown, median (ms)" "$start_bare" "$start_menu" 1.3
    print_table
    printf '\nCPU: what the kernel counts for every thread, to the microsecond; utime+stime: /proc/PID/stat, in\n'
    printf 'clock ticks. PSS shares libraries with whatever else runs on the machine.\n'
else
    spawn bridge "$BRIDGE" --state "$MENU_STATE" --interval 1
    BRIDGE_PID=$SPAWNED
    first=$((LONG_SECONDS < 60 ? LONG_SECONDS : 60))
    sleep_watching "$first" "$BARE_PID" "$MENU_PID" "$BRIDGE_PID"
    read -r bare_rss1 bare_pss1 _ <<<"$(memory "$BARE_PID")"
    read -r menu_rss1 menu_pss1 _ <<<"$(memory "$MENU_PID")"
    bare_ticks1=$(ticks "$BARE_PID")
    menu_ticks1=$(ticks "$MENU_PID")
    bare_live1=$(live_cpu "$BARE_PID")
    menu_live1=$(live_cpu "$MENU_PID")
    sleep_watching $((LONG_SECONDS - first)) "$BARE_PID" "$MENU_PID" "$BRIDGE_PID"
    read -r bare_rss bare_pss _ <<<"$(memory "$BARE_PID")"
    read -r menu_rss menu_pss _ <<<"$(memory "$MENU_PID")"
    bare_ticks=$(ticks "$BARE_PID")
    menu_ticks=$(ticks "$MENU_PID")
    bare_live=$(live_cpu "$BARE_PID")
    menu_live=$(live_cpu "$MENU_PID")
    stop "$BRIDGE_PID"
    forget "$BRIDGE_PID"
    finish "$MENU_PID" "$MENU_RUNNER" "$MENU_REPORT"
    menu_total=$END_CPU
    finish "$BARE_PID" "$BARE_RUNNER" "$BARE_REPORT"
    bare_total=$END_CPU

    printf 'tavix-menu beside a bare Qt tray icon for %s s, a simulated bridge rewriting\n' "$LONG_SECONDS"
    printf "tavix-menu's status.json every second (the bare tray reads an unchanging one).\n"
    preamble
    row "VmRSS after $first s (MiB)" "$(mib "$bare_rss1")" "$(mib "$menu_rss1")" 1.15
    row "VmRSS at the end (MiB)" "$(mib "$bare_rss")" "$(mib "$menu_rss")" 1.15
    row "PSS after $first s (MiB)" "$(mib "$bare_pss1")" "$(mib "$menu_pss1")"
    row "PSS at the end (MiB)" "$(mib "$bare_pss")" "$(mib "$menu_pss")"
    row "CPU, the whole run (ms)" "$(ms "$bare_total")" "$(ms "$menu_total")"
    row "CPU, utime+stime after $first s (ms)" "$bare_ticks1" "$menu_ticks1"
    row "CPU, utime+stime at the end (ms)" "$bare_ticks" "$menu_ticks"
    row "CPU to the icon, median (ms)" "$start_cpu_bare" "$start_cpu_menu"
    row "start to icon shown, median (ms)" "$start_bare" "$start_menu" 1.3
    print_table
    growth=$(awk -v a="$menu_rss1" -v b="$menu_rss" 'BEGIN {printf "%+.1f", (b - a) * 100 / a}')
    judged=MISSED
    if awk -v g="$growth" 'BEGIN {exit !(g <= 5 && g >= -5)}'; then judged=met; else MISSED=1; fi
    printf '\ntavix-menu VmRSS from %s s to the end: %s %% (goal: within 5 %%)  %s\n' "$first" "$growth" "$judged"
    if [ "$LONG_SECONDS" -gt "$first" ]; then
        rest=$((LONG_SECONDS - first))
        printf 'CPU after the first %s s, per minute: tavix-menu %s ms, bare tray %s ms\n' "$first" \
            "$(awk -v a="$menu_live" -v b="$menu_live1" -v s=$rest 'BEGIN {printf "%.2f", (a - b) * 60 / s}')" \
            "$(awk -v a="$bare_live" -v b="$bare_live1" -v s=$rest 'BEGIN {printf "%.2f", (a - b) * 60 / s}')"
    fi
fi
exit $MISSED
