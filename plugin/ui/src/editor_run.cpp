#include "editor/editor_run.h"

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "editor/main_dialog.h"
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

struct Selection {
  std::unique_ptr<ui::PlatformServices> services;
  ui::ScriptedServices* script = nullptr;
};

Selection Select() {
  Selection s;
#ifdef DX47X_WITH_QT
  qtui::ServiceSelection q = qtui::SelectServices(std::cout);
  s.services = std::move(q.services);
  s.script = q.script;
  // A scripted run rasterises fonts and takes screenshots offscreen; the
  // window needs a display.
  if (s.script || qtui::EnsureApplication(false)) g_toolkit = true;
  if (!s.script && !g_toolkit) s.services.reset();
#else
  const char* path = std::getenv("DX47X_UI_SCRIPT");
  if (path && *path) {
    auto scripted = ui::MakeScriptedServices(path, std::cout);
    s.script = scripted.get();
    s.services = std::move(scripted);
  }
#endif
  return s;
}

}  // namespace

bool ToolkitStarted() { return g_toolkit; }

EditorResult RunEditor(CDX470Data& data) {
  Selection selection = Select();
  if (!selection.services) return {kNoDisplay, 0};
  EditorResult result;
  {
    ServicesScope scope(selection.services.get());
    DX470MainDialog dialog(data);
    result.dialogResult = dialog.DoModal();
  }
  if (selection.script && !selection.script->Finish()) result.hr = kScriptFailed;
  std::cout.flush();
  return result;
}

}  // namespace editor
