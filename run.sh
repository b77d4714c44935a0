#!/usr/bin/env bash
# Installs what is missing, builds in build/ and starts the editor in demo
# mode (against the simulated processor). Without a display it runs the
# headless demo instead.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

if [ -x build/fxtune ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/fxtune --demo "$@"
fi
echo "No display found: running the headless demo with fxtunectl instead."
build/fximage-summary
exec ./scripts/headless-demo.sh build
