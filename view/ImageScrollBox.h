// TImageScrollBox: the scrolling, zooming view of one page.
//
// The view owns the page it shows (Graphic(), never null, possibly empty),
// loads it from a file (optionally read ahead on a background thread), saves
// it, and shows a copy scaled to exactly the displayed size (the display
// bitmap). Marks that belong to the view (fixed areas, grid, margin outline)
// and everything a mouse handler shows (band, handles, cross-hair, outlines
// in progress) are painted over the display bitmap in the paint pass, so a
// repaint never loses them and the page itself is never touched.
//
// Mouse positions handed to handlers and events are display pixels of the
// zoomed page counted from its top-left corner (image pixel = display pixel
// x 100 / ZoomPercent). Exactly one mouse handler is active at a time.
//
// Events are plain std::function members; an empty one is not called.
#pragma once

#include <QAbstractScrollArea>
#include <QCursor>
#include <QImage>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/DibGraphic.h"
#include "view/ViewGeometry.h"

class QPainter;
class QThread;
class TImageScrollBox;
class TRubberbandMouseHandler;

// Base of the mouse handlers: a plain object serving one view. x and y are
// display pixels.
class TMouseHandler {
 public:
  explicit TMouseHandler(TImageScrollBox* view) : view_(view) {}
  virtual ~TMouseHandler() = default;
  TMouseHandler(const TMouseHandler&) = delete;
  TMouseHandler& operator=(const TMouseHandler&) = delete;

  // Before the display is rebuilt, moved or re-zoomed.
  virtual void ViewChanging() {}
  // After it was; the handler rescales what it keeps in display pixels.
  virtual void ViewChanged() {}
  virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
  virtual void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y);
  virtual void DblClick() {}
  // Draws what the handler shows over the display bitmap; origin is where
  // display pixel (0, 0) lies on the view's viewport.
  virtual void Paint(QPainter& painter, QPoint origin);
  // The mouse left the view.
  virtual void MouseLeave() {}
  // The view scrolled or changed a display option; redraw what is shown.
  virtual void Refresh() {}

  TImageScrollBox* View() const { return view_; }
  bool ButtonDown() const { return buttonDown_; }

 protected:
  bool buttonDown_ = false;

 private:
  TImageScrollBox* view_;
};

// Pan by dragging while a scroll bar is shown.
class TDragMouseHandler : public TMouseHandler {
 public:
  explicit TDragMouseHandler(TImageScrollBox* view);
  ~TDragMouseHandler() override;
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
  void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y) override;

 private:
  bool dragging_ = false;
  int startX_ = 0;
  int startY_ = 0;
  QCursor savedCursor_;
};

// Drag a rectangle over the page; its pixels are handed to OnQuickSelect.
class TQuickSelectMouseHandler : public TMouseHandler {
 public:
  explicit TQuickSelectMouseHandler(TImageScrollBox* view);
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
  void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y) override;
  void Paint(QPainter& painter, QPoint origin) override;

 private:
  bool selecting_ = false;
  TPoint start_;
  TPoint end_;
};

