#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The prefix the build was configured with (/usr unless the builder chose another).
prefix="$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")"
prefix="${prefix#/}"
if [ "$prefix" = "usr" ]; then autostart="etc/xdg/autostart"; else autostart="$prefix/etc/xdg/autostart"; fi

DESTDIR="$root/install" cmake --install "$build" >/dev/null
installed="$root/install"
for file in "$prefix/bin/vantu" "$prefix/bin/vantu-cli" \
            "$prefix/share/applications/dev.vantu.Vantu.desktop" \
            "$autostart/dev.vantu.Vantu.desktop" \
            "$prefix/share/icons/hicolor/scalable/apps/dev.vantu.Vantu.svg" \
            "$prefix/share/metainfo/dev.vantu.Vantu.metainfo.xml"; do
  [ -e "$installed/$file" ] || fail "missing $file"
done
"$installed/$prefix/bin/vantu-cli" --version | grep -q '^vantu-cli ' || fail "installed vantu-cli does not run"

desktop-file-validate "$installed/$prefix/share/applications/dev.vantu.Vantu.desktop"
desktop-file-validate "$installed/$autostart/dev.vantu.Vantu.desktop"
appstreamcli validate --no-net "$installed/$prefix/share/metainfo/dev.vantu.Vantu.metainfo.xml"

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
echo "Packaging checks passed."
