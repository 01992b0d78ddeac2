#pragma once

#include "platform/desktop/DisplayServer.h"
#include "platform/desktop/x11/Ewmh.h"
#include "platform/desktop/x11/PropertyCache.h"
#include "platform/desktop/x11/ScreenLayout.h"
#include "platform/desktop/x11/ScreenLayoutCache.h"

namespace tilvane::x11 {

/// The displays and desktops of an X screen with an EWMH window manager. The displays are read once and again
/// after any event that may change them, the desktops whenever the root says they changed:
/// - displays are the RandR monitors (the whole screen without RandR), the primary first; frames are in the
///   display space with the primary display's height as the pivot; visible frames leave out every panel
///   (ScreenLayout::query);
/// - desktops are the EWMH desktops, one numbering shared by every display, with UUIDs made from their numbers;
/// - a display's UUID is made from its EDID or its output's name (see Monitor::identityKey), so it is the same
///   in every run and after the monitor is unplugged and plugged in again.
/// Main thread only.
class X11DisplayServer final : public DisplayServer {
 public:
  /// `properties` keeps the root's properties (the desktops).
  X11DisplayServer(const XConnection& x, PropertyCache& properties)
      : x_(x), properties_(properties), layouts_([&x] { return ScreenLayout::query(x); }) {}

  std::vector<NSScreen> screens() const override;
  void visitScreens(const std::function<void(const NSScreen&)>& visit) const override;
  std::size_t screenCount() const override;
  std::optional<NSScreen> primaryScreen() const override;
  /// The display of the active window, else the one under the pointer, else the primary.
  std::optional<NSScreen> mainScreen() const override;
  bool screensHaveSeparateSpaces() const override { return false; }
  /// Every display with the shared desktops and the current one; absent when the window manager publishes
  /// no desktops.
  std::optional<ManagedDisplaySpaces> copyManagedDisplaySpaces() const override;
  std::optional<std::string> bestManagedDisplayForRect(const CGRect& rect) const override;
  std::optional<std::string> currentSpaceOfDisplay(
      const std::optional<std::string>& displayIdentifier) const override;

  /// The displays as the server has them (kept until an event says they changed, see ScreenLayoutCache).
  const ScreenLayout& layout() const { return layouts_.get(); }
  /// Forgets the displays read in this turn: an event says they may have changed.
  void displaysMayHaveChanged() { layouts_.invalidate(); }
  DesktopState desktops() const;

 private:
  const XConnection& x_;
  PropertyCache& properties_;
  mutable ScreenLayoutCache layouts_;
};

}  // namespace tilvane::x11
