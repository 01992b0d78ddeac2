#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace tilvane::filewatch {

/// Tells the program when the file at a path may have changed, from the system's notifications rather than by
/// looking at it on a timer, so a program that waits for such a change sleeps until there is one. It follows the
/// path, not a file: a file written in place, replaced by a rename, removed and written back, the folder removed
/// or moved away and made or moved back, and a link anywhere on the path (the file, its folder, one above, a link
/// to a link) pointed elsewhere, replaced, or its target moved away and back or replaced. The watch lasts while
/// the object lives.
class FileWatch {
 public:
  virtual ~FileWatch() = default;
};

/// Starts watching `file` (made absolute): `changed` runs on the main loop after each batch of notifications that
/// may concern it, possibly also for some that do not. Reads and looks only: it never makes a file or a folder.
/// Null, with the reason in `error`, when the system gives no watch (no main loop installed, or no notifications
/// left for this user).
std::unique_ptr<FileWatch> watchFile(const std::filesystem::path& file, std::function<void()> changed,
                                     std::string& error);

}  // namespace tilvane::filewatch
