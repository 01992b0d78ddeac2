#include "AppManager/Logging/LogManager.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "platform/base/XdgPaths.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/log/ErrorReport.h"
#include "platform/log/Logger.h"

namespace tilvane {
namespace {

constexpr const char* kLoggerIdentifier = "Tilvane.logger";

struct State {
  std::mutex mutex;
  std::shared_ptr<log::Logger> logger;
  std::string debugFile;
  std::string errorFile;
  std::vector<LogManager::Capture*> captures;
};

State& state() {
  static State s;
  return s;
}

// Failures the platform layer handles itself reach the log like the program's own errors.
const bool platformErrorsLogged = [] {
  log::setReporter([](log::Level level, std::string_view message) {
    if (level == log::Level::error)
      LogManager::error(message);
    else if (level == log::Level::warning)
      LogManager::warning(message);
    else
      LogManager::debug(message);
  });
  return true;
}();

std::string prefix(LogManager::level l) {
  switch (l) {
    case LogManager::level::warning: return "\u26A0\uFE0F ";
    case LogManager::level::error:
    case LogManager::level::severe: return "\U0001F534 ";
    default: return "\u2139\uFE0F ";
  }
}

// The day folder is named by the calendar date of the launch in local time. (A week-based year would name the
// last days of December after the next year.)
std::string dayFolderName(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y%m%d", &local);
  return buf;
}

void write(LogManager::level l, std::string_view message) {
  if (!LogManager::writes(l)) return;

  std::shared_ptr<log::Logger> logger;
  std::vector<LogManager::Capture*> captures;
  {
    std::lock_guard lock(state().mutex);
    logger = state().logger;
    captures = state().captures;
  }
  // Before setup: a short-lived logger with the default appenders (standard output), not kept.
  if (!logger) logger = std::make_shared<log::Logger>(kLoggerIdentifier);

  const std::string line = prefix(l) + std::string(message);
  for (auto* c : captures) c->record(line);
  switch (l) {
    case LogManager::level::warning: logger->warning(line); break;
    case LogManager::level::error:
    case LogManager::level::severe: logger->error(line); break;
    default: logger->debug(line); break;
  }
}

}  // namespace

std::vector<LogManager::level>& LogManager::levels() {
  static std::vector<level> l;
  return l;
}

bool LogManager::writes(level l) {
  const auto& written = levels();
  return written.empty() || std::find(written.begin(), written.end(), l) != written.end();
}

void LogManager::setup() {
  const double now = dispatch::MainQueue::clock().now();
  const std::time_t launch = std::isfinite(now) ? static_cast<std::time_t>(now) : 0;
  const std::string date = dayFolderName(launch);
  const std::string seconds = std::to_string(static_cast<long long>(launch));

  const std::string folder = (xdg::dataHome() / "Tilvane" / "log").string();
  const std::string errorFolder = folder + "/error/" + date + "/";
  const std::string debugFolder = folder + "/debug/" + date + "/";
  const std::string errorFile = errorFolder + seconds + ".log";
  const std::string debugFile = debugFolder + seconds + ".log";

  // A folder that cannot be made does not stop the program: the console still works, and says so.
  std::error_code ec;
  std::filesystem::create_directories(errorFolder, ec);
  if (!ec) std::filesystem::create_directories(debugFolder, ec);

  auto logger = log::Logger::getLogger(kLoggerIdentifier);
  auto console = std::make_shared<log::ConsoleAppender>("console");
  auto errorAppender = std::make_shared<log::FileAppender>("errorFile", errorFile);
  auto debugAppender = std::make_shared<log::FileAppender>("debugFile", debugFile);
  console->setThresholdLevel(log::Level::debug);
  errorAppender->setThresholdLevel(log::Level::error);
  debugAppender->setThresholdLevel(log::Level::debug);
  logger->setAppenders({console, errorAppender, debugAppender});

  {
    std::lock_guard lock(state().mutex);
    state().logger = std::move(logger);
    state().debugFile = debugFile;
    state().errorFile = errorFile;
  }
  if (ec) warning("cannot write log files under " + folder + " (" + ec.message() + "): logging to the console only");
}

void LogManager::debug(std::string_view message) { write(level::debug, message); }

void LogManager::debugOptional(const std::optional<std::string>& text) {
  debug(text ? "Optional(\"" + *text + "\")" : std::string("nil"));
}

void LogManager::warning(std::string_view message) { write(level::warning, message); }

void LogManager::error(std::string_view description) { write(level::error, description); }

std::string LogManager::debugFilePath() {
  std::lock_guard lock(state().mutex);
  return state().debugFile;
}

std::string LogManager::errorFilePath() {
  std::lock_guard lock(state().mutex);
  return state().errorFile;
}

void LogManager::reset() {
  std::shared_ptr<log::Logger> logger;
  {
    std::lock_guard lock(state().mutex);
    logger = std::move(state().logger);
    state().debugFile.clear();
    state().errorFile.clear();
  }
  if (logger) logger->flush();
  log::Logger::resetRegistry();
}

LogManager::Capture::Capture() {
  std::lock_guard lock(state().mutex);
  state().captures.push_back(this);
}

LogManager::Capture::~Capture() {
  std::lock_guard lock(state().mutex);
  std::erase(state().captures, this);
}

void LogManager::Capture::record(const std::string& line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(line);
}

std::vector<std::string> LogManager::Capture::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::size_t LogManager::Capture::count(std::string_view text) const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count_if(
      lines_.begin(), lines_.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; }));
}

void LogManager::Capture::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

}  // namespace tilvane
