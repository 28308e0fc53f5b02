// The correction steps of a batch run. Each step is the routine of the
// matching desktop command applied to the whole page, with the parameters
// of the settings record, without a selection, and with the fixed areas
// left alone as the desktop does without Shift.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "image/DibGraphic.h"
#include "pagework/SettingsRecord.h"

enum class TStep { Deskew, Specks, Centre, Borders, Enlarge, Reduce, Paper, Darken, Lighten, Fit };

// Step names in the order they are listed to the user.
const std::vector<std::pair<const char*, TStep>>& StepNames();
std::optional<TStep> StepFromName(const std::string& name);
const char* StepName(TStep step);

// Work space one worker reuses from page to page.
struct TStepContext {
  const TSettingsRecord* Settings = nullptr;
  const std::vector<TRect>* FixedAreas = nullptr;
  bool Measure = false;  // fill in what the step measured or did
  // Threads of the skew search within one page (0: one per core). Pages
  // already run on all workers, so a batch searches on one.
  int SearchThreads = 1;
  // Pages whose skew confidence is below this stay unrotated (0: no limit).
  double MinConfidence = 0.0;
  TDibGraphic Undo;
  TDibGraphic Work;
};

// Runs one step on the page. Returns the measurement text ("angle=-1.0166
// confidence=4.53")
// when ctx.Measure is set, otherwise an empty string. Throws on failure.
std::string RunStep(TStep step, TDibGraphic& page, TStepContext& ctx);
