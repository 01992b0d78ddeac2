#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDDwarf.h"

// The `.eh_frame_hdr` of an ELF image (PT_GNU_EH_FRAME): a table of (function start, FDE) pairs sorted by
// start, searched in halves for the FDE covering an address.

namespace crashreporting {

/// Finds and parses the FDE whose range holds `pc`; false when the header is unreadable, its table is not in
/// the searchable form (4-byte signed offsets from the header), or no FDE covers `pc`.
bool VRDEhFrameHdrFindFDE(std::uint64_t header, std::uint64_t pc, VRDDwarfFDERecord* fde,
                          VRDReadablePages* pages) noexcept;

}  // namespace crashreporting
