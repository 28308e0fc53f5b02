#include "app/CorrectionCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QToolButton>
#include <cmath>
#include <exception>
#include <functional>

#include "app/AppMessage.h"
#include "app/F_ViewTrans.h"
#include "app/NumberField.h"
#include "app/ViewTransMessage.h"
#include "correction/Borders.h"
#include "correction/DeskewTransform.h"
#include "correction/NoiseData.h"
#include "correction/NoiseRemoval.h"
#include "correction/PagePlacement.h"
#include "correction/StrokeWeight.h"
#include "image/Canvas.h"
#include "image/ImagingHooks.h"
#include "image/transforms/ConvertToGrayTransform.h"
#include "image/transforms/CropTransform.h"
#include "image/transforms/RotateTransform.h"
#include "pagework/CorrectionRecipes.h"
#include "view/DibQImage.h"
#include "view/DisplayBitmap.h"
#include "view/ImageScrollBox.h"
#include "view/RubberbandMouseHandler.h"

namespace {

using C = TCommand;

bool ShiftHeld() { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); }

// The selection handler keeps its rectangle with right and bottom inside
// the band; the routines take them one past.
TRect Exclusive(const TRect& r) { return TRect{r.Left, r.Top, r.Right + 1, r.Bottom + 1}; }

class TCorrectionCommands : public QObject {
 public:
  explicit TCorrectionCommands(TFViewTrans& window) : QObject(&window), w_(window) { quarterTurn_.Angle = 270.0; }

  void Install();

 private:
  // --- helpers ------------------------------------------------------------
  TImageScrollBox* View() const { return w_.ActiveScrollBox(); }
  TDibGraphic& Image() const { return View()->Graphic(); }
  TRubberbandMouseHandler& Band() const { return w_.Band(View()); }
  bool HasSelection() const { return Band().BandPresent(); }
  TRect Selection() const { return Exclusive(Band().SelectedImageRect()); }
  TSettingsRecord& S() { return w_.Settings(); }
  TDibGraphic& Undo() { return w_.UndoImage(); }
  TDibGraphic& Scratch() { return w_.ScratchImage(); }
  void TakeUndo() { Undo().Assign(Image()); }
  TRect Margins() { return MarginRect(Image(), S()); }
  // Redraws the active view; a page that changed its size is laid out
  // anew so that it is not shown squeezed into the old display size.
  void Redraw() {
    const TDibGraphic& image = Image();
    View()->Redraw(image.Width() != sizeBefore_.Width || image.Height() != sizeBefore_.Height);
  }
  // The marked-region protocol: the current selection joins the regions,
  // the command works on a copy of the list, then the list is cleared and
  // the fixed-area cursor forgotten.
  std::vector<TRect> TakeRegions() {
    TRubberbandMouseHandler& band = Band();
    band.AddSelectionToRegions();
    return band.MarkedRegionsInImagePixels();
  }
  void ForgetRegions() {
    Band().ClearMarkedRegions();
    w_.FixedAreaCursor = -1;
  }
  // Runs a piece of work on the page of `view`. Work that may change the
  // page has a copy of it at hand: when a routine fails half-way, the page
  // goes back to how it was and the operator is told why, instead of going
  // on with a half-changed page.
  enum class TPageUse { Reads, Changes };
  void Guarded(TImageScrollBox* view, TPageUse use, const std::function<void()>& body) {
    const bool keep = use == TPageUse::Changes && !view->Graphic().Empty();
    if (keep) rescue_.Assign(view->Graphic());
    try {
      body();
    } catch (const std::exception& e) {
      if (keep) {
        view->Graphic().Assign(rescue_);
        view->Redraw(true);
      }
      rescue_.Clear();
      ShowAppMessage(QString::fromUtf8(e.what()), amError);
      return;
    }
    rescue_.Clear();
  }
  // Registers a command; the parameters are read from the fields first.
  void On(C command, std::function<void()> body, TPageUse use = TPageUse::Changes) {
    w_.SetCommandHandler(command, [this, use, body = std::move(body)] {
      w_.ReadParameters();
      sizeBefore_ = TSize{Image().Width(), Image().Height()};
      Guarded(View(), use, body);
    });
  }
  std::vector<TImageScrollBox*> AllViews() const {
    std::vector<TImageScrollBox*> views{w_.SourceView(), w_.ResultView()};
    if (w_.EditorView) views.push_back(w_.EditorView);
    return views;
  }
  void EnableLineExtension(bool on) {
    if (QAction* a = w_.Action(C::LineExtension)) a->setEnabled(on);
    if (QToolButton* b = w_.ToolButton(C::LineExtension)) b->setEnabled(on);
  }

