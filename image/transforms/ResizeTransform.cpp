#include "image/transforms/ResizeTransform.h"

#include "image/Canvas.h"

void TResizeTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
  if (!BeginApplyOnDest(source, destination)) return;
  const TImageFormat format = ChangeFormat ? NewFormat : source.ImageFormat();
  destination.NewImage(Width, Height, format, format == source.ImageFormat() ? &source.Palette() : nullptr, 0, 0);
  destination.SetXPelsPerMeter(source.XPelsPerMeter());
  destination.SetYPelsPerMeter(source.YPelsPerMeter());
  const std::int64_t pixels = std::int64_t{source.Width()} * source.Height();
  TCanvas& canvas = destination.Canvas();
  canvas.StretchMode =
      (pixels < 1025 || source.ImageFormat() != ifTrueColor) ? TStretchMode::smColorOnColor : TStretchMode::smHalftone;
  canvas.CopyMode = TCopyMode::cmCopy;
  canvas.StretchDraw(Rect(0, 0, Width, Height), source);
  Progress(100, 0, 100);
}
