#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDDwarf.h"

// The `.eh_frame_hdr` of an ELF image (PT_GNU_EH_FRAME): a table of (function start, FDE) pairs sorted by
// start, searched in halves for the FDE covering an address.

namespace crashreporting {

/// Where a header's table lies; read once per image and capture.
struct VRDEhFrameHdrTable {
  std::uint64_t header;
  std::uint64_t entries;  // the first (start, FDE) pair
  std::uint64_t count;
  std::uint64_t ehFrame;  // where the header's `.eh_frame` pointer leads
  std::uint64_t lastFound;  // the entry the last search found: the next one starts there (count: none yet)
};

/// Reads the header; false when it is unreadable or its table is not in the searchable form (4-byte signed
/// offsets from the header).
bool VRDEhFrameHdrReadTable(std::uint64_t header, VRDEhFrameHdrTable* table, VRDReadablePages* pages) noexcept;
/// The FDE of the last table entry that starts at or below `pc` (whose range may still end before it). A
/// `hint`, the index found by an earlier search of the table, starts the search there (any index below the
/// count will do; the result is the same); it receives the index found.
bool VRDEhFrameHdrFindFDEAddress(const VRDEhFrameHdrTable* table, std::uint64_t pc, std::uint64_t* fde,
                                 VRDReadablePages* pages, std::uint64_t* hint = nullptr) noexcept;
/// Finds and parses the FDE whose range holds `pc`; false when no FDE covers `pc`.
bool VRDEhFrameHdrFindFDEInTable(const VRDEhFrameHdrTable* table, std::uint64_t pc, VRDDwarfFDERecord* fde,
                                 VRDReadablePages* pages) noexcept;
/// Both steps.
bool VRDEhFrameHdrFindFDE(std::uint64_t header, std::uint64_t pc, VRDDwarfFDERecord* fde,
                          VRDReadablePages* pages) noexcept;

}  // namespace crashreporting
