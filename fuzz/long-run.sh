#!/usr/bin/env bash
# The long runs: every fuzz target at once for SECONDS (default 1800) under nice -n 19, each on
# a fresh copy of its seeds in a folder of its own under OUT (default a new one under $TMPDIR or
# /tmp), then one table row of figures per target. The targets come from BUILD (default
# build/fuzz of this checkout). Crashes stay in OUT/<target>/ as crash-*, leak-*, oom-* or
# timeout-* files. TARN_FUZZ_TARGETS names fewer targets ("ruledocument regfile").
#   fuzz/long-run.sh [SECONDS [OUT [BUILD]]]
set -euo pipefail

readonly HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly SECONDS_EACH=${1:-1800}
readonly OUT=${2:-$(mktemp -d "${TMPDIR:-/tmp}/tarn-fuzz.XXXXXX")}
readonly BUILD=${3:-$HERE/../build/fuzz}
read -r -a TARGETS <<<"${TARN_FUZZ_TARGETS:-peversion shelllink regfile ruledocument}"
readonly TARGETS

dictionary() {
    case $1 in
    regfile) echo "-dict=$HERE/reg.dict" ;;
    ruledocument) echo "-dict=$HERE/xml.dict" ;;
    esac
}

run_target() {
    local name=$1 work=$OUT/$1
    mkdir -p "$work/corpus" "$work/log"
    cp "$HERE/corpus/$name"/* "$work/corpus/"
    TARN_LOG_DIR=$work/log nice -n 19 "$BUILD/fuzz/fuzz_$name" -max_total_time="$SECONDS_EACH" \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/" $(dictionary "$name") \
        "$work/corpus" >"$work/fuzz.log" 2>&1
}

# | target | executions | exec/s | cov | ft | corpus files | peak RSS MB | crashes |
row() {
    local name=$1 log=$OUT/$1/fuzz.log last
    last=$(grep -E '^#[0-9]+[[:space:]].*cov: ' "$log" | tail -n 1 || true)
    printf '| %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" \
        "$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")" \
        "$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")" \
        "$(sed -n 's/.* cov: \([0-9]*\) .*/\1/p' <<<"$last")" \
        "$(sed -n 's/.* ft: \([0-9]*\) .*/\1/p' <<<"$last")" \
        "$(find "$OUT/$name/corpus" -type f | wc -l)" \
        "$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")" \
        "$(find "$OUT/$name" -maxdepth 1 -name 'crash-*' -o -maxdepth 1 -name 'leak-*' \
            -o -maxdepth 1 -name 'oom-*' -o -maxdepth 1 -name 'timeout-*' | wc -l)"
}

main() {
    echo "fuzzing for $SECONDS_EACH s each in $OUT"
    local name pids=() status=0
    for name in "${TARGETS[@]}"; do
        run_target "$name" &
        pids+=($!)
    done
    for name in "${!pids[@]}"; do
        wait "${pids[$name]}" || status=1
    done
    echo "| target | executions | exec/s | cov | ft | corpus files | peak RSS MB | crashes |"
    echo "|---|---|---|---|---|---|---|---|"
    for name in "${TARGETS[@]}"; do
        row "$name"
    done
    return "$status"
}

main
