// The grid editors on screen (offscreen platform): a click on a painted cell is its tap, and the pointer moving
// over cells draws the fixed grid's rectangle.
#include <gtest/gtest.h>

#include <QTest>

#include "RuleLayout/Grid/ArrangedMatrixView.h"
#include "RuleLayout/Grid/FixPostionMatrixView.h"
#include "RuleLayout/Grid/Qt/QtMatrixView.h"
#include "support/Artefacts.h"

namespace tilvane::test {
namespace {

QPoint centre(const MatrixRect* cell) {
  const CGRect& f = cell->frame();
  return QPoint(static_cast<int>(f.origin.x + f.size.width / 2), static_cast<int>(f.origin.y + f.size.height / 2));
}

TEST(QtMatrixViewTest, ClicksAndPointerMovesReachTheCells) {
  ArrangedMatrixView arranged;
  std::vector<std::int64_t> values;
  rx::DisposeBag bag;
  arranged.matrixValueChanged().subscribe([&](std::int64_t v) { values.push_back(v); }).disposed(bag);
  QtMatrixView arrangedView(arranged);
  arranged.layoutRects(4, 4);
  arranged.matrix = TransformUtils::matrix(65535, 4, 4);
  arranged.refreshColors();
  EXPECT_EQ(arrangedView.size(), QSize(200, 120));
  QTest::mouseClick(&arrangedView, Qt::LeftButton, {}, centre(arranged.cellAt(0, 0)));
  EXPECT_EQ(values, std::vector<std::int64_t>{32767});
  QTest::mouseClick(&arrangedView, Qt::LeftButton, {}, QPoint(49, 5));  // in the gap: no cell
  EXPECT_EQ(values.size(), 1u);
  EXPECT_FALSE(saveArtefact("grid-arranged", arrangedView.grab().toImage()).empty());

  FixPostionMatrixView fixed;
  fixed.matrixValueChanged().subscribe([&](std::int64_t v) { values.push_back(v); }).disposed(bag);
  QtMatrixView fixedView(fixed);
  fixed.layoutRects(4, 4);
  fixedView.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&fixedView));
  QTest::mouseClick(&fixedView, Qt::LeftButton, {}, centre(fixed.cellAt(0, 0)));
  QTest::mouseMove(&fixedView, centre(fixed.cellAt(1, 2)));
  EXPECT_DOUBLE_EQ(fixed.cellAt(1, 1)->fill(), 0.3);
  EXPECT_FALSE(saveArtefact("grid-fixed-choosing", fixedView.grab().toImage()).empty());
  QTest::mouseMove(&fixedView, centre(fixed.cellAt(2, 3)));
  QTest::mouseClick(&fixedView, Qt::LeftButton, {}, centre(fixed.cellAt(2, 3)));
  EXPECT_EQ(values.back(), 65520);
}

}  // namespace
}  // namespace tilvane::test
