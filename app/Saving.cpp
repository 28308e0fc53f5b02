#include "app/Saving.h"

#include <QDir>
#include <QFileInfo>

#include "app/AppMessage.h"
#include "app/F_ViewTrans.h"
#include "app/SelectDir.h"
#include "app/WorkingList.h"
#include "image/ImagingHooks.h"
#include "pagework/PageWriter.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

}  // namespace

void CopyFolderTree(const QString& source, const QString& destination) {
  TBusyCursor busy;
  const QDir from(source);
  const QString destClean = QDir::cleanPath(destination);
  for (const QString& name : from.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
    const QString sub = QDir::cleanPath(from.filePath(name));
    if (QString::compare(sub, destClean, Qt::CaseInsensitive) == 0) continue;
    const QString target = QDir(destination).filePath(name);
    if (!QFileInfo(target).isDir() && !QDir().mkdir(target))
      throw std::runtime_error(
          QString("%1: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno))).toStdString());
    CopyFolderTree(sub, target);
  }
}

TSaving::TSaving(TFViewTrans& window, TWorkingList& list) : QObject(&window), window_(window), list_(list) {
  AskSaveFolder = [this] { return SelectDir(Utf8("변환한 파일을 저장할 폴더 선택"), SaveFolder(), &window_); };
  window.SetCommandHandler(TCommand::Save, [this] { Save(); });
  window.SetCommandHandler(TCommand::ChooseSaveFolder, [this] { ChooseSaveFolder(); });
  for (TImageScrollBox* view : {window.SourceView(), window.ResultView()})
    view->OnImageDblClick = [this](TImageScrollBox*) {
      if (window_.Settings().DS == 0) Save();
    };
}

void TSaving::ChooseSaveFolder(bool warnWhenNone) {
  const QString folder = AskSaveFolder ? AskSaveFolder() : QString();
  SetSaveFolder(folder);
  if (folder.isEmpty()) {
    if (warnWhenNone) ShowAppMessage(Utf8("저장폴더를 지정하지 않으면 원본파일에 덮어쓰기를 합니다."), amInformation);
    return;
  }
  if (window_.OpenMode() == 2) {
    try {
      CopyFolderTree(OpenFolder(), folder);
    } catch (const std::exception& e) {
      ShowAppMessage(QString::fromUtf8(e.what()), amError);
    }
  }
}

// The whole new file goes to a temporary file beside the output and
// replaces it only when complete: with no save folder the output is the
// operator's source scan, which a failure half-way must not destroy.
void TSaving::WriteOutput(const QString& output) {
  const TDibGraphic& source = window_.SourceView()->Graphic();
  TDibGraphic& page = window_.ResultView()->Graphic();
  const auto* sourceTiff = dynamic_cast<const TTiffGraphic*>(&source);
  const TSaveOptions options = SaveOptionsOf(window_.Settings());
  // A framed source is written frame by frame, each frame with its own
  // compression as the choice allows; a single page takes the source's.
  if (window_.SourceView()->FrameCount() >= 1) {
    WriteImageFile(output.toStdString(), page, options);
    return;
  }
  TOutputPage single;
  single.Borrowed = &page;
  single.SourceCompression = sourceTiff ? static_cast<int>(sourceTiff->Compression()) : -1;
  WritePages(output.toStdString(), 1, options, [&](int) -> TOutputPage& { return single; });
}

bool TSaving::Save() {
  TImageScrollBox* active = window_.ActiveScrollBox();
  if (active->Graphic().Empty()) return false;
  const QString output = list_.CurrentOutputName();
  if (output.isEmpty()) return false;
  TBusyCursor busy;
  TImageScrollBox* source = window_.SourceView();
  TImageScrollBox* result = window_.ResultView();
  try {
    if (active != result) result->AssignGraphic(active->Graphic());
    TDibGraphic& page = result->Graphic();
    if (source->FrameCount() >= 1) {
      const int index = std::max(1, source->CurrentFrame());
      if (page.FrameCount() >= index) page.Frame(index).Assign(page);
    }
    WriteOutput(output);
  } catch (const std::exception& e) {
    ShowAppMessage(QString::fromUtf8(e.what()), amError);
    return false;
  }
  if (window_.Navigate) window_.Navigate(1);
  return true;
}
