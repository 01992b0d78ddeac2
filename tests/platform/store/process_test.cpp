#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "platform/store/Database.h"
#include "platform/store/RawSql.h"
#include "platform/store/TestModels.h"
#include "support/TestEnvironment.h"

namespace tilvane::store::test {
namespace {

struct ProbeResult {
  int status = -1;
  std::string output;
};

// Runs the store_probe helper in a process of its own.
ProbeResult probe(const std::string& arguments) {
  ProbeResult result;
  FILE* pipe = popen((std::string(STORE_PROBE) + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer{};
  while (const auto n = std::fread(buffer.data(), 1, buffer.size(), pipe)) result.output.append(buffer.data(), n);
  result.status = pclose(pipe);
  return result;
}

class ProcessTest : public ::testing::Test {
 protected:
  std::filesystem::path file() const { return temp_.path() / "shared.sqlite"; }
  std::string list() const { return probe("list " + file().string()).output; }

 private:
  tilvane::test::ScopedTempDir temp_;
};

TEST_F(ProcessTest, AnotherProcessSeesOnlyCommittedWritesAndItsWritesReachLiveObjects) {
  auto db = Database::open(notesConfiguration(file()));
  auto a = std::make_shared<Note>();
  a->setId("a");
  db->write([&] { db->add(a); });
  db->beginWrite();
  a->setText("uncommitted");
  EXPECT_EQ(list(), "a|untitled|7\n");  // the reader is not blocked by the open write and does not see it
  db->commitWrite();
  EXPECT_EQ(list(), "a|uncommitted|7\n");

  ASSERT_EQ(probe("put " + file().string() + " a changed").status, 0);
  ASSERT_EQ(probe("put " + file().string() + " c new").status, 0);
  const auto notes = db->objects<Note>();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0], a);
  EXPECT_EQ(a->text(), "changed");
  EXPECT_EQ(notes[1]->text(), "new");
}

TEST_F(ProcessTest, AWriterKilledMidTransactionLeavesTheLastCommittedState) {
  const auto result = probe("crash " + file().string());
  ASSERT_TRUE(WIFSIGNALED(result.status) || (WIFEXITED(result.status) && WEXITSTATUS(result.status) == 128 + 9))
      << result.status << " " << result.output;
  EXPECT_EQ(querySql(file(), "PRAGMA integrity_check"), "ok");
  auto db = Database::open(notesConfiguration(file()));
  const auto notes = db->objects<Note>();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0]->text(), "1");
  db->write([&] { notes[0]->setText("writable again"); });
  EXPECT_EQ(list(), "committed|writable again|7\n");
}

}  // namespace
}  // namespace tilvane::store::test
