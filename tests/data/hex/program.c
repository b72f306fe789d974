/* A small real AVR program for the reader's fixtures: it counts on PORTB and keeps a table in
 * FLASH and a few bytes in EEPROM, so that both the .hex and the .eep carry data. */
#include <avr/eeprom.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <util/delay.h>

static const uint8_t pattern[] PROGMEM = {0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF,
                                          0x7E, 0x3C, 0x18, 0x00, 0xA5, 0x5A, 0xC3, 0x3C};
uint8_t EEMEM settings[8] = {0x4B, 0x45, 0x53, 0x54, 0x01, 0x02, 0x10, 0x20};
uint16_t EEMEM bootCount = 0x1234;

int main(void) {
  DDRB = 0xFF;
  uint16_t boots = eeprom_read_word(&bootCount);
  eeprom_update_word(&bootCount, boots + 1);
  for (;;) {
    for (uint8_t i = 0; i < sizeof pattern; ++i) {
      PORTB = pgm_read_byte(&pattern[i]) ^ eeprom_read_byte(&settings[i & 7]);
      _delay_ms(50);
    }
  }
}
