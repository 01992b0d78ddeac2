#pragma once

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "AppManager/Screens/ScreenInfo.h"
#include "platform/desktop/NSScreen.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

class SIWindow;

/// The live model of the displays and of the desktops on each. Displays are known by their index in screens()
/// (kept in the screen order of sortScreens), desktops by their number: 0-based in the window server's order,
/// one numbering shared by every display when desktops are shared, running on across displays (in the window
/// server's display order) when each display has its own. Stored records keep both, so this order and this
/// numbering are part of the stored data's meaning.
///
/// screens() is a snapshot of the last reloadScreens(); the display UUID of an NSScreen is asked afresh at
/// every lookup. Lookups that miss answer their fallback (index 0, desktop 0, the first display); with no
/// display at all, frames are the zero rectangle and screens are absent. Main thread only.
class ScreenManager {
 public:
  /// The one instance, made on first use.
  static ScreenManager& shared();

  /// A manager with no displays, no visited desktops and no identifier; use shared() in the program.
  ScreenManager() = default;
  ScreenManager(const ScreenManager&) = delete;
  ScreenManager& operator=(const ScreenManager&) = delete;

  // --- the model ---

  /// The displays at the last rebuild, in screen order; empty before the first.
  const std::vector<ScreenInfo>& screens() const { return screens_; }
  /// Desktop numbers that have been current on some display since the display set last changed.
  const std::set<int>& activedSpaces() const { return activedSpaces_; }
  /// Forgets the visited desktops (the display set changed).
  void clearActivedSpaces() { activedSpaces_.clear(); }
  /// The identifier of the display set last seen; empty until stored.
  const std::string& displayIdentifier() const { return displayIdentifier_; }
  /// Stores the identifier of the display set now seen.
  void setDisplayIdentifier(std::string identifier) { displayIdentifier_ = std::move(identifier); }
  /// True while a display change settles (window moves are then not recorded).
  bool isScreenChanging() const { return isScreenChanging_; }
  /// Marks a display change as settling (true) or settled (false).
  void setScreenChanging(bool changing) { isScreenChanging_ = changing; }
  /// The manager's subscriptions.
  rx::DisposeBag& disposeBag() { return disposeBag_; }

  // --- displays ---

  /// Rebuilds screens(): every display with its UUID and frame, sorted into screen order, then its desktops
  /// numbered from the window server's listing; then the current desktops are marked visited. When the
  /// listing is missing or unusable the displays keep no desktops and nothing is marked.
  void reloadScreens();

  /// Index in screens() of the entry for the screen's display; 0 when no screen is given, it has no display
  /// UUID or nothing matches.
  int screenIndex(const std::optional<NSScreen>& screen) const;
  /// The same, for the display UUID screenDisplayUuid() gave (one asking of the window server for both).
  int screenIndexOfDisplay(const std::optional<std::string>& displayUuid) const;

  /// The visible frame of the display of screens()[index]; the stored frame of the first entry when the index
  /// is out of range or no display matches; the zero rectangle without displays.
  CGRect screenFrameAtIndex(int index) const;

  /// The visible frame of the display with this UUID; the stored frame of the first entry when none has it;
  /// the zero rectangle without displays.
  CGRect visibleFrame(const std::string& displayUuid) const;

  /// The visible frame of the display that holds desktop `space`; the frame of the first display when no
  /// entry holds it; the zero rectangle without displays.
  CGRect screenFrameForSpace(int space) const;

  /// The display that holds desktop `space`; the first display when no entry holds it or no display matches;
  /// absent without displays.
  std::optional<NSScreen> screenForSpace(int space) const;

  /// Whether the screen's display holds desktop `space`; false when no screen is given.
  bool screenHasSpace(int space, const std::optional<NSScreen>& screen) const;

  /// The display after `screen` in the system's order (the last wraps to the first; one not listed gives the
  /// first); the main screen when none is given; absent without displays.
  std::optional<NSScreen> nextScreen(const std::optional<NSScreen>& screen) const;

  // --- desktops ---

  /// Number of the desktop the screen's display shows, read from the window server now; 0 when it cannot be
  /// found. With shared desktops the screen is not used.
  int currentSpaceIndex(const std::optional<NSScreen>& screen) const;
  /// The same, for the display UUID screenDisplayUuid() gave.
  int currentSpaceIndexOfDisplay(const std::optional<std::string>& displayUuid) const;
  /// Number of the desktop a window is on: its own where the desktop says (a window on a desktop not shown), else
  /// the current desktop of `screen` (the window's) as currentSpaceIndex gives it.
  int spaceIndexOfWindow(const SIWindow& window, const std::optional<NSScreen>& screen) const;
  /// The same, for the display UUID screenDisplayUuid() gave of the window's screen.
  int spaceIndexOfWindowOnDisplay(const SIWindow& window, const std::optional<std::string>& displayUuid) const;

  /// Adds the current desktop of every display to activedSpaces().
  void markCurrentSpacesVisited();

  /// The desktops currently shown, one per display.
  std::set<int> currentSpaces() const;

  /// Number of desktops: with shared desktops those of the first entry (1 without displays); with separate
  /// desktops the sum over all entries, at least 1.
  int spaceCount() const;

  /// The desktop numbers of every entry, entry after entry (each number once per entry holding it).
  std::vector<int> allSpaceNumbers() const;

  /// Every desktop number not in activedSpaces(), each once, ascending.
  std::vector<int> spacesToVisit() const;

  /// The desktop numbers of the screen's display, ascending; empty when no screen is given or nothing matches.
  std::vector<int> spaceNumbers(const std::optional<NSScreen>& screen) const;

  // --- changes (defined in AppManager/ScreenChanges, library tilvane_screenchanges) ---

  /// Subscribes, once, to the desktop's desktop-change, display-change and wake notifications.
  void observe();
  /// The user moved to another desktop: logs "space changed", marks the current desktops visited, logs
  /// "rx space changed" and loads the windows now on screen on a later turn of the main loop.
  void activeSpaceDidChange();
  /// The display set changed: isScreenChanging() is true until 1.0 s after the last such change; the displays
  /// are reloaded, and when the display identifier changed it is stored, the visited desktops are forgotten
  /// ("rx screen changed", "screen params changed") and resetAfterDisplayChange runs on a later turn.
  void screenParametersDidChange();
  /// Wake notifications change nothing.
  void screenDidWake();
  void didWake();
  /// The identifier of the current display set: for each entry of screens() sorted by id, "<id>_<desktop
  /// count>", the first as "[...]", each further one as "-[...]"; empty without displays. Not stored.
  std::string makeDisplayIdentifier() const;
  /// Drops every layout item, starts a new window-index registry, removes every managed window and loads the
  /// windows on screen afresh.
  void resetAfterDisplayChange();

 private:
  /// The first entry whose id is `uuid`; null for an absent UUID.
  const ScreenInfo* findScreenInfo(const std::optional<std::string>& uuid) const;

  rx::DisposeBag disposeBag_;
  std::vector<ScreenInfo> screens_;
  std::set<int> activedSpaces_;
  std::string displayIdentifier_;
  bool isScreenChanging_ = false;
  bool isObserving_ = false;
  // Clears isScreenChanging_; each display change pushes it back to 1.0 s after that change.
  dispatch::ScopedTimer screenChangingReset_;
};

}  // namespace tilvane
