#!/usr/bin/env bash
# Installs what is missing, builds the programs (not the test suites) in
# build/ and starts the editor in demo mode (against the simulated
# processor). Without a display it runs the headless demo instead.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
LAUNCHER=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
    export CCACHE_SLOPPINESS="pch_defines,time_macros,include_file_mtime,include_file_ctime"
    LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
    -DFX_BUILD_TESTS=OFF -DFX_BUILD_BENCH=OFF "${LAUNCHER[@]}" >/dev/null
cmake --build build -j "$(nproc)" --target fxtune fxtunectl fxtune-sim fximage-summary

if [ -x build/fxtune ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/fxtune --demo "$@"
fi
echo "No display found: running the headless demo with fxtunectl instead."
build/fximage-summary
exec ./scripts/headless-demo.sh build
