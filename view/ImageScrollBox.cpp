#include "view/ImageScrollBox.h"

#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QThread>
#include <algorithm>
#include <cctype>
#include <mutex>

#include "image/Canvas.h"
#include "image/Exif.h"
#include "image/GraphicRegistry.h"
#include "image/ImagingHooks.h"
#include "image/JpegGraphic.h"
#include "image/Stream.h"
#include "image/TiffGraphic.h"
#include "image/transforms/CropTransform.h"
#include "pagework/PageWriter.h"
#include "view/DibQImage.h"
#include "view/DisplayBitmap.h"
#include "view/RubberbandMouseHandler.h"

static void InitViewResourcesOnce() { Q_INIT_RESOURCE(ViewResources); }

void InitViewResources() {
  static std::once_flag once;
  std::call_once(once, InitViewResourcesOnce);
}

QCursor HandOpenedCursor() {
  InitViewResources();
  static const QCursor cursor(QPixmap(":/cursors/HANDOPENEDCURSOR"), 8, 8);
  return cursor;
}

QCursor HandClosedCursor() {
  InitViewResources();
  static const QCursor cursor(QPixmap(":/cursors/HANDCLOSEDCURSOR"), 8, 8);
  return cursor;
}

QCursor InnerCursor() {
  InitViewResources();
  static const QCursor cursor(QPixmap(":/cursors/inner"), 15, 15);
  return cursor;
}

QCursor OuterCursor() {
  InitViewResources();
  static const QCursor cursor(QPixmap(":/cursors/outer"), 15, 15);
  return cursor;
}

// One background read: the name and the page it holds travel with the
// result, and a result for a read the view no longer waits for is freed.
struct TReadAheadSlot {
  std::mutex Mutex;
  std::uint64_t Generation = 0;  // the read the view waits for
  std::string FileName;          // file of Graphic
  std::unique_ptr<TDibGraphic> Graphic;
};

namespace {

constexpr int kAnnotationTag = 40000;

bool SameFileName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

QColor ToQColor(TColor32 c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

// Text of the page's annotation tag (TIFF pages only).
std::string AnnotationTextOf(const TDibGraphic& graphic) {
  if (auto* tiff = dynamic_cast<const TTiffGraphic*>(&graphic)) return tiff->PrivateTagText(kAnnotationTag);
  return {};
}

void PutAnnotationText(TDibGraphic& graphic, const std::string& text) {
  if (auto* tiff = dynamic_cast<TTiffGraphic*>(&graphic)) {
    TTiffPrivateTag& tag = tiff->PrivateTags[0];
    tag.Tag = kAnnotationTag;
    tag.ReadEnabled = true;
    tag.WriteEnabled = true;
    tag.Text = text;
  }
}

// JPEG pages that state less than 100 dpi take the resolution of their
// EXIF data where that is higher.
void CorrectJpegResolution(TDibGraphic& graphic, const std::string& fileName) {
  if (!dynamic_cast<TJpegGraphic*>(&graphic)) return;
  if (graphic.XDotsPerInch() >= 100 && graphic.YDotsPerInch() >= 100) return;
  TExif exif;
  exif.ReadFromFile(fileName);
  if (!exif.ExifPresent) return;
  if (exif.XResolution > 0 && graphic.XDotsPerInch() < exif.XResolution) graphic.SetXDotsPerInch(exif.XResolution);
  if (exif.YResolution > 0 && graphic.YDotsPerInch() < exif.YResolution) graphic.SetYDotsPerInch(exif.YResolution);
}

// Reads a file no registered format handles through Qt's image readers.
std::unique_ptr<TDibGraphic> LoadThroughQt(const std::string& fileName, const TImageProgressEvent& progress) {
  auto graphic = std::make_unique<TDibGraphic>();
  if (progress) progress(graphic.get(), 0);
  QImageReader reader(QString::fromStdString(fileName));
  if (progress) progress(graphic.get(), 25);
  const QImage image = reader.read();
  if (image.isNull()) CreateGraphicForFile(fileName);  // throws the not-registered message
  if (progress) progress(graphic.get(), 90);
  QImageToDib(image, *graphic);
  if (progress) progress(graphic.get(), 100);
  return graphic;
}

}  // namespace

// --- handlers ---------------------------------------------------------------

void TMouseHandler::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int) { buttonDown_ = true; }
void TMouseHandler::MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) { buttonDown_ = false; }
void TMouseHandler::MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, int, int) {}
void TMouseHandler::Paint(QPainter&, QPoint) {}

TDragMouseHandler::TDragMouseHandler(TImageScrollBox* view) : TMouseHandler(view) {
  view->SetPageCursor(HandOpenedCursor());
}

