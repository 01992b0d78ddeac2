#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "AppManager/Store/PlacementRecords.h"
#include "Models/ModelsFwd.h"
#include "platform/base/SharedInstance.h"
#include "platform/store/Database.h"
#include "platform/store/Predicate.h"

namespace tilvane {

class SIWindow;

/// The one shared entry to the database: typed lists of the stored models, deletes by id, the insert-or-
/// replace write, the save of a new remembered placement, the schema migration and the workspace list file.
/// It keeps no database: each call opens this thread's instance with the default configuration (cheap while
/// anything of it is alive) and sees every committed write.
///
/// Predicates are store::Predicate values; ids and bundle identifiers are bound as parameters, never pasted
/// into query text (use idPredicate(), or Predicate::equals(...).andEquals(...)).
class StoreService {
 public:
  static StoreService& shared() { return SharedInstance<StoreService>::get(); }

  StoreService() = default;
  virtual ~StoreService() = default;
  StoreService(const StoreService&) = delete;
  StoreService& operator=(const StoreService&) = delete;

  /// The current schema version of the database.
  static constexpr std::uint64_t schemaVersion = 3;

  /// Makes the default database configuration: the default file location ($XDG_DATA_HOME/Tilvane/
  /// default.sqlite), schema version 3, the seven model classes and migrate() as migration block; then logs
  /// the file location at debug level. Called once at launch, before any other use of the database.
  void configureRealm();

  /// The migration block: converts the classes of schema version 2 and below ("LayoutModel", "AppRuleModel",
  /// "LayoutRuleModel") into AutoLayoutModel, RuleLayoutModel and CustomLayoutModel records and removes the
  /// old classes. Logs "migration data", then (for old versions ≤ 2) "start migration" … "migration end".
  /// An old "LayoutModel" that lacks a field the conversion needs is skipped with a warning line.
  static void migrate(store::Migration& migration, std::uint64_t oldSchemaVersion);

  /// The main thread never waits longer than this for another program's write lock; writes that find the file
  /// locked fail with Failure::busy and are retried by their owner.
  static constexpr double kBusyWait = 0.005;

  /// This thread's instance of the configured database, or null when it cannot be used. Before the first
  /// opening the file gets a quick check: a damaged file is copied aside and what reads whole is carried into a
  /// fresh file in its place (said once, naming the copy). The first failure is said once, in plain words
  /// naming the file and what the user can do (never to move aside a file that passes its check); the program
  /// then goes on without remembering, and tries no more until it is restarted (except after a lock held
  /// elsewhere, which passes). A read-only file is used for reading, and said once too.
  std::shared_ptr<store::Database> database() const;
  /// Reports a failed read or write: in plain words when nothing was said yet, else in the debug log only. A
  /// write refused because another program holds the lock is a warning each time (that change was not saved).
  void reportFailure(const store::Error& error) const;

  /// Tells the user about the store: `logLine` in the log (a warning, else a debug line), `screenLine`
  /// on the screen through the notifier when one is installed.
  void tellUser(bool warning, const std::string& logLine, const std::string& screenLine) const;
  /// Installs what shows a short line on the screen (the composition root: the message window).
  void setNotifier(std::function<void(const std::string&)> notifier) { notifier_ = std::move(notifier); }
  /// The configured database file in quotes, for messages.
  static std::string quotedFileName();

  // Lists, in the database's order; when the database cannot be used (reported once) the list is empty.
  std::vector<WorkspaceLayoutGroupModelPtr> workspaces() const;
  std::vector<CustomLayoutModelPtr> customLayouts() const;
  std::vector<RuleLayoutModelPtr> rules() const;
  std::vector<ExtensionAppModelPtr> extensionApps() const;

  /// The stored remembered placements matching `predicate`; absent when the database cannot be used.
  std::optional<std::vector<AutoLayoutModelPtr>> autoLayoutModels(const store::Predicate& predicate) const;

  /// "id = <id>", with the id bound as a value.
  static store::Predicate idPredicate(const std::string& id);

  /// Deletes the stored workspaces with the group's id and the items of the first of them, then rewrites the
  /// workspace list file (also when the delete failed). Database errors are reported.
  void deleteWorkspace(const WorkspaceLayoutGroupModel& group);
  /// Each deletes the stored objects with the object's id; database errors are reported.
  void deleteCustomLayout(const CustomLayoutModel& layout);
  void deleteRule(const RuleLayoutModel& rule);
  void deleteExtensionApp(const ExtensionAppModel& app);

