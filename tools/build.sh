#!/usr/bin/env bash
# Builds the six shipping 32-bit DLLs into dist/, installing the cross compiler first if needed.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh build
log=build/win32-build.log
mkdir -p build
if ! { cmake --preset win32 && cmake --build --preset win32; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "build: failed (log above, also in $log)" >&2
    exit 1
fi
echo "build: the deliverables are in dist/:"
ls dist/*.dll
