#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <stdexcept>

#include "crashreporting/platform/FileClaims.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/platform/SerialQueue.h"
#include "crashreporting/platform/SystemLog.h"
#include "support/TestEnvironment.h"

namespace crashreporting {
namespace {

namespace fs = std::filesystem;
using Status = FileContents::Status;

TEST(FileContentsTest, ReadErrorsAreToldApartFromEmptyFilesAndNothingBlocks) {
  const tilvane::test::ScopedTempDir temp;
  const fs::path dir = temp.path();
  std::ofstream(dir / "text") << "bytes";
  std::ofstream(dir / "empty");
  fs::create_directory(dir / "folder");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // no writer: an open that waits for one never returns
  fs::create_symlink(dir / "folder", dir / "link");
  struct Case {
    fs::path path;
    std::size_t maxBytes;
    Status status;
    std::string bytes;
    std::string error;
  };
  for (const Case& c : {
           Case{dir / "text", 100, Status::ok, "bytes", ""},
           Case{dir / "empty", 100, Status::ok, "", ""},
           Case{dir / "missing", 100, Status::absent, "", ""},
           Case{dir / "text" / "below", 100, Status::absent, "", ""},
           Case{dir / "folder", 100, Status::unreadable, "", "Is a directory"},
           Case{dir / "link", 100, Status::unreadable, "", "Is a directory"},
           Case{dir / "fifo", 100, Status::unreadable, "", "Not a regular file"},
           Case{dir / "text", 4, Status::unreadable, "", "Larger than 4 bytes"},
           // A regular file whose first read fails as a disk's would.
           Case{"/proc/self/mem", 100, Status::unreadable, "", "Input/output error"},
       }) {
    SCOPED_TRACE(c.path.string());
    const FileContents read = readFileContents(c.path, c.maxBytes);
    EXPECT_EQ(read.status, c.status);
    EXPECT_EQ(read.bytes, c.bytes);
    EXPECT_EQ(read.error, c.error);
    EXPECT_EQ(isReadableRegularFile(c.path), c.status == Status::ok || c.maxBytes == 4 || c.path == "/proc/self/mem");
  }
}

/// Holds claims from outside this process: a child that locks the names' bytes and lives until told to end.
class OtherProcess {
 public:
  OtherProcess(const fs::path& lockFile, std::initializer_list<std::string_view> names) {
    int ready[2];
    if (pipe(ready) != 0 || pipe(end_) != 0) return;
    std::vector<off_t> bytes;
    for (const auto name : names) bytes.push_back(FileClaims::byteOf(name));
    pid_ = fork();
    if (pid_ == 0) {
      // Only system calls from here: other threads of the test may have held a lock at the fork. The pipes of
      // other such children are closed, so that each of them ends when told.
      for (int other = 3; other < 1024; ++other)
        if (other != ready[1] && other != end_[0]) close(other);
      const int fd = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      for (const off_t byte : bytes) {
        struct flock range {};
        range.l_type = F_WRLCK;
        range.l_whence = SEEK_SET;
        range.l_start = byte;
        range.l_len = 1;
        if (fd < 0 || fcntl(fd, F_OFD_SETLK, &range) != 0) _exit(1);
      }
      char done = 1;
      if (write(ready[1], &done, 1) != 1 || read(end_[0], &done, 1) < 0) _exit(1);
      _exit(0);
    }
    close(ready[1]);
    close(end_[0]);
    char done = 0;
    holding_ = read(ready[0], &done, 1) == 1;
    close(ready[0]);
  }
  ~OtherProcess() { end(); }
  bool holding() const { return holding_; }
  void end() {
    if (pid_ <= 0) return;
    close(end_[1]);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int end_[2] = {-1, -1};
  bool holding_ = false;
};

TEST(FileClaimsTest, ANameHeldByAnotherProcessIsRefusedUntilThatProcessEnds) {
  const tilvane::test::ScopedTempDir temp;
  const FileClaims claims(temp.path() / ".claims");
  ProcessShared::resetAll();
  ASSERT_TRUE(claims.claim("mine"));
  ASSERT_TRUE(claims.claim("mine"));  // a second claim of one's own holds

  OtherProcess other(claims.lockFile(), {"theirs"});
  ASSERT_TRUE(other.holding()) << "the other process could not claim what this one does not hold";
  EXPECT_FALSE(claims.claim("theirs"));
  EXPECT_TRUE(claims.claim("free"));
  EXPECT_FALSE(OtherProcess(claims.lockFile(), {"mine"}).holding());
  claims.release("mine");
  OtherProcess next(claims.lockFile(), {"mine"});
  EXPECT_TRUE(next.holding()) << "a released claim is free for others";

  other.end();
  EXPECT_TRUE(claims.claim("theirs")) << "a claim of a process that ended is free";
  ProcessShared::resetAll();  // this process's claims end with their descriptor, as at exit
  OtherProcess after(claims.lockFile(), {"theirs", "free"});
  EXPECT_TRUE(after.holding());
}

// A lock file that cannot be used would turn claims off in every process: it is set aside and made anew, and where
// none can be had at all the claims are refused, said once.
TEST(FileClaimsTest, ALockFileThatCannotBeUsedIsSetAsideAndMadeAnewOrEveryClaimIsRefused) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& lockFile)> damage;
    bool claimable;
    const char* logged;
  };
  const std::vector<Case> cases = {
      {"no folder yet", [](const fs::path&) {}, true, nullptr},
      {"a folder", [](const fs::path& file) { fs::create_directories(file / "inside"); }, true, "cannot be used"},
      {"a FIFO", [](const fs::path& file) { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }, true, "cannot be used"},
      {"a link to a folder",
       [](const fs::path& file) {
         fs::create_directory(file.parent_path() / "elsewhere");
         fs::create_directory_symlink(file.parent_path() / "elsewhere", file);
       },
       true, "cannot be used"},
      {"a file where its folder belongs",
       [](const fs::path& file) { std::ofstream(file.parent_path().string()) << "not a folder"; }, false,
       "No claims can be had in '"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const tilvane::test::ScopedTempDir temp;
    const fs::path lockFile = temp.path() / "store" / ".claims";
    if (c.claimable && c.logged) fs::create_directories(lockFile.parent_path());
    c.damage(lockFile);
    ProcessShared::resetAll();
    const SystemLog::Capture log;
    const FileClaims claims(lockFile);
    EXPECT_EQ(claims.claim("a"), c.claimable);
    EXPECT_EQ(claims.claim("b"), c.claimable);
    std::size_t said = 0;
    for (const auto& line : log.lines()) said += line.find(lockFile.string()) != std::string::npos;
    EXPECT_EQ(said, c.logged ? 1u : 0u) << "said once, naming the file";
    if (c.logged) {
      EXPECT_NE(log.lines().at(0).find(c.logged), std::string::npos) << log.lines().at(0);
    }
    if (c.claimable) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(lockFile)));
      EXPECT_FALSE(OtherProcess(lockFile, {"a"}).holding()) << "the claims are in the file others use";
    }
  }
  ProcessShared::resetAll();
}

