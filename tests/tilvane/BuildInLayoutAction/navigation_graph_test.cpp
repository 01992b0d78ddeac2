#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "platform/desktop/KeyCodes.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

using Node = const LayoutNode& (BuildInLayoutActionController::*)() const;
using C = BuildInLayoutActionController;

struct Row {
  const char* name;
  Node from;
  LayoutNode::Type type;
  Node up, down, left, right, enter;
};

// Every node with its action and the five nodes its keys lead to.
const Row kGraph[] = {
    {"fullscreen", &C::layoutFullscreen, LayoutNode::Type::fullscreen, &C::layoutHalfTop, &C::layoutHalfBottom,
     &C::layoutHalfLeft, &C::layoutHalfRight, &C::layoutCenter},
    {"center", &C::layoutCenter, LayoutNode::Type::center, &C::layoutHalfTop, &C::layoutHalfBottom,
     &C::layoutHalfLeft, &C::layoutHalfRight, &C::layoutFullscreen},
    {"halfTop", &C::layoutHalfTop, LayoutNode::Type::halfTop, &C::layoutHalfTop, &C::layoutHalfBottom,
     &C::layoutTopLeft, &C::layoutTopRight, &C::layoutFullscreen},
    {"halfBottom", &C::layoutHalfBottom, LayoutNode::Type::halfBottom, &C::layoutHalfTop, &C::layoutHalfBottom,
     &C::layoutBottomLeft, &C::layoutBottomRight, &C::layoutFullscreen},
    {"halfLeft", &C::layoutHalfLeft, LayoutNode::Type::halfLeft, &C::layoutTopLeft, &C::layoutBottomLeft,
     &C::layoutHalfLeft, &C::layoutHalfRight, &C::layoutFullscreen},
    {"halfRight", &C::layoutHalfRight, LayoutNode::Type::halfRight, &C::layoutTopRight, &C::layoutBottomRight,
     &C::layoutHalfLeft, &C::layoutHalfRight, &C::layoutFullscreen},
    {"topLeft", &C::layoutTopLeft, LayoutNode::Type::topLeft, &C::layoutHalfTop, &C::layoutBottomLeft,
     &C::layoutHalfLeft, &C::layoutTopRight, &C::layoutFullscreen},
    {"topRight", &C::layoutTopRight, LayoutNode::Type::topRight, &C::layoutHalfTop, &C::layoutBottomRight,
     &C::layoutTopLeft, &C::layoutHalfRight, &C::layoutFullscreen},
    {"bottomLeft", &C::layoutBottomLeft, LayoutNode::Type::bottomLeft, &C::layoutTopLeft, &C::layoutHalfBottom,
     &C::layoutHalfLeft, &C::layoutBottomRight, &C::layoutFullscreen},
    {"bottomRight", &C::layoutBottomRight, LayoutNode::Type::bottomRight, &C::layoutTopRight,
     &C::layoutHalfBottom, &C::layoutBottomLeft, &C::layoutHalfRight, &C::layoutFullscreen},
    {"moveLeft", &C::layoutMoveLeft, LayoutNode::Type::moveLeft, &C::layoutHalfTop, &C::layoutHalfBottom,
     &C::layoutHalfLeft, &C::layoutHalfRight, &C::layoutCenter},
    {"moveRight", &C::layoutMoveRight, LayoutNode::Type::moveRight, &C::layoutHalfTop, &C::layoutHalfBottom,
     &C::layoutHalfLeft, &C::layoutHalfRight, &C::layoutCenter},
    {"moveUp", &C::layoutMoveUp, LayoutNode::Type::moveUp, &C::layoutHalfTop, &C::layoutHalfBottom,
     &C::layoutHalfLeft, &C::layoutHalfRight, &C::layoutCenter},
    {"moveDown", &C::layoutMoveDown, LayoutNode::Type::moveDown, &C::layoutHalfTop, &C::layoutHalfBottom,
     &C::layoutHalfLeft, &C::layoutHalfRight, &C::layoutCenter},
    {"zoomOut", &C::layoutZoomOut, LayoutNode::Type::zoomOut, &C::layoutHalfTop, &C::layoutHalfBottom,
     &C::layoutHalfLeft, &C::layoutHalfRight, &C::layoutCenter},
    {"zoomIn", &C::layoutZoomIn, LayoutNode::Type::zoomIn, &C::layoutHalfTop, &C::layoutHalfBottom,
     &C::layoutHalfLeft, &C::layoutHalfRight, &C::layoutCenter},
};

std::string typeName(const LayoutNode* node) {
  if (node == nullptr) return "nothing";
  std::ostringstream s;
  s << node->type();
  return s.str();
}

class NavigationGraphTest : public test::WorldTest {
 protected:
  const C& controller() { return C::shared(); }
};

TEST_F(NavigationGraphTest, EveryNodeHasItsTypeAndExactlyTheFiveEdgesOfTheTable) {
  std::set<const LayoutNode*> nodes;
  for (const Row& row : kGraph) {
    SCOPED_TRACE(row.name);
    const LayoutNode& from = (controller().*row.from)();
    EXPECT_TRUE(nodes.insert(&from).second) << "two fields share a node";
    EXPECT_EQ(from.type(), row.type);
    EXPECT_EQ(from.nodes().size(), 5u);
    const std::pair<CGKeyCode, Node> edges[] = {{kVK_UpArrow, row.up},
                                                {kVK_DownArrow, row.down},
                                                {kVK_LeftArrow, row.left},
                                                {kVK_RightArrow, row.right},
                                                {kVK_Return, row.enter}};
    for (const auto& [key, to] : edges) {
      const LayoutNode* expected = &(controller().*to)();
      EXPECT_EQ(from.node(key), expected) << "key " << key << " leads to " << typeName(from.node(key))
                                          << " instead of " << typeName(expected);
    }
  }
}

TEST_F(NavigationGraphTest, OtherKeysLeadNowhere) {
  const CGKeyCode others[] = {kVK_Tab,   kVK_Escape, kVK_ANSI_1, kVK_ANSI_2, kVK_ANSI_3, kVK_ANSI_4, kVK_ANSI_5,
                              kVK_ANSI_6, kVK_ANSI_7, kVK_ANSI_8, kVK_ANSI_9, kVK_ANSI_0, 0,          127};
  for (const Row& row : kGraph) {
    for (CGKeyCode key : others) EXPECT_EQ((controller().*row.from)().node(key), nullptr) << row.name << ' ' << key;
  }
}

TEST(LayoutNodeTypeTest, MoveToDesktopCarriesItsNumber) {
  EXPECT_EQ(LayoutNode::Type::moveToDesktop(2), LayoutNode::Type::moveToDesktop(2));
  EXPECT_NE(LayoutNode::Type::moveToDesktop(2), LayoutNode::Type::moveToDesktop(3));
  EXPECT_EQ(LayoutNode::Type::moveToDesktop(2).desktop(), 2);
  EXPECT_EQ(LayoutNode::Type::moveToDesktop(0).kind(), LayoutNode::Type::Case::moveToDesktop);
  std::ostringstream s;
  s << LayoutNode::Type::moveToDesktop(2) << ' ' << LayoutNode::Type::halfRight;
  EXPECT_EQ(s.str(), "moveToDesktop(2) halfRight");
}

}  // namespace
}  // namespace tilvane
