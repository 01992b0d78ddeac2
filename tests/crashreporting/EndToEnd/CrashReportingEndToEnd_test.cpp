#include "crashreporting/EndToEnd/EndToEnd.h"

namespace crashreporting::test {
namespace {

TEST_F(EndToEnd, ACrashReachesTheServerOnceAtTheNextStartAndOnlyTheNewRunIsLeft) {
  const std::string crashed = crashedRun();
  auto host = run({"start", "serve"});
  ASSERT_TRUE(eventually([&] { return reportRequests() >= 1; }, 5.0)) << host->errors();
  ASSERT_TRUE(eventually([&] { return entries(store() / "prepared").empty(); }, 5.0));
  host->finish();

  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& request = requests[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, kReportsPath);
  EXPECT_EQ(request.header("X-Vuveradarad-API-Key"), "k");
  EXPECT_EQ(request.header("User-Agent"), "Vuveradarad Mac SDK/3.8.6");
  const std::string contentType = request.header("Content-Type").value_or("");
  const std::string prefix = "multipart/form-data; boundary=";
  ASSERT_EQ(contentType.rfind(prefix, 0), 0u) << contentType;
  const std::string boundary = contentType.substr(prefix.size());
  EXPECT_FALSE(boundary.empty());
  EXPECT_EQ(request.header("Content-Length"), std::to_string(request.body.size()));
  const auto parts = parsePackage(request.body, boundary);
  const auto signal = std::find_if(parts.begin(), parts.end(),
                                   [](const PackagePart& part) { return part.name == "signal.vrdrecord"; });
  ASSERT_NE(signal, parts.end());
  const auto record = gunzip(signal->body);
  ASSERT_TRUE(record);
  EXPECT_NE(record->find(R"("signal")"), std::string::npos);

  EXPECT_TRUE(entries(store() / "prepared").empty());
  EXPECT_TRUE(entries(store() / "processing").empty());
  const auto active = entries(store() / "active");
  ASSERT_EQ(active.size(), 1u);
  EXPECT_NE(active[0], crashed);
  EXPECT_FALSE(fs::exists(store() / "active" / active[0] / "signal.vrdrecord"));
}

TEST_F(EndToEnd, AStackOverflowOnAPlainHostThreadIsRecordedAndUploadedAtTheNextStart) {
  auto crashing = run({"start", "wait:100", "overflow-thread"});
  const int status = crashing->wait();
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status << crashing->errors();

  auto host = run({"start", "serve"});
  ASSERT_TRUE(eventually([&] { return reportRequests() >= 1; }, 5.0)) << host->errors();
  host->finish();
  const auto requests = server_.requests();
  const auto request = std::find_if(requests.begin(), requests.end(),
                                    [](const auto& candidate) { return candidate.path == kReportsPath; });
  ASSERT_NE(request, requests.end());
  const std::string contentType = request->header("Content-Type").value_or("");
  const auto parts = parsePackage(request->body, contentType.substr(contentType.find('=') + 1));
  const auto signal = std::find_if(parts.begin(), parts.end(),
                                   [](const PackagePart& part) { return part.name == "signal.vrdrecord"; });
  ASSERT_NE(signal, parts.end());
  const auto record = gunzip(signal->body);
  ASSERT_TRUE(record);
  std::istringstream lines(*record);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(nlohmann::json::parse(line)["signal"]["name"], "SIGSEGV");
  std::getline(lines, line);
  const auto threads = nlohmann::json::parse(line)["threads"];
  const auto crashed = std::find_if(threads.begin(), threads.end(),
                                    [](const auto& thread) { return thread.value("crashed", false); });
  ASSERT_NE(crashed, threads.end()) << line;
  // The overflowing function, cut after its first repeats; the thread's start below it.
  ASSERT_TRUE(crashed->contains("repeated_pc")) << *crashed;
  EXPECT_GT((*crashed)["repeat_count"].get<std::uint64_t>(), 1000u);
  const auto& stack = (*crashed)["stacktrace"];
  ASSERT_GT(stack.size(), VRDRepeatedFrameThreshold);
  EXPECT_EQ(std::count(stack.begin(), stack.end(), (*crashed)["repeated_pc"]), VRDRepeatedFrameThreshold);
}

TEST_F(EndToEnd, ACrashRightAtStartIsUploadedBeforeTheNextStartReturns) {
  crashedRun({"start", "crash"});  // no main-queue turn: the launch marker stays
  ASSERT_TRUE(fs::exists(store() / "launchmarker"));
  // A slow reply: an upload still under way when start returned would leave its package in prepared.
  auto reply = tilvane::test::ScriptedReply::ok("{}");
  reply.delay = 0.5;
  server_.setReply(kReportsPath, reply);
  auto host = run({"start"});
  host->wait();
  EXPECT_NE(host->output().find("started prepared=0"), std::string::npos) << host->output() << host->errors();
  EXPECT_EQ(reportRequests(), 1u);
}

TEST_F(EndToEnd, APackageTheServerRefusedStaysInPreparedAndTheNextRunUploadsIt) {
  crashedRun();
  server_.setReply(kReportsPath, tilvane::test::ScriptedReply::withStatus(500));
  auto refused = run({"start", "serve"});
  ASSERT_TRUE(eventually([&] { return reportRequests() >= 1; }, 5.0)) << refused->errors();
  refused->finish();
  ASSERT_EQ(entries(store() / "prepared").size(), 1u);

  server_.setReply(kReportsPath, tilvane::test::ScriptedReply::ok("{}"));
  const std::size_t before = reportRequests();
  auto next = run({"start", "serve"});
  ASSERT_TRUE(eventually([&] { return reportRequests() > before; }, 5.0)) << next->errors();
  ASSERT_TRUE(eventually([&] { return entries(store() / "prepared").empty(); }, 5.0));
  next->finish();
}

TEST_F(EndToEnd, AServerThatIsDownGetsBoundedRestartsThenTheRetryTakesOver) {
  crashedRun();
  server_.setReply(kReportsPath, tilvane::test::ScriptedReply::withStatus(500));
  // 2000 times faster: the restarts' back-off (2 s, 4 s, … 1024 s) takes about a second, the retry 0.3 s.
  auto host = run({"--debug", "--time-scale=2000", "start", "serve"});
  const auto logged = [&](const std::string& line) { return host->errors().find(line) != std::string::npos; };
  ASSERT_TRUE(eventually([&] { return logged("[Vuveradarad:Crash] report submission failed with error"); }, 10.0))
      << host->errors();
  // The error reached the controller once the restarts were used up, and nothing was sent since.
  EXPECT_EQ(reportRequests(), 1 + VRDNetworkClient::kRestartLimit);
  ASSERT_TRUE(eventually([&] { return logged("[Vuveradarad:Crash] re-attempting report submission"); }, 5.0));
  server_.setReply(kReportsPath, tilvane::test::ScriptedReply::ok("{}"));
  ASSERT_TRUE(eventually([&] { return entries(store() / "prepared").empty(); }, 10.0));
  host->finish();
  EXPECT_GT(reportRequests(), 1 + VRDNetworkClient::kRestartLimit);
}

TEST_F(EndToEnd, ReportsTheDelegateOrTheUserDeclinesAreRemovedUnsent) {
  const std::string declined = crashedRun();
  auto host = run({"--delegate=no", "start", "serve"});
  ASSERT_TRUE(eventually([&] { return !fs::exists(store() / "active" / declined); }, 5.0)) << host->errors();
  // Ended while the library's threads were still busy: a crash at exit would leave a report of this run.
  EXPECT_EQ(host->finish(), 0) << host->errors();

  writeSettings(R"({"features":{"prompt_enabled":true}})");
  const std::string unwanted = crashedRun();
  auto prompted = run({"--prompt=dont-send", "start", "serve"});
  ASSERT_TRUE(eventually([&] { return !fs::exists(store() / "active" / unwanted); }, 5.0)) << prompted->errors();
  EXPECT_EQ(prompted->finish(), 0) << prompted->errors();
  EXPECT_NE(prompted->output().find("prompt \"Send Crash Report?\""), std::string::npos);
  EXPECT_TRUE(entries(store() / "prepared").empty());
  EXPECT_EQ(server_.requestCount(), 0u);
}

TEST_F(EndToEnd, WithReportingSwitchedOffEveryStageIsEmptiedAndTheStartFails) {
  crashedRun();
  writeSettings(R"({"features":{"collect_reports":false}})");
  auto host = run({"start"});
  host->wait();
  EXPECT_NE(host->errors().find("[Vuveradarad:Crash] Reporting is disabled"), std::string::npos);
  EXPECT_NE(host->errors().find("[Vuveradarad] Crash reporting could not be initialized"), std::string::npos);
  for (const char* stage : {"active", "processing", "prepared"}) EXPECT_TRUE(entries(store() / stage).empty()) << stage;
  EXPECT_EQ(server_.requestCount(), 0u);
}

// Whatever stands in a stored file's place, and whatever holds a disk's read error, the host starts and runs: the
// report goes without what cannot be read, once, and says why.
TEST_F(EndToEnd, AFolderInPlaceOfAStoredFileNeverTakesTheHostDownAndTheReportArrivesOnce) {
  struct Case {
    const char* entry;  // of the crashed run's folder; the cached settings for "settings.json"
    bool fifo;          // a FIFO without a writer in its place, rather than a folder
    const char* logged;
  };
  for (const Case& c : {Case{"signal.vrdrecord", false, "signal.vrdrecord': it cannot be read (Is a directory); kept"},
                        Case{"metadata.vrdrecord", false, "Unreadable file 'metadata.vrdrecord' of report '"},
                        Case{"stray", false, "Unreadable file 'stray' of report '"},
                        Case{"sdk.log", true, "Unreadable file 'sdk.log' of report '"},
                        Case{"settings.json", false, "[Zizozu] Could not read settings at "}}) {
    SCOPED_TRACE(c.entry);
    fs::remove_all(temp_.path() / "cache");
    const std::size_t before = reportRequests();
    const std::string crashed = crashedRun();
    const std::string entry = c.entry;
    const fs::path unreadable = entry == "settings.json" ? settingsFile() : store() / "active" / crashed / entry;
    fs::remove(unreadable);
    if (c.fifo) {
      ASSERT_EQ(mkfifo(unreadable.c_str(), 0600), 0);
    } else {
      fs::create_directories(unreadable / "inside");
    }

    auto host = run({"start", "serve"});
    ASSERT_TRUE(eventually([&] { return reportRequests() > before; }, 5.0)) << host->errors();
    ASSERT_TRUE(eventually([&] { return entries(store() / "prepared").empty(); }, 5.0)) << host->errors();
    EXPECT_EQ(host->finish(), 0) << host->errors();
    EXPECT_NE(host->errors().find(c.logged), std::string::npos) << host->errors();
    EXPECT_TRUE(entries(store() / "processing").empty());
    auto next = run({"start", "wait:100"});  // the folder went with its report; the settings' stays
    EXPECT_EQ(next->wait(), 0) << next->errors();

    const auto reports = received(kReportsPath);
    ASSERT_EQ(reports.size(), before + 1);
    std::set<std::string> names;
    for (const auto& part : reports.back()) names.insert(part.name);
    EXPECT_TRUE(names.contains("report_id"));
    EXPECT_TRUE(names.contains("binary_images.vrdrecord"));
    EXPECT_FALSE(names.contains(entry));
    EXPECT_FALSE(fs::exists(store() / "active" / crashed));
  }
}

// Two windows of one program share its store: each waiting report and event goes once, by one of them.
TEST_F(EndToEnd, TwoCopiesOfAHostStartedTogetherSendEachWaitingReportAndEventOnce) {
  const std::set<std::string> reportIds = writeWaitingReports(20);
  const std::set<std::string> eventNames = writeWaitingEvents("event", 6, 4);
  fs::create_directories(settingsFile().parent_path());
  std::ofstream(settingsFile()) << R"({"analytics":{"url":")" << server_.url("/events") << "\"}}";
  // A reply that takes a while keeps both copies at work on the store at once.
  auto slow = tilvane::test::ScriptedReply::ok("{}");
  slow.delay = 0.02;
  server_.setReply(kReportsPath, slow);
  server_.setReply("/events", slow);

