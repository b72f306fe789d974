#!/usr/bin/env bash
# Makes the Intel HEX fixtures of tests/data/hex with independent tools (avr-gcc, avr-objcopy,
# srec_cat) from known binaries, and the binaries the reader's images must equal. The tests use
# the committed results and need none of these tools. Needs: gcc-avr binutils-avr avr-libc
# srecord. Random data change on every run; commit the binaries with the HEX files.
set -euo pipefail
cd "$(dirname "$0")/../tests/data/hex"

# A real program: its FLASH and EEPROM as HEX, and as binaries.
avr-gcc -mmcu=atmega328p -Os -DF_CPU=1000000UL -o program.elf program.c
avr-objcopy -O ihex -R .eeprom program.elf program.hex
avr-objcopy -O binary -R .eeprom program.elf program.bin
avr-objcopy -O ihex -j .eeprom --change-section-lma .eeprom=0 program.elf program.eep
avr-objcopy -O binary -j .eeprom --change-section-lma .eeprom=0 program.elf program-eeprom.bin
rm program.elf
chmod 0644 program.bin program-eeprom.bin

# Random images; 32-byte and 16-byte records, extended linear (04) and extended segment (02)
# address records.
head -c 32768 /dev/urandom >rand32k.bin
head -c 131072 /dev/urandom >rand128k.bin
head -c 262144 /dev/urandom >rand256k.bin
srec_cat rand32k.bin -binary -o rand32k-r16.hex -intel -obs=16
srec_cat rand32k.bin -binary -o rand32k-r32.hex -intel -obs=32
srec_cat rand128k.bin -binary -o rand128k-linear-r16.hex -intel -obs=16
srec_cat rand128k.bin -binary -o rand128k-segment-r32.hex -intel -address-length=3 -obs=32
srec_cat rand256k.bin -binary -o rand256k-linear-r32.hex -intel -obs=32
avr-objcopy -I binary -O ihex rand256k.bin rand256k-segment-r16.hex

# Sparse images with holes: pieces of the 128 KiB image at scattered addresses, one across a
# 64 KiB boundary; the reference binaries are filled with 0xFF from 0 to the end of the data.
srec_cat \
  rand128k.bin -binary -crop 0x0000 0x0400 \
  rand128k.bin -binary -crop 0x2000 0x2345 \
  rand128k.bin -binary -crop 0xFF00 0x10100 \
  rand128k.bin -binary -crop 0x1FFF0 0x20000 \
  -o sparse-linear.hex -intel -obs=16
srec_cat sparse-linear.hex -intel -fill 0xFF 0 0x20000 -o sparse-linear.bin -binary
srec_cat \
  rand32k.bin -binary -crop 0x0100 0x0180 -offset 0x3000 \
  rand32k.bin -binary -crop 0x7000 0x7011 \
  rand32k.bin -binary -crop 0x0000 0x0020 -offset 0x14000 \
  -o sparse-segment.hex -intel -address-length=3 -obs=24
srec_cat sparse-segment.hex -intel -fill 0xFF 0 0x14020 -o sparse-segment.bin -binary
