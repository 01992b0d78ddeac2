#pragma once

#include <string>

#include "platform/desktop/ApplicationServer.h"
#include "platform/desktop/DesktopNotificationCenter.h"
#include "platform/desktop/DisplayServer.h"
#include "platform/desktop/EventTap.h"

namespace tilvane {

class Launcher;
class ProgramServer;

/// A desktop backend: the displays, desktops, input events and notifications of one desktop session, each
/// served by a role interface. Two backends: the in-memory SimDesktop (tests, headless runs) and the X11 one.
/// Windows and applications join as further roles (their own accessor each) without touching these.
///
/// The composition root (the application or a test fixture) installs one backend with Desktop::Scope; the
/// platform stand-ins (NSScreen, the window-server queries, event posting) reach it through current().
class Desktop {
 public:
  /// Installs `desktop` for the lifetime of the scope and restores the previous one after.
  class Scope {
   public:
    explicit Scope(Desktop& desktop);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    Desktop* previous_;
  };

  virtual ~Desktop() = default;

  /// The installed backend, or null when none is.
  static Desktop* current();

  /// Displays and desktops.
  virtual DisplayServer& displayServer() = 0;
  /// Synthetic input events.
  virtual EventTap& eventTap() = 0;
  /// Desktop and display change notifications.
  virtual DesktopNotificationCenter& notificationCenter() = 0;
  /// Running applications, their windows and window notifications.
  virtual ApplicationServer& applicationServer() = 0;
  /// Starting applications (see Launcher.h). The default refuses every launch.
  virtual Launcher& launcher();
  /// Activating this program and stacking its own windows (see ProgramServer.h). The default leaves both to
  /// the window toolkit.
  virtual ProgramServer& programServer();
  /// Whether this program may read and move other programs' windows here (the desktop's "trust").
  virtual bool canMoveWindows() = 0;
  /// Why canMoveWindows() is false, in a sentence a user can act on.
  virtual std::string trustProblem() { return "This desktop does not let programs move other programs' windows."; }
};

}  // namespace tilvane
