#include "editor/dialog_catalogue.h"

#include "data/dx470data.h"
#include "editor/character_editor.h"
#include "editor/character_picker.h"
#include "editor/font_editor.h"
#include "editor/main_dialog.h"

namespace editor {

const std::vector<CatalogueEntry>& DialogCatalogue() {
  static const std::vector<CatalogueEntry> entries = {
      {"main dialog", id::kMainTemplate,
       [](CDX470Data& data) { return std::make_unique<DX470MainDialog>(data); }, {}},
      {"character editor", CharacterEditorDialog::kTemplateId,
       [](CDX470Data& data) {
         auto dialog = std::make_unique<CharacterEditorDialog>();
         dx470::ZEICHENSATZ& font = data.Param().Lcd.Fonts[0];
         if (!dialog->SetUp(font, 'A')) dialog->SetUp(font, font.DefaultChar);
         return dialog;
       },
       {}},
      {"character picker", id::kPickerTemplate,
       [](CDX470Data& data) {
         return std::make_unique<CharacterPickerDialog>(data.Param().Lcd.Fonts[0], CharacterGrid::Mode::Picker, 0);
       },
       {}},
      {"font editor", id::kFontEditorTemplate,
       [](CDX470Data& data) {
         return std::make_unique<FontEditorDialog>(data.Param().Lcd.Fonts[0], 0, data.Param());
       },
       {}},
      {"get font", id::kGetFontTemplate, [](CDX470Data&) { return std::make_unique<GetFontDialog>(0); }, {}},
  };
  return entries;
}

}  // namespace editor
