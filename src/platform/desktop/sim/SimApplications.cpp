#include "platform/desktop/sim/SimApplications.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/desktop/sim/SimDesktop.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane::sim {
namespace {
double overlapArea(const CGRect& a, const CGRect& b) {
  const double w = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
  const double h = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
  return (w > 0 && h > 0) ? w * h : 0.0;
}

}  // namespace

SimApplications::SimApplications(SimDesktop& desktop)
    : desktop_(desktop), observers_(std::make_shared<Observers>()) {}

SimApplications::~SimApplications() = default;

// --- set-up ---

pid_t SimApplications::addApplication(const SimApplicationConfig& config) {
  Application app;
  app.info.processIdentifier = nextPid_++;
  app.info.bundleIdentifier = config.bundleIdentifier;
  app.info.localizedName = config.name;
  app.info.executableURL = config.executable;
  app.info.isAgent = config.agent;
  app.mark = config.mark;
  app.parent = config.parent;
  app.session = config.session;
  app.startTime = dispatch::MainQueue::clock().now();
  applications_.push_back(std::move(app));
  lastFound_ = nullptr;
  Application& added = applications_.back();
  for (const SimWindowConfig& w : config.windows) makeWindow(added, w);
  return added.info.processIdentifier;
}

AXUIElement SimApplications::addWindow(pid_t pid, const SimWindowConfig& config) {
  Application* app = findApplication(pid);
  return app ? makeWindow(*app, config) : AXUIElement{};
}

void SimApplications::setWindowsRead(pid_t pid, SimWindowsRead read) {
  if (Application* app = findApplication(pid)) app->windowsRead = read;
}

void SimApplications::scriptWindowList(std::optional<std::vector<CGWindowInfo>> list) {
  windowListScripted_ = true;
  scriptedWindowList_ = std::move(list);
}

void SimApplications::clearScriptedWindowList() {
  windowListScripted_ = false;
  scriptedWindowList_.reset();
}

// --- user actions ---

std::optional<std::string> SimApplications::markOf(pid_t pid) const {
  const Application* app = findApplication(pid);
  return app ? app->mark : std::nullopt;
}

std::optional<double> SimApplications::startTimeOf(pid_t pid) const {
  const Application* app = findApplication(pid);
  return app ? std::optional(app->startTime) : std::nullopt;
}

std::optional<pid_t> SimApplications::parentOf(pid_t pid) const {
  const Application* app = findApplication(pid);
  // An orphan has no parent that tells anything.
  if (!app || !app->parent || !findApplication(*app->parent)) return std::nullopt;
  return app->parent;
}

std::optional<pid_t> SimApplications::sessionOf(pid_t pid) const {
  const Application* app = findApplication(pid);
  return app ? std::optional(app->session.value_or(pid)) : std::nullopt;
}

pid_t SimApplications::launchApplication(const SimApplicationConfig& config) {
  const pid_t pid = addApplication(config);
  notifyLaunch(NSWorkspaceApplicationNotification{findApplication(pid)->info});
  return pid;
}

bool SimApplications::quitApplication(pid_t pid) {
  const auto it = std::find_if(applications_.begin(), applications_.end(),
                               [pid](const Application& a) { return a.info.processIdentifier == pid; });
  if (it == applications_.end()) return false;
  const NSRunningApplication info = it->info;
  if (focused_ && focused_->pid == pid) focused_.reset();
  applications_.erase(it);
  lastFound_ = nullptr;
  // A process that ends takes its observers with it.
  std::erase_if(*observers_, [pid](const auto& entry) { return entry.first.pid == pid; });
  notifyTerminate(NSWorkspaceApplicationNotification{info});
  return true;
}

void SimApplications::notifyLaunch(const NSWorkspaceApplicationNotification& notification) {
  DesktopNotificationCenter::post(desktop_.notificationCenter().didLaunchApplication(), notification);
}

