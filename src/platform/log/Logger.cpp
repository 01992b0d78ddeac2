#include "platform/log/Logger.h"

#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/sinks/stdout_sinks.h>

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

StdOutAppender::StdOutAppender(std::string identifier)
    : Appender(std::move(identifier), std::make_shared<spdlog::sinks::stdout_sink_mt>()) {}

FileAppender::FileAppender(std::string identifier, std::string path)
    : Appender(std::move(identifier), openFileSink(path)), path_(std::move(path)) {}

Logger::Logger(std::string identifier) : identifier_(std::move(identifier)) {
  setAppenders({std::make_shared<StdOutAppender>("stdout")});
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
