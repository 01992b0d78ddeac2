#pragma once

// Crash sites in functions built without frame pointers (-O2 -fomit-frame-pointer), as libc and most optimised
// code are: only the call-frame information can unwind them.
extern "C" {
int crashdriverFramelessCallersCaller(int value);
int crashdriverStrlenCaller(int value);
int crashdriverFramelessRecurse(int depth);
int crashdriverCallThroughNullCaller(int value);
/// `code` is called from a frameless function; RbpInUse's caller chain holds RBP = 7 at the call.
int crashdriverCallCode(int (*code)(int), int value);
int crashdriverCallCodeWithRbpInUse(int (*code)(int), int value);
int crashdriverRbpInUseCaller(int (*code)(int), int value);
}
