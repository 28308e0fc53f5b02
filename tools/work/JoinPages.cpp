#include "tools/work/JoinPages.h"

#include <charconv>
#include <memory>

#include "image/Canvas.h"
#include "image/ImagingErrors.h"
#include "pagework/FileTypes.h"
#include "pagework/PageWriter.h"
#include "tools/work/PageSource.h"

namespace {

void NewPageLike(const TDibGraphic& left, int width, TDibGraphic& out) {
  if (width < 1 || left.Width() < 1) throw std::runtime_error("the trims leave no column of the image");
  out.NewImage(width, left.Height(), left.ImageFormat(), left.ImageFormat() == ifTrueColor ? nullptr : &left.Palette());
  out.SetXPelsPerMeter(left.XPelsPerMeter());
  out.SetYPelsPerMeter(left.YPelsPerMeter());
}

void CopyLeft(const TDibGraphic& left, int trimLeft, TDibGraphic& out) {
  const int kept = std::min(left.Width() - trimLeft, out.Width());
  if (kept > 0) out.Canvas().StretchDraw(TRect{0, 0, kept, left.Height()}, left, TRect{0, 0, kept, left.Height()});
}

// An output page: owned, written as it is into a file of the entry's type.
struct TJoinedPages {
  std::vector<std::unique_ptr<TDibGraphic>> Pages;
};

void WriteOutput(const std::string& target, int count, const std::function<const TDibGraphic&(int)>& page) {
  TOutputPage out;
  const auto getPage = [&](int i) -> TOutputPage& {
    out.Owned.reset();
    out.Borrowed = &page(i);
    out.SourceCompression = -1;
    return out;
  };
  if (IsTiffFile(target))
    WriteTiffPages(target, count, false, getPage);
  else
    WritePages(target, count, TSaveOptions{10, 80}, getPage);
}

}  // namespace

int ParseTrim(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return 0;
  return value;
}

void JoinPair(const TDibGraphic& left, const TDibGraphic& right, int trimLeft, int trimRight, TDibGraphic& out) {
  if (trimLeft < 0 || trimRight < 0 || trimLeft >= left.Width() || trimRight >= right.Width())
    throw std::runtime_error("the trims leave no column of the image");
  NewPageLike(left, left.Width() + right.Width() - trimLeft - trimRight, out);
  CopyLeft(left, trimLeft, out);
  const int x = left.Width() - trimLeft;
  const int width = right.Width() - trimRight;
  const int height = std::min(right.Height(), out.Height());
  out.Canvas().StretchDraw(TRect{x, 0, x + width, height}, right, TRect{trimRight, 0, right.Width(), height});
}

void LonePage(const TDibGraphic& left, int trimLeft, int width, TDibGraphic& out) {
  if (trimLeft < 0 || trimLeft >= left.Width()) throw std::runtime_error("the trims leave no column of the image");
  NewPageLike(left, width, out);
  CopyLeft(left, trimLeft, out);
  TCanvas& canvas = out.Canvas();
  canvas.BrushColor = 0xFFFFFF;
  canvas.CopyMode = TCopyMode::cmCopy;
  canvas.FillRect(TRect{left.Width() - trimLeft, 0, out.Width(), out.Height()});
}

void JoinFiles(const std::vector<TToolEntry>& entries, int trimLeft, int trimRight, TToolRun& run) {
  if (run.SaveFolder.empty()) throw std::runtime_error("no save folder is set");
  int position = 0;
  int maximum = static_cast<int>(entries.size());
  const auto step = [&] {
    ++position;
    if (run.Progress && !run.Progress(position, std::max(maximum, position))) throw EToolStopped();
  };
  // Joins the pages of a multi-page file among themselves.
  const auto joinPages = [&](const TToolEntry& entry, TPageSource& source) {
    const std::string target = OutputBase(entry, run.SaveFolder);
    const int n = source.Count();
    maximum += n;
    TDibGraphic left, out;
    if (run.Showing) run.Showing(target);
    WriteOutput(target, (n + 1) / 2, [&](int i) -> const TDibGraphic& {
      if (i > 0) step();
      const int k = 2 * i;  // 0-based frame
      left.Assign(*source.Load(k).Page());
      if (k + 1 < n) {
        JoinPair(left, *source.Load(k + 1).Page(), trimLeft, trimRight, out);
      } else {
        // The lone last page of a TIFF keeps its full width beside it.
        const int width = IsTiffFile(entry.Path) ? 2 * left.Width() : 2 * left.Width() - trimLeft - trimRight;
        LonePage(left, trimLeft, width, out);
      }
      return out;
    });
    step();
    run.Written.push_back(target);
  };
  const auto single = [&](const std::string& target, const TDibGraphic& page) {
    if (run.Showing) run.Showing(target);
    WriteOutput(target, 1, [&](int) -> const TDibGraphic& { return page; });
    run.Written.push_back(target);
  };

  const int count = static_cast<int>(entries.size());
  for (int i = 0; i < count; ++i) {
    const TToolEntry& entry = entries[i];
    try {
      if (IsImageFile(entry.Path)) {
        TPageSource source(entry.Path);
        if (source.Count() > 1) {
          joinPages(entry, source);
        } else {
          TDibGraphic left, out;
          left.Assign(*source.Load(0).Page());
          const bool partnered = i + 1 < count && FolderPart(entries[i + 1].Path) == FolderPart(entry.Path);
          bool lone = !partnered;
          if (partnered) {
            const TToolEntry& partner = entries[++i];
            step();
            if (!IsImageFile(partner.Path) || !IsTiffFile(partner.Path) != !IsTiffFile(entry.Path) ||
                !IsPdfFile(partner.Path) != !IsPdfFile(entry.Path))
              throw EToolFileError(partner.Path, "not of the same file type as " + entry.Path);
            TPageSource other(partner.Path);
            if (other.Count() > 1) {
              // The partner's pages pair among themselves; this one stays alone.
              joinPages(partner, other);
              lone = true;
            } else {
              JoinPair(left, *other.Load(0).Page(), trimLeft, trimRight, out);
              single(OutputBase(partner, run.SaveFolder), out);
            }
          }
          if (lone) {
            LonePage(left, trimLeft, 2 * left.Width() - trimLeft - trimRight, out);
            single(OutputBase(entry, run.SaveFolder), out);
          }
        }
      }
    } catch (const EToolStopped&) {
      throw;
    } catch (const EToolFileError& error) {
      if (!run.Failed || !run.Failed(error)) throw;
    } catch (const std::exception& e) {
      const EToolFileError error(entry.Path, e.what());
      if (!run.Failed || !run.Failed(error)) throw error;
    }
    step();
  }
}
