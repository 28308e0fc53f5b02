#include "view/RubberbandMouseHandler.h"

#include <QPainter>
#include <cstdlib>

#include "image/Canvas.h"
#include "image/transforms/CropTransform.h"
#include "view/DisplayBitmap.h"

namespace {

Qt::CursorShape GrabHandleToCursor(int code) {
  switch (code) {
    case gcTopLeft:
    case gcBottomRight:
    case gcOutlineTopLeft:
    case gcOutlineBottomRight:
      return Qt::SizeFDiagCursor;
    case gcTopRight:
    case gcBottomLeft:
    case gcOutlineTopRight:
    case gcOutlineBottomLeft:
      return Qt::SizeBDiagCursor;
    case gcTop:
    case gcBottom:
      return Qt::SizeVerCursor;
    case gcLeft:
    case gcRight:
      return Qt::SizeHorCursor;
    case gcOutlineTop:
    case gcOutlineBottom:
      return Qt::SplitVCursor;
    case gcOutlineLeft:
    case gcOutlineRight:
      return Qt::SplitHCursor;
    case gcFreeForm:
    case gcNothing:
      return Qt::ArrowCursor;
    default:
      throw EImagingError("Invalid GrabHandle, GrabHandleToCursor");
  }
}

void SetGrabCursor(TImageScrollBox* view, int code) {
  if (code == gcInside)
    view->SetPageCursor(HandOpenedCursor());
  else
    view->SetPageCursor(QCursor(GrabHandleToCursor(code)));
}

bool IsRectangleGrab(int code) { return code >= gcTopLeft && code <= gcInside; }
bool IsOutlineGrab(int code) { return code >= gcOutlineTop && code <= gcOutlineBottomRight; }

}  // namespace

TRubberbandMouseHandler::TRubberbandMouseHandler(TImageScrollBox* view) : TMouseHandler(view) {
  timer_.setInterval(400);
  QObject::connect(&timer_, &QTimer::timeout, [this] { TimerTick(); });
  oldDisplay_ = view->DisplaySize();
  view->SetPageCursor(QCursor(Qt::ArrowCursor));
}

TRubberbandMouseHandler::~TRubberbandMouseHandler() {
  timer_.stop();
  if (bandPresent_) View()->viewport()->update();
}

TSize TRubberbandMouseHandler::DisplaySize() const { return View()->DisplaySize(); }

// --- reports ---------------------------------------------------------------------

void TRubberbandMouseHandler::Report() {
  View()->viewport()->update();
  if (View()->OnRubberbandChange) View()->OnRubberbandChange(NormalizedBand(band_));
}

void TRubberbandMouseHandler::ReportEmpty() {
  View()->viewport()->update();
  if (View()->OnRubberbandChange) View()->OnRubberbandChange(TRect{0, 0, 0, 0});
}

// --- view changes -----------------------------------------------------------------

void TRubberbandMouseHandler::ViewChanging() {
  oldDisplay_ = DisplaySize();
  if (View()->Graphic().Empty()) bandPresent_ = false;
}

void TRubberbandMouseHandler::ViewChanged() {
  const TSize now = DisplaySize();
  const TSize old = oldDisplay_;
  oldDisplay_ = now;  // a second call for the same change scales by 1
  if (old == now) {
    if (bandPresent_) Report();
    return;
  }
  auto sx = [&](int v) { return RescaleCoordinate(v, now.Width, old.Width); };
  auto sy = [&](int v) { return RescaleCoordinate(v, now.Height, old.Height); };
  band_ = TBandCorners{sx(band_.X1), sy(band_.Y1), sx(band_.X2), sy(band_.Y2)};
  for (TRect& r : regions_) r = TRect{sx(r.Left), sy(r.Top), sx(r.Right), sy(r.Bottom)};
  for (TPoint& p : points_) p = TPoint{sx(p.X), sy(p.Y)};
  if (crossHairPoint_.X >= 0) crossHairPoint_ = TPoint{sx(crossHairPoint_.X), sy(crossHairPoint_.Y)};
  floatingCopy_ = QImage();
  if (bandPresent_) Report();
  View()->viewport()->update();
}

void TRubberbandMouseHandler::Refresh() {
  floatingCopy_ = QImage();
  View()->viewport()->update();
}

void TRubberbandMouseHandler::MouseLeave() {
  if (crossHairPoint_.X >= 0) {
    crossHairPoint_ = TPoint{-1, -1};
    View()->viewport()->update();
  }
}

// --- mouse ------------------------------------------------------------------------

