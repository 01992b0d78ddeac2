#pragma once

#include <link.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Kit/VRDImageUUID.h"

// The image table that crash-time code searches instead of asking the dynamic loader (which takes locks), and
// the record of every image load and unload (`binary_images.vrdrecord`) that the next launch symbolicates
// against. ELF stands in for Mach-O: an image's base is its ELF header in memory, its size reaches the end of
// its last executable segment, its UUID is its GNU build-id in the 32-digit form (VRDImageUUID.h).
//
// glibc tells nobody when an image comes or goes, so changes are found by looking: the loader's counters of
// images added and removed (dl_iterate_phdr) are compared with the last look, and on a change the loaded images
// are diffed against the known ones. That happens at set-up, at every public call of the crash kit
// (VRDBinaryImageCheckForChanges) and on a timer of the binary-image queue. At crash time the loader's own list
// is read as well (VRDLoadedImages.h), so an image loaded since the last look is found and recorded all the same.
// An image linked without `.eh_frame_hdr` gets a search table built from its `.eh_frame` when a look first sees
// it (VRDEhFrameIndex.h); one first found at crash time does not.

namespace crashreporting {

struct VRDBinaryImageDetails {
  /// 32 lower-case hex digits: of the build-id (VRDImageUUID.h), or of the SHA-1 of the first page of the first
  /// executable segment when the image has none.
  char uuid[VRDImageUUIDCapacity] = {};
  bool encrypted = false;
  /// ELF records neither version: 0.0.0.
  std::uint32_t builtSDKVersion[3] = {};
  std::uint32_t minimumOSVersion[3] = {};
  VRDBinaryImageNode node{};
  /// What the loader added to the file's addresses.
  std::uint64_t slide = 0;
  /// The running program itself, whose file is /proc/self/exe.
  bool program = false;
  /// The image's file (the running executable's real path for the program itself).
  std::string path;
};

/// How often the binary-image queue looks for images loaded or unloaded in between.
inline constexpr std::chrono::milliseconds VRDBinaryImageRescanInterval{1000};

/// Set-up job: starts `binary_images.vrdrecord` afresh, records and stores a node for every loaded image, and
/// starts the periodic look for changes.
void VRDBinaryImageInit();
/// Looks for images loaded or unloaded since the last look; stores or clears their nodes and queues their
/// `load`/`unload` lines. Cheap when nothing changed. Not at crash time.
void VRDBinaryImageCheckForChanges();
/// Stops the periodic look (the context is going).
void VRDBinaryImageStopTracking();

/// A load claims the first free node; an unload clears the live node of that base (size 0, so no address
/// matches it any more; the slot is not reused). Either way a line for the record file is queued.
void VRDBinaryImageStoreNode(bool loaded, const VRDBinaryImageDetails& details);

/// Claims the first free node for a loaded image and fills it (the size last); false when every node is taken.
/// Async-signal-safe.
bool VRDBinaryImageClaimNode(const VRDBinaryImageNode& image) noexcept;
/// Whether a live node (size not 0) has this base. Async-signal-safe.
bool VRDBinaryImageHasLiveNode(std::uint64_t base) noexcept;
/// The node of an image loaded `bias` above its file's addresses, from its `count` program headers (read
/// through safe reads where they point into the image); false for an image with no executable segment.
bool VRDBinaryImageNodeFromSegments(std::uint64_t bias, const ElfW(Phdr)* segments, std::size_t count,
                                    VRDBinaryImageNode* node) noexcept;

/// The first node with base ≤ address < base + size; false before set-up or when no image holds it.
bool VRDBinaryImageSafeFindImageForAddress(std::uint64_t address, VRDBinaryImageNode* out) noexcept;
bool VRDBinaryImageHasUnwindInfo(const VRDBinaryImageNode* node) noexcept;
/// The first image loaded in this process that the recorded `uuid` names (VRDImageUUIDMatches); false for null
/// or none.
bool VRDBinaryImageFindImageForUUID(const char* uuid, VRDBinaryImageDetails* out);
/// The running executable's details; false when the loader does not list it.
bool VRDBinaryImageMainExecutableDetails(VRDBinaryImageDetails* out);
/// The metadata's `executable` section; true.
bool VRDBinaryImageRecordMainExecutable(VRDFile* file);

/// Opens the record file unless it is open; `openedNow` says whether this call opened it.
bool VRDBinaryImageOpenIfNeeded(bool* openedNow) noexcept;
void VRDBinaryImageCloseFile() noexcept;

}  // namespace crashreporting