  // --- commands -----------------------------------------------------------
  void Deskew();
  void Specks();
  void Strokes(bool darken);
  void Centre();
  void LineExtension();
  void BorderRemoval();
  void Crop();
  void FitMargins();
  void PaperSize();
  void RotateByAngle(bool clockwise);
  void QuarterTurn(double angle);
  void GreyConvert();
  void EraseInside();
  void EraseOutside();
  void Copy();
  void Paste();
  void AddFixed();
  void StepFixed(int step);
  void Escape();
  void ChoosePaper(C item);
  void Released(TImageScrollBox* view, Qt::MouseButton button);
  void OutlineFinished(TRubberbandMouseHandler* band, TImageScrollBox* view);

  TFViewTrans& w_;
  TNBRotateTransform quarterTurn_;
  TDibGraphic rescue_;  // the page before the running command
  TSize sizeBefore_;    // the active page's size when the running command began
};

void TCorrectionCommands::Install() {
  On(C::Deskew, [this] { Deskew(); });
  On(C::Specks, [this] { Specks(); });
  On(C::Darken, [this] { Strokes(true); });
  On(C::Lighten, [this] { Strokes(false); });
  On(C::Centre, [this] { Centre(); });
  On(C::LineExtension, [this] { LineExtension(); });
  On(C::BorderRemoval, [this] { BorderRemoval(); });
  On(C::Crop, [this] { Crop(); });
  On(C::CropBorders, [this] { Crop(); });
  On(C::FitMargins, [this] { FitMargins(); });
  On(C::PaperSize, [this] { PaperSize(); });
  for (const bool enlarge : {true, false})
    On(enlarge ? C::Enlarge : C::Reduce, [this, enlarge] {
      if (Image().Empty()) return;
      RunResize(Image(), S(), enlarge, Undo());
      Redraw();
    });
  const std::pair<C, int> shifts[] = {{C::ShiftUp, -2}, {C::ShiftDown, 2}, {C::ShiftLeft, -1}, {C::ShiftRight, 1}};
  for (auto [command, direction] : shifts)
    On(command, [this, direction] {
      if (Image().Empty()) return;
      RunShift(Image(), S(), direction, Undo());
      Redraw();
    });
  On(C::RotateClockwise, [this] { RotateByAngle(true); });
  On(C::RotateCounterClockwise, [this] { RotateByAngle(false); });
  On(C::Turn270, [this] { QuarterTurn(270.0); });
  On(C::Turn90, [this] { QuarterTurn(90.0); });
  On(C::Turn180, [this] { QuarterTurn(180.0); });
  On(C::GreyConvert, [this] { GreyConvert(); });
  On(C::EraseInside, [this] {
    if (w_.MouseMode() == 10) EraseInside();
  });
  On(C::EraseOutside, [this] {
    if (w_.MouseMode() == 10) EraseOutside();
  });
  On(
      C::SelectAll,
      [this] {
        if (!Image().Empty() && w_.MouseMode() == 10) Band().SelectAll();
      },
      TPageUse::Reads);
  On(
      C::Copy, [this] { Copy(); }, TPageUse::Reads);
  On(C::Paste, [this] { Paste(); });
  On(
      C::FixedAdd, [this] { AddFixed(); }, TPageUse::Reads);
  On(C::FixedErase, [this] {
    if (!Image().Empty()) View()->FillFixedAreas();
  });
  On(C::AddFixedOrErase, [this] {
    if (HasSelection())
      AddFixed();
    else if (!Image().Empty())
      View()->FillFixedAreas();
  });
  On(
      C::FixedClear,
      [this] {
        for (TImageScrollBox* v : AllViews()) v->ClearFixedAreas();
        w_.FixedAreaCursor = -1;
      },
      TPageUse::Reads);
  On(
      C::FixedNext, [this] { StepFixed(1); }, TPageUse::Reads);
  On(
      C::FixedSelect, [this] { StepFixed(1); }, TPageUse::Reads);
  On(
      C::FixedPrevious, [this] { StepFixed(-1); }, TPageUse::Reads);
  On(
      C::Escape, [this] { Escape(); }, TPageUse::Reads);
  On(
      C::ShiftAlone, [this] { Band().AddSelectionToRegions(); }, TPageUse::Reads);
  for (C item : {C::PaperA4, C::PaperA5, C::PaperB4, C::PaperB5, C::PaperUser})
    On(
        item, [this, item] { ChoosePaper(item); }, TPageUse::Reads);

  // Line extension needs a selection in normal mode; releases tell.
  EnableLineExtension(false);
  for (TImageScrollBox* view : {w_.SourceView(), w_.ResultView()}) {
    auto previous = view->OnImageMouseUp;
    view->OnImageMouseUp = [this, previous](TImageScrollBox* sender, Qt::MouseButton button,
                                            Qt::KeyboardModifiers shift, int x, int y) {
      if (previous) previous(sender, button, shift, x, y);
      Guarded(sender, TPageUse::Changes, [&] { Released(sender, button); });
    };
  }
  w_.OnOutlineFinished = [this](TRubberbandMouseHandler* band, TImageScrollBox* view, int) {
    if (view) Guarded(view, TPageUse::Changes, [&] { OutlineFinished(band, view); });
  };
}

