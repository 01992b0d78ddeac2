// The sim's answers to the display and window-server queries.
#include <algorithm>

#include "platform/desktop/sim/SimDesktop.h"

namespace tilvane::sim {
namespace {

bool containsPoint(const CGRect& r, double x, double y) {
  return x >= r.minX() && x < r.maxX() && y >= r.minY() && y < r.maxY();
}
}  // namespace

std::vector<NSScreen> SimDesktop::screens() const {
  std::vector<NSScreen> out;
  for (const Display& d : displays_) out.push_back(d.screen);
  return out;
}

void SimDesktop::visitScreens(const std::function<void(const NSScreen&)>& visit) const {
  for (const Display& d : displays_) visit(d.screen);
}

std::optional<NSScreen> SimDesktop::primaryScreen() const {
  const Display* primary = primaryOf(displays_, [](const Display& d) { return d.screen.frame; });
  return primary ? std::optional(primary->screen) : std::nullopt;
}

std::optional<NSScreen> SimDesktop::mainScreen() const {
  const Display* main = findDisplay(mainDisplay_);
  if (!main && !displays_.empty()) main = &displays_.front();
  if (!main) return std::nullopt;
  return main->screen;
}

std::optional<ManagedDisplaySpaces> SimDesktop::copyManagedDisplaySpaces() const {
  if (listingScripted_) return scriptedListing_;
  ManagedDisplaySpaces listing;
  for (const Display* d : managedDisplays()) {
    const bool shared = mode_ == SpacesMode::shared;
    const auto& spaces = shared ? sharedSpaces_ : d->spaces;
    const std::size_t current = shared ? sharedCurrent_ : d->current;
    ManagedDisplay entry;
    if (d->named) entry.displayIdentifier = d->uuid;
    entry.spaces.emplace();
    for (const auto& uuid : spaces) entry.spaces->push_back(ManagedSpace{uuid});
    if (current < spaces.size()) entry.currentSpace = ManagedSpace{spaces[current]};
    listing.push_back(std::move(entry));
  }
  return listing;
}

std::optional<std::string> SimDesktop::currentSpaceOfDisplay(
    const std::optional<std::string>& displayIdentifier) const {
  if (listingScripted_) return DisplayServer::currentSpaceOfDisplay(displayIdentifier);
  // What copyManagedDisplaySpaces() lists, read in place.
  for (const auto& uuid : managedOrder_) {
    if (displayIdentifier && uuid != *displayIdentifier) continue;
    const Display* d = findDisplay(uuid);
    if (!d || (displayIdentifier && !d->named)) continue;
    const bool shared = mode_ == SpacesMode::shared;
    const auto& spaces = shared ? sharedSpaces_ : d->spaces;
    const std::size_t current = shared ? sharedCurrent_ : d->current;
    if (current < spaces.size()) return spaces[current];
    if (!displayIdentifier) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::string> SimDesktop::bestManagedDisplayForRect(const CGRect& rect) const {
  const Edges r{rect.minX(), rect.minY(), rect.maxX(), rect.maxY()};
  const Display* best = nullptr;
  double bestArea = 0;
  for (const Display& d : displays_) {
    const double w = std::min(r.maxX, d.edges.maxX) - std::max(r.minX, d.edges.minX);
    const double h = std::min(r.maxY, d.edges.maxY) - std::max(r.minY, d.edges.minY);
    const double area = (w > 0 && h > 0) ? w * h : 0.0;
    if (area > bestArea) {
      bestArea = area;
      best = &d;
    }
  }
  if (!best) {
    // A rectangle without area (a point, a line) belongs to the display that holds its centre.
    for (const Display& d : displays_) {
      if (containsPoint(d.screen.frame, rect.midX(), rect.midY())) {
        best = &d;
        break;
      }
    }
  }
  if (!best || !best->named) return std::nullopt;
  return best->uuid;
}

}  // namespace tilvane::sim
