#pragma once
// The platform services that dialogs use: message boxes, the common file,
// font and print dialogs, help, web addresses, the wait cursor, modal runs
// and screen facts. A runner (Qt or scripted) implements them.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "gfx/bitmap.h"
#include "ui/ids.h"
#include "ui/print.h"
#include "ui/template.h"

namespace ui {

class Dialog;

struct MessageBoxSpec {
  std::string caption;
  std::string text;
  Buttons buttons = Buttons::Ok;
  ui::Icon icon = ui::Icon::None;
  int defaultButton = 0;  // IDOK, IDYES...; 0 = the first button
  bool taskModal = false;
};

// The button a box of `buttons` takes by default when `requested` is none of
// its buttons (or 0): its first button.
int DefaultAnswer(Buttons buttons, int requested);
// True when a box with `buttons` offers `answer`.
bool OffersAnswer(Buttons buttons, int answer);

enum FileFlags : uint32_t {
  kFileMustExist = 1u << 0,
  kPathMustExist = 1u << 1,
  kOverwritePrompt = 1u << 2,
  kHideReadOnly = 1u << 3,
};

struct FileDialogSpec {
  bool save = false;
  std::string title;
  std::string filter;            // "desc|*.ext|desc|*.*||"
  std::string defaultExtension;  // without the dot
  std::string initialPath;
  uint32_t flags = 0;
};

struct FontChoice {
  std::string face;
  int pointSize = 0;
  bool italic = false;
  int weight = 400;  // 400 regular, 700 bold
};

// The colours of the system's palette that owner-drawn controls paint with.
struct SystemColors {
  gfx::Color window = gfx::kWhite;  // background of lists and edits
  gfx::Color windowText = gfx::kBlack;
  gfx::Color highlight = gfx::Rgb(0, 0, 128);  // selected items
  gfx::Color highlightText = gfx::kWhite;
  gfx::Color grayText = gfx::Rgb(128, 128, 128);
  gfx::Color inactiveCaptionText = gfx::Rgb(192, 192, 192);  // unavailable cells
};
// The palette of the system the dialogs were designed on.
SystemColors ClassicColors();

// What a window adds around its client area, in pixels: borders, title bar
// and, in `top`, the menu bar.
struct FrameMargins {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// A character drawn by a screen font: black on white, as large as the
// character's extent.
struct RasterGlyph {
  gfx::Bitmap bitmap;
};

class PlatformServices {
 public:
  virtual ~PlatformServices();

  // Runs `dialog` (already initialised) until it ends; returns its result.
  // Called by Dialog::DoModal only.
  virtual int RunModal(Dialog& dialog) = 0;

  // Returns IDOK, IDCANCEL, IDYES or IDNO.
  virtual int MessageBox(const MessageBoxSpec& box) = 0;
  // The chosen path, or nothing when cancelled.
  virtual std::optional<std::string> FileDialog(const FileDialogSpec& desc) = 0;
  virtual std::optional<FontChoice> FontDialog() = 0;
  // The print dialog; the device to print on, or null when cancelled.
  virtual std::unique_ptr<PrintDevice> PrintDialog() = 0;

  virtual void ShowHelp(const std::string& helpFile, int context) = 0;
  virtual void OpenUrl(const std::string& url) = 0;
  virtual void SetWaitCursor(bool on) = 0;

  virtual int ScreenWidth() = 0;
  virtual int ScreenHeight() = 0;
  // The frame a dialog window gets around its client area.
  virtual FrameMargins WindowFrame(bool withMenu);
  virtual SystemColors Colors() { return ClassicColors(); }
  // Draws `code` (a Unicode code point) with a screen font whose character
  // cell is `pixelHeight` pixels high; nothing when the font cannot draw.
  virtual std::optional<RasterGlyph> RasterizeChar(const FontChoice& font, int pixelHeight,
                                                   uint32_t code) = 0;
};

// The services that dialogs of this process use. Never null: without an
// installed runner, a headless stand-in answers every box with its default
// and cancels every dialog.
PlatformServices& Services();
// Installs `services` (not owned; null restores the stand-in).
void SetServices(PlatformServices* services);

// Modal dialogs currently running in this module.
int OpenModalCount();

// Shows the wait cursor for its lifetime.
class WaitCursor {
 public:
  WaitCursor() { Services().SetWaitCursor(true); }
  ~WaitCursor() { Services().SetWaitCursor(false); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// The base units of a dialog font as the dialogs were designed with them
// ("MS Sans Serif" 8 pt at 96 dpi: 6 x 13 pixels), scaled with the point
// size. Every runner converts dialog units with these, so that controls
// placed in pixels and controls placed in dialog units keep their relation;
// a high-resolution screen scales the whole window (device-pixel ratio).
BaseUnits DesignBaseUnits(int pointSize);
// The pixel height of the em square of the dialog font at `pointSize` on
// the design screen (96 dpi).
int DesignFontPixels(int pointSize);

// Texts that the platform shows itself (message box buttons, the help
// window's title) pass through the translator that the dialogs' owner
// installs; without one they stay English.
using TextTranslator = std::function<std::string(const std::string& key)>;
void SetTextTranslator(TextTranslator translator);
std::string PlatformText(const std::string& key);

}  // namespace ui
