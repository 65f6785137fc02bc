#!/usr/bin/env bash
# Sets up a Debian 12 machine for Vantu, builds it, and runs the app or the tests.
#
#   scripts/dev.sh run     install what is needed, build, start the tray app
#   scripts/dev.sh test    install what is needed, build (also optimised, tests included),
#                          run every test (also under AddressSanitizer and
#                          UndefinedBehaviorSanitizer) and the fuzzers
#   scripts/dev.sh deps    only install the packages
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

packages=(
  # build
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev qcoro-qt6-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  libcurl4-openssl-dev libxcb1-dev
  # tests, benchmarks, fuzzers
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # what the app runs and what its tests drive
  desktop-file-utils appstream dpkg-dev file
  # the Debian package's checks: lint, manual pages, each shell's completion
  lintian man-db groff-base bash-completion zsh fish
  lsof iproute2 util-linux procps strace qt6-qpa-plugins libxkbcommon-x11-0 fonts-dejavu-core
  xvfb xdotool trayer x11-utils imagemagick
  # StatusNotifierItem trays on a private session bus, and Wayland (headless sway, screenshots)
  dbus python3-dbus-next qt6-wayland sway xwayland foot grim
  # xfce4-panel, whose tray hosts the item as xfce desktops do; GNOME Shell, headless, with the
  # extension that gives it a tray
  xfce4-panel gnome-shell gnome-shell-extension-appindicator libglib2.0-bin
  # what a screen reader hears: the AT-SPI buses and their Python client
  at-spi2-core python3-pyatspi
  # container engines the tests start privately, with an image made of busybox (no registry)
  docker.io busybox-static curl podman uidmap slirp4netns runc catatonit
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_deps() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# Real dev-server tooling for the tests that stop a whole process group: npm (from Debian when
# Node.js is not installed otherwise), nodemon and concurrently from the npm registry.
node_tools="$root/build/node-tools"
install_node_tools() {
  if ! command -v npm >/dev/null 2>&1; then
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends nodejs npm
  fi
  if [ ! -x "$node_tools/node_modules/.bin/nodemon" ] || [ ! -x "$node_tools/node_modules/.bin/concurrently" ]; then
    mkdir -p "$node_tools"
    npm install --prefix "$node_tools" --no-audit --no-fund --no-update-notifier --loglevel=error \
      nodemon@3 concurrently@9
  fi
}

configure_and_build() {  # build-dir [cmake options...]
  local dir="$1"; shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" --parallel "$jobs"
}

run_tests() {  # build-dir
  ctest --test-dir "$1" --output-on-failure --parallel "$jobs" --timeout 300
}

case "${1:-}" in
  deps)
    install_deps
    install_node_tools
    ;;
  run)
    install_deps
    configure_and_build "$root/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTU_TESTS=OFF -DVANTU_BENCH=OFF
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "The tray app needs a graphical session (DISPLAY or WAYLAND_DISPLAY is not set)." >&2
      exit 1
    fi
    exec "$root/build/release/src/app/vantu"
    ;;
  test)
    install_deps
    install_node_tools
    configure_and_build "$root/build/debug" -DCMAKE_BUILD_TYPE=Debug
    # Built, not run: optimisation lets the compiler see through inlined code and warn where a
    # debug build cannot, and warnings are errors.
    configure_and_build "$root/build/release-tests" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTU_BENCH=OFF
    run_tests "$root/build/debug"
    # Sanitizers: leaks are reported too, so every test must clean up after itself.
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    configure_and_build "$root/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DVANTU_SANITIZE=ON -DVANTU_BENCH=OFF
    run_tests "$root/build/sanitize"
    unset ASAN_OPTIONS UBSAN_OPTIONS
    # Fuzzers, each for a bounded time.
    configure_and_build "$root/build/fuzz" -DCMAKE_BUILD_TYPE=Debug -DVANTU_FUZZ=ON -DVANTU_TESTS=OFF \
      -DVANTU_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++
    "$root/scripts/run-fuzzers.sh" "$root/build/fuzz" 30
    echo "All tests passed."
    ;;
  *)
    sed -n '2,8p' "$0" >&2
    exit 64
    ;;
esac
