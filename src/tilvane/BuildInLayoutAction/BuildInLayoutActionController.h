#pragma once

#include "BuildInLayoutAction/ChooserKeys.h"
#include "BuildInLayoutAction/LayoutChooser.h"
#include "BuildInLayoutAction/LayoutNode.h"
#include "VkKit/VkRxController.h"
#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// Applies the built-in layout actions to a window: full screen, centre, the halves and quarters of its
/// display's visible frame, the same placement on the next display, nudges and zooms of 10 points, and moves to
/// a numbered desktop or to the desktop on the left or right. It owns the sixteen nodes of the chooser's
/// navigation graph. Reached from the status-bar menu (performLayout), the switch-display hot key and the
/// chooser (applyLayoutType). Main thread only.
class BuildInLayoutActionController : public VkRxController {
 public:
  /// The one controller, made on first use; making it builds the navigation graph once.
  static BuildInLayoutActionController& shared();

  /// A controller whose nodes have no edges yet; make it with VkRxController::make(), whose set-up fills them.
  explicit BuildInLayoutActionController(Passkey key);

  /// Applies `type` to the focused window; nothing when no window has the focus.
  void performLayout(const LayoutNode::Type& type);

  /// Applies `type` to `window`. Placing actions (full screen, centre, halves, quarters) put the window on
  /// that part of its display's visible frame, keep it on the display and remember the placement; switch
  /// display carries the remembered placement to the next display; nudges and zooms only change the frame;
  /// a numbered-desktop move happens 0.1 s later; a left or right desktop move with no desktop on that side
  /// shows the unavailable signal. Returns at once.
  void applyLayoutType(SIWindow window, const LayoutNode::Type& type);

  /// Tells the user that the asked action cannot be done (no desktop on that side): the chooser's unavailable
  /// signal.
  virtual void showUnavailable();

  /// The keyboard-driven chooser over the focused window; its window is installed with chooser().setView().
  LayoutChooser& chooser() { return chooser_; }
  /// The layout hot key's action: opens the chooser over the focused window, or restarts its timer.
  void startChooser() { chooser_.startChooser(); }
  /// One key-down of the chooser's window.
  void handleKeyDown(const ChooserKeyEvent& event) { chooser_.handleKeyDown(event); }

  // The nodes of the navigation graph, one per action the chooser reaches.
  const LayoutNode& layoutHalfTop() const { return layoutHalfTop_; }
  const LayoutNode& layoutHalfBottom() const { return layoutHalfBottom_; }
  const LayoutNode& layoutHalfLeft() const { return layoutHalfLeft_; }
  const LayoutNode& layoutHalfRight() const { return layoutHalfRight_; }
  const LayoutNode& layoutTopLeft() const { return layoutTopLeft_; }
  const LayoutNode& layoutTopRight() const { return layoutTopRight_; }
  const LayoutNode& layoutBottomLeft() const { return layoutBottomLeft_; }
  const LayoutNode& layoutBottomRight() const { return layoutBottomRight_; }
  const LayoutNode& layoutFullscreen() const { return layoutFullscreen_; }
  const LayoutNode& layoutCenter() const { return layoutCenter_; }
  const LayoutNode& layoutMoveLeft() const { return layoutMoveLeft_; }
  const LayoutNode& layoutMoveRight() const { return layoutMoveRight_; }
  const LayoutNode& layoutMoveUp() const { return layoutMoveUp_; }
  const LayoutNode& layoutMoveDown() const { return layoutMoveDown_; }
  const LayoutNode& layoutZoomOut() const { return layoutZoomOut_; }
  const LayoutNode& layoutZoomIn() const { return layoutZoomIn_; }

 protected:
  /// Builds the chooser window, then the navigation graph.
  void setupUI() override;
  /// The chooser's window is made by the composition root (chooser().setView()), so nothing is built here.
  virtual void setupChooserWindow();
  /// Fills the edges of the sixteen nodes: Up, Down, Left, Right and Return from each. Run once, by setupUI().
  virtual void buildNavigationGraph();

 private:
  void applyFractions(SIWindow& window, const LayoutNode::Type& type, const CGRect& fractions);
  void switchScreen(SIWindow& window);
  static void nudge(SIWindow& window, double dx, double dy);
  static void zoom(SIWindow& window, double inset);

  LayoutNode layoutHalfTop_{LayoutNode::Type::halfTop};
  LayoutNode layoutHalfBottom_{LayoutNode::Type::halfBottom};
  LayoutNode layoutHalfLeft_{LayoutNode::Type::halfLeft};
  LayoutNode layoutHalfRight_{LayoutNode::Type::halfRight};
  LayoutNode layoutTopLeft_{LayoutNode::Type::topLeft};
  LayoutNode layoutTopRight_{LayoutNode::Type::topRight};
  LayoutNode layoutBottomLeft_{LayoutNode::Type::bottomLeft};
  LayoutNode layoutBottomRight_{LayoutNode::Type::bottomRight};
  LayoutNode layoutFullscreen_{LayoutNode::Type::fullscreen};
  LayoutNode layoutCenter_{LayoutNode::Type::center};
  LayoutNode layoutMoveLeft_{LayoutNode::Type::moveLeft};
  LayoutNode layoutMoveRight_{LayoutNode::Type::moveRight};
  LayoutNode layoutMoveUp_{LayoutNode::Type::moveUp};
  LayoutNode layoutMoveDown_{LayoutNode::Type::moveDown};
  LayoutNode layoutZoomOut_{LayoutNode::Type::zoomOut};
  LayoutNode layoutZoomIn_{LayoutNode::Type::zoomIn};
  // After the nodes: it walks them.
  LayoutChooser chooser_{*this};
};

}  // namespace tilvane