TDragMouseHandler::~TDragMouseHandler() = default;

void TDragMouseHandler::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  TMouseHandler::MouseDown(button, shift, x, y);
  if (button == Qt::RightButton) return;
  if (!View()->HorzScrollBarShown() && !View()->VertScrollBarShown()) return;
  dragging_ = true;
  startX_ = x;
  startY_ = y;
  savedCursor_ = View()->PageCursor();
  View()->SetPageCursor(HandClosedCursor());
}

void TDragMouseHandler::MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, int x, int y) {
  if (!dragging_) return;
  // x and y move with the page, so this keeps the grabbed point under the mouse.
  View()->SetHorzScrollPos(View()->HorzScrollPos() + startX_ - x);
  View()->SetVertScrollPos(View()->VertScrollPos() + startY_ - y);
  View()->UpdateRulers();
  View()->EndScroll();
}

void TDragMouseHandler::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  TMouseHandler::MouseUp(button, shift, x, y);
  if (!dragging_) return;
  dragging_ = false;
  if (View()->PageCursor().shape() == Qt::BitmapCursor) View()->SetPageCursor(savedCursor_);
}

TQuickSelectMouseHandler::TQuickSelectMouseHandler(TImageScrollBox* view) : TMouseHandler(view) {
  view->SetPageCursor(QCursor(Qt::ArrowCursor));
}

void TQuickSelectMouseHandler::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  TMouseHandler::MouseDown(button, shift, x, y);
  if (View()->Centered()) return;
  selecting_ = true;
  start_ = end_ = TPoint{x, y};
  View()->viewport()->update();
}

void TQuickSelectMouseHandler::MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers, int x, int y) {
  if (!selecting_ || !(buttons & Qt::LeftButton)) return;
  const TSize d = View()->DisplaySize();
  end_ = TPoint{ClampInt(x, 0, d.Width - 1), ClampInt(y, 0, d.Height - 1)};
  View()->viewport()->update();
}

void TQuickSelectMouseHandler::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
  TMouseHandler::MouseUp(button, shift, x, y);
  if (!selecting_) return;
  selecting_ = false;
  View()->viewport()->update();
  const TSize d = View()->DisplaySize();
  end_ = TPoint{ClampInt(x, 0, d.Width), ClampInt(y, 0, d.Height)};
  const TRect r = NormalizeRect(TRect{start_.X, start_.Y, end_.X, end_.Y});
  if (r.Width() < 1 || r.Height() < 1) return;
  TDibGraphic piece;
  CropGraphic(View()->DisplayBitmap(), r, piece);
  if (!piece.Empty() && View()->OnQuickSelect) View()->OnQuickSelect(View(), &piece, r);
}

