#!/usr/bin/env bash
# tavix-menu in a real panel. Each case starts the panel and tavix-menu in a given order and theme, on a display and
# session bus of its own, checks what a user of that panel sees and prints one result line:
#   icon      the item registers with the panel's watcher and is drawn in the panel (found against a screenshot of
#             the same panel without it), with how long after the panel's host it registered
#   contrast  of the icon against the panel behind it
#   known     the windows of tavix-menu (its settings window and an alert) tell the desktop which program they are:
#             the class the desktop file names and an icon on X11, the desktop file's name as app id on Wayland
#   tooltip   the item's ToolTip over D-Bus, unpaired and paired; title  its Title
#   logo      the header row's logo: its icon-data at least twice its 17 units, and by name from the icon theme
#   rows      the menu opened by a click on the icon is the panel's own (not a window of tavix-menu), the panel
#             fetched it with GetLayout, its rows are exactly the core's and it draws them all, with the separators
#             between the same rows
#   command   a click on "Pause New Tasks" in that menu reaches the item as an Event and pauses the bridge
#   forward   (sway) "Connection & Settings…" chosen again with the settings window behind another program's window:
#             the window is focused, or marked urgent where the compositor keeps the focus where it is
#   refresh   a status change shows in the served rows while the menu is closed
#   restart   the icon comes back after the panel restarts; switch  its contrast after a theme switch
# The panels, their differences kept in the table below:
#   xfce    xfce4-panel with its status tray on Xvfb, dark mode from its settings store
#   lxqt    lxqt-panel with its status notifier on Xvfb, LXQt's light and dark themes; opens menus on the right button
#   waybar  waybar's tray on sway (Wayland) with an Xvfb display as its screen, a light and a dark bar style; sway
#           refuses to run as root, so the session runs as the user "nobody"
# Usage: panel.sh xfce|lxqt|waybar TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]
usage="usage: $0 xfce|lxqt|waybar TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]"
PANEL=${1:?$usage} APP=${2:?$usage} PROBE=${3:?$usage} OUT=${4:-$PWD}
# shellcheck source=e2e_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/e2e_lib.sh" || exit 1
E2E_NAME=panel_$PANEL
[ -x "$APP" ] || fail "no program at $APP"
[ -x "$PROBE" ] || fail "no program at $PROBE"
require dbus-daemon dbus-monitor gdbus convert
slow_factor "$APP"
mkdir -p "$OUT"
chmod 711 "$WORK" # an unprivileged panel user reaches its own folders inside
TOP_WORK=$WORK
SCALE=1
# The program's icons where an installed copy has them (the build's share/icons), after the system's: the panel and
# the program look its themed icon up there.
DATA_DIRS="/usr/local/share:/usr/share:$(cd "${APP%/*}/../share" 2>/dev/null && pwd)"
# The window class the desktop file names, which every window of the program must carry on X.
WM_CLASS_WANTED=$(sed -n 's/^StartupWMClass=//p' "${BASH_SOURCE[0]%/*}/../../data/app.tavix.menu.desktop")

# PANEL_CMD starts the panel as PANEL_ENV runs it; theme_set THEME ("light" or "dark") sets the look it starts in and
# theme_switch changes it while it runs; panel_setup writes the panel's configuration. STRIP is where the panel lies
# on screen (at scale 1 on X); MENU_BUTTON opens the item's menu.
KIND=x11 MENU_BUTTON=1
case $PANEL in
xfce)
    require Xvfb xfce4-panel xfconf-query xwininfo xdotool import
    XFCONFD=$(compgen -G '/usr/lib/*/xfce4/xfconf/xfconfd' | head -n 1)
    [ -x "$XFCONFD" ] || skip "xfconfd is not installed (scripts/setup.sh installs xfconf)"
    STRIP=1024x31+0+0 PANEL_CMD=(xfce4-panel --disable-wm-check)
    # One panel along the top holding only the status tray, as Debian's default panel has it; the settings store
    # comes with the panel's session.
    panel_setup() {
        local dir=$WORK/panel-home/.config/xfce4/xfconf/xfce-perchannel-xml
        mkdir -p "$dir"
        cat >"$dir/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0"><property name="configver" type="int" value="2"/>
  <property name="panels" type="array"><value type="int" value="1"/>
    <property name="dark-mode" type="bool" value="false"/>
    <property name="panel-1" type="empty"><property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/><property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property></property></property>
  <property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray">
    <property name="square-icons" type="bool" value="true"/></property></property></channel>
XML
        spawn xfconfd "${PANEL_ENV[@]}" "$XFCONFD"
        MUST_LIVE+=("$SPAWNED:xfconfd")
    }
    theme_set() {
        wait_for 10 "xfconf-query" "${PANEL_ENV[@]}" xfconf-query -c xfce4-panel -p /panels/dark-mode -n -t bool \
            -s "$([ "$1" = dark ] && echo true || echo false)"
    }
    ;;
lxqt)
    require Xvfb lxqt-panel xwininfo xdotool import
    [ -d /usr/share/lxqt/themes/dark ] || skip "LXQt's themes are not installed (scripts/setup.sh installs lxqt-themes)"
    # lxqt-panel 1.2 does not read ItemIsMenu: a left click activates the item, the right button opens its menu.
    STRIP=1024x30+0+0 PANEL_CMD=(lxqt-panel) MENU_BUTTON=3
    panel_setup() {
        mkdir -p "$WORK/panel-home/.config/lxqt"
        printf '%s\n' '[General]' __userfile__=true panels=panel1 '[panel1]' plugins=statusnotifier position=Top \
            panelSize=30 iconSize=22 lineCount=1 width=100 width-percent=true hidable=false '[statusnotifier]' \
            type=statusnotifier alignment=Left >"$WORK/panel-home/.config/lxqt/panel.conf"
    }
    # The panel follows its settings file while it runs.
    theme_set() { printf '[General]\n__userfile__=true\ntheme=%s\n' "$1" >"$WORK/panel-home/.config/lxqt/lxqt.conf"; }
    ;;
