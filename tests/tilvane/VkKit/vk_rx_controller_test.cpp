#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "AppManager/Logging/LogManager.h"
#include "VkKit/VkRxController.h"
#include "VkKit/VkRxViewController.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {
namespace {

// A controller cannot be built without its set-up hooks: only make() holds the key.
static_assert(!std::is_default_constructible_v<VkRxController::Passkey>);

class RecordingController : public VkRxController {
 public:
  RecordingController(Passkey key, std::vector<std::string>& calls, rx::PublishSubject<int>& source)
      : VkRxController(key), calls_(calls), source_(source), title_("built") {}

  int received = 0;

 protected:
  void setupUI() override { calls_.push_back("setupUI:" + title_); }
  void setupViewModel() override {
    calls_.push_back("setupViewModel:" + title_);
    source_.subscribe([this](int) { ++received; }).disposed(disposeBag());
  }

 private:
  std::vector<std::string>& calls_;
  rx::PublishSubject<int>& source_;
  std::string title_;  // set by the constructor, so the hooks see it only if they run after it
};

// A subclass of a subclass: the hooks run once, the most derived override each time.
class DerivedController : public RecordingController {
 public:
  using RecordingController::RecordingController;

 protected:
  void setupUI() override {
    RecordingController::setupUI();
    ++uiRuns;
  }

 public:
  int uiRuns = 0;
};

TEST(VkRxController, HooksRunInOrderOnTheFullyBuiltObject) {
  std::vector<std::string> calls;
  rx::PublishSubject<int> source;
  auto controller = VkRxController::make<RecordingController>(calls, source);
  EXPECT_EQ(calls, (std::vector<std::string>{"setupUI:built", "setupViewModel:built"}));

  auto derived = VkRxController::make<DerivedController>(calls, source);
  EXPECT_EQ(derived->uiRuns, 1);
  EXPECT_EQ(calls.size(), 4u);
}

TEST(VkRxController, SubscriptionsInTheBagEndWithTheController) {
  std::vector<std::string> calls;
  rx::PublishSubject<int> source;
  auto controller = VkRxController::make<RecordingController>(calls, source);
  source.onNext(1);
  EXPECT_EQ(controller->received, 1);
  EXPECT_EQ(source.observerCount(), 1u);

  controller.reset();
  EXPECT_EQ(source.observerCount(), 0u);
  source.onNext(2);  // would touch a destroyed controller if the subscription had survived
}

// Records each hook with the number of lines logged before it ran, so hooks and log lines are ordered together.
class RecordingViewController : public VkRxViewController {
 public:
  explicit RecordingViewController(const LogManager::Capture& log) : log_(log) {}
  std::vector<std::string> calls;

 protected:
  void loadView() override { record("loadView"); }
  void setupUI() override { record("setupUI"); }
  void setupLayout() override { record("setupLayout"); }
  void setupViewModel() override { record("setupViewModel"); }

 private:
  void record(const std::string& hook) { calls.push_back(hook + "@" + std::to_string(log_.lines().size())); }
  const LogManager::Capture& log_;
};

TEST(VkRxViewController, HooksWaitForTheViewAndRunOnceInOrderAroundTheThreeLogLines) {
  LogManager::Capture log;
  RecordingViewController controller(log);
  controller.updateViewConstraints();  // no view yet: nothing to lay out
  EXPECT_TRUE(controller.calls.empty());
  EXPECT_TRUE(log.lines().empty());

  controller.loadViewIfNeeded();
  controller.loadViewIfNeeded();
  controller.updateViewConstraints();
  controller.updateViewConstraints();
  EXPECT_EQ(controller.calls,
            (std::vector<std::string>{"loadView@0", "setupUI@2", "setupViewModel@3", "setupLayout@3"}));
  EXPECT_TRUE(controller.layoutInited());

  // The base class's own file, whichever subclass logs.
  const std::string path = "/src/tilvane/VkKit/VkRxViewController.cpp";
  const std::vector<std::string> lines = log.lines();
  ASSERT_EQ(lines.size(), 3u);
  const char* const endings[] = {" controller setup", " UI setup", " viewmodel setup"};
  for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(lines[i].ends_with(path + endings[i])) << lines[i];
}

}  // namespace
}  // namespace tilvane
