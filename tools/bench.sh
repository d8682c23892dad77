#!/usr/bin/env bash
# Times the exports against the calls they cannot avoid and prints one table per platform:
#   native   the deliverables built for Linux against the stand-in (build/bench-native)
#   wine     the 32-bit DLLs as they ship, with the test build's loopback download hosts, run under
#            32-bit Wine through qemu-i386 (build/bench-win32, DLLs in build/bench-dist)
# Each ratio is measured side by side in one process, export against baseline; compare ratios
# within a table, never times across the two. Not part of tools/test.sh, which runs only a short
# smoke run of the same program. Usage: tools/bench.sh [native|wine|both] (default both).
# Installs what it needs first (as root), like tools/test.sh.
set -uo pipefail
cd "$(dirname "$0")/.."

which=${1:-both}
case "$which" in
    native | wine | both) ;;
    *)
        echo "usage: $0 [native|wine|both]" >&2
        exit 2
        ;;
esac

tools/install-deps.sh test || exit 1
mkdir -p build
status=0

# Builds the benchmark and the deliverables it loads, quietly: the log is shown only on failure.
build() {
    local log=build/bench-$1-build.log
    shift
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        echo "bench: the build failed (log above, also in $log)" >&2
        return 1
    fi
}

if [ "$which" != wine ]; then
    echo "== native stand-in"
    if build native cmake --preset native -B build/bench-native &&
        build native cmake --build build/bench-native --target kelpa_bench; then
        build/bench-native/bench/kelpa_bench || status=1
    else
        status=1
    fi
fi

if [ "$which" != native ]; then
    echo
    echo "== 32-bit Windows DLLs under Wine"
    if build win32 cmake --preset win32-test -B build/bench-win32 -DKELPA_DIST_DIR="$PWD/build/bench-dist" &&
        build win32 cmake --build build/bench-win32 --target kelpa_bench; then
        # The benchmark's server listens on port 80 of 127.0.0.2, where the test runs never listen.
        if tools/wine-env.sh setup; then
            (cd build/bench-win32/bench && ../../../tools/wine-env.sh run wine kelpa_bench.exe) || status=1
        else
            echo "bench: could not prepare 32-bit Wine" >&2
            status=1
        fi
    else
        status=1
    fi
fi
exit $status
