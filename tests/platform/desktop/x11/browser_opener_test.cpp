// Web pages handed to the desktop's opener, and the failures a desktop without a browser only shows at its end.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/desktop/x11/BrowserOpener.h"
#include "support/TestEnvironment.h"
#include "support/x11/TestDesktop.h"

namespace tilvane::x11 {
namespace {

namespace fs = std::filesystem;

class BrowserOpenerTest : public test::WorldTest {
 protected:
  /// A stand-in for the opener: writes its arguments to a file, then ends with `status`.
  fs::path opener(int status) {
    const fs::path script = tempDir() / ("opener-" + std::to_string(status));
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$@\" > '" << (tempDir() / "args").string() << "'\nexit "
                          << status << "\n";
    ::chmod(script.c_str(), 0755);
    return script;
  }
  std::string arguments() {
    std::stringstream text;
    text << std::ifstream(tempDir() / "args").rdbuf();
    return text.str();
  }
  /// Lets the loop see the opener's end (a state of the process, with a generous deadline).
  bool ended(const BrowserOpener& browser) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (browser.isOpening() && std::chrono::steady_clock::now() < deadline) {
      test::x11::notifyReadableDescriptors(loop());
      drain();
    }
    drain();
    return !browser.isOpening();
  }

  std::vector<std::string> failures;
  BrowserOpener::Failed record = [this](const std::string& url) { failures.push_back(url); };
};

TEST_F(BrowserOpenerTest, AnOpenerThatFailsIsReportedWithTheAddressUntouched) {
  BrowserOpener browser(record, opener(3).string());
  const std::string url = "https://example.invalid/guide?a=1&b='two words'";
  ASSERT_TRUE(browser.open(url));
  ASSERT_TRUE(ended(browser));
  EXPECT_EQ(failures, std::vector<std::string>{url});
  EXPECT_EQ(arguments(), url + "|") << "one argument, never through a shell";
}

TEST_F(BrowserOpenerTest, AnOpenerThatSucceedsIsNotReported) {
  BrowserOpener browser(record, opener(0).string());
  ASSERT_TRUE(browser.open("https://example.invalid/"));
  ASSERT_TRUE(ended(browser));
  EXPECT_TRUE(failures.empty());
}

TEST_F(BrowserOpenerTest, NoOpenerAtAllIsReportedToo) {
  BrowserOpener browser(record, (tempDir() / "no-such-opener").string());
  EXPECT_FALSE(browser.open("https://example.invalid/home"));
  drain();
  EXPECT_EQ(failures, std::vector<std::string>{"https://example.invalid/home"});
}

}  // namespace
}  // namespace tilvane::x11