void SimApplications::notifyTerminate(const NSWorkspaceApplicationNotification& notification) {
  DesktopNotificationCenter::post(desktop_.notificationCenter().didTerminateApplication(), notification);
}

AXUIElement SimApplications::createWindow(pid_t pid, const SimWindowConfig& config) {
  Application* app = findApplication(pid);
  if (!app) return AXUIElement{};
  const AXUIElement window = makeWindow(*app, config);
  post(pid, kAXWindowCreatedNotification, AXUIElementCreateApplication(pid), window);
  DesktopNotificationCenter::post(desktop_.notificationCenter().windowDidAppear(), app->info);
  return window;
}

bool SimApplications::closeWindow(const AXUIElement& window) {
  Application* app = findApplication(window.pid);
  if (!app) return false;
  const auto it = std::find_if(app->windows.begin(), app->windows.end(),
                               [&](const Window& w) { return w.element == window; });
  if (it == app->windows.end()) return false;
  app->windows.erase(it);
  lastFound_ = nullptr;
  if (focused_ == window) focused_.reset();
  post(window.pid, kAXUIElementDestroyedNotification, window, window);
  return true;
}

bool SimApplications::userMoveWindow(const AXUIElement& window, const CGRect& frame) {
  Window* w = findWindow(window);
  if (!w || !isFinite(frame)) return false;
  changeFrame(*w, frame);
  return true;
}

bool SimApplications::minimizeWindow(const AXUIElement& window) {
  Window* w = findWindow(window);
  if (!w) return false;
  w->config.minimized = true;
  return true;
}

bool SimApplications::deminiaturizeWindow(const AXUIElement& window) {
  Window* w = findWindow(window);
  if (!w || !w->config.minimized) return false;
  w->config.minimized = false;
  post(window.pid, kAXWindowDeminiaturizedNotification, AXUIElementCreateApplication(window.pid), window);
  return true;
}

bool SimApplications::setWindowSpace(const AXUIElement& window, const std::string& spaceUuid) {
  Window* w = findWindow(window);
  if (!w) return false;
  putOnSpace(*w, spaceUuid);
  return true;
}

void SimApplications::putOnSpace(Window& window, const std::string& space) {
  if (window.space == space) return;
  window.space = space;
  const pid_t pid = window.element.pid;
  post(pid, kAXWindowDesktopChangedNotification, AXUIElementCreateApplication(pid), window.element);
}

std::vector<std::string> SimApplications::numberedSpaces() const {
  std::vector<std::string> ordered;
  const auto listing = desktop_.displayServer().copyManagedDisplaySpaces();
  if (!listing) return ordered;
  for (const ManagedDisplay& display : *listing) {
    if (!display.spaces) continue;
    for (const ManagedSpace& space : *display.spaces)
      if (space.uuid) ordered.push_back(*space.uuid);
    if (desktop_.mode() == SpacesMode::shared) break;
  }
  return ordered;
}

std::optional<int> SimApplications::windowSpace(const AXUIElement& window) const {
  noteRead();
  const Window* w = findWindow(window);
  if (!w || w->space.empty()) return std::nullopt;
  const auto ordered = numberedSpaces();
  const auto at = std::find(ordered.begin(), ordered.end(), w->space);
  if (at == ordered.end()) return std::nullopt;
  return static_cast<int>(at - ordered.begin());
}

void SimApplications::notify(pid_t pid, const std::string& notification, const AXUIElement& observedElement,
                             const AXUIElement& notified) {
  post(pid, notification, observedElement, notified);
}

// --- inspection ---

std::vector<AXUIElement> SimApplications::windowsOf(pid_t pid) const {
  std::vector<AXUIElement> out;
  if (const Application* app = findApplication(pid))
    for (const Window& w : app->windows) out.push_back(w.element);
  return out;
}

