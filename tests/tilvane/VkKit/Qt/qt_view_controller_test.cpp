#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <memory>

#include "VkKit/Qt/QtViewController.h"

namespace tilvane {
namespace {

// Its widgets go before the view (members before the base), so the view never deletes them itself.
class LabelPane : public QtViewController {
 public:
  std::unique_ptr<QLabel> label;
  std::unique_ptr<QVBoxLayout> layout;
  int layoutRuns = 0;
  bool labelExistedAtLayout = false;

 protected:
  void setupUI() override { label = std::make_unique<QLabel>("pane", &view()); }
  void setupLayout() override {
    ++layoutRuns;
    labelExistedAtLayout = label != nullptr;
    layout = std::make_unique<QVBoxLayout>(&view());
    layout->addWidget(label.get());
  }
};

TEST(QtViewController, TheViewStartsEmptyAndItsLayoutPassesRunSetupLayoutOnce) {
  LabelPane pane;
  EXPECT_FALSE(pane.isViewLoaded());
  QWidget& view = pane.view();
  EXPECT_EQ(view.size(), QSize(0, 0));
  ASSERT_NE(pane.label, nullptr);
  EXPECT_EQ(pane.label->parent(), &view);
  EXPECT_EQ(pane.layoutRuns, 0);

  view.show();
  QApplication::processEvents();
  view.resize(200, 100);
  view.layout()->invalidate();
  QApplication::processEvents();
  EXPECT_EQ(pane.layoutRuns, 1);
  EXPECT_TRUE(pane.labelExistedAtLayout);
  EXPECT_EQ(pane.label->parentWidget(), &view);
}

}  // namespace
}  // namespace tilvane