void TQuickSelectMouseHandler::Paint(QPainter& painter, QPoint origin) {
  if (!selecting_) return;
  const TRect r = NormalizeRect(TRect{start_.X, start_.Y, end_.X, end_.Y});
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.setPen(QPen(Qt::white, 0, Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(origin.x() + r.Left, origin.y() + r.Top, r.Width(), r.Height());
  painter.restore();
}

// --- the view -----------------------------------------------------------------

TImageScrollBox::TImageScrollBox(QWidget* parent)
    : QAbstractScrollArea(parent), graphic_(std::make_unique<TDibGraphic>()) {
  InitViewResources();
  resize(100, 100);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(false);
  // Keys over a page are commands, never text for an input method.
  setAttribute(Qt::WA_InputMethodEnabled, false);
  viewport()->setAttribute(Qt::WA_InputMethodEnabled, false);
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
    bar->setTracking(true);
    connect(bar, &QAbstractSlider::actionTriggered, this, [this](int action) { ScrollAction(action); });
    connect(bar, &QAbstractSlider::sliderReleased, this, [this] {
      if (scrolling_) EndScroll();
    });
  }
  frameTimer_.setInterval(graphic_->FrameDelay);
  connect(&frameTimer_, &QTimer::timeout, this, [this] { FrameTimerTick(); });
  readAhead_ = std::make_shared<TReadAheadSlot>();
  SetMouseMode(mmPan);
}

TImageScrollBox::~TImageScrollBox() {
  frameTimer_.stop();
  ownedHandler_.reset();
  handler_ = nullptr;
  {
    // A read still running finishes into a slot nobody waits for.
    std::lock_guard lock(readAhead_->Mutex);
    ++readAhead_->Generation;
    readAhead_->Graphic.reset();
  }
  ReapReadAheadThreads(true);
}

// --- page -------------------------------------------------------------------

void TImageScrollBox::SetFileName(const std::string& fileName) {
  if (fileName.empty())
    Clear();
  else
    LoadPage(fileName, 1);
}

void TImageScrollBox::LoadPage(const std::string& fileName, int pageNumber) {
  const bool wasAnimating = animate_;
  frameTimer_.stop();
  std::unique_ptr<TDibGraphic> loaded;
  // The background read holds page 1 only.
  if (pageNumber == 1 && !readAheadFileName_.empty() && SameFileName(fileName, readAheadFileName_)) {
    std::lock_guard lock(readAhead_->Mutex);
    if (readAhead_->Graphic && SameFileName(readAhead_->FileName, fileName)) {
      loaded = std::move(readAhead_->Graphic);
      readAhead_->FileName.clear();
      readAheadFileName_.clear();
      ++readAheadHits_;
    }
  }
  if (!loaded) {
    // (A pre-read page had its resolution corrected by the reading thread.)
    if (GraphicClassForExtension(fileName)) {
      TFileStream stream(fileName, TFileMode::fmOpenRead);
      loaded = CreateGraphicForFile(fileName);
      loaded->OnProgress = OnReadWriteProgress;
      if (pageNumber == 0)
        loaded->LoadAllFrames = true;
      else
        loaded->ImageToLoad = pageNumber;
      loaded->LoadFromStream(stream);
      loaded->OnProgress = nullptr;
    } else {
      loaded = LoadThroughQt(fileName, OnReadWriteProgress);
    }
    CorrectJpegResolution(*loaded, fileName);
  }
  ResetRubberband();
  graphic_ = std::move(loaded);
  NewGraphicInstalled();
  fileName_ = fileName;
  if (wasAnimating) SetAnimate(true);
}

void TImageScrollBox::NewGraphicInstalled() {
  if (OnNewGraphic) OnNewGraphic(graphic_.get());
  annotationText_ = AnnotationTextOf(*graphic_);
  ResetRubberband();
  Redraw(true);
}

void TImageScrollBox::SaveToFile(const std::string& fileName) {
  TBusyCursor busy;
  const int frames = graphic_->FrameCount();
  TOutputPage page;
  // Every page keeps its own compression and quality unless OnBeforeSave
  // sets them on the copy about to be written.
  const TSaveOptions keep{10, 0};
  WritePages(
      fileName, frames > 1 ? frames : 1, keep,
      [&](int i) -> TOutputPage& {
        // The frame on show may have been changed since it was selected.
        page.Borrowed = frames > 1 && i + 1 != graphic_->CurrentFrame() ? &graphic_->Frame(i + 1) : graphic_.get();
        return page;
      },
      [&](TDibGraphic& copy, int) {
        PutAnnotationText(copy, annotationText_);
        if (OnBeforeSave) OnBeforeSave(this, &copy);
        copy.OnProgress = OnReadWriteProgress;
      });
  fileName_ = fileName;
}

void TImageScrollBox::AssignGraphic(const TDibGraphic& source) {
  if (&source != graphic_.get()) graphic_->Assign(source);
  fileName_.clear();
  annotationText_.clear();
  if (OnNewGraphic) OnNewGraphic(graphic_.get());
  Redraw(true);
}

void TImageScrollBox::Clear() {
  graphic_->Clear();
  graphic_->ClearFrames();
  fileName_.clear();
  annotationText_.clear();
  ResetRubberband();
  if (OnNewGraphic) OnNewGraphic(graphic_.get());
  Redraw(true);
}

void TImageScrollBox::ResetRubberband() {
  if (auto* band = dynamic_cast<TRubberbandMouseHandler*>(handler_)) band->Reset();
}

// --- read-ahead -------------------------------------------------------------

void TImageScrollBox::SetReadAheadFileName(const std::string& fileName) {
  readAheadFileName_ = fileName;
  StartReadAhead(fileName);
}

bool TImageScrollBox::ReadAheadReady(const std::string& fileName) const {
  std::lock_guard lock(readAhead_->Mutex);
  return readAhead_->Graphic && SameFileName(readAhead_->FileName, fileName);
}

void TImageScrollBox::StartReadAhead(const std::string& fileName) {
  std::uint64_t generation;
  {
    std::lock_guard lock(readAhead_->Mutex);
    generation = ++readAhead_->Generation;
    readAhead_->Graphic.reset();
    readAhead_->FileName.clear();
  }
  ReapReadAheadThreads(false);
  if (fileName.empty()) return;
  std::shared_ptr<TReadAheadSlot> slot = readAhead_;
  std::unique_ptr<QThread> thread(QThread::create([slot, fileName, generation] {
    std::unique_ptr<TDibGraphic> graphic;
    try {
      if (QFileInfo::exists(QString::fromStdString(fileName))) {
        graphic = CreateGraphicForFile(fileName);
        TFileStream stream(fileName, TFileMode::fmOpenRead);
        graphic->ImageToLoad = 1;
        graphic->LoadFromStream(stream);
        CorrectJpegResolution(*graphic, fileName);
      }
    } catch (...) {
      graphic.reset();  // the next LoadPage reads the file itself
    }
    std::lock_guard lock(slot->Mutex);
    if (graphic && slot->Generation == generation) {
      slot->Graphic = std::move(graphic);
      slot->FileName = fileName;
    }
    // Otherwise the read was abandoned and its result is freed here.
  }));
  thread->start(QThread::LowestPriority);
  readThreads_.push_back(std::move(thread));
}

void TImageScrollBox::ReapReadAheadThreads(bool wait) {
  for (auto it = readThreads_.begin(); it != readThreads_.end();) {
    if (wait) (*it)->wait();
    if ((*it)->isFinished()) {
      (*it)->wait();
      it = readThreads_.erase(it);
    } else {
      ++it;
    }
  }
}

// --- zoom and redraw ----------------------------------------------------------

void TImageScrollBox::SetZoomMode(TZoomMode mode) {
  if (mode == zoomMode_) return;
  zoomMode_ = mode;
  Redraw(true);
}

void TImageScrollBox::SetZoomPercent(double value) {
  if (zoomMode_ == zmPercent && value == zoom_) return;
  if (graphic_->Empty() || !(value > 0.1)) return;
  previousZoom_ = value;  // reported once, below
  zoom_ = value;
  zoomMode_ = zmPercent;
  if (handler_) handler_->ViewChanging();
  Redraw(true);
  if (handler_) handler_->ViewChanged();
  if (OnZoomChange) OnZoomChange(this, static_cast<float>(value));
}

void TImageScrollBox::SetCentered(bool value) {
  if (value == centered_) return;
  centered_ = value;
  Redraw(true);
}

void TImageScrollBox::Redraw(bool resize) {
  if (!isVisible() || updating_) return;
  updating_ = true;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{updating_};

  if (graphic_->Empty()) {
    display_.Clear();
    displayImage_ = QImage();
    pageRect_ = TRect{};
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    horizontalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setRange(0, 0);
    UpdateRulers();
    viewport()->update();
    return;
  }

  double zoom = zoom_;
  if (resize) {
    TZoomInput in;
    in.Mode = zoomMode_;
    in.ZoomPercent = zoom_;
    in.ImageWidth = graphic_->Width();
    in.ImageHeight = graphic_->Height();
    if (ZoomModeHidesScrollBars(zoomMode_)) {
      setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    const QSize client = viewport()->size();
    in.ClientWidth = client.width();
    in.ClientHeight = client.height();
    in.VScrollBarWidth = verticalScrollBar()->sizeHint().width();
    in.HScrollBarHeight = horizontalScrollBar()->sizeHint().height();
    in.VScrollBarShown = VertScrollBarShown();
    in.HScrollBarShown = HorzScrollBarShown();
    zoom = ComputeZoom(in);
  }
  const bool zoomChanged = zoom != previousZoom_;
  zoom_ = zoom;
  if (zoomChanged && OnZoomChange) OnZoomChange(this, static_cast<float>(zoom));
  previousZoom_ = zoom;
  const bool changing = resize || zoomChanged;
  if (changing && handler_) handler_->ViewChanging();
  BuildDisplay(changing);
  if (changing) UpdateRulers();
  if (OnRedraw) OnRedraw(graphic_.get());
  if (changing && handler_) handler_->ViewChanged();
}

void TImageScrollBox::BuildDisplay(bool resize) {
  TSize size = DisplaySize();
  if (resize || display_.Empty()) {
    size = ::DisplaySize(graphic_->Width(), graphic_->Height(), zoom_);
    // Built before the scroll bars are laid out so that the ranges and
    // the page rectangle refer to the new size.
    BuildDisplayBitmap(*graphic_, display_, size.Width, size.Height, antiAliased_, invert_);
    LayoutScrollBars();
  } else {
    BuildDisplayBitmap(*graphic_, display_, size.Width, size.Height, antiAliased_, invert_);
  }
  displayImage_ = DisplayToQImage(display_);
  viewport()->update();
}

void TImageScrollBox::LayoutScrollBars() {
  const TSize size = DisplaySize();
  if (!ZoomModeHidesScrollBars(zoomMode_)) {
    const QSize full = maximumViewportSize();
    const int barW = verticalScrollBar()->sizeHint().width();
    const int barH = horizontalScrollBar()->sizeHint().height();
    bool h = size.Width > full.width();
    bool v = size.Height > full.height();
    if (h && !v) v = size.Height > full.height() - barH;
    if (v && !h) h = size.Width > full.width() - barW;
    setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  }
  const QSize client = viewport()->size();
  QScrollBar* hbar = horizontalScrollBar();
  QScrollBar* vbar = verticalScrollBar();
  hbar->setRange(0, std::max(0, size.Width - client.width()));
  hbar->setPageStep(std::max(1, client.width()));
  hbar->setSingleStep(16);
  vbar->setRange(0, std::max(0, size.Height - client.height()));
  vbar->setPageStep(std::max(1, client.height()));
  vbar->setSingleStep(16);
  hbar->setValue(0);
  vbar->setValue(0);
  const int left = centered_ ? CenteredOffset(client.width(), size.Width) : 0;
  const int top = centered_ ? CenteredOffset(client.height(), size.Height) : 0;
  // Handlers keep display coordinates and are painted at the page's
  // origin, so moving the page needs nothing from them.
  pageRect_ = TRect{left, top, left + size.Width, top + size.Height};
}

QPoint TImageScrollBox::PageOrigin() const {
  return QPoint(pageRect_.Left - HorzScrollPos(), pageRect_.Top - VertScrollPos());
}

int TImageScrollBox::HorzScrollPos() const { return horizontalScrollBar()->value(); }
int TImageScrollBox::VertScrollPos() const { return verticalScrollBar()->value(); }
void TImageScrollBox::SetHorzScrollPos(int value) { horizontalScrollBar()->setValue(value); }
void TImageScrollBox::SetVertScrollPos(int value) { verticalScrollBar()->setValue(value); }
bool TImageScrollBox::HorzScrollBarShown() const { return horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn; }
bool TImageScrollBox::VertScrollBarShown() const { return verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn; }

// --- display options ------------------------------------------------------------

void TImageScrollBox::RedrawOption(bool condition) {
  if (condition) Redraw(false);
}

void TImageScrollBox::SetAntiAliased(bool value) {
  if (value == antiAliased_) return;
  antiAliased_ = value;
  RedrawOption(graphic_->ImageFormat() == ifBlackWhite && !graphic_->Empty());
  if (auto* band = dynamic_cast<TRubberbandMouseHandler*>(handler_)) band->Refresh();
}

void TImageScrollBox::SetInvert(bool value) {
  if (value == invert_) return;
  invert_ = value;
  RedrawOption(true);
  if (auto* band = dynamic_cast<TRubberbandMouseHandler*>(handler_)) band->Refresh();
}

void TImageScrollBox::SetShowGrid(bool value) {
  if (value == showGrid_) return;
  showGrid_ = value;
  RedrawOption(true);
}

void TImageScrollBox::SetGridRows(int value) {
  if (value == gridRows_) return;
  gridRows_ = value;
  RedrawOption(showGrid_);
}

void TImageScrollBox::SetGridColumns(int value) {
  if (value == gridColumns_) return;
  gridColumns_ = value;
  RedrawOption(showGrid_);
}

void TImageScrollBox::SetGridColor(TColor32 value) {
  if (value == gridColor_) return;
  gridColor_ = value;
  RedrawOption(showGrid_);
}

void TImageScrollBox::SetShowOutline(bool value) {
  if (value == showOutline_) return;
  showOutline_ = value;
  RedrawOption(true);
}

void TImageScrollBox::SetOutlineMargins(int left, int top, int right, int bottom) {
  if (left == outlineLeft_ && top == outlineTop_ && right == outlineRight_ && bottom == outlineBottom_) return;
  outlineLeft_ = left;
  outlineTop_ = top;
  outlineRight_ = right;
  outlineBottom_ = bottom;
  RedrawOption(true);
}

void TImageScrollBox::SetOutlineColor(TColor32 value) {
  if (value == outlineColor_) return;
  outlineColor_ = value;
  RedrawOption(showOutline_);
}

TRect TImageScrollBox::OutlineDisplayRect() const {
  return ::OutlineDisplayRect(outlineLeft_, outlineTop_, outlineRight_, outlineBottom_, graphic_->XPelsPerMeter(),
                              graphic_->YPelsPerMeter(), TSize{graphic_->Width(), graphic_->Height()}, DisplaySize());
}

void TImageScrollBox::SetOutlineMarginsFromMouse(int flags, int x, int y) {
  const TSize d = DisplaySize();
  if (graphic_->Empty() || d.Width < 1 || d.Height < 1) return;
  const double sx = static_cast<double>(graphic_->Width()) / d.Width;
  const double sy = static_cast<double>(graphic_->Height()) / d.Height;
  const int ppmX = graphic_->XPelsPerMeter();
  const int ppmY = graphic_->YPelsPerMeter();
  int left = outlineLeft_, top = outlineTop_, right = outlineRight_, bottom = outlineBottom_;
  if (flags & 1) left = MarginFromPosition(x, sx, ppmX);
  if (flags & 2) top = MarginFromPosition(y, sy, ppmY);
  if (flags & 4) right = MarginFromPosition(d.Width - x, sx, ppmX);
  if (flags & 8) bottom = MarginFromPosition(d.Height - y, sy, ppmY);
  SetOutlineMargins(left, top, right, bottom);
}

void TImageScrollBox::AddFixedArea(const TRect& r) {
  fixedAreas_.push_back(r);
  RedrawOption(showFixedAreas_);
}

void TImageScrollBox::AddFixedAreas(const std::vector<TRect>& areas) {
  fixedAreas_.insert(fixedAreas_.end(), areas.begin(), areas.end());
  RedrawOption(showFixedAreas_ && !areas.empty());
}

void TImageScrollBox::ClearFixedAreas() {
  fixedAreas_.clear();
  RedrawOption(showFixedAreas_);
}

void TImageScrollBox::SetShowFixedAreas(bool value) {
  if (value == showFixedAreas_) return;
  showFixedAreas_ = value;
  RedrawOption(true);
}

void TImageScrollBox::SetFixedAreaColor(TColor32 value) {
  if (value == fixedAreaColor_) return;
  fixedAreaColor_ = value;
  RedrawOption(showFixedAreas_);
}

void TImageScrollBox::FillFixedAreas() {
  if (graphic_->Empty()) return;
  TCanvas& canvas = graphic_->Canvas();
  canvas.BrushColor = outlineColor_;
  for (const TRect& r : fixedAreas_) canvas.FillRect(r);
  canvas.BrushColor = 0xFFFFFF;
  Redraw(false);
}

void TImageScrollBox::SelectFixedArea(int index) {
  TRubberbandMouseHandler& band = RubberbandHandler();
  if (index < 0 || index >= static_cast<int>(fixedAreas_.size()))
    throw EImagingError(FormatMessage("List index out of bounds (%d)", index));
  band.SetSelection(ImageToDisplayRect(fixedAreas_[static_cast<std::size_t>(index)],
                                       TSize{graphic_->Width(), graphic_->Height()}, DisplaySize()));
}

// --- frames -----------------------------------------------------------------------

void TImageScrollBox::SelectFrame(int n) {
  graphic_->SelectFrame(n);
  Redraw(true);
}

void TImageScrollBox::SetAnimate(bool value) {
  animate_ = value;
  if (value && graphic_->FrameCount() > 1) {
    frameTimer_.setInterval(std::max(1, graphic_->FrameDelay));
    frameTimer_.start();
  } else {
    frameTimer_.stop();
  }
}

void TImageScrollBox::FrameTimerTick() {
  const int count = graphic_->FrameCount();
  if (count < 2) return;
  const int current = graphic_->CurrentFrame();
  SelectFrame(current >= count || current < 1 ? 1 : current + 1);
}

// --- mouse handlers ----------------------------------------------------------------

void TImageScrollBox::SetMouseMode(TMouseMode mode) {
  if (mode == mouseMode_) return;
  if (auto* annotations = dynamic_cast<TAnnotationMouseHandler*>(handler_)) annotationText_ = annotations->Text();
  switch (mode) {
    case mmPan:
      SetMouseHandler(std::make_unique<TDragMouseHandler>(this));
      break;
    case mmQuickSelect:
      SetMouseHandler(std::make_unique<TQuickSelectMouseHandler>(this));
      break;
    case mmRubberband:
      SetMouseHandler(std::make_unique<TRubberbandMouseHandler>(this));
      break;
    case mmAnnotation:
      SetMouseHandler(std::make_unique<TAnnotationMouseHandler>(this, annotationText_));
      break;
    case mmNone:
    default:
      SetMouseHandler(std::unique_ptr<TMouseHandler>());
      SetPageCursor(QCursor(Qt::ArrowCursor));
      mode = mmNone;
      break;
  }
  mouseMode_ = mode;
}

void TImageScrollBox::SetMouseHandler(std::unique_ptr<TMouseHandler> handler) {
  std::unique_ptr<TMouseHandler> old = std::move(ownedHandler_);
  handler_ = handler.get();
  ownedHandler_ = std::move(handler);
  viewport()->update();
  // old is freed here, after the new handler is in place.
}

void TImageScrollBox::SetMouseHandler(TMouseHandler* handler) {
  std::unique_ptr<TMouseHandler> old = std::move(ownedHandler_);
  handler_ = handler;
  viewport()->update();
}

TRubberbandMouseHandler& TImageScrollBox::RubberbandHandler() {
  auto* band = dynamic_cast<TRubberbandMouseHandler*>(handler_);
  if (!band) throw EImagingError("Rubberband mouse handler not active");
  return *band;
}

void TImageScrollBox::SetPageCursor(const QCursor& cursor) { viewport()->setCursor(cursor); }
QCursor TImageScrollBox::PageCursor() const { return viewport()->cursor(); }

// --- painting ----------------------------------------------------------------------

void TImageScrollBox::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), palette().color(QPalette::Window));
  if (displayImage_.isNull()) return;
  const QPoint origin = PageOrigin();
  const QRect page(origin, displayImage_.size());
  painter.setClipRect(page);
  if (ctrlDrag_) {
    painter.fillRect(page, Qt::white);
    painter.drawImage(origin + QPoint(ctrlShiftX_, ctrlShiftY_), displayImage_);
  } else {
    painter.drawImage(origin, displayImage_);
  }
  PaintOverlays(painter, origin);
  painter.setClipping(false);
  if (handler_) handler_->Paint(painter, origin);
}

