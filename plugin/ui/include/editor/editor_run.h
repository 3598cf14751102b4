#pragma once
// Runs the editor's main dialog with the process's user interface: the
// scripted runner when the host (IEditorScript) or DX47X_UI_SCRIPT names a UI
// script (its report goes to standard output), otherwise the editor window.
#include <string>

#include "base/hresult.h"
#include "hostapi/plugin.h"

class CDX470Data;

namespace editor {

struct EditorResult {
  HRESULT hr = S_OK;  // S_OK: the dialog ran; EDIT_E_SCRIPT_FAILED, EDIT_E_NO_DISPLAY
  int dialogResult = 0;
  std::string problem;  // why there is no display
};

EditorResult RunEditor(CDX470Data& data);

// True once this module has started the toolkit, which cannot be shut down
// again: the module must then stay loaded.
bool ToolkitStarted();

}  // namespace editor
