#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <random>

#include "correction/NoiseData.h"
#include "support/TestSupport.h"

namespace {

// Plain reference: flood fill with 8-connectivity over GetPixelIndex.
std::vector<TComponentBox> ReferenceBoxes(const TDibGraphic& image) {
  const int w = image.Width(), h = image.Height();
  std::vector<char> seen(static_cast<std::size_t>(w) * h, 0);
  std::vector<TComponentBox> boxes;
  std::vector<std::pair<int, int>> stack;
  // Groups in the order their first pixel is met in reading order.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (seen[static_cast<std::size_t>(y) * w + x] || image.GetPixelIndex(x, y) != 0) continue;
      TComponentBox box{x, y, x, y};
      stack.push_back({x, y});
      seen[static_cast<std::size_t>(y) * w + x] = 1;
      while (!stack.empty()) {
        auto [cx, cy] = stack.back();
        stack.pop_back();
        box.Left = std::min(box.Left, cx);
        box.Right = std::max(box.Right, cx);
        box.Top = std::min(box.Top, cy);
        box.Bottom = std::max(box.Bottom, cy);
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            int nx = cx + dx, ny = cy + dy;
            if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            char& s = seen[static_cast<std::size_t>(ny) * w + nx];
            if (s || image.GetPixelIndex(nx, ny) != 0) continue;
            s = 1;
            stack.push_back({nx, ny});
          }
      }
      boxes.push_back(box);
    }
  // Finished by last row; on one row the newest group first.
  std::vector<std::size_t> order(boxes.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return boxes[a].Bottom != boxes[b].Bottom ? boxes[a].Bottom < boxes[b].Bottom : a > b;
  });
  std::vector<TComponentBox> sorted;
  for (std::size_t i : order) sorted.push_back(boxes[i]);
  return sorted;
}

