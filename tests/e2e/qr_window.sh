#!/usr/bin/env bash
# Pairing a phone by QR code in the real tavix-menu, with the command line test's stand-in adb: started with
# --pair-phone-qr and cancelled; then from the desktop entry's action, the code read off a screenshot of the window.
# Usage: qr_window.sh TAVIX_MENU DESKTOP_ENTRY [SCREENSHOT_DIR]
APP=${1:?usage: qr_window.sh TAVIX_MENU DESKTOP_ENTRY [SCREENSHOT_DIR]}
ENTRY=${2:?usage: qr_window.sh TAVIX_MENU DESKTOP_ENTRY [SCREENSHOT_DIR]}
OUT=${3:-$PWD}
# shellcheck source=e2e_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/e2e_lib.sh" || exit 1

require Xvfb trayer dbus-daemon xwininfo xdotool import zbarimg
slow_factor "$APP"
start_xvfb
start_bus
new_dirs "$WORK/a"
app_env "$WORK/a-state" "$WORK/a-run" "$WORK/a-home" "$DBUS_SESSION_BUS_ADDRESS"
D=$WORK/adb
mkdir -p "$D" "$OUT"
printf t >"$WORK/a-state/token"
printf 'ADB=%s/adb\n' "$D" >"$WORK/a-state/config"
# shellcheck disable=SC2016  # the stand-in's own lines, expanded when it runs
printf '#!/bin/sh\nd=%s\nprintf "[%%s]" "$@" >>"$d/adb.calls"\necho >>"$d/adb.calls"\n' "$D" |
    cat - "${BASH_SOURCE[0]%/*}/../support/phones_adb.sh" >"$D/adb" && chmod +x "$D/adb"

# The code's window is as wide as the settings window, not as tall; an alert is narrower.
qr_window() { app_windows | awk '$2 == 560 && $3 != 600 {print; found = 1} END {exit !found}'; }
no_qr_window() { ! qr_window >/dev/null; }
alert_window() { app_windows | awk '$2 != 560 {print; found = 1} END {exit !found}'; }
# The phone scans the code: "WIFI:T:ADB;S:name;P:password;;".
scanned() {
    LAST_SEEN=$(import -display "$DISPLAY" -window root png:- | zbarimg -q --raw - 2>/dev/null) || return 1
    local name=${LAST_SEEN#WIFI:T:ADB;S:} password=${LAST_SEEN#*;P:}
    printf '%s' "${password%;;}" >"$D/password" && printf '%s' "${name%%;*}" >"$D/name"
}

touch "$D/hang"
spawn trayer trayer --edge bottom --align right --widthtype request --height 30
spawn app "${APP_ENV[@]}" "$APP" --pair-phone-qr
MUST_LIVE+=("$SPAWNED:tavix-menu")
wait_for 30 "the QR code's window" qr_window >/dev/null
wait_for 30 "adb looking for the phone" test -s "$D/adb.pid"
read -r _ w h x y <<<"$(qr_window)"
xdotool mousemove $((x + w / 2)) $((y + h - 46)) click 1
wait_for 10 "the code's window to close on Cancel" no_qr_window
wait_for 5 "adb to end on Cancel" gone "$(cat "$D/adb.pid")"
sleep 1
alert_window >/dev/null && fail "Cancel was answered with an alert"
pass "--pair-phone-qr showed the code; Cancel closed it and ended adb, and said nothing"

rm -f "$D"/hang "$D"/probed "$D"/adb.calls
read -r -a action < <(awk '/^\[Desktop Action pair-phone-qr\]/ {a = 1} a && sub(/^Exec=tavix-menu ?/, "") {print; exit}' "$ENTRY")
timeout $((30 * SLOW)) "${APP_ENV[@]}" "$APP" "${action[@]}" || fail "the desktop action's start ended with $?"
wait_for 30 "the code's window from the desktop action" qr_window >/dev/null
shot "$OUT/qr_window.png" "$(qr_window | around)"
wait_for 10 "a code to scan" scanned
wait_for 30 "adb connect" grep -q '^\[connect\]' "$D/adb.calls"
calls=$(tr '\n' ' ' <"$D/adb.calls")
[[ $calls == *"[pair][10.0.0.9:41234] [mdns][services] [connect][10.0.0.9:40000] " ]] || fail "adb ran: $calls"
grep -qF "$(cat "$D/password")" "$D/adb.calls" && fail "the password was among adb's arguments"
wait_for 10 "the code's window to close" no_qr_window
wait_for 10 "the outcome's alert" alert_window >/dev/null
shot "$OUT/qr_connected_alert.png" "$(alert_window | around)"
pass "the running copy showed it for the desktop action; $(cat "$D/name") paired (password on standard input) and connected"
note "$CHECKS passed, 0 failed"