// --- the commands -----------------------------------------------------------

void TCorrectionCommands::Deskew() {
  TDibGraphic& image = Image();
  if (image.Empty()) return;
  TBusyCursor busy;
  const std::vector<TRect>& fixed = View()->FixedAreas();
  if (ShiftHeld() && !fixed.empty()) {
    // Each fixed area is levelled on its own; the stored areas keep their
    // places, the routine moves only its own copy of them.
    RunDeskewAreas(image, Scratch(), Undo(), fixed);
  } else if (HasSelection()) {
    const TRect selection = Selection();
    Band().RemoveSelection();
    RunDeskew(image, S(), Scratch(), Undo(), &selection);
  } else {
    RunDeskew(image, S(), Scratch(), Undo());
  }
  Redraw();
}

void TCorrectionCommands::Specks() {
  TDibGraphic& image = Image();
  if (image.Empty()) return;
  TBusyCursor busy;
  const std::vector<TRect> regions = TakeRegions();
  RunSpeckRemoval(image, S(), regions, ShiftHeld(), &Undo());
  ForgetRegions();
  Redraw();
}

void TCorrectionCommands::Strokes(bool darken) {
  TDibGraphic& image = Image();
  if (image.Empty()) return;
  TBusyCursor busy;
  const bool inside = ShiftHeld();
  const std::vector<TRect> regions = TakeRegions();
  RunStrokes(image, S(), darken, regions, inside, &Undo());
  ForgetRegions();
  Redraw();
}

void TCorrectionCommands::Centre() {
  if (Image().Empty()) return;
  if (HasSelection()) {
    LineExtension();
    return;
  }
  TBusyCursor busy;
  RunCentre(Image(), S(), Undo());
  Redraw();
}

