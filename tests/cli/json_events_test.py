#!/usr/bin/env python3
"""kestrel-cli --output json on the simulated programmer: every line of standard output is one
event, the human lines go to standard error, and the events are the same in every language but
for the log lines' text and the times.

Usage: json_events_test.py KESTREL_CLI SOURCE_DIR"""
import json
import os
import subprocess
import sys
import tempfile

program, source = sys.argv[1], sys.argv[2]
blink = os.path.join(source, "data/examples/blink")
base = [program, "--simulate", "--catalogue", os.path.join(source, "data/chip.txt"), "--output", "json"]
chip = ["--chip", "ATmega328P"]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(arguments, lang):
    environment = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANG"))}
    environment["LANG"] = "C"
    done = subprocess.run(base + ["--lang", lang] + arguments, capture_output=True, text=True,
                          env=environment, timeout=120)
    events = []
    for line in done.stdout.splitlines():
        try:
            events.append(json.loads(line))
        except json.JSONDecodeError:
            failures.append(f"not JSON on standard output: {line!r}")
    check(all(e.get("v") == 1 for e in events), f"an event without v 1 under {lang}")
    return done, events


# What must not differ between languages: everything but the texts and the times.
def fixed(events):
    dropped = {"log": ("text", "time"), "chip": ("seconds",), "summary": ("chips_per_hour",)}
    return [{k: v for k, v in e.items() if k not in dropped.get(e["event"], ())} for e in events]


def both_languages(name, arguments):
    (zh, zh_events), (en, en_events) = run(arguments, "zh"), run(arguments, "en")
    check(zh.returncode == en.returncode, f"{name}: exit status differs between languages")
    check(fixed(zh_events) == fixed(en_events), f"{name}: events differ between zh and en")
    texts = [[e["text"] for e in events if e["event"] == "log"] for events in (zh_events, en_events)]
    check(texts[0] != texts[1], f"{name}: the log texts are the same in zh and en")
    for line in texts[1]:
        check(line in en.stderr, f"{name}: log line not on standard error: {line!r}")
    return en, en_events


def of(events, kind, **fields):
    return [e for e in events if e["event"] == kind and all(e.get(k) == v for k, v in fields.items())]


demo = chip + ["--fuses", "62D9FF", "--lock", "FF", "open-flash", f"{blink}/blink.hex", "open-eeprom",
               f"{blink}/blink.eep", "auto",
               "erase,write-flash,read-flash,verify-flash,write-eeprom,read-eeprom,verify-eeprom,fuses,lock"]
done, events = both_languages("demonstration", demo)
check(done.returncode == 0, "demonstration: exit status")
check(of(events, "field", name="signature") == [
    {"v": 1, "event": "field", "name": "signature", "value": ["1E", "95", "0F"]}], "demonstration: signature")
check([e["value"] for e in of(events, "field", name="fuse-lock")] == [
    {"low": "62", "high": "D9", "extended": "FF", "lock": "FF"}], "demonstration: fuse-lock")
names = [e["name"] for e in of(events, "operation", result="passed", cause=None, differences=0)]
check(names == ["open-flash", "open-eeprom", "check-signature", "erase", "write-flash", "read-flash",
                "verify-flash", "write-eeprom", "read-eeprom", "verify-eeprom", "write-fuses", "write-lock",
                "read-fuses"], f"demonstration: operations {names}")
check(of(events, "run") == [{"v": 1, "event": "run", "result": "passed", "cause": None, "failures": 0}] * 3,
      "demonstration: runs")
writes = of(events, "progress", memory="flash", direction="write")
check(writes and writes[-1]["page"] == writes[-1]["total"] > 1 and writes[0]["page"] >= 1,
      "demonstration: FLASH write progress ends at its last page")
check(not of(events, "log", failure=True), "demonstration: a failure line")

# A blank chip read back and verified against the file: the verify fails.
verify = chip + ["open-flash", f"{blink}/blink.hex", "read-flash", "verify-flash"]
done, events = both_languages("verify failure", verify)
text = subprocess.run([a for a in base if a not in ("--output", "json")] + verify, capture_output=True)
check(done.returncode == text.returncode == 1, "verify failure: exit status")
failed = of(events, "operation", name="verify-flash", result="failed", cause="verify-difference")
check(len(failed) == 1 and failed[0]["differences"] > 0, "verify failure: the operation event")
check(of(events, "run")[-1] == {"v": 1, "event": "run", "result": "failed", "cause": "verify-difference",
                                "failures": 1}, "verify failure: the run event")
check(of(events, "log", failure=True), "verify failure: no failure line")

done, events = run(chip + ["--sim-absent", "signature"], "en")
check(done.returncode == 1 and events == [{"v": 1, "event": "run", "result": "failed", "cause": "no-programmer",
                                           "failures": 1}], "no programmer: the run event")

with tempfile.TemporaryDirectory() as folder:
    produce = ["--job", f"{blink}/blink.toml", "--station", "test", "--sim-socket", "ATmega328P*3",
               "produce", "--count", "3"]
    (zh, zh_events), (en, en_events) = [run(["--db", f"{folder}/{lang}.sqlite"] + produce, lang)
                                        for lang in ("zh", "en")]
    check(fixed(zh_events) == fixed(en_events), "produce: events differ between zh and en")
    chips = of(en_events, "chip", result="passed", step=None, cause=None, programmer=None,
               signature=["1E", "95", "0F"])
    check([c["number"] for c in chips] == [1, 2, 3], "produce: three chip events")
    check(len({c["serial"] for c in chips}) == 3, "produce: distinct serials")
    check(all(isinstance(c["crc32"], int) and isinstance(c["seconds"], float) for c in chips), "produce: numbers")
    summary = of(en_events, "summary")
    check(len(summary) == 1 and summary[0]["passed"] == 3 and summary[0]["failed"] == 0
          and summary[0]["wrong_chips"] == 0 and summary[0]["yield"] == 100, "produce: summary")
    check("chip 3 PASS" in en.stderr and "summary passed 3" in en.stderr, "produce: lines not on standard error")
    # A programmer gone before the first chip: the start-up's log is still written before the summary.
    done, events = run(["--db", f"{folder}/gone.sqlite", "--job", f"{blink}/blink.toml", "--sim-unplug-at", "1",
                        "produce"], "en")
    check(done.returncode == 1 and events and events[-1]["event"] == "summary", "produce: summary not last")

    # Two programmers: each chip and summary names its programmer, and a total follows.
    gang = run(["--db", f"{folder}/gang.sqlite", "--sim-programmers", "2", "--usb", "all", "--job",
                f"{blink}/blink.toml", "--sim-socket", "ATmega328P*2", "--count", "2", "produce"], "en")[1]
    programmers = {c["programmer"] for c in of(gang, "chip", result="passed")}
    check(len(programmers) == 2 and None not in programmers and len(of(gang, "chip")) == 4,
          "gang: chip events per programmer")
    check([s["programmer"] for s in of(gang, "summary")][-1:] == [None]
          and {s["programmer"] for s in of(gang, "summary")[:-1]} == programmers
          and of(gang, "summary")[-1]["passed"] == 4, "gang: a summary per programmer, then the total")

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
