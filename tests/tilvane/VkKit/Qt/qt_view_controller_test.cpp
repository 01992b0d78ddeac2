#include <gtest/gtest.h>

#include <QApplication>
#include <QVBoxLayout>
#include <memory>

#include "VkKit/Qt/QtViewController.h"

namespace tilvane {
namespace {

class Pane : public QtViewController {
 public:
  std::unique_ptr<QVBoxLayout> layout;  // goes before the view, which therefore never deletes it
  int layoutRuns = 0;

 protected:
  void setupLayout() override {
    ++layoutRuns;
    layout = std::make_unique<QVBoxLayout>(&view());
  }
};

TEST(QtViewController, TheWidgetsLayoutPassesRunSetupLayoutOnce) {
  Pane pane;
  QWidget& view = pane.view();
  EXPECT_EQ(view.size(), QSize(0, 0));
  EXPECT_EQ(pane.layoutRuns, 0);
  view.show();
  QApplication::processEvents();
  view.resize(200, 100);
  view.layout()->invalidate();
  QApplication::processEvents();
  EXPECT_EQ(pane.layoutRuns, 1);
}

}  // namespace
}  // namespace tilvane
