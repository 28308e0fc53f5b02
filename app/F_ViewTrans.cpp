#include "app/F_ViewTrans.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cstdlib>

#include "app/AppIcons.h"
#include "app/AppTitle.h"
#include "app/KeyboardMap.h"
#include "app/NumberField.h"
#include "app/StatusLine.h"
#include "app/ViewTransMessage.h"
#include "view/ImageScrollBox.h"
#include "view/RubberbandMouseHandler.h"
#include "view/ViewGeometry.h"

namespace {

constexpr int kDesignWidth = 1270;
constexpr int kDesignHeight = 854;
constexpr int kLeftPanelWidth = 185;
constexpr const char* kHelpUrl = "https://veltrax.orvane.co.kr/help";

const char* const kFieldHints[8] = {"잡티 넓이",     "잡티 높이",     "테두리 왼쪽", "테두리 위쪽",
                                    "테두리 오른쪽", "테두리 아래쪽", "회전각도",    "이동거리"};

QString Utf8(const char* s) { return QString::fromUtf8(s); }

// The checked item of a radio group by tag.
TCommand CommandForTag(int radioGroup, int tag) {
  for (const TMenuItemSpec& item : MenuItems())
    if (item.RadioGroup == radioGroup && item.Tag == tag) return item.Command;
  return TCommand::None;
}

int ToggleValue(const TSettingsRecord& s, TCommand toggle) {
  switch (toggle) {
    case TCommand::ToggleInvert:
      return s.I;
    case TCommand::ToggleSmooth:
      return s.AL;
    case TCommand::ToggleCrosshair:
      return s.CL;
    case TCommand::ToggleGrid:
      return s.GS;
    case TCommand::ToggleOutline:
      return s.oS;
    case TCommand::ToggleFixed:
      return s.fA;
    default:
      return 0;
  }
}

void SetToggleValue(TSettingsRecord& s, TCommand toggle, int value) {
  switch (toggle) {
    case TCommand::ToggleInvert:
      s.I = value;
      break;
    case TCommand::ToggleSmooth:
      s.AL = value;
      break;
    case TCommand::ToggleCrosshair:
      s.CL = value;
      break;
    case TCommand::ToggleGrid:
      s.GS = value;
      break;
    case TCommand::ToggleOutline:
      s.oS = value;
      break;
    case TCommand::ToggleFixed:
      s.fA = value;
      break;
    default:
      break;
  }
}

// Stored colours are 0x00BBGGRR; the views take 0x00RRGGBB.
TColor32 FromStoredColor(int c) {
  const auto v = static_cast<TColor32>(c);
  return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

TZoomMode ZoomModeOf(int z) {
  switch (z) {
    case 20:
      return zmFitWidth;
    case 30:
      return zmFitHeight;
    case 40:
      return zmOriginalSize;
    default:
      return zmFitToPage;
  }
}

constexpr TCommand kToggles[] = {TCommand::ToggleInvert, TCommand::ToggleSmooth,  TCommand::ToggleCrosshair,
                                 TCommand::ToggleGrid,   TCommand::ToggleOutline, TCommand::ToggleFixed};

}  // namespace

TFViewTrans::TFViewTrans(QWidget* parent) : QMainWindow(parent) {
  setObjectName("TFViewTrans");
  setWindowTitle(Utf8(kAppTitle));
  // One-key commands must arrive as keys, also while a Korean input method
  // is in Hangul mode: only the text fields take input-method text.
  setAttribute(Qt::WA_InputMethodEnabled, false);
  // 1. The application-wide key hook.
  keyboardMap_ = new TKeyboardMap([this] { return KeyMapAccepts(); }, [this](TCommand c) { Execute(c); }, this);
  qApp->installEventFilter(keyboardMap_);
  // 4. Panes, menus and toolbars.
  BuildPanes();
  BuildMenus();
  InstallBuiltInHandlers();
  FitToScreen();
  // 6. Folders and the settings record.
  LoadFolders();
  settings_ = LoadSettings();
  settings_.ClampMargins();
  ShowParameters();
  // 7. Settings onto the controls; fixed areas into the source view.
  std::vector<TRect> fixed;
  LoadFixedAreas(fixed);
  sourceView_->AddFixedAreas(fixed);
  ApplySettingsToControls();
  connect(this, &TFViewTrans::DisplayOptionChanged, this, [this] {
    ApplyDisplayOptions(sourceView_);
    ApplyDisplayOptions(resultView_);
    if (EditorView) ApplyDisplayOptions(EditorView);
  });
  connect(this, &TFViewTrans::ParametersChanged, this, [this] {
    if (!settings_.oS) return;
    for (TImageScrollBox* v : {sourceView_, resultView_, EditorView})
      if (v) v->SetOutlineMargins(settings_.P1, settings_.P2, settings_.P3, settings_.P4);
  });
  ApplyDisplayOptions(sourceView_);
  ApplyDisplayOptions(resultView_);
  // 8. The stored window position, when both coordinates are set.
  const QPoint position = LoadWindowPosition("FViewTrans");
  if (IsStoredPositionUsable(position)) move(position);
}

TFViewTrans::~TFViewTrans() {
  qApp->removeEventFilter(keyboardMap_);
  SaveFolders();
  ReadParameters();
  SaveSettings(settings_);
  SaveWindowPosition("FViewTrans", x(), y());
  SaveFixedAreas(sourceView_->FixedAreas());
}

// --- views ------------------------------------------------------------------

void TFViewTrans::SetupView(TImageScrollBox* view) {
  view->SetZoomMode(zmFitToPage);
  view->SetAntiAliased(false);
  // The view's own handler choice is none; a rubber band of its own serves it.
  view->SetMouseMode(mmNone);
  auto band = std::make_unique<TRubberbandMouseHandler>(view);
  band->OnOutline = [this](TRubberbandMouseHandler* sender, TImageScrollBox* v, int count) {
    if (OnOutlineFinished) OnOutlineFinished(sender, v, count);
  };
  view->SetMouseHandler(std::move(band));
  view->OnImageMouseMove = [this](TImageScrollBox* sender, Qt::KeyboardModifiers, int x, int y) {
    const TSize display = sender->DisplaySize();
    const TDibGraphic& g = sender->Graphic();
    if (display.Width <= 0 || display.Height <= 0) return;
    SetStatusLine(sender, ScaleTrunc(x, g.Width(), display.Width), ScaleTrunc(y, g.Height(), display.Height));
  };
  view->OnImageMouseUp = [this](TImageScrollBox*, Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
    // A right-button release advances the mouse mode.
    if (button == Qt::RightButton) Execute(TCommand::MouseCycle);
  };
  view->OnEndScroll = [this](TImageScrollBox*) { AlignScrollPositions(); };
  view->viewport()->installEventFilter(this);
}

TRubberbandMouseHandler& TFViewTrans::Band(TImageScrollBox* view) const { return view->RubberbandHandler(); }

TImageScrollBox* TFViewTrans::ActiveScrollBox() const {
  if (EditorView) return EditorView;
  return activeView_ == TActiveView::Result ? resultView_ : sourceView_;
}

void TFViewTrans::SetStatusLine(TImageScrollBox* view, int x, int y) {
  QLabel* label = view == resultView_ ? captionResult_ : view == sourceView_ ? captionSource_ : nullptr;
  if (!label) return;
  TStatusLineData d;
  d.X = x;
  d.Y = y;
  d.FileName = StatusFileName ? StatusFileName(view) : QString::fromStdString(view->FileName());
  if (sourceView_->FrameCount() > 0) {
    d.Frame = std::max(1, sourceView_->CurrentFrame());
    d.FrameCount = sourceView_->FrameCount();
  }
  if (ListPosition) std::tie(d.EntryPosition, d.EntryCount) = ListPosition();
  label->setText(FormatStatusLine(view->Graphic(), d));
}

void TFViewTrans::ApplyDisplayOptions(TImageScrollBox* view) {
  view->SetInvert(settings_.I == 1);
  view->SetAntiAliased(settings_.AL == 1);
  view->SetGridColumns(settings_.GW);
  view->SetGridRows(settings_.GH);
  view->SetGridColor(FromStoredColor(settings_.GC));
  view->SetShowGrid(settings_.GS == 1);
  view->SetOutlineColor(FromStoredColor(settings_.oC));
  view->SetOutlineMargins(settings_.P1, settings_.P2, settings_.P3, settings_.P4);
  view->SetShowOutline(settings_.oS == 1);
  view->SetFixedAreaColor(FromStoredColor(settings_.fC));
  view->SetShowFixedAreas(settings_.fA == 1);
  if (view != sourceView_ && view->FixedAreas() != sourceView_->FixedAreas()) {
    view->ClearFixedAreas();
    view->AddFixedAreas(sourceView_->FixedAreas());
  }
  Band(view).SetCrossHair(settings_.CL == 1);
  view->SetZoomMode(ZoomModeOf(settings_.Z));
}

// The inactive view follows the active view's scroll positions.
void TFViewTrans::AlignScrollPositions() {
  TImageScrollBox* active = activeView_ == TActiveView::Result ? resultView_ : sourceView_;
  TImageScrollBox* other = active == sourceView_ ? resultView_ : sourceView_;
  other->SetHorzScrollPos(active->HorzScrollPos());
  other->SetVertScrollPos(active->VertScrollPos());
}

void TFViewTrans::ApplyMouseModeCursor(TImageScrollBox* view) {
  if (!view) return;
  if (mouseMode_ == 20)
    view->SetPageCursor(QCursor(QPixmap(":/cursors/outer")));
  else if (mouseMode_ == 30)
    view->SetPageCursor(QCursor(QPixmap(":/cursors/inner")));
  else
    view->SetPageCursor(QCursor(Qt::ArrowCursor));
}

// One wheel notch scrolls the active view by a page (sideways with Ctrl),
// then the other view follows. High-resolution wheels send parts of a
// notch: they add up until a whole notch is reached. A wheel over the other
// view, or a sideways wheel, goes on to the view's own scrolling.
bool TFViewTrans::WheelOverView(TImageScrollBox* view, QEvent* event) {
  auto* wheel = static_cast<QWheelEvent*>(event);
  TImageScrollBox* active = activeView_ == TActiveView::Result ? resultView_ : sourceView_;
  if (view != active) return false;
  const int delta = wheel->angleDelta().y();
  if (delta == 0) return false;
  if ((delta > 0) != (wheelRemainder_ > 0)) wheelRemainder_ = 0;  // a turn the other way starts afresh
  wheelRemainder_ += delta;
  const bool sideways = wheel->modifiers().testFlag(Qt::ControlModifier);
  QScrollBar* bar = sideways ? view->horizontalScrollBar() : view->verticalScrollBar();
  bool paged = false;
  while (std::abs(wheelRemainder_) >= QWheelEvent::DefaultDeltasPerStep) {
    const bool up = wheelRemainder_ > 0;
    bar->triggerAction(up ? QAbstractSlider::SliderPageStepSub : QAbstractSlider::SliderPageStepAdd);
    wheelRemainder_ -= up ? QWheelEvent::DefaultDeltasPerStep : -QWheelEvent::DefaultDeltasPerStep;
    paged = true;
  }
  if (paged) PostViewTransMessage(this, 30);
  return true;
}

// --- panes ------------------------------------------------------------------

void TFViewTrans::BuildPanes() {
  mainSplitter_ = new QSplitter(Qt::Horizontal, this);
  auto* leftPanel = new QWidget(mainSplitter_);
  leftPanel->setObjectName("LeftPanel");
  auto* leftLayout = new QVBoxLayout(leftPanel);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->setSpacing(0);

  rightArea_ = new QWidget(mainSplitter_);
  auto* rightLayout = new QVBoxLayout(rightArea_);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->setSpacing(0);

  BuildToolbars(leftPanel, rightArea_);

  listTabs_ = new QTabBar(leftPanel);
  listTabs_->addTab(Utf8("이름"));
  listTabs_->addTab(Utf8("舊쎔네일"));
  listTabs_->addTab(Utf8("新쎔네일"));
  leftLayout->addWidget(listTabs_);
  listStack_ = new QStackedWidget(leftPanel);
  leftLayout->addWidget(listStack_, 1);

  // Caption bar: the source view's status line on the left, the result
  // view's in a right-aligned label.
  captionBar_ = new QWidget(rightArea_);
  QWidget* captionBar = captionBar_;
  captionBar->setFixedHeight(QFontMetrics(font()).height() + 4);
  captionBar->installEventFilter(this);
  captionSource_ = new QLabel(captionBar);
  captionResult_ = new QLabel(captionBar);
  captionResult_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  for (QLabel* l : {captionSource_, captionResult_}) {
    l->setAutoFillBackground(true);
    l->installEventFilter(this);
  }
  rightLayout->addWidget(captionBar);

  viewSplitter_ = new QSplitter(Qt::Horizontal, rightArea_);
  sourcePane_ = new QWidget(viewSplitter_);
  sourcePane_->setObjectName("SourcePane");
  resultPane_ = new QWidget(viewSplitter_);
  resultPane_->setObjectName("ResultPane");
  for (QWidget* pane : {sourcePane_, resultPane_}) {
    auto* l = new QVBoxLayout(pane);
    l->setContentsMargins(0, 0, 0, 0);
  }
  sourceView_ = new TImageScrollBox(sourcePane_);
  sourceView_->setObjectName("SourceView");
  resultView_ = new TImageScrollBox(resultPane_);
  resultView_->setObjectName("ResultView");
  sourcePane_->layout()->addWidget(sourceView_);
  resultPane_->layout()->addWidget(resultView_);
  SetupView(sourceView_);
  SetupView(resultView_);
  // Selections start on the source view; the result view's handler waits
  // until that view is made the active one.
  Band(resultView_).Active = false;
  rightLayout->addWidget(viewSplitter_, 1);
  connect(viewSplitter_, &QSplitter::splitterMoved, this, [this] { KeepViewsHalved(); });
  viewSplitter_->installEventFilter(this);

  mainSplitter_->setStretchFactor(0, 0);
  mainSplitter_->setStretchFactor(1, 1);
  leftPanel->setMinimumWidth(60);
  mainSplitter_->setSizes({kLeftPanelWidth, kDesignWidth - kLeftPanelWidth});
  setCentralWidget(mainSplitter_);
  RefreshCaptions();
}

void TFViewTrans::BuildToolbars(QWidget* leftPanel, QWidget* rightArea) {
  // The left panel's buttons sit in a plain row: a tool bar would fold the
  // last of them into an overflow arrow in the narrow panel.
  auto* leftBar = new QWidget(leftPanel);
  leftBar->setObjectName("LeftToolbar");
  auto* leftRow = new QHBoxLayout(leftBar);
  leftRow->setContentsMargins(1, 1, 1, 1);
  leftRow->setSpacing(0);
  auto* commandBar = new QToolBar(rightArea);
  commandBar->setObjectName("CommandToolbar");
  commandBar->setIconSize(QSize(24, 24));
  auto* paramBar = new QToolBar(rightArea);
  paramBar->setObjectName("ParameterToolbar");
  paramBar->setIconSize(QSize(20, 20));
  leftPanel->layout()->addWidget(leftBar);
  rightArea->layout()->addWidget(commandBar);
  rightArea->layout()->addWidget(paramBar);

  for (const TToolButtonSpec& spec : ToolButtons()) {
    QToolBar* bar = spec.Bar == TToolbar::Command ? commandBar : paramBar;
    auto* button = new QToolButton(spec.Bar == TToolbar::Left ? leftBar : static_cast<QWidget*>(bar));
    button->setIcon(CommandIcon(spec.Command));
    button->setToolTip(Utf8(spec.Hint));
    button->setAutoRaise(true);
    button->setCheckable(spec.Toggle);
    const TCommand command = spec.Command;
    connect(button, &QToolButton::clicked, this, [this, command] { Execute(command); });
    if (spec.Bar == TToolbar::Left) {
      button->setIconSize(QSize(16, 16));
      button->setFixedSize(22, 22);
      leftRow->addWidget(button);
    } else {
      bar->addWidget(button);
    }
    buttons_[command] = button;
  }
  // The semi-automatic correction button is present but hidden and disabled.
  buttons_[TCommand::SemiAuto]->setVisible(false);
  for (QAction* a : commandBar->actions())
    if (commandBar->widgetForAction(a) == buttons_[TCommand::SemiAuto]) a->setVisible(false);

  removePopup_ = new QMenu(this);
  for (const TPopupItemSpec& item : RemovePopupItems()) {
    QAction* a = removePopup_->addAction(Utf8(item.Caption));
    const TCommand command = item.Command;
    connect(a, &QAction::triggered, this, [this, command] { Execute(command); });
  }

  // Eight number fields after the three mouse-mode buttons.
  for (int i = 0; i < 8; ++i) {
    auto* field = new TNumberField(i == 6, Utf8(kFieldHints[i]), paramBar);
    field->setObjectName(QString("Field%1").arg(i + 1));
    field->setFixedWidth(i == 6 ? 52 : 40);
    paramBar->addWidget(field);
    fields_[static_cast<std::size_t>(i)] = field;
    connect(field, &QLineEdit::textChanged, this, [this, i] { OnFieldChanged(i + 1); });
    // Enter ends the entry: one-key commands work again at once.
    connect(field, &QLineEdit::returnPressed, this, [this] { ActiveScrollBox()->setFocus(Qt::OtherFocusReason); });
  }
}

void TFViewTrans::BuildMenus() {
  std::map<QString, QMenu*> menus;
  std::map<QString, QMenu*> submenus;
  std::map<int, QActionGroup*> groups;
  for (const char* caption : MainMenuCaptions()) menus[Utf8(caption)] = menuBar()->addMenu(Utf8(caption));
  for (const TMenuItemSpec& item : MenuItems()) {
    QMenu* menu = menus[Utf8(item.Menu)];
    if (item.Submenu) {
      const QString key = Utf8(item.Menu) + "/" + Utf8(item.Submenu);
      if (!submenus.count(key)) submenus[key] = menu->addMenu(Utf8(item.Submenu));
      menu = submenus[key];
    }
    QAction* action = menu->addAction(Utf8(item.Caption));
    action->setData(item.Tag);
    action->setCheckable(item.Checkable);
    if (item.RadioGroup) {
      if (!groups.count(item.RadioGroup)) groups[item.RadioGroup] = new QActionGroup(this);
      groups[item.RadioGroup]->addAction(action);
    }
    const TCommand command = item.Command;
    connect(action, &QAction::triggered, this, [this, command] { Execute(command); });
    actions_[command] = action;
    // Separators as the menus group their items.
    if (command == TCommand::UncheckAll || command == TCommand::RemoveAll || command == TCommand::Next ||
        command == TCommand::TwoInOne || command == TCommand::Print || command == TCommand::Options ||
        command == TCommand::Copy || command == TCommand::SemiAuto || command == TCommand::GreyConvert ||
        command == TCommand::ZoomActual)
      menu->addSeparator();
  }
  // The image-conversion submenu is present and empty.
  menus[Utf8("이미지보정")]->addMenu(Utf8("이미지 변환"));
  // Semi-automatic correction: disabled and hidden.
  actions_[TCommand::SemiAuto]->setVisible(false);
}

void TFViewTrans::FitToScreen() {
  int width = kDesignWidth, height = kDesignHeight;
  QRect available(0, 0, width, height);
  if (QScreen* screen = QGuiApplication::primaryScreen()) available = screen->availableGeometry();
  if (height > available.height()) height = std::max(200, available.height() - 30);
  if (width > available.width()) width = available.width();
  resize(width, height);
  move(available.left() + (available.width() - width) / 2, available.top() + (available.height() - height) / 2);
}

void TFViewTrans::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  KeepViewsHalved();
}

