// Skew detection and deskew.
//
// Entry points:
//   TDeskewTransform::FindSkewAngle  the skew search on a bilevel image
//   DetectSkewAngle                  measure any page (colour pages on a bilevel copy)
//   DetectRegionSkew                 measure a cut-out part, optionally turned by 90 degrees
//   DeskewPage                       the deskew command: measure, then rotate the page back
//   DeskewRegions                    deskew each fixed region on its own
//
// The method: text lines are dark runs along nearly horizontal paths. For a
// candidate drift of d rows across the width, the width is cut into d + 1
// segments and a path drops one row per segment; the number of white pixels
// along paths that start every Band rows forms a profile. Paths that follow
// the lines give a profile of sharp peaks and troughs, so the candidate whose
// profile has the largest sum of squared deviations wins. Each drift is tried
// in both directions (dropping to the right, and mirrored).
//
// Sign convention of every angle here: negative when the lines drop towards
// the right of the page, positive when they rise towards the right. Rotating
// the page by the measured angle (positive = clockwise on screen) levels it.
#pragma once

#include <cstdint>
#include <vector>

#include "image/DibGraphic.h"
#include "image/transforms/ImageTransform.h"

// The search grid of a page: drifts d = 0, Step, 2 Step, ... while d <= MaxShift,
// profile entries every Band rows.
struct TSkewSearchPlan {
  int MaxShift = 0;  // largest drift in rows across the width (may be < 0: no candidate)
  int Step = 1;      // drift between neighbouring candidates, at least 1
  int Band = 2;      // rows between the starts of two paths, at least 2
  friend bool operator==(const TSkewSearchPlan&, const TSkewSearchPlan&) = default;
};

// Score of one candidate drift: the two profiles' sums of squared deviations
// (0 when the candidate has no profile entries).
struct TSkewCandidateScore {
  int Shift = 0;
  std::int64_t ScoreDown = 0;  // path dropping to the right (gives -Shift)
  std::int64_t ScoreUp = 0;    // mirrored path (gives +Shift)
};

// What a skew measurement found. Confidence is how far the best candidate's
// score stands above the others: the best score divided by the lowest score
// of all candidates (both directions). A page of text lines scores high
// (often 10 and more), noise, pictures and near-blank pages close to 1; a
// page without any candidate score (blank, too small) has confidence 0.
struct TSkewMeasure {
  double Angle = 0.0;
  double Confidence = 0.0;
};

// Options of the deskew command beyond the settings of the search itself.
struct TDeskewOptions {
  // Refine the search's angle in steps of FineStep degrees (see
  // TDeskewTransform::Fine).
  bool Fine = false;
  // A page whose confidence is below this is measured but not rotated
  // (0: every measured angle is applied).
  double MinConfidence = 0.0;
  int ThreadCount = 0;  // as TDeskewTransform::ThreadCount
};

struct TDeskewResult {
  float Angle = 0.0f;  // the angle measured
  double Confidence = 0.0;
  bool Rotated = false;  // false: angle 0, or confidence below the limit
};

class TDeskewTransform : public TImageTransform {
 public:
  const char* ClassName() const override { return "TDeskewTransform"; }

  // Largest tilt searched, in degrees, in either direction.
  double MaxAngle = 5.0;
  // Threads that search the candidates: 0 = one per core, 1 = the calling
  // thread only. The result does not depend on it.
  int ThreadCount = 0;

  // Refines the search's angle: the neighbourhood of the winner, one and a
  // half steps of the search either side, is searched again in steps of
  // FineStep degrees with paths starting on every row (scored by the
  // squared differences of neighbouring entries), and the peak is placed
  // between the best step and its neighbours by a parabola. Off by default:
  // the search's own angle is then returned unchanged.
  bool Fine = false;
  static constexpr double FineStep = 0.01;
  // How far past its first window the refinement follows a rising score.
  static constexpr double MaxFollow = 0.5;

  // Search grid for a page of this width and vertical resolution (dpi, taken
  // as an unsigned 16-bit value).
  TSkewSearchPlan Plan(int width, int yDotsPerInch) const;

