// Utilities shared by the desktop program and the batch program pagemend:
// the settings store, the two folder strings, file-type tests, the folder
// walk and the output names of saving.
//
// Settings store. Everything persistent lives in one settings key
// (QSettings("orvane", "Veltrax")). Every access opens the store, reads or
// writes and closes it again; nothing is kept open. Integers are stored as
// integers, folders, fixed areas and the page-number value as strings, and
// the rotation step R as an 8-byte IEEE-754 double (binary value). A store
// that cannot be opened leaves every default in place on loading and is
// left alone on saving; no message is shown.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <vector>

#include "image/ImagingTypes.h"

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
  float R = 1.0f;     // rotation step, degrees (stored as a double)

  // Raises each margin below 1 to 1.
  void ClampMargins();
};

// The 38 integer values in stored order, for code that walks them by name.
struct TSettingsIntField {
  const char* Name;
  int TSettingsRecord::*Field;
};
const std::vector<TSettingsIntField>& SettingsIntFields();
// Sets one value by its stored name (case-sensitive). "R" takes a decimal
// number, the others an integer. Returns false for an unknown name or a
// text that is not a number of the right kind.
bool SetSettingsValue(TSettingsRecord& record, const QString& name, const QString& text);

// --- the store ---------------------------------------------------------------
// Redirects the store to an INI file (tests); an empty name goes back to
// the program's own store.
void SetSettingsStoreFile(const QString& iniFileName);

// Every default first, then each value the store holds; margins raised to 1.
TSettingsRecord LoadSettings();
void SaveSettings(const TSettingsRecord& record);

// The process-wide folder strings. Defaults: the open folder is the folder
// of the program file, the save folder the user's home folder, both with a
// trailing separator. An empty save folder means saving over the sources.
QString OpenFolder();
QString SaveFolder();
void SetOpenFolder(const QString& folder);
void SetSaveFolder(const QString& folder);
QString DefaultOpenFolder();
QString DefaultSaveFolder();
void LoadFolders();
void SaveFolders();

// Window position by window name ("FViewTrans", "FViewZoom",
// "FSemiTrans"); each coordinate 0 when absent.
QPoint LoadWindowPosition(const QString& windowName);
void SaveWindowPosition(const QString& windowName, int left, int top);
// The main window applies a stored position only when both are non-zero.
bool IsStoredPositionUsable(const QPoint& position);

// Appends the stored fixed areas to the list; the list ends at the first
// entry whose right or bottom is below 1 (a gap in the numbering ends it).
void LoadFixedAreas(std::vector<TRect>& areas);
// Removes the stored entries and writes the list as Fixed0 .. Fixed(n-1).
void SaveFixedAreas(const std::vector<TRect>& areas);
// "left,top,right,bottom" and back (missing or non-numeric fields read 0).
QString FixedAreaText(const TRect& area);
TRect ParseFixedArea(const QString& text);

// The page-number stamping window's settings, kept as one opaque string;
// empty when absent.
QString LoadPageNumberSettings();
void SavePageNumberSettings(const QString& value);

// --- files -------------------------------------------------------------------
// Extension tests on the lower-case name.
bool IsTiffFile(const QString& fileName);   // .tif, .tiff
bool IsPdfFile(const QString& fileName);    // .pdf
bool IsJpegFile(const QString& fileName);   // .jpg, .jpeg
bool IsImageFile(const QString& fileName);  // any of the above

// Every image file below the folder (hidden ones included), sub-folders
// when recursive; symbolic links to folders are not followed, so a link
// cycle cannot trap the walk. Sorted by path so every run sees one order.
QStringList FindImageFiles(const QString& folder, bool recursive = true);

// Adds a trailing separator to a non-empty folder name.
QString WithTrailingSeparator(const QString& folder);

// Output name of a source file for the given open mode (0 nothing opened,
// 1 files opened, 2 a folder opened): the save folder when it names an
// existing folder, with the file name (mode 1) or the path below the open
// folder (mode 2); the source itself otherwise and in mode 0.
QString OutputFileName(const QString& sourceFile, const QString& saveFolder, const QString& openFolder, int openMode);
