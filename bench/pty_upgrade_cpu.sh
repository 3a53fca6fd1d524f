#!/usr/bin/env bash
# CPU time of a whole upgrade run in real time over a pseudo-terminal, against
# its wall time: the program's waits must block, not spin. The simulated radio
# runs as its own process (vantrel-simradio) behind the pseudo-terminal, as a
# radio behind a USB adapter would, with its operator answering the prompts.
#
#   bench/pty_upgrade_cpu.sh [BUILD_BIN_DIR] [RATE]     (defaults: build/bin 115200)
# A run takes about four minutes at 115200 Bd and seven at 19200 Bd.
set -euo pipefail
bin=${1:-build/bin}
rate=${2:-115200}
work=$(mktemp -d)
trap 'kill "$radio" 2>/dev/null || true; rm -rf "$work"' EXIT

"$bin/vantrel-simradio" --profile phase12-r2 --link "$work/radio" --auto-operator --quiet > /dev/null &
radio=$!
for _ in $(seq 50); do [ -e "$work/radio" ] && break; sleep 0.1; done

TIMEFORMAT='%R %U %S'
times=$( { time "$bin/vantrel-cli" --port "$work/radio" --data-dir "$work/data" --rate "$rate" --yes upgrade \
    > "$work/out.txt" 2>&1; } 2>&1 )
read -r wall user sys <<< "$times"
tail -n 2 "$work/out.txt"
awk -v w="$wall" -v u="$user" -v s="$sys" -v r="$rate" 'BEGIN {
    share = (u + s) / w * 100
    printf "upgrade over a pseudo-terminal at %d Bd: wall %.1f s, CPU %.2f s (user %.2f, system %.2f)\n", r, w, u + s, u, s
    printf "CPU share %.2f%% of wall time (target < 5%%): %s\n", share, share < 5 ? "PASS" : "MISS"
}'
grep -q "Upgrade Successfully done" "$work/out.txt"
