// The window joining two images side by side: a thin layer over
// tools/work/JoinPages.h, run in the user-interface thread.
#pragma once

#include <functional>
#include <vector>

#include "tools/ToolRunWindow.h"

class QLineEdit;

class TFTwoInOne : public TToolRunWindow {
  Q_OBJECT
 public:
  explicit TFTwoInOne(std::vector<TToolEntry> entries, QWidget* parent = nullptr);

  // The save folder at the start of a run; empty stops before anything is
  // done. The installer asks the operator for one when none is set.
  std::function<QString()> SaveFolder;

  QLineEdit* LeftTrim() const { return leftTrim_; }
  QLineEdit* RightTrim() const { return rightTrim_; }

  void Start() override;

 private:
  std::vector<TToolEntry> entries_;
  QLineEdit* leftTrim_ = nullptr;
  QLineEdit* rightTrim_ = nullptr;
};