// The source view takes half of the right area less 2 px; the right caption
// label the source view's width less 2 px.
void TFViewTrans::KeepViewsHalved() {
  if (!viewSplitter_ || !captionBar_ || !captionSource_ || !captionResult_) return;
  const int total = viewSplitter_->width();
  const int sourceWidth = std::max(0, total / 2 - 2);
  QSignalBlocker block(viewSplitter_);
  viewSplitter_->setSizes({sourceWidth, std::max(0, total - sourceWidth - viewSplitter_->handleWidth())});
  // Caption bar: the result view's label at the right, as wide as the
  // source view less 2 px; the source view's label takes the rest.
  const int barWidth = captionBar_->width(), barHeight = captionBar_->height();
  const int resultWidth = std::clamp(sourceWidth - 2, 0, barWidth);
  captionResult_->setGeometry(barWidth - resultWidth, 0, resultWidth, barHeight);
  captionSource_->setGeometry(0, 0, std::max(0, barWidth - resultWidth - 2), barHeight);
}

// --- commands -----------------------------------------------------------------

void TFViewTrans::SetCommandHandler(TCommand command, std::function<void()> handler) {
  handlers_[command] = std::move(handler);
  if (auto it = actions_.find(command); it != actions_.end() && command != TCommand::SemiAuto)
    it->second->setEnabled(true);
  if (auto it = buttons_.find(command); it != buttons_.end() && command != TCommand::SemiAuto)
    it->second->setEnabled(true);
}

