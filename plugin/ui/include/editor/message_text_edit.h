#pragma once
// CMessageTextEdit: the one-line field in which a row of a message text (or
// another device text) is typed. It keeps its own buffer of device
// character codes, draws it in the message's device font, accepts only the
// codes that font holds, enforces the field length, one tab marker per row
// and one value marker per message, and blinks its own caret. The parent
// hears of focus changes (kFocusNotify, posted) and of every insertion or
// deletion attempt (kChangeNotify, sent).
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "data/records.h"
#include "ui/ownerdraw.h"

namespace editor {

class CMessageTextEdit : public ui::OwnerDrawn {
 public:
  static constexpr int kFocusNotify = 0x800C;   // param 1 gained, 0 lost
  static constexpr int kChangeNotify = 0x800D;  // param 0
  static constexpr int kBlinkTimer = 1;
  static constexpr int kBlinkMilliseconds = 500;
  static constexpr int kTextLeft = 2, kTextTop = 2;

  // Which rows of one message hold the value marker; shared by its rows.
  using ReplacementTable = std::array<bool, 3>;
  // The character picker: true with `chosen` set when the user picked one.
  using Picker = std::function<bool(const dx470::ZEICHENSATZ& font, int fontIndex, uint8_t& chosen)>;

  // Text transfer with a field of `length` bytes (also the maximum length).
  void SetText(const uint8_t* source, int length);
  // Copies the text into `length` bytes, NUL-filled; true when not empty.
  bool GetText(uint8_t* destination, int length);
  const std::string& Text() const { return m_strText; }

  void SetFont(const dx470::ZEICHENSATZ* font, int fontIndex);
  void SetFontOnly(const dx470::ZEICHENSATZ* font) { m_pFont = font; }
  const dx470::ZEICHENSATZ* Font() const { return m_pFont; }
  // `row` 1..3 (anything else: none) with the message's shared table.
  void Configure(int row, ReplacementTable* table);
  // "Get symbol" runs the character picker dialog unless a picker is set.
  void SetPicker(Picker picker) { m_picker = std::move(picker); }

  // Commands of the parent's buttons; each gives the focus back to the field.
  void InsertSymbol();
  void InsertTabMarker();
  void InsertReplacementMarker();

  bool IsFull() const { return int(m_strText.size()) >= m_nMaxLength; }
  bool ContainsReplacementMarker() const;
  bool ContainsTabMarker() const;
  bool HasReplacementElsewhere();

  int Anchor() const { return m_nAnchor; }
  int Caret() const { return m_nCaret; }
  bool CaretVisible() const { return m_bCaretVisible; }

  // ui::OwnerDrawn
  void Paint(gfx::Bitmap& target) override;
  void OnMouse(ui::MouseAction action, int x, int y, ui::KeyMods mods) override;
  void OnKey(ui::Key key, ui::KeyMods mods) override;
  void OnChar(uint32_t code) override;
  void OnFocus(bool gained) override;
  void OnTimer(int timerId) override;
  // The text with device codes read as Latin-1.
  bool QueryText(std::string& text) const override;

 private:
  bool HasSelection() const { return m_nAnchor != m_nCaret; }
  int SelStart() const { return std::min(m_nAnchor, m_nCaret); }
  int SelEnd() const { return std::max(m_nAnchor, m_nCaret); }
  bool ContainsOutsideSelection(uint8_t code) const;
  int PositionAt(int x) const;
  int WidthOf(int from, int to) const;
  void Insert(uint8_t code);
  void Delete(bool backspace);
  bool InsertionAllowed();
  void RestartBlink();
  void TakeFocusBack();
  void NoteReplacementMarker();
  void Message(const std::string& key);

  std::string m_strText;  // device codes
  int m_nMaxLength = 0;
  const dx470::ZEICHENSATZ* m_pFont = nullptr;
  int m_nFontIndex = 0;
  int m_nAnchor = 0, m_nCaret = 0, m_nLastHit = 0;
  int m_nSavedStart = 0, m_nSavedEnd = 0;
  bool m_bCaretVisible = false, m_bSelecting = false, m_bDoubleClick = false;
  bool m_bSymbolPending = false, m_bTabPending = false, m_bReplacementPending = false;
  int m_nRow = 0;
  ReplacementTable* m_pReplacementTable = nullptr;
  Picker m_picker;
};

}  // namespace editor
