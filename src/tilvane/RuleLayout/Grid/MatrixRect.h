#pragma once

#include "platform/desktop/Geometry.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane {

/// One cell of a grid editor: its frame in the grid's coordinates (top-left origin, y down, kept in doubles), its
/// fill, and its tap, enter and exit events. The grid's view feeds it the pointer; it holds no widget.
class MatrixRect {
 public:
  /// The fill of a new cell: blue at this opacity, with a grey border of width 1.
  static constexpr double kNewFill = 0.1;

  MatrixRect() = default;
  MatrixRect(const MatrixRect&) = delete;
  MatrixRect& operator=(const MatrixRect&) = delete;

  rx::PublishSubject<MatrixRect*>& rxTap() { return rxTap_; }
  rx::PublishSubject<MatrixRect*>& rxEntered() { return rxEntered_; }
  rx::PublishSubject<MatrixRect*>& rxExited() { return rxExited_; }
  bool isMouseDown() const { return isMouseDown_; }

  const CGRect& frame() const { return frame_; }
  void setFrame(const CGRect& frame) { frame_ = frame; }
  /// The area that reports the pointer entering and leaving: the bounds as they were at the last call.
  void setupTrackingArea() { trackingArea_ = CGRectMake(0, 0, frame_.size.width, frame_.size.height); }
  const CGRect& trackingArea() const { return trackingArea_; }

  /// The opacity of the cell's blue fill.
  double fill() const { return fill_; }
  void setFill(double alpha) { fill_ = alpha; }

  void mouseDown() { isMouseDown_ = true; }
  /// A tap is a press and release that began on this cell.
  void mouseUp() {
    const bool tapped = isMouseDown_;
    isMouseDown_ = false;
    if (tapped) rxTap_.onNext(this);
  }
  void mouseEntered() { rxEntered_.onNext(this); }
  void mouseExited() { rxExited_.onNext(this); }

 private:
  rx::PublishSubject<MatrixRect*> rxTap_;
  rx::PublishSubject<MatrixRect*> rxEntered_;
  rx::PublishSubject<MatrixRect*> rxExited_;
  bool isMouseDown_ = false;
  CGRect frame_{};
  CGRect trackingArea_{};
  double fill_ = kNewFill;
};

}  // namespace tilvane
