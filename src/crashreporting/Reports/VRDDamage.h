#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "crashreporting/platform/Value.h"

// Whether a package or a crash record is what the library wrote, checked before either is sent: a server that is
// handed a truncated or overwritten file stores garbage that no engineer can read, and nobody learns why.

namespace crashreporting {

/// What a check found: damage (the file itself is not what the library wrote), or a read that failed for a passing
/// reason (too many open files, no memory) and says nothing about the file, which is then left for a later
/// attempt. Each in a few words; neither when the file is sound.
struct VRDFileCheck {
  std::optional<std::string> damage;
  std::optional<std::string> notNow;
};

/// Why the package at `path` is not whole; no damage when it is: it opens with the boundary its file name gives,
/// every part is complete and names its field, every gzip part decodes to its end, and the closing boundary ends
/// the file.
VRDFileCheck VRDPackageDamage(const std::string& path);

/// Why the crash record at `path` is no record; no damage when it is one (or is empty or absent): a record whose
/// last line was torn by the crash still counts, one with no line that is a JSON object does not.
VRDFileCheck VRDRecordDamage(const std::string& path);

/// Why the crash record at `path` is not whole although it is a record (or none when it is whole, or absent):
/// it is empty, or a line of it was torn (most often the crash or a full disk cut its last line short).
std::optional<std::string> VRDRecordIncompleteness(const std::string& path);

/// The thread objects of a `threads` line cut short, up to the last one that is whole; none when the line is no
/// such line or holds no whole thread.
std::optional<Value> VRDRecordSalvageThreads(std::string_view line);

}  // namespace crashreporting
