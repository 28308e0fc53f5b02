// The view control on the offscreen platform: zoom, display, overlays,
// mouse routing, Ctrl-drag, quick select, loading, read-ahead, saving.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <chrono>
#include <thread>

#include "ViewTestSupport.h"
#include "image/Canvas.h"
#include "image/GraphicRegistry.h"
#include "image/Stream.h"
#include "support/TestSupport.h"
#include "view/RubberbandMouseHandler.h"

namespace {

QRgb ViewPixel(TImageScrollBox& view, int x, int y) {
  const QImage shot = view.viewport()->grab().toImage();
  const QPoint p = ViewportPoint(view, x, y);
  return shot.pixel(p.x(), p.y()) & 0xFFFFFF;
}

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace

TEST(ImageScrollBox, ZoomModesAndDisplaySize) {
  auto view = MakeView(620, 877);
  std::vector<float> zooms;
  view->OnZoomChange = [&](TImageScrollBox*, float z) { zooms.push_back(z); };
  view->SetZoomMode(zmFitToPage);
  TDibGraphic a4;
  MakeWhitePage(a4, 2480, 3508);
  view->AssignGraphic(a4);
  EXPECT_FLOAT_EQ(view->ZoomPercent(), 25.0f);
  EXPECT_EQ(view->DisplaySize(), (TSize{620, 877}));
  EXPECT_FALSE(view->HorzScrollBarShown());
  EXPECT_FALSE(view->VertScrollBarShown());
  ASSERT_FALSE(zooms.empty());
  EXPECT_FLOAT_EQ(zooms.back(), 25.0f);

  TDibGraphic small;
  MakeWhitePage(small, 100, 100);
  view->AssignGraphic(small);
  EXPECT_FLOAT_EQ(view->ZoomPercent(), 100.0f);  // fit-to-page never enlarges
  EXPECT_EQ(view->DisplaySize(), (TSize{100, 100}));
  view->SetZoomMode(zmFullPage);
  EXPECT_FLOAT_EQ(view->ZoomPercent(), 620.0f);
  EXPECT_EQ(view->DisplaySize(), (TSize{620, 620}));

  // Original size of the A4 page needs both scroll bars.
  view->SetZoomMode(zmOriginalSize);
  view->AssignGraphic(a4);
  EXPECT_FLOAT_EQ(view->ZoomPercent(), 100.0f);
  EXPECT_TRUE(view->HorzScrollBarShown());
  EXPECT_TRUE(view->VertScrollBarShown());
  EXPECT_EQ(view->horizontalScrollBar()->maximum(), 2480 - view->viewport()->width());

  // Fit width leaves room for the vertical bar the tall page needs.
  auto wide = MakeView(620, 400);
  wide->SetZoomMode(zmFitWidth);
  wide->AssignGraphic(a4);
  EXPECT_TRUE(wide->VertScrollBarShown());
  EXPECT_FALSE(wide->HorzScrollBarShown());
  EXPECT_EQ(wide->DisplaySize().Width, wide->viewport()->width());
  EXPECT_EQ(wide->DisplaySize().Width, 620 - wide->verticalScrollBar()->sizeHint().width());
}

TEST(ImageScrollBox, ZoomPercentRules) {
  auto view = MakeView(400, 400);
  int events = 0;
  view->OnZoomChange = [&](TImageScrollBox*, float) { ++events; };
  view->SetZoomPercent(50);  // empty view: ignored
  EXPECT_EQ(view->ZoomMode(), zmOriginalSize);
  EXPECT_EQ(events, 0);

  TDibGraphic page;
  MakeWhitePage(page, 300, 200);
  view->AssignGraphic(page);
  events = 0;
  view->SetZoomPercent(0.1);
  view->SetZoomPercent(-5);
  EXPECT_EQ(view->ZoomMode(), zmOriginalSize);
  EXPECT_FLOAT_EQ(view->ZoomPercent(), 100.0f);
  EXPECT_EQ(events, 0);

  view->SetZoomPercent(50);
  EXPECT_EQ(view->ZoomMode(), zmPercent);
  EXPECT_EQ(view->DisplaySize(), (TSize{150, 100}));
  EXPECT_EQ(events, 1);
  view->SetZoomPercent(50);  // same value in percent mode: nothing
  EXPECT_EQ(events, 1);

  // A display below one pixel is shown one pixel wide.
  TDibGraphic tiny;
  MakeWhitePage(tiny, 3, 5);
  view->AssignGraphic(tiny);
  view->SetZoomPercent(10);
  EXPECT_EQ(view->DisplaySize(), (TSize{1, 1}));
}

TEST(ImageScrollBox, CentredPageAndEmptyView) {
  auto view = MakeView(620, 877);
  TDibGraphic page;
  MakeWhitePage(page, 100, 100);
  view->SetCentered(true);
  view->AssignGraphic(page);
  EXPECT_EQ(view->PageRect(), (TRect{260, 388, 360, 488}));
  view->Clear();
  EXPECT_TRUE(view->Graphic().Empty());
  EXPECT_TRUE(view->DisplayBitmap().Empty());
  EXPECT_TRUE(view->FileName().empty());
}

// Mouse input beside the page reaches neither the handler nor the events;
// a press on the page holds the mouse until its release, wherever that is.
TEST(ImageScrollBox, OnlyMouseInputThatBeginsOnThePageIsPassedOn) {
  auto view = MakeView(620, 877);
  view->SetMouseMode(mmRubberband);
  TDibGraphic page;
  MakeWhitePage(page, 100, 100);
  view->AssignGraphic(page);
  std::vector<std::string> seen;
  view->OnImageMouseDown = [&](TImageScrollBox*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    seen.push_back("down " + std::to_string(x) + "," + std::to_string(y));
  };
  view->OnImageMouseMove = [&](TImageScrollBox*, Qt::KeyboardModifiers, int x, int y) {
    seen.push_back("move " + std::to_string(x) + "," + std::to_string(y));
  };
  view->OnImageMouseUp = [&](TImageScrollBox*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    seen.push_back("up " + std::to_string(x) + "," + std::to_string(y));
  };
  TRubberbandMouseHandler& band = view->RubberbandHandler();
  Press(*view, 500, 50);
  Move(*view, 520, 60);
  Release(*view, 520, 60);
  Move(*view, 300, 20, Qt::NoButton);
  EXPECT_TRUE(seen.empty()) << seen.front();
  EXPECT_FALSE(band.BandPresent()) << "a drag beside the page selects nothing";
  EXPECT_FALSE(band.OutlineInProgress()) << "a click beside the page starts no outline";

  Press(*view, 99, 50);  // the last displayed column
  Move(*view, 300, 70);
  Release(*view, 300, 70);
  EXPECT_EQ(seen, (std::vector<std::string>{"down 99,50", "move 300,70", "up 300,70"}));
  EXPECT_FALSE(band.BandPresent()) << "a band of width 0 after clamping";
  Drag(*view, 10, 10, 400, 90);
  EXPECT_EQ(band.SelectedRect(), (TRect{10, 10, 99, 90})) << "a drag that leaves the page is clamped to it";
}

TEST(ImageScrollBox, CtrlDragShiftsThePage) {
  auto view = MakeView(620, 877);
  view->SetMouseMode(mmNone);
  TDibGraphic page;
  MakePageWithBlock(page, 400, 400, 0, 0, 10, 400);  // black left strip
  view->AssignGraphic(page);
  view->SetZoomPercent(50);
  int downs = 0;
  view->OnImageMouseDown = [&](TImageScrollBox*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { ++downs; };
  Press(*view, 100, 100, Qt::ControlModifier);
  EXPECT_TRUE(view->CtrlDragActive());
  EXPECT_EQ(downs, 0);  // a Ctrl-drag is not passed on
  Move(*view, 150, 100, Qt::LeftButton, Qt::ControlModifier);
  // While dragging the shown page moves on white; the page itself does not.
  EXPECT_EQ(ViewPixel(*view, 2, 50), 0xFFFFFFu);
  EXPECT_EQ(ViewPixel(*view, 52, 50), 0x000000u);
  EXPECT_EQ(view->Graphic().GetPixelIndex(5, 5), 0);
  Release(*view, 150, 100, Qt::ControlModifier);
  EXPECT_FALSE(view->CtrlDragActive());
  // 50 display pixels at 50 % are 100 page pixels; the uncovered strip is white.
  const TDibGraphic& g = view->Graphic();
  EXPECT_EQ(g.GetPixelIndex(0, 200), 1);
  EXPECT_EQ(g.GetPixelIndex(99, 200), 1);
  EXPECT_EQ(g.GetPixelIndex(100, 200), 0);
  EXPECT_EQ(g.GetPixelIndex(109, 200), 0);
  EXPECT_EQ(g.GetPixelIndex(110, 200), 1);

  // Releasing Ctrl before the button ends the drag without shifting.
  Press(*view, 100, 100, Qt::ControlModifier);
  Release(*view, 160, 100);
  EXPECT_EQ(g.GetPixelIndex(100, 200), 0);
  EXPECT_EQ(g.GetPixelIndex(130, 200), 1);
}

TEST(ImageScrollBox, OverlaysAreDrawnOverTheDisplay) {
  auto view = MakeView(700, 400);
  TDibGraphic page;
  MakeWhitePage(page, 600, 300);
  view->AssignGraphic(page);
  int redraws = 0;
  view->OnRedraw = [&](TDibGraphic*) { ++redraws; };
  view->SetShowGrid(true);
  EXPECT_EQ(redraws, 1);
  view->SetGridColor(0x0000FF);
  EXPECT_EQ(redraws, 2);
  for (int x : {100, 200, 300, 400, 500}) EXPECT_EQ(ViewPixel(*view, x, 15), 0x0000FFu) << x;
  EXPECT_EQ(ViewPixel(*view, 101, 15), 0xFFFFFFu);
  EXPECT_EQ(ViewPixel(*view, 50, 30), 0x0000FFu);  // rows every 300 / 10 pixels
  view->SetShowGrid(false);
  redraws = 0;
  view->SetGridRows(3);  // grid hidden: no redraw
  EXPECT_EQ(redraws, 0);
  EXPECT_EQ(ViewPixel(*view, 100, 15), 0xFFFFFFu);
  // The page itself is never drawn on.
  EXPECT_EQ(view->Graphic().GetPixelIndex(100, 15), 1);

  // Fixed areas framed in their colour; the outline with its corner squares.
  view->AddFixedArea(TRect{10, 20, 60, 80});
  view->SetShowFixedAreas(true);
  EXPECT_EQ(ViewPixel(*view, 10, 50), 0x808080u);
  EXPECT_EQ(ViewPixel(*view, 59, 50), 0x808080u);
  EXPECT_EQ(ViewPixel(*view, 35, 50), 0xFFFFFFu);
  view->SetShowOutline(true);
  view->SetOutlineColor(0xFF0000);
  view->SetOutlineMargins(5, 5, 5, 5);  // 59 pixels at 300 dpi
  const TRect o = view->OutlineDisplayRect();
  EXPECT_EQ(o, (TRect{59, 59, 600 - 59, 300 - 59}));
  EXPECT_EQ(ViewPixel(*view, 300, 59), 0xFF0000u);
  EXPECT_EQ(ViewPixel(*view, o.Right + 1, o.Bottom + 1), 0xFF0000u);  // corner square
  EXPECT_EQ(ViewPixel(*view, o.Right + 2, o.Bottom + 2), 0xFFFFFFu);

  // Filling the fixed areas changes the page.
  view->FillFixedAreas();
  EXPECT_EQ(view->Graphic().GetPixelIndex(30, 30), 0);  // red on 1 bit: nearest is black
  EXPECT_EQ(view->Graphic().Canvas().BrushColor, 0xFFFFFFu);
}

TEST(ImageScrollBox, InvertAndSmoothingRebuildTheDisplay) {
  auto view = MakeView(300, 300);
  TDibGraphic page;
  MakePageWithBlock(page, 200, 200, 0, 0, 100, 200);
  view->AssignGraphic(page);
  view->SetZoomPercent(50);
  EXPECT_EQ(view->DisplayBitmap().ImageFormat(), ifGray256);
  EXPECT_EQ(view->DisplayBitmap().ScanLine(10)[10], 0);
  view->SetInvert(true);
  EXPECT_EQ(view->DisplayBitmap().ScanLine(10)[10], 255);
  EXPECT_EQ(view->DisplayBitmap().ScanLine(10)[80], 0);
  view->SetAntiAliased(true);
  view->SetInvert(false);
  EXPECT_EQ(view->DisplayBitmap().ScanLine(10)[10], 0);
  EXPECT_EQ(view->DisplayBitmap().ScanLine(10)[80], 255);
}

TEST(ImageScrollBox, QuickSelectHandsOverTheDisplayPixels) {
  auto view = MakeView(400, 400);
  view->SetMouseMode(mmQuickSelect);
  TDibGraphic page;
  MakePageWithBlock(page, 300, 300, 20, 20, 30, 30);
  view->AssignGraphic(page);
  int events = 0;
  TRect got;
  int gotW = 0, gotH = 0, corner = -1;
  view->OnQuickSelect = [&](TImageScrollBox*, TDibGraphic* g, const TRect& r) {
    ++events;
    got = r;
    gotW = g->Width();
    gotH = g->Height();
    corner = g->ScanLine(0)[0];
  };
  Drag(*view, 10, 10, 10, 60);  // zero width
  EXPECT_EQ(events, 0);
  Drag(*view, 50, 60, 20, 20);
  ASSERT_EQ(events, 1);
  EXPECT_EQ(got, (TRect{20, 20, 50, 60}));
  EXPECT_EQ(gotW, 30);
  EXPECT_EQ(gotH, 40);
  EXPECT_EQ(corner, 0);  // the black block's corner
}

TEST(ImageScrollBox, PanHandlerScrollsWithTheHand) {
  auto view = MakeView(200, 200);
  TDibGraphic page;
  MakeWhitePage(page, 1000, 1000);
  view->AssignGraphic(page);
  ASSERT_EQ(view->MouseMode(), mmPan);
  int ends = 0;
  view->OnEndScroll = [&](TImageScrollBox*) { ++ends; };
  Press(*view, 150, 150);
  EXPECT_EQ(view->PageCursor().shape(), Qt::BitmapCursor);
  // The page coordinates move with the page: drag 50 pixels to the left.
  Move(*view, 100, 150);
  EXPECT_EQ(view->HorzScrollPos(), 50);
  Move(*view, 80 + 50, 120);  // 20 more left, 30 up, in page coordinates now
  EXPECT_EQ(view->HorzScrollPos(), 70);
  EXPECT_EQ(view->VertScrollPos(), 30);
  EXPECT_GE(ends, 2);
  Release(*view, 130, 120);
}

TEST(ImageScrollBox, ScrollBarsReportBeginAndEnd) {
  auto view = MakeView(200, 200);
  TDibGraphic page;
  MakeWhitePage(page, 1000, 1000);
  view->AssignGraphic(page);
  int begins = 0, ends = 0;
  view->OnBeginScroll = [&](TImageScrollBox*) { ++begins; };
  view->OnEndScroll = [&](TImageScrollBox*) { ++ends; };
  view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  QCoreApplication::processEvents();
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(view->VertScrollPos(), 32);
}

TEST(ImageScrollBox, LoadPageFramesAndErrors) {
  TTestFormat::Register();
  const std::string dir = TestTempDir();
  const std::string file = dir + "/pages.vtst";
  TTestFormat::WriteFile(file, {{40, 30}, {50, 60}, {70, 80}});
  auto view = MakeView(300, 300);
  std::vector<int> progress;
  view->OnReadWriteProgress = [&](TDibGraphic*, std::uint8_t p) { progress.push_back(p); };
  int newGraphics = 0;
  view->OnNewGraphic = [&](TDibGraphic*) { ++newGraphics; };
  view->LoadPage(file, 2);
  EXPECT_EQ(view->Graphic().Width(), 50);
  EXPECT_EQ(view->FileName(), file);
  EXPECT_EQ(newGraphics, 1);
  view->LoadPage(file, 0);  // every page as frames
  EXPECT_EQ(view->FrameCount(), 3);
  EXPECT_EQ(view->Graphic().Width(), 40);
  view->SelectFrame(3);
  EXPECT_EQ(view->Graphic().Width(), 70);
  EXPECT_EQ(view->DisplaySize(), (TSize{70, 80}));

  // A failed load keeps the page on show.
  EXPECT_THROW(view->LoadPage(dir + "/missing.vtst", 1), EImagingError);
  EXPECT_EQ(view->Graphic().Width(), 70);
  try {
    view->LoadPage(dir + "/x.xyz", 1);
    FAIL() << "no exception";
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "Graphic files of .xyz format are not supported or not registered");
  }
  view->SetFileName("");
  EXPECT_TRUE(view->Graphic().Empty());
}

TEST(ImageScrollBox, SaveWritesEveryFrameInOrder) {
  TTestFormat::Register();
  const std::string dir = TestTempDir();
  const std::string src = dir + "/src.vtst";
  TTestFormat::WriteFile(src, {{11, 12}, {13, 14}, {15, 16}});
  auto view = MakeView(300, 300);
  view->LoadPage(src, 0);
  std::vector<int> widths;
  view->OnBeforeSave = [&](TImageScrollBox*, TDibGraphic* g) { widths.push_back(g->Width()); };
  const std::string out = dir + "/out.vtst";
  view->SaveToFile(out);
  EXPECT_EQ(widths, (std::vector<int>{11, 13, 15}));
  EXPECT_EQ(view->FileName(), out);
  TMemoryStream bytes;
  bytes.LoadFromFile(out);
  ASSERT_EQ(bytes.Size(), 12);
  EXPECT_EQ(bytes.Bytes()[4], 13);
  EXPECT_EQ(bytes.Bytes()[8], 15);

  // An unknown extension is refused before any file is created.
  const std::string bad = dir + "/out.xyz";
  EXPECT_THROW(view->SaveToFile(bad), EImagingError);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(bad)));
}

