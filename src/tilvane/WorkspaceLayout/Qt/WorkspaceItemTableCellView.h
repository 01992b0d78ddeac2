#pragma once

#include <QLabel>
#include <QWidget>
#include <optional>
#include <string>

namespace tilvane {

/// A row of the workspace editor's item list: the icon of the application of one saved window, a 30 × 30
/// square 10 points from the cell's top and left edges, and the application's name to its right (cut with "…"
/// where the row is too narrow; grey when the application cannot be found).
class WorkspaceItemTableCellView final : public QWidget {
 public:
  /// What the icon shows.
  enum class Image {
    none,
    /// The image read from the icon file.
    file,
    /// The program's "Finder.png": the file manager's entry has the word "Finder" for its icon.
    finder,
    /// The program's "MacApp.png": any application whose icon file cannot be read.
    genericApp,
  };

  /// The cell at `frame` (its parent's coordinates).
  explicit WorkspaceItemTableCellView(const QRect& frame = {}, QWidget* parent = nullptr);

  /// Shows the image of the icon file at `path` (or, for a name, the desktop's icon of that name); when it gives
  /// none, "Finder.png" for the word "Finder" (exactly so) and "MacApp.png" for any other path. Without a path,
  /// and so without an image, the icon is empty.
  void setIcon(const std::optional<std::string>& path);

  /// Shows the application's name; `found` false greys it.
  void setName(const std::string& text, bool found);

  QLabel* icon() const { return icon_; }
  QLabel* name() const { return name_; }
  /// The whole name, as given (the label may show it cut).
  const QString& fullName() const { return fullName_; }
  Image shownImage() const { return shown_; }

  static constexpr int kIconSide = 30;
  static constexpr int kIconInset = 10;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void elide();

  QLabel* icon_;
  QLabel* name_;
  QString fullName_;
  Image shown_ = Image::none;
};

}  // namespace tilvane
