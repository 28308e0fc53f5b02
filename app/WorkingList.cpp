#include "app/WorkingList.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>

#include "app/AppMessage.h"
#include "app/DocumentList.h"
#include "app/F_ViewTrans.h"
#include "app/SelectDir.h"
#include "image/Canvas.h"
#include "image/GraphicRegistry.h"
#include "image/ImagingHooks.h"
#include "image/transforms/AntiAliasTransform.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"
#include "view/RubberbandMouseHandler.h"

namespace {

bool busyFlag = false;

QString Utf8(const char* s) { return QString::fromUtf8(s); }

const char* const kOpenFilters =
    "TIFF files (*.tiff, *.tif)|*.tiff;*.tif|JPEG files (*.jpeg, *.jpg)|*.jpeg;*.jpg|"
    "PDF file(*.pdf)|*.pdf|All Files(*.jpg, *.tif, *.pdf)|*.jpeg;*.jpg;*.tiff;*.tif;*.pdf";

// "Name|*.a;*.b" pairs as Qt filters "Name (*.a *.b)".
QString QtFilters() {
  const QStringList parts = QString::fromLatin1(kOpenFilters).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  return filters.join(";;");
}

// Pages below 72 dpi count as 72 dpi, each axis on its own.
void RaiseResolution(TDibGraphic& g) {
  if (g.Empty()) return;
  if (g.XDotsPerInch() < 72) g.SetXDotsPerInch(72);
  if (g.YDotsPerInch() < 72) g.SetYDotsPerInch(72);
}

// While the list is edited by a command, the changes of its current entry
// are the command's business (it shows the page afterwards).
class TListEdit {
 public:
  explicit TListEdit(int& depth) : depth_(depth) { ++depth_; }
  ~TListEdit() { --depth_; }
  TListEdit(const TListEdit&) = delete;
  TListEdit& operator=(const TListEdit&) = delete;

 private:
  int& depth_;
};

class TBusyFlag {
 public:
  TBusyFlag() { busyFlag = true; }
  ~TBusyFlag() { busyFlag = false; }
};

}  // namespace

bool TWorkingList::Busy() { return busyFlag; }

