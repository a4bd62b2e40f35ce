// A second translation unit that embeds the printers, so that a program
// built from it and printers_fixture.cc carries them from two objects: the
// linker must keep one copy.
#include <kel_std/config.h>
