#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Tavix Link need. Safe to run again.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libxcb1-dev
  nlohmann-json3-dev libsimdjson-dev libcurl4-openssl-dev liburiparser-dev libplist-dev libutf8proc-dev
  libqrencode-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev python3 openssl ca-certificates
  xvfb xauth trayer xdotool x11-utils imagemagick dbus dbus-x11 libglib2.0-bin
  # the tests in real panels: XFCE's and LXQt's on X, and waybar on a headless sway with a pointer of our own
  xfce4-panel xfconf lxqt-panel lxqt-themes sway waybar grim libwayland-dev
  desktop-file-utils appstream
  # the command line's tests: QR codes read back, its man page and shell completions checked
  zbar-tools man-db zsh fish
  # fuzzing (the fuzz preset)
  clang libclang-rt-14-dev libexpat1-dev
  # the application at run time
  fonts-inter xdg-utils qt6-wayland
)

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
