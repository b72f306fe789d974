#!/usr/bin/env bash
# What produce costs per chip (figures in docs/PERFORMANCE.md), on the simulated socket:
# - host time per chip beyond the modelled link time, database commit included, with the
#   database on tmpfs (/dev/shm) and on disk (/var/tmp): the simulator adds no link time
#   (--sim-latency-ms 0), so the seconds each chip's row keeps, from the chip found to its row
#   committed, are host time alone;
# - how late a chip is noticed at worst: the poll interval plus one signature read;
# - chips per hour in modelled link time (--sim-stats) for the blink example and for a full
#   32 KiB image on an ATmega328P in ISP: one chip's run, its three signature polls taken out.
#
#   bench/bench_produce.sh [CHIPS]       KESTREL_CLI=path/to/kestrel-cli to skip the build
set -euo pipefail
unset LANGUAGE LC_ALL LC_MESSAGES
export LANG=C
cd "$(dirname "$0")/.."
chips=${1:-40}
work=$(mktemp -d)
trap 'rm -rf "$work" /dev/shm/kestrel-bench-$$.sqlite*' EXIT

cli=$(bench/release-cli.sh)
cp data/examples/blink/blink.toml data/examples/blink/blink.hex data/examples/blink/blink.eep "$work/"
# A full 32 KiB program: random bytes, the blink job otherwise.
python3 - "$work" <<'PY'
import random, sys
random.seed(7)
data = bytes(random.randrange(256) for _ in range(32768))
lines = []
for at in range(0, len(data), 16):
    chunk = data[at:at + 16]
    record = bytes([len(chunk), at >> 8, at & 255, 0]) + chunk
    lines.append(":%s%02X" % (record.hex().upper(), (-sum(record)) & 255))
open(sys.argv[1] + "/full.hex", "w").write("\n".join(lines + [":00000001FF"]) + "\n")
PY
sed 's/blink.hex/full.hex/; s/name = "blink"/name = "full"/' "$work/blink.toml" >"$work/full.toml"

# Host milliseconds per chip: mean and worst of the rows' seconds.
host_time() {
  rm -f "$1"*
  "$cli" --simulate --job "$work/blink.toml" --db "$1" --station bench \
    --sim-socket "ATmega328P*$chips" produce --count "$chips" >/dev/null
  sqlite3 "$1" "SELECT printf('%.1f ms mean, %.1f ms worst', avg(seconds) * 1000, max(seconds) * 1000) FROM chips"
}
echo "host time per chip, $chips chips, database on tmpfs: $(host_time /dev/shm/kestrel-bench-$$.sqlite)"
echo "host time per chip, $chips chips, database on disk:  $(host_time /var/tmp/kestrel-bench-$$.sqlite)"
rm -f /var/tmp/kestrel-bench-$$.sqlite*

# Modelled link seconds of what the command line runs.
link_time() {
  "$cli" --simulate --sim-stats "$@" 2>&1 >/dev/null | sed -n 's/^modelled link time \([0-9.]*\) s.*/\1/p'
}
poll=$(link_time --chip ATmega328P --mode ISP signature)
echo "a chip is noticed at most 200 ms + one signature read ($poll s modelled) after it is in"
for job in blink full; do
  total=$(link_time --job "$work/$job.toml" --db "$work/$job.sqlite" --sim-socket ATmega328P produce --count 1)
  python3 -c "
chip = $total - 3 * $poll
print('$job: %.3f s of modelled link time per chip, %.0f chips per hour' % (chip, 3600 / chip))"
done
