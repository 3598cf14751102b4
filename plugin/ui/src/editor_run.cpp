#include "editor/editor_run.h"

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "com/bstr.h"
#include "com/cocreate.h"
#include "editor/main_dialog.h"
#include "hostapi/services.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/script.h"
#include "ui/services.h"
#ifdef DX47X_WITH_QT
#include "qtui/qtui.h"
#endif

namespace editor {
namespace {

std::atomic<bool> g_toolkit{false};

// Installs services for the process while it lives.
class ServicesScope {
 public:
  explicit ServicesScope(ui::PlatformServices* services) { ui::SetServices(services); }
  ~ServicesScope() { ui::SetServices(nullptr); }
  ServicesScope(const ServicesScope&) = delete;
  ServicesScope& operator=(const ServicesScope&) = delete;
};

// Lets the platform's own texts (box buttons, the help title) pass through
// the plug-in's translation while the editor runs.
class TranslatorScope {
 public:
  TranslatorScope() {
    ui::SetTextTranslator([](const std::string& key) { return Translate(key); });
  }
  ~TranslatorScope() { ui::SetTextTranslator(nullptr); }
  TranslatorScope(const TranslatorScope&) = delete;
  TranslatorScope& operator=(const TranslatorScope&) = delete;
};

struct Selection {
  std::unique_ptr<ui::PlatformServices> services;
  ui::ScriptedServices* script = nullptr;
  std::string problem;
};

// The UI script to run instead of windows: the host's (IEditorScript, as a
// command line's --script), else the one DX47X_UI_SCRIPT names; empty for
// none.
std::string ScriptPath() {
  com::ComPtr<IEditorScript> host;
  com::Bstr path;
  if (SUCCEEDED(com::CreateInstance(CLSID_EditorScript, &host)) && SUCCEEDED(host->GetScriptPath(&path)) &&
      !path.Empty())
    return path.ToUtf8();
  const char* variable = std::getenv("DX47X_UI_SCRIPT");
  return variable ? variable : "";
}

Selection Select() {
  Selection s;
  const std::string script = ScriptPath();
#ifdef DX47X_WITH_QT
  qtui::ServiceSelection q = qtui::SelectServices(script, std::cout);
  s.services = std::move(q.services);
  s.script = q.script;
  // A scripted run rasterises fonts and takes screenshots offscreen when it
  // first needs to; the window needs a display.
  if (s.script) {
    g_toolkit = true;
  } else if (qtui::EnsureApplication(false, &s.problem)) {
    g_toolkit = true;
  } else {
    s.services.reset();
  }
#else
  if (!script.empty()) {
    auto scripted = ui::MakeScriptedServices(script, std::cout);
    s.script = scripted.get();
    s.services = std::move(scripted);
  } else {
    s.problem = "this build has no window system support";
  }
#endif
  return s;
}

}  // namespace

bool ToolkitStarted() { return g_toolkit; }

EditorResult RunEditor(CDX470Data& data) {
  Selection selection = Select();
  if (!selection.services) return {EDIT_E_NO_DISPLAY, 0, selection.problem};
  EditorResult result;
  {
    ServicesScope scope(selection.services.get());
    TranslatorScope texts;
    DX470MainDialog dialog(data);
    result.dialogResult = dialog.DoModal();
  }
  if (selection.script && !selection.script->Finish()) result.hr = EDIT_E_SCRIPT_FAILED;
  std::cout.flush();
  return result;
}

}  // namespace editor
