// One recipe per correction command: which routine runs with which values
// of the settings record, in which units. The desktop's commands and the
// batch program's steps both call these, so each binding of a setting to a
// routine's argument is written here once.
//
// Common rules: an empty page is left alone. `undo`, where a recipe takes
// it, ends up holding the page as it was before the change (the placement
// routines draw from it, so it is required there). `regions` are the marked
// regions in page pixels, Right/Bottom exclusive; `inside` says whether the
// command works inside them (Shift held on the desktop) or outside them.
#pragma once

#include <vector>

#include "correction/DeskewTransform.h"
#include "image/DibGraphic.h"
#include "pagework/SettingsRecord.h"

// The rectangle inside the four margins P1..P4 (millimetres) of the page.
TRect MarginRect(const TDibGraphic& page, const TSettingsRecord& s);

// Measures the skew and rotates the page back (size rule K, direction D,
// refinement DF);
// with a selection only that part is measured. Returns the angle found.
// `work` is scratch space reused between pages; searchThreads 0 means one
// per core.
float RunDeskew(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& work, TDibGraphic& undo,
                const TRect* selection = nullptr, int searchThreads = 0);
// The same with what the measurement found: refined when DF says so, and
// left unrotated when the confidence is below minConfidence (0: no limit).
TDeskewResult RunDeskewMeasured(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& work, TDibGraphic& undo,
                                const TRect* selection = nullptr, int searchThreads = 0, double minConfidence = 0.0);
// Levels each fixed area on its own (the areas themselves stay as given).
void RunDeskewAreas(TDibGraphic& page, TDibGraphic& work, TDibGraphic& undo, std::vector<TRect> areas);

// Percentage of dark pixels inside the margin rectangle (P1..P4) once the
// specks up to W x H are gone (grey limit J): the measure of a blank page.
double RunDarkShare(const TDibGraphic& page, const TSettingsRecord& s);

// Speck removal with the limits W x H and the grey limit J. `undo` may be
// null (no copy taken).
void RunSpeckRemoval(TDibGraphic& page, const TSettingsRecord& s, const std::vector<TRect>& regions, bool inside,
                     TDibGraphic* undo);
// Darkens (or lightens) strokes with strength Bo; bilevel pages use the
// neighbour rule, other pages the grey limit J. `undo` may be null.
void RunStrokes(TDibGraphic& page, const TSettingsRecord& s, bool darken, const std::vector<TRect>& regions,
                bool inside, TDibGraphic* undo);

// Moves the content by the centring rules Wopt/Wside, Hopt/Hside with the
// ink limits aH/aV and the grey limit J.
void RunCentre(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& undo);
// Enlarges or reduces the content by B percent.
void RunResize(TDibGraphic& page, const TSettingsRecord& s, bool enlarge, TDibGraphic& undo);
// Shifts the page by M millimetres: direction -2 up, 2 down, -1 left, 1 right.
void RunShift(TDibGraphic& page, const TSettingsRecord& s, int direction, TDibGraphic& undo);
// Fits the page to the paper pW x pH (pixels when A is the user's own size,
// millimetres otherwise), stretching when pS says so.
void RunPaperSize(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& undo);

// The content rectangle fit-to-margins moves (Right/Bottom exclusive): the
// inked box by aH/aV and J on bilevel and true-colour pages, the whole page
// on others.
TRect FitContentRect(const TDibGraphic& page, const TSettingsRecord& s);
// Stretches the content (the selection when given, else FitContentRect)
// onto the margin rectangle. Returns the content rectangle used.
TRect RunFitToMargins(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& undo, const TRect* selection = nullptr);

// Whitens everything outside rect (the margin rectangle when null). Takes
// no undo copy. Returns the rectangle kept.
TRect RunBorderRemoval(TDibGraphic& page, const TSettingsRecord& s, const TRect* rect = nullptr);
// Crops the page to the margin rectangle.
void RunCropToMargins(TDibGraphic& page, const TSettingsRecord& s, TDibGraphic& undo);
