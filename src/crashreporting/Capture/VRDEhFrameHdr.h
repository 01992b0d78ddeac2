#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDDwarf.h"

// The `.eh_frame_hdr` of an ELF image (PT_GNU_EH_FRAME): a table of (function start, FDE) pairs sorted by
// start, searched in halves for the FDE covering an address. An image linked without one (`-static`) gets a
// table of the same form built from its `.eh_frame` when it is first seen (VRDEhFrameIndex.h).

namespace crashreporting {

/// The version byte of a table built from `.eh_frame` (1 is the linker's `.eh_frame_hdr`). Such a table lies in
/// a mapping of its own, too far from the image for 32-bit offsets from itself, so its entries count from the
/// `.eh_frame` its header points at; in all else it is read as the linker's.
inline constexpr std::uint8_t VRDEhFrameHdrBuiltVersion = 0xB1;

/// Where a header's table lies; read once per image and capture.
struct VRDEhFrameHdrTable {
  std::uint64_t header;
  std::uint64_t entries;  // the first (start, FDE) pair
  std::uint64_t count;
  std::uint64_t ehFrame;  // where the header's `.eh_frame` pointer leads
  std::uint64_t lastFound;  // the entry the last search found: the next one starts there (count: none yet)
  std::uint64_t base;       // what the entries count from: the header, or `.eh_frame` for a built table
};

/// Reads the header; false when it is unreadable or its table is not in the searchable form (4-byte signed
/// offsets from the header, or from `.eh_frame` in a built table).
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