TEST(ImageScrollBox, ReadAheadIsTakenOnlyForItsFile) {
  TTestFormat::Register();
  const std::string dir = TestTempDir();
  const std::string a = dir + "/a.vtst", b = dir + "/b.vtst";
  TTestFormat::WriteFile(a, {{21, 22}});
  TTestFormat::WriteFile(b, {{31, 32}});
  auto view = MakeView(300, 300);

  TTestFormat::LoadCount = 0;
  view->SetReadAheadFileName(a);
  ASSERT_TRUE(WaitFor([&] { return view->ReadAheadReady(a); }));
  EXPECT_EQ(TTestFormat::LoadCount, 1);
  view->SetFileName(a);
  EXPECT_EQ(TTestFormat::LoadCount, 1);  // installed without reading again
  EXPECT_EQ(view->ReadAheadHits(), 1);
  EXPECT_EQ(view->Graphic().Width(), 21);
  EXPECT_TRUE(view->ReadAheadFileName().empty());

  // A read abandoned for another name never reaches a LoadPage of either file.
  TTestFormat::LoadDelayMs = 100;
  view->SetReadAheadFileName(a);
  view->SetReadAheadFileName(b);
  TTestFormat::LoadDelayMs = 0;
  ASSERT_TRUE(WaitFor([&] { return view->ReadAheadReady(b); }));
  EXPECT_FALSE(view->ReadAheadReady(a));
  view->SetFileName(a);
  EXPECT_EQ(view->Graphic().Width(), 21);
  EXPECT_EQ(view->ReadAheadHits(), 1);
  view->SetFileName(b);
  EXPECT_EQ(view->Graphic().Width(), 31);
  EXPECT_EQ(view->ReadAheadHits(), 2);

  // Another page of the pre-read file is read from the file.
  view->SetReadAheadFileName(a);
  ASSERT_TRUE(WaitFor([&] { return view->ReadAheadReady(a); }));
  EXPECT_THROW(view->LoadPage(a, 2), EImagingError);  // a has one page
  EXPECT_EQ(view->ReadAheadHits(), 2);

  // A missing file leaves the slot empty; destroying the view with a read
  // in flight frees its result.
  view->SetReadAheadFileName(dir + "/none.vtst");
  TTestFormat::LoadDelayMs = 50;
  view->SetReadAheadFileName(b);
  view.reset();
  TTestFormat::LoadDelayMs = 0;
}

