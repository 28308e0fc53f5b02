#include "app/F_SemiTrans.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/DesktopModules.h"
#include "app/F_ViewTrans.h"
#include "app/KeyboardMap.h"
#include "app/ViewTransMessage.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

constexpr const char* kCaption = "벨트랙스(Veltrax) - 반자동 이미지 보정";
constexpr const char* kLine = "Shift 키를 누르면 작업을 진행합니다.";
constexpr const char* kWait = "대기";
constexpr const char* kGo = "진행";
constexpr const char* kPositionName = "FSemiTrans";

struct TStepSpec {
  const char* Caption;
  bool Checked;
  TCommand Command;
  bool Wait;
};
constexpr TStepSpec kSteps[10] = {
    {"기울기보정", true, TCommand::Deskew, true},          {"잡티제거", true, TCommand::Specks, false},
    {"중앙정렬", true, TCommand::Centre, false},           {"테두리제거", true, TCommand::BorderRemoval, false},
    {"이미지 크게", true, TCommand::Enlarge, false},       {"이미지 작게", false, TCommand::Reduce, false},
    {"문서 크기", true, TCommand::PaperSize, false},       {"진하게 하기", false, TCommand::Darken, false},
    {"여백에 맞추기", false, TCommand::FitMargins, false}, {"파일저장", true, TCommand::Save, true}};

QPixmap ArrowPixmap() {
  QPixmap arrow(16, 12);
  arrow.fill(Qt::transparent);
  QPainter p(&arrow);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xC0, 0x10, 0x10));
  p.drawRect(1, 4, 8, 4);
  const QPointF head[3] = {{8, 0}, {15, 6}, {8, 12}};
  p.drawPolygon(head, 3);
  return arrow;
}

}  // namespace

TFSemiTrans::TFSemiTrans(TFViewTrans& window) : QWidget(&window, Qt::Tool | Qt::WindowStaysOnTopHint), window_(window) {
  setObjectName("TFSemiTrans");
  setWindowTitle(Utf8(kCaption));
  setAttribute(Qt::WA_DeleteOnClose);
  // The main window stays the active window, also while the operator ticks
  // the boxes here, so Shift keeps driving steps.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(10, 8, 10, 8);
  auto* line = new QLabel(Utf8(kLine), this);
  top->addWidget(line);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(2);
  top->addLayout(grid);
  for (int i = 0; i < 10; ++i) {
    TStep& step = steps_[static_cast<std::size_t>(i)];
    step.Number = (i + 1) * 10;
    step.Command = kSteps[i].Command;
    step.Arrow = new QLabel(this);
    step.Arrow->setFixedSize(16, 12);
    step.Run = new QCheckBox(Utf8(kSteps[i].Caption), this);
    step.Wait = new QRadioButton(Utf8(kWait), this);
    step.Go = new QRadioButton(Utf8(kGo), this);
    auto* choice = new QButtonGroup(this);
    choice->addButton(step.Wait);
    choice->addButton(step.Go);
    for (QWidget* control :
         {static_cast<QWidget*>(step.Run), static_cast<QWidget*>(step.Wait), static_cast<QWidget*>(step.Go)})
      control->setFocusPolicy(Qt::NoFocus);
    grid->addWidget(step.Run, i, 0);
    grid->addWidget(step.Arrow, i, 1);
    grid->addWidget(step.Wait, i, 2);
    grid->addWidget(step.Go, i, 3);
  }
  Reset();
  setFixedSize(sizeHint());
}

void TFSemiTrans::Reset() {
  for (int i = 0; i < 10; ++i) {
    TStep& step = steps_[static_cast<std::size_t>(i)];
    step.Run->setChecked(kSteps[i].Checked);
    (kSteps[i].Wait ? step.Wait : step.Go)->setChecked(true);
  }
  current_ = 10;
  MoveArrow();
}

int TFSemiTrans::ArrowStep() const {
  for (const TStep& step : steps_)
    if (!step.Arrow->pixmap().isNull()) return step.Number;
  return 0;
}

void TFSemiTrans::MoveArrow() {
  static const QPixmap arrow = ArrowPixmap();
  for (TStep& step : steps_) {
    if (step.Number == current_)
      step.Arrow->setPixmap(arrow);
    else
      step.Arrow->clear();
  }
}

// Runs steps from the current one; stops before the next "대기" step, or
// after one full round when every choice is "진행". The views are drawn once
// at the stop.
void TFSemiTrans::RunChain() {
  if (running_) return;
  running_ = true;
  const QPointer<TFSemiTrans> self(this);
  QPointer<TImageScrollBox> view = window_.ActiveScrollBox();
  if (view) view->setUpdatesEnabled(false);
  const int start = current_;
  for (;;) {
    TStep& step = Step(current_);
    if (step.Run->isChecked()) window_.Execute(step.Command);
    if (!self) break;  // closed by what the step did
    current_ = current_ == 100 ? 10 : current_ + 10;
    MoveArrow();
    if (Step(current_).Wait->isChecked() || current_ == start) break;
    QCoreApplication::processEvents();
    if (!self) break;
  }
  if (view) view->setUpdatesEnabled(true);
  PostViewTransMessage(&window_, 20);
  if (self) running_ = false;
}

void TFSemiTrans::closeEvent(QCloseEvent* event) {
  SaveWindowPosition(Utf8(kPositionName), x(), y());
  QWidget::closeEvent(event);
}

// --- opening and the Shift key --------------------------------------------------

TSemiAutomatic::TSemiAutomatic(TFViewTrans& window) : QObject(&window), window_(window) {
  // The menu item and its button stay disabled and hidden; the handler is
  // there for when they are offered.
  window.SetCommandHandler(TCommand::SemiAuto, [this] { Open(); });
  // Installed after the main window's key map, so this filter sees Shift
  // first and keeps it from the map while the window is open.
  qApp->installEventFilter(this);
}

TSemiAutomatic::~TSemiAutomatic() { qApp->removeEventFilter(this); }

void TSemiAutomatic::Open() {
  if (semi_) return;
  auto* semi = new TFSemiTrans(window_);
  semi_ = semi;
  const QPoint position = LoadWindowPosition(Utf8(kPositionName));
  if (IsStoredPositionUsable(position)) semi->move(position);
  semi->show();
}

// As the key map: only on the delivery to the focused control (or to a
// window without one), only while the main window or a full-screen editor
// is active, and never into a text field.
bool TSemiAutomatic::ShiftDrivesSteps(QObject* watched) const {
  auto* widget = qobject_cast<QWidget*>(watched);
  QWidget* focus = QApplication::focusWidget();
  if (!widget || (widget != focus && !(widget->isWindow() && !focus))) return false;
  QWidget* active = QApplication::activeWindow();
  if (!active) return false;
  const bool ours =
      active == &window_ || active->objectName() == "TFFullScreen" || active->objectName() == "TFFullScrn";
  return ours && !TKeyboardMap::FocusIsTextField();
}

bool TSemiAutomatic::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !semi_) return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Shift || !ShiftDrivesSteps(watched)) return QObject::eventFilter(watched, event);
  if (!key->isAutoRepeat()) Window()->RunChain();
  return true;
}

TSemiAutomatic* InstallSemiAutomatic(TFViewTrans& window) { return new TSemiAutomatic(window); }
