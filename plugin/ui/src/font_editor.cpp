// The font editor: header settings through the combos, the glyph table kept
// in step with the first character, font files, "Get copy" and characters
// rasterised from a screen font.
#include "editor/font_editor.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "data/fontfile.h"
#include "editor/character_editor.h"
#include "editor/characters.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/services.h"

namespace editor {
namespace {

constexpr int kFirstCode = 5;  // code of combo index 0
constexpr int kMinHeight = 8, kMaxHeight = 20;
constexpr int kLabelWidth = 150, kComboWidth = 100, kColumnWidth = 260;

// The character combos, in the order of the accepted indices.
constexpr std::array<int, 5> kCharacterCombos = {id::kFirstCombo, id::kLastCombo, id::kDefaultCombo,
                                                 id::kUnknownCombo, id::kDecimalCombo};

std::string Format(const char* format, const std::string& a, unsigned n, const std::string& b) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, a.c_str(), n, b.c_str());
  return buffer;
}

}  // namespace

ui::DialogTemplate FontEditorTemplate() {
  using ui::ControlKind;
  ui::DialogTemplate t = CharacterPickerTemplate();
  t.id = id::kFontEditorTemplate;
  t.caption = "Edit font???";
  t.cx = 530;
  t.cy = 330;
  const struct {
    int combo;
    const char* label;
  } combos[] = {{id::kFirstCombo, "Lowest character???"},
                {id::kLastCombo, "Highest character???"},
                {id::kHeightCombo, "Height in pixel???"},
                {id::kDefaultCombo, "Default character???"},
                {id::kUnknownCombo, "Replacement for unknown values???"},
                {id::kDecimalCombo, "Decimal seperator???"}};
  int label = id::kFirstLabel;
  for (const auto& c : combos) {
    t.controls.push_back({label++, ControlKind::Static, c.label, {0, 0, 90, 8}, 0});
    t.controls.push_back({c.combo, ControlKind::ComboBox, "", {0, 0, 60, 120}, ui::kTabStop | ui::kVScroll});
  }
  for (const auto& b :
       {std::pair{id::kImport, "Import???"}, std::pair{id::kExport, "Export???"},
        std::pair{id::kGetCopy, "Get copy???"}, std::pair{id::kFromScreenFont, "Get from Windows???"}})
    t.controls.push_back({b.first, ControlKind::PushButton, b.second, {0, 0, 80, 14}, ui::kTabStop});
  return t;
}

FontEditorDialog::FontEditorDialog(dx470::ZEICHENSATZ& font, int fontNumber, const dx470::PARAM& param)
    : CharacterPickerDialog(FontEditorTemplate(), font, CharacterGrid::Mode::FontEditor, fontNumber,
                            font.First),
      m_font(font),
      m_param(param) {}

bool FontEditorDialog::OnInitDialog() {
  CharacterPickerDialog::OnInitDialog();
  static const char* const kLabels[] = {"First character",
                                        "Last character",
                                        "Height in pixel",
                                        "Default character",
                                        "Replacement for unknown values",
                                        "Decimal seperator"};
  static const int kCombos[] = {id::kFirstCombo,   id::kLastCombo,    id::kHeightCombo,
                                id::kDefaultCombo, id::kUnknownCombo, id::kDecimalCombo};
  for (int i = 0; i < 6; ++i) {
    const int x = 10 + (i % 3) * kColumnWidth, y = 10 + (i / 3) * 32;
    SetDlgItemText(id::kFirstLabel + i, Translate(kLabels[i]));
    MoveControl(id::kFirstLabel + i, gfx::RectAt(x, y + 4, kLabelWidth - 6, 26));
    MoveControl(kCombos[i], gfx::RectAt(x + kLabelWidth, y, kComboWidth, 23));
    ResetContent(kCombos[i]);
    if (kCombos[i] == id::kHeightCombo) {
      for (int h = kMinHeight; h <= kMaxHeight; ++h) AddString(kCombos[i], std::to_string(h));
    } else {
      for (int code = kFirstCode; code <= 255; ++code) AddString(kCombos[i], "ASCII " + std::to_string(code));
    }
  }
  const int buttons[] = {id::kImport, id::kExport, id::kGetCopy, id::kFromScreenFont};
  const char* const texts[] = {"Import", "Export", "Get copy", "Get from Windows"};
  for (int i = 0; i < 4; ++i) {
    SetDlgItemText(buttons[i], Translate(texts[i]));
    MoveControl(buttons[i], gfx::RectAt(10 + i * 150, 78, 140, 23));
  }
  LayOut(10, 112, 0);
  CenterWindow();
  LoadControls();
  UpdateTitle();
  return false;
}

