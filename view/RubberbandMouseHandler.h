// TRubberbandMouseHandler: the selection rectangle over the view's page.
//
// The operator draws a band, resizes it by its corners and edges, moves it
// and removes it; every change is reported to the view's OnRubberbandChange
// (normalised display pixels, (0, 0, 0, 0) on removal). Besides the band
// the handler keeps marked regions (earlier selections), a free-form
// outline (a click without dragging starts it, point by point), dragging of
// the view's margin outline, a cross-hair following the mouse, and a
// floating pasted image that is placed before it is stamped into the page.
//
// All coordinates are display pixels, counted from the top-left corner of
// the zoomed page; band corners are inclusive. Everything is painted over
// the view's display bitmap in its paint pass.
#pragma once

#include <QColor>
#include <QImage>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "image/DibGraphic.h"
#include "image/ImagingErrors.h"
#include "view/ImageScrollBox.h"
#include "view/ViewGeometry.h"

// Raised when an operation needs a selection and none is present.
class ERegionNotSelected : public EImagingError {
 public:
  ERegionNotSelected() : EImagingError("A region is not selected") {}
};

class TRubberbandMouseHandler : public TMouseHandler {
 public:
  // Called before a floating image is stamped: the handler, the image and
  // the target rectangle in image pixels (right/bottom inclusive).
  using TPasteEvent = std::function<void(TRubberbandMouseHandler* sender, TDibGraphic* image, const TRect& target)>;
  // Called when a free-form outline of at least 3 points is closed.
  using TOutlineEvent = std::function<void(TRubberbandMouseHandler* sender, TImageScrollBox* view, int pointCount)>;

  explicit TRubberbandMouseHandler(TImageScrollBox* view);
  ~TRubberbandMouseHandler() override;

  void ViewChanging() override;
  void ViewChanged() override;
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
  void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y) override;
  void Paint(QPainter& painter, QPoint origin) override;
  void MouseLeave() override;
  void Refresh() override;

  bool Active = true;
  bool TransparentPaste = true;
  int HandleSize = 6;

  bool ShowHandles() const { return showHandles_; }
  void SetShowHandles(bool value);
  bool CrossHair() const { return crossHair_; }
  void SetCrossHair(bool value);
  TPoint CrossHairPoint() const { return crossHairPoint_; }

  bool Animated() const { return timer_.isActive(); }
  void SetAnimated(bool value);
  QColor PenColor() const { return penColor_; }
  QColor BrushColor() const { return brushColor_; }

  bool BandPresent() const { return bandPresent_; }
  // Stored corners (while dragging, (X2, Y2) is the moving corner).
  TBandCorners Corners() const { return band_; }
  int GrabState() const { return grab_; }
  int BandMovement() const { return movement_; }

  // The band normalised; ERegionNotSelected without one.
  TRect SelectedRect() const;
  // The band in image pixels (right/bottom inclusive).
  TRect SelectedImageRect() const;
  // Crops source to the selection and makes the result the view's page.
  // Throws EImagingError "Graphic not assigned!" without a source.
  void CropToSelection(const TDibGraphic* source);
  void RemoveSelection();
  void SelectAll();
  // r: Right/Bottom exclusive.
  void SetSelection(const TRect& r);
  // Forgets band and outline without reporting (a new page came).
  void Reset();

  // --- marked regions (display pixels, right/bottom inclusive) -----------
  const std::vector<TRect>& MarkedRegions() const { return regions_; }
  void AddSelectionToRegions();
  std::vector<TRect> MarkedRegionsInImagePixels() const;
  void ClearMarkedRegions();

  // --- free-form outline ----------------------------------------------------
  const std::vector<TPoint>& OutlinePoints() const { return points_; }
  // The points in image pixels, scaled as the selected rectangle is.
  std::vector<TPoint> OutlinePointsInImagePixels() const;
  bool OutlineInProgress() const { return grab_ == gcFreeForm; }
  void EndOutline();
  TOutlineEvent OnOutline;

  // --- floating paste ---------------------------------------------------------
  bool HasFloatingImage() const { return floating_ != nullptr; }
  const TDibGraphic* FloatingImage() const { return floating_.get(); }
  void Paste(const TDibGraphic& image);
  void CommitFloatingImage();
  TPasteEvent OnPaste;

 private:
  void Report();
  void ReportEmpty();
  void StartBand(int x, int y);
  void ClearPoints();
  void CloseOutline(int x, int y);
  TSize DisplaySize() const;
  const QImage& FloatingDisplayCopy(int width, int height);
  void TimerTick();

  bool bandPresent_ = false;
  TBandCorners band_;
  int grab_ = gcBottomRight;
  int movement_ = 0;
  TPoint lastPoint_;
  TPoint pressPoint_;
  bool justRemoved_ = false;
  bool moved_ = false;
  TPoint dragPoint_{-1, -1};   // mouse while dragging the margin outline
  TPoint mousePoint_{-1, -1};  // end of the free-form rubber line

  QColor penColor_{0x80, 0x80, 0x80};
  QColor brushColor_{0x00, 0x00, 0x80};
  QTimer timer_;
  bool showHandles_ = false;
  bool crossHair_ = true;
  TPoint crossHairPoint_{-1, -1};

  std::unique_ptr<TDibGraphic> floating_;
  QImage floatingCopy_;
  TSize floatingCopySize_;
  std::vector<TPoint> points_;
  std::vector<TRect> regions_;
  TSize oldDisplay_;
};
