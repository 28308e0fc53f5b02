#include "app/Saving.h"

#include <QDir>
#include <QFileInfo>

#include "app/AppMessage.h"
#include "app/F_ViewTrans.h"
#include "app/SelectDir.h"
#include "app/WorkingList.h"
#include "image/GraphicRegistry.h"
#include "image/ImagingHooks.h"
#include "image/JpegGraphic.h"
#include "image/PdfGraphic.h"
#include "pagework/SafeWrite.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

TTiffCompression OwnCompression(const TDibGraphic& g, TTiffCompression fallback) {
  if (const auto* tiff = dynamic_cast<const TTiffGraphic*>(&g)) return tiff->Compression();
  return fallback;
}

}  // namespace

TTiffCompression CompressionForChoice(int f, TImageFormat format, TTiffCompression own,
                                      TTiffCompression sourceCompression) {
  switch (f) {
    case 20:
      return tcCCITT3_2D;
    case 30:
      return tcCCITT4;
    case 40:
      return tcZLib;
    case 50:
      return format == ifBlackWhite ? own : tcJPEG;
    case 60:
      return tcPackbits;
    case 70:
      return tcLZW;
    default:
      return sourceCompression;
  }
}

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

void TSaving::ChooseSaveFolder() {
  const QString folder = AskSaveFolder ? AskSaveFolder() : QString();
  SetSaveFolder(folder);
  if (folder.isEmpty()) {
    ShowAppMessage(Utf8("저장폴더를 지정하지 않으면 원본파일에 덮어쓰기를 합니다."), amInformation);
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
  TImageScrollBox* source = window_.SourceView();
  TImageScrollBox* result = window_.ResultView();
  TDibGraphic& page = result->Graphic();
  const int f = window_.Settings().F;
  const TTiffCompression sourceCompression = OwnCompression(source->Graphic(), tcCCITT4);
  SafeWriteFile(output.toStdString(), [&](const std::string& temp) {
    if (source->FrameCount() < 1) {
      std::unique_ptr<TDibGraphic> file = CreateGraphicForFile(output.toStdString());
      file->Assign(page);
      if (auto* tiff = dynamic_cast<TTiffGraphic*>(file.get()))
        tiff->SetCompression(
            CompressionForChoice(f, tiff->ImageFormat(), OwnCompression(page, tiff->Compression()), sourceCompression));
      if (auto* jpeg = dynamic_cast<TJpegGraphic*>(file.get()))
        jpeg->JpegQuality = static_cast<std::uint8_t>(std::clamp(window_.Settings().jQ, 1, 100));
      TFileStream stream(temp, TFileMode::fmCreate);
      file->SaveToStream(stream);
      return;
    }
    if (IsPdfFile(output)) {
      TPdfGraphic pdf;
      for (int k = 1; k <= page.FrameCount(); ++k) {
        auto frame = std::make_unique<TDibGraphic>();
        frame->Assign(page.Frame(k));
        pdf.AddFrame(std::move(frame));
      }
      pdf.SaveFramesToPdfFile(temp);
      return;
    }
    // Every page of a multi-page TIFF takes the chosen compression where its
    // format allows it; the others keep their own.
    for (int k = 1; k <= page.FrameCount(); ++k) {
      const TDibGraphic& frame = page.Frame(k);
      TTiffGraphic tiff;
      tiff.Assign(frame);
      const TTiffCompression own = OwnCompression(frame, tiff.Compression());
      const TTiffCompression chosen = CompressionForChoice(f, frame.ImageFormat(), own, own);
      tiff.SetCompression(TiffCompressionAllowed(chosen, frame.ImageFormat()) ? chosen : own);
      if (k == 1) {
        TFileStream stream(temp, TFileMode::fmCreate);
        tiff.SaveToStream(stream);
      } else {
        tiff.AppendToFile(temp);
      }
    }
  });
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
