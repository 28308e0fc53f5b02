#include "app/KeyboardMap.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

TCommand KeyCommand(int key, bool ctrl, bool shift) {
  using C = TCommand;
  switch (key) {
    case Qt::Key_A:
      return ctrl ? C::SelectAll : C::ShiftLeft;
    case Qt::Key_B:
      return ctrl ? C::Magnifier : C::Enlarge;
    case Qt::Key_C:
      return ctrl ? C::Copy : C::Centre;
    case Qt::Key_D:
      return C::ShiftRight;
    case Qt::Key_E:
      return C::RotateCounterClockwise;
    case Qt::Key_F:
      return C::Darken;
    case Qt::Key_G:
      return C::FitMargins;
    case Qt::Key_H:
      return C::Options;
    case Qt::Key_I:
      return ctrl ? C::TwoInOne : C::AutoCorrect;
    case Qt::Key_J:
      return ctrl ? C::CheckFolder : C::CheckAll;
    case Qt::Key_K:
      return ctrl ? C::RemovePopup : (shift ? C::RemoveChecked : C::RemoveAll);
    case Qt::Key_L:
      return C::Lighten;
    case Qt::Key_M:
      return ctrl ? C::FullScreen2 : C::FullScreen1;
    case Qt::Key_N:
      return C::Reduce;
    case Qt::Key_O:
      return ctrl ? C::OpenFolder : C::OpenFiles;
    case Qt::Key_P:
      return ctrl ? C::Print : C::ChooseSaveFolder;
    case Qt::Key_Q:
      return C::ZoomCycle;
    case Qt::Key_R:
      return ctrl ? C::FolderWatch : C::RotateClockwise;
    case Qt::Key_S:
      return C::ShiftDown;
    case Qt::Key_T:
      return C::PaperSize;
    case Qt::Key_U:
      return ctrl ? C::Split : C::Merge;
    case Qt::Key_V:
      return ctrl ? C::Paste : C::BorderRemoval;
    case Qt::Key_W:
      return C::ShiftUp;
    case Qt::Key_X:
      return ctrl ? C::EraseInside : C::Specks;
    case Qt::Key_Y:
      return ctrl ? C::FixedClear : C::AddFixedOrErase;
    case Qt::Key_Z:
      return ctrl ? C::EraseOutside : C::Deskew;
    case Qt::Key_1:
      return C::Turn270;
    case Qt::Key_2:
      return C::Turn90;
    case Qt::Key_3:
      return C::Turn180;
    case Qt::Key_4:
      return C::FixedNext;
    case Qt::Key_5:
      return C::FixedPrevious;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return C::Crop;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      return C::EraseInside;
    case Qt::Key_Space:
      return C::Save;
    case Qt::Key_Home:
      return C::First;
    case Qt::Key_End:
      return C::Last;
    case Qt::Key_Up:
      return C::Previous;
    case Qt::Key_Down:
      return C::Next;
    case Qt::Key_Escape:
      return shift ? C::UncheckAll : C::Escape;
    case Qt::Key_Shift:
      return C::ShiftAlone;
    case Qt::Key_Slash:
      return C::GreyConvert;
    case Qt::Key_F4:
      return ctrl ? C::CloseOrEditor : C::None;
    case Qt::Key_Alt:
      return C::MouseCycle;
    default:
      return C::None;
  }
}

int KeyOfInputMethodText(const QString& text, bool* shifted) {
  if (shifted) *shifted = false;
  if (text.size() != 1) return 0;
  const QChar c = text[0];
  if (c.unicode() < 0x80) {
    const QChar upper = c.toUpper();
    if ((upper >= QLatin1Char('A') && upper <= QLatin1Char('Z')) ||
        (upper >= QLatin1Char('0') && upper <= QLatin1Char('9')))
      return upper.unicode();  // Qt::Key_A.. and Qt::Key_0.. are the ASCII codes
    return 0;
  }
  // The jamo the standard two-set Korean layout puts on each letter key;
  // the second table holds the shifted ones.
  static const char16_t kPlain[] = u"ㅁㅠㅊㅇㄷㄹㅎㅗㅑㅓㅏㅣㅡㅜㅐㅔㅂㄱㄴㅅㅕㅍㅈㅌㅛㅋ";
  static const char16_t kShifted[] = u"ㅃㅉㄸㄲㅆㅒㅖ";
  static const char kShiftedKeys[] = "QWERTOP";
  for (int i = 0; i < 26; ++i)
    if (c.unicode() == kPlain[i]) return Qt::Key_A + i;
  for (int i = 0; i < 7; ++i)
    if (c.unicode() == kShifted[i]) {
      if (shifted) *shifted = true;
      return kShiftedKeys[i];
    }
  return 0;
}

