#!/usr/bin/env bash
# Installs the Debian packages Kolvex needs to build, run and test, if any is missing.
# Sourced by run.sh and test.sh.
kolvex_packages=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev libqt5websockets5-dev
    qtconnectivity5-dev libqt5sensors5-dev libqt5serialport5-dev
    # The report's SVG figure (Qt's SVG writer).
    libqt5svg5-dev
    qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-layouts
    qml-module-qtquick-controls2 qml-module-qtquick-templates2 qml-module-qtqml-models2
    # Eigen: the least-squares solver of the fit of measured spectra (headers only).
    libeigen3-dev
    xvfb xauth
    desktop-file-utils appstream
    # The package and its checks (scripts/package.sh, tst_package).
    dpkg-dev lintian
    # The Python client and its tests (numpy arrays where numpy is present).
    python3 python3-numpy
    # The tests' stand-in for the Bluetooth service: a private bus and BlueZ mocked on it.
    dbus-daemon python3-dbusmock
    # The window worked through the accessibility bus, as a screen reader does.
    dbus-bin at-spi2-core python3-pyatspi xdotool x11-utils
)

kolvex_install_missing_packages() {
    local missing=()
    local package
    for package in "${kolvex_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq || return 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
