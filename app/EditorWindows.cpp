#include "app/EditorWindows.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include "app/AppMessage.h"
#include "app/F_FullScreen.h"
#include "app/F_FullScrn.h"
#include "app/F_ViewZoom.h"
#include "app/NumberField.h"
#include "app/StatusLine.h"
#include "view/ImageScrollBox.h"
#include "view/RubberbandMouseHandler.h"
#include "view/ViewGeometry.h"

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

int FieldNumberForTag(int tag) {
  for (std::size_t i = 0; i < kParameterTags.size(); ++i)
    if (kParameterTags[i] == tag) return static_cast<int>(i) + 1;
  return 0;
}

// Selects a field's text when it is entered.
class TSelectOnFocus : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusIn)
      if (auto* field = qobject_cast<QLineEdit*>(watched)) QTimer::singleShot(0, field, &QLineEdit::selectAll);
    return false;
  }
};

}  // namespace

// Opens the windows and keeps an open editor on the main window's page.
class TEditorWindows : public QObject {
 public:
  static constexpr const char* kName = "EditorWindows";
  explicit TEditorWindows(TFViewTrans& window) : QObject(&window), w_(window) { setObjectName(kName); }

  void Install();
  bool Switch(TActiveView target);

 private:
  TImageScrollBox* MainView() const {
    return w_.ActiveView() == TActiveView::Result ? w_.ResultView() : w_.SourceView();
  }
  QString FileNameOf(TImageScrollBox* view) const {
    const QString name = w_.StatusFileName ? w_.StatusFileName(view) : QString::fromStdString(view->FileName());
    return QFileInfo(name).fileName();
  }
  void OpenMagnifier();
  template <class TEditor>
  void OpenEditor();
  void EditorClosed();
  void MainPageChanged(TImageScrollBox* view, bool newGraphic);
  void TakeMainPage();

  TFViewTrans& w_;
  QPointer<TFViewZoom> magnifier_;
  QPointer<TEditorWindow> editor_;
  TImageScrollBox* mainView_ = nullptr;  // where the editor's page came from
  std::string mainFile_;                 // and which page it was
  int mainFrame_ = 0;
  bool syncPending_ = false;
  bool handingBack_ = false;
  std::function<void(int)> navigate_;  // the list's navigation while an editor is open
};

void TEditorWindows::Install() {
  w_.SetCommandHandler(TCommand::Magnifier, [this] { OpenMagnifier(); });
  w_.SetCommandHandler(TCommand::FullScreen1, [this] { OpenEditor<TFFullScreen>(); });
  w_.SetCommandHandler(TCommand::FullScreen2, [this] { OpenEditor<TFFullScrn>(); });
  for (TImageScrollBox* view : {w_.SourceView(), w_.ResultView()}) {
    // The magnifier follows the mouse, after the status line.
    auto previousMove = view->OnImageMouseMove;
    view->OnImageMouseMove = [this, previousMove](TImageScrollBox* sender, Qt::KeyboardModifiers shift, int x, int y) {
      if (previousMove) previousMove(sender, shift, x, y);
      if (!magnifier_) return;
      const TSize display = sender->DisplaySize();
      const TDibGraphic& page = sender->Graphic();
      if (display.Width <= 0 || display.Height <= 0 || page.Empty()) return;
      magnifier_->Magnify(page, ScaleTrunc(x, page.Width(), display.Width),
                          ScaleTrunc(y, page.Height(), display.Height));
    };
    // An open editor follows the main window to another page.
    auto previousNew = view->OnNewGraphic;
    view->OnNewGraphic = [this, view, previousNew](TDibGraphic* graphic) {
      if (previousNew) previousNew(graphic);
      MainPageChanged(view, true);
    };
    auto previousRedraw = view->OnRedraw;
    view->OnRedraw = [this, view, previousRedraw](TDibGraphic* graphic) {
      if (previousRedraw) previousRedraw(graphic);
      MainPageChanged(view, false);
    };
  }
}

void TEditorWindows::OpenMagnifier() {
  if (magnifier_) {
    magnifier_->show();
    magnifier_->raise();
    magnifier_->activateWindow();
    return;
  }
  magnifier_ = new TFViewZoom(&w_);
  magnifier_->show();
}

