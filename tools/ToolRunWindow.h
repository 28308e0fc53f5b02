// What the document tools' windows share: the progress line and bar, the
// start and close buttons, a run with the busy cursor and the window kept
// responsive between pages, and closing during a run, which stops it at the
// next page boundary and closes the window then.
#pragma once

#include <QWidget>
#include <functional>

#include "tools/work/DocumentFiles.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

class TToolRunWindow : public QWidget {
  Q_OBJECT
 public:
  TToolRunWindow(QWidget* parent, Qt::WindowFlags flags);

  // Shows a message (error true for the error box); tests replace it.
  std::function<void(const QString& text, bool error)> Message;

  QLabel* ProgressLabel() const { return progressLabel_; }
  QProgressBar* ProgressBar() const { return progress_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* CloseButton() const { return close_; }
  bool Running() const { return running_; }

  // The start button's work.
  virtual void Start() = 0;

 protected:
  // Adds the progress line, the bar and the two buttons below the window's
  // own controls.
  void AddProgressAndButtons(QVBoxLayout* layout);
  // Places the window over the middle of its owner's window.
  void CentreOnOwner();
  // Runs the file work with the bar following run.Progress; returns the
  // error text, empty when the work ended well or was stopped. Controls
  // given are disabled meanwhile.
  QString RunWork(TToolRun& run, const std::function<void()>& work, QWidget* alsoDisabled = nullptr);
  bool StopRequested() const { return stop_; }
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* progressLabel_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* close_ = nullptr;
  bool running_ = false;
  bool stop_ = false;
};
