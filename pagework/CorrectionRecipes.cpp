#include "pagework/CorrectionRecipes.h"

#include "correction/BlankPage.h"
#include "correction/Borders.h"
#include "correction/DeskewTransform.h"
#include "correction/NoiseData.h"
#include "correction/NoiseRemoval.h"
#include "correction/PagePlacement.h"
#include "correction/StrokeWeight.h"

namespace {

void TakeUndo(const TDibGraphic& page, TDibGraphic* undo) {
  if (undo && undo != &page) undo->Assign(page);
}

}  // namespace

TRect MarginRect(const TDibGraphic& page, const TSettingsRecord& s) {
  TRect rect;
  MarginsToRect(page, s.P2, s.P4, rect, s.P3, s.P1);
  return rect;
}

float RunDeskew(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& work, TDibGraphic& undo,
                const TRect* selection, int searchThreads) {
  const TDeskewResult result = RunDeskewMeasured(page, s, work, undo, selection, searchThreads);
  return result.Rotated ? result.Angle : 0.0f;
}

TDeskewResult RunDeskewMeasured(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& work, TDibGraphic& undo,
                                const TRect* selection, int searchThreads, double minConfidence) {
  if (page.Empty()) return {};
  TDeskewOptions options;
  options.Fine = FineDeskew(s);
  options.MinConfidence = minConfidence;
  options.ThreadCount = searchThreads;
  return DeskewPage(page, work, undo, DeskewGrowsPage(s), VerticalWriting(s), selection, options);
}

void RunDeskewAreas(TDibGraphic& page, TDibGraphic& work, TDibGraphic& undo, std::vector<TRect> areas) {
  if (page.Empty()) return;
  TakeUndo(page, &undo);
  DeskewRegions(page, work, areas);
  work.Clear();
}

double RunDarkShare(const TDibGraphic& page, const TSettingsRecord& s) {
  return DarkPixelShare(page, MarginRect(page, s), s.W, s.H, s.J);
}

void RunSpeckRemoval(TDibGraphic& page, const TSettingsRecord& s, const std::vector<TRect>& regions, bool inside,
                     TDibGraphic* undo) {
  if (page.Empty()) return;
  TakeUndo(page, undo);
  RemoveSpecks(page, s.W, s.H, inside, regions, s.J);
}

void RunStrokes(TDibGraphic& page, const TSettingsRecord& s, bool darken, const std::vector<TRect>& regions,
                bool inside, TDibGraphic* undo) {
  if (page.Empty()) return;
  TakeUndo(page, undo);
  if (page.ImageFormat() == ifBlackWhite) {
    if (darken)
      DarkenStrokes(page, s.Bo, regions, inside);
    else
      LightenStrokes(page, regions, inside);
  } else if (darken) {
    DarkenStrokes(page, s.Bo, s.J, inside, regions);
  } else {
    LightenStrokes(page, s.Bo, s.J, inside, regions);
  }
}

void RunCentre(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& undo) {
  if (page.Empty()) return;
  // The routine takes the vertical ink limit before the horizontal one and
  // the vertical offset before the vertical rule.
  CenterContent(page, &undo, s.Wopt, s.J, s.aV, s.aH, s.Hside, s.Hopt, s.Wside);
}

void RunResize(TDibGraphic& page, const TSettingsRecord& s, bool enlarge, TDibGraphic& undo) {
  if (page.Empty()) return;
  ResizeContent(page, &undo, s.B, enlarge);
}

void RunShift(TDibGraphic& page, const TSettingsRecord& s, int direction, TDibGraphic& undo) {
  if (page.Empty()) return;
  const TPoint d = MmToPixels(page, TPoint{s.M, s.M});
  ShiftImage(page, &undo, direction, direction == -1 || direction == 1 ? d.X : d.Y);
}

void RunPaperSize(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& undo) {
  if (page.Empty()) return;
  FitToPaper(page, &undo, s.pW, s.pH, UserPaperSize(s), PaperChangesImageSize(s));
}

TRect FitContentRect(const TDibGraphic& page, const TSettingsRecord& s) {
  if (page.ImageFormat() != ifBlackWhite && page.ImageFormat() != ifTrueColor)
    return TRect{0, 0, page.Width(), page.Height()};
  // The bounds come back with the last row and column inside the box.
  TRect content = FindContentBounds(page, s.aH, s.aV, s.J);
  content.Right += 1;
  content.Bottom += 1;
  return content;
}

TRect RunFitToMargins(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& undo, const TRect* selection) {
  if (page.Empty()) return TRect{};
  const TRect content = selection ? *selection : FitContentRect(page, s);
  FitToMargins(page, &undo, content, MarginRect(page, s));
  return content;
}

TRect RunBorderRemoval(TDibGraphic& page, const TSettingsRecord& s, const TRect* rect) {
  if (page.Empty()) return TRect{};
  const TRect kept = rect ? *rect : MarginRect(page, s);
  EraseOutsideRect(page, kept);
  return kept;
}

void RunCropToMargins(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& undo) {
  if (page.Empty()) return;
  const TRect rect = MarginRect(page, s);
  TakeUndo(page, &undo);
  CropToRect(page, rect);
}
