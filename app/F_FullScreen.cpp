#include "app/F_FullScreen.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "app/KeyboardMap.h"
#include "app/NumberField.h"
#include "app/ViewTransMessage.h"
#include "correction/Borders.h"
#include "image/Canvas.h"
#include "image/ImagingHooks.h"
#include "image/transforms/CropTransform.h"
#include "view/DibQImage.h"
#include "view/ImageScrollBox.h"
#include "view/Magnifier.h"
#include "view/RubberbandMouseHandler.h"

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

const TCommand kCheckToggles[6] = {TCommand::ToggleInvert,    TCommand::ToggleGrid,    TCommand::ToggleSmooth,
                                   TCommand::ToggleCrosshair, TCommand::ToggleOutline, TCommand::ToggleFixed};
const char* const kCheckCaptions[6] = {"반전된 이미지로 보기", "격자 보기(Grid)", "부드럽게 보기(AntiAlised)",
                                       "십자선 보기",          "테두리선 보기",   "고정영역 보기"};

void SetColours(QWidget* w, const QColor& background, const QColor& text) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, background);
  p.setColor(QPalette::WindowText, text);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

QLabel* PanelLabel(const char* text, QWidget* parent) {
  auto* label = new QLabel(Utf8(text), parent);
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, Qt::white);
  label->setPalette(p);
  return label;
}

// Exclusive right/bottom from the band's inclusive ones.
TRect Exclusive(const TRect& r) { return TRect{r.Left, r.Top, r.Right + 1, r.Bottom + 1}; }

TRect Moved(const TRect& r, int dx, int dy) { return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy}; }

}  // namespace

TFFullScreen::TFFullScreen(TFViewTrans& window) : TEditorWindow(window, "TFFullScreen") {
  SetColours(this, Qt::black, Qt::white);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  area_ = new QWidget(this);
  area_->setObjectName("EditArea");
  SetColours(area_, Qt::black, Qt::white);
  layout->addWidget(area_, 1);
  auto* panel = new QWidget(this);
  panel->setObjectName("RightPanel");
  panel->setFixedWidth(kPanelWidth);
  {
    // Black panel: every control inherits light text on dark faces.
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Base, QColor(40, 40, 40));
    p.setColor(QPalette::Button, QColor(64, 64, 64));
    p.setColor(QPalette::ButtonText, Qt::white);
    panel->setPalette(p);
    panel->setAutoFillBackground(true);
  }
  layout->addWidget(panel);

  pageView_ = new TImageScrollBox(area_);
  pageView_->setObjectName("PageView");
  pageView_->SetAntiAliased(false);
  pageView_->SetMouseMode(mmNone);
  pageView_->SetMouseHandler(std::make_unique<TRubberbandMouseHandler>(pageView_));
  pageView_->SetZoomMode(zmFitToPage);
  tileView_ = new TImageScrollBox(area_);
  tileView_->setObjectName("TileView");
  tileView_->setProperty("tag", 20);
  tileView_->SetMouseMode(mmNone);
  {
    auto band = std::make_unique<TRubberbandMouseHandler>(tileView_);
    band->OnPaste = [this](TRubberbandMouseHandler*, TDibGraphic* image, const TRect& target) {
      if (image) TilePasted(image, target);
    };
    band->OnOutline = [this](TRubberbandMouseHandler* sender, TImageScrollBox* view, int count) {
      if (window_.OnOutlineFinished) window_.OnOutlineFinished(sender, view, count);
    };
    tileView_->SetMouseHandler(std::move(band));
  }
  tileView_->SetZoomMode(zmFitToPage);
  tileView_->SetPageCursor(InnerCursor());
  tileView_->hide();
  BuildFrame();
  BuildPanel(panel);

  pageView_->OnImageMouseMove = [this](TImageScrollBox* v, Qt::KeyboardModifiers, int x, int y) {
    PointerMoved(v, x, y);
  };
  tileView_->OnImageMouseMove = pageView_->OnImageMouseMove;
  pageView_->OnImageMouseUp = [this](TImageScrollBox* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                                     int x, int y) {
    ForwardRelease(window_, sender, button, shift, x, y);
    RefreshParameterFields(window_, fields_);
  };
  pageView_->OnImageDblClick = [this](TImageScrollBox* sender) { ForwardDoubleClick(window_, sender); };
  tileView_->OnImageMouseUp = [this](TImageScrollBox*, Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
    if (mode_ == tmWhole) return;
    if (button == Qt::RightButton) {
      // In the tile view the right button alternates between normal
      // selection and clearing inside.
      window_.Execute(TCommand::MouseCycle);
      if (window_.MouseMode() == 20) window_.Execute(TCommand::MouseCycle);
    } else if (button == Qt::LeftButton && window_.MouseMode() == 30) {
      ClearInsideTile();
    }
  };
  pageView_->OnNewGraphic = [this](TDibGraphic*) { PostViewTransMessage(this, mode_ == tmWhole ? 10 : 91); };
  pageView_->OnRedraw = [this](TDibGraphic*) {
    if (mode_ == tmWhole) {
      PlaceBars();
      return;
    }
    RebuildOverview();
    PostViewTransMessage(this, 90);
  };
  tileView_->OnRedraw = [this](TDibGraphic*) {
    if (mode_ != tmWhole) PlaceBars();
  };
  tileView_->viewport()->installEventFilter(this);
  paintBox_->installEventFilter(this);
  qApp->installEventFilter(this);

  RefreshParameterFields(window_, fields_);
  if (window_.ActiveView() == TActiveView::Result) viewChoice_[1]->setChecked(true);
  window_.ApplyDisplayOptions(pageView_);
  window_.ApplyDisplayOptions(tileView_);
  pageView_->SetZoomMode(zmFitToPage);
  tileView_->SetZoomMode(zmFitToPage);
  const int mode = window_.MouseMode();
  mouseChoice_[static_cast<std::size_t>(mode / 10 - 1 >= 0 && mode / 10 - 1 < 3 ? mode / 10 - 1 : 0)]->setChecked(true);
  // A toggle of the main window applies all its options to the page view,
  // its zoom among them; the page view always fits the page.
  connect(&window_, &TFViewTrans::DisplayOptionChanged, this, [this] { pageView_->SetZoomMode(zmFitToPage); });
  connect(&window_, &TFViewTrans::ZoomModeChanged, this, [this] { pageView_->SetZoomMode(zmFitToPage); });
  connect(&window_, &TFViewTrans::MouseModeChanged, this, [this](int m) { MouseModeChanged(m); });
}

