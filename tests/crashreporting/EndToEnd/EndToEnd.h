#pragma once

// The end-to-end tests' host application: its own folders, a reports service on this machine, and runs of the
// crash host program against them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "crashreporting/Capture/VRDHandler.h"
#include "crashreporting/Kit/ZIZMultipartMimeStreamEncoder.h"
#include "crashreporting/Reports/VRDNetworkClient.h"
#include "crashreporting/support/Awaiter.h"
#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/HostProcess.h"
#include "crashreporting/support/LocalSettings.h"
#include "crashreporting/support/Package.h"
#include "support/TestEnvironment.h"
#include "support/http/TestHttpServer.h"

namespace crashreporting::test {

namespace fs = std::filesystem;

inline constexpr const char* kBundleIdentifier = "org.example.crashhost";
inline constexpr const char* kReportsPath = "/sdk-api/v1/platforms/mac/apps/org.example.crashhost/reports";

inline std::vector<std::string> entries(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

/// A host application with its own folders, a reports service on this machine, and runs of the host program.
class EndToEnd : public ::testing::Test {
 protected:
  EndToEnd() {
    std::ofstream(plist_) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>org.example.crashhost</string>
<key>CFBundleVersion</key><string>7</string>
<key>CFBundleShortVersionString</key><string>1.2</string>
<key>Zizozu</key><dict><key>APIKey</key><string>plist-key</string><key>Kits</key><array/></dict>
</dict></plist>
)";
    server_.setReply(kReportsPath, tilvane::test::ScriptedReply::ok("{}"));
  }

  /// A run of the host program; `extra` adds to (or replaces) its environment.
  std::unique_ptr<HostProcess> run(std::vector<std::string> arguments,
                                   const std::map<std::string, std::string>& extra = {}) {
    arguments.insert(arguments.begin(), {plist_.string(), "k"});
    std::map<std::string, std::string> environment = {
        {"XDG_CACHE_HOME", (temp_.path() / "cache").string()},
        {"XDG_DATA_HOME", (temp_.path() / "data").string()},
        {"XDG_CONFIG_HOME", (temp_.path() / "config").string()},
        {"VuveradaradReportsEndpoint", server_.url("")},
    };
    for (const auto& [name, value] : extra) environment[name] = value;
    return std::make_unique<HostProcess>(arguments, environment, temp_.path() / ("run" + std::to_string(++runs_)));
  }
  /// Run A: starts, crashes, and leaves its report folder in active; its name.
  std::string crashedRun(std::vector<std::string> steps = {"start", "wait:300", "crash"}) {
    auto host = run(std::move(steps));
    const int status = host->wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGILL) << status << host->errors();
    const auto active = entries(store() / "active");
    EXPECT_EQ(active.size(), 1u);
    EXPECT_TRUE(fs::exists(store() / "active" / active.at(0) / "signal.vrdrecord"));
    return active.at(0);
  }
  void writeSettings(const std::string& json) {
    fs::create_directories(settingsFile().parent_path());
    std::ofstream(settingsFile()) << withLocalAnalytics(json);
  }
  fs::path settingsFile() const {
    return temp_.path() / "cache" / kBundleIdentifier / "com.zizozu" / "com.zizozu.sdk.mac.data" / "settings.json";
  }
  fs::path store() const { return temp_.path() / "cache" / "com.zizozu" / kBundleIdentifier / "v3"; }
  fs::path events() const {
    return temp_.path() / "cache" / "com.zizozu" / kBundleIdentifier / "analytics" / "v2" / "events";
  }
  /// The parts of every request to `path`, in arrival order.
  std::vector<std::vector<PackagePart>> received(const std::string& path) const {
    std::vector<std::vector<PackagePart>> bodies;
    for (const auto& request : server_.requests()) {
      const std::string type = request.header("Content-Type").value_or("");
      if (request.path == path) bodies.push_back(parsePackage(request.body, type.substr(type.find('=') + 1)));
    }
    return bodies;
  }
  std::size_t reportRequests() const {
    std::size_t count = 0;
    for (const auto& request : server_.requests()) count += request.path == kReportsPath ? 1 : 0;
    return count;
  }

  /// Reports left by earlier runs, a third each in active, processing and prepared; their identifiers.
  std::set<std::string> writeWaitingReports(int count);
  /// Analytics events left by earlier runs, `perPackage` to each of `packages` packaged files; their names
  /// ("waiting-<tag>-<package>-<event>").
  std::set<std::string> writeWaitingEvents(const std::string& tag, int packages, int perPackage);
  /// The names of the waiting events the server received at "/events", each as often as it came.
  std::multiset<std::string> sentWaitingEvents() const { return sentEvents("waiting-"); }
  /// The names beginning with `prefix` (a custom event's own name) of the events the server received at "/events",
  /// each as often as it came.
  std::multiset<std::string> sentEvents(const std::string& prefix) const;
  /// The same events, each with the boundaries of the packages it came in, in arrival order.
  std::map<std::string, std::vector<std::string>> sentEventPackages(const std::string& prefix) const;
  /// The gz and packaged files in the events folder (a running host's own current log is not counted).
  std::size_t waitingEventFiles() const {
    std::size_t count = 0;
    for (const auto& name : entries(events())) count += name.ends_with(".gz") || name.ends_with(".multipartmime");
    return count;
  }
  /// The report identifiers the server received, each as often as it came.
  std::multiset<std::string> sentReportIds() const {
    std::multiset<std::string> ids;
    for (const auto& parts : received(kReportsPath))
      for (const auto& part : parts)
        if (part.name == "report_id") ids.insert(part.body);
    return ids;
  }

