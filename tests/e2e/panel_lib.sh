# shellcheck shell=bash
# Shared by the tests in real panels. One case starts a panel and tavix-menu in a given order and theme, on a
# display and session bus of its own, checks what a user of that panel sees and prints one result line:
#   icon      the item registers with the panel's watcher and is drawn in the panel (found against a screenshot of
#             the same panel without it), with how long after the panel's host it registered
#   contrast  of the icon against the panel behind it
#   tooltip   the item's ToolTip over D-Bus, unpaired and paired; title  its Title
#   rows      the menu opened by a click on the icon is the panel's own (not a window of tavix-menu), the panel
#             fetched it with GetLayout, its rows are exactly the core's and it draws them all, with the separators
#             between the same rows
#   command   a click on "Pause New Tasks" in that menu reaches the item as an Event and pauses the bridge
#   refresh   a status change shows in the served rows while the menu is closed
#   known     the windows of tavix-menu (its settings window and an alert) tell the desktop which program they are:
#             the class the desktop file names and an icon on X11, the desktop file's name as app id on Wayland
#   logo      the header row's logo: its icon-data at least twice its 17 units, and by name from the icon theme
#   forward   "Connection & Settings…" chosen again with the settings window behind another program's window: the
#             window is focused, or marked urgent where the compositor keeps the focus where it is
#   restart   the icon comes back after the panel restarts; switch  its contrast after a theme switch
#
# A panel script sources this file and defines these hooks, then calls run_cases:
#   session_start              the display of one case; sets STRIP ("WxH+X+Y", the panel's strip) and STATE
#                              (the state folder tavix-menu will use); on X, x11_session STRIP does both
#   panel_start THEME          the panel in THEME ("light" or "dark")
#   panel_stop                 optional: the panel gone (else: stops PANEL_PID and waits for its watcher to leave)
#   panel_ready                optional: the panel's tray is up (else: its watcher has a host registered)
#   theme_switch THEME         optional: the running panel to THEME
#   app_start                  optional: tavix-menu on that display and the case's bus (else: on the X display, with
#                              what app_env_extra adds to APP_ENV when it is defined); sets APP_PID
#   app_window_count           optional: how many windows of tavix-menu are on screen (else: counted on X)
#   app_windows_aside          optional: moves them away from where the panel's menu opens (else: on X, to the right)
#   app_up                     optional: tavix-menu has started (else: it shows a window)
#   shot FILE                  optional: a PNG of the whole screen (else: of the X display)
#   pointer X Y [BUTTON]       optional: moves the pointer there, and clicks BUTTON (1 left, 3 right) when given
#                              (else: with xdotool)
#   app_identity               optional: true when every shown window of tavix-menu names the program as the desktop
#                              file does, with what was seen in IDENTITY (else: checked on X)
#   alert_close                optional: closes the alert of tavix-menu (else: on X)
#   other_window_start / _stop optional, both or neither: another program's window, in front of the settings window
#   settings_window_state      with those: "focused", "urgent", "behind" or "gone"
# and may set MENU_BUTTON, the button that opens the item's menu in that panel (1 unless set). A desktop that runs
# as a nested Wayland compositor calls nested_session_hooks DESKTOP SOCKET. A case runs at the scale SCALE (1 or 2),
# which the panel and tavix-menu are both given.
# Usage of a panel script: SCRIPT TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]

