#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "BuildInLayoutAction/ChooserKeys.h"
#include "BuildInLayoutAction/LayoutChooserLook.h"
#include "BuildInLayoutAction/LayoutChooserView.h"
#include "BuildInLayoutAction/LayoutNode.h"
#include "platform/desktop/CGWindowLevel.h"
#include "platform/desktop/Geometry.h"
#include "platform/desktop/SIWindow.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {

class BuildInLayoutActionController;

/// The keyboard-driven layout chooser: the layout hot key opens it over the focused window; arrows, Return
/// and Tab apply built-in layout actions while walking the controller's node graph, Option turns the arrows
/// into nudges, Shift into zooms (Up, Down) and moves to the desktop on the left or right, and the digit keys
/// send the window to a numbered desktop. It follows the window after every action and closes 1.5 s after the
/// last one, or at once on Escape, giving the focus back to the window. With nothing to act on it flashes the
/// unavailable signal (a greyed logo over the main screen, 0.8 s) instead.
///
/// This class is the chooser's behaviour, on the main loop's clock; its window is a LayoutChooserView installed
/// by the composition root (LayoutAlertWindow in the program). Without a view the behaviour runs all the same.
/// Main thread only.
class LayoutChooser {
 public:
  /// A hidden chooser applying its actions through `actions`, which must outlive it.
  explicit LayoutChooser(BuildInLayoutActionController& actions);
  ~LayoutChooser();
  LayoutChooser(const LayoutChooser&) = delete;
  LayoutChooser& operator=(const LayoutChooser&) = delete;

  /// Replaces the chooser's window (null: none) and routes its key-down events to handleKeyDown().
  void setView(std::unique_ptr<LayoutChooserView> view);

  /// The layout hot key's action, also run after every applied action. Without a focused window: the
  /// unavailable signal, and the timer is left as it is. While the chooser is open it stays over its window
  /// and only the 1.5 s timer restarts; otherwise it opens over the focused window and the timer starts.
  void startChooser();
  /// Shows the chooser over focusedWindow(): logo "LayoutCenter", the border, the window's frame; activates
  /// the program and keeps the chooser floating. Nothing without a focused window.
  void showChooser();
  /// Moves the chooser over focusedWindow()'s frame again. Nothing without a focused window.
  void updateBorder();
  /// Closes the chooser: stops the timer, hides the window, gives the focus back to focusedWindow(), and
  /// forgets it and the current node.
  void hideChooser();
  /// Flashes the unavailable signal over the main screen (nothing without one) and closes the chooser 0.8 s
  /// later; the chooser's window, when open, keeps being the one it acts on until then.
  void showUnavailable();
  /// One key-down of the chooser's window (ignored while the chooser has no window to act on).
  void handleKeyDown(const ChooserKeyEvent& event);

  /// Whether `window` nearly fills its display: wider and taller than 0.9 of its screen's visible frame (a
  /// window without a screen compares with 0).
  static bool isWindowFillingScreen(const SIWindow& window);

  // --- state ---

  /// Whether the chooser's window is on screen (the chooser or the unavailable signal).
  bool isVisible() const { return visible_; }
  /// The chooser window's frame, in the display space (bottom-left origin of the primary display, y up).
  const CGRect& frame() const { return frame_; }
  ChooserLogo logo() const { return logo_; }
  double borderWidth() const { return borderWidth_; }
  /// The level the window was last given (normal until first shown).
  CGWindowLevel level() const { return level_; }
  /// The window the chooser acts on; absent while it is closed.
  const std::optional<SIWindow>& focusedWindow() const { return focusedWindow_; }
  /// The node reached last; null while closed and until the first navigation key.
  const LayoutNode* currentLayoutNode() const { return currentLayoutNode_; }
  /// Whether the 1.5 s timer runs (the chooser is open).
  bool isTimerRunning() const { return timer_.isPending(); }

 private:
  void onTimeup();
  /// Makes `node` current, applies it to `window` and keeps the chooser open over it.
  void applyNode(const LayoutNode& node, const SIWindow& window);
  /// Carries `window` to the next display; the current node stays.
  void switchDisplay(const SIWindow& window);
  /// Closes the chooser and moves `window` one desktop to the left (-1) or right (+1); reopens 0.5 s later, or
  /// shows the unavailable signal when there is no desktop on that side.
  void moveToAdjacentDesktop(const SIWindow& window, int step);
  /// Opens the chooser again after a desktop move.
  void reopen(const SIWindow& window);
  /// Return's node: centre for a window that nearly fills its display, full screen otherwise.
  const LayoutNode& centreOrFullscreen(const SIWindow& window) const;
  void handlePlainKey(CGKeyCode key, const SIWindow& window);
  void handleOptionKey(CGKeyCode key, const SIWindow& window);
  void handleShiftKey(CGKeyCode key, const SIWindow& window);

  /// Shows the window in front at the floating level and activates the program.
  void bringToFront();
  void setWindowFrame(const CGRect& frame);
  void setVisible(bool visible);
  void setLogo(ChooserLogo logo);
  void setBorderWidth(double width);
  /// Runs `step` on the main queue `seconds` from now, unless the chooser is gone by then.
  void after(double seconds, std::function<void(LayoutChooser&)> step);

  BuildInLayoutActionController& actions_;
  std::unique_ptr<LayoutChooserView> view_;
  dispatch::ScopedTimer timer_;
  std::optional<SIWindow> focusedWindow_;
  const LayoutNode* currentLayoutNode_ = nullptr;
  bool visible_ = false;
  CGRect frame_;
  ChooserLogo logo_ = ChooserLogo::layoutCenter;
  double borderWidth_ = 0;
  CGWindowLevel level_ = CGWindowLevelForKey(CGWindowLevelKey::kCGNormalWindowLevelKey);
  /// Number of times the chooser was shown over a window; an unavailable signal's delayed close is void once
  /// the chooser has been shown again.
  std::uint64_t shown_ = 0;
  /// Held weakly by the delayed steps.
  std::shared_ptr<LayoutChooser*> self_;
};

}  // namespace tilvane
