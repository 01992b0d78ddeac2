#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace crashreporting {

/// The library's system-log lines ("[Zizozu] …"). They go to standard error unless a sink is installed; a host
/// may route them into its own log. Safe from any thread.
class SystemLog {
 public:
  using Sink = std::function<void(std::string_view line)>;

  static void write(std::string_view line);
  /// Installs `sink` (none: back to standard error) and answers the one it replaces.
  static Sink setSink(Sink sink);

  /// Collects the lines written while it lives, instead of printing them (tests).
  class Capture {
   public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::vector<std::string> lines() const;
    /// How many lines equal `line`.
    std::size_t count(std::string_view line) const;

   private:
    struct Lines {
      std::mutex mutex;
      std::vector<std::string> lines;
    };
    // Shared with the sink, which a late writer on another thread may still hold.
    std::shared_ptr<Lines> lines_ = std::make_shared<Lines>();
    Sink previous_;
  };
};

}  // namespace crashreporting