  /// Deletes, in one write transaction, the stored objects of T whose id is the object's id.
  template <class T>
  void deleteObject(const T& object) {
    deleteObject(T::schema(), object.id());
  }
  void deleteObject(const store::ObjectSchema& schema, const std::string& id);

  /// Adds the object to `database`, replacing the stored object with the same primary key. Runs inside the
  /// caller's write transaction, which carries any error.
  void addUpdating(store::Database& database, const std::shared_ptr<store::Object>& object);

  /// Stores a new remembered placement unless one with its id is stored already; after a successful write
  /// logs "update layout: " and the record's description. Errors are reported; nothing is stored then.
  void updateLayout(const AutoLayoutModelPtr& model);
  /// updateLayout for many records in one write: each unmanaged one is stored unless one with its id is stored
  /// already (a record met twice is stored once).
  void updateLayouts(const std::vector<AutoLayoutModelPtr>& models);
  /// A record to be stored with updateLayouts soon: admission finds it among its application's records already.
  void expectLayout(const AutoLayoutModelPtr& model);

  /// Rewrites the workspace list file: an XML property list whose root dictionary maps each workspace id to
  /// its name. The folder is made with its parents; the file is written aside and renamed over the old one.
  /// Every failure is silent and leaves the old file as it was.
  void exportAlfredSpaces() const;

  /// Where exportAlfredSpaces() writes: $TILVANE_ALFRED_FILE when set and not empty (tests), else
  /// "/usr/local/var/tilvane/afredsupport/space.xml".
  static std::filesystem::path alfredSpacesFile();

  // The remembered placement of a window (StoreServicePlacement.cpp).

  /// The window's own record, never one another open window holds (the caller claims its window index): the
  /// latest of the same window (same window number) and display count, under its window index unless another
  /// window holds that; else the record of the lowest free index that no open window keeps, which takes the
  /// window's number; else the window's own record of another display count; else a new, unstored record of
  /// the window's own place for that index, carrying the frame fractions of a sibling of its application (one
  /// of the same display count, else the first), except on a desktop not yet seen since the first run, where
  /// it keeps its own. Null when the window's application, bundle identifier or display is missing.
  AutoLayoutModelPtr autoLayoutModelForWindow(const SIWindow& window);
  /// autoLayoutModelForWindow for a window whose application's bundle identifier the caller has asked already.
  AutoLayoutModelPtr autoLayoutModelForWindow(const SIWindow& window, const std::string& bundleIdentifier);
  /// A new, unstored record of where the window is now: fractions of its display's visible frame, its desktop,
  /// display, counts and the lowest free window index of its application. Null without bundle identifier or
  /// display.
  AutoLayoutModelPtr makeAutoLayoutModel(const SIWindow& window) const;
  /// The window's compound id: bundle identifier, lowest free window index and display count (at least 1)
  /// joined with "-"; absent without bundle identifier.
  std::optional<std::string> windowRecordId(const SIWindow& window) const;

  /// Called once per launch after the screen manager knows the displays: on a first run (no remembered
  /// placement stored yet) every desktop that exists goes into firstRunSpaces(), and 3.0 s later those shown
  /// then leave it. Windows met on a desktop still in the set keep their own frames. Logs "setupFirstRun".
  virtual void setupFirstRun();
  /// Removes the desktops shown now (one per display) from firstRunSpaces().
  void reconcileFirstRunSpaces();

  /// The desktops not yet seen shown since the first run (empty except on a first run).
  const std::set<int>& firstRunSpaces() const { return firstRunSpaces_; }
  void setFirstRunSpaces(std::set<int> spaces) { firstRunSpaces_ = std::move(spaces); }

 private:
  std::set<int> firstRunSpaces_;
  /// reconcileFirstRunSpaces kFirstRunReconcileDelay from now, unless one is due within a tenth of a second
  /// of that: windows admitted together need one look, not one each.
  void reconcileFirstRunSpacesLater();
  double lastReconcileDue_ = std::numeric_limits<double>::lowest();
  /// Checks the file before its first opening and rebuilds a damaged one; false when it must not be opened.
  bool examineFile() const;

  // What admission asks of the remembered placements, answered from memory; forgotten after a failure.
  mutable PlacementRecords placements_;
  // Whether a database problem was said already, and whether the database is given up for this run.
  mutable std::atomic<bool> told_{false};
  mutable std::atomic<bool> givenUp_{false};
  mutable std::atomic<bool> examined_{false};
  // The main thread's database instance, kept open for the run (see database()).
  mutable std::shared_ptr<store::Database> kept_;
  std::function<void(const std::string&)> notifier_;
};

}  // namespace tilvane