bool TFViewTrans::HasHandler(TCommand command) const { return handlers_.count(command) != 0; }

bool TFViewTrans::IsEnabled(TCommand command) const {
  if (command == TCommand::SemiAuto || !handlers_.count(command)) return false;
  // A command with a menu item or a button is enabled exactly when they are.
  if (auto it = actions_.find(command); it != actions_.end() && !it->second->isEnabled()) return false;
  if (auto it = buttons_.find(command); it != buttons_.end() && !it->second->isEnabled()) return false;
  return true;
}

void TFViewTrans::Execute(TCommand command) {
  if (!IsEnabled(command)) return;
  handlers_.at(command)();
}

QAction* TFViewTrans::Action(TCommand command) const {
  auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

QToolButton* TFViewTrans::ToolButton(TCommand command) const {
  auto it = buttons_.find(command);
  return it == buttons_.end() ? nullptr : it->second;
}

void TFViewTrans::SetMessageHandler(int code, std::function<void(long long)> handler) {
  messageHandlers_[code] = std::move(handler);
}

void TFViewTrans::customEvent(QEvent* event) {
  if (event->type() == TViewTransMessage::kType) {
    auto* message = static_cast<TViewTransMessage*>(event);
    if (message->WParam == 10) {
      Execute(TCommand::OpenFiles);
    } else if (message->WParam == 20) {
      ActiveScrollBox()->Redraw(false);
    } else if (message->WParam == 30) {
      AlignScrollPositions();
    } else if (auto it = messageHandlers_.find(message->WParam); it != messageHandlers_.end()) {
      it->second(message->LParam);
    }
    return;
  }
  QMainWindow::customEvent(event);
}

bool TFViewTrans::KeyMapAccepts() const {
  QWidget* active = QApplication::activeWindow();
  if (!active) return false;
  return active == this || active->objectName() == "TFFullScreen" || active->objectName() == "TFFullScrn";
}

void TFViewTrans::InstallBuiltInHandlers() {
  using C = TCommand;
  // Every action and button starts disabled; a handler enables it.
  for (auto& [command, action] : actions_) action->setEnabled(false);
  for (auto& [command, button] : buttons_) button->setEnabled(false);

  SetCommandHandler(C::MouseNormal, [this] { SetMouseMode(10); });
  SetCommandHandler(C::MouseOuter, [this] { SetMouseMode(20); });
  SetCommandHandler(C::MouseInner, [this] { SetMouseMode(30); });
  SetCommandHandler(C::MouseCycle, [this] { SetMouseMode(mouseMode_ == 30 ? 10 : mouseMode_ + 10); });

  SetCommandHandler(C::ZoomPage, [this] { SetZoomMode(10); });
  SetCommandHandler(C::ZoomWidth, [this] { SetZoomMode(20); });
  SetCommandHandler(C::ZoomHeight, [this] { SetZoomMode(30); });
  SetCommandHandler(C::ZoomActual, [this] { SetZoomMode(40); });
  SetCommandHandler(C::ZoomCycle, [this] { SetZoomMode(settings_.Z >= 40 ? 10 : settings_.Z + 10); });

  for (C toggle : kToggles)
    SetCommandHandler(toggle, [this, toggle] {
      QAction* a = actions_[toggle];
      const int value = a->isChecked() ? 1 : 0;
      SetToggleValue(settings_, toggle, value);
      emit DisplayOptionChanged(toggle, value == 1);
    });

  // Save compression: choosing an item also saves at once (when saving exists).
  for (C item : {C::SaveSame, C::SaveCcitt3, C::SaveCcitt4, C::SaveDeflate, C::SaveJpeg, C::SavePackBits, C::SaveLzw})
    SetCommandHandler(item, [this, item] {
      settings_.F = MenuItemFor(item)->Tag;
      actions_[item]->setChecked(true);
      RefreshChoiceHints();
      Execute(C::Save);
    });
  SetCommandHandler(C::DoubleClickSave, [this] { settings_.DS = actions_[C::DoubleClickSave]->isChecked() ? 0 : 1; });

  for (C item : {C::DeskewKeep, C::DeskewGrow})
    SetCommandHandler(item, [this, item] {
      settings_.K = MenuItemFor(item)->Tag;
      actions_[item]->setChecked(true);
      RefreshChoiceHints();
    });
  for (C item : {C::DeskewHorizontal, C::DeskewVertical})
    SetCommandHandler(item, [this, item] {
      settings_.D = MenuItemFor(item)->Tag;
      actions_[item]->setChecked(true);
      RefreshChoiceHints();
    });
  for (C item : {C::PaperA4, C::PaperA5, C::PaperB4, C::PaperB5, C::PaperUser})
    SetCommandHandler(item, [this, item] {
      settings_.A = MenuItemFor(item)->Tag;
      actions_[item]->setChecked(true);
      RefreshChoiceHints();
    });
  for (C item : {C::PasteTransparent, C::PasteOpaque})
    SetCommandHandler(item, [this, item] {
      settings_.PT = MenuItemFor(item)->Tag;
      actions_[item]->setChecked(true);
      Execute(C::Paste);
    });

  SetCommandHandler(C::RemovePopup, [this] {
    QToolButton* b = buttons_[TCommand::RemovePopup];
    removePopup_->popup(b->mapToGlobal(QPoint(0, b->height())));
  });
  SetCommandHandler(C::Exit, [this] { close(); });
  SetCommandHandler(C::CloseOrEditor, [this] {
    // An open full-screen editor closes first.
    for (const char* name : {"TFFullScreen", "TFFullScrn"})
      if (QWidget* editor = findChild<QWidget*>(name); editor && editor->isVisible()) {
        editor->close();
        return;
      }
    close();
  });
  SetCommandHandler(C::About, [this] {
    QMessageBox::about(this, Utf8(kAppTitle),
                       Utf8("<b>벨트랙스(Veltrax)</b><br>스캔한 문서 이미지 자동 보정<br><br>"
                            "기울기, 잡티, 테두리, 정렬, 용지 크기를 한 키로 보정하고<br>"
                            "TIFF 또는 PDF로 저장합니다."));
  });
  SetCommandHandler(C::Help, [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHelpUrl))); });
}

