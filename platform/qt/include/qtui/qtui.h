#pragma once
// The Qt runner. Its interface is free of Qt types, so that only this
// library sees Qt.
#include <iosfwd>
#include <memory>
#include <string>

#include "base/hresult.h"
#include "gfx/bitmap.h"
#include "ui/dialog.h"
#include "ui/script.h"
#include "ui/services.h"

namespace qtui {

// Creates the process's QApplication when the host has none: on the
// window system, or with `offscreen` on Qt's offscreen platform (rendering
// only, whatever DISPLAY says). False when Qt widgets cannot be used; then
// `problem` says why (`cannot open the display ":99"`).
bool EnsureApplication(bool offscreen = false, std::string* problem = nullptr);

// Platform services that show dialogs as Qt windows.
std::unique_ptr<ui::PlatformServices> MakeQtServices();

// Lets the scripted runner take screenshots, rasterise screen fonts and
// print to PDF files.
void RegisterRenderHooks();

// The services for this process: the scripted runner when `script` names a
// UI script ("-" = standard input), reporting to `report`, else the Qt
// runner. `script` is set for a scripted run: check its Failed() flag before
// saving anything, and call Finish() after the last dialog.
struct ServiceSelection {
  std::unique_ptr<ui::PlatformServices> services;
  ui::ScriptedServices* script = nullptr;
};
ServiceSelection SelectServices(const std::string& script, std::ostream& report);

// Renders `dialog` as the Qt view shows it (offscreen when there is no
// display).
gfx::Bitmap RenderDialog(ui::Dialog& dialog);
HRESULT SaveScreenshot(ui::Dialog& dialog, const std::string& pngPath);

// The installed font family that stands in for a face the dialogs name.
std::string MapFontFace(const std::string& face);

}  // namespace qtui
