#pragma once

namespace tilvane {

/// Whether the start-up sets up the first run's data (the stored desktops) before naming the display set.
enum class FirstRunSetup { skip, run };

/// Starts the window side's managers in the program's order: the screen manager loads and observes the
/// displays and names the display set, then the layout manager sets up and binds, then the window manager and
/// the application manager (set up and observing) follow. The store must be configured before.
void startWindowManagers(FirstRunSetup firstRun = FirstRunSetup::skip);

}  // namespace tilvane