TWorkingList::TWorkingList(TFViewTrans& window) : QObject(&window), window_(window) {
  list_ = new TDocumentList(window.ListStack());
  thumbnails_ = new TImageScrollBox(window.ListStack());
  thumbnails_->setObjectName("ThumbnailStrip");
  window.ListStack()->addWidget(list_);
  window.ListStack()->addWidget(thumbnails_);
  window.ListStack()->setCurrentWidget(list_);

  AskFiles = [this] { return QFileDialog::getOpenFileNames(&window_, "Open Image", ::OpenFolder(), QtFilters()); };
  AskFolder = [this] { return SelectDir(Utf8("변환할 파일이 있는 폴더 선택"), ::OpenFolder(), &window_); };

  window.Navigate = [this](int how) { Navigate(how); };
  window.StatusFileName = [this](TImageScrollBox* view) {
    if (view == window_.ResultView()) return CurrentOutputName();
    const QString name = QString::fromStdString(view->FileName());
    return name.isEmpty() ? list_->CurrentEntry() : name;
  };
  window.ListPosition = [this] { return std::make_pair(list_->Current() + 1, list_->Count()); };

  using C = TCommand;
  window.SetCommandHandler(C::OpenFiles, [this] {
    const QStringList files = AskFiles ? AskFiles() : QStringList();
    if (!files.isEmpty()) OpenFiles(files);
  });
  window.SetCommandHandler(C::OpenFolder, [this] {
    const QString folder = AskFolder ? AskFolder() : QString();
    SetOpenFolder(folder);
    if (!folder.isEmpty()) OpenFolder(folder);
  });
  window.SetCommandHandler(C::CheckAll, [this] { list_->CheckEntries(1); });
  window.SetCommandHandler(C::CheckFolder, [this] { list_->CheckEntries(9); });
  window.SetCommandHandler(C::UncheckAll, [this] { list_->CheckEntries(0); });
  window.SetCommandHandler(C::RemoveCurrent, [this] {
    if (list_->Current() < 0) return;
    {
      TListEdit edit(listEdits_);
      list_->RemoveCurrent();
    }
    ResetIfEmpty();
    AfterListChange();
  });
  window.SetCommandHandler(C::RemoveChecked, [this] {
    {
      TListEdit edit(listEdits_);
      list_->RemoveChecked();
    }
    ResetIfEmpty();
    AfterListChange();
  });
  window.SetCommandHandler(C::RemoveOdd, [this] { RemoveByPosition(10); });
  window.SetCommandHandler(C::RemoveEven, [this] { RemoveByPosition(20); });
  window.SetCommandHandler(C::RemoveAll, [this] { RemoveByPosition(30); });
  window.SetCommandHandler(C::First, [this] { Navigate(-9); });
  window.SetCommandHandler(C::Previous, [this] { Navigate(-1); });
  window.SetCommandHandler(C::Next, [this] { Navigate(1); });
  window.SetCommandHandler(C::Last, [this] { Navigate(9); });

  // Whatever makes another entry current (keys in the list, a click, a drag
  // across entries) shows that entry, so the page on show is always the
  // current entry's and Space saves it into that entry's output.
  connect(list_, &QListWidget::currentItemChanged, this, [this] {
    if (!busyFlag && listEdits_ == 0) Navigate(10);
  });
  // A click on the entry that was current already shows it again; a click
  // that made another entry current has shown it above.
  listViewport_ = list_->viewport();
  listViewport_->installEventFilter(this);
  connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    if (list_->row(item) == rowAtPress_) Navigate(10);
  });
  connect(window.ListTabs(), &QTabBar::currentChanged, this, [this](int tab) {
    if (tab == 0) {
      window_.ListStack()->setCurrentWidget(list_);
      return;
    }
    window_.ListStack()->setCurrentWidget(thumbnails_);
    ShowThumbnails(tab);
  });
  thumbnails_->OnImageMouseUp = [this](TImageScrollBox* strip, Qt::MouseButton button, Qt::KeyboardModifiers, int,
                                       int y) {
    if (button != Qt::LeftButton || list_->Count() == 0) return;
    const int w = strip->DisplaySize().Width;
    if (w <= 0) return;
    const int index = (y + strip->VertScrollPos()) / w;
    if (index < 0 || index >= list_->Count()) return;
    {
      TListEdit edit(listEdits_);
      list_->SetCurrent(index);
    }
    Navigate(10);
  };
}

QString TWorkingList::CurrentOutputName() const {
  const QString entry = list_->CurrentEntry();
  if (entry.isEmpty()) return QString();
  return OutputFileName(entry, SaveFolder(), ::OpenFolder(), window_.OpenMode());
}

void TWorkingList::EnableOpenCommands(bool openFiles, bool openFolder) {
  for (auto [command, on] : {std::pair{TCommand::OpenFiles, openFiles}, std::pair{TCommand::OpenFolder, openFolder}}) {
    if (QAction* a = window_.Action(command)) a->setEnabled(on);
    if (QToolButton* b = window_.ToolButton(command)) b->setEnabled(on);
  }
}

void TWorkingList::OpenFiles(const QStringList& files) {
  if (files.isEmpty()) return;
  SetOpenFolder(WithTrailingSeparator(QFileInfo(files.first()).absolutePath()));
  {
    TListEdit edit(listEdits_);
    list_->AddFiles(files);
  }
  window_.SetOpenMode(1);
  EnableOpenCommands(true, false);
  window_.Execute(TCommand::ChooseSaveFolder);
  Navigate(0);
  thumbnailState_ = 0;
}

void TWorkingList::OpenFolder(const QString& folder) {
  QStringList files;
  {
    TBusyCursor busy;
    TListEdit edit(listEdits_);
    files = FindImageFiles(folder, true);
    list_->AddFiles(files);
  }
  if (list_->Count() == 0) return;
  window_.SetOpenMode(2);
  EnableOpenCommands(false, false);
  window_.Execute(TCommand::ChooseSaveFolder);
  Navigate(0);
  thumbnailState_ = 0;
}

