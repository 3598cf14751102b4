#include "editor/dialog_catalogue.h"

#include "data/dx470data.h"
#include "data/positions.h"
#include "editor/character_editor.h"
#include "editor/character_picker.h"
#include "editor/font_editor.h"
#include "editor/general_params.h"
#include "editor/main_dialog.h"
#include "editor/message_settings.h"
#include "editor/message_types.h"
#include "editor/plugin_info.h"
#include "editor/scaling_dialog.h"

namespace editor {
namespace {

// A settings dialog on slot 0, defined with the given types first.
std::unique_ptr<ui::Dialog> MessageOn(CDX470Data& data, uint8_t receive, uint8_t send) {
  dx470::DefineMessage(data.Param(), 0, receive, send, false, "Text");
  return MakeMessageSettings(data.Param(), 0, receive);
}

}  // namespace

const std::vector<CatalogueEntry>& DialogCatalogue() {
  static const std::vector<CatalogueEntry> entries = {
      {"main dialog",
       id::kMainTemplate,
       [](CDX470Data& data) { return std::make_unique<DX470MainDialog>(data); },
       {}},
      {"character editor",
       CharacterEditorDialog::kTemplateId,
       [](CDX470Data& data) {
         auto dialog = std::make_unique<CharacterEditorDialog>();
         dx470::ZEICHENSATZ& font = data.Param().Lcd.Fonts[0];
         if (!dialog->SetUp(font, 'A')) dialog->SetUp(font, font.DefaultChar);
         return dialog;
       },
       {}},
      {"character picker",
       id::kPickerTemplate,
       [](CDX470Data& data) {
         return std::make_unique<CharacterPickerDialog>(data.Param().Lcd.Fonts[0],
                                                        CharacterGrid::Mode::Picker, 0);
       },
       {}},
      {"font editor",
       id::kFontEditorTemplate,
       [](CDX470Data& data) {
         return std::make_unique<FontEditorDialog>(data.Param().Lcd.Fonts[0], 0, data.Param());
       },
       {}},
      {"get font", id::kGetFontTemplate, [](CDX470Data&) { return std::make_unique<GetFontDialog>(0); }, {}},
      {"general parameters",
       id::kGeneralParamTemplate,
       [](CDX470Data& data) { return std::make_unique<CGeneralParamDialog>(data.Param()); },
       {}},
      {"about",
       id::kPluginInfoTemplate,
       [](CDX470Data&) { return std::make_unique<CPluginInfoDialog>("Entrance display", "470110"); },
       {}},
      {"message types",
       id::kTypesTemplate,
       [](CDX470Data& data) { return std::make_unique<MessageTypesDialog>(data.Param(), 0); },
       {}},
      {"switch message", id::kSwitchTemplate, [](CDX470Data& data) { return MessageOn(data, 2, 2); }, {}},
      {"static text message sending a switch",
       id::kStaticTemplate,
       [](CDX470Data& data) { return MessageOn(data, 1, 2); },
       {}},
      {"static text message sending a text",
       id::kStaticTemplate,
       [](CDX470Data& data) { return MessageOn(data, 1, 12); },
       {}},
      {"text message", id::kTextTemplate, [](CDX470Data& data) { return MessageOn(data, 12, 12); }, {}},
      {"time message", id::kTimeTemplate, [](CDX470Data& data) { return MessageOn(data, 4, 0); }, {}},
      {"date message", id::kDateTemplate, [](CDX470Data& data) { return MessageOn(data, 5, 0); }, {}},
      {"value message", id::kValueTemplate, [](CDX470Data& data) { return MessageOn(data, 9, 9); }, {}},
      {"modify display values",
       id::kScalingTemplate,
       [](CDX470Data&) {
         static ValueBytes bytes{};
         return std::make_unique<ScalingDialog>(uint8_t(9), true, bytes);
       },
       {}},
      {"define ranges for textual display",
       id::kTextRangesTemplate,
       [](CDX470Data& data) {
         static ValueBytes bytes{};
         return std::make_unique<TextRangesDialog>(uint8_t(9), true, bytes, &data.Param().Lcd.Fonts[0], 0);
       },
       {}},
  };
  return entries;
}

}  // namespace editor
