#!/usr/bin/env bash
# Builds the six shipping 32-bit DLLs and kelpa-call.exe into dist/, lays dist/ out as a user installs
# it and archives it (tools/package.sh), installing the cross compiler first if needed.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh build
log=build/win32-build.log
mkdir -p build
# The shipping settings, whatever an earlier build left in the cache: the DLLs go to dist/, and the
# two download hosts are taken from the environment variables of the same names, or else are the
# build's defaults (README.md).
shipping_settings=(-DKELPA_DIST_DIR="$PWD/dist")
for setting in KELPA_GRID_SETTINGS_HOST KELPA_MEMBER_AREA_HOST; do
    if [ -n "${!setting:-}" ]; then
        shipping_settings+=("-D$setting=${!setting}")
    else
        shipping_settings+=("-U$setting")
    fi
done
if ! { cmake --preset win32 "${shipping_settings[@]}" && cmake --build --preset win32; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "build: failed (log above, also in $log)" >&2
    exit 1
fi
# dist/ as a user installs it (the include files, samples, guide and checksums beside the DLLs
# and kelpa-call.exe), and its archive next to it.
if ! tools/package.sh "$PWD/dist" >>"$log" 2>&1; then
    cat "$log" >&2
    echo "build: packaging failed (log above, also in $log)" >&2
    exit 1
fi
echo "build: the package is in dist/ (guide: dist/docs/guide.md), archived as kelpa-$(cat VERSION).zip:"
ls dist/*.dll dist/*.exe
