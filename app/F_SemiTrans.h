// TFSemiTrans: the semi-automatic correction window. Ten steps, each with a
// check box (run its command or skip it) and a choice "대기" (stop before
// it) / "진행" (go on into it). Each press of Shift alone in the main window
// runs the steps from the current one up to the next "대기" step.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <array>

#include "app/ViewTransCommands.h"

class QCheckBox;
class QLabel;
class QRadioButton;
class TFViewTrans;

class TFSemiTrans : public QWidget {
  Q_OBJECT
 public:
  struct TStep {
    int Number;  // 10, 20, ... 100
    TCommand Command;
    QCheckBox* Run = nullptr;
    QRadioButton* Wait = nullptr;
    QRadioButton* Go = nullptr;
    QLabel* Arrow = nullptr;
  };

  explicit TFSemiTrans(TFViewTrans& window);

  // Runs the chain once (one press of Shift).
  void RunChain();
  // Checks and choices as at the start, current step 10.
  void Reset();

  int CurrentStep() const { return current_; }
  // The step (10..100) whose row shows the arrow.
  int ArrowStep() const;
  TStep& Step(int number) { return steps_[static_cast<std::size_t>(number / 10 - 1)]; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void MoveArrow();

  TFViewTrans& window_;
  std::array<TStep, 10> steps_;
  int current_ = 10;
  bool running_ = false;
};

// Opens the window and lets Shift drive it while the main window (or a
// full-screen editor) is the active window.
class TSemiAutomatic : public QObject {
  Q_OBJECT
 public:
  explicit TSemiAutomatic(TFViewTrans& window);
  ~TSemiAutomatic() override;

  // Only one window at a time: a second request does nothing while open.
  void Open();
  TFSemiTrans* Window() const { return static_cast<TFSemiTrans*>(semi_.data()); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool ShiftDrivesSteps(QObject* watched) const;

  TFViewTrans& window_;
  // Held as a plain widget: the filter sees events while the window is
  // being destroyed, when it is no longer a TFSemiTrans.
  QPointer<QWidget> semi_;
};
