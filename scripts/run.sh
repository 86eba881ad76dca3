#!/usr/bin/env bash
# Installs what is missing, builds Kolvex (Release) and starts it. Without a
# display it runs the headless kolvex-console instead: one calculation on the
# current settings, written as a table to the results folder of the data folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
kolvex_install_missing_packages

build="$root/build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOLVEX_BUILD_TESTS=OFF
cmake --build "$build" --parallel "$(nproc)" --target kolvex kolvex-console

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    exec "$build/kolvex" "$@"
fi

# The folder the window uses too, so that line data and settings are shared.
data="${KOLVEX_DATA_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/kolvex}"
results="$data/results"
mkdir -p "$results"
stamp="$(date +%d_%m_%Y-%H_%M_%S)"
replies="$results/kolvex-console-$stamp-replies.txt"
log="$results/kolvex-console-$stamp-messages.txt"
table="$results/kolvex-console-$stamp.txt"

echo "No display found (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset)."
echo "Running the headless kolvex-console instead: one calculation on the current settings"
echo "of $data, the total absorption (%) over the wavenumber grid."
echo "To see the window, start it on a display, for example: xvfb-run -a $build/kolvex"
echo

# The vertical quantity is set to absorption in %, whose total the results
# hold, with ten digits (the console does not keep settings it was given).
spectrum_of_total='#RESULT;SPEC;TOTAL'
status=0
printf '%s\n' '#YPARAM;0' '#YUNITS;2' '#PREC;10' '#SWAVE;?' '#EWAVE;?' '#NUMWNPTS;?' \
    '#CALC' '#RESULT;WNGRID' "$spectrum_of_total" \
    | "$build/kolvex-console" --data-dir "$data" > "$replies" 2> "$log" || status=$?
# Its messages, without the list of partition-sum files read.
grep -v '^Loading' "$log" || true
echo
if [ "$status" -ne 0 ]; then
    echo "kolvex-console failed (exit status $status); its replies are in $replies" >&2
    exit "$status"
fi

# Replies, one per line: start, end, points, READY, the grid, the total.
if ! awk -v table="$table" '
    NR == 1 { start = $0 } NR == 2 { end = $0 } NR == 3 { points = $0 }
    NR > 3 && $0 == "READY" { ready = NR }
    ready && NR == ready + 1 { grid = $0 }
    ready && NR == ready + 2 { total = $0 }
    END {
        if (!ready) { print "The calculation did not finish; the replies say why." > "/dev/stderr"; exit 1 }
        n = split(grid, x, ";"); m = split(total, y, ";")
        if (n < 2 || n != m) { print "The results are incomplete; the replies say why." > "/dev/stderr"; exit 1 }
        print "Wavenumber, cm-1\tTotal absorption, %" > table
        for (i = 1; i <= n; ++i) print x[i] "\t" y[i] > table
        printf "Calculated %s to %s cm-1, %s points.\n", start, end, points
    }' "$replies"; then
    echo "The replies of kolvex-console are in $replies" >&2
    cat "$replies" >&2
    exit 1
fi
echo "Results: $table"
echo "Replies and messages of kolvex-console: $replies, $log"
exit 0
