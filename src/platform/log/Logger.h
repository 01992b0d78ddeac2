#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace spdlog {
class logger;
namespace sinks {
class sink;
}
}  // namespace spdlog

namespace tilvane::log {

enum class Level { debug = 0, info = 1, warning = 2, error = 3 };

/// A destination of log lines with a threshold: lines below it are ignored. Lines are written as given, with
/// no time stamp or level name, and flushed at once so a crash loses nothing already logged.
class Appender {
 public:
  virtual ~Appender() = default;
  const std::string& identifier() const { return identifier_; }
  Level thresholdLevel() const { return threshold_; }
  void setThresholdLevel(Level level);
  std::shared_ptr<spdlog::sinks::sink> sink() const { return sink_; }

 protected:
  Appender(std::string identifier, std::shared_ptr<spdlog::sinks::sink> sink);

 private:
  std::string identifier_;
  Level threshold_ = Level::debug;
  std::shared_ptr<spdlog::sinks::sink> sink_;
};

/// Writes to the process's standard output, and warnings and errors to its standard error too, where a
/// terminal user or a session log looks for them (once only when both streams are the same file).
class ConsoleAppender final : public Appender {
 public:
  explicit ConsoleAppender(std::string identifier);
};

/// Appends to a file, creating it on first use. A file that cannot be opened drops its lines silently.
class FileAppender final : public Appender {
 public:
  FileAppender(std::string identifier, std::string path);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

/// A named logger. Loggers are shared by identifier (getLogger); their appenders are assigned as a whole.
class Logger {
 public:
  /// A logger with the default appenders (standard output, threshold debug), not registered.
  explicit Logger(std::string identifier);
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  /// The registered logger with this identifier, made on first request.
  static std::shared_ptr<Logger> getLogger(const std::string& identifier);
  /// Forgets every registered logger (tests).
  static void resetRegistry();

  const std::string& identifier() const { return identifier_; }
  void setAppenders(std::vector<std::shared_ptr<Appender>> appenders);
  std::vector<std::shared_ptr<Appender>> appenders() const;

  void debug(std::string_view line);
  void warning(std::string_view line);
  void error(std::string_view line);
  void flush();

 private:
  void write(Level level, std::string_view line);

  std::string identifier_;
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Appender>> appenders_;
  std::unique_ptr<spdlog::logger> logger_;
};

}  // namespace tilvane::log
