// The frames between the HTTP client and its network process: every field survives the trip whatever its bytes,
// frames arrive whole however the stream is cut, and a malformed stream is refused rather than misread.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <variant>

#include "platform/net/HttpWire.h"

namespace tilvane::test {
namespace {

using namespace net;

wire::Start fullRequest() {
  HttpRequest request;
  request.method = "PUT";
  request.url = "https://127.0.0.1:8443/a?b=c";
  request.headers = {{"X-One", "1"}, {"X-Empty", ""}, {"X-One", "again"}};
  request.body = std::string("bin\0ary\xff", 8);
  request.bodyFile = "/tmp/report";
  request.timeout = 12.5;
  request.idleTimeout = 3;
  request.maxBodyBytes = 5u << 30;  // over 32 bits
  request.followRedirects = false;
  request.caFile = "/ca.pem";
  request.caCertificates = "-----BEGIN CERTIFICATE-----";
  request.pinnedPublicKey = "sha256//x;sha256//y";
  return {0x1234567890ULL, request};
}

TEST(HttpWireTest, EveryFieldOfARequestAnOutcomeAndACancelArrivesAsSent) {
  const wire::Start start = fullRequest();
  HttpResponse failed;
  failed.status = 502;
  failed.headers = {{"Via", "x"}};
  failed.error = HttpError{HttpErrorCode::tls, "the pin did not match"};
  HttpResponse ok;
  ok.status = 200;
  ok.body = std::string(70000, '\0') + "end";

  wire::FrameReader reader(1 << 20);
  reader.append(wire::encode(start) + wire::encode(wire::Outcome{7, failed}) + wire::encode(wire::Outcome{8, ok}) +
                wire::encode(wire::Cancel{9}));

  const auto first = reader.next();
  ASSERT_TRUE(first && std::holds_alternative<wire::Start>(*first));
  const wire::Start& got = std::get<wire::Start>(*first);
  const HttpRequest& sent = start.request;
  EXPECT_EQ(got.id, start.id);
  EXPECT_EQ(got.request.method, sent.method);
  EXPECT_EQ(got.request.url, sent.url);
  EXPECT_EQ(got.request.headers, sent.headers);
  EXPECT_EQ(got.request.body, sent.body);
  EXPECT_EQ(got.request.bodyFile, sent.bodyFile);
  EXPECT_EQ(got.request.timeout, sent.timeout);
  EXPECT_EQ(got.request.idleTimeout, sent.idleTimeout);
  EXPECT_EQ(got.request.maxBodyBytes, sent.maxBodyBytes);
  EXPECT_EQ(got.request.followRedirects, sent.followRedirects);
  EXPECT_EQ(got.request.caFile, sent.caFile);
  EXPECT_EQ(got.request.caCertificates, sent.caCertificates);
  EXPECT_EQ(got.request.pinnedPublicKey, sent.pinnedPublicKey);

  const auto second = reader.next();
  ASSERT_TRUE(second && std::holds_alternative<wire::Outcome>(*second));
  const auto& error = std::get<wire::Outcome>(*second);
  EXPECT_EQ(error.id, 7u);
  EXPECT_EQ(error.response.status, 502);
  EXPECT_EQ(error.response.headers, failed.headers);
  ASSERT_TRUE(error.response.error);
  EXPECT_EQ(error.response.error->code, HttpErrorCode::tls);
  EXPECT_EQ(error.response.error->message, "the pin did not match");

  const auto third = reader.next();
  ASSERT_TRUE(third && std::holds_alternative<wire::Outcome>(*third));
  EXPECT_TRUE(std::get<wire::Outcome>(*third).response.succeeded());
  EXPECT_EQ(std::get<wire::Outcome>(*third).response.body, ok.body);

  const auto fourth = reader.next();
  ASSERT_TRUE(fourth && std::holds_alternative<wire::Cancel>(*fourth));
  EXPECT_EQ(std::get<wire::Cancel>(*fourth).id, 9u);
  EXPECT_FALSE(reader.next());
  EXPECT_EQ(reader.failed(), "");
}

TEST(HttpWireTest, AFrameCutAnywhereIsHandedOutOnlyOnceItIsWhole) {
  const std::string bytes = wire::encode(fullRequest()) + wire::encode(wire::Cancel{3});
  wire::FrameReader reader(1 << 20);
  int frames = 0;
  for (const char byte : bytes) {
    reader.append(std::string_view(&byte, 1));
    while (reader.next()) ++frames;
  }
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(reader.failed(), "");
}

TEST(HttpWireTest, AMalformedStreamIsRefusedAndStaysRefused) {
  const auto refused = [](std::string bytes, std::size_t limit = 1 << 20) {
    wire::FrameReader reader(limit);
    reader.append(bytes);
    const bool none = !reader.next();
    const std::string why = reader.failed();
    reader.append(wire::encode(wire::Cancel{1}));  // nothing after the fault is read
    return none && !why.empty() && !reader.next();
  };
  const std::string cancel = wire::encode(wire::Cancel{1});
  EXPECT_TRUE(refused(cancel, cancel.size() - 5)) << "over the reader's limit";

  std::string unknownKind = cancel;
  unknownKind[4] = 42;
  EXPECT_TRUE(refused(unknownKind));

  // A string that claims more bytes than its frame holds.
  std::string request = wire::encode(fullRequest());
  const std::uint32_t huge = 0x7fffffff;
  std::memcpy(request.data() + 4 + 1 + 8, &huge, sizeof huge);  // the method's length
  EXPECT_TRUE(refused(request));

  // Bytes left over after the last field.
  std::string padded = cancel + "x";
  const std::uint32_t longer = static_cast<std::uint32_t>(cancel.size() - 4 + 1);
  std::memcpy(padded.data(), &longer, sizeof longer);
  EXPECT_TRUE(refused(padded));

  // An error code this build does not know.
  HttpResponse response;
  response.error = HttpError{HttpErrorCode::transport, ""};
  std::string outcome = wire::encode(wire::Outcome{1, response});
  outcome[outcome.size() - 5] = 99;  // the code sits before the message's 4-byte length
  EXPECT_TRUE(refused(outcome));
}

}  // namespace
}  // namespace tilvane::test
