#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDThreadState.h"
#include "crashreporting/Capture/VRDUnwindCache.h"

// The stack unwinder: turns a register state into return addresses, frame by frame, reading stack and image
// memory only through safe reads and allocating nothing. The first frame is the state's own PC. Each step uses
// the DWARF call-frame information of the image holding the PC (found through its `.eh_frame_hdr`); where
// there is none, or it fails, the frame-pointer chain, with a bounded scan of the stack for a code address on
// the second frame (a crash in a function that has set up no frame, or in code no image holds). A first PC that
// is no code address at all (a call through a null function pointer) takes its caller from the word at SP.

namespace crashreporting {

struct VRDUnwindContext {
  VRDThreadState registers;
  std::uint32_t frameCount;
  std::uint64_t lastPC;
  std::uint32_t repeatCount;  // how many frames in a row had the same PC
  /// The PC is a return address (points after its call), not an exact PC of a register state.
  bool pcIsReturnAddress;
  /// Proofs and lookups shared with the capture's other walks; null for none.
  VRDUnwindCache* cache;
  /// The image of the last frame (base 0: none yet): most callers lie in their callee's image.
  VRDBinaryImageNode image;
  /// Frame 0 was no code address: the next step reads the caller's return address at SP.
  bool callerAtStackPointer;
};

inline constexpr std::uint32_t VRDUnwindMaximumFrames = 600000;
/// The stack scan looks at no more words than this.
inline constexpr std::uint64_t VRDUnwindMaximumScanWords = 2048;

/// Zeroes the context and copies the state. The walk keeps what it learns in `cache`, which the caller resets
/// when memory may have changed since its last use; without a cache every read is a system call.
bool VRDUnwindInit(VRDUnwindContext* context, const VRDThreadState* state, VRDUnwindCache* cache = nullptr) noexcept;
/// Advances to the next frame; the first call yields the state's own PC. False when the walk has ended: at the
/// outermost frame (logged at DEBUG only: the end of a stack is no error) or on a failure (ERROR).
bool VRDUnwindNextFrame(VRDUnwindContext* context) noexcept;
std::uint64_t VRDUnwindGetPC(const VRDUnwindContext* context) noexcept;
std::uint64_t VRDUnwindGetStackPointer(const VRDUnwindContext* context) noexcept;
std::uint32_t VRDUnwindGetFrameRepeatCount(const VRDUnwindContext* context) noexcept;
/// Whether the current frame's PC is a return address (it points after its call), rather than the instruction a
/// thread was stopped at: the state's own PC, or one restored from a signal frame. A state whose PC is itself a
/// return address (a thread recording itself) sets `pcIsReturnAddress` after VRDUnwindInit.
bool VRDUnwindPCIsReturnAddress(const VRDUnwindContext* context) noexcept;

/// True when a known image holds `address`.
bool VRDUnwindIsAddressExecutable(std::uint64_t address) noexcept;
/// The first 8-byte word in [start, end) whose value lies in a known image, and the word's address in `at` when
/// given; false when none is, or a word cannot be read.
bool VRDUnwindFirstExecutableAddress(std::uint64_t start, std::uint64_t end, std::uint64_t* value,
                                     std::uint64_t* at = nullptr) noexcept;

}  // namespace crashreporting