bool SimApplications::isObserved(pid_t pid, const std::string& notification, const AXUIElement& element) const {
  const auto key = knownKeyOf(pid, notification, element);
  return key && observers_->contains(*key);
}

// --- ApplicationServer ---

std::vector<NSRunningApplication> SimApplications::runningApplications() const {
  std::vector<NSRunningApplication> out;
  for (const Application& app : applications_) out.push_back(app.info);
  return out;
}

std::optional<NSRunningApplication> SimApplications::runningApplication(pid_t pid) const {
  const Application* app = findApplication(pid);
  return app ? std::optional(app->info) : std::nullopt;
}

AXError SimApplications::copyAttributeValue(const AXUIElement& element, std::string_view attribute,
                                            AXValue& value) const {
  noteRead();
  if (element.isApplication()) {
    const Application* app = findApplication(element.pid);
    if (!app) return AXError::cannotComplete;
    if (attribute != kAXWindowsAttribute) return AXError::attributeUnsupported;
    switch (app->windowsRead) {
      case SimWindowsRead::fails:
        return AXError::cannotComplete;
      case SimWindowsRead::nothing:
        value = std::monostate{};
        return AXError::success;
      case SimWindowsRead::otherKind:
        value = AXOtherValue{};
        return AXError::success;
      case SimWindowsRead::windows:
        break;
    }
    auto& windows = value.emplace<std::vector<AXUIElement>>();
    windows.reserve(app->windows.size());
    const auto shown = shownSpaces();
    for (const Window& w : app->windows)
      if (isShown(w, shown)) windows.push_back(w.element);
    return AXError::success;
  }
  const Window* w = findWindow(element);
  if (!w) return AXError::invalidUIElement;
  if (attribute == kAXTitleAttribute) {
    if (!w->config.title) return AXError::noValue;
    value.emplace<std::string>(*w->config.title);
    return AXError::success;
  }
  if (attribute == kAXSubroleAttribute) {
    if (!w->config.subrole) return AXError::noValue;
    value.emplace<std::string>(*w->config.subrole);
    return AXError::success;
  }
  if (attribute == kAXMinimizedAttribute) {
    value = w->config.minimized;
    return AXError::success;
  }
  return AXError::attributeUnsupported;
}

std::optional<CGRect> SimApplications::windowFrame(const AXUIElement& window) const {
  noteRead();
  const Window* w = findWindow(window);
  return w ? std::optional(w->config.frame) : std::nullopt;
}

bool SimApplications::isWindowMovable(const AXUIElement& window) const {
  noteRead();
  const Window* w = findWindow(window);
  return w && w->config.movable;
}

bool SimApplications::setWindowPosition(const AXUIElement& window, CGPoint position) {
  requests_.push_back({SimWindowRequest::Kind::position, window, position.x, position.y, serverReads_});
  Window* w = findWindow(window);
  if (!w || !w->config.movable) return false;
  CGRect frame = w->config.frame;
  frame.origin = position;
  changeFrame(*w, frame);
  return true;
}

bool SimApplications::setWindowSize(const AXUIElement& window, CGSize size) {
  requests_.push_back({SimWindowRequest::Kind::size, window, size.width, size.height, serverReads_});
  Window* w = findWindow(window);
  if (!w || !w->config.movable) return false;
  CGRect frame = w->config.frame;
  frame.size = size;
  changeFrame(*w, frame);
  return true;
}

bool SimApplications::focusWindow(const AXUIElement& window) {
  if (!findWindow(window)) return false;
  focused_ = window;
  return true;
}

std::optional<AXUIElement> SimApplications::focusedWindow() const {
  noteRead();
  if (focused_ && findWindow(*focused_)) return focused_;
  return std::nullopt;
}

bool SimApplications::moveWindowToSpace(const AXUIElement& window, int position) {
  Window* w = findWindow(window);
  if (!w || position < 1) return false;
  const std::vector<std::string> ordered = numberedSpaces();
  const auto index = static_cast<std::size_t>(position - 1);
  if (index >= ordered.size()) return false;
  putOnSpace(*w, ordered[index]);
  return true;
}

