// TFViewTrans: the main window. Panes, menus, toolbars, number fields,
// status lines, the keyboard map and the command dispatch live here; each
// command's work is registered by the module that builds it
// (SetCommandHandler). A command without a handler is shown disabled.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <memory>

#include "app/ViewTransCommands.h"
#include "image/DibGraphic.h"
#include "utils/Utils.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QSplitter;
class QStackedWidget;
class QTabBar;
class QToolBar;
class QToolButton;
class TImageScrollBox;
class TKeyboardMap;
class TNumberField;
class TRubberbandMouseHandler;

// Which view commands work on.
enum class TActiveView { Source = 10, Result = 20 };

class TFViewTrans : public QMainWindow {
  Q_OBJECT
 public:
  explicit TFViewTrans(QWidget* parent = nullptr);
  ~TFViewTrans() override;

  // --- commands -------------------------------------------------------------
  void SetCommandHandler(TCommand command, std::function<void()> handler);
  bool HasHandler(TCommand command) const;
  // Runs a command as its key, menu item or button would: a disabled
  // command does nothing.
  void Execute(TCommand command);
  bool IsEnabled(TCommand command) const;
  QAction* Action(TCommand command) const;
  QToolButton* ToolButton(TCommand command) const;

  // --- state ------------------------------------------------------------------
  TSettingsRecord& Settings() { return settings_; }
  int MouseMode() const { return mouseMode_; }
  void SetMouseMode(int mode);
  TActiveView ActiveView() const { return activeView_; }
  void SetActiveView(TActiveView view);
  int ZoomMode() const { return settings_.Z; }
  void SetZoomMode(int mode);
  int OpenMode() const { return openMode_; }
  void SetOpenMode(int mode) { openMode_ = mode; }

  // Number fields 1..8: W, H, P1, P2, P3, P4, R, M.
  TNumberField* Field(int number) const { return fields_[static_cast<std::size_t>(number - 1)]; }
  // Shows the settings' values in the eight fields (no change events).
  void ShowParameters();
  // Takes the eight fields' values into the settings.
  void ReadParameters();

  // --- views ------------------------------------------------------------------
  TImageScrollBox* SourceView() const { return sourceView_; }
  TImageScrollBox* ResultView() const { return resultView_; }
  // The view commands work on: an open full-screen editor's, else the
  // source or result view as the active view says.
  TImageScrollBox* ActiveScrollBox() const;
  TRubberbandMouseHandler& Band(TImageScrollBox* view) const;
  TDibGraphic& UndoImage() { return undo_; }
  TDibGraphic& ScratchImage() { return scratch_; }
  // A full-screen editor's view while one is open (set by the editors).
  TImageScrollBox* EditorView = nullptr;
  // The fixed area last selected with 4 / 5; -1 when none.
  int FixedAreaCursor = -1;
  // Navigation of the working list (-9 first, -1 previous, 0 reload, 1 next,
  // 9 last, 10 the selected entry); set by the working-list module.
  std::function<void(int)> Navigate;
  // Finished free-form outlines of either view go here.
  std::function<void(TRubberbandMouseHandler* band, TImageScrollBox* view, int pointCount)> OnOutlineFinished;

  // Status line of a view for an image point; the file name, frame and
  // list position come from the providers below.
  void SetStatusLine(TImageScrollBox* view, int x, int y);
  std::function<QString(TImageScrollBox* view)> StatusFileName;
  std::function<std::pair<int, int>()> ListPosition;  // (current from 1, count)
  // Applies the display options of the settings to a view.
  void ApplyDisplayOptions(TImageScrollBox* view);
  void AlignScrollPositions();

  // The two panes of the caption bar.
  QLabel* SourceCaption() const { return captionSource_; }
  QLabel* ResultCaption() const { return captionResult_; }
  QWidget* SourcePane() const { return sourcePane_; }
  QWidget* ResultPane() const { return resultPane_; }
  QSplitter* ViewSplitter() const { return viewSplitter_; }
  QTabBar* ListTabs() const { return listTabs_; }
  QStackedWidget* ListStack() const { return listStack_; }
  QMenu* RemovePopup() const { return removePopup_; }

  // Hint of a choice button: its caption followed by the chosen item's.
  static QString ChoiceHint(TCommand button, const TSettingsRecord& settings);

 signals:
  void MouseModeChanged(int mode);
  void ActiveViewChanged(TActiveView view);
  void ZoomModeChanged(int mode);
  void DisplayOptionChanged(TCommand toggle, bool on);
  void ParametersChanged();

 protected:
  void customEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 public:
  // Handlers of the private command message by code (10, 20, 30, 100, ...).
  void SetMessageHandler(int code, std::function<void(long long)> handler);

 private:
  void BuildMenus();
  void BuildToolbars(QWidget* leftPanel, QWidget* rightArea);
  void BuildPanes();
  void FitToScreen();
  void ApplySettingsToControls();
  void RefreshChoiceHints();
  void RefreshCaptions();
  void KeepViewsHalved();
  void OnFieldChanged(int number);
  void InstallBuiltInHandlers();
  bool KeyMapAccepts() const;
  void SetupView(TImageScrollBox* view);
  void ApplyMouseModeCursor(TImageScrollBox* view);
  bool WheelOverView(TImageScrollBox* view, QEvent* event);

  TSettingsRecord settings_;
  int mouseMode_ = 10;
  TActiveView activeView_ = TActiveView::Source;
  int openMode_ = 0;

  std::map<TCommand, QAction*> actions_;
  std::map<TCommand, QToolButton*> buttons_;
  std::map<TCommand, std::function<void()>> handlers_;
  std::map<int, std::function<void(long long)>> messageHandlers_;
  std::array<TNumberField*, 8> fields_{};
  QMenu* removePopup_ = nullptr;
  QTabBar* listTabs_ = nullptr;
  QStackedWidget* listStack_ = nullptr;
  QLabel* captionSource_ = nullptr;
  QLabel* captionResult_ = nullptr;
  QWidget* captionBar_ = nullptr;
  QSplitter* viewSplitter_ = nullptr;
  QSplitter* mainSplitter_ = nullptr;
  TImageScrollBox* sourceView_ = nullptr;
  TImageScrollBox* resultView_ = nullptr;
  TDibGraphic undo_;
  TDibGraphic scratch_;
  QWidget* sourcePane_ = nullptr;
  QWidget* resultPane_ = nullptr;
  QWidget* rightArea_ = nullptr;
  TKeyboardMap* keyboardMap_ = nullptr;
  int wheelRemainder_ = 0;  // wheel turn not yet a whole notch
};
