// The window joining two images side by side: a thin layer over
// tools/work/JoinPages.h, run in the user-interface thread.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "tools/work/DocumentFiles.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class TFTwoInOne : public QWidget {
  Q_OBJECT
 public:
  explicit TFTwoInOne(std::vector<TToolEntry> entries, QWidget* parent = nullptr);

  // The save folder at the start of a run; empty stops before anything is
  // done. The installer asks the operator for one when none is set.
  std::function<QString()> SaveFolder;
  std::function<void(const QString& text, bool error)> Message;

  QLineEdit* LeftTrim() const { return leftTrim_; }
  QLineEdit* RightTrim() const { return rightTrim_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* CloseButton() const { return close_; }
  QProgressBar* ProgressBar() const { return progress_; }
  bool Running() const { return running_; }

  void Start();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::vector<TToolEntry> entries_;
  QLineEdit* leftTrim_ = nullptr;
  QLineEdit* rightTrim_ = nullptr;
  QLabel* progressLabel_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* close_ = nullptr;
  bool running_ = false;
  bool stop_ = false;
};
