#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tilvane {

/// One page of the landing window: what its buttons read and what pressing next does. Titles are
/// localisation keys.
struct LandingWindowItem {
  /// The next button's title; on a page with a check step, its title once that step has run.
  std::string nextTitle;
  /// The previous button's title; without one the previous button stays hidden on this page.
  std::optional<std::string> prevTitle;
  /// When present the page has a check step: the next button first reads this, and its first press runs
  /// checkAction instead of leaving the page.
  std::optional<std::string> checkTitle;
  std::function<void()> checkAction;
  /// Run on pressing next; on a page with a check step, the page is left only when it answers true.
  std::function<bool()> nextAction;
  /// Whether this page's check step has run.
  bool checked = false;
};

}  // namespace tilvane
