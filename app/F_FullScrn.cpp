#include "app/F_FullScrn.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "app/AppIcons.h"
#include "app/NumberField.h"
#include "view/ImageScrollBox.h"
#include "view/RubberbandMouseHandler.h"

namespace {

constexpr int kBar = 14;           // left bar and corner square
constexpr int kStatusHeight = 16;  // the status label across the top
constexpr int kWheelLines = 6;

QString Utf8(const char* s) { return QString::fromUtf8(s); }

struct TCommandButton {
  const char* Name;
  const char* Hint;
  TCommand Command;
};

// The command buttons of the first toolbar, after the toggles.
const TCommandButton kCommandButtons[] = {
    {"prevBtn", "이전 파일(↑키)", TCommand::Previous},        {"nextBtn", "다음 파일(↓키)", TCommand::Next},
    {"skewBtn", "기울기 보정(Z)", TCommand::Deskew},          {"spotBtn", "잡티 제거(X)", TCommand::Specks},
    {"ToolButton4", "진하게 하기(H)", TCommand::Darken},      {"midBtn", "가운데 정렬(C)", TCommand::Centre},
    {"edgeBtn", "테두리 제거(V)", TCommand::BorderRemoval},   {"ToolButton7", "여백에 맞추기(G)", TCommand::FitMargins},
    {"ToolButton3", "라인 확장(C)", TCommand::LineExtension}, {"paperBtn", "문서크기적용(T)", TCommand::PaperSize},
    {"ToolButton6", "환경설정(H)", TCommand::Options}};

struct TToggleButton {
  const char* Name;
  const char* Hint;  // nullptr: none
  const char* IconText;
  TCommand Toggle;
};

const TToggleButton kToggleButtons[] = {{"Invert", "반전된 이미지로 보기", "반", TCommand::ToggleInvert},
                                        {"AntiAliased", "부드럽게 보기", "부", TCommand::ToggleSmooth},
                                        {"Grid", "격자(Grid) 보기", "#", TCommand::ToggleGrid},
                                        {"Cross", "십자선 보기", "+", TCommand::ToggleCrosshair},
                                        {"Outline", nullptr, "□", TCommand::ToggleOutline},
                                        {"FixedArea", nullptr, "고", TCommand::ToggleFixed}};

struct TFieldSpec {
  int Tag;
  const char* Hint;
  const char* Unit;
};

const TFieldSpec kFields[] = {{10, "잡티 넓이", "px"},   {11, "잡티 높이", "px"},     {20, "테두리 왼쪽", "mm"},
                              {21, "테두리 위쪽", "mm"}, {22, "테두리 오른쪽", "mm"}, {23, "테두리 아래쪽", "mm"},
                              {30, "회전각도", "°"},     {40, "이동거리", "mm"}};

QLabel* Bar(QWidget* parent, const QColor& colour, int tag) {
  auto* label = new QLabel(parent);
  label->setAutoFillBackground(true);
  QPalette p = label->palette();
  p.setColor(QPalette::Window, colour);
  p.setColor(QPalette::WindowText, Qt::white);
  label->setPalette(p);
  label->setProperty("tag", tag);
  return label;
}

}  // namespace

