// The scenario commands that drive the layout engine: rules, custom layouts and their hot keys, built-in
// actions, workspace restores, and the expectations that check what they did.
#include <algorithm>
#include <array>
#include <ostream>
#include <sstream>

#include "AppManager/Bridges/Bridges.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "Layout/LayoutManager.h"
#include "Models/CustomLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "ScenarioArgs.h"
#include "ScenarioRunner.h"
#include "platform/desktop/SIWindow.h"
#include "platform/store/Database.h"

namespace tilvane::scenario {
namespace {

// The raw value of a type named in a table of titles (the names the scenario uses, by raw value).
template <std::size_t N>
std::optional<std::int64_t> rawType(const std::string& name, const std::array<const char*, N>& names) {
  for (std::size_t i = 0; i < N; ++i)
    if (name == names[i]) return static_cast<std::int64_t>(i);
  return std::nullopt;
}

// "command+option" -> the stored modifier mask; "none" -> 0.
std::optional<CGEventFlags> modifiers(const std::string& text) {
  if (text == "none") return CGEventFlags{0};
  CGEventFlags flags = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('+', start), text.size());
    const std::string name = text.substr(start, end - start);
    if (name == "shift") flags |= kCGEventFlagMaskShift;
    else if (name == "control") flags |= kCGEventFlagMaskControl;
    else if (name == "option") flags |= kCGEventFlagMaskAlternate;
    else if (name == "command") flags |= kCGEventFlagMaskCommand;
    else return std::nullopt;
    start = end + 1;
  }
  return flags;
}

std::optional<LayoutNodeType> builtInAction(const std::vector<std::string>& args) {
  using T = LayoutNodeType;
  if (args.empty()) return std::nullopt;
  if (args[0] == "moveToDesktop") {
    std::int64_t desktop = 0;
    if (args.size() < 2 || !integer(args[1], desktop) || desktop < 0 || desktop > 15) return std::nullopt;
    return T::moveToDesktop(static_cast<int>(desktop));
  }
  for (const T& type : {T::fullscreen, T::center, T::halfLeft, T::halfRight, T::halfTop, T::halfBottom, T::topLeft,
                        T::topRight, T::bottomLeft, T::bottomRight, T::switchScreen, T::moveLeft, T::moveRight,
                        T::moveDown, T::moveUp, T::zoomOut, T::zoomIn, T::moveToLeftDesktop, T::moveToRightDesktop}) {
    std::ostringstream name;
    name << type;
    if (name.str() == args[0]) return type;
  }
  return std::nullopt;
}

// Reads the optional MATRIX COLUMNS ROWS at args[from...] into a model's grid; false when given but malformed.
template <class Model>
bool readGrid(const std::vector<std::string>& args, std::size_t from, Model& model) {
  if (args.size() <= from) return true;
  std::int64_t matrix = 0, columns = 0, rows = 0;
  if (args.size() < from + 3 || !integer(args[from], matrix) || !integer(args[from + 1], columns) ||
      !integer(args[from + 2], rows))
    return false;
  model.setMatrixValue(matrix);
  model.setWidth(columns);
  model.setHeight(rows);
  return true;
}

void store(const std::shared_ptr<store::Object>& object) {
  const auto database = store::Database::open();
  database->write([&] { database->add(object, store::UpdatePolicy::all); });
}

}  // namespace

