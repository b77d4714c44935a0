#!/usr/bin/env bash
# The soak: the editor's core against the simulated processor (in one
# process, over 127.0.0.1 and the virtual USB device) for N minutes, with
# random edits, whole reads and writes, machine modes, mode-file saves, undo
# and redo, and faults switched on and off. With --processors N, N
# processors at once, each a processor object of its own against a
# simulated processor of its own, each checked at its own quiet points.
# Prints one summary line; exits 0 when every processor always held what
# the editor claimed it held, no save left a wrong or partial file and
# memory and threads stayed flat, else 1 with the first violation and the
# actions before it on stderr.
#
#   scripts/soak.sh [--minutes N] [--processors N] [--seed S]
#                   (defaults: 60 minutes, 1 processor, a random seed)
#
# Builds fxtune-soak in $FX_BUILD_DIR (default build-soak, configured
# without the GUI and the tests when it has no build yet).
set -euo pipefail
cd "$(dirname "$0")/.."

ARGS=()
while (($#)); do
    case "$1" in
    --minutes | --processors | --seed)
        (($# >= 2)) || { echo "soak.sh: $1 needs a value" >&2; exit 2; }
        ARGS+=("$1" "$2"); shift 2 ;;
    *) echo "usage: scripts/soak.sh [--minutes N] [--processors N] [--seed S]" >&2; exit 2 ;;
    esac
done

BUILD_DIR="${FX_BUILD_DIR:-build-soak}"
if [[ ! -f "$BUILD_DIR/build.ninja" ]]; then
    LAUNCHER=()
    if command -v ccache >/dev/null; then
        export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
        LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DFX_BUILD_GUI=OFF -DFX_BUILD_TESTS=OFF -DFX_BUILD_BENCH=OFF "${LAUNCHER[@]}" >/dev/null
fi
cmake --build "$BUILD_DIR" -j "${JOBS:-$(nproc)}" --target fxtune-soak >/dev/null

# Never anywhere but this machine.
export FXTUNE_LOOPBACK_ONLY=1
exec "$BUILD_DIR/fxtune-soak" "${ARGS[@]}"
