#include "editor/dialog_catalogue.h"

#include "editor/main_dialog.h"

namespace editor {

const std::vector<CatalogueEntry>& DialogCatalogue() {
  static const std::vector<CatalogueEntry> entries = {
      {"main dialog", id::kMainTemplate,
       [](CDX470Data& data) { return std::make_unique<DX470MainDialog>(data); }, {}},
  };
  return entries;
}

}  // namespace editor