TFFullScreen::~TFFullScreen() { qApp->removeEventFilter(this); }

QLabel* TFFullScreen::FrameBar(int tag) const {
  if (tag >= 1 && tag <= 4) return bars_[static_cast<std::size_t>(tag - 1)];
  if (tag >= 11 && tag <= 14) return corners_[static_cast<std::size_t>(tag - 11)];
  return nullptr;
}

void TFFullScreen::BuildFrame() {
  for (int i = 0; i < 4; ++i) {
    auto* bar = new QLabel(area_);
    bar->setObjectName(QString("FrameBar%1").arg(i + 1));
    bar->setProperty("tag", i + 1);
    SetColours(bar, Qt::gray, Qt::white);
    if (i == 0) bar->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bars_[static_cast<std::size_t>(i)] = bar;
    auto* corner = new QLabel(area_);
    corner->setObjectName(QString("Corner%1").arg(i + 11));
    corner->setProperty("tag", i + 11);
    SetColours(corner, QColor(0xC0, 0xC0, 0xC0), Qt::black);
    corners_[static_cast<std::size_t>(i)] = corner;
  }
  // A press on a bar starts a selection at the matching edge of the page
  // shown: the tile in the tile modes, else the whole page.
  auto visible = [this] { return mode_ == tmWhole ? pageView_ : tileView_; };
  auto at = [visible](int x, int y) {
    TImageScrollBox* v = visible();
    return v->PageOrigin() + QPoint(x, y);
  };
  auto last = [visible] {
    const TSize d = visible()->DisplaySize();
    return QPoint(d.Width - 1, d.Height - 1);
  };
  new TEdgePress(bars_[0], visible, [visible, at](QPoint p) {
    const int x = p.x() - kBar;
    return x >= 0 && x < visible()->DisplaySize().Width ? at(x, 0) : QPoint(-1, -1);
  });
  new TEdgePress(bars_[1], visible, [at, last](QPoint p) { return at(last().x(), p.y()); });
  new TEdgePress(bars_[2], visible, [visible, at, last](QPoint p) {
    const int x = p.x() - kBar;
    return x >= 0 && x < visible()->DisplaySize().Width ? at(x, last().y()) : QPoint(-1, -1);
  });
  new TEdgePress(bars_[3], visible, [at](QPoint p) { return at(0, p.y()); });
  new TEdgePress(corners_[0], visible, [at](QPoint) { return at(0, 0); });
  new TEdgePress(corners_[1], visible, [at, last](QPoint) { return at(last().x(), 0); });
  new TEdgePress(corners_[2], visible, [at, last](QPoint) { return at(last().x(), last().y()); });
  new TEdgePress(corners_[3], visible, [at, last](QPoint) { return at(0, last().y()); });
}