waybar)
    require Xvfb xdotool sway swaymsg waybar grim setpriv
    id nobody >/dev/null 2>&1 || skip "there is no user \"nobody\" to run sway as"
    KIND=wayland
    panel_setup() {
        printf '{"layer": "top", "position": "top", "height": 30, "modules-right": ["tray"], "tray": {"spacing": 8}}\n' \
            >"$USER_DIR/waybar/config"
        PANEL_CMD=(waybar -c "$USER_DIR/waybar/config" -s "$USER_DIR/waybar/style.css")
    }
    # The tray takes its colours from the bar; waybar reads its style again on SIGUSR2.
    theme_set() {
        local background='#f2f2f2' text='#1e1e1e'
        [ "$1" = dark ] && background='#1d1f21' text='#e8e8e8'
        printf '* { font-family: sans-serif; font-size: 13px; }\nwindow#waybar { background: %s; color: %s; }\n' \
            "$background" "$text" >"$USER_DIR/waybar/style.css"
    }
    ;;
*) fail "$usage" ;;
esac
theme_switch() { theme_set "$1" && { [ $KIND = x11 ] || kill -USR2 "$PANEL_PID"; }; }

elapsed() { awk -v now="$EPOCHREALTIME" -v then="$1" 'BEGIN { printf "%.1f", now - then }'; }
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 >= b + 0) }'; }
# verdict STATUS: "ok" for 0.
verdict() { if [ "$1" = 0 ]; then echo ok; else echo FAIL; fi; }

