#!/usr/bin/env bash
# A bench of four radios: four upgrades over four pseudo-terminals at the same
# time, each radio a vantrel-simradio process in real time, against one upgrade
# alone. Prints both wall times and their ratio (four independent ports should
# take about as long as one: ratio near 1, against 4 for one after the other),
# shows that a fifth program asking for a port in use is refused while the
# others go on, and that every run landed in the service history.
#
#   bench/four_radios.sh [BUILD_BIN_DIR] [RATE]     (defaults: build/bin 115200)
# Takes about 3.5 minutes per round at 115200 Bd (two rounds), longer at lower rates.
set -euo pipefail
bin=${1:-build/bin}
rate=${2:-115200}
work=$(mktemp -d)
radios=()
cleanup() {
    for pid in "${radios[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

start_radios() {
    local n
    for n in 1 2 3 4; do
        "$bin/vantrel-simradio" --profile phase12-r2 --link "$work/port$n" --auto-operator --quiet > /dev/null &
        radios+=("$!")
    done
    for n in 1 2 3 4; do
        for _ in $(seq 100); do [ -e "$work/port$n" ] && break; sleep 0.05; done
    done
}

stop_radios() {
    local pid
    for pid in "${radios[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${radios[@]}"; do wait "$pid" 2>/dev/null || true; done
    radios=()
}

# The program folder: the sample sources of the build, turned into the files an upgrade reads.
mkdir -p "$work/program"
cp "$bin"/*.0 "$work/program/"
"$bin/vantrel-cli" --folder "$work/program" export all > /dev/null

upgrade() { # port-number output-name
    exec "$bin/vantrel-cli" --port "$work/port$1" --folder "$work/program" --data-dir "$work/data" --rate "$rate" \
        --yes upgrade \
        > "$work/$2.out" 2>&1
}

holds() { # pid device: the process has the device open
    ls -l "/proc/$1/fd" 2>/dev/null | grep -q -- "-> $2\$"
}

now() { date +%s.%N; }

echo "upgrade of a release 2 Phase 1/2 radio over a pseudo-terminal at $rate Bd"

start_radios
begin=$(now)
(upgrade 1 alone)
one=$(awk -v b="$begin" -v e="$(now)" 'BEGIN { printf "%.1f", e - b }')
stop_radios
echo "one radio:   ${one} s"

start_radios
begin=$(now)
pids=()
for n in 1 2 3 4; do
    (upgrade "$n" "radio$n") &
    pids+=("$!")
done
# A fifth program asks for port 1 while its upgrade holds it (the upgrade lets
# the port go between its steps; the flashing holds it for minutes).
device=$(readlink -f "$work/port1")
sleep 20
for _ in $(seq 600); do holds "${pids[0]}" "$device" && break; sleep 0.1; done
set +e
"$bin/vantrel-cli" --port "$work/port1" --data-dir "$work/data" --rate "$rate" --yes info > "$work/twice.out" 2>&1
twice=$?
set -e
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
four=$(awk -v b="$begin" -v e="$(now)" 'BEGIN { printf "%.1f", e - b }')
stop_radios
echo "four radios: ${four} s"
awk -v o="$one" -v f="$four" 'BEGIN {
    printf "four radios against one: %.2f times the wall time (one after the other: 4.00)\n", f / o
}'

echo "the same port opened twice (exit status $twice):"
sed -n '1,3p' "$work/twice.out" | sed 's/^/  /'
for n in 1 2 3 4; do
    printf "radio %d: %s\n" "$n" "$(grep -E 'Upgrade Successfully done|error occured' "$work/radio$n.out" | head -n 1)"
    if ! grep -q "Upgrade Successfully done" "$work/radio$n.out"; then
        grep -v '^\[' "$work/radio$n.out" | tail -n 12 | sed 's/^/    /'
    fi
done
"$bin/vantrel-cli" --data-dir "$work/data" history
records=$("$bin/vantrel-cli" --data-dir "$work/data" history --csv | tail -n +2 | grep -c ',upgrade,.*,succeeded,' || true)
echo "upgrades recorded as succeeded: $records of 5 (one alone, four together)"
[ "$failed" -eq 0 ] && [ "$twice" -eq 1 ] && grep -q "It may be in use by another program." "$work/twice.out" && [ "$records" -eq 5 ]
