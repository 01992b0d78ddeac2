#include "UI/Widgets/RowTable.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>

namespace tilvane {

QTableWidget* makeRowTable(QWidget* parent, int rowHeight) {
  auto* table = new QTableWidget(parent);
  table->setColumnCount(1);
  table->horizontalHeader()->hide();
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  table->verticalHeader()->setDefaultSectionSize(rowHeight);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setShowGrid(false);
  table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  return table;
}

void resetRows(QTableWidget& table, int count) {
  for (int row = 0; row < table.rowCount(); ++row)
    if (QWidget* old = table.cellWidget(row, 0)) old->hide();
  table.setRowCount(0);
  table.setRowCount(count);
}

void replaceRowCell(QTableWidget& table, int row, QWidget* cell) {
  if (QWidget* old = table.cellWidget(row, 0)) old->hide();
  table.setCellWidget(row, 0, cell);
}

void selectOnlyRow(QTableWidget& table, int row, bool scroll) {
  const QSignalBlocker quiet(table.selectionModel());
  table.clearSelection();
  if (row < 0 || row >= table.rowCount()) return;
  table.selectRow(row);
  if (scroll) table.scrollTo(table.model()->index(row, 0));
}

int selectedRow(const QTableWidget& table) {
  const auto rows = table.selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

QToolButton* squareButton(const QString& text, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText(text);
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoRaise(false);
  return button;
}

}  // namespace tilvane
