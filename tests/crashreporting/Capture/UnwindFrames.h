#pragma once

// Functions built with -O2 -fomit-frame-pointer (see CMakeLists.txt) that call down to a probe, so the tests
// can unwind through frames that keep no frame pointer.

namespace crashreporting::test {

using UnwindProbe = void (*)(void* argument);

/// Five frameless calls deep, then the probe.
int unwindFramesFiveDeep(UnwindProbe probe, void* argument, int seed);
/// Three frameless calls, then qsort, whose comparator calls two more and then the probe (once).
int unwindFramesThroughQsort(UnwindProbe probe, void* argument, int seed);

}  // namespace crashreporting::test
