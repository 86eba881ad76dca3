#!/usr/bin/env bash
# Installs what is missing, builds Kolvex (Release) and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
kolvex_install_missing_packages

build="$root/build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOLVEX_BUILD_TESTS=OFF
cmake --build "$build" --parallel "$(nproc)" --target kolvex

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found. Start the window on a display, for example:"
    echo "  xvfb-run -a $build/kolvex"
    echo "or run scripts/run.sh from a desktop session."
    exit 1
fi
exec "$build/kolvex" "$@"
