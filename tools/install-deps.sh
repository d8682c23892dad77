#!/usr/bin/env bash
# Installs what the builds and the tests need on a Debian 12 machine (run as root).
#   tools/install-deps.sh build   the i686 cross compiler, cmake and python3
#   tools/install-deps.sh test    the above, plus 32-bit Wine and qemu-user from bookworm-backports
# Idempotent and quiet: nothing is fetched when everything is already present.
set -euo pipefail

want=${1:-build}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

run_quiet() {
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        echo "install-deps: failed: $*" >&2
        exit 1
    fi
}

missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
    done
}

apt_updated=0
apt_update_once() {
    if [ "$apt_updated" = 0 ]; then
        # A third-party source that cannot be reached must not stop the Debian ones from updating.
        DEBIAN_FRONTEND=noninteractive apt-get update -qq >"$log" 2>&1 || true
        apt_updated=1
    fi
}

apt_install() {
    local missing
    missing=$(missing_packages "$@")
    [ -z "$missing" ] && return 0
    apt_update_once
    # shellcheck disable=SC2086
    run_quiet env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
}

# python3 writes the package archive (tools/package.sh).
build_packages=(cmake ninja-build g++-mingw-w64-i686 python3)
apt_install "${build_packages[@]}"
[ "$want" = build ] && exit 0

# Tests: the shipping DLLs run under bookworm's 32-bit Wine, whose 32-bit loader runs through
# qemu-user 10 from bookworm-backports (bookworm's own qemu 7.2 is too slow and crashes there).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt_updated=0
fi
if [ ! -e /etc/apt/sources.list.d/backports.list ]; then
    # The same mirror as the machine's own Debian sources.
    mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    [ -n "$mirror" ] || mirror=$(awk '/^deb /{print $2; exit}' /etc/apt/sources.list)
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm-backports main" \
        >/etc/apt/sources.list.d/backports.list
    apt_updated=0
fi
apt_install wine wine64 wine32:i386 clang-14 libclang-rt-14-dev clang-format-14 googletest libgtest-dev libgmock-dev curl python3

qemu_version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
case "$qemu_version" in
    1:10.*) ;;
    *)
        apt_update_once
        run_quiet env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            -t bookworm-backports qemu-user
        ;;
esac
