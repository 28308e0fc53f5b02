#include "app/NumberField.h"

#include <QKeyEvent>
#include <QSignalBlocker>

TNumberField::TNumberField(bool allowDecimalPoint, const QString& hint, QWidget* parent)
    : QLineEdit(parent), allowDecimalPoint_(allowDecimalPoint) {
  setToolTip(hint);
  setAlignment(Qt::AlignRight);
}

bool TNumberField::AcceptsCharacter(QChar c, bool allowDecimalPoint) {
  return c.isDigit() || (allowDecimalPoint && c == QLatin1Char('.'));
}

void TNumberField::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      QLineEdit::keyPressEvent(event);
      return;
    default:
      break;
  }
  const QString text = event->text();
  if (text.size() == 1 && AcceptsCharacter(text[0], allowDecimalPoint_)) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  // Clipboard and selection shortcuts still work; every other character is dropped.
  if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  event->accept();
}

int TNumberField::IntValue(int fallback) const {
  bool ok = false;
  const int v = text().toInt(&ok);
  return ok ? v : fallback;
}

double TNumberField::DecimalValue(double previous) const {
  bool ok = false;
  const double v = text().toDouble(&ok);
  return ok ? v : previous;
}

void TNumberField::SetTextQuietly(const QString& text) {
  QSignalBlocker block(this);
  setText(text);
}
