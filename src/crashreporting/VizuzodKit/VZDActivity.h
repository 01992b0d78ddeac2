#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "crashreporting/platform/Operation.h"

namespace crashreporting {

/// Bits of the activity options.
inline constexpr std::uint64_t VZDActivitySuddenTerminationDisabled = 0x4000;
inline constexpr std::uint64_t VZDActivityAutomaticTerminationDisabled = 0x8000;
/// What the pipeline uses: recording an event (0xC000), rotating and submitting (0xC0FF).
inline constexpr std::uint64_t VZDActivityRecordingOptions = 0xC000;
inline constexpr std::uint64_t VZDActivitySubmittingOptions = 0xC0FF;

/// A stretch of work the process should not be ended during. Linux has neither sudden nor automatic
/// termination nor background tasks: an activity that asks to keep the process alive is counted
/// (activitiesInProgress), so a host can hold its exit while one runs. Ends once: by end() or when it goes.
class VZDActivity {
 public:
  static std::unique_ptr<VZDActivity> beginActivity(const std::string& name, std::uint64_t options,
                                                    std::function<void()> expirationHandler);
  static std::unique_ptr<VZDActivity> beginActivity(const std::string& name, std::uint64_t options);
  /// Begins, runs `block`, ends.
  static void performActivity(const std::string& name, std::uint64_t options, const std::function<void()>& block);
  /// Activities of this process that keep it from being ended and have not ended yet.
  static int activitiesInProgress();

  ~VZDActivity() { end(); }
  VZDActivity(const VZDActivity&) = delete;
  VZDActivity& operator=(const VZDActivity&) = delete;

  /// Safe to repeat.
  void end();
  bool isActive() const { return active_; }
  std::uint64_t options() const { return options_; }
  const std::string& reason() const { return reason_; }
  /// Always 0: there are no background tasks here.
  std::uint64_t backgroundTaskIdentifier() const { return 0; }

 private:
  class Token {
    friend class VZDActivity;
    Token() = default;
  };

 public:
  VZDActivity(Token, std::string reason, std::uint64_t options);

 private:
  void beginActivityIfAvailable();

  std::string reason_;
  std::uint64_t options_;
  bool active_ = false;
  bool counted_ = false;
};

/// Holds an activity from when it is made until it runs: make it depend on the work the activity covers.
class VZDActivityOperation : public Operation {
 public:
  /// Begins the activity at once.
  static std::shared_ptr<VZDActivityOperation> operationByStartingActivityName(const std::string& name,
                                                                               std::uint64_t options);
  explicit VZDActivityOperation(std::unique_ptr<VZDActivity> activity) : activity_(std::move(activity)) {}
  void main() override;
  const VZDActivity& activity() const { return *activity_; }

 private:
  std::unique_ptr<VZDActivity> activity_;
};

}  // namespace crashreporting
