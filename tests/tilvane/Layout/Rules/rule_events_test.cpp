#include <gtest/gtest.h>

#include "AppManager/Bridges/Bridges.h"
#include "Layout/LayoutItem.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "platform/store/Database.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

const AppDescriptor kEditor{"Editor", "org.example.Editor", ""};

RuleLayoutModelPtr rule(const std::string& bundle, RuleLayoutType type, std::int64_t matrixValue,
                        std::int64_t columns, std::int64_t rows) {
  auto model = std::make_shared<RuleLayoutModel>();
  model->setId(bundle);
  model->setType(static_cast<std::int64_t>(type));
  model->setMatrixValue(matrixValue);
  model->setWidth(columns);
  model->setHeight(rows);
  return model;
}

// The left column of a 1 × 2 grid, and both of its cells.
RuleLayoutModelPtr leftHalf() { return rule("org.example.Editor", RuleLayoutType::fix, 0b10, 2, 1); }
RuleLayoutModelPtr bothHalves() { return rule("org.example.Editor", RuleLayoutType::arranged, 0b11, 2, 1); }

constexpr CGRect kLeftHalf = CGRectMake(0, 23, 720, 877);
constexpr CGRect kRightHalf = CGRectMake(720, 23, 720, 877);

class RuleEventsTest : public test::WindowWorld {
 protected:
  void start() {
    startManagers();
    LayoutManager::shared().bindRules();
  }
  /// A window remembered at `fractions`, admitted and settled.
  AXUIElement window(const CGRect& fractions, std::int64_t index = 0, const std::string& bundle = "org.example.Editor") {
    storeRecord(bundle, index, fractions);
    const AXUIElement w = admitWindow({.frame = CGRectMake(100, 100, 800, 600)}, bundle);
    advance(3.0);
    return w;
  }
  void save(const AppDescriptor& app, RuleLayoutModelPtr saved) {
    RuleLayoutBridge::ruleSaved().onNext(AppRule{app, std::move(saved)});
    drain();
  }
  std::map<std::string, RuleLayoutModelPtr>& rules() { return LayoutManager::shared().rules(); }
};

TEST_F(RuleEventsTest, AFixedRuleSendsTheApplicationsWindowsOntoItsRectangle) {
  start();
  const AXUIElement w = window(CGRectMake(0.25, 0.25, 0.5, 0.5));
  const RuleLayoutModelPtr saved = leftHalf();
  save(kEditor, saved);
  EXPECT_EQ(rules().at("org.example.Editor"), saved);
  EXPECT_EQ(frameOf(w), kLeftHalf);
  EXPECT_EQ(test::fractionsOf(*itemOf(w)->layoutModel()), CGRectMake(0, 0, 0.5, 1));
}

TEST_F(RuleEventsTest, NoRuleOrAnAutoRuleSendsTheWindowsBackToTheirRememberedFrames) {
  start();
  const AXUIElement w = window(CGRectMake(0.25, 0.25, 0.5, 0.5));
  const CGRect rememberedFrame = frameOf(w);
  for (const RuleLayoutModelPtr& removing :
       {RuleLayoutModelPtr(), rule("org.example.Editor", RuleLayoutType::auto_, 65535, 4, 4)}) {
    rules()["org.example.Editor"] = leftHalf();  // in force, but not saved into the record
    apps().userMoveWindow(w, CGRectMake(50, 60, 500, 400));
    drain();
    save(kEditor, removing);
    EXPECT_EQ(rules().count("org.example.Editor"), 0u);
    EXPECT_EQ(frameOf(w), rememberedFrame);
  }
}

TEST_F(RuleEventsTest, OnlyWindowsRememberedForTheApplicationAreLaidOutAgain) {
  start();
  const AXUIElement mine = window(CGRectMake(0.25, 0.25, 0.5, 0.5));
  const AXUIElement other = window(CGRectMake(0.25, 0.25, 0.5, 0.5), 0, "org.example.Other");
  const CGRect otherBefore = frameOf(other);
  // A window of the application without remembered placement is left alone too.
  const AXUIElement unremembered = admitWindow({.frame = CGRectMake(30, 40, 500, 400)});
  advance(3.0);
  itemOf(unremembered)->setLayoutModel(nullptr);
  const CGRect unrememberedBefore = frameOf(unremembered);

  save(kEditor, leftHalf());
  EXPECT_EQ(frameOf(mine), kLeftHalf);
  EXPECT_EQ(frameOf(other), otherBefore);
  EXPECT_EQ(frameOf(unremembered), unrememberedBefore);
}

TEST_F(RuleEventsTest, AnArrangedRuleGivesEachWindowTheNextCell) {
  {
    const auto database = store::Database::open();
    database->write([&] { database->add(bothHalves()); });
  }
  start();
  ASSERT_EQ(rules().count("org.example.Editor"), 1u);
  const AXUIElement first = window(CGRectMake(0.1, 0.1, 0.3, 0.3), 0);
  const AXUIElement second = window(CGRectMake(0.1, 0.1, 0.3, 0.3), 1);
  const AXUIElement third = window(CGRectMake(0.1, 0.1, 0.3, 0.3), 2);
  EXPECT_EQ(frameOf(first), kLeftHalf);
  EXPECT_EQ(frameOf(second), kRightHalf);
  EXPECT_EQ(frameOf(third), kLeftHalf);
}

TEST_F(RuleEventsTest, AFixedRuleWithoutCellsMovesAndSavesNothing) {
  start();
  const AXUIElement w = window(CGRectMake(0.25, 0.25, 0.5, 0.5));
  apps().userMoveWindow(w, CGRectMake(50, 60, 500, 400));
  advance(3.0);  // the drag is remembered
  const CGRect remembered = test::fractionsOf(*itemOf(w)->layoutModel());
  save(kEditor, rule("org.example.Editor", RuleLayoutType::fix, 0, 4, 4));
  EXPECT_EQ(test::fractionsOf(*itemOf(w)->layoutModel()), remembered);
  // It goes to its remembered frame, as with no rule at all.
  EXPECT_EQ(frameOf(w), CGRectMake(50, 60, 500, 400));
}

TEST_F(RuleEventsTest, TheEditorLearnsTheRuleInForce) {
  start();
  std::vector<AppRule> answers;
  rx::DisposeBag bag;
  bag.insert(RuleLayoutBridge::detailRule().subscribe([&](const AppRule& answer) { answers.push_back(answer); }));
  RuleLayoutBridge::appChanged().onNext(kEditor);
  save(kEditor, leftHalf());
  RuleLayoutBridge::appChanged().onNext(kEditor);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].app, kEditor);
  EXPECT_EQ(answers[0].rule, nullptr);
  ASSERT_NE(answers[1].rule, nullptr);
  EXPECT_EQ(answers[1].rule->type(), static_cast<std::int64_t>(RuleLayoutType::fix));
}

}  // namespace
}  // namespace tilvane
