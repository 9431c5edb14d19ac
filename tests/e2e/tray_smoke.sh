#!/usr/bin/env bash
# The real tavix-menu on a private X display with trayer as the XEmbed tray: the icon docks, the settings window
# opens for an unpaired machine, a second copy bows out, and an icon still docks when the tray starts later.
# Usage: tray_smoke.sh TAVIX_MENU [SCREENSHOT_DIR]
APP=${1:?usage: tray_smoke.sh TAVIX_MENU [SCREENSHOT_DIR]}
OUT=${2:-$PWD}
# shellcheck source=e2e_lib.sh source-path=SCRIPTDIR
. "$(dirname "$0")/e2e_lib.sh"

require Xvfb trayer xwininfo xdotool
[ -x "$APP" ] || fail "no program at $APP"
slow_factor "$APP"

# trayer's panel window (WM_CLASS "panel", "trayer").
panel_window() { xwininfo -root -children 2>/dev/null | awk '/\("panel" "trayer"\)/ && !found {print $1; found = 1} END {exit !found}'; }

# The application's windows docked in the panel, one geometry line each.
docked_icons() {
    local panel id found=1
    panel=$(panel_window) || return 1
    for id in $(xwininfo -tree -id "$panel" 2>/dev/null | awk '/\("tavix-menu" "tavix-menu"\)/ {print $1}'); do
        window_geometry "$id" && found=0
    done
    return $found
}

# One small docked icon: prints its geometry.
tray_icon() {
    local icons
    icons=$(docked_icons) || return 1
    [ "$(printf '%s\n' "$icons" | wc -l)" -eq 1 ] || return 1
    printf '%s\n' "$icons" | awk '$2 > 0 && $2 <= 64 && $3 > 0 && $3 <= 64 {print; found = 1} END {exit !found}'
}

# The tooltip: a viewable top-level window of ours that is neither the settings window nor a docked icon.
tooltip_window() { app_windows | awk '!($2 == 560 && $3 == 600) && $2 > $3 && !found {print; found = 1} END {exit !found}'; }

start_trayer() {
    spawn trayer trayer --edge top --align right --widthtype request --height 30
    TRAYER=$SPAWNED
    MUST_LIVE+=("$TRAYER:trayer")
    wait_for 20 "trayer panel" panel_window >/dev/null
}

start_xvfb
new_dirs "$WORK/a"
app_env "$WORK/a-state" "$WORK/a-run" "$WORK/a-home" "unix:path=$WORK/no-session-bus"

# 1. Tray first, as on a running desktop.
start_trayer
spawn app1 "${APP_ENV[@]}" "$APP"
APP1=$SPAWNED
MUST_LIVE+=("$APP1:tavix-menu")
wait_for 30 "tray icon docked in trayer" tray_icon >/dev/null
read -r icon_id icon_w icon_h icon_x icon_y <<<"$(tray_icon)"
pass "tray icon $icon_id (${icon_w}x${icon_h}) docked in trayer"
wait_for 30 "560x600 settings window for an unpaired machine" settings_window >/dev/null
pass "settings window shown: $(settings_window)"

# 2. A second copy with the same lock folder ends at once, successfully, and leaves the first alone.
started=$SECONDS
timeout $((30 * SLOW)) "${APP_ENV[@]}" "$APP" >"$WORK/app-second.log" 2>&1
second=$?
[ $second -eq 0 ] || fail "second copy ended with status $second (124: still running after $((30 * SLOW))s)"
pass "second copy ended with status 0 after $((SECONDS - started))s"
gone "$APP1" && fail "the first copy ended when the second started"
[ "$(docked_icons | wc -l)" -eq 1 ] || fail "expected exactly one docked icon, found: $(docked_icons)"
pass "first copy still running with its one icon"

# 3. Hover the icon: Qt shows the tooltip as a small window of ours; keep a picture of it for people.
xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2))
wait_for 15 "tooltip on hovering the icon" tooltip_window >/dev/null
read -r _ tip_w tip_h tip_x tip_y <<<"$(tooltip_window)"
pass "tooltip window ${tip_w}x${tip_h} at +${tip_x}+${tip_y}"
read -r _ panel_w panel_h panel_x panel_y <<<"$(window_geometry "$(panel_window)")"
if command -v import >/dev/null 2>&1; then
    left=$(((tip_x < panel_x ? tip_x : panel_x) - 16))
    top=0
    right=$(((tip_x + tip_w > panel_x + panel_w ? tip_x + tip_w : panel_x + panel_w) + 16))
    bottom=$(((tip_y + tip_h > panel_y + panel_h ? tip_y + tip_h : panel_y + panel_h) + 16))
    ((left < 0)) && left=0
    mkdir -p "$OUT"
    shot="$OUT/tray_tooltip.png"
    if import -display "$DISPLAY" -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
        "$shot" 2>"$WORK/import.log"; then
        note "screenshot of the tray with its tooltip (should read \"Tavix Link · Not paired\"): $shot"
    else
        note "no screenshot: import failed ($(head -n 1 "$WORK/import.log"))"
    fi
else
    note "no screenshot: ImageMagick's import is not installed"
fi

# 4. Login race: the application starts before any tray exists and docks once one appears.
stop "$APP1"
forget "$APP1"
stop "$TRAYER"
forget "$TRAYER"
panel_window >/dev/null && fail "trayer's panel outlived trayer"
spawn app2 "${APP_ENV[@]}" "$APP"
APP2=$SPAWNED
MUST_LIVE+=("$APP2:tavix-menu (started before the tray)")
# The settings window comes after the status item's start-up, so by now the application has met no tray.
wait_for 30 "settings window of the copy started before the tray" settings_window >/dev/null
pass "started without a tray"
start_trayer
wait_for 30 "tray icon docked after trayer started late" tray_icon >/dev/null
pass "icon docked after the tray appeared: $(tray_icon)"

note "$CHECKS passed, 0 failed"