// Annotation editing: annotations are not part of the document workflow, so
// this handler only keeps the page's annotation text and edits nothing.
class TAnnotationMouseHandler : public TMouseHandler {
 public:
  TAnnotationMouseHandler(TImageScrollBox* view, std::string text) : TMouseHandler(view), text_(std::move(text)) {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// A ruler beside the view, fed with positions and the view's scale.
class TViewRuler {
 public:
  virtual ~TViewRuler() = default;
  // Mouse position in millimetres along the ruler.
  virtual void SetMousePosition(int millimetres) = 0;
  // Zoom, scroll position or page changed.
  virtual void ViewUpdated(const TImageScrollBox& view) = 0;
};

enum TMouseMode : std::uint8_t { mmPan = 0, mmQuickSelect = 1, mmRubberband = 2, mmAnnotation = 3, mmNone = 4 };

// Result of a background read, kept with the name of the file it holds.
struct TReadAheadSlot;

class TImageScrollBox : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TImageScrollBox(QWidget* parent = nullptr);
  ~TImageScrollBox() override;

  // --- the page -------------------------------------------------------
  TDibGraphic& Graphic() { return *graphic_; }
  const TDibGraphic& Graphic() const { return *graphic_; }
  const std::string& FileName() const { return fileName_; }
  // Loads page 1 of the file; an empty name clears the view.
  void SetFileName(const std::string& fileName);
  // Installs page pageNumber (1-based; 0 = every page as frames).
  void LoadPage(const std::string& fileName, int pageNumber);
  // Writes the page (every frame of a multi-frame page) in the format
  // registered for the name's extension.
  void SaveToFile(const std::string& fileName);
  // The page becomes a copy of source.
  void AssignGraphic(const TDibGraphic& source);
  // Releases the page's pixels.
  void Clear();

  const std::string& ReadAheadFileName() const { return readAheadFileName_; }
  // Starts reading the file in the background for a later LoadPage.
  void SetReadAheadFileName(const std::string& fileName);
  // Whether a finished background read for fileName is waiting.
  bool ReadAheadReady(const std::string& fileName) const;
  // How many pages LoadPage took from the background read (for tests and
  // diagnostics).
  int ReadAheadHits() const { return readAheadHits_; }

  // --- zoom ------------------------------------------------------------
  TZoomMode ZoomMode() const { return zoomMode_; }
  void SetZoomMode(TZoomMode mode);
  float ZoomPercent() const { return static_cast<float>(zoom_); }
  // Exact zoom used for the display.
  double Zoom() const { return zoom_; }
  void SetZoomPercent(double value);
  bool Centered() const { return centered_; }
  void SetCentered(bool value);
  // Rebuilds the display; resize also recomputes zoom, size and scrolling.
  void Redraw(bool resize);

  // --- display -----------------------------------------------------------
  const TDibGraphic& DisplayBitmap() const { return display_; }
  const QImage& DisplayImage() const { return displayImage_; }
  TSize DisplaySize() const { return TSize{display_.Width(), display_.Height()}; }
  // The displayed page in the control's client coordinates (as if nothing
  // were scrolled): the centring offset and the display size.
  TRect PageRect() const { return pageRect_; }
  // Where display pixel (0, 0) lies on the viewport now.
  QPoint PageOrigin() const;
  int HorzScrollPos() const;
  int VertScrollPos() const;
  void SetHorzScrollPos(int value);
  void SetVertScrollPos(int value);
  bool HorzScrollBarShown() const;
  bool VertScrollBarShown() const;

  bool AntiAliased() const { return antiAliased_; }
  void SetAntiAliased(bool value);
  bool Invert() const { return invert_; }
  void SetInvert(bool value);
  bool ShowGrid() const { return showGrid_; }
  void SetShowGrid(bool value);
  int GridRows() const { return gridRows_; }
  void SetGridRows(int value);
  int GridColumns() const { return gridColumns_; }
  void SetGridColumns(int value);
  TColor32 GridColor() const { return gridColor_; }
  void SetGridColor(TColor32 value);
  bool ShowOutline() const { return showOutline_; }
  void SetShowOutline(bool value);
  // Margins in millimetres.
  int OutlineLeft() const { return outlineLeft_; }
  int OutlineTop() const { return outlineTop_; }
  int OutlineRight() const { return outlineRight_; }
  int OutlineBottom() const { return outlineBottom_; }
  void SetOutlineMargins(int left, int top, int right, int bottom);
  TColor32 OutlineColor() const { return outlineColor_; }
  void SetOutlineColor(TColor32 value);
  // The margin outline in display pixels.
  TRect OutlineDisplayRect() const;
  // Sets the margins named by flags (1 left, 2 top, 4 right, 8 bottom) from
  // a display position; right and bottom are measured from the page's edges.
  void SetOutlineMarginsFromMouse(int flags, int x, int y);

  // --- fixed areas (image pixels) -------------------------------------------
  const std::vector<TRect>& FixedAreas() const { return fixedAreas_; }
  void AddFixedArea(const TRect& r);
  void AddFixedAreas(const std::vector<TRect>& areas);
  void ClearFixedAreas();
  bool ShowFixedAreas() const { return showFixedAreas_; }
  void SetShowFixedAreas(bool value);
  TColor32 FixedAreaColor() const { return fixedAreaColor_; }
  void SetFixedAreaColor(TColor32 value);
  // Fills every fixed area on the page with OutlineColor.
  void FillFixedAreas();
  // Makes fixed area index the rubber band's rectangle.
  void SelectFixedArea(int index);

  // --- frames ------------------------------------------------------------
  int FrameCount() const { return graphic_->FrameCount(); }
  int CurrentFrame() const { return graphic_->CurrentFrame(); }
  void SelectFrame(int n);
  bool Animate() const { return animate_; }
  void SetAnimate(bool value);

  // --- mouse -------------------------------------------------------------
  TMouseMode MouseMode() const { return mouseMode_; }
  void SetMouseMode(TMouseMode mode);
  TMouseHandler* MouseHandler() const { return handler_; }
  // Installs a handler the view owns from now on; the replaced handler is
  // freed when the view owned it.
  void SetMouseHandler(std::unique_ptr<TMouseHandler> handler);
  // Installs a handler the caller keeps owning (it must outlive its use).
  void SetMouseHandler(TMouseHandler* handler);
  bool MouseHandlerOwned() const { return ownedHandler_ != nullptr; }
  // The active rubber-band handler; throws EImagingError "Rubberband mouse
  // handler not active" when another (or no) handler is active.
  TRubberbandMouseHandler& RubberbandHandler();
  // Shape of the cursor over the page.
  void SetPageCursor(const QCursor& cursor);
  QCursor PageCursor() const;
  bool CtrlDragActive() const { return ctrlDrag_; }

  // --- annotations (kept, not edited) ----------------------------------------
  const std::string& AnnotationText() const { return annotationText_; }
  void SetAnnotationText(const std::string& text) { annotationText_ = text; }
  bool AnnotationsVisible = false;

  // --- rulers (not owned) ------------------------------------------------
  TViewRuler* HorizontalRuler = nullptr;
  TViewRuler* VerticalRuler = nullptr;

  // --- events ------------------------------------------------------------
  std::function<void(TImageScrollBox* sender, float zoom)> OnZoomChange;
  std::function<void(TImageScrollBox* sender, TDibGraphic* graphic)> OnBeforeSave;
  std::function<void(TDibGraphic* graphic)> OnRedraw;
  std::function<void(TDibGraphic* graphic)> OnNewGraphic;
  std::function<void(TImageScrollBox* sender, TDibGraphic* graphic, const TRect& r)> OnQuickSelect;
  std::function<void(TImageScrollBox* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
      OnImageMouseDown;
  std::function<void(TImageScrollBox* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
      OnImageMouseUp;
  std::function<void(TImageScrollBox* sender, Qt::KeyboardModifiers shift, int x, int y)> OnImageMouseMove;
  std::function<void(TImageScrollBox* sender)> OnImageDblClick;
  std::function<void(const TRect& r)> OnRubberbandChange;
  TImageProgressEvent OnReadWriteProgress;
  std::function<void(TImageScrollBox* sender)> OnBeginScroll;
  std::function<void(TImageScrollBox* sender)> OnEndScroll;

  // Fired by handlers that scroll the view themselves.
  void EndScroll();
  void UpdateRulers();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool viewportEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void NewGraphicInstalled();
  void BuildDisplay(bool resize);
  void LayoutScrollBars();
  void PaintOverlays(QPainter& painter, QPoint origin) const;
  QPoint ToDisplay(QPoint viewportPos) const;
  bool OnPage(QPoint displayPos) const;
  void ScrollAction(int action);
  void ResetRubberband();
  void StartReadAhead(const std::string& fileName);
  void ReapReadAheadThreads(bool wait);
  void FrameTimerTick();
  void RedrawOption(bool condition);

  std::unique_ptr<TDibGraphic> graphic_;
  std::string fileName_;
  std::string annotationText_;

  TDibGraphic display_;
  QImage displayImage_;
  TRect pageRect_;

  TZoomMode zoomMode_ = zmOriginalSize;
  double zoom_ = 100;
  double previousZoom_ = 100;
  bool centered_ = false;
  bool updating_ = false;
  bool scrolling_ = false;
  bool antiAliased_ = false;
  bool invert_ = false;
  bool showGrid_ = false;
  int gridRows_ = 9;
  int gridColumns_ = 5;
  TColor32 gridColor_ = 0x808080;
  bool showOutline_ = false;
  int outlineLeft_ = 0, outlineTop_ = 0, outlineRight_ = 0, outlineBottom_ = 0;
  TColor32 outlineColor_ = 0x808080;
  std::vector<TRect> fixedAreas_;
  bool showFixedAreas_ = false;
  TColor32 fixedAreaColor_ = 0x808080;

  TMouseMode mouseMode_ = mmNone;
  TMouseHandler* handler_ = nullptr;
  std::unique_ptr<TMouseHandler> ownedHandler_;

  bool pressedOnPage_ = false;  // a press on the page holds the mouse
  bool ctrlDrag_ = false;
  int ctrlStartX_ = 0, ctrlStartY_ = 0;
  int ctrlShiftX_ = 0, ctrlShiftY_ = 0;

  std::string readAheadFileName_;
  std::shared_ptr<TReadAheadSlot> readAhead_;
  std::vector<std::unique_ptr<QThread>> readThreads_;
  int readAheadHits_ = 0;

  QTimer frameTimer_;
  bool animate_ = false;
};

// Loads the view's cursor images ("inner", "outer", the two hands) into the
// program's resources; called by the view itself, harmless to repeat.
void InitViewResources();
// Cursor number 100 (open hand) and 101 (closed hand).
QCursor HandOpenedCursor();
QCursor HandClosedCursor();
// The cross-hair cursors of the region commands: "inner" (work inside the
// marked region) and "outer" (work outside it).
QCursor InnerCursor();
QCursor OuterCursor();