void TFFullScreen::BuildPanel(QWidget* panel) {
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(8, 8, 8, 8);
  column->setSpacing(6);
  closeButton_ = new QPushButton(Utf8("닫 기(Ctrl +F4)"), panel);
  closeButton_->setObjectName("CloseButton");
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
  column->addWidget(closeButton_);

  auto choice = [&](const char* title, std::initializer_list<const char*> items, auto& buttons, const char* name) {
    auto* box = new QGroupBox(title ? Utf8(title) : QString(), panel);
    box->setObjectName(name);
    auto* row = new QHBoxLayout(box);
    auto* group = new QButtonGroup(box);
    int i = 0;
    for (const char* item : items) {
      auto* b = new QRadioButton(Utf8(item), box);
      group->addButton(b, i);
      row->addWidget(b);
      buttons[static_cast<std::size_t>(i++)] = b;
    }
    buttons[0]->setChecked(true);
    column->addWidget(box);
    return group;
  };
  QButtonGroup* views = choice(nullptr, {"원본 이미지", "수정된 이미지"}, viewChoice_, "ViewChoice");
  connect(views, &QButtonGroup::idClicked, this, [this](int item) {
    if (!SwitchEditorView(window_, item == 0 ? TActiveView::Source : TActiveView::Result))
      viewChoice_[item == 0 ? 1u : 0u]->setChecked(true);
  });

  auto* checks = new QWidget(panel);
  auto* grid = new QGridLayout(checks);
  grid->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < 6; ++i) {
    auto* box = new QCheckBox(Utf8(kCheckCaptions[i]), checks);
    grid->addWidget(box, i / 2, i % 2);
    checks_[static_cast<std::size_t>(i)] = box;
    const TCommand toggle = kCheckToggles[i];
    connect(box, &QCheckBox::clicked, this, [this, toggle](bool on) {
      switch (toggle) {
        case TCommand::ToggleInvert:
          pageView_->SetInvert(on);
          tileView_->SetInvert(on);
          break;
        case TCommand::ToggleGrid:
          pageView_->SetShowGrid(on);
          tileView_->SetShowGrid(on);
          break;
        case TCommand::ToggleSmooth:
          pageView_->SetAntiAliased(on);
          tileView_->SetAntiAliased(on);
          break;
        case TCommand::ToggleCrosshair:
          window_.Band(pageView_).SetCrossHair(on);
          window_.Band(tileView_).SetCrossHair(on);
          break;
        case TCommand::ToggleOutline:
          pageView_->SetShowOutline(on);
          break;
        default:
          pageView_->SetShowFixedAreas(on);
          break;
      }
      SetMainToggle(window_, toggle, on);
    });
  }
  column->addWidget(checks);

  QButtonGroup* tiles = choice(nullptr, {"전체", "1:1", "4등분"}, tileChoice_, "TileChoice");
  connect(tiles, &QButtonGroup::idClicked, this, [this](int item) { ChooseTileMode(item); });

  auto* options = new QPushButton(Utf8("환 경 설 정 ( H )"), panel);
  options->setObjectName("OptionsButton");
  connect(options, &QPushButton::clicked, this, [this] { window_.Execute(TCommand::Options); });
  column->addWidget(options);

  QButtonGroup* modes = choice("마우스모드'", {"일반선택", "외부제거", "내부제거"}, mouseChoice_, "MouseChoice");
  connect(modes, &QButtonGroup::idClicked, this, [this](int item) { window_.SetMouseMode((item + 1) * 10); });

  // The parameter fields: speck, margins, angle, shift.
  auto* fieldsBox = new QWidget(panel);
  auto* fg = new QGridLayout(fieldsBox);
  fg->setContentsMargins(0, 0, 0, 0);
  const char* hints[8] = {"잡티 넓이",     "잡티 높이",     "테두리 왼쪽", "테두리 위쪽",
                          "테두리 오른쪽", "테두리 아래쪽", "회전각도",    "이동거리"};
  for (std::size_t i = 0; i < 8; ++i) {
    fields_[i] = CreateParameterField(window_, kParameterTags[i], Utf8(hints[i]), fieldsBox);
    fields_[i]->setFixedWidth(kParameterTags[i] == 30 ? 52 : 44);
  }
  auto row = [&](int r, const char* caption, std::initializer_list<int> indices, const char* unit) {
    fg->addWidget(PanelLabel(caption, fieldsBox), r, 0);
    int c = 1;
    for (int i : indices) fg->addWidget(fields_[static_cast<std::size_t>(i)], r, c++);
    fg->addWidget(PanelLabel(unit, fieldsBox), r, 5);
  };
  row(0, "잡티", {0, 1}, "px");
  row(1, "테두리", {2, 3, 4, 5}, "mm");
  row(2, "회전", {6}, "°");
  row(3, "이동", {7}, "mm");
  column->addWidget(fieldsBox);

  status_ = new QLabel(panel);
  status_->setObjectName("StatusText");
  status_->setWordWrap(true);
  QFont underlined = status_->font();
  underlined.setUnderline(true);
  status_->setFont(underlined);
  QPalette sp = status_->palette();
  sp.setColor(QPalette::WindowText, QColor(0xC0, 0xC0, 0xC0));
  status_->setPalette(sp);
  status_->setMinimumHeight(2 * status_->fontMetrics().height());
  column->addWidget(status_);

  paintBox_ = new QWidget(panel);
  paintBox_->setObjectName("PaintBox");
  paintBox_->setMinimumHeight(200);
  paintBox_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  column->addWidget(paintBox_, 1);
}

