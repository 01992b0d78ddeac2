#pragma once

namespace tilvane {

/// The launch's steps from the screen manager to the shortcuts manager, each announced by its log line, as the
/// application delegate runs them between the catalogue and the analytics: the screen manager (displays and
/// desktops, their notifications, the store's first-run step, the display identifier), the layout manager (set
/// up, recording and rule bindings), the window manager, the application manager (running applications and
/// their observers) and the shortcuts manager (the stored custom layouts' hot keys and their changes). The
/// delegate calls this, and so does everything else that starts the managers (the scenario runner, tests,
/// benchmarks), so what they drive is what users run. The store must be configured before.
void setupWindowManagers();

}  // namespace tilvane