bool ScenarioRunner::playEngine(const Step& step, std::string* error) {
  const auto& a = step.args;
  std::vector<double> v;
  try {
    if (step.command == "rule") {
      static constexpr std::array<const char*, 4> types = {"auto", "fix", "arranged", "ignore"};
      const auto type = a.size() >= 2 ? rawType(a[1], types) : std::nullopt;
      auto rule = std::make_shared<RuleLayoutModel>();
      if (!type || !readGrid(a, 2, *rule))
        return (*error = "expected BUNDLE auto|fix|arranged|ignore [MATRIX COLUMNS ROWS]"), false;
      rule->setId(a[0]);
      rule->setType(*type);
      store(rule);
      if (started_) RuleLayoutBridge::ruleSaved().onNext(AppRule{AppDescriptor{a[0], a[0], ""}, rule});
      return true;
    }
    if (step.command == "layout") {
      static constexpr std::array<const char*, 3> types = {"ignore", "fix", "arranged"};
      const auto type = a.size() >= 2 ? rawType(a[1], types) : std::nullopt;
      auto layout = std::make_shared<CustomLayoutModel>();
      std::int64_t key = 0;
      const auto flags = a.size() == 7 ? modifiers(a[6]) : std::nullopt;
      const bool keyOk = a.size() < 6 || (a.size() == 7 && integer(a[5], key) && flags);
      if (!type || !readGrid(a, 2, *layout) || !keyOk)
        return (*error = "expected NAME ignore|fix|arranged [MATRIX COLUMNS ROWS [KEY MODIFIERS]]"), false;
      layout->setName(a[0]);
      layout->setType(*type);
      if (flags) {
        layout->setKeyCode(key);
        layout->setModifierFlags(static_cast<std::int64_t>(*flags));
      }
      store(layout);
      if (started_) CustomLayoutBridge::layoutAdded().onNext(layout);
      return true;
    }
    if (step.command == "press") {
      std::int64_t key = 0;
      const auto flags = a.size() == 2 ? modifiers(a[1]) : std::nullopt;
      if (!flags || !integer(a[0], key) || key < 0) return (*error = "expected KEY MODIFIERS"), false;
      hotKeys_.press(static_cast<std::uint64_t>(key), *flags);
      loop_.drain();
      return true;
    }
    if (step.command == "focus") {
      const auto window = a.size() == 2 ? findWindow(a[0], a[1]) : std::nullopt;
      if (!window) return (*error = "no such window"), false;
      sim_->applications().focusWindow(*window);
      return true;
    }
    if (step.command == "action") {
      const auto type = builtInAction(a);
      if (!type) return (*error = "no such built-in action"), false;
      BuildInLayoutActionController::shared().performLayout(*type);
      loop_.drain();
      return true;
    }
    if (step.command == "launchable") {
      if (a.size() != 6 || !numbers(a, 2, 4, v)) return (*error = "expected BUNDLE TITLE X Y W H"), false;
      sim_->simLauncher().script(a[0], {.application = {.bundleIdentifier = a[0], .name = a[0]},
                                        .window = {.title = a[1], .frame = CGRectMake(v[0], v[1], v[2], v[3])}});
      return true;
    }
    if (step.command == "item") {
      std::int64_t desktop = 0;
      if (a.size() != 6 || !integer(a[1], desktop) || !numbers(a, 2, 4, v))
        return (*error = "expected BUNDLE DESKTOP X Y W H"), false;
      auto item = std::make_shared<WorkspaceLayoutItemModel>();
      item->setBundleIdentifier(a[0]);
      item->setSpaceIndex(desktop);
      item->setX(v[0]);
      item->setY(v[1]);
      item->setWidth(v[2]);
      item->setHeight(v[3]);
      workspaceItems_.push_back(std::move(item));
      return true;
    }
    if (step.command == "restore") {
      if (!started_) return (*error = "start first"), false;
      WorkspaceLayoutGroupModel group;
      group.setItems(workspaceItems_);
      workspaceItems_.clear();
      LayoutManager::shared().layoutWorkspace(group);
      return true;
    }
    if (step.command == "expect") {
      if (a.size() != 6 || !numbers(a, 2, 4, v)) return (*error = "expected BUNDLE TITLE X Y W H"), false;
      const auto window = findWindow(a[0], a[1]);
      if (!window) return (*error = "no such window"), false;
      const CGRect frame = SIWindow(*window).frame();
      const CGRect expected = CGRectMake(v[0], v[1], v[2], v[3]);
      if (frame != expected) return (*error = "the frame is " + describe(frame) + ", not " + describe(expected)), false;
      out_ << "# ok\n";
      return true;
    }
  } catch (const std::exception& e) {
    return (*error = e.what()), false;
  }
  *error = "unknown command";
  return false;
}

}  // namespace tilvane::scenario
