#!/usr/bin/env bash
# Installs the build as a package would (prefix /usr, staged in a temporary folder) and checks what a desktop finds
# there; then packages it as a .deb.
#   install_test.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/tavix-install-XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$work" cmake --install "$build" --prefix /usr >/dev/null
share="$work/usr/share"
autostart="$work/etc/xdg/autostart/app.tavix.menu.desktop"
[ -x "$work/usr/bin/tavix-menu" ] || fail "bin/tavix-menu missing"
[ -f "$share/applications/app.tavix.menu.desktop" ] || fail "desktop entry missing"
[ -f "$share/metainfo/app.tavix.menu.metainfo.xml" ] || fail "metainfo missing"
# Under /etc, not /usr/etc: it is what starts the program at login until the user turns that off.
[ -f "$autostart" ] || fail "system-wide autostart entry missing"
grep -q "^Exec=tavix-menu$" "$autostart" || fail "the autostart entry does not start tavix-menu"
grep -q "^Hidden=" "$autostart" && fail "the system-wide autostart entry hides itself"
for size in 16 22 24 32 48 64 128 256 512 1024; do
  icon="$share/icons/hicolor/${size}x${size}/apps/app.tavix.menu.png"
  [ -f "$icon" ] || fail "icon $size missing"
  # The PNG header holds the width and height as big-endian numbers at bytes 16 and 20.
  width=$(od -An -tu1 -j16 -N4 "$icon" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
  height=$(od -An -tu1 -j20 -N4 "$icon" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
  [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "icon $size is ${width}x${height}"
done
# The tray icon by name, which panels colour themselves.
grep -q 'class="ColorScheme-Text"' "$share/icons/hicolor/scalable/apps/app.tavix.menu-symbolic.svg" ||
  fail "symbolic tray icon missing"
echo "installed: binary, desktop entry, autostart entry, metainfo, icons 16..1024, symbolic tray icon"

"$work/usr/bin/tavix-menu" --self-test | grep -q "checks passed" || fail "installed binary does not run"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$share/applications/app.tavix.menu.desktop" || fail "desktop entry invalid"
  desktop-file-validate "$autostart" || fail "autostart entry invalid"
  echo "desktop entries valid"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --explain "$share/metainfo/app.tavix.menu.metainfo.xml" || fail "metainfo invalid"
  echo "metainfo valid"
fi

if command -v dpkg-shlibdeps >/dev/null; then
  (cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null) || fail "cpack failed"
  deb=$(ls "$work"/package/*.deb 2>/dev/null | head -n1)
  [ -n "$deb" ] || fail "no .deb made"
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "package $(basename "$deb"): Depends: $depends"
  for lib in libqt6widgets6 libcurl4 libplist3 liburiparser1 libutf8proc2; do
    case "$depends" in *"$lib"*) ;; *) fail "the package does not depend on $lib" ;; esac
  done
  dpkg-deb -c "$deb" > "$work/contents"
  grep -q "./usr/bin/tavix-menu" "$work/contents" || fail "the package lacks the program"
  grep -q "./etc/xdg/autostart/app.tavix.menu.desktop" "$work/contents" || fail "the package lacks the autostart entry"
  dpkg-deb -e "$deb" "$work/control"
  grep -qx "/etc/xdg/autostart/app.tavix.menu.desktop" "$work/control/conffiles" || fail "the autostart entry is no conffile"
  grep -q "./usr/share/icons/hicolor/scalable/apps/app.tavix.menu-symbolic.svg" "$work/contents" ||
    fail "the package lacks the symbolic tray icon"
fi
