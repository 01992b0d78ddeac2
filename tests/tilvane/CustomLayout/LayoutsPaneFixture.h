#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <memory>
#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "CustomLayout/CustomLayoutViews.h"
#include "Models/CustomLayoutModel.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {

/// The stored fields of a custom layout but its id: (name, type, matrixValue, width, height, keyCode,
/// modifierFlags).
using LayoutFields = std::tuple<std::string, std::int64_t, std::int64_t, std::int64_t, std::int64_t, std::int64_t,
                                std::int64_t>;

inline LayoutFields fieldsOf(const CustomLayoutModel& m) {
  return {m.name(), m.type(), m.matrixValue(), m.width(), m.height(), m.keyCode(), m.modifierFlags()};
}

/// Views without a toolkit: no list view, and an editor view that keeps the alerts it shows.
struct AlertRecordingViews final : CustomLayoutViews {
  struct DetailView final : CustomLayoutDetailView {
    explicit DetailView(std::vector<std::string>& alerts) : alerts(alerts) {}
    void refresh() override {}
    void showAlert(const std::string& message) override { alerts.push_back(message); }
    std::vector<std::string>& alerts;
  };
  std::unique_ptr<CustomLayoutListView> makeView(CustomLayoutViewController&) override { return nullptr; }
  std::unique_ptr<CustomLayoutDetailView> makeView(CustomLayoutDetailViewController&) override {
    return std::make_unique<DetailView>(alerts);
  }
  std::vector<std::string> alerts;
};

/// A fresh world with the database at its default place under the temporary folder, the log captured, and a
/// record of every custom-layout event together with what the store held for that layout at that moment.
class LayoutsPaneTest : public WorldTest {
 protected:
  struct Event {
    std::string bus;
    CustomLayoutModelPtr layout;
    /// The stored fields of the event's layout when the event went out; absent when it was not stored.
    std::optional<LayoutFields> stored;
  };

  LayoutsPaneTest() {
    StoreService::shared().configureRealm();
    record("selected", CustomLayoutBridge::selectedLayout());
    record("changed", CustomLayoutBridge::layoutChanged());
    record("added", CustomLayoutBridge::layoutAdded());
    record("removed", CustomLayoutBridge::layoutRemoved());
    log.clear();
  }

  static CustomLayoutModelPtr layout(const std::string& name, std::int64_t type = 0, std::int64_t width = 4,
                                     std::int64_t height = 4, std::int64_t matrixValue = 65535) {
    auto m = std::make_shared<CustomLayoutModel>();
    m->setName(name);
    m->setType(type);
    m->setWidth(width);
    m->setHeight(height);
    m->setMatrixValue(matrixValue);
    return m;
  }
  static CustomLayoutModelPtr stored(CustomLayoutModelPtr m) {
    auto database = StoreService::shared().database();
    database->write([&] { StoreService::shared().addUpdating(*database, m); });
    return m;
  }
  /// The stored layout with `id`, as the store reads it now.
  static std::optional<LayoutFields> storedFields(const std::string& id) {
    for (const auto& m : StoreService::shared().customLayouts())
      if (m->id() == id) return fieldsOf(*m);
    return std::nullopt;
  }
  static std::vector<std::string> storedNames() {
    std::vector<std::string> names;
    for (const auto& m : StoreService::shared().customLayouts()) names.push_back(m->name());
    return names;
  }
  /// The buses of the events so far, in order ("selected", "changed", ...).
  std::vector<std::string> buses() const {
    std::vector<std::string> result;
    for (const auto& e : events) result.push_back(e.bus);
    return result;
  }
  std::vector<Event> eventsOn(const std::string& bus) const {
    std::vector<Event> result;
    for (const auto& e : events)
      if (e.bus == bus) result.push_back(e);
    return result;
  }

  std::vector<Event> events;
  LogManager::Capture log;
  rx::DisposeBag bag;

 private:
  void record(const std::string& bus, rx::PublishSubject<CustomLayoutModelPtr>& subject) {
    // Subscribed before any controller, so `stored` shows the store as it was before the event's subscribers ran.
    subject
        .subscribe([this, bus](const CustomLayoutModelPtr& m) {
          events.push_back({bus, m, m ? storedFields(m->id()) : std::nullopt});
        })
        .disposed(bag);
  }
};

}  // namespace tilvane::test