# The display, the panel and tavix-menu: on X, an Xvfb display the test's tools reach directly.
if [ $KIND = x11 ]; then
    session_start() {
        start_xvfb "$((1024 * SCALE))x$((768 * SCALE))"
        # A blue desktop, as on sway: a menu in black or in white stands out from it.
        convert -size 8x8 xc:'#336699' "$WORK/desktop.png" && display -window root "$WORK/desktop.png" 2>/dev/null
        local w h x y
        IFS='x+' read -r w h x y <<<"$STRIP"
        STRIP="$((w * SCALE))x$((h * SCALE))+$((x * SCALE))+$((y * SCALE))"
        STATE="$WORK/app-state"
        new_dirs "$WORK/app"
        new_dirs "$WORK/panel"
        PANEL_ENV=(env HOME="$WORK/panel-home" XDG_CONFIG_HOME="$WORK/panel-home/.config" XDG_RUNTIME_DIR="$WORK/panel-run"
            DISPLAY="$DISPLAY" XDG_DATA_DIRS="$DATA_DIRS" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$SCALE" GDK_SCALE="$SCALE")
        panel_setup
    }
    app_start() {
        app_env "$STATE" "$WORK/app-run" "$WORK/app-home" "$DBUS_SESSION_BUS_ADDRESS"
        spawn app "${APP_ENV[@]}" XDG_DATA_DIRS="$DATA_DIRS" QT_SCALE_FACTOR="$SCALE" "$APP"
        APP_PID=$SPAWNED
        MUST_LIVE+=("$APP_PID:tavix-menu")
    }
    app_ids() { xdotool search --onlyvisible --classname '^tavix-menu$' 2>/dev/null; }
    app_window_count() { app_windows | wc -l; }
    # To the right edge, clear of the panel's menu at the left, which some panels cannot be told apart from a window
    # behind it.
    app_windows_aside() { for id in $(app_ids); do xdotool windowmove "$id" $((464 * SCALE)) $((150 * SCALE)); done; }
    # Every shown window: the desktop file's class, its name in the two properties desktops read, an icon.
    app_identity() {
        local id class property problems=() count=0
        for id in $(app_ids); do
            count=$((count + 1))
            class=$(xprop -id "$id" -notype WM_CLASS | sed -n 's/^WM_CLASS = "[^"]*", "\([^"]*\)"$/\1/p')
            [ -n "$WM_CLASS_WANTED" ] && [ "$class" = "$WM_CLASS_WANTED" ] || problems+=("$id class \"$class\"")
            for property in _KDE_NET_WM_DESKTOP_FILE _GTK_APPLICATION_ID; do
                [ "$(xprop -id "$id" -notype "$property")" = "$property = \"app.tavix.menu\"" ] || problems+=("$id $property")
            done
            [[ $(xprop -id "$id" _NET_WM_ICON) == *"Icon ("* ]] || problems+=("$id without _NET_WM_ICON")
        done
        IDENTITY="$count windows, class \"$class\", _NET_WM_ICON"
        [ ${#problems[@]} -eq 0 ] || IDENTITY="${problems[*]}"
        [ "$count" -ge 2 ] && [ ${#problems[@]} -eq 0 ]
    }
    alert_close() {
        for id in $(app_ids); do
            [[ $(xwininfo -id "$id") == *"Width: $((560 * SCALE))"* ]] || xdotool windowfocus --sync "$id" key Return
        done
    }
else
    # On sway, as "nobody"; the app's state is inside that user's folder.
    session_start() {
        USER_DIR="$WORK/user"
        STATE="$USER_DIR/state"
        mkdir -p "$USER_DIR"/{home,run,state,waybar}
        printf 'output X11-1 resolution %dx%d scale %d background #336699 solid_color\nxwayland disable\n' \
            $((1024 * SCALE)) $((768 * SCALE)) "$SCALE" >"$USER_DIR/sway.conf"
        chown -R nobody: "$USER_DIR"
        chmod 700 "$USER_DIR" "$USER_DIR/run"
        # The sanitizer settings reach tavix-menu, with the same exception as under X (see app_env).
        local keep=(ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0") name
        for name in LSAN_OPTIONS UBSAN_OPTIONS; do [ -z "${!name:-}" ] || keep+=("$name=${!name}"); done
        PANEL_ENV=(setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin "${keep[@]}"
            HOME="$USER_DIR/home" XDG_RUNTIME_DIR="$USER_DIR/run" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
            XDG_DATA_DIRS="$DATA_DIRS")
        # On the X display as its output and input: xdotool's pointer reaches sway as a real one would.
        start_xvfb "$((1024 * SCALE))x$((768 * SCALE))"
        spawn sway "${PANEL_ENV[@]}" DISPLAY="$DISPLAY" WLR_BACKENDS=x11 WLR_RENDERER=pixman sway -c "$USER_DIR/sway.conf"
        MUST_LIVE+=("$SPAWNED:sway")
        wait_for 20 "sway's sockets" sway_up
        PANEL_ENV+=(WAYLAND_DISPLAY=wayland-1 SWAYSOCK="$(compgen -G "$USER_DIR/run/sway-ipc.*")")
        # In the output's pixels, as the screenshots have them.
        STRIP=$((1024 * SCALE))x$((30 * SCALE))+0+0
        panel_setup
    }
    sway_up() { compgen -G "$USER_DIR/run/sway-ipc.*" >/dev/null && [ -S "$USER_DIR/run/wayland-1" ]; }
    app_start() {
        spawn app "${PANEL_ENV[@]}" XDG_SESSION_TYPE=wayland TAVIX_HOME="$STATE" "$APP"
        APP_PID=$SPAWNED
        MUST_LIVE+=("$APP_PID:tavix-menu")
    }
    # The windows of tavix-menu in sway's tree, one line each: "ID APP_ID WIDTHxHEIGHT STATE", with STATE "focused",
    # "urgent" or "behind".
    app_views() {
        "${PANEL_ENV[@]}" swaymsg -t get_tree | python3 -c '
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
    app_window_count() { app_views | wc -l; }
    # The bar's menu opens above every window.
    app_windows_aside() { :; }
    # On Wayland a window names its program by its app id, the desktop file's name.
    app_identity() {
        local ids
        ids=$(app_views | awk '{print $2}' | sort | uniq -c | xargs)
        IDENTITY="app id: $ids"
        [[ $ids =~ ^[2-9]\ app\.tavix\.menu$ ]]
    }
    alert_close() {
        for id in $(app_views | awk '$3 != "560x600" {print $1}'); do "${PANEL_ENV[@]}" swaymsg "[con_id=$id] kill" >/dev/null; done
    }
    settings_window_state() { app_views | awk '$3 == "560x600" {print $4; found = 1} END {if (!found) print "gone"}'; }
    shot() { "${PANEL_ENV[@]}" grim - >"$1"; }
fi
pointer() { xdotool mousemove "$1" "$2" ${3:+click "$3"}; }

panel_start() {
    theme_set "$1"
    spawn panel "${PANEL_ENV[@]}" "${PANEL_CMD[@]}"
    PANEL_PID=$SPAWNED
    MUST_LIVE+=("$PANEL_PID:${PANEL_CMD[0]}")
}
# The panel gone, with any plugin process of its own (XFCE's tray runs in one), and its watcher off the bus.
panel_stop() {
    local plugins
    unwatch "$PANEL_PID"
    plugins=$(pgrep -P "$PANEL_PID")
    stop "$PANEL_PID"
    forget "$PANEL_PID"
    for pid in $plugins; do stop "$pid"; done
    wait_for 10 "the panel's watcher to leave the bus" watcher_gone
}

# The panel's StatusNotifierWatcher and the item it lists for tavix-menu.
watcher_get() {
    gdbus call --session --timeout 5 --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1" 2>/dev/null
}
watcher_gone() { ! watcher_get ProtocolVersion >/dev/null; }
host_registered() { [[ $(watcher_get IsStatusNotifierHostRegistered) == *true* ]]; }
bus_pid() {
    gdbus call --session --timeout 5 --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.GetConnectionUnixProcessID "$1" 2>/dev/null | sed -n 's/.*uint32 \([0-9]*\).*/\1/p'
}
# Sets ITEM_SERVICE and ITEM_PATH when the watcher lists an item of tavix-menu's process.
item_registered() {
    local entry
    for entry in $(watcher_get RegisteredStatusNotifierItems | grep -o "'[^']*'" | tr -d "'"); do
        ITEM_SERVICE=${entry%%/*} ITEM_PATH=/StatusNotifierItem
        [[ $entry == */* ]] && ITEM_PATH=/${entry#*/}
        [ "$(bus_pid "$ITEM_SERVICE")" = "$APP_PID" ] && return 0
    done
    return 1
}
item_get() {
    gdbus call --session --timeout 5 --dest "$ITEM_SERVICE" --object-path "$ITEM_PATH" \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1" 2>/dev/null | grep -o "'[^']*'" | tr -d "'"
}
# The tooltip as a panel shows it: its title, and its text after a middle dot when there is one.
tooltip_is() {
    local texts
    mapfile -t texts < <(item_get ToolTip)
    LAST_SEEN="${texts[1]:-}${texts[2]:+ · ${texts[2]}}"
    [ "$LAST_SEEN" = "$1" ]
}

# The menu rows as the item serves them (the probe's own bus names kept apart from the panel's calls).
served_rows() { PROBE_NAMES="$WORK/probe-names" "$PROBE" served "$ITEM_SERVICE" "$MENU_PATH"; }
served_has() {
    LAST_SEEN=$(served_rows | head -n 1)
    served_rows | grep -qxF "$1"
}
# panel_sent MEMBER [TYPE]: calls of MEMBER by the panel (anyone but this test's probe) in the bus monitor's log; with
# TYPE, the menu events of that type ("clicked", "closed", …) in them, alone (Event) or in batches (EventGroup).
panel_sent() {
    awk -v member="member=$1" -v type="${2:+string \"$2\"}" -v names="$WORK/probe-names" '
        BEGIN { while ((getline name < names) > 0) probe[name] = 1 }
        /^(method call|signal|method return|error) / { mine = 0 }
        /^method call / && index($0, member) {
            s = $0; sub(/.*sender=/, "", s); sub(/ .*/, "", s); mine = !(s in probe); n += mine && type == ""
        }
        mine && type != "" && $1 " " $2 == type { n++ }
        END { print n + 0 }' "$WORK/monitor.out"
}
# How the panel sent its events: "EventGroup ×1" and the like.
event_calls() { grep -o 'member=Event[A-Za-z]*' "$WORK/monitor.out" | sort | uniq -c | awk '{printf "%s%s ×%s", sep, substr($2, 8), $1; sep = ", "}'; }

# strip_hash FILE: the panel's pixels, to see when the panel has settled.
strip_hash() { convert "$1" -crop "$STRIP" +repage rgb:- 2>/dev/null | md5sum; }
# settled_shot FILE: a screenshot once two in a row show the panel the same.
settled_shot() {
    local last='' now
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        sleep 0.3
        shot "$1" || continue
        now=$(strip_hash "$1")
        [ "$now" = "$last" ] && return 0
        last=$now
    done
    return 1
}
# icon_found: a settled screenshot in $WORK/now.png where the panel differs from its picture without the item;
# the place in ICON_BOX.
icon_found() {
    settled_shot "$WORK/now.png" || return 1
    ICON_BOX=$("$PROBE" icon "$WORK/reference.png" "$WORK/now.png" "$STRIP")
    LAST_SEEN="difference $ICON_BOX"
    [[ $ICON_BOX != none* ]]
}
# contrast: of the icon in $WORK/now.png, "C" in CONTRAST and the probe's details in CONTRAST_SEEN; fails below 3:1.
contrast() {
    CONTRAST_SEEN=$("$PROBE" contrast "$WORK/now.png" "$ICON_BOX" "$STRIP")
    CONTRAST=$(awk '{print $2}' <<<"$CONTRAST_SEEN")
    at_least "${CONTRAST:-0}" 3
}
icon_visible() { settled_shot "$WORK/now.png" && "$PROBE" contrast "$WORK/now.png" "$ICON_BOX" "$STRIP" >/dev/null; }
switched() { settled_shot "$WORK/now.png" && [ "$(strip_hash "$WORK/now.png")" != "$BEFORE_SWITCH" ]; }
case_name() { printf '%s-%s-%s%s' "$PANEL" "$ORDER" "$THEME" "$([ "$SCALE" = 1 ] || echo "-x$SCALE")"; }
keep() { convert "$WORK/now.png" -crop "$STRIP" +repage "$OUT/$(case_name)-$1.png"; }

# Results of the case, one field each, in the order of the line.
FIELDS=(icon contrast known tooltip title logo rows command forward refresh restart switch)
declare -A RESULT
record() {
    RESULT[$1]="$2 ${*:3}"
    [ "$2" = ok ] || CASE_FAILED=1
}
case_end() {
    local status=$? field line="result: panel=$PANEL order=$ORDER theme=$THEME"
    [ "$SCALE" = 1 ] || line+=" scale=$SCALE"
    trap - EXIT
    for field in "${FIELDS[@]}"; do line+=" | $field ${RESULT[$field]:--}"; done
    [ $status -eq 0 ] || [ -z "${CASE_ERROR:-}" ] || line+=" | stopped: $CASE_ERROR"
    printf '%s\n' "$line"
    (exit "$status")
    cleanup
}

app_shown() { [ "$(app_window_count)" -ge 1 ]; }
two_windows() { [ "$(app_window_count)" -ge 2 ]; }
one_window() { [ "$(app_window_count)" -eq 1 ]; }
# known_check: the windows of tavix-menu, the settings window and an alert it is asked for, as the desktop sees them.
known_check() {
    if ! poll 30 "the settings window of an unpaired computer" app_shown; then
        record known FAIL "not tried: no settings window"
        return
    fi
    gdbus call --session --timeout 5 --dest app.tavix.menu --object-path /app/tavix/menu \
        --method org.freedesktop.Application.ActivateAction usbHelp '[]' '{}' >/dev/null
    if ! poll 10 "an alert beside the settings window" two_windows; then
        record known FAIL "not tried: no alert"
    else
        app_identity
        record known "$(verdict $?)" "$IDENTITY"
    fi
    alert_close
    wait_for 10 "the alert to close" one_window
}

drawn_shape() { awk '{print $3}' <<<"${MENU:-none}"; }
# The rows as an "r" each and the separators as "-", as the probe reads a drawn menu.
served_shape() { awk '{printf "%s", $0 == "-" ? "-" : "r"}' <<<"$1"; }
# menu_open: a menu in MENU that shows the same rows in two screenshots in a row, the slot SLOT left out.
menu_open() {
    shot "$WORK/now.png" && MENU=$("$PROBE" menu "$WORK/before.png" "$WORK/now.png" "$SLOT") &&
        [ "$(drawn_shape | tr -cd r | wc -c)" -ge 3 ] && sleep 0.3 && shot "$WORK/now.png" &&
        [ "$("$PROBE" menu "$WORK/before.png" "$WORK/now.png" "$SLOT")" = "$MENU" ]
}
# open_menu: the panel's menu opened by a click on the icon, in MENU, after CLICKS clicks (a panel that has not
# fetched the menu yet shows nothing: a user clicks again).
open_menu() {
    local x=0 y=0 w=0 h=0
    [ -n "$icon_box" ] && IFS='x+' read -r w h x y <<<"$icon_box"
    pointer $((x + w / 2)) $((y + h / 2))
    sleep 0.3
    shot "$WORK/before.png"
    # The slot of the icon changes as it is pressed: the icon's column across the panel, with a margin.
    SLOT=$(awk -F'[x+]' -v x="$x" -v w="$w" '{print w + 16 "x" $2 "+" (x > 8 ? x - 8 : 0) "+" $4}' <<<"$STRIP")
    MENU='' CLICKS=0
    [ -n "$icon_box" ] || return 1
    for CLICKS in 1 2; do
        pointer $((x + w / 2)) $((y + h / 2)) "$MENU_BUTTON"
        poll 5 "menu" menu_open && return 0
    done
    return 1
}
# click_row TITLE: clicks the row of the open menu with that title, where the panel drew it.
click_row() {
    local row centres w h x y
    row=$(served_rows | grep -vx -- - | grep -nx "$1" | cut -d: -f1)
    read -ra centres <<<"${MENU##* rows}"
    IFS='x+' read -r w h x y <<<"${MENU%% *}"
    [ -n "$row" ] && pointer $((x + w / 2)) "${centres[row - 1]}" 1
}
window_behind() { [ "$(settings_window_state)" = behind ]; }
window_forward() { [[ $(settings_window_state) == @(focused|urgent) ]]; }

# forward_check: another program's window over the settings window, then "Connection & Settings…" in the panel's
# menu; the settings window comes forward or asks for attention. A window of fixed size floats in sway, the newest
# on top: the probe's covers the settings window.
forward_check() {
    spawn other "${PANEL_ENV[@]}" QT_QPA_PLATFORM=wayland "$PROBE" window
    local other=$SPAWNED
    if ! poll 10 "another program's window in front of the settings window" window_behind; then
        record forward FAIL "not tried: the settings window is $(settings_window_state), not behind"
    elif ! open_menu; then
        record forward FAIL "not tried: no menu"
    else
        click_row "Connection & Settings…"
        poll 5 "the settings window to come forward" window_forward
        record forward "$(verdict $?)" "behind → $(settings_window_state)"
    fi
    stop "$other"
    forget "$other"
}

# panel_case ORDER THEME [SCALE]: ORDER "panel-first" or "app-first".
panel_case() {
    ORDER=$1 THEME=$2 SCALE=${3:-1}
    local other=dark started delay in_time=ok icon_box=
    [ "$THEME" = dark ] && other=light
    WORK=$(mktemp -d "$TOP_WORK/case.XXXXXX") || exit 1
    chmod 711 "$WORK"
    PIDS=() MUST_LIVE=() CASE_FAILED=0 CASE_ERROR=
    fail() {
        CASE_ERROR=$*
        note "FAIL: $*" >&2
        exit 1
    }
    trap case_end EXIT
    start_bus
    session_start
    # The monitor's output is read, not shown with the logs of a failure.
    dbus-monitor --address "$DBUS_SESSION_BUS_ADDRESS" "interface='com.canonical.dbusmenu'" >"$WORK/monitor.out" 2>&1 &
    PIDS+=($!)
    : >"$WORK/probe-names"
    pointer 2 700

    # The panel without the item: what the item is found against.
    panel_start "$THEME"
    wait_for 20 "the panel's StatusNotifier host" host_registered
    settled_shot "$WORK/reference.png" || fail "the panel did not settle"
    if [ "$ORDER" = app-first ]; then
        panel_stop
        app_start
        wait_for 30 "tavix-menu started before the panel" app_shown
        panel_start "$THEME"
        wait_for 20 "the panel's StatusNotifier host" host_registered
    fi
    started=$EPOCHREALTIME
    [ "$ORDER" = app-first ] || app_start

    # Registered and drawn, legible; started before the panel, as at login, the icon is there within 2 s of the
    # panel's host.
    if ! poll 10 "item registered with the panel" item_registered; then
        record icon FAIL "not registered: $(watcher_get RegisteredStatusNotifierItems)"
        exit 1
    fi
    delay=$(elapsed "$started")
    [ "$ORDER" = app-first ] && at_least "$delay" $((2 * SLOW)).01 && in_time=FAIL
    if poll 10 "icon drawn in the panel" icon_found; then
        icon_box=$ICON_BOX
        record icon "$in_time" "$ICON_BOX, registered +${delay}s"
        keep panel
        if contrast; then record contrast ok "$CONTRAST"; else record contrast FAIL "$CONTRAST_SEEN"; fi
    else
        keep panel
        convert "$WORK/reference.png" -crop "$STRIP" +repage "$OUT/$(case_name)-without.png"
        record icon FAIL "registered +${delay}s, nothing drawn differs from the panel ($LAST_SEEN)"
        record contrast FAIL "1.00, invisible"
    fi

    # What the windows tell the desktop: the settings window (open for an unpaired computer) and an alert.
    known_check

    # Tooltip, unpaired and then paired; the title panels list the item by.
    local unpaired=ok title logo want=$((17 * (SCALE > 2 ? SCALE : 2)))
    poll 10 "tooltip" tooltip_is "Tavix Link · Not paired" || unpaired="FAIL \"$LAST_SEEN\""
    printf 'e2e-token' >"$STATE/token"
    write_status '"connected": true'
    if poll 10 "tooltip" tooltip_is "Tavix Link · Connected" && [ "$unpaired" = ok ]; then
        record tooltip ok "\"Tavix Link · Not paired\", \"Tavix Link · Connected\""
    else
        record tooltip FAIL "unpaired $unpaired, paired \"$LAST_SEEN\""
    fi
    title=$(item_get Title)
    [ "$title" = "Tavix Link" ]
    record title "$(verdict $?)" "\"$title\""
    MENU_PATH=$(item_get Menu)
    # The header row's logo: big enough for the scale, and by name where the icon theme has it.
    logo=$("$PROBE" logo "$ITEM_SERVICE" "$MENU_PATH")
    if [ "${logo%%x*}" -ge "$want" ] 2>/dev/null && [ "${logo#* }" = app.tavix.menu ]; then
        record logo ok "${logo% *}, named \"${logo#* }\""
    else
        record logo FAIL "\"$logo\", wanted at least ${want}x$want named \"app.tavix.menu\""
    fi

    # The menu through the panel: a click on the icon.
    local windows core served shape layouts problems=()
    app_windows_aside
    windows=$(app_window_count)
    open_menu
    core=$("$PROBE" rows "$STATE")
    served=$(served_rows)
    layouts=$(panel_sent GetLayout)
    shape=$(drawn_shape)
    [ "$(app_window_count)" -le "$windows" ] || problems+=("the click opened a window of tavix-menu, not the panel's menu")
    [ -n "$icon_box" ] || problems+=("no icon to click")
    [ -z "$icon_box" ] || [[ ${MENU:-none} != none* ]] || problems+=("no menu opened on $CLICKS clicks")
    [ "$layouts" -gt 0 ] || problems+=("the panel never called GetLayout")
    [ "$served" = "$core" ] || problems+=("served ≠ core: $(diff <(printf '%s\n' "$core") <(printf '%s\n' "$served") |
        grep '^[<>]' | head -n 4 | tr '\n' ' ')")
    [[ ${MENU:-none} == none* ]] || [ "$shape" = "$(served_shape "$served")" ] ||
        problems+=("drawn rows and separators $shape, served $(served_shape "$served")")
    if [ ${#problems[@]} -eq 0 ]; then
        record rows ok "$(tr -cd r <<<"$shape" | wc -c) rows as the core's, GetLayout ×$layouts$([ "$MENU_BUTTON" = 1 ] || echo ", right click")$([ "$CLICKS" = 1 ] || echo ", on a second click")"
    else
        record rows FAIL "$(printf '%s; ' "${problems[@]}")"
    fi
    if [[ ${MENU:-none} != none* ]]; then
        local w h x y
        IFS='x+' read -r w h x y <<<"${MENU%% *}"
        convert "$WORK/now.png" -crop "$((x + w + 8))x$((y + h + 8))+0+0" +repage "$OUT/$(case_name)-menu.png"
    fi

    # "Pause New Tasks", clicked in the open menu where the panel drew it.
    if [[ ${RESULT[rows]} != ok* ]] || ! click_row "Pause New Tasks"; then
        record command FAIL "not tried: no menu of the panel's with a \"Pause New Tasks\" row"
    elif ! poll 5 "paused marker" test -e "$STATE/paused"; then
        record command FAIL "no \"paused\" file after the click; the panel sent \"clicked\" ×$(panel_sent Event clicked) ($(event_calls))"
    elif [ "$(panel_sent Event clicked)" -eq 0 ]; then
        record command FAIL "paused, but no \"clicked\" Event reached the item"
    else
        record command ok "\"clicked\" ($(event_calls)) → paused"
    fi
    # Away from the panel; a menu still open is closed by a click beside it.
    pointer 2 700 "$([[ ${RESULT[command]} == *"not tried"* ]] && echo 1)"

    # "Connection & Settings…" again, with the settings window behind another program's window.
    [ $KIND = x11 ] || forward_check

    # A status change reaches the closed menu.
    write_status '"connected": true, "devices": [{"model": "Pixel 8", "state": "device"}]'
    started=$EPOCHREALTIME
    if poll 10 "phone row" served_has "Phone: Pixel 8 · connected (disabled)"; then
        record refresh ok "$(elapsed "$started")s, \"closed\" events ×$(panel_sent Event closed)"
    else
        record refresh FAIL "no phone row, first row \"$LAST_SEEN\", \"closed\" events ×$(panel_sent Event closed)"
    fi

    # The panel restarts: the item registers again and is drawn again.
    panel_stop
    panel_start "$THEME"
    started=$EPOCHREALTIME
    if ! poll 10 "item registered with the restarted panel" item_registered; then
        record restart FAIL "not registered again"
    elif ! poll 10 "icon drawn in the restarted panel" icon_found; then
        record restart FAIL "registered again, not drawn ($LAST_SEEN)"
    else
        keep restarted
        contrast
        record restart "$(verdict $?)" "+$(elapsed "$started")s, $ICON_BOX, contrast $CONTRAST"
    fi

    # The theme switched while both run: the icon in the same place, legible in the new colours.
    if [ -z "$icon_box" ]; then
        record switch FAIL "not measured: the icon was never seen"
    else
        BEFORE_SWITCH=$(strip_hash "$WORK/now.png")
        ICON_BOX=$icon_box
        theme_switch "$other"
        local same=
        poll 5 "panel in the $other theme" switched || same=", the panel looks the same"
        # A panel may draw its items anew after a switch: give the icon time to come back.
        poll 10 "icon after the switch" icon_visible || true
        keep switched
        contrast
        record switch "$(verdict $?)" "to $other, contrast $CONTRAST$same"
    fi
    exit "$CASE_FAILED"
}

# Each order and each theme once, and one case at scale 2 (every case also switches the theme while running);
# PANEL_CASES=all runs both orders in both themes, or names "ORDER:THEME[:SCALE]" cases. A case that fails does not
# stop the next.
cases=${PANEL_CASES:-panel-first:light app-first:dark panel-first:dark:2}
[ "$cases" = all ] && cases="panel-first:light panel-first:dark app-first:light app-first:dark panel-first:dark:2"
failed=0 count=0
for one in $cases; do
    count=$((count + 1))
    IFS=: read -ra fields <<<"$one"
    (panel_case "${fields[@]}") || failed=$((failed + 1))
done
note "$count cases, $failed failed; screenshots in $OUT"
[ $failed -eq 0 ]
