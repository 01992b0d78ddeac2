#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSScreen.h"
#include "platform/desktop/sim/SimApplications.h"
#include "platform/desktop/sim/SimDisplayConfig.h"
#include "platform/desktop/sim/SimLauncher.h"
#include "platform/desktop/sim/SimProgramServer.h"
#include "platform/rx/Disposable.h"

namespace tilvane::sim {

/// An event that was posted to the sim, in posting order.
struct PostedEvent {
  CGEventTapLocation tap = CGEventTapLocation::hid;
  CGEvent event;
  bool operator==(const PostedEvent&) const = default;
};

/// An in-memory desktop for tests and headless runs: displays with UUIDs, frames and visible frames; desktops
/// (with UUIDs) shared by all displays or per display; the current desktop of each display. It is
/// deterministic and scriptable:
/// - set-up calls (addDisplay, addSpace, ...) change the picture silently;
/// - user actions (switchToSpace, connectDisplay, disconnectDisplay, rearrangeDisplay, wake) change it and
///   raise the matching notification on the main loop, as the system does;
/// - posted events are recorded, and Control + digit key-downs switch desktops as the system's shortcuts do
///   (Control+1 is the first desktop of the listing, ... Control+0 the tenth).
/// Main thread only.
class SimDesktop final : public Desktop, private DisplayServer, private EventTap {
 public:
  explicit SimDesktop(SpacesMode mode = SpacesMode::shared, int sharedSpaceCount = 1);

  // Desktop
  DisplayServer& displayServer() override { return *this; }
  EventTap& eventTap() override { return *this; }
  DesktopNotificationCenter& notificationCenter() override { return center_; }
  ApplicationServer& applicationServer() override { return applications_; }
  Launcher& launcher() override { return launcher_; }
  ProgramServer& programServer() override { return program_; }
  bool canMoveWindows() override { return canMoveWindows_; }
  std::string trustProblem() override { return "Moving windows is switched off on the simulated desktop."; }
  /// Withholds (or gives back) the right to move windows; given at first.
  void setCanMoveWindows(bool can) { canMoveWindows_ = can; }

  /// The running applications and their windows.
  SimApplications& applications() { return applications_; }
  /// The launcher: every launch is recorded; scripted applications start on the main loop.
  SimLauncher& simLauncher() { return launcher_; }
  /// What the program asked for itself: activations and the levels of its own windows.
  SimProgramServer& program() { return program_; }

  // --- set-up, silent ---

  /// Adds a display after the others (system order and window-server order) and returns its UUID.
  std::string addDisplay(const SimDisplayConfig& config);
  /// Adds a desktop: to the shared set (`displayUuid` ignored) or to that display's set. Returns the new
  /// desktop's UUID, or empty when the display is unknown.
  std::string addSpace(const std::string& displayUuid = {});
  /// Orders the window server's listing: the given displays first, in this order, then the others as they were.
  void setManagedDisplayOrder(const std::vector<std::string>& displayUuids);
  /// Makes this display the main one (unknown UUID: back to the default, the first display).
  void setMainDisplay(const std::string& displayUuid);
  /// From now on the window server answers exactly `listing` (absent: it answers nothing), whatever the
  /// displays are; for malformed or missing data.
  void scriptManagedDisplaySpaces(std::optional<ManagedDisplaySpaces> listing);
  /// Back to listing the sim's own displays and desktops.
  void clearScriptedManagedDisplaySpaces();
  /// Events for which `refuse` answers true cannot be made (null: every event can be made).
  void refuseEventCreation(std::function<bool(const CGEvent&)> refuse);

  // --- user actions, each notified on the main loop ---