void TImageScrollBox::PaintOverlays(QPainter& painter, QPoint origin) const {
  const TSize d = DisplaySize();
  const TSize image{graphic_->Width(), graphic_->Height()};
  auto frame = [&](const TRect& r, const QColor& c) {
    // A frame one pixel inside the rectangle's edges.
    if (r.IsEmpty()) return;
    const int x = origin.x() + r.Left, y = origin.y() + r.Top;
    painter.fillRect(x, y, r.Width(), 1, c);
    painter.fillRect(x, y + r.Height() - 1, r.Width(), 1, c);
    painter.fillRect(x, y, 1, r.Height(), c);
    painter.fillRect(x + r.Width() - 1, y, 1, r.Height(), c);
  };
  if (showFixedAreas_) {
    const QColor c = ToQColor(fixedAreaColor_);
    for (const TRect& r : fixedAreas_) frame(ImageToDisplayRect(r, image, d), c);
  }
  if (showGrid_) {
    const QColor c = ToQColor(gridColor_);
    for (int x : GridPositions(d.Width, gridColumns_)) painter.fillRect(origin.x() + x, origin.y(), 1, d.Height, c);
    for (int y : GridPositions(d.Height, gridRows_)) painter.fillRect(origin.x(), origin.y() + y, d.Width, 1, c);
  }
  if (showOutline_) {
    const QColor c = ToQColor(outlineColor_);
    const TRect o = OutlineDisplayRect();
    frame(o, c);
    for (const TPoint p :
         {TPoint{o.Left, o.Top}, TPoint{o.Right, o.Top}, TPoint{o.Left, o.Bottom}, TPoint{o.Right, o.Bottom}})
      painter.fillRect(origin.x() + p.X - 2, origin.y() + p.Y - 2, 4, 4, c);
  }
}

