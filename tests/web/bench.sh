#!/usr/bin/env bash
# Benchmark of the room page fxtuned serves (page weight, first paint), run by
# hand, not by the test suite: tests/web/bench.sh BUILD_DIR [LOADS]
# BUILD_DIR holds fxtuned and fxtune-sim; everything listens on 127.0.0.1.
# Exits 0 when every goal is met, 1 otherwise, 2 on a usage error.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: tests/web/bench.sh BUILD_DIR [LOADS]" >&2
    exit 2
fi
build_dir=$(cd "$1" && pwd)
loads=${2:-10}
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"

for tool in node npm "${FXTUNE_CHROMIUM:-/usr/bin/chromium}"; do
    if ! command -v "$tool" >/dev/null; then
        echo "tests/web: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done

export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
if ! npm ci --no-audit --no-fund --loglevel=error >/dev/null; then
    echo "tests/web: npm ci failed" >&2
    exit 1
fi

export FXTUNE_BUILD_DIR="$build_dir"
exec node bench-page.mjs "$loads"
