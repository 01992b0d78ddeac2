#pragma once

#include <QLabel>
#include <QTableWidget>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <string>

namespace tilvane {

/// One row of the custom-layout list: the layout's name in a one-line label at (10, 2), 200 × 20, in the system
/// font of size 14. Clicks pass through to the list, which selects the row.
class CustomLayoutTableCellView final : public QWidget {
 public:
  explicit CustomLayoutTableCellView(QWidget* parent = nullptr);
  QLabel* label() const { return label_; }

 private:
  QLabel* label_;
};

/// Lists of names drawn with this cell (the layouts, the workspaces).
/// Sets `table` to `count` rows named `name(row)` and selects `selected` again while it is still a row, without
/// telling the selection's listeners.
void reloadNameRows(QTableWidget& table, std::size_t count, const std::function<std::string(std::size_t)>& name,
                    int selected);
/// Puts a new cell showing `name` in `row`; nothing for a row the table does not have.
void replaceNameCell(QTableWidget& table, std::size_t row, const std::string& name);

}  // namespace tilvane
