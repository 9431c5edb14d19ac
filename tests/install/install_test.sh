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

# The command line: beside the tray application, with its manual page and completions where man and shells look.
[ -x "$work/usr/bin/tavix" ] || fail "bin/tavix missing"
# Not paired, so not connected: status 3.
state=$(TAVIX_HOME="$work/state" "$work/usr/bin/tavix" status) && fail "tavix status succeeds while not paired"
[ $? -eq 3 ] && grep -qx "Paired: no" <<<"$state" || fail "installed tavix does not run"
for page in tavix tavix-menu; do
  [ -f "$share/man/man1/$page.1.gz" ] || fail "man page $page missing"
done
if command -v man >/dev/null; then
  for page in tavix tavix-menu; do
    rendered=$(MANWIDTH=100 man --warnings -l "$share/man/man1/$page.1.gz" 2>"$work/man-warnings") ||
      fail "man page $page does not render"
    [ ! -s "$work/man-warnings" ] || fail "man page $page warnings: $(cat "$work/man-warnings")"
    for word in "EXIT STATUS" "TAVIX_HOME"; do grep -qF -- "$word" <<<"$rendered" || fail "$page(1) lacks $word"; done
  done
  echo "man pages render"
fi
completions=("$share/bash-completion/completions/tavix" "$share/zsh/vendor-completions/_tavix"
  "$share/fish/vendor_completions.d/tavix.fish")
for file in "${completions[@]}"; do [ -f "$file" ] || fail "$file missing"; done
# Each shell completes the commands and the words after them.
got=$(bash -c 'source "$1"; COMP_WORDS=(tavix phone pair ""); COMP_CWORD=3; _tavix; echo "${COMPREPLY[*]}"' _ \
  "${completions[0]}")
[ "$got" = "--qr --help" ] || fail "bash completes 'tavix phone pair' with '$got'"
got=$(bash -c 'source "$1"; COMP_WORDS=(tavix l); COMP_CWORD=1; _tavix; echo "${COMPREPLY[*]}"' _ "${completions[0]}")
[ "$got" = "login logs" ] || fail "bash completes 'tavix l' with '$got'"
if command -v zsh >/dev/null; then zsh -n "${completions[1]}" || fail "zsh completion does not parse"; fi
if command -v fish >/dev/null; then
  got=$(fish -c 'source $argv[1]; complete -C "tavix login "' "${completions[2]}" | tr '\n' ' ')
  [ "$got" = "off on " ] || fail "fish completes 'tavix login' with '$got'"
fi
echo "installed: tavix, its man page and bash, zsh and fish completions"

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
    for deb in "$cli" "$tray"; do
      report=$(lintian --no-tag-display-limit "$deb" 2>&1) || true
      grep -E "^(E|W): " <<<"$report" && fail "lintian finds fault with $(basename "$deb")"
    done
    echo "lintian: no error and no warning"
  fi
fi
