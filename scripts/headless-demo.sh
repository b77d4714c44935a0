#!/usr/bin/env bash
# The demo without a display: starts the simulated processor on a free
# loopback port and drives it with fxtunectl.
set -euo pipefail
export FXTUNE_LOOPBACK_ONLY=1
BUILD="${1:-build}"
WORK="$(mktemp -d)"
SIM_PID=""
cleanup() {
    if [ -n "$SIM_PID" ]; then kill "$SIM_PID" 2>/dev/null || true; wait "$SIM_PID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

"$BUILD/fxtune-sim" --port 0 >"$WORK/sim.out" 2>"$WORK/sim.err" &
SIM_PID=$!
PORT=""
for _ in $(seq 1 50); do
    PORT="$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$WORK/sim.out" | head -n 1)"
    [ -n "$PORT" ] && break
    sleep 0.1
done
if [ -z "$PORT" ]; then
    echo "The simulated processor did not start." >&2
    exit 1
fi

ctl() {
    echo "\$ fxtunectl --host 127.0.0.1 --port $PORT $*"
    "$BUILD/fxtunectl" --host 127.0.0.1 --port "$PORT" "$@"
}
echo "Simulated processor listening on 127.0.0.1:$PORT"
ctl info
ctl read "$WORK/demo.mode"
ls -l "$WORK/demo.mode"
ctl set 1 14 60
ctl get 1 14
ctl eq mic-a 4 peq 1000 6.0 1.41
ctl mode store 2
ctl dump | head -n 20
echo "..."
