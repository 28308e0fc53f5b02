// TFFullScrn: the full-screen editor with toolbars. The main window's page
// in one large view, with two toolbars that repeat the main window's
// commands, display toggles, mouse modes and parameter fields. While it is
// open the main window's commands work on this window's view.
#pragma once

#include <QHash>

#include "app/EditorWindows.h"
#include "view/ViewGeometry.h"

class QLabel;
class QToolBar;
class QToolButton;

class TFFullScrn : public TEditorWindow {
  Q_OBJECT
 public:
  explicit TFFullScrn(TFViewTrans& window);
  ~TFFullScrn() override;

  TImageScrollBox* PageView() const override { return view_; }
  void TakePage(const TDibGraphic& page, const QString& fileName) override;

  // Buttons by their names (Btn1, Btn2, Invert, ..., mMode1..3).
  QToolButton* Button(const QString& name) const { return buttons_.value(name); }
  TNumberField* ParameterField(int tag) const;
  QLabel* StatusLabel() const { return status_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* AddButton(QToolBar* bar, const QString& name, const char* hint, const QIcon& icon, bool toggle);
  void BuildToolbars();
  void LayoutArea();
  void ViewChoice(int tag);
  void ZoomChoice(int tag);
  void Toggle(QToolButton* button, TCommand toggle);
  void ShowStatus(int x, int y);

  TImageScrollBox* view_ = nullptr;
  QWidget* area_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* leftBar_ = nullptr;
  QLabel* corner_ = nullptr;
  QToolBar* bar1_ = nullptr;
  QToolBar* bar2_ = nullptr;
  QHash<QString, QToolButton*> buttons_;
  TParameterFields fields_{};
  TZoomMode zoom_ = zmFitWidth;
};
