#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite in three
# configurations:
#   build-test/  optimised (-O2), every suite, the install tree check, then
#                the Debian package from that build;
#   build-asan/  AddressSanitizer + UndefinedBehaviorSanitizer (float-to-integer
#                overflow included): the core, link and state suites;
#   build-tsan/  ThreadSanitizer: the link and state suites and the GUI suite
#                (the pages drive the window's thread, the link's reader and
#                writer threads and the job threads together);
# and two minutes of the soak (scripts/soak.sh) against four simulated
# processors at once with faults switched on and off.
# The suites mostly wait on the simulated processor, so each configuration's
# suites run in the background while the next configuration compiles (at a
# lower priority), and ctest runs more tests at once than there are cores. FX_FUZZ_SECONDS=N adds
# a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

# The folders stack without an upward include before anything is built.
./scripts/check-layers.sh

JOBS="${JOBS:-$(nproc)}"
TEST_JOBS="${TEST_JOBS:-$((JOBS * 2))}"
# The link tests run link time faster than real time, so a machine busy with
# the next configuration's build can stretch a reply past its wait; a test that
# fails is run again (at most twice more) and counts as failed only if it
# never passes. Every retry is listed in the log ("Test Failed" before a pass).
RETRY=(--repeat until-pass:3)
export QT_QPA_PLATFORM=offscreen
# Every test may connect to 127.0.0.0/8 only; anything else is refused undialled.
export FXTUNE_LOOPBACK_ONLY=1
export CTEST_OUTPUT_ON_FAILURE=1

# ccache, when installed, makes rebuilds in other checkouts of this tree cheap.
LAUNCHER=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
    # Precompiled headers are cached only when their timestamps are not hashed.
    export CCACHE_SLOPPINESS="pch_defines,time_macros,include_file_mtime,include_file_ctime"
    LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

configure() { # dir, optimisation flags, extra cmake arguments...
    local dir="$1" flags="$2"
    shift 2
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$flags -DNDEBUG" \
        "-DCMAKE_C_FLAGS_RELWITHDEBINFO=$flags -DNDEBUG" "${LAUNCHER[@]}" "$@" >/dev/null
}

