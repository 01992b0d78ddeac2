#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "crashreporting/Capture/VRDContext.h"
#include "crashreporting/Capture/VRDHost.h"
#include "support/TestEnvironment.h"

namespace crashreporting::test {

inline std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

/// The bytes of `text` as record files hex-encode them.
inline std::string hexText(const std::string& text) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : text) out += {digits[c >> 4], digits[c & 15]};
  return out;
}

/// Every line of a record file parsed as JSON; a line that does not parse fails the test.
inline std::vector<nlohmann::json> recordLines(const std::filesystem::path& path) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(readText(path));
  std::string line;
  while (std::getline(in, line)) {
    auto parsed = nlohmann::json::parse(line, nullptr, false);
    EXPECT_FALSE(parsed.is_discarded()) << "unparsable line: " << line;
    lines.push_back(std::move(parsed));
  }
  return lines;
}

/// A crash context built in this process, with the debugger check forced true so no signal handler of the
/// test process is touched. Forgotten again when the test ends.
class ContextTest : public ::testing::Test {
 protected:
  ContextTest() {
    VRDProcessSetDebuggerAttachedOverride(true);
    data_.apiKey = "key";
    data_.reportDirectory = directory_.c_str();
    data_.sessionIdentifier = "session";
    data_.installIdentifier = "install";
  }
  ~ContextTest() override {
    VRDContextResetForTesting();
    VRDProcessSetDebuggerAttachedOverride(std::nullopt);
  }

  tilvane::test::ScopedTempDir temp_;
  std::string directory_ = temp_.path().string();
  VRDContextInitData data_;
};

}  // namespace crashreporting::test
