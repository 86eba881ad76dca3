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

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"
