#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "app/SingleInstance.h"
#include "support/TestSupport.h"

// One desktop per user: a second start by the same user finds the lock,
// another user's (another runtime folder's) copy does not block this one.
TEST(SingleInstance, OneDesktopPerUserNotPerMachine) {
  const QByteArray mine = qgetenv("XDG_RUNTIME_DIR");
  TSingleInstance first;
  ASSERT_TRUE(first.Acquired());
  EXPECT_FALSE(TSingleInstance().Acquired());

  const QString other = QString::fromStdString(TestTempDir()) + "/other-runtime";
  ASSERT_TRUE(QDir().mkpath(other));
  QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qputenv("XDG_RUNTIME_DIR", other.toUtf8());
  EXPECT_TRUE(TSingleInstance().Acquired());
  qputenv("XDG_RUNTIME_DIR", mine);
}
