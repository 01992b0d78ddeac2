#include <gtest/gtest.h>

#include "AppManager/Bridges/Bridges.h"
#include "Layout/LayoutItem.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "support/windows/LauncherByHand.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

const AppDescriptor kEditor{"Editor", "org.example.Editor", ""};

RuleLayoutModelPtr rule(RuleLayoutType type, std::int64_t matrixValue, std::int64_t columns, std::int64_t rows) {
  auto model = std::make_shared<RuleLayoutModel>();
  model->setId("org.example.Editor");
  model->setType(static_cast<std::int64_t>(type));
  model->setMatrixValue(matrixValue);
  model->setWidth(columns);
  model->setHeight(rows);
  return model;
}

// The left column of a 1 × 2 grid.
RuleLayoutModelPtr leftHalf() { return rule(RuleLayoutType::fix, 0b10, 2, 1); }

constexpr CGRect kLeftHalf = CGRectMake(0, 23, 720, 877);

class RuleEventsTest : public test::WindowWorld {
 protected:
  RuleEventsTest() { startManagers(); }
  /// A window remembered at `fractions`, admitted and settled.
  AXUIElement window(const CGRect& fractions, std::int64_t index = 0, const std::string& bundle = "org.example.Editor") {
    storeRecord(bundle, index, fractions);
    return settledWindow({.frame = CGRectMake(100, 100, 800, 600)}, bundle);
  }
  void save(const AppDescriptor& app, RuleLayoutModelPtr saved) {
    RuleLayoutBridge::ruleSaved().onNext(AppRule{app, std::move(saved)});
    drain();
  }
  std::map<std::string, RuleLayoutModelPtr>& rules() { return LayoutManager::shared().rules(); }
};

TEST_F(RuleEventsTest, AFixedRuleSendsOnlyTheApplicationsRememberedWindowsOntoItsRectangle) {
  const AXUIElement mine = window(CGRectMake(0.25, 0.25, 0.5, 0.5));
  const AXUIElement other = window(CGRectMake(0.25, 0.25, 0.5, 0.5), 0, "org.example.Other");
  const AXUIElement unremembered = settledWindow({.frame = CGRectMake(30, 40, 500, 400)});
  itemOf(unremembered)->setLayoutModel(nullptr);
  const CGRect otherBefore = frameOf(other);
  const CGRect unrememberedBefore = frameOf(unremembered);
  save(kEditor, leftHalf());
  EXPECT_EQ(frameOf(mine), kLeftHalf);
  EXPECT_EQ(test::fractionsOf(*itemOf(mine)->layoutModel()), CGRectMake(0, 0, 0.5, 1)) << "a fixed rule is saved";
  EXPECT_EQ(frameOf(other), otherBefore);
  EXPECT_EQ(frameOf(unremembered), unrememberedBefore);
}

TEST_F(RuleEventsTest, RulesThatGiveNoFrameSendTheWindowsBackToTheirRememberedFrames) {
  const AXUIElement w = window(CGRectMake(0.25, 0.25, 0.5, 0.5));
  const CGRect rememberedFrame = frameOf(w);
  // No rule and an auto rule leave the table; an ignore rule and a fixed one without cells stay in it.
  const std::pair<RuleLayoutModelPtr, std::size_t> cases[] = {{nullptr, 0u},
                                                              {rule(RuleLayoutType::auto_, 65535, 4, 4), 0u},
                                                              {rule(RuleLayoutType::ignore, 65535, 4, 4), 1u},
                                                              {rule(RuleLayoutType::fix, 0, 4, 4), 1u}};
  for (const auto& [removing, kept] : cases) {
    SCOPED_TRACE(removing ? removing->type() : -1);
    rules()["org.example.Editor"] = leftHalf();  // in force, but not saved into the record
    SIWindow placed(w);
    placeFrame(placed, CGRectMake(50, 60, 500, 400), GaplessOrder::setFrame);
    drain();
    save(kEditor, removing);
    EXPECT_EQ(rules().count("org.example.Editor"), kept);
    EXPECT_EQ(frameOf(w), rememberedFrame);
  }
}

TEST_F(RuleEventsTest, AnArrangedRuleGivesEachWindowTheNextCell) {
  save(kEditor, rule(RuleLayoutType::arranged, 0b11, 2, 1));
  const CGRect fractions = CGRectMake(0.1, 0.1, 0.3, 0.3);
  EXPECT_EQ(frameOf(window(fractions, 0)), kLeftHalf);
  EXPECT_EQ(frameOf(window(fractions, 1)), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(frameOf(window(fractions, 2)), kLeftHalf);
}

// Two programs may differ in the case of their identifiers alone; only a class guessed from a program ("+" on a
// launcher that names none) is right but maybe for case, and takes its windows whose class differs in case.
TEST_F(RuleEventsTest, ARuleTakesWindowsWhoseIdentifierDiffersInCaseOnlyForAGuessedClass) {
  const std::string clock = test::addLauncherByHand(tempDir() / "Desktop", "tilvaneclock");
  ASSERT_EQ(clock, "Tilvaneclock");
  struct Case {
    std::string rule, window;
    bool placed;
  };
  const Case cases[] = {{"org.example.Editor", "org.example.editor", false},
                        {"org.example.Notes", "org.example.Notes", true},
                        {clock, "TilvaneClock", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.window);
    const AXUIElement w = window(CGRectMake(0.25, 0.25, 0.5, 0.5), 0, c.window);
    const CGRect before = frameOf(w);
    RuleLayoutModelPtr saved = leftHalf();
    saved->setId(c.rule);
    save(AppDescriptor{"", c.rule, ""}, saved);
    EXPECT_EQ(frameOf(w), c.placed ? kLeftHalf : before);
  }
}

TEST_F(RuleEventsTest, TheEditorLearnsTheRuleInForce) {
  std::vector<AppRule> answers;
  rx::DisposeBag bag;
  bag.insert(RuleLayoutBridge::detailRule().subscribe([&](const AppRule& answer) { answers.push_back(answer); }));
  RuleLayoutBridge::appChanged().onNext(kEditor);
  const RuleLayoutModelPtr saved = leftHalf();
  save(kEditor, saved);
  RuleLayoutBridge::appChanged().onNext(kEditor);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].app, kEditor);
  EXPECT_EQ(answers[0].rule, nullptr);
  EXPECT_EQ(answers[1].rule, saved);
}

}  // namespace
}  // namespace tilvane
