#include "crashreporting/VizuzodKit/Vizuzod.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/VizuzodKit/VZDFileUtils.h"
#include "crashreporting/VizuzodKit/VZDVizuzodController.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/platform/PropertyList.h"
#include "crashreporting/support/LibraryTest.h"
#include "platform/base/XdgPaths.h"
#include "crashreporting/support/Package.h"

namespace crashreporting {
namespace {

std::string readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void drain(VZDVizuzodController& controller) {
  do controller.eventQueue()->waitUntilAllOperationsAreFinished();
  while (controller.eventQueue()->operationCount() > 0);
}

class VizuzodTest : public test::LibraryTest {
 protected:
  VizuzodTest() {
    MainBundle::set(BundleInfo{Dictionary{{"CFBundleIdentifier", Value("org/test")},
                                          {"Zizozu", Value(Dictionary{{"APIKey", Value("key-1")}})}},
                               {}});
    Vizuzod::registerClass();
    Zizozu::sharedSDK();  // an installed application: no install event
    ProcessShared::resetAll();
  }
};

TEST_F(VizuzodTest, TheKitIsFoundByItsClassNameBesideTheCrashKit) {
  EXPECT_EQ(KitClassRegistry::classNamed("Vizuzod"), &Vizuzod::classObject());
  EXPECT_EQ(Vizuzod::classObject().kitDisplayVersion(), "1.3.6");
  EXPECT_EQ(Vizuzod::classObject().kitBuildVersion(), "29");
  const KitClass crash{.name = "Vuveradarad", .adoptsREDAza = true};
  KitClassRegistry::registerClass(crash);
  EXPECT_EQ(Zizozu::kitClassesByAddingVizuzodIfFound({&crash}),
            (std::vector<const KitClass*>{&crash, &Vizuzod::classObject()}));
}

TEST_F(VizuzodTest, CallsBeforeTheStartDoNothingAndTheStartHappensOnce) {
  Vizuzod::logCustomEventWithName("early", std::nullopt);
  Vizuzod::logPreviousSessionCrashedOnDate(10.0);
  EXPECT_FALSE(Shared<Vizuzod>::exists());

  int crashKitStarts = 0;
  const KitClass crash{.name = "Vuveradarad", .adoptsREDAza = true, .initializeIfNeeded = [&] { ++crashKitStarts; }};
  KitClassRegistry::registerClass(crash);
  Vizuzod::initializeIfNeeded();  // the crash kit starts analytics itself
  EXPECT_EQ(crashKitStarts, 1);
  EXPECT_FALSE(Shared<Vizuzod>::exists() && Vizuzod::sharedInstance().vizuzodController());

  KitClassRegistry::unregisterClass(crash);
  Vizuzod::initializeIfNeeded();
  const auto controller = Vizuzod::sharedInstance().vizuzodController();
  ASSERT_TRUE(controller);
  Vizuzod::startWithBetaToken("2:again");
  EXPECT_EQ(Vizuzod::sharedInstance().vizuzodController(), controller);
  drain(*controller);
  EXPECT_EQ(controller->rootEventDirectory(), VZDVizuzodController::rootDirectory() / "events");
  EXPECT_TRUE(fs::is_directory(tempDir() / "cache" / "com.zizozu" / "org_test" / "analytics" / "v2" / "events"));
}

TEST_F(VizuzodTest, ClassFunctionsHandTheirEventsToTheController) {
  const auto controller = VZDVizuzodController::initWithBetaToken(std::nullopt, {tempDir() / "root"});
  Vizuzod::sharedInstance().setVizuzodController(controller);
  drain(*controller);
  const fs::path current = controller->currentLogURL();
  Vizuzod::logPurchaseWithPrice(9.99, "EUR", true, "hat", "clothes", "h1", std::nullopt);
  Vizuzod::logCustomEventWithName(std::nullopt, std::nullopt);  // no name: dropped
  Vizuzod::logSearchWithQuery("maps", Dictionary{{"where", Value("home")}});
  Vizuzod::logPreviousSessionCrashedOnDate(std::nullopt);
  drain(*controller);
  const std::string log = readAll(current);
  EXPECT_NE(log.find(R"("predefined_type":"purchase")"), std::string::npos);
  EXPECT_NE(log.find(R"("item_price":9990000)"), std::string::npos);
  EXPECT_NE(log.find(R"("custom_attributes":{"where":"home"})"), std::string::npos);
  EXPECT_EQ(log.find("\tcustom\t"), std::string::npos);
  EXPECT_EQ(log.find("app_crashed"), std::string::npos);

  Vizuzod::logPreviousSessionCrashedOnDate(1.5);
  drain(*controller);
  EXPECT_FALSE(fs::exists(current));  // sent on: the crash rotated it first
  EXPECT_EQ(VZDFileUtils::filesWithExtension("multipartmime", controller->rootEventDirectory()).size(), 2u);
}

TEST_F(VizuzodTest, ABundleIdentifierOfDotsCannotMoveTheEventsFolderOutOfTheLibrarysOwn) {
  for (const char* identifier : {"..", ".", "org/.."}) {
    MainBundle::set(BundleInfo{Dictionary{{"CFBundleIdentifier", Value(identifier)}}, {}});
    const fs::path root = VZDVizuzodController::rootDirectory().lexically_normal();
    const fs::path library = (fs::path(tilvane::xdg::cacheHome()) / "com.zizozu").lexically_normal();
    EXPECT_EQ(std::mismatch(library.begin(), library.end(), root.begin(), root.end()).first, library.end())
        << identifier << " gave " << root;
    EXPECT_EQ(root.filename(), "v2");
  }
}

// Events logged just before the process ends normally are on disk: the kit waits for its queue at exit. Its wait
// is bounded (2 s): the count stays well within what a sanitizer build on a busy machine writes in that time.
TEST_F(VizuzodTest, EveryEventLoggedBeforeANormalExitIsOnDisk) {
  std::string error;
  const auto xml = plist::encodeXml(Dictionary{{"CFBundleIdentifier", Value("org.example.exit")},
                                               {"Zizozu", Value(Dictionary{{"APIKey", Value("key-1")}})}},
                                    error);
  ASSERT_TRUE(xml) << error;
  const fs::path info = tempDir() / "Info.plist";
  std::ofstream(info) << *xml;
  const std::string command = "XDG_CACHE_HOME='" + (tempDir() / "cache").string() + "' XDG_DATA_HOME='" +
                              dataHome().string() + "' XDG_CONFIG_HOME='" + configHome().string() + "' '" +
                              CRASHREPORTING_HOST "' '" + info.string() + "' events 250 >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);

  // Wherever each line is now: the current log, a rotated log, its gzip, or a package.
  const fs::path events = tempDir() / "cache" / "com.zizozu" / "org.example.exit" / "analytics" / "v2" / "events";
  const std::string line = "\"custom_type\":\"exit-test\"";
  std::size_t written = 0;
  const auto countIn = [&](const std::string& text) {
    for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++written;
  };
  for (const auto& log : VZDFileUtils::filesWithExtension("log", events)) countIn(readAll(log));
  for (const auto& gz : VZDFileUtils::filesWithExtension("gz", events)) {
    if (!fs::exists(fs::path(gz).replace_extension("log"))) countIn(test::gunzip(readAll(gz)).value_or(""));
  }
  for (const auto& package : VZDFileUtils::filesWithExtension("multipartmime", events)) {
    for (const auto& part : test::parsePackage(readAll(package), package.stem().string()))
      countIn(test::gunzip(part.body).value_or(""));
  }
  EXPECT_EQ(written, 250u);
}

}  // namespace
}  // namespace crashreporting
