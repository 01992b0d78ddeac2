#include "platform/desktop/sim/SimDesktop.h"

#include <algorithm>

#include "platform/base/Uuid.h"

namespace tilvane::sim {
namespace {
std::vector<std::string> makeSpaces(int count) {
  std::vector<std::string> spaces;
  for (int i = 0; i < count; ++i) spaces.push_back(makeUuidString());
  return spaces;
}
}  // namespace

SimDesktop::SimDesktop(SpacesMode mode, int sharedSpaceCount)
    : mode_(mode), sharedSpaces_(makeSpaces(sharedSpaceCount)) {
  center_.windowDidAppear()
      .subscribe([this](const NSRunningApplication& application) { launcher_.windowAppeared(application); })
      .disposed(windowsAppearing_);
}

std::string SimDesktop::addDisplay(const SimDisplayConfig& config) {
  Display d;
  d.uuid = config.uuid.empty() ? makeUuidString() : config.uuid;
  d.named = config.named;
  d.place(config.frame, config.visibleFrame.value_or(config.frame));
  d.spaces = makeSpaces(config.spaceCount);
  displays_.push_back(d);
  managedOrder_.push_back(d.uuid);
  return d.uuid;
}

std::string SimDesktop::addSpace(const std::string& displayUuid) {
  std::string uuid = makeUuidString();
  if (mode_ == SpacesMode::shared) {
    sharedSpaces_.push_back(uuid);
    return uuid;
  }
  Display* d = findDisplay(displayUuid);
  if (!d) return {};
  d->spaces.push_back(uuid);
  return uuid;
}

void SimDesktop::setManagedDisplayOrder(const std::vector<std::string>& displayUuids) {
  std::vector<std::string> order;
  for (const auto& uuid : displayUuids)
    if (findDisplay(uuid) && std::find(order.begin(), order.end(), uuid) == order.end()) order.push_back(uuid);
  for (const auto& uuid : managedOrder_)
    if (std::find(order.begin(), order.end(), uuid) == order.end()) order.push_back(uuid);
  managedOrder_ = std::move(order);
}

void SimDesktop::setMainDisplay(const std::string& displayUuid) { mainDisplay_ = displayUuid; }

void SimDesktop::scriptManagedDisplaySpaces(std::optional<ManagedDisplaySpaces> listing) {
  listingScripted_ = true;
  scriptedListing_ = std::move(listing);
}

void SimDesktop::clearScriptedManagedDisplaySpaces() {
  listingScripted_ = false;
  scriptedListing_.reset();
}

void SimDesktop::refuseEventCreation(std::function<bool(const CGEvent&)> refuse) { refuse_ = std::move(refuse); }

bool SimDesktop::switchToSpace(const std::string& spaceUuid) {
  bool changed = false;
  bool found = false;
  if (mode_ == SpacesMode::shared) {
    const auto it = std::find(sharedSpaces_.begin(), sharedSpaces_.end(), spaceUuid);
    if (it != sharedSpaces_.end()) {
      found = true;
      const auto index = static_cast<std::size_t>(it - sharedSpaces_.begin());
      changed = index != sharedCurrent_;
      sharedCurrent_ = index;
    }
  } else {
    for (Display& d : displays_) {
      const auto it = std::find(d.spaces.begin(), d.spaces.end(), spaceUuid);
      if (it == d.spaces.end()) continue;
      found = true;
      const auto index = static_cast<std::size_t>(it - d.spaces.begin());
      changed = index != d.current;
      d.current = index;
      break;
    }
  }
  if (changed) DesktopNotificationCenter::post(center_.activeSpaceDidChange());
  return found;
}

bool SimDesktop::switchToSpaceAtPosition(int position) {
  if (position < 1) return false;
  std::vector<std::string> ordered;
  if (mode_ == SpacesMode::shared) {
    ordered = sharedSpaces_;
  } else {
    for (const Display* d : managedDisplays()) ordered.insert(ordered.end(), d->spaces.begin(), d->spaces.end());
  }
  const auto index = static_cast<std::size_t>(position - 1);
  return index < ordered.size() && switchToSpace(ordered[index]);
}

std::string SimDesktop::connectDisplay(const SimDisplayConfig& config) {
  std::string uuid = addDisplay(config);
  notifyScreenParameters();
  return uuid;
}

bool SimDesktop::disconnectDisplay(const std::string& displayUuid) {
  const auto it = std::find_if(displays_.begin(), displays_.end(),
                               [&](const Display& d) { return d.uuid == displayUuid; });
  if (it == displays_.end()) return false;
  displays_.erase(it);
  std::erase(managedOrder_, displayUuid);
  notifyScreenParameters();
  return true;
}

bool SimDesktop::rearrangeDisplay(const std::string& displayUuid, const CGRect& frame,
                                  std::optional<CGRect> visibleFrame) {
  Display* d = findDisplay(displayUuid);
  if (!d) return false;
  d->place(frame, visibleFrame.value_or(frame));
  notifyScreenParameters();
  return true;
}

void SimDesktop::wake() {
  DesktopNotificationCenter::post(center_.didWake());
  DesktopNotificationCenter::post(center_.screensDidWake());
}

void SimDesktop::setCompositing(bool compositing) {
  if (program_.isCompositing() == compositing) return;
  program_.setCompositing(compositing);
  DesktopNotificationCenter::post(center_.compositingDidChange());
}

std::vector<std::string> SimDesktop::displayUuids() const {
  std::vector<std::string> uuids;
  for (const Display& d : displays_) uuids.push_back(d.uuid);
  return uuids;
}

std::vector<std::string> SimDesktop::spaceUuids(const std::string& displayUuid) const {
  if (mode_ == SpacesMode::shared) return sharedSpaces_;
  const Display* d = findDisplay(displayUuid);
  return d ? d->spaces : std::vector<std::string>{};
}

std::optional<std::string> SimDesktop::currentSpaceUuid(const std::string& displayUuid) const {
  if (mode_ == SpacesMode::shared) {
    if (sharedCurrent_ < sharedSpaces_.size()) return sharedSpaces_[sharedCurrent_];
    return std::nullopt;
  }
  const Display* d = findDisplay(displayUuid);
  if (!d || d->current >= d->spaces.size()) return std::nullopt;
  return d->spaces[d->current];
}

void SimDesktop::Display::place(const CGRect& frame, const CGRect& visibleFrame) {
  screen = NSScreen{frame, visibleFrame};
  edges = {frame.minX(), frame.minY(), frame.maxX(), frame.maxY()};
}

SimDesktop::Display* SimDesktop::findDisplay(const std::string& uuid) {
  for (Display& d : displays_)
    if (d.uuid == uuid) return &d;
  return nullptr;
}

const SimDesktop::Display* SimDesktop::findDisplay(const std::string& uuid) const {
  for (const Display& d : displays_)
    if (d.uuid == uuid) return &d;
  return nullptr;
}

std::vector<const SimDesktop::Display*> SimDesktop::managedDisplays() const {
  std::vector<const Display*> ordered;
  for (const auto& uuid : managedOrder_)
    if (const Display* d = findDisplay(uuid)) ordered.push_back(d);
  return ordered;
}

void SimDesktop::notifyScreenParameters() { DesktopNotificationCenter::post(center_.screenParametersDidChange()); }

}  // namespace tilvane::sim