void FontEditorDialog::UpdateTitle() {
  std::string title = Format("%s %u%s", Translate("Edit font number"), unsigned(m_nFontNumber + 1), "");
  if (!m_strFile.empty()) title += " - " + m_strFile;
  SetWindowText(title);
}

void FontEditorDialog::LoadControls() {
  const int height = m_font.Height - kMinHeight;
  SetCurSel(id::kHeightCombo, height >= 0 && height <= kMaxHeight - kMinHeight ? height : -1);
  const int codes[] = {m_font.First, m_font.Last, m_font.DefaultChar, m_font.UnknownValueChar,
                       m_font.DecimalPoint};
  for (size_t i = 0; i < kCharacterCombos.size(); ++i) {
    const int index = codes[i] - kFirstCode;
    m_accepted[i] = index >= 0 && index <= 255 - kFirstCode ? index : -1;
    SetCurSel(kCharacterCombos[i], m_accepted[i]);
  }
  m_oGrid.SetFont(&m_font);
}

void FontEditorDialog::RestoreCombos() {
  for (size_t i = 0; i < kCharacterCombos.size(); ++i) SetCurSel(kCharacterCombos[i], m_accepted[i]);
}

void FontEditorDialog::ShowInfo(const std::string& text) {
  Services().MessageBox({Translate("Warning"), text, ui::Buttons::Ok, ui::Icon::Information, 0, true});
}

// Every code keeps its glyph when the first character moves.
void FontEditorDialog::ShiftGlyphs(int oldFirst, int newFirst) {
  const int d = newFirst - oldFirst;
  if (d == 0) return;
  auto glyphs = std::make_unique<std::array<dx470::ZEICHEN, 256>>();
  std::memset(glyphs.get(), 0, sizeof *glyphs);
  for (int k = 0; k < 256; ++k)
    if (k + d >= 0 && k + d < 256) (*glyphs)[size_t(k)] = m_font.Glyphs[k + d];
  std::memcpy(m_font.Glyphs, glyphs->data(), sizeof m_font.Glyphs);
}

void FontEditorDialog::OnFirstChanged() {
  const int first = GetCurSel(id::kFirstCombo), last = GetCurSel(id::kLastCombo);
  const int oldFirst = m_font.First;
  if (first + kFirstCode == oldFirst) return;
  if (first < 0 || last < 0 || last - first >= 256 || first > last) {
    ShowInfo(Format("%s %u %s", Translate("A maximum of"), 256, Translate("characters is possible")));
    RestoreCombos();
    return;
  }
  // Kept so that a refused setting leaves header and glyphs as they were.
  auto before = std::make_unique<dx470::ZEICHENSATZ>(m_font);
  ShiftGlyphs(oldFirst, first + kFirstCode);
  if (!AcceptSettings()) m_font = *before;
}

void FontEditorDialog::OnLastChanged() {
  const int first = GetCurSel(id::kFirstCombo), last = GetCurSel(id::kLastCombo);
  if (first < 0 || last < 0 || last - first >= 256 || first > last) {
    ShowInfo(Format("%s %u %s", Translate("A maximum of"), 256, Translate("characters is possible")));
    RestoreCombos();
    return;
  }
  AcceptSettings();
}

void FontEditorDialog::OnSpecialChanged(int comboId) {
  const int code = GetCurSel(comboId) + kFirstCode;
  if (code < m_font.First || code > m_font.Last) {
    ShowInfo(Translate(comboId == id::kDefaultCombo   ? "The default character value is out of range"
                       : comboId == id::kUnknownCombo ? "The replacement character value is out of range"
                                                      : "The decimal point character value is out of range"));
    RestoreCombos();
    return;
  }
  AcceptSettings();
}

bool FontEditorDialog::AcceptSettings() {
  if (!UpdateData(true)) return false;
  int codes[5];
  for (size_t i = 0; i < kCharacterCombos.size(); ++i) codes[i] = GetCurSel(kCharacterCombos[i]) + kFirstCode;
  const int first = codes[0], last = codes[1];
  std::string problem;
  if (last - first >= 256)
    problem = Format("%s %u %s", Translate("A maximum of"), 256,
                     Translate("characters are possible, please change the 'First' and 'Last' character"));
  else if (codes[2] < first || codes[2] > last)
    problem = Translate("The default character value is out of range");
  else if (codes[3] < first || codes[3] > last)
    problem = Translate("The replacement character value is out of range");
  else if (codes[4] < first || codes[4] > last)
    problem = Translate("The decimal point character value is out of range");
  if (!problem.empty()) {
    ShowInfo(problem);
    RestoreCombos();
    return false;
  }
  m_font.First = uint8_t(first);
  m_font.Last = uint8_t(last);
  m_font.DefaultChar = uint8_t(codes[2]);
  m_font.UnknownValueChar = uint8_t(codes[3]);
  m_font.DecimalPoint = uint8_t(codes[4]);
  const int height = GetCurSel(id::kHeightCombo);
  if (height >= 0 && height <= kMaxHeight - kMinHeight) m_font.Height = uint8_t(height + kMinHeight);
  for (dx470::ZEICHEN& glyph : m_font.Glyphs) glyph.Height = m_font.Height;
  for (size_t i = 0; i < kCharacterCombos.size(); ++i) m_accepted[i] = codes[i] - kFirstCode;
  m_oGrid.SetFont(&m_font);
  return true;
}