APP=${1:?usage: $0 TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]}
PROBE=${2:?usage: $0 TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]}
OUT=${3:-$PWD}
# shellcheck source=e2e_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/e2e_lib.sh" || exit 1
[ -x "$APP" ] || fail "no program at $APP"
[ -x "$PROBE" ] || fail "no program at $PROBE"
require dbus-daemon dbus-monitor gdbus convert
slow_factor "$APP"
mkdir -p "$OUT"
chmod 711 "$WORK" # an unprivileged panel user reaches its own folders inside
TOP_WORK=$WORK
STATE=
SCALE=1
# The program's icons where an installed copy has them (the build's share/icons), after the system's: the panel and
# the program look its themed icon up there.
DATA_DIRS="/usr/local/share:/usr/share:$(cd "${APP%/*}/../share" 2>/dev/null && pwd)"
# The window class the desktop file names, which every window of the program must carry on X.
WM_CLASS_WANTED=$(sed -n 's/^StartupWMClass=//p' "${BASH_SOURCE[0]%/*}/../../data/app.tavix.menu.desktop")

elapsed() { awk -v now="$EPOCHREALTIME" -v then="$1" 'BEGIN { printf "%.1f", now - then }'; }
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 >= b + 0) }'; }

# The panel's StatusNotifierWatcher and the item it lists for tavix-menu.
watcher_get() {
    gdbus call --session --timeout 5 --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1" 2>/dev/null
}
host_registered() { [[ $(watcher_get IsStatusNotifierHostRegistered) == *true* ]]; }
tray_up() { if declare -F panel_ready >/dev/null; then panel_ready; else host_registered; fi; }
bus_pid() {
    gdbus call --session --timeout 5 --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.GetConnectionUnixProcessID "$1" 2>/dev/null | sed -n 's/.*uint32 \([0-9]*\).*/\1/p'
}
# Sets ITEM_SERVICE and ITEM_PATH when the watcher lists an item of tavix-menu's process.
item_registered() {
    local entry
    for entry in $(watcher_get RegisteredStatusNotifierItems | grep -o "'[^']*'" | tr -d "'"); do
        # GNOME's AppIndicator extension lists an item registered by its path as "SERVICE@PATH".
        ITEM_SERVICE=${entry%%/*}
        ITEM_SERVICE=${ITEM_SERVICE%@}
        ITEM_PATH=/StatusNotifierItem
        [[ $entry == */* ]] && ITEM_PATH=/${entry#*/}
        [ "$(bus_pid "$ITEM_SERVICE")" = "$APP_PID" ] && return 0
    done
    return 1
}
item_get() {
    gdbus call --session --timeout 5 --dest "$ITEM_SERVICE" --object-path "$ITEM_PATH" \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1" 2>/dev/null
}
# The tooltip as a panel shows it: its title, and its text after a middle dot when there is one.
tooltip() {
    local texts
    mapfile -t texts < <(item_get ToolTip | grep -o "'[^']*'" | tr -d "'")
    printf '%s%s' "${texts[1]:-}" "${texts[2]:+ · ${texts[2]}}"
}
tooltip_is() {
    LAST_SEEN=$(tooltip)
    [ "$LAST_SEEN" = "$1" ]
}

# The menu rows: as the core builds them from the state folder, and as the item serves them.
core_rows() { "$PROBE" rows "$STATE"; }
served_rows() { PROBE_NAMES="$WORK/probe-names" "$PROBE" served "$ITEM_SERVICE" "$MENU_PATH"; }
served_has() {
    LAST_SEEN=$(served_rows | head -n 1)
    served_rows | grep -qxF "$1"
}

# What the panel (anyone but this test's probe) asked of the menu, from the bus monitor's log.
panel_calls() {
    awk -v member="$1" -v names="$WORK/probe-names" '
        BEGIN { while ((getline name < names) > 0) probe[name] = 1 }
        /^method call / && index($0, "member=" member) {
            sender = $0; sub(/.*sender=/, "", sender); sub(/ .*/, "", sender)
            if (!(sender in probe)) n++
        }
        END { print n + 0 }' "$WORK/monitor.out"
}
# events TYPE: menu events of that type ("clicked", "closed", …) the panel sent, alone (Event) or in batches
# (EventGroup).
events() {
    awk -v type="string \"$1\"" -v names="$WORK/probe-names" '
        BEGIN { while ((getline name < names) > 0) probe[name] = 1 }
        /^(method call|signal|method return|error) / { event = 0 }
        /^method call / && index($0, "member=Event") {
            s = $0; sub(/.*sender=/, "", s); sub(/ .*/, "", s); event = !(s in probe)
        }
        event && $1 " " $2 == type { n++ }
        END { print n + 0 }' "$WORK/monitor.out"
}
# How the panel sent its events: "EventGroup ×1" and the like.
event_calls() { grep -o 'member=Event[A-Za-z]*' "$WORK/monitor.out" | sort | uniq -c | awk '{printf "%s%s ×%s", sep, substr($2, 8), $1; sep = ", "}'; }

