#include "tools/work/PageNumbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "image/DibGraphic.h"

namespace {

// The stored value's fields; the display text is the 14th (index 13).
constexpr std::size_t kFieldCount = 17;
constexpr std::size_t kText = 13;

std::vector<std::string> SplitCommas(const std::string& value) {
  std::vector<std::string> pieces;
  std::string::size_type from = 0;
  for (;;) {
    const auto comma = value.find(',', from);
    if (comma == std::string::npos) {
      pieces.push_back(value.substr(from));
      return pieces;
    }
    pieces.push_back(value.substr(from, comma - from));
    from = comma + 1;
  }
}

const char* Updown(bool down) { return down ? "D" : "U"; }

// a x percent / 100 truncated toward zero; percents beyond a million are
// held there so that the product cannot overflow.
long long PercentOf(long long a, long long percent) {
  percent = std::clamp(percent, -1000000LL, 1000000LL);
  return a * percent / 100;
}

int ClampToInt(long long v) {
  if (v > std::numeric_limits<int>::max() / 2) return std::numeric_limits<int>::max() / 2;
  if (v < std::numeric_limits<int>::min() / 2) return std::numeric_limits<int>::min() / 2;
  return static_cast<int>(v);
}

}  // namespace

std::string StampFaceFor(const std::string& face, const std::function<bool(const std::string&)>& isInstalled) {
  if (face == kDefaultStampFace && !(isInstalled && isInstalled(face))) return kStampFaceStandIn;
  return face;
}

std::string PageNumberValue(const TPageNumberSettings& s) {
  std::string v;
  const std::vector<std::string> fields = {s.FontName,
                                           s.SizeText,
                                           Updown(s.Bold),
                                           Updown(s.Italic),
                                           Updown(s.Underline),
                                           Updown(s.StrikeOut),
                                           Updown(s.Left),
                                           Updown(s.Centre),
                                           Updown(s.Right),
                                           Updown(s.Top),
                                           Updown(s.Bottom),
                                           s.XText,
                                           s.YText,
                                           s.DisplayText,
                                           s.StartText,
                                           s.StepText,
                                           std::to_string(s.StartImage)};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) v += ',';
    v += fields[i];
  }
  return v;
}

TPageNumberSettings ParsePageNumberValue(const std::string& value) {
  TPageNumberSettings s;
  if (value.empty()) return s;
  std::vector<std::string> p = SplitCommas(value);
  if (p.size() > kFieldCount) {
    const std::size_t extra = p.size() - kFieldCount;
    std::string text = p[kText];
    for (std::size_t i = 1; i <= extra; ++i) text += "," + p[kText + i];
    p.erase(p.begin() + static_cast<std::ptrdiff_t>(kText), p.begin() + static_cast<std::ptrdiff_t>(kText + extra + 1));
    p.insert(p.begin() + static_cast<std::ptrdiff_t>(kText), text);
  }
  const auto field = [&p](std::size_t i) -> const std::string* { return i < p.size() ? &p[i] : nullptr; };
  const auto text = [&](std::size_t i, std::string& out) {
    if (const std::string* f = field(i)) out = *f;
  };
  const auto button = [&](std::size_t i, bool& out) {
    if (const std::string* f = field(i)) out = *f == "D";
  };
  text(0, s.FontName);
  text(1, s.SizeText);
  button(2, s.Bold);
  button(3, s.Italic);
  button(4, s.Underline);
  button(5, s.StrikeOut);
  button(6, s.Left);
  button(7, s.Centre);
  button(8, s.Right);
  button(9, s.Top);
  button(10, s.Bottom);
  text(11, s.XText);
  text(12, s.YText);
  text(13, s.DisplayText);
  text(14, s.StartText);
  text(15, s.StepText);
  if (const std::string* f = field(16)) {
    const long long index = WholeNumberOr(*f, 0);
    s.StartImage = index == 1 ? 1 : 0;
  }
  return s;
}

bool HasNumberPlace(const std::string& displayText) { return displayText.find(kNumberPlace) != std::string::npos; }

std::string StampText(const std::string& displayText, long long n) {
  const auto at = displayText.find(kNumberPlace);
  if (at == std::string::npos) return displayText;
  return displayText.substr(0, at) + std::to_string(n) + displayText.substr(at + 3);
}

long long WholeNumberOr(const std::string& text, long long fallback) {
  std::size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  if (b < e && text[b] == '+') ++b;
  long long v = 0;
  const auto r = std::from_chars(text.data() + b, text.data() + e, v);
  if (b == e || r.ec != std::errc() || r.ptr != text.data() + e) return fallback;
  return v;
}

