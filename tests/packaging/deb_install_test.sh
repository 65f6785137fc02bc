#!/usr/bin/env bash
# Usage: deb_install_test.sh BUILD_DIR
# Installs the Debian package on this machine with dpkg, as CI does, checks what the system
# then finds (the command, its manual pages, each shell's completion, the conffile), and
# removes and purges it again, so the machine is left as it was found.
set -euo pipefail
build="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing a package needs root"
  exit 77
fi
status() { dpkg-query -W -f='${Status}' vantu 2>/dev/null || true; }
if [ -n "$(status)" ] && [ "$(status)" != "unknown ok not-installed" ]; then
  echo "SKIP: vantu is known to dpkg here ($(status)); the test would replace it"
  exit 77
fi

root="$(mktemp -d)"
installed=false
cleanup() {
  if $installed; then dpkg --purge vantu >/dev/null 2>&1 || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
# The shells and man as a fresh user finds them: no one's own configuration joins in.
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data"
mkdir "$HOME"

(cd "$root" && cpack --config "$build/CPackConfig.cmake" -B "$root/package" >/dev/null)
deb="$(ls "$root"/package/*.deb)"
version="$(dpkg-deb -f "$deb" Version)"
dpkg-deb -f "$deb" Recommends | grep -qw qt6-wayland || fail "the package does not recommend qt6-wayland"
autostart=/etc/xdg/autostart/dev.vantu.Vantu.desktop

installed=true
# Slim container images tell dpkg to leave manual pages out; these are part of what is checked.
if ! dpkg --path-include='/usr/share/man/man1/vantu*' -i "$deb"; then
  DEBIAN_FRONTEND=noninteractive apt-get install -f -y -qq --no-install-recommends
fi
[ "$(status)" = "install ok installed" ] || fail "dpkg did not install the package ($(status))"

[ "$(command -v vantu-cli)" = /usr/bin/vantu-cli ] || fail "vantu-cli is not found on PATH as /usr/bin/vantu-cli"
[ "$(vantu-cli --version)" = "vantu-cli $version" ] || fail "vantu-cli --version says '$(vantu-cli --version)'"
for page in vantu vantu-cli; do
  [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page finds '$(man -w "$page" 2>&1)'"
done
dpkg-query -W -f='${Conffiles}\n' vantu | grep -q "^ $autostart " || fail "$autostart is not a conffile"

# Each shell finds the completion where the package put it, without being pointed at it.
bash -c 'source /usr/share/bash-completion/bash_completion; _completion_loader vantu-cli; complete -p vantu-cli' |
  grep -q -- '-F _vantu_cli vantu-cli$' || fail "bash-completion does not load the completion for vantu-cli"
timeout 30 "$here/zsh_complete.zsh" "vantu-cli list --" | grep -qx -- --json || fail "zsh does not complete vantu-cli"
fish -c "complete -C'vantu-cli list --'" | cut -f1 | grep -qx -- --json || fail "fish does not complete vantu-cli"

# Removing keeps the administrator's autostart entry; purging takes it too.
dpkg -r vantu >/dev/null
[ ! -e /usr/bin/vantu-cli ] || fail "dpkg -r left /usr/bin/vantu-cli behind"
[ -e "$autostart" ] || fail "dpkg -r removed the conffile $autostart"
dpkg --purge vantu >/dev/null
installed=false
[ ! -e "$autostart" ] || fail "dpkg --purge left $autostart behind"
[ -z "$(status)" ] || [ "$(status)" = "unknown ok not-installed" ] || fail "vantu is still known to dpkg: $(status)"
echo "The package installs, is found by man and the shells, and removes cleanly."
