#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for a bounded time. Fails when a harness crashes, leaks, trips a sanitizer or
# breaks one of its checks; the input that did it is kept in build/fuzz/artifacts/.
#
#   fuzz/run-fuzzers.sh [seconds per harness, default 30]
#
# The growing corpora stay in build/fuzz/corpus/ between runs; the seeds are made afresh from
# the test fixtures and the shipped catalogue. Every input that once failed is kept in
# fuzz/regressions/ and runs first on every run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=build/fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTREL_FUZZ=ON -DKESTREL_BUILD_GUI=OFF -DKESTREL_BUILD_TESTS=OFF -DKESTREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_hex_open fuzz_chip_catalogue fuzz_elf fuzz_job

seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/hex" "$seeds/catalogue" "$seeds/elf" "$seeds/job" "$build/corpus/hex" "$build/corpus/catalogue" \
  "$build/corpus/elf" "$build/corpus/job" "$build/artifacts"

# A HEX seed is a selector byte (side, extension, chip; see fuzz_hex_open.cpp) and the text.
# The large fixtures are cut to their first records, every address record with the record
# behind it, and the end record, so that seeds stay small and still reach every branch.
excerpt() {
  awk '{ type = substr($0, 8, 2) }
       NR <= 8 || type != "00" || after { print }
       { after = (type == "02" || type == "04") }' "$1"
}
seed() {  # seed <selector byte, octal> <name> <file>
  { printf "\\$1"; excerpt "$3"; } >"$seeds/hex/$2"
}
for file in tests/data/hex/*.hex tests/data/hex/*.eep; do
  name=$(basename "$file")
  seed 050 "$name.flash-2560" "$file"    # chip 5 (ATmega2560), FLASH, .hex
  seed 055 "$name.eeprom-2560" "$file"   # chip 5, EEPROM, .eep
  seed 030 "$name.flash-328p" "$file"    # chip 3 (ATmega328P), FLASH, .hex
  seed 003 "$name.eeprom-start" "$file"  # chip 0 (no pick yet), EEPROM, .Hex
done
cp data/chip.txt "$seeds/catalogue/chip.txt"
head -c 200 data/chip.txt >"$seeds/catalogue/chip-partial.txt"
printf 'ATmega2560|1024:128|512:8<\r\nATmega328P|256:64|256:4<\r\n' >"$seeds/catalogue/crlf.txt"

# ELF seeds: the fixtures and their whole-chip HEX files, and copies of the program edited as
# the ELF tests edit them (at the offsets of program.elf's header and program header table).
cp tests/data/elf/*.elf tests/data/elf/*.hex tests/data/elf/host.o "$seeds/elf/"
patch() {  # patch <file> <offset> <bytes, printf escapes>
  printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
cp tests/data/elf/program.elf "$seeds/elf/relocatable.elf"
patch "$seeds/elf/relocatable.elf" 16 '\001'
head -c 649 tests/data/elf/program.elf >"$seeds/elf/no-sections.elf"  # up to the last loaded byte
patch "$seeds/elf/no-sections.elf" 32 '\000\000\000\000'
patch "$seeds/elf/no-sections.elf" 48 '\000\000\000\000'
cp tests/data/elf/program.elf "$seeds/elf/overlap.elf"
patch "$seeds/elf/overlap.elf" 68 '\204'   # .text's segment takes on .data's bytes
patch "$seeds/elf/overlap.elf" 88 '\163'   # and .data's own segment moves one byte on

# Job seeds: the regression job with a sequence and a random serial in place of its list.
sed 's/source = "list"/source = "sequence"\nformat = "ascii:8"\nstart = 7/; /^list/d' \
  fuzz/regressions/job/list.toml >"$seeds/job/ascii.toml"
sed 's/source = "list"/source = "random"\nbytes = 6/; /^list/d' fuzz/regressions/job/list.toml \
  >"$seeds/job/random.toml"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

run() {  # run <harness> <corpus> <max_len> <dictionary>
  echo "== $1: ${seconds} s"
  "$build/fuzz/$1" "$build/corpus/$2" "$seeds/$2" fuzz/regressions/"$2" -dict="$4" -max_len="$3" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$1-" 2>"$build/$1.log" || {
    tail -n 60 "$build/$1.log" >&2
    echo "$1 failed; the input is in $build/artifacts/ (log: $build/$1.log)" >&2
    return 1
  }
  grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::new_units_added)' "$build/$1.log" || true
}

status=0
run fuzz_hex_open hex 8192 fuzz/hex.dict || status=1
run fuzz_chip_catalogue catalogue 8192 fuzz/catalogue.dict || status=1
run fuzz_elf elf 16384 fuzz/elf.dict || status=1
run fuzz_job job 4096 fuzz/job.dict || status=1
exit "$status"
