// Dialog template 213, the character clipboard and the character editor:
// set-up and refusal, the pixel layout around the editor, Copy and Paste,
// and the glyph written back on OK.
#include "editor/character_editor.h"

#include <algorithm>

#include "editor/characters.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/services.h"

namespace editor {
namespace {

using Dlg = CharacterEditorDialog;

// Layout in client pixels.
constexpr int kMargin = 35;
constexpr int kEditorTop = 95;
constexpr int kButtonWidth = 87, kButtonHeight = 23, kButtonPitch = 107;
constexpr int kClipboardTop = 30;
constexpr int kMinInnerWidth = 301;                  // three buttons
constexpr int kClipboardRowWidth = 194;              // two buttons
constexpr int kButtonGap = 40;                       // editor bottom to OK
constexpr int kExtraWidth = 76, kExtraHeight = 120;  // window beyond the inner width, the editor bottom

dx470::ZEICHEN g_clipboard{4, 1, {}};

// The translated "x: %u - y: %u" filled in without trusting it as a format.
std::string Coordinates(std::string format, int x, int y) {
  for (int v : {x, y}) {
    const size_t at = format.find("%u");
    if (at == std::string::npos) break;
    format.replace(at, 2, std::to_string(v));
  }
  return format;
}

}  // namespace

void ResetCharacterClipboard() { g_clipboard = dx470::ZEICHEN{4, 1, {}}; }
const dx470::ZEICHEN& CharacterClipboard() { return g_clipboard; }
bool CharacterClipboardHoldsGlyph() { return g_clipboard.Height != 1; }

ui::DialogTemplate CharacterEditorTemplate() {
  using ui::ControlKind;
  constexpr uint32_t kButton = ui::kTabStop;
  ui::DialogTemplate t;
  t.id = Dlg::kTemplateId;
  t.caption = "Edit character???";
  t.cx = 251;
  t.cy = 170;
  // Every control is placed in pixels when the dialog opens.
  t.controls = {
      {Dlg::kEditorId, ControlKind::OwnerDraw, "", {23, 58, 200, 50}, 0},
      {Dlg::kCopyId, ControlKind::PushButton, "&Copy???", {58, 18, 58, 14}, kButton | ui::kGroup},
      {Dlg::kPasteId, ControlKind::PushButton, "&Paste???", {130, 18, 58, 14}, kButton},
      {ui::IDOK, ControlKind::DefPushButton, "OK???", {23, 127, 58, 14}, kButton | ui::kGroup},
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel???", {95, 127, 58, 14}, kButton},
      {Dlg::kHelpId, ControlKind::PushButton, "Help???", {166, 127, 58, 14}, kButton},
      {Dlg::kWidthSwitchId,
       ControlKind::AutoCheckBox,
       "Character width???",
       {23, 38, 80, 10},
       kButton | ui::kHidden},
      {Dlg::kCoordinatesId, ControlKind::Static, "x: 0 - y: 0", {130, 38, 80, 8}, ui::kHidden},
  };
  return t;
}

CharacterEditorDialog::CharacterEditorDialog() : Dialog(CharacterEditorTemplate()) {}

bool CharacterEditorDialog::SetUp(dx470::ZEICHENSATZ& font, int code) {
  m_pFont = nullptr;
  if (code < 0 || code > 255 || code == font.TabChar || code == font.ReplacementChar) return false;
  const dx470::ZEICHEN* glyph = GlyphRecord(font, code);
  if (!glyph) return false;
  m_pFont = &font;
  m_nCode = code;
  m_oEditor.SetGlyph(*glyph, font.Height);
  return true;
}

bool CharacterEditorDialog::OnInitDialog() {
  if (!m_pFont) {  // never set up: nothing to edit
    EndDialog(ui::IDCANCEL);
    return false;
  }
  Attach(kEditorId, m_oEditor);
  TranslateTexts();
  SetWindowText(Translate("Edit character") + " - " + CharacterDescription(m_nCode));
  SetCheck(kWidthSwitchId, ui::BST_CHECKED);
  EnableControl(kPasteId, CharacterClipboardHoldsGlyph());
  ShowCoordinates();
  Layout();
  return true;
}

void CharacterEditorDialog::TranslateTexts() {
  static const struct {
    int id;
    const char* key;
  } kControls[] = {
      {kCopyId, "&Copy"},       {kPasteId, "&Paste"}, {ui::IDOK, "OK"},
      {ui::IDCANCEL, "Cancel"}, {kHelpId, "Help"},    {kWidthSwitchId, "Character width"},
  };
  for (const auto& c : kControls) SetDlgItemText(c.id, Translate(c.key));
}

// The editor centred in the inner width, the buttons around it, the window
// sized to them and centred on the screen.
void CharacterEditorDialog::Layout() {
  const int width = m_oEditor.PixelWidth(), height = m_oEditor.PixelHeight();
  const int inner = std::max(width, kMinInnerWidth);
  const int left = kMargin + (inner - width) / 2;
  MoveControl(kEditorId, {left, kEditorTop, left + width, kEditorTop + height});
  auto button = [this](int id, int x, int y) {
    MoveControl(id, {x, y, x + kButtonWidth, y + kButtonHeight});
  };
  const int clipboardShift = (inner - kClipboardRowWidth) / 2;
  button(kCopyId, kMargin + clipboardShift, kClipboardTop);
  button(kPasteId, kMargin + kButtonPitch + clipboardShift, kClipboardTop);
  const int bottom = kEditorTop + height, buttonTop = bottom + kButtonGap,
            shift = (inner - kMinInnerWidth) / 2;
  button(ui::IDOK, kMargin + shift, buttonTop);
  button(ui::IDCANCEL, kMargin + kButtonPitch + shift, buttonTop);
  button(kHelpId, kMargin + 2 * kButtonPitch + shift, buttonTop);
  ShowControl(kWidthSwitchId, false);
  ShowControl(kCoordinatesId, false);
  // The sizes are the window's: the client area is what the frame leaves.
  const ui::FrameMargins frame = Services().WindowFrame(HasMenu());
  SetClientSize(inner + kExtraWidth - frame.left - frame.right,
                bottom + kExtraHeight - frame.top - frame.bottom);
  CenterWindow();
}

void CharacterEditorDialog::ShowCoordinates() {
  const PixelEditor::Cell cell = m_oEditor.CursorCell();
  SetDlgItemText(kCoordinatesId, Coordinates(Translate("x: %u - y: %u"), cell.x, cell.y));
}

void CharacterEditorDialog::OnCommand(int id, int code) {
  if (code != ui::BN_CLICKED) return;
  switch (id) {
    case kCopyId: OnCopy(); return;
    case kPasteId: OnPaste(); return;
    case kWidthSwitchId: OnWidthSwitch(); return;
    case kHelpId: OnHelp(); return;
    default: Dialog::OnCommand(id, code);
  }
}

void CharacterEditorDialog::OnNotify(int id, int code, intptr_t) {
  if (id == kEditorId && code == PixelEditor::kCursorNotify) ShowCoordinates();
}

void CharacterEditorDialog::OnCopy() {
  g_clipboard = m_oEditor.Glyph();
  EnableControl(kPasteId, true);
}

// A pasted glyph wider than the editor widens it: the dialog grows with it.
void CharacterEditorDialog::OnPaste() {
  const int width = m_oEditor.PixelWidth();
  m_oEditor.Replace(g_clipboard);
  if (m_oEditor.PixelWidth() != width) Layout();
  InvalidateControl(kEditorId);
}

void CharacterEditorDialog::OnWidthSwitch() {
  m_oEditor.SetWideMode(GetCheck(kWidthSwitchId) == ui::BST_CHECKED);
  Layout();
  ShowCoordinates();
}

void CharacterEditorDialog::OnOK() {
  if (dx470::ZEICHEN* glyph = m_pFont ? GlyphRecord(*m_pFont, m_nCode) : nullptr) *glyph = m_oEditor.Glyph();
  Dialog::OnOK();
}

void CharacterEditorDialog::OnHelp() { Services().ShowHelp(PluginApp().HelpFilePath(), kHelpContext); }

int RunCharacterEditor(dx470::ZEICHENSATZ& font, int code) {
  CharacterEditorDialog dialog;
  if (!dialog.SetUp(font, code)) return ui::IDCANCEL;
  return dialog.DoModal();
}

}  // namespace editor
