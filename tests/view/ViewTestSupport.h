// Helpers of the view tests: a shown view of a known client size, simulated
// mouse input on its page, and a tiny registered file format whose loads
// are counted.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <atomic>
#include <memory>
#include <string>

#include "image/DibGraphic.h"
#include "view/ImageScrollBox.h"

// A shown view without a frame, so its client area is exactly w x h.
std::unique_ptr<TImageScrollBox> MakeView(int w, int h);

// Mouse input at display pixel (x, y) of the view's page (converted to the
// viewport through the page's current origin).
QPoint ViewportPoint(TImageScrollBox& view, int x, int y);
void Press(TImageScrollBox& view, int x, int y, Qt::KeyboardModifiers mods = Qt::NoModifier,
           Qt::MouseButton button = Qt::LeftButton);
void Move(TImageScrollBox& view, int x, int y, Qt::MouseButtons buttons = Qt::LeftButton,
          Qt::KeyboardModifiers mods = Qt::NoModifier);
void Release(TImageScrollBox& view, int x, int y, Qt::KeyboardModifiers mods = Qt::NoModifier,
             Qt::MouseButton button = Qt::LeftButton);
// Press, a few moves on the way, release.
void Drag(TImageScrollBox& view, int x1, int y1, int x2, int y2);
// Press and release at one point.
void Click(TImageScrollBox& view, int x, int y);

// A white 1-bit page with a black rectangle [x0, x1) x [y0, y1).
void MakePageWithBlock(TDibGraphic& page, int w, int h, int x0, int y0, int x1, int y1, int dpi = 300);

// The ".vtst" format: a 1-bit page per record of 4 bytes (width, height as
// 16-bit little-endian), every record white with its first pixel black.
// LoadCount counts pages read from files by any thread.
struct TTestFormat {
  static void Register();
  static void WriteFile(const std::string& fileName, const std::vector<TSize>& pages);
  static std::atomic<int> LoadCount;
  static std::atomic<int> LoadDelayMs;  // makes background reads slow
};