TFFullScrn::TFFullScrn(TFViewTrans& window) : TEditorWindow(window, "TFFullScrn") {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  bar1_ = new QToolBar(this);
  bar1_->setObjectName("ToolBar1");
  bar1_->setIconSize(QSize(24, 24));
  bar2_ = new QToolBar(this);
  bar2_->setObjectName("ToolBar2");
  bar2_->setIconSize(QSize(20, 20));
  layout->addWidget(bar1_);
  layout->addWidget(bar2_);
  area_ = new QWidget(this);
  layout->addWidget(area_, 1);

  view_ = new TImageScrollBox(area_);
  view_->setObjectName("FullScrnView");
  view_->SetAntiAliased(false);
  view_->SetMouseMode(mmNone);
  view_->SetMouseHandler(std::make_unique<TRubberbandMouseHandler>(view_));
  view_->SetZoomMode(zmFitWidth);
  status_ = Bar(area_, Qt::gray, 1);
  status_->setObjectName("StatusLabel");
  status_->setAlignment(Qt::AlignCenter);
  leftBar_ = Bar(area_, Qt::gray, 4);
  leftBar_->setObjectName("LeftBar");
  corner_ = Bar(area_, QColor(0xC0, 0xC0, 0xC0), 11);
  corner_->setObjectName("CornerSquare");
  corner_->raise();
  // The bars start a selection at the page's edge.
  new TEdgePress(
      status_, [this] { return view_; }, [](QPoint p) { return QPoint(p.x() - kBar, 0); });
  new TEdgePress(
      leftBar_, [this] { return view_; }, [](QPoint p) { return QPoint(0, p.y()); });
  new TEdgePress(
      corner_, [this] { return view_; }, [](QPoint) { return QPoint(0, 0); });

  BuildToolbars();

  view_->OnImageMouseMove = [this](TImageScrollBox*, Qt::KeyboardModifiers, int x, int y) { ShowStatus(x, y); };
  view_->OnImageMouseUp = [this](TImageScrollBox* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                                 int y) {
    ForwardRelease(window_, sender, button, shift, x, y);
    RefreshParameterFields(window_, fields_);
  };
  view_->OnImageDblClick = [this](TImageScrollBox* sender) { ForwardDoubleClick(window_, sender); };
  view_->viewport()->installEventFilter(this);
  qApp->installEventFilter(this);

  // The main window's state onto the controls.
  RefreshParameterFields(window_, fields_);
  const bool result = window_.ActiveView() == TActiveView::Result;
  buttons_["Btn1"]->setChecked(!result);
  buttons_["Btn2"]->setChecked(result);
  for (const TToggleButton& t : kToggleButtons)
    if (QAction* a = window_.Action(t.Toggle)) buttons_[t.Name]->setChecked(a->isChecked());
  const int mode = window_.MouseMode();
  buttons_[mode == 20 ? "mMode2" : mode == 30 ? "mMode3" : "mMode1"]->setChecked(true);
  window_.ApplyDisplayOptions(view_);
  view_->SetZoomMode(zoom_);
  // A toggle of the main window applies all its options to this view,
  // its zoom among them; this window keeps its own zoom.
  connect(&window_, &TFViewTrans::DisplayOptionChanged, this, [this] { view_->SetZoomMode(zoom_); });
  connect(&window_, &TFViewTrans::ZoomModeChanged, this, [this] { view_->SetZoomMode(zoom_); });
  connect(&window_, &TFViewTrans::MouseModeChanged, this, [this](int m) {
    buttons_[m == 20 ? "mMode2" : m == 30 ? "mMode3" : "mMode1"]->setChecked(true);
  });
}

TFFullScrn::~TFFullScrn() { qApp->removeEventFilter(this); }

QToolButton* TFFullScrn::AddButton(QToolBar* bar, const QString& name, const char* hint, const QIcon& icon,
                                   bool toggle) {
  auto* button = new QToolButton(bar);
  button->setObjectName(name);
  button->setIcon(icon);
  if (hint) button->setToolTip(Utf8(hint));
  button->setCheckable(toggle);
  button->setAutoRaise(true);
  bar->addWidget(button);
  buttons_[name] = button;
  return button;
}