// --- state --------------------------------------------------------------------

void TFViewTrans::SetMouseMode(int mode) {
  mouseMode_ = mode;
  const TCommand item = mode == 20 ? TCommand::MouseOuter : mode == 30 ? TCommand::MouseInner : TCommand::MouseNormal;
  for (TCommand c : {TCommand::MouseNormal, TCommand::MouseOuter, TCommand::MouseInner}) {
    buttons_[c]->setChecked(c == item);
    actions_[c]->setChecked(c == item);
  }
  for (TImageScrollBox* v : {sourceView_, resultView_, EditorView}) {
    if (!v) continue;
    Band(v).RemoveSelection();
    // Handles only where a selection stays: in plain selection.
    Band(v).SetShowHandles(mode == 10);
    ApplyMouseModeCursor(v);
  }
  emit MouseModeChanged(mode);
  // Nudge the pointer so the new cursor shows at once.
  const QPoint p = QCursor::pos();
  QCursor::setPos(p + QPoint(1, 0));
  QCursor::setPos(p);
}

void TFViewTrans::SetActiveView(TActiveView view) {
  activeView_ = view;
  // Selections are made on the view the commands work on.
  Band(sourceView_).Active = view == TActiveView::Source;
  Band(resultView_).Active = view == TActiveView::Result;
  RefreshCaptions();
  emit ActiveViewChanged(view);
}