  /// Shows the desktop on its display (every display when shared). Raises activeSpaceDidChange when the
  /// current desktop changed. False when no desktop has that UUID.
  bool switchToSpace(const std::string& spaceUuid);
  /// Shows the desktop at `position` (1-based) of the listing's order, as the Control + digit shortcut does.
  /// False when there is no such desktop.
  bool switchToSpaceAtPosition(int position);
  /// Attaches a display (screenParametersDidChange) and returns its UUID.
  std::string connectDisplay(const SimDisplayConfig& config);
  /// Detaches a display with its own desktops (screenParametersDidChange). False when unknown.
  bool disconnectDisplay(const std::string& displayUuid);
  /// Moves or resizes a display (screenParametersDidChange). The visible frame is the frame when not given.
  bool rearrangeDisplay(const std::string& displayUuid, const CGRect& frame,
                        std::optional<CGRect> visibleFrame = std::nullopt);
  /// The machine and its displays wake (didWake, then screensDidWake).
  void wake();
  /// A compositing manager starts or stops (compositingDidChange when that changes anything); one runs at first.
  void setCompositing(bool compositing);

  // --- inspection ---

  SpacesMode mode() const { return mode_; }
  /// UUIDs of the displays, in system order.
  std::vector<std::string> displayUuids() const;
  /// The desktops of the display (the shared set when shared), in order; empty when unknown.
  std::vector<std::string> spaceUuids(const std::string& displayUuid = {}) const;
  /// The desktop the display shows; absent when unknown or without desktops.
  std::optional<std::string> currentSpaceUuid(const std::string& displayUuid = {}) const;
  /// Every event posted so far, in order.
  const std::vector<PostedEvent>& postedEvents() const { return posted_; }
  void clearPostedEvents() { posted_.clear(); }

 private:
  /// A rectangle's extent on each axis, whatever the signs of its size.
  struct Edges {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
  };
  struct Display {
    std::string uuid;
    bool named = true;
    /// Its frame and visible frame, as handed to visitors.
    NSScreen screen;
    /// The frame's, worked out when it is placed: every window met asks which display holds it.
    Edges edges;
    std::vector<std::string> spaces;
    std::size_t current = 0;

    void place(const CGRect& frame, const CGRect& visibleFrame);
  };

  // DisplayServer
  std::vector<NSScreen> screens() const override;
  std::optional<NSScreen> mainScreen() const override;
  bool screensHaveSeparateSpaces() const override { return mode_ == SpacesMode::separate; }
  void visitScreens(const std::function<void(const NSScreen&)>& visit) const override;
  std::size_t screenCount() const override { return displays_.size(); }
  std::optional<NSScreen> primaryScreen() const override;
  std::optional<ManagedDisplaySpaces> copyManagedDisplaySpaces() const override;
  std::optional<std::string> currentSpaceOfDisplay(
      const std::optional<std::string>& displayIdentifier) const override;
  std::optional<std::string> bestManagedDisplayForRect(const CGRect& rect) const override;

  // EventTap
  std::optional<CGEvent> createEvent(const CGEvent& proposed) override;
  void post(CGEventTapLocation tap, const CGEvent& event) override;

  Display* findDisplay(const std::string& uuid);
  const Display* findDisplay(const std::string& uuid) const;
  /// The displays in the window server's order.
  std::vector<const Display*> managedDisplays() const;
  void notifyScreenParameters();

  SpacesMode mode_;
  std::vector<Display> displays_;           // system order
  std::vector<std::string> managedOrder_;   // window-server order
  std::vector<std::string> sharedSpaces_;
  std::size_t sharedCurrent_ = 0;
  std::string mainDisplay_;
  bool listingScripted_ = false;
  bool canMoveWindows_ = true;
  std::optional<ManagedDisplaySpaces> scriptedListing_;
  std::function<bool(const CGEvent&)> refuse_;
  std::vector<PostedEvent> posted_;
  DesktopNotificationCenter center_;
  SimApplications applications_{*this};
  SimLauncher launcher_{applications_};
  SimProgramServer program_;
  /// Tells the launcher of each window that appears.
  rx::DisposeBag windowsAppearing_;
};

}  // namespace tilvane::sim
