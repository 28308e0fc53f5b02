#include "image/transforms/ImageTransform.h"

#include <algorithm>

void TImageTransform::Apply(TDibGraphic& image) {
  TDibGraphic temporary;
  ApplyOnDest(image, temporary);
  image.Assign(temporary);
}

void TImageTransform::ApplyOnDest(const TDibGraphic& /*source*/, TDibGraphic& /*destination*/) {
  throw EImagingError(FormatMessage("Method %s not implemented for %s class", "\"ApplyOnDest\"", ClassName()));
}

bool TImageTransform::AppliedThroughTemporary(const TDibGraphic& source, TDibGraphic& destination) {
  if (&source != &destination) return false;
  TDibGraphic temporary;
  ApplyOnDest(source, temporary);
  destination.Assign(temporary);
  return true;
}

bool TImageTransform::BeginApplyOnDest(const TDibGraphic& source, TDibGraphic& destination) {
  if (AppliedThroughTemporary(source, destination)) return false;
  Progress(0, 0, 100);
  if (source.Empty()) {
    destination.Clear();
    Progress(100, 0, 100);
    return false;
  }
  return true;
}

void TImageTransform::Progress(std::int64_t current, std::int64_t min, std::int64_t max) {
  int percent = 0;
  if (max > min) {
    percent = static_cast<int>(std::clamp<std::int64_t>((current - min) * 100 / (max - min), 0, 100));
  }
  if (percent != LastPercent) {
    LastPercent = percent;
    if (OnProgress) OnProgress(this, percent);
  }
}
