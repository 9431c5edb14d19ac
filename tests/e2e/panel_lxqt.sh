#!/usr/bin/env bash
# tavix-menu in LXQt's panel (lxqt-panel with its status notifier plugin) on a virtual X display, in LXQt's
# "light" and "dark" themes, the program started before and after the panel. See panel_lib.sh for the checks.
# Usage: panel_lxqt.sh TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]
PANEL=lxqt
# lxqt-panel 1.2 does not read ItemIsMenu: a left click activates the item, the right button opens its menu.
MENU_BUTTON=3
# shellcheck source=panel_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/panel_lib.sh" || exit 1
require Xvfb lxqt-panel xwininfo xdotool import
[ -d /usr/share/lxqt/themes/dark ] || skip "LXQt's themes are not installed (scripts/setup.sh installs lxqt-themes)"

session_start() {
    x11_session 1024x30+0+0
    mkdir -p "$WORK/panel-home/.config/lxqt"
    # One panel along the top holding only the status notifier area.
    cat >"$WORK/panel-home/.config/lxqt/panel.conf" <<'CONF'
[General]
__userfile__=true
panels=panel1

[panel1]
plugins=statusnotifier
position=Top
panelSize=30
iconSize=22
lineCount=1
width=100
width-percent=true
hidable=false

[statusnotifier]
type=statusnotifier
alignment=Left
CONF
    PANEL_ENV=(env HOME="$WORK/panel-home" XDG_CONFIG_HOME="$WORK/panel-home/.config" XDG_RUNTIME_DIR="$WORK/panel-run"
        DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb XDG_DATA_DIRS="$DATA_DIRS" QT_SCALE_FACTOR="$SCALE")
}

panel_start() {
    theme_switch "$1"
    spawn lxqt-panel "${PANEL_ENV[@]}" lxqt-panel
    PANEL_PID=$SPAWNED
    MUST_LIVE+=("$PANEL_PID:lxqt-panel")
}

# The panel follows its settings file while it runs.
theme_switch() {
    printf '[General]\n__userfile__=true\ntheme=%s\n' "$1" >"$WORK/panel-home/.config/lxqt/lxqt.conf"
}

run_cases
