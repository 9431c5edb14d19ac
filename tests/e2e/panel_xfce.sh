#!/usr/bin/env bash
# tavix-menu in XFCE's panel (xfce4-panel with its status tray) on a virtual X display: light and dark mode, the
# program started before and after the panel. See panel_lib.sh for the checks.
# Usage: panel_xfce.sh TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]
PANEL=xfce
# shellcheck source=panel_lib.sh source-path=SCRIPTDIR
. "${BASH_SOURCE[0]%/*}/panel_lib.sh" || exit 1
require Xvfb xfce4-panel xfconf-query xwininfo xdotool import
XFCONFD=$(compgen -G '/usr/lib/*/xfce4/xfconf/xfconfd' | head -n 1)
[ -x "$XFCONFD" ] || skip "xfconfd is not installed (scripts/setup.sh installs xfconf)"

# One panel along the top holding only the status tray, as Debian's default panel has it.
panel_config() {
    cat <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="dark-mode" type="bool" value="false"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray">
      <property name="square-icons" type="bool" value="true"/>
    </property>
  </property>
</channel>
XML
}

session_start() {
    x11_session 1024x31+0+0
    mkdir -p "$WORK/panel-home/.config/xfce4/xfconf/xfce-perchannel-xml"
    panel_config >"$WORK/panel-home/.config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml"
    PANEL_ENV=(env HOME="$WORK/panel-home" XDG_CONFIG_HOME="$WORK/panel-home/.config" XDG_RUNTIME_DIR="$WORK/panel-run"
        DISPLAY="$DISPLAY" XDG_DATA_DIRS="$DATA_DIRS" GDK_SCALE="$SCALE")
}


# The settings store comes with the panel's session; the panel's dark mode is one of its settings.
panel_start() {
    if [ -z "${XFCONF_PID:-}" ]; then
        spawn xfconfd "${PANEL_ENV[@]}" "$XFCONFD"
        XFCONF_PID=$SPAWNED
        MUST_LIVE+=("$XFCONF_PID:xfconfd")
    fi
    theme_switch "$1"
    spawn xfce4-panel "${PANEL_ENV[@]}" xfce4-panel --disable-wm-check
    PANEL_PID=$SPAWNED
    MUST_LIVE+=("$PANEL_PID:xfce4-panel")
}

panel_stop() {
    local plugin
    unwatch "$PANEL_PID"
    # The tray runs in a plugin process of the panel's own.
    plugin=$(pgrep -P "$PANEL_PID")
    stop "$PANEL_PID"
    forget "$PANEL_PID"
    for pid in $plugin; do stop "$pid"; done
    wait_for 10 "the panel's watcher to leave the bus" watcher_gone
}

theme_switch() {
    local dark=false
    [ "$1" = dark ] && dark=true
    wait_for 10 "xfconf-query" "${PANEL_ENV[@]}" xfconf-query -c xfce4-panel -p /panels/dark-mode -n -t bool -s "$dark"
}

run_cases