void TRubberbandMouseHandler::StartBand(int x, int y) {
  grab_ = gcBottomRight;
  movement_ = 0;
  band_ = TBandCorners{x, y, x, y};
  bandPresent_ = true;
}

void TRubberbandMouseHandler::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  if (!Active || View()->Centered()) return;
  // Other buttons leave the band alone: only the left button's release
  // finishes what a press starts.
  if (button != Qt::LeftButton) return;
  TMouseHandler::MouseDown(button, shift, x, y);
  justRemoved_ = false;
  moved_ = false;
  if (bandPresent_) grab_ = BandHitTest(band_, x, y);
  lastPoint_ = pressPoint_ = TPoint{x, y};

  if (bandPresent_ && IsRectangleGrab(grab_)) {
    movement_ = GrabHandleToBandMovement(grab_);
    // The dragged corner becomes (X2, Y2).
    switch (grab_) {
      case gcTopLeft:
        std::swap(band_.X1, band_.X2);
        std::swap(band_.Y1, band_.Y2);
        break;
      case gcTop:
      case gcTopRight:
        std::swap(band_.Y1, band_.Y2);
        break;
      case gcBottomLeft:
      case gcLeft:
        std::swap(band_.X1, band_.X2);
        break;
      default:
        break;
    }
    View()->viewport()->update();
    return;
  }
  if (bandPresent_) {
    CommitFloatingImage();
    bandPresent_ = false;
    ReportEmpty();
    justRemoved_ = true;
    grab_ = gcNothing;
  }
  if (!IsOutlineGrab(grab_) && grab_ != gcFreeForm) StartBand(x, y);
  if (IsOutlineGrab(grab_)) dragPoint_ = TPoint{x, y};
}

void TRubberbandMouseHandler::MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers, int x, int y) {
  if (!Active) return;
  const TSize d = DisplaySize();
  if (crossHair_) {
    crossHairPoint_ = TPoint{ClampInt(x, 0, d.Width - 1), ClampInt(y, 0, d.Height - 1)};
    View()->viewport()->update();
  }
  if (buttonDown_) {
    x = ClampInt(x, 0, d.Width - 1);
    y = ClampInt(y, 0, d.Height - 1);
    if (x != pressPoint_.X || y != pressPoint_.Y) moved_ = true;
    if ((buttons & Qt::LeftButton) && bandPresent_ && IsRectangleGrab(grab_)) {
      if (movement_ == 3) {
        // Move the whole band, never past the display's edges.
        const TRect n = NormalizedBand(band_);
        const int dx = ClampInt(x - lastPoint_.X, -n.Left, d.Width - 1 - n.Right);
        const int dy = ClampInt(y - lastPoint_.Y, -n.Top, d.Height - 1 - n.Bottom);
        if (dx || dy) {
          band_.X1 += dx;
          band_.X2 += dx;
          band_.Y1 += dy;
          band_.Y2 += dy;
          lastPoint_.X += dx;
          lastPoint_.Y += dy;
          Report();
        }
      } else {
        if (movement_ == 1) x = band_.X2;
        if (movement_ == 2) y = band_.Y2;
        if (x != band_.X2 || y != band_.Y2) {
          band_.X2 = x;
          band_.Y2 = y;
          Report();
        }
      }
    } else if (IsOutlineGrab(grab_)) {
      dragPoint_ = TPoint{x, y};
      View()->viewport()->update();
    }
  } else if (bandPresent_) {
    grab_ = BandHitTest(band_, x, y);
    SetGrabCursor(View(), grab_);
  } else if (grab_ != gcFreeForm) {
    grab_ = View()->ShowOutline() ? OutlineHitTest(View()->OutlineDisplayRect(), x, y) : gcNothing;
    SetGrabCursor(View(), grab_);
  }
  if (grab_ == gcFreeForm) {
    mousePoint_ = TPoint{ClampInt(x, 0, d.Width - 1), ClampInt(y, 0, d.Height - 1)};
    View()->viewport()->update();
  }
}

