// "페이지 번호 넣기": the page-number window. The stamping and the run over
// the files are the file work's (tools/work/PageNumbers.h); the window holds
// the settings, shows a preview on a copy of the main window's page and
// drives the run with a progress bar.
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

#include "pagework/PageWriter.h"
#include "tools/work/PageNumbers.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;
class TDibGraphic;
class TImageScrollBox;

// What the window needs from the main window.
struct TPageNumberHost {
  std::function<const TDibGraphic*()> MainImage;  // the page on show
  std::function<QStringList()> Entries;           // the working list
  std::function<int()> CurrentEntry;              // its current entry
  // The save folder, asking for one when none is set; empty: cancelled.
  std::function<QString()> SaveFolder;
  std::function<TSaveOptions()> SaveOptions;
  std::function<void(const QString& text, bool error)> Message;
};

class TFInsPageNum : public QWidget {
  Q_OBJECT
 public:
  TFInsPageNum(TPageNumberHost host, QWidget* parent);

  TPageNumberSettings Settings() const;
  void SetSettings(const TPageNumberSettings& s);
  // The face the stamp is rendered in for the chosen one.
  static std::string RenderFace(const std::string& face);

  void Preview();  // "보기"
  void Run();      // "실행"

  TImageScrollBox* PreviewView() const { return preview_; }
  QProgressBar* ProgressBar() const { return progress_; }
  QComboBox* FontList() const { return font_; }
  QLineEdit* DisplayTextEdit() const { return text_; }
  QPushButton* RunButton() const { return run_; }
  QPushButton* PreviewButton() const { return previewButton_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  bool CheckDisplayText();
  void CopyMainImage();
  void UpdateEditFont();
  TFontSpec Font(int imageDpiX) const;

  TPageNumberHost host_;
  QComboBox* font_;
  QComboBox* size_;
  QToolButton* style_[4];   // B I U S
  QToolButton* anchor_[5];  // 좌 중 우 상 하
  QLineEdit* x_;
  QLineEdit* y_;
  QLineEdit* text_;
  QLineEdit* start_;
  QLineEdit* step_;
  QRadioButton* startImage_[2];
  TImageScrollBox* preview_;
  QProgressBar* progress_;
  QPushButton* run_;
  QPushButton* previewButton_;
  bool running_ = false;
};
