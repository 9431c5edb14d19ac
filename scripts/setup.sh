#!/usr/bin/env bash
# Installs the Debian packages Tavix Link needs, and no more. Safe to run again.
#   scripts/setup.sh          building and running it
#   scripts/setup.sh --demo   and the virtual display the demo uses where there is no desktop
#   scripts/setup.sh --tests  and everything the tests, benchmarks and fuzz targets use (real panels included)
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libxcb1-dev
  # xdg-activation on Qt's Wayland connection, for windows that come forward there
  qt6-base-private-dev libwayland-dev wayland-protocols
  nlohmann-json3-dev libsimdjson-dev libcurl4-openssl-dev liburiparser-dev libplist-dev libutf8proc-dev
  libqrencode-dev
  # run time
  fonts-inter xdg-utils qt6-wayland
)
demo=(xvfb xauth trayer xdotool x11-utils imagemagick)
tests=(
  "${demo[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev python3 openssl ca-certificates dbus dbus-x11 libglib2.0-bin
  # the tests in real panels: XFCE's and LXQt's on X, and waybar on sway shown in an X display
  xfce4-panel xfconf lxqt-panel lxqt-themes sway waybar grim
  # the package and desktop files checked
  desktop-file-utils appstream lintian
  # the command line's tests: QR codes read back, its man page and shell completions checked
  zbar-tools man-db zsh fish
  # the desktop notifications read back from a real notification server
  dunst
  # fuzzing (the fuzz preset)
  clang libclang-rt-14-dev libexpat1-dev
)
case "${1:-}" in
  "") ;;
  --demo) packages+=("${demo[@]}") ;;
  --tests) packages+=("${tests[@]}") ;;
  *) echo "usage: scripts/setup.sh [--demo | --tests]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages are installed"
  exit 0
fi

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "setup: installing ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
