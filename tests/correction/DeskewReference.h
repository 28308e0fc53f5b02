// Test helpers for the skew search: the plain per-pixel definition of the
// search (the fast search must match it exactly) and synthetic skewed pages.
#pragma once

#include <cstdint>
#include <vector>

#include "correction/DeskewTransform.h"
#include "image/DibGraphic.h"

// One pixel at a time, straight from the definition: per candidate drift,
// both profiles, the optional ink inversion, integer mean, squared
// deviations. Returns every candidate's scores in search order.
std::vector<TSkewCandidateScore> ReferenceScores(const TDibGraphic& bilevel, double maxAngle = 5.0);
// The angle the plain definition gives (degrees).
double ReferenceSkewAngle(const TDibGraphic& bilevel, double maxAngle = 5.0);

// A white bilevel page with text-like lines of black "words" that drift by
// `drift` rows over the page width (positive: dropping to the right).
void MakeSkewedTextPage(TDibGraphic& page, int width, int height, double drift, int dpi = 300, unsigned seed = 1);
// A bilevel page of random pixels (about `blackPercent` % black); the row
// padding bits are filled with garbage on purpose.
void MakeNoisePage(TDibGraphic& page, int width, int height, int blackPercent, int dpi, unsigned seed);