/// While it lives, opening a file fails with "too many open files": the soft limit is lowered and what is left
/// below it filled.
class OutOfDescriptors {
 public:
  OutOfDescriptors() {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = 64;
    setrlimit(RLIMIT_NOFILE, &lowered);
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) filled_.push_back(fd);
  }
  ~OutOfDescriptors() {
    for (const int fd : filled_) close(fd);
    setrlimit(RLIMIT_NOFILE, &saved_);
  }
  OutOfDescriptors(const OutOfDescriptors&) = delete;
  OutOfDescriptors& operator=(const OutOfDescriptors&) = delete;

 private:
  rlimit saved_{};
  std::vector<int> filled_;
};

// A passing error says nothing about the claims file: setting it aside would replace the file whose locks the
// other copies hold, and two claims files would be in use at once.
TEST(FileClaimsTest, APassingErrorOpeningTheClaimsFileRefusesThatClaimAloneAndTheFileStays) {
  const tilvane::test::ScopedTempDir temp;
  const FileClaims claims(temp.path() / ".claims");
  std::ofstream(claims.lockFile()).flush();
  struct stat before {};
  ASSERT_EQ(stat(claims.lockFile().c_str(), &before), 0);
  ProcessShared::resetAll();
  const SystemLog::Capture log;
  {
    const OutOfDescriptors full;
    EXPECT_FALSE(claims.claim("a"));
  }
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("'" + claims.lockFile().string() + "' cannot be opened now (Too many open files)"),
            std::string::npos)
      << log.lines()[0];
  struct stat after {};
  ASSERT_EQ(stat(claims.lockFile().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the claims file was set aside";
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), fs::directory_iterator()), 1);
  EXPECT_TRUE(claims.claim("a")) << "the next claim tries again";
  EXPECT_FALSE(OtherProcess(claims.lockFile(), {"a"}).holding()) << "the claims are in the file others use";
  ProcessShared::resetAll();
}

// A child forked without exec shares the descriptions that hold its parent's claims: it must neither keep them
// while it lives nor drop them by a release of its own.
TEST(FileClaimsTest, AForkedChildNeitherHoldsNorReleasesItsParentsClaims) {
  const tilvane::test::ScopedTempDir temp;
  const FileClaims claims(temp.path() / ".claims");
  ProcessShared::resetAll();
  ASSERT_TRUE(claims.claim("parent's"));
  const pid_t child = fork();
  if (child == 0) {
    const bool claimed = claims.claim("parent's");  // the parent holds it: not the child's
    claims.release("parent's");
    _exit(claimed ? 1 : 0);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child took its parent's claim for its own";
  EXPECT_FALSE(OtherProcess(claims.lockFile(), {"parent's"}).holding()) << "a child's release dropped the claim";
  ProcessShared::resetAll();
}

TEST(GuardedTest, AnExceptionOfAQueueTaskEndsThereWithALineAndTheQueueGoesOn) {
  const SystemLog::Capture log;
  SerialQueue queue("com.zizozu.test.guarded");
  queue.async([] { throw std::runtime_error("Is a directory"); });
  bool ran = false;
  queue.sync([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(log.count("[Zizozu] A task of com.zizozu.test.guarded failed: Is a directory"), 1u);
}

}  // namespace
}  // namespace crashreporting
