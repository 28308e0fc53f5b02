// The rubber-band handler driven by simulated mouse input on the offscreen
// platform.
#include <gtest/gtest.h>

#include "ViewTestSupport.h"
#include "support/TestSupport.h"
#include "view/RubberbandMouseHandler.h"

namespace {

struct BandFixture : testing::Test {
  void SetUp() override {
    view = MakeView(620, 877);
    view->SetMouseMode(mmRubberband);
    band = &view->RubberbandHandler();
    view->OnRubberbandChange = [this](const TRect& r) { reports.push_back(r); };
  }
  void ShowPage(int w, int h) {
    TDibGraphic page;
    MakeWhitePage(page, w, h);
    view->AssignGraphic(page);
    reports.clear();
  }
  TRect LastReport() const { return reports.empty() ? TRect{-1, -1, -1, -1} : reports.back(); }

  std::unique_ptr<TImageScrollBox> view;
  TRubberbandMouseHandler* band = nullptr;
  std::vector<TRect> reports;
};

}  // namespace

TEST_F(BandFixture, DragUpLeftIsReportedNormalised) {
  ShowPage(400, 400);
  Drag(*view, 100, 100, 40, 30);
  EXPECT_TRUE(band->BandPresent());
  EXPECT_EQ(LastReport(), (TRect{40, 30, 100, 100}));
  EXPECT_EQ(band->SelectedRect(), (TRect{40, 30, 100, 100}));
  // Normalised on release.
  EXPECT_EQ(band->Corners().X1, 40);
  EXPECT_EQ(band->Corners().Y2, 100);
  // Dragging past the page is clamped to the last display pixel.
  Drag(*view, 10, 10, 900, 900);
  EXPECT_EQ(LastReport(), (TRect{10, 10, 399, 399}));
}

TEST_F(BandFixture, ClickRemovesThenClickStartsOutline) {
  ShowPage(400, 400);
  Drag(*view, 100, 100, 200, 200);
  ASSERT_TRUE(band->BandPresent());
  Click(*view, 300, 300);
  EXPECT_FALSE(band->BandPresent());
  EXPECT_EQ(LastReport(), (TRect{0, 0, 0, 0}));
  EXPECT_FALSE(band->OutlineInProgress());
  const std::size_t count = reports.size();
  Click(*view, 300, 300);
  EXPECT_TRUE(band->OutlineInProgress());
  EXPECT_EQ(band->OutlinePoints().size(), 1u);
  EXPECT_EQ(reports.size(), count);  // a zero-size band is not reported
  band->EndOutline();
  EXPECT_FALSE(band->OutlineInProgress());
  EXPECT_TRUE(band->OutlinePoints().empty());
}

TEST_F(BandFixture, HandlesResizeTheBand) {
  ShowPage(400, 400);
  Drag(*view, 100, 100, 200, 150);
  // Top-left corner: both axes follow the mouse, the far corner stays.
  Drag(*view, 101, 99, 80, 70);
  EXPECT_EQ(LastReport(), (TRect{80, 70, 200, 150}));
  // Right edge: only horizontal.
  Drag(*view, 201, 110, 260, 300);
  EXPECT_EQ(LastReport(), (TRect{80, 70, 260, 150}));
  // Top edge: only vertical.
  Drag(*view, 150, 71, 10, 40);
  EXPECT_EQ(LastReport(), (TRect{80, 40, 260, 150}));
  // Bottom-left corner past the right side flips the band.
  Drag(*view, 80, 150, 300, 160);
  EXPECT_EQ(LastReport(), (TRect{260, 40, 300, 160}));
  // Cursor over a handle.
  Move(*view, 300, 100, Qt::NoButton);
  EXPECT_EQ(view->PageCursor().shape(), Qt::SizeHorCursor);
  Move(*view, 280, 100, Qt::NoButton);
  EXPECT_EQ(band->GrabState(), gcInside);
}