void TRubberbandMouseHandler::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  if (!Active || button != Qt::LeftButton || !buttonDown_) return;
  TMouseHandler::MouseUp(button, shift, x, y);
  const TSize d = DisplaySize();
  if (bandPresent_) {
    const TRect n = NormalizedBand(band_);
    band_ = TBandCorners{n.Left, n.Top, n.Right, n.Bottom};
    if (n.Right == n.Left || n.Bottom == n.Top) {
      bandPresent_ = false;
      View()->viewport()->update();
    }
  }
  if (!bandPresent_) {
    if (IsOutlineGrab(grab_)) {
      View()->SetOutlineMarginsFromMouse(OutlineGrabFlags(grab_), ClampInt(x, 0, d.Width - 1),
                                         ClampInt(y, 0, d.Height - 1));
      grab_ = gcNothing;
      dragPoint_ = TPoint{-1, -1};
      View()->viewport()->update();
    } else if (grab_ == gcFreeForm) {
      CloseOutline(x, y);
    } else if (!moved_ && !justRemoved_) {
      grab_ = gcFreeForm;
      points_.assign(1, TPoint{ClampInt(x, 0, d.Width - 1), ClampInt(y, 0, d.Height - 1)});
      mousePoint_ = points_.front();
      View()->SetPageCursor(QCursor(Qt::ArrowCursor));
      View()->viewport()->update();
    }
  }
  justRemoved_ = false;
}

void TRubberbandMouseHandler::CloseOutline(int x, int y) {
  if (points_.empty()) {
    EndOutline();
    return;
  }
  const TPoint f = points_.front();
  if (std::abs(x - f.X) <= 6 && std::abs(y - f.Y) <= 6) {
    // Closing click: hand the outline over when it is a proper polygon.
    const int count = static_cast<int>(points_.size());
    if (OnOutline && count >= 3 && FreeFormClosingAllowed(points_)) OnOutline(this, View(), count);
    EndOutline();
    return;
  }
  if (x >= f.X - 6 && x <= f.X + 6 && y >= f.Y + 9 && y <= f.Y + 22) {
    EndOutline();
    return;
  }
  const TSize d = DisplaySize();
  const TPoint p{ClampInt(x, 0, d.Width - 1), ClampInt(y, 0, d.Height - 1)};
  if (FreeFormPointAllowed(points_, p)) points_.push_back(p);
  View()->viewport()->update();
}

std::vector<TPoint> TRubberbandMouseHandler::OutlinePointsInImagePixels() const {
  const TDibGraphic& g = View()->Graphic();
  const TSize image{g.Width(), g.Height()};
  const TSize d = DisplaySize();
  std::vector<TPoint> result;
  result.reserve(points_.size());
  for (const TPoint& p : points_) {
    const TRect r = BandToImageRect(TRect{p.X, p.Y, p.X, p.Y}, image, d);
    result.push_back(TPoint{r.Left, r.Top});
  }
  return result;
}

void TRubberbandMouseHandler::ClearPoints() {
  points_.clear();
  mousePoint_ = TPoint{-1, -1};
}

void TRubberbandMouseHandler::EndOutline() {
  ClearPoints();
  grab_ = gcNothing;
  View()->viewport()->update();
}

// --- selection --------------------------------------------------------------------

TRect TRubberbandMouseHandler::SelectedRect() const {
  if (!bandPresent_) throw ERegionNotSelected();
  return NormalizedBand(band_);
}

TRect TRubberbandMouseHandler::SelectedImageRect() const {
  const TDibGraphic& g = View()->Graphic();
  return BandToImageRect(SelectedRect(), TSize{g.Width(), g.Height()}, DisplaySize());
}

void TRubberbandMouseHandler::CropToSelection(const TDibGraphic* source) {
  if (!source) throw EImagingError("Graphic not assigned!");
  const TRect r = SelectedImageRect();
  TDibGraphic piece;
  CropGraphic(*source, TRect{r.Left, r.Top, r.Right + 1, r.Bottom + 1}, piece);
  RemoveSelection();
  View()->AssignGraphic(piece);
}

void TRubberbandMouseHandler::RemoveSelection() {
  bandPresent_ = false;
  ReportEmpty();
}

void TRubberbandMouseHandler::SelectAll() {
  const TSize d = DisplaySize();
  if (d.Width < 1 || View()->Graphic().Empty()) return;
  band_ = TBandCorners{0, 0, d.Width - 1, d.Height - 1};
  bandPresent_ = true;
  Report();
}

void TRubberbandMouseHandler::SetSelection(const TRect& r) {
  band_ = TBandCorners{r.Left, r.Top, r.Right - 1, r.Bottom - 1};
  bandPresent_ = true;
  Report();
}

void TRubberbandMouseHandler::Reset() {
  const bool hadBand = bandPresent_;
  bandPresent_ = false;
  floating_.reset();
  floatingCopy_ = QImage();
  ClearPoints();
  grab_ = gcNothing;
  buttonDown_ = false;
  crossHairPoint_ = TPoint{-1, -1};
  dragPoint_ = TPoint{-1, -1};
  oldDisplay_ = DisplaySize();
  if (hadBand) ReportEmpty();
}

