#include "editor/editor_dialogs.h"

namespace editor {

EditorDialogs& RegisteredDialogs() {
  static EditorDialogs dialogs;
  return dialogs;
}

}  // namespace editor