template <class TEditor>
void TEditorWindows::OpenEditor() {
  if (editor_) return;
  TImageScrollBox* source = w_.ActiveScrollBox();
  if (source->Graphic().Empty()) {
    ShowAppMessage(Utf8(kNoPageMessage), amInformation);
    return;
  }
  mainView_ = MainView();
  mainFile_ = mainView_->FileName();
  mainFrame_ = mainView_->CurrentFrame();
  auto* editor = new TEditor(w_);
  editor_ = editor;
  TRubberbandMouseHandler& band = w_.Band(editor->PageView());
  band.SetShowHandles(w_.Band(source).ShowHandles());
  band.OnOutline = [this](TRubberbandMouseHandler* sender, TImageScrollBox* view, int count) {
    if (w_.OnOutlineFinished) w_.OnOutlineFinished(sender, view, count);
  };
  editor->PageView()->SetPageCursor(source->PageCursor());
  editor->OnClosed = [this] { EditorClosed(); };
  w_.EditorView = editor->PageView();
  // Pages the list moves to while the editor is open go into the editor.
  navigate_ = w_.Navigate;
  if (navigate_)
    w_.Navigate = [this](int how) {
      navigate_(how);
      TakeMainPage();
    };
  QRect screen(0, 0, 1024, 768);
  if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->geometry();
  editor->setGeometry(screen);
  editor->show();
  editor->activateWindow();
  // Shown first, so that the views have their size when the page comes.
  editor->TakePage(source->Graphic(), FileNameOf(source));
}

void TEditorWindows::EditorClosed() {
  TEditorWindow* editor = editor_;
  if (!editor) return;
  w_.EditorView = nullptr;
  if (navigate_) w_.Navigate = navigate_;
  navigate_ = nullptr;
  editor_ = nullptr;
  // The page goes back in place: the view keeps its file and pages.
  TImageScrollBox* target = MainView();
  handingBack_ = true;
  target->Graphic().Assign(editor->PageView()->Graphic());
  target->Redraw(true);
  handingBack_ = false;
  w_.Band(target).SetShowHandles(w_.Band(editor->PageView()).ShowHandles());
}

void TEditorWindows::MainPageChanged(TImageScrollBox* view, bool newGraphic) {
  if (!editor_ || handingBack_ || view != mainView_) return;
  if (!newGraphic && view->FileName() == mainFile_ && view->CurrentFrame() == mainFrame_) return;
  if (syncPending_) return;
  syncPending_ = true;
  QTimer::singleShot(0, this, [this] {
    syncPending_ = false;
    TakeMainPage();
  });
}

void TEditorWindows::TakeMainPage() {
  if (!editor_ || !mainView_) return;
  mainFile_ = mainView_->FileName();
  mainFrame_ = mainView_->CurrentFrame();
  editor_->TakePage(mainView_->Graphic(), FileNameOf(mainView_));
}

bool TEditorWindows::Switch(TActiveView target) {
  TImageScrollBox* targetView = target == TActiveView::Result ? w_.ResultView() : w_.SourceView();
  if (targetView->Graphic().Empty()) return false;
  if (!editor_) {
    w_.SetActiveView(target);
    return true;
  }
  if (targetView == mainView_) return true;
  // The page worked on so far goes back to the view it came from.
  handingBack_ = true;
  mainView_->Graphic().Assign(editor_->PageView()->Graphic());
  mainView_->Redraw(true);
  handingBack_ = false;
  w_.SetActiveView(target);
  mainView_ = targetView;
  TakeMainPage();
  return true;
}

void InstallEditorWindows(TFViewTrans& window) {
  auto* windows = new TEditorWindows(window);  // owned by the window
  windows->Install();
}

bool SwitchEditorView(TFViewTrans& window, TActiveView view) {
  if (QObject* found = window.findChild<QObject*>(TEditorWindows::kName, Qt::FindDirectChildrenOnly))
    return static_cast<TEditorWindows*>(found)->Switch(view);
  TImageScrollBox* target = view == TActiveView::Result ? window.ResultView() : window.SourceView();
  if (target->Graphic().Empty()) return false;
  window.SetActiveView(view);
  return true;
}

// --- the editor window -------------------------------------------------------------

TEditorWindow::TEditorWindow(TFViewTrans& window, const char* objectName)
    : QWidget(&window, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), window_(window) {
  setObjectName(objectName);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowModality(Qt::ApplicationModal);
}

void TEditorWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (!event->isAccepted()) return;
  if (auto closed = std::move(OnClosed)) {
    OnClosed = nullptr;
    closed();
  }
}

// --- parameter fields --------------------------------------------------------