TEST_F(BandFixture, MovedBandStopsAtTheEdge) {
  ShowPage(200, 200);
  Drag(*view, 10, 10, 50, 50);
  Press(*view, 30, 30);
  EXPECT_EQ(band->BandMovement(), 3);
  Move(*view, 100, 31);
  EXPECT_EQ(LastReport(), (TRect{80, 11, 120, 51}));
  Move(*view, 400, 31);  // far past the right edge
  EXPECT_EQ(LastReport(), (TRect{159, 11, 199, 51}));
  Move(*view, 400, 10);  // along the edge: the other axis still follows
  EXPECT_EQ(LastReport(), (TRect{159, 0, 199, 40}));
  Release(*view, 400, 10);
  EXPECT_EQ(band->SelectedRect(), (TRect{159, 0, 199, 40}));
}

TEST_F(BandFixture, ImagePixelsAndZoomChanges) {
  ShowPage(2000, 2000);
  view->SetZoomPercent(50);
  ASSERT_EQ(view->DisplaySize(), (TSize{1000, 1000}));
  Drag(*view, 10, 10, 60, 60);
  EXPECT_EQ(band->SelectedImageRect(), (TRect{20, 20, 120, 120}));
  view->SetZoomPercent(100);
  EXPECT_EQ(band->SelectedRect(), (TRect{20, 20, 120, 120}));
  EXPECT_EQ(LastReport(), (TRect{20, 20, 120, 120}));
  EXPECT_EQ(band->SelectedImageRect(), (TRect{20, 20, 120, 120}));
  view->SetZoomPercent(25);
  EXPECT_EQ(band->SelectedRect(), (TRect{5, 5, 30, 30}));
  // Select all ends on the last image pixel.
  band->SelectAll();
  EXPECT_EQ(band->SelectedRect(), (TRect{0, 0, 499, 499}));
  EXPECT_EQ(band->SelectedImageRect(), (TRect{0, 0, 1999, 1999}));
}

TEST_F(BandFixture, SelectionOperationsAndErrors) {
  ShowPage(400, 300);
  try {
    band->SelectedRect();
    FAIL() << "no exception";
  } catch (const ERegionNotSelected& e) {
    EXPECT_STREQ(e.what(), "A region is not selected");
  }
  try {
    band->CropToSelection(nullptr);
    FAIL() << "no exception";
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "Graphic not assigned!");
  }
  EXPECT_THROW(band->CropToSelection(&view->Graphic()), ERegionNotSelected);

  band->SetSelection(TRect{10, 20, 110, 70});
  EXPECT_EQ(LastReport(), (TRect{10, 20, 109, 69}));
  band->RemoveSelection();
  EXPECT_FALSE(band->BandPresent());
  EXPECT_EQ(LastReport(), (TRect{0, 0, 0, 0}));

  // A fixed area becomes the band, scaled to the display.
  view->SetZoomPercent(50);
  view->AddFixedArea(TRect{40, 60, 240, 160});
  view->SelectFixedArea(0);
  EXPECT_EQ(band->SelectedRect(), (TRect{20, 30, 119, 79}));
  EXPECT_THROW(view->SelectFixedArea(1), EImagingError);
}

TEST_F(BandFixture, CropToSelection) {
  TDibGraphic page;
  MakePageWithBlock(page, 400, 300, 50, 60, 70, 80);
  view->AssignGraphic(page);
  band->SetSelection(TRect{50, 60, 150, 110});
  TDibGraphic source;
  source.Assign(view->Graphic());
  band->CropToSelection(&source);
  EXPECT_FALSE(band->BandPresent());
  const TDibGraphic& g = view->Graphic();
  EXPECT_EQ(g.Width(), 100);
  EXPECT_EQ(g.Height(), 50);
  EXPECT_EQ(g.GetPixelIndex(0, 0), 0);
  EXPECT_EQ(g.GetPixelIndex(19, 19), 0);
  EXPECT_EQ(g.GetPixelIndex(20, 19), 1);
  EXPECT_EQ(view->DisplaySize(), (TSize{100, 50}));
}

TEST_F(BandFixture, MarkedRegions) {
  ShowPage(2000, 2000);
  view->SetZoomPercent(50);
  band->AddSelectionToRegions();  // no band: nothing
  EXPECT_TRUE(band->MarkedRegions().empty());
  Drag(*view, 10, 10, 60, 60);
  band->AddSelectionToRegions();
  EXPECT_FALSE(band->BandPresent());
  EXPECT_EQ(LastReport(), (TRect{0, 0, 0, 0}));
  ASSERT_EQ(band->MarkedRegions().size(), 1u);
  EXPECT_EQ(band->MarkedRegions()[0], (TRect{10, 10, 60, 60}));
  EXPECT_EQ(band->MarkedRegionsInImagePixels()[0], (TRect{20, 20, 120, 120}));
  // Framed in red over the display.
  const QImage shot = view->viewport()->grab().toImage();
  const QPoint p = ViewportPoint(*view, 30, 10);
  EXPECT_EQ(shot.pixel(p) & 0xFFFFFF, 0xFF0000u);
  band->ClearMarkedRegions();
  EXPECT_TRUE(band->MarkedRegions().empty());
}

