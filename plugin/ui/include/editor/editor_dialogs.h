#pragma once
// The dialogs that the main dialog opens for its commands. Each is a
// function that runs its dialog modally and answers the dialog's result
// (ui::IDOK, ui::IDCANCEL); a command whose dialog is missing is disabled.
#include <functional>
#include <string>

#include "data/records.h"

class CDX470Data;

namespace editor {

struct EditorDialogs {
  // New message: runs on a private copy of the whole PARAM and the chosen
  // slot; on IDOK it has given the slot its types, default record and
  // display position.
  std::function<int(dx470::PARAM& copy, int slot)> messageTypes;
  // Edit message: the settings dialog of the slot's receive type, on PARAM.
  std::function<int(dx470::PARAM& param, int slot, uint8_t receiveType)> messageSettings;
  std::function<int(dx470::PARAM& param)> generalParameters;
  // Font editor on a private copy of font `index` (0 or 1) of `param`.
  std::function<int(dx470::ZEICHENSATZ& font, int index, const dx470::PARAM& param)> fontEditor;
  // Text import and export; `lastPath` is the file used last (kept by the
  // main dialog).
  std::function<int(CDX470Data& data, std::string& lastPath)> importTexts;
  std::function<int(CDX470Data& data, std::string& lastPath)> exportTexts;
  std::function<void(CDX470Data& data)> printDocumentation;
  std::function<void(const std::string& deviceName, const std::string& applicationText)> about;
};

// The dialogs of this build; the editor's dialogs register themselves here.
EditorDialogs& RegisteredDialogs();

}  // namespace editor
