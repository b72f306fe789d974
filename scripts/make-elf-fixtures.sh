#!/usr/bin/env bash
# Makes the ELF fixtures of tests/data/elf with avr-gcc, and what avr-objcopy makes of them:
# the binaries and HEX files the ELF reader's regions and the HEX writer's text must equal.
# The tests use the committed results and need none of these tools to build. Needs: gcc-avr
# binutils-avr avr-libc gcc. Run once by hand; commit every output with the sources.
set -euo pipefail
cd "$(dirname "$0")/../tests/data/elf"

# ATmega328P: .text, .data, .eeprom, .fuse, .lock and .signature.
avr-gcc -mmcu=atmega328p -Os -o program.elf program.c
avr-objcopy -O ihex program.elf program.hex
avr-objcopy -O binary -j .text -j .data program.elf program-flash.bin
avr-objcopy -O binary -j .eeprom --change-section-lma .eeprom=0 program.elf program-eeprom.bin
avr-objcopy -O binary -j .fuse --change-section-lma .fuse=0 program.elf program-fuse.bin
avr-objcopy -O binary -j .lock --change-section-lma .lock=0 program.elf program-lock.bin
avr-objcopy -O binary -j .signature --change-section-lma .signature=0 program.elf program-signature.bin

# The same program with its EEPROM data loaded in the SRAM range (run address unchanged):
# a load address in no region.
avr-objcopy --change-section-lma .eeprom=0x800800 program.elf outside.elf

# ATmega2560 with code across 0x20000, far from the rest: its HEX file has a gap and address
# records past bank 0.
avr-gcc -mmcu=atmega2560 -Os -Wl,--section-start=.fartext=0x1FFF0 -o far.elf far.c
avr-objcopy -O ihex far.elf far.hex

# An ELF object of the build machine's own architecture.
gcc -c -Os -o host.o host.c

chmod 0644 ./*.elf ./*.bin ./*.hex host.o
