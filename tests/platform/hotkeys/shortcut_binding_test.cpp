// Hot keys as the user sees and keeps them: their names, their stored form, the binder that makes a stored one
// act, and the recorder that refuses a chord someone else has.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/hotkeys/KeyNames.h"
#include "platform/hotkeys/MASShortcutBinder.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/ShortcutDefaults.h"
#include "platform/hotkeys/ShortcutRecorder.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

constexpr CGEventFlags kCtrlAlt = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;
constexpr std::uint64_t kF5 = 0x60;
constexpr std::uint64_t kA = 0x00;
constexpr std::uint64_t kBackspace = 0x33;

TEST(KeyNamesTest, ChordsReadAsOnALinuxDesktopAndEveryNameLeadsBackToItsKey) {
  EXPECT_EQ(MASShortcut(kVK_ANSI_1, kCtrlAlt).readableString(), "Ctrl+Alt+1");
  EXPECT_EQ(MASShortcut(kF5, kCGEventFlagMaskShift | kCGEventFlagMaskCommand).readableString(), "Shift+Super+F5");
  EXPECT_EQ(MASShortcut(kA, kCGEventFlagMaskControl).keyCodeStringForKeyEquivalent(), "a");
  EXPECT_EQ(MASShortcut(kVK_LeftArrow, 0).keyCodeStringForKeyEquivalent(), "Left");
  // A code no key has gives no text rather than a wrong one.
  EXPECT_EQ(MASShortcut(200, kCtrlAlt).readableString(), "");
  EXPECT_EQ(MASShortcut(0x0A, kCtrlAlt).keyCodeStringForKeyEquivalent(), "");
  int named = 0;
  for (std::uint64_t code = 0; code < 0x80; ++code) {
    const std::string name = keyName(code);
    if (name.empty()) continue;
    ++named;
    EXPECT_EQ(virtualKeyForName(name), code) << name;
  }
  EXPECT_EQ(named, 95);
}

class ShortcutBindingTest : public test::WorldTest {
 protected:
  ShortcutDefaults& stored() { return ShortcutDefaults::shared(); }
  MASShortcutBinder& binder() { return MASShortcutBinder::sharedBinder(); }
  bool press(const MASShortcut& chord) {
    const bool taken = server_.press(chord.keyCode(), chord.modifierFlags());
    drain();
    return taken;
  }

  sim::SimHotKeys server_;
  HotKeyServer::Scope scope_{server_};
  const MASShortcut first_{kVK_ANSI_1, kCtrlAlt};
  const MASShortcut second_{kVK_ANSI_2, kCtrlAlt};
};

TEST_F(ShortcutBindingTest, TheStoredFormKeepsKeyAndModifiersAndIgnoresWhatIsNotOne) {
  stored().setShortcut("layoutShortcut", first_);
  EXPECT_EQ(stored().shortcutForKey("layoutShortcut"), first_);
  // The next process reads the same file.
  EXPECT_EQ(defaults::UserDefaults(defaults::UserDefaults::defaultFilePath()).dictionaryForKey("layoutShortcut")->size(),
            2u);
  stored().setShortcut("layoutShortcut", std::nullopt);
  EXPECT_FALSE(defaults::UserDefaults::standard().objectForKey("layoutShortcut"));
  defaults::UserDefaults::standard().setString("restoreShortcut", "Ctrl+1");
  EXPECT_EQ(stored().shortcutForKey("restoreShortcut"), std::nullopt);
  defaults::UserDefaults::standard().setObject(
      "restoreShortcut", defaults::Dictionary{{"keyCode", std::int64_t{-5}}, {"modifierFlags", std::int64_t{0}}});
  EXPECT_EQ(stored().shortcutForKey("restoreShortcut"), std::nullopt);
}

TEST_F(ShortcutBindingTest, ABindingFollowsItsKeyAndTakesUpAKeyAnotherProgramHeldAtTheNextChange) {
  int runs = 0;
  stored().setShortcut("layoutShortcut", first_);
  binder().bindShortcutWithDefaultsKey("layoutShortcut", [&] { ++runs; });
  EXPECT_TRUE(press(first_));
  EXPECT_EQ(runs, 1);

  stored().setShortcut("layoutShortcut", second_);
  EXPECT_FALSE(press(first_));
  EXPECT_TRUE(press(second_));
  EXPECT_EQ(runs, 2);

  stored().setShortcut("layoutShortcut", std::nullopt);
  EXPECT_FALSE(press(second_));
  EXPECT_EQ(binder().activeShortcut("layoutShortcut"), std::nullopt);

  server_.setHeldByOtherProgram(first_, true);
  stored().setShortcut("layoutShortcut", first_);
  EXPECT_EQ(binder().activeShortcut("layoutShortcut"), std::nullopt);
  server_.setHeldByOtherProgram(first_, false);
  stored().setShortcut("layoutShortcut", first_);
  EXPECT_TRUE(press(first_));
  EXPECT_EQ(runs, 3);

  binder().breakBindingWithDefaultsKey("layoutShortcut");
  EXPECT_FALSE(server_.isGrabbed(first_));
}

