// A shown and active main window with its working list, for the tests of the
// folder watch, the hand-off, the options dialog and the semi-automatic
// window. Each test gets its own settings file and its own runtime and
// temporary folders (mode 0700), so no lock, list file or socket of a real
// session, or of another test run, is ever seen; messages are collected
// instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/AppMessage.h"
#include "app/DocumentList.h"
#include "app/F_ViewTrans.h"
#include "app/WorkingList.h"
#include "support/TestSupport.h"
#include "utils/Utils.h"

struct DesktopFixture : ::testing::Test {
  QTemporaryDir dir;
  QTemporaryDir runtime;
  std::unique_ptr<TFViewTrans> window;
  TWorkingList* work = nullptr;
  QStringList messages;

  void SetUp() override {
    ASSERT_TRUE(dir.isValid() && runtime.isValid());
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
      saved_.push_back({name, qgetenv(name)});
      qputenv(name, runtime.path().toUtf8());
    }
    SetSettingsStoreFile(Path("settings.ini"));
    SetAppMessageHook([this](const QString& text, int) {
      messages << text;
      return 0;
    });
    window = std::make_unique<TFViewTrans>();
    SetSaveFolder(QString());
    SetOpenFolder(WithTrailingSeparator(dir.path()));
    work = new TWorkingList(*window);
  }
  // Shows the window and makes it the active one, so keys reach its map.
  void Activate() {
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->setFocus();
  }
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : window.get(), key, modifiers);
  }
  void TearDown() override {
    window.reset();
    SetAppMessageHook(nullptr);
    // Never back to the user's own store: a file of this process instead.
    static QTemporaryDir rest;
    SetSettingsStoreFile(QDir(rest.path()).filePath("settings.ini"));
    for (const auto& [name, value] : saved_)
      if (value.isNull())
        qunsetenv(name);
      else
        qputenv(name, value);
  }

  QString Path(const QString& name) const { return QDir(dir.path()).filePath(name); }
  // A writable copy of a shared test file at `name` below the folder.
  QString Copy(const char* shared, const QString& name) {
    const QString target = Path(name);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::copy(QString::fromStdString(SharedFile(shared)), target);
    QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return target;
  }
  TDocumentList* List() const { return work->List(); }

 private:
  std::vector<std::pair<const char*, QByteArray>> saved_;
};
