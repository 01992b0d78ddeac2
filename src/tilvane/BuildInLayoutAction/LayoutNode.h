#pragma once

#include <map>
#include <ostream>

#include "platform/desktop/CGEvent.h"

namespace tilvane {

/// A built-in layout action (LayoutNode::Type): one of nineteen plain cases, or a move to a numbered desktop.
/// A small value, passed by copy.
class LayoutNodeType {
 public:
  /// The cases, in declaration order.
  enum class Case {
    moveToDesktop,
    fullscreen,
    center,
    halfLeft,
    halfRight,
    halfTop,
    halfBottom,
    topLeft,
    topRight,
    bottomLeft,
    bottomRight,
    switchScreen,
    moveLeft,
    moveRight,
    moveDown,
    moveUp,
    zoomOut,
    zoomIn,
    moveToLeftDesktop,
    moveToRightDesktop,
  };

  /// The move to desktop number `desktop` (0-based).
  static constexpr LayoutNodeType moveToDesktop(int desktop) { return LayoutNodeType(Case::moveToDesktop, desktop); }
  static const LayoutNodeType fullscreen;
  static const LayoutNodeType center;
  static const LayoutNodeType halfLeft;
  static const LayoutNodeType halfRight;
  static const LayoutNodeType halfTop;
  static const LayoutNodeType halfBottom;
  static const LayoutNodeType topLeft;
  static const LayoutNodeType topRight;
  static const LayoutNodeType bottomLeft;
  static const LayoutNodeType bottomRight;
  static const LayoutNodeType switchScreen;
  static const LayoutNodeType moveLeft;
  static const LayoutNodeType moveRight;
  static const LayoutNodeType moveDown;
  static const LayoutNodeType moveUp;
  static const LayoutNodeType zoomOut;
  static const LayoutNodeType zoomIn;
  static const LayoutNodeType moveToLeftDesktop;
  static const LayoutNodeType moveToRightDesktop;

  /// Which action.
  constexpr Case kind() const { return kind_; }
  /// The desktop number of moveToDesktop; 0 for every other case.
  constexpr int desktop() const { return desktop_; }

  constexpr bool operator==(const LayoutNodeType&) const = default;

 private:
  constexpr LayoutNodeType(Case kind, int desktop) : kind_(kind), desktop_(desktop) {}

  Case kind_;
  int desktop_;
};

inline constexpr LayoutNodeType LayoutNodeType::fullscreen{Case::fullscreen, 0};
inline constexpr LayoutNodeType LayoutNodeType::center{Case::center, 0};
inline constexpr LayoutNodeType LayoutNodeType::halfLeft{Case::halfLeft, 0};
inline constexpr LayoutNodeType LayoutNodeType::halfRight{Case::halfRight, 0};
inline constexpr LayoutNodeType LayoutNodeType::halfTop{Case::halfTop, 0};
inline constexpr LayoutNodeType LayoutNodeType::halfBottom{Case::halfBottom, 0};
inline constexpr LayoutNodeType LayoutNodeType::topLeft{Case::topLeft, 0};
inline constexpr LayoutNodeType LayoutNodeType::topRight{Case::topRight, 0};
inline constexpr LayoutNodeType LayoutNodeType::bottomLeft{Case::bottomLeft, 0};
inline constexpr LayoutNodeType LayoutNodeType::bottomRight{Case::bottomRight, 0};
inline constexpr LayoutNodeType LayoutNodeType::switchScreen{Case::switchScreen, 0};
inline constexpr LayoutNodeType LayoutNodeType::moveLeft{Case::moveLeft, 0};
inline constexpr LayoutNodeType LayoutNodeType::moveRight{Case::moveRight, 0};
inline constexpr LayoutNodeType LayoutNodeType::moveDown{Case::moveDown, 0};
inline constexpr LayoutNodeType LayoutNodeType::moveUp{Case::moveUp, 0};
inline constexpr LayoutNodeType LayoutNodeType::zoomOut{Case::zoomOut, 0};
inline constexpr LayoutNodeType LayoutNodeType::zoomIn{Case::zoomIn, 0};
inline constexpr LayoutNodeType LayoutNodeType::moveToLeftDesktop{Case::moveToLeftDesktop, 0};
inline constexpr LayoutNodeType LayoutNodeType::moveToRightDesktop{Case::moveToRightDesktop, 0};

/// One built-in layout action and the actions that the chooser's keys lead to from it. Nodes are owned by
/// BuildInLayoutActionController; an edge only points at its target, and the graph has cycles and self-loops.
class LayoutNode {
 public:
  /// The action type of a node.
  using Type = LayoutNodeType;

  /// A node for `type` with no edges.
  explicit LayoutNode(const Type& type);
  LayoutNode(const LayoutNode&) = delete;
  LayoutNode& operator=(const LayoutNode&) = delete;

  /// The action of this node.
  const Type& type() const { return type_; }
  /// Key code to the node that key leads to.
  const std::map<CGKeyCode, const LayoutNode*>& nodes() const { return nodes_; }
  /// The node `key` leads to; null when the node has no edge for it.
  const LayoutNode* node(CGKeyCode key) const;
  /// Makes `key` lead to `target`, replacing an earlier edge for that key.
  void setNode(CGKeyCode key, const LayoutNode& target) { nodes_[key] = &target; }

 private:
  Type type_;
  std::map<CGKeyCode, const LayoutNode*> nodes_;
};

/// The case's name ("halfRight", "moveToDesktop(2)"), for logs and test failures.
std::ostream& operator<<(std::ostream& out, const LayoutNodeType& type);

}  // namespace tilvane
