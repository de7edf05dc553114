/* Reached through glibc's x86 stubs.h, which takes any compile that is not
   x86-64 for 32-bit x86. */
#include <gnu/stubs-64.h>
