#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/desktop/ApplicationServer.h"

namespace tilvane::sim {

class SimDesktop;

/// A window to add to a SimApplications application.
struct SimWindowConfig {
  /// "AXTitle"; absent: the window has no title.
  std::optional<std::string> title;
  /// In the window space (top-left origin of the primary display, y down).
  CGRect frame = CGRectMake(100, 100, 800, 600);
  /// "AXSubrole"; absent: the window reports none.
  std::optional<std::string> subrole = std::string("AXStandardWindow");
  bool movable = true;
  /// The application keeps the window at least this large.
  CGSize minimumSize{1, 1};
  bool minimized = false;
  /// The desktop it is on; absent: the desktop shown by the display that holds it (the current one).
  std::optional<std::string> spaceUuid;
};

/// An application to add to SimApplications.
struct SimApplicationConfig {
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> name;
  /// The program file its process runs.
  std::optional<std::string> executable;
  bool agent = false;
  std::vector<SimWindowConfig> windows;
  /// The launch mark its process carries (LaunchRequest::mark); absent: none.
  std::optional<std::string> mark;
  /// The process that started it (absent: none known) and the session it is in (absent: one it leads).
  std::optional<pid_t> parent;
  std::optional<pid_t> session;
};

/// How an application answers a read of its "AXWindows".
enum class SimWindowsRead {
  /// Its windows on the desktops shown now.
  windows,
  /// The read fails (cannot complete).
  fails,
  /// The read succeeds with nothing.
  nothing,
  /// The read succeeds with a value of another kind.
  otherKind,
};

/// A change a window was asked for through the backend, in order (for tests that check what was sent).
struct SimWindowRequest {
  enum class Kind { position, size };
  Kind kind = Kind::position;
  AXUIElement window;
  /// position: (x, y); size: (width, height).
  double a = 0;
  double b = 0;
  /// Window reads made outside a known-state scope (each a round trip to a real window server) since the
  /// requests were last cleared, before this one went.
  std::size_t readsBefore = 0;
};

/// The running applications and windows of a SimDesktop, deterministic and scriptable:
/// - set-up calls (addApplication, addWindow, ...) change the picture silently;
/// - user actions (launch, quit, create, close, drag, minimise, ...) change it and raise the matching
///   notifications on the main loop, as the system does;
/// - the program's own changes (setWindowPosition, setWindowSize) move the window at once and report
///   "AXWindowMoved" / "AXWindowResized" on a later turn of the main loop, when something changed.
/// Observers of an application's element receive its window notifications; observers of a window's element
/// receive that window's destruction. Main thread only.
class SimApplications final : public ApplicationServer {
 public:
  explicit SimApplications(SimDesktop& desktop);
  ~SimApplications() override;
  SimApplications(const SimApplications&) = delete;
  SimApplications& operator=(const SimApplications&) = delete;

  // --- set-up, silent ---

  /// Adds a running application with its windows; returns its process identifier.
  pid_t addApplication(const SimApplicationConfig& config);
  /// Adds a window to a running application; a non-window element when the application is unknown.
  AXUIElement addWindow(pid_t pid, const SimWindowConfig& config);
  /// How the application answers "AXWindows" from now on.
  void setWindowsRead(pid_t pid, SimWindowsRead read);
  /// From now on the window list answers exactly `list` (absent: it cannot be obtained).
  void scriptWindowList(std::optional<std::vector<CGWindowInfo>> list);
  void clearScriptedWindowList();

  // --- user actions, each notified on the main loop ---

  /// Starts an application (launch notification); returns its process identifier.
  pid_t launchApplication(const SimApplicationConfig& config);
  /// Ends an application and its windows (quit notification). False when unknown.
  bool quitApplication(pid_t pid);
  /// Raises a launch or quit notification with whatever user info is given.
  void notifyLaunch(const NSWorkspaceApplicationNotification& notification);
  void notifyTerminate(const NSWorkspaceApplicationNotification& notification);
  /// Opens a window ("AXWindowCreated"); a non-window element when the application is unknown.
  AXUIElement createWindow(pid_t pid, const SimWindowConfig& config);
  /// Closes a window ("AXUIElementDestroyed"). False when unknown.
  bool closeWindow(const AXUIElement& window);
  /// The user drags or resizes the window to `frame` ("AXWindowMoved" and/or "AXWindowResized" when changed).
  bool userMoveWindow(const AXUIElement& window, const CGRect& frame);
  /// The user minimises the window, or brings it back ("AXWindowDeminiaturized").
  bool minimizeWindow(const AXUIElement& window);
  bool deminiaturizeWindow(const AXUIElement& window);
  /// Puts the window on another desktop ("AXWindowDesktopChanged" when it changed).
  bool setWindowSpace(const AXUIElement& window, const std::string& spaceUuid);
  /// Raises an arbitrary notification of the application for `notified`, to observers of `observedElement`.
  void notify(pid_t pid, const std::string& notification, const AXUIElement& observedElement,
              const AXUIElement& notified);

  // --- inspection ---

  /// The window's frame, or absent when it is gone.
  std::optional<CGRect> frameOf(const AXUIElement& window) const { return windowFrame(window); }
  /// The windows of an application, in creation order (every desktop).
  std::vector<AXUIElement> windowsOf(pid_t pid) const;
  /// The launch mark of the process, if it carries one.
  std::optional<std::string> markOf(pid_t pid) const;
  /// The main loop's time when the process was added; absent when it does not run.
  std::optional<double> startTimeOf(pid_t pid) const;
  /// The process that started `pid`, while both run; absent otherwise.
  std::optional<pid_t> parentOf(pid_t pid) const;
  /// The session of `pid`, while it runs.
  std::optional<pid_t> sessionOf(pid_t pid) const;
  /// Whether an observer is registered for the triple.
  bool isObserved(pid_t pid, const std::string& notification, const AXUIElement& element) const;
  /// Every position and size request that reached the backend, in order.
  const std::vector<SimWindowRequest>& requests() const { return requests_; }
  void clearRequests() {
    requests_.clear();
    serverReads_ = 0;
  }

