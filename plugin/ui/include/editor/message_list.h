#pragma once
// CMessageListBox: the owner-drawn list of the main dialog. One row per
// message slot: the message text drawn in the device's own font, the
// receive-type and the send-type text in the bold list font. It lays out
// the dialog's column headers, row numbers and "Used" check boxes around
// itself and keeps only the selected row's check box enabled.
#include <array>
#include <string>

#include "data/records.h"
#include "editor/screen_font.h"
#include "ui/dialog.h"
#include "ui/ownerdraw.h"

namespace editor {

class CMessageListBox : public ui::OwnerDrawn {
 public:
  static constexpr int kRowHeight = 17;
  static constexpr int kRowCount = 16;
  // Pixel layout of a row.
  static constexpr int kTextLeft = 3;
  static constexpr int kTextRight = 132;  // device text stops before passing it
  static constexpr int kReceiveLeft = 140, kReceiveRight = 260;
  static constexpr int kSendLeft = 265, kSendRight = 385;

  // The controls that Layout places, by id; rows top to bottom.
  struct LayoutIds {
    std::array<int, kRowCount> checkBoxes{};
    int messageHeader = 0;
    std::array<int, kRowCount> rowNumbers{};
    int textHeader = 0, receiveHeader = 0, sendHeader = 0, usedHeader = 0;
  };

  explicit CMessageListBox(const dx470::PARAM* param);

  // Rows outside 0..16 are ignored. `text` holds device character codes.
  void SetRow(int row, bool defined, int fontIndex, std::string text, std::string receiveText,
              std::string sendText);

  // Places the list (attached to its dialog already) and the controls
  // around it in client pixels, and makes every item 17 pixels high.
  void Layout(const LayoutIds& ids);
  // Enables the check box of the selected row when its slot has a receive
  // type and disables all others. Nothing before Layout.
  void UpdateCheckBoxes();

  // ui::OwnerDrawn
  void DrawItem(int index, bool selected, gfx::Bitmap& target) override;
  int MeasureItem(int) override { return kRowHeight; }
  void OnMouse(ui::MouseAction action, int x, int y, ui::KeyMods mods) override;
  void OnFocus(bool) override { Invalidate(); }  // the focus rectangle
  // A row's three texts, separated by tabs (device codes 0x80..0xFF read
  // as Latin-1); QueryText gives the selected row's.
  bool QueryText(std::string& text) const override;
  bool QueryItemText(int index, std::string& text) const override;

 private:
  struct Row {
    bool defined = false;
    int fontIndex = 0;
    std::string text, receiveText, sendText;
  };
  void DrawColumn(gfx::Bitmap& target, int left, int right, const std::string& text, gfx::Color color);
  static void DrawFocusRect(gfx::Bitmap& target, gfx::Color color);

  const dx470::PARAM* param_;
  std::array<Row, kRowCount + 1> rows_;
  std::array<int, kRowCount> checkBoxes_{};
  bool laidOut_ = false;
  ScreenFont listFont_;
};

}  // namespace editor
