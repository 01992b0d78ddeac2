#pragma once

#include <cstdint>
#include <unordered_map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// For each application (by bundle identifier), the window indexes its managed windows hold. A window index
/// tells the windows of one application apart and is part of the id of their remembered placements, so the
/// second window of an application finds a different record from the first. Kept in memory only.
///
/// One registry is in use at a time (current()); replaceCurrent() starts a new, empty one when the display set
/// changes. A claim remembers the registry it was made in, so giving an index back never touches a registry
/// that replaced it. Main thread only.
class WindowIndexRegistry {
 public:
  /// What one window holds: the index, the application it was claimed for and the registry it lives in.
  struct Claim {
    std::weak_ptr<WindowIndexRegistry> registry;
    std::string bundleIdentifier;
    std::int64_t index = 0;
  };

  /// The lowest index that no managed window of the application holds; 0 for an application without entry.
  std::int64_t lowestFreeIndex(const std::string& bundleIdentifier) const;
  /// The lowest index from `from` on that no managed window of the application holds.
  std::int64_t nextFreeIndex(const std::string& bundleIdentifier, std::int64_t from) const;
  /// Whether a managed window of the application holds `index`.
  bool isHeld(const std::string& bundleIdentifier, std::int64_t index) const;
  /// Records `index` as held (a second claim of a held index changes nothing).
  void claim(const std::string& bundleIdentifier, std::int64_t index);
  /// Gives one hold of `index` back; an index not held changes nothing. The application's entry stays.
  void release(const std::string& bundleIdentifier, std::int64_t index);
  /// The indexes held by the application's windows, ascending; absent when it has no entry.
  std::optional<std::vector<std::int64_t>> indexes(const std::string& bundleIdentifier) const;

  /// The registry in use, made empty on first use.
  static std::shared_ptr<WindowIndexRegistry> current();
  /// Puts a new, empty registry in use; the old one lives on only for those that still hold it.
  static void replaceCurrent();

  // The three registry operations on a window, whose application is found afresh (window, process, running
  // application, bundle identifier); a window without bundle identifier gets 0 and claims nothing.

  /// The lowest free index of the window's application in the current registry.
  static std::int64_t registeredWindowIndexes(const SIWindow& window);
  /// Claims `index` for the window's application in the current registry; absent when it has no bundle
  /// identifier.
  static std::optional<Claim> claimWindowIndex(const SIWindow& window, std::int64_t index);
  /// The same for an application already known by its bundle identifier.
  static Claim claimWindowIndex(const std::string& bundleIdentifier, std::int64_t index);
  /// Gives a claim back to the registry it was made in, if that still exists.
  static void releaseWindowIndex(const Claim& claim);

 private:
  std::unordered_map<std::string, std::vector<std::int64_t>> lists_;  // asked at every admission
};

}  // namespace tilvane
