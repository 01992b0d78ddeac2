#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <limits>
#include <plist/plist.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AppManager/Logging/LogManager.h"
#include "platform/defaults/UserDefaults.h"
#include "support/AsNobody.h"
#include "support/TestEnvironment.h"

namespace tilvane::defaults {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class UserDefaultsTest : public test::WorldTest {
 protected:
  fs::path file() const { return tempDir() / "config" / "Tilvane" / "defaults.plist"; }

  void writeRaw(const std::string& bytes) const {
    fs::create_directories(file().parent_path());
    std::ofstream(file(), std::ios::binary) << bytes;
  }

  /// The names in the settings folder, sorted.
  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(file().parent_path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  /// The copies of damaged files in the settings folder.
  std::vector<fs::path> damagedCopies() const {
    std::vector<fs::path> copies;
    for (const auto& e : fs::directory_iterator(file().parent_path()))
      if (e.path().filename().string().rfind("defaults.plist.damaged-", 0) == 0) copies.push_back(e.path());
    return copies;
  }
  /// Dates the copies of damaged files ten seconds back, as if the file had been written well after they were made.
  void ageDamagedCopies() const {
    for (const fs::path& copy : damagedCopies()) fs::last_write_time(copy, fs::last_write_time(file()) - 10s);
  }
  const std::vector<std::string> kFileAndLock{"defaults.plist", "defaults.plist.lock"};

  LogManager::Capture log_;
};

TEST_F(UserDefaultsTest, EveryTypeIsWrittenAtOnceAndReadBackUnchanged) {
  const Dictionary values{{"max", Value(std::numeric_limits<std::int64_t>::max())},
                          {"min", Value(std::numeric_limits<std::int64_t>::min())},
                          {"yes", Value(true)},
                          {"tenth", Value(0.1)},
                          {"infinite", Value(std::numeric_limits<double>::infinity())},
                          {"text", Value("a<b & \"c\" \xC3\xA9 \xF0\x9F\x94\xB4")},
                          {"bytes", Value(Data{0, 1, 0, 255})},
                          {"list", Value(Array{Value(1), Value("two"), Value(Array{})})},
                          {"shortcut", Value(Dictionary{{"keyCode", Value(18)}, {"modifierFlags", Value(0x100000)}})}};
  {
    UserDefaults& d = UserDefaults::standard();
    EXPECT_EQ(d.filePath(), file());
    EXPECT_EQ(d.objectForKey("max"), std::nullopt);
    EXPECT_FALSE(fs::exists(file()));  // reading creates nothing
    for (const auto& [key, value] : values) d.setObject(key, value);
    d.setInteger("removed", 1);
    d.removeObjectForKey("removed");
    // No synchronize(): each change is already on disk.
  }
  const UserDefaults d(file());
  for (const auto& [key, value] : values) EXPECT_EQ(d.objectForKey(key), value) << key;
  EXPECT_EQ(d.objectForKey("removed"), std::nullopt);
  EXPECT_EQ(folderEntries(), kFileAndLock);  // no temporary file left behind
  EXPECT_EQ(log_.lines().size(), 0u);
}

std::string deeplyNested() {
  std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>deep</key>";
  for (int i = 0; i < 200; ++i) xml += "<array>";
  for (int i = 0; i < 200; ++i) xml += "</array>";
  return xml + "</dict></plist>";
}

// Files that are not a dictionary property list, or are not ours.
TEST_F(UserDefaultsTest, ADamagedFileIsCopiedAsideAndKeptUntilTheNextChangeWhichWritesThatKeyAlone) {
  const std::pair<const char*, std::string> damages[] = {
      {"empty", ""},
      {"not a property list", "not a property list <<<"},
      {"cut short", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>hideInMenuBar</key><integer>1</integer>"},
      {"root is an array", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer></array></plist>"},
      {"nested too deeply", deeplyNested()},
      {"oversized", std::string(17 << 20, ' ')}};
  for (const auto& [name, bytes] : damages) {
    SCOPED_TRACE(name);
    fs::remove_all(file().parent_path());
    writeRaw(bytes);
    log_.clear();
    UserDefaults d(file());
    EXPECT_EQ(d.integerForKey("hideInMenuBar"), 0);
    ASSERT_EQ(log_.lines().size(), 1u);
    EXPECT_EQ(log_.lines()[0].rfind("\U0001F534 UserDefaults: ", 0), 0u) << log_.lines()[0];
    ASSERT_TRUE(d.loadProblem());
    const fs::path copy = d.loadProblem()->copy;
    EXPECT_EQ(damagedCopies(), std::vector<fs::path>{copy});
    EXPECT_TRUE(log_.contains(copy.string()));
    EXPECT_EQ(d.storedInteger("hideInMenuBar"), std::nullopt);
    // Reading and synchronising with nothing changed leave the file as it was.
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(test::readFile(file()), bytes);
    // The next start finds the same bytes: they were kept, and said, once.
    {
      const UserDefaults again(file());
      ASSERT_TRUE(again.loadProblem());
      EXPECT_TRUE(again.loadProblem()->keptBefore);
      EXPECT_EQ(again.loadProblem()->copy, copy);
      EXPECT_EQ(damagedCopies(), std::vector<fs::path>{copy});
    }
    log_.clear();

    EXPECT_TRUE(d.setInteger("launchAtLogin", 1));
    const UserDefaults reread(file());
    EXPECT_EQ(reread.integerForKey("launchAtLogin"), 1);
    EXPECT_EQ(reread.objectForKey("hideInMenuBar"), std::nullopt);
    EXPECT_EQ(d.storedInteger("launchAtLogin"), 1);
    EXPECT_EQ(d.storedInteger("hideInMenuBar"), std::nullopt) << "still what the damaged file held";
    EXPECT_EQ(log_.lines().size(), 0u);  // the rewritten file reads cleanly, and was copied once
    EXPECT_EQ(damagedCopies(), std::vector<fs::path>{copy});
    EXPECT_EQ(test::readFile(copy), bytes);
  }
}

// A setting is acted on only from a value of its type; another one is reported once, until the key is set.
TEST_F(UserDefaultsTest, ASettingReadsOnlyAValueOfItsTypeAndAnotherIsReportedOnceUntilSet) {
  struct Case {
    Value stored;
    std::optional<std::int64_t> integer;
    std::optional<bool> flag;
  };
  const Case cases[] = {{Value(2), 2, true},
                        {Value(false), 0, false},
                        {Value("maybe"), std::nullopt, std::nullopt},
                        {Value(1.0), std::nullopt, std::nullopt},
                        {Value(Dictionary{}), std::nullopt, std::nullopt}};
  for (const Case& c : cases) {
    UserDefaults d(file());
    std::vector<std::string> notices;
    d.setNotifier([&](const UserDefaults::Notice& n) {
      EXPECT_EQ(n.kind, UserDefaults::Notice::Kind::wrongType);
      notices.push_back(n.key);
    });
    ASSERT_TRUE(d.setObject("launchAtLogin", c.stored));
    EXPECT_EQ(d.storedInteger("launchAtLogin"), c.integer);
    EXPECT_EQ(d.storedBool("launchAtLogin"), c.flag);
    EXPECT_EQ(d.storedInteger("absent"), std::nullopt);
    const std::vector<std::string> wrong = c.integer ? std::vector<std::string>{}
                                                     : std::vector<std::string>{"launchAtLogin"};
    EXPECT_EQ(notices, wrong) << "said once, however often it is read";
    // Set by the user, then of the wrong type again: said again.
    ASSERT_TRUE(d.setObject("launchAtLogin", c.stored));
    d.storedInteger("launchAtLogin");
    EXPECT_EQ(notices.size(), 2 * wrong.size());
  }
  EXPECT_EQ(UserDefaults(file()).storedDictionary("launchAtLogin"), Dictionary{});
}

// Damage found by a save or a reload is copied and said once; once a save has written the file, the same bytes
// found again are a damage of their own. (What the save writes is proven on the X test desktop.)
TEST_F(UserDefaultsTest, DamageFoundWhileRunningIsKeptAsideAndSaidOnceForEachTimeTheFileWasWritten) {
  writeRaw("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>launchAtLogin</key><integer>1</integer>"
           "</dict></plist>");
  UserDefaults d(file());
  std::vector<UserDefaults::Notice> notices;
  d.setNotifier([&](const UserDefaults::Notice& n) { notices.push_back(n); });
  for (const std::size_t round : {1u, 2u}) {
    writeRaw("<true>");
    ageDamagedCopies();
    EXPECT_TRUE(d.reload().empty()) << "the settings known stay";
    EXPECT_TRUE(d.setInteger("autoLayoutEnabled", 0));
    EXPECT_EQ(UserDefaults(file()).objectForKey("launchAtLogin"), Value(1));
    ASSERT_EQ(damagedCopies().size(), round);
    ASSERT_EQ(notices.size(), round);
    EXPECT_EQ(notices.back().kind, UserDefaults::Notice::Kind::damaged);
  }
}

// The file emptied, a start, two changes, emptied again, a start: the second damage is copied and said too.
TEST_F(UserDefaultsTest, TheSameDamageAfterASaveIsCopiedAndSaidAgainAtTheNextStart) {
  writeRaw("");
  ASSERT_TRUE(UserDefaults(file()).loadProblem());
  {
    UserDefaults d(file());
    EXPECT_TRUE(d.loadProblem()->keptBefore);
    EXPECT_TRUE(d.setInteger("launchAtLogin", 1));
    EXPECT_TRUE(d.setBool("gutterEnabled", true));
  }
  writeRaw("");
  ageDamagedCopies();
  const UserDefaults again(file());
  ASSERT_TRUE(again.loadProblem());
  EXPECT_FALSE(again.loadProblem()->keptBefore);
  EXPECT_EQ(damagedCopies().size(), 2u);
  EXPECT_TRUE(std::find(damagedCopies().begin(), damagedCopies().end(), again.loadProblem()->copy) !=
              damagedCopies().end());
}

// Another program's save or a hand edit is taken in by a reload, which names the keys that changed; this program's
// own saves are no change.
TEST_F(UserDefaultsTest, AReloadTakesInOtherProgramsChangesAndNotItsOwn) {
  UserDefaults d(file());
  EXPECT_TRUE(d.setInteger("autoLayoutEnabled", 1));
  EXPECT_TRUE(d.setBool("gutterEnabled", true));
  EXPECT_FALSE(d.fileMayHaveChanged()) << "its own saves";
  UserDefaults other(file());
  EXPECT_TRUE(other.setInteger("autoLayoutEnabled", 0));
  EXPECT_TRUE(d.fileMayHaveChanged());
  EXPECT_EQ(d.reload(), std::vector<std::string>{"autoLayoutEnabled"});
  EXPECT_EQ(d.integerForKey("autoLayoutEnabled"), 0);
  EXPECT_FALSE(d.fileMayHaveChanged());
  EXPECT_TRUE(d.reload().empty());

  // A save of this program takes in what another stored meanwhile: the program still hears of it.
  EXPECT_TRUE(other.setString("hand", "edit"));
  EXPECT_TRUE(d.setInteger("launchAtLogin", 1));
  EXPECT_TRUE(d.fileMayHaveChanged());
  EXPECT_EQ(d.reload(), std::vector<std::string>{"hand"});

  // A value of the wrong type written by hand is said again though it was said before.
  std::vector<std::string> wrong;
  d.setNotifier([&](const UserDefaults::Notice& n) { wrong.push_back(n.key); });
  EXPECT_TRUE(other.setString("gutterEnabled", "yes"));
  d.reload();
  EXPECT_EQ(d.storedBool("gutterEnabled"), std::nullopt);
  EXPECT_TRUE(other.setString("gutterEnabled", "no"));
  d.reload();
  d.storedBool("gutterEnabled");
  EXPECT_EQ(wrong, (std::vector<std::string>{"gutterEnabled", "gutterEnabled"}));

  // The file removed: every setting is at its default, as at a start without it.
  fs::remove(file());
  const std::vector<std::string> all = d.reload();
  EXPECT_EQ(all, (std::vector<std::string>{"autoLayoutEnabled", "gutterEnabled", "hand", "launchAtLogin"}));
  EXPECT_EQ(d.objectForKey("launchAtLogin"), std::nullopt);
}

// A settings file linked into a dotfiles folder: a save there (written aside and renamed over the target) and the
// link pointed at another file are both changes of the settings.
TEST_F(UserDefaultsTest, AReloadFollowsTheLinkedFileAndTheLinkItself) {
  const fs::path dotfiles = tempDir() / "dotfiles";
  fs::create_directories(dotfiles);
  fs::create_directories(file().parent_path());
  fs::create_symlink(dotfiles / "tilvane.plist", file());
  UserDefaults d(file());
  EXPECT_TRUE(d.setInteger("autoLayoutEnabled", 1));
  EXPECT_FALSE(d.fileMayHaveChanged());
  EXPECT_TRUE(UserDefaults(dotfiles / "tilvane.plist").setInteger("autoLayoutEnabled", 0));
  EXPECT_EQ(d.reload(), std::vector<std::string>{"autoLayoutEnabled"});
  EXPECT_TRUE(UserDefaults(dotfiles / "other.plist").setBool("gutterEnabled", true));
  fs::remove(file());
  fs::create_symlink(dotfiles / "other.plist", file());
  EXPECT_TRUE(d.fileMayHaveChanged());
  EXPECT_EQ(d.reload(), (std::vector<std::string>{"autoLayoutEnabled", "gutterEnabled"}));
}

// A save keeps the permissions of the file it replaces (the link's target for a link); a new file gets 0644 less
// the umask.
TEST_F(UserDefaultsTest, ASaveKeepsThePermissionsOfTheFileItReplaces) {
  struct Case {
    const char* name;
    std::optional<fs::perms> before;  // none: no file yet
    mode_t umask;
    bool linked;
    fs::perms after;
  };
  using P = fs::perms;
  const Case cases[] = {
      {"0644", P(0644), 022, false, P(0644)},
      {"0640 with a wide umask", P(0640), 0, false, P(0640)},
      {"0600", P(0600), 022, false, P(0600)},
      {"a link's target 0604", P(0604), 077, true, P(0604)},
      {"new, umask 022", std::nullopt, 022, false, P(0644)},
      {"new, umask 027", std::nullopt, 027, false, P(0640)},
      {"new, umask 002: never writable by the group", std::nullopt, 002, false, P(0644)},
  };
  const fs::path target = tempDir() / "dotfiles" / "tilvane.plist";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(file().parent_path());
    fs::remove_all(target.parent_path());
    fs::create_directories(file().parent_path());
    fs::create_directories(target.parent_path());
    const fs::path real = c.linked ? target : file();
    if (c.linked) fs::create_symlink(target, file());
    if (c.before) {
      std::ofstream(real) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>";
      fs::permissions(real, *c.before);
    }
    const mode_t previous = ::umask(c.umask);
    UserDefaults d(file());
    const bool saved = d.setInteger("autoLayoutEnabled", 0);
    ::umask(previous);
    ASSERT_TRUE(saved);
    EXPECT_EQ(fs::status(real).permissions(), c.after);
    EXPECT_EQ(fs::is_symlink(file()), c.linked);
  }
}

// A save killed between its write and its rename leaves its temporary copy; the next save removes it, beside the
// file or its link's target, and nothing else.
TEST_F(UserDefaultsTest, TheNextSaveRemovesTemporaryFilesAnInterruptedSaveLeft) {
  const fs::path target = tempDir() / "dotfiles" / "tilvane.plist";
  for (const fs::path& real : {file(), target}) {
    SCOPED_TRACE(real);
    fs::remove_all(file().parent_path());
    fs::remove_all(target.parent_path());
    fs::create_directories(file().parent_path());
    fs::create_directories(target.parent_path());
    if (real != file()) fs::create_symlink(target, file());
    const std::string name = real.filename().string();
    const std::vector<std::string> left{name + ".saving-Ab3xZ9", name + ".saving-000000"};
    const std::vector<std::string> others{name + ".backup", name + ".saving-toolong1", name + ".saving-abc",
                                          name + ".damaged-20261209-120000", "other.saving-Ab3xZ9"};
    for (const auto& n : left) std::ofstream(real.parent_path() / n) << "whole copy";
    for (const auto& n : others) std::ofstream(real.parent_path() / n) << "the user's";
    UserDefaults d(file());
    ASSERT_TRUE(d.setInteger("autoLayoutEnabled", 0));
    for (const auto& n : left) EXPECT_FALSE(fs::exists(real.parent_path() / n)) << n;
    for (const auto& n : others) EXPECT_TRUE(fs::exists(real.parent_path() / n)) << n;
  }
}

// A settings file kept elsewhere (a dotfiles folder) and linked: a save replaces the file the link points to.
TEST_F(UserDefaultsTest, ALinkedSettingsFileStaysALinkAndItsTargetTakesEveryChange) {
  const fs::path dotfiles = tempDir() / "dotfiles";
  const std::pair<const char*, fs::path> links[] = {{"relative", "../../dotfiles/tilvane.plist"},
                                                    {"to a link", dotfiles / "link.plist"}};
  for (const auto& [name, link] : links) {
    SCOPED_TRACE(name);
    fs::remove_all(file().parent_path());
    fs::remove_all(dotfiles);
    fs::create_directories(dotfiles);
    fs::create_directories(file().parent_path());
    std::ofstream(dotfiles / "tilvane.plist") << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>"
                                                 "gutterEnabled</key><true/></dict></plist>";
    fs::create_symlink("tilvane.plist", dotfiles / "link.plist");
    fs::create_symlink(link, file());
    UserDefaults d(file());
    EXPECT_TRUE(d.setInteger("launchAtLogin", 1));
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(fs::read_symlink(file()), link);
    const UserDefaults target(dotfiles / "tilvane.plist");
    EXPECT_EQ(target.objectForKey("launchAtLogin"), Value(1));
    EXPECT_EQ(target.objectForKey("gutterEnabled"), Value(true));
    EXPECT_EQ(folderEntries(), kFileAndLock) << "nothing left beside the link";
  }
  // A loop of links is never replaced.
  fs::remove(file());
  fs::create_symlink(file(), file());
  UserDefaults loop(file());
  EXPECT_FALSE(loop.setInteger("launchAtLogin", 1));
  EXPECT_TRUE(fs::is_symlink(file()));
}

// Each program keeps its defaults in memory; a save takes the file as it is now and changes one key in it.
TEST_F(UserDefaultsTest, ProgramsSharingTheFileNeverWriteBackEachOthersOlderValues) {
  UserDefaults first(file());
  UserDefaults second(file());
  EXPECT_TRUE(first.setInteger("autoLayoutEnabled", 0));
  EXPECT_TRUE(second.setBool("gutterEnabled", true));
  EXPECT_EQ(second.integerForKey("autoLayoutEnabled"), 0) << "the file's values are taken with each save";
  EXPECT_TRUE(first.removeObjectForKey("gutterEnabled"));
  EXPECT_TRUE(second.setObject("layoutShortcut", Value(Dictionary{{"keyCode", Value(37)}})));
  const UserDefaults reread(file());
  EXPECT_EQ(reread.objectForKey("autoLayoutEnabled"), Value(0));
  EXPECT_EQ(reread.objectForKey("gutterEnabled"), std::nullopt);
  EXPECT_EQ(reread.objectForKey("layoutShortcut"), Value(Dictionary{{"keyCode", Value(37)}}));

}

// Root reads and writes anything: the settings are used by user nobody, owning the test's folders.
TEST_F(UserDefaultsTest, AFileOrFolderThatCannotBeReadGivesDefaultsAndIsNeverReplaced) {
  const std::string original = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>hideInMenuBar</key>"
                               "<integer>1</integer></dict></plist>";
  for (const bool folder : {false, true}) {
    SCOPED_TRACE(folder ? "folder that cannot be searched" : "file that cannot be read");
    writeRaw(original);
    const fs::path locked = folder ? file().parent_path() : file();
    fs::permissions(locked, fs::perms::none);
    const int code = test::runAsNobody(tempDir(), [&] {
      UserDefaults d(file());
      if (d.integerForKey("hideInMenuBar") != 0) return 1;
      if (!log_.contains("cannot read the settings")) return 2;
      if (d.storedInteger("hideInMenuBar")) return 3;
      // What it holds was never seen, so it is not replaced: the change is refused, and not kept either.
      if (d.setInteger("launchAtLogin", 1) || d.integerForKey("launchAtLogin") != 0) return 4;
      return log_.contains("cannot save the settings") ? 0 : 5;
    });
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(code, 0) << "1: a value was read, 2: nothing logged, 3: the key is taken as known, 4: the change was "
                          "taken, 5: the refusal was not said, 122: an exception escaped";
    EXPECT_EQ(test::readFile(file()), original);
  }
}

// A FIFO without a writer where the settings file belongs: an open that waits for a writer would hang the program's
// start before any window. Read in a child, so that a reader that blocks fails the test rather than hanging it.
TEST_F(UserDefaultsTest, AFifoInPlaceOfTheFileNeitherBlocksNorIsReplaced) {
  fs::create_directories(file().parent_path());
  ASSERT_EQ(mkfifo(file().c_str(), 0600), 0);
  const pid_t child = fork();
  if (child == 0) {
    UserDefaults d(file());
    const bool refused = !d.setInteger("launchAtLogin", 1) && log_.contains("cannot save the settings");
    _exit(d.integerForKey("hideInMenuBar") == 0 && log_.contains("cannot read the settings") && refused ? 0 : 1);
  }
  int status = -1;
  for (int step = 0; step < 500 && waitpid(child, &status, WNOHANG) == 0; ++step) usleep(10000);
  if (!WIFEXITED(status)) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "reading the settings blocked";
  }
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a value was read, or the FIFO was replaced or not said";
  EXPECT_TRUE(fs::is_fifo(file()));
}

// A change that cannot be saved is not kept: what is read is what is stored.
TEST_F(UserDefaultsTest, AChangeThatCannotBeSavedIsRefusedAndTheNextOneIsSavedOnceItCanBe) {
  const std::pair<const char*, std::function<void()>> blocks[] = {
      {"folder in place of the file", [this] { fs::create_directories(file() / "inside"); }},
      {"file in place of the folder",
       [this] {
         fs::create_directories(file().parent_path().parent_path());
         std::ofstream(file().parent_path()) << "a file where the settings folder belongs";
       }}};
  for (const auto& [name, block] : blocks) {
    SCOPED_TRACE(name);
    fs::remove_all(file().parent_path());
    block();
    log_.clear();
    UserDefaults d(file());
    EXPECT_NO_THROW(EXPECT_FALSE(d.setInteger("autoLayoutEnabled", 0)));
    EXPECT_TRUE(log_.contains("cannot save the settings"));
    EXPECT_EQ(d.objectForKey("autoLayoutEnabled"), std::nullopt);
    fs::remove_all(file().parent_path());
    EXPECT_TRUE(d.setInteger("autoLayoutEnabled", 0));
    EXPECT_EQ(UserDefaults(file()).objectForKey("autoLayoutEnabled"), Value(0));
  }
}

TEST_F(UserDefaultsTest, EntriesOfForeignTypesAreSkipped) {
  writeRaw("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>when</key><date>2024-03-05T12:00:00Z</date>"
           "<key>hideInMenuBar</key><integer>1</integer></dict></plist>");
  const UserDefaults d(file());
  EXPECT_EQ(d.objectForKey("when"), std::nullopt);
  EXPECT_EQ(d.integerForKey("hideInMenuBar"), 1);
  EXPECT_EQ(log_.lines().size(), 0u);
}

// What a reader of the format would refuse is never written: a file other programs read stays well-formed.
bool xmllintAccepts(const fs::path& file) {
  const std::string command = "xmllint --noout '" + file.string() + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

TEST_F(UserDefaultsTest, TextAnXmlFileCannotHoldIsRefusedAndTheFileStaysWellFormed) {
  UserDefaults& d = UserDefaults::standard();
  d.setString("kept", "tab\tline\n \xF0\x9F\x94\xB4");
  const std::pair<std::string, Value> refused[] = {
      {std::string("remoteNotification-\x01\x02\x1b[31m"), Value("read")},
      {std::string("nul\0cut", 7), Value("read")},
      {"controlValue", Value(std::string("a\x07" "b"))},
      {"badUtf8", Value(std::string("\xC0\xAF"))},
      {"nonCharacter", Value(std::string("\xEF\xBF\xBF"))},
      {"nested", Value(Array{Value(1), Value(Dictionary{{"k\x1f", Value(1)}})})},
  };
  for (const auto& [key, value] : refused) {
    log_.clear();
    d.setObject(key, value);
    EXPECT_EQ(d.objectForKey(key), std::nullopt) << key;
    EXPECT_TRUE(log_.contains("a setting was not saved")) << key;
  }
  EXPECT_EQ(d.objectForKey("nul"), std::nullopt) << "a key cut at its NUL";
  EXPECT_TRUE(xmllintAccepts(file())) << test::readFile(file());
  EXPECT_EQ(UserDefaults(file()).stringForKey("kept"), "tab\tline\n \xF0\x9F\x94\xB4");

  // A binary file may hold anything; such an entry is not carried into the XML written at the next change.
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "bell\x07", plist_new_string("x"));
  plist_dict_set_item(root, "hideInMenuBar", plist_new_uint(1));
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root, &bytes, &length);
  writeRaw(std::string(bytes, length));
  plist_to_bin_free(bytes);
  plist_free(root);
  UserDefaults binary(file());
  binary.setInteger("autoLayoutEnabled", 1);
  EXPECT_TRUE(xmllintAccepts(file())) << test::readFile(file());
  EXPECT_EQ(UserDefaults(file()).integerForKey("hideInMenuBar"), 1);
}

}  // namespace
}  // namespace tilvane::defaults
