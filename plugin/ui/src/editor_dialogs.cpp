#include "editor/editor_dialogs.h"

#include "editor/documentation.h"
#include "editor/font_editor.h"
#include "editor/general_params.h"
#include "editor/message_settings.h"
#include "editor/message_types.h"
#include "editor/plugin_info.h"
#include "editor/text_files.h"
#include "ui/ids.h"

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
    d.importTexts = ImportFile;
    d.exportTexts = [](CDX470Data& data, std::string& lastPath) {
      return ExportFile(data, lastPath) ? ui::IDOK : ui::IDCANCEL;
    };
    return d;
  }();
  return dialogs;
}

}  // namespace editor
