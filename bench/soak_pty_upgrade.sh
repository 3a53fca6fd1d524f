#!/usr/bin/env bash
# Soak: whole upgrades in real time over a pseudo-terminal to vantrel-simradio,
# at 38,400 and 115,200 Bd, while two other processes keep both cores busy, as
# on a technician's loaded machine. Prints per rate the runs, the successes and
# the requests the program had to send again (a request the radio got broken,
# or refused); target: every upgrade succeeds.
#
#   bench/soak_pty_upgrade.sh [BUILD_BIN_DIR] [RUNS] [RATES] [RECORDS] [AT_ONCE]
#       (defaults: build/bin 5 "38400 115200" all 1)
#
# AT_ONCE runs that many upgrades of a rate at the same time, each on a
# pseudo-terminal and a simulated radio of its own, as on a bench of several
# radios; every rate's runs start together when AT_ONCE is "all".
#
# RECORDS flashes only the first RECORDS records of the sample firmware (as the
# selected firmware file, the same write commands): on a loaded machine a whole
# sample firmware at 38,400 Bd takes the better part of half an hour, paced
# by its echo over the pseudo-terminal.
#
# The simulated radio stands for hardware, which a loaded machine never holds
# up: it runs with --realtime (a raised priority where the system allows it).
# The program under test runs at normal priority. A run at 38,400 Bd takes
# several minutes; the traces of failed runs are kept in a folder named at the end.
set -uo pipefail
bin=${1:-build/bin}
runs=${2:-5}
rates=${3:-"38400 115200"}
records=${4:-all}
atOnce=${5:-1}
work=$(mktemp -d)
busy=()
cleanup() {
    for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
    # The radios are started inside the runs: found by their links in this folder.
    pkill -f -- "--link $work/" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

# The program folder: the sample sources, exported as the upgrade reads them.
mkdir -p "$work/program"
cp "$bin"/*.0 "$work/program/"
"$bin/vantrel-cli" --folder "$work/program" export all > /dev/null || { echo "export failed"; exit 1; }

firmware=()
if [ "$records" != all ]; then
    { head -n "$records" "$work/program/torva5t.0"; grep '^S[789]' "$work/program/torva5t.0"; } > "$work/short.0"
    firmware=(--firmware "$work/short.0")
fi

for _ in 1 2; do
    ( while :; do :; done ) &
    busy+=($!)
done

# One upgrade over a pseudo-terminal of its own; leaves "ok" or "failed" and
# the number of requests sent again in its folder.
soak_run() {
    local rate=$1 dir=$2 radio
    mkdir -p "$dir"
    "$bin/vantrel-simradio" --profile phase12-r2 --link "$dir/radio" --auto-operator --realtime --quiet \
        > /dev/null 2> "$dir/radio.log" &
    radio=$!
    for _ in $(seq 50); do [ -e "$dir/radio" ] && break; sleep 0.1; done
    "$bin/vantrel-cli" --port "$dir/radio" --folder "$work/program" --data-dir "$dir/data" --rate "$rate" \
        --yes --retries 1 --trace "$dir/trace.txt" upgrade "${firmware[@]}" > "$dir/out.txt" 2>&1
    kill "$radio" 2>/dev/null
    wait "$radio" 2>/dev/null
    local again
    again=$(grep -c "^# request sent again" "$dir/trace.txt" 2>/dev/null)
    echo "${again:-0}" > "$dir/retried"
    if grep -q "Upgrade Successfully done" "$dir/out.txt"; then echo ok; else echo failed; fi > "$dir/result"
}

failed=0
kept=0
echo "firmware records: $records; two busy processes; vantrel-simradio --realtime; upgrades at once: $atOnce"
printf "%8s %6s %10s %16s %10s\n" rate runs successes "frames retried" "wall s"
for rate in $rates; do
    ok=0
    retried=0
    start=$(date +%s)
    pids=()
    for run in $(seq "$runs"); do
        soak_run "$rate" "$work/$rate-$run" &
        pids+=($!)
        # Waits for the oldest run when as many as asked for are under way.
        if [ "$atOnce" != all ] && [ "${#pids[@]}" -ge "$atOnce" ]; then
            wait "${pids[0]}"
            pids=("${pids[@]:1}")
        fi
    done
    for pid in "${pids[@]}"; do wait "$pid"; done
    for run in $(seq "$runs"); do
        dir="$work/$rate-$run"
        retried=$((retried + $(cat "$dir/retried")))
        if [ "$(cat "$dir/result" 2>/dev/null)" = ok ]; then
            ok=$((ok + 1))
            rm -rf "$dir"
        else
            kept=1
        fi
    done
    wall=$(( $(date +%s) - start ))
    printf "%8d %6d %10d %16d %10d  %s\n" "$rate" "$runs" "$ok" "$retried" "$wall" \
        "$([ "$ok" -eq "$runs" ] && echo PASS || echo MISS)"
    [ "$ok" -eq "$runs" ] || failed=1
done

if [ "$kept" -eq 1 ]; then
    keep=$(mktemp -d /tmp/vantrel-soak-failed-XXXXXX)
    cp -r "$work"/*-* "$keep"/ 2>/dev/null
    echo "traces of the failed runs: $keep"
fi
rm -rf "$work"
exit $failed
