// Entry point: builds the real world (Qt's event loop as the main queue) and hands it to the delegate.
#include <QCoreApplication>

#include "Shell/AppDelegate.h"
#include "Shell/DesktopChoice.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/QtMainLoop.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("Tilvane");
  tilvane::dispatch::QtMainLoop loop;
  tilvane::dispatch::MainQueue::Scope scope(loop);

  tilvane::DesktopChoice backend = tilvane::chooseDesktop();
  tilvane::Desktop::Scope desktopScope(*backend.desktop);

  tilvane::AppDelegate delegate;
  loop.async([&] {
    delegate.applicationDidFinishLaunching();
    // Until the desktop backends land there is nothing to wait for: the launch sequence is the whole run.
    loop.quit(0);
  });
  const int status = loop.run();
  delegate.applicationWillTerminate();
  return status;
}
