#!/usr/bin/env bash
# Fuzzes the response reader and the variable store with libFuzzer (clang-14; preset `fuzz`).
#   tools/fuzz.sh [TARGET] [SECONDS]   TARGET: response_reader, store or all (default all);
#                                      SECONDS per target (default 60)
# Each target starts from its seed corpus in fuzz/corpus/<target>/ and keeps what it finds in
# build/fuzz/corpus/<target>/, outside the repository. A crash stops the run with the input that
# caused it written to build/fuzz/crashes/ and exits non-zero. The last line of each target's run
# tells the executions reached.
set -uo pipefail
cd "$(dirname "$0")/.."

target=${1:-all}
seconds=${2:-60}
case "$target" in
    all) targets=(response_reader store) ;;
    response_reader | store) targets=("$target") ;;
    *)
        echo "fuzz: unknown target $target (response_reader, store or all)" >&2
        exit 2
        ;;
esac

build_dir=${KELPA_FUZZ_BUILD_DIR:-build/fuzz}
log=$build_dir-build.log
mkdir -p build
if ! { cmake --preset fuzz -B "$build_dir" && cmake --build "$build_dir" --target kelpa_fuzz_targets; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "fuzz: the fuzz build failed" >&2
    exit 1
fi

# Inputs as large as a body that fills the response buffer, and a header line past it.
declare -A max_len=([response_reader]=70000 [store]=4096)
status=0
for name in "${targets[@]}"; do
    work=$build_dir/corpus/$name
    crashes=$build_dir/crashes/$name
    mkdir -p "$work" "$crashes"
    run_log=$build_dir/$name.log
    "$build_dir/fuzz/${name}_fuzz" "$work" "fuzz/corpus/$name" -max_total_time="$seconds" \
        -max_len="${max_len[$name]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/" >"$run_log" 2>&1
    result=$?
    runs=$(grep -oE '^stat::number_of_executed_units: *[0-9]+' "$run_log" | grep -oE '[0-9]+$' || true)
    if [ "$result" = 0 ]; then
        echo "fuzz: $name: ${runs:-?} executions in ${seconds}s, no crash"
    else
        grep -E 'ERROR|SUMMARY|Test unit written|deadly signal' "$run_log" | head -20 >&2
        echo "fuzz: $name: FAILED after ${runs:-?} executions (log: $run_log, input in $crashes/)" >&2
        status=1
    fi
done
exit $status