void TFViewTrans::SetZoomMode(int mode) {
  settings_.Z = mode;
  if (QAction* a = actions_[CommandForTag(7, mode)]) a->setChecked(true);
  RefreshChoiceHints();
  // Both views at once; the result view always takes the source view's mode.
  sourceView_->SetZoomMode(ZoomModeOf(mode));
  resultView_->SetZoomMode(sourceView_->ZoomMode());
  if (EditorView) EditorView->SetZoomMode(sourceView_->ZoomMode());
  emit ZoomModeChanged(mode);
}

void TFViewTrans::RefreshCaptions() {
  const QPalette base = palette();
  auto paint = [&](QLabel* label, bool active) {
    QPalette p = label->palette();
    p.setColor(QPalette::Window, active ? base.color(QPalette::Highlight) : base.color(QPalette::Button));
    p.setColor(QPalette::WindowText, active ? base.color(QPalette::HighlightedText) : base.color(QPalette::ButtonText));
    label->setPalette(p);
  };
  paint(captionSource_, activeView_ == TActiveView::Source);
  paint(captionResult_, activeView_ == TActiveView::Result);
}

bool TFViewTrans::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == viewSplitter_ || watched == captionBar_) && event->type() == QEvent::Resize) {
    KeepViewsHalved();
    return false;
  }
  if (event->type() == QEvent::Wheel) {
    for (TImageScrollBox* v : {sourceView_, resultView_})
      if (watched == v->viewport()) return WheelOverView(v, event);
  }
  if (event->type() == QEvent::MouseButtonPress && (watched == captionSource_ || watched == captionResult_)) {
    SetActiveView(watched == captionSource_ ? TActiveView::Source : TActiveView::Result);
    (watched == captionSource_ ? sourceView_ : resultView_)->setFocus(Qt::MouseFocusReason);
    return false;
  }
  return QMainWindow::eventFilter(watched, event);
}

