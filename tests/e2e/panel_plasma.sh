#!/usr/bin/env bash
# tavix-menu in KDE Plasma's panel (plasmashell's system tray, kded's StatusNotifierWatcher, KWin) in Breeze Light
# and Breeze Dark, the program started before and after the panel. PANEL_SESSION=x11 (default) runs KWin on a
# virtual X display; PANEL_SESSION=wayland runs kwin_wayland nested in one, with plasmashell and tavix-menu as its
# Wayland clients. Not part of the test suite: Plasma is large (tests/desktop_panels.sh runs it where installed).
# Usage: panel_plasma.sh TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]
SESSION=${PANEL_SESSION:-x11}
PANEL=plasma-$SESSION
# plasmashell 5.27 calls Activate on a left click and opens the menu only when that fails; the right button
# always opens it.
MENU_BUTTON=3
# shellcheck source=panel_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/panel_lib.sh" || exit 1
require Xvfb plasmashell kded5 xdotool import plasma-apply-colorscheme plasma-apply-desktoptheme "kwin_$SESSION"
KAMD=$(compgen -G '/usr/lib/*/libexec/kactivitymanagerd' | head -n 1)
[ -x "$KAMD" ] || skip "kactivitymanagerd is not installed"

# One panel along the top: a spacer, then the system tray with nothing of its own, so the item is the only one
# that comes and goes and nothing moves when it does.
panel_layout() {
    cat <<'CONF'
[Containments][1]
formfactor=2
immutability=1
lastScreen=0
location=3
plugin=org.kde.panel
wallpaperplugin=org.kde.image

[Containments][1][Applets][2]
immutability=1
plugin=org.kde.plasma.panelspacer

[Containments][1][Applets][3]
immutability=1
plugin=org.kde.plasma.systemtray

[Containments][1][Applets][3][Configuration]
SystrayContainmentId=4

[Containments][1][General]
AppletOrder=2;3

[Containments][4]
formfactor=2
immutability=1
lastScreen=0
location=3
plugin=org.kde.plasma.private.systemtray
wallpaperplugin=org.kde.image

[Containments][4][General]
extraItems=
knownItems=
CONF
}

session_start() {
    x11_session 1024x30+0+0
    mkdir -p "$WORK/panel-home/.config"
    panel_layout >"$WORK/panel-home/.config/plasma-org.kde.plasma.desktop-appletsrc"
    KDE_ENV=(env HOME="$WORK/panel-home" XDG_CONFIG_HOME="$WORK/panel-home/.config" XDG_RUNTIME_DIR="$WORK/panel-run"
        XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5 DISPLAY="$DISPLAY"
        XDG_DATA_DIRS="$DATA_DIRS")
    if [ "$SESSION" = wayland ]; then
        # The package gives kwin_wayland a file capability that a container may refuse to run; a copy has none.
        local kwin
        kwin=$(command -v kwin_wayland)
        if ! "$kwin" --version >/dev/null 2>&1; then
            mkdir -p "$WORK/kwin" && cp "$kwin" "$WORK/kwin/" && kwin="$WORK/kwin/kwin_wayland"
        fi
        spawn kwin "${KDE_ENV[@]}" "$kwin" --x11-display "$DISPLAY" --width 1024 --height 768 --socket wayland-kde
        wait_for 30 "kwin_wayland's socket" test -S "$WORK/panel-run/wayland-kde"
        KDE_ENV+=(QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=wayland-kde XDG_SESSION_TYPE=wayland)
    else
        KDE_ENV+=(QT_QPA_PLATFORM=xcb XDG_SESSION_TYPE=x11)
        spawn kwin "${KDE_ENV[@]}" kwin_x11
    fi
    MUST_LIVE+=("$SPAWNED:kwin")
    # What a Plasma session starts before the shell: the daemon that holds the StatusNotifierWatcher, and the
    # activity manager the shell will not start without.
    spawn kded "${KDE_ENV[@]}" kded5
    spawn kamd "${KDE_ENV[@]}" "$KAMD"
    wait_for 20 "kded's StatusNotifierWatcher" load_watcher
}

load_watcher() {
    gdbus call --session --dest org.kde.kded5 --object-path /kded --method org.kde.kded5.loadModule \
        statusnotifierwatcher 2>/dev/null | grep -q true
}

panel_start() {
    theme_switch "$1"
    spawn plasmashell "${KDE_ENV[@]}" plasmashell --no-respawn
    PANEL_PID=$SPAWNED
    MUST_LIVE+=("$PANEL_PID:plasmashell")
}

# kded's watcher keeps saying a host is registered once the shell has gone: look for the shell's host itself.
panel_ready() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.ListNames | grep -q "'org.kde.StatusNotifierHost-"
}
host_gone() { ! panel_ready; }
panel_stop() {
    unwatch "$PANEL_PID"
    stop "$PANEL_PID"
    forget "$PANEL_PID"
    wait_for 10 "the panel's host to leave" host_gone
}

theme_switch() {
    local scheme=BreezeLight theme=breeze-light
    [ "$1" = dark ] && scheme=BreezeDark theme=breeze-dark
    "${KDE_ENV[@]}" plasma-apply-colorscheme "$scheme" >/dev/null 2>&1
    "${KDE_ENV[@]}" plasma-apply-desktoptheme "$theme" >/dev/null 2>&1
}

nested_session_hooks KDE wayland-kde

run_cases
