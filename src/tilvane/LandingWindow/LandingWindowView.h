#pragma once

#include <functional>
#include <string>

namespace tilvane {

/// The landing window's window: a fixed 600 × 350 window centred on the main screen, a background strip with
/// one window-wide panel per page, a next button at the bottom right and a previous button at the bottom left
/// (each 120 × 30, 10 from the edges). LandingWindowController drives it; the program's one is
/// QtLandingWindow, tests use their own. Main thread only.
class LandingWindowView {
 public:
  virtual ~LandingWindowView() = default;

  /// What the window reports: a press of the next button, and the window closing (by its close box or by
  /// close()), before it goes.
  struct Handlers {
    std::function<void()> nextTapped;
    std::function<void()> willClose;
  };
  virtual void setHandlers(Handlers handlers) = 0;

  /// Titles the window and shows it in front, with the keyboard focus.
  virtual void showWindow(const std::string& title) = 0;
  /// The window's width, which is one page of the strip.
  virtual double windowWidth() const = 0;

  virtual void setNextTitle(const std::string& title) = 0;
  virtual void setNextHidden(bool hidden) = 0;
  virtual void setPrevTitle(const std::string& title) = 0;
  virtual void setPrevHidden(bool hidden) = 0;

  /// Moves the strip's left edge to `x` over 1.0 s, easing in and out, then calls `done`.
  virtual void slideStripTo(double x, std::function<void()> done) = 0;
  /// A note under the page's text, such as what this desktop lacks; empty hides it.
  virtual void setNote(const std::string& text) = 0;
  /// A window-modal alert with one button, which only dismisses it.
  virtual void showAlert(const std::string& message, const std::string& informative, const std::string& button) = 0;

  /// Closes the window; it reports willClose first.
  virtual void close() = 0;
  /// Brings the open window to the front with the keyboard focus.
  virtual void raise() = 0;
  virtual bool isOpen() const = 0;
};

}  // namespace tilvane
