#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ScenarioScript.h"
#include "platform/desktop/Desktop.h"
#include "Models/ModelsFwd.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/VirtualMainLoop.h"

namespace tilvane::scenario {

/// Plays a script on a simulated desktop and a virtual clock, with the program's managers started as the
/// application starts them. Log lines go to standard output as the program writes them; the runner adds the
/// commands it plays (with their virtual time), the window frames when the managers start ("frames before")
/// and at the end ("frames after"), and the remembered placements at the end. Whatever is still waiting to be
/// written is written at the end, as when the program quits.
///
/// Commands (arguments in order; TITLE and BUNDLE may be "quoted"):
///   spaces N                       shared desktops (first line only; default 1)
///   display X Y W H [visible X Y W H]   a display (display space); after start it is attached
///   disconnect N                   detaches the N-th display (from 0)
///   setting KEY VALUE              an integer setting (autoLayoutEnabled, gutterEnabled 0/1)
///   record BUNDLE INDEX X Y W H [SCREENS]   a stored placement (fractions)
///   app BUNDLE [agent]             an application running at start
///   launch BUNDLE [agent]          an application started now
///   quit BUNDLE                    the application ends
///   window BUNDLE TITLE X Y W H [dialog] [minimized]   a window that exists (window space)
///   open BUNDLE TITLE X Y W H [dialog]                  a window opened now ("AXWindowCreated")
///   move BUNDLE TITLE X Y W H      the user drags or resizes the window
///   close BUNDLE TITLE             the window closes
///   minimize | deminiaturize BUNDLE TITLE
///   switch N                       shows desktop N (from 1)
///   start                          starts the managers (and the custom layouts' hot keys)
///   wait SECONDS                   lets virtual time pass
/// The layout engine (after start, rules and layouts reach the program as its editors send them):
///   rule BUNDLE TYPE [MATRIX COLUMNS ROWS]         an application rule: auto, fix, arranged or ignore
///   layout NAME TYPE [MATRIX COLUMNS ROWS [KEY MODIFIERS]]   a custom layout (ignore, fix, arranged) and its
///                                  hot key: a virtual key code and modifiers joined by + (shift, control, option,
///                                  command)
///   press KEY MODIFIERS            the user presses a hot key
///   focus BUNDLE TITLE             the user focuses the window
///   action NAME [DESKTOP]          a built-in action on the focused window (fullscreen, center, halfLeft,
///                                  topRight, switchScreen, moveLeft, zoomIn, moveToLeftDesktop, ...;
///                                  moveToDesktop takes a desktop from 0)
///   launchable BUNDLE TITLE X Y W H   launching BUNDLE starts it with this window (0.2 s, window 0.5 s later)
///   item BUNDLE DESKTOP X Y W H    appends a window (desktop from 0, frame in fractions of the display's
///                                  visible frame) to the workspace the next restore restores
///   restore                        restores that workspace and starts a new, empty one
/// An expectation, which fails the run when the engine did otherwise:
///   expect BUNDLE TITLE X Y W H    the window's frame now
class ScenarioRunner {
 public:
  explicit ScenarioRunner(std::ostream& out);
  ~ScenarioRunner();
  ScenarioRunner(const ScenarioRunner&) = delete;
  ScenarioRunner& operator=(const ScenarioRunner&) = delete;

  /// Plays every step; false, with the reason in `error`, at the first step that cannot be played.
  bool run(const Script& script, std::string* error);

 private:
  bool play(const Step& step, std::string* error);
  /// The layout engine's commands and the expectations (ScenarioEngineCommands.cpp).
  bool playEngine(const Step& step, std::string* error);
  void ensureDesktop(int spaces = 1);
  void printFrames(const char* heading);
  void printRecords();
  /// Every window with its application's bundle identifier, application by application.
  std::vector<std::pair<std::string, AXUIElement>> allWindows() const;
  std::optional<AXUIElement> findWindow(const std::string& bundle, const std::string& title) const;

  std::ostream& out_;
  dispatch::VirtualMainLoop loop_;
  dispatch::MainQueue::Scope loopScope_;
  sim::SimHotKeys hotKeys_;
  HotKeyServer::Scope hotKeysScope_;
  std::unique_ptr<sim::SimDesktop> sim_;
  std::unique_ptr<Desktop::Scope> desktopScope_;
  std::map<std::string, pid_t> pids_;
  std::vector<WorkspaceLayoutItemModelPtr> workspaceItems_;  // the workspace the next restore restores
  bool started_ = false;
};

}  // namespace tilvane::scenario
