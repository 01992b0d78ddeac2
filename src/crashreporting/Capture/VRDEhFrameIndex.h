#pragma once

#include <cstdint>

#include "crashreporting/Capture/VRDContext.h"

// The search table of an image linked without `.eh_frame_hdr` (gcc writes none for `-static`, so such a program
// has no PT_GNU_EH_FRAME): its `.eh_frame` is found from the section headers of its file, and its FDEs are listed
// by function start in a table of the `.eh_frame_hdr` form (VRDEhFrameHdrBuiltVersion) in a read-only mapping of
// its own. The image's node then points at that table as at a header, and the walk takes the DWARF step there as
// in any other image. Built when the image is first seen, never at crash time: it reads a file and takes the
// heap. Crash time only reads the table.

namespace crashreporting {

/// The table of the FDEs in the loaded `.eh_frame` at [ehFrame, ehFrame + size) whose functions start in
/// [codeStart, codeEnd), read through safe reads: the address of its header, or 0 when no FDE could be listed.
/// A damaged record costs itself alone: an FDE that does not parse is left out, a CIE that does not parse with its
/// FDEs, and a record that runs past the section ends the listing there. What was left out is logged in one line
/// of counts under the name `image`, never a line per record. VRDEhFrameIndexRelease unmaps the table.
std::uint64_t VRDEhFrameIndexBuild(std::uint64_t ehFrame, std::uint64_t size, std::uint64_t codeStart,
                                   std::uint64_t codeEnd, const char* image);
void VRDEhFrameIndexRelease(std::uint64_t table) noexcept;

/// Gives the node of an image without `.eh_frame_hdr`, loaded from `path` `bias` above its file's addresses,
/// a built table from the file mapped there (VRDImageFile.h): `ehFrameHdr` is the table, `ehFrame` the section.
/// False, the node unchanged, when there is none.
bool VRDEhFrameIndexAddToNode(const char* path, const char* uuid, std::uint64_t bias, VRDBinaryImageNode* node);

}  // namespace crashreporting