// --- events -------------------------------------------------------------------------

void TImageScrollBox::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (!updating_) Redraw(true);
  UpdateRulers();
}

void TImageScrollBox::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  Redraw(true);
}

void TImageScrollBox::scrollContentsBy(int, int) {
  UpdateRulers();
  if (handler_) handler_->Refresh();
  viewport()->update();
}

void TImageScrollBox::ScrollAction(int action) {
  if (action == QAbstractSlider::SliderNoAction) return;
  if (!scrolling_) {
    scrolling_ = true;
    if (OnBeginScroll) OnBeginScroll(this);
  }
  // Steps, pages and wheel turns end at once; a dragged thumb ends on release.
  auto* bar = qobject_cast<QScrollBar*>(sender());
  if (!bar || !bar->isSliderDown()) {
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (scrolling_ && !horizontalScrollBar()->isSliderDown() && !verticalScrollBar()->isSliderDown()) EndScroll();
        },
        Qt::QueuedConnection);
  }
}

void TImageScrollBox::EndScroll() {
  scrolling_ = false;
  if (OnEndScroll) OnEndScroll(this);
}

void TImageScrollBox::UpdateRulers() {
  if (HorizontalRuler) HorizontalRuler->ViewUpdated(*this);
  if (VerticalRuler) VerticalRuler->ViewUpdated(*this);
}

