// The one-key command map of the main window.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QInputMethodEvent;

#include "app/ViewTransCommands.h"

// The command a key stands for, with Ctrl / Shift as held at the moment of
// the key; TCommand::None for keys without a command.
TCommand KeyCommand(int qtKey, bool ctrl, bool shift);

// The key an input method's text stands for: a Latin letter or digit, or
// the jamo of the two-set Korean layout on that key (shifted is set for the
// jamo of a shifted key); 0 for any other text.
int KeyOfInputMethodText(const QString& text, bool* shifted = nullptr);

// Keys the map swallows after acting; every other key also reaches the
// focused control.
bool KeyIsConsumed(int qtKey);

// Application-wide filter that turns key presses into commands. It acts
// only while Accepts() says the active window is one of ours and the
// focused control is not a text field.
class TKeyboardMap : public QObject {
  Q_OBJECT
 public:
  using TDispatch = std::function<void(TCommand command)>;
  using TAccepts = std::function<bool()>;

  TKeyboardMap(TAccepts accepts, TDispatch dispatch, QObject* parent = nullptr);

  // The focused control is a text field (line edit, text edit, spin box).
  static bool FocusIsTextField();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool InputMethodEvent(QObject* watched, QInputMethodEvent* event);

  TAccepts accepts_;
  QString actedPreedit_;
  TDispatch dispatch_;
};
