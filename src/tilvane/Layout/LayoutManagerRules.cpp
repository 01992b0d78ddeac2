// The frame an application rule gives a window.
#include <algorithm>

#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Models/RuleLayoutModel.h"
#include "platform/desktop/WindowBundleIdentifier.h"

namespace tilvane {
namespace {
// A stored grid dimension as a count the grid helpers take; a damaged value must not wrap into a small one.
int gridSide(std::int64_t stored) { return static_cast<int>(std::clamp<std::int64_t>(stored, 0, 64)); }

TransformUtils::Matrix gridOf(const RuleLayoutModel& rule) {
  return TransformUtils::matrix(rule.matrixValue(), gridSide(rule.width()), gridSide(rule.height()));
}
}  // namespace

std::optional<CGRect> LayoutManager::ruleLayout(const SIWindow& window) {
  if (rules_.empty()) return std::nullopt;
  const auto bundle = bundleIdentifierOfWindow(window);
  if (!bundle) return std::nullopt;
  const auto found = AppManager::shared().guessedClasses().find(rules_, *bundle);
  if (found == rules_.end() || !found->second) return std::nullopt;
  const RuleLayoutModelPtr rule = found->second;
  const auto type = ruleLayoutTypes.fromRaw(rule->type());
  if (!type || *type == RuleLayoutType::ignore) return std::nullopt;

  const auto screen = window.screen();
  if (!screen) return std::nullopt;
  if (*type == RuleLayoutType::arranged) {
    const CGRect cell = TransformUtils::cellRect(gridOf(*rule), WindowManager::shared().indexOfWindow(window));
    saveLayout(window, cell);
    return TransformUtils::convert(cell, screen->visibleFrame);
  }
  // An empty selection spans no frame: the window keeps its remembered one.
  const auto span = TransformUtils::spanRect(gridOf(*rule));
  if (!span) return std::nullopt;
  if (*type == RuleLayoutType::fix) saveLayout(window, *span);
  return TransformUtils::convert(*span, screen->visibleFrame);
}

}  // namespace tilvane