// The row-by-row component scan written out plainly (records with parent
// links, matches against the previous row's runs, finishing from the last
// active record to the first), giving its largest box: the first finished
// box wins a tie.
TRect ScanLargestComponent(const TDibGraphic& image) {
  struct Record {
    int Parent = -1;
    bool HasChildren = false;
    int Top, Left, Right, Bottom, RunStart, RunEnd, PrevStart = -1, PrevEnd = -1;
  };
  std::vector<Record> records;  // every record ever made; lists hold indices
  std::vector<int> active, finished;
  auto addRun = [&](int x1, int x2, int y) {
    std::vector<int> matches;
    for (int i = 0; i < static_cast<int>(active.size()); ++i) {
      const Record& r = records[static_cast<std::size_t>(active[static_cast<std::size_t>(i)])];
      if (x1 <= r.PrevEnd + 1 && x2 >= r.PrevStart - 1) matches.push_back(i);
    }
    auto take = [&](Record& r) {
      r.Bottom = y;
      r.RunStart = x1;
      r.RunEnd = x2;
      r.Left = std::min(r.Left, x1);
      r.Right = std::max(r.Right, x2);
    };
    if (matches.empty()) {
      records.push_back({-1, false, y, x1, x2, y, x1, x2});
      active.push_back(static_cast<int>(records.size()) - 1);
    } else if (matches.size() == 1) {
      const int ri = active[static_cast<std::size_t>(matches[0])];
      if (records[static_cast<std::size_t>(ri)].Bottom != y) {
        take(records[static_cast<std::size_t>(ri)]);
      } else {
        Record child = records[static_cast<std::size_t>(ri)];
        child = {ri, false, child.Top, std::min(child.Left, x1), std::max(child.Right, x2), y, x1, x2};
        records[static_cast<std::size_t>(ri)].HasChildren = true;
        records.push_back(child);
        active.push_back(static_cast<int>(records.size()) - 1);
      }
    } else {
      Record& f = records[static_cast<std::size_t>(active[static_cast<std::size_t>(matches[0])])];
      take(f);
      for (std::size_t k = matches.size() - 1; k >= 1; --k) {
        const std::size_t at = static_cast<std::size_t>(matches[k]);
        const Record& m = records[static_cast<std::size_t>(active[at])];
        if (m.HasChildren) continue;
        f.Top = std::min(f.Top, m.Top);
        f.Left = std::min(f.Left, m.Left);
        f.Right = std::max(f.Right, m.Right);
        active.erase(active.begin() + static_cast<std::ptrdiff_t>(at));
      }
    }
  };
  auto endRow = [&](int y) {
    for (int i = static_cast<int>(active.size()) - 1; i >= 0; --i) {
      Record& r = records[static_cast<std::size_t>(active[static_cast<std::size_t>(i)])];
      r.PrevStart = r.RunStart;
      r.PrevEnd = r.RunEnd;
      if (r.Bottom != y) {
        finished.push_back(active[static_cast<std::size_t>(i)]);
        active.erase(active.begin() + i);
      }
    }
  };
  for (int y = 0; y < image.Height(); ++y) {
    int start = -2, end = -2;
    for (int x = 0; x < image.Width(); ++x) {
      if (image.GetPixelIndex(x, y) == 0) {
        end = x;
        if (start < 0) start = x;
        if (x == image.Width() - 1) addRun(start, end, y);
      } else if (x - 1 == end) {
        addRun(start, end, y);
        start = end = -2;
      }
    }
    endRow(y);
  }
  endRow(image.Height());
  // Children fold into the root of their chain.
  std::vector<int> roots;
  for (int i : finished) {
    int root = i;
    while (records[static_cast<std::size_t>(root)].Parent >= 0) root = records[static_cast<std::size_t>(root)].Parent;
    Record& r = records[static_cast<std::size_t>(root)];
    const Record& c = records[static_cast<std::size_t>(i)];
    r.Top = std::min(r.Top, c.Top);
    r.Left = std::min(r.Left, c.Left);
    r.Right = std::max(r.Right, c.Right);
    r.Bottom = std::max(r.Bottom, c.Bottom);
    if (root == i) roots.push_back(i);
  }
  TRect best{};
  int bestSize = -1;
  for (int i : roots) {
    const Record& r = records[static_cast<std::size_t>(i)];
    if ((r.Bottom - r.Top) + (r.Right - r.Left) > bestSize) {
      bestSize = (r.Bottom - r.Top) + (r.Right - r.Left);
      best = TRect{r.Left, r.Top, r.Right, r.Bottom};
    }
  }
  return best;
}

std::vector<TComponentBox> Boxes(TDibGraphic& image, int threshold = 216) {
  TNoiseData data(image, threshold);
  data.FindComponents();
  return data.Finished();
}

// Reads a 1-bit TIFF page straight through libtiff (ink = bit 0).
void LoadBilevelTiff(const std::string& path, TDibGraphic& image) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  uint32_t w = 0, h = 0;
  uint16_t photometric = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  image.NewImage(static_cast<int>(w), static_cast<int>(h), ifBlackWhite, nullptr, 300, 300);
  std::vector<uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif)));
  for (uint32_t y = 0; y < h; ++y) {
    ASSERT_EQ(TIFFReadScanline(tif, line.data(), y), 1);
    uint8_t* row = image.ScanLine(static_cast<int>(y));
    for (std::size_t i = 0; i < line.size(); ++i)
      row[i] = photometric == PHOTOMETRIC_MINISWHITE ? static_cast<uint8_t>(~line[i]) : line[i];
  }
  TIFFClose(tif);
}

}  // namespace

TEST(NoiseData, EmptyFullAndSinglePixelPages) {
  TDibGraphic page;
  MakeWhitePage(page, 40, 10);
  EXPECT_TRUE(Boxes(page).empty());

  std::fill(page.Bits(), page.Bits() + page.ImageSize(), 0x00);
  ASSERT_EQ(Boxes(page).size(), 1u);
  EXPECT_EQ(Boxes(page)[0], (TComponentBox{0, 0, 39, 9}));

  MakeWhitePage(page, 40, 10);
  page.SetPixelIndex(17, 4, 0);
  ASSERT_EQ(Boxes(page).size(), 1u);
  EXPECT_EQ(Boxes(page)[0], (TComponentBox{17, 4, 17, 4}));
}

