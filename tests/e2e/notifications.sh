#!/usr/bin/env bash
# The real tavix-menu's desktop notifications, as a real notification server (dunst, reading markup) receives them
# on a private X display and session bus, for the status.json the test writes.
# Usage: notifications.sh TAVIX_MENU TAVIX [SCREENSHOT_DIR]
APP=${1:?usage: notifications.sh TAVIX_MENU TAVIX [SCREENSHOT_DIR]}
CLI=${2:?usage: notifications.sh TAVIX_MENU TAVIX [SCREENSHOT_DIR]}
OUT=${3:-$PWD}
# shellcheck source=e2e_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/e2e_lib.sh" || exit 1

require Xvfb trayer dbus-daemon dunst dunstctl xwininfo gdbus import
slow_factor "$APP"
start_xvfb
start_bus
new_dirs "$WORK/a"
STATE=$WORK/a-state
app_env "$STATE" "$WORK/a-run" "$WORK/a-home" "$DBUS_SESSION_BUS_ADDRESS"
mkdir -p "$OUT"

# What the server received (dunst -print), one line each: id|summary|body|desktop entry|category|timeout.
received() {
    awk -v q="'" '/^\t(id|summary|body|desktop_entry|category|timeout):/ {
            key = $1; gsub(/[\t:]/, "", key); sub(/^[^:]*: /, ""); v[key] = substr($0, 1, 1) == q ? substr($0, 2, length($0) - 2) : $0 }
        /^}/ && ("id" in v) { print v["id"] "|" v["summary"] "|" v["body"] "|" v["desktop_entry"] "|" v["category"] "|" v["timeout"]; delete v }
    ' "$WORK/dunst.log"
}
more_than() { [ "$(received | wc -l)" -gt "$1" ]; }
up() { dunstctl count >/dev/null 2>&1 && gdbus call --session --dest org.freedesktop.DBus --object-path / \
    --method org.freedesktop.DBus.NameHasOwner app.tavix.menu 2>/dev/null | grep -q true; }
# step WHAT MEMBERS SECONDS [RECEIVED]: with MEMBERS, the server receives RECEIVED (without its id) within SECONDS,
# or nothing in SECONDS (the tray keeps time on a slow build too: these are not stretched).
step() {
    local before got
    before=$(received | wc -l)
    write_status "$2"
    if [ -n "${4:-}" ]; then wait_for "$3" "notification ($1)" more_than "$before"; else sleep "$3"; fi
    got=$(received | tail -n +$((before + 1)) | cut -d'|' -f2-)
    [ "$got" = "${4:-}" ] || fail "$1: the server received '$got'"
    pass "$1"
}

printf '[global]\nfont = Inter 10\nmarkup = full\nwidth = 360\n[urgency_normal]\ntimeout = 0\n' >"$WORK/dunstrc"
printf t >"$STATE/token"
write_status '"connected":true,"error":"E0 at start-up"'
spawn dunst dunst -conf "$WORK/dunstrc" -print
spawn trayer trayer --edge bottom --align right --widthtype request --height 30
spawn app "${APP_ENV[@]}" "$APP"
MUST_LIVE+=("$SPAWNED:tavix-menu")
wait_for 30 "tavix-menu and the notification server on the session bus" up
step "nothing for the state at start-up" '"connected":true,"error":"E0 at start-up"' $((4 * SLOW))
lost=$SECONDS
step "offline" '"connected":false,"error":"E0 at start-up"' 45 "Tavix Link is offline|Server unreachable. Check \
this computer's network connection, or choose Restart Local Bridge from the menu.|app.tavix.menu|network.disconnected|0"
((SECONDS - lost >= 30)) || fail "offline told after $((SECONDS - lost))s"
shot "$OUT/notification_offline.png" 420x190+604+0 && note "screenshot: $OUT/notification_offline.png"
step "back" '"connected":true,"error":"E0 at start-up"' 10 \
    "Tavix Link is connected again|Connected|app.tavix.menu|network.connected|8000"
[ "$(received | cut -d'|' -f1 | uniq | wc -l)" -eq 1 ] || fail "back in a notification of its own: $(received)"
TAVIX_HOME=$STATE "$CLI" notifications off >/dev/null || fail "tavix notifications off failed"
step "nothing while turned off" '"connected":true,"error":"E1 while off"' 5
TAVIX_HOME=$STATE "$CLI" notifications on >/dev/null || fail "tavix notifications on failed"
step "a new error, escaped" '"connected":true,"error":"E2 <timeout> & retry"' 10 \
    "The bridge reports an error|E2 &lt;timeout&gt; &amp; retry|app.tavix.menu|network.error|0"
step "offline again within 5 minutes: nothing" '"connected":false,"error":"E2 <timeout> & retry"' 38
dunstctl action 0
wait_for 15 "settings window after choosing the notification" settings_window >/dev/null
pass "choosing the notification brought the settings window forward"
note "received: $(received | tr '\n' ';')"
note "$CHECKS passed, 0 failed"
