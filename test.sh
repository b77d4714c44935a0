#!/usr/bin/env bash
# Installs what is missing, builds in build-test/, runs the whole test suite
# (the install tree check among it) and builds the Debian package from that
# build; then builds the core, link and state tests again with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), and the link
# and state tests and the GUI tests (the pages among them) with
# ThreadSanitizer (build-tsan/), and runs those. FX_FUZZ_SECONDS=N
# adds a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

JOBS="${JOBS:-$(nproc)}"
export QT_QPA_PLATFORM=offscreen
# Every test may connect to 127.0.0.0/8 only; anything else is refused undialled.
export FXTUNE_LOOPBACK_ONLY=1
export CTEST_OUTPUT_ON_FAILURE=1

# ccache, when installed, makes rebuilds in other checkouts of this tree cheap.
LAUNCHER=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
    LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

configure() { # dir, extra cmake arguments...
    local dir="$1"
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${LAUNCHER[@]}" "$@" >/dev/null
}

echo "== build and test (build-test)"
configure build-test
cmake --build build-test -j "$JOBS"
ctest --test-dir build-test -j "$JOBS" --timeout 300

echo "== Debian package from build-test (cpack -G DEB)"
# Installing the package changes the machine and would race other checkouts
# testing on it, so only CI (or FXTUNE_INSTALL_CHECK=1) does the dpkg -i round trip.
PACKAGE_CHECK=()
if [ "${CI:-}" = true ] || [ "${FXTUNE_INSTALL_CHECK:-}" = 1 ]; then PACKAGE_CHECK=(--install-check); fi
./scripts/package-deb.sh "${PACKAGE_CHECK[@]}" build-test

echo "== AddressSanitizer + UndefinedBehaviorSanitizer, float-to-integer overflow included (build-asan)"
configure build-asan -DFX_SANITIZE=address,undefined,float-cast-overflow -DFX_BUILD_GUI=OFF -DFX_BUILD_BENCH=OFF
cmake --build build-asan -j "$JOBS" --target core_tests link_tests state_tests
ctest --test-dir build-asan -j "$JOBS" --timeout 300 -L 'core|link|state'

echo "== ThreadSanitizer: link, state and GUI tests (build-tsan)"
# Qt itself is not instrumented; the page tests drive the window's thread,
# the link's reader and writer threads and the job threads together.
configure build-tsan -DFX_SANITIZE=thread -DFX_BUILD_GUI=ON -DFX_BUILD_BENCH=OFF
cmake --build build-tsan -j "$JOBS" --target link_tests state_tests gui_tests
# ThreadSanitizer needs the address space layout it expects; newer kernels
# randomise more bits than this toolchain's runtime accepts.
TSAN_RUN=()
if command -v setarch >/dev/null; then TSAN_RUN=(setarch "$(uname -m)" -R); fi
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan-qt.supp"
"${TSAN_RUN[@]}" ctest --test-dir build-tsan -j "$JOBS" --timeout 300 -L 'link|state|gui'
unset TSAN_OPTIONS

# A short fuzzing run on request (FX_FUZZ_SECONDS per target), e.g. in CI:
# it builds the instrumented fuzz targets in build-fuzz/ first.
if [ -n "${FX_FUZZ_SECONDS:-}" ]; then
    echo "== fuzzing, ${FX_FUZZ_SECONDS} s per target (build-fuzz)"
    ./scripts/fuzz.sh --time "$FX_FUZZ_SECONDS"
fi
