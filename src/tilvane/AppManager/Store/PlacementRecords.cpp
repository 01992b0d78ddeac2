#include "AppManager/Store/PlacementRecords.h"

#include <functional>

#include "Models/AutoLayoutModel.h"

namespace tilvane {

std::uint64_t PlacementRecords::Application::slotKey(std::int64_t windowIndex, std::int64_t screenCount) {
  // Equal keys of different slots only cost a comparison: every hit is checked against the record.
  return static_cast<std::uint64_t>(windowIndex) * 0x9E3779B97F4A7C15ULL ^ static_cast<std::uint64_t>(screenCount);
}

bool PlacementRecords::Application::live(Position at) const { return !records_[at]->isInvalidated(); }

AutoLayoutModelPtr PlacementRecords::Application::first() {
  while (firstLive_ < records_.size() && !live(firstLive_)) ++firstLive_;
  return firstLive_ < records_.size() ? records_[firstLive_] : nullptr;
}

std::uint64_t PlacementRecords::Application::windowKey(std::int64_t windowID, std::int64_t screenCount) {
  // Window numbers take 32 bits; a rare equal key of another window is told apart by checking the record.
  return static_cast<std::uint64_t>(windowID) ^ static_cast<std::uint64_t>(screenCount) << 40;
}

std::uint64_t PlacementRecords::Application::windowKey(const AutoLayoutModel& record) {
  return windowKey(record.windowID(), record.screenCount());
}

void PlacementRecords::Application::noteLatestOfWindow(const AutoLayoutModel& record, Position at) {
  const auto key = windowKey(record);
  if (Position* latest = byWindow_.find(key))
    *latest = at;
  else
    byWindow_.insert(key, at);
}

std::optional<PlacementRecords::Application::Position> PlacementRecords::Application::latestOfWindow(
    std::int64_t windowID, std::int64_t screenCount) {
  const auto key = windowKey(windowID, screenCount);
  Position* latest = byWindow_.find(key);
  if (!latest) return std::nullopt;
  // When the latest was deleted or given to another window, an earlier record of the window, if one is left,
  // takes its place.
  for (Position at = *latest + 1; at-- > 0;) {
    if (live(at) && records_[at]->windowID() == windowID && records_[at]->screenCount() == screenCount) {
      *latest = at;
      return at;
    }
  }
  byWindow_.erase(key, *latest);
  return std::nullopt;
}

AutoLayoutModelPtr PlacementRecords::Application::ofWindow(std::int64_t windowID,
                                                           std::optional<std::int64_t> screenCount) {
  std::optional<Position> found;
  if (screenCount) {
    found = latestOfWindow(windowID, *screenCount);
  } else {
    // The display counts met are few.
    for (const auto& [count, first] : firstByScreenCount_)
      if (const auto at = latestOfWindow(windowID, count); at && (!found || *at > *found)) found = at;
  }
  return found ? records_[*found] : nullptr;
}

AutoLayoutModelPtr PlacementRecords::Application::withId(const std::string& id) {
  AutoLayoutModelPtr found;
  byId_.visit(std::hash<std::string>{}(id), [&](Position& at) {
    if (live(at) && records_[at]->id() == id) found = records_[at];
    return !found;
  });
  return found;
}

AutoLayoutModelPtr PlacementRecords::Application::firstInSlot(
    std::int64_t windowIndex, std::int64_t screenCount,
    const std::function<bool(const AutoLayoutModel&)>& accept) {
  std::optional<Position> best;
  bySlot_.visit(slotKey(windowIndex, screenCount), [&](Position& at) {
    const AutoLayoutModel& r = *records_[at];
    if (live(at) && r.windowIndex() == windowIndex && r.screenCount() == screenCount && (!best || at < *best) &&
        (!accept || accept(r)))
      best = at;
    return true;
  });
  return best ? records_[*best] : nullptr;
}

AutoLayoutModelPtr PlacementRecords::Application::firstWithScreenCount(std::int64_t screenCount) {
  const auto it = firstByScreenCount_.find(screenCount);
  if (it == firstByScreenCount_.end()) return nullptr;
  // Display counts never change, so the next one left is found walking on from the first.
  for (Position at = it->second; at < records_.size(); ++at) {
    if (live(at) && records_[at]->screenCount() == screenCount) {
      it->second = at;
      return records_[at];
    }
  }
  firstByScreenCount_.erase(it);
  return nullptr;
}

std::optional<PlacementRecords::Application::Position> PlacementRecords::Application::positionOf(
    const AutoLayoutModelPtr& record) {
  // Usually the window's latest record, found without its id.
  if (const Position* latest = byWindow_.find(windowKey(*record)); latest && records_[*latest] == record)
    return *latest;
  std::optional<Position> found;
  byId_.visit(std::hash<std::string>{}(record->id()), [&](Position& at) {
    if (records_[at] == record) found = at;
    return !found;
  });
  return found;
}

void PlacementRecords::Application::append(const AutoLayoutModelPtr& record) {
  if (!record || record->isInvalidated()) return;
  const auto at = static_cast<Position>(records_.size());
  records_.push_back(record);
  // The later record of a window wins, as in the store's order.
  noteLatestOfWindow(*record, at);
  byId_.insert(std::hash<std::string>{}(record->id()), at);
  bySlot_.insert(slotKey(record->windowIndex(), record->screenCount()), at);
  firstByScreenCount_.try_emplace(record->screenCount(), at);  // kept when there is one already
}

void PlacementRecords::checkInStep(store::Database& database) {
  const std::uint64_t changes = database.rowsComeOrGone(AutoLayoutModel::schema().className());
  const auto known = database_.lock();
  if (known.get() == &database && changes == rowsComeOrGone_) return;
  applications_.clear();
  database_ = database.weak_from_this();
  thread_ = std::this_thread::get_id();
  rowsComeOrGone_ = changes;
}

void PlacementRecords::forget() {
  if (std::this_thread::get_id() == thread_) applications_.clear();
}

PlacementRecords::Application& PlacementRecords::of(store::Database& database, const std::string& bundleIdentifier) {
  checkInStep(database);
  const auto found = applications_.find(bundleIdentifier);
  if (found != applications_.end()) return found->second;
  Application application;
  for (const AutoLayoutModelPtr& record :
       database.objects<AutoLayoutModel>(store::Predicate::equals("bundleIdentifier", bundleIdentifier)))
    application.append(record);
  return applications_.insert_or_assign(bundleIdentifier, std::move(application)).first->second;
}

void PlacementRecords::stored(store::Database& database, const std::vector<AutoLayoutModelPtr>& records) {
  // The records' own rows are the changes expected since the last look; anything more is someone else's.
  const auto known = database_.lock();
  if (known.get() == &database &&
      database.rowsComeOrGone(AutoLayoutModel::schema().className()) == rowsComeOrGone_ + records.size())
    rowsComeOrGone_ += records.size();
  checkInStep(database);
  for (const AutoLayoutModelPtr& record : records) expect(record);
}

void PlacementRecords::expect(const AutoLayoutModelPtr& record) {
  if (!record) return;
  const auto found = applications_.find(record->bundleIdentifier());
  // An application not read yet reads the record with the rest once it is stored and asked for.
  if (found != applications_.end() && !found->second.positionOf(record)) found->second.append(record);
}

std::optional<std::pair<PlacementRecords::Application*, PositionIndex::Position>> PlacementRecords::locate(
    const AutoLayoutModelPtr& record) {
  if (!record) return std::nullopt;
  const auto found = applications_.find(record->bundleIdentifier());
  if (found == applications_.end()) return std::nullopt;
  const auto at = found->second.positionOf(record);
  if (!at) return std::nullopt;
  return std::pair{&found->second, *at};
}

void PlacementRecords::moved(const AutoLayoutModelPtr& record, std::int64_t oldIndex) {
  const auto located = locate(record);
  if (!located) return;
  const auto [application, at] = *located;
  application->bySlot_.erase(Application::slotKey(oldIndex, record->screenCount()), at);
  application->bySlot_.insert(Application::slotKey(record->windowIndex(), record->screenCount()), at);
}

void PlacementRecords::renumbered(const AutoLayoutModelPtr& record) {
  const auto located = locate(record);
  if (!located) return;
  const auto [application, at] = *located;
  // Its old number's entry is mended when next asked for (ofWindow checks every record it finds).
  application->noteLatestOfWindow(*record, at);
}

}  // namespace tilvane
