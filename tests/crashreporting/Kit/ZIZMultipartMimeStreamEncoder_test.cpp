#include "crashreporting/Kit/ZIZMultipartMimeStreamEncoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "crashreporting/support/LibraryTest.h"

namespace crashreporting {
namespace {

const std::string kBoundary = "0A1B2C3D-0000-4000-8000-00000000ABCD";

std::string text(const MemoryOutputStream& stream) { return {stream.data().begin(), stream.data().end()}; }

/// A stream that takes at most `chunk` bytes a call and fails for good after `capacity` bytes.
class LimitedStream : public OutputStream {
 public:
  LimitedStream(std::size_t capacity, std::size_t chunk) : capacity_(capacity), chunk_(chunk) {}
  bool open() override { return true; }
  std::ptrdiff_t write(const std::uint8_t* bytes, std::size_t length) override {
    if (held.size() >= capacity_) return -1;
    const std::size_t n = std::min({length, chunk_, capacity_ - held.size()});
    held.append(reinterpret_cast<const char*>(bytes), n);
    return static_cast<std::ptrdiff_t>(n);
  }
  void close() override {}
  std::string held;

 private:
  std::size_t capacity_;
  std::size_t chunk_;
};

class EncoderTest : public test::LibraryTest {};

TEST_F(EncoderTest, AnEmptyEncodingIsHeaderAndFooterOnly) {
  MemoryOutputStream stream;
  ZIZMultipartMimeStreamEncoder encoder(stream, std::nullopt);
  encoder.encode({});
  EXPECT_EQ(encoder.boundary().size(), 36u);
  EXPECT_EQ(text(stream), "MIME-Version: 1.0\r\n--" + encoder.boundary() + "--\r\n");
  EXPECT_EQ(stream.data().size(), 61u);
  EXPECT_EQ(encoder.contentLengthHTTPHeaderValue(), "61");
  EXPECT_EQ(encoder.contentTypeHTTPHeaderValue(), "multipart/form-data; boundary=" + encoder.boundary());
  EXPECT_FALSE(encoder.failed());
}

TEST_F(EncoderTest, PartsAreWrittenByteForByte) {
  MemoryOutputStream stream;
  ZIZMultipartMimeStreamEncoder encoder(stream, kBoundary);
  const std::vector<std::uint8_t> bytes{'G', 0, 0xFF};
  encoder.encode([&](ZIZMultipartMimeStreamEncoder& e) {
    e.addValue(Value("abc"), "report_id");
    e.addValue(Value(4), "count");
    e.addFileData(bytes, "a.gz", std::nullopt, "file");
    e.addFileData(bytes, "b.json", "application/json", "meta");
  });
  const std::string expected =
      "MIME-Version: 1.0\r\n"
      "--" +
      kBoundary +
      "\r\n"
      "Content-Disposition: form-data; name=\"report_id\"\r\n"
      "Content-Type: text/plain\r\n"
      "\r\n"
      "abc\r\n"
      "--" +
      kBoundary +
      "\r\n"
      "Content-Disposition: form-data; name=\"count\"\r\n"
      "Content-Type: text/plain\r\n\r\n"
      "4\r\n"
      "--" +
      kBoundary +
      "\r\n"
      "Content-Disposition: form-data; name=\"file\"; filename=\"a.gz\"\r\n"
      "Content-Type: application/octet-stream\r\n\r\n" +
      std::string("G\0\xFF", 3) +
      "\r\n"
      "--" +
      kBoundary +
      "\r\n"
      "Content-Disposition: form-data; name=\"meta\"; filename=\"b.json\"\r\n"
      "Content-Type: application/json\r\n"
      "Content-Transfer-Encoding: binary\r\n\r\n" +
      std::string("G\0\xFF", 3) +
      "\r\n"
      "--" +
      kBoundary + "--\r\n";
  EXPECT_EQ(text(stream), expected);
  EXPECT_EQ(encoder.length(), expected.size());
}

TEST_F(EncoderTest, RefusedPartsLeaveNothingBehindAndSayWhy) {
  MemoryOutputStream stream;
  ZIZMultipartMimeStreamEncoder encoder(stream, kBoundary);
  encoder.encode([&](ZIZMultipartMimeStreamEncoder& e) {
    e.addFileData({}, "a.gz", std::nullopt, "file");
    e.addFileData(std::vector<std::uint8_t>{1}, "", std::nullopt, "file");
    e.addValue(Value(), "report_id");
    e.addValue(Value("v"), "");
    e.addFile(tempDir() / "missing", "m", std::nullopt, "missing_file");
  });
  EXPECT_EQ(stream.data().size(), 61u);
  EXPECT_EQ(encoder.length(), 61u);
  EXPECT_EQ(log_.lines(),
            (std::vector<std::string>{"[Zizozu] Unable to MIME encode data with zero length (file)",
                                      "[Zizozu] name (file) or fieldname () is invalid",
                                      "[Zizozu] name (report_id) or value (<null>) is invalid",
                                      "[Zizozu] name () or value (v) is invalid",
                                      "[Zizozu] Unable to MIME encode data with zero length (missing_file)"}));
}

TEST_F(EncoderTest, AFileIsSentWholeAndAFileStreamHoldsTheBody) {
  const auto source = tempDir() / "report.gz";
  std::ofstream(source, std::ios::binary) << std::string(100000, 'x');
  const auto body = tempDir() / "body";
  FileOutputStream stream(body);
  ZIZMultipartMimeStreamEncoder encoder(stream, kBoundary);
  encoder.encode(
      [&](ZIZMultipartMimeStreamEncoder& e) { e.addFile(source, "report.gz", "application/gzip", "r"); });
  EXPECT_FALSE(encoder.failed());
  EXPECT_EQ(std::filesystem::file_size(body), encoder.length());
  EXPECT_NE(tilvane::test::readFile(body).find(std::string(100000, 'x') + "\r\n--" + kBoundary + "--\r\n"),
            std::string::npos);
}

TEST_F(EncoderTest, AFailingStreamIsReportedAndTheLengthIsWhatTheStreamHolds) {
  // Short writes are retried: a stream taking 7 bytes a call still gets the whole body.
  LimitedStream slow(1 << 20, 7);
  ZIZMultipartMimeStreamEncoder whole(slow, kBoundary);
  whole.encode([](ZIZMultipartMimeStreamEncoder& e) { e.addValue(Value("abc"), "report_id"); });
  EXPECT_FALSE(whole.failed());
  EXPECT_EQ(whole.length(), slow.held.size());

  LimitedStream full(100, 7);
  ZIZMultipartMimeStreamEncoder encoder(full, kBoundary);
  encoder.encode([](ZIZMultipartMimeStreamEncoder& e) {
    e.addValue(Value("abc"), "report_id");
    e.addValue(Value("def"), "other");
  });
  EXPECT_TRUE(encoder.failed());
  EXPECT_EQ(encoder.length(), full.held.size());
  EXPECT_EQ(full.held.size(), 100u);
  EXPECT_EQ(log_.count("[Zizozu] Failed to write data to stream"), 1u);  // nothing more written after the gap
  EXPECT_FALSE(encoder.writeBytes(reinterpret_cast<const std::uint8_t*>("x"), 1));
}

TEST_F(EncoderTest, ARequestGetsItsHeadersAndBody) {
  struct Request {
    std::map<std::string, std::string> headers;
    std::vector<std::uint8_t> body;
    void setValue(const std::string& value, const std::string& header) { headers[header] = value; }
    void setHTTPBody(std::vector<std::uint8_t> bytes) { body = std::move(bytes); }
  } request;
  EXPECT_TRUE(ZIZMultipartMimeStreamEncoder::populateRequest(
      request, [](ZIZMultipartMimeStreamEncoder& e) { e.addValue(Value("1"), "n"); }));
  EXPECT_EQ(request.headers["Content-Length"], std::to_string(request.body.size()));
  EXPECT_EQ(request.headers["Content-Type"].rfind("multipart/form-data; boundary=", 0), 0u);
}

}  // namespace
}  // namespace crashreporting
