#pragma once
// CPluginInfoDialog: the About box. It names the device (caption) and the
// application program, shows the plug-in's version and the legal notice,
// and "Go" opens the maker's product page in the web browser.
#include <string>

#include "ui/dialog.h"

namespace editor {

namespace id {
constexpr int kPluginInfoTemplate = 101, kPluginInfoLogo = 226;
}  // namespace id

// The plug-in's version resource string.
inline constexpr const char* kVersionResource = "10, 0, 0, 0";
// "10, 0, 0, 0" → "10. 0. 0": commas become points, cut before the last point.
std::string ShortVersion(const std::string& resource);

// English keys of the texts the box shows; they are translated.
inline constexpr const char* kLegalNoticeKey = "\xC2\xA9 Vornak Bus Systems. All rights reserved.";
inline constexpr const char* kWebAddressKey = "https://vornak.example/dx47x";
inline constexpr const char* kUnnamedDevice = "not used, if read from ETS";

class CPluginInfoDialog : public ui::Dialog {
 public:
  static constexpr int kGo = 221, kPicture = 215, kVersionLine = 218, kLegalNotice = 219, kWebAddress = 220;

  CPluginInfoDialog(std::string deviceName, std::string applicationText);
  static ui::DialogTemplate MakeTemplate();

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id, int code) override;

 private:
  // The maker's mark, drawn in the built-in device font.
  class Logo : public ui::OwnerDrawn {
   public:
    void Paint(gfx::Bitmap& target) override;
  };

  std::string VersionLine() const;
  void OnGo();

  std::string m_strDeviceName;
  std::string m_strApplication;
  Logo m_oLogo;
};

// Runs the About box for a device.
void RunPluginInfoDialog(const std::string& deviceName, const std::string& applicationText);

}  // namespace editor