void TWorkingList::ResetIfEmpty() {
  if (list_->Count() > 0) return;
  SetSaveFolder(QString());
  EnableOpenCommands(true, true);
  window_.SetOpenMode(0);
}

void TWorkingList::AfterListChange() {
  Navigate(0);
  thumbnailState_ = 0;
}

void TWorkingList::RemoveByPosition(int tag) {
  const QString saveFolder = SaveFolder();
  const int openMode = window_.OpenMode();
  {
    TListEdit edit(listEdits_);
    list_->RemoveByPosition(tag);
  }
  // The reset runs in every case; what is left keeps the folder and mode.
  SetSaveFolder(QString());
  EnableOpenCommands(true, true);
  window_.SetOpenMode(0);
  if (list_->Count() > 0) {
    SetSaveFolder(saveFolder);
    window_.SetOpenMode(openMode);
    EnableOpenCommands(openMode != 2, openMode == 0);
  }
  AfterListChange();
}

void TWorkingList::StepFrame(int delta) {
  TImageScrollBox* source = window_.SourceView();
  TImageScrollBox* result = window_.ResultView();
  const int target = source->CurrentFrame() + delta;
  if (target < 1 || target > source->FrameCount()) return;
  source->SelectFrame(target);
  if (result->FrameCount() >= target) result->SelectFrame(target);
}

void TWorkingList::LoadCurrentEntry() {
  TImageScrollBox* source = window_.SourceView();
  TImageScrollBox* result = window_.ResultView();
  const QString entry = list_->CurrentEntry();
  shownEntry_.clear();
  if (!QFileInfo::exists(entry)) {
    source->Clear();
    return;
  }
  source->LoadPage(entry.toStdString(), 0);
  shownEntry_ = entry;
  const QString output = CurrentOutputName();
  const bool framed = source->FrameCount() >= 1;
  if (framed && output != entry && !QFileInfo::exists(output)) QFile::copy(entry, output);
  if (QFileInfo::exists(output)) {
    result->LoadPage(output.toStdString(), 0);
    if (result->FrameCount() != source->FrameCount() && output != entry) {
      // The output has another page count: start it again from the source.
      result->Clear();
      QFile::remove(output);
      QFile::copy(entry, output);
      result->LoadPage(output.toStdString(), 0);
    }
  } else {
    result->Clear();
  }
}

