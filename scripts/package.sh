#!/usr/bin/env bash
# Installs what is missing, builds Kolvex (Release, with Debian's hardening
# flags, for /usr: the layer libraries go to /usr/lib/<multiarch>/kolvex) and makes the Debian package kolvex_<version>_<arch>.deb with CPack in
# build-package/, then shows what lintian says of it. Exits non-zero when the
# build fails or lintian reports an error.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
kolvex_install_missing_packages

build="$root/build-package"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOLVEX_BUILD_TESTS=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build" --parallel "$(nproc)" --target kolvex kolvex-console
(cd "$build" && cpack -G DEB)

version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")"
package="$build/kolvex_${version}_$(dpkg --print-architecture).deb"
echo
echo "Package: $package"
dpkg-deb --field "$package" Package Version Architecture Installed-Size Depends
echo
echo "lintian:"
# lintian exits 1 when it reports an error, 2 when it could not check the package.
status=0
lintian --tag-display-limit 0 --fail-on error "$package" || status=$?
if [ "$status" -ne 0 ]; then
    echo "lintian reports errors or could not check the package (exit status $status)." >&2
    exit 1
fi
echo "No lintian errors. Install it with: sudo apt install $package"
