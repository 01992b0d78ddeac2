#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/Value.h"

// Reading record files back at the next launch (never at crash time: it allocates).

namespace crashreporting {

/// Replaces a parsed line; none drops it.
using VRDFileSectionTransform = std::function<std::optional<Value>(Value)>;

/// The whole file at `path`; what cannot be read is logged with the path (and why, when it is there).
FileContents VRDFileReadWhole(const std::string& path);

/// The lines of the record file at `path` parsed as JSON, in file order. Lines that do not parse (a line torn
/// by the crash, the empty piece after the last newline) are skipped. None when the file cannot be read; the
/// file is then removed when `deleteOnFailure` is set.
std::optional<Array> VRDFileReadSections(const char* path, bool deleteOnFailure,
                                         const VRDFileSectionTransform& transform = {});
/// The lines of a record file's bytes parsed as JSON, as VRDFileReadSections gives them.
Array VRDFileSections(std::string_view bytes, const VRDFileSectionTransform& transform = {});

/// The hex text of a string's bytes.
std::string VRDFileHexEncodeString(const char* text);
/// Bytes decoded from hex two digits at a time, stopping at the first pair holding any other character; an odd
/// last digit is ignored. None when the bytes are not UTF-8.
std::optional<std::string> VRDFileHexDecodeString(const char* text);

}  // namespace crashreporting