void TCorrectionCommands::LineExtension() {
  TDibGraphic& image = Image();
  if (image.Empty() || !HasSelection()) return;
  TBusyCursor busy;
  TDibGraphic& scratch = Scratch();
  CropGraphic(image, Selection(), scratch);
  ExtendLines(scratch, S().J);
  TakeUndo();
  TRubberbandMouseHandler& band = Band();
  band.TransparentPaste = TransparentPaste(S());
  band.Paste(scratch);
  scratch.Clear();
}

void TCorrectionCommands::BorderRemoval() {
  TDibGraphic& image = Image();
  if (image.Empty()) return;
  TRect rect;
  if (HasSelection()) {
    rect = Selection();
    TSettingsRecord& s = S();
    // Distances to the four edges, all in millimetres of the horizontal
    // resolution as the conversion defines.
    s.P1 = std::max(1, PixelsToMm(image, rect.Left));
    s.P2 = std::max(1, PixelsToMm(image, rect.Top));
    s.P3 = std::max(1, PixelsToMm(image, image.Width() - rect.Right));
    s.P4 = std::max(1, PixelsToMm(image, image.Height() - rect.Bottom));
    Band().RemoveSelection();
    for (TImageScrollBox* v : AllViews()) v->SetOutlineMargins(s.P1, s.P2, s.P3, s.P4);
    w_.ShowParameters();
  } else {
    rect = Margins();
  }
  RunBorderRemoval(image, S(), &rect);
  Redraw();
}

void TCorrectionCommands::Crop() {
  TDibGraphic& image = Image();
  if (image.Empty() || w_.MouseMode() != 10) return;
  if (HasSelection()) {
    TakeUndo();
    Band().CropToSelection(&Undo());
  } else {
    RunCropToMargins(image, S(), Undo());
  }
  Redraw();
}

void TCorrectionCommands::FitMargins() {
  TDibGraphic& image = Image();
  if (image.Empty()) return;
  TBusyCursor busy;
  if (HasSelection()) {
    const TRect selection = Selection();
    RunFitToMargins(image, S(), Undo(), &selection);
  } else {
    RunFitToMargins(image, S(), Undo());
  }
  Redraw();
}

void TCorrectionCommands::PaperSize() {
  if (Image().Empty()) return;
  RunPaperSize(Image(), S(), Undo());
  Redraw();
  if (QWidget* editor = w_.findChild<QWidget*>("TFFullScreen"); editor && editor->isVisible())
    PostViewTransMessage(editor, 10);
}

void TCorrectionCommands::RotateByAngle(bool clockwise) {
  TDibGraphic& image = Image();
  if (image.Empty()) return;
  TBusyCursor busy;
  TRubberbandMouseHandler& band = Band();
  band.AddSelectionToRegions();
  float angle = std::fabs(S().R);
  if (!clockwise) angle = -angle;
  const std::vector<TRect> regions = band.MarkedRegionsInImagePixels();
  const bool bilevel = image.ImageFormat() == ifBlackWhite;
  if (!regions.empty()) {
    TDibGraphic temporary;
    TDibGraphic& scratch = Scratch();
    TakeUndo();
    for (const TRect& region : regions) {
      CropGraphic(image, region, scratch);
      // An angle of 0 turns nothing and leaves the temporary image empty;
      // the part then stays where it is.
      temporary.Clear();
      if (scratch.Empty()) continue;
      TCanvas& canvas = image.Canvas();
      const TCopyMode oldMode = canvas.CopyMode;
      canvas.CopyMode = TCopyMode::cmCopy;
      if (!bilevel) {
        RotateImageKeep(scratch, &temporary, true, angle);
        if (!temporary.Empty())
          canvas.Draw(region.Left - (scratch.Width() - temporary.Width()) / 2,
                      region.Top - (scratch.Height() - temporary.Height()) / 2, scratch);
      } else {
        RotateBilevel(scratch, temporary, true, angle);
        if (!temporary.Empty())
          canvas.Draw(region.Left - (temporary.Width() - scratch.Width()) / 2,
                      region.Top - (temporary.Height() - scratch.Height()) / 2, temporary);
      }
      canvas.CopyMode = oldMode;
    }
    scratch.Clear();
  } else if (!bilevel) {
    // The copy is taken here so that a turn by 0 still leaves this step's
    // page in the undo image.
    TakeUndo();
    RotateImageKeep(image, nullptr, false, angle);
  } else {
    TakeUndo();
    RotateBilevel(Undo(), image, false, angle);
  }
  ForgetRegions();
  S().R = std::fabs(S().R);
  Redraw();
}