bool SimApplications::addObserver(const AXUIElement& application, std::string_view notification,
                                  const AXUIElement& element, AXObserverHandler handler) {
  if (!application.isApplication() || !findApplication(application.pid) || !handler) return false;
  observers_->insert_or_assign(keyOf(application.pid, notification, element), std::move(handler));
  return true;
}

bool SimApplications::removeObserver(const AXUIElement& application, std::string_view notification,
                                     const AXUIElement& element) {
  const auto key = knownKeyOf(application.pid, notification, element);
  return key && observers_->erase(*key) > 0;
}

std::optional<std::vector<CGWindowInfo>> SimApplications::copyWindowInfo(CGWindowListOption option) const {
  if (windowListScripted_) return scriptedWindowList_;
  std::vector<CGWindowInfo> list;
  const auto shown = shownSpaces();
  for (const Application& app : applications_)
    for (const Window& w : app.windows)
      if (option != kCGWindowListOptionOnScreenOnly || (isShown(w, shown) && !w.config.minimized))
        list.push_back(CGWindowInfo{static_cast<CGWindowID>(w.element.id), app.info.processIdentifier});
  return list;
}

// --- helpers ---

std::size_t SimApplications::ObserverKeyHash::operator()(const ObserverKey& key) const noexcept {
  return std::hash<AXUIElement>{}(key.element) ^ (static_cast<std::size_t>(key.notification) << 40) ^
         (static_cast<std::size_t>(key.pid) << 20);
}

SimApplications::ObserverKey SimApplications::keyOf(pid_t pid, std::string_view notification,
                                                    const AXUIElement& element) {
  if (auto key = knownKeyOf(pid, notification, element)) return *key;
  notificationNames_.emplace_back(notification);
  return {pid, static_cast<std::uint32_t>(notificationNames_.size() - 1), element};
}

std::optional<SimApplications::ObserverKey> SimApplications::knownKeyOf(pid_t pid, std::string_view notification,
                                                                        const AXUIElement& element) const {
  // A handful of names, mostly asked for in runs of the same one: a walk is quicker than hashing the text.
  if (lastNotification_ >= notificationNames_.size() || notificationNames_[lastNotification_] != notification) {
    const auto it = std::find(notificationNames_.begin(), notificationNames_.end(), notification);
    if (it == notificationNames_.end()) return std::nullopt;
    lastNotification_ = static_cast<std::size_t>(it - notificationNames_.begin());
  }
  return ObserverKey{pid, static_cast<std::uint32_t>(lastNotification_), element};
}

SimApplications::Application* SimApplications::findApplication(pid_t pid) {
  return const_cast<Application*>(std::as_const(*this).findApplication(pid));
}

const SimApplications::Application* SimApplications::findApplication(pid_t pid) const {
  if (lastApplication_ < applications_.size() && applications_[lastApplication_].info.processIdentifier == pid)
    return &applications_[lastApplication_];
  // Process numbers are handed out growing and applications kept in that order: every read asks this.
  const auto it = std::lower_bound(applications_.begin(), applications_.end(), pid,
                                   [](const Application& a, pid_t p) { return a.info.processIdentifier < p; });
  if (it == applications_.end() || it->info.processIdentifier != pid) return nullptr;
  lastApplication_ = static_cast<std::size_t>(it - applications_.begin());
  return &*it;
}

const SimApplications::Window* SimApplications::findWindowAfterLast(const AXUIElement& window) const {
  if (lastFound_ && lastFound_ + 1 != lastListEnd_ && lastFound_[1].element == window) return ++lastFound_;
  if (!window.isWindow()) return nullptr;
  const Application* app = findApplication(window.pid);
  if (!app) return nullptr;
  // Windows are made with growing numbers and kept in that order: halving finds one among thousands.
  const auto it = std::lower_bound(app->windows.begin(), app->windows.end(), window.id,
                                   [](const Window& w, std::uint64_t id) { return w.element.id < id; });
  if (it == app->windows.end() || it->element != window) return nullptr;
  lastFound_ = &*it;
  lastListEnd_ = app->windows.data() + app->windows.size();
  return lastFound_;
}

