#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/ExtensionAppModel.h"
#include "Models/ModelSchemas.h"
#include "Models/RuleLayoutModel.h"
#include "Models/WindowMovingModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/base/Uuid.h"
#include "platform/store/Database.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

class ModelsTest : public test::WorldTest {
 protected:
  ModelsTest() { loop().advance(0.75); }  // the virtual clock now stands inside a second, not on its start

  std::filesystem::path file() const { return tempDir() / "models.sqlite"; }
  std::shared_ptr<store::Database> open() {
    store::Configuration c;
    c.fileURL = file();
    c.schemaVersion = 3;
    c.objectTypes = modelSchemas();
    return store::Database::open(c);
  }
  std::int64_t nowSeconds() const { return static_cast<std::int64_t>(std::trunc(dispatch::MainQueue::clock().now())); }
};

// ---- defaults ----

TEST_F(ModelsTest, WorkspaceDefaults) {
  const auto a = std::make_shared<WorkspaceLayoutGroupModel>();
  const auto b = std::make_shared<WorkspaceLayoutGroupModel>();
  EXPECT_TRUE(isUuidString(a->id()));
  EXPECT_NE(a->id(), b->id());
  EXPECT_EQ(a->name(), "New Workspace");
  EXPECT_TRUE(a->items().empty());

  const auto item = std::make_shared<WorkspaceLayoutItemModel>();
  EXPECT_TRUE(isUuidString(item->id()));
  EXPECT_EQ(item->description(),
            "WorkspaceLayoutItemModel { id = " + item->id() +
                "; devicesIdentifier = ; bundleIdentifier = ; appPath = ; filePath = ; windowTitle = ; spaceIndex = 0; "
                "spaceCount = 1; screenIndex = 0; screenCount = 1; x = 0; y = 0; width = 0; height = 0 }");
}

TEST_F(ModelsTest, LayoutModelDefaults) {
  const auto custom = std::make_shared<CustomLayoutModel>();
  EXPECT_TRUE(isUuidString(custom->id()));
  EXPECT_EQ(custom->name(), "New Layout");
  EXPECT_EQ(customLayoutType(custom->type()), CustomLayoutType::ignore);
  EXPECT_EQ(custom->matrixValue(), 65535);
  EXPECT_EQ(custom->width(), 4);
  EXPECT_EQ(custom->height(), 4);
  EXPECT_EQ(custom->keyCode(), -1);
  EXPECT_EQ(custom->modifierFlags(), -1);

  const auto rule = std::make_shared<RuleLayoutModel>();
  EXPECT_EQ(rule->id(), "");
  EXPECT_EQ(ruleLayoutType(rule->type()), RuleLayoutType::auto_);
  EXPECT_EQ(rule->matrixValue(), 65535);
  EXPECT_EQ(rule->width(), 4);
  EXPECT_EQ(rule->height(), 4);

  const auto placement = std::make_shared<AutoLayoutModel>();
  EXPECT_EQ(placement->description(),
            "AutoLayoutModel { id = ; bundleIdentifier = ; windowID = 0; windowIndex = 0; spaceIndex = 0; "
            "spaceCount = 1; screenIndex = 0; screenCount = 1; x = 0; y = 0; width = 0; height = 0; updateAt = " +
                std::to_string(nowSeconds()) + " }");

  const auto app = std::make_shared<ExtensionAppModel>();
  EXPECT_TRUE(isUuidString(app->id()));
  EXPECT_EQ(app->path(), "");

  const auto moving = std::make_shared<WindowMovingModel>();
  EXPECT_EQ(moving->space(), 1);
  EXPECT_EQ(moving->screenCount(), 1);
  EXPECT_EQ(moving->spaceCount(), 1);
  EXPECT_EQ(moving->createAt(), nowSeconds());
}

TEST_F(ModelsTest, RecordsMadeInOneSecondShareTheirTimeStamp) {
  const auto first = std::make_shared<AutoLayoutModel>();
  loop().advance(0.2);
  const auto second = std::make_shared<AutoLayoutModel>();
  EXPECT_EQ(first->updateAt(), second->updateAt());
  loop().advance(0.1);
  EXPECT_EQ(std::make_shared<AutoLayoutModel>()->updateAt(), first->updateAt() + 1);
}

