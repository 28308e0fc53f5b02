// The desktop loop as the operator drives it: keys on the focused widget,
// clicks on items and buttons, wheel turns over the views; what is checked
// is what the operator sees (zoom, page on show, list entry, file written).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "WindowFixture.h"
#include "app/CorrectionCommands.h"
#include "app/DocumentList.h"
#include "app/NumberField.h"
#include "app/Saving.h"
#include "image/GraphicRegistry.h"
#include "image/ImagingHooks.h"
#include "view/ImageScrollBox.h"
#include "view/RubberbandMouseHandler.h"

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// Page `page` (1-based) of a file as its reader gives it.
std::unique_ptr<TDibGraphic> ReadPage(const QString& file, int page = 1) {
  std::unique_ptr<TDibGraphic> g = CreateGraphicForFile(file.toStdString());
  g->ImageToLoad = page;
  TFileStream stream(file.toStdString(), TFileMode::fmOpenRead);
  g->LoadFromStream(stream);
  return g;
}

struct DesktopLoop : WindowFixture {
  TSaving* saving = nullptr;
  QString out;

  void SetUp() override {
    WindowFixture::SetUp();
    out = QDir(dir.path()).filePath("out") + "/";
    QDir().mkpath(out);
    saving = new TSaving(*window, *work);
    saving->AskSaveFolder = [this] { return out; };
    InstallCorrectionCommands(*window);
    window->resize(1270, 854);
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  // A key as the operator presses it: to whatever has the focus.
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : window.get(), key, mods);
  }
  TImageScrollBox* Source() { return window->SourceView(); }
  TImageScrollBox* Result() { return window->ResultView(); }
  TDocumentList* List() { return work->List(); }
  QPoint EntryCentre(int row) { return List()->visualItemRect(List()->item(row)).center(); }
};

}  // namespace

TEST_F(DesktopLoop, QTheZoomItemsAndTheZoomButtonChangeBothViewsAtOnce) {
  const QString page = Copy("testdata/tiff/real-shearer-g4-300dpi-darkborders.tif", "a.tif");
  saving->AskSaveFolder = [] { return QString(); };  // the result view shows the source file itself
  work->OpenFiles({page});
  ASSERT_FALSE(Result()->Graphic().Empty());
  window->Execute(TCommand::ZoomPage);
  const double fitPage = Source()->Zoom();
  ASSERT_LT(fitPage, 50.0);
  Source()->setFocus();
  Key(Qt::Key_Q);
  EXPECT_EQ(Source()->ZoomMode(), zmFitWidth);
  EXPECT_EQ(Result()->ZoomMode(), zmFitWidth) << "the result view takes the source view's mode";
  Key(Qt::Key_Q);
  EXPECT_EQ(Result()->ZoomMode(), zmFitHeight);
  Key(Qt::Key_Q);
  EXPECT_DOUBLE_EQ(Source()->Zoom(), 100.0) << "actual size";
  EXPECT_DOUBLE_EQ(Result()->Zoom(), 100.0);
  EXPECT_TRUE(Source()->VertScrollBarShown());

  window->Action(TCommand::ZoomPage)->trigger();
  EXPECT_NEAR(Source()->Zoom(), fitPage, 0.5);
  EXPECT_NEAR(Result()->Zoom(), fitPage, 0.5);
  window->Action(TCommand::ZoomActual)->trigger();
  QTest::mouseClick(window->ToolButton(TCommand::ZoomCycle), Qt::LeftButton);
  EXPECT_NEAR(Source()->Zoom(), fitPage, 0.5) << "the zoom button goes round to fit page";
  EXPECT_NEAR(Result()->Zoom(), fitPage, 0.5);
  EXPECT_EQ(window->ToolButton(TCommand::ZoomCycle)->toolTip(), U("확대/축소 - 페이지 적합"));
}

