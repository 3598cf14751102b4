#include "editor/editor_dialogs.h"

#include "editor/documentation.h"
#include "editor/font_editor.h"
#include "editor/general_params.h"
#include "editor/message_settings.h"
#include "editor/message_types.h"
#include "editor/plugin_info.h"

namespace editor {

EditorDialogs& RegisteredDialogs() {
  static EditorDialogs dialogs = [] {
    EditorDialogs d;
    d.fontEditor = RunFontEditor;
    d.printDocumentation = PrintDeviceDocumentation;
    d.generalParameters = RunGeneralParamDialog;
    d.about = RunPluginInfoDialog;
    d.messageTypes = RunMessageTypes;
    d.messageSettings = RunMessageSettings;
    return d;
  }();
  return dialogs;
}

}  // namespace editor
