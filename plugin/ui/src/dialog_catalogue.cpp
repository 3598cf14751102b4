#include "editor/dialog_catalogue.h"

#include "data/dx470data.h"
#include "editor/character_picker.h"
#include "editor/main_dialog.h"

namespace editor {

const std::vector<CatalogueEntry>& DialogCatalogue() {
  static const std::vector<CatalogueEntry> entries = {
      {"main dialog", id::kMainTemplate,
       [](CDX470Data& data) { return std::make_unique<DX470MainDialog>(data); }, {}},
      {"character picker", id::kPickerTemplate,
       [](CDX470Data& data) {
         return std::make_unique<CharacterPickerDialog>(data.Param().Lcd.Fonts[0], CharacterGrid::Mode::Picker, 0);
       },
       {}},
  };
  return entries;
}

}  // namespace editor