// Keys in the list, a click and a drag across entries all show the entry
// they make current; Space then writes that page into that entry's output.
TEST_F(DesktopLoop, EveryMoveOfTheListShowsTheEntryAndSpaceSavesIt) {
  const QString a = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "a.tif");
  const QString b = Copy("testdata/tiff/real-fax-form-g4-300dpi.tif", "b.tif");
  const QString c = Copy("testdata/tiff/real-eurotext-none-1bit-300dpi.tif", "c.tif");
  work->OpenFiles({a, b, c});
  ASSERT_EQ(Source()->FileName(), a.toStdString());
  List()->setFocus();
  Key(Qt::Key_PageDown);
  ASSERT_EQ(List()->currentRow(), 2);
  EXPECT_EQ(Source()->FileName(), c.toStdString()) << "the page on show is the current entry's";
  EXPECT_TRUE(window->SourceCaption()->text().contains("c.tif(1/1, 3/3)"));

  Key(Qt::Key_Space);
  ASSERT_TRUE(QFileInfo::exists(out + "c.tif"));
  EXPECT_TRUE(SamePixels(*ReadPage(out + "c.tif"), *ReadPage(c))) << "c's output holds c's page";
  EXPECT_FALSE(QFileInfo::exists(out + "a.tif"));

  Key(Qt::Key_PageUp);
  EXPECT_EQ(Source()->FileName(), a.toStdString());
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, EntryCentre(1));
  EXPECT_EQ(List()->currentRow(), 1);
  EXPECT_EQ(Source()->FileName(), b.toStdString());

  // A drag from the first entry to the last.
  QTest::mousePress(List()->viewport(), Qt::LeftButton, Qt::NoModifier, EntryCentre(0));
  for (int row : {1, 2}) {
    QMouseEvent move(QEvent::MouseMove, QPointF(EntryCentre(row)), List()->viewport()->mapToGlobal(EntryCentre(row)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(List()->viewport(), &move);
  }
  QTest::mouseRelease(List()->viewport(), Qt::LeftButton, Qt::NoModifier, EntryCentre(2));
  EXPECT_EQ(List()->currentRow(), 2);
  EXPECT_EQ(Source()->FileName(), c.toStdString());
}

TEST_F(DesktopLoop, ADisabledCommandDoesNothingFromAKeyAMenuItemOrAButton) {
  const QString a = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "in/sub1/a.tif");
  int filesAsked = 0, foldersAsked = 0;
  work->AskFiles = [&] {
    ++filesAsked;
    return QStringList{a};
  };
  work->AskFolder = [&] {
    ++foldersAsked;
    return QDir(dir.path()).filePath("in") + "/";
  };
  window->setFocus();
  Key(Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(window->OpenMode(), 2);
  ASSERT_EQ(foldersAsked, 1);
  Key(Qt::Key_O);
  window->Action(TCommand::OpenFiles)->trigger();
  QTest::mouseClick(window->ToolButton(TCommand::OpenFiles), Qt::LeftButton);
  EXPECT_EQ(filesAsked, 0) << "in folder mode nothing can be added";
  EXPECT_EQ(window->OpenMode(), 2);
  EXPECT_EQ(work->CurrentOutputName(), out + "sub1/a.tif") << "output names keep the sub-folder";

  window->Execute(TCommand::RemoveAll);
  Key(Qt::Key_O);
  ASSERT_EQ(window->OpenMode(), 1);
  ASSERT_EQ(filesAsked, 1);
  Key(Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(foldersAsked, 1) << "in file mode no folder is scanned";
  EXPECT_EQ(window->OpenMode(), 1);
  EXPECT_EQ(List()->Count(), 1);
}

// A source that loads with an output that cannot be read: the list, both
// views and both status lines agree on the entry, the error box comes with
// the normal cursor, and Space writes that entry's output.
TEST_F(DesktopLoop, AFailedLoadLeavesListViewsAndStatusLinesOnOneEntry) {
  const QString a = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "a.tif");
  const QString b = Copy("testdata/tiff/real-eurotext-none-1bit-300dpi.tif", "b.tif");
  QFile damaged(out + "b.tif");
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write("II*\0garbage", 11);
  damaged.close();
  work->OpenFiles({a, b});
  int busyDuringMessage = -1;
  SetAppMessageHook([&](const QString& text, int) {
    messages << text;
    busyDuringMessage = BusyCursorDepth();
    return 0;
  });
  Source()->setFocus();
  Key(Qt::Key_Down);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].endsWith(b + "\n" + out + "b.tif"));
  EXPECT_EQ(busyDuringMessage, 0) << "the error box comes after the busy cursor";
  EXPECT_EQ(List()->currentRow(), 1);
  EXPECT_EQ(Source()->FileName(), b.toStdString());
  EXPECT_TRUE(Result()->Graphic().Empty()) << "nothing of another entry in the result view";
  EXPECT_TRUE(window->SourceCaption()->text().contains("b.tif(1/1, 2/2)"));
  EXPECT_FALSE(window->ResultCaption()->text().contains("a.tif"));

  Key(Qt::Key_Space);
  EXPECT_TRUE(SamePixels(*ReadPage(out + "b.tif"), *ReadPage(b)));
  EXPECT_FALSE(QFileInfo::exists(out + "a.tif"));

  // A source that cannot be read empties both views.
  QFile bad(QDir(dir.path()).filePath("c.tif"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("II*\0garbage", 11);
  bad.close();
  work->OpenFiles({bad.fileName()});
  messages.clear();
  Key(Qt::Key_End);
  EXPECT_EQ(messages.size(), 1);
  EXPECT_EQ(List()->currentRow(), 2);
  EXPECT_TRUE(Source()->Graphic().Empty());
  EXPECT_TRUE(Result()->Graphic().Empty());
  EXPECT_FALSE(TWorkingList::Busy());
}

TEST_F(DesktopLoop, TheRemovePopupButtonOpensItsMenu) {
  QToolButton* button = window->ToolButton(TCommand::RemovePopup);
  EXPECT_TRUE(button->isEnabled());
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_TRUE(window->RemovePopup()->isVisible());
  window->RemovePopup()->close();
}

TEST_F(DesktopLoop, EscTwiceOnAPageOfAMultiPageFileStaysOnThatPage) {
  const QString a = Copy("testdata/tiff/gen-multipage-3p-g4.tif", "a.tif");
  work->OpenFiles({a});
  Source()->setFocus();
  Key(Qt::Key_Down);
  ASSERT_EQ(Source()->CurrentFrame(), 2);
  const std::unique_ptr<TDibGraphic> page2 = ReadPage(a, 2);
  const TDibGraphic& second = *page2;
  ASSERT_FALSE(SamePixels(second, *ReadPage(a, 1)));
  Key(Qt::Key_2);  // a quarter turn
  ASSERT_FALSE(SamePixels(Source()->Graphic(), second));
  Key(Qt::Key_Escape);
  EXPECT_TRUE(SamePixels(Source()->Graphic(), second)) << "the first Esc undoes the turn";
  Key(Qt::Key_Escape);
  EXPECT_EQ(Source()->CurrentFrame(), 2) << "the second Esc reloads this page";
  EXPECT_TRUE(SamePixels(Source()->Graphic(), second));
}

// With a Korean input method in Hangul mode a letter key arrives as a jamo
// of an input-method event; it still runs the key's command.
TEST_F(DesktopLoop, KeysComposedByAKoreanInputMethodStillRunTheirCommands) {
  const QString page = Copy("testdata/tiff/real-shearer-g4-300dpi-darkborders.tif", "a.tif");
  work->OpenFiles({page});
  window->Execute(TCommand::ZoomPage);
  Source()->setFocus();
  for (QWidget* w : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(Source()),
                     static_cast<QWidget*>(List()), static_cast<QWidget*>(Result())})
    EXPECT_FALSE(w->inputMethodQuery(Qt::ImEnabled).toBool()) << w->objectName().toStdString();
  EXPECT_TRUE(window->Field(1)->inputMethodQuery(Qt::ImEnabled).toBool());

  QInputMethodEvent composing(U("ㅂ"), {});  // Q, still being composed
  QApplication::sendEvent(QApplication::focusWidget(), &composing);
  EXPECT_EQ(Source()->ZoomMode(), zmFitWidth);
  QInputMethodEvent committed;
  committed.setCommitString(U("ㅂ"));
  QApplication::sendEvent(QApplication::focusWidget(), &committed);
  EXPECT_EQ(Source()->ZoomMode(), zmFitWidth) << "the commit of the same jamo is not a second Q";
  QInputMethodEvent another;
  another.setCommitString(U("ㅂ"));
  QApplication::sendEvent(QApplication::focusWidget(), &another);
  EXPECT_EQ(Source()->ZoomMode(), zmFitHeight);
  EXPECT_EQ(Result()->ZoomMode(), zmFitHeight);
}

