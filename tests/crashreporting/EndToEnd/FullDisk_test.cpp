#include <map>
#include <string>

#include "crashreporting/EndToEnd/EndToEnd.h"

// Events logged while no file can grow (a full disk, played by the host's file size limit) are kept, not counted
// as written: each reaches the server once there is room.

namespace crashreporting::test {
namespace {

using tilvane::test::occurrences;

// The host's own output is a file too: room is made before the run ends, so that what it says is kept.
TEST_F(EndToEnd, EventsLoggedWhileTheDiskIsFullAreSentOnceThereIsRoom) {
  fs::create_directories(settingsFile().parent_path());
  std::ofstream(settingsFile()) << R"({"analytics":{"url":")" << server_.url("/events") << R"("}})";
  server_.setReply("/events", tilvane::test::ScriptedReply::ok("{}"));
  const std::map<std::string, std::string> noDownload = {{"SettingsEndpoint", "http://127.0.0.1:9"}};
  struct Case {
    const char* tag;
    int after;  // events logged once there is room again; none leaves the kept ones to the exit
  };
  for (const Case c : {Case{"room", 20}, Case{"exit", 0}}) {
    SCOPED_TRACE(c.tag);
    const std::string prefix = std::string(c.tag) + "-";
    std::vector<std::string> steps = {"start",    "wait:300", "events:" + prefix + "before:10",
                                      "wait:200", "fsize:0",  "events:" + prefix + "full:30",
                                      "wait:300", "fsize:off"};
    if (c.after > 0)
      steps.insert(steps.end(), {"events:" + prefix + "after:" + std::to_string(c.after), "wait:300"});
    auto full = run(steps, noDownload);
    EXPECT_EQ(full->finish(), 0) << full->errors();
    const std::string fullErrors = full->errors();
    auto next = run({"start", "serve"}, noDownload);
    const std::size_t expected = 40 + static_cast<std::size_t>(c.after);
    const bool settled =
        eventually([&] { return sentEvents(prefix).size() >= expected && waitingEventFiles() == 0; }, 10.0);
    EXPECT_EQ(next->finish(), 0) << next->errors();
    const std::string errors = fullErrors + next->errors();
    EXPECT_TRUE(settled) << errors << sentEvents(prefix).size() << " sent";
    const auto sent = sentEvents(prefix);
    EXPECT_EQ(sent.size(), expected) << errors;
    for (const auto& name : std::set(sent.begin(), sent.end())) EXPECT_EQ(sent.count(name), 1u) << name;
    EXPECT_EQ(occurrences(fullErrors, "30 events kept meanwhile are written"), 1u) << errors;
    EXPECT_EQ(occurrences(errors, "dropped"), 0u) << errors;
  }
}

}  // namespace
}  // namespace crashreporting::test