std::string FontEditorDialog::Filter() const {
  char buffer[512];
  const std::string files = Translate("Font Files"), all = Translate("All Files");
  std::snprintf(buffer, sizeof buffer, "%s (*.%s)|*.%s|%s (*.*)|*.*||", files.c_str(),
                dx470::kFontFileExtension, dx470::kFontFileExtension, all.c_str());
  const std::string filter = buffer;
  return filter.size() >= 255 ? std::string() : filter;
}

void FontEditorDialog::Export() {
  if (!UpdateData(true)) {
    Services().MessageBox(
        {Translate("Error"), Translate("Failed to save data!"), ui::Buttons::Ok, ui::Icon::Stop, 0, true});
    return;
  }
  ui::FileDialogSpec request{true,      Translate("Export font"),
                             Filter(),  dx470::kFontFileExtension,
                             m_strFile, ui::kPathMustExist | ui::kHideReadOnly};
  std::optional<std::string> path = Services().FileDialog(request);
  if (!path) return;
  if (!dx470::WriteFontFile(*path, m_font).ok()) {
    Services().MessageBox(
        {Translate("Error"), Translate("Failed to save file"), ui::Buttons::Ok, ui::Icon::Stop, 0, true});
    return;
  }
  m_strFile = *path;
  UpdateTitle();
}

void FontEditorDialog::Import() {
  ui::FileDialogSpec request{false,     Translate("Import font"),
                             Filter(),  dx470::kFontFileExtension,
                             m_strFile, ui::kFileMustExist | ui::kHideReadOnly};
  std::optional<std::string> path = Services().FileDialog(request);
  if (!path) return;
  auto fresh = std::make_unique<dx470::ZEICHENSATZ>();
  std::memset(fresh.get(), 0, sizeof *fresh);
  const dx470::FontResult result = dx470::ReadFontFile(*path, *fresh);
  if (result.status == dx470::FontStatus::OpenFailed) {
    Services().MessageBox({Translate("Warning"), Translate("Failed to open file"), ui::Buttons::Ok,
                           ui::Icon::Warning, 0, true});
    return;
  }
  if (!result.ok()) {
    Services().MessageBox({Translate("Warning"),
                           Translate("File does not contain valid data!") + "\n\n" +
                               Translate("No data will be read from file."),
                           ui::Buttons::Ok, ui::Icon::Warning, 0, true});
    return;
  }
  m_font = *fresh;
  LoadControls();
  m_strFile = *path;
  UpdateTitle();
}