  auto first = run({"start", "serve"});
  auto second = run({"start", "serve"});
  const auto sentReports = [&] {
    std::multiset<std::string> ids;
    for (const auto& parts : received(kReportsPath))
      for (const auto& part : parts)
        if (part.name == "report_id") ids.insert(part.body);
    return ids;
  };
  const auto waitingFiles = [&] {
    std::size_t count = waitingEventFiles();
    for (const auto& name : entries(store() / "active")) count += name.starts_with("waiting-");
    return count;
  };
  const auto settled = [&] {
    const auto reports = sentReports();
    const auto sent = sentWaitingEvents();
    return std::set(reports.begin(), reports.end()) == reportIds && std::set(sent.begin(), sent.end()) == eventNames &&
           entries(store() / "prepared").empty() &&
           entries(store() / "processing").empty() && waitingFiles() == 0;
  };
  ASSERT_TRUE(eventually(settled, 10.0)) << first->errors() << second->errors();
  EXPECT_EQ(first->finish(), 0) << first->errors();
  EXPECT_EQ(second->finish(), 0) << second->errors();

  const auto reports = sentReports();
  const auto sent = sentWaitingEvents();
  for (const auto& id : reportIds) EXPECT_EQ(reports.count(id), 1u) << id;
  for (const auto& name : eventNames) EXPECT_EQ(sent.count(name), 1u) << name;
  EXPECT_EQ(reports.size(), reportIds.size());
  EXPECT_EQ(sent.size(), eventNames.size());
}

TEST_F(EndToEnd, ASecondCopyLeavesTheRunningCopysReportFolderAlone) {
  auto running = run({"start", "serve"});
  ASSERT_TRUE(eventually([&] { return entries(store() / "active").size() == 1; }, 5.0)) << running->errors();
  const std::string folder = entries(store() / "active").at(0);
  auto second = run({"start", "wait:200"});
  EXPECT_EQ(second->wait(), 0) << second->errors();
  // Still there for a crash of the running copy to be recorded into.
  EXPECT_TRUE(fs::is_directory(store() / "active" / folder));
  EXPECT_EQ(running->finish(), 0) << running->errors();
}

// The kit's two test entries, as a host calls them.
TEST_F(EndToEnd, TheKitsCrashIsRecordedAsSIGILLAndItsTestExceptionAsAnUncaughtException) {
  const std::string crashed = crashedRun({"start", "crash"});
  const auto signal = recordLines(store() / "active" / crashed / "signal.vrdrecord");
  ASSERT_FALSE(signal.empty());
  EXPECT_EQ(signal[0]["signal"]["name"], "SIGILL");
  EXPECT_EQ(signal[0]["signal"]["number"], SIGILL);
  fs::remove_all(store() / "active" / crashed);

  auto host = run({"start", "throw"});
  const int status = host->wait();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << status << host->errors();
  const auto active = entries(store() / "active");
  ASSERT_EQ(active.size(), 1u);
  const auto lines = recordLines(store() / "active" / active[0] / "exception.vrdrecord");
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0]["exception"]["type"], "c++");
  EXPECT_EQ(lines[0]["exception"]["name"], hexText("VuveradaradTestException"));
  EXPECT_EQ(lines[0]["exception"]["reason"], hexText("This is an Objective-C exception using for testing."));
  EXPECT_TRUE(lines[1].contains("threads"));
  const auto abort = recordLines(store() / "active" / active[0] / "signal.vrdrecord");
  ASSERT_FALSE(abort.empty());
  EXPECT_EQ(abort[0]["signal"]["name"], "SIGABRT");
}

}  // namespace
}  // namespace crashreporting::test