  // The skew search on a bilevel (ifBlackWhite) image. Returns degrees: arcsin
  // of (best drift / width). An empty image, or one that is not bilevel,
  // gives 0.
  double FindSkewAngle(const TDibGraphic& bilevel) const;

  // The angle (refined when Fine is set) and the confidence of the search.
  TSkewMeasure Measure(const TDibGraphic& bilevel) const;
  // The fine search alone around coarseAngle (degrees), from
  // coarseAngle - below to coarseAngle + above, moved on (up to MaxFollow)
  // while the best score lies on the window's edge.
  static double RefineAngle(const TDibGraphic& bilevel, double coarseAngle, double below, double above);
  // Best score over the lowest of all candidates; 0 when no candidate scored.
  static double Confidence(const std::vector<TSkewCandidateScore>& scores);

  // Every candidate's scores, in search order (for inspection and tests).
  std::vector<TSkewCandidateScore> ScoreCandidates(const TDibGraphic& bilevel) const;

  // Picks the winner among scores in search order: a score must be strictly
  // greater than the best so far (down before up), so ties keep the earlier
  // candidate. Returns the signed drift (negative: dropping to the right).
  static int BestShift(const std::vector<TSkewCandidateScore>& scores);
  // arcsin(shift / width) in degrees.
  static double ShiftToAngle(int shift, int width);
};

// Measures the skew of a page: scratch becomes a copy of page (converted to
// black and white by nearest colour when page is not bilevel) and is searched
// with the default MaxAngle. Returns 0 for an empty page or when scratch is
// null. The page itself is not changed. Shows the busy cursor.
// threadCount as in TDeskewTransform::ThreadCount.
float DetectSkewAngle(const TDibGraphic& page, TDibGraphic* scratch, int threadCount = 0);

// DetectSkewAngle with the options' fine refinement, and the confidence.
TSkewMeasure MeasureSkew(const TDibGraphic& page, TDibGraphic* scratch, const TDeskewOptions& options);

// Measures the skew of a cut-out part of a page. With turn set, work is first
// turned 90 degrees clockwise in place (so that vertical text columns become
// rows). A work image lower than 100 rows is measured on a white page 150
// pixels wider and higher with the part at its top-left (scratch receives
// the original part meanwhile). work keeps the turned / enlarged image.
float DetectRegionSkew(TDibGraphic& work, TDibGraphic* scratch, bool turn);

// The deskew command on a whole page.
//   growSize:        rotate into the rotated bounding box instead of keeping the size
//   verticalWriting: measure the page turned by 90 degrees (text in columns)
//   selection:       when given (not null), the angle is measured inside that
//                    rectangle of the page (clipped to it; turned when it is
//                    taller than wide) and applied to the whole page; the
//                    caller clears its selection afterwards
// work is emptied; undo receives a copy of the page as it was. A bilevel page
// is rotated bit by bit from the undo copy, other pages keep their format.
// threadCount as in TDeskewTransform::ThreadCount.
// Returns the angle the page was rotated by (0: page untouched).
float DeskewPage(TDibGraphic& page, TDibGraphic& work, TDibGraphic& undo, bool growSize, bool verticalWriting,
                 const TRect* selection = nullptr, int threadCount = 0);

// The deskew command with options: fine refinement and a confidence limit.
// With default options the page ends exactly as with DeskewPage above.
TDeskewResult DeskewPage(TDibGraphic& page, TDibGraphic& work, TDibGraphic& undo, bool growSize, bool verticalWriting,
                         const TRect* selection, const TDeskewOptions& options);

// Deskews each region of the page on its own, in list order. Each region
// (clipped to the page) is measured on a copy, turned when taller than wide,
// and the region itself, as it stands on the page, is rotated by that angle.
// On a bilevel page the rotated region grows to its bounding box: the
// region's Left and Top move up and left by half the growth (Right and Bottom
// stay) and the rotated image is copied onto the page there. Other pages
// rotate the region keeping its size and paste it back at its corner.
// scratch is work space and is left empty.
void DeskewRegions(TDibGraphic& page, TDibGraphic& scratch, std::vector<TRect>& regions);
