#pragma once

#include <cstddef>
#include <cstdint>

#include "crashreporting/Capture/VRDDwarf.h"
#include "crashreporting/Capture/VRDEhFrameHdr.h"
#include "crashreporting/Capture/VRDReadablePages.h"

// What the unwinder learns while it walks, kept for every walk of one crash capture: the pages proved
// readable, each image's `.eh_frame_hdr` table, the CIEs with their initial rules, and the DWARF rows found for
// a PC (a recursion, or threads
// parked in the same calls, repeat them). It holds only while no page can be unmapped and no unwind section
// changes, so a capture keeps it only while every other thread is stopped. Plain memory for the handler's
// stack: no heap, no locks.

namespace crashreporting {

/// The DWARF rows in force at one PC.
struct VRDUnwindRows {
  std::uint64_t pc;  // the address looked up; 0 marks a free cache slot
  bool found;        // an FDE covers the PC and its rules could be run
  bool signalFrame;  // the FDE's CIE marks a signal frame
  VRDDwarfRegisterRules rules;
};

struct VRDUnwindCache {
  static constexpr std::size_t kTables = 16;
  static constexpr std::size_t kRows = 64;
  static constexpr std::size_t kRowProbes = 4;  // slots a PC may take, from the one its hash picks
  VRDReadablePages pages;
  VRDEhFrameHdrTable tables[kTables];  // header 0: free
  std::uint32_t nextTable;             // the slot the next new table takes, in turn
  VRDDwarfCIECache cies;
  VRDUnwindRows rows[kRows];           // by a hash of the PC, in the first free of kRowProbes slots
};

/// Forgets everything: a new capture, or memory that may have changed.
void VRDUnwindCacheReset(VRDUnwindCache* cache) noexcept;
/// The proofs of `cache`, or null (every read a system call) for no cache.
inline VRDReadablePages* VRDUnwindCachePages(VRDUnwindCache* cache) noexcept {
  return cache == nullptr ? nullptr : &cache->pages;
}
/// The first slot the rows of `pc` may take: a multiplicative hash spreads nearby return addresses, and its top
/// six bits pick one.
inline std::size_t VRDUnwindCacheRowSlot(std::uint64_t pc) noexcept {
  static_assert(VRDUnwindCache::kRows == 64);
  return static_cast<std::size_t>((pc * 0x9E3779B97F4A7C15ull) >> 58);
}
/// An image's unwind sections as the image table knows them.
struct VRDUnwindImage {
  std::uint64_t ehFrameHdr;
  /// Where the header's `.eh_frame` pointer led when the image was loaded (0: unknown), and the readable
  /// segment that held both sections then (start = end: none).
  std::uint64_t ehFrame;
  std::uint64_t segmentStart;
  std::uint64_t segmentEnd;
};

/// The rows for `pc` in the image: kept ones, or looked up (and kept). A null cache looks them up every time.
/// The result lives in the cache or in `scratch`. The first lookup in an image reads its header with a proof;
/// when the header still leads to the `.eh_frame` the table knew, the image is still the one loaded there, and
/// the rest of its segment is read without proofs (a proof is a system call; the table's search and the FDEs
/// would take one per page or two).
const VRDUnwindRows* VRDUnwindCacheFindRowsInImage(VRDUnwindCache* cache, const VRDUnwindImage& image,
                                                   std::uint64_t pc, VRDUnwindRows* scratch) noexcept;
/// The same for an image known only by its header: every page proved.
inline const VRDUnwindRows* VRDUnwindCacheFindRows(VRDUnwindCache* cache, std::uint64_t header, std::uint64_t pc,
                                                   VRDUnwindRows* scratch) noexcept {
  return VRDUnwindCacheFindRowsInImage(cache, VRDUnwindImage{header, 0, 0, 0}, pc, scratch);
}

}  // namespace crashreporting
