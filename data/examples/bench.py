#!/usr/bin/env python3
"""A production test bench on kestrel-cli's JSON events.

Runs a production job (`kestrel-cli --output json --job JOB produce`), prints one line per
chip as the chips pass through the socket, then the summary, and exits non-zero when a chip
failed, a wrong chip was put in, or kestrel-cli itself failed. Standard library only.

    data/examples/bench.py data/examples/blink/blink.toml --count 10
    data/examples/bench.py JOB --kestrel build/release/cli/kestrel-cli -- --simulate

Arguments after `--` go to kestrel-cli as they are (--usb, --db, --station, --simulate...).
kestrel-cli's own log goes to standard error, or to the file --log names.
"""
import argparse
import json
import subprocess
import sys


def chip_line(event):
    where = f"[{event['programmer']}] " if event.get("programmer") else ""
    number = f"{where}chip {event['number']:>4}"
    result = event["result"]
    if result == "passed":
        return f"{number}  passed  serial {event.get('serial')}  {event['seconds']:.2f} s"
    if result == "wrong-chip":
        signature = "".join(event.get("signature") or [])
        return f"{number}  WRONG CHIP  signature {signature}"
    if result == "failed":
        return f"{number}  FAILED  {event.get('step')}: {event.get('cause')}"
    return f"{number}  {result}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("job", help="the production job (TOML)")
    parser.add_argument("--kestrel", default="kestrel-cli", help="the kestrel-cli to run")
    parser.add_argument("--count", type=int, help="stop after this many chips")
    parser.add_argument("--log", help="write kestrel-cli's log to this file")
    argv = sys.argv[1:]
    split = argv.index("--") if "--" in argv else len(argv)
    args = parser.parse_args(argv[:split])
    extra = argv[split + 1:]

    command = [args.kestrel, "--output", "json", "--job", args.job, *extra]
    if args.count is not None:
        command += ["--count", str(args.count)]
    command.append("produce")

    log = open(args.log, "w", encoding="utf-8") if args.log else None
    bad_chips = 0
    summary = None
    try:
        with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=log, text=True,
                              encoding="utf-8") as process:
            while True:
                try:
                    line = process.stdout.readline()
                except KeyboardInterrupt:
                    # Ctrl+C reached kestrel-cli too: it finishes the chip in the socket and
                    # ends with its summary, which is still to come.
                    continue
                if not line:
                    break
                event = json.loads(line)
                if event.get("v") != 1:
                    sys.exit(f"unknown event version {event.get('v')!r}: {line.strip()}")
                if event["event"] == "chip":
                    print(chip_line(event), flush=True)
                    bad_chips += event["result"] in ("failed", "wrong-chip")
                elif event["event"] == "summary":
                    summary = event
        status = process.returncode
    except FileNotFoundError:
        sys.exit(f"cannot run {args.kestrel}: not found")
    finally:
        if log:
            log.close()

    if summary is not None:
        print(f"passed {summary['passed']}  failed {summary['failed']}  "
              f"wrong chips {summary['wrong_chips']}  yield {summary['yield']}%")
    if status != 0 or bad_chips or summary is None:
        print(f"bench FAILED (kestrel-cli status {status})", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
