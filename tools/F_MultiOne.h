// The merge / split / convert window: a thin layer over the file work of
// tools/work/DocumentFiles.h, run in the user-interface thread with the
// window kept responsive between pages.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "tools/work/DocumentFiles.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

enum class TMultiOneOperation { Merge, Split, Convert };

class TFMultiOne : public QWidget {
  Q_OBJECT
 public:
  // location: the folder shown and merged into; saveFolder: where split and
  // converted files go below (empty: beside their sources).
  TFMultiOne(TMultiOneOperation operation, std::vector<TToolEntry> entries, const QString& location,
             const QString& saveFolder, QWidget* parent = nullptr);

  // Shows a message (error true for the error box); tests replace it.
  std::function<void(const QString& text, bool error)> Message;

  TMultiOneOperation Operation() const { return operation_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* CloseButton() const { return close_; }
  QComboBox* TypeChoice() const { return type_; }
  QLineEdit* LocationBox() const { return location_; }
  QLabel* ProgressLabel() const { return progressLabel_; }
  QProgressBar* ProgressBar() const { return progress_; }
  bool Running() const { return running_; }

  // The start button's work.
  void Start();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  TMultiOneOperation operation_;
  std::vector<TToolEntry> entries_;
  QString locationFolder_;
  QString saveFolder_;
  QComboBox* type_ = nullptr;
  QLineEdit* location_ = nullptr;
  QLabel* progressLabel_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* close_ = nullptr;
  bool running_ = false;
  bool stop_ = false;
};
