#pragma once
// Every dialog of the editor, so that checks that concern all of them (the
// layout check in English and German, at every scale) find each one. A new
// dialog joins by adding its entry to DialogCatalogue().
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog.h"

class CDX470Data;

namespace editor {

struct CatalogueEntry {
  std::string name;
  int templateId = 0;
  // The dialog on `data`, ready to run modally.
  std::function<std::unique_ptr<ui::Dialog>(CDX470Data& data)> make;
  // Controls placed over each other on purpose.
  std::vector<std::pair<int, int>> neighbours;
};

const std::vector<CatalogueEntry>& DialogCatalogue();

}  // namespace editor