TEST_F(BandFixture, FreeFormOutline) {
  ShowPage(400, 400);
  int calls = 0, pointsSeen = 0;
  std::vector<TPoint> inImage;
  band->OnOutline = [&](TRubberbandMouseHandler* sender, TImageScrollBox* v, int n) {
    ++calls;
    pointsSeen = n;
    EXPECT_EQ(v, view.get());
    inImage = sender->OutlinePointsInImagePixels();
  };
  Click(*view, 100, 100);  // starts the outline
  ASSERT_TRUE(band->OutlineInProgress());
  Click(*view, 200, 100);
  Click(*view, 200, 200);
  Click(*view, 104, 95);  // within 6 pixels of the first point: closes
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(pointsSeen, 3);
  EXPECT_EQ(inImage, (std::vector<TPoint>{{100, 100}, {200, 100}, {200, 200}}));
  EXPECT_FALSE(band->OutlineInProgress());

  // Two points are too few: closed without the callback.
  Click(*view, 100, 100);
  Click(*view, 200, 100);
  Click(*view, 100, 100);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(band->OutlineInProgress());

  // A segment crossing an earlier edge is refused; the box under the first
  // point ends the outline without the callback.
  Click(*view, 100, 100);
  Click(*view, 200, 100);
  Click(*view, 200, 200);
  Click(*view, 100, 200);
  ASSERT_EQ(band->OutlinePoints().size(), 4u);
  Click(*view, 150, 50);  // would cut the first edge
  EXPECT_EQ(band->OutlinePoints().size(), 4u);
  Click(*view, 100, 115);  // the end box (y from 109 to 122)
  EXPECT_FALSE(band->OutlineInProgress());
  EXPECT_EQ(calls, 1);

  // A closing segment that cuts a middle edge hands nothing over.
  Click(*view, 100, 150);
  Click(*view, 200, 100);
  Click(*view, 200, 200);
  Click(*view, 250, 150);
  ASSERT_EQ(band->OutlinePoints().size(), 4u);
  Click(*view, 100, 150);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(band->OutlineInProgress());
}

TEST_F(BandFixture, MarginOutlineIsDraggedByItsEdges) {
  TDibGraphic page;
  MakeWhitePage(page, 2480, 3508, 300);
  view->SetZoomMode(zmFitToPage);
  view->AssignGraphic(page);
  view->SetShowOutline(true);
  view->SetOutlineMargins(10, 10, 10, 10);
  const TRect o = view->OutlineDisplayRect();
  EXPECT_EQ(o, (TRect{29, 29, 590, 847}));
  Move(*view, o.Left + 1, 400, Qt::NoButton);
  EXPECT_EQ(band->GrabState(), gcOutlineLeft);
  EXPECT_EQ(view->PageCursor().shape(), Qt::SplitHCursor);
  Drag(*view, o.Left + 1, 400, 59, 420);
  EXPECT_FALSE(band->BandPresent());
  // 59 display pixels at 25 % are 236 image pixels: 20 mm at 300 dpi.
  EXPECT_EQ(view->OutlineLeft(), 20);
  EXPECT_EQ(view->OutlineTop(), 10);
  // The bottom-right corner moves two margins, measured from the far edges.
  Move(*view, o.Right, o.Bottom, Qt::NoButton);
  EXPECT_EQ(band->GrabState(), gcOutlineBottomRight);
  Drag(*view, o.Right, o.Bottom, 620 - 59, 877 - 59);
  EXPECT_EQ(view->OutlineRight(), 20);
  EXPECT_EQ(view->OutlineBottom(), 20);
  EXPECT_EQ(view->OutlineLeft(), 20);
}

