#include "ViewTestSupport.h"

#include <QThread>
#include <cstring>
#include <fstream>

#include "image/GraphicRegistry.h"
#include "image/Stream.h"

std::unique_ptr<TImageScrollBox> MakeView(int w, int h) {
  auto view = std::make_unique<TImageScrollBox>();
  view->setFrameShape(QFrame::NoFrame);
  view->resize(w, h);
  view->show();
  return view;
}

QPoint ViewportPoint(TImageScrollBox& view, int x, int y) { return view.PageOrigin() + QPoint(x, y); }

namespace {

void Send(TImageScrollBox& view, QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers mods) {
  QWidget* vp = view.viewport();
  const QPointF local(ViewportPoint(view, x, y));
  QMouseEvent event(type, local, vp->mapToGlobal(local), button, buttons, mods);
  QApplication::sendEvent(vp, &event);
}

}  // namespace

void Press(TImageScrollBox& view, int x, int y, Qt::KeyboardModifiers mods, Qt::MouseButton button) {
  QTest::mousePress(view.viewport(), button, mods, ViewportPoint(view, x, y));
}

void Move(TImageScrollBox& view, int x, int y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
  Send(view, QEvent::MouseMove, x, y, Qt::NoButton, buttons, mods);
}

void Release(TImageScrollBox& view, int x, int y, Qt::KeyboardModifiers mods, Qt::MouseButton button) {
  QTest::mouseRelease(view.viewport(), button, mods, ViewportPoint(view, x, y));
}

void Drag(TImageScrollBox& view, int x1, int y1, int x2, int y2) {
  Press(view, x1, y1);
  for (int k = 1; k <= 4; ++k) Move(view, x1 + (x2 - x1) * k / 4, y1 + (y2 - y1) * k / 4);
  Release(view, x2, y2);
}

void Click(TImageScrollBox& view, int x, int y) {
  Press(view, x, y);
  Release(view, x, y);
}

void MakePageWithBlock(TDibGraphic& page, int w, int h, int x0, int y0, int x1, int y1, int dpi) {
  page.NewImage(w, h, ifBlackWhite, nullptr, dpi, dpi);
  std::memset(page.Bits(), 0xFF, page.ImageSize());
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) page.SetPixelIndex(x, y, 0);
}

std::atomic<int> TTestFormat::LoadCount{0};
std::atomic<int> TTestFormat::LoadDelayMs{0};

namespace {

class TTestGraphic : public TDibGraphic {
 public:
  const char* ClassName() const override { return "TTestGraphic"; }
  std::unique_ptr<TDibGraphic> NewInstance() const override { return std::make_unique<TTestGraphic>(); }

  int GetImageCount(TStream& stream) override {
    const std::int64_t pos = stream.Position();
    const int count = static_cast<int>(stream.Size() / 4);
    stream.SetPosition(pos);
    return count;
  }
  void LoadImageFromStream(TStream& stream, int imageNumber) override {
    if (TTestFormat::LoadDelayMs > 0) QThread::msleep(static_cast<unsigned long>(TTestFormat::LoadDelayMs.load()));
    stream.SetPosition(static_cast<std::int64_t>(imageNumber - 1) * 4);
    std::uint8_t b[4];
    stream.ReadBuffer(b, 4);
    const int w = b[0] | (b[1] << 8), h = b[2] | (b[3] << 8);
    NewImage(w, h, ifBlackWhite, nullptr, 300, 300);
    std::memset(Bits(), 0xFF, ImageSize());
    SetPixelIndex(0, 0, 0);
    ++TTestFormat::LoadCount;
  }
  void SaveToStream(TStream& stream) override {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(Width()), static_cast<std::uint8_t>(Width() >> 8),
                               static_cast<std::uint8_t>(Height()), static_cast<std::uint8_t>(Height() >> 8)};
    stream.Write(b, 4);
  }
  void AppendToStream(TStream& stream) override {
    stream.Seek(0, TSeekOrigin::soEnd);
    SaveToStream(stream);
  }
};

const TGraphicClass kTestClass{"TTestGraphic",
                               []() -> std::unique_ptr<TDibGraphic> { return std::make_unique<TTestGraphic>(); }};

}  // namespace

void TTestFormat::Register() { RegisterFileFormat("VTST", "View test pages", &kTestClass); }

void TTestFormat::WriteFile(const std::string& fileName, const std::vector<TSize>& pages) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  for (const TSize& s : pages) {
    const char b[4] = {static_cast<char>(s.Width & 0xFF), static_cast<char>(s.Width >> 8),
                       static_cast<char>(s.Height & 0xFF), static_cast<char>(s.Height >> 8)};
    out.write(b, 4);
  }
}