# strip_hash FILE: the panel's pixels, to see when the panel has settled.
strip_hash() { convert "$1" -crop "$STRIP" +repage rgb:- 2>/dev/null | md5sum; }
# settled_shot FILE: a screenshot once two in a row show the panel the same.
settled_shot() {
    local last=
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        sleep 0.3
        shot "$1" || continue
        local now
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
# contrast FILE: "C" and the probe's details in CONTRAST_SEEN; fails below 3:1.
contrast() {
    CONTRAST_SEEN=$("$PROBE" contrast "$1" "$ICON_BOX" "$STRIP")
    CONTRAST=$(awk '{print $2}' <<<"$CONTRAST_SEEN")
    at_least "${CONTRAST:-0}" 3
}
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

write_status() {
    # "at" an hour ahead: the status stays fresh however slow the case runs.
    printf '{"at": %s, "connected": true%s}\n' "$(($(date +%s%3N) + 3600000))" "${1:-}" >"$STATE/status.json.tmp"
    mv "$STATE/status.json.tmp" "$STATE/status.json"
}

app_shown() { [ "$(app_window_count)" -ge 1 ]; }
# The hooks most panels share; a panel script defines its own after sourcing this file where it differs.
app_start() {
    app_env "$STATE" "$WORK/app-run" "$WORK/app-home" "$DBUS_SESSION_BUS_ADDRESS"
    ! declare -F app_env_extra >/dev/null || app_env_extra
    APP_ENV+=(XDG_DATA_DIRS="$DATA_DIRS" QT_SCALE_FACTOR="$SCALE")
    spawn app "${APP_ENV[@]}" "$APP"
    APP_PID=$SPAWNED
    MUST_LIVE+=("$APP_PID:tavix-menu")
}
app_window_count() { app_windows | wc -l; }
# To the right edge, clear of the panel's menu at the left, which some panels cannot be told apart from a window
# behind it.
app_windows_aside() {
    local id
    for id in $(xdotool search --onlyvisible --classname '^tavix-menu$' 2>/dev/null); do
        xdotool windowmove "$id" $((464 * SCALE)) $((150 * SCALE))
    done
}
# Every shown window of tavix-menu: the desktop file's class, its name in the two properties desktops read, an icon.
app_identity() {
    local id class property problems=() count=0
    for id in $(xdotool search --onlyvisible --classname '^tavix-menu$' 2>/dev/null); do
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
    local id
    for id in $(xdotool search --onlyvisible --classname '^tavix-menu$' 2>/dev/null); do
        [[ $(xwininfo -id "$id") == *"Width: $((560 * SCALE))"* ]] || xdotool windowfocus --sync "$id" key Return
    done
}
shot() { import -display "$DISPLAY" -window root "$1" 2>/dev/null; }
pointer() { xdotool mousemove "$1" "$2" ${3:+click "$3"}; }
watcher_gone() { ! watcher_get ProtocolVersion >/dev/null; }
# The panel as one process, PANEL_PID, holding the watcher.
panel_stop() {
    unwatch "$PANEL_PID"
    stop "$PANEL_PID"
    forget "$PANEL_PID"
    wait_for 10 "the panel's watcher to leave the bus" watcher_gone
}

# x11_session STRIP: the X display, the app's and the panel's folders, and where the panel's strip lies on screen
# (at scale 1; the screen and the strip grow with the scale).
x11_session() {
    start_xvfb "$((1024 * SCALE))x$((768 * SCALE))"
    # A blue desktop, as on sway: a menu in black or in white stands out from it.
    convert -size 8x8 xc:'#336699' "$WORK/desktop.png" && display -window root "$WORK/desktop.png" 2>/dev/null
    local w h x y
    IFS='x+' read -r w h x y <<<"$1"
    STRIP="$((w * SCALE))x$((h * SCALE))+$((x * SCALE))+$((y * SCALE))"
    STATE="$WORK/app-state"
    new_dirs "$WORK/app"
    new_dirs "$WORK/panel"
}

# A desktop (DESKTOP for XDG_CURRENT_DESKTOP) that runs on the X display or, with SESSION=wayland, as a compositor
# nested in it with its socket SOCKET in the panel's runtime folder. Windows inside a nested compositor cannot be
# counted from the outside display: there the program is up once it is on the bus, and its menu's window is not
# looked for.
nested_session_hooks() {
    NESTED_DESKTOP=$1
    NESTED_SOCKET=$2
    # Each case has a work folder of its own: the socket's path is known only when the program starts.
    app_env_extra() {
        APP_ENV+=(XDG_CURRENT_DESKTOP="$NESTED_DESKTOP")
        [ "$SESSION" != wayland ] ||
            APP_ENV+=(QT_QPA_PLATFORM=wayland XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY="$WORK/panel-run/$NESTED_SOCKET")
    }
    app_up() { if [ "$SESSION" = wayland ]; then app_on_bus; else app_shown; fi; }
    # The nested compositor's windows are out of reach of X's tools.
    [ "$SESSION" != wayland ] || unset -f app_identity
    app_window_count() {
        [ "$SESSION" = wayland ] && echo 0 && return
        xdotool search --onlyvisible --classname '^tavix-menu$' 2>/dev/null | wc -l
    }
    # Out of the way of the menu, which may open where the window manager's focus changes put it.
    app_windows_aside() {
        [ "$SESSION" = wayland ] && return
        for window in $(xdotool search --onlyvisible --classname '^tavix-menu$' 2>/dev/null); do
            xdotool windowmove "$window" 0 150
        done
    }
}

app_started() { if declare -F app_up >/dev/null; then app_up; else app_shown; fi; }
# tavix-menu has a connection of its own on the session bus.
app_on_bus() {
    local name
    for name in $(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.ListNames | grep -o "':[0-9.]*'" | tr -d "'"); do
        [ "$(bus_pid "$name")" = "$APP_PID" ] && return 0
    done
    return 1
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
icon_visible() { settled_shot "$WORK/now.png" && "$PROBE" contrast "$WORK/now.png" "$ICON_BOX" "$STRIP" >/dev/null; }
switched() { settled_shot "$WORK/now.png" && [ "$(strip_hash "$WORK/now.png")" != "$BEFORE_SWITCH" ]; }

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
    elif app_identity; then
        record known ok "$IDENTITY"
    else
        record known FAIL "$IDENTITY"
    fi
    alert_close
    wait_for 10 "the alert to close" one_window
}
two_windows() { [ "$(app_window_count)" -ge 2 ]; }
one_window() { [ "$(app_window_count)" -eq 1 ]; }

# open_menu: the panel's menu opened by a click on the icon, in MENU; a user clicks again when nothing opened.
open_menu() {
    local x y w h
    [ -n "$icon_box" ] || return 1
    IFS='x+' read -r w h x y <<<"$icon_box"
    pointer $((x + w / 2)) $((y + h / 2))
    sleep 0.3
    shot "$WORK/before.png"
    for _ in 1 2; do
        pointer $((x + w / 2)) $((y + h / 2)) "${MENU_BUTTON:-1}"
        poll 5 "menu" menu_open && return 0
    done
    return 1
}
window_behind() { [ "$(settings_window_state)" = behind ]; }
window_forward() { [[ $(settings_window_state) == @(focused|urgent) ]]; }

# forward_check: another program's window over the settings window, then "Connection & Settings…" in the panel's
# menu; the settings window comes forward or asks for attention.
forward_check() {
    local row centres x y w h
    other_window_start
    if ! poll 10 "another program's window in front of the settings window" window_behind; then
        record forward FAIL "not tried: the settings window is $(settings_window_state), not behind"
    elif ! open_menu; then
        record forward FAIL "not tried: no menu"
    else
        row=$(grep -vx -- - <<<"$(served_rows)" | grep -nx "Connection & Settings…" | cut -d: -f1)
        read -ra centres <<<"${MENU##* rows}"
        IFS='x+' read -r w h x y <<<"${MENU%% *}"
        pointer $((x + w / 2)) "${centres[row - 1]}" 1
        if poll 5 "the settings window to come forward" window_forward; then
            record forward ok "behind → $(settings_window_state)"
        else
            record forward FAIL "behind → $(settings_window_state)"
        fi
    fi
    other_window_stop
}

# panel_case ORDER THEME [SCALE]: ORDER "panel-first" or "app-first".
panel_case() {
    ORDER=$1 THEME=$2 SCALE=${3:-1}
    local other=dark started host_at result
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
    wait_for 20 "the panel's StatusNotifier host" tray_up
    settled_shot "$WORK/reference.png" || fail "the panel did not settle"
    if [ "$ORDER" = app-first ]; then
        panel_stop
        app_start
        wait_for 30 "tavix-menu started before the panel" app_started
        panel_start "$THEME"
        wait_for 20 "the panel's StatusNotifier host" tray_up
        started=$EPOCHREALTIME
    else
        started=$EPOCHREALTIME
        app_start
    fi

    # 1-2. Registered and drawn, legible.
    if ! poll 10 "item registered with the panel" item_registered; then
        record icon FAIL "not registered: $(watcher_get RegisteredStatusNotifierItems)"
        exit 1
    fi
    local delay
    delay=$(elapsed "$started")
    host_at="+${delay}s"
    # Started before the panel, as at login: the icon is there within 2 s of the panel's host.
    local verdict=ok icon_box=
    [ "$ORDER" = app-first ] && at_least "$delay" $((2 * SLOW)).01 && verdict=FAIL
    if poll 10 "icon drawn in the panel" icon_found; then
        icon_box=$ICON_BOX
        record icon "$verdict" "$ICON_BOX, registered $host_at"
        keep panel
        if contrast "$WORK/now.png"; then record contrast ok "$CONTRAST"; else record contrast FAIL "$CONTRAST_SEEN"; fi
    else
        keep panel
        convert "$WORK/reference.png" -crop "$STRIP" +repage "$OUT/$(case_name)-without.png"
        record icon FAIL "registered $host_at, nothing drawn differs from the panel ($LAST_SEEN)"
        record contrast FAIL "1.00, invisible"
    fi

    # What the windows tell the desktop: the settings window (open for an unpaired computer) and an alert.
    if declare -F app_identity >/dev/null; then
        known_check
    fi

    # 3. Tooltip, unpaired and then paired; the title panels list the item by.
    local unpaired=ok
    poll 10 "tooltip" tooltip_is "Tavix Link · Not paired" || unpaired="FAIL \"$LAST_SEEN\""
    printf 'e2e-token' >"$STATE/token"
    write_status
    if poll 10 "tooltip" tooltip_is "Tavix Link · Connected" && [ "$unpaired" = ok ]; then
        record tooltip ok "\"Tavix Link · Not paired\", \"Tavix Link · Connected\""
    else
        record tooltip FAIL "unpaired $unpaired, paired \"$LAST_SEEN\""
    fi
    local title
    title=$(item_get Title | grep -o "'[^']*'" | tr -d "'")
    record title "$([ "$title" = "Tavix Link" ] && echo ok || echo FAIL)" "\"$title\""
    MENU_PATH=$(item_get Menu | grep -o "objectpath '[^']*'" | cut -d"'" -f2)
    # The header row's logo: big enough for the scale, and by name where the icon theme has it.
    local logo want=$((17 * (SCALE > 2 ? SCALE : 2)))
    logo=$("$PROBE" logo "$ITEM_SERVICE" "$MENU_PATH")
    if [ "${logo%%x*}" -ge "$want" ] 2>/dev/null && [ "${logo#* }" = app.tavix.menu ]; then
        record logo ok "${logo% *}, named \"${logo#* }\""
    else
        record logo FAIL "\"$logo\", wanted at least ${want}x$want named \"app.tavix.menu\""
    fi

    # 4. The menu through the panel: a click on the icon (left, or MENU_BUTTON where the panel opens menus so).
    local x=0 y=0 w=0 h=0 windows
    ! declare -F app_windows_aside >/dev/null || app_windows_aside
    [ -n "$icon_box" ] && IFS='x+' read -r w h x y <<<"$icon_box"
    pointer $((x + w / 2)) $((y + h / 2))
    sleep 0.3
    shot "$WORK/before.png"
    windows=$(app_window_count)
    [ -n "$icon_box" ] && pointer $((x + w / 2)) $((y + h / 2)) "${MENU_BUTTON:-1}"
    # The slot of the icon changes as it is pressed: the icon's column across the panel, with a margin.
    SLOT=$(awk -F'[x+]' -v x="$x" -v w="$w" '{print w + 16 "x" $2 "+" (x > 8 ? x - 8 : 0) "+" $4}' <<<"$STRIP")
    MENU=
    local clicks=1
    # A panel that has not fetched the menu yet shows nothing; a user clicks again.
    if [ -n "$icon_box" ] && ! poll 5 "menu" menu_open; then
        clicks=2
        pointer $((x + w / 2)) $((y + h / 2)) "${MENU_BUTTON:-1}"
        poll 5 "menu" menu_open || true
    fi
    local core served shape layouts
    core=$(core_rows)
    served=$(served_rows)
    layouts=$(panel_calls GetLayout)
    shape=$(drawn_shape)
    local problems=()
    [ "$(app_window_count)" -le "$windows" ] || problems+=("the click opened a window of tavix-menu, not the panel's menu")
    [ -n "$icon_box" ] || problems+=("no icon to click")
    [ -z "$icon_box" ] || [[ ${MENU:-none} != none* ]] || problems+=("no menu opened on $clicks clicks")
    [ "$layouts" -gt 0 ] || problems+=("the panel never called GetLayout")
    [ "$served" = "$core" ] || problems+=("served ≠ core: $(diff <(printf '%s\n' "$core") <(printf '%s\n' "$served") |
        grep '^[<>]' | head -n 4 | tr '\n' ' ')")
    [[ ${MENU:-none} == none* ]] || [ "$shape" = "$(served_shape "$served")" ] ||
        problems+=("drawn rows and separators $shape, served $(served_shape "$served")")
    if [ ${#problems[@]} -eq 0 ]; then
        record rows ok "$(tr -cd r <<<"$shape" | wc -c) rows as the core's, GetLayout ×$layouts$([ "${MENU_BUTTON:-1}" = 1 ] || echo ", right click")$([ $clicks = 1 ] || echo ", on a second click")"
    else
        record rows FAIL "$(printf '%s; ' "${problems[@]}")"
    fi
    if [ -n "${MENU:-}" ] && [[ $MENU != none* ]]; then
        local box=${MENU%% *}
        IFS='x+' read -r w h x y <<<"$box"
        convert "$WORK/now.png" -crop "$((x + w + 8))x$((y + h + 8))+0+0" +repage "$OUT/$(case_name)-menu.png"
    fi

    # 5. "Pause New Tasks", clicked in the open menu where the panel drew it.
    local row centres
    row=$(grep -vx -- - <<<"$served" | grep -nx "Pause New Tasks" | cut -d: -f1)
    read -ra centres <<<"${MENU##* rows}"
    if [[ ${RESULT[rows]} != ok* ]] || [ -z "$row" ]; then
        record command FAIL "not tried: no menu of the panel's with a \"Pause New Tasks\" row"
    else
        pointer $((x + w / 2)) "${centres[row - 1]}" 1
        if ! poll 5 "paused marker" test -e "$STATE/paused"; then
            record command FAIL "no \"paused\" file after the click; the panel sent \"clicked\" ×$(events clicked) ($(event_calls))"
        elif [ "$(events clicked)" -eq 0 ]; then
            record command FAIL "paused, but no \"clicked\" Event reached the item"
        else
            record command ok "\"clicked\" ($(event_calls)) → paused"
        fi
    fi
    # Away from the panel; a menu still open is closed by a click beside it.
    pointer 2 700 "$([[ ${RESULT[command]} == *"not tried"* ]] && echo 1)"

    # 6. "Connection & Settings…" again, with the settings window behind another program's window.
    if declare -F other_window_start >/dev/null; then
        forward_check
    fi

    # 7. A status change reaches the closed menu.
    write_status ', "devices": [{"model": "Pixel 8", "state": "device"}]'
    started=$EPOCHREALTIME
    if poll 10 "phone row" served_has "Phone: Pixel 8 · connected (disabled)"; then
        record refresh ok "$(elapsed "$started")s, \"closed\" events ×$(events closed)"
    else
        record refresh FAIL "no phone row, first row \"$LAST_SEEN\", \"closed\" events ×$(events closed)"
    fi

    # 8. The panel restarts: the item registers again and is drawn again.
    panel_stop
    panel_start "$THEME"
    started=$EPOCHREALTIME
    if ! poll 10 "item registered with the restarted panel" item_registered; then
        record restart FAIL "not registered again"
    elif ! poll 10 "icon drawn in the restarted panel" icon_found; then
        record restart FAIL "registered again, not drawn ($LAST_SEEN)"
    else
        keep restarted
        if contrast "$WORK/now.png"; then result=ok; else result=FAIL; fi
        record restart "$result" "+$(elapsed "$started")s, $ICON_BOX, contrast $CONTRAST"
    fi

    # The theme switched while both run: the icon in the same place, legible in the new colours.
    if ! declare -F theme_switch >/dev/null; then
        :
    elif [ -z "$icon_box" ]; then
        record switch FAIL "not measured: the icon was never seen"
    else
        BEFORE_SWITCH=$(strip_hash "$WORK/now.png")
        ICON_BOX=$icon_box
        theme_switch "$other"
        # Some panels keep their colours (GNOME's top bar is dark in both schemes): measured all the same.
        local same=
        poll 5 "panel in the $other theme" switched || same=", the panel looks the same"
        # A panel may draw its items anew after a switch: give the icon time to come back.
        poll 10 "icon after the switch" icon_visible || true
        keep switched
        if contrast "$WORK/now.png"; then result=ok; else result=FAIL; fi
        record switch "$result" "to $other, contrast $CONTRAST$same"
    fi
    exit "$CASE_FAILED"
}

# run_cases: every order in both themes and one at scale 2, or the "ORDER:THEME[:SCALE]" cases named in PANEL_CASES;
# a case that fails does not stop the next.
run_cases() {
    local cases=${PANEL_CASES:-panel-first:light panel-first:dark app-first:light app-first:dark panel-first:dark:2}
    local one failed=0 count=0 fields
    for one in $cases; do
        count=$((count + 1))
        IFS=: read -ra fields <<<"$one"
        (panel_case "${fields[@]}") || failed=$((failed + 1))
    done
    note "$count cases, $failed failed; screenshots in $OUT"
    [ $failed -eq 0 ]
}
