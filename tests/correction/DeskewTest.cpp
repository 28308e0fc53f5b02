#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "DeskewReference.h"
#include "correction/DeskewTransform.h"
#include "support/TestSupport.h"

namespace {

void ExpectSameScores(const std::vector<TSkewCandidateScore>& got, const std::vector<TSkewCandidateScore>& want,
                      const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].Shift, want[i].Shift) << what << " candidate " << i;
    EXPECT_EQ(got[i].ScoreDown, want[i].ScoreDown) << what << " d=" << want[i].Shift;
    EXPECT_EQ(got[i].ScoreUp, want[i].ScoreUp) << what << " d=" << want[i].Shift;
  }
}

double StepAngle(const TDibGraphic& page) {
  TDeskewTransform t;
  return TDeskewTransform::ShiftToAngle(t.Plan(page.Width(), page.YDotsPerInch()).Step, page.Width());
}

}  // namespace

TEST(DeskewSearch, PlanFollowsPageSizeAndResolution) {
  TDeskewTransform t;
  // A4 at 300 dpi: 55 drifts 0, 4, ..., 216, a path every 6 rows.
  EXPECT_EQ(t.Plan(2480, 300), (TSkewSearchPlan{216, 4, 6}));
  // Bands: 200 dpi -> 4, 600 dpi -> 12, 72 and 96 dpi -> at least 2.
  EXPECT_EQ(t.Plan(2480, 200).Band, 4);
  EXPECT_EQ(t.Plan(2480, 600).Band, 12);
  EXPECT_EQ(t.Plan(2480, 72).Band, 2);
  EXPECT_EQ(t.Plan(2480, 96).Band, 2);
  // The resolution is read as an unsigned 16-bit value.
  EXPECT_EQ(t.Plan(2480, 65536 + 300).Band, 6);
  // Narrow pages: 5 columns only try the level path; 100 columns drift by at
  // most 9 rows, one row per step, up to 5.16 degrees.
  EXPECT_EQ(t.Plan(5, 300).MaxShift, 0);
  EXPECT_EQ(t.Plan(100, 300), (TSkewSearchPlan{9, 1, 6}));
  EXPECT_NEAR(TDeskewTransform::ShiftToAngle(9, 100), 5.164, 0.001);
  EXPECT_NEAR(TDeskewTransform::ShiftToAngle(-4, 2480), -0.0924, 0.0001);
  // A limit below 0.05 degrees must not divide by zero.
  t.MaxAngle = 0.01;
  EXPECT_EQ(t.Plan(2480, 300), (TSkewSearchPlan{0, 1, 6}));
  t.MaxAngle = std::nan("");
  EXPECT_LT(t.Plan(2480, 300).MaxShift, 0);
}

TEST(DeskewSearch, FlatPagesGiveZero) {
  TDeskewTransform t;
  TDibGraphic page;
  EXPECT_EQ(t.FindSkewAngle(page), 0.0);  // empty
  MakeWhitePage(page, 800, 600);
  EXPECT_EQ(t.FindSkewAngle(page), 0.0);  // blank: nothing beats the initial 0
  std::memset(page.Bits(), 0, page.ImageSize());
  EXPECT_EQ(t.FindSkewAngle(page), 0.0);  // all black
  MakeSkewedTextPage(page, 1200, 1500, 0.0);
  EXPECT_EQ(t.FindSkewAngle(page), 0.0);  // level text
  // Five columns: only the level path exists.
  MakeNoisePage(page, 5, 400, 50, 300, 3);
  EXPECT_EQ(t.ScoreCandidates(page).size(), 1u);
  EXPECT_EQ(t.FindSkewAngle(page), 0.0);
  // Lower than one band plus the drift: no profile entries, nothing chosen.
  MakeNoisePage(page, 2000, 5, 50, 300, 4);
  EXPECT_EQ(t.FindSkewAngle(page), 0.0);
  // Not bilevel: the search itself refuses it.
  page.NewImage(100, 100, ifGray256);
  EXPECT_EQ(t.FindSkewAngle(page), 0.0);
}

TEST(DeskewSearch, SyntheticTiltSignAndSize) {
  TDeskewTransform t;
  TDibGraphic page;
  for (double drift : {-150.0, -60.0, -20.0, 24.0, 80.0, 170.0}) {
    MakeSkewedTextPage(page, 2480, 3508, drift, 300, static_cast<unsigned>(drift + 1000));
    const double want = TDeskewTransform::ShiftToAngle(-static_cast<int>(drift), 2480);
    const double got = t.FindSkewAngle(page);
    // Lines dropping to the right (drift > 0) measure negative. A path drops
    // one row per W div (d + 1) columns, so neighbouring drifts share one
    // path slope and the smallest of them is reported: besides the step, the
    // result may fall short by up to W / (seg (seg + 1)) rows.
    const int seg = 2480 / (static_cast<int>(std::abs(drift)) + 1);
    const double slack = TDeskewTransform::ShiftToAngle(2480 / (seg * (seg + 1)) + 1, 2480);
    EXPECT_NEAR(got, want, StepAngle(page) + slack) << "drift " << drift;
    EXPECT_LT(got * drift, 0.0) << "drift " << drift;
  }
}