QString TFViewTrans::ChoiceHint(TCommand button, const TSettingsRecord& s) {
  auto caption = [](int group, int tag) {
    const TMenuItemSpec* item = MenuItemFor(CommandForTag(group, tag));
    return item ? Utf8(item->Caption) : QString();
  };
  const TToolButtonSpec* spec = nullptr;
  for (const TToolButtonSpec& b : ToolButtons())
    if (b.Command == button) spec = &b;
  const QString base = spec ? Utf8(spec->Hint) : QString();
  switch (button) {
    case TCommand::Save:
      return base + caption(1, s.F);
    case TCommand::Deskew:
      return base + caption(3, s.K) + ":" + caption(4, s.D);
    case TCommand::PaperSize:
      return base + caption(5, s.A);
    case TCommand::ZoomCycle:
      return base + caption(7, s.Z);
    default:
      return base;
  }
}

void TFViewTrans::RefreshChoiceHints() {
  const std::pair<TCommand, int> choices[] = {{TCommand::Save, settings_.F},
                                              {TCommand::Deskew, settings_.K},
                                              {TCommand::PaperSize, settings_.A},
                                              {TCommand::ZoomCycle, settings_.Z}};
  for (auto [button, tag] : choices) {
    QToolButton* b = buttons_[button];
    b->setToolTip(ChoiceHint(button, settings_));
    b->setProperty("tag", tag);
  }
}

