#!/usr/bin/env bash
# Builds the fuzz targets (clang, every library instrumented, AddressSanitizer
# and UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for a while,
# one at a time, starting from the seeds in fuzz/corpus/.
#
#   scripts/fuzz.sh [--time SECONDS] [--runs N] [TARGET...]
#
# A target stops at whichever limit comes first. Defaults: 60 seconds per
# target, every target. New inputs collect in build-fuzz/corpus/TARGET,
# crashes in build-fuzz/artifacts/. Prints one line per target: executions,
# coverage, and whether it crashed; exits 1 when any did.
set -euo pipefail
cd "$(dirname "$0")/.."

LIMIT=()
TARGETS=()
while (($#)); do
    case "$1" in
    --time) LIMIT+=(-max_total_time="$2"); shift 2 ;;
    --runs) LIMIT+=(-runs="$2"); shift 2 ;;
    -h | --help) sed -n '2,11p' "$0"; exit 0 ;;
    *) TARGETS+=("$1"); shift ;;
    esac
done
if ((${#LIMIT[@]} == 0)); then LIMIT=(-max_total_time=60); fi
if ((${#TARGETS[@]} == 0)); then
    TARGETS=(rx_assembler reply_dispatcher mode_file remote_file language_file ctl_arguments
        sim_frames filter_text measurement_text api_requests)
fi

./scripts/install-deps.sh --fuzz

LAUNCHER=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
    LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFX_BUILD_FUZZ=ON -DFX_BUILD_GUI=OFF -DFX_BUILD_BENCH=OFF "${LAUNCHER[@]}" >/dev/null
cmake --build build-fuzz -j "${JOBS:-$(nproc)}" --target "${TARGETS[@]/#/fuzz_}"

# Longest input worth trying per target (a mode file is 3410 bytes).
max_len() {
    case "$1" in
    mode_file | language_file) echo 4096 ;;
    ctl_arguments | remote_file) echo 256 ;;
    *) echo 2048 ;;
    esac
}

export FXTUNE_LOOPBACK_ONLY=1
mkdir -p build-fuzz/artifacts
failed=0
for target in "${TARGETS[@]}"; do
    work="build-fuzz/corpus/$target"
    mkdir -p "$work"
    seeds=("fuzz/corpus/$target")
    if [ "$target" = language_file ]; then seeds+=(resources/lang); fi
    log="build-fuzz/fuzz_$target.log"
    status=0
    "build-fuzz/fuzz/fuzz_$target" "$work" "${seeds[@]}" "${LIMIT[@]}" \
        -max_len="$(max_len "$target")" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build-fuzz/artifacts/$target-" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
    if ((status == 0)); then
        echo "$target: ${runs:-?} executions, ${coverage:-cov: ?}, no crash"
    else
        failed=1
        echo "$target: CRASHED after ${runs:-?} executions (${coverage:-cov: ?}); see $log"
    fi
done
exit "$failed"
