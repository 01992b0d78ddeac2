#pragma once

#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tilvane {

/// The one logging entry of the application. Lines go to the logger "Tilvane.logger" with the appenders
/// "console" (standard output; warnings and errors on standard error too), "errorFile" (error lines only) and
/// "debugFile" (every line), in dated files under $XDG_DATA_HOME/Tilvane/log/{error,debug}/YYYYMMDD/<launch
/// seconds>.log. A line is the level's prefix ("ℹ️ ", "⚠️ ", "🔴 ") and the message, nothing else. Before
/// setup() lines go to the console only.
class LogManager {
 public:
  enum class level { debug = 0, info = 1, warning = 2, error = 3, severe = 4 };

  /// The levels that are written; empty (the default) writes every level.
  static std::vector<level>& levels();
  /// Whether lines of this level are written: a line whose text costs something to build is built only then.
  static bool writes(level l);

  /// Attaches the console and the two dated files, reading the launch instant from the main loop's clock.
  /// Called once at launch before every other step; a second call replaces the logger (new files).
  static void setup();

  static void debug(std::string_view message);
  /// `Optional("text")` for a present text, `nil` for an absent one.
  static void debugOptional(const std::optional<std::string>& text);
  static void warning(std::string_view message);
  /// Writes an error's description.
  static void error(std::string_view description);

  /// Paths of the current files (empty before setup); for tests and the about pane.
  static std::string debugFilePath();
  static std::string errorFilePath();

  /// Flushes and drops the logger, as before setup (tests).
  static void reset();

  /// Records every line logged while it lives, prefix included, whether or not setup() ran; tests read what
  /// the program logged through it. Captures may nest.
  class Capture {
   public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::vector<std::string> lines() const;
    /// Number of lines that contain `text`.
    std::size_t count(std::string_view text) const;
    bool contains(std::string_view text) const { return count(text) > 0; }
    void clear();

    /// Called by the logger for each line.
    void record(const std::string& line);

   private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
  };
};

}  // namespace tilvane