TEST(ImageScrollBox, MouseModesAndHandlers) {
  auto view = MakeView(300, 300);
  EXPECT_EQ(view->MouseMode(), mmPan);
  EXPECT_THROW(view->RubberbandHandler(), EImagingError);
  try {
    view->SelectFixedArea(0);
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "Rubberband mouse handler not active");
  }
  view->SetAnnotationText("memo");
  view->SetMouseMode(mmAnnotation);
  view->SetAnnotationText("changed elsewhere");
  view->SetMouseMode(mmRubberband);  // leaving annotation mode keeps its text
  EXPECT_EQ(view->AnnotationText(), "memo");
  EXPECT_NO_THROW(view->RubberbandHandler());
  view->SetMouseMode(mmNone);
  EXPECT_EQ(view->MouseHandler(), nullptr);
  EXPECT_EQ(view->PageCursor().shape(), Qt::ArrowCursor);

  // The program's cursor images are in the resources.
  for (const QCursor& c : {HandOpenedCursor(), HandClosedCursor(), InnerCursor(), OuterCursor()}) {
    EXPECT_EQ(c.shape(), Qt::BitmapCursor);
    EXPECT_FALSE(c.pixmap().isNull());
  }

  // A handler the caller owns is not freed by the view.
  TMouseHandler mine(view.get());
  view->SetMouseHandler(&mine);
  EXPECT_EQ(view->MouseHandler(), &mine);
  EXPECT_FALSE(view->MouseHandlerOwned());
  view->SetMouseHandler(std::unique_ptr<TMouseHandler>());
}