TEST_F(DesktopLoop, EnterInANumberFieldHandsTheKeysBackToTheView) {
  const QString page = Copy("testdata/tiff/real-shearer-g4-300dpi-darkborders.tif", "a.tif");
  work->OpenFiles({page});
  window->Execute(TCommand::ZoomPage);
  QTest::mouseClick(window->Field(3), Qt::LeftButton);
  ASSERT_EQ(QApplication::focusWidget(), window->Field(3));
  Key(Qt::Key_5);
  Key(Qt::Key_Q);
  EXPECT_EQ(Source()->ZoomMode(), zmFitToPage) << "Q in a field is no command";
  Key(Qt::Key_Return);
  Key(Qt::Key_Q);
  EXPECT_EQ(Source()->ZoomMode(), zmFitWidth);
}

TEST_F(DesktopLoop, AltCyclesTheMouseModeInAnyWindowOfTheProgram) {
  QDialog dialog(window.get());
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QTest::keyClick(&dialog, Qt::Key_Alt);
  EXPECT_EQ(window->MouseMode(), 20);
  EXPECT_TRUE(window->ToolButton(TCommand::MouseOuter)->isChecked());
}

// The selection: on the result view only once it is the active view, with
// handles only in plain selection.
TEST_F(DesktopLoop, SelectionsFollowTheActiveViewAndShowHandlesInPlainSelection) {
  const QString page = Copy("testdata/tiff/real-phototest-none-1bit-200dpi.tif", "a.tif");
  saving->AskSaveFolder = [] { return QString(); };
  work->OpenFiles({page});
  auto drag = [](TImageScrollBox* view, QPoint from, QPoint to, bool release = true) {
    const QPoint o = view->PageOrigin();
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, o + from);
    QMouseEvent move(QEvent::MouseMove, QPointF(o + to), view->viewport()->mapToGlobal(o + to), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    if (release) QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, o + to);
  };
  drag(Result(), {20, 20}, {80, 80});
  EXPECT_FALSE(window->Band(Result()).BandPresent()) << "the result view selects nothing while inactive";
  QTest::mouseClick(window->ResultCaption(), Qt::LeftButton);
  drag(Result(), {20, 20}, {80, 80});
  EXPECT_TRUE(window->Band(Result()).BandPresent());
  QImage shot = Result()->viewport()->grab().toImage();
  EXPECT_EQ(shot.pixel(Result()->PageOrigin() + QPoint(80, 80)) & 0xFFFFFF, 0x000080u) << "a handle in normal mode";

  window->Execute(TCommand::MouseInner);
  drag(Result(), {20, 20}, {80, 80}, false);
  shot = Result()->viewport()->grab().toImage();
  EXPECT_NE(shot.pixel(Result()->PageOrigin() + QPoint(80, 80)) & 0xFFFFFF, 0x000080u) << "no handles when erasing";
  QTest::mouseRelease(Result()->viewport(), Qt::LeftButton, Qt::NoModifier, Result()->PageOrigin() + QPoint(80, 80));
}