bool TImageScrollBox::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Leave && handler_) handler_->MouseLeave();
  return QAbstractScrollArea::viewportEvent(event);
}

QPoint TImageScrollBox::ToDisplay(QPoint viewportPos) const { return viewportPos - PageOrigin(); }

bool TImageScrollBox::OnPage(QPoint displayPos) const {
  const TSize d = DisplaySize();
  return displayPos.x() >= 0 && displayPos.y() >= 0 && displayPos.x() < d.Width && displayPos.y() < d.Height;
}

// Mouse input belongs to the page: presses beside it, and moves and
// releases beside it that no press on the page began, reach neither the
// handler nor the events. A press on the page keeps the mouse until its
// release, wherever that happens.
void TImageScrollBox::mousePressEvent(QMouseEvent* event) {
  if (display_.Empty()) return;
  const QPoint p = ToDisplay(event->position().toPoint());
  if (!OnPage(p)) return;
  pressedOnPage_ = true;
  const TSize d = DisplaySize();
  const int x = ClampInt(p.x(), 0, d.Width - 1);
  const int y = ClampInt(p.y(), 0, d.Height - 1);
  const Qt::KeyboardModifiers shift = event->modifiers();
  if ((shift & Qt::ControlModifier) && !graphic_->Empty()) {
    ctrlDrag_ = true;
    ctrlStartX_ = x;
    ctrlStartY_ = y;
    ctrlShiftX_ = ctrlShiftY_ = 0;
    return;
  }
  if (handler_) handler_->MouseDown(event->button(), shift, x, y);
  if (OnImageMouseDown) OnImageMouseDown(this, event->button(), shift, x, y);
}