void TRubberbandMouseHandler::AddSelectionToRegions() {
  if (!bandPresent_) return;
  regions_.push_back(NormalizedBand(band_));
  RemoveSelection();
}

std::vector<TRect> TRubberbandMouseHandler::MarkedRegionsInImagePixels() const {
  const TDibGraphic& g = View()->Graphic();
  std::vector<TRect> result;
  result.reserve(regions_.size());
  for (const TRect& r : regions_) result.push_back(RegionToImageRect(r, TSize{g.Width(), g.Height()}, DisplaySize()));
  return result;
}

void TRubberbandMouseHandler::ClearMarkedRegions() {
  regions_.clear();
  if (grab_ == gcFreeForm) EndOutline();
  View()->viewport()->update();
}

// --- cross-hair, handles, animation ---------------------------------------------

void TRubberbandMouseHandler::SetShowHandles(bool value) {
  showHandles_ = value;
  View()->viewport()->update();
}

void TRubberbandMouseHandler::SetCrossHair(bool value) {
  crossHair_ = value;
  if (!value) crossHairPoint_ = TPoint{-1, -1};
  View()->viewport()->update();
}

void TRubberbandMouseHandler::SetAnimated(bool value) {
  if (value)
    timer_.start();
  else
    timer_.stop();
}

void TRubberbandMouseHandler::TimerTick() {
  std::swap(penColor_, brushColor_);
  if (bandPresent_) View()->viewport()->update();
}

// --- floating paste ------------------------------------------------------------------

void TRubberbandMouseHandler::Paste(const TDibGraphic& image) {
  if (image.Empty()) return;
  TDibGraphic& page = View()->Graphic();
  auto floating = std::make_unique<TDibGraphic>();
  if (!page.Empty() && page.ImageFormat() != image.ImageFormat()) {
    const TPalette& pal = page.Palette();
    floating->NewImage(image.Width(), image.Height(), page.ImageFormat(), pal.empty() ? nullptr : &pal,
                       image.XDotsPerInch(), image.YDotsPerInch());
    floating->Canvas().Draw(0, 0, image);
  } else {
    floating->Assign(image);
  }
  floating_ = std::move(floating);
  floatingCopy_ = QImage();
  if (!bandPresent_ && !page.Empty()) {
    const double zoom = View()->Zoom();
    const int w = std::max(1, static_cast<int>(floating_->Width() * zoom / 100));
    const int h = std::max(1, static_cast<int>(floating_->Height() * zoom / 100));
    const int x = View()->HorzScrollPos();
    const int y = View()->VertScrollPos();
    band_ = TBandCorners{x, y, x + w - 1, y + h - 1};
    bandPresent_ = true;
    Report();
  }
  View()->viewport()->update();
}

void TRubberbandMouseHandler::CommitFloatingImage() {
  if (!floating_) return;
  TDibGraphic& page = View()->Graphic();
  if (!bandPresent_ || page.Empty()) {
    floating_.reset();
    return;
  }
  const TRect target = SelectedImageRect();
  if (OnPaste) OnPaste(this, floating_.get(), target);
  TCanvas& canvas = page.Canvas();
  const TCopyMode oldMode = canvas.CopyMode;
  canvas.CopyMode = TransparentPaste ? TCopyMode::cmAnd : TCopyMode::cmCopy;
  canvas.StretchDraw(TRect{target.Left, target.Top, target.Right + 1, target.Bottom + 1}, *floating_);
  canvas.CopyMode = oldMode;
  floating_.reset();
  floatingCopy_ = QImage();
  View()->Redraw(false);
}

const QImage& TRubberbandMouseHandler::FloatingDisplayCopy(int width, int height) {
  if (!floatingCopy_.isNull() && floatingCopySize_ == TSize{width, height}) return floatingCopy_;
  TDibGraphic shown;
  BuildDisplayBitmap(*floating_, shown, width, height, View()->AntiAliased(), false);
  floatingCopy_ = DisplayToQImage(shown);
  if (View()->Invert()) floatingCopy_.invertPixels();
  floatingCopySize_ = TSize{width, height};
  return floatingCopy_;
}

// --- painting ------------------------------------------------------------------------

