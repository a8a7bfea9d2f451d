#!/usr/bin/env bash
# How much the Flytec download adds on top of the line: a virtual 6030 sends a long flight at
# the real 57600 baud (10 bits a byte) and logwell-cli downloads it unattended. The floor is
# the line time of every byte the instrument sends plus the pauses and silences the protocol
# itself prescribes; the report gives the measured time, the floor and the overhead in percent.
#   bench/flytec/pacing.sh [MINUTES]   (flight length, default 120 at one fix a second)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
minutes=${1:-120}
work=$(mktemp -d)
trap 'kill "${sim_pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/sim/logwell-sim" flytec --model 6030 --minutes "$minutes" --paced >"$work/device" &
sim_pid=$!
for _ in $(seq 100); do device=$(head -n 1 "$work/device"); [[ -n $device ]] && break; sleep 0.1; done
mkdir -p "$work/out"
start=$(date +%s.%N)
"$build/src/cli/logwell-cli" /COM="$device" /GPS=IQCOMPEO /IGC_LOG="$work/out/" /EXIT /WIN=0 >/dev/null
end=$(date +%s.%N)
igc=$(ls "$work"/out/*.igc)
track_bytes=$(stat -c %s "$igc")
lines=$(wc -l <"$igc")
# Bytes the instrument sends: the track (plus one XOFF/XON pair every 40 lines), the product
# answer and the one-line track list.
sent=$((track_bytes + lines / 40 * 2 + 40 + 50))
# Prescribed: 100 + 100 ms around opening the port, 1000 ms after product data, 1000 ms of
# silence ending the track list, 500 ms before the track request, 2000 ms of silence ending it.
python3 - "$start" "$end" "$sent" <<'PY'
import sys
start, end, sent = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3])
line = sent * 10 / 57600
pauses = 0.1 + 0.1 + 1.0 + 1.0 + 0.5 + 2.0
floor = line + pauses
took = end - start
print(f"bytes sent {sent}, line time {line:.2f} s, prescribed pauses {pauses:.2f} s")
print(f"download {took:.2f} s, floor {floor:.2f} s, overhead {100 * (took - floor) / floor:.2f} %")
PY