TEST_F(ShortcutBindingTest, TheRecorderStoresAChordAndRefusesOneThatIsTakenSayingWhy) {
  binder().bindShortcutWithDefaultsKey("layoutShortcut", [] {});
  binder().bindShortcutWithDefaultsKey("restoreShortcut", [] {});
  stored().setShortcut("restoreShortcut", second_);
  const MASShortcut held(kVK_ANSI_3, kCtrlAlt);
  server_.setHeldByOtherProgram(held, true);
  const MASShortcut layoutKey(kVK_ANSI_4, kCtrlAlt);
  ASSERT_TRUE(MASShortcutMonitor::sharedMonitor().registerShortcut(layoutKey, [] {}));  // a custom layout's

  ShortcutRecorder recorder;
  int changes = 0;
  recorder.setShortcutValueChange([&](ShortcutRecorder&) { ++changes; });
  recorder.setAssociatedUserDefaultsKey("layoutShortcut");
  EXPECT_FALSE(recorder.handleKeyDown(kVK_ANSI_1, kCtrlAlt));  // not recording

  recorder.startRecording();
  const std::pair<MASShortcut, RecorderMessage> refused[] = {
      {held, RecorderMessage::takenByProgram},
      {second_, RecorderMessage::takenByBinding},
      {layoutKey, RecorderMessage::takenByBinding},
      {MASShortcut(kA, kCGEventFlagMaskShift), RecorderMessage::needsModifier},
  };
  for (const auto& [chord, message] : refused) {
    EXPECT_TRUE(recorder.handleKeyDown(chord.keyCode(), chord.modifierFlags()));
    EXPECT_EQ(recorder.message(), message) << chord;
    EXPECT_TRUE(recorder.isRecording());
  }
  EXPECT_EQ(recorder.shortcutValue(), std::nullopt);
  EXPECT_EQ(stored().shortcutForKey("layoutShortcut"), std::nullopt);

  EXPECT_TRUE(recorder.handleKeyDown(first_.keyCode(), first_.modifierFlags()));
  EXPECT_FALSE(recorder.isRecording());
  EXPECT_EQ(recorder.message(), RecorderMessage::none);
  EXPECT_EQ(stored().shortcutForKey("layoutShortcut"), first_);
  EXPECT_EQ(binder().activeShortcut("layoutShortcut"), first_);
  EXPECT_FALSE(server_.isGrabbed(held));  // asking about a chord does not keep it

  // A function key needs no modifier; Esc gives up; Backspace clears.
  recorder.startRecording();
  EXPECT_TRUE(recorder.handleKeyDown(kVK_Escape, 0));
  EXPECT_EQ(recorder.shortcutValue(), first_);
  recorder.startRecording();
  EXPECT_TRUE(recorder.handleKeyDown(kF5, 0));
  EXPECT_EQ(stored().shortcutForKey("layoutShortcut"), MASShortcut(kF5, 0));
  recorder.startRecording();
  EXPECT_TRUE(recorder.handleKeyDown(kBackspace, 0));
  EXPECT_FALSE(defaults::UserDefaults::standard().objectForKey("layoutShortcut"));
  EXPECT_EQ(changes, 3);

  // A value set from code is shown and stored but not reported as the user's.
  recorder.setShortcutValue(second_);
  EXPECT_EQ(changes, 3);
}

// A settings file that cannot be written: the chord recorded is not taken, and the recorder says so.
TEST_F(ShortcutBindingTest, AChordThatCannotBeSavedLeavesTheStoredHotKeyShownAndBoundAndSaysSo) {
  binder().bindShortcutWithDefaultsKey("layoutShortcut", [] {});
  stored().setShortcut("layoutShortcut", first_);
  ShortcutRecorder recorder;
  recorder.setShortcutValueChange([](ShortcutRecorder&) { ADD_FAILURE() << "reported as changed"; });
  recorder.setAssociatedUserDefaultsKey("layoutShortcut");
  const auto file = defaults::UserDefaults::standard().filePath();
  std::filesystem::remove(file);
  std::filesystem::create_directories(file / "in the way");
  recorder.startRecording();
  EXPECT_TRUE(recorder.handleKeyDown(second_.keyCode(), second_.modifierFlags()));
  EXPECT_EQ(recorder.shortcutValue(), first_);
  EXPECT_EQ(recorder.message(), RecorderMessage::notSaved);
  EXPECT_TRUE(press(first_));
}

}  // namespace
}  // namespace tilvane