TEST_F(ModelsTest, TypesKnowTheirRawValuesAndTitles) {
  EXPECT_EQ(customLayoutType(2), CustomLayoutType::arranged);
  EXPECT_EQ(customLayoutType(3), std::nullopt);
  EXPECT_EQ(titleKey(CustomLayoutType::fix), "FixedPositionAndSize");
  EXPECT_EQ(ruleLayoutType(3), RuleLayoutType::ignore);
  EXPECT_EQ(ruleLayoutType(-1), std::nullopt);
  EXPECT_EQ(titleKey(RuleLayoutType::auto_), "AutoLayoutWithTilvane");
  EXPECT_EQ(titleKey(RuleLayoutType::ignore), "DoNotLayout");
}

// ---- ids ----

TEST_F(ModelsTest, MakeIdJoinsBundleIndexAndScreenCount) {
  AutoLayoutModel empty;
  empty.makeId();
  EXPECT_EQ(empty.id(), "-0-1");

  AutoLayoutModel terminal;
  terminal.setBundleIdentifier("com.apple.Terminal");
  terminal.setWindowIndex(12);
  terminal.setScreenCount(2);
  terminal.makeId();
  EXPECT_EQ(terminal.id(), "com.apple.Terminal-12-2");
  terminal.setWindowIndex(3);
  terminal.setScreenCount(-1);
  EXPECT_EQ(terminal.id(), "com.apple.Terminal-12-2");
  terminal.makeId();
  EXPECT_EQ(terminal.id(), "com.apple.Terminal-3--1");
}

// ---- window moves ----

TEST_F(ModelsTest, WindowMoveCutsCoordinatesTowardZero) {
  const WindowMovingModel move(2, "com.x", 1, 4, 10.9, -3.7, -0.5, 600.2, std::nullopt);
  EXPECT_EQ(move.space(), 2);
  EXPECT_EQ(move.bundleIdentifier(), "com.x");
  EXPECT_EQ(move.spaceCount(), 4);
  EXPECT_EQ(move.x(), 10);
  EXPECT_EQ(move.y(), -3);
  EXPECT_EQ(move.width(), 0);
  EXPECT_EQ(move.height(), 600);
  EXPECT_EQ(move.screenX(), 0);
  EXPECT_EQ(move.screenY(), 0);
  EXPECT_EQ(move.screenWidth(), 0);
  EXPECT_EQ(move.screenHeight(), 0);

  const WindowMovingModel onScreen(1, "com.x", 2, 1, 0, 0, 1, 1, WindowMovingModel::ScreenFrame{-1920.5, 0.9, 1920, 1080.99});
  EXPECT_EQ(onScreen.screenX(), -1920);
  EXPECT_EQ(onScreen.screenY(), 0);
  EXPECT_EQ(onScreen.screenWidth(), 1920);
  EXPECT_EQ(onScreen.screenHeight(), 1080);
  EXPECT_NE(move.id(), onScreen.id());
}

TEST_F(ModelsTest, WindowMoveStoresZeroForCoordinatesWithoutAWholeNumber) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const WindowMovingModel move(1, "", 1, 1, nan, inf, -inf, 1e300,
                               WindowMovingModel::ScreenFrame{9.3e18, -9.3e18, 9223372036854774784.0, -0.0});
  EXPECT_EQ(move.x(), 0);
  EXPECT_EQ(move.y(), 0);
  EXPECT_EQ(move.width(), 0);
  EXPECT_EQ(move.height(), 0);
  EXPECT_EQ(move.screenX(), 0);
  EXPECT_EQ(move.screenY(), 0);
  EXPECT_EQ(move.screenWidth(), 9223372036854774784);  // the largest double below 2^63 still fits
  EXPECT_EQ(move.screenHeight(), 0);
}

// ---- storage ----