void TCorrectionCommands::QuarterTurn(double angle) {
  TDibGraphic& image = Image();
  if (image.Empty()) return;
  TakeUndo();
  quarterTurn_.Angle = angle;
  try {
    quarterTurn_.ApplyOnDest(Undo(), image);
  } catch (...) {
    quarterTurn_.Angle = 270.0;
    throw;
  }
  quarterTurn_.Angle = 270.0;
  Redraw();
}

void TCorrectionCommands::GreyConvert() {
  TDibGraphic& image = Image();
  if (image.Empty() || image.ImageFormat() != ifTrueColor) return;
  TConvertToGrayTransform grey;
  grey.Apply(image);
  Redraw();
}

void TCorrectionCommands::EraseInside() {
  TDibGraphic& image = Image();
  if (image.Empty() || !HasSelection()) return;
  TBusyCursor busy;
  const TRect rect = Selection();
  TakeUndo();
  image.Canvas().FillRect(rect);
  Redraw();
  Band().RemoveSelection();
}

void TCorrectionCommands::EraseOutside() {
  TDibGraphic& image = Image();
  if (image.Empty() || !HasSelection()) return;
  TBusyCursor busy;
  KeepRectCentred(image, &Undo(), Selection());
  Redraw();
  Band().RemoveSelection();
}

void TCorrectionCommands::Copy() {
  TDibGraphic& image = Image();
  if (image.Empty() || w_.MouseMode() != 10) return;
  TDibGraphic& undo = Undo();
  if (HasSelection())
    CropGraphic(image, Selection(), undo);
  else
    undo.Assign(image);
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(DibToQImage(undo));
  undo.Clear();
}

void TCorrectionCommands::Paste() {
  if (Image().Empty() || w_.MouseMode() != 10) return;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return;
  const QImage bitmap = clipboard->image();
  if (bitmap.isNull()) return;
  TDibGraphic& scratch = Scratch();
  QImageToDib(bitmap, scratch);
  TakeUndo();
  TRubberbandMouseHandler& band = Band();
  band.TransparentPaste = TransparentPaste(S());
  band.Paste(scratch);
  scratch.Clear();
}

void TCorrectionCommands::AddFixed() {
  if (Image().Empty() || !HasSelection()) return;
  const TRect area = Selection();
  for (TImageScrollBox* v : AllViews()) v->AddFixedArea(area);
  Band().RemoveSelection();
}

void TCorrectionCommands::StepFixed(int step) {
  TImageScrollBox* view = View();
  const int count = static_cast<int>(view->FixedAreas().size());
  if (count == 0 || view->Graphic().Empty()) return;
  w_.SetMouseMode(10);
  if (w_.FixedAreaCursor < 0 || w_.FixedAreaCursor >= count)
    w_.FixedAreaCursor = step > 0 ? 0 : count - 1;
  else
    w_.FixedAreaCursor = (w_.FixedAreaCursor + step + count) % count;
  view->SelectFixedArea(w_.FixedAreaCursor);
}

void TCorrectionCommands::Escape() {
  TImageScrollBox* view = View();
  TRubberbandMouseHandler& band = Band();
  if (band.OutlineInProgress()) {
    band.EndOutline();
  } else if (band.BandPresent()) {
    band.RemoveSelection();
    view->Redraw(false);
  } else if (!Undo().Empty()) {
    view->AssignGraphic(Undo());
    Undo().Clear();
  } else if (w_.Navigate) {
    w_.Navigate(0);
  }
}