bool WindowsFontImporter(ui::PlatformServices& services, dx470::ZEICHENSATZ& font) {
  std::optional<ui::FontChoice> choice = services.FontDialog();
  if (!choice) return false;
  const int height = std::clamp(choice->pointSize, 1, kMaxHeight);
  font.Height = uint8_t(height);
  ui::FontChoice face = *choice;
  face.weight = 400;
  for (int k = 0; font.First + k <= 255; ++k) {
    dx470::ZEICHEN& glyph = font.Glyphs[k];
    std::memset(glyph.Bitmap, 0, sizeof glyph.Bitmap);
    std::optional<ui::RasterGlyph> drawn =
        services.RasterizeChar(face, height, DeviceCodeToUnicode(font.First + k));
    const int width = drawn ? std::min(drawn->bitmap.width(), dx470::kGlyphMaxWidth) : 0;
    const int rows = drawn ? std::min(drawn->bitmap.height(), dx470::kGlyphMaxHeight) : 0;
    glyph.Width = uint8_t(width);
    glyph.Height = uint8_t(height);
    for (int y = 0; y < rows && y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (drawn->bitmap.Get(x, y) == gfx::kBlack)
          glyph.Bitmap[(x / 8) * 20 + y] |= uint8_t(0x80 >> (x % 8));
  }
  return true;
}

void FontEditorDialog::FromScreenFont() {
  if (WindowsFontImporter(Services(), m_font)) LoadControls();
}

GetFontDialog::GetFontDialog(int fontNumber) : Dialog(Template()), m_nFontNumber(fontNumber) {}

ui::DialogTemplate GetFontDialog::Template() {
  using ui::ControlKind;
  ui::DialogTemplate t;
  t.id = id::kGetFontTemplate;
  t.caption = "Get font???";
  t.cx = 186;
  t.cy = 78;
  t.controls = {
      {id::kGetFontCopyLabel, ControlKind::Static, "Copy???", {7, 9, 40, 8}, 0},
      {id::kGetFontCombo, ControlKind::ComboBox, "", {50, 7, 70, 60}, ui::kTabStop},
      {id::kGetFontTarget, ControlKind::Static, "", {7, 28, 170, 8}, 0},
      {ui::IDOK, ControlKind::DefPushButton, "OK???", {7, 54, 54, 14}, ui::kTabStop},
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel?????", {66, 54, 54, 14}, ui::kTabStop},
      {9, ControlKind::PushButton, "Help???", {125, 54, 54, 14}, ui::kTabStop},
  };
  return t;
}

bool GetFontDialog::OnInitDialog() {
  SetWindowText(Translate("Get font"));
  SetDlgItemText(id::kGetFontCopyLabel, Translate("Copy"));
  char target[256];
  std::snprintf(target, sizeof target, "%s %d%s", Translate("data to").c_str(), m_nFontNumber + 1,
                Translate(". font").c_str());
  SetDlgItemText(id::kGetFontTarget, target);
  SetDlgItemText(ui::IDOK, Translate("OK"));
  SetDlgItemText(ui::IDCANCEL, Translate("Cancel"));
  SetDlgItemText(9, Translate("Help"));
  for (int f = 0; f < dx470::kFontCount; ++f) {
    if (f == m_nFontNumber) continue;
    char item[64];
    std::snprintf(item, sizeof item, "%d%s", f + 1, Translate(". font").c_str());
    SetItemData(id::kGetFontCombo, AddString(id::kGetFontCombo, item), f);
  }
  EnableControl(ui::IDOK, false);
  return true;
}

void GetFontDialog::OnCommand(int id, int code) {
  if (id == id::kGetFontCombo && code == ui::CBN_SELCHANGE)
    EnableControl(ui::IDOK, GetCurSel(id) >= 0);
  else if (id == 9 && code == ui::BN_CLICKED)
    OnHelp();
  else
    Dialog::OnCommand(id, code);
}

void GetFontDialog::OnOK() {
  const int sel = GetCurSel(id::kGetFontCombo);
  if (sel < 0) return;
  m_nChosen = int(GetItemData(id::kGetFontCombo, sel));
  EndDialog(ui::IDOK);
}

void GetFontDialog::OnHelp() { Services().ShowHelp(PluginApp().HelpFilePath(), id::kFontEditorHelpContext); }

void FontEditorDialog::GetCopy() {
  GetFontDialog dialog(m_nFontNumber);
  if (dialog.DoModal(Services()) != ui::IDOK || dialog.Chosen() < 0) return;
  m_font = m_param.Lcd.Fonts[dialog.Chosen()];
  LoadControls();
}

void FontEditorDialog::OnCommand(int id, int code) {
  if (code == ui::CBN_SELCHANGE) {
    switch (id) {
      case id::kFirstCombo: OnFirstChanged(); return;
      case id::kLastCombo: OnLastChanged(); return;
      case id::kHeightCombo: AcceptSettings(); return;
      case id::kDefaultCombo:
      case id::kUnknownCombo:
      case id::kDecimalCombo: OnSpecialChanged(id); return;
      default: break;
    }
  }
  if (code == ui::BN_CLICKED) {
    switch (id) {
      case id::kImport: Import(); return;
      case id::kExport: Export(); return;
      case id::kGetCopy: GetCopy(); return;
      case id::kFromScreenFont: FromScreenFont(); return;
      default: break;
    }
  }
  CharacterPickerDialog::OnCommand(id, code);
}

void FontEditorDialog::OnOK() {
  if (AcceptSettings()) EndDialog(ui::IDOK);
}

void FontEditorDialog::OnHelp() {
  Services().ShowHelp(PluginApp().HelpFilePath(), id::kFontEditorHelpContext);
}

void FontEditorDialog::OnActivate(int code) {
  RunCharacterEditor(m_font, code);
  m_oGrid.SetFont(&m_font);
}

int RunFontEditor(dx470::ZEICHENSATZ& font, int index, const dx470::PARAM& param) {
  FontEditorDialog dialog(font, index, param);
  return dialog.DoModal();
}

}  // namespace editor
