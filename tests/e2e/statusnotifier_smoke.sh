#!/usr/bin/env bash
# The real tavix-menu as a StatusNotifier item (the tray of KDE, LXQt and GNOME's AppIndicator extension) on a
# private session bus, with sni_watcher as the panel: the item registers, its tooltip and menu follow the state
# directory and the panel is told of each change, its menu's quit row works, and a copy started before the panel
# still registers.
# Usage: statusnotifier_smoke.sh TAVIX_MENU SNI_WATCHER
APP=${1:?usage: statusnotifier_smoke.sh TAVIX_MENU SNI_WATCHER}
WATCHER=${2:?usage: statusnotifier_smoke.sh TAVIX_MENU SNI_WATCHER}
# shellcheck source=e2e_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/e2e_lib.sh" || exit 1

require Xvfb xwininfo dbus-daemon gdbus
[ -x "$APP" ] || fail "no program at $APP"
[ -x "$WATCHER" ] || fail "no program at $WATCHER"
slow_factor "$APP"

# start_watcher NAME: the panel, its report in $WORK/NAME.log.
start_watcher() {
    spawn "$1" "$WATCHER"
    WATCHER_PID=$SPAWNED
    WATCHER_LOG="$WORK/$1.log"
    MUST_LIVE+=("$WATCHER_PID:sni_watcher")
    wait_for 20 "StatusNotifierWatcher on the bus" grep -qx watching "$WATCHER_LOG"
}

registered_item() { awk '$1 == "registered" {print $2, $3; found = 1; exit} END {exit !found}' "$WATCHER_LOG"; }

item_property() {
    gdbus call --session --timeout 10 --dest "$ITEM_SERVICE" --object-path "$ITEM_PATH" \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"
}

# The tooltip's title: the second text of the (icon name, pixmaps, title, text) structure; pixmaps hold no texts.
tooltip() { item_property ToolTip | grep -o "'[^']*'" | sed -n 2p | tr -d "'"; }
tooltip_is() {
    LAST_SEEN=$(tooltip)
    [ "$LAST_SEEN" = "$1" ]
}

# The menu's labels in order, separators left out, exactly as the panel gets them.
menu_labels() {
    dbusmenu GetLayout 0 -1 '[]' | grep -o "'label': <'[^']*'>" | sed -e "s/^'label': <'//" -e "s/'>\$//"
}

