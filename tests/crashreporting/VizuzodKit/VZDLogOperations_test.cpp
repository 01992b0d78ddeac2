#include "crashreporting/VizuzodKit/VZDLogOperations.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <zlib.h>

#include <fstream>
#include <set>

#include "crashreporting/VizuzodKit/VZDFileUtils.h"
#include "crashreporting/VizuzodKit/VZDLogger.h"
#include "crashreporting/platform/Json.h"
#include "crashreporting/support/LibraryTest.h"

namespace crashreporting {
namespace {

std::vector<std::string> linesOf(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const auto tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

struct FixedMetadata : VZDMetadataSerializable {
  std::optional<Dictionary> dictionaryRepresentationWithStartTime(std::uint64_t start) const override {
    return Dictionary{{"started_at", Value(start)}};
  }
};

struct RecordingUploader : VZDUploadTarget {
  void startUploadRequest(const URLRequest& r, const fs::path& p, const std::string& n) override {
    request = r, path = p, name = n;
  }
  URLRequest request;
  fs::path path;
  std::string name;
};

class VZDLogOperationsTest : public test::LibraryTest {
 protected:
  fs::path file(const std::string& name) const { return tempDir() / name; }
};

TEST_F(VZDLogOperationsTest, FirstEventWritesTheMetadataLineThenTheEvent) {
  const FixedMetadata metadata;
  struct At : VZDCustomEvent {
    At() : VZDCustomEvent("x", std::nullopt) {}
    double timestamp() const override { return 1.5; }
  } event;
  VZDWriteEventOperation first(event, metadata, file("a.log"));
  first.start();
  EXPECT_TRUE(first.success());
  VZDWriteEventOperation second(event, metadata, file("a.log"));
  second.start();
  const auto lines = linesOf(file("a.log"));
  ASSERT_EQ(lines.size(), 3u);
  const auto head = fieldsOf(lines[0]);
  EXPECT_EQ(head[0], "1500");
  EXPECT_EQ(head[1], "metadata");
  EXPECT_EQ(head[3], R"({"started_at":1})");
  const auto line = fieldsOf(lines[1]);
  EXPECT_EQ(line[1], "custom");
  EXPECT_EQ(line[2], std::to_string(line[3].size()));
  std::string error;
  const auto payload = json::decode(line[3], error);
  ASSERT_TRUE(payload);
  EXPECT_EQ(*payload->member("custom_type"), Value("x"));
  EXPECT_EQ(payload->get<Dictionary>()->size(), 3u);

  fs::create_directory(file("dir.log"));
  VZDWriteEventOperation intoDirectory(event, metadata, file("dir.log"));
  intoDirectory.start();
  EXPECT_FALSE(intoDirectory.success());
}

TEST_F(VZDLogOperationsTest, ARefusedPayloadLeavesNoFileBehind) {
  const FixedMetadata metadata;
  const VZDCustomEvent bad("x", Dictionary{{"nan", Value(1e308 * 10)}});  // infinity is no JSON
  VZDWriteEventOperation write(bad, metadata, file("b.log"));
  // The attribute dictionary keeps an infinite number, which the serialiser refuses.
  write.start();
  EXPECT_FALSE(write.success());
  EXPECT_FALSE(fs::exists(file("b.log")));
}

// A write cut short (here by the file size limit, as a full disk would) takes its torn line back: that line and those
// after it are unwritten, and the next write puts each in once, whole, after the metadata line.
TEST_F(VZDLogOperationsTest, AWriteCutShortLeavesNoTornLineAndNamesWhatWasNotWritten) {
  const FixedMetadata metadata;
  const VZDCustomEvent event("x", std::nullopt);
  const std::vector<std::string> earlier = {"1\tcustom\t2\t{}", "2\tcustom\t2\t{}"};
  const auto signalWas = signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct Case {
    std::size_t whole;  // lines that fit (the metadata line first), then
    rlim_t torn;        // bytes of the next one
  };
  for (const Case c : {Case{0, 0}, Case{0, 10}, Case{2, 5}, Case{3, 5}}) {
    SCOPED_TRACE(std::to_string(c.whole) + "+" + std::to_string(c.torn));
    const fs::path log = file("cut" + std::to_string(c.whole) + "-" + std::to_string(c.torn) + ".log");
    std::ofstream(log) << "";  // there but empty: it still wants its metadata line
    VZDWriteEventOperation cut(event, metadata, log);
    cut.setEarlierLines(earlier);
    std::vector<std::string> all = {*cut.formattedMetadata()};
    all.insert(all.end(), earlier.begin(), earlier.end());
    all.push_back(*cut.formattedEvent());
    rlimit limited = saved;
    limited.rlim_cur = c.torn;
    for (std::size_t i = 0; i < c.whole; ++i) limited.rlim_cur += all[i].size() + 1;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    cut.start();
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_TRUE(cut.writeError());
    const auto firstUnwritten = all.begin() + static_cast<long>(std::max<std::size_t>(c.whole, 1));
    EXPECT_EQ(cut.unwritten(), std::vector<std::string>(firstUnwritten, all.end()));
    EXPECT_EQ(linesOf(log).size(), c.whole);
    VZDWriteEventOperation again(*cut.formattedMetadata(), cut.unwritten(), log);
    again.start();
    EXPECT_TRUE(again.unwritten().empty());
    EXPECT_EQ(linesOf(log), all);
  }
  signal(SIGXFSZ, signalWas);
}

TEST_F(VZDLogOperationsTest, CompressPackageAndUpload) {
  std::ofstream(file("l.log")) << "line one\nline two\n";
  VZDCompressLogOperation compress(file("l.log"), VZDCompressLogOperation::compressedURLForUncompressedURL(file("l.log")));
  compress.start();
  ASSERT_TRUE(compress.success());
  gzFile in = gzopen(file("l.gz").c_str(), "r");
  char buffer[64] = {};
  const int n = gzread(in, buffer, sizeof buffer);
  gzclose(in);
  EXPECT_EQ(std::string(buffer, n), "line one\nline two\n");

  std::ofstream(file("l.log")) << "changed";
  VZDCompressLogOperation again(file("l.log"), file("l.gz"));
  again.start();
  const auto before = fs::file_size(file("l.gz"));
  EXPECT_EQ(fs::file_size(file("l.gz")), before);  // the existing gz is kept untouched
  VZDCompressLogOperation missing(file("none.log"), file("none.gz"));
  missing.start();
  EXPECT_FALSE(fs::exists(file("none.gz")));

  const fs::path packaged = VZDPackageLogOperation::multipartURLForCompressedURL(file("l.gz"), "BOUNDARY");
  VZDPackageLogOperation package(file("l.gz"), packaged, "BOUNDARY");
  package.start();
  ASSERT_TRUE(package.success());
  std::ifstream body(packaged, std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(body), {});
  EXPECT_NE(text.find("name=\"l.gz\"; filename=\"l.gz\""), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n') > 0, true);
  std::size_t parts = 0;
  for (auto at = text.find("Content-Disposition"); at != std::string::npos; at = text.find("Content-Disposition", at + 1))
    ++parts;
  EXPECT_EQ(parts, 1u);

  const auto uploader = std::make_shared<RecordingUploader>();
  VZDUploadOperation upload(uploader, "https://127.0.0.1:1/spi/v2/events", "key", packaged, "BOUNDARY");
  upload.start();
  EXPECT_EQ(uploader->name, "BOUNDARY");
  EXPECT_EQ(uploader->request.HTTPMethod(), "POST");
  EXPECT_EQ(uploader->request.valueForHTTPHeaderField("Content-Length"), std::to_string(fs::file_size(packaged)));
  EXPECT_EQ(uploader->request.valueForHTTPHeaderField("Content-Type"), "multipart/form-data; boundary=BOUNDARY");
  EXPECT_EQ(uploader->request.valueForHTTPHeaderField("X-VUVERADARAD-API-KEY"), "key");
}

TEST_F(VZDLogOperationsTest, CleanupSortsTheFolder) {
  const fs::path dir = tempDir() / "events";
  fs::create_directories(dir);
  for (const char* name : {"A.log", "A.gz", "B.gz", "notes.txt", "1.multipartmime", "2.multipartmime", "3.multipartmime"})
    std::ofstream(dir / name) << "x";
  const auto now = fs::file_time_type::clock::now();
  fs::last_write_time(dir / "1.multipartmime", now - std::chrono::hours(3));
  fs::last_write_time(dir / "2.multipartmime", now - std::chrono::hours(2));
  VZDCleanupFilesOperation cleanup(dir, 2, FileClaims(tempDir() / ".claims"));
  VZDCleanupFilesOperation::URLs logs, gzs, multiparts;
  cleanup.setSuccessBlock([&](const auto& l, const auto& g, const auto& m) { logs = l, gzs = g, multiparts = m; });
  cleanup.start();
  EXPECT_EQ(logs, (VZDCleanupFilesOperation::URLs{dir / "A.log"}));
  EXPECT_EQ(gzs, (VZDCleanupFilesOperation::URLs{dir / "B.gz"}));
  EXPECT_EQ(multiparts, (VZDCleanupFilesOperation::URLs{dir / "2.multipartmime", dir / "3.multipartmime"}));
  EXPECT_FALSE(fs::exists(dir / "A.gz"));
  EXPECT_FALSE(fs::exists(dir / "notes.txt"));
  EXPECT_FALSE(fs::exists(dir / "1.multipartmime"));
}

TEST_F(VZDLogOperationsTest, FileQuestionsAnswerSafelyWhenTheFileSystemRefuses) {
  VZDLogger::sharedLogger().setDebugMode(true);
  const fs::path missing = tempDir() / "missing";
  EXPECT_TRUE(VZDFileUtils::allFilesInDirectory(missing).empty());
  EXPECT_EQ(log_.count("[Vizuzod] Unable to read contents of " + missing.string() +
                       ": No such file or directory"), 1u);
  EXPECT_EQ(VZDFileUtils::fileSizeAtURL(missing), 0u);
  const VZDFileUtils::Date fallback{std::chrono::seconds(7)};
  EXPECT_EQ(VZDFileUtils::fileCreatedDateAtURL(missing, fallback), fallback);
  VZDLogger::sharedLogger().setDebugMode(false);

  const fs::path dir = tempDir() / "events";
  fs::create_directories(dir / "sub.log");
  for (const char* name : {"a.log", "b.log.gz", "c.LOG", "log"}) std::ofstream(dir / name) << "12345";
  EXPECT_EQ(VZDFileUtils::filesWithExtension("log", dir), (std::set<fs::path>{dir / "a.log", dir / "sub.log"}));
  EXPECT_EQ(VZDFileUtils::fileSizeAtURL(dir / "a.log"), 5u);
}

}  // namespace
}  // namespace crashreporting
