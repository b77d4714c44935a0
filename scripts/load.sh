#!/usr/bin/env bash
# The daemon under load on 127.0.0.1: fxtuned with 64 simulated processors,
# 8 clients sending reads, confirmed changes and bad requests for 60 s while
# some processors lose, delay or refuse replies and one simulator is killed
# and started again on the same ports. Passes when every answer had its
# expected status (503 and 504 only from the faulted processors), the
# daemon's resident memory stayed flat and, after it stopped, every processor
# held exactly the mode file the daemon reported. Prints one summary line;
# exits 0 on a pass, 1 on a fail (the problems on stderr), 2 on bad usage.
#
#   scripts/load.sh [--seconds 60] [--clients 8] [--processors 64] [--seed N]
#                   [--only KIND,...] [--events 0|1]
# (--only sends just those kinds of request, --events 0 no event subscribers:
# to narrow a fault down; scripts/load.mjs lists the kinds.)
#
# Builds fxtuned, fxtune-sim and fxtunectl in $FX_BUILD_DIR (default
# build-load, configured without the GUI and the tests when it has no build
# yet). Needs node 20 or later.
set -euo pipefail
cd "$(dirname "$0")/.."

ARGS=()
while (($#)); do
    case "$1" in
    --seconds | --clients | --processors | --seed | --only | --events)
        (($# >= 2)) || { echo "load.sh: $1 needs a value" >&2; exit 2; }
        ARGS+=("$1" "$2"); shift 2 ;;
    *) echo "usage: scripts/load.sh [--seconds 60] [--clients 8] [--processors 64] [--seed N] [--only KIND,...] [--events 0|1]" >&2
       exit 2 ;;
    esac
done

command -v node >/dev/null || { echo "load.sh: node is missing" >&2; exit 1; }

BUILD_DIR="${FX_BUILD_DIR:-build-load}"
if [[ ! -f "$BUILD_DIR/build.ninja" ]]; then
    LAUNCHER=()
    if command -v ccache >/dev/null; then
        export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
        LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DFX_BUILD_GUI=OFF -DFX_BUILD_TESTS=OFF -DFX_BUILD_BENCH=OFF "${LAUNCHER[@]}" >/dev/null
fi
cmake --build "$BUILD_DIR" -j "${JOBS:-$(nproc)}" --target fxtuned fxtune-sim fxtunectl >/dev/null

# Never anywhere but this machine.
export FXTUNE_LOOPBACK_ONLY=1
exec node --experimental-websocket --no-warnings scripts/load.mjs --build "$BUILD_DIR" "${ARGS[@]}"
