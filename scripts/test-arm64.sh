#!/usr/bin/env bash
# Builds Kolvex for arm64 (64-bit Raspberry Pi OS is Debian 12 for arm64) and
# runs every test there. The program and the tests are cross-compiled on this
# machine with Debian's cross compiler against an arm64 Debian 12 root made
# with debootstrap; the tests then run inside that root, each arm64 program
# through qemu-user-static. Exits non-zero when anything fails.
#
# The root is kept for the next run (build-arm64/debian-root, or the folder
# KOLVEX_ARM64_ROOT names); KOLVEX_DEBIAN_MIRROR names another Debian mirror.
# The tests see pages of 4 KiB, as on a Raspberry Pi 4; KOLVEX_ARM64_PAGE_SIZE
# sets another size (16384 as on a Pi 5), which the emulator imitates only in
# part: with 16 KiB pages ldd, which runs the dynamic loader as a program,
# lists nothing and lintian reports nothing, so the package test fails then.
# Needs root (for debootstrap, chroot and the emulator's registration), and
# asks for it through sudo otherwise.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=KOLVEX_ARM64_ROOT,KOLVEX_DEBIAN_MIRROR,KOLVEX_ARM64_PAGE_SIZE "$0" "$@"
fi
started=$(date +%s)
source "$root/scripts/deps.sh"

arm64_root="${KOLVEX_ARM64_ROOT:-$root/build-arm64/debian-root}"
build="$root/build-arm64/build"
mirror="${KOLVEX_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
page_size="${KOLVEX_ARM64_PAGE_SIZE:-4096}"

# The build machine: the cross compiler, the emulator, debootstrap, and the
# packages of an ordinary build (cmake, ninja and Qt's code generators).
kolvex_packages+=(qemu-user-static debootstrap g++-aarch64-linux-gnu)
kolvex_install_missing_packages

# arm64 programs start through the emulator; the F flag opens it once, so that
# it serves inside the root too.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ ! -e "$binfmt/qemu-aarch64" ]; then
    cat /usr/lib/binfmt.d/qemu-aarch64.conf > "$binfmt/register"
fi

# What the root holds: the libraries to link against, and what the tests use
# at run time (QML modules, the Bluetooth stand-in, the validators, CTest, the
# packaging tools, Python for the client's tests).
root_packages=(
    libstdc++-12-dev
    qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev libqt5websockets5-dev
    qtconnectivity5-dev libqt5sensors5-dev libqt5serialport5-dev
    qml-module-qtquick2 qml-module-qtquick-window2 qml-module-qtquick-layouts
    qml-module-qtquick-controls2 qml-module-qtquick-templates2 qml-module-qtqml-models2
    desktop-file-utils appstream dbus-daemon python3-dbusmock python3 python3-numpy
    cmake dpkg-dev lintian
)

mounted=()
unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; --i)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
    done
    mounted=()
}
trap unmount_all EXIT
mount_into_root() {   # mount_into_root TARGET-INSIDE-ROOT mount-arguments...
    local target="$arm64_root$1"
    shift
    mkdir -p "$target"
    mount "$@" "$target"
    mounted+=("$target")
}
in_root() {
    chroot "$arm64_root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

# Mounts a run that was killed left in the root.
leftovers=$(awk -v root="$arm64_root/" 'index($2, root) == 1 { print $2 }' /proc/mounts | sort -r)
for target in $leftovers; do
    umount -l "$target"
done

if [ ! -x "$arm64_root/usr/bin/apt-get" ]; then
    echo "Making an arm64 Debian 12 root in $arm64_root (once; it is kept for later runs)"
    mkdir -p "$arm64_root"
    nice debootstrap --arch=arm64 --variant=minbase bookworm "$arm64_root" "$mirror"
fi
wanted="${root_packages[*]}"
if [ "$(cat "$arm64_root/.kolvex-packages" 2>/dev/null)" != "$wanted" ]; then
    echo "Installing the root's packages: $wanted"
    cat > "$arm64_root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb ${mirror%/debian}/debian-security bookworm-security main
EOF
    cp /etc/resolv.conf "$arm64_root/etc/resolv.conf"
    mount_into_root /proc -t proc proc
    mount_into_root /dev --bind /dev
    in_root apt-get update -qq
    in_root nice apt-get install -y -qq --no-install-recommends "${root_packages[@]}"
    in_root apt-get clean
    unmount_all
    echo "$wanted" > "$arm64_root/.kolvex-packages"
fi

# Cross-compiled here (an emulated compiler would take hours on two cores),
# optimised as a Raspberry Pi user's build is, so that the compiler contracts
# multiplications and additions into fused ones wherever it may.
export KOLVEX_ARM64_ROOT="$arm64_root"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/scripts/arm64/toolchain.cmake" -DKOLVEX_ARM64_ROOT="$arm64_root"
nice cmake --build "$build" --parallel "$(nproc)"
# The emulator's stand-in for a missing system call (see no-pidfd.c).
aarch64-linux-gnu-gcc --sysroot="$arm64_root" -shared -fPIC -O2 "$root/scripts/arm64/no-pidfd.c" \
    -o "$build/no-pidfd.so" -ldl
built=$(date +%s)

# The tests run inside the root, where the source and build folders appear
# at the paths the build wrote into the tests; /tmp is a fresh one.
mount_into_root /proc -t proc proc
mount_into_root /dev --bind /dev
mount_into_root /dev/pts --bind /dev/pts
mount_into_root /dev/shm -t tmpfs tmpfs
mount_into_root /tmp -t tmpfs tmpfs
mount_into_root "$root" --bind "$root"
status=0
in_root LD_PRELOAD="$build/no-pidfd.so" QEMU_PAGESIZE="$page_size" /bin/sh -c "cd '$build' && nice ctest --output-on-failure --parallel $(nproc)" \
    || status=$?
unmount_all

finished=$(date +%s)
echo "arm64: built in $((built - started)) s, tests ran in $((finished - built)) s with $page_size-byte pages," \
    "$((finished - started)) s in all."
exit "$status"
