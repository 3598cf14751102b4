// The About box: template 101, the version line and "Go".
#include "editor/plugin_info.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "data/defaultfont.h"
#include "data/packedfont.h"
#include "editor/glyphs.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/services.h"

namespace editor {
namespace {

constexpr const char* kMakerMark = "VORNAK";
constexpr gfx::Color kMarkBackground = gfx::Rgb(0, 64, 112);
constexpr gfx::Color kMarkAccent = gfx::Rgb(240, 160, 0);

// The built-in device font, unpacked once; null when it cannot be.
const dx470::ZEICHENSATZ* MarkFont() {
  static const std::unique_ptr<dx470::ZEICHENSATZ> font = [] {
    auto f = std::make_unique<dx470::ZEICHENSATZ>();
    std::memset(f.get(), 0, sizeof *f);
    const auto packed = dx470::DefaultFontPacked();
    if (!dx470::Unpack(packed.data(), packed.size(), *f).ok()) f.reset();
    return f;
  }();
  return font.get();
}

}  // namespace

std::string ShortVersion(const std::string& resource) {
  std::string version = resource;
  std::replace(version.begin(), version.end(), ',', '.');
  if (const size_t last = version.rfind('.'); last != std::string::npos) version.erase(last);
  return version;
}

CPluginInfoDialog::CPluginInfoDialog(std::string deviceName, std::string applicationText)
    : Dialog(MakeTemplate()),
      m_strDeviceName(std::move(deviceName)),
      m_strApplication(std::move(applicationText)) {}

ui::DialogTemplate CPluginInfoDialog::MakeTemplate() {
  using ui::ControlKind;
  ui::DialogTemplate t;
  t.id = id::kPluginInfoTemplate;
  t.caption = "Plugin Info???";
  t.cx = 197;
  t.cy = 79;
  t.controls = {
      {ui::IDOK, ControlKind::DefPushButton, "OK???", {140, 7, 50, 21}, ui::kTabStop | ui::kGroup},
      {kGo, ControlKind::PushButton, "Go???", {140, 62, 50, 10}, ui::kTabStop},
      {kPicture, ControlKind::Icon, "", {7, 7, 85, 21}, 0},
      {kVersionLine, ControlKind::Static, "Version???", {7, 39, 183, 8}, ui::kNoPrefix},
      {kLegalNotice, ControlKind::Static, "Legal notice???", {7, 51, 183, 8}, 0},
      {kWebAddress, ControlKind::Static, "Web address???", {7, 63, 130, 8}, 0},
  };
  return t;
}

bool CPluginInfoDialog::OnInitDialog() {
  SetWindowText(m_strDeviceName.empty() ? Translate(kUnnamedDevice) : m_strDeviceName);
  if (m_strApplication.empty()) m_strApplication = kUnnamedDevice;
  Attach(kPicture, m_oLogo);
  SetDlgItemText(kVersionLine, VersionLine());
  SetDlgItemText(kLegalNotice, Translate(kLegalNoticeKey));
  SetDlgItemText(kWebAddress, Translate(kWebAddressKey));
  SetDlgItemText(kGo, Translate("Go"));
  SetDlgItemText(ui::IDOK, Translate("OK"));
  return true;
}

std::string CPluginInfoDialog::VersionLine() const {
  return Translate("Version") + "  " + ShortVersion(kVersionResource) + "    (" +
         Translate("Appl. program:") + " " + m_strApplication + ")";
}

void CPluginInfoDialog::OnCommand(int id, int code) {
  if (id == kGo && code == ui::BN_CLICKED)
    OnGo();
  else
    Dialog::OnCommand(id, code);
}

void CPluginInfoDialog::OnGo() {
  SetFocus(ui::IDOK);
  Services().OpenUrl(Translate(kWebAddressKey));
}

void CPluginInfoDialog::Logo::Paint(gfx::Bitmap& target) {
  target.FillRect({0, 0, target.width(), target.height()}, kMarkBackground);
  target.FillRect({0, target.height() - 3, target.width(), target.height()}, kMarkAccent);
  const dx470::ZEICHENSATZ* font = MarkFont();
  if (!font) return;
  const auto* text = reinterpret_cast<const uint8_t*>(kMakerMark);
  const size_t length = std::strlen(kMakerMark);
  const Extent size = DrawText(false, font, text, length, nullptr, 0, 0);
  const int x = std::max(0, (target.width() - size.width) / 2);
  const int y = std::max(0, (target.height() - 3 - size.height) / 2);
  DrawText(true, font, text, length, &target, x, y, true);
}

void RunPluginInfoDialog(const std::string& deviceName, const std::string& applicationText) {
  CPluginInfoDialog dialog(deviceName, applicationText);
  dialog.DoModal();
}

}  // namespace editor