// One object of every class with the defaults and one with every field changed.
std::vector<std::shared_ptr<store::Object>> sampleObjects() {
  std::vector<std::shared_ptr<store::Object>> objects;
  auto group = std::make_shared<WorkspaceLayoutGroupModel>();
  group->setName("Desk");
  for (int i = 0; i < 3; ++i) {
    auto item = std::make_shared<WorkspaceLayoutItemModel>();
    item->setBundleIdentifier("com.app" + std::to_string(i));
    item->setDevicesIdentifier("[A_2]");
    item->setAppPath("/a");
    item->setFilePath("/f");
    item->setWindowTitle("t");
    item->setSpaceIndex(i);
    item->setSpaceCount(3);
    item->setScreenIndex(1);
    item->setScreenCount(2);
    item->setX(0.25);
    item->setY(0.5);
    item->setWidth(0.125);
    item->setHeight(1.0 / 3.0);
    group->items().append(item);
  }
  objects.push_back(group);
  objects.push_back(std::make_shared<WorkspaceLayoutGroupModel>());
  objects.push_back(std::make_shared<WorkspaceLayoutItemModel>());

  auto custom = std::make_shared<CustomLayoutModel>();
  custom->setName("Left");
  custom->setType(2);
  custom->setMatrixValue(-1);
  custom->setWidth(8);
  custom->setHeight(8);
  custom->setKeyCode(123);
  custom->setModifierFlags(0x100000);
  objects.push_back(custom);
  objects.push_back(std::make_shared<CustomLayoutModel>());

  auto rule = std::make_shared<RuleLayoutModel>();
  rule->setId("com.apple.Safari");
  rule->setType(3);
  rule->setMatrixValue(255);
  rule->setWidth(2);
  rule->setHeight(1);
  objects.push_back(rule);
  objects.push_back(std::make_shared<RuleLayoutModel>());

  auto placement = std::make_shared<AutoLayoutModel>();
  placement->setBundleIdentifier("com.apple.Safari");
  placement->setWindowID(4242);
  placement->setWindowIndex(1);
  placement->setSpaceIndex(-1);
  placement->setSpaceCount(5);
  placement->setScreenIndex(-1);
  placement->setScreenCount(2);
  placement->setX(0.1);
  placement->setY(0.2);
  placement->setWidth(0.7);
  placement->setHeight(0.95);
  placement->setUpdateAt(1);
  placement->makeId();
  objects.push_back(placement);
  objects.push_back(std::make_shared<AutoLayoutModel>());

  auto app = std::make_shared<ExtensionAppModel>();
  app->setPath("/opt/App.app");
  objects.push_back(app);
  objects.push_back(std::make_shared<ExtensionAppModel>());

  objects.push_back(std::make_shared<WindowMovingModel>(3, "com.x", 2, 4, 1.5, 2.5, 300, 200,
                                                        WindowMovingModel::ScreenFrame{0, 0, 1920, 1080}));
  objects.push_back(std::make_shared<WindowMovingModel>());
  return objects;
}

std::string dumpAll(store::Database& db) {
  std::string text;
  for (const auto* schema : modelSchemas())
    for (const auto& object : db.objects(*schema, nullptr)) text += object->description() + "\n";
  return text;
}

TEST_F(ModelsTest, EveryModelRoundTripsThroughAFileAndAnotherProcess) {
  // What the file must give back: the objects' own values, class by class in insertion order (a workspace's
  // items are stored right after it).
  std::map<std::string, std::string> byClass;
  {
    const auto objects = sampleObjects();
    for (const auto& object : objects) {
      byClass[object->objectSchema().className()] += object->description() + "\n";
      if (const auto group = std::dynamic_pointer_cast<WorkspaceLayoutGroupModel>(object))
        for (const auto& item : group->items().toVector()) byClass["WorkspaceLayoutItemModel"] += item->description() + "\n";
    }
    auto db = open();
    db->write([&] {
      for (const auto& object : objects) db->add(object);
    });
  }
  std::string expected;
  for (const auto* schema : modelSchemas()) expected += byClass[schema->className()];

  // Nothing of the first instance is alive: this reads the file afresh.
  EXPECT_EQ(dumpAll(*open()), expected);

  std::string dumped;
  if (FILE* pipe = popen((std::string(MODEL_DUMP) + " " + file().string() + " 3").c_str(), "r")) {
    std::array<char, 4096> buffer{};
    while (const auto n = std::fread(buffer.data(), 1, buffer.size(), pipe)) dumped.append(buffer.data(), n);
    EXPECT_EQ(pclose(pipe), 0);
  }
  EXPECT_EQ(dumped, expected);
}

TEST_F(ModelsTest, WorkspaceItemsKeepTheirOrderWhenEdited) {
  auto db = open();
  auto group = std::make_shared<WorkspaceLayoutGroupModel>();
  db->write([&] { db->add(group); });
  std::vector<WorkspaceLayoutItemModelPtr> items;
  for (int i = 0; i < 4; ++i) items.push_back(std::make_shared<WorkspaceLayoutItemModel>());
  db->write([&] {
    for (const auto& item : items) group->items().append(item);
  });
  db->write([&] { group->items().remove(1); });
  const auto read = group->items().toVector();
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0], items[0]);
  EXPECT_EQ(read[1], items[2]);
  EXPECT_EQ(read[2], items[3]);
  EXPECT_EQ(group->items().indexOf(items[3]), 2u);
  EXPECT_FALSE(items[1]->isInvalidated());  // taken out of the list, still stored
}

}  // namespace
}  // namespace tilvane
