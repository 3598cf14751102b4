#pragma once
// Brackets one user input: notifications posted while it is handled are
// delivered when the outermost input returns.
#include "ui/dialog.h"

namespace ui {

class Dialog::InputScope {
 public:
  explicit InputScope(Dialog& dialog) : dialog_(dialog) { ++dialog_.inputDepth_; }
  ~InputScope() {
    if (--dialog_.inputDepth_ == 0) dialog_.FlushPosted();
  }
  InputScope(const InputScope&) = delete;
  InputScope& operator=(const InputScope&) = delete;

 private:
  Dialog& dialog_;
};

}  // namespace ui
