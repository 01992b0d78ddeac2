// The workspace editor's icon cell (offscreen platform): the icon file's image, and the program's two images for
// the file manager's word and for anything unreadable.
#include <gtest/gtest.h>

#include <QImage>

#include "WorkspaceLayout/Qt/WorkspaceItemTableCellView.h"
#include "support/Artefacts.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {
namespace {

using Image = WorkspaceItemTableCellView::Image;

TEST(WorkspaceItemCellTest, AReadableFileShowsItselfAndAnythingElseFallsBackByTheWord) {
  ScopedTempDir temp;
  const std::string iconFile = (temp.path() / "editor.png").string();
  QImage red(64, 64, QImage::Format_ARGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(QString::fromStdString(iconFile)));

  WorkspaceItemTableCellView cell(QRect(0, 0, 50, 50));
  EXPECT_EQ(cell.icon()->geometry(), QRect(10, 10, 30, 30));
  cell.setIcon(iconFile);
  EXPECT_EQ(cell.shownImage(), Image::file);
  EXPECT_EQ(cell.icon()->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
  EXPECT_FALSE(saveArtefact("workspace-item-cell-file", cell.grab().toImage()).empty());

  const std::pair<std::optional<std::string>, Image> cases[] = {
      {"Finder", Image::finder},
      {"finder", Image::genericApp},  // the word is matched exactly
      {"", Image::genericApp},
      {(temp.path() / "missing.png").string(), Image::genericApp},
      {temp.path().string(), Image::genericApp},  // a folder is no image
      {std::nullopt, Image::none},
  };
  for (const auto& [path, expected] : cases) {
    cell.setIcon(iconFile);
    cell.setIcon(path);
    EXPECT_EQ(cell.shownImage(), expected) << path.value_or("(none)");
    EXPECT_EQ(cell.icon()->pixmap().isNull(), expected == Image::none) << path.value_or("(none)");
  }
  cell.setIcon("Finder");
  EXPECT_FALSE(saveArtefact("workspace-item-cell-finder", cell.grab().toImage()).empty());
}

}  // namespace
}  // namespace tilvane::test