  // ApplicationServer
  std::vector<NSRunningApplication> runningApplications() const override;
  std::optional<NSRunningApplication> runningApplication(pid_t pid) const override;
  AXError copyAttributeValue(const AXUIElement& element, std::string_view attribute, AXValue& value) const override;
  std::optional<CGRect> windowFrame(const AXUIElement& window) const override;
  bool isWindowMovable(const AXUIElement& window) const override;
  bool setWindowPosition(const AXUIElement& window, CGPoint position) override;
  bool setWindowSize(const AXUIElement& window, CGSize size) override;
  bool focusWindow(const AXUIElement& window) override;
  std::optional<AXUIElement> focusedWindow() const override;
  bool moveWindowToSpace(const AXUIElement& window, int position) override;
  std::optional<int> windowSpace(const AXUIElement& window) const override;
  bool addObserver(const AXUIElement& application, std::string_view notification, const AXUIElement& element,
                   AXObserverHandler handler) override;
  bool removeObserver(const AXUIElement& application, std::string_view notification,
                      const AXUIElement& element) override;
  std::optional<std::vector<CGWindowInfo>> copyWindowInfo(CGWindowListOption option) const override;
  void setReadsFromKnownState(bool on) override { knownStateReads_ += on ? 1 : -1; }

 private:
  struct Window {
    AXUIElement element;
    SimWindowConfig config;
    std::string space;
  };
  struct Application {
    NSRunningApplication info;
    SimWindowsRead windowsRead = SimWindowsRead::windows;
    std::vector<Window> windows;
    std::optional<std::string> mark;
    double startTime = 0;
    std::optional<pid_t> parent;
    std::optional<pid_t> session;
  };
  // (process, notification, observed element) -> handler. The notification is its number in
  // notificationNames_, so that a key is a few integers: observers are added for every window met.
  struct ObserverKey {
    pid_t pid = 0;
    std::uint32_t notification = 0;
    AXUIElement element;
    bool operator==(const ObserverKey&) const = default;
  };
  struct ObserverKeyHash {
    std::size_t operator()(const ObserverKey& key) const noexcept;
  };
  using Observers = std::unordered_map<ObserverKey, AXObserverHandler, ObserverKeyHash>;

  /// The key for the triple; a name not met before is given the next number.
  ObserverKey keyOf(pid_t pid, std::string_view notification, const AXUIElement& element);
  /// The key for the triple; absent when the name was never met (so nothing observes it).
  std::optional<ObserverKey> knownKeyOf(pid_t pid, std::string_view notification,
                                        const AXUIElement& element) const;
  Application* findApplication(pid_t pid);
  const Application* findApplication(pid_t pid) const;
  Window* findWindow(const AXUIElement& window) {
    return const_cast<Window*>(static_cast<const SimApplications*>(this)->findWindow(window));
  }
  /// Every read asks this, mostly for the window found last.
  const Window* findWindow(const AXUIElement& window) const {
    return lastFound_ && lastFound_->element == window ? lastFound_ : findWindowAfterLast(window);
  }
  const Window* findWindowAfterLast(const AXUIElement& window) const;
  /// The desktops the displays show now.
  std::vector<std::string> shownSpaces() const;
  /// Whether the window is on one of the desktops shownSpaces() gave (read once for a walk over many windows).
  static bool isShown(const Window& window, const std::vector<std::string>& shown);
  /// The desktop shown by the display that holds `frame`.
  std::string spaceForFrame(const CGRect& frame) const;
  AXUIElement makeWindow(Application& app, const SimWindowConfig& config);
  /// Every desktop's UUID, in the numbering of moveWindowToSpace (from 0).
  std::vector<std::string> numberedSpaces() const;
  /// Puts the window on `space` and reports it when that is a change.
  void putOnSpace(Window& window, const std::string& space);
  /// Applies a new frame (minimum size kept) and reports what changed.
  void changeFrame(Window& window, CGRect frame);
  /// Delivers `notification` for `notified` to the observer of (pid, notification, observed) on the main loop.
  void post(pid_t pid, std::string_view notification, const AXUIElement& observed, const AXUIElement& notified);

  SimDesktop& desktop_;
  std::vector<Application> applications_;
  std::shared_ptr<Observers> observers_;
  // The notification names met so far, never dropped: a name's number is its place. The last one asked for is
  // tried first.
  std::vector<std::string> notificationNames_;
  mutable std::size_t lastNotification_ = 0;
  // Successive reads mostly name the same window, or the next one. The window last found and the end of its
  // list; forgotten by every change to applications_ or a window list, which may move them.
  mutable const Window* lastFound_ = nullptr;
  mutable const Window* lastListEnd_ = nullptr;
  // Where the last lookup found an application, checked before use (process numbers are never given twice).
  mutable std::size_t lastApplication_ = 0;
  std::optional<AXUIElement> focused_;
  bool windowListScripted_ = false;
  std::optional<std::vector<CGWindowInfo>> scriptedWindowList_;
  std::vector<SimWindowRequest> requests_;
  // Reads asked of the "window server" since the requests were cleared, and the known-state scopes open.
  mutable std::size_t serverReads_ = 0;
  int knownStateReads_ = 0;
  void noteRead() const {
    if (knownStateReads_ == 0) ++serverReads_;
  }
  pid_t nextPid_ = 1001;
  std::uint64_t nextWindowId_ = 0x400001;
};

}  // namespace tilvane::sim