TNumberField* TFFullScreen::ParameterField(int tag) const {
  for (std::size_t i = 0; i < kParameterTags.size(); ++i)
    if (kParameterTags[i] == tag) return fields_[i];
  return nullptr;
}

void TFFullScreen::TakePage(const TDibGraphic& page, const QString& fileName) {
  fileName_ = fileName;
  setWindowTitle(fileName);
  pageView_->AssignGraphic(page);
  status_->setText(EditorStatusText(window_, pageView_, fileName_, 0, 0));
}

void TFFullScreen::showEvent(QShowEvent* event) {
  TEditorWindow::showEvent(event);
  // The check boxes show the page view's options (no handlers run).
  const bool states[6] = {pageView_->Invert(),      pageView_->ShowGrid(),
                          pageView_->AntiAliased(), window_.Band(pageView_).CrossHair(),
                          pageView_->ShowOutline(), pageView_->ShowFixedAreas()};
  for (int i = 0; i < 6; ++i) {
    QSignalBlocker block(checks_[static_cast<std::size_t>(i)]);
    checks_[static_cast<std::size_t>(i)]->setChecked(states[i]);
  }
  PostViewTransMessage(this, 10);
}

void TFFullScreen::resizeEvent(QResizeEvent* event) {
  TEditorWindow::resizeEvent(event);
  PostViewTransMessage(this, 10);
}

// --- messages ----------------------------------------------------------------------

void TFFullScreen::customEvent(QEvent* event) {
  if (event->type() == TViewTransMessage::kType) {
    auto* message = static_cast<TViewTransMessage*>(event);
    Message(message->WParam, message->LParam);
    return;
  }
  TEditorWindow::customEvent(event);
}

