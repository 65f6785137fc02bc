#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR TEST_LISTENER
set -euo pipefail
build="$1"
listener_program="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(mktemp -d)"
listener_pid=""
cleanup() {
  if [ -n "$listener_pid" ]; then kill "$listener_pid" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# The discovery defaults, whatever the settings of the user running the test say.
export XDG_CONFIG_HOME="$root/config"

# The prefix the build was configured with (/usr unless the builder chose another).
prefix="$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")"
prefix="${prefix#/}"
if [ "$prefix" = "usr" ]; then autostart="etc/xdg/autostart"; else autostart="$prefix/etc/xdg/autostart"; fi

DESTDIR="$root/install" cmake --install "$build" >/dev/null
installed="$root/install"
share="$installed/$prefix/share"
for file in "$prefix/bin/vantu" "$prefix/bin/vantu-cli" \
            "$prefix/share/applications/dev.vantu.Vantu.desktop" \
            "$autostart/dev.vantu.Vantu.desktop" \
            "$prefix/share/icons/hicolor/scalable/apps/dev.vantu.Vantu.svg" \
            "$prefix/share/metainfo/dev.vantu.Vantu.metainfo.xml" \
            "$prefix/share/man/man1/vantu.1.gz" "$prefix/share/man/man1/vantu-cli.1.gz" \
            "$prefix/share/doc/vantu/changelog.gz" "$prefix/share/doc/vantu/copyright" \
            "$prefix/share/bash-completion/completions/vantu-cli" \
            "$prefix/share/zsh/vendor-completions/_vantu-cli" \
            "$prefix/share/fish/vendor_completions.d/vantu-cli.fish"; do
  [ -e "$installed/$file" ] || fail "missing $file"
done
"$installed/$prefix/bin/vantu-cli" --version | grep -q '^vantu-cli ' || fail "installed vantu-cli does not run"

desktop-file-validate "$installed/$prefix/share/applications/dev.vantu.Vantu.desktop"
desktop-file-validate "$installed/$autostart/dev.vantu.Vantu.desktop"
appstreamcli validate --no-net "$installed/$prefix/share/metainfo/dev.vantu.Vantu.metainfo.xml"

# Manual pages: they render without a single warning, and vantu-cli(1) documents every
# command, option and exit status that `vantu-cli --help` names.
for page in vantu vantu-cli; do
  warnings="$(zcat "$share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "$page(1) renders with warnings: $warnings"
done
usage="$("$installed/$prefix/bin/vantu-cli" --help)"
manual="$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$share/man/man1/vantu-cli.1.gz" 2>/dev/null | col -b)"
grep -q '^NAME' <<<"$manual" || fail "man cannot show vantu-cli(1)"
list_options="$(sed -n 's/^  vantu-cli list //p' <<<"$usage" | grep -oE -- '--[a-z]+')"
stop_options="$(sed -n 's/^  vantu-cli stop //p' <<<"$usage" | grep -oE -- '--[a-z]+')"
[ -n "$list_options" ] && [ -n "$stop_options" ] || fail "cannot read the options from vantu-cli --help"
for word in list stop $(grep -oE -- '--[a-z]+' <<<"$usage" | sort -u); do
  grep -qe "$word" <<<"$manual" || fail "vantu-cli(1) does not mention $word"
done
statuses="$(sed -n '/^Exit status/,$p' <<<"$usage" | grep -oE '(: |; )[0-9]+ ' | tr -dc '0-9\n')"
[ -n "$statuses" ] || fail "cannot read the exit statuses from vantu-cli --help"
for status in $statuses; do
  sed -n '/^EXIT STATUS/,/^[A-Z]/p' <<<"$manual" | grep -qE "^ +$status +[A-Z]" ||
    fail "vantu-cli(1) does not explain exit status $status"
done

