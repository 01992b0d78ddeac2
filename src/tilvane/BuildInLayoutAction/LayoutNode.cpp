#include "BuildInLayoutAction/LayoutNode.h"

namespace tilvane {

LayoutNode::LayoutNode(const Type& type) : type_(type) {}

const LayoutNode* LayoutNode::node(CGKeyCode key) const {
  auto found = nodes_.find(key);
  return found == nodes_.end() ? nullptr : found->second;
}

std::ostream& operator<<(std::ostream& out, const LayoutNodeType& type) {
  using Case = LayoutNodeType::Case;
  switch (type.kind()) {
    case Case::moveToDesktop: return out << "moveToDesktop(" << type.desktop() << ')';
    case Case::fullscreen: return out << "fullscreen";
    case Case::center: return out << "center";
    case Case::halfLeft: return out << "halfLeft";
    case Case::halfRight: return out << "halfRight";
    case Case::halfTop: return out << "halfTop";
    case Case::halfBottom: return out << "halfBottom";
    case Case::topLeft: return out << "topLeft";
    case Case::topRight: return out << "topRight";
    case Case::bottomLeft: return out << "bottomLeft";
    case Case::bottomRight: return out << "bottomRight";
    case Case::switchScreen: return out << "switchScreen";
    case Case::moveLeft: return out << "moveLeft";
    case Case::moveRight: return out << "moveRight";
    case Case::moveDown: return out << "moveDown";
    case Case::moveUp: return out << "moveUp";
    case Case::zoomOut: return out << "zoomOut";
    case Case::zoomIn: return out << "zoomIn";
    case Case::moveToLeftDesktop: return out << "moveToLeftDesktop";
    case Case::moveToRightDesktop: return out << "moveToRightDesktop";
  }
  return out << "unknown";
}

}  // namespace tilvane
