#include "editor/message_text_edit.h"

#include <algorithm>
#include <cstring>

#include "editor/character_picker.h"
#include "editor/characters.h"
#include "editor/glyphs.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "ui/dialog.h"
#include "ui/services.h"

namespace editor {

void CMessageTextEdit::SetText(const uint8_t* source, int length) {
  m_nMaxLength = std::max(length, 0);
  const size_t n = source ? strnlen(reinterpret_cast<const char*>(source), size_t(m_nMaxLength)) : 0;
  m_strText.assign(n ? reinterpret_cast<const char*>(source) : "", n);
  m_nAnchor = m_nCaret = m_nLastHit = 0;
  m_nSavedStart = m_nSavedEnd = 0;
  NoteReplacementMarker();
  Invalidate();
}

bool CMessageTextEdit::GetText(uint8_t* destination, int length) {
  m_nMaxLength = std::max(length, 0);
  if (!destination) return !m_strText.empty();
  const size_t n = std::min(m_strText.size(), size_t(m_nMaxLength));
  std::memset(destination, 0, size_t(m_nMaxLength));
  std::memcpy(destination, m_strText.data(), n);
  return !m_strText.empty();
}

void CMessageTextEdit::SetFont(const dx470::ZEICHENSATZ* font, int fontIndex) {
  m_pFont = font;
  m_nFontIndex = fontIndex;
  NoteReplacementMarker();
  Invalidate();
}

void CMessageTextEdit::Configure(int row, ReplacementTable* table) {
  m_nRow = row >= 1 && row <= 3 ? row : 0;
  m_pReplacementTable = table;
  NoteReplacementMarker();
}

// The shared table always says which rows hold the marker, so that a row
// can never take a second one of the message just because the row with
// the first has not been asked yet.
void CMessageTextEdit::NoteReplacementMarker() {
  if (m_nRow != 0 && m_pReplacementTable && m_pFont)
    (*m_pReplacementTable)[size_t(m_nRow - 1)] =
        m_strText.find(char(m_pFont->ReplacementChar)) != std::string::npos;
}

bool CMessageTextEdit::ContainsReplacementMarker() const {
  return !m_pFont || m_strText.find(char(m_pFont->ReplacementChar)) != std::string::npos;
}

bool CMessageTextEdit::ContainsTabMarker() const {
  return !m_pFont || m_strText.find(char(m_pFont->TabChar)) != std::string::npos;
}

bool CMessageTextEdit::ContainsOutsideSelection(uint8_t code) const {
  for (int i = 0; i < int(m_strText.size()); ++i)
    if (uint8_t(m_strText[size_t(i)]) == code && (i < SelStart() || i >= SelEnd())) return true;
  return false;
}

bool CMessageTextEdit::HasReplacementElsewhere() {
  const bool own = !m_pFont || ContainsOutsideSelection(m_pFont->ReplacementChar);
  if (m_nRow == 0 || !m_pReplacementTable) return own;
  ReplacementTable& table = *m_pReplacementTable;
  table[size_t(m_nRow - 1)] = own;
  return std::any_of(table.begin(), table.end(), [](bool b) { return b; });
}

// ---- Measuring and hit-testing.

int CMessageTextEdit::WidthOf(int from, int to) const {
  if (to <= from) return 0;
  return DrawText(false, m_pFont, reinterpret_cast<const uint8_t*>(m_strText.data()) + from,
                  size_t(to - from), nullptr, 0, 0)
      .width;
}

// A position lies before a character when the pointer is on its left half.
int CMessageTextEdit::PositionAt(int x) const {
  int left = kTextLeft;
  for (int i = 0; i < int(m_strText.size()); ++i) {
    const int w = WidthOf(i, i + 1);
    if (x <= left + w / 2) return i;
    left += w;
    if (x <= left) return i + 1;
  }
  return int(m_strText.size());
}

// ---- Editing.

void CMessageTextEdit::Message(const std::string& key) {
  ui::MessageBoxSpec box{Translate("Error"), Translate(key), ui::Buttons::Ok, ui::Icon::Stop, 0, true};
  if (Owner())
    Owner()->Services().MessageBox(box);
  else
    ui::Services().MessageBox(box);
}

void CMessageTextEdit::Delete(bool backspace) {
  int s = SelStart(), e = SelEnd();
  if (s == e) {
    if (backspace && s >= 1)
      --s;
    else if (!backspace && e < int(m_strText.size()))
      ++e;
  }
  m_strText.erase(size_t(s), size_t(e - s));
  m_nAnchor = m_nCaret = s;
  NoteReplacementMarker();
  SendNotify(kChangeNotify, 0);
}

void CMessageTextEdit::Insert(uint8_t code) {
  if (HasSelection()) {
    const int s = SelStart();
    m_strText.erase(size_t(s), size_t(SelEnd() - s));
    m_nAnchor = m_nCaret = s;
  }
  if (int(m_strText.size()) < m_nMaxLength) {
    m_strText.insert(m_strText.begin() + m_nAnchor, char(code));
    m_nAnchor = m_nCaret = m_nAnchor + 1;
  } else {
    Message("Maximum length of text reached!");
  }
  NoteReplacementMarker();
  SendNotify(kChangeNotify, 0);
  Invalidate();
}

bool CMessageTextEdit::InsertionAllowed() {
  if ((m_pFont && int(m_strText.size()) < m_nMaxLength) || HasSelection() || m_nSavedStart != m_nSavedEnd)
    return true;
  Message("Maximum length of text reached!");
  return false;
}

void CMessageTextEdit::TakeFocusBack() {
  if (Owner()) Owner()->SetFocus(ControlId());
}

void CMessageTextEdit::InsertSymbol() {
  if (!InsertionAllowed()) return;
  m_bSymbolPending = true;
  uint8_t chosen = 0;
  bool picked = false;
  if (m_pFont && m_picker)
    picked = m_picker(*m_pFont, m_nFontIndex, chosen);
  else if (m_pFont && Owner())
    picked = PickCharacter(Owner()->Services(), *m_pFont, m_nFontIndex, chosen);
  TakeFocusBack();
  // The focus may have stayed here all along: the selection to restore
  // is then the current one.
  m_bSymbolPending = false;
  if (picked) Insert(chosen);
}

void CMessageTextEdit::InsertTabMarker() {
  m_bTabPending = true;
  if (!m_pFont || ContainsOutsideSelection(m_pFont->TabChar)) {
    Message("Only one tab position per line is possible!");
    TakeFocusBack();
    m_bTabPending = false;
    return;
  }
  TakeFocusBack();
  m_bTabPending = false;
  Insert(m_pFont->TabChar);
}

void CMessageTextEdit::InsertReplacementMarker() {
  m_bReplacementPending = true;
  if (HasReplacementElsewhere()) {
    Message("Only one replacement position per message is possible!");
    TakeFocusBack();
    m_bReplacementPending = false;
    return;
  }
  TakeFocusBack();
  m_bReplacementPending = false;
  Insert(m_pFont->ReplacementChar);
}

// ---- Input.

void CMessageTextEdit::RestartBlink() {
  m_bCaretVisible = true;
  SetTimer(kBlinkTimer, kBlinkMilliseconds);
}

void CMessageTextEdit::OnMouse(ui::MouseAction action, int x, int, ui::KeyMods) {
  switch (action) {
    case ui::MouseAction::Down:
      m_bSelecting = true;
      RestartBlink();
      m_nAnchor = m_nCaret = m_nLastHit = PositionAt(x);
      break;
    case ui::MouseAction::Move: {
      if (!m_bSelecting) return;
      const int at = PositionAt(x);
      if (at == m_nLastHit) return;
      m_nCaret = m_nLastHit = at;
      RestartBlink();
      break;
    }
    case ui::MouseAction::Up:
      if (m_bSelecting && !m_bDoubleClick) m_nCaret = PositionAt(x);
      m_bSelecting = m_bDoubleClick = false;
      break;
    case ui::MouseAction::DoubleClick:
      m_nAnchor = 0;
      m_nCaret = int(m_strText.size());
      m_bDoubleClick = true;
      break;
  }
  Invalidate();
}

void CMessageTextEdit::OnKey(ui::Key key, ui::KeyMods mods) {
  if (mods.ctrl && key == ui::Key::Other) return;
  const int length = int(m_strText.size());
  switch (key) {
    case ui::Key::Delete:
    case ui::Key::Back:
      RestartBlink();
      Delete(key == ui::Key::Back);
      break;
    case ui::Key::Home:
    case ui::Key::End:
    case ui::Key::Left:
    case ui::Key::Right: {
      int caret = m_nCaret;
      if (key == ui::Key::Home)
        caret = 0;
      else if (key == ui::Key::End)
        caret = length;
      else if (key == ui::Key::Left && caret > 0)
        --caret;
      else if (key == ui::Key::Right && caret < length)
        ++caret;
      if (caret != m_nCaret || key == ui::Key::Home || key == ui::Key::End) RestartBlink();
      m_nCaret = caret;
      if (!mods.shift) m_nAnchor = m_nCaret;
      break;
    }
    default: return;
  }
  Invalidate();
}

void CMessageTextEdit::OnChar(uint32_t code) {
  if (m_bSelecting || m_bDoubleClick) return;
  if (!m_pFont || code > 0xFF || code < m_pFont->First || code > m_pFont->Last) return;
  Insert(uint8_t(code));
}

void CMessageTextEdit::OnFocus(bool gained) {
  m_bSelecting = false;
  const bool pending = m_bSymbolPending || m_bTabPending || m_bReplacementPending;
  if (gained) {
    m_bCaretVisible = true;
    if (pending) {
      m_nAnchor = m_nSavedStart;
      m_nCaret = m_nSavedEnd;
      m_nSavedStart = m_nSavedEnd = 0;
    } else {
      m_nAnchor = 0;
      m_nCaret = int(m_strText.size());
    }
    m_bSymbolPending = m_bTabPending = m_bReplacementPending = false;
    SetTimer(kBlinkTimer, kBlinkMilliseconds);
  } else {
    KillTimer(kBlinkTimer);
    m_bCaretVisible = false;
    if (!pending) {
      m_nSavedStart = m_nAnchor;
      m_nSavedEnd = m_nCaret;
      m_nAnchor = m_nCaret = 0;
    }
  }
  Invalidate();
  PostNotify(kFocusNotify, gained ? 1 : 0);
}

void CMessageTextEdit::OnTimer(int timerId) {
  if (timerId != kBlinkTimer) return;
  m_bCaretVisible = !m_bCaretVisible;
  Invalidate();
}

bool CMessageTextEdit::QueryText(std::string& text) const {
  text = Latin1ToUtf8(m_strText);
  return true;
}

// ---- Painting.

void CMessageTextEdit::Paint(gfx::Bitmap& target) {
  const ui::SystemColors colors = Owner() ? Owner()->Services().Colors() : ui::ClassicColors();
  const int w = target.width(), h = target.height();
  target.FillRect({0, 0, w, h}, colors.window);
  target.FillRect({0, 0, w, 1}, gfx::kBlack);
  target.FillRect({0, h - 1, w, h}, gfx::kBlack);
  target.FillRect({0, 0, 1, h}, gfx::kBlack);
  target.FillRect({w - 1, 0, w, h}, gfx::kBlack);
  if (!m_pFont) return;
  const auto* text = reinterpret_cast<const uint8_t*>(m_strText.data());
  const Extent all =
      DrawText(true, m_pFont, text, m_strText.size(), &target, kTextLeft, kTextTop, false, !IsEnabled());
  if (HasSelection()) {
    const int left = kTextLeft + WidthOf(0, SelStart());
    const Extent selected =
        DrawText(false, m_pFont, text + SelStart(), size_t(SelEnd() - SelStart()), nullptr, 0, 0);
    target.FillRect({left, kTextTop, left + selected.width, kTextTop + selected.height}, colors.highlight);
    DrawText(true, m_pFont, text + SelStart(), size_t(SelEnd() - SelStart()), &target, left, kTextTop, true);
  }
  if (m_bCaretVisible && HasFocus()) {
    const int x = kTextLeft + WidthOf(0, m_nCaret);
    for (int y = kTextTop; y < kTextTop + all.height; ++y)
      if (x >= 0 && x < w && y < h) target.Set(x, y, ~target.Get(x, y) & 0xFFFFFFu);
  }
}

}  // namespace editor
