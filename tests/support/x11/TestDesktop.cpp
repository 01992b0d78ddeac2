#include "support/x11/TestDesktop.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

namespace tilvane::test::x11 {
namespace {
std::string firstLine(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

/// Whether the process whose pid the file `pidFile` holds runs the program `name` (as /proc shows its name).
bool runs(const std::filesystem::path& pidFile, const std::string& name) {
  const std::string pid = firstLine(pidFile);
  if (pid.empty() || name.empty()) return false;
  const std::string stat = firstLine("/proc/" + pid + "/stat");
  const auto close = stat.rfind(')');
  return stat.rfind(pid + " (" + name + ")", 0) == 0 && close != std::string::npos && close + 2 < stat.size() &&
         stat[close + 2] != 'Z';
}

/// The file's last `count` lines, each indented, for a failure message.
std::string lastLines(const std::filesystem::path& path, std::size_t count) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
    if (lines.size() > count) lines.erase(lines.begin());
  }
  std::string text;
  for (const std::string& line : lines) text += "\n    " + line;
  return lines.empty() ? " (it wrote nothing)" : text;
}

/// The test running now, as gtest names it.
std::string currentTestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return info ? std::string(info->test_suite_name()) + "." + info->name() : std::string("?");
}

std::string joined(const std::vector<std::string>& parts) {
  std::string all;
  for (const std::string& part : parts) all += (all.empty() ? "" : ", ") + part;
  return all;
}
}  // namespace

std::optional<std::string> findTestDisplay(std::string* why) {
  const char* state = std::getenv("TILVANE_TEST_DESKTOP");
  if (!state || !*state) {
    *why = "TILVANE_TEST_DESKTOP is not set: X tests run only under ctest, on the test desktop its fixture starts";
    return std::nullopt;
  }
  const std::filesystem::path dir(state);
  const std::string number = firstLine(dir / "display");
  const std::string token = firstLine(dir / "token");
  if (number.empty() || token.empty() || !std::filesystem::exists(dir / "ready")) {
    *why = "no test desktop is running in " + dir.string();
    return std::nullopt;
  }
  const std::string display = ":" + number;
  XProbe probe(display);
  if (!probe.ok()) {
    *why = "cannot connect to the test desktop " + display;
    return std::nullopt;
  }
  if (probe.text(probe.root(), "_TILVANE_TEST_DESKTOP") != token) {
    *why = "display " + display + " is not the test desktop started for these tests; refusing to run on it";
    return std::nullopt;
  }
  return display;
}

void notifyReadableDescriptors(dispatch::VirtualMainLoop& loop) {
  std::vector<pollfd> fds;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    const int fd = std::atoi(entry.path().filename().c_str());
    if (fd > 2) fds.push_back(pollfd{fd, POLLIN, 0});
  }
  if (fds.empty() || poll(fds.data(), fds.size(), 0) <= 0) return;
  for (const pollfd& p : fds)
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) loop.notifyReadable(p.fd);
}

X11DesktopTest::X11DesktopTest() = default;

X11DesktopTest::~X11DesktopTest() {
  clients_.clear();
  children_.clear();
  if (const auto left = mark_.endMarked(); !left.empty())
    std::cerr << "ended what the test left running: " << joined(left) << "\n";
  if (state_.empty()) return;
  // A window manager that ended while this test ran (or as its windows went, just now) is this test's failure:
  // found by the next test, it would be taken for that one's.
  if (probe_ && probe_->ok()) {
    probe_->syncWindowManager();
    // Its check window goes with its connection, a little before its process is seen to end: that process is
    // waited for, or the next test would take its end for its own.
    if (std::filesystem::exists(state_ / "wm.pid") && !probe_->windowManagerConnected())
      waitUntil([&] { return !windowManagerEnded(state_).empty(); }, 10.0);
  }
  if (const std::string ended = windowManagerEnded(state_); !ended.empty()) {
    ADD_FAILURE() << "the test desktop's " << ended << " during this test; its last lines:" << lastLines(state_ / "wm.log", 15)
                  << "\n" << reviveDesktop(state_);
  }
  std::ofstream(state_ / "last-test") << currentTestName() << "\n";
}

std::string X11DesktopTest::windowManagerEnded(const std::filesystem::path& state) {
  if (std::filesystem::exists(state / "wm.pid") && !runs(state / "wm.pid", firstLine(state / "wm.comm")))
    return "window manager (" + firstLine(state / "wm") + ") ended";
  return "";
}

std::string X11DesktopTest::reviveDesktop(const std::filesystem::path& state) {
  std::vector<std::string> ended;
  if (!windowManagerEnded(state).empty()) ended.push_back("window manager (" + firstLine(state / "wm") + ")");
  if (std::filesystem::exists(state / "trayer.pid") && !runs(state / "trayer.pid", "trayer"))
    ended.push_back("tray (trayer)");
  if (ended.empty()) return "";
  // Started for the desktop, not for this test: without the test's mark, so the test's end leaves it running.
  auto revive = ChildProcess::spawn(
      {"env", "-u", kTestOwnerVariable, "bash", TILVANE_TEST_DESKTOP_SCRIPT, "revive", state.string()});
  const int status = revive ? revive->wait(60.0) : -1;
  return joined(ended) + (status == 0 ? ", started again" : ", and could not be started again") +
         " (the logs are in " + state.string() + ")";
}

