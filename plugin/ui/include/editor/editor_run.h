#pragma once
// Runs the editor's main dialog with the process's user interface: the
// scripted runner when DX47X_UI_SCRIPT names a UI script (its report goes
// to standard output), otherwise the editor window.
#include "base/hresult.h"

class CDX470Data;

namespace editor {

// What Edit answers when the UI script failed (a failed expectation, a line
// it cannot parse, dialogs left open): nothing was saved, and the caller
// must not take it for a cancel.
constexpr HRESULT kScriptFailed = MakeHResult(0x80040201);
// What Edit answers when there is no display to show the editor on.
constexpr HRESULT kNoDisplay = MakeHResult(0x80040202);

struct EditorResult {
  HRESULT hr = S_OK;  // S_OK: the dialog ran; kScriptFailed, kNoDisplay
  int dialogResult = 0;
};

EditorResult RunEditor(CDX470Data& data);

// True once this module has started the toolkit, which cannot be shut down
// again: the module must then stay loaded.
bool ToolkitStarted();

}  // namespace editor
