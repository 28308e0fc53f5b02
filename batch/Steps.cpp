#include "batch/Steps.h"

#include <cstdio>
#include <stdexcept>

#include "correction/Borders.h"
#include "correction/DeskewTransform.h"
#include "correction/NoiseData.h"
#include "correction/NoiseRemoval.h"
#include "correction/PagePlacement.h"
#include "correction/StrokeWeight.h"

namespace {

std::string Format(const char* format, auto... args) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

std::string RectText(const TRect& r) { return Format("%d,%d,%d,%d", r.Left, r.Top, r.Right, r.Bottom); }

TRect MarginRect(const TDibGraphic& page, const TSettingsRecord& s) {
  TRect rect;
  MarginsToRect(page, s.P2, s.P4, rect, s.P3, s.P1);
  return rect;
}

// The number of groups speck removal erases: boxes no larger than the
// limits that do not lie wholly inside a fixed area.
int CountSpecks(TDibGraphic& page, const TSettingsRecord& s, const std::vector<TRect>& areas) {
  TNoiseData noise(page, s.J);
  noise.FindComponents();
  int count = 0;
  for (const TComponentBox& b : noise.Finished()) {
    if (b.Right - b.Left + 1 > s.W || b.Bottom - b.Top + 1 > s.H) continue;
    bool inside = false;
    for (const TRect& r : areas)
      if (b.Left >= r.Left && b.Top >= r.Top && b.Right < r.Right && b.Bottom < r.Bottom) {
        inside = true;
        break;
      }
    if (!inside) ++count;
  }
  return count;
}

}  // namespace

const std::vector<std::pair<const char*, TStep>>& StepNames() {
  static const std::vector<std::pair<const char*, TStep>> names = {
      {"deskew", TStep::Deskew},   {"specks", TStep::Specks}, {"centre", TStep::Centre}, {"borders", TStep::Borders},
      {"enlarge", TStep::Enlarge}, {"reduce", TStep::Reduce}, {"paper", TStep::Paper},   {"darken", TStep::Darken},
      {"lighten", TStep::Lighten}, {"fit", TStep::Fit},
  };
  return names;
}

std::optional<TStep> StepFromName(const std::string& name) {
  for (const auto& [n, s] : StepNames())
    if (name == n) return s;
  return std::nullopt;
}

const char* StepName(TStep step) {
  for (const auto& [n, s] : StepNames())
    if (s == step) return n;
  return "?";
}

std::string RunStep(TStep step, TDibGraphic& page, TStepContext& ctx) {
  const TSettingsRecord& s = *ctx.Settings;
  const std::vector<TRect>& areas = *ctx.FixedAreas;
  if (page.Empty()) return ctx.Measure ? std::string("empty page") : std::string();
  switch (step) {
    case TStep::Deskew: {
      const float angle = DeskewPage(page, ctx.Work, ctx.Undo, s.K == 20, s.D == 200, nullptr, ctx.SearchThreads);
      ctx.Undo.Clear();
      return ctx.Measure ? Format("angle=%.4f", static_cast<double>(angle)) : std::string();
    }
    case TStep::Specks: {
      const int count = ctx.Measure ? CountSpecks(page, s, areas) : 0;
      RemoveSpecks(page, s.W, s.H, false, areas, s.J);
      return ctx.Measure ? Format("boxes=%d", count) : std::string();
    }
    case TStep::Borders: {
      const TRect rect = MarginRect(page, s);
      EraseOutsideRect(page, rect);
      return ctx.Measure ? "kept=" + RectText(rect) : std::string();
    }
    case TStep::Centre: {
      TRect before;
      if (ctx.Measure) before = FindContentBounds(page, s.aH, s.aV, s.J);
      CenterContent(page, &ctx.Undo, s.Wopt, s.J, s.aV, s.aH, s.Hside, s.Hopt, s.Wside);
      ctx.Undo.Clear();
      if (!ctx.Measure) return std::string();
      const TRect after = FindContentBounds(page, s.aH, s.aV, s.J);
      return Format("dx=%d dy=%d", after.Left - before.Left, after.Top - before.Top);
    }
    case TStep::Enlarge:
    case TStep::Reduce: {
      ResizeContent(page, &ctx.Undo, s.B, step == TStep::Enlarge);
      ctx.Undo.Clear();
      return ctx.Measure ? Format("percent=%d", s.B) : std::string();
    }
    case TStep::Paper: {
      FitToPaper(page, &ctx.Undo, s.pW, s.pH, s.A == 60, s.pS == 1);
      ctx.Undo.Clear();
      return ctx.Measure ? Format("size=%dx%d", page.Width(), page.Height()) : std::string();
    }
    case TStep::Fit: {
      // Pages that are neither bilevel nor true colour take the whole page
      // as their content, as the desktop command does.
      TRect content{0, 0, page.Width(), page.Height()};
      if (page.ImageFormat() == ifBlackWhite || page.ImageFormat() == ifTrueColor)
        content = FindContentBounds(page, s.aH, s.aV, s.J);
      const TRect target = MarginRect(page, s);
      FitToMargins(page, &ctx.Undo, content, target);
      ctx.Undo.Clear();
      return ctx.Measure ? "content=" + RectText(content) + " target=" + RectText(target) : std::string();
    }
    case TStep::Darken:
    case TStep::Lighten: {
      const bool darken = step == TStep::Darken;
      if (page.ImageFormat() == ifBlackWhite) {
        if (darken)
          DarkenStrokes(page, s.Bo, areas, false);
        else
          LightenStrokes(page, areas, false);
      } else if (darken) {
        DarkenStrokes(page, s.Bo, s.J, false, areas);
      } else {
        LightenStrokes(page, s.Bo, s.J, false, areas);
      }
      return ctx.Measure ? Format("level=%d", s.Bo) : std::string();
    }
  }
  return std::string();
}