void TImageScrollBox::mouseMoveEvent(QMouseEvent* event) {
  if (display_.Empty()) return;
  const QPoint p = ToDisplay(event->position().toPoint());
  const bool captured = pressedOnPage_ && event->buttons() != Qt::NoButton;
  if (!captured && !OnPage(p)) {
    if (handler_) handler_->MouseLeave();
    return;
  }
  const int x = p.x(), y = p.y();
  const Qt::KeyboardModifiers shift = event->modifiers();
  if (ctrlDrag_ && (shift & Qt::ControlModifier)) {
    ctrlShiftX_ = x - ctrlStartX_;
    ctrlShiftY_ = y - ctrlStartY_;
    viewport()->update();
    return;
  }
  if (VerticalRuler) VerticalRuler->SetMousePosition(RulerMillimetres(y, graphic_->YDotsPerInch(), zoom_));
  if (HorizontalRuler) HorizontalRuler->SetMousePosition(RulerMillimetres(x, graphic_->XDotsPerInch(), zoom_));
  if (handler_) handler_->MouseMove(event->buttons(), shift, x, y);
  if (OnImageMouseMove) OnImageMouseMove(this, shift, x, y);
}

void TImageScrollBox::mouseReleaseEvent(QMouseEvent* event) {
  const bool pressed = pressedOnPage_;
  if (event->buttons() == Qt::NoButton) pressedOnPage_ = false;
  if (display_.Empty()) {
    ctrlDrag_ = false;
    return;
  }
  if (!pressed) return;
  const QPoint p = ToDisplay(event->position().toPoint());
  const int x = p.x(), y = p.y();
  const Qt::KeyboardModifiers shift = event->modifiers();
  if (ctrlDrag_) {
    ctrlDrag_ = false;
    ctrlShiftX_ = ctrlShiftY_ = 0;
    if (shift & Qt::ControlModifier) {
      const int dx = DisplayDeltaToImage(x - ctrlStartX_, zoom_);
      const int dy = DisplayDeltaToImage(y - ctrlStartY_, zoom_);
      TDibGraphic copy;
      copy.Assign(*graphic_);
      TCanvas& canvas = graphic_->Canvas();
      canvas.FillRect(TRect{0, 0, graphic_->Width(), graphic_->Height()});
      canvas.Draw(dx, dy, copy);
      Redraw(false);
    }
    viewport()->update();
  }
  if (handler_) handler_->MouseUp(event->button(), shift, x, y);
  if (OnImageMouseUp) OnImageMouseUp(this, event->button(), shift, x, y);
}

void TImageScrollBox::mouseDoubleClickEvent(QMouseEvent* event) {
  if (display_.Empty() || !OnPage(ToDisplay(event->position().toPoint()))) return;
  if (handler_) handler_->DblClick();
  if (OnImageDblClick) OnImageDblClick(this);
  // Qt replaces the second press by this event; keep press/release paired.
  mousePressEvent(event);
}
