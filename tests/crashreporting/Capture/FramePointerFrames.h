#pragma once

#include "crashreporting/Capture/VRDThreadState.h"

// Functions built with frame pointers (see CMakeLists.txt), as hosts and distributions build more and more code:
// the recording thread's own state taken from inside them, as a capture on that thread takes it.

namespace crashreporting::test {

using OwnStateProbe = void (*)(const VRDThreadState& state, void* argument);

/// Takes the current thread's state as the capture fakes it for itself, `depth` frame-pointer calls deep, and
/// hands it to `probe`, called from that same function while its frames still stand. False when the state
/// cannot be had.
bool framePointerOwnState(int depth, OwnStateProbe probe, void* argument);

}  // namespace crashreporting::test
