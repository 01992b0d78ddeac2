#include "crashreporting/platform/NotificationCenter.h"

#include "crashreporting/platform/ProcessShared.h"

namespace crashreporting {

NotificationCenter& NotificationCenter::defaultCenter() { return Shared<NotificationCenter>::get(); }

std::uint64_t NotificationCenter::addObserver(std::string name, Observer observer) {
  const std::lock_guard lock(mutex_);
  const std::uint64_t id = nextId_++;
  entries_.push_back({id, std::move(name), std::move(observer)});
  return id;
}

void NotificationCenter::removeObserver(std::uint64_t id) {
  const std::lock_guard lock(mutex_);
  std::erase_if(entries_, [id](const Entry& entry) { return entry.id == id; });
}

void NotificationCenter::postNotificationName(std::string_view name) {
  std::vector<Observer> observers;
  {
    const std::lock_guard lock(mutex_);
    for (const Entry& entry : entries_)
      if (entry.name == name) observers.push_back(entry.observer);
  }
  // Outside the lock: an observer may add or remove observers.
  for (const Observer& observer : observers) observer(name);
}

}  // namespace crashreporting
