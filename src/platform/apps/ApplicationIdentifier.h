#pragma once

#include <string>
#include <string_view>

namespace tilvane::apps {

/// Whether `a` and `b` name one application: the same identifier, or one that differs only in the case of its
/// ASCII letters. A window's class is guessed from its program's name where nothing else tells it ("Xclock" for
/// xclock), and toolkits capitalise as they like ("XClock"); no two applications are told apart by case alone.
bool sameApplication(std::string_view a, std::string_view b);

/// The entry of `table` (keyed by application identifier) for the application `identifier` names: the one with
/// exactly that key, else the first one whose key names it (sameApplication); end() when none does.
template <class Table>
auto findApplication(Table& table, const std::string& identifier) -> decltype(table.begin()) {
  if (const auto exact = table.find(identifier); exact != table.end()) return exact;
  for (auto it = table.begin(); it != table.end(); ++it)
    if (sameApplication(it->first, identifier)) return it;
  return table.end();
}

}  // namespace tilvane::apps