void TFFullScrn::BuildToolbars() {
  // Toolbar 1: the source / result pair, the display toggles, the zoom
  // pair, then the commands.
  QToolButton* b1 = AddButton(bar1_, "Btn1", "원본 이미지", EditorIcon(Utf8("원")), true);
  QToolButton* b2 = AddButton(bar1_, "Btn2", "수정된 이미지", EditorIcon(Utf8("수")), true);
  b1->setProperty("tag", 10);
  b2->setProperty("tag", 20);
  connect(b1, &QToolButton::clicked, this, [this] { ViewChoice(10); });
  connect(b2, &QToolButton::clicked, this, [this] { ViewChoice(20); });
  bar1_->addSeparator();
  for (const TToggleButton& t : kToggleButtons) {
    QToolButton* b = AddButton(bar1_, t.Name, t.Hint, EditorIcon(Utf8(t.IconText)), true);
    const TCommand toggle = t.Toggle;
    connect(b, &QToolButton::clicked, this, [this, b, toggle] { Toggle(b, toggle); });
  }
  bar1_->addSeparator();
  QToolButton* b3 = AddButton(bar1_, "Btn3", "페이지 적합 보기", EditorIcon(Utf8("적")), true);
  QToolButton* b4 = AddButton(bar1_, "Btn4", "가로(넓이) 보기", EditorIcon(Utf8("↔")), true);
  b3->setProperty("tag", 10);
  b4->setProperty("tag", 20);
  b4->setChecked(true);
  connect(b3, &QToolButton::clicked, this, [this] { ZoomChoice(10); });
  connect(b4, &QToolButton::clicked, this, [this] { ZoomChoice(20); });
  bar1_->addSeparator();
  for (const TCommandButton& c : kCommandButtons) {
    QToolButton* b = AddButton(bar1_, c.Name, c.Hint, CommandIcon(c.Command), false);
    const TCommand command = c.Command;
    connect(b, &QToolButton::clicked, this, [this, command] {
      window_.Execute(command);
      RefreshParameterFields(window_, fields_);
    });
  }
  QToolButton* close = AddButton(bar1_, "ToolButton11", "닫기(Ctrl + F4)", CommandIcon(TCommand::Exit), false);
  connect(close, &QToolButton::clicked, this, &QWidget::close);

  // Toolbar 2: the mouse modes, then the parameter fields.
  auto* group = new QButtonGroup(this);
  const std::pair<const char*, const char*> modes[] = {{"mMode1", "마우스모드 - 일반선택"},
                                                       {"mMode2", "마우스모드 - 선택 외부영역 제거"},
                                                       {"mMode3", "마우스모드 - 선택 내부영역 제거"}};
  const TCommand modeIcons[] = {TCommand::MouseNormal, TCommand::MouseOuter, TCommand::MouseInner};
  for (int i = 0; i < 3; ++i) {
    QToolButton* b = AddButton(bar2_, modes[i].first, modes[i].second, CommandIcon(modeIcons[i]), true);
    const int tag = (i + 1) * 10;
    b->setProperty("tag", tag);
    group->addButton(b);
    connect(b, &QToolButton::clicked, this, [this, tag] { window_.SetMouseMode(tag); });
  }
  buttons_["mMode1"]->setChecked(true);
  bar2_->addSeparator();
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    const TFieldSpec& f = kFields[i];
    TNumberField* field = CreateParameterField(window_, f.Tag, Utf8(f.Hint), bar2_);
    field->setFixedWidth(f.Tag == 30 ? 52 : 40);
    bar2_->addWidget(field);
    auto* unit = new QLabel(Utf8(f.Unit), bar2_);
    unit->setContentsMargins(2, 0, 8, 0);
    bar2_->addWidget(unit);
    fields_[i] = field;
  }
}

TNumberField* TFFullScrn::ParameterField(int tag) const {
  for (std::size_t i = 0; i < kParameterTags.size(); ++i)
    if (kParameterTags[i] == tag) return fields_[i];
  return nullptr;
}

void TFFullScrn::TakePage(const TDibGraphic& page, const QString& fileName) {
  fileName_ = fileName;
  // Another page of the same document keeps the place the operator was reading.
  const int vertical = view_->VertScrollPos();
  view_->AssignGraphic(page);
  view_->SetVertScrollPos(vertical);
  view_->Redraw(false);
  status_->setText(EditorStatusText(window_, view_, fileName_, 0, 0));
}