TFontSpec StampFont(const TPageNumberSettings& s, int imageDpiX) {
  TFontSpec f;
  f.Name = s.FontName;
  f.Bold = s.Bold;
  f.Italic = s.Italic;
  f.Underline = s.Underline;
  f.StrikeOut = s.StrikeOut;
  const long long size = WholeNumberOr(s.SizeText, 16);
  const long long factor = static_cast<long long>(std::trunc(imageDpiX / 30.0 + 0.5));
  f.SizePt = static_cast<double>(size) * static_cast<double>(factor);
  return f;
}

THorzAlign HorzAlignOf(const TPageNumberSettings& s) {
  return s.Right ? THorzAlign::Right : s.Centre ? THorzAlign::Centre : THorzAlign::Left;
}
TVertAlign VertAlignOf(const TPageNumberSettings& s) { return s.Bottom ? TVertAlign::Bottom : TVertAlign::Top; }

TRect StampRect(int width, int height, long long xPercent, long long yPercent, TSize text, THorzAlign h, TVertAlign v) {
  const long long a = PercentOf(width, xPercent);
  const long long b = PercentOf(height, yPercent);
  long long left = a;
  if (h == THorzAlign::Right) left = a - text.Width;
  if (h == THorzAlign::Centre) left = a - text.Width / 2;
  const long long top = v == TVertAlign::Bottom ? b - text.Height : b;
  TRect r;
  r.Left = ClampToInt(left);
  r.Top = ClampToInt(top);
  r.Right = ClampToInt(left + text.Width);
  r.Bottom = ClampToInt(top + text.Height);
  return r;
}

void DrawStamp(TDibGraphic& page, const TFontSpec& font, const std::string& text, long long xPercent,
               long long yPercent, THorzAlign h, TVertAlign v) {
  if (page.Empty()) return;
  TCanvas& canvas = page.Canvas();
  const TFontSpec savedFont = canvas.Font;
  const TColor32 savedPen = canvas.PenColor;
  canvas.Font = font;
  canvas.PenColor = 0x000000;
  const TSize extent = canvas.TextExtent(text);
  const TRect r = StampRect(page.Width(), page.Height(), xPercent, yPercent, extent, h, v);
  // The text fills its rectangle exactly, so it is drawn from its top-left.
  canvas.TextOut(r.Left, r.Top, text);
  canvas.Font = savedFont;
  canvas.PenColor = savedPen;
}

void DrawStamp(TDibGraphic& page, const TFontSpec& font, const TPageNumberSettings& s, long long n) {
  DrawStamp(page, font, StampText(s.DisplayText, n), WholeNumberOr(s.XText, 50), WholeNumberOr(s.YText, 50),
            HorzAlignOf(s), VertAlignOf(s));
}

std::string StampTarget(const std::string& saveFolder, const std::string& entry) {
  return (std::filesystem::path(saveFolder) / std::filesystem::path(entry).filename()).string();
}

long long StampPageNumbers(const TPageNumberRun& run, const TPageNumberProgress& progress) {
  if (!HasNumberPlace(run.Settings.DisplayText)) throw std::runtime_error(kNoNumberPlaceMessage);
  if (run.SaveFolder.empty()) throw std::runtime_error("No save folder");
  long long number = WholeNumberOr(run.Settings.StartText, 1);
  int position = 0;
  int maximum = static_cast<int>(run.Files.size());
  const TFontSpec fixedFont = StampFont(run.Settings, run.FontDpi);
  for (const std::string& entry : run.Files) {
    const std::string target = StampTarget(run.SaveFolder, entry);
    std::error_code ec;
    const std::string source = std::filesystem::exists(target, ec) ? target : entry;
    const int count = CountPages(source);
    maximum += count - 1;
    bool goOn = true;
    TOutputPage page;
    WritePages(target, count, run.Save, [&](int index) -> TOutputPage& {
      page = LoadPage(source, index);
      TDibGraphic* image = page.Owned.get();
      const TFontSpec font = run.FontDpi > 0 ? fixedFont : StampFont(run.Settings, image->XDotsPerInch());
      DrawStamp(*image, font, run.Settings, number);
      // Held at the ends of the range rather than wrapping round.
      if (__builtin_add_overflow(number, WholeNumberOr(run.Settings.StepText, 1), &number))
        number = WholeNumberOr(run.Settings.StepText, 1) > 0 ? std::numeric_limits<long long>::max()
                                                             : std::numeric_limits<long long>::min();
      ++position;
      if (progress && !progress(position, maximum)) goOn = false;
      return page;
    });
    if (!goOn) break;
  }
  return number;
}
