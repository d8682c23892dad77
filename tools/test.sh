#!/usr/bin/env bash
# Runs every test: the native suites (plain, and under AddressSanitizer with UndefinedBehavior-
# Sanitizer), the check of the shipping binaries, and the acceptance suite on the shipping DLLs
# under 32-bit Wine. Installs what it needs first (as root). Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test || exit 1
mkdir -p build

passed=0
failed=0
status=0

# Builds quietly: the log is shown only when the build fails.
build_preset() {
    local preset=$1 log=build/$1-build.log
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
        cat "$log" >&2
        echo "test: the $preset build failed" >&2
        return 1
    fi
}

run_ctest() {
    local preset=$1 log=build/$1-ctest.log counts
    echo "== $preset"
    ctest --preset "$preset" 2>&1 | tee "$log" | grep -E '(Passed|Failed|\*\*\*|Not Run|tests passed|Output)' \
        | grep -vE '^\s*[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' || true
    counts=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
    if [ -z "$counts" ]; then
        cat "$log"
        failed=$((failed + 1))
        status=1
        return
    fi
    local total bad
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$counts")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$counts")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    [ "$bad" = 0 ] || { status=1; grep -A200 'The following tests FAILED' "$log"; }
}

# The shipping DLLs first: the binary check of the native suite reads them from dist/.
build_preset win32 || exit 1
for preset in native native-asan; do
    if build_preset "$preset"; then
        run_ctest "$preset"
    else
        status=1
        failed=$((failed + 1))
    fi
done

if tools/wine-env.sh setup; then
    run_ctest win32
    tools/wine-env.sh restart
else
    echo "test: could not prepare 32-bit Wine" >&2
    status=1
    failed=$((failed + 1))
fi

echo "tests: $passed passed, $failed failed"
exit $status
