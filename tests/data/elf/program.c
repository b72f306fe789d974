/* A small ATmega328P program for the ELF reader's fixtures: it has code, initialised data
 * (.data, loaded into FLASH after .text), EEPROM variables, fuses, lock bits and the chip's
 * signature, each in the section avr-libc gives it. */
#include <avr/eeprom.h>
#include <avr/fuse.h>
#include <avr/io.h>
#include <avr/lock.h>
#include <avr/pgmspace.h>
#include <avr/signature.h>

FUSES = {.low = 0xE2, .high = 0xD9, .extended = 0xFD};
LOCKBITS = LB_MODE_3;

static const uint8_t pattern[] PROGMEM = {0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF};
volatile uint8_t counters[6] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
uint8_t EEMEM settings[8] = {0x4B, 0x45, 0x53, 0x54, 0x01, 0x02, 0x10, 0x20};
uint16_t EEMEM bootCount = 0x1234;

int main(void) {
  DDRB = 0xFF;
  eeprom_update_word(&bootCount, eeprom_read_word(&bootCount) + 1);
  for (uint8_t i = 0;; ++i) {
    PORTB = pgm_read_byte(&pattern[i & 7]) ^ eeprom_read_byte(&settings[i & 7]) ^ counters[i % 6]++;
  }
}