void TFFullScrn::resizeEvent(QResizeEvent* event) {
  TEditorWindow::resizeEvent(event);
  LayoutArea();
}

void TFFullScrn::LayoutArea() {
  const int w = area_->width(), h = area_->height();
  status_->setGeometry(0, 0, w, kStatusHeight);
  corner_->setGeometry(0, 0, kBar, kBar);
  leftBar_->setGeometry(0, kStatusHeight, kBar, std::max(0, h - kStatusHeight));
  view_->setGeometry(kBar, kStatusHeight, std::max(0, w - kBar), std::max(0, h - kStatusHeight));
}

void TFFullScrn::ViewChoice(int tag) {
  QToolButton* b1 = buttons_["Btn1"];
  QToolButton* b2 = buttons_["Btn2"];
  QToolButton* pressed = tag == 10 ? b1 : b2;
  QToolButton* partner = tag == 10 ? b2 : b1;
  // The click has already flipped the pressed button.
  const bool previous1 = tag == 10 ? !b1->isChecked() : b1->isChecked();
  const bool previous2 = tag == 20 ? !b2->isChecked() : b2->isChecked();
  partner->setChecked(!pressed->isChecked());
  const TActiveView target = b1->isChecked() ? TActiveView::Source : TActiveView::Result;
  if (!SwitchEditorView(window_, target)) {
    b1->setChecked(previous1);
    b2->setChecked(previous2);
  }
}

void TFFullScrn::ZoomChoice(int tag) {
  QToolButton* b3 = buttons_["Btn3"];
  QToolButton* b4 = buttons_["Btn4"];
  QToolButton* pressed = tag == 10 ? b3 : b4;
  QToolButton* partner = tag == 10 ? b4 : b3;
  partner->setChecked(!pressed->isChecked());
  zoom_ = b3->isChecked() ? zmFitToPage : zmFitWidth;
  view_->SetZoomMode(zoom_);
}

void TFFullScrn::Toggle(QToolButton* button, TCommand toggle) {
  SetMainToggle(window_, toggle, button->isChecked());
  view_->SetZoomMode(zoom_);
}

void TFFullScrn::ShowStatus(int x, int y) {
  const TSize display = view_->DisplaySize();
  if (view_->Graphic().Empty() || display.Width <= 0 || display.Height <= 0) return;
  const QPoint p = DisplayToImage(view_, x, y);
  status_->setText(EditorStatusText(window_, view_, fileName_, p.x(), p.y()));
}

bool TFFullScrn::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_->viewport() && event->type() == QEvent::Wheel) {
    if (!buttons_["Btn4"]->isChecked()) return false;
    auto* wheel = static_cast<QWheelEvent*>(event);
    const int delta = wheel->angleDelta().y();
    if (delta == 0) return true;
    QScrollBar* bar = view_->verticalScrollBar();
    view_->setUpdatesEnabled(false);
    for (int i = 0; i < kWheelLines; ++i)
      bar->triggerAction(delta < 0 ? QAbstractSlider::SliderSingleStepAdd : QAbstractSlider::SliderSingleStepSub);
    view_->setUpdatesEnabled(true);
    view_->viewport()->update();
    return true;
  }
  // Page Up and Page Down scroll the view wherever the focus is.
  if (event->type() == QEvent::KeyPress && QApplication::activeWindow() == this) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
      view_->verticalScrollBar()->triggerAction(key == Qt::Key_PageUp ? QAbstractSlider::SliderPageStepSub
                                                                      : QAbstractSlider::SliderPageStepAdd);
      return true;
    }
  }
  if (event->type() == QEvent::KeyRelease && QApplication::activeWindow() == this)
    RefreshParameterFields(window_, fields_);
  return TEditorWindow::eventFilter(watched, event);
}
