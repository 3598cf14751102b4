// The process's platform services, the headless stand-in and the modal count.
#include "ui/services.h"

#include <atomic>
#include <mutex>

#include "ui/dialog.h"

namespace ui {

PlatformServices::~PlatformServices() = default;

namespace {

std::atomic<int> g_modalCount{0};

// Used while no runner is installed: nothing is shown, every box takes its
// default and every dialog is cancelled.
class HeadlessServices final : public PlatformServices {
 public:
  int RunModal(Dialog&) override { return IDCANCEL; }
  int MessageBox(const MessageBoxSpec& box) override { return DefaultAnswer(box.buttons, box.defaultButton); }
  std::optional<std::string> FileDialog(const FileDialogSpec&) override { return {}; }
  std::optional<FontChoice> FontDialog() override { return {}; }
  std::unique_ptr<PrintDevice> PrintDialog() override { return nullptr; }
  void ShowHelp(const std::string&, int) override {}
  void OpenUrl(const std::string&) override {}
  void SetWaitCursor(bool) override {}
  int ScreenWidth() override { return 1280; }
  int ScreenHeight() override { return 1024; }
  std::optional<RasterGlyph> RasterizeChar(const FontChoice&, int, uint32_t) override { return {}; }
};

HeadlessServices g_headless;
std::atomic<PlatformServices*> g_services{nullptr};

}  // namespace

int ModalCount(int delta) { return g_modalCount += delta; }
int OpenModalCount() { return g_modalCount.load(); }

PlatformServices& Services() {
  PlatformServices* s = g_services.load();
  return s ? *s : g_headless;
}

void SetServices(PlatformServices* services) { g_services = services; }

bool OffersAnswer(Buttons buttons, int answer) {
  switch (buttons) {
    case Buttons::Ok: return answer == IDOK;
    case Buttons::OkCancel: return answer == IDOK || answer == IDCANCEL;
    case Buttons::YesNo: return answer == IDYES || answer == IDNO;
    case Buttons::YesNoCancel: return answer == IDYES || answer == IDNO || answer == IDCANCEL;
  }
  return false;
}

int DefaultAnswer(Buttons buttons, int requested) {
  if (OffersAnswer(buttons, requested)) return requested;
  return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? IDYES : IDOK;
}

BaseUnits DesignBaseUnits(int pointSize) {
  if (pointSize <= 0) pointSize = 8;
  return {(6 * pointSize + 4) / 8, (13 * pointSize + 4) / 8};
}

int DesignFontPixels(int pointSize) {
  if (pointSize <= 0) pointSize = 8;
  return (pointSize * 96 + 36) / 72;
}

SystemColors ClassicColors() { return {}; }

// A thin border and a title bar, plus a menu bar of one text line.
FrameMargins PlatformServices::WindowFrame(bool withMenu) { return {4, 23 + (withMenu ? 20 : 0), 4, 4}; }

namespace {
std::mutex g_translatorLock;
TextTranslator g_translator;
}  // namespace

void SetTextTranslator(TextTranslator translator) {
  std::lock_guard<std::mutex> lock(g_translatorLock);
  g_translator = std::move(translator);
}

std::string PlatformText(const std::string& key) {
  TextTranslator translator;
  {
    std::lock_guard<std::mutex> lock(g_translatorLock);
    translator = g_translator;
  }
  return translator ? translator(key) : key;
}

}  // namespace ui