TEST_F(DesktopLoop, TheWheelPagesTheActiveViewOneNotchAtATime) {
  const QString page = Copy("testdata/tiff/real-shearer-g4-300dpi-darkborders.tif", "a.tif");
  saving->AskSaveFolder = [] { return QString(); };
  work->OpenFiles({page});
  for (TImageScrollBox* view : {Source(), Result()}) view->SetZoomMode(zmOriginalSize);
  QScrollBar* bar = Source()->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 3 * bar->pageStep());
  auto wheel = [](TImageScrollBox* view, QPoint delta) {
    const QPointF at(view->viewport()->rect().center());
    QWheelEvent event(at, view->viewport()->mapToGlobal(at), QPoint(), delta, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &event);
  };
  wheel(Source(), {0, -40});
  wheel(Source(), {0, -40});
  EXPECT_EQ(bar->value(), 0) << "two thirds of a notch do not page yet";
  wheel(Source(), {0, -40});
  EXPECT_EQ(bar->value(), bar->pageStep());
  wheel(Source(), {0, -120});
  EXPECT_EQ(bar->value(), 2 * bar->pageStep()) << "one page per notch";
  wheel(Source(), {-120, 0});
  EXPECT_EQ(bar->value(), 2 * bar->pageStep()) << "a sideways wheel does not page";
  QApplication::processEvents();
  EXPECT_EQ(Result()->VertScrollPos(), bar->value()) << "the other view follows";

  const int before = Result()->VertScrollPos();
  wheel(Result(), {0, -120});
  EXPECT_NE(Result()->VertScrollPos(), before) << "a wheel over the other view reaches it";
}
