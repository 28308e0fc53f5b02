// The small name dialog "폴더 이름": one text field (at most 30 characters,
// preset "새폴더"); "확 인" or Enter accepts only a non-empty name.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

class TFUserInput : public QDialog {
  Q_OBJECT
 public:
  explicit TFUserInput(QWidget* parent = nullptr);
  QString Text() const;
  QLineEdit* Edit() const { return edit_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

  // Shows the dialog; returns the name, or an empty string when cancelled.
  static QString AskFolderName(QWidget* parent);

 private:
  void TryAccept();
  QLineEdit* edit_;
  QPushButton* ok_;
  QPushButton* cancel_;
};
