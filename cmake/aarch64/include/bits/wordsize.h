/* aarch64 is a 64-bit processor; glibc's x86 header would say 32 for any
   compile that is not x86-64. */
#define __WORDSIZE 64
#define __WORDSIZE_TIME64_COMPAT32 1
#define __SYSCALL_WORDSIZE 64
