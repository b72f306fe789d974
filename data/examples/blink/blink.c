/* Blinks an LED on PB5 (pin 13 of an Arduino Uno) of an ATmega328P at 1 MHz. The on and off
 * times and a greeting live in EEPROM, so that the example carries both a FLASH and an EEPROM
 * image; each start counts itself in EEPROM too. */
#include <avr/eeprom.h>
#include <avr/io.h>
#include <util/delay.h>

uint8_t EEMEM onTenths = 3;   /* LED on, tenths of a second */
uint8_t EEMEM offTenths = 7;  /* LED off */
uint16_t EEMEM startCount = 0;
char EEMEM greeting[] = "Kestrel blink";

static void WaitTenths(uint8_t tenths) {
  while (tenths-- > 0) _delay_ms(100);
}

int main(void) {
  eeprom_update_word(&startCount, eeprom_read_word(&startCount) + 1);
  DDRB |= _BV(DDB5);
  for (;;) {
    PORTB |= _BV(PORTB5);
    WaitTenths(eeprom_read_byte(&onTenths));
    PORTB &= (uint8_t)~_BV(PORTB5);
    WaitTenths(eeprom_read_byte(&offTenths));
  }
}
