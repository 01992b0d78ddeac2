#include "platform/desktop/Desktop.h"

#include <atomic>

namespace tilvane {
namespace {
std::atomic<Desktop*> installed{nullptr};
}  // namespace

Desktop::Scope::Scope(Desktop& desktop) : previous_(installed.exchange(&desktop)) {}
Desktop::Scope::~Scope() { installed.store(previous_); }

Desktop* Desktop::current() { return installed.load(); }

}  // namespace tilvane
