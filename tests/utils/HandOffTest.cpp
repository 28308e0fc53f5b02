#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <thread>

#include "support/QtTestApp.h"
#include "support/TestSupport.h"
#include "utils/HandOff.h"
#include "utils/HandOffListener.h"

TEST(HandOffList, RoundTripAndLayout) {
  const QString path = QString::fromStdString(TestTempDir()) + "/veltrax.tmp";
  THandOffList list;
  list.Files = {"/scans/a b.tif", "/scans/한글/c.pdf"};
  list.SaveFolder = "";
  list.OpenFolder = "/scans/";
  list.OpenMode = 2;
  WriteHandOffList(list, path);

  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(),
            QByteArray("/scans/a b.tif\r\n") + QString("/scans/한글/c.pdf").toUtf8() + "\r\n\r\n/scans/\r\n2\r\n");
  f.close();

  const auto back = ReadHandOffList(path);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->Files, list.Files);
  EXPECT_EQ(back->SaveFolder, "");
  EXPECT_EQ(back->OpenFolder, "/scans/");
  EXPECT_EQ(back->OpenMode, 2);
}

TEST(HandOffList, MalformedFilesAreRejected) {
  const QString dir = QString::fromStdString(TestTempDir());
  QString error;
  EXPECT_FALSE(ReadHandOffList(dir + "/missing.tmp", &error).has_value());
  EXPECT_FALSE(error.isEmpty());

  auto write = [&](const QByteArray& bytes) {
    QFile f(dir + "/l.tmp");
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
  };
  write("/save/\r\n1\r\n");
  EXPECT_FALSE(ReadHandOffList(dir + "/l.tmp", &error).has_value());
  write("/a.tif\r\n/save/\r\n/open/\r\n7\r\n");
  EXPECT_FALSE(ReadHandOffList(dir + "/l.tmp", &error).has_value());
  EXPECT_TRUE(error.contains("open mode"));
  // No files at all is a valid (empty) batch; plain LF line ends are read too.
  write("\n/open/\n0");
  const auto empty = ReadHandOffList(dir + "/l.tmp", &error);
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->Files.isEmpty());
  EXPECT_EQ(empty->OpenFolder, "/open/");
}

TEST(HandOffLock, HeldLockIsSeenAndReleased) {
  EXPECT_FALSE(IsBatchProgramRunning());
  {
    THandOffLock lock;
    ASSERT_TRUE(lock.TryLock());
    EXPECT_TRUE(IsBatchProgramRunning());
  }
  EXPECT_FALSE(IsBatchProgramRunning());
}

TEST(HandOffMessage, SentToAListenerAndParsed) {
  TestQtApp();
  QString open, save;
  EXPECT_TRUE(ParseHandOffMessage(QByteArray("/in/|/out/\0", 10), open, save));
  EXPECT_EQ(open, "/in/");
  EXPECT_EQ(save, "/out/");
  EXPECT_FALSE(ParseHandOffMessage("no bar", open, save));

  // A lock file of the same name in the folder does not get in the way.
  const QString name = QString::fromStdString(TestTempDir()) + "/Vel_Trax";
  QFile lockFile(name);
  ASSERT_TRUE(lockFile.open(QIODevice::WriteOnly));
  lockFile.close();
  EXPECT_FALSE(SendHandOffMessage("/in/", "/out/", name, 200));  // nobody listens

  QLocalServer server;
  ASSERT_TRUE(ListenForHandOffMessages(server, name));
  std::thread sender([&] { SendHandOffMessage("/in/", "/out/한/", name); });
  ASSERT_TRUE(server.waitForNewConnection(5000));
  QLocalSocket* socket = server.nextPendingConnection();
  QByteArray got;
  while (socket->state() == QLocalSocket::ConnectedState || socket->bytesAvailable() > 0) {
    if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(5000)) break;
    got += socket->readAll();
  }
  sender.join();
  EXPECT_TRUE(ParseHandOffMessage(got, open, save));
  EXPECT_EQ(open, "/in/");
  EXPECT_EQ(save, "/out/한/");
}

// The lock, the list file and the socket belong to one user's runtime
// folder: another user (another runtime folder) neither sees this user's
// batch nor reaches this user's desktop, and other users cannot connect.
TEST(HandOffRuntimeFolder, AnotherUsersLockAndSocketAreNotSeen) {
  TestQtApp();
  const QByteArray mine = qgetenv("XDG_RUNTIME_DIR");
  const QString other = QString::fromStdString(TestTempDir()) + "/other-runtime";
  ASSERT_TRUE(QDir().mkpath(other));
  QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  THandOffLock lock;
  ASSERT_TRUE(lock.TryLock());
  QLocalServer desktop;
  ASSERT_TRUE(ListenForHandOffMessages(desktop));
  const QString socketFile = HandOffSocketName();
  EXPECT_TRUE(socketFile.startsWith(QString::fromUtf8(mine) + "/"));
  EXPECT_TRUE(HandOffListFilePath().startsWith(QString::fromUtf8(mine) + "/"));
  const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
  EXPECT_FALSE(QFileInfo(socketFile).permissions() & others) << "only the owner may connect";
  EXPECT_TRUE(IsBatchProgramRunning());

  qputenv("XDG_RUNTIME_DIR", other.toUtf8());
  EXPECT_FALSE(IsBatchProgramRunning());
  EXPECT_TRUE(HandOffSocketName().startsWith(other + "/"));
  EXPECT_FALSE(SendHandOffMessage("/open/", "/elsewhere/")) << "nobody listens in the other folder";
  qputenv("XDG_RUNTIME_DIR", mine);

  // Back in this user's folder the message arrives.
  std::thread sender([] { EXPECT_TRUE(SendHandOffMessage("/open/", "/save/")); });
  ASSERT_TRUE(desktop.waitForNewConnection(5000));
  QLocalSocket* socket = desktop.nextPendingConnection();
  QByteArray got = socket->readAll();
  while (socket->waitForReadyRead(1000)) got += socket->readAll();
  sender.join();
  EXPECT_EQ(got, QByteArray("/open/|/save/"));
}