TEST(NoiseData, EightConnectivityAndGaps) {
  TDibGraphic page;
  MakePageFromText(page, {"#...", ".#..", "...."});
  EXPECT_EQ(Boxes(page).size(), 1u) << "corner contact joins";
  MakePageFromText(page, {"#.#."});
  EXPECT_EQ(Boxes(page).size(), 2u) << "one column apart stays apart";
  MakePageFromText(page, {"...#", "..##"});
  ASSERT_EQ(Boxes(page).size(), 1u);
  EXPECT_EQ(Boxes(page)[0], (TComponentBox{2, 0, 3, 1})) << "run closed by the page edge";
}

TEST(NoiseData, ShapesThatForkAndMergeGiveOneBox) {
  const std::vector<std::vector<std::string>> shapes = {
      {"#...#...#", "#...#...#", ".#.#.#.#.", "..#...#.."},                           // W
      {"###.###", "#..#..#", "#..#..#", "#..#..#"},                                   // m
      {"####", "#...", "###.", "#...", "####"},                                       // E
      {"..#..", ".#.#.", "#...#"},                                                    // inverted V
      {"#######", "#.....#", "#.###.#", "#.#.#.#", "#.#...#", "#.#####", "#......"},  // spiral
      {"#.#.#.#", "#######"},                                                         // comb joined below
  };
  for (const auto& shape : shapes) {
    TDibGraphic page;
    MakePageFromText(page, shape);
    auto boxes = Boxes(page);
    ASSERT_EQ(boxes.size(), 1u) << shape[0];
    EXPECT_EQ(boxes, ReferenceBoxes(page)) << shape[0];
  }
}

TEST(NoiseData, RandomPagesMatchFloodFill) {
  std::mt19937 rng(42);
  for (int width : {1, 7, 31, 63, 64, 65, 127, 130}) {
    for (int density : {10, 35, 55}) {
      TDibGraphic page;
      MakeWhitePage(page, width, 37);
      std::uniform_int_distribution<int> pct(0, 99);
      for (int y = 0; y < page.Height(); ++y)
        for (int x = 0; x < width; ++x)
          if (pct(rng) < density) page.SetPixelIndex(x, y, 0);
      EXPECT_EQ(Boxes(page), ReferenceBoxes(page)) << "width " << width << " density " << density;
    }
  }
}

TEST(NoiseData, PaddingBitsAreNotInk) {
  TDibGraphic page;
  MakeWhitePage(page, 3, 2);
  std::fill(page.Bits(), page.Bits() + page.ImageSize(), 0x00);  // padding bits black
  for (int y = 0; y < 2; ++y) page.ScanLine(y)[0] = 0xE0;        // the 3 pixels white
  EXPECT_TRUE(Boxes(page).empty());
}

TEST(NoiseData, LargestComponentAndTies) {
  TDibGraphic page;
  MakePageFromText(page, {"##....##", "........", "...###..", "........", "#......."});
  TNoiseData data(page, 216);
  data.FindComponents();
  EXPECT_EQ(data.LargestComponent(), (TRect{3, 2, 5, 2}));
  MakePageFromText(page, {"..##", "....", "##..", "...."});
  TNoiseData tie(page, 216);
  tie.FindComponents();
  EXPECT_EQ(tie.LargestComponent(), (TRect{2, 0, 3, 0})) << "the box ending first wins a tie";
  MakeWhitePage(page, 5, 5);
  TNoiseData none(page, 216);
  none.FindComponents();
  EXPECT_EQ(none.LargestComponent(), (TRect{0, 0, 0, 0}));
}

