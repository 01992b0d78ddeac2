#include "CodeWithoutUnwindInfo.h"

// Plain assembly carries no call-frame directives, hence no FDE.
asm(".text\n"
    ".globl crashreporting_test_code_without_unwind_info\n"
    ".p2align 4\n"
    "crashreporting_test_code_without_unwind_info:\n"
    ".fill 4096, 1, 0x90\n"
    "ret\n");
