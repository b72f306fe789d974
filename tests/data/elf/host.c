/* Built for the build machine, not for an AVR: an ELF file the reader must refuse. */
int twice(int x) { return 2 * x; }
