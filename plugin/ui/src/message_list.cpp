#include "editor/message_list.h"

#include "data/positions.h"
#include "editor/characters.h"
#include "editor/glyphs.h"

namespace editor {
namespace {

constexpr int kListFontHeight = 13;
// Text rows are centred in the item, the odd pixel going below.
constexpr int kTextTop =
    (CMessageListBox::kRowHeight - kListFontHeight) / 2 + (CMessageListBox::kRowHeight - kListFontHeight) % 2;

}  // namespace

CMessageListBox::CMessageListBox(const dx470::PARAM* param)
    : param_(param), listFont_("MS Sans Serif", kListFontHeight, 700) {}

void CMessageListBox::SetRow(int row, bool defined, int fontIndex, std::string text, std::string receiveText,
                             std::string sendText) {
  if (row < 0 || row > kRowCount) return;
  rows_[size_t(row)] = Row{defined, fontIndex, std::move(text), std::move(receiveText), std::move(sendText)};
}

void CMessageListBox::Layout(const LayoutIds& ids) {
  ui::Dialog* d = Owner();
  if (!d) return;
  const int id = ControlId();
  d->MoveControl(id, gfx::RectAt(63, 65, 385, kRowCount * kRowHeight + 4));
  d->MoveControl(ids.textHeader, gfx::RectAt(66, 44, 132, 15));
  d->MoveControl(ids.receiveHeader, gfx::RectAt(203, 44, 120, 15));
  d->MoveControl(ids.sendHeader, gfx::RectAt(328, 44, 117, 15));
  d->MoveControl(ids.usedHeader, gfx::RectAt(445, 44, 50, 15));
  d->MoveControl(ids.messageHeader, gfx::RectAt(3, 44, 54, 15));
  for (int i = 0; i < kRowCount; ++i) {
    d->MoveControl(ids.rowNumbers[size_t(i)], gfx::RectAt(32, 68 + kRowHeight * i, 25, kRowHeight));
    d->MoveControl(ids.checkBoxes[size_t(i)], gfx::RectAt(453, 66 + kRowHeight * i, kRowHeight, kRowHeight));
  }
  d->SetItemHeight(id, -1, kRowHeight);
  checkBoxes_ = ids.checkBoxes;
  laidOut_ = true;
}

void CMessageListBox::UpdateCheckBoxes() {
  ui::Dialog* d = Owner();
  if (!laidOut_ || !d) return;
  const int selected = d->GetCurSel(ControlId());
  for (int row = 0; row < kRowCount; ++row) {
    bool enable = false;
    if (row == selected && param_) {
      const int slot = dx470::SlotAtRow(*param_, row);
      enable = slot >= 0 && param_->MessageKind[slot] != 0;
    }
    d->EnableControl(checkBoxes_[size_t(row)], enable);
  }
}

void CMessageListBox::OnMouse(ui::MouseAction action, int, int, ui::KeyMods) {
  if (action == ui::MouseAction::Down || action == ui::MouseAction::Move) UpdateCheckBoxes();
}

bool CMessageListBox::QueryText(std::string& text) const {
  const ui::Dialog* d = Owner();
  return QueryItemText(d ? d->GetCurSel(ControlId()) : -1, text);
}

bool CMessageListBox::QueryItemText(int index, std::string& text) const {
  if (index < 0 || index > kRowCount) {
    text.clear();
    return true;
  }
  const Row& r = rows_[size_t(index)];
  text = Latin1ToUtf8(r.text) + "\t" + r.receiveText + "\t" + r.sendText;
  return true;
}

void CMessageListBox::DrawColumn(gfx::Bitmap& target, int left, int right, const std::string& text,
                                 gfx::Color color) {
  if (text.empty()) return;
  const size_t fit = listFont_.FitLength(text, right - left);
  listFont_.Draw(target, left, kTextTop, std::string_view(text).substr(0, fit), color);
}

// A dotted rectangle along the item's edges, every other pixel.
void CMessageListBox::DrawFocusRect(gfx::Bitmap& target, gfx::Color color) {
  const int w = target.width(), h = target.height();
  for (int x = 0; x < w; x += 2) {
    target.Set(x, 0, color);
    target.Set(x, h - 1, color);
  }
  for (int y = 0; y < h; y += 2) {
    target.Set(0, y, color);
    target.Set(w - 1, y, color);
  }
}

void CMessageListBox::DrawItem(int index, bool selected, gfx::Bitmap& target) {
  if (index < 0 || index > kRowCount) return;
  ui::PlatformServices& services = Owner() ? Owner()->Services() : ui::Services();
  listFont_.UseServices(&services);
  const ui::SystemColors colors = services.Colors();
  const gfx::Color background = selected ? colors.highlight : colors.window;
  const gfx::Color color = selected ? colors.highlightText : colors.windowText;
  target.FillRect({0, 0, target.width(), target.height()}, background);

  const Row& row = rows_[size_t(index)];
  if (row.defined && param_) {
    // Any index other than 1 selects font 1, so that a damaged record never
    // reaches past the two fonts.
    const dx470::ZEICHENSATZ* font = &param_->Lcd.Fonts[row.fontIndex == 1 ? 1 : 0];
    GlyphStyle style;
    style.selected = selected;
    int x = kTextLeft;
    for (unsigned char code : row.text) {
      const Extent e = DrawChar(false, font, code, nullptr, x, 0, style);
      if (x + e.width > kTextRight) break;
      DrawChar(true, font, code, &target, x, 0, style);
      x += e.width;
    }
  }
  DrawColumn(target, kReceiveLeft, kReceiveRight, row.receiveText, color);
  DrawColumn(target, kSendLeft, kSendRight, row.sendText, color);
  if (HasFocus() && Owner() && index == Owner()->GetCurSel(ControlId())) DrawFocusRect(target, color);
}

}  // namespace editor