build() { # dir, targets...
    local dir="$1"
    shift
    local targets=()
    if (($#)); then targets=(--target "$@"); fi
    nice -n 10 cmake --build "$dir" -j "$JOBS" "${targets[@]}"
}

# Each configuration's suites run in the background once it is built and
# the previous configuration's suites have ended, beside the next
# configuration's build; finish_all prints every log in the order they
# started and fails the run if any of them failed.
BACKGROUND_PIDS=()
BACKGROUND_NAMES=()
BACKGROUND_LOGS=()
start_background() { # name, log, command...
    local name="$1" log="$2"
    shift 2
    "$@" >"$log" 2>&1 &
    BACKGROUND_PIDS+=($!)
    BACKGROUND_NAMES+=("$name")
    BACKGROUND_LOGS+=("$log")
}
# One configuration's suites at a time: the suites of two configurations
# together (ThreadSanitizer's above all) starve each other's time-outs.
SUITES_PID=""
declare -A ENDED_STATUS=()
start_suites() { # name, log, command...
    if [ -n "$SUITES_PID" ]; then
        local status=0
        wait "$SUITES_PID" || status=$?
        ENDED_STATUS[$SUITES_PID]=$status
    fi
    start_background "$@"
    SUITES_PID=$!
}
finish_all() {
    local failed=()
    for i in "${!BACKGROUND_PIDS[@]}"; do
        local pid="${BACKGROUND_PIDS[$i]}" status=0
        if [ -n "${ENDED_STATUS[$pid]:-}" ]; then
            status="${ENDED_STATUS[$pid]}"
        else
            wait "$pid" || status=$?
        fi
        echo "== ${BACKGROUND_NAMES[$i]}"
        cat "${BACKGROUND_LOGS[$i]}"
        if [ "$status" -ne 0 ]; then failed+=("${BACKGROUND_NAMES[$i]}"); fi
    done
    BACKGROUND_PIDS=()
    if ((${#failed[@]})); then
        printf 'test.sh: failed: %s\n' "${failed[@]}" >&2
        exit 1
    fi
}
trap 'for pid in "${BACKGROUND_PIDS[@]}"; do kill "$pid" 2>/dev/null; done; true' EXIT

# ThreadSanitizer needs the address space layout it expects; newer kernels
# randomise more bits than this toolchain's runtime accepts. Qt itself is not
# instrumented (tests/tsan-qt.supp).
tsan_suites() {
    local run=()
    if command -v setarch >/dev/null; then run=(setarch "$(uname -m)" -R); fi
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan-qt.supp" \
        "${run[@]}" ctest --test-dir build-tsan -j "$TEST_JOBS" --timeout 300 "${RETRY[@]}" -L 'link|state|gui'
}

SECONDS=0
echo "== build (build-test)"
# The benchmarks are built by a plain build (FX_BUILD_BENCH is on by default)
# and run by hand; the test run leaves them out for its time.
configure build-test "-O2 -g1" -DFX_BUILD_BENCH=OFF
build build-test
echo "   built after ${SECONDS} s"
# Two minutes of the soak (scripts/soak.sh), four processors at once, beside
# everything that follows (together they take about a tenth of one core).
start_background "soak, 2 minutes, 4 processors (build-test)" build-test/soak.log \
    env FX_BUILD_DIR=build-test scripts/soak.sh --minutes 2 --processors 4

# The Debian package from build-test, beside the next builds. Installing the
# package changes the machine and would race other checkouts testing on it,
# so only CI (or FXTUNE_INSTALL_CHECK=1) does the dpkg -i round trip.
PACKAGE_CHECK=()
if [ "${CI:-}" = true ] || [ "${FXTUNE_INSTALL_CHECK:-}" = 1 ]; then PACKAGE_CHECK=(--install-check); fi
start_background "Debian package from build-test (cpack -G DEB)" build-test/package.log \
    ./scripts/package-deb.sh "${PACKAGE_CHECK[@]}" build-test

start_suites "suites: optimised build (build-test)" build-test/suites.log \
    ctest --test-dir build-test -j "$TEST_JOBS" --timeout 300 "${RETRY[@]}"

# ThreadSanitizer's suites, the longest, run beside the last build rather
# than after it.
echo "== build: ThreadSanitizer, link, state and GUI suites (build-tsan)"
configure build-tsan "-O1 -g1" -DFX_SANITIZE=thread -DFX_BUILD_GUI=ON -DFX_BUILD_BENCH=OFF
build build-tsan link_tests state_tests gui_tests
echo "   built after ${SECONDS} s"
start_suites "suites: ThreadSanitizer (build-tsan)" build-tsan/suites.log tsan_suites

echo "== build: AddressSanitizer + UndefinedBehaviorSanitizer, float-to-integer overflow included (build-asan)"
configure build-asan "-O1 -g1" -DFX_SANITIZE=address,undefined,float-cast-overflow \
    -DFX_BUILD_GUI=OFF -DFX_BUILD_BENCH=OFF
build build-asan core_tests link_tests state_tests
echo "   built after ${SECONDS} s"
start_suites "suites: AddressSanitizer + UndefinedBehaviorSanitizer (build-asan)" build-asan/suites.log \
    ctest --test-dir build-asan -j "$TEST_JOBS" --timeout 300 "${RETRY[@]}" -L 'core|link|state'

finish_all
echo "== all configurations built and tested in ${SECONDS} s"

# A short fuzzing run on request (FX_FUZZ_SECONDS per target), e.g. in CI:
# it builds the instrumented fuzz targets in build-fuzz/ first.
if [ -n "${FX_FUZZ_SECONDS:-}" ]; then
    echo "== fuzzing, ${FX_FUZZ_SECONDS} s per target (build-fuzz)"
    ./scripts/fuzz.sh --time "$FX_FUZZ_SECONDS"
fi
