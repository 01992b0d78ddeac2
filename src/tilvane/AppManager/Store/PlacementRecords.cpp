#include "AppManager/Store/PlacementRecords.h"

#include "Models/AutoLayoutModel.h"

namespace tilvane {

AutoLayoutModelPtr PlacementRecords::Application::first() {
  while (firstLive_ < records_.size() && records_[firstLive_]->isInvalidated()) ++firstLive_;
  return firstLive_ < records_.size() ? records_[firstLive_] : nullptr;
}

AutoLayoutModelPtr PlacementRecords::Application::ofWindow(std::int64_t windowID) {
  const auto it = byWindow_.find(windowID);
  if (it == byWindow_.end()) return nullptr;
  if (!records_[it->second]->isInvalidated()) return records_[it->second];
  // The latest was deleted: an earlier record of the window, if one is left, takes its place.
  for (std::size_t at = it->second; at-- > 0;) {
    if (!records_[at]->isInvalidated() && records_[at]->windowID() == windowID) {
      it->second = at;
      return records_[at];
    }
  }
  byWindow_.erase(it);
  return nullptr;
}

AutoLayoutModelPtr PlacementRecords::Application::withId(const std::string& id) {
  const auto it = byId_.find(id);
  if (it == byId_.end()) return nullptr;
  if (!records_[it->second]->isInvalidated()) return records_[it->second];
  byId_.erase(it);
  return nullptr;
}

template <class Matches>
AutoLayoutModelPtr PlacementRecords::Application::firstOf(Positions& positions, Matches matches) {
  while (!positions.empty()) {
    const AutoLayoutModelPtr& record = records_[*positions.begin()];
    if (!record->isInvalidated() && matches(*record)) return record;
    positions.erase(positions.begin());
  }
  return nullptr;
}

AutoLayoutModelPtr PlacementRecords::Application::firstInSlot(std::int64_t windowIndex, std::int64_t screenCount) {
  const auto it = bySlot_.find({windowIndex, screenCount});
  if (it == bySlot_.end()) return nullptr;
  return firstOf(it->second, [&](const AutoLayoutModel& r) {
    return r.windowIndex() == windowIndex && r.screenCount() == screenCount;
  });
}

AutoLayoutModelPtr PlacementRecords::Application::firstWithScreenCount(std::int64_t screenCount) {
  const auto it = byScreenCount_.find(screenCount);
  if (it == byScreenCount_.end()) return nullptr;
  return firstOf(it->second, [&](const AutoLayoutModel& r) { return r.screenCount() == screenCount; });
}

void PlacementRecords::Application::append(const AutoLayoutModelPtr& record) {
  if (!record || record->isInvalidated()) return;
  const std::size_t at = records_.size();
  records_.push_back(record);
  byWindow_[record->windowID()] = at;  // the later record of a window wins, as in the store's order
  byId_[record->id()] = at;
  bySlot_[{record->windowIndex(), record->screenCount()}].insert(at);
  byScreenCount_[record->screenCount()].insert(at);
  positionOf_[record.get()] = at;
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

void PlacementRecords::add(store::Database& database, const AutoLayoutModelPtr& record) {
  // The record's own row is the one change expected since the last look; anything more is someone else's.
  const auto known = database_.lock();
  if (known.get() == &database &&
      database.rowsComeOrGone(AutoLayoutModel::schema().className()) == rowsComeOrGone_ + 1)
    ++rowsComeOrGone_;
  checkInStep(database);
  if (!record) return;
  const auto found = applications_.find(record->bundleIdentifier());
  // An application not read yet reads the record with the rest when it is first asked for.
  if (found != applications_.end()) found->second.append(record);
}

void PlacementRecords::moved(const AutoLayoutModelPtr& record, std::int64_t oldIndex) {
  if (!record) return;
  const auto found = applications_.find(record->bundleIdentifier());
  if (found == applications_.end()) return;
  Application& application = found->second;
  const auto position = application.positionOf_.find(record.get());
  if (position == application.positionOf_.end()) return;
  application.bySlot_[{oldIndex, record->screenCount()}].erase(position->second);
  application.bySlot_[{record->windowIndex(), record->screenCount()}].insert(position->second);
}

}  // namespace tilvane
