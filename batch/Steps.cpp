#include "batch/Steps.h"

#include <cstdio>
#include <stdexcept>

#include "correction/NoiseData.h"
#include "correction/PagePlacement.h"
#include "pagework/CorrectionRecipes.h"

namespace {

std::string Format(const char* format, auto... args) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

std::string RectText(const TRect& r) { return Format("%d,%d,%d,%d", r.Left, r.Top, r.Right, r.Bottom); }

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
  // The undo copy a recipe takes is of no use here; it is freed at once.
  struct TClearUndo {
    TDibGraphic& Undo;
    ~TClearUndo() { Undo.Clear(); }
  } clearUndo{ctx.Undo};
  switch (step) {
    case TStep::Deskew: {
      const TDeskewResult r =
          RunDeskewMeasured(page, s, ctx.Work, ctx.Undo, nullptr, ctx.SearchThreads, ctx.MinConfidence);
      if (!ctx.Measure) return std::string();
      // A measured angle the confidence limit held back is named as such.
      return Format("angle=%.4f confidence=%.2f%s", static_cast<double>(r.Angle), r.Confidence,
                    r.Angle != 0.0f && !r.Rotated ? " unrotated" : "");
    }
    case TStep::Specks: {
      const int count = ctx.Measure ? CountSpecks(page, s, areas) : 0;
      RunSpeckRemoval(page, s, areas, false, nullptr);
      return ctx.Measure ? Format("boxes=%d", count) : std::string();
    }
    case TStep::Borders: {
      const TRect rect = RunBorderRemoval(page, s);
      return ctx.Measure ? "kept=" + RectText(rect) : std::string();
    }
    case TStep::Centre: {
      TRect before;
      if (ctx.Measure) before = FindContentBounds(page, s.aH, s.aV, s.J);
      RunCentre(page, s, ctx.Undo);
      if (!ctx.Measure) return std::string();
      const TRect after = FindContentBounds(page, s.aH, s.aV, s.J);
      return Format("dx=%d dy=%d", after.Left - before.Left, after.Top - before.Top);
    }
    case TStep::Enlarge:
    case TStep::Reduce: {
      RunResize(page, s, step == TStep::Enlarge, ctx.Undo);
      return ctx.Measure ? Format("percent=%d", s.B) : std::string();
    }
    case TStep::Paper: {
      RunPaperSize(page, s, ctx.Undo);
      return ctx.Measure ? Format("size=%dx%d", page.Width(), page.Height()) : std::string();
    }
    case TStep::Fit: {
      const TRect content = RunFitToMargins(page, s, ctx.Undo);
      return ctx.Measure ? "content=" + RectText(content) + " target=" + RectText(MarginRect(page, s)) : std::string();
    }
    case TStep::Darken:
    case TStep::Lighten: {
      RunStrokes(page, s, step == TStep::Darken, areas, false, nullptr);
      return ctx.Measure ? Format("level=%d", s.Bo) : std::string();
    }
  }
  return std::string();
}