  tilvane::test::ScopedTempDir temp_;
  fs::path plist_ = temp_.path() / "Info.plist";
  tilvane::test::TestHttpServer server_;
  int runs_ = 0;
};

inline std::string gzipped(const std::string& text) {
  std::string out(compressBound(static_cast<uLong>(text.size())) + 32, '\0');
  z_stream stream{};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

/// A package as the library leaves it waiting: `<boundary>.multipartmime` in `folder`, holding `fields` and one
/// file part.
inline void writePackage(const fs::path& folder, const std::string& boundary, const Dictionary& fields,
                         const std::string& fileName, const std::string& type, const std::string& body) {
  fs::create_directories(folder);
  FileOutputStream stream(folder / (boundary + ".multipartmime"));
  ZIZMultipartMimeStreamEncoder encoder(stream, boundary);
  encoder.encode([&](ZIZMultipartMimeStreamEncoder& parts) {
    for (const auto& [name, value] : fields) parts.addValue(value, name);
    parts.addFileData(std::span(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()), fileName, type,
                      fileName);
  });
}

inline std::set<std::string> EndToEnd::writeWaitingReports(int count) {
  std::set<std::string> ids;
  for (int i = 0; i < count; ++i) {
    const std::string id = "waiting-report-" + std::to_string(i);
    ids.insert(id);
    const std::string errors = R"({"error":{"domain":"org.example","code":1}})"
                               "\n";
    if (i % 3 == 2) {
      writePackage(store() / "prepared", "PACKAGE" + std::to_string(i), {{"report_id", Value(id)}},
                   "errors_a.vrdrecord", "text/plain", errors);
      continue;
    }
    const fs::path folder = store() / (i % 3 == 0 ? "active" : "processing") / id;
    fs::create_directories(folder);
    std::ofstream(folder / "metadata.vrdrecord") << R"({"identity":{"session_id":")" << id << "\"}}\n";
    std::ofstream(folder / "errors_a.vrdrecord") << errors;
  }
  return ids;
}

inline std::set<std::string> EndToEnd::writeWaitingEvents(const std::string& tag, int packages, int perPackage) {
  std::set<std::string> names;
  for (int package = 0; package < packages; ++package) {
    std::string log;
    for (int event = 0; event < perPackage; ++event) {
      const std::string name = "waiting-" + tag + "-" + std::to_string(package) + "-" + std::to_string(event);
      names.insert(name);
      log += "1000\t" + name + "\t2\t{}\n";
    }
    const std::string suffix = tag + std::to_string(package);
    writePackage(events(), "EVENTS" + suffix, {}, "LOG" + suffix + ".gz", "application/vnd.vuveradarad.mac.events",
                 gzipped(log));
  }
  return names;
}

inline std::map<std::string, std::vector<std::string>> EndToEnd::sentEventPackages(
    const std::string& prefix) const {
  std::map<std::string, std::vector<std::string>> packages;
  for (const auto& request : server_.requests()) {
    if (request.path != "/events") continue;
    const std::string type = request.header("Content-Type").value_or("");
    const std::string boundary = type.substr(type.find('=') + 1);
    for (const auto& part : parsePackage(request.body, boundary)) {
      std::istringstream lines(gunzip(part.body).value_or(""));
      for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find('\t') + 1;
        std::string name = line.substr(start, line.find('\t', start) - start);
        // A custom event's line is named "custom"; its own name is in its payload.
        if (name == "custom") {
          const auto json = nlohmann::json::parse(line.substr(line.find('{')), nullptr, false);
          if (json.is_object() && json.contains("custom_type")) name = json["custom_type"].get<std::string>();
        }
        if (name.starts_with(prefix)) packages[name].push_back(boundary);
      }
    }
  }
  return packages;
}

inline std::multiset<std::string> EndToEnd::sentEvents(const std::string& prefix) const {
  std::multiset<std::string> names;
  for (const auto& [name, boundaries] : sentEventPackages(prefix))
    for (std::size_t i = 0; i < boundaries.size(); ++i) names.insert(name);
  return names;
}

/// What the library promises of the events of `prefix` the server received: each of `logged` came, and none came
/// in two packages. One came twice in the same package (its boundary, the package's one name, lets a server drop
/// the repeat) only when an exit cut its upload unanswered, which that run said (`errors`: what the runs before
/// the last one printed). Said as counts: a failing run names a few of hundreds.
inline void expectEachEventOnceOrRepeatedWhole(const std::map<std::string, std::vector<std::string>>& sent,
                                               const std::set<std::string>& logged, const std::string& errors) {
  std::size_t missing = 0, inTwoPackages = 0, repeated = 0;
  std::string some;
  for (const auto& name : logged) missing += sent.contains(name) ? 0 : 1;
  for (const auto& [name, boundaries] : sent) {
    if (boundaries.size() < 2) continue;
    ++repeated;
    if (std::set(boundaries.begin(), boundaries.end()).size() == 1) continue;
    if (++inTwoPackages <= 3) some += " " + name;
  }
  EXPECT_EQ(missing, 0u) << "of " << logged.size();
  EXPECT_EQ(inTwoPackages, 0u) << "of " << logged.size() << " sent in two packages, e.g." << some;
  if (repeated > 0) {
    EXPECT_NE(errors.find("An upload was not answered before the exit: its events go again at the next start"),
              std::string::npos)
        << repeated << " of " << logged.size() << " sent again, without a word of it\n"
        << errors;
  }
}

}  // namespace crashreporting::test