void TFFullScreen::Message(int code, long long parameter) {
  const int count = grid_.Count();
  switch (code) {
    case 10:
      Relayout();
      break;
    case 20:
      if (mode_ != tmWhole && index_ < count - 1) ShowTile(index_ + 1);
      break;
    case 30:
      if (mode_ != tmWhole && index_ > 0) ShowTile(index_ - 1);
      break;
    case 40:
      if (mode_ != tmWhole && index_ - grid_.Columns >= 0) ShowTile(index_ - grid_.Columns);
      break;
    case 50:
      if (mode_ != tmWhole && index_ + grid_.Columns < count) ShowTile(index_ + grid_.Columns);
      break;
    case 90:
      if (mode_ != tmWhole) ShowTile(index_);
      break;
    case 91:
      if (mode_ != tmWhole) ComputeGrid();
      break;
    case 100:
      MouseModeChanged(static_cast<int>(parameter));
      break;
    case 200:
      RebuildOverview();
      paintBox_->update();
      break;
    default:
      break;
  }
}

void TFFullScreen::MouseModeChanged(int mode) {
  TRubberbandMouseHandler& band = window_.Band(tileView_);
  band.RemoveSelection();
  band.SetShowHandles(mode == 10);
  tileView_->SetPageCursor(mode == 10 ? QCursor(Qt::ArrowCursor) : InnerCursor());
  if (mode >= 10 && mode <= 30) mouseChoice_[static_cast<std::size_t>(mode / 10 - 1)]->setChecked(true);
}

// --- layout ----------------------------------------------------------------------------

void TFFullScreen::Relayout() {
  const QRect inner = area_->rect().adjusted(kBar, kBar, -kBar, -kBar);
  if (mode_ == tmWhole) {
    tileView_->hide();
    pageView_->setGeometry(inner);
    pageView_->show();
  } else {
    // The page view stays underneath, so that commands still redraw it.
    pageView_->setGeometry(inner);
    pageView_->show();
    tileView_->setGeometry(inner);
    tileView_->show();
    tileView_->raise();
  }
  PlaceBars();
}

// The bars frame the page as shown.
void TFFullScreen::PlaceBars() {
  TImageScrollBox* view = mode_ == tmWhole ? pageView_ : tileView_;
  QRect page = view->geometry();
  const TSize display = view->DisplaySize();
  if (display.Width > 0 && display.Height > 0) {
    const QPoint origin = view->viewport()->mapTo(area_, view->PageOrigin());
    page = QRect(origin, QSize(display.Width, display.Height)).intersected(view->geometry());
  }
  const int l = page.left() - kBar, t = page.top() - kBar, r = page.right() + 1, b = page.bottom() + 1;
  bars_[0]->setGeometry(l, t, page.width() + 2 * kBar, kBar);
  bars_[1]->setGeometry(r, page.top(), kBar, page.height());
  bars_[2]->setGeometry(l, b, page.width() + 2 * kBar, kBar);
  bars_[3]->setGeometry(l, page.top(), kBar, page.height());
  corners_[0]->setGeometry(l, t, kBar, kBar);
  corners_[1]->setGeometry(r, t, kBar, kBar);
  corners_[2]->setGeometry(r, b, kBar, kBar);
  corners_[3]->setGeometry(l, b, kBar, kBar);
  for (QLabel* bar : bars_) bar->raise();
  for (QLabel* corner : corners_) corner->raise();
}

// --- tiles ----------------------------------------------------------------------------

void TFFullScreen::ChooseTileMode(int mode) {
  mode_ = mode;
  const TDibGraphic& page = pageView_->Graphic();
  if (mode == tmWhole) {
    tile_ = TRect{0, 0, page.Width(), page.Height()};
    grid_ = TTileGrid{};
    Relayout();
    pageView_->Redraw(true);
    tileView_->Clear();
    paintBox_->update();
    PostViewTransMessage(this, 10);
    return;
  }
  window_.SetMouseMode(30);
  Relayout();
  index_ = 0;
  ComputeGrid();
}

void TFFullScreen::ComputeGrid() {
  const TDibGraphic& page = pageView_->Graphic();
  const QSize client = tileView_->viewport()->size();
  grid_ = ComputeTileGrid(page.Width(), page.Height(), client.width(), client.height(), mode_, paintBox_->width(),
                          paintBox_->height());
  if (index_ >= grid_.Count()) index_ = 0;
  RebuildOverview();
  ShowTile(index_);
}

