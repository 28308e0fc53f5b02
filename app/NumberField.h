// A number field of the parameter toolbar: digits, Backspace and Enter only
// ("." too in the angle field).
#pragma once

#include <QLineEdit>

class TNumberField : public QLineEdit {
  Q_OBJECT
 public:
  TNumberField(bool allowDecimalPoint, const QString& hint, QWidget* parent = nullptr);

  // Integer value; `fallback` when the text is not a number.
  int IntValue(int fallback = 1) const;
  // Decimal value; `previous` when the text is not a number.
  double DecimalValue(double previous) const;
  // Sets the text without firing textChanged handlers.
  void SetTextQuietly(const QString& text);

  // Whether a typed character is accepted.
  static bool AcceptsCharacter(QChar c, bool allowDecimalPoint);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool allowDecimalPoint_;
};
