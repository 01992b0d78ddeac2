#pragma once

#include <QString>
#include <QTableWidget>
#include <QToolButton>

namespace tilvane {

/// The one-column lists of the editors' panes: rows of a fixed height, one selected at a time, no header, no
/// grid and no in-place editing; each row shows a cell widget. Cells are never reused: a replaced one is hidden
/// at once (Qt deletes it later, on the loop) so it never shows under its successor.
QTableWidget* makeRowTable(QWidget* parent, int rowHeight);
/// Hides every cell and sets the table to `count` empty rows.
void resetRows(QTableWidget& table, int count);
/// Puts `cell` (taken over by the table) in `row`, hiding the cell it replaces.
void replaceRowCell(QTableWidget& table, int row, QWidget* cell);
/// Selects `row` alone without telling the selection's listeners (none for an index outside the table);
/// `scroll` brings it into view.
void selectOnlyRow(QTableWidget& table, int row, bool scroll = false);
/// The selected row, -1 when none.
int selectedRow(const QTableWidget& table);
/// The small square "+" and "−" buttons under the lists.
QToolButton* squareButton(const QString& text, QWidget* parent);

}  // namespace tilvane
