#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it.
#
# usage: scripts/package-deb.sh [--install-check] [BUILD_DIR]
#
# Without BUILD_DIR it configures and builds build-package/ without tests and
# benchmarks (-O2 like Debian's own packages; CPack strips the debug info). It runs `cpack -G DEB` there, prints the
# package's path and checks its control fields (name, computed library
# dependencies, the CJK font, the maintainer scripts) and its contents.
# With --install-check, as root, it then installs the package with dpkg -i,
# runs the installed fxtunectl --help and removes the package with dpkg -r;
# it skips that step when not root or when an fxtune package is already
# installed (it is not ours to remove).
# Needs no network: the build dependencies come from scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

INSTALL_CHECK=0
if [ "${1:-}" = "--install-check" ]; then
    INSTALL_CHECK=1
    shift
fi
BUILD="${1:-}"

if [ -z "$BUILD" ]; then
    BUILD=build-package
    LAUNCHER=()
    if command -v ccache >/dev/null; then
        export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
        LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFX_BUILD_TESTS=OFF \
        -DFX_BUILD_BENCH=OFF "${LAUNCHER[@]}" >/dev/null
    cmake --build "$BUILD" -j "${JOBS:-$(nproc)}"
fi
BUILD="$(cd "$BUILD" && pwd)"

OUT="$BUILD/package"
rm -rf "$OUT"
cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$OUT" >"$OUT.log" 2>&1 || {
    cat "$OUT.log" >&2
    exit 1
}
DEB="$(find "$OUT" -maxdepth 1 -name 'fxtune_*.deb' | head -n 1)"
if [ -z "$DEB" ]; then
    cat "$OUT.log" >&2
    echo "cpack made no fxtune_*.deb in $OUT" >&2
    exit 1
fi
echo "package: $DEB"
dpkg-deb -I "$DEB"

problems=()
field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = fxtune ] || problems+=("package name is $(field Package), not fxtune")
depends="$(field Depends)"
for dependency in libc6 libstdc++6 libhidapi-hidraw0 libudev1 fonts-wqy-microhei qt6-translations-l10n; do
    [[ "$depends" == *"$dependency"* ]] || problems+=("Depends lacks $dependency")
done
if [ -x "$BUILD/fxtune" ] && [[ "$depends" != *libqt6widgets6* ]]; then
    problems+=("Depends lacks libqt6widgets6")
fi
contents="$(dpkg-deb -c "$DEB")"
for file in ./usr/bin/fxtunectl ./usr/bin/fxtune-sim ./usr/lib/udev/rules.d/70-fxtune-processor.rules \
    ./usr/share/man/man1/fxtunectl.1.gz ./usr/share/bash-completion/completions/fxtunectl \
    ./usr/bin/fxtuned ./usr/lib/systemd/system/fxtuned.service ./etc/fxtune/fxtuned.conf \
    ./usr/share/man/man8/fxtuned.8.gz; do
    grep -q " $file\$" <<<"$contents" || problems+=("the package lacks $file")
done
control="$(mktemp -d)"
trap 'rm -rf "$control"' EXIT
dpkg-deb -e "$DEB" "$control"
for script in postinst postrm; do
    [ -x "$control/$script" ] || problems+=("no executable $script")
done
grep -qx /etc/fxtune/fxtuned.conf "$control/conffiles" 2>/dev/null ||
    problems+=("/etc/fxtune/fxtuned.conf is not a conffile")
if ((${#problems[@]})); then
    printf 'package check: %s\n' "${problems[@]}" >&2
    exit 1
fi
echo "package check: control fields and contents as expected"

((INSTALL_CHECK)) || exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "install check skipped: dpkg -i needs root"
    exit 0
fi
installed() { dpkg-query -W -f='${Status}' fxtune 2>/dev/null | grep -q "ok installed"; }
if installed; then
    echo "install check skipped: an fxtune package is already installed"
    exit 0
fi
removed=0
# dpkg -r, then a purge so that no trace of the package is left.
remove() {
    ((removed)) && return
    removed=1
    dpkg -r fxtune >/dev/null
    dpkg -P fxtune >/dev/null 2>&1 || true
}
trap 'remove; rm -rf "$control"' EXIT
dpkg -i "$DEB"
help="$(/usr/bin/fxtunectl --help)"
[[ "$help" == usage:* ]] || {
    echo "install check: the installed fxtunectl --help printed: $help" >&2
    exit 1
}
[ -f /usr/lib/udev/rules.d/70-fxtune-processor.rules ] || {
    echo "install check: the udev rule is not installed" >&2
    exit 1
}
# The service: its configuration as installed is good, its user exists, and
# its unit passes systemd's own check where systemd runs the machine.
/usr/bin/fxtuned --config /etc/fxtune/fxtuned.conf --check-config || {
    echo "install check: the installed fxtuned refuses its own configuration" >&2
    exit 1
}
getent passwd fxtuned >/dev/null || {
    echo "install check: postinst made no fxtuned user" >&2
    exit 1
}
if [ -d /run/systemd/system ] && command -v systemd-analyze >/dev/null; then
    systemd-analyze verify /usr/lib/systemd/system/fxtuned.service || {
        echo "install check: systemd-analyze verify rejects fxtuned.service" >&2
        exit 1
    }
fi
remove
if [ -e /usr/bin/fxtunectl ] || installed; then
    echo "install check: dpkg -r left fxtune behind" >&2
    exit 1
fi
echo "install check: dpkg -i, fxtunectl --help and dpkg -r work"
