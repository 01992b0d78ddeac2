#include "WorkspaceLayout/Restore/DesktopReturn.h"

#include "AppManager/Geometry/DesktopSwitch.h"
#include "AppManager/Screens/ScreenManager.h"
#include "WorkspaceLayout/Restore/AsyncBlockOperation.h"
#include "platform/desktop/NSScreen.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {

constexpr double kCheckInterval = 0.05;
constexpr int kMaxChecks = 40;  // 2 s

void waitForDesktop(int desktop, int checksLeft, std::function<void()> completion) {
  if (shownDesktop() == desktop || checksLeft <= 0) {
    completion();
    return;
  }
  dispatch::MainQueue::asyncAfter(kCheckInterval, [desktop, checksLeft, completion = std::move(completion)] {
    waitForDesktop(desktop, checksLeft - 1, completion);
  });
}

}  // namespace

int shownDesktop() { return ScreenManager::shared().currentSpaceIndex(NSScreen::mainScreen()); }

void returnToDesktop(int desktop, std::function<void()> completion) {
  if (shownDesktop() == desktop) {
    completion();
    return;
  }
  switchToDesktop(desktop + 1);
  waitForDesktop(desktop, kMaxChecks, std::move(completion));
}

std::shared_ptr<dispatch::Operation> makeReturnToDesktopOperation(int desktop) {
  return std::make_shared<AsyncBlockOperation>(
      [desktop](AsyncBlockOperation::Done done) { returnToDesktop(desktop, std::move(done)); });
}

}  // namespace tilvane
