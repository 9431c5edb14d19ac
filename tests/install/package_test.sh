#!/usr/bin/env bash
# Builds the two .deb packages from the build and checks what each holds and needs; skipped without Debian's
# packaging tools.
#   package_test.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/tavix-package-XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v dpkg-shlibdeps >/dev/null || { echo "dpkg-shlibdeps missing: skipped"; exit 77; }

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null) || fail "cpack failed"
cli=$(ls "$work"/package/tavix_*.deb 2>/dev/null | head -n1)
tray=$(ls "$work"/package/tavix-link_*.deb 2>/dev/null | head -n1)
[ -n "$cli" ] && [ -n "$tray" ] || fail "not both packages made: $(ls "$work/package")"
# The command line goes where there is no desktop: nothing of Qt or X.
depends=$(dpkg-deb -f "$cli" Depends)
echo "package $(basename "$cli"): Depends: $depends"
for lib in libcurl4 libplist3 liburiparser1 libutf8proc2 libqrencode4; do
  case "$depends" in *"$lib"*) ;; *) fail "tavix does not depend on $lib" ;; esac
done
case "$depends" in *libqt* | *libx* | *libX*) fail "tavix depends on Qt or X: $depends" ;; esac
dpkg-deb -c "$cli" > "$work/contents"
for file in ./usr/bin/tavix ./usr/share/man/man1/tavix.1.gz ./usr/share/bash-completion/completions/tavix \
  ./usr/share/zsh/vendor-completions/_tavix ./usr/share/fish/vendor_completions.d/tavix.fish \
  ./usr/share/doc/tavix/copyright ./usr/share/doc/tavix/changelog.gz; do
  grep -q " $file\$" "$work/contents" || fail "tavix lacks $file"
done
grep -q "tavix-menu" "$work/contents" && fail "tavix holds the tray application"

depends=$(dpkg-deb -f "$tray" Depends)
echo "package $(basename "$tray"): Depends: $depends"
for lib in "tavix (= " libqt6widgets6 libwayland-client0; do
  case "$depends" in *"$lib"*) ;; *) fail "tavix-link does not depend on $lib" ;; esac
done
dpkg-deb -c "$tray" > "$work/contents"
for file in ./usr/bin/tavix-menu ./usr/share/man/man1/tavix-menu.1.gz ./etc/xdg/autostart/app.tavix.menu.desktop \
  ./usr/share/icons/hicolor/scalable/apps/app.tavix.menu-symbolic.svg ./usr/share/doc/tavix-link/copyright; do
  grep -q " $file\$" "$work/contents" || fail "tavix-link lacks $file"
done
grep -q "/usr/bin/tavix\$" "$work/contents" && fail "tavix-link holds the command line as well"
dpkg-deb -e "$tray" "$work/control"
grep -qx "/etc/xdg/autostart/app.tavix.menu.desktop" "$work/control/conffiles" || fail "the autostart entry is no conffile"

if command -v lintian >/dev/null; then
  # One run for both: lintian takes seconds to start.
  report=$(lintian --no-tag-display-limit "$cli" "$tray" 2>&1) || true
  grep -E "^(E|W): " <<<"$report" && fail "lintian finds fault with the packages"
  echo "lintian: no error and no warning"
fi