# Completions: every shell offers the commands, each command's options, and the ports of the
# running dev servers after `stop`, but for those already named. A dev server: the test listener
# under a runtime's name, on two ports.
mkdir "$root/runtime"
ln -s "$listener_program" "$root/runtime/node"
"$root/runtime/node" 0 0 >"$root/listener.out" &
listener_pid=$!
for _ in $(seq 100); do grep -q '^PORT' "$root/listener.out" && break; sleep 0.05; done
read -r port second < <(sed -n 's/^PORT //p' "$root/listener.out")
[ -n "$second" ] || fail "the test listener did not start"
export PATH="$installed/$prefix/bin:$PATH"

complete_bash() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vantu_cli; printf "%s\n" "${COMPREPLY[@]}"' \
    _ "$share/bash-completion/completions/vantu-cli" vantu-cli "$@"
}
complete_zsh() {  # the words typed so far, the last one being completed
  timeout 30 "$here/zsh_complete.zsh" "vantu-cli $*" "$share/zsh/vendor-completions"
}
complete_fish() {
  local line="vantu-cli $*"
  fish --no-config -c "source '$share/fish/vendor_completions.d/vantu-cli.fish'; complete -C'$line'" | cut -f1
}
expect_offered() {  # shell, offered candidates, expected candidates..., typed line for the message
  local shell="$1" offered="$2" line="$3"; shift 3
  for expected in "$@"; do
    grep -qxe "$expected" <<<"$offered" || fail "$shell does not offer $expected after '$line' (offers: $(echo $offered))"
  done
}
for shell in bash zsh fish; do
  expect_offered "$shell" "$(complete_$shell "")" "vantu-cli " list stop
  expect_offered "$shell" "$(complete_$shell list --)" "vantu-cli list --" $list_options
  expect_offered "$shell" "$(complete_$shell stop --)" "vantu-cli stop --" $stop_options
  expect_offered "$shell" "$(complete_$shell stop "")" "vantu-cli stop " "$port"
  for named in "$port" "$port-$port"; do
    offered="$(complete_$shell stop "$named" "")"
    expect_offered "$shell" "$offered" "vantu-cli stop $named " "$second"
    ! grep -qx "$port" <<<"$offered" || fail "$shell offers $port again after 'vantu-cli stop $named '"
  done
done

(cd "$root" && cpack --config "$build/CPackConfig.cmake" -B "$root/package" >/dev/null)
deb="$(ls "$root"/package/*.deb)"
info="$(dpkg-deb --info "$deb")"
echo "$info" | grep -E '^ (Package|Version|Depends):'
echo "$info" | grep -q '^ Depends:.*lsof' || fail "the package does not depend on lsof"
echo "$info" | grep -q '^ Depends:.*libqt6core6' || fail "the package does not depend on Qt"
contents="$(dpkg-deb --contents "$deb")"
echo "$contents" | grep -q '\./usr/bin/vantu-cli$' || fail "vantu-cli is not in the package"
echo "$contents" | grep -q '\./usr/bin/vantu$' || fail "vantu is not in the package"
echo "$contents" | grep -q '\./etc/xdg/autostart/dev.vantu.Vantu.desktop$' || fail "autostart entry is not in /etc/xdg/autostart"
# Nothing only the tests use ships; Qt keeps its literals in UTF-16, hence both encodings.
mkdir "$root/unpacked" && dpkg-deb -x "$deb" "$root/unpacked"
app="$root/unpacked/usr/bin/vantu"
[ -z "$({ strings -a "$app"; strings -a -e l "$app"; } | grep test-report)" ] || fail "the packaged vantu has --test-report"
[ "$(dpkg-deb -f "$deb" Version)" = "$(zcat "$share/doc/vantu/changelog.gz" | sed -n '1s/^vantu (\(.*\)).*/\1/p')" ] ||
  fail "the changelog's newest entry is not the package's version"

# Debian's own judge: no error and no warning (informational notes are allowed).
lint="$(lintian --display-info --fail-on error,warning "$deb" 2>&1)" || fail "lintian finds fault with the package:
$lint"
echo "$lint" | grep -v 'running with root privileges' || true
echo "Packaging checks passed."
