#pragma once

// Crash sites in functions built without frame pointers (-O2 -fomit-frame-pointer), as libc and most optimised
// code are: only the call-frame information can unwind them.
extern "C" {
int crashdriverFramelessCallersCaller(int value);
int crashdriverStrlenCaller(int value);
int crashdriverFramelessRecurse(int depth);
}
