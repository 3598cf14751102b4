#pragma once
// Runs the editor's main dialog with the process's user interface: the
// scripted runner when DX47X_UI_SCRIPT names a UI script (its report goes
// to standard output), otherwise the editor window.
#include <string>

#include "base/hresult.h"
#include "hostapi/plugin.h"

class CDX470Data;

namespace editor {

// Results of a run that did not happen or did not count (see hostapi/plugin.h).
constexpr HRESULT kScriptFailed = EDIT_E_SCRIPT_FAILED;
constexpr HRESULT kNoDisplay = EDIT_E_NO_DISPLAY;

struct EditorResult {
  HRESULT hr = S_OK;  // S_OK: the dialog ran; kScriptFailed, kNoDisplay
  int dialogResult = 0;
  std::string problem;  // why there is no display
};

EditorResult RunEditor(CDX470Data& data);

// True once this module has started the toolkit, which cannot be shut down
// again: the module must then stay loaded.
bool ToolkitStarted();

}  // namespace editor
