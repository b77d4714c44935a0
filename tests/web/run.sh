#!/usr/bin/env bash
# Browser tests of the web page fxtuned serves: tests/web/run.sh BUILD_DIR
# BUILD_DIR holds fxtuned and fxtune-sim; everything listens on 127.0.0.1.
# Needs node, npm and Debian's chromium (scripts/install-deps.sh installs them).
# Exits 0 when every test passed, 1 otherwise.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: tests/web/run.sh BUILD_DIR" >&2
    exit 2
fi
build_dir=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"

for tool in node npm "${FXTUNE_CHROMIUM:-/usr/bin/chromium}"; do
    if ! command -v "$tool" >/dev/null; then
        echo "tests/web: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done

# The pinned driver; it downloads no browser of its own.
export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
if ! npm ci --no-audit --no-fund --loglevel=error >/dev/null; then
    echo "tests/web: npm ci failed" >&2
    exit 1
fi

export FXTUNE_BUILD_DIR="$build_dir"
if node --test --test-reporter=tap web.test.mjs; then
    exit 0
fi
exit 1
