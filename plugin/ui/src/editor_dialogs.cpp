#include "editor/editor_dialogs.h"

#include "editor/font_editor.h"

namespace editor {

EditorDialogs& RegisteredDialogs() {
  static EditorDialogs dialogs = [] {
    EditorDialogs d;
    d.fontEditor = RunFontEditor;
    return d;
  }();
  return dialogs;
}

}  // namespace editor