void TWorkingList::Navigate(int how) {
  if (busyFlag) return;
  QString message;  // shown once the busy cursor is gone
  int messageKind = amInformation;
  {
    TBusyFlag flag;
    TImageScrollBox* source = window_.SourceView();
    TImageScrollBox* result = window_.ResultView();
    window_.FixedAreaCursor = -1;
    window_.Band(window_.ActiveScrollBox()).RemoveSelection();
    window_.UndoImage().Clear();
    if (list_->Count() == 0) {
      source->Clear();
      result->Clear();
      shownEntry_.clear();
      if (window_.EditorView) window_.EditorView->Clear();
      SetStatusLines();
      return;
    }
    TBusyCursor busy;
    if (list_->Current() < 0) list_->SetCurrent(0);
    try {
      const bool noFrames = source->FrameCount() == 0;
      switch (how) {
        case -9:
          list_->SetCurrent(0);
          LoadCurrentEntry();
          break;
        case -1:
          if (noFrames || source->CurrentFrame() <= 1) {
            if (list_->Current() == 0) {
              message = Utf8("처음 이미지입니다.");
              break;
            }
            list_->SetCurrent(list_->Current() - 1);
            source->setUpdatesEnabled(false);
            result->setUpdatesEnabled(false);
            LoadCurrentEntry();
            for (TImageScrollBox* v : {source, result})
              if (v->FrameCount() > 0) v->SelectFrame(v->FrameCount());
            source->setUpdatesEnabled(true);
            result->setUpdatesEnabled(true);
          } else {
            StepFrame(-1);
          }
          break;
        case 0:
          // The frames on show are the current entry's (a restored page has
          // lost the view's file name, not its frames): show the same page.
          if (!noFrames && ShowsCurrentEntry())
            StepFrame(0);
          else
            LoadCurrentEntry();
          break;
        case 1:
          if (noFrames || source->CurrentFrame() >= source->FrameCount()) {
            if (list_->Current() + 1 < list_->Count()) {
              list_->SetCurrent(list_->Current() + 1);
              LoadCurrentEntry();
            } else {
              message = Utf8("마지막 이미지입니다.");
              if (noFrames) LoadCurrentEntry();
            }
          } else {
            StepFrame(1);
          }
          break;
        case 9:
          list_->SetCurrent(list_->Count() - 1);
          LoadCurrentEntry();
          break;
        default:
          LoadCurrentEntry();
          break;
      }
    } catch (const std::exception&) {
      // The list stays on the entry it went to; the views show what could
      // be read of that entry and nothing of another one.
      source->setUpdatesEnabled(true);
      result->setUpdatesEnabled(true);
      const QString entry = list_->CurrentEntry();
      if (source->FileName() != entry.toStdString()) {
        source->Clear();
        shownEntry_.clear();
      }
      result->Clear();
      message = Utf8("파일 열기중 문제가 발생했습니다. 아래 파일을 확인하세요.") + "\n\n" + entry + "\n" +
                CurrentOutputName();
      messageKind = amError;
    }
    RaiseResolution(source->Graphic());
    RaiseResolution(result->Graphic());
    source->Redraw(true);
    result->Redraw(true);
    SetStatusLines();
  }
  if (!message.isEmpty()) ShowAppMessage(message, messageKind);
}

bool TWorkingList::ShowsCurrentEntry() const {
  const QString entry = list_->CurrentEntry();
  return !entry.isEmpty() && (shownEntry_ == entry || window_.SourceView()->FileName() == entry.toStdString());
}

bool TWorkingList::eventFilter(QObject* watched, QEvent* event) {
  // (The list's own methods are not called for other events: they also
  // arrive while the list is being destroyed.)
  if (event->type() == QEvent::MouseButtonPress && watched == listViewport_) rowAtPress_ = list_->currentRow();
  return QObject::eventFilter(watched, event);
}

void TWorkingList::SetStatusLines() {
  window_.SetStatusLine(window_.SourceView(), 0, 0);
  window_.SetStatusLine(window_.ResultView(), 0, 0);
}

void TWorkingList::ShowThumbnails(int state) {
  if (list_->Count() == 0 || thumbnailState_ == state) return;
  if (state == 2 && SaveFolder().isEmpty()) return;
  thumbnailState_ = state;
  const int w =
      std::max(40, thumbnails_->viewport()->width() - thumbnails_->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  const int count = list_->Count();
  TDibGraphic strip;
  strip.NewImage(w, count * w + 18, ifTrueColor);  // zero-filled: black
  thumbnails_->SetZoomMode(zmOriginalSize);
  for (int i = 0; i < count; ++i) {
    QString file = list_->Entry(i);
    if (state == 2) file = SaveFolder() + QFileInfo(file).fileName();
    if (!QFileInfo::exists(file)) continue;
    try {
      std::unique_ptr<TDibGraphic> page = CreateGraphicForFile(file.toStdString());
      page->LoadFromFile(file.toStdString());
      if (page->ImageFormat() == ifBlackWhite) {
        const int longest = std::max(page->Width(), page->Height());
        TAntiAliasTransform scale;
        scale.Width = std::max(1, page->Width() * (w - 18) / longest);
        scale.Height = std::max(1, page->Height() * (w - 18) / longest);
        scale.Apply(*page);
      }
      strip.Canvas().Draw(9, w * i + 18, *page);
    } catch (const std::exception&) {
      continue;  // an unreadable file leaves its place black
    }
    thumbnails_->AssignGraphic(strip);
    QApplication::processEvents();
  }
  thumbnails_->AssignGraphic(strip);
}
