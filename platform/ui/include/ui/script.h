#pragma once
// The scripted runner: platform services that drive dialogs from a UI script
// instead of a display (language in platform/ui/SCRIPTING.md). Message boxes
// and the other platform dialogs are answered from the script and reported
// on the output stream, together with every failure.
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "base/hresult.h"
#include "ui/services.h"

namespace ui {

class ScriptedServices : public PlatformServices {
 public:
  // True once an expectation failed, a line could not be parsed or executed,
  // or the script ended with dialogs open. The caller saves nothing then.
  virtual bool Failed() const = 0;
  // Called after the last dialog has closed: commands and answers that were
  // never used fail the run. Returns !Failed().
  virtual bool Finish() = 0;
};

// Reads the whole script from `path` ("-" = standard input). A script that
// cannot be read or parsed gives services that have already failed: every
// dialog is cancelled at once.
std::unique_ptr<ScriptedServices> MakeScriptedServices(const std::string& path, std::ostream& out);
std::unique_ptr<ScriptedServices> MakeScriptedServices(std::istream& in, std::ostream& out);

// Rendering that needs a toolkit, registered by the Qt runner so that the
// scripted runner stays free of it. Without them screenshots fail, screen
// fonts cannot be rasterised and printing only records what is printed.
struct RenderHooks {
  // Renders the dialog as shown and writes a PNG.
  std::function<HRESULT(Dialog&, const std::string& pngPath)> screenshot;
  std::function<std::optional<RasterGlyph>(const FontChoice&, int pixelHeight, uint32_t code)> rasterize;
  // A device that prints into the PDF file of `setup`.
  std::function<std::unique_ptr<PrintDevice>(const PrintSetup& setup)> openPrinter;
  // The palette the screenshots are drawn with.
  std::function<SystemColors()> colors;
};
void SetRenderHooks(RenderHooks hooks);
const RenderHooks& GetRenderHooks();

}  // namespace ui
