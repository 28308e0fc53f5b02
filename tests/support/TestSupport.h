// Helpers shared by the tests: test-data paths, small images built in code,
// and a plain pixel-by-pixel comparison.
#pragma once

#include <random>
#include <string>

#include "image/DibGraphic.h"

// Absolute path of a file under ../shared (e.g. "testdata/tiff/x.tif").
// Fails the calling test (via an exception) when the file is missing.
std::string SharedFile(const std::string& relativePath);
// A fresh empty folder for one test's files, removed at process end.
std::string TestTempDir();

// A white 1-bit page of the given size.
void MakeWhitePage(TDibGraphic& image, int width, int height, int dpi = 300);
// A black 1-bit page (a new image's zero bits are black).
void BlackPage(TDibGraphic& image, int width, int height, int dpi = 300);
// A white 1-bit page with each pixel black with the given probability.
void RandomPage(TDibGraphic& image, int width, int height, double density, std::mt19937& rng);
// Draws a 1-bit page from rows of text: '#' = black, anything else white.
void MakePageFromText(TDibGraphic& image, const std::vector<std::string>& rows, int dpi = 300);
// The box of a page's black pixels, Right/Bottom exclusive; a page without
// ink gives (width, height, 0, 0).
TRect InkBounds(const TDibGraphic& page);
// True when both images have equal size, format, palette and pixel values
// (padding bits ignored).
bool SamePixels(const TDibGraphic& a, const TDibGraphic& b);
