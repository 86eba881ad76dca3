#!/usr/bin/env bash
# Starts the window on a private X display with a private session and
# accessibility bus, works it through AT-SPI as a screen reader does
# (check.py), and ends it with SIGTERM. Exits 77 (skipped) with the reason when
# no accessibility bus can be had here. usage: run.sh KOLVEX_BINARY WORK_FOLDER
set -u
app=$1; work=$2
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIP: $*"; exit 77; }

for tool in Xvfb dbus-daemon dbus-send xdotool; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
# The system's Python, whose packages hold the AT-SPI bindings (another one
# earlier on the PATH may lack them).
py=/usr/bin/python3
[ -x "$py" ] || py=$(command -v python3) || skip "python3 is not installed"
launcher=/usr/libexec/at-spi-bus-launcher
registry=/usr/libexec/at-spi2-registryd
[ -x "$launcher" ] && [ -x "$registry" ] || skip "at-spi2-core is not installed"
"$py" -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is not installed"

rm -rf "$work"; mkdir -p "$work/data" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and tells it.
exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp > "$work/xvfb.log" 2>&1 & pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || skip "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

# A session bus of our own, on which the accessibility bus is found.
dbus-daemon --session --nofork --print-address=6 6> "$work/bus" > "$work/dbus.log" 2>&1 & pids+=($!)
for _ in $(seq 50); do [ -s "$work/bus" ] && break; sleep 0.1; done
[ -s "$work/bus" ] || skip "no session bus could be started"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
export XDG_RUNTIME_DIR="$work/runtime"
unset AT_SPI_BUS_ADDRESS
"$launcher" --launch-immediately > "$work/atspi.log" 2>&1 & pids+=($!)
# The registry asks for the accessibility bus by name: started before the
# launcher has taken the name, it would start a second bus of its own.
for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q "boolean true" && break
    sleep 0.1
done
"$registry" >> "$work/atspi.log" 2>&1 & pids+=($!)
# Qt's bridge, told to be always on, may register the program with the
# registry before its asynchronous request for the accessibility bus's address
# is answered, and then never again: the program stays off the bus. An address
# on the X root window (as a desktop session publishes it) is read at once.
address=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress 2>/dev/null \
    | sed 's/^ *//')
[ -n "$address" ] || skip "the accessibility bus has no address"
command -v xprop >/dev/null || skip "xprop is not installed"
published=
for _ in $(seq 50); do
    xprop -root -f AT_SPI_BUS 8s -set AT_SPI_BUS "$address" 2>> "$work/xprop.log"
    published=$(xprop -root -notype AT_SPI_BUS 2>> "$work/xprop.log")
    case $published in *"$address"*) break ;; esac
    sleep 0.1
done
case $published in *"$address"*) ;;
    *) skip "the accessibility bus address could not be published on the display: $published $(tail -n1 "$work/xprop.log")" ;;
esac
ready=0
for _ in $(seq 50); do
    "$py" -c 'import pyatspi; pyatspi.Registry.getDesktop(0).childCount' >/dev/null 2>&1 && { ready=1; break; }
    sleep 0.2
done
[ $ready = 1 ] || skip "the accessibility bus did not answer"

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb
# The X and accessibility plugins keep a few bytes to the end of the process,
# and the X keyboard library reads its keymap names with strndup beyond their
# end, as strict string checks see it: the program's own leaks and string
# checks are the other tests' business.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0:strict_string_checks=0"
# A program that starts while the registry is still settling is sometimes never
# listed on the bus; it is started again then (three times at most).
rc=3
for try in 1 2 3; do
    KOLVEX_DATA_DIR="$work/data" XDG_CONFIG_HOME="$work/config" "$app" > "$work/window.log" 2>&1 & app_pid=$!
    "$py" "$here/check.py"; rc=$?
    if ! kill -0 $app_pid 2>/dev/null; then
        wait $app_pid; echo "FAIL: the program ended by itself with status $?"; tail -n 40 "$work/window.log"; exit 1
    fi
    kill -TERM $app_pid; wait $app_pid; app_rc=$?
    [ $rc -ne 3 ] && break
done
[ $rc -eq 3 ] && skip "the window did not appear on the accessibility bus"
if [ $app_rc -ne 0 ]; then
    echo "FAIL: the program ended with status $app_rc"; tail -n 40 "$work/window.log"; exit 1
fi
exit $rc
