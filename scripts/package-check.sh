#!/usr/bin/env bash
# Checks the Debian package made from an already built folder: cpack -G DEB, Debian's package
# checker (lintian: no error, no warning), unpack it into a temporary root (no change to this
# machine), validate the desktop entry, the AppStream metadata and the icons, read the manual
# pages and the shell completion, and run the installed programs from there with a temporary
# per-user data folder: the version, the seeding of the user's files, a user's edit kept
# across a reinstall, the number lookup and a start of the client.
# Usage: scripts/package-check.sh [build-folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "package-check: $*" >&2; exit 1; }

cd "$build"
rm -f smsclient_*.deb
if ! cpack -G DEB >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log" >&2
  fail "cpack -G DEB failed"
fi
debs=(smsclient_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one smsclient_*.deb in $build"
deb="$build/${debs[0]}"
echo "package-check: built $deb ($(du -h "$deb" | cut -f1))"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "package-check: Depends: $depends"
for lib in libqt6widgets6 libcurl4 libxml2 libsqlite3-0 libpcre2-8-0 qt6-qpa-plugins qt6-translations-l10n; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done

# Debian's checker: errors and warnings fail; informational tags are listed (none is
# overridden).
status=0
lintian --display-info --fail-on error,warning "$deb" >"$tmp/lintian.txt" 2>&1 || status=$?
cat "$tmp/lintian.txt"
if [ "$status" -ne 0 ] || grep -qE '^[EW]: ' "$tmp/lintian.txt"; then
  fail "lintian reports errors or warnings"
fi

install_root="$tmp/root"
dpkg-deb -x "$deb" "$install_root"
usr="$install_root/usr"
for f in bin/smsclient bin/smsclient-cli bin/smsclient-demo-service lib/smsclient/smsclient \
         lib/smsclient/index.html lib/smsclient/Company_Info.ini lib/smsclient/picture/books.avi \
         lib/smsclient/.smsclient-installed share/applications/cn.smsclient.client.desktop \
         share/metainfo/cn.smsclient.client.metainfo.xml share/doc/smsclient/copyright \
         share/doc/smsclient/changelog.gz share/bash-completion/completions/smsclient-cli \
         share/man/man1/smsclient.1.gz share/man/man1/smsclient-cli.1.gz \
         share/man/man1/smsclient-demo-service.1.gz; do
  [ -e "$usr/$f" ] || fail "the package lacks /usr/$f"
done
desktop-file-validate "$usr/share/applications/cn.smsclient.client.desktop" ||
  fail "desktop entry invalid"
appstreamcli validate --no-net "$usr/share/metainfo/cn.smsclient.client.metainfo.xml" ||
  fail "AppStream metadata invalid"
for size in 48 64 128 256; do
  icon="$usr/share/icons/hicolor/${size}x${size}/apps/smsclient.png"
  [ -f "$icon" ] || fail "missing icon $icon"
  file -b "$icon" | grep -q "PNG image data, $size x $size" || fail "bad icon $(file -b "$icon")"
done

# The installed programs, with the per-user folders in the temporary folder.
export XDG_DATA_HOME="$tmp/data-home" XDG_CONFIG_HOME="$tmp/config-home"
cli="$usr/bin/smsclient-cli"
[ "$("$cli" --version)" = "6.8" ] || fail "smsclient-cli --version is not 6.8"
[ "$("$usr/bin/smsclient" --version)" = "6.8" ] || fail "smsclient --version is not 6.8"
"$usr/bin/smsclient-demo-service" --help >/dev/null || fail "smsclient-demo-service --help failed"

"$usr/bin/smsclient" --help >"$tmp/client-help.txt" || fail "smsclient --help failed"

# The manual page of smsclient-cli shows every command of its --help.
MANWIDTH=200 man -l "$usr/share/man/man1/smsclient-cli.1.gz" >"$tmp/cli.man" 2>"$tmp/man.err" ||
  fail "man smsclient-cli failed: $(cat "$tmp/man.err")"
# Read from a file: awk stops early, and a pipe would end the writer with SIGPIPE.
"$cli" --help >"$tmp/cli-help.txt" || fail "smsclient-cli --help failed"
commands="$(awk '/^[^ ]/ && seen { exit } /^  smsclient-cli [a-z]/ { seen = 1; print $2 }' "$tmp/cli-help.txt" | sort -u)"
[ -n "$commands" ] || fail "no commands in smsclient-cli --help"
for command in $commands; do
  grep -q "smsclient-cli $command" "$tmp/cli.man" || fail "man smsclient-cli lacks $command"
done

# The completion offers the same commands, and a command's options.
completion="$usr/share/bash-completion/completions/smsclient-cli"
offered="$(PATH="$usr/bin:$PATH" bash -c 'source "$1"; COMP_WORDS=(smsclient-cli ""); COMP_CWORD=1
  _smsclient_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" | sort -u)"
[ "$offered" = "$commands" ] || fail "the completion offers: $offered"
options="$(PATH="$usr/bin:$PATH" bash -c 'source "$1"; COMP_WORDS=(smsclient-cli download-mms --d)
  COMP_CWORD=2; _smsclient_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" | sort -u)"
[ "$options" = "$(printf -- '--data-dir\n--download-url')" ] ||
  fail "the completion of download-mms --d offers: $options"

user="$XDG_DATA_HOME/smsclient"
"$cli" --help >"$tmp/help.txt"
cmp -s "$user/Company_Info.ini" "$usr/lib/smsclient/Company_Info.ini" ||
  fail "the user folder was not seeded with Company_Info.ini"
printf '[Create_Skin]\r\nSkin_index=9\r\n' >"$user/Company_Info.ini"
rm -rf "$install_root" && dpkg-deb -x "$deb" "$install_root"  # a reinstall
"$cli" --help >/dev/null
[ "$(cat "$user/Company_Info.ini")" = "$(printf '[Create_Skin]\r\nSkin_index=9\r')" ] ||
  fail "the user's Company_Info.ini was replaced"

lookup="$("$cli" lookup 13800000000)" || fail "smsclient-cli lookup 13800000000 failed"
printf '%s\n' "$lookup" | grep -q "010" || fail "smsclient-cli lookup 13800000000 printed: $lookup"

# The client starts from the installed copy and keeps running (ended after 3 s).
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$usr/bin/smsclient" >"$tmp/client.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$tmp/client.log" >&2; fail "the installed client ended early ($status)"; }
echo "package-check: OK"