TEST(ImageScrollBox, RealFilesLoadWithFramesAndExifResolution) {
  auto view = MakeView(600, 800);
  view->SetZoomMode(zmFitToPage);
  std::vector<int> progress;
  view->OnReadWriteProgress = [&](TDibGraphic*, std::uint8_t p) { progress.push_back(p); };
  view->LoadPage(SharedFile("testdata/tiff/gen-multipage-3p-g4.tif"), 0);
  EXPECT_EQ(view->FrameCount(), 3);
  EXPECT_EQ(view->Graphic().Width(), 2528);
  EXPECT_EQ(view->Graphic().ImageFormat(), ifBlackWhite);
  view->SelectFrame(2);
  EXPECT_EQ(view->Graphic().Width(), 2560);
  EXPECT_LE(view->DisplaySize().Width, 600);
  // A single page reports its progress through the view.
  view->LoadPage(SharedFile("testdata/tiff/gen-multipage-3p-g4.tif"), 3);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 100);

  // JFIF says 72 dpi, EXIF 300: the higher EXIF value is taken.
  view->LoadPage(SharedFile("testdata/jpeg/real-jfif72-plus-exif300.jpg"), 1);
  EXPECT_EQ(view->Graphic().XDotsPerInch(), 300);
  EXPECT_EQ(view->Graphic().YDotsPerInch(), 300);
  // 150 dpi pages are left alone.
  view->LoadPage(SharedFile("testdata/jpeg/real-colour-bookpage-jfif-150dpi.jpg"), 1);
  EXPECT_EQ(view->Graphic().XDotsPerInch(), 150);
}

TEST(ImageScrollBox, ReadAheadOfARealPage) {
  const std::string file = SharedFile("testdata/tiff/real-eurotext-none-1bit-300dpi.tif");
  auto view = MakeView(400, 400);
  view->SetReadAheadFileName(file);
  ASSERT_TRUE(WaitFor([&] { return view->ReadAheadReady(file); }));
  view->SetFileName(file);
  EXPECT_EQ(view->ReadAheadHits(), 1);
  EXPECT_EQ(view->Graphic().Width(), 1024);
  EXPECT_EQ(view->Graphic().Height(), 800);
  EXPECT_EQ(view->FileName(), file);
}
