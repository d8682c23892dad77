#!/usr/bin/env bash
# Runs every test: the native suites (plain, and under AddressSanitizer with UndefinedBehavior-
# Sanitizer, and the concurrency tests under ThreadSanitizer), a bounded run of each fuzz target,
# the check of the shipping binaries, and the acceptance suite on the 32-bit DLLs under
# 32-bit Wine. Installs what it needs first (as root). Exits non-zero on any failure.
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

# Runs one preset's tests and adds them to the counts. Native suites register each GoogleTest case
# with ctest; the Windows host runs many cases per ctest entry, so there its own counts are used.
run_ctest() {
    local preset=$1 log=build/$1-ctest.log counts
    echo "== $preset"
    ctest --preset "$preset" -V >"$log" 2>&1
    grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' "$log" | grep -v ' Passed ' || true
    grep -E 'tests passed, [0-9]+ tests? failed out of' "$log" || true
    if [ "$preset" = win32-test ]; then
        local gtest_passed gtest_failed
        gtest_passed=$(grep -oE '\[  PASSED  \] [0-9]+ test' "$log" | awk '{s += $4} END {print s + 0}')
        gtest_failed=$(grep -oE '\[  FAILED  \] [0-9]+ test' "$log" | awk '{s += $4} END {print s + 0}')
        echo "Windows host: $gtest_passed cases passed, $gtest_failed failed"
        passed=$((passed + gtest_passed))
        failed=$((failed + gtest_failed))
    fi
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
    if [ "$preset" != win32-test ]; then
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    elif [ "$bad" != 0 ]; then
        failed=$((failed + bad))
    fi
    if [ "$bad" != 0 ]; then
        status=1
        grep -E '(\[  FAILED  \]|Failure|error:|ERROR|Sanitizer)' "$log" | head -100
        echo "(the whole output: $log)"
    fi
}

# The shipping DLLs first, as the README's build command makes them: the binary check of the
# native suites reads dist/, and the Windows host runs its suite against them as well as against
# the test build's DLLs, whose download hosts are 127.0.0.1 (kept in build/test-dist, never in dist/).
tools/build.sh >/dev/null || exit 1
# tools/build.sh has laid out the package: its check must find it, not skip.
export KELPA_REQUIRE_PACKAGE=1
build_preset win32-test || exit 1
# native-tsan builds the acceptance suite under ThreadSanitizer and runs its concurrency tests.
for preset in native native-asan native-tsan; do
    if build_preset "$preset"; then
        run_ctest "$preset"
    else
        status=1
        failed=$((failed + 1))
    fi
done

if tools/wine-env.sh setup; then
    run_ctest win32-test
    tools/wine-env.sh restart
else
    echo "test: could not prepare 32-bit Wine" >&2
    status=1
    failed=$((failed + 1))
fi

# A bounded run of each fuzz target (tools/fuzz.sh fuzzes longer); a crash fails the run.
echo "== fuzz"
for target in response_reader store; do
    if tools/fuzz.sh "$target" "${KELPA_FUZZ_SECONDS:-45}"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        status=1
    fi
done

echo "== format"
if tools/check-format.sh >build/format.log 2>&1; then
    passed=$((passed + 1))
else
    head -40 build/format.log
    echo "test: sources do not follow .clang-format (tools/check-format.sh --fix)"
    failed=$((failed + 1))
    status=1
fi

echo "tests: $passed passed, $failed failed"
exit $status
