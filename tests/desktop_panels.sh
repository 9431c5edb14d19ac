#!/usr/bin/env bash
# The checks of the panel tests (tests/e2e/panel_lib.sh) in the two large desktops, each on X11 and on Wayland:
# KDE Plasma (plasmashell with KWin) and GNOME Shell with the AppIndicator extension. A desktop that is not
# installed is skipped. Not part of the test suite or of CI: the desktops take a gigabyte; install them with
#   apt-get install --no-install-recommends plasma-workspace plasma-desktop kwin-x11 kwin-wayland kded5 qtwayland5 \
#       gnome-shell gnome-shell-extension-appindicator
# Usage: tests/desktop_panels.sh TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]   (screenshots beside PANEL_PROBE by default)
# (PANEL_PROBE is build/<preset>/tests/e2e/panel_probe; PANEL_CASES narrows the cases as in the panel tests.)
set -uo pipefail
APP=${1:?usage: desktop_panels.sh TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]}
PROBE=${2:?usage: desktop_panels.sh TAVIX_MENU PANEL_PROBE [SCREENSHOT_DIR]}
OUT=${3:-$(dirname "$PROBE")}
here=${BASH_SOURCE[0]%/*}

failed=0
for desktop in plasma:x11 plasma:wayland gnome:x11 gnome:wayland; do
    PANEL_SESSION=${desktop#*:} "$here/e2e/panel_${desktop%%:*}.sh" "$APP" "$PROBE" "$OUT"
    case $? in
        0 | 77) ;;
        *) failed=$((failed + 1)) ;;
    esac
done
echo "desktop_panels: $failed of 4 desktops had failures; screenshots in $OUT"
[ $failed -eq 0 ]
