#!/usr/bin/env bash
# How produce scales over a gang of simulated programmers (figures in docs/PERFORMANCE.md):
# the wall time of N programmers programming 10 chips each, against 1 programmer programming 10,
# and the host CPU time (user + system) per chip. --sim-latency-ms 1 puts a millisecond on each
# vendor request of each programmer, so that the link, not the host, dominates as it does with
# real programmers. Each figure is the best of RUNS runs (a shared machine only ever slows down).
#
#   bench/bench_gang.sh [RUNS]       KESTREL_CLI=path/to/kestrel-cli to skip the build
set -euo pipefail
unset LANGUAGE LC_ALL LC_MESSAGES
export LANG=C
cd "$(dirname "$0")/.."
runs=${1:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cli=$(bench/release-cli.sh)

python3 - "$cli" "$work" "$runs" <<'PY'
import os, resource, subprocess, sys, time
cli, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
job = os.path.abspath("data/examples/blink/blink.toml")

def run(programmers, n):
    """Best wall seconds and CPU seconds of `programmers` programmers, 10 chips each."""
    best = None
    for i in range(runs):
        db = f"{work}/gang-{programmers}-{n}-{i}.sqlite"
        command = [cli, "--simulate", "--job", job, "--db", db, "--station", "bench",
                   "--sim-latency-ms", "1", "--sim-socket", "ATmega328P*10", "produce", "--count", "10"]
        if programmers > 1:
            command[1:1] = ["--sim-programmers", str(programmers), "--usb", "all"]
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        out = subprocess.run(command, capture_output=True, text=True)
        wall = time.monotonic() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        chips = out.stdout.count(" PASS serial ")
        if out.returncode != 0 or chips != 10 * programmers:
            sys.exit(f"{programmers} programmers: exit {out.returncode}, {chips} chips passed\n{out.stdout}")
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        figures = (wall, cpu / chips)
        best = figures if best is None else (min(best[0], wall), min(best[1], cpu / chips))
    return best

one_wall, one_cpu = run(1, 0)
print(f"1 programmer, 10 chips: {one_wall:.2f} s wall, {one_cpu * 1000:.1f} ms CPU a chip")
for programmers in (2, 4, 8):
    wall, cpu = run(programmers, 0)
    print(f"{programmers} programmers, {10 * programmers} chips: {wall:.2f} s wall ({wall / one_wall:.2f} x),"
          f" {cpu * 1000:.1f} ms CPU a chip ({cpu / one_cpu:.2f} x)")
PY