TEST(DeskewSearch, NarrowPagesReachBeyondTheLimit) {
  // 100 columns drift by at most 9 rows: lines steeper than that give the
  // limit, asin(9 / 100) = 5.16 degrees, in their direction.
  TDeskewTransform t;
  for (int sign : {-1, 1}) {
    TDibGraphic page;
    MakeWhitePage(page, 100, 400);
    for (int top = 20; top < 360; top += 25)
      for (int x = 0; x < 100; ++x) {
        const int y = top + sign * x * 12 / 100 + (sign < 0 ? 12 : 0);
        page.ScanLine(y)[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
      }
    EXPECT_NEAR(t.FindSkewAngle(page), -sign * 5.164, 0.001);
  }
}

TEST(DeskewSearch, FastSearchEqualsPlainDefinition) {
  TDeskewTransform t;
  TDibGraphic page;
  struct Case {
    int w, h, black, dpi;
  };
  // Widths around word and byte boundaries, tiny and odd sizes, low and
  // high resolutions; the padding bits hold garbage.
  for (const Case& c : {Case{64, 300, 40, 300}, Case{65, 200, 10, 96}, Case{63, 111, 60, 600}, Case{128, 70, 50, 72},
                        Case{7, 50, 50, 300}, Case{300, 500, 5, 200}, Case{1001, 640, 3, 300}, Case{517, 33, 30, 300},
                        Case{2000, 130, 20, 300}}) {
    MakeNoisePage(page, c.w, c.h, c.black, c.dpi, static_cast<unsigned>(c.w * 7 + c.h));
    const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h);
    ExpectSameScores(t.ScoreCandidates(page), ReferenceScores(page), what);
    EXPECT_EQ(t.FindSkewAngle(page), ReferenceSkewAngle(page)) << what;
  }
  // Text pages, including a palette whose entry 0 is white (no inversion).
  for (double drift : {-40.0, 0.0, 33.0}) {
    MakeSkewedTextPage(page, 900, 1100, drift, 300, 9);
    ExpectSameScores(t.ScoreCandidates(page), ReferenceScores(page), "text");
    TPalette swapped{{255, 255, 255, 0}, {0, 0, 0, 0}};
    TDibGraphic inverted;
    inverted.NewImage(page.Width(), page.Height(), ifBlackWhite, &swapped, 300, 300);
    for (std::size_t i = 0; i < page.ImageSize(); ++i) inverted.Bits()[i] = static_cast<std::uint8_t>(~page.Bits()[i]);
    ExpectSameScores(t.ScoreCandidates(inverted), ReferenceScores(inverted), "white-first palette");
  }
  // Other limits.
  for (double maxAngle : {1.0, 12.5, 45.0}) {
    t.MaxAngle = maxAngle;
    MakeSkewedTextPage(page, 700, 900, 30.0, 200, 5);
    ExpectSameScores(t.ScoreCandidates(page), ReferenceScores(page, maxAngle), "max angle");
  }
}

TEST(DeskewSearch, ThreadCountDoesNotChangeResult) {
  TDibGraphic page;
  MakeSkewedTextPage(page, 1700, 2200, -55.0, 300, 11);
  TDeskewTransform one;
  one.ThreadCount = 1;
  const auto want = one.ScoreCandidates(page);
  for (int threads : {2, 3, 8, 0}) {
    TDeskewTransform many;
    many.ThreadCount = threads;
    ExpectSameScores(many.ScoreCandidates(page), want, "threads " + std::to_string(threads));
  }
}

TEST(DeskewSearch, TiesKeepTheEarlierCandidate) {
  // Down before up, smaller drift before larger; only strictly greater wins.
  EXPECT_EQ(TDeskewTransform::BestShift({{0, 5, 5}, {4, 9, 9}, {8, 9, 3}}), -4);
  EXPECT_EQ(TDeskewTransform::BestShift({{0, 5, 5}, {4, 2, 7}, {8, 7, 7}}), 4);
  EXPECT_EQ(TDeskewTransform::BestShift({{0, 0, 0}, {4, 0, 0}}), 0);
  // A mirror-symmetric page scores both directions alike: the drift to the
  // left-dropping side (down, tried first) is kept.
  TDibGraphic page;
  MakeWhitePage(page, 640, 400);
  for (int y = 40; y < 400; y += 40)
    for (int x = 0; x < 640; ++x) {
      const int off = (x < 320 ? x : 639 - x) / 40;
      page.ScanLine(y + off)[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
    }
  TDeskewTransform t;
  const auto scores = t.ScoreCandidates(page);
  for (const auto& c : scores) EXPECT_EQ(c.ScoreDown, c.ScoreUp);
  EXPECT_LE(TDeskewTransform::BestShift(scores), 0);
  EXPECT_EQ(t.FindSkewAngle(page), ReferenceSkewAngle(page));
}
