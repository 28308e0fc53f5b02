#include "correction/NoiseRemoval.h"

#include "correction/NoiseData.h"
#include "image/RasterRows.h"

namespace {

bool WhollyInside(const TRect& region, const TRect& r) {
  return region.Left <= r.Left && region.Top <= r.Top && region.Right >= r.Right && region.Bottom >= r.Bottom;
}

bool InsideAnyRegion(const std::vector<TRect>& regions, const TRect& r) {
  for (const TRect& region : regions)
    if (WhollyInside(region, r)) return true;
  return false;
}

}  // namespace

void RemoveSpecks(TDibGraphic& image, int maxWidth, int maxHeight, bool insideRegions,
                  const std::vector<TRect>& regions, int threshold) {
  if (image.Empty()) return;
  TNoiseData noise(image, threshold);
  noise.FindComponents();
  if (noise.Finished().empty()) return;

  // Every erase paints white, so the order of the fills does not matter and
  // the boxes are all judged from the page as it was analysed.
  const std::uint8_t white = rows::WhitePattern(image);
  for (const TComponentBox& box : noise.Finished()) {
    if (box.Bottom - box.Top + 1 > maxHeight || box.Right - box.Left + 1 > maxWidth) continue;
    const TRect r{box.Left, box.Top, box.Right + 1, box.Bottom + 1};
    if (!regions.empty() && InsideAnyRegion(regions, r) != insideRegions) continue;
    rows::FillWhite(image, r, white);
  }
}
