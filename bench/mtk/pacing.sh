#!/usr/bin/env bash
# How much the MTK download adds on top of the line: the virtual logger serves a real flash
# image at the real 115200 baud (10 bits a byte) and logwell-cli reads it unattended. The floor
# is the line time of every byte the logger sends plus the pauses the protocol prescribes; the
# report gives the measured time, the floor and the overhead in percent.
#   bench/mtk/pacing.sh [IMAGE]   (default: the largest .bin of $LOGWELL_FIXTURES/logger)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
image=${1:-$(ls -S "${LOGWELL_FIXTURES:?set LOGWELL_FIXTURES}"/logger/*.bin | head -n 1)}
work=$(mktemp -d)
trap 'kill "${sim_pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/sim/logwell-sim" mtk --image "$image" --paced --baud 115200 >"$work/device" &
sim_pid=$!
for _ in $(seq 100); do device=$(head -n 1 "$work/device"); [[ -n $device ]] && break; sleep 0.1; done
mkdir -p "$work/out"
start=$(date +%s.%N)
"$build/src/cli/logwell-cli" /COM="$device" /GPS=MTK /IGC_LOG="$work/out/" /EXIT /WIN=0 >/dev/null
end=$(date +%s.%N)
python3 - "$start" "$end" "$image" <<'PY'
import sys
start, end, path = float(sys.argv[1]), float(sys.argv[2]), sys.argv[3]
memory = open(path, "rb").read()
used = len(memory.rstrip(b"\xff"))
chunks = (used + 255) // 256
# Each 256-byte read is answered by "$PMTK182,8,OOOOOOOO," + 512 hex digits + "*CS\r\n" and
# "$PMTK001,182,7,3*CS\r\n"; the steps before it by short answers (product data, status,
# logging off, memory used, logging on), about 160 bytes together.
per_chunk = len("$PMTK182,8,00000000,") + 512 + 5 + len("$PMTK001,182,7,3*00\r\n")
sent = chunks * per_chunk + 160
line = sent * 10 / 115200
# Prescribed: 100 ms settle after opening, 500 ms after product data, 300 ms after the status,
# logging-off and memory-used steps each.
pauses = 0.1 + 0.5 + 3 * 0.3
floor = line + pauses
took = end - start
print(f"image {path}: {used} bytes used, {chunks} chunks, {sent} bytes sent")
print(f"line time {line:.2f} s, prescribed pauses {pauses:.2f} s")
print(f"download {took:.2f} s, floor {floor:.2f} s, overhead {100 * (took - floor) / floor:.2f} %")
PY