TEST_F(BandFixture, FloatingPasteIsAndedIntoThePage) {
  TDibGraphic page;
  MakePageWithBlock(page, 200, 200, 0, 0, 200, 10);  // black top strip
  view->AssignGraphic(page);
  TDibGraphic piece;
  MakePageWithBlock(piece, 20, 20, 5, 5, 15, 15);
  TRect target{-1, -1, -1, -1};
  int pastedWidth = 0;
  band->OnPaste = [&](TRubberbandMouseHandler*, TDibGraphic* image, const TRect& r) {
    target = r;
    pastedWidth = image->Width();
  };
  band->Paste(piece);
  ASSERT_TRUE(band->HasFloatingImage());
  EXPECT_EQ(band->SelectedRect(), (TRect{0, 0, 19, 19}));
  // Shown ANDed: the page's black strip shows through the floating white.
  const QImage shot = view->viewport()->grab().toImage();
  EXPECT_EQ(shot.pixel(ViewportPoint(*view, 2, 2)) & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(shot.pixel(ViewportPoint(*view, 10, 12)) & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(shot.pixel(ViewportPoint(*view, 2, 15)) & 0xFFFFFF, 0xFFFFFFu);
  // The page is untouched until the floating image is committed.
  EXPECT_EQ(view->Graphic().GetPixelIndex(10, 12), 1);
  band->CommitFloatingImage();
  EXPECT_FALSE(band->HasFloatingImage());
  EXPECT_EQ(target, (TRect{0, 0, 19, 19}));
  EXPECT_EQ(pastedWidth, 20);
  const TDibGraphic& g = view->Graphic();
  EXPECT_EQ(g.GetPixelIndex(10, 12), 0);  // pasted ink
  EXPECT_EQ(g.GetPixelIndex(2, 2), 0);    // the strip survives the AND
  EXPECT_EQ(g.GetPixelIndex(2, 15), 1);

  // A true-colour paste onto a 1-bit page is converted first; a click
  // outside the band stamps it.
  TDibGraphic colour;
  colour.NewImage(10, 10, ifTrueColor);
  band->Paste(colour);  // all black
  EXPECT_EQ(band->FloatingImage()->ImageFormat(), ifBlackWhite);
  Click(*view, 150, 150);
  EXPECT_FALSE(band->HasFloatingImage());
  EXPECT_EQ(view->Graphic().GetPixelIndex(5, 15), 0);
}

TEST_F(BandFixture, CrossHairAndCentredViews) {
  ShowPage(300, 300);
  Move(*view, 120, 80, Qt::NoButton);
  EXPECT_EQ(band->CrossHairPoint(), (TPoint{120, 80}));
  const QImage shot = view->viewport()->grab().toImage();
  EXPECT_EQ(shot.pixel(ViewportPoint(*view, 10, 80)) & 0xFFFFFF, 0x808080u);
  EXPECT_EQ(shot.pixel(ViewportPoint(*view, 120, 290)) & 0xFFFFFF, 0x808080u);
  band->SetCrossHair(false);
  EXPECT_EQ(band->CrossHairPoint(), (TPoint{-1, -1}));

  // The band is not used on a centred view.
  view->SetCentered(true);
  Drag(*view, 10, 10, 50, 50);
  EXPECT_FALSE(band->BandPresent());
}

TEST_F(BandFixture, NewPageResetsTheBand) {
  ShowPage(300, 300);
  Drag(*view, 10, 10, 50, 50);
  ASSERT_TRUE(band->BandPresent());
  view->Clear();
  EXPECT_FALSE(band->BandPresent());
  EXPECT_EQ(LastReport(), (TRect{0, 0, 0, 0}));
}

TEST_F(BandFixture, BandAndScrollingNeverRescaleThePage) {
  ShowPage(2000, 2000);
  int redraws = 0;
  view->OnRedraw = [&](TDibGraphic*) { ++redraws; };
  Drag(*view, 10, 10, 300, 200);
  Drag(*view, 100, 100, 150, 180);  // move the band
  view->SetVertScrollPos(500);
  view->SetHorzScrollPos(300);
  // Page coordinates follow the scrolled page.
  Press(*view, 400, 600);
  Move(*view, 450, 650);
  Release(*view, 450, 650);
  EXPECT_EQ(LastReport(), (TRect{400, 600, 450, 650}));
  EXPECT_EQ(redraws, 0);
}
