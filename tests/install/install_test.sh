#!/usr/bin/env bash
# Installs the build as a package would (prefix /usr, staged in a temporary folder) and checks what a desktop finds
# there.
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
