// The refinement of the skew search and the confidence of a measurement.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "DeskewReference.h"
#include "correction/DeskewTransform.h"
#include "image/TiffGraphic.h"
#include "image/transforms/RotateTransform.h"
#include "support/TestSupport.h"

namespace {

double Degrees(double slope) { return std::atan(slope) * 180.0 / std::numbers::pi; }

TSkewMeasure FineMeasure(const TDibGraphic& page) {
  TDeskewTransform t;
  t.Fine = true;
  return t.Measure(page);
}

}  // namespace

TEST(DeskewFine, DrawnLinesWithinFiveHundredths) {
  TDibGraphic page;
  // Drifts between the search's steps (4 rows on this page), both ways.
  for (double drift : {-149.3, -61.7, -2.2, 1.3, 22.5, 81.9, 171.1}) {
    MakeSkewedTextPage(page, 2480, 3508, drift, 300, static_cast<unsigned>(drift * 10 + 5000));
    const double want = Degrees(-drift / 2480.0);
    EXPECT_NEAR(FineMeasure(page).Angle, want, 0.05) << "drift " << drift;
  }
}

// Real scans turned by known angles: the refined measurement moves by the
// turn, to within five hundredths of a degree. The book page with thick
// dark borders and cut letters at its edge misses by up to 0.055 (turned
// by 0.43 degrees).
TEST(DeskewFine, RealScansTurnedByKnownAngles) {
  const struct {
    const char* File;
    double Tolerance;
  } scans[] = {{"testdata/tiff/real-fax-form-g4-300dpi.tif", 0.05},
               {"testdata/tiff/real-feyn-g4-300dpi-leftborder.tif", 0.05},
               {"testdata/tiff/real-scots-newspaper-g4-300dpi.tif", 0.05},
               {"testdata/tiff/real-shearer-g4-300dpi-darkborders.tif", 0.06}};
  for (const auto& scan : scans) {
    TTiffGraphic page;
    page.LoadFromFile(SharedFile(scan.File));
    const double base = FineMeasure(page).Angle;
    for (double turn : {-1.37, 0.43, 1.21}) {
      TDibGraphic turned;
      RotateBilevel(page, turned, true, turn);
      EXPECT_NEAR(FineMeasure(turned).Angle, base - turn, scan.Tolerance) << scan.File << " turned " << turn;
    }
  }
}

TEST(DeskewFine, OffKeepsTheSearchResultAndPixels) {
  TTiffGraphic scan;
  scan.LoadFromFile(SharedFile("testdata/tiff/real-shearer-g4-300dpi-darkborders.tif"));
  TDeskewTransform t;
  EXPECT_EQ(t.Measure(scan).Angle, t.FindSkewAngle(scan));
  TDibGraphic a, b, work, undo;
  a.Assign(scan);
  b.Assign(scan);
  const float old = DeskewPage(a, work, undo, false, false);
  const TDeskewResult result = DeskewPage(b, work, undo, false, false, nullptr, TDeskewOptions{});
  EXPECT_EQ(result.Angle, old);
  EXPECT_TRUE(result.Rotated);
  EXPECT_TRUE(SamePixels(a, b));
  // With the refinement the page turns by a different, finer angle.
  TDeskewOptions fine;
  fine.Fine = true;
  b.Assign(scan);
  EXPECT_NE(DeskewPage(b, work, undo, false, false, nullptr, fine).Angle, old);
}

TEST(DeskewFine, ConfidenceSeparatesTextFromNoise) {
  TDeskewTransform t;
  TDibGraphic page;
  MakeNoisePage(page, 2480, 3508, 8, 300, 7);
  const double noise = t.Measure(page).Confidence;
  MakeNoisePage(page, 2480, 3508, 40, 300, 8);
  const double denseNoise = t.Measure(page).Confidence;
  MakeSkewedTextPage(page, 2480, 3508, 40, 300, 9);
  const double drawn = t.Measure(page).Confidence;
  TTiffGraphic scan;
  scan.LoadFromFile(SharedFile("testdata/tiff/real-feyn-g4-300dpi-leftborder.tif"));
  const double text = t.Measure(scan).Confidence;
  std::printf("confidence: noise %.3f, dense noise %.3f, drawn lines %.3f, feyn %.3f\n", noise, denseNoise, drawn,
              text);
  EXPECT_LT(noise, 1.5);
  EXPECT_LT(denseNoise, 1.5);
  EXPECT_GT(drawn, 3.0);
  EXPECT_GT(text, 3.0);
  TDibGraphic blank;
  blank.NewImage(500, 500, ifBlackWhite);
  EXPECT_EQ(t.Measure(blank).Confidence, 0.0);
}

TEST(DeskewFine, LowConfidenceLeavesThePageUnrotated) {
  TDibGraphic page, original, work, undo;
  MakeNoisePage(page, 1200, 1600, 10, 300, 3);
  original.Assign(page);
  TDeskewOptions options;
  options.MinConfidence = 2.0;
  const TDeskewResult result = DeskewPage(page, work, undo, false, false, nullptr, options);
  EXPECT_FALSE(result.Rotated);
  EXPECT_LT(result.Confidence, 2.0);
  EXPECT_TRUE(SamePixels(page, original));
  EXPECT_TRUE(SamePixels(undo, original));
  // A page of text lines passes the same limit.
  MakeSkewedTextPage(page, 1200, 1600, 30, 300, 4);
  EXPECT_TRUE(DeskewPage(page, work, undo, false, false, nullptr, options).Rotated);
}
