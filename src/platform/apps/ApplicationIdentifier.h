#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace tilvane::apps {

/// Whether `a` and `b` are the same but for the case of their ASCII letters.
bool equalIgnoringCase(std::string_view a, std::string_view b);

/// The application identifiers that are window classes guessed from a program's name (a launcher added by hand
/// that names no class: "Xclock" for xclock). Such a guess is right but, maybe, for case: toolkits capitalise as
/// they like ("XClock"). Every other identifier names its application exactly, case and all: two programs may
/// well differ in case alone.
class GuessedClasses {
 public:
  void add(std::string_view identifier);
  void clear() { folded_.clear(); }
  /// Whether `identifier` is a guessed class, in any case.
  bool contains(std::string_view identifier) const;

  /// Whether `a` and `b` name one application: the same identifier, or a guessed class in two cases.
  bool sameApplication(std::string_view a, std::string_view b) const {
    return a == b || (equalIgnoringCase(a, b) && contains(a));
  }

  /// The entry of `table` (keyed by application identifier) for the application `identifier` names: the one
  /// with exactly that key, else, for a guessed class, the first one whose key differs only in case; end() when
  /// none does.
  template <class Table>
  auto find(Table& table, const std::string& identifier) const -> decltype(table.begin()) {
    if (const auto exact = table.find(identifier); exact != table.end()) return exact;
    if (!contains(identifier)) return table.end();
    for (auto it = table.begin(); it != table.end(); ++it)
      if (equalIgnoringCase(it->first, identifier)) return it;
    return table.end();
  }

 private:
  /// The guessed classes in lower case.
  std::set<std::string, std::less<>> folded_;
};

}  // namespace tilvane::apps
