#include "RestoreWorld.h"

#include "AppManager/Screens/ScreenManager.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "UI/HUD/VkHUD.h"

namespace tilvane::test {
namespace {

// Records each text the message window is given.
class RecordingView final : public VkHUDView {
 public:
  RecordingView(std::vector<ShownMessage>& messages, dispatch::VirtualMainLoop& loop)
      : messages_(messages), loop_(loop) {}
  void setText(const std::string& text) override { messages_.push_back({text, loop_.elapsed()}); }
  void setFontSize(double) override {}
  void setTextColor(const HUDColor&) override {}
  void setBackgroundColor(const HUDColor&) override {}
  void setBorderWidth(double) override {}
  void setBorderColor(const HUDColor&) override {}
  CGSize sizeToFit() override { return {300, 72}; }
  void setFrame(const CGRect&) override {}
  void orderFront() override {}
  void orderOut() override {}
  void setAlpha(double) override {}

 private:
  std::vector<ShownMessage>& messages_;
  dispatch::VirtualMainLoop& loop_;
};

}  // namespace

RestoreWorld::RestoreWorld(int spaces) : WindowWorld(spaces) {
  VkHUD::shared().setView(std::make_unique<RecordingView>(messages, loop()));
  startManagers();
  drain();
}

void RestoreWorld::scriptApp(const std::string& bundle, const std::string& key) {
  launcher().script(key.empty() ? bundle : key, {.application = {.bundleIdentifier = bundle},
                                                 .window = {.title = bundle, .frame = CGRectMake(50, 60, 400, 300)},
                                                 .startDelay = 0.2,
                                                 .windowDelay = 0.5});
}

std::vector<int> RestoreWorld::desktopKeys() const {
  std::vector<int> keys;
  for (const sim::PostedEvent& posted : const_cast<RestoreWorld*>(this)->sim().postedEvents())
    if (posted.event.type == CGEventType::keyDown && posted.event.flags == kCGEventFlagMaskControl)
      keys.push_back(posted.event.keyCode);
  return keys;
}

WorkspaceLayoutGroupModelPtr RestoreWorld::workspace(const std::vector<WorkspaceLayoutItemModelPtr>& items) {
  auto group = std::make_shared<WorkspaceLayoutGroupModel>();
  group->setItems(items);
  return group;
}

std::vector<AXUIElement> RestoreWorld::windowsOfBundle(const std::string& bundle) {
  for (const NSRunningApplication& app : apps().runningApplications())
    if (app.bundleIdentifier == bundle) return apps().windowsOf(app.processIdentifier);
  return {};
}

}  // namespace tilvane::test
