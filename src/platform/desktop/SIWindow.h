#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop/AXUIElement.h"
#include "platform/desktop/Geometry.h"
#include "platform/desktop/NSScreen.h"
#include "platform/desktop/SIApplication.h"

namespace tilvane {

class ApplicationServer;

/// The Accessibility wrapper of one window: a value naming the window's element, the unit of every window
/// operation. Two wrappers are equal when they name the same element. Frames and positions are in the window
/// space (origin at the top-left corner of the primary display, y growing downwards, points).
///
/// Every call asks the installed desktop (Desktop::current()) afresh; a window that is gone reads as empty and
/// refuses every change. The setters never pass on a non-finite value or a size of 0 or less: they refuse it
/// (false) without asking the window. Main thread only.
class SIWindow {
 public:
  /// The window named by `element` (initWithAXElement:).
  explicit SIWindow(const AXUIElement& element) : element_(element) {}
  /// The window named by `element` when it is a window element, else absent.
  static std::optional<SIWindow> fromElement(const AXUIElement& element);
  /// The window that has the focus now, if any.
  static std::optional<SIWindow> focusedWindow();

  const AXUIElement& axElement() const { return element_; }
  /// The process that owns the window.
  pid_t processIdentifier() const { return element_.pid; }
  /// The window's number in the window server.
  CGWindowID windowID() const { return static_cast<CGWindowID>(element_.id); }

  /// The window's frame; the zero rectangle when it cannot be read.
  CGRect frame() const;
  /// The display that holds the largest part of the window; absent when the window lies on none.
  std::optional<NSScreen> screen() const;
  /// The display that holds the largest part of a window at `frame` (window space), for a caller that has read
  /// the frame already.
  static std::optional<NSScreen> screenHolding(const CGRect& frame);
  /// The window's title ("AXTitle"); absent when it has none.
  std::optional<std::string> title() const;
  /// The window's application (the process that owns it); absent for an element without a process.
  std::optional<SIApplication> app() const;
  /// Whether others may move (and resize) the window.
  bool isMovable() const;
  /// A text attribute of the window (for instance "AXSubrole"); absent when missing or not a text.
  std::optional<std::string> stringForKey(std::string_view key) const;

  /// Moves the window's top-left corner to frame's origin and sizes it, in one request where the backend can.
  /// False when refused.
  bool setFrame(const CGRect& frame);
  /// Moves the window's top-left corner. False when refused.
  bool setPosition(CGPoint position);
  /// Sizes the window (its application may keep a minimum size). False when refused.
  bool setSize(CGSize size);
  /// Raises the window and gives it the focus.
  bool focusWindow();
  /// Moves the window to the desktop at `position`, counted from 1 (desktop number + 1).
  bool moveToSpace(int position);
  /// The desktop number (from 0, as moveToSpace counts less one) the window is on; absent when it shows on every
  /// desktop or the desktop cannot tell.
  std::optional<int> space() const;

  /// Short text naming the window, for logs.
  std::string description() const;

  bool operator==(const SIWindow&) const = default;

  /// While one lives, window reads answer from what the backend knows already, without a round trip to the
  /// window server: for deciding a move whose request checks for itself that the window is still there.
  class KnownStateReads {
   public:
    KnownStateReads();
    ~KnownStateReads();
    KnownStateReads(const KnownStateReads&) = delete;
    KnownStateReads& operator=(const KnownStateReads&) = delete;

   private:
    ApplicationServer* server_;
  };

 private:
  AXUIElement element_;
};

}  // namespace tilvane
