// "인쇄 범위 설정": which pages the print command prints.
#pragma once

#include <QDialog>

class QRadioButton;

enum TPrintRange { prAllFiles = 0, prCheckedFiles = 1, prCurrentFile = 2, prCurrentPage = 3 };

class TFPrintRange : public QDialog {
  Q_OBJECT
 public:
  explicit TFPrintRange(QWidget* parent = nullptr);
  int Range() const;
  void SetRange(int range);
  QRadioButton* Choice(int range) const { return choices_[range]; }

  // Shows the dialog modally: the chosen range, or -1 when cancelled.
  static int Ask(QWidget* parent);

 private:
  QRadioButton* choices_[4] = {};
};