void X11DesktopTest::SetUp() {
  // What a test process that has gone (killed at its time-out, crashed) left running would reach this test.
  if (const auto left = ProcessMark::endLeftByGoneTests(); !left.empty())
    std::cerr << "ended what tests that have gone left running: " << joined(left) << "\n";
  std::string why;
  const auto display = findTestDisplay(&why);
  ASSERT_TRUE(display.has_value()) << why;
  // A window manager or tray that ended would fail every later test on this desktop, each for a reason of its
  // own: it is started again, and this test says that it had ended, and after which test (the test's own end
  // checks the window manager, so this one ended after that check, between the two tests).
  const std::filesystem::path state(std::getenv("TILVANE_TEST_DESKTOP"));
  const std::string before = firstLine(state / "last-test");
  const std::string lines = windowManagerEnded(state).empty() ? "" : lastLines(state / "wm.log", 15);
  const std::string revived = reviveDesktop(state);
  ASSERT_TRUE(revived.empty()) << "the test desktop's " << revived << ", after the test "
                               << (before.empty() ? "?" : before) << " had ended"
                               << (lines.empty() ? "" : "; the window manager's last lines:" + lines);
  state_ = state;
  display_ = *display;
  windowManager_ = firstLine(std::filesystem::path(std::getenv("TILVANE_TEST_DESKTOP")) / "wm");
  if (windowManager_.empty()) windowManager_ = "openbox";
  displayEnv_ = std::make_unique<ScopedEnv>("DISPLAY", display_);
  probe_ = std::make_unique<XProbe>(display_);
  ASSERT_TRUE(probe_->ok());
  // Each test starts on the first desktop: one ended by its time-out (TearDown never ran) may have left another
  // shown, and every later test would fail for that.
  if (probe_->currentDesktop() != 0) {
    probe_->switchDesktop(0);
    waitUntil([&] { return probe_->currentDesktop() == 0; });
  }
  desktopAtStart_ = probe_->currentDesktop();
  // Tests count and admit the desktop's windows, so each starts on a desktop holding nothing but its dock: the
  // windows of the test before may still be closing, and a window nobody asked for must fail here, by name,
  // rather than be taken for the test's own.
  std::vector<std::string> strangers;
  const bool empty = waitUntil(
      [&] {
        strangers.clear();
        for (const xcb_window_t w : probe_->clientList()) {
          const auto types = probe_->cardinals(w, "_NET_WM_WINDOW_TYPE");
          if (types.size() == 1 && types[0] == probe_->atom("_NET_WM_WINDOW_TYPE_DOCK")) continue;
          std::string cls = probe_->text(w, "WM_CLASS");
          std::replace(cls.begin(), cls.end(), '\0', ' ');
          strangers.push_back(cls.empty() ? std::to_string(w) : cls);
        }
        return strangers.empty();
      },
      10.0);
  if (!empty) {
    // Closed once named, so the next test finds the desktop as it should be; never a window of the window
    // manager's own connection.
    const std::uint32_t mask = xcb_get_setup(probe_->connection())->resource_id_mask;
    const auto check = probe_->cardinals(probe_->root(), "_NET_SUPPORTING_WM_CHECK");
    for (const xcb_window_t w : probe_->clientList()) {
      const auto types = probe_->cardinals(w, "_NET_WM_WINDOW_TYPE");
      const bool dock = types.size() == 1 && types[0] == probe_->atom("_NET_WM_WINDOW_TYPE_DOCK");
      const bool windowManagers = !check.empty() && (w & ~mask) == (check[0] & ~mask);
      if (!dock && !windowManagers) probe_->disconnectClient(w);
    }
  }
  // A key or button a test killed before its end left down would change every later stroke and click.
  if (const auto released = probe_->releaseHeldKeysAndButtons(); !released.empty())
    std::cerr << "let go of what a test left held down: " << joined(released) << "\n";
  // A client holding the pointer or the keyboard (a menu left open) would take every later click and key.
  ASSERT_TRUE(waitUntil([&] { return !probe_->pointerOrKeyboardHeld(); }, 10.0))
      << "another client holds the test desktop's pointer or keyboard";
  ASSERT_TRUE(empty) << "the test desktop holds windows no test made (closed now): "
                     << ::testing::PrintToString(strangers);
}

void X11DesktopTest::TearDown() {
  // What the test left held down (a program that posts a key and never lets its modifier go) is its fault: it
  // fails here, and is let go, so the next test starts clean.
  if (probe_ && probe_->ok())
    if (const auto released = probe_->releaseHeldKeysAndButtons(); !released.empty())
      ADD_FAILURE() << "the test left keys or buttons held down (let go of now): " << joined(released);
  clients_.clear();
  children_.clear();
  // The next test starts on the desktop this one found.
  if (probe_ && probe_->ok() && probe_->currentDesktop() != desktopAtStart_) {
    probe_->switchDesktop(desktopAtStart_);
    waitUntil([&] { return probe_->currentDesktop() == desktopAtStart_; });
  }
  pump_ = nullptr;
}

TestClient& X11DesktopTest::launchClient(const std::vector<std::string>& args) {
  auto client = TestClient::launch(args);
  if (!client) throw std::runtime_error("the test client did not start");
  clients_.push_back(std::move(client));
  return *clients_.back();
}

ChildProcess& X11DesktopTest::spawn(const std::vector<std::string>& argv) {
  auto child = ChildProcess::spawn(argv);
  if (!child) throw std::runtime_error("cannot start " + argv.at(0));
  children_.push_back(std::move(child));
  return *children_.back();
}

void X11DesktopTest::startCompositingManager() {
  spawn({"xcompmgr"});
  if (!waitUntil([&] { return probe_->selectionOwner("_NET_WM_CM_S0") != XCB_WINDOW_NONE; }))
    throw std::runtime_error("xcompmgr does not composite the screen");
}

bool X11DesktopTest::waitUntil(const std::function<bool()>& condition, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(static_cast<long long>(seconds * 1e6));
  for (;;) {
    if (pump_) pump_();
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace tilvane::test::x11
