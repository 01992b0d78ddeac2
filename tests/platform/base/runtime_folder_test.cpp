// The runtime folder holds the instance socket and lock: another user who can enter or replace it could take
// the program's messages, so only a folder private to this user is used.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/base/XdgPaths.h"
#include "support/TestEnvironment.h"

namespace tilvane::xdg {
namespace {

namespace fs = std::filesystem;

// Built piece by piece: g++ 12 warns falsely on "x" + std::string temporaries.
std::string quoted(const fs::path& folder) {
  std::string text = "\"";
  text.append(folder.string()).append("\"");
  return text;
}

class RuntimeFolderTest : public ::testing::Test {
 protected:
  RuntimeFolderTest() { fs::create_directories(temporary()); }
  fs::path given() const { return temp_.path() / "run"; }
  fs::path temporary() const { return temp_.path() / "tmp"; }
  fs::path fallback() const { return temporary() / ("tilvane-" + std::to_string(getuid())); }
  void make(const fs::path& folder, mode_t mode) const {
    fs::create_directories(folder);
    ASSERT_EQ(chmod(folder.c_str(), mode), 0);
  }

  test::ScopedTempDir temp_;
  test::ScopedEnv runtime_{"XDG_RUNTIME_DIR", given().string()};
  test::ScopedEnv tmp_{"TMPDIR", temporary().string()};
};

TEST_F(RuntimeFolderTest, APrivateFolderIsUsedAndAMissingOneIsMadePrivate) {
  const RuntimeFolder missing = runtimeFolder();
  EXPECT_EQ(missing.path, given());
  EXPECT_EQ(missing.problem, "");
  struct stat info {};
  ASSERT_EQ(stat(given().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_EQ(runtimeFolder().path, given());
}

TEST_F(RuntimeFolderTest, AFolderOthersCanEnterOrReplaceIsPassedOverAndNamed) {
  struct Case {
    const char* name;
    mode_t mode;
    const char* says;
  };
  for (const Case& c : {Case{"world-writable", 01777, "mode 1777, not 0700"}, Case{"group-readable", 0750, "mode 0750"},
                        Case{"shut", 0500, "mode 0500"}}) {
    SCOPED_TRACE(c.name);
    make(given(), c.mode);
    const RuntimeFolder folder = runtimeFolder();
    EXPECT_EQ(folder.path, fallback());
    EXPECT_NE(folder.problem.find(quoted(given()) + " is not a private folder of this user (" + c.says),
              std::string::npos)
        << folder.problem;
    EXPECT_NE(folder.problem.find("using " + fallback().string()), std::string::npos) << folder.problem;
    fs::remove(given());
  }

  // A link to a private folder: whoever owns the link's folder could point it elsewhere.
  make(temp_.path() / "private", 0700);
  fs::create_directory_symlink(temp_.path() / "private", given());
  EXPECT_EQ(runtimeFolder().path, fallback());
  EXPECT_NE(runtimeFolder().problem.find("not a folder"), std::string::npos);
}

TEST_F(RuntimeFolderTest, AFolderOfAnotherUserIsPassedOver) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a folder away";
  make(given(), 0700);
  ASSERT_EQ(chown(given().c_str(), 65534, 65534), 0);
  const RuntimeFolder folder = runtimeFolder();
  EXPECT_EQ(folder.path, fallback());
  EXPECT_NE(folder.problem.find("owned by user 65534"), std::string::npos) << folder.problem;
}

TEST_F(RuntimeFolderTest, NoSafePlaceGivesNoFolderAndSaysWhy) {
  make(given(), 0777);
  make(fallback(), 0755);  // found so: not ours to tighten
  const RuntimeFolder folder = runtimeFolder();
  EXPECT_TRUE(folder.path.empty());
  EXPECT_NE(folder.problem.find(quoted(given())), std::string::npos) << folder.problem;
  EXPECT_NE(folder.problem.find(quoted(fallback()) + " is not a private folder"), std::string::npos)
      << folder.problem;
  EXPECT_TRUE(runtimeDir().empty());

  const test::ScopedEnv unset("XDG_RUNTIME_DIR", std::nullopt);
  EXPECT_NE(runtimeFolder().problem.find(fallback().string()), std::string::npos);
}

}  // namespace
}  // namespace tilvane::xdg
