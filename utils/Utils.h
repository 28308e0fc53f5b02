// Utilities shared by the desktop program and the batch program pagemend
// that need Qt Core: the settings store, the two folder strings, file-type tests, the folder
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
#include "pagework/FileTypes.h"
#include "pagework/SettingsRecord.h"

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

// The user's runtime folder, which only that user can enter (the session's
// XDG_RUNTIME_DIR; without one, a private folder Qt makes in the temporary
// folder). The single-instance lock, the batch program's lock, the hand-off
// list file and the hand-off socket live here, so they are per user.
QString RuntimeFolder();

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
// Extension tests (see pagework/FileTypes.h) on Qt strings.
inline bool IsTiffFile(const QString& fileName) { return IsTiffFile(fileName.toStdString()); }
inline bool IsPdfFile(const QString& fileName) { return IsPdfFile(fileName.toStdString()); }
inline bool IsJpegFile(const QString& fileName) { return IsJpegFile(fileName.toStdString()); }
inline bool IsImageFile(const QString& fileName) { return IsImageFile(fileName.toStdString()); }

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
