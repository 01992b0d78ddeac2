#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "AppManager/Store/PositionIndex.h"
#include "Models/ModelsFwd.h"
#include "platform/store/Database.h"

namespace tilvane {

/// The remembered placements of each application met so far, read from the store once per application and
/// kept in step with it, so admitting a window asks no query and scans no list: records stored and announced
/// with stored() join at once (expect() lets them join before their write), a record whose window index changes
/// is moved with moved(), one given to another window with renumbered(), deleted or cancelled ones are passed
/// over when met, and rows added or deleted by anyone else (another connection too), another database instance
/// or forget() make every application be read afresh. Main thread only.
class PlacementRecords {
 public:
  /// One application's records, indexed by what admission asks. Positions are in the store's order; the
  /// indexes hold positions only, so a managed window costs a few words here.
  class Application {
   public:
    bool empty() { return !first(); }
    /// The first live record in the store's order; null when none.
    AutoLayoutModelPtr first();
    /// The latest record of the window with this number made for this display count (for any, when absent);
    /// null when none.
    AutoLayoutModelPtr ofWindow(std::int64_t windowID, std::optional<std::int64_t> screenCount);
    /// The record with this id; null when none.
    AutoLayoutModelPtr withId(const std::string& id);
    /// The first record, in the store's order, with this window index and display count that `accept` takes (any
    /// when it is empty); null when none.
    AutoLayoutModelPtr firstInSlot(std::int64_t windowIndex, std::int64_t screenCount,
                                   const std::function<bool(const AutoLayoutModel&)>& accept = {});
    /// The first record with this display count; null when none.
    AutoLayoutModelPtr firstWithScreenCount(std::int64_t screenCount);

   private:
    friend class PlacementRecords;
    using Position = PositionIndex::Position;
    static std::uint64_t slotKey(std::int64_t windowIndex, std::int64_t screenCount);
    static std::uint64_t windowKey(const AutoLayoutModel& record);
    static std::uint64_t windowKey(std::int64_t windowID, std::int64_t screenCount);
    void append(const AutoLayoutModelPtr& record);
    bool live(Position at) const;
    std::optional<Position> latestOfWindow(std::int64_t windowID, std::int64_t screenCount);
    /// The record at `at` is its window's latest for its display count.
    void noteLatestOfWindow(const AutoLayoutModel& record, Position at);
    /// Where the record is; absent when it is not one of these.
    std::optional<Position> positionOf(const AutoLayoutModelPtr& record);

    std::vector<AutoLayoutModelPtr> records_;
    Position firstLive_ = 0;
    PositionIndex byWindow_;  // one position per window number and display count: its latest record
    PositionIndex byId_;      // by the id's hash; equal hashes are told apart
    PositionIndex bySlot_;
    std::map<std::int64_t, Position> firstByScreenCount_;
  };

  /// The application's records in `database`, read now when not known yet or no longer trusted. Throws
  /// store::Error when the read fails.
  Application& of(store::Database& database, const std::string& bundleIdentifier);
  /// Records just stored in `database` by one write, the only rows added or deleted since the last call.
  void stored(store::Database& database, const std::vector<AutoLayoutModelPtr>& records);
  /// A record about to be stored: its application's lookups find it from now on.
  void expect(const AutoLayoutModelPtr& record);
  /// The record's window index was `oldIndex` and has just been changed.
  void moved(const AutoLayoutModelPtr& record, std::int64_t oldIndex);
  /// The record has just been given to another window: its window number is the only record's with it.
  void renumbered(const AutoLayoutModelPtr& record);
  /// Trusts nothing read so far (after a failed write, whose rollback brings back values behind our back).
  /// Called from another thread, there is nothing of that thread's to forget.
  void forget();

 private:
  /// The record's application and where the record stands in it; absent when it is not known here.
  std::optional<std::pair<Application*, PositionIndex::Position>> locate(const AutoLayoutModelPtr& record);
  /// Forgets everything when the instance changed or rows came or went since the last look.
  void checkInStep(store::Database& database);

  std::weak_ptr<store::Database> database_;
  std::thread::id thread_;
  std::uint64_t rowsComeOrGone_ = 0;
  std::unordered_map<std::string, Application> applications_;
};

}  // namespace tilvane