void TFFullScreen::ShowTile(int index) {
  const TDibGraphic& page = pageView_->Graphic();
  window_.Band(tileView_).RemoveSelection();
  if (page.Empty() || index < 0 || index >= grid_.Count()) return;
  index_ = index;
  tile_ = TileRect(grid_, index, page.Width(), page.Height());
  TDibGraphic& scratch = window_.ScratchImage();
  CropGraphic(page, tile_, scratch);
  tileView_->AssignGraphic(scratch);
  scratch.Clear();
  paintBox_->update();
}

void TFFullScreen::RebuildOverview() { BuildOverview(pageView_->Graphic(), grid_, overview_); }

void TFFullScreen::ClearInsideTile() {
  TRubberbandMouseHandler& band = window_.Band(tileView_);
  TDibGraphic& tileImage = tileView_->Graphic();
  TDibGraphic& page = pageView_->Graphic();
  if (!band.BandPresent() || tileImage.Empty() || page.Empty()) return;
  TBusyCursor busy;
  const TRect r = Exclusive(band.SelectedImageRect());
  tileImage.Canvas().FillRect(r);
  window_.UndoImage().Assign(page);
  page.Canvas().FillRect(Moved(r, tile_.Left, tile_.Top));
  band.RemoveSelection();
  tileView_->Redraw(false);
  RebuildOverview();
  paintBox_->update();
}

void TFFullScreen::TilePasted(TDibGraphic* image, const TRect& target) {
  TDibGraphic& page = pageView_->Graphic();
  if (mode_ == tmWhole || page.Empty()) return;
  TCanvas& canvas = page.Canvas();
  const TCopyMode old = canvas.CopyMode;
  canvas.CopyMode = window_.Band(tileView_).TransparentPaste ? TCopyMode::cmAnd : TCopyMode::cmCopy;
  canvas.StretchDraw(Moved(Exclusive(target), tile_.Left, tile_.Top), *image);
  canvas.CopyMode = old;
  PostViewTransMessage(this, 200);
}

// --- the paint box ------------------------------------------------------------------------

void TFFullScreen::PaintTheBox() {
  QPainter painter(paintBox_);
  if (mode_ == tmWhole) {
    painter.fillRect(paintBox_->rect(), Qt::white);
    if (!magnified_.isNull()) painter.drawImage(0, 0, magnified_);
    return;
  }
  painter.fillRect(paintBox_->rect(), Qt::black);
  if (overview_.isNull()) return;
  painter.drawImage(20, 20, overview_);
  const TRect cell = OverviewCell(grid_, index_);
  painter.setPen(QColor(kOverviewCurrentColour));
  painter.setBrush(Qt::NoBrush);
  if (!cell.IsEmpty()) painter.drawRect(20 + cell.Left, 20 + cell.Top, cell.Width() - 1, cell.Height() - 1);
}

QImage TFFullScreen::PaintBoxImage() const { return paintBox_->grab().toImage(); }

void TFFullScreen::PointerMoved(TImageScrollBox* view, int x, int y) {
  const TDibGraphic& page = view->Graphic();
  const TSize display = view->DisplaySize();
  if (page.Empty() || display.Width <= 0 || display.Height <= 0) return;
  QPoint p = DisplayToImage(view, x, y);
  if (view == tileView_) p += QPoint(tile_.Left, tile_.Top);
  status_->setText(EditorStatusText(window_, pageView_, fileName_, p.x(), p.y()));
  if (mode_ == tmWhole && view == pageView_) {
    if (magnified_.size() != paintBox_->size()) magnified_ = QImage(paintBox_->size(), QImage::Format_RGB32);
    DrawMagnifier(pageView_->Graphic(), p.x(), p.y(), magnified_);
    paintBox_->update();
  }
}

// --- events ---------------------------------------------------------------------------------