TNumberField* CreateParameterField(TFViewTrans& window, int tag, const QString& hint, QWidget* parent) {
  auto* field = new TNumberField(tag == 30, hint, parent);
  field->setObjectName(QString("Field%1").arg(tag));
  field->setProperty("tag", tag);
  static TSelectOnFocus* select = nullptr;
  if (!select) select = new TSelectOnFocus(QCoreApplication::instance());
  field->installEventFilter(select);
  const int number = FieldNumberForTag(tag);
  QObject::connect(field, &QLineEdit::textChanged, field, [&window, number](const QString& text) {
    // The main window's field takes the text and with it the value
    // (1 for text that is not a number).
    if (TNumberField* main = window.Field(number); main && main->text() != text) main->setText(text);
  });
  return field;
}

void RefreshParameterFields(TFViewTrans& window, const TParameterFields& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    TNumberField* field = fields[i];
    const QString text = window.Field(static_cast<int>(i) + 1)->text();
    if (field && !field->hasFocus() && field->text() != text) field->SetTextQuietly(text);
  }
}

// --- passing on -----------------------------------------------------------------

QPoint DisplayToImage(TImageScrollBox* view, int x, int y) {
  const TSize display = view->DisplaySize();
  const TDibGraphic& page = view->Graphic();
  return QPoint(ScaleRound(x, page.Width(), display.Width), ScaleRound(y, page.Height(), display.Height));
}

QString EditorStatusText(TFViewTrans& window, TImageScrollBox* view, const QString& fileName, int x, int y) {
  TStatusLineData d;
  d.X = x;
  d.Y = y;
  d.FileName = fileName;
  TImageScrollBox* source = window.SourceView();
  if (source->FrameCount() > 0) {
    d.Frame = std::max(1, source->CurrentFrame());
    d.FrameCount = source->FrameCount();
  }
  if (window.ListPosition) std::tie(d.EntryPosition, d.EntryCount) = window.ListPosition();
  return FormatStatusLine(view->Graphic(), d);
}

// The main window handles releases on its own views in their release
// event; the same handling serves the editor's view.
void ForwardRelease(TFViewTrans& window, TImageScrollBox* view, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                    int x, int y) {
  if (auto handle = window.SourceView()->OnImageMouseUp) handle(view, button, modifiers, x, y);
}

void ForwardDoubleClick(TFViewTrans& window, TImageScrollBox* view) {
  if (auto handle = window.SourceView()->OnImageDblClick) handle(view);
}

void SetMainToggle(TFViewTrans& window, TCommand toggle, bool on) {
  if (QAction* action = window.Action(toggle)) action->setChecked(on);
  window.Execute(toggle);
}

QIcon EditorIcon(const QString& text) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 48, 64), 1.5));
  p.setBrush(QColor(250, 250, 246));
  p.drawRoundedRect(QRectF(2.5, 2.5, 27, 27), 4, 4);
  QFont f;
  f.setPixelSize(text.size() > 1 ? 12 : 18);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(32, 112, 200));
  p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, text);
  return QIcon(pixmap);
}

// --- frame bars -------------------------------------------------------------------

TEdgePress::TEdgePress(QWidget* bar, TTarget target, TEdge edge)
    : QObject(bar), target_(std::move(target)), edge_(std::move(edge)) {
  bar->installEventFilter(this);
}

bool TEdgePress::eventFilter(QObject*, QEvent* event) {
  auto send = [](TImageScrollBox* view, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
                 Qt::KeyboardModifiers modifiers) {
    QMouseEvent forwarded(type, at, view->viewport()->mapToGlobal(at), button, buttons, modifiers);
    QCoreApplication::sendEvent(view->viewport(), &forwarded);
  };
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return false;
      TImageScrollBox* view = target_();
      if (!view || view->DisplaySize().Width <= 0) return false;
      const QPoint edge = edge_(mouse->position().toPoint());
      if (edge.x() < 0) return false;
      pressed_ = view;
      send(view, QEvent::MouseButtonPress, QPointF(edge), Qt::LeftButton, Qt::LeftButton, mouse->modifiers());
      return true;
    }
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
      if (!pressed_) return false;
      auto* mouse = static_cast<QMouseEvent*>(event);
      TImageScrollBox* view = pressed_;
      const QPointF at = view->viewport()->mapFromGlobal(mouse->globalPosition());
      if (event->type() == QEvent::MouseMove) {
        send(view, QEvent::MouseMove, at, Qt::NoButton, mouse->buttons(), mouse->modifiers());
      } else {
        pressed_ = nullptr;
        send(view, QEvent::MouseButtonRelease, at, mouse->button(), mouse->buttons(), mouse->modifiers());
      }
      return true;
    }
    default:
      return false;
  }
}
