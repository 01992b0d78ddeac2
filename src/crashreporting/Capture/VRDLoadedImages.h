#pragma once

#include <cstdint>

// The images loaded at crash time, read from the dynamic linker's own list (`_r_debug`'s chain of link maps)
// with safe reads: the loader adds an image to that list before dlopen returns, whereas the image table learns
// of images only when it looks (VRDBinaryImage.h). Each image the table does not know yet gets a node, so its
// frames are unwound with its own call-frame information, and a `load` line in `binary_images.vrdrecord`, so
// the next launch can name them, under the absolute path of the file mapped when the loader holds a relative one.
// No heap, no locks, nothing of the loader called.

namespace crashreporting {

/// Adds what the loader lists and the table lacks; returns how many images were added (0 before set-up).
/// Async-signal-safe.
int VRDLoadedImagesCatchUp() noexcept;

/// Reads a NUL-terminated string of at most `capacity` − 1 bytes at `address` through safe reads, page by page;
/// false when its first byte cannot be read. The result is always terminated.
bool VRDLoadedImagesReadString(std::uint64_t address, char* out, std::uint64_t capacity) noexcept;

}  // namespace crashreporting
