#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppManager/Logging/LogManager.h"
#include "VkKit/VkRxViewController.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {
namespace {

// Records each hook with the number of lines logged before it ran, so the order of hooks and lines is checked.
class RecordingViewController : public VkRxViewController {
 public:
  RecordingViewController(const LogManager::Capture& log, rx::PublishSubject<int>& source)
      : log_(log), source_(source) {}

  std::vector<std::string> calls;
  int received = 0;

 protected:
  void loadView() override { record("loadView"); }
  void setupUI() override { record("setupUI"); }
  void setupLayout() override { record("setupLayout"); }
  void setupViewModel() override {
    record("setupViewModel");
    source_.subscribe([this](int) { ++received; }).disposed(disposeBag());
  }

 private:
  void record(const std::string& hook) { calls.push_back(hook + "@" + std::to_string(log_.lines().size())); }

  const LogManager::Capture& log_;
  rx::PublishSubject<int>& source_;
};

TEST(VkRxViewController, HooksWaitForTheViewAndRunOnceInOrderAroundTheThreeLogLines) {
  LogManager::Capture log;
  rx::PublishSubject<int> source;
  auto controller = std::make_unique<RecordingViewController>(log, source);
  controller->updateViewConstraints();  // no view yet: nothing to lay out
  EXPECT_TRUE(controller->calls.empty());
  EXPECT_TRUE(log.lines().empty());
  EXPECT_FALSE(controller->layoutInited());

  controller->loadViewIfNeeded();
  controller->loadViewIfNeeded();
  controller->updateViewConstraints();
  controller->updateViewConstraints();
  EXPECT_EQ(controller->calls,
            (std::vector<std::string>{"loadView@0", "setupUI@2", "setupViewModel@3", "setupLayout@3"}));
  EXPECT_TRUE(controller->layoutInited());

  // The base class's own file, whichever subclass logs.
  const std::string path = "/src/tilvane/VkKit/VkRxViewController.cpp";
  const std::vector<std::string> lines = log.lines();
  ASSERT_EQ(lines.size(), 3u);
  const char* const endings[] = {" controller setup", " UI setup", " viewmodel setup"};
  for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(lines[i].ends_with(path + endings[i])) << lines[i];

  source.onNext(1);
  EXPECT_EQ(controller->received, 1);
  controller.reset();
  EXPECT_EQ(source.observerCount(), 0u);
}

}  // namespace
}  // namespace tilvane
