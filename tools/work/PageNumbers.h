// Page numbers stamped as text on every page of a list of files: the
// settings of the stamping window, their stored form, the placement of the
// stamp and the run over the files. Free of widgets; the text is drawn
// through the page's own canvas with the text renderer installed in the
// imaging hooks.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image/Canvas.h"
#include "image/ImagingTypes.h"
#include "pagework/PageWriter.h"

class TDibGraphic;

// The fixed-pitch Korean face the stamp font defaults to, and the face that
// stands in for it where it is not installed.
inline constexpr const char* kDefaultStampFace = "굴림체";
inline constexpr const char* kStampFaceStandIn = "NanumGothicCoding";
// The face to render for a chosen face: the chosen one, except "굴림체" where
// it is not installed.
std::string StampFaceFor(const std::string& face, const std::function<bool(const std::string&)>& isInstalled);

// The window's settings as its controls hold them (texts stay texts: they
// are read as numbers only when used).
struct TPageNumberSettings {
  std::string FontName = kDefaultStampFace;
  std::string SizeText = "10";
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  // Anchor buttons 좌 중 우 and 상 하.
  bool Left = false, Centre = true, Right = false;
  bool Top = false, Bottom = true;
  std::string XText = "50", YText = "90";
  std::string DisplayText = "- {P} -";
  std::string StartText = "1", StepText = "1";
  int StartImage = 0;  // 0 the first entry, 1 the current one

  friend bool operator==(const TPageNumberSettings&, const TPageNumberSettings&) = default;
};

// The stored value: 17 fields joined by ",". Reading takes the pieces beyond
// 17 as part of the display text (field 12), so a display text with commas
// comes back whole; missing fields keep their defaults.
std::string PageNumberValue(const TPageNumberSettings& s);
TPageNumberSettings ParsePageNumberValue(const std::string& value);

inline constexpr const char* kNumberPlace = "{P}";
inline constexpr const char* kNoNumberPlaceMessage =
    "표시문자열에는 {P} 이 반드시 포함되어야 {P} 이 페이지 숫자로 반영됩니다.";
bool HasNumberPlace(const std::string& displayText);
// The display text with its first "{P}" replaced by n in decimal; every
// other character (a second "{P}", "%") stays as written.
std::string StampText(const std::string& displayText, long long n);

// A whole number in text (surrounding blanks allowed), else fallback.
long long WholeNumberOr(const std::string& text, long long fallback);

enum class THorzAlign { Left, Centre, Right };
enum class TVertAlign { Top, Bottom };

// The stamp's font: face, style and size x Trunc(dpi / 30 + 0.5) points for
// an image of horizontal resolution dpi (size text not a number: 16).
TFontSpec StampFont(const TPageNumberSettings& s, int imageDpiX);
THorzAlign HorzAlignOf(const TPageNumberSettings& s);
TVertAlign VertAlignOf(const TPageNumberSettings& s);

// Where a text of size text lands on a page of width x height with the
// anchor at x% / y% (both truncated toward zero).
TRect StampRect(int width, int height, long long xPercent, long long yPercent, TSize text, THorzAlign h, TVertAlign v);

// Draws the stamp text on the page through its canvas (glyphs only, black,
// the nearest palette colour on palette pages).
void DrawStamp(TDibGraphic& page, const TFontSpec& font, const std::string& text, long long xPercent,
               long long yPercent, THorzAlign h, TVertAlign v);
// Draws the stamp for number n with the settings (X and Y read from them).
void DrawStamp(TDibGraphic& page, const TFontSpec& font, const TPageNumberSettings& s, long long n);

// One run over files.
struct TPageNumberRun {
  std::vector<std::string> Files;  // in order, from the start entry
  std::string SaveFolder;          // where the stamped files go (must be set)
  TSaveOptions Save;
  TPageNumberSettings Settings;
  // Resolution the font is sized for; 0: each page's own.
  int FontDpi = 0;
};

// Progress after each page: position and maximum (the maximum grows by a
// multi-page file's pages). Returning false stops the run after the file
// being written.
using TPageNumberProgress = std::function<bool(int position, int maximum)>;

// The stamped file's name for an entry: the save folder and the entry's
// file name.
std::string StampTarget(const std::string& saveFolder, const std::string& entry);

// Stamps and writes every file; numbers run on across files. A target that
// exists already (an earlier corrected output) is stamped instead of the
// entry. Each file is written whole through the page writer. Throws with
// the reader's or writer's message; files already written stay. Returns
// the number the next page would get.
long long StampPageNumbers(const TPageNumberRun& run, const TPageNumberProgress& progress = nullptr);