bool TFFullScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == paintBox_) {
    if (event->type() == QEvent::Paint) {
      PaintTheBox();
      return true;
    }
    if (event->type() == QEvent::MouseButtonPress && mode_ != tmWhole) {
      const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint() - QPoint(20, 20);
      const int index = TileAtOverviewPoint(grid_, p.x(), p.y());
      if (index >= 0 && index != index_) ShowTile(index);
      return true;
    }
    return false;
  }
  if (watched == tileView_->viewport() && event->type() == QEvent::Wheel) {
    if (mode_ == tmWhole) return true;
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta < 0 && index_ + 1 < grid_.Count()) ShowTile(index_ + 1);
    if (delta > 0 && index_ - 1 >= 0) ShowTile(index_ - 1);
    return true;
  }
  if (event->type() == QEvent::KeyPress && mode_ != tmWhole && QApplication::activeWindow() == this) {
    // Act once, on the delivery to the focused widget (as the key map does).
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && (widget == QApplication::focusWidget() || (widget->isWindow() && !QApplication::focusWidget())) &&
        !TKeyboardMap::FocusIsTextField()) {
      auto* key = static_cast<QKeyEvent*>(event);
      const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers() | key->modifiers();
      if (TileKey(key->key(), mods.testFlag(Qt::ControlModifier), mods.testFlag(Qt::ShiftModifier))) return true;
    }
  }
  if (event->type() == QEvent::KeyRelease && QApplication::activeWindow() == this)
    RefreshParameterFields(window_, fields_);
  return TEditorWindow::eventFilter(watched, event);
}

// The keys that act on the tile in the tile modes; false for the others,
// which go on to the main window's key map.
bool TFFullScreen::TileKey(int key, bool ctrl, bool shift) {
  TRubberbandMouseHandler& band = window_.Band(tileView_);
  TDibGraphic& tileImage = tileView_->Graphic();
  switch (KeyCommand(key, ctrl, shift)) {
    case TCommand::ShiftRight:
      if (!ctrl) PostViewTransMessage(this, 20);
      return true;
    case TCommand::ShiftLeft:
      PostViewTransMessage(this, 30);
      return true;
    case TCommand::ShiftUp:
      if (!ctrl) PostViewTransMessage(this, 40);
      return true;
    case TCommand::ShiftDown:
      if (!ctrl) PostViewTransMessage(this, 50);
      return true;
    case TCommand::SelectAll:
      if (!tileImage.Empty() && window_.MouseMode() == 10) band.SelectAll();
      return true;
    case TCommand::Copy:
      if (!tileImage.Empty() && window_.MouseMode() == 10) {
        TDibGraphic piece;
        if (band.BandPresent())
          CropGraphic(tileImage, Exclusive(band.SelectedImageRect()), piece);
        else
          piece.Assign(tileImage);
        if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(DibToQImage(piece));
      }
      return true;
    case TCommand::Paste:
      if (!tileImage.Empty() && window_.MouseMode() == 10)
        if (QClipboard* clipboard = QGuiApplication::clipboard()) {
          const QImage bitmap = clipboard->image();
          if (!bitmap.isNull()) {
            TDibGraphic& scratch = window_.ScratchImage();
            QImageToDib(bitmap, scratch);
            window_.UndoImage().Assign(pageView_->Graphic());
            band.TransparentPaste = window_.Settings().PT == 10;
            band.Paste(scratch);
            scratch.Clear();
          }
        }
      return true;
    case TCommand::EraseInside:
      ClearInsideTile();
      return true;
    case TCommand::Centre:
    case TCommand::LineExtension:
      // With a selection in the tile: its ruled lines extended, placed
      // back through the paste (which writes the page too).
      if (!tileImage.Empty() && band.BandPresent()) {
        TDibGraphic& scratch = window_.ScratchImage();
        CropGraphic(tileImage, Exclusive(band.SelectedImageRect()), scratch);
        ExtendLines(scratch, window_.Settings().J);
        window_.UndoImage().Assign(pageView_->Graphic());
        band.TransparentPaste = window_.Settings().PT == 10;
        band.Paste(scratch);
        scratch.Clear();
      }
      return true;
    case TCommand::Escape:
      if (band.OutlineInProgress()) {
        band.EndOutline();
        return true;
      }
      if (band.BandPresent()) {
        band.RemoveSelection();
        tileView_->Redraw(false);
        return true;
      }
      return false;
    default:
      return false;
  }
}
