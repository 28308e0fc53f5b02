// The magnifier and the two full-screen editors, as the main window opens
// them, and what the editors share: the parameter fields tied to the main
// window's fields, the status text, the main window's handling of releases
// and double clicks, the choice of the active view and a press on a frame
// bar passed on to a view's edge.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

#include "app/F_ViewTrans.h"

class QIcon;
class QLabel;
class TImageScrollBox;
class TNumberField;

// Registers the magnifier ("확대 창"), the two full-screen editors ("전체
// 화면 1", "전체화면 2") and the magnifier's hook on the main window's views.
void InstallEditorWindows(TFViewTrans& window);

// The message shown when there is no page to open an editor on.
inline const char* const kNoPageMessage = "작업할 파일을 선택하세요.";

// Base of the two full-screen editors: a borderless window over the whole
// screen, on top and modal, working on a copy of the main window's page.
// Closing hands the page back (see InstallEditorWindows) and destroys it.
class TEditorWindow : public QWidget {
  Q_OBJECT
 public:
  TEditorWindow(TFViewTrans& window, const char* objectName);
  // The view the main window's commands work on while this window is open.
  virtual TImageScrollBox* PageView() const = 0;
  // The page to work on (on opening and when the main window moves to
  // another page) and its file name without folders.
  virtual void TakePage(const TDibGraphic& page, const QString& fileName) = 0;
  QString FileName() const { return fileName_; }
  // Called once when the window closes, before it is destroyed.
  std::function<void()> OnClosed;

 protected:
  void closeEvent(QCloseEvent* event) override;
  TFViewTrans& window_;
  QString fileName_;
};

// --- parameter fields --------------------------------------------------------

// Tags of the eight fields, in the order of the main window's fields:
// speck width and height, margins left, top, right, bottom, angle, shift.
inline constexpr std::array<int, 8> kParameterTags{10, 11, 20, 21, 22, 23, 30, 40};
using TParameterFields = std::array<TNumberField*, 8>;

// A field for tag: digits only ("." too in the angle field, tag 30), its
// text selected on entering, and every change handed to the main window's
// matching field, which takes the value into the settings.
TNumberField* CreateParameterField(TFViewTrans& window, int tag, const QString& hint, QWidget* parent);
// Shows the main window's field values in the editor's fields (no events).
void RefreshParameterFields(TFViewTrans& window, const TParameterFields& fields);

// --- what the editors pass on to the main window -----------------------------------

// The status line for image point (x, y) of view, with the editor's file name.
QString EditorStatusText(TFViewTrans& window, TImageScrollBox* view, const QString& fileName, int x, int y);
// Display point to image pixels, rounded.
QPoint DisplayToImage(TImageScrollBox* view, int x, int y);
// The main window's handling of a mouse release, as if over its own view.
void ForwardRelease(TFViewTrans& window, TImageScrollBox* view, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                    int x, int y);
// The main window's handling of a double click (saving).
void ForwardDoubleClick(TFViewTrans& window, TImageScrollBox* view);
// A display toggle of the main window set to on, as its menu item would.
void SetMainToggle(TFViewTrans& window, TCommand toggle, bool on);
// Asks the main window to make view active for an open editor: refused
// (false) when that view holds no page. On a change the editor's page goes
// back to the view it came from and the editor shows the other view's page.
bool SwitchEditorView(TFViewTrans& window, TActiveView view);

// A small button image: the text on a light square.
QIcon EditorIcon(const QString& text);

// Passes a left-button press on a frame bar to a view at the page's edge:
// Edge maps the press position on the bar to a point of the view's
// viewport (a point with x < 0 means "ignore"); the drag and release that
// follow go to the view too, so a selection can start exactly at the edge.
class TEdgePress : public QObject {
 public:
  using TTarget = std::function<TImageScrollBox*()>;
  using TEdge = std::function<QPoint(QPoint barPosition)>;
  TEdgePress(QWidget* bar, TTarget target, TEdge edge);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TTarget target_;
  TEdge edge_;
  TImageScrollBox* pressed_ = nullptr;
};
