#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDContext.h"

// The image table that crash-time code searches instead of asking the dynamic loader (which takes locks).
// ELF stands in for Mach-O: an image's base is its ELF header in memory, its size reaches the end of its last
// executable segment, its UUID is the start of its GNU build-id. The table is filled once at set-up from the
// images loaded then.

namespace crashreporting {

struct VRDBinaryImageDetails {
  char uuid[33];  // 32 lower-case hex digits; empty without a build-id
  bool encrypted;
  std::uint32_t builtSDKVersion[3];
  std::uint32_t minimumOSVersion[3];
  VRDBinaryImageNode node;
};

/// Set-up job: fills the writable context's nodes with the loaded images.
void VRDBinaryImageInit();
/// The first node with base ≤ address < base + size; false before set-up or when no image holds it.
bool VRDBinaryImageSafeFindImageForAddress(std::uint64_t address, VRDBinaryImageNode* out) noexcept;
bool VRDBinaryImageHasUnwindInfo(const VRDBinaryImageNode* node) noexcept;
/// The running executable's details; false when the loader does not list it.
bool VRDBinaryImageMainExecutableDetails(VRDBinaryImageDetails* out);
/// The metadata's `executable` section; true.
bool VRDBinaryImageRecordMainExecutable(VRDFile* file);

}  // namespace crashreporting