# For panels that do not find the themed icon: at least one non-empty image with some ink in it.
icon_drawn() {
    local pixmaps
    pixmaps=$(item_property IconPixmap)
    LAST_SEEN=$(printf '%s' "$pixmaps" | cut -c 1-80)
    [[ $pixmaps =~ \([1-9][0-9]*,\ [1-9][0-9]*,\ \[ ]] && [[ $pixmaps =~ 0x([1-9a-f][0-9a-f]|0[1-9a-f]) ]]
}

dbusmenu() {
    gdbus call --session --timeout 10 --dest "$ITEM_SERVICE" --object-path "$MENU_PATH" \
        --method "com.canonical.dbusmenu.$1" -- "${@:2}"
}

# menu_item_id LABEL: the dbusmenu id of the row showing LABEL (as Qt sends it).
menu_item_id() {
    dbusmenu GetLayout 0 -1 '[]' | grep -o "([0-9]\+, {[^}]*}" |
        awk -v want="'label': <'$1'>" 'index($0, want) && !found {sub(/^\(/, ""); sub(/,.*/, ""); print; found = 1}
                                       END {exit !found}'
}

has_row() {
    local label
    for label in "${labels[@]}"; do [ "$label" = "$1" ] && return 0; done
    return 1
}

signals_of() { grep -c "^signal $1 " "$WATCHER_LOG"; }

# wait_registration: sets ITEM_SERVICE and ITEM_PATH from the watcher's report.
wait_registration() {
    wait_for 30 "$1" registered_item >/dev/null
    read -r ITEM_SERVICE ITEM_PATH <<<"$(registered_item)"
}

start_xvfb
start_bus
note "session bus $DBUS_SESSION_BUS_ADDRESS"
new_dirs "$WORK/a"
STATE="$WORK/a-state"
app_env "$STATE" "$WORK/a-run" "$WORK/a-home" "$DBUS_SESSION_BUS_ADDRESS"

# 1. Panel first: the item registers with the watcher.
start_watcher watcher1
spawn app1 "${APP_ENV[@]}" "$APP"
APP1=$SPAWNED
MUST_LIVE+=("$APP1:tavix-menu")
wait_registration "StatusNotifierItem registration"
pass "item registered as $ITEM_SERVICE $ITEM_PATH"
wait_for 20 "tooltip \"Tavix Link · Not paired\"" tooltip_is "Tavix Link · Not paired"
pass "tooltip reads \"Tavix Link · Not paired\""
wait_for 10 "drawn icon pixmap" icon_drawn
pass "icon pixmap drawn: $(item_property IconPixmap | grep -o '([0-9]*, [0-9]*, ' | tr -d '(,' | awk '{printf "%s%sx%s", sep, $1, $2; sep = ", "}')"
[ "$(item_property Title)" = "(<'Tavix Link'>,)" ] || fail "the item's title is $(item_property Title)"
# The themed icon by name, found beside the program in the build tree.
icon_name=$(item_property IconName | cut -d"'" -f2)
theme_path=$(item_property IconThemePath | cut -d"'" -f2)
[ -f "$theme_path/hicolor/scalable/apps/$icon_name.svg" ] ||
    fail "no icon $icon_name under the item's icon folder \"$theme_path\""
pass "title \"Tavix Link\", icon $icon_name in $theme_path"

MENU_PATH=$(item_property Menu | grep -o "objectpath '[^']*'" | cut -d"'" -f2)
[ -n "$MENU_PATH" ] || fail "the item names no menu: $(item_property Menu)"
menu_has_rows() { [ "$(menu_labels | wc -l)" -ge 10 ]; }
wait_for 20 "filled menu at $MENU_PATH" menu_has_rows
mapfile -t labels < <(menu_labels)
[ "${labels[0]}" = "Tavix Link · Not paired" ] || fail "first menu row reads \"${labels[0]}\""
[ "${labels[1]}" = "tavix.app" ] || fail "second menu row reads \"${labels[1]}\""
has_row 'Connection & Settings…' || fail "no \"Connection & Settings…\" row in: ${labels[*]}"
[ "${labels[-1]}" = "Quit Menu Bar App" ] || fail "last menu row reads \"${labels[-1]}\""
pass "menu at $MENU_PATH has ${#labels[@]} rows, from \"${labels[0]}\" to \"${labels[-1]}\""

# 2. The bridge pairs and reports a connection: within a refresh or two the tooltip and menu follow, and the
# panel is told through NewToolTip and the menu's update signals (a panel re-reads nothing on its own).
tooltip_signals=$(signals_of NewToolTip)
menu_signals=$(($(signals_of LayoutUpdated) + $(signals_of ItemsPropertiesUpdated)))
printf 'e2e-token' >"$STATE/token"
printf '{"at": %s, "connected": true}\n' "$(date +%s%3N)" >"$STATE/status.json.tmp"
mv "$STATE/status.json.tmp" "$STATE/status.json"
written=$SECONDS
wait_for 8 "tooltip \"Tavix Link · Connected\"" tooltip_is "Tavix Link · Connected"
pass "tooltip reads \"Tavix Link · Connected\" $((SECONDS - written))s after the status was written"
[ "$(signals_of NewToolTip)" -gt "$tooltip_signals" ] || fail "the tooltip changed without a NewToolTip signal"
pass "panel told of the new tooltip"
connected_menu() {
    LAST_SEEN=$(menu_labels | head -n 1)
    [ "$LAST_SEEN" = "Tavix Link · Connected" ]
}
wait_for 8 "menu header \"Tavix Link · Connected\"" connected_menu
mapfile -t labels < <(menu_labels)
[ "${labels[1]}" = "tavix.app" ] || fail "second menu row reads \"${labels[1]}\""
has_row 'No Android phone connected' ||
    fail "a fresh status without phones should list \"No Android phone connected\": ${labels[*]}"
menu_signalled() { [ $(($(signals_of LayoutUpdated) + $(signals_of ItemsPropertiesUpdated))) -gt "$menu_signals" ]; }
wait_for 5 "menu update signal" menu_signalled
pass "menu reads \"${labels[0]}\", \"${labels[1]}\", … and the panel was told"

# 3. The panel opens and closes the menu; later changes must still reach the closed menu (a menu left marked as
# open would keep its old rows).
dbusmenu AboutToShow 0 >/dev/null || fail "the menu refused AboutToShow"
dbusmenu Event 0 "'opened'" '<0>' 0 >/dev/null || fail "the menu refused the \"opened\" event"
dbusmenu Event 0 "'closed'" '<0>' 0 >/dev/null || fail "the menu refused the \"closed\" event"
: >"$STATE/paused"
paused_menu() {
    LAST_SEEN=$(menu_labels | head -n 1)
    [ "$LAST_SEEN" = "Tavix Link · Paused" ]
}
wait_for 8 "menu header \"Tavix Link · Paused\" after the menu was opened and closed" paused_menu
wait_for 8 "tooltip \"Tavix Link · Paused\"" tooltip_is "Tavix Link · Paused"
mapfile -t labels < <(menu_labels)
has_row "Resume New Tasks" || fail "a paused bridge should offer \"Resume New Tasks\": ${labels[*]}"
pass "after the panel opened and closed the menu, a pause still shows in the menu and the tooltip"

# 4. The panel restarts (as plasmashell does): the item registers again with the new watcher.
stop "$WATCHER_PID"
forget "$WATCHER_PID"
start_watcher watcher2
wait_registration "registration with a restarted watcher"
pass "item registered again with a restarted panel"

# 5. The panel opens the menu and the user clicks "Quit Menu Bar App": the application ends normally.
dbusmenu AboutToShow 0 >/dev/null || fail "the menu refused AboutToShow"
dbusmenu Event 0 "'opened'" '<0>' 0 >/dev/null || fail "the menu refused the \"opened\" event"
quit_id=$(menu_item_id "Quit Menu Bar App") || fail "no \"Quit Menu Bar App\" row to click"
unwatch "$APP1"
dbusmenu Event "$quit_id" "'clicked'" '<0>' 0 >/dev/null || fail "the menu refused a click on row $quit_id"
wait_for 20 "tavix-menu to end after a click on \"Quit Menu Bar App\"" gone "$APP1"
wait "$APP1"
quit_status=$?
forget "$APP1"
[ $quit_status -eq 0 ] || fail "tavix-menu ended with status $quit_status after \"Quit Menu Bar App\""
pass "a click on \"Quit Menu Bar App\" (row $quit_id) ended tavix-menu with status 0"

# 6. Login race: a copy started before any panel waits for one and registers when it comes.
stop "$WATCHER_PID"
forget "$WATCHER_PID"
new_dirs "$WORK/b"
app_env "$WORK/b-state" "$WORK/b-run" "$WORK/b-home" "$DBUS_SESSION_BUS_ADDRESS"
spawn app2 "${APP_ENV[@]}" "$APP"
APP2=$SPAWNED
MUST_LIVE+=("$APP2:tavix-menu (started before the panel)")
# The settings window comes after the status item's start-up, so by now the application has met no panel.
wait_for 30 "settings window of the copy started before the panel" settings_window >/dev/null
pass "started without a panel"
start_watcher watcher3
wait_registration "registration of the copy started before the panel"
wait_for 20 "tooltip \"Tavix Link · Not paired\"" tooltip_is "Tavix Link · Not paired"
pass "item registered once the panel appeared, tooltip \"$(tooltip)\""

note "$CHECKS passed, 0 failed"
