#include "platform/log/Logger.h"

#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/sinks/base_sink.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace tilvane::log {
namespace {

spdlog::level::level_enum toSpd(Level l) {
  switch (l) {
    case Level::debug: return spdlog::level::debug;
    case Level::info: return spdlog::level::info;
    case Level::warning: return spdlog::level::warn;
    case Level::error: return spdlog::level::err;
  }
  return spdlog::level::debug;
}

bool sameFile(int a, int b) {
  struct stat first {}, second {};
  return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

class ConsoleSink final : public spdlog::sinks::base_sink<std::mutex> {
 protected:
  void sink_it_(const spdlog::details::log_msg& message) override {
    spdlog::memory_buf_t line;
    formatter_->format(message, line);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    // Looked at per line: the streams may be redirected while the program runs (tests capture them).
    if (message.level >= spdlog::level::warn && !sameFile(STDOUT_FILENO, STDERR_FILENO)) {
      std::fwrite(line.data(), 1, line.size(), stderr);
      std::fflush(stderr);
    }
  }
  void flush_() override {
    std::fflush(stdout);
    std::fflush(stderr);
  }
};

std::shared_ptr<spdlog::sinks::sink> withPlainPattern(std::shared_ptr<spdlog::sinks::sink> sink) {
  sink->set_formatter(std::make_unique<spdlog::pattern_formatter>("%v"));
  return sink;
}

std::shared_ptr<spdlog::sinks::sink> openFileSink(const std::string& path) {
  try {
    return std::make_shared<spdlog::sinks::basic_file_sink_mt>(path, false);
  } catch (const spdlog::spdlog_ex&) {
    // An unwritable log folder must not stop the program.
    return std::make_shared<spdlog::sinks::null_sink_mt>();
  }
}

std::mutex registryMutex;
std::map<std::string, std::shared_ptr<Logger>>& registry() {
  static std::map<std::string, std::shared_ptr<Logger>> r;
  return r;
}

}  // namespace

Appender::Appender(std::string identifier, std::shared_ptr<spdlog::sinks::sink> sink)
    : identifier_(std::move(identifier)), sink_(withPlainPattern(std::move(sink))) {
  sink_->set_level(toSpd(threshold_));
}

void Appender::setThresholdLevel(Level level) {
  threshold_ = level;
  sink_->set_level(toSpd(level));
}

ConsoleAppender::ConsoleAppender(std::string identifier)
    : Appender(std::move(identifier), std::make_shared<ConsoleSink>()) {}

FileAppender::FileAppender(std::string identifier, std::string path)
    : Appender(std::move(identifier), openFileSink(path)), path_(std::move(path)) {}

Logger::Logger(std::string identifier) : identifier_(std::move(identifier)) {
  setAppenders({std::make_shared<ConsoleAppender>("stdout")});
}

Logger::~Logger() { flush(); }

std::shared_ptr<Logger> Logger::getLogger(const std::string& identifier) {
  std::lock_guard lock(registryMutex);
  auto& slot = registry()[identifier];
  if (!slot) slot = std::make_shared<Logger>(identifier);
  return slot;
}

void Logger::resetRegistry() {
  std::lock_guard lock(registryMutex);
  registry().clear();
}

void Logger::setAppenders(std::vector<std::shared_ptr<Appender>> appenders) {
  std::vector<std::shared_ptr<spdlog::sinks::sink>> sinks;
  for (const auto& a : appenders) sinks.push_back(a->sink());
  auto logger = std::make_unique<spdlog::logger>(identifier_, sinks.begin(), sinks.end());
  logger->set_level(spdlog::level::trace);  // the appenders' thresholds decide
  logger->flush_on(spdlog::level::trace);
  std::lock_guard lock(mutex_);
  appenders_ = std::move(appenders);
  logger_ = std::move(logger);
}

std::vector<std::shared_ptr<Appender>> Logger::appenders() const {
  std::lock_guard lock(mutex_);
  return appenders_;
}

void Logger::write(Level level, std::string_view line) {
  std::lock_guard lock(mutex_);
  if (logger_) logger_->log(toSpd(level), spdlog::string_view_t(line.data(), line.size()));
}

void Logger::debug(std::string_view line) { write(Level::debug, line); }
void Logger::warning(std::string_view line) { write(Level::warning, line); }
void Logger::error(std::string_view line) { write(Level::error, line); }

void Logger::flush() {
  std::lock_guard lock(mutex_);
  if (logger_) logger_->flush();
}

}  // namespace tilvane::log
