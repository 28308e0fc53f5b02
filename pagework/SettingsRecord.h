// The settings record both programs correct pages with, and what its codes
// mean. Plain data: the store that loads and saves it lives in utils/.
#pragma once

#include <string>
#include <vector>

// The correction parameters and display options of the main window. Field
// names are the stored value names.
struct TSettingsRecord {
  int W = 9;          // speck width, pixels
  int H = 9;          // speck height, pixels
  int Bo = 4;         // darken / lighten strength 1..8
  int M = 20;         // shift distance, mm
  int K = 10;         // deskew size rule: 10 keep, 20 enlarge
  int D = 100;        // writing direction: 100 horizontal, 200 vertical
  int P1 = 30;        // margin left, mm
  int P2 = 30;        // margin top, mm
  int P3 = 20;        // margin right, mm
  int P4 = 20;        // margin bottom, mm
  int F = 10;         // save compression 10..70
  int Z = 10;         // view zoom 10..40
  int I = 0;          // display inverted
  int B = 2;          // enlarge / reduce step, percent
  int aH = 10;        // centring: horizontal black run treated as a line, px
  int aV = 10;        // centring: vertical black run treated as a line, px
  int Wopt = 0;       // centring horizontal rule 0..3
  int Wside = 0;      // centring horizontal offset, px
  int Hopt = 0;       // centring vertical rule 0..3
  int Hside = 0;      // centring vertical offset, px
  int J = 216;        // grey level at and above which a pixel counts as white
  int A = 10;         // paper size 10..60
  int GS = 0;         // show the grid
  int GW = 4;         // grid: vertical lines
  int GH = 4;         // grid: horizontal lines
  int GC = 0x808080;  // grid colour 0x00BBGGRR
  int AL = 1;         // smooth display
  int CL = 1;         // cross-hair lines
  int PT = 10;        // paste mode: 10 transparent, 20 opaque
  int DS = 0;         // 0 = double-click saves
  int pW = 210;       // user paper width
  int pH = 297;       // user paper height
  int pS = 1;         // paper-size command changes the image size
  int oS = 0;         // show the margin outline
  int oC = 0x808080;  // margin outline colour
  int fA = 0;         // show the fixed areas
  int fC = 0x808080;  // fixed-area colour
  int jQ = 80;        // JPEG quality 1..100
  int DF = 0;         // deskew: 1 refines the angle to hundredths of a degree
  float R = 1.0f;     // rotation step, degrees (stored as a double)

  // Raises each margin below 1 to 1.
  void ClampMargins();
};

// The 39 integer values in stored order, for code that walks them by name.
struct TSettingsIntField {
  const char* Name;
  int TSettingsRecord::*Field;
};
const std::vector<TSettingsIntField>& SettingsIntFields();
// Sets one value by its stored name (case-sensitive). "R" takes a decimal
// number, the others an integer. Returns false for an unknown name or a
// text that is not a number of the right kind.
bool SetSettingsValue(TSettingsRecord& record, const std::string& name, const std::string& text);

// --- what the codes mean ---------------------------------------------------------
// K: 20 lets deskew grow the page to hold the turned corners; 10 keeps it.
inline bool DeskewGrowsPage(const TSettingsRecord& s) { return s.K == 20; }
// DF: 1 refines the deskew angle after the search (finer, a little slower).
inline bool FineDeskew(const TSettingsRecord& s) { return s.DF == 1; }
// D: 200 is vertical writing (text lines run top to bottom).
inline bool VerticalWriting(const TSettingsRecord& s) { return s.D == 200; }
// A: 60 is the operator's own paper size pW x pH; 10..50 the presets.
inline bool UserPaperSize(const TSettingsRecord& s) { return s.A == 60; }
// pS: 1 lets the paper-size command change the image size.
inline bool PaperChangesImageSize(const TSettingsRecord& s) { return s.pS == 1; }
// PT: 10 pastes transparently (white lets the page through), 20 opaquely.
inline bool TransparentPaste(const TSettingsRecord& s) { return s.PT == 10; }
// DS: 0 lets a double click on a view save the page.
inline bool DoubleClickSaves(const TSettingsRecord& s) { return s.DS == 0; }