TEST(NoiseData, LargestComponentTiesFollowTheScanOrder) {
  // Pages of separate small blocks, many of them equally large and ending
  // on the same row.
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> side(1, 3);
  int pagesWithTies = 0;
  for (int n = 0; n < 400; ++n) {
    TDibGraphic page;
    MakeWhitePage(page, 40, 24);
    std::uniform_int_distribution<int> xs(0, 36), ys(0, 20);
    for (int k = 0; k < 12; ++k) {
      const int x = xs(rng), y = ys(rng), w = side(rng), h = side(rng);
      bool clear = true;
      for (int yy = std::max(0, y - 1); yy <= std::min(23, y + h) && clear; ++yy)
        for (int xx = std::max(0, x - 1); xx <= std::min(39, x + w) && clear; ++xx)
          clear = page.GetPixelIndex(xx, yy) != 0;
      if (!clear) continue;
      for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx) page.SetPixelIndex(xx, yy, 0);
    }
    const TRect expected = ScanLargestComponent(page);
    TNoiseData data(page, 216);
    data.FindComponents();
    const std::vector<TComponentBox>& boxes = data.Finished();
    const auto size = [](const TComponentBox& b) { return (b.Bottom - b.Top) + (b.Right - b.Left); };
    int largest = -1;
    for (const TComponentBox& b : boxes) largest = std::max(largest, size(b));
    pagesWithTies +=
        std::count_if(boxes.begin(), boxes.end(), [&](const TComponentBox& b) { return size(b) == largest; }) > 1;
    ASSERT_EQ(data.LargestComponent(), expected) << "page " << n;
  }
  EXPECT_GT(pagesWithTies, 20) << "the pages must exercise ties";
}

TEST(NoiseData, TrueColourDarknessAndWhitening) {
  TDibGraphic page;
  page.NewImage(4, 1, ifTrueColor);
  page.SetPixel(0, 0, RgbColor(200, 200, 200));  // grey 200: dark under 216
  page.SetPixel(1, 0, RgbColor(230, 220, 220));  // light: painted white
  page.SetPixel(2, 0, RgbColor(255, 0, 0));      // grey 76: dark
  page.SetPixel(3, 0, RgbColor(216, 216, 216));  // grey 216: not below the threshold
  auto boxes = Boxes(page, 216);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(page.GetPixel(1, 0), 0xFFFFFFu);
  EXPECT_EQ(page.GetPixel(3, 0), 0xFFFFFFu);
  EXPECT_EQ(page.GetPixel(0, 0), RgbColor(200, 200, 200));
  EXPECT_EQ(GreyOf(255, 0, 0), 76);
}

TEST(NoiseData, OtherFormatsGiveNothingAndStayUnchanged) {
  TDibGraphic page;
  page.NewImage(8, 8, ifGray256);
  EXPECT_TRUE(Boxes(page).empty());
  EXPECT_EQ(page.GetPixelIndex(3, 3), 0);
}

TEST(NoiseData, RealScannedPageMatchesFloodFill) {
  TDibGraphic page;
  LoadBilevelTiff(SharedFile("testdata/tiff/real-phototest-none-1bit-200dpi.tif"), page);
  auto boxes = Boxes(page);
  auto reference = ReferenceBoxes(page);
  EXPECT_GT(boxes.size(), 100u);
  EXPECT_EQ(boxes, reference);
}

TEST(PageUnits, MillimetresAndPixels) {
  TDibGraphic page;
  page.NewImage(2480, 3508, ifBlackWhite, nullptr, 300, 300);
  EXPECT_EQ(page.XPelsPerMeter(), 11811);
  EXPECT_EQ(MmToPixels(page, TPoint{10, 10}), (TPoint{118, 118}));
  EXPECT_EQ(MmToPixels(page, TPoint{210, 297}), (TPoint{2480, 3508}));
  EXPECT_EQ(PixelsToMm(page, 118), 10);
  EXPECT_EQ(PixelsToMm(page, 2480), 210);
  TRect r;
  // Argument order: top, bottom, out, right, left.
  MarginsToRect(page, 10, 20, r, 5, 1);
  EXPECT_EQ(r, (TRect{12, 118, 2480 - 59, 3508 - 236}));
  page.SetYDotsPerInch(600);
  EXPECT_EQ(MmToPixels(page, TPoint{10, 10}), (TPoint{118, 236})) << "y uses the vertical resolution";
}
