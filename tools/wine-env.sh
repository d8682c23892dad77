#!/usr/bin/env bash
# Prepares this machine to run the 32-bit Windows test host, then runs a command in that setting.
#   tools/wine-env.sh setup          register qemu-i386 for 32-bit ELF and create the Wine prefix once
#   tools/wine-env.sh run CMD ...    run CMD (typically: wine host.exe ...) with the prefix selected
#   tools/wine-env.sh restart        stop the wineserver and wait, so the registry reaches the disk
# The machine cannot execute 32-bit x86 code itself: Wine's 32-bit loader runs through qemu-user.
set -euo pipefail

export WINEPREFIX=${KELPA_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/kelpa/wine-prefix}
export WINEDEBUG=-all
export WINEARCH=win32
unset DISPLAY

register_qemu() {
    local entry=/proc/sys/fs/binfmt_misc/qemu-i386
    mountpoint -q /proc/sys/fs/binfmt_misc || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    # The F flag keeps the interpreter opened at registration, so an entry from an older qemu
    # must be removed before ours is registered. A kernel-wide setting, lost on reboot.
    if [ -e "$entry" ] && grep -q '^interpreter /usr/bin/qemu-i386$' "$entry" && grep -q '^enabled' "$entry"; then
        return 0
    fi
    [ -e "$entry" ] && echo -1 >"$entry"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
        >/proc/sys/fs/binfmt_misc/register
}

create_prefix() {
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
}

case "${1:-}" in
    setup)
        register_qemu
        create_prefix
        ;;
    run)
        shift
        exec "$@"
        ;;
    restart)
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
        ;;
    *)
        echo "usage: $0 setup | run CMD... | restart" >&2
        exit 2
        ;;
esac
