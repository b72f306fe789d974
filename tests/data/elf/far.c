/* An ATmega2560 program with code above 64 KiB: the build puts .fartext at 0x1FFF0, so the
 * function runs across the 128 KiB line and the HEX file needs address records past bank 0. */
#include <avr/io.h>

__attribute__((noinline, used, section(".fartext"))) uint8_t mix(uint8_t a, uint8_t b) {
  return (uint8_t)((a << 3) ^ (b >> 1) ^ 0x5A) + a * b;
}

volatile uint8_t seed = 7;

int main(void) {
  DDRA = 0xFF;
  for (;;) PORTA = mix(seed++, PINA);
}
