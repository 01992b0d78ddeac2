#include "platform/hotkeys/HotKeyServer.h"

#include <atomic>

#include "platform/hotkeys/MASShortcutMonitor.h"

namespace tilvane {
namespace {
std::atomic<HotKeyServer*> installed{nullptr};
}  // namespace

HotKeyServer::Scope::Scope(HotKeyServer& server) : previous_(installed.exchange(&server)) {}
HotKeyServer::Scope::~Scope() { installed.store(previous_); }

HotKeyServer* HotKeyServer::current() { return installed.load(); }

void HotKeyServer::deliverPress(const MASShortcut& shortcut) {
  // The monitor is only looked up, never made: a press before anything registered has nobody to reach.
  if (!MASShortcutMonitor::exists()) return;
  MASShortcutMonitor::sharedMonitor().handlePress(shortcut);
}

}  // namespace tilvane
