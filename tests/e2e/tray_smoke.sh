#!/usr/bin/env bash
# The real tavix-menu on a private X display with trayer as the XEmbed tray: the icon docks, the settings window
# opens for an unpaired machine, a second copy bows out, the tooltip and the status menu show, the menu quits it,
# and an icon still docks when the tray starts later.
# Usage: tray_smoke.sh TAVIX_MENU [SCREENSHOT_DIR]
APP=${1:?usage: tray_smoke.sh TAVIX_MENU [SCREENSHOT_DIR]}
OUT=${2:-$PWD}
# shellcheck source=e2e_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/e2e_lib.sh" || exit 1

require Xvfb trayer xwininfo xdotool import xprop
[ -x "$APP" ] || fail "no program at $APP"
slow_factor "$APP"

# trayer's panel window (WM_CLASS "panel", "trayer").
panel_window() { xwininfo -root -children 2>/dev/null | awk '/\("panel" "trayer"\)/ && !found {print $1; found = 1} END {exit !found}'; }

# The application's windows docked in the panel, one geometry line each.
docked_icons() {
    local panel id found=1
    panel=$(panel_window) || return 1
    for id in $(xwininfo -tree -id "$panel" 2>/dev/null | awk '/\("tavix-menu" "/ {print $1}'); do
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

# The open status menu: a popup of ours taller than wide (the tooltip is wider than tall).
menu_window() { app_windows | awk '!($2 == 560 && $3 == 600) && $3 > $2 && !found {print; found = 1} END {exit !found}'; }
no_menu_window() { ! menu_window >/dev/null; }

# screenshot FILE FINDER: the tray and the window FINDER finds, for people to look at.
screenshot() {
    mkdir -p "$OUT"
    shot "$OUT/$1" "$({ window_geometry "$(panel_window)" && $2; } | around)" && note "screenshot: $OUT/$1"
}

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
screenshot tray_tooltip.png tooltip_window # it reads "Tavix Link · Not paired"

# 4. The status menu: a left click opens it, Escape closes it, a right click opens it again, and its last row
# ("Quit Menu Bar App") ends the application normally.
xdotool click 1
wait_for 15 "status menu on a left click" menu_window >/dev/null
pass "left click opened the status menu: $(menu_window)"
screenshot tray_menu.png menu_window
xdotool key Escape
wait_for 10 "status menu to close on Escape" no_menu_window
xdotool click 3
wait_for 15 "status menu on a right click" menu_window >/dev/null
pass "right click opened the status menu"
# With nothing highlighted, Up wraps to the last row.
unwatch "$APP1"
xdotool key Up Return
wait_for 20 "tavix-menu to end after \"Quit Menu Bar App\"" gone "$APP1"
wait "$APP1"
quit_status=$?
forget "$APP1"
[ $quit_status -eq 0 ] || fail "tavix-menu ended with status $quit_status after \"Quit Menu Bar App\""
pass "\"Quit Menu Bar App\" ended tavix-menu with status 0"

# 5. Login race: the application starts before any tray exists and docks once one appears.
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

# 6. A tray that names its text colour (_NET_SYSTEM_TRAY_COLORS) gets its icon drawn in it. The property sits on
# the tray manager's window, one of trayer's top-level windows: put the colour on all of them.
tray_colour() {
    for window in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
        xprop -id "$window" -f _NET_SYSTEM_TRAY_COLORS 32c -set _NET_SYSTEM_TRAY_COLORS "$1,$1,$1,$1" 2>/dev/null || true
    done
}
# pixels COLOUR: how many of the icon's pixels are COLOUR ("#RRGGBB").
pixels() { import -display "$DISPLAY" -window root -crop "$icon_box" +repage -depth 8 txt:- 2>/dev/null | grep -c "$1"; }
# drawn_in COLOUR [OLD]: at least 20 pixels of the icon in COLOUR, none left in OLD.
drawn_in() { [ "$(pixels "$1")" -ge 20 ] && { [ -z "${2:-}" ] || [ "$(pixels "$2")" -eq 0 ]; }; }
unwatch "$APP2"
stop "$APP2"
forget "$APP2"
tray_colour 65535,0,0
new_dirs "$WORK/c"
app_env "$WORK/c-state" "$WORK/c-run" "$WORK/c-home" "unix:path=$WORK/no-session-bus"
spawn app3 "${APP_ENV[@]}" "$APP"
MUST_LIVE+=("$SPAWNED:tavix-menu (tray with a text colour)")
wait_for 30 "tray icon docked in the tray with a text colour" tray_icon >/dev/null
icon_box=$(tray_icon | awk '{print $2 "x" $3 "+" $4 "+" $5}')
wait_for 15 "icon drawn in the tray's text colour" drawn_in '#FF0000'
pass "icon drawn in the colour the tray asked for ($(pixels '#FF0000') red pixels)"
# A theme switch while running: the tray names another colour.
tray_colour 0,0,65535
wait_for 15 "icon redrawn in the tray's new text colour" drawn_in '#0000FF' '#FF0000'
pass "icon redrawn when the tray changed its colour ($(pixels '#0000FF') blue pixels)"
note "$CHECKS passed, 0 failed"