std::vector<std::string> SimApplications::shownSpaces() const {
  std::vector<std::string> shown;
  if (desktop_.mode() == SpacesMode::shared) {
    if (auto current = desktop_.currentSpaceUuid()) shown.push_back(*current);
    return shown;
  }
  for (const std::string& display : desktop_.displayUuids())
    if (auto current = desktop_.currentSpaceUuid(display)) shown.push_back(*current);
  return shown;
}

bool SimApplications::isShown(const Window& window, const std::vector<std::string>& shown) {
  if (window.space.empty()) return true;  // a desktop without desktops shows everything
  for (const std::string& space : shown)  // one or two: a plain walk
    if (space == window.space) return true;
  return false;
}

std::string SimApplications::spaceForFrame(const CGRect& frame) const {
  if (desktop_.mode() == SpacesMode::shared) return desktop_.currentSpaceUuid().value_or(std::string());
  const auto screens = desktop_.displayServer().screens();
  const auto uuids = desktop_.displayUuids();
  const auto primary = desktop_.displayServer().primaryScreen();
  const double pivot = primary ? std::fabs(primary->frame.size.height) : 0.0;
  std::size_t best = 0;
  double bestArea = 0;
  for (std::size_t i = 0; i < screens.size() && i < uuids.size(); ++i) {
    const CGRect& f = screens[i].frame;
    const CGRect flipped = CGRectMake(f.minX(), pivot - f.maxY(), std::fabs(f.size.width), std::fabs(f.size.height));
    const double area = overlapArea(frame, flipped);
    if (area > bestArea) {
      bestArea = area;
      best = i;
    }
  }
  if (uuids.empty()) return {};
  return desktop_.currentSpaceUuid(uuids[best]).value_or(std::string());
}

AXUIElement SimApplications::makeWindow(Application& app, const SimWindowConfig& config) {
  Window w;
  w.element = AXUIElement{AXUIElement::Role::window, app.info.processIdentifier, nextWindowId_++};
  w.config = config;
  w.space = config.spaceUuid ? *config.spaceUuid : spaceForFrame(config.frame);
  app.windows.push_back(std::move(w));
  lastFound_ = nullptr;
  return app.windows.back().element;
}

void SimApplications::changeFrame(Window& window, CGRect frame) {
  frame.size.width = std::max(frame.size.width, window.config.minimumSize.width);
  frame.size.height = std::max(frame.size.height, window.config.minimumSize.height);
  const CGRect old = window.config.frame;
  window.config.frame = frame;
  const pid_t pid = window.element.pid;
  if (old.origin != frame.origin)
    post(pid, kAXWindowMovedNotification, AXUIElementCreateApplication(pid), window.element);
  if (old.size != frame.size)
    post(pid, kAXWindowResizedNotification, AXUIElementCreateApplication(pid), window.element);
}

void SimApplications::post(pid_t pid, std::string_view notification, const AXUIElement& observed,
                           const AXUIElement& notified) {
  std::weak_ptr<Observers> weak = observers_;
  auto deliver = [weak, key = keyOf(pid, notification, observed), notified] {
    auto observers = weak.lock();
    if (!observers) return;
    const auto it = observers->find(key);
    if (it == observers->end()) return;
    // The handler may remove itself (or others) while it runs.
    const AXObserverHandler handler = it->second;
    handler(notified);
  };
  if (dispatch::MainQueue::loop() == nullptr)
    deliver();
  else
    dispatch::MainQueue::async(std::move(deliver));
}

}  // namespace tilvane::sim
