#!/usr/bin/env bash
# tavix-menu in GNOME Shell's top bar with the AppIndicator extension, the program started before and after the
# extension, with the light and the dark colour scheme (GNOME 43 keeps its top bar dark in both).
# PANEL_SESSION=x11 (default) runs gnome-shell as the window manager of a virtual X display; PANEL_SESSION=wayland
# runs it as a Wayland compositor nested in one, with tavix-menu as its Wayland client. The "panel" that starts,
# stops and restarts is the extension, as it is loaded and unloaded in a running shell. Not part of the test suite:
# GNOME is large (tests/desktop_panels.sh runs it where installed).
# Usage: panel_gnome.sh TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]
SESSION=${PANEL_SESSION:-x11}
PANEL=gnome-$SESSION
EXTENSION=ubuntu-appindicators@ubuntu.com
# shellcheck source=panel_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/panel_lib.sh" || exit 1
require Xvfb gnome-shell gsettings xdotool import
[ -d "/usr/share/gnome-shell/extensions/$EXTENSION" ] ||
    skip "the AppIndicator extension is not installed (gnome-shell-extension-appindicator)"

session_start() {
    # The status icons sit left of the system menu; the clock in the middle is left out.
    x11_session 424x32+600+0
    # The shell asks logind on the system bus: a private one, where nobody answers, keeps it from the machine's.
    bus_config "$WORK/system-bus.conf" "$WORK/system-bus"
    spawn system-bus dbus-daemon --config-file="$WORK/system-bus.conf" --nofork --nopidfile
    wait_for 10 "private system bus" test -S "$WORK/system-bus"
    # Settings in a key file: no dconf service is started on the private bus.
    GNOME_ENV=(env HOME="$WORK/panel-home" XDG_CONFIG_HOME="$WORK/panel-home/.config" XDG_RUNTIME_DIR="$WORK/panel-run"
        XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=keyfile DISPLAY="$DISPLAY" XDG_SESSION_TYPE="$SESSION"
        DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/system-bus" XDG_DATA_DIRS="$DATA_DIRS")
    "${GNOME_ENV[@]}" gsettings set org.gnome.shell welcome-dialog-last-shown-version "'999'"
    local options=(--x11 --replace --sm-disable)
    [ "$SESSION" = wayland ] && options=(--nested --no-x11 --wayland-display wayland-gnome --sm-disable)
    spawn gnome-shell "${GNOME_ENV[@]}" MUTTER_DEBUG_DUMMY_MODE_SPECS=1024x768 gnome-shell "${options[@]}"
    MUST_LIVE+=("$SPAWNED:gnome-shell")
    wait_for 60 "gnome-shell on the bus" shell_up
    # Without a session the shell starts in the overview, which would sit behind the menu.
    sleep 2
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.freedesktop.DBus.Properties.Set org.gnome.Shell OverviewActive '<false>' >/dev/null
    sleep 1
}

shell_up() { gdbus introspect --session --dest org.gnome.Shell --object-path /org/gnome/Shell >/dev/null 2>&1; }

panel_start() {
    theme_switch "$1"
    "${GNOME_ENV[@]}" gsettings set org.gnome.shell enabled-extensions "['$EXTENSION']"
}

panel_stop() {
    "${GNOME_ENV[@]}" gsettings set org.gnome.shell enabled-extensions "[]"
    wait_for 10 "the extension's watcher to leave the bus" watcher_gone
}

theme_switch() {
    local scheme=default
    [ "$1" = dark ] && scheme=prefer-dark
    "${GNOME_ENV[@]}" gsettings set org.gnome.desktop.interface color-scheme "$scheme"
}

nested_session_hooks GNOME wayland-gnome

run_cases
