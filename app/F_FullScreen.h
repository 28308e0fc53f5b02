// TFFullScreen: the full-screen editor with a side panel and tiles. The
// main window's page in a large view on black, with a control panel on the
// right; the page can be cut into tiles ("1:1" or "4등분") shown one at a
// time in a tile view, with an overview map of the tiles, so that specks
// and small areas can be cleared piece by piece. While it is open the main
// window's commands work on the page view, and the main window sends it
// the private message 1801.
#pragma once

#include <QImage>
#include <array>

#include "app/EditorWindows.h"
#include "view/TileGrid.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

class TFFullScreen : public TEditorWindow {
  Q_OBJECT
 public:
  static constexpr int kPanelWidth = 410;
  static constexpr int kBar = 14;

  explicit TFFullScreen(TFViewTrans& window);
  ~TFFullScreen() override;

  TImageScrollBox* PageView() const override { return pageView_; }
  void TakePage(const TDibGraphic& page, const QString& fileName) override;

  TImageScrollBox* TileView() const { return tileView_; }
  // 0 whole page, 1 "1:1", 2 "4등분".
  int TileMode() const { return mode_; }
  const TTileGrid& Grid() const { return grid_; }
  int TileIndex() const { return index_; }
  // The current tile in page pixels (Right/Bottom exclusive).
  TRect TileRectangle() const { return tile_; }
  const QImage& Overview() const { return overview_; }
  QWidget* PaintBox() const { return paintBox_; }
  // What the paint box shows (its whole surface).
  QImage PaintBoxImage() const;

  QRadioButton* ViewChoice(int item) const { return viewChoice_[static_cast<std::size_t>(item)]; }
  QRadioButton* TileChoice(int item) const { return tileChoice_[static_cast<std::size_t>(item)]; }
  QRadioButton* MouseChoice(int item) const { return mouseChoice_[static_cast<std::size_t>(item)]; }
  // Check boxes: 0 inverted, 1 grid, 2 smoothing, 3 cross-hair, 4 outline,
  // 5 fixed areas.
  QCheckBox* CheckBox(int index) const { return checks_[static_cast<std::size_t>(index)]; }
  TNumberField* ParameterField(int tag) const;
  QLabel* StatusText() const { return status_; }
  QPushButton* CloseButton() const { return closeButton_; }
  // Frame bars by tag: 1 top, 2 right, 3 bottom, 4 left; corners 11..14.
  QLabel* FrameBar(int tag) const;

 protected:
  void customEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildPanel(QWidget* panel);
  void BuildFrame();
  void Message(int code, long long parameter);
  void Relayout();
  void PlaceBars();
  void ChooseTileMode(int mode);
  void ComputeGrid();
  void ShowTile(int index);
  void RebuildOverview();
  void ClearInsideTile();
  void TilePasted(TDibGraphic* image, const TRect& target);
  void MouseModeChanged(int mode);
  void PointerMoved(TImageScrollBox* view, int x, int y);
  bool TileKey(int key, bool ctrl, bool shift);
  void PaintTheBox();

  TImageScrollBox* pageView_ = nullptr;
  TImageScrollBox* tileView_ = nullptr;
  QWidget* area_ = nullptr;
  QWidget* paintBox_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  std::array<QLabel*, 4> bars_{};     // tags 1..4
  std::array<QLabel*, 4> corners_{};  // tags 11..14
  std::array<QRadioButton*, 2> viewChoice_{};
  std::array<QRadioButton*, 3> tileChoice_{};
  std::array<QRadioButton*, 3> mouseChoice_{};
  std::array<QCheckBox*, 6> checks_{};
  TParameterFields fields_{};

  int mode_ = tmWhole;
  TTileGrid grid_;
  int index_ = 0;
  TRect tile_;
  QImage overview_;
  QImage magnified_;  // the paint box's surface in whole mode
};