bool KeyIsConsumed(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return true;
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Escape:
    case Qt::Key_Space:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Alt:
      return true;
    default:
      return false;
  }
}

TKeyboardMap::TKeyboardMap(TAccepts accepts, TDispatch dispatch, QObject* parent)
    : QObject(parent), accepts_(std::move(accepts)), dispatch_(std::move(dispatch)) {}

bool TKeyboardMap::FocusIsTextField() {
  QWidget* focus = QApplication::focusWidget();
  return qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus) ||
         qobject_cast<QAbstractSpinBox*>(focus);
}

bool TKeyboardMap::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::InputMethod) return InputMethodEvent(watched, static_cast<QInputMethodEvent*>(event));
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride &&
      event->type() != QEvent::KeyRelease)
    return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  // Key events travel from the window to the focused widget; act once, on
  // the window-level delivery to a widget that has focus or is a window.
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || (widget != QApplication::focusWidget() && !(widget->isWindow() && !QApplication::focusWidget())))
    return QObject::eventFilter(watched, event);
  const int k = key->key();
  // Alt alone is a system key: act on it in whichever window of the program
  // is active, and swallow its release too, so the menu bar does not take
  // the focus.
  if (k == Qt::Key_Alt) {
    if (event->type() == QEvent::KeyPress && !key->isAutoRepeat() && QApplication::activeWindow())
      dispatch_(TCommand::MouseCycle);
    return true;
  }
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  if (!accepts_ || !accepts_() || FocusIsTextField()) return QObject::eventFilter(watched, event);
  const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
  const bool ctrl = mods.testFlag(Qt::ControlModifier) || key->modifiers().testFlag(Qt::ControlModifier);
  const bool shift = mods.testFlag(Qt::ShiftModifier) || key->modifiers().testFlag(Qt::ShiftModifier);
  const TCommand command = KeyCommand(k, ctrl, shift);
  if (command != TCommand::None) dispatch_(command);
  return KeyIsConsumed(k);
}

// Our windows keep input methods off outside text fields, so keys arrive as
// keys. An input method that composes anyway (Hangul mode) hands us a jamo
// instead of a key: it is taken as the key it stands on, and the
// composition is dropped, as switching the input method to alphanumeric
// mode would.
bool TKeyboardMap::InputMethodEvent(QObject* watched, QInputMethodEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget != QApplication::focusWidget()) return QObject::eventFilter(watched, event);
  if (!accepts_ || !accepts_() || FocusIsTextField()) return QObject::eventFilter(watched, event);
  const QString commit = event->commitString();
  const QString text = commit.isEmpty() ? event->preeditString() : commit;
  if (text.isEmpty()) return true;
  // The commit that follows a composition already acted on is not a second key.
  if (!commit.isEmpty() && commit == actedPreedit_) {
    actedPreedit_.clear();
    return true;
  }
  actedPreedit_ = commit.isEmpty() ? text : QString();
  bool shifted = false;
  const int k = KeyOfInputMethodText(text, &shifted);
  if (QInputMethod* im = QGuiApplication::inputMethod()) im->reset();
  if (k == 0) return true;
  const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
  const TCommand command =
      KeyCommand(k, mods.testFlag(Qt::ControlModifier), shifted || mods.testFlag(Qt::ShiftModifier));
  if (command != TCommand::None) dispatch_(command);
  return true;
}
