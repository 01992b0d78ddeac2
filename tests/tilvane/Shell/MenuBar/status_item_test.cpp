// The status item shows its view only once the view has an image to show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Shell/MenuBar/StatusItem.h"

namespace tilvane::test {
namespace {

/// Records the view's calls in order.
struct CallLog final : StatusItemView {
  explicit CallLog(std::vector<std::string>& calls) : calls(calls) {}
  void setImage(const std::string& name, bool) override { calls.push_back("image " + name); }
  void setVisible(bool visible) override { calls.push_back(visible ? "show" : "hide"); }
  void setMenu(const Menu&) override {}
  bool isSystemTrayAvailable() const override { return true; }
  std::vector<std::string>& calls;
};

TEST(StatusItemTest, TheViewIsShownOnlyWithAnImage) {
  std::vector<std::string> calls;
  StatusItem item(StatusItem::kVariableLength, std::make_unique<CallLog>(calls));
  item.setLength(StatusItem::kVariableLength);
  item.setImage("StatusIcon");
  EXPECT_EQ(calls, (std::vector<std::string>{"hide", "hide", "image StatusIcon", "show"}));

  calls.clear();
  item.setLength(0);
  item.setLength(StatusItem::kVariableLength);
  EXPECT_EQ(calls, (std::vector<std::string>{"hide", "show"}));
}

}  // namespace
}  // namespace tilvane::test
