#pragma once

#include <memory>
#include <string>

#include "platform/desktop/Desktop.h"
#include "platform/desktop/x11/X11Desktop.h"
#include "platform/hotkeys/x11/X11DesktopHotKeys.h"

namespace tilvane::bench {

/// Tilvane as the program runs it, on the main thread's installed main loop: the X11 backend with its hot keys,
/// the store and the managers started in the application's order, and the hot keys of two stored custom
/// layouts — Control+Option+1 for the left half of the display and Control+Option+2 for the right half.
class TilvaneInstance {
 public:
  /// Starts on `display`; null, with the reason in `error`, when it cannot.
  static std::unique_ptr<TilvaneInstance> start(const std::string& display, std::string* error);
  /// Writes what is pending and stops the managers.
  ~TilvaneInstance();
  TilvaneInstance(const TilvaneInstance&) = delete;
  TilvaneInstance& operator=(const TilvaneInstance&) = delete;

  /// Whether Tilvane manages the window and holds both hot keys (main thread).
  bool isReadyFor(std::uint32_t window) const;

 private:
  explicit TilvaneInstance(std::unique_ptr<x11::X11Desktop> desktop);
  std::unique_ptr<x11::X11Desktop> desktop_;
  Desktop::Scope desktopScope_;
  x11::X11DesktopHotKeys hotKeys_;
  HotKeyServer::Scope hotKeyScope_;
};

}  // namespace tilvane::bench
