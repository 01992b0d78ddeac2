#include "crashreporting/VizuzodKit/VZDActivity.h"

#include <atomic>
#include <utility>

namespace crashreporting {
namespace {

std::atomic<int> gActivitiesInProgress{0};

bool keepsProcessAlive(std::uint64_t options) {
  return (options & (VZDActivitySuddenTerminationDisabled | VZDActivityAutomaticTerminationDisabled)) != 0;
}

}  // namespace

VZDActivity::VZDActivity(Token, std::string reason, std::uint64_t options) : reason_(std::move(reason)), options_(options) {}

std::unique_ptr<VZDActivity> VZDActivity::beginActivity(const std::string& name, std::uint64_t options,
                                                        std::function<void()>) {
  // The expiration handler belongs to background tasks, which this platform does not have.
  auto activity = std::make_unique<VZDActivity>(Token{}, name, options);
  activity->beginActivityIfAvailable();
  return activity;
}

std::unique_ptr<VZDActivity> VZDActivity::beginActivity(const std::string& name, std::uint64_t options) {
  return beginActivity(name, options, [] {});
}

void VZDActivity::performActivity(const std::string& name, std::uint64_t options,
                                  const std::function<void()>& block) {
  const auto activity = beginActivity(name, options);
  if (block) block();
  activity->end();
}

int VZDActivity::activitiesInProgress() { return gActivitiesInProgress.load(); }

void VZDActivity::beginActivityIfAvailable() {
  active_ = true;
  counted_ = keepsProcessAlive(options_);
  if (counted_) ++gActivitiesInProgress;
}

void VZDActivity::end() {
  if (!active_) return;
  active_ = false;
  if (counted_) --gActivitiesInProgress;
  counted_ = false;
}

std::shared_ptr<VZDActivityOperation> VZDActivityOperation::operationByStartingActivityName(const std::string& name,
                                                                                           std::uint64_t options) {
  return std::make_shared<VZDActivityOperation>(VZDActivity::beginActivity(name, options));
}

void VZDActivityOperation::main() {
  if (activity_) activity_->end();
}

}  // namespace crashreporting
