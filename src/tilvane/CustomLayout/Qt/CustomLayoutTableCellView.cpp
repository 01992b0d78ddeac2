#include "CustomLayout/Qt/CustomLayoutTableCellView.h"

#include <QItemSelectionModel>
#include <QSignalBlocker>

#include "UI/Widgets/RowTable.h"

namespace tilvane {

CustomLayoutTableCellView::CustomLayoutTableCellView(QWidget* parent) : QWidget(parent), label_(new QLabel(this)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  label_->setGeometry(10, 2, 200, 20);
  QFont font = label_->font();
  font.setPixelSize(14);
  label_->setFont(font);
  label_->setWordWrap(false);
  // A name is shown as typed: one that looks like markup is not laid out as such.
  label_->setTextFormat(Qt::PlainText);
  label_->setTextInteractionFlags(Qt::NoTextInteraction);
  label_->setAttribute(Qt::WA_TranslucentBackground);
}

void reloadNameRows(QTableWidget& table, std::size_t count, const std::function<std::string(std::size_t)>& name,
                    int selected) {
  const QSignalBlocker quiet(table.selectionModel());
  table.clearSelection();
  resetRows(table, static_cast<int>(count));
  for (std::size_t row = 0; row < count; ++row) replaceNameCell(table, row, name(row));
  if (selected >= 0 && selected < table.rowCount()) table.selectRow(selected);
}

void replaceNameCell(QTableWidget& table, std::size_t row, const std::string& name) {
  if (static_cast<int>(row) >= table.rowCount()) return;
  auto* cell = new CustomLayoutTableCellView;
  cell->label()->setText(QString::fromStdString(name));
  replaceRowCell(table, static_cast<int>(row), cell);
}

}  // namespace tilvane
