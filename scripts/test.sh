#!/usr/bin/env bash
# Installs what is missing, builds Kolvex with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test. Exits non-zero on any failure.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
kolvex_install_missing_packages

build="$root/build-tests"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOLVEX_SANITIZE=ON
cmake --build "$build" --parallel "$(nproc)"

# The sanitizer options and the offscreen platform are set per test by CTest.
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"
