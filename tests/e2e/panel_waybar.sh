#!/usr/bin/env bash
# tavix-menu in waybar's tray on a headless sway (Wayland), with a light and a dark bar style, the program started
# before and after the bar. sway refuses to run as root: the session (sway, waybar, tavix-menu) runs as the user
# "nobody" with a home and runtime folder of its own. See panel_lib.sh for the checks.
# Usage: panel_waybar.sh TAVIX_MENU PANEL_PROBE SCREENSHOT_DIR WL_POINTER
PANEL=waybar
WL_POINTER=${4:-}
# shellcheck source=panel_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/panel_lib.sh" || exit 1
require sway swaymsg waybar grim setpriv
[ -x "$WL_POINTER" ] || skip "no wl_pointer (it needs libwayland-dev to build)"
id nobody >/dev/null 2>&1 || skip "there is no user \"nobody\" to run sway as"

# The bar's two looks; the tray takes its colours from the bar.
style() {
    local background='#f2f2f2' text='#1e1e1e'
    [ "$1" = dark ] && background='#1d1f21' text='#e8e8e8'
    printf '* { font-family: sans-serif; font-size: 13px; }\nwindow#waybar { background: %s; color: %s; }\n' \
        "$background" "$text"
}

session_start() {
    USER_DIR="$WORK/user"
    STATE="$USER_DIR/state"
    mkdir -p "$USER_DIR"/{home,run,state,waybar}
    cat >"$USER_DIR/sway.conf" <<CONF
output HEADLESS-1 resolution $((1024 * SCALE))x$((768 * SCALE)) scale $SCALE background #336699 solid_color
xwayland disable
CONF
    printf '{"layer": "top", "position": "top", "height": 30, "modules-right": ["tray"], "tray": {"spacing": 8}}\n' \
        >"$USER_DIR/waybar/config"
    chown -R nobody: "$USER_DIR"
    chmod 700 "$USER_DIR" "$USER_DIR/run"
    # The sanitizer settings reach tavix-menu, with the same exception as under X (see app_env).
    local keep=(ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0") name
    for name in LSAN_OPTIONS UBSAN_OPTIONS; do [ -z "${!name:-}" ] || keep+=("$name=${!name}"); done
    AS_USER=(setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin "${keep[@]}"
        HOME="$USER_DIR/home" XDG_RUNTIME_DIR="$USER_DIR/run" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
        XDG_DATA_DIRS="$DATA_DIRS")
    spawn sway "${AS_USER[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        sway -c "$USER_DIR/sway.conf"
    MUST_LIVE+=("$SPAWNED:sway")
    wait_for 20 "sway's sockets" sway_up
    AS_USER+=(WAYLAND_DISPLAY=wayland-1 SWAYSOCK="$(compgen -G "$USER_DIR/run/sway-ipc.*")")
    # In the output's pixels, as the screenshots have them.
    STRIP=$((1024 * SCALE))x$((30 * SCALE))+0+0
    coproc POINTER { "${AS_USER[@]}" "$WL_POINTER" $((1024 * SCALE)) $((768 * SCALE)) 2>>"$WORK/pointer.log"; }
    PIDS+=("$POINTER_PID")
    local reply=
    read -r -t $((10 * SLOW)) -u "${POINTER[0]}" reply
    [ "$reply" = ready ] || fail "no virtual pointer"
}
sway_up() { compgen -G "$USER_DIR/run/sway-ipc.*" >/dev/null && [ -S "$USER_DIR/run/wayland-1" ]; }

panel_start() {
    style "$1" >"$USER_DIR/waybar/style.css"
    spawn waybar "${AS_USER[@]}" waybar -c "$USER_DIR/waybar/config" -s "$USER_DIR/waybar/style.css"
    PANEL_PID=$SPAWNED
    MUST_LIVE+=("$PANEL_PID:waybar")
}

# waybar reads its style again on SIGUSR2.
theme_switch() {
    style "$1" >"$USER_DIR/waybar/style.css"
    kill -USR2 "$PANEL_PID"
}

app_start() {
    spawn app "${AS_USER[@]}" XDG_SESSION_TYPE=wayland TAVIX_HOME="$STATE" "$APP"
    APP_PID=$SPAWNED
    MUST_LIVE+=("$APP_PID:tavix-menu")
}

app_window_count() { "${AS_USER[@]}" swaymsg -t get_tree | grep -c "\"pid\": $APP_PID,"; }
# The windows of tavix-menu in sway's tree, one line each: "ID APP_ID WIDTHxHEIGHT STATE", with STATE "focused",
# "urgent" or "behind".
app_views() {
    "${AS_USER[@]}" swaymsg -t get_tree | python3 -c '
import json, sys
def walk(node):
    if node.get("pid") == int(sys.argv[1]):
        size = node["window_rect"]
        state = "focused" if node["focused"] else "urgent" if node["urgent"] else "behind"
        print(node["id"], node.get("app_id"), "%dx%d" % (size["width"], size["height"]), state)
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))' "$APP_PID"
}
# On Wayland a window names its program by its app id, the desktop file's name.
app_identity() {
    local ids
    ids=$(app_views | awk '{print $2}' | sort | uniq -c | xargs)
    IDENTITY="app id: $ids"
    [[ $ids =~ ^[2-9]\ app\.tavix\.menu$ ]]
}
alert_close() {
    local id
    for id in $(app_views | awk '$3 != "560x600" {print $1}'); do "${AS_USER[@]}" swaymsg "[con_id=$id] kill" >/dev/null; done
}
# The bar's menu opens above every window.
app_windows_aside() { :; }
settings_window_state() { app_views | awk '$3 == "560x600" {print $4; found = 1} END {if (!found) print "gone"}'; }
# A window of fixed size floats in sway, the newest on top: this one covers the settings window.
other_window_start() {
    spawn other "${AS_USER[@]}" QT_QPA_PLATFORM=wayland "$PROBE" window
    OTHER_PID=$SPAWNED
}
other_window_stop() {
    stop "$OTHER_PID"
    forget "$OTHER_PID"
}
shot() { "${AS_USER[@]}" grim - >"$1"; }
pointer() {
    local reply=
    if [ -n "${3:-}" ]; then echo "click $1 $2 $3"; else echo "move $1 $2"; fi >&"${POINTER[1]}"
    read -r -t $((10 * SLOW)) -u "${POINTER[0]}" reply
    [ "$reply" = ok ] || fail "the virtual pointer did not answer"
}

run_cases
