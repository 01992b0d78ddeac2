// The file watch on real files, its notifications delivered by the virtual main loop: every way a settings file is
// written, replaced, removed, linked or has its folder moved is told; what happens to other files is not. How a
// link on a folder of the path changes is in the settings' table of links (tests/tilvane/Shell).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/filewatch/FileWatch.h"
#include "support/TestEnvironment.h"

namespace tilvane::filewatch {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
void run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

/// Where a case works: the settings file in its folder, and a dotfiles folder beside.
struct Paths {
  fs::path temp;
  fs::path folder() const { return temp / "config" / "Tilvane"; }
  fs::path file() const { return folder() / "defaults.plist"; }
  fs::path dotfiles() const { return temp / "dotfiles"; }
  fs::path tempDir() const { return temp; }
};

class FileWatchTest : public test::WorldTest {
 protected:
  fs::path folder() const { return Paths{tempDir()}.folder(); }
  fs::path file() const { return Paths{tempDir()}.file(); }
  fs::path dotfiles() const { return Paths{tempDir()}.dotfiles(); }
  /// Whether the watch said a change since the last call.
  bool told() {
    loop().notifyReadableWatched();
    drain();
    const bool any = changes_ > 0;
    changes_ = 0;
    return any;
  }

  int changes_ = 0;
};

struct Step {
  const char* what;
  std::function<void(const Paths&)> act;
  bool told;
};
struct Case {
  const char* name;
  bool linked;  // the settings file is a link to dotfiles/tilvane.plist
  std::vector<Step> steps;
};

TEST_F(FileWatchTest, EveryWayOfChangingTheFileIsToldAndOtherFilesAreNot) {
  using T = Paths;
  const std::string q = "'";
  const auto f = [](const T& t) { return t.file().string(); };
  const std::vector<Case> cases = {
      {"written in place (a shell's >, an editor writing in place)",
       false,
       {{"truncated", [](const T& t) { write(t.file(), ""); }, true},
        {"first half", [](const T& t) { std::ofstream(t.file(), std::ios::app) << "<plist>"; }, true},
        {"second half", [](const T& t) { std::ofstream(t.file(), std::ios::app) << "</plist>"; }, true}}},
      {"sed -i", false, {{"sed", [&](const T& t) { run("sed -i s/a/b/ " + q + f(t) + q); }, true}}},
      {"written aside and renamed over it (an editor, this program)",
       false,
       {{"written aside", [](const T& t) { write(t.folder() / "defaults.plist.swp", "new"); }, false},
        {"renamed", [](const T& t) { fs::rename(t.folder() / "defaults.plist.swp", t.file()); }, true}}},
      {"moved to a backup and written anew (an editor's backup)",
       false,
       {{"moved", [](const T& t) { fs::rename(t.file(), t.folder() / "defaults.plist~"); }, true},
        {"written", [](const T& t) { write(t.file(), "new"); }, true}}},
      {"cp and mv from elsewhere, touched",
       false,
       {{"cp",
         [&](const T& t) {
           write(t.tempDir() / "x", "x");
           run("cp " + q + (t.tempDir() / "x").string() + q + " " + q + f(t) + q);
         },
         true},
        {"mv",
         [&](const T& t) {
           write(t.tempDir() / "y", "y");
           run("mv " + q + (t.tempDir() / "y").string() + q + " " + q + f(t) + q);
         },
         true},
        {"touch", [&](const T& t) { run("touch -d '2020-01-01' " + q + f(t) + q); }, true}}},
      {"removed and written back",
       false,
       {{"removed", [](const T& t) { fs::remove(t.file()); }, true},
        {"written back", [](const T& t) { write(t.file(), "back"); }, true}}},
      {"the folder moved away and back, then written",
       false,
       {{"moved away", [](const T& t) { fs::rename(t.folder(), t.tempDir() / "away"); }, true},
        {"written while away", [](const T& t) { write(t.tempDir() / "away" / "defaults.plist", "away"); }, false},
        {"moved back", [](const T& t) { fs::rename(t.tempDir() / "away", t.folder()); }, true},
        {"written", [](const T& t) { write(t.file(), "again"); }, true}}},
      {"the folder removed and made again, its parent moved away and back",
       false,
       {{"removed", [](const T& t) { fs::remove_all(t.folder()); }, true},
        {"made again", [](const T& t) { fs::create_directories(t.folder()); }, true},
        {"written", [](const T& t) { write(t.file(), "new"); }, true},
        {"parent moved away", [](const T& t) { fs::rename(t.tempDir() / "config", t.tempDir() / "c"); }, true},
        {"parent moved back", [](const T& t) { fs::rename(t.tempDir() / "c", t.tempDir() / "config"); }, true},
        {"written", [](const T& t) { write(t.file(), "newer"); }, true}}},
      {"a link: its target written and replaced, the link pointed elsewhere",
       true,
       {{"target written", [](const T& t) { write(t.dotfiles() / "tilvane.plist", "in place"); }, true},
        {"target replaced",
         [](const T& t) {
           write(t.dotfiles() / "new", "renamed");
           fs::rename(t.dotfiles() / "new", t.dotfiles() / "tilvane.plist");
         },
         true},
        {"link pointed elsewhere",
         [](const T& t) {
           fs::create_directories(t.tempDir() / "other");
           write(t.tempDir() / "other" / "o.plist", "other");
           fs::remove(t.file());
           fs::create_symlink(t.tempDir() / "other" / "o.plist", t.file());
         },
         true},
        {"the old target written", [](const T& t) { write(t.dotfiles() / "tilvane.plist", "old"); }, false},
        {"the new target written", [](const T& t) { write(t.tempDir() / "other" / "o.plist", "new"); }, true}}},
      {"the folder a link: re-pointed, the old target let go, names beside the link not told",
       false,
       {{"made a link to dotfiles/A",
         [](const T& t) {
           fs::remove_all(t.folder());
           fs::create_directories(t.dotfiles() / "A");
           fs::create_directories(t.dotfiles() / "B");
           fs::create_symlink("../dotfiles/A", t.folder());
         },
         true},
        {"a file beside the link", [](const T& t) { write(t.tempDir() / "config" / "other.conf", "x"); }, false},
        {"re-pointed with ln -sfn",
         [&](const T& t) { run("ln -sfn ../dotfiles/B " + q + t.folder().string() + q); }, true},
        {"the old target written", [](const T& t) { write(t.dotfiles() / "A" / "defaults.plist", "a"); }, false},
        {"the new target written", [](const T& t) { write(t.dotfiles() / "B" / "defaults.plist", "b"); }, true}}},
      {"a loop of links, then mended",
       false,
       {{"the folder a link into a loop",
         [](const T& t) {
           fs::remove_all(t.folder());
           fs::create_symlink("Loop", t.folder());
           fs::create_symlink("Tilvane", t.tempDir() / "config" / "Loop");
         },
         true},
        {"the loop's other link pointed at a folder",
         [](const T& t) {
           fs::remove(t.tempDir() / "config" / "Loop");
           fs::create_symlink("../dotfiles", t.tempDir() / "config" / "Loop");
         },
         true},
        {"written", [](const T& t) { write(t.dotfiles() / "defaults.plist", "new"); }, true}}},
      {"other files",
       false,
       {{"the lock and a copy beside it",
         [](const T& t) {
           write(t.folder() / "defaults.plist.lock", "");
           write(t.folder() / "defaults.plist.damaged-20260101-000000", "x");
         },
         false},
        {"a file in the parent folder", [](const T& t) { write(t.tempDir() / "config" / "other.conf", "x"); },
         false},
        {"a folder made beside", [](const T& t) { fs::create_directories(t.tempDir() / "config" / "Other"); },
         false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(tempDir() / "config");
    fs::remove_all(dotfiles());
    fs::remove_all(tempDir() / "other");
    fs::create_directories(folder());
    fs::create_directories(dotfiles());
    write(c.linked ? dotfiles() / "tilvane.plist" : file(), "<plist>a</plist>");
    if (c.linked) fs::create_symlink(dotfiles() / "tilvane.plist", file());
    std::string error;
    const auto watch = watchFile(
        file(), [this] { ++changes_; }, error);
    ASSERT_TRUE(watch) << error;
    EXPECT_FALSE(told()) << "told before anything happened";
    for (const Step& step : c.steps) {
      step.act(Paths{tempDir()});
      EXPECT_EQ(told(), step.told) << step.what;
    }
  }
}

// The watch ends with its object: a change after it is told to nobody, and nothing is left on the loop.
TEST_F(FileWatchTest, EndsWithItsObject) {
  fs::create_directories(folder());
  std::string error;
  auto watch = watchFile(
      file(), [this] { ++changes_; }, error);
  ASSERT_TRUE(watch) << error;
  watch.reset();
  write(file(), "new");
  EXPECT_FALSE(told());
  EXPECT_EQ(loop().notifyReadableWatched(), 0u);
}

}  // namespace
}  // namespace tilvane::filewatch
