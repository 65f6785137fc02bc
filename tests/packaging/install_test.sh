#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root/install" cmake --install "$build" >/dev/null
installed="$root/install"
for file in usr/bin/vantu-cli \
            usr/share/applications/dev.vantu.Vantu.desktop \
            etc/xdg/autostart/dev.vantu.Vantu.desktop \
            usr/share/icons/hicolor/scalable/apps/dev.vantu.Vantu.svg \
            usr/share/metainfo/dev.vantu.Vantu.metainfo.xml; do
  [ -e "$installed/$file" ] || fail "missing $file"
done
if grep -q 'add_executable(vantu ' "$(dirname "$0")/../../src/app/CMakeLists.txt" 2>/dev/null; then
  [ -x "$installed/usr/bin/vantu" ] || fail "missing usr/bin/vantu"
fi
"$installed/usr/bin/vantu-cli" --version | grep -q '^vantu-cli ' || fail "installed vantu-cli does not run"

desktop-file-validate "$installed/usr/share/applications/dev.vantu.Vantu.desktop"
desktop-file-validate "$installed/etc/xdg/autostart/dev.vantu.Vantu.desktop"
appstreamcli validate --no-net "$installed/usr/share/metainfo/dev.vantu.Vantu.metainfo.xml"

(cd "$root" && cpack --config "$build/CPackConfig.cmake" -B "$root/package" >/dev/null)
deb="$(ls "$root"/package/*.deb)"
info="$(dpkg-deb --info "$deb")"
echo "$info" | grep -E '^ (Package|Version|Depends):'
echo "$info" | grep -q '^ Depends:.*lsof' || fail "the package does not depend on lsof"
echo "$info" | grep -q '^ Depends:.*libqt6core6' || fail "the package does not depend on Qt"
contents="$(dpkg-deb --contents "$deb")"
echo "$contents" | grep -q '\./usr/bin/vantu-cli$' || fail "vantu-cli is not in the package"
echo "$contents" | grep -q '\./etc/xdg/autostart/dev.vantu.Vantu.desktop$' || fail "autostart entry is not in /etc/xdg/autostart"
echo "Packaging checks passed."
