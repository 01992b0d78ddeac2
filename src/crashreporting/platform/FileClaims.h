#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

// Processes of one host (two windows of an editor, a helper tool) share one store. Each file or folder of it
// that a process sends, packages or writes is claimed first by its name, and whoever cannot claim a name leaves
// that item to its holder. A claim is a lock on one byte of a lock file beside the items (the byte a hash of the
// name picks), taken through an open file description of this process: it ends when the process does, however it
// ends, so the claims of a process that died are free at the next start. A child forked without exec holds none of
// its parent's claims (it lets go of its copies of the descriptors at the fork without unlocking them).

namespace crashreporting {

class FileClaims {
 public:
  /// The claims kept in `lockFile`; every process names the same file for the same items.
  explicit FileClaims(std::filesystem::path lockFile) : lockFile_(std::move(lockFile)) {}

  /// Claims `name`: true when it is now this process's (or already was); false while another process holds it.
  /// A lock file that cannot be used (no regular file, a link, not ours to write) is set aside and made anew;
  /// where none can be had at all (a read-only store) every claim is refused, said once: another copy may be
  /// sending the same items. A passing error (too many open files, no memory) refuses this claim alone, with a
  /// line, and leaves the file as it is.
  bool claim(std::string_view name) const;
  /// Gives `name` up (after its item was removed or left for whoever comes next).
  void release(std::string_view name) const;
  /// The same by the item itself: its claim goes by its name within its folder.
  bool claimItem(const std::filesystem::path& item) const { return claim(item.filename().string()); }
  void releaseItem(const std::filesystem::path& item) const { release(item.filename().string()); }

  const std::filesystem::path& lockFile() const { return lockFile_; }
  /// The byte of the lock file that holds `name`'s claim (for whoever looks at claims from outside).
  static off_t byteOf(std::string_view name);

 private:
  std::filesystem::path lockFile_;
};

}  // namespace crashreporting
