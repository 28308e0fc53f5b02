#include "app/BatchHandOff.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <memory>

#include "app/AppMessage.h"
#include "app/DesktopModules.h"
#include "app/DocumentList.h"
#include "app/F_ViewTrans.h"
#include "app/WorkingList.h"
#include "pagework/SafeWrite.h"
#include "utils/HandOffListener.h"
#include "utils/Utils.h"
#include "view/ImageScrollBox.h"

namespace {

// A message is two folder names; anything far larger is not pagemend's.
constexpr qsizetype kLargestMessage = 64 * 1024;

QString Utf8(const char* s) { return QString::fromUtf8(s); }

}  // namespace

TBatchHandOff::TBatchHandOff(TFViewTrans& window, TWorkingList& list)
    : QObject(&window), window_(window), list_(list), server_(new QLocalServer(this)) {
  ProgramPath = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("pagemend"));
  StartProgram = [](const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments, QFileInfo(program).absolutePath());
  };
  window.SetCommandHandler(TCommand::AutoCorrect, [this] { Start(); });
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      auto bytes = std::make_shared<QByteArray>();
      auto take = [socket, bytes] {
        *bytes += socket->readAll();
        if (bytes->size() > kLargestMessage) socket->abort();
      };
      connect(socket, &QLocalSocket::readyRead, socket, take);
      connect(socket, &QLocalSocket::disconnected, this, [this, socket, bytes, take] {
        take();
        socket->deleteLater();
        if (bytes->size() <= kLargestMessage) TakeMessage(*bytes);
      });
      take();  // bytes that came with the connection
    }
  });
  Listen();
}

void TBatchHandOff::Listen() { ListenForHandOffMessages(*server_); }

bool TBatchHandOff::IsListening() const { return server_->isListening(); }

THandOffList TBatchHandOff::CurrentHandOffList() const {
  TDocumentList* list = list_.List();
  THandOffList handOff;
  // The checked entries in list order, all entries when none is checked;
  // the list itself is not touched, so it stays exactly as it was.
  handOff.Files = list->CheckedEntries();
  if (handOff.Files.isEmpty()) handOff.Files = list->Entries();
  handOff.SaveFolder = ::SaveFolder();
  handOff.OpenFolder = ::OpenFolder();
  handOff.OpenMode = window_.OpenMode();
  return handOff;
}

void TBatchHandOff::Start() {
  if (IsBatchProgramRunning()) return;
  const QString listFile = HandOffListFilePath();
  try {
    WriteHandOffList(CurrentHandOffList(), listFile);
  } catch (const std::exception& e) {
    ShowAppMessage(
        Utf8("자동 보정 목록 파일을 쓸 수 없습니다.") + "\n\n" + listFile + "\n" + QString::fromUtf8(e.what()),
        amError);
    return;
  }
  // pagemend reads the parameters and fixed areas from the store.
  window_.ReadParameters();
  SaveSettings(window_.Settings());
  SaveFixedAreas(window_.SourceView()->FixedAreas());
  // A socket that could not be taken at start (a stale one) gets another try,
  // so the message back has somewhere to go.
  if (!server_->isListening()) Listen();
  if (!StartProgram || !StartProgram(ProgramPath, {QString::fromLatin1(HandOffParameter)}))
    ShowAppMessage(Utf8("자동 보정 프로그램을 실행할 수 없습니다.") + "\n\n" + ProgramPath, amError);
}

void TBatchHandOff::TakeMessage(const QByteArray& bytes) {
  QString openFolder, saveFolder;
  if (!ParseHandOffMessage(bytes, openFolder, saveFolder)) return;
  // Only the batch of the folder still open here is taken over.
  if (openFolder != ::OpenFolder()) return;
  SetSaveFolder(saveFolder);
  ReloadCurrentPage();
  emit ResultsArrived();
}

// Both files of the current entry are read again from disk, so the result
// view shows what pagemend wrote, also for a multi-page file (whose plain
// reload would only show the frames already in memory); the page shown
// stays the same.
void TBatchHandOff::ReloadCurrentPage() {
  if (!window_.Navigate) return;
  TImageScrollBox* source = window_.SourceView();
  TImageScrollBox* result = window_.ResultView();
  const int frame = source->FrameCount() > 0 ? source->CurrentFrame() : 0;
  window_.Navigate(10);
  if (frame > 1 && frame <= source->FrameCount()) {
    source->SelectFrame(frame);
    if (result->FrameCount() >= frame) result->SelectFrame(frame);
  }
}

TBatchHandOff* InstallBatchHandOff(TFViewTrans& window, TWorkingList& list) { return new TBatchHandOff(window, list); }
