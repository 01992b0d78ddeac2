#pragma once

#include <cstdint>
#include <vector>

#include "crashreporting/Capture/VRDThreadState.h"

// Functions built with frame pointers (see CMakeLists.txt), as hosts and distributions build more and more code:
// the recording thread's own state taken from inside them, as a capture on that thread takes it.

namespace crashreporting::test {

using OwnStateProbe = void (*)(const VRDThreadState& state, void* argument);

/// Takes the current thread's state as the capture fakes it for itself, `depth` frame-pointer calls deep, and
/// hands it to `probe` while those frames still stand; `runtime` gets the addresses the compiler runtime's
/// unwinder finds from the same function. False when the state cannot be had.
bool framePointerOwnState(int depth, OwnStateProbe probe, void* argument, std::vector<std::uint64_t>* runtime);

}  // namespace crashreporting::test