void TRubberbandMouseHandler::Paint(QPainter& painter, QPoint origin) {
  const TSize d = DisplaySize();
  if (d.Width < 1 || View()->DisplayImage().isNull()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QRect page(origin, QSize(d.Width, d.Height));

  // The cross-hair lies under the band.
  if (crossHair_ && crossHairPoint_.X >= 0) {
    painter.save();
    painter.setClipRect(page);
    painter.setPen(QPen(penColor_, 0, Qt::SolidLine));
    painter.drawLine(origin.x(), origin.y() + crossHairPoint_.Y, origin.x() + d.Width - 1,
                     origin.y() + crossHairPoint_.Y);
    painter.drawLine(origin.x() + crossHairPoint_.X, origin.y(), origin.x() + crossHairPoint_.X,
                     origin.y() + d.Height - 1);
    painter.restore();
  }

  // Marked regions: red frames.
  for (const TRect& r : regions_) {
    painter.setPen(QPen(QColor(255, 0, 0), 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(origin.x() + r.Left, origin.y() + r.Top, r.Right - r.Left, r.Bottom - r.Top);
  }

  if (bandPresent_) {
    const TRect n = NormalizedBand(band_);
    if (floating_) {
      const QImage& shown = FloatingDisplayCopy(n.Width() + 1, n.Height() + 1);
      painter.save();
      painter.setClipRect(page);
      painter.setCompositionMode(!TransparentPaste  ? QPainter::CompositionMode_SourceOver
                                 : View()->Invert() ? QPainter::RasterOp_SourceOrDestination
                                                    : QPainter::RasterOp_SourceAndDestination);
      painter.drawImage(origin.x() + n.Left, origin.y() + n.Top, shown);
      painter.restore();
    }
    painter.setPen(QPen(penColor_, 0, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    const QPoint a(origin.x() + band_.X1, origin.y() + band_.Y1);
    const QPoint b(origin.x() + band_.X2, origin.y() + band_.Y2);
    painter.drawLine(a.x(), a.y(), b.x(), a.y());
    painter.drawLine(b.x(), a.y(), b.x(), b.y());
    painter.drawLine(b.x(), b.y(), a.x(), b.y());
    painter.drawLine(a.x(), b.y(), a.x(), a.y());
    if (showHandles_) {
      const int half = HandleSize / 2;
      for (const QPoint c : {a, b, QPoint(a.x(), b.y()), QPoint(b.x(), a.y())})
        painter.fillRect(c.x() - half, c.y() - half, HandleSize, HandleSize, brushColor_);
    }
  }

  if (IsOutlineGrab(grab_) && buttonDown_ && dragPoint_.X >= 0) {
    // Where the dragged outline edge(s) will go.
    const int flags = OutlineGrabFlags(grab_);
    painter.setPen(QPen(penColor_, 0, Qt::DotLine));
    if (flags & (1 | 4))
      painter.drawLine(origin.x() + dragPoint_.X, origin.y(), origin.x() + dragPoint_.X, origin.y() + d.Height - 1);
    if (flags & (2 | 8))
      painter.drawLine(origin.x(), origin.y() + dragPoint_.Y, origin.x() + d.Width - 1, origin.y() + dragPoint_.Y);
  }

  if (grab_ == gcFreeForm && !points_.empty()) {
    painter.setPen(QPen(QColor(255, 0, 0), 0));
    for (std::size_t i = 0; i + 1 < points_.size(); ++i)
      painter.drawLine(origin.x() + points_[i].X, origin.y() + points_[i].Y, origin.x() + points_[i + 1].X,
                       origin.y() + points_[i + 1].Y);
    for (const TPoint& p : points_)
      painter.fillRect(origin.x() + p.X - 1, origin.y() + p.Y - 1, 3, 3, QColor(255, 0, 0));
    const TPoint f = points_.front();
    // The closing square around the first point and the end box under it.
    painter.setPen(QPen(QColor(255, 0, 0), 0));
    painter.drawRect(origin.x() + f.X - 6, origin.y() + f.Y - 6, 12, 12);
    painter.setPen(QPen(QColor(0, 0, 255), 0));
    painter.drawRect(origin.x() + f.X - 6, origin.y() + f.Y + 9, 12, 13);
    if (mousePoint_.X >= 0) {
      painter.setPen(QPen(QColor(255, 0, 0), 0, Qt::DotLine));
      const TPoint l = points_.back();
      painter.drawLine(origin.x() + l.X, origin.y() + l.Y, origin.x() + mousePoint_.X, origin.y() + mousePoint_.Y);
    }
  }

  painter.restore();
}