void TCorrectionCommands::ChoosePaper(C item) {
  TSettingsRecord& s = S();
  const TMenuItemSpec* spec = MenuItemFor(item);
  if (!spec) return;
  s.A = spec->Tag;
  // A preset means its paper: the next paper-size command fits to it.
  int width = 0, height = 0;
  if (PaperPresetSize(s.A, width, height)) {
    s.pW = width;
    s.pH = height;
  }
  if (QAction* a = w_.Action(item)) a->setChecked(true);
  if (QToolButton* b = w_.ToolButton(C::PaperSize)) {
    b->setToolTip(TFViewTrans::ChoiceHint(C::PaperSize, s));
    b->setProperty("tag", s.A);
  }
}

void TCorrectionCommands::Released(TImageScrollBox* view, Qt::MouseButton button) {
  if (button == Qt::RightButton) return;
  const int mode = w_.MouseMode();
  TRubberbandMouseHandler& band = w_.Band(view);
  if (button == Qt::LeftButton && view == View() && band.BandPresent()) {
    w_.ReadParameters();
    if (mode == 20)
      EraseOutside();
    else if (mode == 30)
      EraseInside();
  }
  EnableLineExtension(mode == 10 && band.BandPresent());
  // The operator may have dragged the margin outline: its margins become
  // the fields' values and the other views follow. A hidden outline may lag
  // behind the fields, so it is only read while shown.
  if (view->ShowOutline()) {
    TSettingsRecord& s = w_.Settings();
    s.P1 = std::max(1, view->OutlineLeft());
    s.P2 = std::max(1, view->OutlineTop());
    s.P3 = std::max(1, view->OutlineRight());
    s.P4 = std::max(1, view->OutlineBottom());
    for (TImageScrollBox* v : AllViews())
      if (v != view) v->SetOutlineMargins(s.P1, s.P2, s.P3, s.P4);
    w_.ShowParameters();
  }
}

void TCorrectionCommands::OutlineFinished(TRubberbandMouseHandler* band, TImageScrollBox* view) {
  // The undo image belongs to the active view; an outline closed on
  // another view is left alone.
  if (!band || !view || view != View()) return;
  TDibGraphic& image = view->Graphic();
  if (image.Empty()) return;
  const std::vector<TPoint> points = band->OutlinePointsInImagePixels();
  if (points.size() < 3) return;
  TBusyCursor busy;
  Undo().Assign(image);
  TCanvas& canvas = image.Canvas();
  if (w_.MouseMode() == 20) {
    // Everything outside the outline turns white: a mask that is white
    // outside and black inside, ORed onto the page.
    TDibGraphic mask;
    mask.NewImage(image.Width(), image.Height(), ifBlackWhite);
    TCanvas& m = mask.Canvas();
    m.BrushColor = 0xFFFFFF;
    m.FillRect(TRect{0, 0, mask.Width(), mask.Height()});
    m.BrushColor = 0x000000;
    m.FillPolygon(points);
    const TCopyMode oldMode = canvas.CopyMode;
    canvas.CopyMode = TCopyMode::cmOr;
    canvas.Draw(0, 0, mask);
    canvas.CopyMode = oldMode;
  } else {
    const TColor32 oldPen = canvas.PenColor;
    canvas.PenColor = 0xFFFFFF;
    canvas.Polygon(points);
    canvas.PenColor = oldPen;
  }
  view->Redraw(false);
}

}  // namespace

bool PaperPresetSize(int tag, int& widthMm, int& heightMm) {
  switch (tag) {
    case 10:
      widthMm = 210;
      heightMm = 297;
      return true;  // A4
    case 20:
      widthMm = 148;
      heightMm = 210;
      return true;  // A5
    case 30:
      widthMm = 257;
      heightMm = 364;
      return true;  // B4
    case 40:
      widthMm = 182;
      heightMm = 257;
      return true;  // B5
    default:
      return false;
  }
}

void InstallCorrectionCommands(TFViewTrans& window) {
  auto* commands = new TCorrectionCommands(window);  // owned by the window
  commands->Install();
}