void TFViewTrans::ApplySettingsToControls() {
  auto check = [this](int group, int tag) {
    if (QAction* a = Action(CommandForTag(group, tag))) a->setChecked(true);
  };
  check(3, settings_.K);
  check(4, settings_.D);
  check(1, settings_.F);
  actions_[TCommand::DoubleClickSave]->setChecked(settings_.DS == 0);
  check(2, settings_.PT);
  check(5, settings_.A);
  SetZoomMode(settings_.Z);
  for (TCommand toggle : kToggles) {
    actions_[toggle]->setChecked(ToggleValue(settings_, toggle) == 1);
    emit DisplayOptionChanged(toggle, ToggleValue(settings_, toggle) == 1);
  }
  SetMouseMode(10);
  RefreshChoiceHints();
}

void TFViewTrans::ShowParameters() {
  settings_.ClampMargins();
  const int values[8] = {settings_.W,  settings_.H, settings_.P1, settings_.P2, settings_.P3,
                         settings_.P4, 0,           settings_.M};
  for (int i = 0; i < 8; ++i) {
    const QString text =
        i == 6 ? QString::number(static_cast<double>(settings_.R), 'f', 2) : QString::number(values[i]);
    fields_[static_cast<std::size_t>(i)]->SetTextQuietly(text);
  }
}

void TFViewTrans::ReadParameters() {
  for (int n = 1; n <= 8; ++n) {
    TNumberField* f = Field(n);
    switch (n) {
      case 1:
        settings_.W = f->IntValue(1);
        break;
      case 2:
        settings_.H = f->IntValue(1);
        break;
      case 3:
        settings_.P1 = std::max(1, f->IntValue(1));
        break;
      case 4:
        settings_.P2 = std::max(1, f->IntValue(1));
        break;
      case 5:
        settings_.P3 = std::max(1, f->IntValue(1));
        break;
      case 6:
        settings_.P4 = std::max(1, f->IntValue(1));
        break;
      case 7:
        settings_.R = static_cast<float>(f->DecimalValue(settings_.R));
        break;
      case 8:
        settings_.M = f->IntValue(1);
        break;
    }
  }
}

void TFViewTrans::OnFieldChanged(int /*number*/) {
  ReadParameters();
  emit ParametersChanged();
}
