#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ScenarioScript.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/sim/SimDesktop.h"
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
///   start                          starts the managers
///   wait SECONDS                   lets virtual time pass
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
  void ensureDesktop(int spaces = 1);
  void printFrames(const char* heading);
  void printRecords();
  std::optional<AXUIElement> findWindow(const std::string& bundle, const std::string& title) const;

  std::ostream& out_;
  dispatch::VirtualMainLoop loop_;
  dispatch::MainQueue::Scope loopScope_;
  std::unique_ptr<sim::SimDesktop> sim_;
  std::unique_ptr<Desktop::Scope> desktopScope_;
  std::map<std::string, pid_t> pids_;
  std::vector<std::pair<std::string, AXUIElement>> windows_;  // (bundle, window) in order of creation
  bool started_ = false;
};

}  // namespace tilvane::scenario
